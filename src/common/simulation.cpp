// Isotropic S = 1/2 spectra. Each group of equivalent nuclei is taken in the
// basis of its total nuclear spin J, in which its part of the Hamiltonian
//   H/h = g muB B Sz / h + a S.J - gN muN B Jz / h
// is exactly the Breit-Rabi problem of one spin J: a transition
// |+1/2, M> <-> |-1/2, M> of the high-field labelling is solved exactly for
// one group. Between groups, each group's Breit-Rabi problem sees the
// electron Zeeman frequency shifted by the first-order field of the other
// groups (sum of a_h M_h): that is second-order perturbation theory with the
// whole diagonal in the denominators, right to third order in a / (g muB B);
// only fourth-order cross terms (a_g a_h)^2 / (g muB B)^3 are left out.
#include "simulation.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <complex>
#include <cstdio>
#include <numbers>
#include <sstream>

#include "gvalues.h"
#include "isotopes.h"
#include "records.h"

namespace kivo {

namespace {

// muB / h in MHz per gauss (per unit g), from the h / muB of the g values:
// CODATA 2018. muN / muB is the electron's mass over the proton's.
constexpr double MHzPerGauss = 1000.0 / GaussPerGHz;
constexpr double NuclearPerBohr = 1 / 1836.15267343;
// More lines than this are no isotropic spectrum anyone could tell apart.
constexpr double MaxLines = 2e6;
constexpr int MaxCount = 24;

// ---- Model text -------------------------------------------------------------

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (true) {
        at = line.find_first_not_of(" \t\r", at);
        if (at == std::string_view::npos) break;
        const size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
        words.push_back(line.substr(at, end - at));
        at = end;
    }
    return words;
}

struct Refused {
    std::string Why;
};

ModelValue ValueOf(std::string_view word, std::string_view what, bool freeable = true) {
    ModelValue v;
    if (word.ends_with("?=")) {
        v.Free = Freedom::Shared;
        word.remove_suffix(2);
    } else if (word.ends_with("?")) {
        v.Free = Freedom::Free;
        word.remove_suffix(1);
    }
    if (!ReadNumber(word, v.Value))
        throw Refused{std::string(what) + " wants a number, not '" + std::string(word) + "'"};
    if (v.Free != Freedom::Fixed && !freeable)
        throw Refused{std::string(what) + " cannot be fitted"};
    return v;
}

void Within(const ModelValue& v, std::string_view what, double lo, double hi, bool open = false) {
    if (!(open ? v.Value > lo : v.Value >= lo) || !(v.Value <= hi))
        throw Refused{std::string(what) + " must be " + (open ? "above " : "from ") +
                      ShortText(lo) + (open ? " and up to " : " to ") + ShortText(hi)};
}

bool KnownNucleus(std::string_view name) {
    const Isotope* i = FindIsotope(name);
    return i ? i->Spin > 0 : ReferenceIsotope(name) != nullptr;
}

// "G" or "mT" as a factor to gauss.
double FieldUnitOf(std::string_view word, std::string_view what) {
    if (word == "G") return 1;
    if (word == "mT") return 10;
    throw Refused{std::string(what) + " wants G or mT, not '" + std::string(word) + "'"};
}

void Count(const std::vector<std::string_view>& w, size_t lo, size_t hi, std::string_view form) {
    if (w.size() < lo || w.size() > hi) throw Refused{"wants '" + std::string(form) + "'"};
}

void ReadWidth(const std::vector<std::string_view>& w, SimSpecies& s) {
    const char* form = "width W G|mT lorentz|gauss|voigt [ETA] [mI BETA GAMMA [group K]]";
    Count(w, 4, 10, form);
    if (s.HasWidth) throw Refused{"a second width for this species"};
    s.HasWidth = true;
    s.Width = ValueOf(w[1], "the width");
    const double unit = FieldUnitOf(w[2], "the width");
    s.WidthInMT = unit == 10;
    Within(s.Width, "the width", 0, 1e5, true);
    if (!ReadShapeName(w[3], s.Shape))
        throw Refused{"the shape wants lorentz, gauss or voigt, not '" + std::string(w[3]) + "'"};
    size_t at = 4;
    s.Eta = {s.Shape == LineShape::Gauss ? 0.0 : 1.0};
    if (s.Shape == LineShape::Voigt) {
        if (w.size() < 5) throw Refused{"voigt wants its Lorentzian fraction"};
        s.Eta = ValueOf(w[at++], "the Lorentzian fraction");
        Within(s.Eta, "the Lorentzian fraction", 0, 1);
    }
    s.Width.Value *= unit;
    if (at == w.size()) return;
    if (w[at] != "mI" || w.size() < at + 3) throw Refused{"wants '" + std::string(form) + "'"};
    s.Beta = ValueOf(w[at + 1], "beta");
    s.Gamma = ValueOf(w[at + 2], "gamma");
    s.Beta.Value *= unit;
    s.Gamma.Value *= unit;
    at += 3;
    if (at == w.size()) return;
    long long k = 0;
    if (w[at] != "group" || w.size() != at + 2 || !ReadWholeNumber(w[at + 1], k) || k < 1 ||
        k > MaxSimGroups)
        throw Refused{"wants 'group K' after the mI terms, K from 1 to 8"};
    s.WidthGroup = int(k) - 1;
}

void ReadNucleus(const std::vector<std::string_view>& w, SimSpecies& s) {
    Count(w, 5, 5, "nucleus ISOTOPE COUNT A MHz|G|mT");
    if (s.Groups.size() >= size_t(MaxSimGroups)) throw Refused{"more than 8 nucleus groups"};
    NucleusGroup n;
    n.Isotope = std::string(w[1]);
    if (!KnownNucleus(n.Isotope))
        throw Refused{"unknown nucleus '" + n.Isotope + "' (or one without a spin)"};
    long long count = 0;
    if (!ReadWholeNumber(w[2], count) || count < 1 || count > MaxCount)
        throw Refused{"the count wants a whole number from 1 to 24, not '" + std::string(w[2]) +
                      "'"};
    n.Count = int(count);
    n.A = ValueOf(w[3], "the coupling");
    if (w[4] == "MHz")
        n.Unit = CouplingUnit::MHz;
    else if (w[4] == "G")
        n.Unit = CouplingUnit::G;
    else if (w[4] == "mT")
        n.Unit = CouplingUnit::mT;
    else
        throw Refused{"the coupling wants MHz, G or mT, not '" + std::string(w[4]) + "'"};
    Within(n.A, "the coupling", -1e5, 1e5);
    s.Groups.push_back(n);
}

// One line's item into the model; begun: the current species has items.
void ReadItem(const std::vector<std::string_view>& w, SimModel& m, bool& begun) {
    const std::string_view item = w[0];
    SimSpecies& s = m.Species.back();
    if (item == "species") {
        Count(w, 2, 2, "species WEIGHT");
        if (begun) {
            if (m.Species.size() >= size_t(MaxSimSpecies)) throw Refused{"more than 4 species"};
            m.Species.emplace_back();
        }
        m.Species.back().Weight = ValueOf(w[1], "the weight");
        Within(m.Species.back().Weight, "the weight", 0, 1e12);
        begun = false;
        return;
    }
    if (item == "g") {
        Count(w, 2, 2, "g VALUE");
        s.G = ValueOf(w[1], "g");
        Within(s.G, "g", 0.1, 20);
        begun = true;
        return;
    }
    if (item == "nucleus") {
        ReadNucleus(w, s);
        begun = true;
        return;
    }
    if (item == "width") {
        ReadWidth(w, s);
        begun = true;
        return;
    }
    if (item == "modulation") {
        Count(w, 3, 3, "modulation VALUE G|mT");
        const ModelValue v = ValueOf(w[1], "the modulation", false);
        Within(v, "the modulation", 0, 1e4);
        m.ModulationInMT = FieldUnitOf(w[2], "the modulation") == 10;
        m.ModulationG = v.Value * (m.ModulationInMT ? 10 : 1);
        return;
    }
    if (item == "frequency") {
        Count(w, 3, 3, "frequency VALUE GHz");
        const ModelValue v = ValueOf(w[1], "the frequency", false);
        Within(v, "the frequency", 0, 1000, true);
        if (w[2] != "GHz") throw Refused{"the frequency wants GHz"};
        m.GHz = v.Value;
        return;
    }
    if (item == "signal") {
        Count(w, 2, 2, "signal absorption|derivative|second");
        if (w[1] == "absorption")
            m.Signal = SimSignal::Absorption;
        else if (w[1] == "derivative")
            m.Signal = SimSignal::Derivative;
        else if (w[1] == "second")
            m.Signal = SimSignal::SecondDerivative;
        else
            throw Refused{"signal wants absorption, derivative or second"};
        return;
    }
    throw Refused{"unknown item '" + std::string(item) + "'"};
}

// What a species must have once its items are read.
void CheckSpecies(const SimSpecies& s) {
    if (!s.HasWidth) throw Refused{"no width"};
    if (s.WidthGroup > 0 && size_t(s.WidthGroup) >= s.Groups.size())
        throw Refused{"the mI width's group " + std::to_string(s.WidthGroup + 1) + " is not given"};
}

// The shortest text that reads back as v; with an error, to two digits of it.
std::string NumberText(const ModelValue& v, double scale = 1) {
    const double x = v.Value / scale, e = v.Error / scale;
    if (e > 0 && std::isfinite(e)) {
        const int decimals = std::clamp(1 - int(std::floor(std::log10(e))), 0, 15);
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, x);
        return text;
    }
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, x);
    return std::string(text, r.ptr);
}

