// pavrin's command line: the option scan on its own, then the built program
// run as a user would run it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "pavrin.h"
#include "test_support.h"

namespace {

const std::string usage =
    "* pavrin $Revision: 1.6 $ *\n"
    "written by quarnel-pavrin project <quarnel-pavrin@example.org>\n"
    "usage: pavrin [options] file...\n"
    "option:\n"
    "  -oFILE output file\n"
    "  -v     verbose\n"
    "  -x     horizontal cat\n"
    "  -y     vertical cat\n"
    "  -wN    change map width N cells\n"
    "  -hN    change map height N cells\n"
    "  -cN    change cell size N pixels\n";

// Cells are written as 16-bit little-endian values.
std::string map_file(int width, int height, int cell_size, const std::vector<int>& cells)
{
    std::string bytes("#\0\0\0", 4);
    for (int size : {width, height, cell_size, cell_size}) bytes.push_back(static_cast<char>(size));
    for (int cell : cells) {
        bytes.push_back(static_cast<char>(cell & 0xff));
        bytes.push_back(static_cast<char>(cell >> 8));
    }
    return bytes;
}

const std::string a_map = map_file(2, 2, 8, {1, 2, 3, 4});
const std::string b_map = map_file(3, 1, 8, {5, 6, 7});
const std::string vertical_ab = map_file(3, 3, 8, {1, 2, 0, 3, 4, 0, 5, 6, 7});

// ---- the option scan ----

struct OptionCase {
    std::vector<std::string> args;  // after the program name
    int status;                     // -1: the run goes on
    const char* first_input;
    int next_input;
    const char* output_name;
    bool verbose, horizontal;
    std::int32_t new_width, new_height, cell_size;
};

std::string shown(const char* name)
{
    return name ? '"' + std::string(name) + '"' : "none";
}

TEST(PavrinOptions, ScanFillsTheSettings)
{
    const OptionCase cases[] = {
        {{"a"}, -1, nullptr, 1, nullptr, false, false, 0, 0, 0},
        {{"-vx", "-w0x20", "-h010", "-c8", "a"}, -1, nullptr, 5, nullptr, true, false, 32, 8, 8},
        {{"-xfoo", "a"}, -1, nullptr, 2, nullptr, false, true, 0, 0, 0},
        {{"-x", "-y", "-c8", "-c16", "-w16", "-wabc", "a"}, -1, nullptr, 7, nullptr,
         false, false, 0, 0, 16},
        {{"-w 0X1f", "-h-3", "-c+7z", "a"}, -1, nullptr, 4, nullptr, false, false, 31, -3, 7},
        {{"-w0b11", "-h08", "a"}, -1, nullptr, 3, nullptr, false, false, 0, 0, 0},
        {{"-w99999999999", "-h-99999999999", "-c4294967296", "a"}, -1, nullptr, 4, nullptr,
         false, false, INT32_MAX, INT32_MIN, INT32_MAX},
        {{"-o", "-oout.map", "a"}, -1, nullptr, 3, "out.map", false, false, 0, 0, 0},
        {{"-o", "out.map"}, -1, nullptr, 2, "", false, false, 0, 0, 0},
        {{"-w", "16"}, -1, nullptr, 2, nullptr, false, false, 0, 0, 0},
        {{"-v", "--", "a"}, -1, "-", 3, nullptr, true, false, 0, 0, 0},
        {{"---x"}, -1, "--x", 2, nullptr, false, false, 0, 0, 0},
        {{"a", "--", "-v"}, -1, nullptr, 1, nullptr, false, false, 0, 0, 0},
        {{}, 1, nullptr, 1, nullptr, false, false, 0, 0, 0},
        {{"-v", "-x"}, 1, nullptr, 3, nullptr, true, true, 0, 0, 0},
        {{"-v", "-?", "-q"}, 0, nullptr, 2, nullptr, true, false, 0, 0, 0},
        {{"-q", "a"}, 1, nullptr, 1, nullptr, false, false, 0, 0, 0},
    };
    for (const OptionCase& c : cases) {
        std::string command = "pavrin";
        for (const std::string& arg : c.args) command += " " + arg;
        SCOPED_TRACE(command);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "pavrin");
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        argv.push_back(nullptr);

        concatenator_settings = ConcatenatorSettings{};
        OptionScan scan = scan_options(static_cast<int>(args.size()), argv.data());
        const ConcatenatorSettings& s = concatenator_settings;
        EXPECT_EQ(scan.exit_status, c.status);
        EXPECT_EQ(shown(scan.first_input), shown(c.first_input));
        EXPECT_EQ(scan.next_input, c.next_input);
        EXPECT_EQ(shown(s.output_name), shown(c.output_name));
        EXPECT_EQ(s.verbose, c.verbose);
        EXPECT_EQ(s.horizontal, c.horizontal);
        EXPECT_EQ(s.new_width, c.new_width);
        EXPECT_EQ(s.new_height, c.new_height);
        EXPECT_EQ(s.cell_width, c.cell_size);
        EXPECT_EQ(s.cell_height, c.cell_size);
    }
}

