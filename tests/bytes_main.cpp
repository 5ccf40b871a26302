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

// The argument as a number from low to high, or -1 when it is none.
static long number(const char* text, long low, long high)
{
    char* end = nullptr;
    long value = std::strtol(text, &end, 0);
    return *text && !*end && value >= low && value <= high ? value : -1;
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
    std::vector<long> values;
    for (int i = 2; i < argc; ++i) {
        long value = number(argv[i], 0, 0xffffffffL);
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
        for (long g = 0; g < values[0]; ++g) {
            std::vector<Sprite> group;
            for (long s = 0; s < values[1]; ++s) group.push_back(random_sprite(rng));
            bytes += group_bytes(group);
            if (bytes.size() > 1 << 16) {
                std::fwrite(bytes.data(), 1, bytes.size(), stdout);
                bytes.clear();
            }
        }
    } else if (kind == "map" && values.size() >= 4) {
        std::vector<int> cells(values.begin() + 4, values.end());
        if (values[0] > 255 || values[1] > 255 || values[2] > 255 || values[3] > 255 ||
            cells.size() > static_cast<std::size_t>(values[0] * values[1]))
            return usage();
        for (int cell : cells)
            if (cell > 0xffff) return usage();
        cells.resize(values[0] * values[1]);
        bytes = map_bytes(values[0], values[1], values[2], values[3], cells);
    } else {
        return usage();
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
