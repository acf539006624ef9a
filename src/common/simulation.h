// Isotropic ESR spectra of S = 1/2 species with hyperfine couplings to groups
// of equivalent nuclei: the model as text, the resonance fields and
// intensities, the spectrum on a field axis, and the least-squares fit of
// the model's free values to one spectrum or to several together.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fitting.h"

namespace kivo {

constexpr int MaxSimSpecies = 4;
constexpr int MaxSimGroups = 8;

// A value of the model: fixed, free in a fit ("15.6?"), or free and one for
// every spectrum fitted together ("15.6?="). Error is the fit's standard
// error (0 when not fitted).
enum class Freedom { Fixed, Free, Shared };
struct ModelValue {
    double Value = 0;
    Freedom Free = Freedom::Fixed;
    double Error = 0;
};

enum class CouplingUnit { MHz, G, mT };

// count equivalent nuclei of an isotope ("14N"), or of an element's natural
// mixture ("Cu"), with the isotropic coupling A in Unit. For a mixture A is
// that of its most abundant isotope with a spin; the others' scale with g_N.
struct NucleusGroup {
    std::string Isotope;
    int Count = 1;
    ModelValue A;
    CouplingUnit Unit = CouplingUnit::G;
};

struct SimSpecies {
    ModelValue Weight{1};
    ModelValue G{2.0023};
    std::vector<NucleusGroup> Groups;
    // Peak-to-peak width, G, of the line shape; Eta is the Lorentzian
    // fraction of a pseudo-Voigt line as the line fits take it. Beta and
    // Gamma, G, make the width Width + Beta mI + Gamma mI^2, mI the total
    // projection of the nuclei of group WidthGroup (from 0).
    ModelValue Width{1};
    LineShape Shape = LineShape::Lorentz;
    ModelValue Eta{1};
    ModelValue Beta, Gamma;
    int WidthGroup = 0;
    bool WidthInMT = false; // written back in mT
    bool HasWidth = false;  // a width line was read
};

enum class SimSignal { Absorption, Derivative, SecondDerivative };

struct SimModel {
    std::vector<SimSpecies> Species;
    double ModulationG = 0; // peak to peak; 0: none
    bool ModulationInMT = false;
    double GHz = 0; // for a spectrum that gives no frequency; 0: none
    SimSignal Signal = SimSignal::Derivative;
};

// The model's text read, or refused with the line and the reason
// ("line 3: unknown isotope '14X'"); nothing of a refused text is kept.
struct ModelRead {
    SimModel Model;
    std::string Refusal;
    int Line = 0;
};
ModelRead ReadModel(std::string_view text);
// The model as text that reads back the same; values with a fit's error
// carry it in a comment.
std::string ModelText(const SimModel& model);

// Every value of the model with its name, in the model's order: per species
// (from 1) its weight ("weight2"), g ("g", "g2"), couplings ("A1", ...
// numbered over the whole model), width ("width1"), Lorentzian fraction
// ("eta1"), "beta1" and "gamma1".
void ForEachValue(SimModel& model, const std::function<void(const std::string&, ModelValue&)>& f);
// The names of the values free in a fit (Free or Shared), in that order.
std::vector<std::string> FreeValueNames(const SimModel& model);

// One resonance: its field, G; its area in the absorption (species weight,
// isotopologue weight, degeneracy, transition probability, g^2 over the
// field-swept rate dE/dB; a lone line of weight 1 has area g); its
// peak-to-peak width, G; its species (from 0).
struct SimLine {
    double Field = 0;
    double Intensity = 0;
    double Width = 0;
    int Species = 0;
};
struct SimLines {
    std::vector<SimLine> Lines;
    std::string Refusal;
};
// The lines of the model at ghz, unmerged, in no particular order.
SimLines ResonanceLines(const SimModel& model, double ghz);

// The frequency a spectrum is simulated at: its own, else the model's; 0 for none.
double SimFrequency(const SimModel& model, double spectrumGHz);

// The model's spectrum at the fields x[0..n-1] (ascending) into out[0..n-1];
// the words that refuse it ("" when simulated).
std::string Simulate(const SimModel& model, const float* x, int n, double ghz, double* out);

// sim * Scale + Offset closest to y by least squares over points [0, n).
struct LinearScale {
    double Scale = 0, Offset = 0;
};
LinearScale ScaleToSpectrum(const double* sim, const float* y, int n);

// A spectrum to fit: its fields (ascending) and values, its frequency (the
// model's used when 0) and the fields From..To fitted (both 0: all).
struct SimSpectrum {
    const float* X = nullptr;
    const float* Y = nullptr;
    int N = 0;
    double GHz = 0;
    double From = 0, To = 0;
};
struct SimFitSpectrum {
    SimModel Model; // with the fitted values and their errors
    LinearScale Scale;
    double Rms = 0;          // of the residual
    double Chi2 = 0;         // residual sum of squares per degree of freedom
    int First = 0, Last = 0; // the points fitted, 0-based, inclusive
};
struct SimFit {
    std::string Refusal; // "" when the fit converged
    std::vector<SimFitSpectrum> Spectra;
    double Rms = 0, Chi2 = 0; // over all spectra
    int Points = 0, Parameters = 0;
};
// Levenberg-Marquardt of the free values of start to the spectra, each
// spectrum scaled and offset by least squares: a value marked Free is
// fitted to each spectrum on its own, one marked Shared once for them all.
SimFit FitModel(const SimModel& start, const std::vector<SimSpectrum>& spectra);

} // namespace kivo