// ---- the program ----

// The names in `path`, sorted, each followed by a blank.
std::string entries(const std::string& path)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string& name : names) text += name + " ";
    return text;
}

class PavrinRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = make_temp_dir();
        write_file(dir + "/a.map", a_map);
        write_file(dir + "/b.map", b_map);
    }

    RunResult run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "pavrin");
        return run_tool(PAVRIN_PATH, args, "", dir);
    }

    std::string dir;
};

// What a run writes and where: the usage text, then joins with -v's lines
// (the cell size warning, a forced size), the sample maps side by side, an
// output that is also an input, and names that look like options.
TEST_F(PavrinRun, UsageAndJoinedMaps)
{
    write_file(dir + "/big.map", map_file(1, 1, 16, {9}));
    write_file(dir + "/--", b_map);
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* output;  // file holding the result; nullptr: standard output
        std::string err, map;
    } cases[] = {
        {{"-?"}, 0, nullptr, usage, ""},
        {{"-v", "-?", "missing.map"}, 0, nullptr, usage, ""},
        {{}, 1, nullptr, usage, ""},
        {{"-v", "-w8"}, 1, nullptr, usage, ""},
        {{"-q", "a.map"}, 1, nullptr, "pavrin: unknown option ``q''\n" + usage, ""},
        {{"-", "a.map"}, 1, nullptr, "pavrin: unknown option ``''\n" + usage, ""},
        {{"-v", "a.map", "b.map"}, 0, nullptr,
         "   2 x    2    +0    +0 a.map\n"
         "   3 x    1    +0    +2 b.map\n"
         "   3 x    3 <stdout>\n",
         vertical_ab},
        {{"-v", "-w1", "-h4", "-oout.map", "a.map", "big.map"}, 0, "out.map",
         "   2 x    2    +0    +0 a.map\n"
         "pavrin: cell size miss match a.map:8x8 and big.map:16x16\n"
         "   1 x    1    +0    +2 big.map\n"
         "change map size 2x3 -> 1x4\n"
         "   1 x    4 out.map\n",
         map_file(1, 4, 8, {1, 3, 9, 0})},
        {{"-x", EXAMPLES_DIR "/left.map", EXAMPLES_DIR "/right.map"}, 0, nullptr, "",
         map_file(5, 2, 8, {1, 2, 5, 6, 7, 3, 4, 0, 0, 0})},
        {{"-oa.map", "a.map", "b.map"}, 0, "a.map", "", vertical_ab},
        {{"-o-", "--", "b.map"}, 0, "-", "", vertical_ab},
        {{"a.map", "--"}, 0, nullptr, "", vertical_ab},
    };
    for (const Case& c : cases) {
        std::string command = "pavrin";
        for (const std::string& arg : c.args) command += " " + arg;
        SCOPED_TRACE(command);
        write_file(dir + "/a.map", a_map);
        write_file(dir + "/-", a_map);
        RunResult result = run(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(c.output ? read_file(dir + "/" + c.output) : result.out, c.map);
    }
}

