// Isotropic S = 1/2 simulation against an exact diagonalisation of the spin
// Hamiltonian, the model text's refusals, the line shapes, and a fit.
#include "simulation.h"

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

} // namespace

// Stone's moments of the nuclei below, in the test's own words; natural
// copper weighs its isotopologues 69.15 : 30.85 and scales the coupling of
// 65Cu by its moment.
TEST(Simulation, FieldsAndIntensitiesMatchTheExactDiagonalisation) {
    const double mu14N = 0.40376100, mu51V = 5.1487057, mu63 = 2.2273456, mu65 = 2.3816,
                 mu1H = 2.792847351;
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
