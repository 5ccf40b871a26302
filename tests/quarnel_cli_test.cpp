// quarnel as its users run it: the built binary, its arguments, standard
// input, and the exact bytes on stdout and stderr with the exit status.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "output.h"
#include "test_support.h"

namespace {

const std::string quarnel = QUARNEL_PATH;

const std::string usage =
    "* quarnel $Revision: 1.2 $ *\n"
    "written by quarnel-pavrin project <quarnel-pavrin@example.org>\n"
    "usage: quarnel [options] [file.anm]\n"
    "option:\n"
    "  -d  debug mode\n"
    "  -s  static symbol\n"
    "  -l  lower case label\n"
    "  -r  reverse spt\n";

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// The dump of a file holding only a zero header word and a zero count word.
std::string empty_dump(const std::string& name, const std::string& label)
{
    return "/* file: " + name +
           " */\n/* header *\n * 0x00000000\n *  id: 0x00\n *  version: 0x00\n"
           " *  flag:\n *   clt: 0\n *   tpf: 0 (4bit)\n * \n * 0x00000000\n"
           " *  nsequence: 0\n *  nspritegp: 0\n */\n/* sequence\n"
           " * seq(atr,time,sprgpno,x,y)\n */\n"
           "SEQ " + label + "_seq[0+1] = {\n  seq(0,0,0,0,0)\t/* End mark */\n};\n"
           "/* Sprite group */\n"
           "/* spt(ox,oy,u,v,w,h,clx,cly,bno,csn,tpf,tpn,abe,abr,rotf,rot,rsz,x,y) */\n"
           "SPT *" + label + "_ptr[0+1] = {\n  NULL\n};\n";
}

class QuarnelCli : public testing::Test {
protected:
    void SetUp() override
    {
        dir = make_temp_dir();
        walk = read_file(TEST_DATA_DIR "/../../examples/walk.anm");
        walk_plain = read_file(TEST_DATA_DIR "/walk_plain.expected");
        mkdir((dir + "/data").c_str(), 0700);
        write_file(dir + "/data/Walk-1.anm", walk);
        write_file(dir + "/a.anm", le_words({0, 0}));
        write_file(dir + "/b.anm", le_words({0, 0}));
    }

    RunResult run(std::vector<std::string> args, const std::string& input = "")
    {
        args.insert(args.begin(), "quarnel");
        return run_tool(quarnel, args, input, dir);
    }

    std::string walk_as_stdin() const
    {
        return replace_all(replace_all(walk_plain, "data/Walk-1.anm", "<stdin>"),
                           "anm_Walk_1_anm", "anm__stdin_");
    }

    std::string dir, walk, walk_plain;
};

TEST_F(QuarnelCli, WorkedExamplesByNameAndThroughStandardInput)
{
    RunResult plain = run({"data/Walk-1.anm"});
    EXPECT_EQ(plain.out, walk_plain);
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(plain.status, 0);

    RunResult all = run({"-s", "-l", "-r", "-d", "data/Walk-1.anm"});
    EXPECT_EQ(all.out, read_file(TEST_DATA_DIR "/walk_slrd.expected"));
    EXPECT_EQ(all.status, 0);

    // bytes after the last group are never read
    for (const std::string& input : {walk, walk + le_words({0x12345678})}) {
        RunResult piped = run({}, input);
        EXPECT_EQ(piped.out, walk_as_stdin()) << input.size();
        EXPECT_EQ(piped.status, 0) << input.size();
    }
}

TEST_F(QuarnelCli, ArgumentsChooseStreamsOptionsAndStatus)
{
    const std::string a = empty_dump("a.anm", "anm_a_anm");
    const std::string b = empty_dump("b.anm", "anm_b_anm");
    const std::string in = empty_dump("<stdin>", "anm__stdin_");
    const std::string empty_input = le_words({0, 0});
    struct Case {
        std::vector<std::string> args;
        std::string out, err;
        int status;
    };
    const Case cases[] = {
        {{}, in, "", 0},
        {{"-s", "-l"},
         replace_all(replace_all(in, "SEQ", "static SEQ"), "SPT *", "static SPT *"), "", 0},
        {{"a.anm", "-", "b.anm"}, a + in + b, "", 0},
        {{"--", "b.anm"}, in + b, "", 0},
        {{"-"}, "", "quarnel: unknown option ``-''\n" + usage, 1},
        {{"-x", "a.anm"}, "", "quarnel: unknown option ``-x''\n" + usage, 1},
        {{"-d", "-?", "a.anm"}, "", usage, 0},
        {{"-?x"}, "", usage, 0},
        {{"a.anm", "-d"}, a, "quarnel: ``-d'' open error!\n", 1},
        {{"--d"}, "", "quarnel: ``-d'' open error!\n", 1},
        {{"a.anm", "missing.anm", "b.anm"}, a, "quarnel: ``missing.anm'' open error!\n", 1},
        {{"-lx", "A.B"}, "", "quarnel: ``A.B'' open error!\n", 1},
        {{"-dl", "a.anm"}, a, "", 0},  // only -d: the label keeps its case
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) shown += arg + " ";
        RunResult r = run(c.args, empty_input);
        EXPECT_EQ(r.out, c.out) << shown;
        EXPECT_EQ(r.err, c.err) << shown;
        EXPECT_EQ(r.status, c.status) << shown;
    }
}

