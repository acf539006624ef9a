// g values from the microwave frequency: the frequency a spectrum's text
// lines give, and the field correction on a standard of known g.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

#include "acquisition.h"
#include "fitting.h"
#include "gvalues.h"
#include "treatment_notes.h"

namespace kivo {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The unit in any case.
bool IsUnit(std::string_view s, std::string_view unit) {
    for (size_t k = 0; k < unit.size(); ++k)
        if ((s[k] | 0x20) != unit[k]) return false;
    return true;
}

} // namespace

void AppendNote(std::string& line2, std::string_view fileName, const std::string& note) {
    const size_t at = line2.find(note + ", ");
    if (at != std::string::npos) line2.erase(at, note.size() + 2);
    if (!line2.empty() && (line2.size() < 2 || line2.compare(line2.size() - 2, 2, ", ") != 0))
        line2 += ", ";
    AppendTreatmentNote(line2, fileName, 166, note);
}

FrequencyInText FindQuantity(std::string_view text, std::string_view unit, double lo, double hi,
                             bool wholeWord) {
    for (size_t at = 0; at + unit.size() <= text.size(); ++at) {
        if (!IsUnit(text.substr(at, unit.size()), unit)) continue;
        if (wholeWord && at + unit.size() < text.size() &&
            std::isalpha(static_cast<unsigned char>(text[at + unit.size()])))
            continue;
        size_t end = at;
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
        if (!ReadNumber(number, v) || !(v > lo && v <= hi)) continue;
        return {start, at + unit.size() - start, v};
    }
    return {};
}

namespace {

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
    return FindQuantity(text, "ghz", 0, 1000);
}

double FrequencyOf(const ParamSpec& p) {
    const FrequencyInText second = FindFrequency(p.Line2);
    if (second.Length > 0) return second.GHz;
    return FindFrequency(p.Line1).GHz;
}

std::string FrequencyDigits(double ghz) {
    // Ten significant figures, at least four decimals, no trailing zeros
    // beyond them: a frequency read to the hertz keeps its hertz, and one
    // given to 0.1 MHz reads as it always did.
    const int whole = ghz >= 1 ? int(std::floor(std::log10(ghz))) + 1 : 1;
    std::string text = FormatF(ghz, 0, std::max(4, 10 - whole));
    const size_t point = text.find('.');
    if (point != std::string::npos)
        while (text.size() > point + 5 && text.back() == '0') text.pop_back();
    return text;
}

