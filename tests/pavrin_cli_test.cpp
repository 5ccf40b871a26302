// pavrin's command line: the option scan on its own, then the built program
// where a run needs more than arguments, files and expected bytes (those are
// in tests/cases): links, modes, devices.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "bytes.h"
#include "pavrin.h"
#include "test_support.h"

namespace {

const std::string a_map = map_bytes(2, 2, 8, 8, {1, 2, 3, 4});
const std::string b_map = map_bytes(3, 1, 8, 8, {5, 6, 7});
const std::string vertical_ab = map_bytes(3, 3, 8, 8, {1, 2, 0, 3, 4, 0, 5, 6, 7});

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
        // Bites only where strtoll reads "0b" as binary (glibc 2.38 and
        // later); an older C library stops at the 'b' by itself.
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

// The names fopen refuses are cases (tests/cases/pavrin/output-name-*);
// /dev/full and the links into /dev are tried with a /dev of the test's own
// (tests/fault_test.sh system_paths).

// The file a name leads to is what gets the new map: through a symbolic
// link, also one to a file not there yet, and through every hard link of
// the file, which is cut where the map ends. A replaced file keeps its
// mode; a new one gets what fopen gives it, here 0666 less the umask.
TEST_F(PavrinRun, OutputGoesWhereTheNameLeads)
{
    ASSERT_EQ(mkdir((dir + "/sub").c_str(), 0755), 0);
    write_file(dir + "/sub/real.map", "old");
    ASSERT_EQ(symlink("sub/real.map", (dir + "/link.map").c_str()), 0);
    ASSERT_EQ(symlink("sub/new.map", (dir + "/dangling.map").c_str()), 0);
    write_file(dir + "/first.map", std::string(5000, 'x'));
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