// Every refusal leaves out.map as it found it: absent, or with its old bytes.
TEST_F(PavrinRun, FailedRunsLeaveTheOutputAlone)
{
    write_file(dir + "/short.map", std::string("#\0\0\0\2\2\x08", 7));
    write_file(dir + "/cut.map", a_map.substr(0, a_map.size() - 1));
    write_file(dir + "/wide.map", map_file(255, 1, 8, std::vector<int>(255, 1)));
    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"a.map", "missing.map", "b.map"}, "pavrin: ``missing.map'' open error!\n"},
        {{"a.map", "short.map"}, "pavrin: ``short.map''header read error!\n"},
        {{"cut.map", "b.map"}, "pavrin: ``cut.map'' read error!\n"},
        {{"-x", "wide.map", "wide.map", "wide.map", "wide.map", "wide.map"},
         "pavrin: ``wide.map'' does not fit on the canvas!\n"},
        {{"-x", "wide.map", "wide.map"}, "pavrin: map size 510x1 out of range!\n"},
        {{"-w-1", "a.map"}, "pavrin: map size -1x2 out of range!\n"},
        {{"-h99999999999", "a.map"}, "pavrin: map size 2x2147483647 out of range!\n"},
        {{"-c256", "a.map"},
         "pavrin: cell size miss match <default>:256x256 and a.map:8x8\n"
         "pavrin: cell size 256x256 out of range!\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "-oout.map");
        SCOPED_TRACE(c.err);
        RunResult result = run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, c.err);
        EXPECT_FALSE(file_exists(dir + "/out.map"));

        write_file(dir + "/out.map", "old");
        result = run(args);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(read_file(dir + "/out.map"), "old");
        std::remove((dir + "/out.map").c_str());
    }
}

// Names fopen refuses are refused before anything is created.
TEST_F(PavrinRun, OutputErrors)
{
    for (const char* name : {"", ".", "missing/out.map", "out.map/", "a.map/"}) {
        RunResult result = run({std::string("-o") + name, "a.map"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err, "pavrin: ``" + std::string(name) + "'' open error!\n");
        EXPECT_EQ(entries(dir), "a.map b.map ");
    }
}

// The file a name leads to is what gets the new map: through a symbolic
// link, also one to a file not there yet, and through every hard link of
// the file. A replaced file keeps its mode; a new one gets 0666 less the
// umask.
TEST_F(PavrinRun, OutputGoesWhereTheNameLeads)
{
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    write_file(dir + "/sub/real.map", "old");
    ASSERT_EQ(symlink("sub/real.map", (dir + "/link.map").c_str()), 0);
    ASSERT_EQ(symlink("sub/new.map", (dir + "/dangling.map").c_str()), 0);
    write_file(dir + "/first.map", "old");
    ASSERT_EQ(link((dir + "/first.map").c_str(), (dir + "/second.map").c_str()), 0);
    write_file(dir + "/mode.map", "old");
    ASSERT_EQ(chmod((dir + "/mode.map").c_str(), 0604), 0);
    struct Case {
        const char* output;
        const char* written;  // where the map must be read back
    } cases[] = {
        {"link.map", "sub/real.map"},
        {"dangling.map", "sub/new.map"},
        {"first.map", "second.map"},
        {"mode.map", "mode.map"},
        {"fresh.map", "fresh.map"},
    };
    mode_t old_umask = umask(027);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        RunResult result = run({std::string("-o") + c.output, "a.map", "b.map"});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(read_file(dir + "/" + c.written), vertical_ab);
    }
    umask(old_umask);
    struct stat info;
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/link.map"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir + "/dangling.map"));
    ASSERT_EQ(stat((dir + "/mode.map").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0604u);
    ASSERT_EQ(stat((dir + "/fresh.map").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(dir),
              "a.map b.map dangling.map first.map fresh.map link.map mode.map second.map sub ");
    EXPECT_EQ(entries(dir + "/sub"), "new.map real.map ");
}

}  // namespace
