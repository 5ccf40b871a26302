// bytes: writes a test input to standard output.
//
//   bytes anm GROUPS SPRITES SEQUENCES [SEED]
//       a random .anm file: GROUPS groups of SPRITES sprites each (1-127)
//       and SEQUENCES sequence entries, from SEED (default 1)
//   bytes map WIDTH HEIGHT CELL_WIDTH CELL_HEIGHT [CELL...]
//       a cell map; its cells in row order, those not given 0
//
// Numbers may be written in decimal, hexadecimal (0x...) or octal (0...).
// A shell test's map: bytes map 2 1 8 8 1 2 >a.map; one with every cell
// different: bytes map 255 255 8 8 $(seq 65025) >big.map
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bytes.h"

// The argument as a number from 0 to 0xffffffff, or -1 when it is none.
static long long number(const char* text)
{
    char* end = nullptr;
    long long value = std::strtoll(text, &end, 0);
    return *text && !*end && value >= 0 && value <= 0xffffffffLL ? value : -1;
}

static int usage()
{
    std::fputs("usage: bytes anm GROUPS SPRITES SEQUENCES [SEED]\n"
               "       bytes map WIDTH HEIGHT CELL_WIDTH CELL_HEIGHT [CELL...]\n",
               stderr);
    return 2;
}

int main(int argc, char** argv)
{
    std::vector<long long> values;
    for (int i = 2; i < argc; ++i) {
        long long value = number(argv[i]);
        if (value < 0) return usage();
        values.push_back(value);
    }
    std::string bytes;
    const std::string kind = argc > 1 ? argv[1] : "";
    if (kind == "anm" && (values.size() == 3 || values.size() == 4)) {
        if (values[0] > 0xffff || values[1] < 1 || values[1] > 127 || values[2] > 0xffff)
            return usage();
        // Group by group: the benchmark's file is 45 MB.
        Rng rng(values.size() == 4 ? static_cast<Rng::result_type>(values[3]) : 1);
        Animation head = random_animation(rng, static_cast<int>(values[2]), {});
        bytes = anm_head_bytes(head.header, head.sequences, static_cast<int>(values[0]));
        for (long long g = 0; g < values[0]; ++g) {
            std::vector<Sprite> group;
            for (long long s = 0; s < values[1]; ++s) group.push_back(random_sprite(rng));
            bytes += group_bytes(group);
            if (bytes.size() > 1 << 16) {
                std::fwrite(bytes.data(), 1, bytes.size(), stdout);
                bytes.clear();
            }
        }
    } else if (kind == "map" && values.size() >= 4) {
        if (values[0] > 255 || values[1] > 255 || values[2] > 255 || values[3] > 255 ||
            values.size() - 4 > static_cast<std::size_t>(values[0] * values[1]))
            return usage();
        std::vector<int> cells(values[0] * values[1]);
        for (std::size_t i = 4; i < values.size(); ++i) {
            if (values[i] > 0xffff) return usage();
            cells[i - 4] = static_cast<int>(values[i]);
        }
        bytes = map_bytes(static_cast<int>(values[0]), static_cast<int>(values[1]),
                          static_cast<int>(values[2]), static_cast<int>(values[3]), cells);
    } else {
        return usage();
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