std::string ValueText(const ModelValue& v, double scale = 1) {
    return NumberText(v, scale) + (v.Free == Freedom::Shared ? "?="
                                   : v.Free == Freedom::Free ? "?"
                                                             : "");
}

} // namespace

ModelRead ReadModel(std::string_view text) {
    ModelRead read;
    SimModel m;
    m.Species.emplace_back();
    bool begun = false;
    int lineNo = 0, speciesLine = 1;
    try {
        size_t at = 0;
        while (at <= text.size()) {
            const size_t end = std::min(text.find('\n', at), text.size());
            std::string_view line = text.substr(at, end - at);
            at = end + 1;
            ++lineNo;
            line = line.substr(0, line.find('#'));
            const std::vector<std::string_view> words = Words(line);
            if (words.empty()) continue;
            if (words[0] == "species" && begun) {
                CheckSpecies(m.Species.back());
                speciesLine = lineNo;
            }
            ReadItem(words, m, begun);
        }
        lineNo = speciesLine;
        CheckSpecies(m.Species.back());
    } catch (const Refused& r) {
        read.Line = lineNo;
        read.Refusal = "line " + std::to_string(lineNo) + ": " + r.Why;
        return read;
    }
    read.Model = std::move(m);
    return read;
}

void ForEachValue(SimModel& model, const std::function<void(const std::string&, ModelValue&)>& f) {
    int a = 0;
    for (size_t k = 0; k < model.Species.size(); ++k) {
        SimSpecies& s = model.Species[k];
        const std::string n = std::to_string(k + 1);
        auto named = [&n](std::string name) { return name.append(n); };
        f(named("weight"), s.Weight);
        f(k == 0 ? std::string("g") : named("g"), s.G);
        for (NucleusGroup& group : s.Groups) {
            std::string name = std::to_string(++a);
            f(name.insert(0, 1, 'A'), group.A);
        }
        f(named("width"), s.Width);
        f(named("eta"), s.Eta);
        f(named("beta"), s.Beta);
        f(named("gamma"), s.Gamma);
    }
}

std::vector<std::string> FreeValueNames(const SimModel& model) {
    std::vector<std::string> names;
    SimModel copy = model;
    ForEachValue(copy, [&](const std::string& name, ModelValue& v) {
        if (v.Free != Freedom::Fixed) names.push_back(name);
    });
    return names;
}

