// Isotropic S = 1/2 simulation against an exact diagonalisation of the spin
// Hamiltonian, the model text's refusals, the line shapes, and a fit.
#include "simulation.h"

#include "isotopes.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>
#include <random>
#include <vector>

using namespace kivo;

namespace {

// CODATA 2018: muB / h and muN / h in MHz per gauss.
constexpr double BohrMHz = 1.39962449361;
constexpr double NuclearMHz = 7.6225932291e-4;

// A group of n equivalent nuclei of spin I, moment mu (nuclear magnetons),
// coupling a in MHz.
struct Group {
    int N;
    double I, Mu, A;
};
struct ExactSystem {
    double Weight;
    std::vector<Group> Groups;
};
struct Line {
    double Field, Intensity;
};

// How many times each total spin J occurs among n spins I, by counting the
// product states of each projection.
std::map<double, double> Multiplicities(int n, double spin) {
    std::map<double, double> statesOfM;
    const int levels = int(std::lround(2 * spin)) + 1;
    std::vector<int> digits(size_t(n), 0);
    for (long code = 0; code < std::lround(std::pow(levels, n)); ++code) {
        long c = code;
        double m = 0;
        for (int k = 0; k < n; ++k, c /= levels) m += double(c % levels) - spin;
        statesOfM[m] += 1;
    }
    std::map<double, double> out;
    for (const auto& [m, count] : statesOfM)
        if (m >= -1e-9) out[m] = count - (statesOfM.count(m + 1) ? statesOfM[m + 1] : 0);
    return out;
}

// The lines of a system in the coupled basis of each group: the Hamiltonian
//   g muB B Sz + sum a S.J - sum gN muN B Jz
// diagonalised in each block of total projection, the field of each
// |+, M> <-> |-, M> found by the secant method, its area |<u|Sx|l>|^2 g^2
// muB/h / (d(Eu - El)/dB) times the weights.
std::vector<Line> Exact(const ExactSystem& sys, double g, double ghz) {
    const size_t groups = sys.Groups.size();
    std::vector<std::map<double, double>> mult;
    double total = 1;
    for (const Group& gr : sys.Groups) {
        mult.push_back(Multiplicities(gr.N, gr.I));
        total *= std::pow(2 * gr.I + 1, gr.N);
    }
    std::vector<Line> lines;
    std::vector<double> js(groups);
    auto combos = [&](auto&& self, size_t k, double degeneracy) -> void {
        if (k < groups) {
            for (const auto& [j, count] : mult[k])
                if (count > 0) {
                    js[k] = j;
                    self(self, k + 1, degeneracy * count);
                }
            return;
        }
        // The basis: mS and every group's M.
        std::vector<std::vector<double>> basis;
        std::vector<double> state(groups + 1);
        auto build = [&](auto&& more, size_t i) -> void {
            if (i == groups + 1) return basis.push_back(state);
            if (i == 0) {
                for (double ms : {0.5, -0.5}) {
                    state[0] = ms;
                    more(more, 1);
                }
                return;
            }
            for (double m = -js[i - 1]; m <= js[i - 1] + 1e-9; m += 1) {
                state[i] = m;
                more(more, i + 1);
            }
        };
        build(build, 0);
        auto fz = [&](const std::vector<double>& s) {
            double f = 0;
            for (double v : s) f += v;
            return f;
        };
        // The energy of the eigenstate most like basis state b at field B,
        // with that eigenvector over the whole basis.
        auto level = [&](const std::vector<double>& target, double b, Eigen::VectorXd* vec) {
            std::vector<size_t> block;
            for (size_t i = 0; i < basis.size(); ++i)
                if (std::fabs(fz(basis[i]) - fz(target)) < 1e-9) block.push_back(i);
            const Eigen::Index d = Eigen::Index(block.size());
            Eigen::MatrixXd h = Eigen::MatrixXd::Zero(d, d);
            for (Eigen::Index r = 0; r < d; ++r) {
                const std::vector<double>& u = basis[block[size_t(r)]];
                h(r, r) = g * BohrMHz * b * u[0];
                for (size_t k = 0; k < groups; ++k) {
                    const Group& gr = sys.Groups[k];
                    h(r, r) += gr.A * u[0] * u[k + 1] - gr.Mu / gr.I * NuclearMHz * b * u[k + 1];
                }
                for (Eigen::Index c = 0; c < d; ++c) {
                    const std::vector<double>& v = basis[block[size_t(c)]];
                    // S+ J-_k: v has mS -1/2, u +1/2 and u's M_k one below v's.
                    for (size_t k = 0; k < groups; ++k) {
                        bool others = true;
                        for (size_t i = 0; i < groups; ++i)
                            if (i != k && u[i + 1] != v[i + 1]) others = false;
                        if (!others || u[0] != 0.5 || v[0] != -0.5 || u[k + 1] != v[k + 1] - 1)
                            continue;
                        const double j = js[k], m = v[k + 1];
                        const double e = sys.Groups[k].A / 2 * std::sqrt(j * (j + 1) - m * (m - 1));
                        h(r, c) += e;
                        h(c, r) += e;
                    }
                }
            }
            Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(h);
            Eigen::Index row = 0;
            for (Eigen::Index r = 0; r < d; ++r)
                if (basis[block[size_t(r)]] == target) row = r;
            Eigen::Index best = 0;
            solver.eigenvectors().row(row).cwiseAbs().maxCoeff(&best);
            if (vec) {
                *vec = Eigen::VectorXd::Zero(Eigen::Index(basis.size()));
                for (Eigen::Index r = 0; r < d; ++r)
                    (*vec)[Eigen::Index(block[size_t(r)])] = solver.eigenvectors()(r, best);
            }
            return solver.eigenvalues()[best];
        };
        const double nu = ghz * 1000;
        for (const std::vector<double>& up : basis) {
            if (up[0] != 0.5) continue;
            std::vector<double> down = up;
            down[0] = -0.5;
            auto gap = [&](double b) { return level(up, b, nullptr) - level(down, b, nullptr); };
            double first = 0;
            for (size_t k = 0; k < groups; ++k) first += sys.Groups[k].A * up[k + 1];
            double b0 = (nu - first) / (g * BohrMHz), b1 = b0 + 1;
            double f0 = gap(b0) - nu, f1 = gap(b1) - nu;
            for (int it = 0; it < 50 && std::fabs(b1 - b0) > 1e-9; ++it) {
                const double b2 = b1 - f1 * (b1 - b0) / (f1 - f0);
                b0 = b1;
                f0 = f1;
                b1 = b2;
                f1 = gap(b1) - nu;
            }
            Eigen::VectorXd u, l;
            level(up, b1, &u);
            level(down, b1, &l);
            // <u|Sx|l>: Sx joins states of opposite mS and equal M.
            double sx = 0;
            for (size_t i = 0; i < basis.size(); ++i)
                for (size_t k = 0; k < basis.size(); ++k) {
                    std::vector<double> a = basis[i], c = basis[k];
                    if (a[0] != -c[0]) continue;
                    a[0] = c[0] = 0;
                    if (a == c) sx += 0.5 * u[Eigen::Index(i)] * l[Eigen::Index(k)];
                }
            const double rate = (gap(b1 + 1e-3) - gap(b1 - 1e-3)) / 2e-3;
            lines.push_back(
                {b1, sys.Weight * degeneracy / total * 4 * sx * sx * g * g * BohrMHz / rate});
        }
    };
    combos(combos, 0, 1.0);
    return lines;
}

struct Case {
    const char* Name;
    const char* Model;
    double G, GHz;
    std::vector<ExactSystem> Systems;
    double Tolerance; // G
};

double InMHz(double gauss, double g) {
    return gauss * g * BohrMHz;
}

// Nuclear moments in nuclear magnetons as published, written out here rather
// than read from the program's table, so that a wrong entry there shows.
// N. J. Stone, "Table of nuclear magnetic dipole and electric quadrupole
// moments", At. Data Nucl. Data Tables 90 (2005) 75:
constexpr double Mu1H = 2.792847351, Mu14N = 0.40376100, Mu51V = 5.1487057, Mu63Cu = 2.2273456;
// 65Cu from 63Cu by the ratio of their NMR frequencies in one compound,
// Xi = 28.403693 % and 26.515473 % (R. K. Harris et al., "NMR nomenclature",
// Pure Appl. Chem. 73 (2001) 1795); Stone's own +2.3816 is 0.18 % off it.
constexpr double Mu65Cu = Mu63Cu * 28.403693 / 26.515473;

} // namespace