TEST_F(QuarnelCli, RepeatedStandardInputContinuesWhereTheLastDumpStopped)
{
    RunResult r = run({"--", "a.anm", "-"}, walk + le_words({0, 0}));
    EXPECT_EQ(r.out, walk_as_stdin() + empty_dump("a.anm", "anm_a_anm") +
                         empty_dump("<stdin>", "anm__stdin_"));
    EXPECT_EQ(r.status, 0);

    RunResult ended = run({"--", "-"}, walk);
    EXPECT_EQ(ended.out, walk_as_stdin() + "/* file: <stdin> */\n/* header *\n");
    EXPECT_EQ(ended.err, "quarnel: <stdin> reach end of file!\n");
    EXPECT_EQ(ended.status, 1);
}

// A file on standard input is left where the dump stopped, as stdio leaves
// it, so whatever reads it next goes on from there: after a whole dump, and
// after a group size that ends the run.
TEST_F(QuarnelCli, StandardInputFileIsLeftWhereTheDumpStopped)
{
    write_file(dir + "/two.anm", walk + walk);
    write_file(dir + "/bad_then_walk.anm", le_words({0, 1, 128}) + walk);
    for (const std::string file : {"two.anm", "bad_then_walk.anm"}) {
        SCOPED_TRACE(file);
        const std::string script = "{ \"$0\" >/dev/null 2>&1; \"$0\"; } <" + file;
        RunResult r = run_tool("/bin/sh", {"sh", "-c", script, quarnel}, "", dir);
        EXPECT_EQ(r.out, walk_as_stdin());
        EXPECT_EQ(r.status, 0);
    }
}

// A pipe held open after the data is not waited on: the dump ends with the
// bytes it needs. The writer holds the pipe open until quarnel has ended,
// giving up after half a minute only so that a fault cannot hang the suite.
TEST_F(QuarnelCli, PipeHeldOpenAfterTheDataIsNotWaitedOn)
{
    const std::string script =
        "{ cat data/Walk-1.anm; i=0; while [ ! -e done ] && [ $i -lt 300 ]; do sleep 0.1; "
        "i=$((i + 1)); done; [ -e done ] || echo waited for >&2; } | "
        "{ \"$0\" >out.c; echo $? >done; }";
    RunResult r = run_tool("/bin/sh", {"sh", "-c", script, quarnel}, "", dir);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir + "/done"), "0\n");
    EXPECT_EQ(read_file(dir + "/out.c"), walk_as_stdin());
}

