// Writes the example spectra shipped with Kivo: a sample line, the same sample
// with a ruby standard, the Mn2+/MgO sextet, an empty cavity base line, a .txt
// point file and a spectrum of the largest size. Every file is synthesised from
// a fixed seed, so running the program again gives byte-identical files. The
// same sample and a DPPH line are also written as the spectrometer's own file
// pairs (BES3T and ESP/WinEPR), which Kivo reads but never writes, and the
// DPPH line as a JCAMP-DX file.
//
// Usage: make_examples [directory]   (default: the current directory)

#include "TYPEKIVO1_3.h"
#include "spectrometer_writer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>
#include <system_error>
#include <vector>

namespace {

// Field of resonance in gauss for a g factor at a microwave frequency in GHz
// (h / muB = 714.4773 G/GHz).
double ResonanceField(double g, double freqGHz) {
    return 714.4773 * freqGHz / g;
}

constexpr double FreqGHz = 9.40;

// splitmix64 for the uniforms and Box-Muller for the normals: no std
// distribution, whose output is left to the standard library, so the files do
// not change from one compiler to another.
class Noise {
public:
    explicit Noise(uint64_t seed) : state_(seed) {}

    double Uniform() {
        state_ += 0x9E3779B97F4A7C15ULL;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        // 53 bits, shifted off zero so that the logarithm below stays finite.
        return (static_cast<double>(z >> 11) + 0.5) * 0x1.0p-53;
    }

