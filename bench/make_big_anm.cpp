// Writes a large .anm file for measuring quarnel: many full groups of
// varied sprites (about 40% with an explicit size word, negative positions
// included) and a long sequence table.
//
//   make_big_anm GROUPS SPRITES_PER_GROUP SEQUENCES > big.anm
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>

static void put_word(std::uint32_t word)
{
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
        static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
    std::fwrite(bytes, 1, 4, stdout);
}

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_big_anm GROUPS SPRITES_PER_GROUP SEQUENCES\n");
        return 1;
    }
    std::uint32_t groups = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 0));
    std::uint32_t sprites = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0));
    std::uint32_t sequences = static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 0));
    if (groups > 0xffff || sequences > 0xffff || sprites < 1 || sprites > 127) {
        std::fprintf(stderr, "make_big_anm: GROUPS and SEQUENCES up to 65535, SPRITES 1-127\n");
        return 1;
    }

    std::mt19937 rng(12345);
    put_word(0x10010321);
    put_word(sequences << 16 | groups);
    for (std::uint32_t i = 0; i < sequences; ++i) {
        put_word(rng() & 0x30ffffff);
        put_word(rng());
    }
    for (std::uint32_t g = 0; g < groups; ++g) {
        put_word(sprites);
        for (std::uint32_t s = 0; s < sprites; ++s) {
            std::uint32_t flags = rng() & 0x0fffffff;
            if (rng() % 10 >= 4) flags |= (1 + rng() % 15) << 28;  // square: no size word
            put_word(rng());
            put_word(flags);
            if (flags >> 28 == 0) put_word(rng());
            put_word(rng());
            put_word(rng());  // x and y, negative about half the time
        }
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