// Cut anywhere, the example dumps exactly as far as it was read whole and
// then reports the end; no word cut short is ever shown.
TEST_F(QuarnelCli, StreamCutAtEveryByteReportsTheEnd)
{
    const std::string full = walk_as_stdin();
    std::size_t previous_length = 0;
    for (std::size_t length = 0; length < walk.size(); ++length) {
        RunResult r = run({}, walk.substr(0, length));
        EXPECT_EQ(r.status, 1) << length;
        EXPECT_EQ(r.err, "quarnel: <stdin> reach end of file!\n") << length;
        EXPECT_EQ(full.compare(0, r.out.size(), r.out), 0) << length;
        EXPECT_LT(r.out.size(), full.size()) << length;
        EXPECT_GE(r.out.size(), previous_length) << length;
        if (length % 4 != 0) {
            RunResult word_start = run({}, walk.substr(0, length - length % 4));
            EXPECT_EQ(r.out, word_start.out) << length;
        }
        previous_length = r.out.size();
    }
    EXPECT_EQ(run({}, "").out, "/* file: <stdin> */\n/* header *\n");
}

TEST_F(QuarnelCli, GroupSizesOutside1To127AreRejectedAfterTheHeadLine)
{
    const std::vector<std::uint32_t> square_sprite = {1, 0x10000000, 0, 0};
    // each size, as the head line and the message show it (127:
    // GroupNumbersAndWidestFieldsFillTheirRoom)
    const std::pair<std::uint32_t, std::string> cases[] = {
        {0, "0"}, {128, "128"}, {0xffffffff, "-1"}};
    for (const auto& [nsprt, shown] : cases) {
        std::vector<std::uint32_t> words = {0, 1, nsprt};
        for (std::uint32_t i = 0; i < 127; ++i)
            words.insert(words.end(), square_sprite.begin(), square_sprite.end());
        RunResult r = run({}, le_words(words));
        std::size_t head = r.out.find("static SPT");
        ASSERT_NE(head, std::string::npos) << shown;
        EXPECT_EQ(r.out.substr(head), "static SPT anm__stdin__000[" + shown + "+1] = {\n");
        EXPECT_EQ(r.err, "quarnel: invalid nsprt " + shown + "!\n");
        EXPECT_EQ(r.status, 1) << shown;
    }
}

// Group numbers grow past three digits, and every field at its widest text
// (a five-digit group number, a group of 127) fills exactly the room kept
// for it: a build with assertions (the sanitizer build) stops at a bound one
// byte short.
TEST_F(QuarnelCli, GroupNumbersAndWidestFieldsFillTheirRoom)
{
    std::vector<std::uint32_t> words = {0, 1 << 16 | 10001, 0x30ffffff, 0x80008000};
    for (std::uint32_t group = 0; group < 10000; ++group)
        words.insert(words.end(), {1, group, 0x10000000, 0, 0});
    words.push_back(127);
    std::string widest_group = "__10000[127+1] = {\n";
    for (int s = 0; s < 127; ++s) {
        words.insert(words.end(), {0xffffffff, 0x0fffffff, 0x00ff00ff, 0xffffffff, 0x80008000});
        widest_group += "  spt(255,255,255,255,255,255,63,511,3,63,3,31,1,3,1,65535,1,-32768,-32768),\n";
    }
    const std::string texts[] = {"  seq(3,255,65535,-32768,-32768),\n", widest_group,
                                 "__000[1+1] = {\n", "__999[1+1] = {\n", "__1000[1+1] = {\n",
                                 "  anm__stdin__007,\n", "  anm__stdin__10000,\n  NULL\n};\n"};
    for (const char* option : {"-s", "-r"}) {  // the group in one pass, and in two
        RunResult r = run({option}, le_words(words));
        EXPECT_EQ(r.status, 0) << option << r.err;
        for (const std::string& text : texts)
            EXPECT_NE(r.out.find(text), std::string::npos) << option << text.substr(0, 40);
    }
}

TEST_F(QuarnelCli, DiagnosticsNameTheProgramAsInvokedAndTheStream)
{
    mkdir((dir + "/folder").c_str(), 0700);
    RunResult folder = run({"folder"});
    EXPECT_EQ(folder.out, "/* file: folder */\n/* header *\n");
    EXPECT_EQ(folder.err, "quarnel: folder read error!\n");
    EXPECT_EQ(folder.status, 1);

    RunResult renamed = run_tool(quarnel, {"/opt/bin/qq", "-q"}, "", dir);
    EXPECT_EQ(renamed.err.substr(0, 36), "/opt/bin/qq: unknown option ``-q''\n*");
    EXPECT_NE(renamed.err.find("usage: /opt/bin/qq [options]"), std::string::npos);

    RunResult unnamed = run_tool(quarnel, {"", "nothing"}, "", dir);
    EXPECT_EQ(unnamed.err, "quarnel: ``nothing'' open error!\n");
}

