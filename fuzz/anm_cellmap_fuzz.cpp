// libFuzzer target for anm-cellmap's central promise: dump, then build of
// that dump, gives the input's bytes back. The first byte picks the format
// (bit 0 set: an animation, else a cell map); the rest is the file. A file
// cut short must dump as JSON marked "cut", which build refuses.
//
// dump's writers are private to it and its command ends by closing
// standard output, so the target takes its source in whole and calls the
// writers once per input, with standard output moved onto a spool.
#include "../anm-cellmap/dump.cpp"

#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "build.h"

CellmapSettings cellmap_settings;

// The JSON text dump writes for `file`; `whole` is false for a cut file.
static std::FILE* dumped(std::FILE* file, bool animation, bool& whole)
{
    static Walk walk;
    std::FILE* json = std::tmpfile();
    if (!json) std::abort();
    std::fflush(stdout);
    int saved = dup(1);
    dup2(fileno(json), 1);
    walk_start(walk, file, "fuzz");
    out_start();
    whole = animation ? dump_animation(walk) : dump_map(walk);
    if (!out_flush()) std::abort();
    dup2(saved, 1);
    close(saved);
    std::rewind(json);
    return json;
}

static std::string built_bytes(const BuiltFile& built)
{
    std::FILE* out = std::tmpfile();
    if (!out || !write_built(built, out)) std::abort();
    std::string bytes(static_cast<std::size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    if (std::fread(&bytes[0], 1, bytes.size(), out) != bytes.size()) std::abort();
    std::fclose(out);
    return bytes;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    bool animation = data[0] & 1;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::FILE* file = std::tmpfile();
    if (!file || std::fwrite(input.data(), 1, input.size(), file) != input.size()) std::abort();
    std::rewind(file);
    bool whole = false;
    std::FILE* json = dumped(file, animation, whole);
    std::fclose(file);
    BuiltFile built;
    std::string error;
    bool read = read_dump(json, built, error);
    std::fclose(json);
    if (!whole && (read || error.compare(0, 5, "cut: ") != 0)) {
        std::fprintf(stderr, "a cut file's dump: %s\n", read ? "built" : error.c_str());
        std::abort();
    }
    if (whole && !read) {
        std::fprintf(stderr, "a whole file's dump refused: %s\n", error.c_str());
        std::abort();
    }
    if (whole && built_bytes(built) != input) {
        std::fprintf(stderr, "built bytes differ from the input\n");
        std::abort();
    }
    release_built(built);
    return 0;
}
