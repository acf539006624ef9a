// The text of the acquisition box of the parameter panel and how typed text
// is read back from it and from the mode line.
#include "panel_entry.h"

#include <type_traits>

namespace kivo {

namespace {

// Characters of UTF-8 text, counted as code points: the panel's lines hold
// what the user typed, not only ASCII.
size_t CharBytes(std::string_view s, size_t n) {
    size_t i = 0;
    for (; n > 0 && i < s.size(); --n) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    }
    return i;
}

std::string_view WithoutFirst(std::string_view s, size_t n) {
    return s.substr(CharBytes(s, n));
}

std::string_view WithoutLast(std::string_view s, size_t n) {
    size_t i = s.size();
    for (; n > 0 && i > 0; --n) {
        --i;
        while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
    }
    return n > 0 ? std::string_view() : s.substr(0, i);
}

} // namespace

std::array<std::string, 7> AcquisitionLines(const ParamSpec& p) {
    return {FormatI(p.NumPoints, 4) + " pnt",   "+-" + FormatF(p.ScanRange, 5, 0),
            FormatCompactGain(p.Gain),          FormatF(p.Modulation, 5, 2) + " G",
            FormatF(p.Power, 6, 2) + " mW",     "St=" + FormatF(p.StandartRuby, 6, 3),
            "SpA=" + FormatF(p.Amplitude, 8, 5)};
}

std::vector<std::string> ReadAcquisitionLines(const std::vector<std::string>& lines, ParamSpec& p) {
    std::vector<std::string> refused;
    auto line = [&lines](size_t n) {
        return n <= lines.size() ? std::string_view(lines[n - 1]) : std::string_view();
    };
    auto take = [&refused](std::string_view text, auto& field, const char* name) {
        std::remove_reference_t<decltype(field)> v{};
        if (ReadNumber(text, v))
            field = v;
        else
            refused.emplace_back(name);
    };
    take(WithoutFirst(line(2), 2), p.ScanRange, "ScanRange");
    take(line(3), p.Gain, "Gain");
    take(WithoutLast(line(4), 2), p.Modulation, "Modulation");
    take(WithoutLast(line(5), 3), p.Power, "Power");
    take(WithoutFirst(line(6), 3), p.StandartRuby, "StandartRuby");
    return refused;
}

double EntryNumber(std::string_view text) {
    double v = 0;
    return ReadNumber(text, v) ? v : 0;
}

uint16_t EntryCount(std::string_view text) {
    // The mode line has always held its counts in 16 bits: a typed -1 is
    // 65535, the widest window. What fits in no 16 bits is no count at all.
    long long v = 0;
    if (!ReadWholeNumber(text, v) || v < INT16_MIN || v > UINT16_MAX) return 0;
    return static_cast<uint16_t>(v);
}

} // namespace kivo