    double Normal() {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        const double r = std::sqrt(-2.0 * std::log(Uniform()));
        const double phi = 2.0 * std::numbers::pi * Uniform();
        spare_ = r * std::sin(phi);
        haveSpare_ = true;
        return r * std::cos(phi);
    }

private:
    uint64_t state_;
    double spare_ = 0;
    bool haveSpare_ = false;
};

enum class Shape { Lorentz, Gauss };

// One first-derivative absorption line, given as the spectrometer shows it:
// centre, peak-to-peak width and peak-to-peak amplitude. The low-field lobe is
// positive.
struct DerivLine {
    double Centre;
    double WidthPP;
    double AmpPP;
    Shape Kind = Shape::Lorentz;
};

double LineValue(const DerivLine& l, double b) {
    if (l.Kind == Shape::Lorentz) {
        // Half width at half height is sqrt(3)/2 of the peak-to-peak width;
        // the derivative's peak-to-peak height is 9 / (4 sqrt 3).
        const double u = (b - l.Centre) / (std::sqrt(3.0) / 2.0 * l.WidthPP);
        const double d = 1.0 + u * u;
        return l.AmpPP * (-2.0 * u / (d * d)) / (9.0 / (4.0 * std::sqrt(3.0)));
    }
    // Sigma is half the peak-to-peak width; peak-to-peak height 2 exp(-1/2).
    const double u = (b - l.Centre) / (l.WidthPP / 2.0);
    return l.AmpPP * (-u * std::exp(-u * u / 2.0)) / (2.0 * std::exp(-0.5));
}

// Field axis of a sweep of +-range around centre, both ends included.
struct Axis {
    double Centre;
    double Range;
    int Points;
    double Step() const { return 2.0 * Range / (Points - 1); }
    double At(int i) const { return Centre - Range + i * Step(); }
};

// Acquisition conditions of the sample runs; the empty cavity shares them so
// it can be subtracted directly.
struct Conditions {
    double ScanRange;
    double TimeScan;
    double Gain;
    double Modulation;
    double Power;
};

kivo::ParamSpec Header(const std::string& line1, const std::string& line2, const Axis& a,
                       const Conditions& c) {
    kivo::ParamSpec p;
    kivo::ClearParamSpec(p);
    p.Line1 = line1;
    p.Line2 = line2;
    p.ScanRange = c.ScanRange;
    p.TimeScan = c.TimeScan;
    p.ExperimTime = c.TimeScan;
    p.Gain = c.Gain;
    p.Modulation = c.Modulation;
    p.Power = c.Power;
    p.NumPoints = static_cast<uint16_t>(a.Points);
    p.DeltaPoints = a.Step();
    p.StandartRuby = 1.0;
    p.PhaseSign = 1;
    return p;
}

struct Trace {
    std::vector<float> X;
    std::vector<float> Y;
};

// Samples model(b) + noise on the axis. Noise is drawn for every point in order,
// so a trace depends only on its seed.
template <typename Model>
Trace Synthesise(const Axis& a, Model model, double noiseSd, uint64_t seed) {
    Noise noise(seed);
    Trace t;
    t.X.resize(static_cast<size_t>(a.Points));
    t.Y.resize(static_cast<size_t>(a.Points));
    for (int i = 0; i < a.Points; ++i) {
        const double b = a.At(i);
        t.X[static_cast<size_t>(i)] = static_cast<float>(b);
        t.Y[static_cast<size_t>(i)] = static_cast<float>(model(b) + noiseSd * noise.Normal());
    }
    return t;
}

// Peak to peak of the recorded trace within [from, to] gauss, as one would
// read it off the screen.
double PeakToPeak(const Trace& t, double from, double to) {
    double lo = 0, hi = 0;
    bool any = false;
    for (size_t i = 0; i < t.X.size(); ++i) {
        if (t.X[i] < from || t.X[i] > to) continue;
        if (!any || t.Y[i] < lo) lo = t.Y[i];
        if (!any || t.Y[i] > hi) hi = t.Y[i];
        any = true;
    }
    return hi - lo;
}

// An .esr file, or JCAMP-DX for a .jdx name.
bool WriteEsr(const std::filesystem::path& dir, const char* name, const kivo::ParamSpec& p,
              const Trace& t) {
    std::string error;
    const std::string path = (dir / name).string();
    if (!kivo::SaveSpectrumFile(p, t.X.data(), t.Y.data(), path, error)) {
        std::cerr << "make_examples: " << path << ": " << error << '\n';
        return false;
    }
    std::cout << path << ": " << p.NumPoints << " points\n";
    return true;
}

// Base line of the spectrometer with nothing in the cavity: offset, a slow
// drift over the sweep and a weak broad hump from the cavity itself.
double CavityBackground(double b) {
    const double d = b - 3350.0;
    const double hump = 260.0 * std::exp(-0.5 * ((b - 3318.0) / 38.0) * ((b - 3318.0) / 38.0));
    return 320.0 + 1.6 * d + 0.004 * d * d + hump;
}

const Conditions SampleRun{100.0, 4.0, 2.0e4, 1.0, 20.0};

// The coal line: g = 2.0030, 7 G wide, Lorentzian as for most carbons.
const DerivLine CoalLine{ResonanceField(2.0030, FreqGHz), 7.0, 12000.0, Shape::Lorentz};

bool WriteSample(const std::filesystem::path& dir) {
    const Axis a{3350.0, 100.0, 1024};
    const Trace t = Synthesise(
        a, [](double b) { return CavityBackground(b) + LineValue(CoalLine, b); }, 150.0,
        0x5A3B1E0001ULL);
    kivo::ParamSpec p = Header("Sample A, coal, 293 K", "", a, SampleRun);
    return WriteEsr(dir, "sample.esr", p, t);
}

bool WriteSampleRuby(const std::filesystem::path& dir) {
    const Axis a{3350.0, 150.0, 2048};
    // Two ruby lines either side of the sample, narrower and of similar height.
    const DerivLine rubyLow{3250.0, 2.5, 9000.0, Shape::Gauss};
    const DerivLine rubyHigh{3450.0, 2.5, 8600.0, Shape::Gauss};
    const Trace t = Synthesise(
        a,
        [&](double b) {
            return CavityBackground(b) + LineValue(CoalLine, b) + LineValue(rubyLow, b) +
                   LineValue(rubyHigh, b);
        },
        150.0, 0x5A3B1E0002ULL);
    const Conditions c{150.0, 6.0, SampleRun.Gain, SampleRun.Modulation, SampleRun.Power};
    kivo::ParamSpec p = Header("Sample A, coal, 293 K, with ruby standard",
                               "ruby lines near 3250 G and 3450 G", a, c);
    // The standard is the low-field ruby line as recorded here.
    p.StandartRuby = PeakToPeak(t, rubyLow.Centre - 10.0, rubyLow.Centre + 10.0);
    return WriteEsr(dir, "sample_ruby.esr", p, t);
}

bool WriteMnSextet(const std::filesystem::path& dir) {
    const Axis a{3350.0, 300.0, 4096};
    const double b0 = ResonanceField(2.0014, FreqGHz);
    const double hf = 86.9;
    // Second-order positions B(m) = B0 - A m - A^2 / (2 B0) (I(I+1) - m^2) with
    // I = 5/2: the spacing widens towards high field, as on a real reference.
    std::vector<DerivLine> lines;
    for (int k = 0; k < 6; ++k) {
        const double m = 2.5 - k; // low field first
        const double pos = b0 - hf * m - hf * hf / (2.0 * b0) * (35.0 / 4.0 - m * m);
        lines.push_back({pos, 1.5, 8000.0, Shape::Lorentz});
    }
    const Trace t = Synthesise(
        a,
        [&](double b) {
            double y = 150.0 + 0.2 * (b - 3350.0);
            for (const DerivLine& l : lines) y += LineValue(l, b);
            return y;
        },
        40.0, 0x5A3B1E0003ULL);
    const Conditions c{300.0, 8.0, 5.0e3, 0.5, 2.0};
    kivo::ParamSpec p = Header("Mn2+ in MgO, field reference, 293 K", "A = 86.9 G", a, c);
    return WriteEsr(dir, "mn_sextet.esr", p, t);
}

bool WriteEmptyCavity(const std::filesystem::path& dir) {
    const Axis a{3350.0, 100.0, 1024};
    const Trace t = Synthesise(a, CavityBackground, 150.0, 0x5A3B1E0004ULL);
    kivo::ParamSpec p = Header("Empty cavity, 293 K", "base line for Sample A", a, SampleRun);
    return WriteEsr(dir, "empty_cavity.esr", p, t);
}

// Kivo only reads .txt point files (other programs export them), so this one is
// composed here: free text, "Spectr:", then "index X Y" lines.
bool WritePointsTxt(const std::filesystem::path& dir) {
    const Axis a{3350.0, 50.0, 512};
    const DerivLine dpph{ResonanceField(2.0036, FreqGHz), 6.0, 1.0, Shape::Gauss};
    const Trace t = Synthesise(
        a, [&](double b) { return 0.02 + LineValue(dpph, b); }, 0.008, 0x5A3B1E0005ULL);

    const std::string path = (dir / "points.txt").string();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::cerr << "make_examples: " << path << ": cannot open for writing\n";
        return false;
    }
    out << "DPPH in polystyrene, 293 K\r\n"
        << "exported point list: index, field (G), signal (a.u.)\r\n"
        << "Spectr:\r\n";
    char buf[96];
    for (int i = 0; i < a.Points; ++i) {
        // X from the same float as an .esr file would hold.
        std::snprintf(buf, sizeof buf, "%d %.3f %.5e\r\n", i + 1,
                      static_cast<double>(t.X[static_cast<size_t>(i)]),
                      static_cast<double>(t.Y[static_cast<size_t>(i)]));
        out << buf;
    }
    out.close();
    if (!out) {
        std::cerr << "make_examples: " << path << ": write failed\n";
        return false;
    }
    std::cout << path << ": " << a.Points << " points\n";
    return true;
}

