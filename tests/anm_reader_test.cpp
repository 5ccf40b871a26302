// Decoding of the .anm words: every field of every word, and how a short
// stream ends the dump.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "anm_reader.h"
#include "input.h"
#include "settings.h"
#include "test_support.h"

// An Input over `bytes` arriving `block` bytes at a time (c_writer_test.cpp);
// here all of them in one read: PIPE_BUF, 4096 bytes, is enough.
Input& open_in_blocks(const std::string& bytes, std::size_t block = 4096);

namespace {

TEST(ReadWordDeathTest, ShortStreamEndsTheDumpAtTheFirstMissingByte)
{
    dumper_settings.program_name = "quarnel";
    dumper_settings.current_file_name = "cut.anm";
    for (std::size_t length : {0, 1, 3, 7}) {
        std::string bytes(length, '\x11');
        EXPECT_EXIT(
            {
                Input& in = open_in_blocks(bytes);
                for (;;) read_word(in);
            },
            testing::ExitedWithCode(1), "^quarnel: cut.anm reach end of file!\n$")
            << "length " << length;
    }
}

TEST(ReadSequence, DecodesBothWords)
{
    struct Case {
        std::uint32_t a, b;
        std::vector<int> expected;  // atr, time, sprgpno, x, y
    };
    const Case cases[] = {
        {0x100a0000, 0xfffc000c, {1, 10, 0, 12, -4}},
        // bits 24-27 and 30-31 of A are not part of any field
        {0xffffffff, 0x80007fff, {3, 255, 65535, 32767, -32768}},
        {0x0f00ffff, 0x00000000, {0, 0, 65535, 0, 0}},
    };
    for (const Case& c : cases) {
        Input& in = open_in_blocks(le_words({c.a, c.b}));
        SequenceEntry e{};
        read_sequence(in, e);
        EXPECT_EQ(std::vector<int>({e.atr, e.time, e.sprgpno, e.x, e.y}), c.expected)
            << std::hex << c.a << " " << c.b;
    }
}

// The runs of fields the writer takes together, split here.
std::vector<int> fields(const SpriteEntry& e)
{
    const int run = sprite_bno_csn(e), flags = sprite_tpf_abr_tpn_abe(e);
    return {sprite_ox(e),  sprite_oy(e),  sprite_u(e),    sprite_v(e),       sprite_w(e),
            sprite_h(e),   sprite_clx(e), sprite_cly(e),  run >> 6,          run & 63,
            flags >> 8,    flags >> 1 & 31, flags & 1,    flags >> 6 & 3,    sprite_rotf(e),
            sprite_rot(e), sprite_rsz(e), sprite_x(e),    sprite_y(e)};
}

TEST(ReadSprite, DecodesEveryFieldAndTheEntryLength)
{
    struct Case {
        const char* what;
        std::vector<std::uint32_t> words;
        std::vector<int> expected;  // ox,oy,u,v,w,h,clx,cly,bno,csn,tpf,tpn,abe,abr,rotf,rot,rsz,x,y
        long length;                // bytes the entry takes
    };
    const Case cases[] = {
        {"square, size code 2",
         {0x08082010, 0x2085f803, 0x00000000, 0xfff8fff8},
         {8, 8, 16, 32, 16, 16, 3, 480, 0, 0, 1, 5, 1, 0, 0, 0, 0, -8, -8},
         16},
        {"explicit size word",
         {0x00040040, 0x0c477844, 0x00280018, 0x43000400, 0x00140006},
         {4, 0, 64, 0, 24, 40, 4, 481, 1, 3, 0, 7, 0, 2, 1, 1024, 1, 6, 20},
         20},
        {"size code 3 is 24 x 24 in four words",
         {0, 0x30000000, 0, 0},
         {0, 0, 0, 0, 24, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         16},
        {"every bit set, size code 15",
         {0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff},
         {255, 255, 255, 255, 120, 120, 63, 511, 3, 63, 3, 31, 1, 3, 1, 65535, 1, -1, -1},
         16},
        {"oy is never negative",
         {0xff000000, 0x10000000, 0, 0},
         {0, 255, 0, 0, 8, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         16},
        {"bits outside the fields are ignored",
         {0, 0x02000000, 0xab12cd34, 0x00ff0000, 0x80007fff},
         {0, 0, 0, 0, 0x34, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32767, -32768},
         20},
    };
    for (const Case& c : cases) {
        std::vector<std::uint32_t> words = c.words;
        words.push_back(0xdeadbeef);  // the next entry's first word
        words.resize(words.size() + 4);  // so that the longest entry is at hand
        // word by word, and straight from the bytes at hand
        for (bool buffered : {false, true}) {
            Input& in = open_in_blocks(le_words(words));
            input_fill(in, 4);
            SpriteEntry e{};
            if (buffered) take_sprite(in, e);
            else read_sprite(in, e);
            EXPECT_EQ(fields(e), c.expected) << c.what << buffered;
            EXPECT_EQ(in.next - in.buffer, c.length) << c.what << buffered;
            EXPECT_EQ(read_word(in), 0xdeadbeefu) << c.what << buffered;
        }
    }
}

TEST(TpfName, NamesAllFourValues)
{
    EXPECT_STREQ(tpf_name(0), "4bit");
    EXPECT_STREQ(tpf_name(1), "8bit");
    EXPECT_STREQ(tpf_name(2), "unknown");
    EXPECT_STREQ(tpf_name(3), "unknown");
}

}  // namespace
