#include "map_format.h"

MapHeader decode_map_header(const unsigned char (&bytes)[map_header_size])
{
    MapHeader header;
    header.id = bytes[0];
    header.map_width = bytes[4];
    header.map_height = bytes[5];
    header.cell_width = bytes[6];
    header.cell_height = bytes[7];
    return header;
}

void encode_map_header(const MapHeader& header, unsigned char (&bytes)[map_header_size])
{
    bytes[0] = header.id;
    bytes[1] = 0;
    bytes[2] = 0;
    bytes[3] = 0;
    bytes[4] = header.map_width;
    bytes[5] = header.map_height;
    bytes[6] = header.cell_width;
    bytes[7] = header.cell_height;
}

bool read_map_header(std::FILE* in, MapHeader& header)
{
    unsigned char bytes[map_header_size];
    if (std::fread(bytes, 1, map_header_size, in) != map_header_size) return false;
    header = decode_map_header(bytes);
    return true;
}

bool read_map_row(std::FILE* in, unsigned char* cells, std::size_t width)
{
    return std::fread(cells, cell_bytes, width, in) == width;
}

bool write_map_header(std::FILE* out, const MapHeader& header)
{
    unsigned char bytes[map_header_size];
    encode_map_header(header, bytes);
    return std::fwrite(bytes, 1, map_header_size, out) == map_header_size;
}

bool write_map_row(std::FILE* out, const unsigned char* cells, std::size_t width)
{
    return std::fwrite(cells, cell_bytes, width, out) == width;
}
