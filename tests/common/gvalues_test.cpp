// g values from the frequency, the frequency written in a spectrum's text
// lines, and the field correction on a standard of known g.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <random>

#include <cmath>
#include <string>
#include <vector>

using namespace kivo;

TEST(GValue, FromThePhysicalConstants) {
    // h exact, muB of CODATA 2018; nu in Hz and B in tesla.
    const double h = 6.62607015e-34, muB = 9.2740100783e-24;
    const struct {
        double GHz, Gauss;
    } cases[] = {{9.4012, 3352.0}, {9.5, 3387.7}, {34.0, 12120.5}, {94.1, 33560.0}, {1.2, 428.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.GHz);
        const double g = h * c.GHz * 1e9 / (muB * c.Gauss * 1e-4);
        EXPECT_NEAR(GValue(c.GHz, c.Gauss), g, 1e-6);
        EXPECT_NEAR(ResonanceField(c.GHz, g), c.Gauss, 1e-6 * c.Gauss);
    }
    // No frequency or no field: no g.
    EXPECT_EQ(GValue(0, 3300), 0);
    EXPECT_EQ(GValue(9.4, 0), 0);
    EXPECT_EQ(GValue(9.4, -3300), 0);
    EXPECT_EQ(GText(2.0036), "2.00360");
    EXPECT_EQ(GText(GValue(9.4012, 3352.0)), "2.00386");
}