// The published moments above, not the table's; natural copper weighs its
// isotopologues 69.15 : 30.85 and scales the coupling of 65Cu by the ratio
// of the moments.
TEST(Simulation, FieldsAndIntensitiesMatchTheExactDiagonalisation) {
    const double mu14N = Mu14N, mu51V = Mu51V, mu63 = Mu63Cu, mu65 = Mu65Cu, mu1H = Mu1H;
    const std::vector<Case> cases = {
        {"nitroxide",
         "g 2.0058\nnucleus 14N 1 15 G\nwidth 1 G lorentz",
         2.0058,
         9.5,
         {{1, {{1, 1, mu14N, InMHz(15, 2.0058)}}}},
         0.01},
        {"vanadyl",
         "g 1.97\nnucleus 51V 1 -110 G\nwidth 5 G lorentz",
         1.97,
         9.5,
         {{1, {{1, 3.5, mu51V, InMHz(-110, 1.97)}}}},
         0.01},
        {"copper",
         "g 2.1\nnucleus Cu 1 70 G\nwidth 5 G lorentz",
         2.1,
         9.5,
         {{0.6915, {{1, 1.5, mu63, InMHz(70, 2.1)}}},
          {0.3085, {{1, 1.5, mu65, InMHz(70, 2.1) * mu65 / mu63}}}},
         0.01},
        {"phenalenyl",
         "g 2.0027\nnucleus 1H 3 5.09 MHz\nnucleus 1H 6 -17.67 MHz\nwidth 0.1 G lorentz",
         2.0027,
         9.5,
         {{1, {{3, 0.5, mu1H, 5.09}, {6, 0.5, mu1H, -17.67}}}},
         0.01},
        {"two nitrogens",
         "g 2.0\nnucleus 14N 2 50 G\nwidth 1 G lorentz",
         2.0,
         9.5,
         {{1, {{2, 1, mu14N, InMHz(50, 2.0)}}}},
         0.02},
        {"copper and four nitrogens",
         "g 2.1\nnucleus 63Cu 1 90 G\nnucleus 14N 4 15 G\nwidth 3 G lorentz",
         2.1,
         9.2,
         {{1, {{1, 1.5, mu63, InMHz(90, 2.1)}, {4, 1, mu14N, InMHz(15, 2.1)}}}},
         0.01},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const ModelRead read = ReadModel(c.Model);
        ASSERT_EQ(read.Refusal, "");
        SimLines model = ResonanceLines(read.Model, c.GHz);
        ASSERT_EQ(model.Refusal, "");
        std::vector<Line> exact;
        for (const ExactSystem& sys : c.Systems) {
            const std::vector<Line> l = Exact(sys, c.G, c.GHz);
            exact.insert(exact.end(), l.begin(), l.end());
        }
        ASSERT_EQ(model.Lines.size(), exact.size());
        std::sort(model.Lines.begin(), model.Lines.end(),
                  [](const SimLine& a, const SimLine& b) { return a.Field < b.Field; });
        std::sort(exact.begin(), exact.end(),
                  [](const Line& a, const Line& b) { return a.Field < b.Field; });
        double worstField = 0, worstIntensity = 0;
        for (size_t k = 0; k < exact.size(); ++k) {
            worstField = std::max(worstField, std::fabs(model.Lines[k].Field - exact[k].Field));
            worstIntensity = std::max(worstIntensity,
                                      std::fabs(model.Lines[k].Intensity / exact[k].Intensity - 1));
        }
        EXPECT_LT(worstField, c.Tolerance);
        EXPECT_LT(worstIntensity, 1e-3);
        RecordProperty(std::string(c.Name) + "_worst_field_G", std::to_string(worstField));
        std::printf("%-26s %4zu lines: worst field %.2e G, intensity %.2e\n", c.Name, exact.size(),
                    worstField, worstIntensity);
    }
}

