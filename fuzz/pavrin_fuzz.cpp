// libFuzzer target for pavrin's reading, placement and writing. The fuzzed
// bytes make a whole run: settings, then up to eight input maps.
//
//   byte 0        bit 0 horizontal, bit 1 verbose, bits 4-6 number of maps - 1
//   bytes 1-6     -w, -h, -c as signed 16-bit little-endian numbers
//   then per map  a 16-bit little-endian length and that many bytes
//
// Any of that may be cut short; what is missing counts as zero or empty.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "map_canvas.h"
#include "pavrin.h"

namespace {

struct Bytes {
    const std::uint8_t* data;
    std::size_t size;
};

std::uint8_t take_byte(Bytes& in)
{
    if (in.size == 0) return 0;
    --in.size;
    return *in.data++;
}

std::int32_t take_number(Bytes& in)
{
    std::uint8_t low = take_byte(in);
    std::uint8_t high = take_byte(in);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Bytes in = {data, size};
    concatenator_settings = ConcatenatorSettings();
    std::uint8_t flags = take_byte(in);
    concatenator_settings.horizontal = flags & 1;
    concatenator_settings.verbose = flags & 2;
    concatenator_settings.new_width = take_number(in);
    concatenator_settings.new_height = take_number(in);
    std::int32_t cell_size = take_number(in);
    if (cell_size != 0) concatenator_settings.cell_width = concatenator_settings.cell_height = cell_size;

    if (!init_canvas()) return 0;
    int maps = ((flags >> 4) & 7) + 1;
    for (int i = 0; i < maps; ++i) {
        std::size_t length = static_cast<std::uint16_t>(take_number(in));
        if (length > in.size) length = in.size;
        // fmemopen cannot open an empty buffer everywhere; one spare byte
        // past the end keeps it open and is never counted.
        std::vector<char> map(in.data, in.data + length);
        map.push_back(0);
        in.data += length;
        in.size -= length;
        std::FILE* stream = fmemopen(map.data(), length == 0 ? 1 : length, "rb");
        if (!stream) return 0;
        if (length == 0) std::fgetc(stream);  // an empty map file: already at its end
        int failed = read_map(stream, "fuzz.map");
        std::fclose(stream);
        if (failed) return 0;
    }
    if (check_result_size() != 0) return 0;
    std::FILE* out = std::fopen("/dev/null", "wb");
    if (!out) return 0;
    write_map(out, "fuzz-out.map");
    std::fclose(out);
    return 0;
}
