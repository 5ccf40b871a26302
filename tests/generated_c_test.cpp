// The generated C as a game would use it: compiled by a C compiler with the
// sample header, linked, and its tables walked at run time. The values the
// program prints must be the values that went into the .anm files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace {

// An animation and how it is dumped.
struct Dump {
    std::string path;   // as given to quarnel
    std::string label;  // the table names' stem
    std::vector<std::string> options;
    Animation anm;
};

// What the checker program prints for one animation.
std::string expected_print(const Dump& dump)
{
    const Animation& anm = dump.anm;
    std::string text = "anm " + dump.label + "\n";
    for (const Sequence& s : anm.sequences)
        text += "seq " + std::to_string(s.atr) + " " + std::to_string(s.time) + " " +
                std::to_string(s.sprgpno) + " " + std::to_string(s.x) + " " +
                std::to_string(s.y) + "\n";
    for (std::size_t g = 0; g < anm.groups.size(); ++g) {
        text += "group " + std::to_string(g) + "\n";
        std::vector<Sprite> group = anm.groups[g];
        bool reverse = !dump.options.empty() && dump.options[0] == "-r";
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

TEST(GeneratedC, CompilesWithTheSampleHeaderAndHoldsTheFileValues)
{
    std::string dir = make_temp_dir();
    mkdir((dir + "/art*").c_str(), 0700);
    Rng rng(20261208);
    // groups of one sprite and of 127 among them
    const std::vector<Dump> dumps = {
        {"hero.anm", "anm_hero_anm", {}, random_animation(rng, 5, {1, 60, 127})},
        {"art*/Run Fast-2.ANM", "anm_run_fast_2_anm", {"-l"}, random_animation(rng, 1, {9, 2, 127, 33})},
        {"empty.anm", "anm_empty_anm", {}, random_animation(rng, 0, {})},
        {"back.anm", "anm_back_anm", {"-r"}, random_animation(rng, 2, {40})},
    };

    std::string main_c = "#include \"anm.h\"\nvoid print_anm(const char *, SEQ *, SPT **);\n";
    std::string calls, sources, expected;
    for (std::size_t i = 0; i < dumps.size(); ++i) {
        const Dump& d = dumps[i];
        write_file(dir + "/" + d.path, anm_bytes(d.anm));
        std::vector<std::string> argv = {"quarnel"};
        argv.insert(argv.end(), d.options.begin(), d.options.end());
        argv.push_back(d.path);
        std::string source = "out" + std::to_string(i) + ".c";
        RunResult dump = run_tool(QUARNEL_PATH, argv, "", dir, dir + "/" + source);
        ASSERT_EQ(dump.status, 0) << dump.err;
        sources += " " + source;
        main_c += "extern SEQ " + d.label + "_seq[];\nextern SPT *" + d.label + "_ptr[];\n";
        calls += "    print_anm(\"" + d.label + "\", " + d.label + "_seq, " + d.label +
                 "_ptr);\n";
        expected += expected_print(d);
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
