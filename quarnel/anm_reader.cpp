#include "anm_reader.h"

#include "quarnel.h"

// Byte reads without the stream lock where the C library offers them: the
// dump is single-threaded and this is the innermost loop of the program.
static inline int read_byte(std::FILE* in)
{
#if defined(_POSIX_C_SOURCE) || defined(__unix__)
    return getc_unlocked(in);
#else
    return std::getc(in);
#endif
}

const char* tpf_name(std::uint32_t tpf)
{
    switch (tpf) {
    case 0: return "4bit";
    case 1: return "8bit";
    default: return "unknown";
    }
}

// A word cut short is never returned: the first byte that is missing ends
// the dump, as a read error when the stream reports one, else as the end.
[[noreturn]] static void fail_short_stream(std::FILE* in)
{
    if (std::ferror(in))
        fail("%s: %s read error!\n", dumper_settings.program_name,
             dumper_settings.current_file_name);
    fail("%s: %s reach end of file!\n", dumper_settings.program_name,
         dumper_settings.current_file_name);
}

std::uint32_t read_word(std::FILE* in)
{
    std::uint32_t word = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        int byte = read_byte(in);
        if (byte == EOF) fail_short_stream(in);
        word |= static_cast<std::uint32_t>(byte) << shift;
    }
    return word;
}

static int bits(std::uint32_t word, int first, int count)
{
    return static_cast<int>((word >> first) & ((1u << count) - 1));
}

// The 16 bits at `first` as a two's complement number.
static int signed_half(std::uint32_t word, int first)
{
    int half = bits(word, first, 16);
    return half >= 0x8000 ? half - 0x10000 : half;
}

void read_sequence(std::FILE* in, SequenceEntry& entry)
{
    std::uint32_t a = read_word(in);
    std::uint32_t b = read_word(in);
    entry.sprgpno = bits(a, 0, 16);
    entry.time = bits(a, 16, 8);
    entry.atr = bits(a, 28, 2);
    entry.x = signed_half(b, 0);
    entry.y = signed_half(b, 16);
}

// Reads one sprite word and, in debug mode, echoes it under its field names.
static std::uint32_t read_sprite_word(std::FILE* in, const char* debug_name)
{
    std::uint32_t word = read_word(in);
    if (dumper_settings.debug) out_printf("/* %s 0x%08x */\n", debug_name, word);
    return word;
}

void read_sprite(std::FILE* in, SpriteEntry& entry)
{
    std::uint32_t offset_uv = read_sprite_word(in, "OfsY OfsX v u");
    entry.u = static_cast<unsigned char>(bits(offset_uv, 0, 8));
    entry.v = static_cast<unsigned char>(bits(offset_uv, 8, 8));
    entry.ox = bits(offset_uv, 16, 8);
    entry.oy = bits(offset_uv, 24, 8);

    std::uint32_t flags = read_sprite_word(in, "FLAG CBA");
    entry.clx = bits(flags, 0, 6);
    entry.cly = bits(flags, 6, 9);
    entry.abe = bits(flags, 15, 1);
    entry.tpn = bits(flags, 16, 5);
    entry.abr = bits(flags, 21, 2);
    entry.tpf = bits(flags, 23, 2);
    entry.rsz = bits(flags, 26, 1);
    entry.rotf = bits(flags, 27, 1);

    // A non-zero size code makes a square sprite of code x 8 pixels and
    // leaves out the size word.
    int size_code = bits(flags, 28, 4);
    if (size_code != 0) {
        entry.w = entry.h = static_cast<unsigned char>(size_code * 8);
    } else {
        std::uint32_t size = read_sprite_word(in, "H W");
        entry.w = static_cast<unsigned char>(bits(size, 0, 8));
        entry.h = static_cast<unsigned char>(bits(size, 16, 8));
    }

    std::uint32_t rotation = read_sprite_word(in, "FLAG2 ROT");
    entry.rot = bits(rotation, 0, 16);
    entry.csn = bits(rotation, 24, 6);
    entry.bno = bits(rotation, 30, 2);

    std::uint32_t position = read_sprite_word(in, "Y X");
    entry.x = signed_half(position, 0);
    entry.y = signed_half(position, 16);
}
