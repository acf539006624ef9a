// Two-dimensional spectrometer files: the field sweep repeated at each
// power, temperature or time, each sweep (a slice) one spectrum.
#include "series.h"
#include "spectrometer_file.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace kivo {

double MilliwattsPer(std::string_view unit) {
    if (unit == "W") return 1e3;
    if (unit == "mW") return 1;
    if (unit == "uW" || unit == "\u00b5W") return 1e-3;
    return 0;
}

SliceChoice DefaultSlices(int slices, int room) {
    const int64_t step = room >= 1 ? std::max<int64_t>(1, (int64_t(slices) + room - 1) / room) : 1;
    return {1, slices, int(step)};
}

std::vector<int> ChosenSlices(const SliceChoice& c, int slices, int room) {
    std::vector<int> out;
    const int first = std::clamp(c.First, 1, std::max(slices, 1));
    const int last = std::clamp(c.Last, 1, std::max(slices, 1));
    // In 64 bits: a step near the largest int must end the run, not wrap
    // round to slices below the first.
    const int64_t step = std::max(c.Step, 1);
    for (int64_t k = first; k <= last && int(out.size()) < room; k += step) out.push_back(int(k));
    return out;
}

double SliceStep(const std::vector<double>& values) {
    if (values.size() < 2) return 0;
    const double step = std::fabs(values[1] - values[0]);
    // Values read from floats keep about seven digits of their steps.
    for (size_t k = 2; k < values.size(); ++k)
        if (std::fabs(std::fabs(values[k] - values[k - 1]) - step) > 1e-5 * step) return 0;
    return step;
}

std::string SliceValueText(double v, double step) {
    // A regular step's decimals (2.0, 2.5, 3.0 mW; 80, 90 K), else three
    // significant digits of the value itself (0.200, 2.52, 200 mW).
    for (int decimals = 0; decimals <= 2 && step > 0; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * scaled) return FormatF(v, 0, decimals);
    }
    const int digits = v == 0 ? 0 : 2 - int(std::floor(std::log10(std::fabs(v))));
    return FormatF(v, 0, std::clamp(digits, 0, 6));
}

std::string SliceFileName(std::string_view path, int number) {
    const std::string_view stem = path.substr(0, path.size() - std::min<size_t>(4, path.size()));
    char digits[16];
    std::snprintf(digits, sizeof digits, "-%03d", number);
    return std::string(stem) + digits + ".esr";
}

SeriesSlice ReadSeriesSlice(const SpectrometerFiles& f, int number, ParamSpec& p, float* x,
                            float* y) {
    SeriesSlice s;
    s.Number = number;
    const SpectrometerHeader& h = f.Header;
    s.Value = number >= 1 && size_t(number) <= f.Values.size() ? f.Values[size_t(number - 1)] : 0;
    std::string value = SliceValueText(s.Value, f.ValueStep);
    if (!h.SliceUnit.empty()) value += " " + h.SliceUnit;
    s.Caption = f.Name + " " + value;
    s.FileName = SliceFileName(f.Path, number);
    s.Result = ReadSpectrometerSlice(f, number - 1, p, x, y);
    if (s.Result.Status != ReadStatus::Ok) return s;
    // A power series: each slice at its own power.
    if (const double mw = MilliwattsPer(h.SliceUnit); mw > 0) p.Power = s.Value * mw;
    // After the frequency, before the rest of the conditions.
    const size_t at = std::min(h.FrequencyEnd, p.Line2.size());
    std::string& line = p.Line2;
    if (at > 0)
        line.insert(at, ", " + value);
    else
        line = line.empty() ? value : value + ", " + line;
    return s;
}

std::string SlicesTakenNotice(std::string_view name, const SliceChoice& c, int taken, int slices) {
    const int64_t last = int64_t(c.First) + int64_t(taken - 1) * std::max(c.Step, 1);
    return "    FileSpectrum " + std::string(name) + ": slices " + std::to_string(c.First) +
           " to " + std::to_string(last) + " step " + std::to_string(c.Step) + " taken, " +
           std::to_string(taken) + " of " + std::to_string(slices) + " ";
}