bool WriteLong(const std::filesystem::path& dir) {
    const Axis a{3200.0, 250.0, kivo::MaxPoints};
    // Cu2+ in solution: four hyperfine lines (I = 3/2) whose width grows
    // towards low field, equal areas so the broad ones are lower; plus a
    // narrow radical at g = 2.0036 that needs the fine step to be resolved.
    const double b0 = ResonanceField(2.10, FreqGHz);
    const double hf = 65.0;
    const double widths[4] = {24.0, 15.0, 10.5, 8.5};
    std::vector<DerivLine> lines;
    for (int k = 0; k < 4; ++k) {
        const double w = widths[k];
        lines.push_back({b0 + hf * (k - 1.5), w, 0.9 * (8.5 * 8.5) / (w * w), Shape::Lorentz});
    }
    lines.push_back({ResonanceField(2.0036, FreqGHz), 1.2, 0.6, Shape::Lorentz});
    const Trace t = Synthesise(
        a,
        [&](double b) {
            double y = -0.03 + 1.0e-4 * (b - 3200.0);
            for (const DerivLine& l : lines) y += LineValue(l, b);
            return y;
        },
        0.006, 0x5A3B1E0006ULL);
    const Conditions c{250.0, 16.0, 1.0e5, 2.0, 10.0};
    kivo::ParamSpec p =
        Header("Cu2+ aqueous solution + radical, 293 K", "15000 points, 500 G sweep", a, c);
    return WriteEsr(dir, "long15000.esr", p, t);
}