// The table's spins, g_N = mu / I and abundances against the published
// values: Stone's moments (with 65Cu as above) and IUPAC's representative
// isotopic compositions of 2013 (J. Meija et al., Pure Appl. Chem. 88 (2016)
// 293). Then the g_N ratios of isotope pairs against the ratios of their NMR
// frequencies in one reference compound (Harris et al., as above), which
// owe nothing to any table of moments and agree with the moments to a few
// ppm; and each element's abundances adding up to 1.
TEST(Simulation, TheIsotopeTableHoldsThePublishedValues) {
    const struct {
        const char* Name;
        double I, Mu, Abundance;
    } published[] = {
        {"1H", 0.5, Mu1H, 0.999885},
        {"2H", 1, 0.857438228, 0.000115},
        {"6Li", 1, 0.822047, 0.0759},
        {"7Li", 1.5, 3.256427, 0.9241},
        {"13C", 0.5, 0.7024118, 0.0107},
        {"14N", 1, Mu14N, 0.99636},
        {"15N", 0.5, -0.28318884, 0.00364},
        {"17O", 2.5, -1.89379, 0.00038},
        {"19F", 0.5, 2.628868, 1},
        {"23Na", 1.5, 2.217522, 1},
        {"27Al", 2.5, 3.6415069, 1},
        {"29Si", 0.5, -0.55529, 0.04685},
        {"31P", 0.5, 1.13160, 1},
        {"33S", 1.5, 0.6438212, 0.0075},
        {"35Cl", 1.5, 0.8218743, 0.7576},
        {"37Cl", 1.5, 0.6841236, 0.2424},
        {"39K", 1.5, 0.39150731, 0.932581},
        {"40K", 4, -1.2981, 0.000117},
        {"41K", 1.5, 0.21489274, 0.067302},
        {"50V", 6, 3.3456889, 0.00250},
        {"51V", 3.5, Mu51V, 0.99750},
        {"55Mn", 2.5, 3.4532, 1},
        {"59Co", 3.5, 4.627, 1},
        {"63Cu", 1.5, Mu63Cu, 0.6915},
        {"65Cu", 1.5, Mu65Cu, 0.3085},
        {"79Br", 1.5, 2.106400, 0.5069},
        {"81Br", 1.5, 2.270562, 0.4931},
    };
    for (const auto& p : published) {
        SCOPED_TRACE(p.Name);
        const Isotope* i = FindIsotope(p.Name);
        ASSERT_NE(i, nullptr);
        EXPECT_EQ(i->Spin, p.I);
        EXPECT_NEAR(i->GN, p.Mu / p.I, 1e-9 * std::fabs(p.Mu / p.I));
        EXPECT_NEAR(i->Abundance, p.Abundance, 1e-12);
    }
    const struct {
        const char *A, *B;
        double XiA, XiB; // per cent
    } pairs[] = {
        {"1H", "2H", 100.000000, 15.350609},
        {"35Cl", "37Cl", 9.797909, 8.155725},
        {"63Cu", "65Cu", 26.515473, 28.403693},
        {"79Br", "81Br", 25.053980, 27.006518},
    };
    for (const auto& p : pairs) {
        SCOPED_TRACE(p.B);
        const Isotope *a = FindIsotope(p.A), *b = FindIsotope(p.B);
        ASSERT_TRUE(a && b);
        EXPECT_NEAR(b->GN / a->GN, p.XiB / p.XiA, 5e-6 * p.XiB / p.XiA);
    }
    for (const char* element : {"H", "Li", "C", "N", "O", "F", "Na", "Al", "Si", "P", "S", "Cl",
                                "K", "V", "Mn", "Co", "Cu", "Br"}) {
        SCOPED_TRACE(element);
        double sum = 0;
        for (const Isotope* i : IsotopesOf(element)) sum += i->Abundance;
        EXPECT_NEAR(sum, 1, 1e-12);
    }
    EXPECT_EQ(ReferenceIsotope("Li")->Name, "7Li");
}

