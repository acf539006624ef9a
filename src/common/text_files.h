// Text files and the code pages of old text lines.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// ---- Text lines of old files ------------------------------------------------

// The code page a spectrum's free-text line was most likely written in: old
// files carry Cyrillic in the DOS (866) or the Windows (1251) code page, new
// ones UTF-8. Plain ASCII counts as UTF-8.
enum class CodePage { Utf8, Cp1251, Cp866 };
CodePage GuessCodePage(std::string_view bytes);

// ---- Text files -------------------------------------------------------------

// The first maxLines lines of a text. A line ends at LF, a CR before it
// belonging to the end; nothing after the last line end is no line.
std::vector<std::string_view> TextLines(std::string_view text, size_t maxLines);
// The file's first maxBytes bytes (all of a smaller file), without a leading
// UTF-8 byte-order mark; false when it cannot be opened or read, is no
// regular file or is larger than MaxFileBytes.
bool ReadTextFile(const std::string& path, std::string& text, size_t maxBytes);

} // namespace kivo