std::string ModelText(const SimModel& model) {
    std::ostringstream out;
    // The names of values with an error, for the comments.
    std::vector<std::pair<const ModelValue*, std::string>> names;
    SimModel& m = const_cast<SimModel&>(model);
    ForEachValue(m, [&](const std::string& name, ModelValue& v) { names.emplace_back(&v, name); });
    auto comment = [&](std::initializer_list<std::pair<const ModelValue*, double>> values) {
        std::string c;
        for (const auto& item : values) {
            const ModelValue* v = item.first;
            const double scale = item.second;
            if (!(v->Error > 0)) continue;
            const auto it = std::find_if(names.begin(), names.end(),
                                         [v](const auto& p) { return p.first == v; });
            ModelValue e{v->Error};
            e.Error = v->Error / 10;
            c += (c.empty() ? "  # " : ", ") + it->second + " +- " + NumberText(e, scale);
        }
        return c;
    };
    if (model.GHz > 0) out << "frequency " << NumberText({model.GHz}) << " GHz\n";
    if (model.ModulationG > 0)
        out << "modulation " << NumberText({model.ModulationG}, model.ModulationInMT ? 10 : 1)
            << (model.ModulationInMT ? " mT\n" : " G\n");
    if (model.Signal == SimSignal::Absorption) out << "signal absorption\n";
    if (model.Signal == SimSignal::SecondDerivative) out << "signal second\n";
    for (size_t k = 0; k < model.Species.size(); ++k) {
        const SimSpecies& s = model.Species[k];
        if (k > 0 || s.Weight.Value != 1 || s.Weight.Free != Freedom::Fixed)
            out << "species " << ValueText(s.Weight) << comment({{&s.Weight, 1}}) << "\n";
        out << "g " << ValueText(s.G) << comment({{&s.G, 1}}) << "\n";
        for (const NucleusGroup& n : s.Groups)
            out << "nucleus " << n.Isotope << " " << n.Count << " " << ValueText(n.A) << " "
                << (n.Unit == CouplingUnit::MHz ? "MHz"
                    : n.Unit == CouplingUnit::G ? "G"
                                                : "mT")
                << comment({{&n.A, 1}}) << "\n";
        const double unit = s.WidthInMT ? 10 : 1;
        out << "width " << ValueText(s.Width, unit) << (s.WidthInMT ? " mT " : " G ")
            << ShapeName(s.Shape);
        if (s.Shape == LineShape::Voigt) out << " " << ValueText(s.Eta);
        const bool mI = s.Beta.Value != 0 || s.Gamma.Value != 0 || s.Beta.Free != Freedom::Fixed ||
                        s.Gamma.Free != Freedom::Fixed;
        if (mI) out << " mI " << ValueText(s.Beta, unit) << " " << ValueText(s.Gamma, unit);
        if (mI && s.WidthGroup > 0) out << " group " << s.WidthGroup + 1;
        out << comment({{&s.Width, unit}, {&s.Eta, 1}, {&s.Beta, unit}, {&s.Gamma, unit}}) << "\n";
    }
    return out.str();
}

double SimFrequency(const SimModel& model, double spectrumGHz) {
    return spectrumGHz > 0 ? spectrumGHz : model.GHz;
}

// ---- Resonance fields -------------------------------------------------------

