#include "text_files.h"

namespace kivo {

namespace {

// Well-formed UTF-8 only: no overlong forms, no surrogates, nothing past
// U+10FFFF. Anything else would not show as the bytes it is.
bool ValidUtf8(std::string_view s) {
    auto byte = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = byte(i);
        size_t extra = 0;
        unsigned char lo = 0x80, hi = 0xBF; // the allowed range of the second byte
        if (c < 0x80)
            extra = 0;
        else if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else
            return false;
        if (i + extra >= s.size() && extra > 0) return false;
        if (extra > 0 && (byte(i + 1) < lo || byte(i + 1) > hi)) return false;
        for (size_t k = 2; k <= extra; ++k)
            if ((byte(i + k) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

CodePage GuessCodePage(std::string_view bytes) {
    if (ValidUtf8(bytes)) return CodePage::Utf8;
    // Cyrillic letters fall on different byte ranges: 866 puts А..п at
    // 0x80..0xAF, 1251 puts А..Я at 0xC0..0xDF and с..я at 0xF0..0xFF; both
    // share 0xE0..0xEF, which tells nothing.
    int dos = 0, windows = 0;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0xAF)
            ++dos;
        else if ((c >= 0xC0 && c <= 0xDF) || c >= 0xF0)
            ++windows;
    }
    return dos > windows ? CodePage::Cp866 : CodePage::Cp1251;
}

} // namespace kivo
