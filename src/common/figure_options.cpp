// The lines of the options file after the 14 of the layout, found by their
// keys: the figure settings and the normalisation's factors.
#include <array>
#include <charconv>

#include "options_file.h"

namespace kivo {

namespace {

// A number with its limits.
struct NumberLine {
    const char* Key;
    Parameter Limit;
    double FigureSettings::*Field;
};
constexpr NumberLine kNumbers[] = {
    {"FigWidthCm = ", Parameter::FigureCm, &FigureSettings::WidthCm},
    {"FigHeightCm= ", Parameter::FigureCm, &FigureSettings::HeightCm},
    {"FigFontPt  = ", Parameter::FontPt, &FigureSettings::FontPt},
    {"FigLinePt  = ", Parameter::LinePt, &FigureSettings::LinePt},
    {"FigDpi     = ", Parameter::Dpi, &FigureSettings::Dpi},
    {"FigStack   = ", Parameter::StackStep, &FigureSettings::Stack},
};

// The factors of the normalisation by the acquisition parameters, as the
// digits the mode line takes: "1234" for all four.
constexpr const char* kFactorsKey = "NormFactors= ";

std::string FactorDigits(unsigned factors) {
    std::string digits;
    for (unsigned k = 0; k < 4; ++k)
        if (factors & (1u << k)) digits += char('1' + k);
    return digits;
}

// Each of the digits 1..4 at most once, at least one.
bool ReadFactorDigits(std::string_view text, unsigned& factors) {
    unsigned f = 0;
    for (char c : text) {
        if (c < '1' || c > '4' || (f & (1u << (c - '1')))) return false;
        f |= 1u << (c - '1');
    }
    if (f == 0) return false;
    factors = f;
    return true;
}

// A choice among words, the word's place being the value.
struct WordLine {
    const char* Key;
    std::array<const char*, 3> Words; // nullptr after the last
    int (*Get)(const FigureSettings&);
    void (*Set)(FigureSettings&, int);
};
const WordLine kWords[] = {
    {"FigColours = ",
     {"colour-blind", "black", nullptr},
     [](const FigureSettings& f) { return int(f.Palette); },
     [](FigureSettings& f, int v) { f.Palette = FigurePalette(v); }},
    {"FigLegend  = ",
     {"corner", "outside", "none"},
     [](const FigureSettings& f) { return int(f.Legend); },
     [](FigureSettings& f, int v) { f.Legend = LegendPlace(v); }},
    {"FigField   = ",
     {"G", "mT", nullptr},
     [](const FigureSettings& f) { return int(f.Unit); },
     [](FigureSettings& f, int v) { f.Unit = FieldUnit(v); }},
    {"FigSignal  = ",
     {"none", "values", nullptr},
     [](const FigureSettings& f) { return int(f.SignalValues); },
     [](FigureSettings& f, int v) { f.SignalValues = v != 0; }},
    {"FigGScale  = ",
     {"none", "top", nullptr},
     [](const FigureSettings& f) { return int(f.GScale); },
     [](FigureSettings& f, int v) { f.GScale = v != 0; }},
    {"FigLabels  = ",
     {"words", "ISO", nullptr},
     [](const FigureSettings& f) { return int(f.Labels); },
     [](FigureSettings& f, int v) { f.Labels = AxisLabelStyle(v); }},
};

std::string ShortestText(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string_view KeyOf(std::string_view line) {
    return line.substr(0, std::min(line.size(), size_t(OptionKeyLength)));
}

} // namespace

std::string LineFault(int line, const char* key, OptionFault f) {
    // The key's name without its padding and "= ".
    std::string name(key, OptionKeyLength - 2);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return "line " + std::to_string(line) + ' ' + name +
           (f == OptionFault::Missing      ? " missing"
            : f == OptionFault::NotANumber ? " not a number"
                                           : " out of range");
}

const char* FieldUnitName(FieldUnit u) {
    return kWords[2].Words[size_t(u)];
}

bool ReadFieldUnit(std::string_view text, FieldUnit& u) {
    for (int i : {0, 1})
        if (text == kWords[2].Words[size_t(i)]) {
            u = FieldUnit(i);
            return true;
        }
    return false;
}

std::string FormatKeyedLines(const OptionsFile& o) {
    const FigureSettings& f = o.Figure;
    std::string out;
    for (const NumberLine& n : kNumbers) out += n.Key + ShortestText(f.*n.Field) + "\r\n";
    for (const WordLine& w : kWords) out += w.Key + std::string(w.Words[size_t(w.Get(f))]) + "\r\n";
    return out + kFactorsKey + FactorDigits(o.NormFactors) + "\r\n";
}

void ReadKeyedLines(const std::vector<std::string_view>& lines, size_t first, OptionsFile& o,
                    std::vector<std::string>& faults) {
    FigureSettings& f = o.Figure;
    for (size_t at = first; at < lines.size(); ++at) {
        const std::string_view key = KeyOf(lines[at]);
        const std::string_view value = lines[at].substr(key.size());
        auto fault = [&](const char* key, OptionFault why) {
            faults.push_back(LineFault(int(at + 1), key, why));
        };
        for (const NumberLine& n : kNumbers) {
            if (key != n.Key) continue;
            double v = 0;
            const OptionFault why = ReadLimited(value, LimitOf(n.Limit), v);
            if (why == OptionFault::None)
                f.*n.Field = v;
            else
                fault(n.Key, why);
        }
        for (const WordLine& w : kWords) {
            if (key != w.Key) continue;
            int found = -1;
            for (size_t i = 0; i < w.Words.size() && w.Words[i]; ++i)
                if (value == w.Words[i]) found = int(i);
            if (found >= 0)
                w.Set(f, found);
            else
                fault(w.Key, OptionFault::OutOfRange);
        }
        if (key == kFactorsKey && !ReadFactorDigits(value, o.NormFactors))
            fault(kFactorsKey, OptionFault::OutOfRange);
    }
}

} // namespace kivo