// Each refused model names the line and the reason, and keeps nothing; a
// model with every item reads back from its own text unchanged.
TEST(Simulation, ModelTextRefusalsAndRoundTrip) {
    const char* const w = "\nwidth 1 G lorentz";
    const struct {
        std::string Text;
        int Line;
        const char* Words;
    } refused[] = {
        {"g 2.0\nnucleus 14X 1 15 G" + std::string(w), 2, "unknown nucleus '14X'"},
        {"g 2.0\nnucleus 12C 1 15 G" + std::string(w), 2, "unknown nucleus '12C'"},
        {"g 2.0\nnucleus 14N 0 15 G" + std::string(w), 2, "the count wants a whole number"},
        {"g 2.0\nnucleus 14N 1 15 Hz" + std::string(w), 2, "MHz, G or mT, not 'Hz'"},
        {"g 2.0\nnucleus 14N 1 15" + std::string(w), 2, "wants 'nucleus"},
        {"g 2.0\nwidth 1 G voigt", 2, "voigt wants its Lorentzian fraction"},
        {"g 2.0\nwidth 1 G voigt 1.5", 2, "the Lorentzian fraction must be from 0 to 1"},
        {"g 2.0\nwidth 0 G lorentz", 2, "the width must be above 0"},
        {"g 2.0\nwidth 1 G cauchy", 2, "lorentz, gauss or voigt, not 'cauchy'"},
        {"g abc" + std::string(w), 1, "g wants a number, not 'abc'"},
        {"g 2.0" + std::string(w) + "\nspecies 0.5\ng 2.1\n", 3, "no width"},
        {"g 2.0\n", 1, "no width"},
        {"frequency 9.4? GHz\ng 2" + std::string(w), 1, "the frequency cannot be fitted"},
        {"# a comment\ng 2" + std::string(w) + "\nfoo 1", 4, "unknown item 'foo'"},
        {"g 2" + std::string(w) + "\nwidth 2 G gauss", 3, "a second width"},
        {"g 2\nwidth 1 G lorentz mI 0.1 0.2 group 3\nnucleus 1H 1 1 G", 1, "group 3 is not given"},
        {"g 2" + std::string(w) + "\nspecies 1" + w + "\nspecies 1" + w + "\nspecies 1" + w +
             "\nspecies 1" + w,
         9, "more than 4 species"},
        {"g 2\nnucleus H 1 1 G\nnucleus H 1 1 G\nnucleus H 1 1 G\nnucleus H 1 1 G\n"
         "nucleus H 1 1 G\nnucleus H 1 1 G\nnucleus H 1 1 G\nnucleus H 1 1 G\nnucleus H 1 1 G",
         10, "more than 8 nucleus groups"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.Text);
        const ModelRead read = ReadModel(r.Text);
        EXPECT_EQ(read.Line, r.Line);
        EXPECT_EQ(read.Refusal.rfind("line " + std::to_string(r.Line) + ": ", 0), 0u)
            << read.Refusal;
        EXPECT_NE(read.Refusal.find(r.Words), std::string::npos) << read.Refusal;
        EXPECT_TRUE(read.Model.Species.empty());
    }
    const std::string full = "frequency 9.41 GHz\nmodulation 0.1 mT\nsignal second\n"
                             "g 2.0058?\nnucleus 14N 1 15.6? G\nnucleus Cu 2 -210 MHz\n"
                             "width 0.09 mT voigt 0.4?= mI 0.005 0.002? group 2\n"
                             "species 0.3?\ng 2.1\nnucleus 1H 6 0.5 mT\nwidth 2 G gauss\n";
    const ModelRead read = ReadModel(full);
    ASSERT_EQ(read.Refusal, "");
    EXPECT_EQ(ModelText(read.Model), full);
    EXPECT_EQ(FreeValueNames(read.Model),
              (std::vector<std::string>{"g", "A1", "eta1", "gamma1", "weight2"}));
}

