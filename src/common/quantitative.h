// The quantitative double integration: borders found on the whole line
// rather than on one noise point, the first integral's own base line fitted
// on the wings, trapezoidal sums, the area of Lorentzian wings beyond the
// borders estimated from their shape, and the uncertainty of the result.
// Plain C++; both programs call it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kivo {

// What a result must be read with; none set is a clean result.
enum QuantitativeFlag : unsigned {
    OffBase = 1u << 0,      // the first integral does not come back to one base level
    AtAnEnd = 1u << 1,      // the line runs into an end of the sweep
    LowSignal = 1u << 2,    // signal to noise below 10
    LineAtBorder = 1u << 3, // signal in the wings that carry the first integral's base line
    WingsBeyond = 1u << 4,  // more than 2 % of the area is estimated beyond the borders
};

struct QuantitativeIntegral {
    std::string Refusal;     // "" when integrated; otherwise the mode line's words
    long double Area = 0;    // the double integral, positive whatever the phase
    long double Sigma = 0;   // its standard uncertainty
    int Left = 0, Right = 0; // the borders, points 1..n
    int Centre = 0;          // the middle of the line's extent, point 1..n
    int Phase = 1;           // -1 when the line is recorded the other way round
    double Noise = 0;        // rms noise of the derivative
    double SignalToNoise = 0;
    double Beyond = 0; // the part of Area estimated beyond the borders
    unsigned Flags = 0;
};

// The quantitative double integral of the derivative spectrum y over the
// fields x (points 1..n in x[0..n-1], y[0..n-1]). Meant for a spectrum
// whose straight base line is already subtracted; what offset and slope are
// left are taken out of the first integral. caption names it in a refusal.
QuantitativeIntegral IntegrateQuantitative(const float* x, const float* y, int n,
                                           std::string_view caption);

// The flags in words, separated by ";": "" for a clean result.
std::string QuantitativeFlagsText(const QuantitativeIntegral& q);
// "DI q = 1.178E+06 ± 2.1E+04", then the flags in brackets when there are any.
std::string QuantitativeText(const QuantitativeIntegral& q);
// The same a row each for a narrow box: the value, its uncertainty, each flag.
std::vector<std::string> QuantitativeLines(const QuantitativeIntegral& q);

} // namespace kivo
