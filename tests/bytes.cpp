#include "bytes.h"

std::string le_words(const std::vector<std::uint32_t>& words)
{
    std::string bytes;
    for (std::uint32_t word : words)
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<char>((word >> shift) & 0xff));
    return bytes;
}

// A field's value at its place in a word; a negative number keeps only the
// bits the field has room for.
static std::uint32_t at(int value, int shift, int bits)
{
    return (static_cast<std::uint32_t>(value) & ((1u << bits) - 1)) << shift;
}

std::string anm_head_bytes(std::uint32_t header, const std::vector<Sequence>& sequences,
                           int nspritegp)
{
    std::vector<std::uint32_t> words = {
        header, at(static_cast<int>(sequences.size()), 16, 16) | at(nspritegp, 0, 16)};
    for (const Sequence& s : sequences) {
        words.push_back(at(s.sprgpno, 0, 16) | at(s.time, 16, 8) | at(s.atr, 28, 2));
        words.push_back(at(s.x, 0, 16) | at(s.y, 16, 16));
    }
    return le_words(words);
}

std::string group_bytes(const std::vector<Sprite>& group)
{
    std::vector<std::uint32_t> words = {static_cast<std::uint32_t>(group.size())};
    for (const Sprite& p : group) {
        words.push_back(at(p.u, 0, 8) | at(p.v, 8, 8) | at(p.ox, 16, 8) | at(p.oy, 24, 8));
        words.push_back(at(p.clx, 0, 6) | at(p.cly, 6, 9) | at(p.abe, 15, 1) | at(p.tpn, 16, 5) |
                        at(p.abr, 21, 2) | at(p.tpf, 23, 2) | at(p.rsz, 26, 1) |
                        at(p.rotf, 27, 1) | at(p.size_code, 28, 4));
        if (p.size_code == 0) words.push_back(at(p.w, 0, 8) | at(p.h, 16, 8));
        words.push_back(at(p.rot, 0, 16) | at(p.csn, 24, 6) | at(p.bno, 30, 2));
        words.push_back(at(p.x, 0, 16) | at(p.y, 16, 16));
    }
    return le_words(words);
}

std::string anm_bytes(const Animation& anm)
{
    std::string bytes =
        anm_head_bytes(anm.header, anm.sequences, static_cast<int>(anm.groups.size()));
    for (const std::vector<Sprite>& group : anm.groups) bytes += group_bytes(group);
    return bytes;
}

int pick(Rng& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

Sequence random_sequence(Rng& rng)
{
    return {pick(rng, 0, 3), pick(rng, 1, 255), pick(rng, 0, 65535), pick(rng, -32768, 32767),
            pick(rng, -32768, 32767)};
}

Sprite random_sprite(Rng& rng)
{
    Sprite p{};
    p.size_code = pick(rng, 0, 4) < 2 ? 0 : pick(rng, 1, 15);
    p.w = p.size_code ? p.size_code * 8 : pick(rng, 1, 255);
    p.h = p.size_code ? p.size_code * 8 : pick(rng, 0, 255);
    p.ox = pick(rng, 0, 255), p.oy = pick(rng, 0, 255), p.u = pick(rng, 0, 255);
    p.v = pick(rng, 0, 255), p.clx = pick(rng, 0, 63), p.cly = pick(rng, 0, 511);
    p.bno = pick(rng, 0, 3), p.csn = pick(rng, 0, 63), p.tpf = pick(rng, 0, 3);
    p.tpn = pick(rng, 0, 31), p.abe = pick(rng, 0, 1), p.abr = pick(rng, 0, 3);
    p.rotf = pick(rng, 0, 1), p.rot = pick(rng, 0, 65535), p.rsz = pick(rng, 0, 1);
    p.x = pick(rng, -32768, 32767), p.y = pick(rng, -32768, 32767);
    if (pick(rng, 0, 3) == 0) p.x /= 1000, p.y /= 100;
    return p;
}

Animation random_animation(Rng& rng, int nsequence, const std::vector<int>& group_sizes)
{
    Animation anm;
    for (int i = 0; i < nsequence; ++i) anm.sequences.push_back(random_sequence(rng));
    for (int size : group_sizes) {
        std::vector<Sprite> group;
        for (int s = 0; s < size; ++s) group.push_back(random_sprite(rng));
        anm.groups.push_back(group);
    }
    return anm;
}

std::string map_bytes(int width, int height, int cell_width, int cell_height,
                      const std::vector<int>& cells)
{
    std::string bytes("#\0\0\0", 4);
    for (int size : {width, height, cell_width, cell_height}) bytes.push_back(static_cast<char>(size));
    for (int cell : cells) {
        bytes.push_back(static_cast<char>(cell & 0xff));
        bytes.push_back(static_cast<char>(cell >> 8 & 0xff));
    }
    return bytes;
}