bool WriteFiles(const std::filesystem::path& dir,
                std::initializer_list<std::pair<std::string, const std::string*>> files,
                size_t points) {
    for (const auto& [name, bytes] : files) {
        const std::string path = (dir / name).string();
        if (!kivo_examples::WriteBytes(path, *bytes)) {
            std::cerr << "make_examples: " << path << ": write failed\n";
            return false;
        }
        std::cout << path << ": " << points << " points\n";
    }
    return true;
}

kivo_examples::KnownSpectrum Known(const std::string& title, const Trace& t, double scale) {
    kivo_examples::KnownSpectrum s;
    s.Title = title;
    for (size_t i = 0; i < t.X.size(); ++i) {
        s.Field.push_back(t.X[i]);
        s.Signal.push_back(std::round(t.Y[i] * scale));
    }
    s.FrequencyGHz = FreqGHz;
    s.PowerMw = SampleRun.Power;
    s.ModulationG = SampleRun.Modulation;
    s.GainDb = 46;
    s.GainFactor = SampleRun.Gain;
    s.TemperatureK = 293;
    s.Scans = 4;
    return s;
}

// The coal sample as BES3T pairs: 64-bit big-endian floats on a linear
// axis in gauss, and 32-bit little-endian floats with the axis in an .XGF
// file in millitesla.
bool WriteBes3tSample(const std::filesystem::path& dir) {
    const Axis a{3350.0, 100.0, 1024};
    const Trace t = Synthesise(
        a, [](double b) { return CavityBackground(b) + LineValue(CoalLine, b); }, 150.0,
        0x5A3B1E0001ULL);
    const kivo_examples::KnownSpectrum s = Known("Sample A, coal", t, 1.0);
    const kivo_examples::Bes3tFiles linear = kivo_examples::Bes3t(s, {'D', true, false, false});
    const kivo_examples::Bes3tFiles listed = kivo_examples::Bes3t(s, {'F', false, true, true});
    return WriteFiles(dir,
                      {{"coal_bes3t.DSC", &linear.Dsc},
                       {"coal_bes3t.DTA", &linear.Dta},
                       {"coal_bes3t_mT.DSC", &listed.Dsc},
                       {"coal_bes3t_mT.DTA", &listed.Dta},
                       {"coal_bes3t_mT.XGF", &listed.Xgf}},
                      s.Field.size());
}

// A DPPH line as the Windows software writes it (32-bit little-endian
// floats) and as the older ESP one does (32-bit big-endian whole numbers).
bool WriteEspDpph(const std::filesystem::path& dir) {
    const Axis a{3350.0, 50.0, 512};
    const DerivLine dpph{ResonanceField(2.0036, FreqGHz), 6.0, 1.0, Shape::Gauss};
    const Trace t = Synthesise(
        a, [&](double b) { return 0.02 + LineValue(dpph, b); }, 0.008, 0x5A3B1E0007ULL);
    kivo_examples::KnownSpectrum s = Known("DPPH in polystyrene", t, 1e5);
    s.Comment = "field reference";
    const kivo_examples::EspFiles winepr = kivo_examples::Esp(s, true);
    const kivo_examples::EspFiles esp = kivo_examples::Esp(s, false);
    return WriteFiles(dir,
                      {{"dpph_winepr.par", &winepr.Par},
                       {"dpph_winepr.spc", &winepr.Spc},
                       {"dpph_esp.par", &esp.Par},
                       {"dpph_esp.spc", &esp.Spc}},
                      s.Field.size());
}