TEST(FindFrequency, WrittenVariantsAndLookAlikes) {
    const struct {
        const char* Text;
        double GHz; // 0: none found
        size_t At, Length;
    } cases[] = {
        {"9.4012 GHz", 9.4012, 0, 10},
        {"9,4012 GHz", 9.4012, 0, 10},
        {"\xCE\xBD=9.4012GHz", 9.4012, 3, 9},
        {"9.4012 GHz, 293 K, 16 scans", 9.4012, 0, 10},
        {"sample 7, 34.05   ghz", 34.05, 10, 11},
        {"T=293,9.5 GHz", 9.5, 6, 7},
        {"x9 GHZ", 9, 1, 5},
        {"GHz", 0, 0, 0},
        {"at GHz only", 0, 0, 0},
        {"X-band (GHz)", 0, 0, 0},
        {"0 GHz", 0, 0, 0},
        {"0.0 GHz", 0, 0, 0},
        {"2000 GHz", 0, 0, 0},
        {"., GHz", 0, 0, 0},
        {"9.4012 GH z", 0, 0, 0},
        {"9.4012 MHz", 0, 0, 0},
        {"", 0, 0, 0},
        {"GHz 9.4, then 9.6 GHz", 9.6, 14, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        const FrequencyInText f = FindFrequency(c.Text);
        EXPECT_DOUBLE_EQ(f.GHz, c.GHz);
        EXPECT_EQ(f.At, c.At);
        EXPECT_EQ(f.Length, c.Length);
    }
}

TEST(FindFrequency, SpectrumLinesAndTheTypedFrequency) {
    ParamSpec p;
    EXPECT_EQ(FrequencyOf(p), 0);
    p.Line1 = "DPPH 9.40 GHz";
    EXPECT_DOUBLE_EQ(FrequencyOf(p), 9.40);
    p.Line2 = "9.4012 GHz, 293 K";
    EXPECT_DOUBLE_EQ(FrequencyOf(p), 9.4012); // the second line over the first

    // A typed frequency replaces the one written, and nothing else.
    SetFrequency(p, "sample.esr", 9.5);
    EXPECT_EQ(p.Line2, "9.5000 GHz, 293 K");
    EXPECT_EQ(p.Line1, "DPPH 9.40 GHz");
    SetFrequency(p, "sample.esr", 34.123456);
    EXPECT_EQ(p.Line2, "34.123456 GHz, 293 K");

    // An empty history starts with the file's name.
    ParamSpec q;
    SetFrequency(q, "sample.esr", 9.4012);
    EXPECT_EQ(q.Line2, "sample, 9.4012 GHz, ");
    EXPECT_DOUBLE_EQ(FrequencyOf(q), 9.4012);
    q.Line2 = "sample, Norm on Amp, ";
    SetFrequency(q, "sample.esr", 9.3);
    EXPECT_EQ(q.Line2, "sample, Norm on Amp, 9.3000 GHz, ");
    // After a history that does not end in ", " (a spectrometer's conditions).
    q.Line2 = "293 K, 16 scans";
    SetFrequency(q, "sample.esr", 9.3);
    EXPECT_EQ(q.Line2, "293 K, 16 scans, 9.3000 GHz, ");

    // The notes of the corrections replace their earlier copies.
    std::vector<float> x = {3300, 3310};
    q.NumPoints = 2;
    EXPECT_EQ(CorrectFrequency(x.data(), q, "sample.esr", "sample", 9.3 * 1.01), "");
    EXPECT_EQ(CorrectFrequency(x.data(), q, "sample.esr", "sample", 9.3), "");
    EXPECT_EQ(q.Line2, "293 K, 16 scans, 9.3000 GHz, Freq.corr, ");
    EXPECT_NEAR(x[1], 3310, 1e-3);
    ShiftFieldOnStandard(x.data(), q, "sample.esr", DpphG, 1.5);
    ShiftFieldOnStandard(x.data(), q, "sample.esr", DpphG, -0.5);
    EXPECT_EQ(q.Line2, "293 K, 16 scans, 9.3000 GHz, Freq.corr, Field g=2.0036, ");
    EXPECT_FLOAT_EQ(x[0], 3301);
    ParamSpec none;
    none.NumPoints = 2;
    EXPECT_EQ(CorrectFrequency(x.data(), none, "n.esr", "n", 9.3),
              "   n: no frequency, not corrected;");
    EXPECT_EQ(none.Line2, "");
}

namespace {

// A first-derivative Lorentzian of peak-to-peak width w centred at c,
// sampled from `from` in steps of `step`.
void DerivativeLine(std::vector<float>& x, std::vector<float>& y, double from, double step,
                    double c, double w) {
    const double half = w * std::sqrt(3.0) / 2;
    for (size_t k = 0; k < x.size(); ++k) {
        x[k] = float(from + step * double(k));
        const double u = (x[k] - c) / half;
        y[k] = float(-1000 * u / ((1 + u * u) * (1 + u * u)));
    }
}

} // namespace

TEST(StandardShift, RecoversTheShiftOfADpphLine) {
    const double ghz = 9.4012, g = 2.0036;
    const double expected = ResonanceField(ghz, g);
    const double step = 0.25;
    // The line recorded off its field by shifts that fall anywhere between points.
    for (double shift : {-7.3, -1.01, -0.125, 0.0, 0.06, 0.2, 3.37, 12.9}) {
        for (double width : {1.5, 2.7, 6.0}) {
            SCOPED_TRACE(std::to_string(shift) + " G, width " + std::to_string(width));
            std::vector<float> x(800), y(800);
            DerivativeLine(x, y, expected - 100, step, expected + shift, width);
            const int from = int((expected + shift - 4 * width - x[0]) / step);
            const int to = int((expected + shift + 4 * width - x[0]) / step);
            const double found = StandardShift(x.data(), y.data(), from, to, ghz, g);
            EXPECT_NEAR(found, -shift, step / 10);
            // Either order of the cursors.
            EXPECT_DOUBLE_EQ(StandardShift(x.data(), y.data(), to, from, ghz, g), found);
        }
    }
}

TEST(NormaliseOnAcquisition, DividesByTheChosenFactorsOrRefuses) {
    const struct {
        double Gain, Modulation, Power;
        const char* Line2;
        unsigned Factors;
        double Divisor; // 0: refused
        const char* Said;
        const char* After; // Line2 after
    } cases[] = {
        {2e4, 2, 16, "9.4 GHz, 16 scans", AllFactors, 2e4 * 2 * 4 * 16, "",
         "9.4 GHz, 1 scan, Norm by gain*scans*mod*sqrtP, "},
        {2e4, 2, 16, "", FactorGain | FactorPower, 2e4 * 4, "", "s, Norm by gain*sqrtP, "},
        {2e4, 0, 16, "", FactorGain | FactorModulation, 0, "   s: no mod, not normalised;", ""},
        {2e4, 2, 16, "293 K", FactorScans | FactorPower, 0, "   s: no scans, not normalised;",
         "293 K"},
        {0, 2, 0, "1 scan", AllFactors, 0, "   s: no gain, sqrtP, not normalised;", "1 scan"},
        {2e4, 2, 16, "", 0, 0, "   No factor chosen, not normalised ", ""},
        {1, 1, 1, "3 Scans", FactorScans, 3, "", "1 scan, Norm by scans, "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line2 + std::to_string(c.Factors));
        ParamSpec p;
        p.Gain = c.Gain;
        p.Modulation = c.Modulation;
        p.Power = c.Power;
        p.Line2 = c.Line2;
        p.NumPoints = 3;
        std::vector<float> y = {1000, -2000, 5e5};
        const std::vector<float> was = y;
        EXPECT_EQ(NormaliseOnAcquisition(y.data(), p, "s.esr", "s", c.Factors), c.Said);
        EXPECT_EQ(p.Line2, c.After);
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_FLOAT_EQ(y[k], c.Divisor > 0 ? float(was[k] / c.Divisor) : was[k]);
        }
        // The factors used are taken out of the record: a second pass divides by 1.
        if (c.Divisor > 0) {
            const std::vector<float> once = y;
            EXPECT_EQ(NormaliseOnAcquisition(y.data(), p, "s.esr", "s", c.Factors), "");
            EXPECT_EQ(y, once);
        }
    }
    ParamSpec q;
    q.Line1 = "run 7, 25 scans";
    EXPECT_DOUBLE_EQ(ScansOf(q), 25);
    q.Line2 = "4 scans";
    EXPECT_DOUBLE_EQ(ScansOf(q), 4);
    q.Line2 = "scans";
    EXPECT_DOUBLE_EQ(ScansOf(q), 25);
}

