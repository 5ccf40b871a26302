// Decimal text for the dump, from tables the compiler builds.
//
// The dump is mostly numbers, and printf-style conversion would cost more
// than everything else together. Every field's text comes from a table:
// small numbers whole, fields that follow each other on the line from the
// same word together, larger numbers as their hundreds and a digit pair.
// The functions are inline, so each line is written without a call.
//
// The put functions write at `at` and return the end of what they wrote.
// They copy whole table entries, so they may write up to one entry past that
// end, into the slack that every out_reserve leaves; the next put or the
// caller overwrites it. The *_width functions give the room a field's text
// takes at most, from the same tables, so that no line length is counted by
// hand.
#ifndef QUARNEL_NUMBER_TEXT_H
#define QUARNEL_NUMBER_TEXT_H

#include <cstddef>
#include <cstring>

#include "output.h"

// A number's text and the comma after it, in eight bytes so that a single
// copy moves it; `length` counts the characters, comma included.
struct NumberText {
    char text[7];
    unsigned char length;
};

// The same for a run of up to four fields.
struct FieldsText {
    char text[15];
    unsigned char length;
};

static_assert(sizeof(NumberText) <= out_slack && sizeof(FieldsText) <= out_slack,
              "a put may write one whole entry past its end");

template <typename Text, std::size_t size>
struct Texts {
    Text of[size];
};

// Appends `value` and a comma.
template <typename Text>
constexpr void append_number(Text& entry, unsigned value)
{
    if (value >= 100) entry.text[entry.length++] = static_cast<char>('0' + value / 100);
    if (value >= 10) entry.text[entry.length++] = static_cast<char>('0' + value / 10 % 10);
    entry.text[entry.length++] = static_cast<char>('0' + value % 10);
    entry.text[entry.length++] = ',';
}

// "0," to "999,".
constexpr Texts<NumberText, 1000> make_small_numbers()
{
    Texts<NumberText, 1000> table{};
    for (unsigned value = 0; value < 1000; ++value) append_number(table.of[value], value);
    return table;
}

// "00," to "99,": the last two digits of a larger number.
constexpr Texts<NumberText, 100> make_digit_pairs()
{
    Texts<NumberText, 100> table{};
    for (unsigned value = 0; value < 100; ++value) {
        table.of[value] = NumberText{{static_cast<char>('0' + value / 10),
                                      static_cast<char>('0' + value % 10), ','}, 3};
    }
    return table;
}

// "bno,csn,", indexed by the bits they share in the rotation word.
constexpr Texts<NumberText, 256> make_bno_csn()
{
    Texts<NumberText, 256> table{};
    for (unsigned key = 0; key < 256; ++key) {
        append_number(table.of[key], key >> 6);
        append_number(table.of[key], key & 63);
    }
    return table;
}

// "tpf,tpn,abe,abr,", indexed by the ten bits they share in the flags word.
constexpr Texts<FieldsText, 1024> make_tpf_tpn_abe_abr()
{
    Texts<FieldsText, 1024> table{};
    for (unsigned key = 0; key < 1024; ++key) {
        append_number(table.of[key], key >> 8);
        append_number(table.of[key], key >> 1 & 31);
        append_number(table.of[key], key & 1);
        append_number(table.of[key], key >> 6 & 3);
    }
    return table;
}

// The tables, and the functions that use them, are static rather than
// inline: position-independent code (the default, hardened build) reaches an
// inline variable through the GOT, a load more per look-up. Only the writer
// includes this header, so there is one copy.
static constexpr Texts<NumberText, 1000> small_numbers = make_small_numbers();
static constexpr Texts<NumberText, 100> digit_pairs = make_digit_pairs();
static constexpr Texts<NumberText, 256> bno_csn_texts = make_bno_csn();
static constexpr Texts<FieldsText, 1024> tpf_tpn_abe_abr_texts = make_tpf_tpn_abe_abr();

// ---- widths ----

// The longest text among the first `count` entries of a table.
template <typename Text, std::size_t size>
constexpr std::size_t widest(const Texts<Text, size>& table, std::size_t count = size)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < count; ++i)
        if (table.of[i].length > width) width = table.of[i].length;
    return width;
}

// A literal's text, less its terminating NUL.
template <std::size_t size>
constexpr std::size_t width(const char (&)[size])
{
    return size - 1;
}

// put_digit's text.
constexpr std::size_t digit_width = 2;

// The widest text of put_small, put_unsigned and put_signed for a value (or
// its magnitude) from 0 to `max`.
static constexpr std::size_t small_width(unsigned max)
{
    return widest(small_numbers, max + 1);
}
static constexpr std::size_t unsigned_width(unsigned max)
{
    return max < 100 ? small_width(max) : small_width(max / 100) - 1 + widest(digit_pairs);
}
static constexpr std::size_t signed_width(unsigned max)
{
    return width("-") + unsigned_width(max);
}

// The widest text of put_group_number for a group from 0 to `max`: below
// 1000 a digit and a digit pair, else the whole number; no comma either way.
static constexpr std::size_t group_number_width(unsigned max)
{
    return max < 1000 ? 1 + widest(digit_pairs) - 1 : unsigned_width(max) - 1;
}

// ---- writing ----

template <std::size_t size>
inline char* put_literal(char* at, const char (&text)[size])
{
    std::memcpy(at, text, size - 1);
    return at + size - 1;
}

// Copies the whole entry, length byte and all, in one move; what follows
// the text is overwritten next.
template <typename Text>
inline char* put_text(char* at, const Text& entry)
{
    std::memcpy(at, &entry, sizeof entry);
    return at + entry.length;
}

// `value` is 0-999; writes it and a comma.
static inline char* put_small(char* at, unsigned value)
{
    return put_text(at, small_numbers.of[value]);
}

// `value` is 0-9; writes it and a comma.
static inline char* put_digit(char* at, unsigned value)
{
    at[0] = static_cast<char>('0' + value);
    at[1] = ',';
    return at + digit_width;
}

// `value` is 0-99999; writes it and a comma. From 100 up, its hundreds come
// from the small numbers (their comma overwritten) and the rest is a digit
// pair: two look-ups and one test, which is nearly always decided the same
// way for a field, so the branch costs little.
static inline char* put_unsigned(char* at, unsigned value)
{
    if (value < 100) return put_small(at, value);
    at = put_small(at, value / 100) - 1;
    return put_text(at, digit_pairs.of[value % 100]);
}

// `value` is -99999 to 99999; writes it and a comma. The sign costs no
// branch: the '-' is always written and kept only for a negative value.
static inline char* put_signed(char* at, int value)
{
    *at = '-';
    at += value < 0;
    return put_unsigned(at, static_cast<unsigned>(value < 0 ? -value : value));
}

// Group numbers have at least three digits: 000, 001, ... 999, 1000.
static inline char* put_group_number(char* at, unsigned group)
{
    if (group >= 1000) return put_unsigned(at, group) - 1;  // no comma
    *at = static_cast<char>('0' + group / 100);
    return put_text(at + 1, digit_pairs.of[group % 100]) - 1;  // no comma
}

#endif
