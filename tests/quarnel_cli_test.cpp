// quarnel run as its users run it, where a case needs more than arguments,
// files and expected bytes (those are in tests/cases): shells, pipes, limits,
// generated inputs, and the name it is invoked under.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bytes.h"
#include "output.h"
#include "test_support.h"

namespace {

const std::string quarnel = QUARNEL_PATH;

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// A case's expected file.
std::string expected(const std::string& case_file)
{
    return read_file(CASES_DIR "/quarnel/" + case_file);
}

class QuarnelCli : public testing::Test {
protected:
    void SetUp() override
    {
        dir = make_temp_dir();
        walk = read_file(EXAMPLES_DIR "/walk.anm");
        walk_as_stdin = expected("walk-stdin/stdout");
        write_file(dir + "/walk.anm", walk);
        write_file(dir + "/a.anm", le_words({0, 0}));
        write_file(dir + "/b.anm", le_words({0, 0}));
    }

    RunResult run(std::vector<std::string> args, const std::string& input = "")
    {
        args.insert(args.begin(), "quarnel");
        return run_tool(quarnel, args, input, dir);
    }

    std::string dir, walk, walk_as_stdin;
};

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
        EXPECT_EQ(r.out, walk_as_stdin);
        EXPECT_EQ(r.status, 0);
    }
}

// A pipe held open after the data is not waited on: the dump ends with the
// bytes it needs. The writer holds the pipe open until quarnel has ended,
// giving up after half a minute only so that a fault cannot hang the suite.
TEST_F(QuarnelCli, PipeHeldOpenAfterTheDataIsNotWaitedOn)
{
    const std::string script =
        "{ cat walk.anm; i=0; while [ ! -e done ] && [ $i -lt 300 ]; do sleep 0.1; "
        "i=$((i + 1)); done; [ -e done ] || echo waited for >&2; } | "
        "{ \"$0\" >out.c; echo $? >done; }";
    RunResult r = run_tool("/bin/sh", {"sh", "-c", script, quarnel}, "", dir);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir + "/done"), "0\n");
    EXPECT_EQ(read_file(dir + "/out.c"), walk_as_stdin);
}

// Cut anywhere, the example dumps exactly as far as it was read whole and
// then reports the end; no word cut short is ever shown.
TEST_F(QuarnelCli, StreamCutAtEveryByteReportsTheEnd)
{
    std::size_t previous_length = 0;
    for (std::size_t length = 0; length < walk.size(); ++length) {
        RunResult r = run({}, walk.substr(0, length));
        EXPECT_EQ(r.status, 1) << length;
        EXPECT_EQ(r.err, "quarnel: <stdin> reach end of file!\n") << length;
        EXPECT_EQ(walk_as_stdin.compare(0, r.out.size(), r.out), 0) << length;
        EXPECT_LT(r.out.size(), walk_as_stdin.size()) << length;
        EXPECT_GE(r.out.size(), previous_length) << length;
        if (length % 4 != 0) {
            RunResult word_start = run({}, walk.substr(0, length - length % 4));
            EXPECT_EQ(r.out, word_start.out) << length;
        }
        previous_length = r.out.size();
    }
}

// Group numbers grow past three digits, and every field at its widest text
// (a five-digit group number, a group of 127) fills exactly the room kept
// for it: any build stops at a bound one byte short.
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

// Not cases: a folder opens only on POSIX hosts (Windows refuses it at the
// open), and the runner shows every program name as quarnel.
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
        {"a*\\", "/* file: a*\\/y.anm */\n"},  // no splice: the '/' is alone
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

// Many groups of random sprites, with the sprite lines written here from
// their fields, by other means than the tool's: far more text than the tool
// buffers before writing.
struct BigDump {
    std::string anm, lines, reversed_lines;
};

std::string spt_line(const Sprite& p)
{
    char text[200];
    std::snprintf(text, sizeof text, "  spt(%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d),\n",
                  p.ox, p.oy, p.u, p.v, p.w, p.h, p.clx, p.cly, p.bno, p.csn, p.tpf, p.tpn, p.abe,
                  p.abr, p.rotf, p.rot, p.rsz, p.x, p.y);
    return text;
}

BigDump big_dump(int groups)
{
    Rng rng(777);
    const Animation anm = random_animation(rng, 0, std::vector<int>(groups, 127));
    BigDump big{anm_bytes(anm), "", ""};
    const std::string end = "  spt(0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0)\t/* End mark */\n};\n";
    for (int g = 0; g < groups; ++g) {
        char head[64];
        std::snprintf(head, sizeof head, "static SPT anm__stdin__%03d[127+1] = {\n", g);
        big.lines += head;
        big.reversed_lines += head;
        for (int s = 0; s < 127; ++s) {
            big.lines += spt_line(anm.groups[g][s]);
            big.reversed_lines += spt_line(anm.groups[g][126 - s]);
        }
        big.lines += end;
        big.reversed_lines += end;
    }
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
        {"\"$0\" walk.anm >/dev/full", "Q: write error!\n", 1},
        {"\"$0\" walk.anm cut.anm >/dev/full",
         "Q: cut.anm reach end of file!\nQ: write error!\n", 1},
        {"\"$0\" <cut.anm >/dev/full", "Q: <stdin> reach end of file!\nQ: write error!\n", 1},
        {"\"$0\" walk.anm >&-", "Q: write error!\n", 1},
        {"\"$0\" '-?' >&-", replace_all(expected("usage/stderr"), "quarnel [", "Q ["), 0},
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
    EXPECT_EQ(r.out, expected("missing-file-stops/stdout"));  // a.anm's dump
    std::size_t own = r.err.find(quarnel + ":");  // after strace's own notes
    EXPECT_EQ(r.err.substr(own == std::string::npos ? 0 : own), quarnel + ": more core!\n");
    EXPECT_EQ(r.status, 1);
}

}  // namespace
