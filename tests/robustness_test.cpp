// Both tools over many random and mutated files and argument lists, with a
// fixed seed so a failure can be replayed. Whatever the input, a run ends
// with status 0 or 1, in time, without a sanitizer report, and says why it
// failed; a failed pavrin run leaves no output file behind, and no pavrin
// run leaves a temporary file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

const int runs_per_tool = 600;

// Flips bits, overwrites, cuts, grows or duplicates part of `bytes`.
std::string mutate(Rng& rng, std::string bytes)
{
    for (int n = pick(rng, 0, 4); n > 0; --n) {
        int size = static_cast<int>(bytes.size());
        switch (pick(rng, 0, 4)) {
        case 0:
            if (size) bytes[pick(rng, 0, size - 1)] ^= static_cast<char>(1 << pick(rng, 0, 7));
            break;
        case 1:
            if (size) bytes[pick(rng, 0, size - 1)] = static_cast<char>(pick(rng, 0, 255));
            break;
        case 2: bytes.resize(pick(rng, 0, size)); break;
        case 3: bytes.append(pick(rng, 1, 9), static_cast<char>(pick(rng, 0, 255))); break;
        case 4:
            if (size) bytes += bytes.substr(pick(rng, 0, size - 1), pick(rng, 1, 64));
            break;
        }
    }
    return bytes;
}

// A well-formed .anm file with random counts and fields.
std::string random_anm(Rng& rng)
{
    std::vector<int> groups(pick(rng, 0, 3));
    for (int& size : groups) size = pick(rng, 1, 127);
    Animation anm = random_animation(rng, pick(rng, 0, 4), groups);
    anm.header = static_cast<std::uint32_t>(rng());
    return anm_bytes(anm);
}

// A cell map header and its cells, mostly small, sometimes the largest.
std::string random_map(Rng& rng)
{
    int width = pick(rng, 0, 9) ? pick(rng, 0, 6) : 255;
    int height = pick(rng, 0, 9) ? pick(rng, 0, 6) : 255;
    std::vector<int> cells(width * height);
    for (int& cell : cells) cell = pick(rng, 0, 0xffff);
    return map_bytes(width, height, pick(rng, 0, 3) * 8, pick(rng, 0, 3) * 8, cells);
}

std::string random_number(Rng& rng)
{
    const char* forms[] = {"0", "8", "16", "255", "256", "1024", "-1", "-16", "0x20", "010",
                           "abc", "", " 12", "99999999999", "-99999999999", "0xffffffff"};
    return forms[pick(rng, 0, 15)];
}

bool has_sanitizer_report(const std::string& err)
{
    return err.find("Sanitizer") != std::string::npos ||
           err.find("runtime error") != std::string::npos;
}

std::string shown(const std::vector<std::string>& argv)
{
    std::string text;
    for (const std::string& arg : argv) text += "[" + arg + "] ";
    return text;
}

TEST(Robustness, QuarnelEndsCleanlyOnAnyInput)
{
    Rng rng(4242);
    std::string dir = make_temp_dir();
    mkdir((dir + "/folder").c_str(), 0700);
    const std::string walk = read_file(EXAMPLES_DIR "/walk.anm");
    const char* options[] = {"-d", "-s", "-l", "-r", "-x", "-?", "-", "--", "--in.anm", "-dl"};
    int dumped = 0, failed = 0;  // the mix must reach both ends

    for (int run = 0; run < runs_per_tool; ++run) {
        std::string data = mutate(rng, pick(rng, 0, 1) ? walk : random_anm(rng));
        write_file(dir + "/in.anm", data);
        std::vector<std::string> argv = {"quarnel"};
        for (int n = pick(rng, 0, 2); n > 0; --n) argv.push_back(options[pick(rng, 0, 9)]);
        const char* files[] = {"in.anm", "-", "missing.anm", "folder", "in.anm"};
        for (int n = pick(rng, 0, 3); n > 0; --n) argv.push_back(files[pick(rng, 0, 4)]);

        RunResult r = run_tool(QUARNEL_PATH, argv, mutate(rng, data), dir);
        SCOPED_TRACE("run " + std::to_string(run) + ": " + shown(argv));
        ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << "\n" << r.err;
        ASSERT_FALSE(has_sanitizer_report(r.err)) << r.err;
        if (r.status == 1) {
            ASSERT_FALSE(r.err.empty());
            ++failed;
        } else if (!r.err.empty()) {
            ASSERT_EQ(r.err.substr(0, 10), "* quarnel ");  // only -? writes to stderr
        } else {
            const std::string end = "  NULL\n};\n";
            ASSERT_GE(r.out.size(), end.size());
            ASSERT_EQ(r.out.substr(r.out.size() - end.size()), end) << "dump cut short";
            ++dumped;
        }
    }
    EXPECT_GT(dumped, runs_per_tool / 10);
    EXPECT_GT(failed, runs_per_tool / 10);
}