// Whatever the directory names, the file comment must not end early: the
// output has to compile. A '*' and a '/' can also meet through a line splice.
TEST_F(QuarnelCli, FileCommentStaysAClosedComment)
{
    struct Case {
        std::string dir, first_line;
    };
    const Case cases[] = {
        {"odd*", "/* file: odd*\\/y.anm */\n"},
        {"x*/z*", "/* file: x*\\/z*\\/y.anm */\n"},
        {"sp*\\\n", "/* file: sp*\\\n\\/y.anm */\n"},
        {"tg*?\?/\n", "/* file: tg*?\?/\n\\/y.anm */\n"},
        {"bl*\\ \r\n", "/* file: bl*\\ \r\n\\/y.anm */\n"},
        {"fine\\", "/* file: fine\\/y.anm */\n"},
    };
    for (const Case& c : cases) {
        std::filesystem::create_directories(dir + "/" + c.dir);
        write_file(dir + "/" + c.dir + "/y.anm", le_words({0, 0}));
        RunResult r = run_tool(quarnel, {"quarnel", c.dir + "/y.anm"}, "", dir, dir + "/out.c");
        EXPECT_EQ(r.status, 0) << c.dir;
        EXPECT_EQ(read_file(dir + "/out.c").substr(0, c.first_line.size()), c.first_line) << c.dir;
        RunResult cc = run_tool("/bin/sh", {"sh", "-c", "cc -std=c99 -pedantic-errors -include "
                                EXAMPLES_DIR "/anm.h -c -o out.o out.c"}, "", dir);
        EXPECT_EQ(cc.status, 0) << c.dir << cc.err;
    }
}

// Many groups of random sprites, with the sprite lines written here by other
// means than the tool's: far more text than the tool buffers before writing.
struct BigDump {
    std::string anm, lines, reversed_lines;
};

BigDump big_dump(int groups)
{
    std::mt19937 rng(777);
    auto pick = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
    BigDump big;
    std::vector<std::uint32_t> words = {0, static_cast<std::uint32_t>(groups)};
    for (int g = 0; g < groups; ++g) {
        char text[300];
        std::snprintf(text, sizeof text, "static SPT anm__stdin__%03d[127+1] = {\n", g);
        const std::string head = text;
        std::vector<std::string> lines;
        words.push_back(127);
        for (int s = 0; s < 127; ++s) {
            int ox = pick(0, 255), oy = pick(0, 255), u = pick(0, 255), v = pick(0, 255);
            int code = pick(0, 15), w = code ? code * 8 : pick(0, 255), h = code ? w : pick(0, 255);
            int clx = pick(0, 63), cly = pick(0, 511), bno = pick(0, 3), csn = pick(0, 63);
            int tpf = pick(0, 3), tpn = pick(0, 31), abe = pick(0, 1), abr = pick(0, 3);
            int rotf = pick(0, 1), rot = pick(0, 65535), rsz = pick(0, 1);
            int x = pick(-32768, 32767), y = pick(-32768, 32767);
            if (pick(0, 3) == 0) x /= 1000, y /= 100;  // shorter numbers too
            auto bits = [](int value, int at) { return static_cast<std::uint32_t>(value) << at; };
            words.insert(words.end(), {bits(u, 0) | bits(v, 8) | bits(ox, 16) | bits(oy, 24),
                                       bits(clx, 0) | bits(cly, 6) | bits(abe, 15) | bits(tpn, 16) |
                                           bits(abr, 21) | bits(tpf, 23) | bits(rsz, 26) |
                                           bits(rotf, 27) | bits(code, 28)});
            if (code == 0) words.push_back(bits(w, 0) | bits(h, 16));
            words.insert(words.end(), {bits(rot, 0) | bits(csn, 24) | bits(bno, 30),
                                       bits(x & 0xffff, 0) | bits(y & 0xffff, 16)});
            std::snprintf(text, sizeof text,
                          "  spt(%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d),\n", ox,
                          oy, u, v, w, h, clx, cly, bno, csn, tpf, tpn, abe, abr, rotf, rot, rsz, x, y);
            lines.push_back(text);
        }
        const std::string end = "  spt(0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0)\t/* End mark */\n};\n";
        big.lines += head;
        big.reversed_lines += head;
        for (int s = 0; s < 127; ++s) {
            big.lines += lines[s];
            big.reversed_lines += lines[126 - s];
        }
        big.lines += end;
        big.reversed_lines += end;
    }
    big.anm = le_words(words);
    return big;
}