// The same DPPH line as Kivo writes JCAMP-DX, its field on the even axis
// ##XYDATA takes and its values in DIFDUP form, with the EPR labels.
bool WriteDpphJcamp(const std::filesystem::path& dir) {
    const Axis a{3350.0, 50.0, 512};
    const DerivLine dpph{ResonanceField(2.0036, FreqGHz), 6.0, 1.0, Shape::Gauss};
    Trace t = Synthesise(
        a, [&](double b) { return 0.02 + LineValue(dpph, b); }, 0.008, 0x5A3B1E0007ULL);
    const double first = t.X.front(), last = t.X.back();
    for (int k = 0; k < a.Points; ++k)
        t.X[static_cast<size_t>(k)] = kivo::JcampAxisPoint(first, last, a.Points, k);
    kivo::ParamSpec p = Header("DPPH in polystyrene", "9.4 GHz, 293 K, 4 scans", a,
                               Conditions{50.0, 1.0, 1.0e4, 0.5, 2.0});
    return WriteEsr(dir, "dpph.jdx", p, t);
}

// A series of the coal line at each value of a second axis, its line scaled
// by gain(value): the field sweep once per value, noise of its own each time.
kivo_examples::KnownSeries CoalSeries(const std::string& title, const std::vector<double>& values,
                                      double (*gain)(double), uint64_t seed) {
    const Axis a{3350.0, 100.0, 512};
    kivo_examples::KnownSeries series;
    series.Values = values;
    for (size_t k = 0; k < values.size(); ++k) {
        const double g = gain(values[k]);
        const Trace t = Synthesise(
            a, [g](double b) { return 50 + 0.2 * (b - 3350) + g * LineValue(CoalLine, b); }, 10.0,
            seed + k);
        const kivo_examples::KnownSpectrum s = Known(title, t, 1.0);
        if (k == 0) series.First = s;
        series.Signals.push_back(s.Signal);
    }
    return series;
}

// The coal line saturating with microwave power, I ~ sqrt(P) / (1 + P/P_half)^(b/2)
// with P_half = 4 mW and b = 1 (inhomogeneous), at 31 powers 0 to 30 dB below
// 200 mW (listed in a .YGF file), 64-bit big-endian floats; and its Curie
// law, I ~ 1/T, at 29 temperatures 20 to 300 K (a linear axis), 32-bit
// little-endian floats.
bool WriteSeries(const std::filesystem::path& dir) {
    std::vector<double> powers, temperatures;
    for (int db = 30; db >= 0; --db) powers.push_back(200.0 * std::pow(10.0, -db / 10.0));
    for (int t = 20; t <= 300; t += 10) temperatures.push_back(t);
    kivo_examples::KnownSeries power = CoalSeries(
        "Coal, power saturation", powers,
        [](double p) { return std::sqrt(p / 4.0) / std::sqrt(1 + p / 4.0); }, 0x5A3B1E0100ULL);
    power.Unit = "mW";
    power.ValueFile = true;
    kivo_examples::KnownSeries curie = CoalSeries(
        "Coal, Curie law", temperatures, [](double t) { return 60.0 / t; }, 0x5A3B1E0200ULL);
    curie.Unit = "K";
    const kivo_examples::Bes3tFiles p =
        kivo_examples::Bes3tSeries(power, {'D', true, false, false});
    const kivo_examples::Bes3tFiles t =
        kivo_examples::Bes3tSeries(curie, {'F', false, false, false});
    return WriteFiles(dir,
                      {{"coal_power.DSC", &p.Dsc},
                       {"coal_power.DTA", &p.Dta},
                       {"coal_power.YGF", &p.Ygf},
                       {"coal_temperature.DSC", &t.Dsc},
                       {"coal_temperature.DTA", &t.Dta}},
                      power.First.Field.size());
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        std::cerr << "usage: make_examples [directory]\n";
        return 2;
    }
    const std::filesystem::path dir = argc == 2 ? argv[1] : ".";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        std::cerr << "make_examples: " << dir.string() << ": " << ec.message() << '\n';
        return 1;
    }
    bool ok = true;
    ok = WriteSample(dir) && ok;
    ok = WriteSampleRuby(dir) && ok;
    ok = WriteMnSextet(dir) && ok;
    ok = WriteEmptyCavity(dir) && ok;
    ok = WritePointsTxt(dir) && ok;
    ok = WriteLong(dir) && ok;
    ok = WriteBes3tSample(dir) && ok;
    ok = WriteEspDpph(dir) && ok;
    ok = WriteDpphJcamp(dir) && ok;
    ok = WriteSeries(dir) && ok;
    return ok ? 0 : 1;
}
