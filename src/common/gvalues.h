// g values, the microwave frequency and the field standards.
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

#include "records.h"

namespace kivo {

// ---- g values and the microwave frequency --------------------------------------

// h / muB (CODATA 2018) in gauss per gigahertz: g = GaussPerGHz * nu / B.
constexpr double GaussPerGHz = 714.47735;
// The g of a line at `gauss` in a spectrum recorded at `ghz`; 0 when either
// is not positive.
double GValue(double ghz, double gauss);
// The field, gauss, at which a line of that g resonates at `ghz`.
double ResonanceField(double ghz, double g);
// A frequency written in a text: a number (a decimal point or comma, no
// sign) followed by "GHz" (in any case), blanks between them allowed ("9.4012 GHz",
// "9,4012 GHz", "nu=9.4012GHz"). The first such one above 0 and up to 1000
// GHz; Length 0 when the text has none.
struct FrequencyInText {
    size_t At = 0;
    size_t Length = 0; // number and unit
    double GHz = 0;
};
// The first number (digits with at most one decimal point or comma, no
// sign) that stands before the unit (in any case), blanks between them
// allowed, above lo and up to hi; with wholeWord, no letter may follow the
// unit ("293 K", not "100 kHz").
FrequencyInText FindQuantity(std::string_view text, std::string_view unit, double lo, double hi,
                             bool wholeWord = false);
FrequencyInText FindFrequency(std::string_view text);
// A spectrum's frequency, GHz: the one in Line2, else the one in Line1; 0 for none.
double FrequencyOf(const ParamSpec& p);
// "9.4012 GHz", "9.853627 GHz": ten significant figures, at least four
// decimals, no trailing zeros past them.
std::string FrequencyText(double ghz);
// The same without the unit, as the mode line offers it.
std::string FrequencyDigits(double ghz);
// Writes the frequency into Line2 in place of the one it gives, or appends it
// to the history (started with the file's name when empty).
void SetFrequency(ParamSpec& p, std::string_view fileName, double ghz);
// A g as the read-outs show it: "2.00361".
std::string GText(double g);
// A tick of a g scale: where the g resonates at the scale's frequency, and
// the g as its label gives it.
struct GTick {
    double Field = 0; // G
    double G = 0;
    std::string Text; // "2.005"
};
// The g values at whole multiples of 1, 2 or 5 times a power of ten that
// resonate at ghz within the fields lo..hi (G), no more than `most` of them,
// the step the smallest that allows that; in rising field, so falling g.
// None without a frequency or a positive field; a range reaching down to
// zero field is taken from a hundredth of its top.
std::vector<GTick> GScaleTicks(double lo, double hi, double ghz, int most);

// The peak-to-peak width of a derivative line enclosed by the points from..to
// (either order): the fields of its largest and its smallest value, each
// taken between the points around it by the parabola through the three, their
// distance and their mean, the line's centre.
struct PeakToPeak {
    double Top = 0, Bottom = 0, Width = 0, Centre = 0;
};
PeakToPeak PeakToPeakOf(const float* x, const float* y, int from, int to);
double LineCentre(const float* x, const float* y, int from, int to);
// The shift of the field axis that puts the centre of the standard's line
// enclosed by from..to where a line of g resonates at ghz.
double StandardShift(const float* x, const float* y, int from, int to, double ghz, double g);
// The line of a standard of g enclosed by the points from..to of a spectrum
// of n points recorded at ghz: refused (Refusal, the mode line's words)
// without a frequency, or unless the range holds a maximum and a minimum of
// the signal beyond five times the noise of the spectrum's ends on either
// side of its base level there, the maximum at the lower field as a
// standard's line is drawn (refused as turned over otherwise); else its
// centre by a least-squares fit of
// one pseudo-Voigt derivative line (with its standard error) and the shift
// that puts it where g resonates.
struct StandardLine {
    std::string Refusal;
    double Centre = 0, CentreErr = 0, Shift = 0;
};
StandardLine MeasureStandardLine(const float* x, const float* y, int n, int from, int to,
                                 double ghz, double g, std::string_view caption);
// "   Field shifted by -3.0009 ± 0.0012 G ".
std::string FieldShiftText(const StandardLine& s);

// The g of the standards the field is corrected on.
constexpr double DpphG = 2.0036;
constexpr double LiLiFG = 2.002293;
// Every field of x[1..n] shifted by shift, and the note "Field g=2.0036, " in
// the history.
void ShiftFieldOnStandard(float* x, ParamSpec& p, std::string_view fileName, double g,
                          double shift);
// The field axis of a spectrum scaled from its own frequency to ghz
// (nu_ref / nu), its frequency set to ghz, and the note "Freq.corr, ". A
// spectrum without a frequency is left as it was: the words that say so are
// returned, "" when done.
std::string CorrectFrequency(float* x, ParamSpec& p, std::string_view fileName,
                             std::string_view caption, double ghz);

} // namespace kivo
