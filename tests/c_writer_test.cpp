// Labels, and whole dumps read in blocks of any size.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

}  // namespace

// ---- dumps read in blocks of any size ----

// An Input over `bytes` that arrive `block` bytes at a time: a writer
// process sends them into a packet-mode pipe, where each write is a packet
// (of at most PIPE_BUF bytes) and each read returns one. The reader's tests
// use it too.
Input& open_in_blocks(const std::string& bytes, std::size_t block)
{
    static Input in;
    static int descriptor = -1;
    static pid_t writer = -1;
    if (descriptor >= 0) close(descriptor);  // a writer still writing ends
    if (writer > 0) waitpid(writer, nullptr, 0);
    int ends[2];
    if (pipe2(ends, O_DIRECT | O_CLOEXEC) != 0) std::abort();
    writer = fork();
    if (writer == 0) {
        close(ends[0]);
        for (std::size_t at = 0; at < bytes.size(); at += block)
            if (write(ends[1], &bytes[at], at + block < bytes.size() ? block : bytes.size() - at) < 0)
                break;
        _exit(0);
    }
    close(ends[1]);
    descriptor = ends[0];
    input_start(in, descriptor);
    return in;
}

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

std::string dump_in_blocks(const std::string& bytes, std::size_t block)
{
    Input& in = open_in_blocks(bytes, block);
    start_capture();
    dump_file(in, "in.anm");
    return end_capture();
}

constexpr std::size_t one_read = 4096;  // PIPE_BUF: the samples below in one read

// Groups of 1, 127, 5 and 60 random sprites after three sequence entries.
std::string sample_anm()
{
    Rng rng(99);
    return anm_bytes(random_animation(rng, 3, {1, 127, 5, 60}));
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
        const std::string whole = dump_in_blocks(anm, one_read);
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
        const std::string whole = dump_in_blocks(anm, one_read);
        for (std::size_t cut : {std::size_t{6}, big_group + 4 + 1000 + 2, anm.size() - 3}) {
            std::string first;
            for (std::size_t block : {one_read, std::size_t{3}, std::size_t{64}}) {
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

// A pipe named again (standard input) goes on where the last dump stopped,
// also when that dump had already read the next one's bytes.
TEST(DumpFile, ReadAheadIsKeptForTheNextDump)
{
    const std::string first = sample_anm();
    const std::string second = le_words({0, 1 << 16 | 1, 5, 6, 1, 0, 0x10000000, 0, 0xffffffff});
    for (std::size_t block : {one_read, std::size_t{5}}) {
        Input& in = open_in_blocks(first + second, block);
        start_capture();
        dump_file(in, "in.anm");
        std::string first_text = end_capture();
        start_capture();
        dump_file(in, "in.anm");
        std::string second_text = end_capture();
        EXPECT_TRUE(first_text == dump_in_blocks(first, one_read)) << block;
        EXPECT_EQ(second_text, dump_in_blocks(second, one_read)) << block;
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

// A dump after other text, as a later file's dump follows an earlier one's:
// its header lines, written with out_printf, land at each offset near the
// buffer's end, and each must fit in the room left or start a fresh buffer.
TEST(Output, LinesNearTheBufferEndStayInsideIt)
{
    const std::string walk = read_file(EXAMPLES_DIR "/walk.anm");
    const std::string alone = dump_in_blocks(walk, one_read);
    for (std::size_t left = 0; left <= 200; ++left) {
        const std::string before(out_capacity - left, 'a');
        Input& in = open_in_blocks(walk, one_read);
        start_capture();
        out_text(before.data(), before.size());
        dump_file(in, "in.anm");
        EXPECT_TRUE(end_capture() == before + alone) << left << " bytes left";
    }
}

}  // namespace
