// The map format and the canvas, driven through streams in memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bytes.h"
#include "map_canvas.h"
#include "pavrin.h"

namespace {

// A cell map file; cell n is the 16-bit value n | (0x80 + n) << 8, so a
// cell that is misplaced or split shows, and cell 0 is the blank cell.
std::string map_file(int width, int height, int cell_width, int cell_height, std::vector<int> cells)
{
    for (int& cell : cells)
        if (cell != 0) cell |= (0x80 + cell) << 8;
    return map_bytes(width, height, cell_width, cell_height, cells);
}

int read_bytes(const std::string& bytes, const char* name)
{
    std::FILE* in = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), in);
    std::rewind(in);
    int status = read_map(in, name);
    std::fclose(in);
    return status;
}

// What write_map writes, or "failed".
std::string written()
{
    std::FILE* out = std::tmpfile();
    int status = write_map(out, "out.map");
    std::string bytes(static_cast<std::size_t>(std::ftell(out)), '\0');
    std::rewind(out);
    bytes.resize(std::fread(&bytes[0], 1, bytes.size(), out));
    std::fclose(out);
    return status == 0 ? bytes : "failed";
}

class MapCanvas : public ::testing::Test {
protected:
    void SetUp() override
    {
        concatenator_settings = ConcatenatorSettings{};
        ASSERT_TRUE(init_canvas());
    }
};

TEST_F(MapCanvas, OneInputIsWrittenBackWithAFreshId)
{
    std::string other_id = map_file(2, 1, 8, 16, {1, 2});
    other_id.replace(0, 4, "abcd");
    ASSERT_EQ(read_bytes(other_id + "surplus", "a.map"), 0);
    EXPECT_EQ(written(), map_file(2, 1, 8, 16, {1, 2}));
}

// Cell 0 is what the canvas holds where no input lands.
struct Placement {
    const char* name;
    bool horizontal;
    std::vector<std::string> inputs;
    CanvasPoint cursor;
    std::string result;
};

