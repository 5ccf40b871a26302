// The generated C as a game would use it: compiled by a C compiler with the
// sample header, linked, and its tables walked at run time. The values the
// program prints must be the values that went into the .anm files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

struct Sprite {
    int ox, oy, u, v, w, h, clx, cly, bno, csn, tpf, tpn, abe, abr, rotf, rot, rsz, x, y;
    int size_code;  // 0: w and h go in a word of their own
};

struct Sequence {
    int atr, time, sprgpno, x, y;
};

struct Animation {
    std::string path;    // as given to quarnel
    std::string label;   // the table names' stem
    std::vector<std::string> options;
    std::vector<Sequence> sequences;
    std::vector<std::vector<Sprite>> groups;
};

std::uint32_t u16(int value)
{
    return static_cast<std::uint16_t>(value);
}

std::string encode(const Animation& anm)
{
    std::vector<std::uint32_t> words = {0x10010321, static_cast<std::uint32_t>(
                                                        anm.sequences.size() << 16 |
                                                        anm.groups.size())};
    for (const Sequence& s : anm.sequences) {
        words.push_back(u16(s.sprgpno) | u16(s.time) << 16 | static_cast<std::uint32_t>(s.atr) << 28);
        words.push_back(u16(s.x) | u16(s.y) << 16);
    }
    for (const std::vector<Sprite>& group : anm.groups) {
        words.push_back(static_cast<std::uint32_t>(group.size()));
        for (const Sprite& p : group) {
            words.push_back(u16(p.u) | u16(p.v) << 8 | u16(p.ox) << 16 | u16(p.oy) << 24);
            words.push_back(u16(p.clx) | u16(p.cly) << 6 | u16(p.abe) << 15 | u16(p.tpn) << 16 |
                            u16(p.abr) << 21 | u16(p.tpf) << 23 | u16(p.rsz) << 26 |
                            u16(p.rotf) << 27 | u16(p.size_code) << 28);
            if (p.size_code == 0) words.push_back(u16(p.w) | u16(p.h) << 16);
            words.push_back(u16(p.rot) | u16(p.csn) << 24 | u16(p.bno) << 30);
            words.push_back(u16(p.x) | u16(p.y) << 16);
        }
    }
    return le_words(words);
}

// What the checker program prints for one animation.
std::string expected_print(const Animation& anm)
{
    std::string text = "anm " + anm.label + "\n";
    for (const Sequence& s : anm.sequences)
        text += "seq " + std::to_string(s.atr) + " " + std::to_string(s.time) + " " +
                std::to_string(s.sprgpno) + " " + std::to_string(s.x) + " " +
                std::to_string(s.y) + "\n";
    for (std::size_t g = 0; g < anm.groups.size(); ++g) {
        text += "group " + std::to_string(g) + "\n";
        std::vector<Sprite> group = anm.groups[g];
        bool reverse = !anm.options.empty() && anm.options[0] == "-r";
        if (reverse) group.assign(anm.groups[g].rbegin(), anm.groups[g].rend());
        for (const Sprite& p : group) {
            text += "spt";
            for (int value : {p.ox, p.oy, p.u, p.v, p.w, p.h, p.clx, p.cly, p.bno, p.csn, p.tpf,
                              p.tpn, p.abe, p.abr, p.rotf, p.rot, p.rsz, p.x, p.y})
                text += " " + std::to_string(value);
            text += "\n";
        }
    }
    return text;
}

Animation random_animation(std::mt19937& rng, int nsequence, int nspritegp)
{
    auto pick = [&rng](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    Animation anm;
    for (int i = 0; i < nsequence; ++i)
        anm.sequences.push_back({pick(0, 3), pick(1, 255), pick(0, 65535), pick(-32768, 32767),
                                 pick(-32768, 32767)});
    for (int g = 0; g < nspritegp; ++g) {
        std::vector<Sprite> group;
        for (int n = pick(1, 127); n > 0; --n) {
            Sprite p{};
            p.size_code = pick(0, 4) < 2 ? 0 : pick(1, 15);
            p.w = p.size_code ? p.size_code * 8 : pick(1, 255);
            p.h = p.size_code ? p.size_code * 8 : pick(0, 255);
            p.ox = pick(0, 255), p.oy = pick(0, 255), p.u = pick(0, 255), p.v = pick(0, 255);
            p.clx = pick(0, 63), p.cly = pick(0, 511), p.bno = pick(0, 3), p.csn = pick(0, 63);
            p.tpf = pick(0, 3), p.tpn = pick(0, 31), p.abe = pick(0, 1), p.abr = pick(0, 3);
            p.rotf = pick(0, 1), p.rot = pick(0, 65535), p.rsz = pick(0, 1);
            p.x = pick(-32768, 32767), p.y = pick(-32768, 32767);
            group.push_back(p);
        }
        anm.groups.push_back(group);
    }
    return anm;
}

TEST(GeneratedC, CompilesWithTheSampleHeaderAndHoldsTheFileValues)
{
    std::string dir = make_temp_dir();
    mkdir((dir + "/art*").c_str(), 0700);
    std::mt19937 rng(20261208);

    std::vector<Animation> animations = {
        random_animation(rng, 5, 3), random_animation(rng, 1, 4), random_animation(rng, 0, 0),
        random_animation(rng, 2, 1)};
    animations[0].path = "hero.anm", animations[0].label = "anm_hero_anm";
    animations[1].path = "art*/Run Fast-2.ANM", animations[1].label = "anm_run_fast_2_anm";
    animations[1].options = {"-l"};
    animations[2].path = "empty.anm", animations[2].label = "anm_empty_anm";
    animations[3].path = "back.anm", animations[3].label = "anm_back_anm";
    animations[3].options = {"-r"};

    std::string main_c = "#include \"anm.h\"\nvoid print_anm(const char *, SEQ *, SPT **);\n";
    std::string calls, sources, expected;
    for (std::size_t i = 0; i < animations.size(); ++i) {
        const Animation& anm = animations[i];
        write_file(dir + "/" + anm.path, encode(anm));
        std::vector<std::string> argv = {"quarnel"};
        argv.insert(argv.end(), anm.options.begin(), anm.options.end());
        argv.push_back(anm.path);
        std::string source = "out" + std::to_string(i) + ".c";
        RunResult dump = run_tool(QUARNEL_PATH, argv, "", dir, dir + "/" + source);
        ASSERT_EQ(dump.status, 0) << dump.err;
        sources += " " + source;
        main_c += "extern SEQ " + anm.label + "_seq[];\nextern SPT *" + anm.label + "_ptr[];\n";
        calls += "    print_anm(\"" + anm.label + "\", " + anm.label + "_seq, " + anm.label +
                 "_ptr);\n";
        expected += expected_print(anm);
    }
    write_file(dir + "/main.c", main_c + "int main(void)\n{\n" + calls + "    return 0;\n}\n");

    std::string compile = "cc -std=c99 -pedantic-errors -Wall -Wextra -Werror -I" EXAMPLES_DIR
                          " -include anm.h -o checker main.c " TEST_DATA_DIR "/anm_checker.c" + sources;
    RunResult build = run_tool("/bin/sh", {"sh", "-c", compile}, "", dir);
    ASSERT_EQ(build.status, 0) << build.out << build.err;

    RunResult walk = run_tool(dir + "/checker", {"checker"});
    EXPECT_EQ(walk.status, 0);
    EXPECT_EQ(walk.out, expected);
}

}  // namespace
