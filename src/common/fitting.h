// Least squares on spectra: polynomial base lines and the fitting of
// first-derivative lines. The solvers are Eigen's (QR for the linear fits,
// Levenberg-Marquardt for the lines); these are free functions on the points.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "numeric.h"

namespace kivo {

// ---- Polynomial base line ---------------------------------------------------

constexpr int MaxBaseLineOrder = 5;
// The order the base line starts with: the straight line through the means
// of the two end windows.
constexpr int LinearBaseLineOrder = 1;

// A polynomial in the scaled field t = (x - Centre) / Half, which runs from
// -1 to 1 over the spectrum: Coefficients[k] multiplies t^k.
struct BaseLinePolynomial {
    double Centre = 0;
    double Half = 1;
    std::vector<double> Coefficients;
    double At(double x) const;
};

// The polynomial of the given order (0..MaxBaseLineOrder) fitted by least
// squares to the points of y[1..n] outside the span between the cursors
// (points 1..min and max..n of ends, the signal lies between them). Empty
// Coefficients when there are fewer distinct fields outside than terms.
BaseLinePolynomial FitBaseLine(const float* x, const float* y, int n, PointRange ends, int order);

// The base line of the given order subtracted from y[1..n]. Order 1 is the
// straight line through the means of the end windows (SubtractLinearBaseLine,
// exactly); every other order is the fitted polynomial. A spectrum refused
// is left as it was and the words are returned; "" when done.
std::string SubtractBaseLine(const float* x, float* y, int n, PointRange ends, int order,
                             int numAver, std::string_view caption);

// The note a base line of this order leaves in the history: "Base line 3";
// none for the straight line, which has always left none.
std::string BaseLineNote(int order);

// ---- Derivative lines -------------------------------------------------------

enum class LineShape { Lorentz, Gauss, Voigt };
constexpr int MaxFitLines = 6;

// "lorentz", "gauss", "voigt"; the name read back (false when unknown).
std::string_view ShapeName(LineShape shape);
bool ReadShapeName(std::string_view text, LineShape& shape);

// One first-derivative line: its centre field (the zero crossing), its
// peak-to-peak width and peak-to-peak amplitude. A positive amplitude is the
// phase the double integration counts positive: the line falls below zero
// on the low-field side (its minimum at the lower field). Lorentz is the
// Lorentzian fraction of a pseudo-Voigt line (1 for a Lorentzian, 0 for a
// Gaussian): the share of the peak-to-peak amplitude of a Lorentzian and a
// Gaussian derivative of the same peak-to-peak width. Each value has its
// standard error beside it; a fraction that ends on 0 or 1 has none
// (FractionAtBound). The integral is the area of the absorption, positive
// whichever way the line is drawn, as the double integration gives it.
struct FittedLine {
    double Centre = 0, CentreErr = 0;
    double Width = 0, WidthErr = 0;
    double Amplitude = 0, AmplitudeErr = 0;
    double Lorentz = 0, LorentzErr = 0;
    bool FractionAtBound = false;
    double Integral = 0, IntegralErr = 0; // the double integral of the whole line
};

struct LineFit {
    std::string Refusal; // "" when the fit converged
    LineShape Shape = LineShape::Lorentz;
    std::vector<FittedLine> Lines; // by centre, low field first
    // With a straight line under the lines: its value at the field Middle
    // (the middle of the range) and its slope per gauss, with their errors.
    bool Straight = false;
    double Middle = 0;
    double Offset = 0, OffsetErr = 0;
    double Slope = 0, SlopeErr = 0;
    double Rms = 0;     // of the residual
    double Chi2 = 0;    // reduced: residual sum of squares per degree of freedom
    double Noise = 0;   // measured on the range's ends (EndNoise); 0 when not measured
    double Chi2Red = 0; // Chi2 over the noise squared: about 1 for a good fit; 0 without noise
    int Points = 0;
};

// The value at field x of a line of the given shape.
double DerivativeLineAt(const FittedLine& line, double x);
// The double integral of a whole line of this width, amplitude and fraction:
// positive for either sign of the amplitude.
double LineIntegral(double width, double amplitude, double lorentz);

// count (1..MaxFitLines) lines of the shape, and with straight a straight
// line under them, fitted to the points first..last (1-based, either order)
// of a spectrum. The lines are found one at a time on the lightly smoothed
// points, the strongest first, each fitted with those before it before the
// next is looked for; fits from the extrema of the range are tried beside
// it, and the least residual wins. Levenberg-Marquardt does the fitting.
LineFit FitDerivativeLines(const float* x, const float* y, int first, int last, LineShape shape,
                           int count, bool straight = false);

// The noise of the points first..last (1-based) measured on their ends: the
// rms about a straight line fitted to each end's tenth of the points (7 at
// least), 0 when the range has no room for two such ends.
double EndNoise(const float* x, const float* y, int first, int last);

// "poor fit (rms 342, noise 25)" for a fit whose residual is more than three
// times the noise of the range's ends; "" for one that is not.
std::string PoorFitWords(const LineFit& fit);

// The fitted curve, with its straight line, at the fields x[0..n-1].
void FittedCurve(const LineFit& fit, const float* x, int n, float* out);

// The results box's lines of a fit: per line its centre (and g, when the
// spectrum has a frequency), width, amplitude, Lorentzian fraction of a
// pseudo-Voigt and double integral, each with "+-" its standard error (a
// fraction at its bound "L=1 (bound)"); the straight line's offset and
// slope; then the residual RMS, the reduced chi-square and, with the noise
// measured, the chi-square over the noise squared.
std::vector<std::string> FitReport(const LineFit& fit, double ghz);
// The note a fit leaves in the history of its curves: "Fit 2 lorentz",
// "Fit 2 lorentz+line".
std::string FitNote(const LineFit& fit);

} // namespace kivo