std::string sprite_tables(const std::string& dump)
{
    std::size_t first = dump.find("static SPT"), last = dump.find("SPT *");
    return first == std::string::npos || last == std::string::npos ? "" : dump.substr(first, last - first);
}

TEST_F(QuarnelCli, SpriteLinesBeyondTheOutputBufferKeepEveryByte)
{
    const BigDump big = big_dump(60);
    ASSERT_GT(big.lines.size(), 2 * out_capacity);
    RunResult plain = run({}, big.anm);
    EXPECT_EQ(plain.status, 0);
    EXPECT_TRUE(sprite_tables(plain.out) == big.lines);  // megabytes: no diff on failure
    RunResult reversed = run({"-r"}, big.anm);
    EXPECT_TRUE(sprite_tables(reversed.out) == big.reversed_lines);
}

// Lost output is always reported, last: after a failure of the input that
// ended the run, and also when only closing stdout or a file size limit
// shows it.
TEST_F(QuarnelCli, LostOutputIsReportedLast)
{
    write_file(dir + "/cut.anm", walk.substr(0, 30));
    write_file(dir + "/big.anm", big_dump(1).anm);
    struct Case {
        std::string command, err;
        int status;
    };
    const Case cases[] = {
        {"\"$0\" data/Walk-1.anm >/dev/full", "Q: write error!\n", 1},
        {"\"$0\" data/Walk-1.anm cut.anm >/dev/full",
         "Q: cut.anm reach end of file!\nQ: write error!\n", 1},
        {"\"$0\" <cut.anm >/dev/full", "Q: <stdin> reach end of file!\nQ: write error!\n", 1},
        {"\"$0\" data/Walk-1.anm >&-", "Q: write error!\n", 1},
        {"\"$0\" '-?' >&-", replace_all(usage, "quarnel [", "Q ["), 0},
        {"ulimit -f 1 && \"$0\" -- big.anm <big.anm >limited.c", "Q: write error!\n", 1},
    };
    for (const Case& c : cases) {
        RunResult r = run_tool("/bin/sh", {"sh", "-c", c.command, quarnel}, "", dir);
        EXPECT_EQ(r.err, replace_all(c.err, "Q", quarnel)) << c.command;
        EXPECT_EQ(r.status, c.status) << c.command;
    }
    // what fitted under the limit is the dump's start, unchanged
    std::string limited = read_file(dir + "/limited.c");
    EXPECT_GE(limited.size(), 512u);
    EXPECT_EQ(limited, run({}, big_dump(1).anm).out.substr(0, limited.size()));
}

TEST_F(QuarnelCli, OpenFailingForLackOfMemoryIsMoreCore)
{
    if (run_tool("/bin/sh", {"sh", "-c", "command -v strace"}).status != 0)
        GTEST_SKIP() << "needs strace";
    // (a sanitizer build's leak check cannot run under strace)
    RunResult r = run_tool("/usr/bin/env", {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-o",
                                            "/dev/null", "-P", "b.anm",
                                            "-e", "inject=openat:error=ENOMEM", quarnel, "a.anm",
                                            "b.anm"}, "", dir);
    EXPECT_EQ(r.out, empty_dump("a.anm", "anm_a_anm"));
    std::size_t own = r.err.find(quarnel + ":");  // after strace's own notes
    EXPECT_EQ(r.err.substr(own == std::string::npos ? 0 : own), quarnel + ": more core!\n");
    EXPECT_EQ(r.status, 1);
}

}  // namespace