namespace {

// A group of equivalent nuclei of one isotope in one isotopologue.
struct Nuclei {
    double Spin = 0;
    int Count = 0;
    double A = 0;       // MHz
    double NuPerG = 0;  // nuclear Zeeman frequency per gauss, MHz
    bool Width = false; // of the group whose mI sets the width
    TotalSpins Spins;
};

// One isotopologue of a species: its nuclei and its weight.
struct System {
    std::vector<Nuclei> Groups;
    double Weight = 1;
};

double CouplingMHz(const NucleusGroup& n, double g) {
    switch (n.Unit) {
    case CouplingUnit::MHz:
        return n.A.Value;
    case CouplingUnit::G:
        return n.A.Value * g * MHzPerGauss;
    case CouplingUnit::mT:
        return n.A.Value * 10 * g * MHzPerGauss;
    }
    return 0;
}

// Every isotopologue of the species: the product of its groups' own.
std::vector<System> SystemsOf(const SimSpecies& s) {
    std::vector<System> systems = {System{}};
    for (size_t k = 0; k < s.Groups.size(); ++k) {
        const NucleusGroup& group = s.Groups[k];
        const double a = CouplingMHz(group, s.G.Value);
        std::vector<Isotopologue> parts;
        const Isotope* reference = FindIsotope(group.Isotope);
        if (reference) {
            parts.push_back({{reference}, {group.Count}, 1.0});
        } else {
            reference = ReferenceIsotope(group.Isotope);
            parts = IsotopologuesOf(group.Isotope, group.Count);
        }
        std::vector<System> next;
        for (const System& base : systems)
            for (const Isotopologue& part : parts) {
                System sys = base;
                sys.Weight *= part.Weight;
                for (size_t i = 0; i < part.Magnetic.size(); ++i) {
                    const Isotope* iso = part.Magnetic[i];
                    Nuclei n;
                    n.Spin = iso->Spin;
                    n.Count = part.Counts[i];
                    n.A = a * iso->GN / reference->GN;
                    n.NuPerG = iso->GN * NuclearPerBohr * MHzPerGauss;
                    n.Width = int(k) == s.WidthGroup;
                    n.Spins = TotalSpinsOf(n.Spin, n.Count);
                    sys.Groups.push_back(std::move(n));
                }
                next.push_back(std::move(sys));
            }
        systems = std::move(next);
    }
    return systems;
}

// One nuclear state of the system: per group its total spin and projection.
struct State {
    double J = 0, M = 0;
};

// The transition frequency, MHz, of the state at field b (and its rate,
// MHz per G), and the product of the groups' transition probabilities:
// each group's exact Breit-Rabi upper and lower levels, its electron Zeeman
// frequency shifted by the first-order field of the other groups.
struct Transition {
    double Nu = 0, Rate = 0, Probability = 1;
};
Transition TransitionAt(const std::vector<Nuclei>& groups, const std::vector<State>& states,
                        double g, double b) {
    const double nuE = g * MHzPerGauss * b, rateE = g * MHzPerGauss;
    double first = 0;
    for (size_t k = 0; k < groups.size(); ++k) first += groups[k].A * states[k].M;
    Transition t{nuE, rateE, 1};
    for (size_t k = 0; k < groups.size(); ++k) {
        const Nuclei& n = groups[k];
        const double a = n.A, j = states[k].J, mI = states[k].M;
        const double z = nuE + first - a * mI + n.NuPerG * b, dz = rateE + n.NuPerG;
        const double top = (j + 0.5) * (j + 0.5);
        double shift = 0, rate = 0;
        for (const double m : {mI + 0.5, mI - 0.5}) {
            // At m = +-(J + 1/2) the level is unmixed: R - z = a m exactly.
            if (m * m >= top - 1e-9) {
                shift += a * m;
                continue;
            }
            const double d = z + a * m;
            const double r = std::sqrt(d * d + a * a * (top - m * m));
            shift += (2 * a * m * z + a * a * top) / (r + z);
            rate += dz * d / r - dz;
            t.Probability *= (1 + d / r) / 2;
        }
        t.Nu += shift / 2;
        t.Rate += rate / 2;
    }
    return t;
}

// The field, G, where the state's transition meets nu (MHz), by Newton's
// method from the first-order field; NaN when there is none.
double ResonanceOf(const std::vector<Nuclei>& groups, const std::vector<State>& states, double g,
                   double nu, Transition& t) {
    double first = 0;
    for (size_t k = 0; k < groups.size(); ++k) first += groups[k].A * states[k].M;
    double b = (nu - first) / (g * MHzPerGauss);
    for (int it = 0; it < 60; ++it) {
        t = TransitionAt(groups, states, g, b);
        if (!(t.Rate > 0) || !(b > 0)) return NAN;
        const double step = (t.Nu - nu) / t.Rate;
        b -= step;
        if (std::fabs(step) < 1e-12 * std::fabs(b)) {
            t = TransitionAt(groups, states, g, b);
            return b;
        }
    }
    return NAN;
}

// The nuclear states of the given total spins whose projections, with mS,
// add up to fz: one block of the Hamiltonian. Each state is mS, then M of
// every group.
std::vector<std::vector<double>> BlockOf(const std::vector<State>& states, double fz) {
    std::vector<std::vector<double>> block;
    std::vector<double> s(states.size() + 1);
    auto visit = [&](auto&& self, size_t k, double sum) -> void {
        if (k == states.size()) {
            const double ms = fz - sum;
            if (std::fabs(std::fabs(ms) - 0.5) > 1e-9) return;
            s[0] = ms;
            block.push_back(s);
            return;
        }
        for (double m = -states[k].J; m <= states[k].J + 1e-9; m += 1) {
            s[k + 1] = m;
            self(self, k + 1, sum + m);
        }
    };
    visit(visit, 0, 0.0);
    return block;
}

// The level of the block's eigenstate most like basis state `like` at field
// b: its energy, MHz, its slope dE/dB (Hellmann-Feynman), its vector.
struct Level {
    double E = 0, Slope = 0;
    Eigen::VectorXd Vector;
};
Level LevelOf(const std::vector<Nuclei>& groups, const std::vector<State>& states,
              const std::vector<std::vector<double>>& block, size_t like, double g, double b) {
    const Eigen::Index d = Eigen::Index(block.size());
    Eigen::MatrixXd h = Eigen::MatrixXd::Zero(d, d);
    Eigen::VectorXd slope(d);
    for (Eigen::Index r = 0; r < d; ++r) {
        const std::vector<double>& u = block[size_t(r)];
        slope[r] = g * MHzPerGauss * u[0];
        for (size_t k = 0; k < groups.size(); ++k) {
            h(r, r) += groups[k].A * u[0] * u[k + 1];
            slope[r] -= groups[k].NuPerG * u[k + 1];
        }
        h(r, r) += slope[r] * b;
        if (u[0] < 0) continue;
        // S+ J-: u has mS +1/2 and one group's M one below v's.
        for (Eigen::Index c = 0; c < d; ++c) {
            const std::vector<double>& v = block[size_t(c)];
            if (v[0] > 0) continue;
            size_t differ = 0, at = 0;
            for (size_t k = 0; k < groups.size(); ++k)
                if (u[k + 1] != v[k + 1]) {
                    ++differ;
                    at = k;
                }
            if (differ != 1 || u[at + 1] != v[at + 1] - 1) continue;
            const double j = states[at].J, m = v[at + 1];
            h(r, c) = h(c, r) = groups[at].A / 2 * std::sqrt(j * (j + 1) - m * (m - 1));
        }
    }
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(h);
    Eigen::Index best = 0;
    solver.eigenvectors().row(Eigen::Index(like)).cwiseAbs().maxCoeff(&best);
    Level level;
    level.E = solver.eigenvalues()[best];
    level.Vector = solver.eigenvectors().col(best);
    level.Slope = level.Vector.cwiseAbs2().dot(slope);
    return level;
}

// The field of the state's transition by exact diagonalisation of the two
// blocks it joins, by Newton's method from b; NaN when it finds none.
double ExactResonance(const std::vector<Nuclei>& groups, const std::vector<State>& states, double g,
                      double nu, double b, Transition& t) {
    double fz = 0.5;
    for (const State& s : states) fz += s.M;
    const std::vector<std::vector<double>> upper = BlockOf(states, fz),
                                           lower = BlockOf(states, fz - 1);
    std::vector<double> up(states.size() + 1, 0.5), down(states.size() + 1, -0.5);
    for (size_t k = 0; k < states.size(); ++k) up[k + 1] = down[k + 1] = states[k].M;
    const size_t iu = size_t(std::find(upper.begin(), upper.end(), up) - upper.begin());
    const size_t il = size_t(std::find(lower.begin(), lower.end(), down) - lower.begin());
    for (int it = 0; it < 30; ++it) {
        const Level u = LevelOf(groups, states, upper, iu, g, b);
        const Level l = LevelOf(groups, states, lower, il, g, b);
        t.Nu = u.E - l.E;
        t.Rate = u.Slope - l.Slope;
        if (!(t.Rate > 0)) return NAN;
        const double step = (t.Nu - nu) / t.Rate;
        b -= step;
        if (std::fabs(step) > 1e-10 * std::fabs(b)) continue;
        // 2 <u|Sx|l>: Sx joins |+1/2, M> and |-1/2, M>.
        double sx = 0;
        for (size_t i = 0; i < upper.size(); ++i) {
            if (upper[i][0] < 0) continue;
            std::vector<double> partner = upper[i];
            partner[0] = -0.5;
            const auto at = std::find(lower.begin(), lower.end(), partner);
            if (at != lower.end()) sx += u.Vector[Eigen::Index(i)] * l.Vector[at - lower.begin()];
        }
        t.Probability = sx * sx;
        return b;
    }
    return NAN;
}

// Whether the coupling between groups is strong enough for the third-order
// treatment to miss by more than about 0.003 G: the largest group's
// second-order energy times the others' first-order spread over the
// electron Zeeman energy squared. Exact diagonalisation then.
bool NeedsExact(const std::vector<Nuclei>& groups, double g, double nu) {
    if (groups.size() < 2) return false;
    double top = 0, spread = 0;
    for (const Nuclei& n : groups) {
        const double e = std::fabs(n.A) * n.Spins.JMax;
        top = std::max(top, e);
        spread += e;
    }
    const double rest = spread - top;
    return top * top * rest / (nu * nu) > 0.003 * g * MHzPerGauss;
}

// Blocks larger than this are left to the third-order treatment.
constexpr double MaxExactBlock = 400;

double LinesOf(const System& sys) {
    double lines = 1;
    for (const Nuclei& n : sys.Groups) {
        double states = 0;
        for (size_t k = 0; k < n.Spins.Multiplicity.size(); ++k)
            if (n.Spins.Multiplicity[k] > 0) states += 2 * (n.Spins.JMax - double(k)) + 1;
        lines *= states;
    }
    return lines;
}

} // namespace

