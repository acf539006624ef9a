// The history of treatments kept in a spectrum's second text line, and the
// short number forms of the parameter panel.
#include <algorithm>
#include <cstdlib>

#include "records.h"
#include "treatment_notes.h"

namespace kivo {

namespace {

constexpr size_t MaxText = 255;

// Fixed tags of the treatments, 13 characters each, ", " included.
std::string_view FixedTag(int code) {
    switch (code) {
    case 124:
        return "Norm Compon, ";
    case 125:
        return "Norm on Int, ";
    case 127:
        return "Centr-3300G, ";
    case 128:
        return "Comp.Field , ";
    case 129:
        return "Norm on Amp, ";
    case 1211:
        return "Norm Rb Amp, ";
    case 161:
        return " Field Ruby, ";
    case 162:
        return "Mn(3-4) Fld, ";
    case 163:
        return "Mn(2-5) Fld, ";
    case 164:
        return "Mn(1-6) Fld, ";
    default:
        return {};
    }
}

// E(w) split into its mantissa part (sign, digits, "E") and exponent value.
std::string MantissaOf(long double v, int w, int& exponent) {
    const std::string e = FormatE(v, w);
    const size_t at = e.find('E');
    exponent = std::atoi(e.c_str() + at + 1);
    return e.substr(0, at + 1);
}

} // namespace

std::string FormatCompactGain(long double v) {
    int exponent = 0;
    std::string out = MantissaOf(v, 11, exponent);
    // Exponents 0..9 keep one digit and no sign; others keep what they need.
    out += std::to_string(exponent);
    return out;
}

std::string FormatCompactParticles(long double v) {
    int exponent = 0;
    std::string out = MantissaOf(v, 12, exponent);
    out += exponent < 0 ? '-' : '+';
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
    return out;
}

void AppendTreatmentNote(std::string& line2, std::string_view fileName, int code,
                         std::string_view text) {
    // A file name may hold a line break; the history is one line of the file.
    auto append = [&line2](std::string_view part) {
        const size_t from = line2.size();
        line2.append(part.substr(0, std::min(part.size(), MaxText)));
        std::replace_if(
            line2.begin() + std::ptrdiff_t(from), line2.end(),
            [](char c) { return c == '\n' || c == '\r'; }, ' ');
        line2 += ", ";
    };
    if (line2.empty()) {
        std::string_view name = fileName.substr(0, std::min(fileName.size(), MaxText));
        if (name.size() > 3) name.remove_suffix(4);
        // A reader's own note before any name is known starts the line itself.
        if (!name.empty()) append(name);
    }
    if (code == 143 || code == 166) {
        append(text);
        return;
    }
    const std::string_view tag = FixedTag(code);
    if (tag.empty()) return;
    const size_t at = line2.find(tag);
    if (at != std::string::npos) line2.erase(at, tag.size());
    line2 += tag;
}

} // namespace kivo