// One line of each shape against the line fits' own derivative line (its
// peak-to-peak width and Lorentzian fraction, scaled to the same area), and
// the absorption, second derivative and modulated first and second harmonics
// against quadratures of the absorption done here.
TEST(Simulation, LineShapesAndModulation) {
    const struct {
        const char* Shape;
        double Eta;
        const char* Signal;
        double Modulation;
    } cases[] = {
        {"lorentz", 1, "derivative", 0},     {"gauss", 0, "derivative", 0},
        {"voigt 0.4", 0.4, "derivative", 0}, {"voigt 0.4", 0.4, "absorption", 0},
        {"voigt 0.4", 0.4, "second", 0},     {"lorentz", 1, "derivative", 3},
        {"gauss", 0, "derivative", 1.5},     {"voigt 0.7", 0.7, "second", 2},
    };
    const double width = 2, g = 2.0, ghz = 9.5;
    const double centre = ghz * 1000 / (g * BohrMHz);
    std::vector<float> x(2001);
    for (size_t j = 0; j < x.size(); ++j) x[j] = float(centre - 40 + 0.04 * double(j));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Shape) + " " + c.Signal + " " + std::to_string(c.Modulation));
        const std::string text = "g 2.0\nwidth 2 G " + std::string(c.Shape) + "\nsignal " +
                                 c.Signal + "\nmodulation " + std::to_string(c.Modulation) + " G";
        const ModelRead read = ReadModel(text);
        ASSERT_EQ(read.Refusal, "");
        std::vector<double> y(x.size());
        ASSERT_EQ(Simulate(read.Model, x.data(), int(x.size()), ghz, y.data()), "");
        const double area = g; // a lone line of weight 1
        // The absorption of unit area: Lorentzian of half width sqrt(3)/2 w,
        // Gaussian of standard deviation w/2, mixed so that their derivatives'
        // peak-to-peak amplitudes are eta : 1 - eta.
        const double gamma = std::sqrt(3.0) * width / 2, sigma = width / 2;
        const double lpp = 2 * 9 / (8 * std::sqrt(3.0) * std::numbers::pi * gamma * gamma);
        const double gpp = 2 / (sigma * sigma * std::sqrt(2 * std::numbers::pi * std::numbers::e));
        const double wl = c.Eta / lpp / (c.Eta / lpp + (1 - c.Eta) / gpp);
        auto absorption = [&](double d) {
            return area * (wl * gamma / (std::numbers::pi * (gamma * gamma + d * d)) +
                           (1 - wl) * std::exp(-d * d / (2 * sigma * sigma)) /
                               (sigma * std::sqrt(2 * std::numbers::pi)));
        };
        const std::string signal = c.Signal;
        const double h = c.Modulation / 2;
        double worst = 0, top = 0;
        for (size_t j = 0; j < x.size(); ++j) {
            const double d = double(x[j]) - centre;
            double want = 0;
            if (signal == "absorption") {
                want = absorption(d);
            } else if (h > 0) {
                // (2/pi) Int_0^pi A(d + h cos t) cos(k t) dt by Simpson's rule.
                const int k = signal == "second" ? 2 : 1, n = 4000;
                double sum = 0;
                for (int i = 0; i <= n; ++i) {
                    const double t = std::numbers::pi * i / n;
                    sum += (i == 0 || i == n ? 1
                            : i % 2          ? 4
                                             : 2) *
                           absorption(d + h * std::cos(t)) * std::cos(k * t);
                }
                const double harmonic = 2 / std::numbers::pi * sum * std::numbers::pi / (3 * n);
                want = k == 1 ? harmonic / h : 4 * harmonic / (h * h);
            } else if (signal == "second") {
                const double e = 1e-3;
                want = (absorption(d + e) - 2 * absorption(d) + absorption(d - e)) / (e * e);
            } else {
                FittedLine line;
                line.Centre = centre;
                line.Width = width;
                line.Lorentz = c.Eta;
                line.Amplitude = -area / LineIntegral(width, 1, c.Eta);
                want = DerivativeLineAt(line, x[j]);
            }
            worst = std::max(worst, std::fabs(y[j] - want));
            top = std::max(top, std::fabs(want));
        }
        EXPECT_LT(worst, 2e-5 * top);
    }
}

