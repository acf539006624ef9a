// Spins against a standard: a sample recorded under other conditions than
// the standard, its signal made as the physics says those conditions change
// it, must count back to the spins it was made with.
#include "TYPEKIVO1_3.h"
#include "spins.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace kivo;

namespace {

struct Recording {
    ParamSpec p;
    std::vector<float> x, y;
};

// A Gaussian derivative line of the given spins at g on 2048 points, 9.5 GHz,
// recorded with these conditions; the signal is what a spectrometer gives:
// spins * gain * scans * modulation * sqrt(P) * S(S+1) / T * g (* Q).
Recording Record(double spins, double gain, double scans, double mod, double power, double kelvin,
                 const char* spin, double g, double q) {
    Recording r;
    const double ghz = 9.5, centre = ResonanceField(ghz, g);
    const std::string S = spin;
    const double s = S == "1" ? 1.0 : S == "5/2" ? 2.5 : 0.5;
    const double signal = spins * 1e-12 * gain * scans * mod * std::sqrt(power) * s * (s + 1) /
                          kelvin * g * (q > 0 ? q : 1);
    for (int j = 0; j < 2048; ++j) {
        const double x = centre - 100 + 200.0 * j / 2047, d = (x - centre) / 4;
        r.x.push_back(float(x));
        r.y.push_back(float(-signal * d * std::exp(-d * d / 2)));
    }
    r.p.NumPoints = 2048;
    r.p.Gain = gain;
    r.p.Modulation = mod;
    r.p.Power = power;
    r.p.Line1 = "sample";
    r.p.Line2 = FrequencyText(ghz) + ", " + std::to_string(int(kelvin)) + " K, " +
                std::to_string(int(scans)) + " scans, S=" + spin +
                (q > 0 ? ", Q " + std::to_string(int(q)) : std::string());
    return r;
}

} // namespace

TEST(Spins, EachConditionCountsBackToTheSpins) {
    const Recording standard = Record(1e16, 1e4, 4, 1, 2, 293, "1/2", 2.0036, 5000);
    struct Case {
        const char* what;
        double gain, scans, mod, power, kelvin;
        const char* spin;
        double g, q;
    } cases[] = {
        {"the standard's conditions", 1e4, 4, 1, 2, 293, "1/2", 2.0036, 5000},
        {"gain", 4e5, 4, 1, 2, 293, "1/2", 2.0036, 5000},
        {"scans", 1e4, 25, 1, 2, 293, "1/2", 2.0036, 5000},
        {"modulation", 1e4, 4, 0.25, 2, 293, "1/2", 2.0036, 5000},
        {"power", 1e4, 4, 1, 20, 293, "1/2", 2.0036, 5000},
        {"temperature", 1e4, 4, 1, 2, 77, "1/2", 2.0036, 5000},
        {"spin", 1e4, 4, 1, 2, 293, "5/2", 2.0036, 5000},
        {"g", 1e4, 4, 1, 2, 293, "1/2", 4.3, 5000},
        {"Q", 1e4, 4, 1, 2, 293, "1/2", 2.0036, 2100},
        {"all at once", 2e3, 1, 2, 0.5, 10, "1", 1.98, 7000},
    };
    QuantitativeIntegral qs;
    const SpinSide reference =
        SpinSideOf(standard.x.data(), standard.y.data(), standard.p, 0, "std", qs);
    ASSERT_EQ(qs.Refusal, "");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Recording sample =
            Record(3e15, c.gain, c.scans, c.mod, c.power, c.kelvin, c.spin, c.g, c.q);
        QuantitativeIntegral q;
        const SpinCount n = CountSpinsOf(sample.x.data(), sample.y.data(), sample.p, 0, reference,
                                         1e16, 2e14, 50, "s", q);
        ASSERT_EQ(n.Refusal, "");
        EXPECT_NEAR(double(n.Spins) / 3e15, 1, 2e-3);
        // The standard's own 2 % dominates the uncertainty of noise-free lines.
        EXPECT_NEAR(double(n.SpinsErr / n.Spins), 0.02, 1e-3);
        EXPECT_NEAR(n.Micromolar, 3e15 / 6.02214076e23 / 50e-6 * 1e6, 2e-3 * n.Micromolar);
        EXPECT_EQ(n.Factors.size(), 8u);
    }

    // A factor the sample lacks is named and nothing is guessed.
    Recording bare = Record(3e15, 1e4, 4, 1, 2, 293, "1/2", 2.0036, 0);
    bare.p.Line2 = FrequencyText(9.5);
    bare.p.Power = 0;
    QuantitativeIntegral q;
    const SpinCount refused =
        CountSpinsOf(bare.x.data(), bare.y.data(), bare.p, 0, reference, 1e16, 0, 0, "s", q);
    EXPECT_EQ(refused.Refusal, "   s: no scans of the sample, no power of the sample, no "
                               "temperature of the sample, no spins counted;");
    EXPECT_EQ(refused.Spins, 0);
    // Given on the command line, the temperature is taken; Q, which only one gives, is left out.
    bare.p.Power = 2;
    bare.p.Line2 += ", 4 scans";
    const SpinCount given =
        CountSpinsOf(bare.x.data(), bare.y.data(), bare.p, 293, reference, 1e16, 0, 0, "s", q);
    EXPECT_EQ(given.Refusal, "");
    EXPECT_EQ(given.Factors.size(), 7u);
    // Made without Q (as if it were 1), against the standard's 5000 left in.
    EXPECT_NEAR(double(given.Spins) / 3e15, 1.0 / 5000, 1e-6);
}
