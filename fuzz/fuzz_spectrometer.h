// The input of the spectrometer fuzz targets: two little-endian 16-bit
// lengths, then the header text of the first length, the data bytes of the
// second, and an axis file's bytes after them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct SpectrometerInput {
    std::string_view Text, Data, Axis;
};

inline SpectrometerInput SplitInput(const uint8_t* data, size_t size) {
    SpectrometerInput in;
    if (size < 4) return in;
    const std::string_view all(reinterpret_cast<const char*>(data) + 4, size - 4);
    size_t textLen = size_t(data[0]) | size_t(data[1]) << 8;
    size_t dataLen = size_t(data[2]) | size_t(data[3]) << 8;
    textLen = textLen < all.size() ? textLen : all.size();
    in.Text = all.substr(0, textLen);
    const std::string_view rest = all.substr(textLen);
    dataLen = dataLen < rest.size() ? dataLen : rest.size();
    in.Data = rest.substr(0, dataLen);
    in.Axis = rest.substr(dataLen);
    return in;
}
