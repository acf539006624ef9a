// The values of a simulation model as the window walks, steps and reports
// them: which values shape the spectrum and their units, the steps of the
// arrow keys, the model on one line for a spectrum's history, and the lines
// of a fit's results.
#pragma once

#include <string>
#include <vector>

#include "simulation.h"

namespace kivo {

// A value of the model by its name (as ForEachValue gives it) and its unit:
// "G", "MHz", "mT" or "" for g, a weight and a Lorentzian fraction.
struct TunableValue {
    std::string Name;
    std::string Unit;
};
// The values that shape the spectrum, in the model's order: a lone
// species' weight and the Lorentzian fraction of a species that is no
// pseudo-Voigt are left out.
std::vector<TunableValue> TunableValues(const SimModel& model);

// The step of the arrow keys for a value: g by 1e-4 (fine 1e-5), a
// Lorentzian fraction by 0.1 (0.01), any other by about 1 % (0.1 %) of its
// size rounded to a power of ten (15.6 G by 0.1 G), 0.1 (0.01) from 0.
double ValueStep(const std::string& name, double value, bool fine);
// The value name one step up (direction 1) or down (-1). A g, a width or a
// weight stays above 0 and a Lorentzian fraction within 0..1: a step that
// would leave them is not taken. False when nothing changed.
bool StepValue(SimModel& model, const std::string& name, int direction, bool fine);
// "A1 = 15.60 G": the value to the decimals of its fine step.
std::string ValueReadout(const SimModel& model, const TunableValue& v);

// The model on one line for a spectrum's history: "Sim g 2.0058; nucleus
// 14N 1 15.602? G; width 0.9 G lorentz" (its comments left out).
std::string ModelNote(const SimModel& model);

// The results of a fit of spectra (named as names say): the values fitted
// once for all of them, then each spectrum's own, each "A1=15.602+-0.0041 G"
// to two digits of its standard error, each on a line; then the rms of the
// residual, chi2 (its sum of squares per degree of freedom) and, where the
// ends of the ranges fitted give a noise, chi2red (chi2 over the noise
// squared: about 1 for a fit that leaves only noise).
std::vector<std::string> SimFitReport(const SimFit& fit, const std::vector<SimSpectrum>& spectra,
                                      const std::vector<std::string>& names);

} // namespace kivo
