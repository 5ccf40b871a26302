#include "map_format.h"

bool read_map_header(std::FILE* in, MapHeader& header)
{
    unsigned char bytes[map_header_size];
    if (std::fread(bytes, 1, map_header_size, in) != map_header_size) return false;
    header = {bytes[0], bytes[4], bytes[5], bytes[6], bytes[7]};
    return true;
}

bool read_map_row(std::FILE* in, unsigned char* cells, std::size_t width)
{
    return std::fread(cells, cell_bytes, width, in) == width;
}

bool write_map_header(std::FILE* out, const MapHeader& header)
{
    const unsigned char bytes[map_header_size] = {header.id, 0, 0, 0, header.map_width,
                                                  header.map_height, header.cell_width,
                                                  header.cell_height};
    return std::fwrite(bytes, 1, map_header_size, out) == map_header_size;
}

bool write_map_row(std::FILE* out, const unsigned char* cells, std::size_t width)
{
    return std::fwrite(cells, cell_bytes, width, out) == width;
}
