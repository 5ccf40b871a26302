// anm-cellmap's build and view, run as a user runs them: every case file and
// random files dumped and built back, edited JSON, and the pictures.
#include <gtest/gtest.h>

#include <filesystem>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "test_support.h"

namespace
{

class AnmCellmap : public testing::Test
{
protected:
    std::string dir = make_temp_dir();

    RunResult run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "anm-cellmap");
        return run_tool(ANM_CELLMAP_PATH, args, "", dir);
    }

    // dump, then build of that dump; the bytes built, or "" when dump refused.
    std::string round_trip(const std::string& bytes, const char* format)
    {
        write_file(dir + "/in", bytes);
        if (run_tool(ANM_CELLMAP_PATH, {"anm-cellmap", "dump", format, "in"}, "", dir,
                     dir + "/in.json")
                .status)
            return "";
        RunResult built = run({"build", "in.json", "-o", "out"});
        EXPECT_EQ(built.status, 0) << built.err;
        return read_file(dir + "/out");
    }

    // The picture's pixels, 0xRRGGBB, row by row, once it is found width x height.
    std::vector<std::uint32_t> picture(const std::string& name, int width, int height)
    {
        int read_width = 0, read_height = 0, channels;
        unsigned char* rgb =
            stbi_load((dir + "/" + name).c_str(), &read_width, &read_height, &channels, 3);
        bool fits = rgb && read_width == width && read_height == height;
        EXPECT_TRUE(fits) << name << " is " << read_width << "x" << read_height;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; fits && i < pixels.size(); ++i)
            pixels[i] = rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
        stbi_image_free(rgb);
        return pixels;
    }
};

TEST_F(AnmCellmap, EveryCaseFileComesBackByteForByte)
{
    int files = 0;
    for (const char* root : {CASES_DIR, EXAMPLES_DIR}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            std::string extension = entry.path().extension().string();
            if (extension != ".anm" && extension != ".map") continue;
            std::string bytes = read_file(entry.path().string());
            std::string built = round_trip(bytes, extension == ".anm" ? "--anm" : "--map");
            if (built.empty() && !bytes.empty())
                continue;  // cut short: dump says where, build has nothing
            EXPECT_EQ(built, bytes) << entry.path();
            ++files;
        }
    }
    EXPECT_GE(files, 20);
}

// Any word values with small counts: bits no field reads, both sprite forms,
// odd group sizes, bytes after the end.
std::string random_file(Rng& rng, bool animation)
{
    auto word = [&] { return static_cast<std::uint32_t>(rng()); };
    std::string bytes;
    if (animation) {
        std::vector<std::uint32_t> words = {word(), word() & 0x30003};
        for (std::uint32_t i = 0; i < 2 * (words[1] >> 16); ++i) words.push_back(word());
        for (std::uint32_t g = 0; g < (words[1] & 3); ++g) {
            std::uint32_t nsprt = static_cast<std::uint32_t>(pick(rng, 0, 3));
            words.push_back(nsprt);
            for (std::uint32_t s = 0; s < nsprt; ++s) {
                std::uint32_t flags = pick(rng, 0, 1) ? word() : word() & 0x0fffffff;
                words.insert(words.end(), {word(), flags});
                if (flags >> 28 == 0) words.push_back(word());
                words.insert(words.end(), {word(), word()});
            }
        }
        bytes = le_words(words);
    } else {
        int width = pick(rng, 0, 5), height = pick(rng, 0, 5);
        for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>(pick(rng, 0, 255)));
        bytes[4] = static_cast<char>(width), bytes[5] = static_cast<char>(height);
        for (int i = 0; i < 2 * width * height; ++i)
            bytes.push_back(static_cast<char>(pick(rng, 0, 255)));
    }
    for (int i = pick(rng, 0, 3); i > 0; --i) bytes.push_back(static_cast<char>(pick(rng, 0, 255)));
    return bytes;
}

TEST_F(AnmCellmap, RandomFilesComeBackByteForByte)
{
    Rng rng(24);
    for (int i = 0; i < 150; ++i) {
        bool animation = i % 2;
        std::string bytes = random_file(rng, animation);
        ASSERT_EQ(round_trip(bytes, animation ? "--anm" : "--map"), bytes) << "file " << i;
    }
}

