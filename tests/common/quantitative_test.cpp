// The quantitative double integral against the analytic area of synthetic
// lines: Gaussian and Lorentzian derivatives of several widths, places and
// phases, on sloping base lines, at three signal-to-noise ratios, each run
// through the straight base line first as a user runs it.
#include "TYPEKIVO1_3.h"
#include "quantitative.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace kivo;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Case {
    bool lorentz;
    double width; // peak to peak, G
    double centre;
    int phase;
    double offset, slope; // of the base line, in peak-to-peak units and per G
};

struct Outcome {
    double error;   // relative distance from the truth (0 inside a Lorentzian's band)
    double signed_; // signed, against the area
    double sigmas;  // |area - truth| / sigma
    bool flagged;
};

// A derivative line on 1024 points over 3250..3450 G with noise of rms
// ptp / sn; its truth is its area (Gaussian) or the band from the
// noise-free double integral over the sweep to the area (Lorentzian).
Outcome Measure(const Case& c, double sn, std::mt19937& rng) {
    constexpr int n = 1024;
    constexpr double area = 1000;
    std::vector<double> xs(n), ys(n);
    for (int j = 0; j < n; ++j) {
        const double x = 3250 + 200.0 * j / (n - 1), d = x - c.centre;
        double v;
        if (c.lorentz) {
            const double g = std::sqrt(3.0) / 2 * c.width;
            v = -area / kPi * 2 * g * d / ((d * d + g * g) * (d * d + g * g));
        } else {
            const double s = c.width / 2;
            v = -d / (s * s) * area / (s * std::sqrt(2 * kPi)) * std::exp(-d * d / (2 * s * s));
        }
        xs[size_t(j)] = x;
        ys[size_t(j)] = c.phase * v;
    }
    const auto [lo, hi] = std::minmax_element(ys.begin(), ys.end());
    const double ptp = *hi - *lo;
    // The noise-free double integral over the whole sweep.
    long double first = 0, second = 0;
    for (int j = 1; j < n; ++j) {
        const long double dx = xs[size_t(j)] - xs[size_t(j - 1)];
        const long double before = first;
        first += 0.5L * (ys[size_t(j)] + ys[size_t(j - 1)]) * dx;
        second += 0.5L * (before + first) * dx;
    }
    const double bandLow = c.lorentz ? double(std::fabs(second)) : area;
    std::normal_distribution<double> noise(0, ptp / sn);
    std::vector<float> x(n), y(n);
    for (int j = 0; j < n; ++j) {
        x[size_t(j)] = float(xs[size_t(j)]);
        y[size_t(j)] =
            float(ys[size_t(j)] + ptp * (c.offset + c.slope * (xs[size_t(j)] - 3350)) + noise(rng));
    }
    EXPECT_EQ(SubtractLinearBaseLine(x.data(), y.data(), n, BaseLineStart(n, 10), 10, "s"), "");
    const QuantitativeIntegral q = IntegrateQuantitative(x.data(), y.data(), n, "s");
    EXPECT_EQ(q.Refusal, "");
    const double got = double(q.Area);
    const double miss = got < bandLow ? bandLow - got : got > area ? got - area : 0;
    return {miss / (got < bandLow ? bandLow : area), got / area - 1, miss / double(q.Sigma),
            q.Flags != 0};
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
    return v[v.size() / 2];
}

} // namespace

TEST(QuantitativeIntegral, SyntheticLinesAgainstTheirAreas) {
    std::mt19937 rng(20261208);
    std::vector<Case> cases;
    for (bool lorentz : {false, true})
        for (double width : {3.0, 7.0, 12.0})
            for (double centre : {3325.0, 3350.0, 3372.0})
                for (int phase : {1, -1})
                    for (const auto& [offset, slope] :
                         {std::pair{0.0, 0.0}, {0.3, 0.0}, {-0.1, 0.002}})
                        cases.push_back({lorentz, width, centre, phase, offset, slope});
    struct Goal {
        double sn, gaussMedian, lorentzMedian;
    };
    for (const Goal goal : {Goal{30, 1, 1}, Goal{100, 0.02, 0.08}, Goal{1000, 0.005, 0.05}}) {
        std::vector<double> gauss, lorentz, ratios;
        int within2 = 0, gaussCount = 0, wrongUnflagged = 0;
        for (const Case& c : cases) {
            const Outcome o = Measure(c, goal.sn, rng);
            (c.lorentz ? lorentz : gauss).push_back(o.error);
            if (!c.lorentz) {
                ++gaussCount;
                within2 += o.sigmas <= 2;
                ratios.push_back(o.sigmas);
            }
            if (goal.sn >= 100 && !o.flagged && o.error > 0.10) {
                ++wrongUnflagged;
                ADD_FAILURE() << "S/N " << goal.sn << (c.lorentz ? " Lorentzian" : " Gaussian")
                              << " width " << c.width << " at " << c.centre << " phase " << c.phase
                              << ": " << o.signed_ << " unflagged";
            }
        }
        std::printf("S/N %5.0f  median |DI q/area - 1|: Gaussian %.4f, Lorentzian %.4f; "
                    "Gaussian within 2 sigma %d of %d, median |error|/sigma %.2f\n",
                    goal.sn, Median(gauss), Median(lorentz), within2, gaussCount, Median(ratios));
        EXPECT_LE(Median(gauss), goal.gaussMedian) << goal.sn;
        EXPECT_LE(Median(lorentz), goal.lorentzMedian) << goal.sn;
        EXPECT_GE(within2 * 10, gaussCount * 9) << goal.sn;
        EXPECT_GE(Median(ratios), 0.3) << goal.sn;
        EXPECT_EQ(wrongUnflagged, 0);
    }
}