SimLines ResonanceLines(const SimModel& model, double ghz) {
    SimLines out;
    if (!(ghz > 0)) {
        out.Refusal = "no frequency";
        return out;
    }
    const double nu = ghz * 1000;
    std::vector<std::pair<int, std::vector<System>>> all;
    double count = 0;
    for (size_t k = 0; k < model.Species.size(); ++k) {
        all.emplace_back(int(k), SystemsOf(model.Species[k]));
        for (const System& sys : all.back().second) count += LinesOf(sys);
    }
    if (count > MaxLines) {
        out.Refusal = "too many lines (" + ShortText(count) + ") to simulate";
        return out;
    }
    out.Lines.reserve(size_t(count));
    for (const auto& entry : all) {
        const int species = entry.first;
        const std::vector<System>& systems = entry.second;
        const SimSpecies& s = model.Species[size_t(species)];
        const double g = s.G.Value;
        for (const System& sys : systems) {
            double total = 1;
            for (const Nuclei& n : sys.Groups) total *= std::pow(2 * n.Spin + 1, n.Count);
            const size_t groups = sys.Groups.size();
            double block = 2;
            for (const Nuclei& n : sys.Groups) block *= 2 * n.Spins.JMax + 1;
            const bool exact = NeedsExact(sys.Groups, g, nu) && block <= MaxExactBlock;
            std::vector<State> states(groups);
            auto visit = [&](auto&& self, size_t k, double degeneracy) -> void {
                if (k == groups) {
                    Transition t;
                    double b = ResonanceOf(sys.Groups, states, g, nu, t);
                    if (exact && std::isfinite(b))
                        b = ExactResonance(sys.Groups, states, g, nu, b, t);
                    if (!std::isfinite(b)) return;
                    double mI = 0;
                    for (size_t i = 0; i < groups; ++i)
                        if (sys.Groups[i].Width) mI += states[i].M;
                    const double width =
                        s.Width.Value + s.Beta.Value * mI + s.Gamma.Value * mI * mI;
                    out.Lines.push_back({b,
                                         s.Weight.Value * sys.Weight * degeneracy / total *
                                             t.Probability * g * g * MHzPerGauss / t.Rate,
                                         std::max(std::fabs(width), 1e-6), species});
                    return;
                }
                const TotalSpins& spins = sys.Groups[k].Spins;
                for (size_t i = 0; i < spins.Multiplicity.size(); ++i) {
                    if (!(spins.Multiplicity[i] > 0)) continue;
                    const double j = spins.JMax - double(i);
                    for (double m = -j; m <= j + 1e-9; m += 1) {
                        states[k] = {j, m};
                        self(self, k + 1, degeneracy * spins.Multiplicity[i]);
                    }
                }
            };
            visit(visit, 0, 1.0);
        }
    }
    return out;
}

// ---- The spectrum -----------------------------------------------------------

namespace {

// The line shapes of unit area in the absorption, peak-to-peak width w of
// the first derivative: a Lorentzian of half width sqrt(3) w / 2 and a
// Gaussian of standard deviation w / 2. A pseudo-Voigt line's Lorentzian
// fraction eta is the line fits' share of the derivative's peak-to-peak
// amplitude; as a share of the area it is eta LA / (eta LA + (1 - eta) GA),
// LA and GA the areas of the two derivatives of unit peak to peak.
struct Form {
    double LorentzArea = 1; // share of the area
    SimSignal Signal = SimSignal::Derivative;
    double Half = 0; // half the peak-to-peak modulation, G
};

double LorentzAbsorption(double d, double gamma) {
    return gamma / (std::numbers::pi * (gamma * gamma + d * d));
}
double GaussAbsorption(double d, double sigma) {
    return std::exp(-d * d / (2 * sigma * sigma)) / (sigma * std::sqrt(2 * std::numbers::pi));
}
double LorentzAt(SimSignal signal, double d, double gamma) {
    const double q = gamma * gamma + d * d;
    switch (signal) {
    case SimSignal::Absorption:
        return gamma / (std::numbers::pi * q);
    case SimSignal::Derivative:
        return -2 * gamma * d / (std::numbers::pi * q * q);
    case SimSignal::SecondDerivative:
        return 2 * gamma * (3 * d * d - gamma * gamma) / (std::numbers::pi * q * q * q);
    }
    return 0;
}
double GaussAt(SimSignal signal, double d, double sigma) {
    const double a = GaussAbsorption(d, sigma), s2 = sigma * sigma;
    switch (signal) {
    case SimSignal::Absorption:
        return a;
    case SimSignal::Derivative:
        return -d / s2 * a;
    case SimSignal::SecondDerivative:
        return (d * d / s2 - 1) / s2 * a;
    }
    return 0;
}

// The first (second) harmonic of the absorption under a field modulation of
// half amplitude h, over h (over h^2 / 4): the first (second) derivative as
// h goes to 0. (2 / pi) Int_0^pi A(d + h cos t) cos(k t) dt by the
// trapezoidal rule, exact to rounding for a periodic integrand sampled
// finer than the line.
template <class Absorption>
double Harmonic(const Absorption& absorption, int k, double d, double h, int nodes) {
    double sum = 0;
    for (int i = 0; i <= nodes; ++i) {
        const double t = std::numbers::pi * i / nodes;
        sum += (i == 0 || i == nodes ? 0.5 : 1) * absorption(d + h * std::cos(t)) * std::cos(k * t);
    }
    const double h1 = 2 * sum / nodes;
    return k == 1 ? h1 / h : 4 * h1 / (h * h);
}

// The first harmonic of a Lorentzian over the modulation's half amplitude h,
// in closed form: -(2 / (pi h^2)) Im[w / sqrt(w^2 - h^2)], w = d - i gamma,
// the root continued from w at large |w| (Hyde et al. 1990; Robinson et
// al. 1999).
double ModulatedLorentz(double d, double gamma, double h) {
    const std::complex<double> w(d, -gamma);
    const std::complex<double> root = std::sqrt(w - h) * std::sqrt(w + h);
    return -2 / (std::numbers::pi * h * h) * std::imag(w / root);
}

// The first index of x[0..n) at or above v (x ascending).
int IndexAtOrAbove(const float* x, int n, double v) {
    return int(std::lower_bound(x, x + n, v, [](float a, double b) { return a < b; }) - x);
}

void AddLine(const Form& f, double centre, double width, double area, const float* x, int n,
             double* out) {
    const double gamma = std::sqrt(3.0) * width / 2, sigma = width / 2, h = f.Half;
    const bool modulated = h > 0 && f.Signal != SimSignal::Absorption;
    const int order = f.Signal == SimSignal::SecondDerivative ? 2 : 1;
    const int nodes = std::clamp(int(std::ceil(16 * h / width)) + 16, 16, 1024);
    const double lorentz = area * f.LorentzArea, gauss = area * (1 - f.LorentzArea);
    if (lorentz != 0) {
        // Everywhere: a Lorentzian's wings reach far. Under modulation the
        // harmonic is taken near the line only; 20 widths out it differs
        // from the derivative by (h / d)^2 of a wing already below 1e-4.
        const double reach = 20 * (gamma + h);
        const int from = modulated ? IndexAtOrAbove(x, n, centre - reach) : n;
        const int to = modulated ? IndexAtOrAbove(x, n, centre + reach) : n;
        for (int j = 0; j < n; ++j) {
            const double d = double(x[j]) - centre;
            if (j >= from && j < to)
                out[j] += lorentz *
                          (order == 1
                               ? ModulatedLorentz(d, gamma, h)
                               : Harmonic([gamma](double e) { return LorentzAbsorption(e, gamma); },
                                          2, d, h, nodes));
            else
                out[j] += lorentz * LorentzAt(f.Signal, d, gamma);
        }
    }
    if (gauss != 0) {
        // 8 standard deviations out a Gaussian is below 1e-13 of its peak.
        const double reach = 8 * sigma + h;
        const int from = IndexAtOrAbove(x, n, centre - reach);
        const int to = IndexAtOrAbove(x, n, centre + reach);
        for (int j = from; j < to; ++j) {
            const double d = double(x[j]) - centre;
            out[j] += gauss *
                      (modulated ? Harmonic([sigma](double e) { return GaussAbsorption(e, sigma); },
                                            order, d, h, nodes)
                                 : GaussAt(f.Signal, d, sigma));
        }
    }
}

} // namespace

