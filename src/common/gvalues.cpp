// g values from the microwave frequency: the frequency a spectrum's text
// lines give, and the field correction on a standard of known g.
#include <algorithm>
#include <cmath>

#include "TYPEKIVO1_3.h"

namespace kivo {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Appends a note to the history as the treatments do, after a ", " that a
// history written by a spectrometer reader does not end in; an earlier copy
// of the same note goes.
void AppendNote(std::string& line2, std::string_view fileName, const std::string& note) {
    const size_t at = line2.find(note + ", ");
    if (at != std::string::npos) line2.erase(at, note.size() + 2);
    if (!line2.empty() && (line2.size() < 2 || line2.compare(line2.size() - 2, 2, ", ") != 0))
        line2 += ", ";
    AppendTreatmentNote(line2, fileName, 166, note);
}

// "GHz" in any case.
bool IsUnit(std::string_view s) {
    return (s[0] | 0x20) == 'g' && (s[1] | 0x20) == 'h' && (s[2] | 0x20) == 'z';
}

// Where the vertex of the parabola through points k-1, k, k+1 lies, as a
// field; the point's own field at an end of the range or on a flat top.
double VertexField(const float* x, const float* y, int k, int lo, int hi) {
    const double f = x[k - 1];
    if (k <= lo || k >= hi) return f;
    const double a = y[k - 2], b = y[k - 1], c = y[k];
    const double curve = a - 2 * b + c;
    if (curve == 0) return f;
    const double offset = std::clamp(0.5 * (a - c) / curve, -0.5, 0.5);
    return f + offset * (offset < 0 ? f - x[k - 2] : x[k] - f);
}

} // namespace

double GValue(double ghz, double gauss) {
    return ghz > 0 && gauss > 0 ? GaussPerGHz * ghz / gauss : 0;
}

double ResonanceField(double ghz, double g) {
    return g > 0 ? GaussPerGHz * ghz / g : 0;
}

FrequencyInText FindFrequency(std::string_view text) {
    for (size_t unit = 0; unit + 3 <= text.size(); ++unit) {
        if (!IsUnit(text.substr(unit, 3))) continue;
        size_t end = unit;
        while (end > 0 && text[end - 1] == ' ') --end;
        // Back over digits and at most one decimal point or comma.
        size_t start = end;
        bool separator = false;
        while (start > 0) {
            const char c = text[start - 1];
            if (IsDigit(c)) {
                --start;
            } else if ((c == '.' || c == ',') && !separator && start < end) {
                separator = true;
                --start;
            } else {
                break;
            }
        }
        while (start < end && !IsDigit(text[start])) ++start; // ",5" reads as 5
        if (start == end) continue;
        std::string number(text.substr(start, end - start));
        std::replace(number.begin(), number.end(), ',', '.');
        double v = 0;
        if (!ReadNumber(number, v) || !(v > 0 && v <= 1000)) continue;
        return {start, unit + 3 - start, v};
    }
    return {};
}

double FrequencyOf(const ParamSpec& p) {
    const FrequencyInText second = FindFrequency(p.Line2);
    if (second.Length > 0) return second.GHz;
    return FindFrequency(p.Line1).GHz;
}

std::string FrequencyText(double ghz) {
    return FormatF(ghz, 0, 4) + " GHz";
}

void SetFrequency(ParamSpec& p, std::string_view fileName, double ghz) {
    const FrequencyInText old = FindFrequency(p.Line2);
    if (old.Length > 0)
        p.Line2.replace(old.At, old.Length, FrequencyText(ghz));
    else
        AppendNote(p.Line2, fileName, FrequencyText(ghz));
}

std::string GText(double g) {
    return FormatF(g, 0, 5);
}

double LineCentre(const float* x, const float* y, int from, int to) {
    const int lo = std::min(from, to), hi = std::max(from, to);
    int top = lo, bottom = lo;
    for (int k = lo; k <= hi; ++k) {
        if (y[k - 1] >= y[top - 1]) top = k;
        if (y[k - 1] < y[bottom - 1]) bottom = k;
    }
    return (VertexField(x, y, top, lo, hi) + VertexField(x, y, bottom, lo, hi)) / 2;
}

double StandardShift(const float* x, const float* y, int from, int to, double ghz, double g) {
    return ResonanceField(ghz, g) - LineCentre(x, y, from, to);
}

void ShiftFieldOnStandard(float* x, ParamSpec& p, std::string_view fileName, double g,
                          double shift) {
    TransformValues(x, p.NumPoints, 0, 1, shift);
    AppendNote(p.Line2, fileName, "Field g=" + ShortText(g));
}

std::string CorrectFrequency(float* x, ParamSpec& p, std::string_view fileName,
                             std::string_view caption, double ghz) {
    const double own = FrequencyOf(p);
    if (own <= 0) return "   " + std::string(caption) + ": no frequency, not corrected;";
    TransformValues(x, p.NumPoints, 0, static_cast<long double>(ghz) / own, 0);
    SetFrequency(p, fileName, ghz);
    AppendNote(p.Line2, fileName, "Freq.corr");
    return {};
}

} // namespace kivo
