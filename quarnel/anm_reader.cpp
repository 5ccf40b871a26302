#include "anm_reader.h"

#include "output.h"
#include "settings.h"

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
[[noreturn]] static void fail_short_stream(const Input& in)
{
    if (in.failed)
        fail("%s: %s read error!\n", dumper_settings.program_name,
             dumper_settings.current_file_name);
    fail("%s: %s reach end of file!\n", dumper_settings.program_name,
         dumper_settings.current_file_name);
}

static void need_bytes(Input& in, std::size_t count)
{
    if (input_available(in) < count && !input_fill(in, count)) fail_short_stream(in);
}

std::uint32_t read_word(Input& in)
{
    need_bytes(in, 4);
    std::uint32_t word = load_word(in.next);
    in.next += 4;
    return word;
}

void read_sequence(Input& in, SequenceEntry& entry)
{
    std::uint32_t a = read_word(in);
    std::uint32_t b = read_word(in);
    entry.sprgpno = field(a, 0, 16);
    entry.time = field(a, 16, 8);
    entry.atr = field(a, 28, 2);
    entry.x = signed_half(b, 0);
    entry.y = signed_half(b, 16);
}

// Reads one sprite word and, in debug mode, echoes it under its field names.
static std::uint32_t read_sprite_word(Input& in, const char* debug_name)
{
    std::uint32_t word = read_word(in);
    if (dumper_settings.debug) out_printf("/* %s 0x%08x */\n", debug_name, word);
    return word;
}

void read_sprite(Input& in, SpriteEntry& entry)
{
    entry.offset_uv = read_sprite_word(in, "OfsY OfsX v u");
    entry.flags = read_sprite_word(in, "FLAG CBA");
    entry.size = entry.flags >> 28 != 0 ? square_size_word(entry.flags) : read_sprite_word(in, "H W");
    entry.rotation = read_sprite_word(in, "FLAG2 ROT");
    entry.position = read_sprite_word(in, "Y X");
}

void need_sprite(Input& in)
{
    need_bytes(in, 8);
    need_bytes(in, load_word(in.next + 4) >> 28 != 0 ? 16 : 20);
}
