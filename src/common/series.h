// Series: the slices of a two-dimensional spectrometer file.
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

#include "options_file.h"
#include "spectrum_file.h"

namespace kivo {

// ---- Series ----------------------------------------------------------------------

// Which slices of a series are taken: First, First + Step, ... up to Last
// (all 1-based).
struct SliceChoice {
    int First = 1, Last = 1, Step = 1;
};
// mW in one unit of a power ("W", "mW", "uW"); 0 for a unit of no power.
double MilliwattsPer(std::string_view unit);
// Every k-th slice from the first, k the least that makes them fit in room.
SliceChoice DefaultSlices(int slices, int room);
// The slices a choice takes, at most room of them, each within 1..slices.
std::vector<int> ChosenSlices(const SliceChoice& c, int slices, int room);
// A value of the second axis as a caption shows it, with the decimals its
// step needs: "2.0", "80", "12.5".
std::string SliceValueText(double v, double step);
// The step of evenly spaced values; 0 for fewer than two or uneven ones.
double SliceStep(const std::vector<double>& values);
// Slice number (1-based) of a series into p, x and y: its caption is
// "name value unit", and Line2 gets "value unit" after the frequency.
struct SeriesSlice {
    int Number = 0;
    double Value = 0;
    std::string Caption;  // "coal 2.0 mW"
    std::string FileName; // SpectrumFileName(path, KindBes3t, 0) with "-001" before ".esr"
    ReadResult Result;
};
SeriesSlice ReadSeriesSlice(const SpectrometerFiles& f, int number, ParamSpec& p, float* x,
                            float* y);
// "name-001.esr" beside path for slice number 1.
std::string SliceFileName(std::string_view path, int number);
// What the mode line says of a series of which not every slice was taken.
std::string SlicesTakenNotice(std::string_view name, const SliceChoice& c, int taken, int slices);
// A choice as the mode line offers it and reads it back: "1 31 2".
std::string SliceChoiceText(const SliceChoice& c);
// "first last step" as typed: three whole numbers apart; false for anything else.
bool ReadSliceChoice(std::string_view text, SliceChoice& c);
// Why a choice cannot be taken from slices into room slots, in the mode
// line's words; empty when it can.
std::string SliceChoiceRefusal(const SliceChoice& c, int slices, int room);

// ---- The series curve ----------------------------------------------------------

// What the curve of a series shows of each slice.
enum class SeriesValue { Integral, Amplitude };
struct SeriesPoint {
    double Value = 0; // on the series' second axis
    double Y = 0;     // the slice's double integral or amplitude
};
struct SeriesCurve {
    std::vector<double> X, Y;         // one point per slice, in the series' order
    std::vector<double> LineX, LineY; // the line's two ends; empty when there is none
    std::string Unit;                 // of the second axis
    SeriesValue Value = SeriesValue::Integral;
    // The axes' names, italic runs between asterisks, raised ones in ^{...}.
    std::string XLabel, YLabel;
    // Why a power series has no straight line; empty when it has one, and
    // for other series, which have none.
    std::string LineNote;
};
// The curve of the slices of a series whose second axis has this unit: a
// power series as the signal against the square root of the power, with
// the straight line through the origin and the lowest powers that the
// signal follows before it saturates; a temperature series as the signal
// times T against T (Curie's law a level line); any other against its value.
SeriesCurve MakeSeriesCurve(const std::vector<SeriesPoint>& slices, std::string_view unit,
                            SeriesValue value, AxisLabelStyle style);
// The curve's axes named in the style.
void NameSeriesAxes(SeriesCurve& c, AxisLabelStyle style);

} // namespace kivo