TEST_F(MapCanvas, PlacesMapsInBothDirections)
{
    const std::string a = map_file(2, 2, 8, 8, {1, 2, 3, 4});
    const std::string b = map_file(3, 1, 8, 8, {5, 6, 7});
    const std::string row = map_file(3, 1, 8, 8, {1, 2, 3});
    const Placement cases[] = {
        {"vertical", false, {a, b}, {0, 3}, map_file(3, 3, 8, 8, {1, 2, 0, 3, 4, 0, 5, 6, 7})},
        {"horizontal", true, {a, b}, {5, 0}, map_file(5, 2, 8, 8, {1, 2, 5, 6, 7, 3, 4, 0, 0, 0})},
        {"zero width moves down", false, {row, map_file(0, 2, 8, 8, {}), row}, {0, 4},
         map_file(3, 4, 8, 8, {1, 2, 3, 0, 0, 0, 0, 0, 0, 1, 2, 3})},
        {"zero height still widens", false, {row, map_file(5, 0, 8, 8, {})}, {0, 1},
         map_file(5, 1, 8, 8, {1, 2, 3, 0, 0})},
        {"zero width across", true, {row, map_file(0, 3, 8, 8, {}), row}, {6, 0},
         map_file(6, 3, 8, 8, {1, 2, 3, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
    };
    for (const Placement& c : cases) {
        SCOPED_TRACE(c.name);
        concatenator_settings = ConcatenatorSettings{};
        concatenator_settings.horizontal = c.horizontal;
        ASSERT_TRUE(init_canvas());
        for (const std::string& input : c.inputs) ASSERT_EQ(read_bytes(input, "in.map"), 0);
        EXPECT_EQ(cursor.x, c.cursor.x);
        EXPECT_EQ(cursor.y, c.cursor.y);
        EXPECT_EQ(written(), c.result);
    }
}

TEST_F(MapCanvas, CellSizeComesFromTheFirstInputWithAWidth)
{
    testing::internal::CaptureStderr();
    ASSERT_EQ(read_bytes(map_file(1, 1, 0, 4, {1}), "zero.map"), 0);
    ASSERT_EQ(read_bytes(map_file(1, 1, 8, 8, {2}), "first.map"), 0);
    ASSERT_EQ(read_bytes(map_file(1, 1, 8, 8, {3}), "same.map"), 0);
    ASSERT_EQ(read_bytes(map_file(1, 1, 8, 16, {4}), "taller.map"), 0);
    ASSERT_EQ(read_bytes(map_file(1, 1, 16, 8, {5}), "wider.map"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "pavrin: cell size miss match first.map:8x8 and taller.map:8x16\n"
              "pavrin: cell size miss match first.map:8x8 and wider.map:16x8\n");
    EXPECT_EQ(written(), map_file(1, 5, 8, 8, {1, 2, 3, 4, 5}));
}

TEST_F(MapCanvas, GivenCellSizeIsKept)
{
    concatenator_settings.cell_width = concatenator_settings.cell_height = 16;
    testing::internal::CaptureStderr();
    ASSERT_EQ(read_bytes(map_file(1, 1, 8, 8, {1}), "a.map"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "pavrin: cell size miss match <default>:16x16 and a.map:8x8\n");
    EXPECT_EQ(written(), map_file(1, 1, 16, 16, {1}));
}

// Four maps of 255 cells leave room for exactly 4 more in either direction.
TEST_F(MapCanvas, MapPastTheCanvasEdgeIsNotCopied)
{
    for (bool horizontal : {true, false}) {
        SCOPED_TRACE(horizontal ? "horizontal" : "vertical");
        concatenator_settings = ConcatenatorSettings{};
        concatenator_settings.horizontal = horizontal;
        ASSERT_TRUE(init_canvas());
        auto strip = [horizontal](int length) {
            return horizontal ? map_file(length, 1, 8, 8, std::vector<int>(length, 1))
                              : map_file(1, length, 8, 8, std::vector<int>(length, 1));
        };
        // Bytes from one cell to the next along the row, or down the column.
        std::size_t step = horizontal ? cell_bytes : canvas_side * cell_bytes;
        for (int i = 0; i < 4; ++i) ASSERT_EQ(read_bytes(strip(255), "long.map"), 0);
        EXPECT_EQ(read_bytes(strip(5), "five.map"), 1);
        EXPECT_EQ(canvas[1020 * step], 0);
        EXPECT_EQ(read_bytes(strip(4), "four.map"), 0);
        EXPECT_EQ(read_bytes(strip(0), "empty.map"), 0);
        EXPECT_EQ(read_bytes(strip(1), "one.map"), 1);
        EXPECT_EQ(horizontal ? cursor.x : cursor.y, canvas_side);
        EXPECT_EQ(canvas[1023 * step], 1);
    }
}

struct SizeCheck {
    std::int32_t new_width, new_height, cell_size;
    int status;
};

TEST_F(MapCanvas, ResultSizeMustFitTheHeader)
{
    concatenator_settings.horizontal = true;
    const std::string wide = map_file(200, 1, 8, 8, std::vector<int>(200, 1));
    ASSERT_EQ(read_bytes(wide, "a.map"), 0);
    ASSERT_EQ(read_bytes(wide, "b.map"), 0);
    const SizeCheck cases[] = {
        {0, 0, 8, 1},     {255, 0, 8, 0},  {256, 0, 8, 1}, {100, 255, 8, 0},
        {100, 256, 8, 1}, {-1, 1, 8, 1},   {1, -1, 8, 1},  {100, 0, 255, 0},
        {100, 0, 256, 1}, {100, 0, -1, 1}, {100, 0, 0, 0},
    };
    for (const SizeCheck& c : cases) {
        concatenator_settings.new_width = c.new_width;
        concatenator_settings.new_height = c.new_height;
        concatenator_settings.cell_width = concatenator_settings.cell_height = c.cell_size;
        EXPECT_EQ(check_result_size(), c.status)
            << c.new_width << "x" << c.new_height << " cell " << c.cell_size;
    }
    concatenator_settings.new_width = 0;
    EXPECT_EQ(written(), "failed");
}

}  // namespace