TEST(Robustness, PavrinEndsCleanlyOnAnyInputAndLeavesNoOutputAfterAFailure)
{
    Rng rng(2424);
    std::string dir = make_temp_dir();
    mkdir((dir + "/folder").c_str(), 0700);
    int joined = 0, failed = 0;  // the mix must reach both ends

    for (int run = 0; run < runs_per_tool; ++run) {
        std::vector<std::string> argv = {"pavrin"};
        for (int n = pick(rng, 0, 4); n > 0; --n) {
            switch (pick(rng, 0, 8)) {
            case 0: argv.push_back("-v"); break;
            case 1: argv.push_back("-x"); break;
            case 2: argv.push_back("-y"); break;
            case 3: argv.push_back("-w" + random_number(rng)); break;
            case 4: argv.push_back("-h" + random_number(rng)); break;
            case 5: argv.push_back("-c" + random_number(rng)); break;
            case 6: argv.push_back("-q"); break;
            case 7: argv.push_back("-?"); break;
            case 8: argv.push_back("-"); break;
            }
        }
        // The output: a new file, an existing one, or standard output.
        std::string output = "out" + std::to_string(run) + ".map";
        int output_kind = pick(rng, 0, 2);
        const std::string existing = "existing contents";
        if (output_kind == 1) write_file(dir + "/" + output, existing);
        if (output_kind < 2) argv.push_back("-o" + output);

        int inputs = pick(rng, 0, 6);
        for (int i = 0; i < inputs; ++i) {
            std::string name = "in" + std::to_string(i) + ".map";
            write_file(dir + "/" + name, pick(rng, 0, 2) ? random_map(rng) : mutate(rng, random_map(rng)));
            argv.push_back(pick(rng, 0, 15) ? name : pick(rng, 0, 1) ? "missing.map" : "folder");
        }

        RunResult r = run_tool(PAVRIN_PATH, argv, "", dir);
        SCOPED_TRACE("run " + std::to_string(run) + ": " + shown(argv));
        ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << "\n" << r.err;
        ASSERT_FALSE(has_sanitizer_report(r.err)) << r.err;
        std::string out_path = dir + "/" + output;
        if (r.status == 1) {
            ASSERT_FALSE(r.err.empty());
            ++failed;
            if (output_kind == 0) {
                ASSERT_FALSE(file_exists(out_path));
            } else if (output_kind == 1) {
                ASSERT_EQ(read_file(out_path), existing);
            }
        } else if (r.err.rfind("* pavrin ", 0) != 0 && output_kind < 2) {
            std::string map = read_file(out_path);
            ASSERT_GE(map.size(), 8u);
            unsigned char width = static_cast<unsigned char>(map[4]);
            unsigned char height = static_cast<unsigned char>(map[5]);
            ASSERT_EQ(map.size(), 8u + 2u * width * height);
            ++joined;
        }
        std::remove(out_path.c_str());
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            ASSERT_NE(entry.path().filename().string()[0], '.') << "stray " << entry.path();
    }
    EXPECT_GT(joined, runs_per_tool / 10);
    EXPECT_GT(failed, runs_per_tool / 10);
}

// Every input that ever made quarnel misbehave under the fuzzer.
TEST(Robustness, PastQuarnelFuzzFindingsEndCleanly)
{
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_CRASHES_DIR "/quarnel")) {
        if (entry.path().filename() == ".keep") continue;
        RunResult r = run_tool(QUARNEL_PATH, {"quarnel", "-d", "-s", "-l", "-r", entry.path().string()});
        EXPECT_TRUE(r.status == 0 || r.status == 1) << entry.path() << "\n" << r.err;
        EXPECT_FALSE(has_sanitizer_report(r.err)) << entry.path() << "\n" << r.err;
    }
}

}  // namespace
