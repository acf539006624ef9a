// The number of spins of a sample against a standard of known spins: the
// ratio of their double integrals times the ratios of the conditions each was
// recorded under. Plain C++; both programs call it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "quantitative.h"
#include "records.h"

namespace kivo {

// What the count takes of one spectrum: its record (gain, modulation, power,
// text lines), its quantitative double integral and the field of its line's
// centre (for its g).
struct SpinSide {
    const ParamSpec* Params = nullptr;
    long double Area = 0, AreaErr = 0;
    double CentreField = 0;
    // Given on the command line where the spectrum does not say; 0: none.
    double Temperature = 0;
};

// A spectrum of p.NumPoints points as the count takes it: q gets its
// quantitative integral (Refusal set when it has none).
SpinSide SpinSideOf(const float* x, const float* y, const ParamSpec& p, double temperature,
                    std::string_view caption, QuantitativeIntegral& q);

// A factor of the count: the value of the sample and of the standard, where
// each came from, and the ratio the count is multiplied by.
struct SpinFactor {
    std::string Name;
    double Sample = 0, Standard = 0;
    std::string From; // "header", "text line", "descriptor", "given"
    double Ratio = 1;
};

struct SpinCount {
    std::string Refusal; // names what is missing; "" when counted
    std::vector<SpinFactor> Factors;
    long double Spins = 0, SpinsErr = 0;
    double Micromolar = 0, MicromolarErr = 0; // with a sample volume; 0 otherwise
};

// The temperature a text line gives ("293 K"), the spin ("S=5/2", "S = 1")
// and the cavity's Q ("Q 5200", as the BES3T reader writes it), the sample's
// volume ("50 uL" or "50 µL"): the second text line first, then the first;
// 0 for none (S: 0.5 for none).
double TemperatureOf(const ParamSpec& p);
double SpinOf(const ParamSpec& p);
double QualityOf(const ParamSpec& p);
double VolumeOf(const ParamSpec& p);

// N = spins * (DI / DI_std) * gain_std/gain * scans_std/scans * mod_std/mod
//     * sqrt(P_std/P) * T/T_std * S_std(S_std+1)/(S(S+1)) * g_std/g
//     (* Q_std/Q when both give Q), with its uncertainty from both double
// integrals' and the standard's (spinsErr). volume (uL, 0 for none) gives
// the concentration too. A factor either side lacks refuses the count and
// is named: "   s: no temperature of the standard, no spins counted;".
SpinCount CountSpins(const SpinSide& sample, const SpinSide& standard, double spins,
                     double spinsErr, double volume, std::string_view caption);
// The count of a spectrum, its quantitative integral taken first: refused in
// that integral's words when it has none.
SpinCount CountSpinsOf(const float* x, const float* y, const ParamSpec& p, double temperature,
                       const SpinSide& standard, double spins, double spinsErr, double volume,
                       std::string_view caption, QuantitativeIntegral& q);

// "Spins 3.2E+15 ± 1.1E+14 vs dpph" (and "= 12.3 ± 0.4 uM" with a volume).
std::string SpinText(const SpinCount& c, std::string_view standard);
// The factors, one a line: "gain 2E+04 / 1E+04 (header) x0.5".
std::vector<std::string> SpinFactorLines(const SpinCount& c);
// The note the sample's history gets: "Spins 3.2E+15 vs dpph".
std::string SpinNote(const SpinCount& c, std::string_view standard);

} // namespace kivo
