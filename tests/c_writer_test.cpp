// Labels, and whole dumps read in blocks of any size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "c_writer.h"
#include "input.h"
#include "output.h"
#include "settings.h"
#include "test_support.h"

namespace {

std::string label_of(const char* name, bool lower)
{
    dumper_settings.lower = lower;
    char* label = make_label(name);
    std::string result = label;
    std::free(label);
    dumper_settings.lower = false;
    return result;
}

TEST(MakeLabel, FoldsTheBaseNameIntoAnIdentifier)
{
    struct Case {
        const char* name;
        const char* label;
        const char* lower_label;
    };
    const Case cases[] = {
        {"walk.anm", "anm_walk_anm", "anm_walk_anm"},
        {"data/Walk-1.anm", "anm_Walk_1_anm", "anm_walk_1_anm"},
        {"<stdin>", "anm__stdin_", "anm__stdin_"},
        {"C:\\art\\RUN.ANM", "anm_C__art_RUN_ANM", "anm_c__art_run_anm"},
        {"a/b/c/Z_9.x", "anm_Z_9_x", "anm_z_9_x"},
        {"dir/", "anm_", "anm_"},
        {"", "anm_", "anm_"},
        {"100% sure.anm", "anm_100__sure_anm", "anm_100__sure_anm"},
        {"caf\xc3\xa9.ANM", "anm_caf___ANM", "anm_caf___anm"},
        {"[]{}@`~^", "anm_________", "anm_________"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(label_of(c.name, false), c.label) << c.name;
        EXPECT_EQ(label_of(c.name, true), c.lower_label) << c.name;
    }
}

TEST(MakeLabel, SameBaseNameInOtherDirectoriesGivesTheSameLabel)
{
    EXPECT_EQ(label_of("a/walk.anm", false), label_of("b/walk.anm", false));
    EXPECT_NE(label_of("a\\walk.anm", false), label_of("b\\walk.anm", false));
}

}  // namespace

// ---- dumps read in blocks of any size ----

namespace {

std::string capture_path;
int saved_stdout = -1;

// Sends stdout to a file (a new one unless given) until end_capture, which
// returns what was written.
void start_capture(const std::string& path = "")
{
    capture_path = path.empty() ? make_temp_dir() + "/out" : path;
    std::fflush(stdout);
    saved_stdout = dup(1);
    int file = open(capture_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 1);
    close(file);
}

std::string end_capture()
{
    out_flush();
    std::fflush(stdout);
    dup2(saved_stdout, 1);
    close(saved_stdout);
    return read_file(capture_path);
}

// An Input over `bytes`, read from a file `block` bytes at a time.
Input& open_in_blocks(const std::string& bytes, std::size_t block)
{
    static Input in;
    static int descriptor = -1;
    if (descriptor >= 0) close(descriptor);
    std::string path = make_temp_dir() + "/in.anm";
    write_file(path, bytes);
    descriptor = open(path.c_str(), O_RDONLY);
    input_block_size = block;
    input_start(in, descriptor);
    return in;
}

std::string dump_in_blocks(const std::string& bytes, std::size_t block)
{
    Input& in = open_in_blocks(bytes, block);
    start_capture();
    dump_file(in, "in.anm");
    input_block_size = input_block_max;
    return end_capture();
}

// Groups of 1, 127, 5 and 60 random sprites, every other one with a size
// word, after three sequence entries.
std::string sample_anm()
{
    std::mt19937 rng(99);
    std::vector<std::uint32_t> words = {0x10010321, 3 << 16 | 4};
    for (int i = 0; i < 6; ++i) words.push_back(static_cast<std::uint32_t>(rng()));
    for (std::uint32_t nsprt : {1, 127, 5, 60}) {
        words.push_back(nsprt);
        for (std::uint32_t s = 0; s < nsprt; ++s) {
            std::uint32_t flags = static_cast<std::uint32_t>(rng());
            if (s % 2) flags &= 0x0fffffff;
            words.insert(words.end(), {static_cast<std::uint32_t>(rng()), flags});
            if (flags >> 28 == 0) words.push_back(static_cast<std::uint32_t>(rng()));
            words.insert(words.end(), {static_cast<std::uint32_t>(rng()), static_cast<std::uint32_t>(rng())});
        }
    }
    return le_words(words);
}

struct Options {
    const char* name;
    bool debug, reverse;
};
const Options option_sets[] = {{"", false, false}, {"-r", false, true}, {"-d", true, false}};

void set_options(const Options& options)
{
    dumper_settings.debug = options.debug;
    dumper_settings.reverse = options.reverse;
}

// Block boundaries inside words, inside entries and inside groups, and
// blocks far smaller than a group, change nothing in the text.
TEST(DumpFile, BlockBoundariesAnywhereGiveTheSameText)
{
    const std::string anm = sample_anm();
    for (const Options& options : option_sets) {
        set_options(options);
        const std::string whole = dump_in_blocks(anm, input_block_max);
        EXPECT_EQ(whole.substr(whole.size() - 10), "  NULL\n};\n") << options.name;
        for (std::size_t block : {1, 2, 3, 7, 20, 1000})
            EXPECT_TRUE(dump_in_blocks(anm, block) == whole) << options.name << " " << block;
    }
    set_options({"", false, false});
}

// A stream cut short shows the same text whatever the blocks: a group cut
// short shows its head line (and with -d the words read), none of its
// sprite lines.
TEST(DumpFileDeathTest, CutStreamShowsTheSameTextBeforeTheEnd)
{
    const std::string anm = sample_anm();
    const std::size_t big_group = 4 + 4 + 24 + 4 + 20;  // the 127 group's nsprt word, at most
    for (const Options& options : option_sets) {
        set_options(options);
        const std::string whole = dump_in_blocks(anm, input_block_max);
        for (std::size_t cut : {std::size_t{6}, big_group + 4 + 1000 + 2, anm.size() - 3}) {
            std::string first;
            for (std::size_t block : {input_block_max, std::size_t{3}, std::size_t{64}}) {
                const std::string path = make_temp_dir() + "/out";
                EXPECT_EXIT(
                    {
                        Input& in = open_in_blocks(anm.substr(0, cut), block);
                        start_capture(path);
                        dump_file(in, "in.anm");
                    },
                    testing::ExitedWithCode(1), "^quarnel: in.anm reach end of file!\n$");
                std::string text = read_file(path);
                if (first.empty()) first = text;
                EXPECT_EQ(text, first) << options.name << " " << cut << " " << block;
            }
            if (cut > 6 && !options.debug) {
                EXPECT_EQ(first.substr(first.size() - 6), "] = {\n") << options.name << " " << cut;
            }
            EXPECT_EQ(whole.compare(0, first.size(), first), 0) << options.name << " " << cut;
        }
    }
    set_options({"", false, false});
}

// Standard input named again goes on where the last dump stopped, also when
// that dump had already read the next one's bytes.
TEST(DumpFile, ReadAheadIsKeptForTheNextDump)
{
    const std::string first = sample_anm();
    const std::string second = le_words({0, 1 << 16 | 1, 5, 6, 1, 0, 0x10000000, 0, 0xffffffff});
    for (std::size_t block : {input_block_max, std::size_t{5}}) {
        Input& in = open_in_blocks(first + second, block);
        start_capture();
        dump_file(in, "in.anm");
        std::string first_text = end_capture();
        start_capture();
        dump_file(in, "in.anm");
        std::string second_text = end_capture();
        input_block_size = input_block_max;
        EXPECT_TRUE(first_text == dump_in_blocks(first, input_block_max)) << block;
        EXPECT_EQ(second_text, dump_in_blocks(second, input_block_max)) << block;
    }
}

TEST(Output, TextThatFillsTheBufferExactlyArrivesWhole)
{
    const std::string fill(out_capacity - 10 - out_slack, 'a'), more(out_slack, 'c');
    const std::string huge(out_capacity + 5, 'd');
    start_capture();
    out_text(fill.data(), fill.size());
    char* room = out_reserve(10);
    std::memset(room, 'b', 10 + out_slack);  // the text, and scratch after it
    out_commit(room + 10);
    out_text(more.data(), more.size());  // the buffer is full now
    out_text("c", 1);
    out_text(huge.data(), huge.size());
    out_printf("%d", 42);
    EXPECT_TRUE(end_capture() == fill + std::string(10, 'b') + more + "c" + huge + "42");
}

}  // namespace