TEST(GScale, TicksAtRoundGWhereTheyResonate) {
    const struct {
        double GHz, Lo, Hi;
        int Most;
    } cases[] = {{9.4012, 3200, 3500, 6},   {9.4012, 3345, 3355, 8}, {34.0, 11000, 13000, 5},
                 {9.5, 0, 6000, 8},         {9.5, 6000, 500, 4},     {1.2, 100, 900, 4},
                 {9.4012, 3352, 3352.5, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Lo);
        const std::vector<GTick> ticks = GScaleTicks(c.Lo, c.Hi, c.GHz, c.Most);
        ASSERT_GE(ticks.size(), 2u);
        EXPECT_LE(int(ticks.size()), c.Most);
        const double step = ticks[0].G - ticks[1].G;
        // 1, 2 or 5 times a power of ten.
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
        EXPECT_TRUE(std::abs(mantissa - 1) < 1e-6 || std::abs(mantissa - 2) < 1e-6 ||
                    std::abs(mantissa - 5) < 1e-6)
            << step;
        for (size_t i = 0; i < ticks.size(); ++i) {
            const GTick& t = ticks[i];
            EXPECT_NEAR(GValue(c.GHz, t.Field), t.G, 1e-12 * t.G);
            EXPECT_GE(t.Field, std::min(c.Lo, c.Hi));
            EXPECT_LE(t.Field, std::max(c.Lo, c.Hi));
            EXPECT_EQ(std::stod(t.Text), t.G);
            EXPECT_NEAR(t.G / step, std::round(t.G / step), 1e-6);
            if (i > 0) {
                EXPECT_GT(t.Field, ticks[i - 1].Field);
                EXPECT_NEAR(ticks[i - 1].G - t.G, step, 1e-9 * step);
            }
        }
        // The next smaller step would give more than asked.
        const double gLo = GValue(c.GHz, std::max(c.Lo, c.Hi));
        const double gHi =
            GValue(c.GHz, std::max(std::min(c.Lo, c.Hi), std::max(c.Lo, c.Hi) / 100));
        const double smaller = mantissa < 1.5 ? step / 2 : mantissa < 3 ? step / 2 : step * 0.4;
        EXPECT_GT(std::floor(gHi / smaller + 1e-9) - std::ceil(gLo / smaller - 1e-9) + 1, c.Most);
    }
    // No frequency, no positive field, no room: no scale.
    EXPECT_TRUE(GScaleTicks(3200, 3500, 0, 6).empty());
    EXPECT_TRUE(GScaleTicks(-500, -100, 9.4, 6).empty());
    EXPECT_TRUE(GScaleTicks(3200, 3500, 9.4, 0).empty());
}

