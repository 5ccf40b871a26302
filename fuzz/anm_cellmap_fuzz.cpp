// libFuzzer target for anm-cellmap's central promise: dump, then build of
// that dump, gives the input's bytes back. The first byte picks the format
// (bit 0 set: an animation, else a cell map); the rest is the file. A file
// cut short must dump as JSON marked "cut", which build refuses as cut.
// With bit 1 set, the rest is JSON text for build alone, which it must
// refuse or build without a fault.
//
// dump's writers are private to it and its command ends by closing
// standard output, so the target takes its source in whole and calls the
// writers once per input, with standard output moved onto a spool.
#include "../anm-cellmap/dump.cpp"

#include <cstdlib>
#include <string>

#include <unistd.h>

#include "build.h"

CellmapSettings cellmap_settings;

static std::FILE* spool(const std::string& bytes)
{
    std::FILE* file = std::tmpfile();
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
    std::rewind(file);
    return file;
}

static void expect(bool holds, const char* what, const std::string& error)
{
    if (holds) return;
    std::fprintf(stderr, "%s %s\n", what, error.c_str());
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    BuiltFile built;
    std::string error;
    if (data[0] & 2) {
        std::FILE* text = spool(input);
        read_dump(text, built, error);
        std::fclose(text);
        release_built(built);
        return 0;
    }
    std::FILE* file = spool(input);
    std::FILE* json = spool("");
    static Walk walk;
    std::fflush(stdout);
    int saved = dup(1);
    dup2(fileno(json), 1);
    walk_start(walk, file, "fuzz");
    out_start();
    bool whole = data[0] & 1 ? dump_animation(walk) : dump_map(walk);
    expect(out_flush(), "dump could not write", "");
    dup2(saved, 1);
    close(saved);
    std::fclose(file);

    std::rewind(json);
    bool read = read_dump(json, built, error);
    std::fclose(json);
    expect(read == whole,
           whole ? "the dump of a whole file refused:" : "the dump of a cut file built", error);
    expect(whole || error.compare(0, 5, "cut: ") == 0, "a cut file's dump refused as", error);
    if (whole) {
        std::FILE* out = spool("");
        expect(write_built(built, out), "the built file could not be written", "");
        std::string bytes(static_cast<std::size_t>(std::ftell(out)), '\0');
        std::rewind(out);
        expect(std::fread(&bytes[0], 1, bytes.size(), out) == bytes.size() && bytes == input,
               "built bytes differ from the input", "");
        std::fclose(out);
    }
    release_built(built);
    return 0;
}
