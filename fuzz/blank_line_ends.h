// Point lines with a blank put before their ends: the same points for the
// .esr reader, but no line left in the layout it reads at fixed columns. The
// fuzz target and the reader's tests compare the two readings.
#pragma once

#include <string>
#include <string_view>

namespace kivo_lines {

// The text with a blank before the end of every line after the first skip.
inline std::string WithBlankLineEnds(std::string_view text, int skip) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        const bool lastCr = text[i] == '\r' && (i + 1 == text.size() || text[i + 1] == '\n');
        const bool lf = text[i] == '\n' && (i == 0 || text[i - 1] != '\r');
        if (skip <= 0 && (lastCr || lf)) out += ' ';
        if (text[i] == '\n') --skip;
        out += text[i];
    }
    if (skip <= 0 && !text.empty() && text.back() != '\n' && text.back() != '\r') out += ' ';
    return out;
}

// The line of the point list's marker, looked for from line 11 on as the
// reader does; 0 when there is none.
inline int MarkerLine(std::string_view text) {
    int n = 0;
    for (size_t at = 0;;) {
        const size_t lf = text.find('\n', at);
        std::string_view line = text.substr(at, lf == std::string_view::npos ? lf : lf - at);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (++n > 10 && line == "Spectr:") return n;
        if (lf == std::string_view::npos) return 0;
        at = lf + 1;
    }
}

} // namespace kivo_lines