// A frequency keeps its digits, up to ten significant figures, through the
// text line, a save and a read; bringing spectra to another frequency leaves
// every g where it was.
TEST(GValues, TheFrequencyKeepsItsDigits) {
    const struct {
        double GHz;
        const char* Text;
    } cases[] = {{9.853627, "9.853627 GHz"},
                 {9.4, "9.4000 GHz"},
                 {9.87654321, "9.87654321 GHz"},
                 {94.0123456789, "94.01234568 GHz"},
                 {0.3, "0.3000 GHz"},
                 {263.1234567891, "263.1234568 GHz"}};
    for (const auto& c : cases) {
        ParamSpec p;
        p.Line2 = "293 K";
        SetFrequency(p, "s.esr", c.GHz);
        EXPECT_EQ(p.Line2, std::string("293 K, ") + c.Text + ", ");
        ParamSpec back;
        ReadEsrHeader(FormatEsrHeader(p), back);
        EXPECT_NEAR(FrequencyOf(back) / c.GHz, 1, 1e-9) << c.Text;

        std::vector<float> x = {3300, 3350.5f, 3400};
        p.NumPoints = 3;
        const double before = GValue(FrequencyOf(p), x[1]);
        ASSERT_EQ(CorrectFrequency(x.data(), p, "s.esr", "s", 9.87654321), "");
        EXPECT_NEAR(GValue(FrequencyOf(p), x[1]) / before, 1, 1e-7) << c.Text; // x is a float
    }
}

// The field standard's line: refused without a frequency, on base-line noise
// alone or a range too short for a line; otherwise centred by a fit whose
// stated error covers the truth, on an offset base line too.
TEST(GValues, TheStandardsLineIsALineOrRefused) {
    const double ghz = 9.4012, truth = 3353.3;
    std::mt19937 rng(36);
    std::normal_distribution<double> noise(0, 30); // 3 % of the peak to peak
    std::vector<float> x(800), y(800);
    for (int k = 0; k < 800; ++k) {
        x[size_t(k)] = float(3300 + 0.125 * k);
        const double u = (x[size_t(k)] - truth) / std::sqrt(3.0) * 2; // 1 G peak to peak
        y[size_t(k)] = float(50 - 1000 * 4 / 3.0 * u / ((1 + u * u) * (1 + u * u)) + noise(rng));
    }
    const int centre = int((truth - 3300) / 0.125);
    const struct {
        const char* What;
        int From, To;
        double GHz;
        bool Refused;
    } cases[] = {{"the line", centre - 60, centre + 60, ghz, false},
                 {"the line, cursors the other way", centre + 40, centre - 40, ghz, false},
                 {"base-line noise", 20, 140, ghz, true},
                 {"two neighbouring points", centre, centre + 1, ghz, true},
                 {"no frequency", centre - 60, centre + 60, 0, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const StandardLine s =
            MeasureStandardLine(x.data(), y.data(), 800, c.From, c.To, c.GHz, DpphG, "s");
        if (c.Refused) {
            EXPECT_EQ(s.Refusal, c.GHz > 0
                                     ? "   No line in the standard's range, field not corrected: s "
                                     : "   No frequency, field not corrected: s ");
            continue;
        }
        ASSERT_EQ(s.Refusal, "");
        EXPECT_GT(s.CentreErr, 0);
        EXPECT_LT(std::fabs(s.Centre - truth), 4 * s.CentreErr) << s.Centre << " " << s.CentreErr;
        EXPECT_NEAR(s.Shift, ResonanceField(ghz, DpphG) - s.Centre, 1e-9);
    }
    // The same line turned over, its minimum first, is no standard's line.
    for (float& v : y) v = 100 - v;
    EXPECT_EQ(
        MeasureStandardLine(x.data(), y.data(), 800, centre - 60, centre + 60, ghz, DpphG, "s")
            .Refusal,
        "   The standard's line is turned over (its minimum first), field not corrected: s ");
}