std::string Simulate(const SimModel& model, const float* x, int n, double ghz, double* out) {
    std::fill(out, out + std::max(n, 0), 0.0);
    if (n < 1) return {};
    if (!std::is_sorted(x, x + n)) return "the fields do not rise";
    SimLines lines = ResonanceLines(model, ghz);
    if (!lines.Refusal.empty()) return lines.Refusal;
    // Lines closer than a five-hundredth of their width (the second-order
    // splittings of equivalent nuclei by their total spin, often) are drawn
    // as one at their weighted mean: the shape differs by (d / w)^2.
    std::vector<SimLine>& l = lines.Lines;
    std::sort(l.begin(), l.end(), [](const SimLine& a, const SimLine& b) {
        return a.Species != b.Species ? a.Species < b.Species : a.Field < b.Field;
    });
    std::vector<SimLine> merged;
    for (const SimLine& line : l) {
        SimLine* last = merged.empty() ? nullptr : &merged.back();
        if (last && last->Species == line.Species && line.Field - last->Field < 2e-3 * line.Width &&
            std::fabs(line.Width - last->Width) <= 1e-9 * line.Width &&
            last->Intensity + line.Intensity > 0) {
            const double sum = last->Intensity + line.Intensity;
            last->Field = (last->Field * last->Intensity + line.Field * line.Intensity) / sum;
            last->Intensity = sum;
            continue;
        }
        merged.push_back(line);
    }
    const double lorentzArea = LineIntegral(1, 1, 1), gaussArea = LineIntegral(1, 1, 0);
    for (const SimLine& line : merged) {
        const SimSpecies& s = model.Species[size_t(line.Species)];
        const double eta = std::clamp(s.Eta.Value, 0.0, 1.0);
        Form f;
        f.LorentzArea = s.Shape == LineShape::Lorentz ? 1
                        : s.Shape == LineShape::Gauss
                            ? 0
                            : eta * lorentzArea / (eta * lorentzArea + (1 - eta) * gaussArea);
        f.Signal = model.Signal;
        f.Half = model.ModulationG / 2;
        AddLine(f, line.Field, line.Width, line.Intensity, x, n, out);
    }
    return {};
}

LinearScale ScaleToSpectrum(const double* sim, const float* y, int n) {
    LinearScale s;
    if (n < 1) return s;
    double ms = 0, my = 0;
    for (int j = 0; j < n; ++j) {
        ms += sim[j];
        my += y[j];
    }
    ms /= n;
    my /= n;
    double sxy = 0, sxx = 0;
    for (int j = 0; j < n; ++j) {
        sxy += (sim[j] - ms) * (double(y[j]) - my);
        sxx += (sim[j] - ms) * (sim[j] - ms);
    }
    s.Scale = sxx > 0 ? sxy / sxx : 0;
    s.Offset = my - s.Scale * ms;
    return s;
}

// ---- The fit ----------------------------------------------------------------

namespace {

// A free value of the fit: the model values it sets (one per spectrum, or
// one in every spectrum's model when shared) and the spectrum it belongs to
// (-1: all). Widths and weights are taken as their size, a Lorentzian
// fraction held to 0..1.
struct FitParam {
    std::vector<ModelValue*> Targets;
    int Spectrum = -1;
    enum { Plain, Size, Fraction } Kind = Plain;
    // Free while the spectra are blurred by less than this, G: g always,
    // a coupling while its splitting stays resolved, other values never.
    double Coarse = 0;
    double Set(double p) const {
        const double v = Kind == Size       ? std::fabs(p)
                         : Kind == Fraction ? std::clamp(p, 0.0, 1.0)
                                            : p;
        for (ModelValue* t : Targets) t->Value = v;
        return v;
    }
};

// Three passes of a moving mean of 2 half + 1 points, fewer at the ends: as
// good as a Gaussian of standard deviation sqrt(2 half (half + 1)) points.
void Blur(std::vector<double>& v, int half) {
    if (half < 1 || v.size() < 3) return;
    const int n = int(v.size());
    std::vector<double> sums(v.size() + 1);
    for (int pass = 0; pass < 3; ++pass) {
        sums[0] = 0;
        for (int j = 0; j < n; ++j) sums[size_t(j) + 1] = sums[size_t(j)] + v[size_t(j)];
        for (int j = 0; j < n; ++j) {
            const int a = std::max(0, j - half), b = std::min(n, j + half + 1);
            v[size_t(j)] = (sums[size_t(b)] - sums[size_t(a)]) / (b - a);
        }
    }
}

// What every stage of a fit shares: the models (one per spectrum), the
// spectra's points fitted, the free values and all their current values.
struct Context {
    std::vector<SimModel>* Models = nullptr;
    const std::vector<SimSpectrum>* Spectra = nullptr;
    std::vector<int> First, Count, Start; // per spectrum: its points and its residuals' place
    std::vector<double> Ghz;
    std::vector<FitParam> Params;
    Eigen::VectorXd Values;                // of every free value
    std::vector<std::vector<double>> Data; // per spectrum, blurred as the stage wants
    std::vector<int> Half;                 // per spectrum, the stage's blur
    std::vector<double> Sim;