std::string SliceChoiceText(const SliceChoice& c) {
    return std::to_string(c.First) + " " + std::to_string(c.Last) + " " + std::to_string(c.Step);
}

bool ReadSliceChoice(std::string_view text, SliceChoice& c) {
    std::istringstream in{std::string(text)};
    SliceChoice read;
    char rest = 0;
    if (!(in >> read.First >> read.Last >> read.Step) || in >> rest) return false;
    c = read;
    return true;
}

std::string SliceChoiceRefusal(const SliceChoice& c, int slices, int room) {
    // Appended piece by piece: GCC 12 warns falsely on a literal + a string.
    std::string said;
    const int64_t count = c.Step >= 1 ? (int64_t(c.Last) - c.First) / c.Step + 1 : 0;
    if (c.First < 1 || c.Last > slices || c.First > c.Last) {
        said = "   Not slices of 1 to ";
        said += std::to_string(slices);
    } else if (c.Step < 1) {
        said = "   Not a step";
    } else if (count > room) {
        said = "   ";
        said += std::to_string(count);
        said += " slices, ";
        said += std::to_string(room);
        said += " slots for them";
    } else {
        return said;
    }
    said += ": '";
    said += SliceChoiceText(c);
    said += "' ";
    return said;
}

SeriesCurve MakeSeriesCurve(const std::vector<SeriesPoint>& slices, std::string_view unit,
                            SeriesValue value, AxisLabelStyle style) {
    SeriesCurve c;
    const double mw = MilliwattsPer(unit);
    const bool kelvin = unit == "K";
    for (const SeriesPoint& s : slices) {
        c.X.push_back(mw > 0 ? std::sqrt(std::max(s.Value * mw, 0.0)) : s.Value);
        c.Y.push_back(kelvin ? s.Y * s.Value : s.Y);
    }
    c.Unit = unit;
    c.Value = value;
    NameSeriesAxes(c, style);
    if (mw <= 0) return c;
    // Through the origin and the lowest powers, as long as each next point
    // keeps within 5 % of the slope of the points before it.
    std::vector<size_t> order(c.X.size());
    for (size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&c](size_t a, size_t b) { return c.X[a] < c.X[b]; });
    double sxy = 0, sxx = 0;
    int taken = 0, powers = 0;
    for (size_t k : order) {
        const double x = c.X[k], y = c.Y[k];
        if (!(x > 0)) continue;
        ++powers;
        if (taken > 0 && std::fabs(y / x - sxy / sxx) > 0.05 * std::fabs(sxy / sxx)) break;
        sxy += x * y;
        sxx += x * x;
        ++taken;
    }
    if (taken < 2) {
        c.LineNote = powers < 2 ? "no straight line: fewer than two powers above zero"
                                : "no straight line: the signal at the two lowest powers differs "
                                  "by more than 5 % from proportion to the square root of the "
                                  "power";
        return c;
    }
    const double end = c.X[order.back()];
    c.LineX = {0, end};
    c.LineY = {0, sxy / sxx * end};
    return c;
}

void NameSeriesAxes(SeriesCurve& c, AxisLabelStyle style) {
    const bool iso = style == AxisLabelStyle::Iso, kelvin = c.Unit == "K";
    const std::string what = c.Value == SeriesValue::Amplitude ? "Amplitude" : "Double integral";
    c.XLabel = MilliwattsPer(c.Unit) > 0 ? (iso ? "√*P* / mW^{1/2}" : "√P, mW^{1/2}")
               : kelvin                  ? (iso ? "*T* / K" : "T, K")
               : c.Unit.empty()          ? "Slice"
                                         : c.Unit;
    c.YLabel = kelvin ? (iso ? what + " × *T* / (a.u. K)" : what + " × T, a.u. K")
                      : what + (iso ? " / a.u." : ", a.u.");
}

} // namespace kivo