TEST_F(AnmCellmap, EditedJsonIsRefusedWithItsPath)
{
    const std::string anm = R"({"format": "anm", "sequences": [], )";
    const struct { std::string json, message; } cases[] = {
        {anm + R"("groups": [[{}, {"w": 300}]]})", "groups[0][1].w: 300 is not in 0-255"},
        {R"({"format": "anm", "sequences": [{"tiem": 3}], "groups": []})",
         "sequences[0].tiem: not a key of a sequence entry (atr, time, sprgpno, x, y, "
         "a_bits_24_27, a_bits_30_31)"},
        {anm + R"("groups": [[{"x": -32769}]]})",
         "groups[0][0].x: -32769 is not in -32768 to 32767"},
        {anm + R"("groups": [[{"size": 2, "h": 24}]]})",
         "groups[0][0].h: 24 is not 16, which size 2 makes it (or leave size out)"},
        {anm + R"("groups": [[{"size": 1, "w3_bits_8_15": 1}]]})",
         "groups[0][0].w3_bits_8_15: only an entry without size has these bits"},
        {anm + R"("groups": [[{"x": "1"}]]})",
         "groups[0][0].x: \"1\" is not a number in -32768 to 32767"},
        {anm + R"("groups": [[{"u": 1.5}]]})",
         "groups[0][0].u: 1.5 is not a whole number in 0-255"},
        {anm + R"("groups": [[{"v": 1e300}]]})", "groups[0][0].v: 1e+300 is not in 0-255"},
        {anm + R"("groups": [{}]})",
         "groups[0]: an object is not a sprite group (an array of sprite entries)"},
        {anm + R"("groups": [], "rows": []})",
         "rows: not a key of an animation dump (format, header, sequences, groups, trailing)"},
        {R"({"format": "anm", "sequences": []})", "groups: missing; the format needs this array"},
        {anm + R"("groups": [], "cut": {}})",
         "cut: the dump is of a file cut short, which cannot be built back"},
        {anm + R"("groups": [], "trailing": "0g"})",
         "trailing: \"0g\" is not hexadecimal text, two digits a byte"},
        {R"({"format": "map", "width": 2, "rows": [[1, 2], [3]]})",
         "rows[1]: 1 cell, not 2 as width says"},
        {R"({"format": "map", "height": 3, "rows": [[1, 65535]]})",
         "rows: 1 row, not 3 as height says"},
        {R"({"format": "map", "rows": [[65536]]})", "rows[0][0]: 65536 is not in 0-65535"},
        {R"({"format": "map", "padding": [0, 0], "rows": []})",
         "padding: 2 numbers, not the header's 3 bytes"},
        {R"({"format": "map", "rows": []} x)",
         "byte 30: The document root must not be followed by other values."},
    };
    for (const auto& c : cases) {
        write_file(dir + "/edit.json", c.json);
        RunResult result = run({"build", "edit.json", "-o", "out"});
        EXPECT_EQ(result.status, 1) << c.json;
        EXPECT_EQ(result.err, "anm-cellmap: edit.json: " + c.message + "\n");
        EXPECT_FALSE(file_exists(dir + "/out")) << c.json;
    }
}

TEST_F(AnmCellmap, EditedJsonBuildsTheFileMeant)
{
    Animation small;
    small.header = 0x23;
    small.sequences = {{0, 10, 1, -1, 0}};
    Sprite square{}, sized{};
    square.size_code = 2, square.w = square.h = 16, square.x = -8;
    sized.w = 3, sized.h = 4, sized.u = 9;
    small.groups = {{}, {square, sized}};
    const struct { std::string json, bytes; } cases[] = {
        {R"({"format": "anm", "header": {"id": 35},
            "sequences": [{"time": 10, "sprgpno": 1, "x": -1}],
            "groups": [[], [{"size": 2, "x": -8}, {"w": 3, "h": 4, "u": 9}]]})",
         anm_bytes(small)},
        {R"({"groups": [[], [{"x": -8, "size": 2, "w": 16}, {"u": 9, "h": 4, "w": 3}]],
            "header": {"id": 35}, "sequences": [{"x": -1, "sprgpno": 1, "time": 10}],
            "format": "anm"})",
         anm_bytes(small)},
        {R"({"format": "map", "id": 35, "cell_width": 8, "cell_height": 8,
            "rows": [[1, 2], [3, 4]]})",
         map_bytes(2, 2, 8, 8, {1, 2, 3, 4})},
        {"\xEF\xBB\xBF" R"({"format": "map", "id": 35, "rows": [[1]]})",
         map_bytes(1, 1, 0, 0, {1})},
        {R"({"format": "map", "rows": [[258]], "trailing": "00FF", "padding": [1, 2, 3]})",
         std::string("\0\1\2\3\1\1\0\0\2\1\0\xff", 12)},
    };
    for (const auto& c : cases) {
        write_file(dir + "/edit.json", c.json);
        RunResult result = run({"build", "edit.json", "-o", "-"});
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, c.bytes) << c.json;
    }
}