    void Stage(double sigma) {
        for (size_t s = 0; s < Spectra->size(); ++s) {
            const SimSpectrum& sp = (*Spectra)[s];
            const float* y = sp.Y + First[s];
            Data[s].assign(y, y + Count[s]);
            const double step =
                Count[s] > 1 ? (double(sp.X[First[s] + Count[s] - 1]) - double(sp.X[First[s]])) /
                                   (Count[s] - 1)
                             : 1.0;
            const double points = step > 0 ? sigma / step : 0;
            Half[s] = int(std::lround((std::sqrt(1 + 2 * points * points) - 1) / 2));
            Blur(Data[s], Half[s]);
        }
    }

    void Set() {
        for (size_t j = 0; j < Params.size(); ++j) Params[j].Set(Values[Eigen::Index(j)]);
    }

    // Spectrum s's residuals into f; its sum of squares.
    double Residual(size_t s, double* f, LinearScale* scale = nullptr) {
        const SimSpectrum& sp = (*Spectra)[s];
        Sim.resize(size_t(Count[s]));
        const std::string refused =
            Simulate((*Models)[s], sp.X + First[s], Count[s], Ghz[s], Sim.data());
        const std::vector<double>& y = Data[s];
        if (!refused.empty()) {
            std::fill(f, f + Count[s], 1e30);
            return HUGE_VAL;
        }
        Blur(Sim, Half[s]);
        double ms = 0, my = 0;
        for (int j = 0; j < Count[s]; ++j) {
            ms += Sim[size_t(j)];
            my += y[size_t(j)];
        }
        ms /= Count[s];
        my /= Count[s];
        double sxy = 0, sxx = 0;
        for (int j = 0; j < Count[s]; ++j) {
            sxy += (Sim[size_t(j)] - ms) * (y[size_t(j)] - my);
            sxx += (Sim[size_t(j)] - ms) * (Sim[size_t(j)] - ms);
        }
        const double k = sxx > 0 ? sxy / sxx : 0, o = my - k * ms;
        if (scale) *scale = {k, o};
        double ss = 0;
        for (int j = 0; j < Count[s]; ++j) {
            f[j] = k * Sim[size_t(j)] + o - y[size_t(j)];
            ss += f[j] * f[j];
        }
        return ss;
    }

    void Residuals(double* f) {
        Set();
        for (size_t s = 0; s < Spectra->size(); ++s) Residual(s, f + Start[s]);
    }

    // The Jacobian's columns of the values `active` by forward differences,
    // each value's step a millionth of its size (of 0.01 at least); only
    // the spectra a value belongs to are simulated again.
    void Jacobian(const std::vector<int>& active, Eigen::MatrixXd& jac) {
        const Eigen::Index rows = jac.rows();
        Eigen::VectorXd f0(rows), f1(rows);
        Residuals(f0.data());
        jac.setZero();
        for (size_t c = 0; c < active.size(); ++c) {
            const Eigen::Index j = active[c];
            const double keep = Values[j], h = 1e-6 * std::max(std::fabs(keep), 1e-2);
            Values[j] = keep + h;
            Set();
            const int owner = Params[size_t(j)].Spectrum;
            for (size_t s = 0; s < Spectra->size(); ++s) {
                if (owner >= 0 && size_t(owner) != s) continue;
                Residual(s, f1.data() + Start[s]);
                for (int i = Start[s]; i < Start[s] + Count[s]; ++i)
                    jac(i, Eigen::Index(c)) = (f1[i] - f0[i]) / h;
            }
            Values[j] = keep;
        }
        Set();
    }
};

// The residuals as a function of some of the free values, the others held.
struct Problem : Eigen::DenseFunctor<double> {
    Context* Fit;
    std::vector<int> Active;
    Problem(Context& c, std::vector<int> active, int values)
        : DenseFunctor(int(active.size()), values), Fit(&c), Active(std::move(active)) {}
    void Take(const InputType& p) const {
        for (size_t c = 0; c < Active.size(); ++c) Fit->Values[Active[c]] = p[Eigen::Index(c)];
    }
    int operator()(const InputType& p, ValueType& f) const {
        Take(p);
        Fit->Residuals(f.data());
        return 0;
    }
    int df(const InputType& p, JacobianType& jac) const {
        Take(p);
        Fit->Jacobian(Active, jac);
        return 0;
    }
};

// The field over which the free couplings of the start may put its lines
// astray, G: a fifth of each free coupling times the spread of its mI.
double Spread(const SimModel& m) {
    double spread = 0;
    for (const SimSpecies& s : m.Species)
        for (const NucleusGroup& n : s.Groups) {
            if (n.A.Free == Freedom::Fixed) continue;
            const Isotope* i = FindIsotope(n.Isotope);
            if (!i) i = ReferenceIsotope(n.Isotope);
            const double gauss = CouplingMHz(n, s.G.Value) / (s.G.Value * MHzPerGauss);
            spread += 0.2 * std::fabs(gauss) * n.Count * i->Spin;
        }
    return spread;
}

// The size of the model's coupling number `number` (from 1), G.
double CouplingGauss(const SimModel& m, int number) {
    for (const SimSpecies& s : m.Species)
        for (const NucleusGroup& n : s.Groups)
            if (--number == 0)
                return std::fabs(CouplingMHz(n, s.G.Value) / (s.G.Value * MHzPerGauss));
    return 0;
}

double NarrowestWidth(const SimModel& m) {
    double w = HUGE_VAL;
    for (const SimSpecies& s : m.Species) w = std::min(w, std::fabs(s.Width.Value));
    return w;
}

} // namespace

