// Writes known spectra in the two spectrometer file pairs Kivo reads (BES3T
// and ESP/WinEPR), in every variant the readers take: the example files, the
// tests and the benchmark are made with it. Kivo itself never writes them.
#pragma once

#include <string>
#include <vector>

namespace kivo_examples {

// A spectrum as an acquisition program holds it: field in gauss, signal, and
// the recording conditions.
struct KnownSpectrum {
    std::string Title;
    std::string Comment; // ESP only
    std::vector<double> Field;
    std::vector<double> Signal;
    std::vector<double> Imaginary; // BES3T complex data; empty for real data
    double FrequencyGHz = 9.4;
    double PowerMw = 2;
    double ModulationG = 1;
    double GainDb = 60;      // BES3T
    double GainFactor = 2e4; // ESP
    double TemperatureK = 293;
    int Scans = 1;
};

// A first-derivative Lorentzian line in the middle of first..last gauss on a
// sloping base line with a small ripple, in whole numbers within -100..100,
// so that every number format holds it exactly. No imaginary part.
KnownSpectrum DerivativeLine(int points, double first, double last);

struct Bes3tLayout {
    char Format = 'D'; // C, S, I, F or D: 8-, 16-, 32-bit integers, 32-, 64-bit floats
    bool BigEndian = true;
    bool AxisFile = false; // IGD: the fields in an .XGF file instead of XMIN and XWID
    bool MilliTesla = false;
};

struct Bes3tFiles {
    std::string Dsc, Dta, Xgf; // Xgf empty for a linear axis
    std::string Ygf;           // a series' second axis when it is listed
};

// The descriptor, data and axis bytes of a spectrum. A linear axis is taken
// from the first and the last field.
Bes3tFiles Bes3t(const KnownSpectrum& s, const Bes3tLayout& layout);

// A series: the field sweep of First (its field, conditions and title)
// recorded at each value of a second axis, one signal per value.
struct KnownSeries {
    KnownSpectrum First;
    std::vector<std::vector<double>> Signals;
    std::vector<double> Values;
    std::string Unit;       // of the second axis: "mW", "K", "s"
    bool ValueFile = false; // IGD: the values in a .YGF file (64-bit floats)
};

// A two-dimensional BES3T pair: the slices one after another, the field
// running fastest.
Bes3tFiles Bes3tSeries(const KnownSeries& s, const Bes3tLayout& layout);

struct EspFiles {
    std::string Par, Spc;
};

// windows: the WinEPR variant (a DOS format line, 32-bit little-endian
// floats); otherwise ESP (32-bit big-endian integers, the signal rounded).
EspFiles Esp(const KnownSpectrum& s, bool windows);

// Writes bytes to a file; false on failure.
// A two-dimensional ESP or WinEPR pair: the sweeps one after another, with
// the second axis from its first value and its width, which has no unit.
EspFiles EspSeries(const KnownSeries& s, bool windows);

bool WriteBytes(const std::string& path, const std::string& bytes);

} // namespace kivo_examples