std::string FrequencyText(double ghz) {
    return FrequencyDigits(ghz) + " GHz";
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

std::vector<GTick> GScaleTicks(double lo, double hi, double ghz, int most) {
    std::vector<GTick> ticks;
    if (lo > hi) std::swap(lo, hi);
    if (!(ghz > 0) || !(hi > 0) || most < 1 || !std::isfinite(hi)) return ticks;
    lo = std::max(lo, hi / 100);
    const double gLo = GValue(ghz, hi), gHi = GValue(ghz, lo);
    const double wanted = (gHi - gLo) / most;
    if (!(wanted > 0)) return ticks;
    double power = std::pow(10.0, std::floor(std::log10(wanted)));
    for (;; power *= 10)
        for (double m : {1.0, 2.0, 5.0}) {
            const double step = m * power;
            const double first = std::ceil(gLo / step - 1e-9), last = std::floor(gHi / step + 1e-9);
            if (last - first + 1 > most) continue;
            const int decimals = std::max(0, -int(std::floor(std::log10(step) + 1e-9)));
            // A tenth is n / 10, not n * 0.1: the g is the decimal its text names.
            const double parts = step < 1 ? std::round(1 / step) : 0;
            for (double n = last; n >= first; --n) {
                const double g = parts > 0 ? n / parts : n * step;
                ticks.push_back({ResonanceField(ghz, g), g, FormatF(g, 0, decimals)});
            }
            return ticks;
        }
}

PeakToPeak PeakToPeakOf(const float* x, const float* y, int from, int to) {
    const int lo = std::min(from, to), hi = std::max(from, to);
    int top = lo, bottom = lo;
    for (int k = lo; k <= hi; ++k) {
        if (y[k - 1] >= y[top - 1]) top = k;
        if (y[k - 1] < y[bottom - 1]) bottom = k;
    }
    PeakToPeak p;
    p.Top = VertexField(x, y, top, lo, hi);
    p.Bottom = VertexField(x, y, bottom, lo, hi);
    p.Width = std::fabs(p.Top - p.Bottom);
    p.Centre = (p.Top + p.Bottom) / 2;
    return p;
}

double LineCentre(const float* x, const float* y, int from, int to) {
    return PeakToPeakOf(x, y, from, to).Centre;
}

double StandardShift(const float* x, const float* y, int from, int to, double ghz, double g) {
    return ResonanceField(ghz, g) - LineCentre(x, y, from, to);
}

StandardLine MeasureStandardLine(const float* x, const float* y, int n, int from, int to,
                                 double ghz, double g, std::string_view caption) {
    StandardLine s;
    if (!(ghz > 0)) {
        s.Refusal = "   No frequency, field not corrected: " + std::string(caption) + " ";
        return s;
    }
    const std::string noLine =
        "   No line in the standard's range, field not corrected: " + std::string(caption) + " ";
    const int lo = std::clamp(std::min(from, to), 1, std::max(n, 1));
    const int hi = std::clamp(std::max(from, to), 1, std::max(n, 1));
    constexpr int kFewest = 7; // a derivative line and its two lobes
    if (n < 2 * kFewest || hi - lo + 1 < kFewest) {
        s.Refusal = noLine;
        return s;
    }
    // The noise and the base level from the spectrum's ends.
    const int w = std::max(kFewest, n / 10);
    long double level = 0;
    for (const int start : {1, n - w + 1})
        for (int j = start; j < start + w; ++j) level += y[j - 1];
    level /= 2 * w;
    const double sigma = EndNoise(x, y, 1, n);
    int top = lo, bottom = lo;
    for (int j = lo; j <= hi; ++j) {
        if (y[j - 1] > y[top - 1]) top = j;
        if (y[j - 1] < y[bottom - 1]) bottom = j;
    }
    if (!(y[top - 1] - level > 5 * sigma) || !(y[bottom - 1] - level < -5 * sigma)) {
        s.Refusal = noLine;
        return s;
    }
    // A standard's line is drawn with its maximum on the low-field side.
    if (!(x[top - 1] < x[bottom - 1])) {
        s.Refusal =
            "   The standard's line is turned over (its minimum first), field not corrected: " +
            std::string(caption) + " ";
        return s;
    }
    // One derivative line fitted by least squares, on the straight line
    // through the ends of the range taken away.
    const int m = hi - lo + 1;
    const int e = std::max(1, m / 10);
    const long double left = MeanY(y, lo, lo + e - 1), right = MeanY(y, hi - e + 1, hi);
    const long double xl = MeanY(x, lo, lo + e - 1), xr = MeanY(x, hi - e + 1, hi);
    std::vector<float> flat(y + lo - 1, y + hi);
    const long double slope = xr != xl ? (right - left) / (xr - xl) : 0;
    for (int j = lo; j <= hi; ++j)
        flat[size_t(j - lo)] = float(y[j - 1] - left - (x[j - 1] - xl) * slope);
    const LineFit fit = FitDerivativeLines(x + lo - 1, flat.data(), 1, m, LineShape::Voigt, 1);
    const double lower = std::min(x[lo - 1], x[hi - 1]), upper = std::max(x[lo - 1], x[hi - 1]);
    if (!fit.Refusal.empty() || fit.Lines.size() != 1 || !(fit.Lines[0].Centre > lower) ||
        !(fit.Lines[0].Centre < upper)) {
        s.Refusal = noLine;
        return s;
    }
    s.Centre = fit.Lines[0].Centre;
    s.CentreErr = fit.Lines[0].CentreErr;
    s.Shift = ResonanceField(ghz, g) - s.Centre;
    return s;
}

std::string FieldShiftText(const StandardLine& s) {
    char text[80];
    std::snprintf(text, sizeof text, "   Field shifted by %.4f \u00B1 %.4f G ", s.Shift,
                  s.CentreErr);
    return text;
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

FrequencyInText FindScans(std::string_view text) {
    return FindQuantity(text, "scan", 0.5, 1e9);
}

double ScansOf(const ParamSpec& p) {
    const FrequencyInText second = FindScans(p.Line2);
    return second.Length > 0 ? second.GHz : FindScans(p.Line1).GHz;
}

std::string NormaliseOnAcquisition(float* y, ParamSpec& p, std::string_view fileName,
                                   std::string_view caption, unsigned factors) {
    const struct {
        unsigned Bit;
        const char* Name;
        double Value;
    } used[] = {{FactorGain, "gain", p.Gain},
                {FactorScans, "scans", ScansOf(p)},
                {FactorModulation, "mod", p.Modulation},
                {FactorPower, "sqrtP", std::sqrt(std::max(p.Power, 0.0))}};
    long double divisor = 1;
    std::string missing;
    for (const auto& f : used) {
        if (!(factors & f.Bit)) continue;
        if (!(f.Value > 0)) {
            if (!missing.empty()) missing += ", ";
            missing += f.Name;
        }
        divisor *= f.Value;
    }
    const std::string names = AcquisitionFactorNames(factors);
    if (names.empty()) return "   No factor chosen, not normalised ";
    if (!missing.empty())
        return "   " + std::string(caption) + ": no " + missing + ", not normalised;";
    DivideValues(y, p.NumPoints, divisor);
    if (factors & FactorGain) p.Gain = 1;
    if (factors & FactorModulation) p.Modulation = 1;
    if (factors & FactorPower) p.Power = 1;
    if (factors & FactorScans) {
        const FrequencyInText second = FindScans(p.Line2);
        if (second.Length > 0) {
            // "16 scans" as a whole becomes "1 scan".
            size_t length = second.Length;
            if (second.At + length < p.Line2.size() && (p.Line2[second.At + length] | 0x20) == 's')
                ++length;
            p.Line2.replace(second.At, length, "1 scan");
        } else
            AppendNote(p.Line2, fileName, "1 scan");
    }
    AppendNote(p.Line2, fileName, "Norm by " + names);
    return {};
}

std::string AcquisitionFactorNames(unsigned factors) {
    std::string names;
    for (const auto& [bit, name] :
         {std::pair{FactorGain, "gain"}, std::pair{FactorScans, "scans"},
          std::pair{FactorModulation, "mod"}, std::pair{FactorPower, "sqrtP"}}) {
        if (!(factors & bit)) continue;
        if (!names.empty()) names += '*';
        names += name;
    }
    return names;
}

} // namespace kivo