SimFit FitModel(const SimModel& start, const std::vector<SimSpectrum>& spectra) {
    SimFit fit;
    const size_t count = spectra.size();
    if (count == 0) return fit.Refusal = "no spectrum", fit;
    std::vector<SimModel> models(count, start);
    std::vector<int> first(count), points(count), begin(count);
    std::vector<double> ghz(count);
    int total = 0;
    for (size_t s = 0; s < count; ++s) {
        const SimSpectrum& sp = spectra[s];
        ghz[s] = SimFrequency(start, sp.GHz);
        if (!(ghz[s] > 0)) return fit.Refusal = "no frequency", fit;
        if (sp.N < 1 || !std::is_sorted(sp.X, sp.X + sp.N))
            return fit.Refusal = "the fields do not rise", fit;
        const bool ranged = sp.From < sp.To;
        first[s] = ranged ? IndexAtOrAbove(sp.X, sp.N, sp.From) : 0;
        const int last =
            ranged ? IndexAtOrAbove(sp.X, sp.N, std::nextafter(sp.To, HUGE_VAL)) : sp.N;
        points[s] = last - first[s];
        begin[s] = total;
        total += points[s];
    }
    // The free values: a shared one once, the others once per spectrum.
    std::vector<FitParam> params;
    std::vector<std::pair<std::string, ModelValue>> values;
    ForEachValue(models[0],
                 [&](const std::string& name, ModelValue& v) { values.emplace_back(name, v); });
    for (size_t k = 0; k < values.size(); ++k) {
        const auto& [name, value] = values[k];
        if (value.Free == Freedom::Fixed) continue;
        FitParam p;
        p.Kind = name.starts_with("width") || name.starts_with("weight") ? FitParam::Size
                 : name.starts_with("eta")                               ? FitParam::Fraction
                                                                         : FitParam::Plain;
        if (name == "g" || (name[0] == 'g' && std::isdigit(static_cast<unsigned char>(name[1]))))
            p.Coarse = HUGE_VAL;
        if (name[0] == 'A') p.Coarse = CouplingGauss(start, std::stoi(name.substr(1)));
        auto targets = [&](size_t s) {
            std::vector<ModelValue*> out;
            size_t i = 0;
            ForEachValue(models[s], [&](const std::string&, ModelValue& v) {
                if (i++ == k) out.push_back(&v);
            });
            return out;
        };
        if (value.Free == Freedom::Shared) {
            for (size_t s = 0; s < count; ++s) {
                const std::vector<ModelValue*> t = targets(s);
                p.Targets.insert(p.Targets.end(), t.begin(), t.end());
            }
            params.push_back(p);
            continue;
        }
        for (size_t s = 0; s < count; ++s) {
            FitParam own = p;
            own.Targets = targets(s);
            own.Spectrum = int(s);
            params.push_back(own);
        }
    }
    const int np = int(params.size());
    fit.Points = total;
    fit.Parameters = np;
    const int dof = total - np - 2 * int(count);
    for (size_t s = 0; s < count; ++s)
        if (points[s] < 3) return fit.Refusal = "too few points in the range", fit;
    if (dof < 1) return fit.Refusal = "too few points for the free values", fit;

    Context context;
    context.Models = &models;
    context.Spectra = &spectra;
    context.First = first;
    context.Count = points;
    context.Start = begin;
    context.Ghz = ghz;
    context.Params = params;
    context.Data.resize(count);
    context.Half.resize(count);
    context.Values.resize(np);
    for (int j = 0; j < np; ++j) context.Values[j] = params[size_t(j)].Targets[0]->Value;

    // A start whose couplings are off puts lines where the measured
    // spectrum has none, and the fit may settle there: it first matches
    // blurred copies of the spectra, each half as blurred as the one before,
    // with g and the couplings that the blur leaves resolved free; the
    // widths stay as given, else they would take the place of unresolved
    // couplings. Then every free value on the spectra as measured.
    std::vector<double> sigmas;
    const double narrowest = NarrowestWidth(start);
    for (double sigma = Spread(start) / 2; sigma > narrowest / 2 && sigmas.size() < 4; sigma /= 2)
        sigmas.push_back(sigma);
    sigmas.push_back(0);
    for (const double sigma : sigmas) {
        std::vector<int> active;
        for (int j = 0; j < np; ++j)
            if (sigma == 0 || params[size_t(j)].Coarse > sigma) active.push_back(j);
        context.Stage(sigma);
        if (active.empty()) continue;
        Problem problem(context, active, total);
        Eigen::VectorXd p(Eigen::Index(active.size()));
        for (size_t c = 0; c < active.size(); ++c) p[Eigen::Index(c)] = context.Values[active[c]];
        Eigen::LevenbergMarquardt<Problem> lm(problem);
        lm.setXtol(sigma > 0 ? 1e-6 : 1e-10);
        lm.setFtol(sigma > 0 ? 1e-8 : 1e-12);
        lm.setMaxfev(Eigen::Index(200) * (Eigen::Index(active.size()) + 1));
        using namespace Eigen::LevenbergMarquardtSpace;
        const Status status = lm.minimize(p);
        if (sigma == 0 && (status == ImproperInputParameters || status == UserAsked))
            return fit.Refusal = "no convergence", fit;
        if (!p.allFinite()) return fit.Refusal = "no convergence", fit;
        problem.Take(p);
    }
    context.Set();
    Eigen::VectorXd f(total);
    double ss = 0;
    fit.Spectra.resize(count);
    for (size_t s = 0; s < count; ++s) {
        SimFitSpectrum& out = fit.Spectra[s];
        const double own = context.Residual(s, f.data() + begin[s], &out.Scale);
        if (!std::isfinite(own)) return fit.Refusal = "no convergence", fit;
        ss += own;
        int mine = 0;
        for (const FitParam& q : params) mine += q.Spectrum < 0 || q.Spectrum == int(s);
        out.Rms = std::sqrt(own / points[s]);
        out.Chi2 = own / std::max(1, points[s] - mine - 2);
        out.First = first[s];
        out.Last = first[s] + points[s] - 1;
    }
    fit.Rms = std::sqrt(ss / total);
    fit.Chi2 = ss / dof;
    if (np > 0) {
        // J P = Q R, so (J^T J)^-1 = P R^-1 R^-T P^T.
        Eigen::MatrixXd jac(total, np);
        std::vector<int> all(static_cast<size_t>(np), 0);
        for (int j = 0; j < np; ++j) all[size_t(j)] = j;
        context.Jacobian(all, jac);
        const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(jac);
        if (qr.rank() < np) return fit.Refusal = "the free values cannot be told apart", fit;
        const Eigen::MatrixXd rInverse =
            qr.matrixR().topLeftCorner(np, np).triangularView<Eigen::Upper>().solve(
                Eigen::MatrixXd::Identity(np, np));
        const Eigen::MatrixXd cov = qr.colsPermutation() * (rInverse * rInverse.transpose()) *
                                    qr.colsPermutation().transpose() * fit.Chi2;
        for (int j = 0; j < np; ++j) {
            for (ModelValue* t : params[size_t(j)].Targets)
                t->Error = std::sqrt(std::max(cov(j, j), 0.0));
        }
    }
    for (size_t s = 0; s < count; ++s) fit.Spectra[s].Model = models[s];
    return fit;
}

} // namespace kivo