namespace {

// The model's spectrum at x with Gaussian noise of `noise` times its peak to
// peak.
std::vector<float> Noisy(const char* model, const std::vector<float>& x, double ghz, double noise,
                         unsigned seed) {
    std::vector<double> clean(x.size());
    Simulate(ReadModel(model).Model, x.data(), int(x.size()), ghz, clean.data());
    const auto [lo, hi] = std::minmax_element(clean.begin(), clean.end());
    std::mt19937 rng(seed);
    std::normal_distribution<double> n(0, noise * (*hi - *lo));
    std::vector<float> y(x.size());
    for (size_t j = 0; j < x.size(); ++j) y[j] = float(300 * clean[j] + 5 + 300 * n(rng));
    return y;
}

} // namespace

// Six free values from a start 20 % off (g 0.8 G off) on 20 spectra with
// 1 % noise: each value within three of its standard errors of the truth in
// at least 18 of them. Then two spectra of different widths with the
// couplings shared: one value for both, the widths their own.
TEST(Simulation, FitsRecoverTheValuesWithinTheirErrors) {
    const char* truth = "g 2.0058\nnucleus 14N 1 15.6 G\nnucleus 1H 2 3.1 G\n"
                        "nucleus 1H 6 1.3 G\nwidth 0.9 G voigt 0.7\n";
    const double values[] = {2.0058, 15.6, 3.1, 1.3, 0.9, 0.7};
    const SimModel start = ReadModel("g 2.0063?\nnucleus 14N 1 18.72? G\nnucleus 1H 2 2.48? G\n"
                                     "nucleus 1H 6 1.56? G\nwidth 1.08? G voigt 0.56?\n")
                               .Model;
    std::vector<float> x(2500);
    for (size_t j = 0; j < x.size(); ++j) x[j] = float(3335 + 0.04 * double(j));
    int within[6] = {};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const std::vector<float> y = Noisy(truth, x, 9.5, 0.01, seed);
        const SimFit fit = FitModel(start, {{x.data(), y.data(), int(x.size()), 9.5}});
        ASSERT_EQ(fit.Refusal, "");
        SimModel m = fit.Spectra[0].Model;
        int k = 0;
        ForEachValue(m, [&](const std::string&, ModelValue& v) {
            if (v.Free == Freedom::Fixed) return;
            EXPECT_GT(v.Error, 0);
            within[k] += std::fabs(v.Value - values[k]) < 3 * v.Error;
            ++k;
        });
        EXPECT_NEAR(fit.Spectra[0].Scale.Offset, 5, 1);
    }
    for (int k = 0; k < 6; ++k) EXPECT_GE(within[k], 18) << "value " << k;

    const std::vector<float> narrow =
        Noisy("g 2.0058\nnucleus 14N 1 15.6 G\nnucleus 1H 2 3.1 G\nwidth 0.8 G lorentz", x, 9.5,
              0.01, 31);
    const std::vector<float> broad =
        Noisy("g 2.0058\nnucleus 14N 1 15.6 G\nnucleus 1H 2 3.1 G\nwidth 1.6 G lorentz", x, 9.5,
              0.01, 32);
    const SimFit both = FitModel(
        ReadModel("g 2.0058?\nnucleus 14N 1 15? G\nnucleus 1H 2 3.3?= G\nwidth 1.2? G lorentz")
            .Model,
        {{x.data(), narrow.data(), int(x.size()), 9.5},
         {x.data(), broad.data(), int(x.size()), 9.5}});
    ASSERT_EQ(both.Refusal, "");
    ASSERT_EQ(both.Spectra.size(), 2u);
    const NucleusGroup& a = both.Spectra[0].Model.Species[0].Groups[1];
    EXPECT_EQ(a.A.Value, both.Spectra[1].Model.Species[0].Groups[1].A.Value);
    EXPECT_NEAR(a.A.Value, 3.1, 3 * a.A.Error);
    for (size_t s = 0; s < 2; ++s) {
        const ModelValue& w = both.Spectra[s].Model.Species[0].Width;
        EXPECT_NEAR(w.Value, s == 0 ? 0.8 : 1.6, 3 * w.Error);
    }
    EXPECT_EQ(both.Parameters, 7); // g, A1 and the width twice, A2 once
}