TEST_F(AnmCellmap, ViewDrawsAMapInAColourPerValueOrInTiles)
{
    write_file(dir + "/a.map", map_bytes(3, 2, 8, 4, {0, 5, 5, 7, 0x8000, 2}));
    ASSERT_EQ(run({"view", "a.map", "-o", "a.png"}).status, 0);
    std::vector<std::uint32_t> p = picture("a.png", 24, 8);
    auto cell = [&](int column, int row) { return p[(row * 4 + 2) * 24 + column * 8 + 4]; };
    EXPECT_EQ(cell(0, 0), 0u);
    EXPECT_EQ(cell(1, 0), cell(2, 0));
    EXPECT_NE(cell(1, 0), 0u);
    EXPECT_NE(cell(1, 0), cell(0, 1));
    EXPECT_NE(p[2 * 24 + 8], cell(1, 0));  // the grid at the cell's left edge

    // A sheet of two 8x4 tiles, red and green; cell value 2 has no tile.
    std::vector<unsigned char> sheet(16 * 4 * 3);
    for (int i = 0; i < 16 * 4; ++i) sheet[3 * i + (i % 16 < 8 ? 0 : 1)] = 255;
    stbi_write_png((dir + "/sheet.png").c_str(), 16, 4, 3, sheet.data(), 16 * 3);
    RunResult tiled =
        run({"view", "a.map", "--tiles", "sheet.png", "--index-mask=0x7fff", "-o", "t.png"});
    EXPECT_EQ(tiled.status, 0);
    EXPECT_EQ(tiled.err,
              "anm-cellmap: a.map: warning: 4 cells name a tile past the 2 of sheet.png, drawn in "
              "magenta\n");
    p = picture("t.png", 24, 8);
    EXPECT_EQ(cell(0, 0), 0xff0000u);
    EXPECT_EQ(cell(1, 1), 0xff0000u);  // 0x8000 masked to tile 0
    EXPECT_EQ(cell(1, 0), 0xff00ffu);
    EXPECT_EQ(cell(2, 1), 0xff00ffu);
}

TEST_F(AnmCellmap, ViewDrawsAnAnimationsFramesWithinBounds)
{
    write_file(dir + "/walk.anm", read_file(EXAMPLES_DIR "/walk.anm"));
    // A 64x64 blue texture page; walk's first sprite is 16x16 at (-8, -8), from (16, 32).
    std::vector<unsigned char> page(64 * 64 * 3);
    for (int i = 0; i < 64 * 64; ++i) page[3 * i + 2] = 255;
    stbi_write_png((dir + "/page.png").c_str(), 64, 64, 3, page.data(), 64 * 3);
    ASSERT_EQ(run({"view", "walk.anm", "-o", "plain.png"}).status, 0);
    ASSERT_EQ(run({"view", "walk.anm", "--texture", "page.png", "-o", "textured.png"}).status, 0);
    std::vector<std::uint32_t> plain = picture("plain.png", 256, 256);
    std::vector<std::uint32_t> textured = picture("textured.png", 256, 256);
    std::uint32_t background = plain[0];
    EXPECT_NE(plain[120 * 256 + 125], background);  // the top edge
    EXPECT_EQ(plain[124 * 256 + 124], background);
    EXPECT_EQ(textured[124 * 256 + 124], 0x0000ffu);
    EXPECT_EQ(textured[120 * 256 + 125], plain[120 * 256 + 125]);

    // Ten of 1,025 groups, whose whole picture is refused (a case folder shows that).
    write_file(dir + "/big.anm", anm_head_bytes(0, {}, 1025) + std::string(1025 * 4, '\0'));
    ASSERT_EQ(run({"view", "big.anm", "--groups", "3-12", "-o", "some.png"}).status, 0);
    picture("some.png", 8 * 256, 2 * 256);
}

// Each failure named as "anm-cellmap: NAME: ...", with status 1 and no picture.
TEST_F(AnmCellmap, FailuresAreNamedAndLeaveNothing)
{
    write_file(dir + "/walk.anm", read_file(EXAMPLES_DIR "/walk.anm"));
    write_file(dir + "/flat.map", map_bytes(3, 0, 8, 8, {}));
    struct { std::vector<std::string> args; std::string out, err; } runs[] = {
        {{"dump", "walk.anm"}, "/dev/full", "<stdout>: write error"},
        {{"view", "walk.anm", "-o", "-"}, "/dev/full", "<stdout>: write error"},
        {{"view", "flat.map", "-o", "f.png"}, "",
         "flat.map: no cell to draw: the map is 3x0 cells"},
        {{"view", "flat.map", "--tiles", "no.png", "-o", "f.png"}, "",
         "no.png: No such file or directory"},
    };
    for (auto& r : runs) {
        r.args.insert(r.args.begin(), "anm-cellmap");
        RunResult got = run_tool(ANM_CELLMAP_PATH, r.args, "", dir, r.out);
        EXPECT_EQ(got.status, 1) << r.err;
        EXPECT_EQ(got.err, "anm-cellmap: " + r.err + "\n");
    }
    EXPECT_FALSE(file_exists(dir + "/f.png"));
}

}  // namespace
