// Least squares: polynomial base lines and derivative-line fits on
// synthetic spectra of known lines.
#include "TYPEKIVO1_3.h"
#include "fitting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

using namespace kivo;

namespace {

using Floats = std::vector<float>;

Floats Fields(int n, double from, double to) {
    Floats x(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) x[size_t(j)] = float(from + (to - from) * j / (n - 1));
    return x;
}

// The sum of the lines at the fields, plus Gaussian noise of sigma.
Floats Lines(const Floats& x, const std::vector<FittedLine>& lines, double sigma = 0,
             unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
    Floats y(x.size());
    for (size_t j = 0; j < x.size(); ++j) {
        double v = sigma > 0 ? noise(rng) : 0;
        for (const FittedLine& l : lines) v += DerivativeLineAt(l, x[j]);
        y[j] = float(v);
    }
    return y;
}

FittedLine Line(double centre, double width, double amplitude, double lorentz) {
    FittedLine l;
    l.Centre = centre;
    l.Width = width;
    l.Amplitude = amplitude;
    l.Lorentz = lorentz;
    return l;
}

LineFit Fit(const Floats& x, const Floats& y, LineShape shape, int count) {
    return FitDerivativeLines(x.data(), y.data(), 1, int(x.size()), shape, count);
}

} // namespace

// The straight line through the end windows is today's base line, bit for bit.
TEST(BaseLineOrderTest, OrderOneIsTheLinearBaseLineExactly) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-50, 50);
    struct Case {
        int n, numAver, first, last;
    };
    for (const Case c : {Case{200, 10, 10, 190}, Case{1000, 25, 100, 700}, Case{21, 10, 10, 11},
                         Case{300, 5, 250, 40}}) {
        const Floats x = Fields(c.n, 3000, 3600);
        Floats y(size_t(c.n));
        for (float& v : y) v = value(rng);
        Floats linear = y, ordered = y;
        const PointRange ends{c.first, c.last};
        EXPECT_EQ(SubtractLinearBaseLine(x.data(), linear.data(), c.n, ends, c.numAver, "a"),
                  SubtractBaseLine(x.data(), ordered.data(), c.n, ends, 1, c.numAver, "a"));
        EXPECT_EQ(0, std::memcmp(linear.data(), ordered.data(), linear.size() * sizeof(float)))
            << c.n;
    }
    EXPECT_EQ("", BaseLineNote(1)); // and it leaves no note, as it never did
}

TEST(BaseLineOrderTest, EachOrderRemovesItsPolynomialAndNoLower) {
    const int n = 400;
    const Floats x = Fields(n, 3200, 3500);
    const PointRange ends{100, 300};
    // Order 1 is the straight line through the window means, anchored where
    // NumAver puts it, not a fit (above).
    for (int order : {0, 2, 3, 4, 5}) {
        // A drift of exactly this order, in the scaled field; a Gaussian line,
        // with no tail to speak of, between the cursors.
        Floats y(static_cast<size_t>(n));
        for (int j = 0; j < n; ++j) {
            const double t = (x[size_t(j)] - 3350.0) / 150.0;
            y[size_t(j)] = float(std::pow(t + 0.3, order) * 40 + 5 +
                                 DerivativeLineAt(Line(3350, 10, 100, 0), x[size_t(j)]));
        }
        Floats flat = y;
        ASSERT_EQ("", SubtractBaseLine(x.data(), flat.data(), n, ends, order, 10, "a")) << order;
        for (int j : {0, 50, 99, 300, 350, n - 1})
            EXPECT_NEAR(flat[size_t(j)], DerivativeLineAt(Line(3350, 10, 100, 0), x[size_t(j)]),
                        2e-3)
                << "order " << order << " point " << j;
        if (order >= 2) {
            // One order less leaves the drift's curvature.
            Floats lower = y;
            SubtractBaseLine(x.data(), lower.data(), n, ends, order - 1, 10, "a");
            EXPECT_GT(std::fabs(lower[0] - flat[0]), 0.1) << order;
        }
        EXPECT_EQ("Base line " + std::to_string(order), BaseLineNote(order));
    }
}

TEST(BaseLineOrderTest, CubicDriftLeavesTheEndsFlatToTheNoise) {
    const int n = 2000;
    const double sigma = 0.5;
    const Floats x = Fields(n, 3000, 3600);
    Floats y = Lines(x, {Line(3300, 15, 200, 1)}, sigma, 3);
    for (int j = 0; j < n; ++j) {
        const double t = (x[size_t(j)] - 3300.0) / 300.0;
        y[size_t(j)] += float(30 * t * t * t - 20 * t * t + 12 * t + 7);
    }
    const PointRange ends{500, 1500};
    auto endMeans = [&](Floats s) {
        std::vector<double> means;
        for (int from : {0, 250, 1500, 1750}) {
            double sum = 0;
            for (int j = from; j < from + 250; ++j) sum += s[size_t(j)];
            means.push_back(sum / 250);
        }
        return means;
    };
    Floats cubic = y, linear = y;
    ASSERT_EQ("", SubtractBaseLine(x.data(), cubic.data(), n, ends, 3, 10, "a"));
    SubtractBaseLine(x.data(), linear.data(), n, ends, 1, 10, "a");
    // Quarters of each end: their means within 4 standard errors of zero,
    // after the line's own tail there is taken away.
    const double bound = 4 * sigma / std::sqrt(250.0) + 0.05;
    for (double m : endMeans(cubic)) EXPECT_LT(std::fabs(m), bound);
    double worst = 0;
    for (double m : endMeans(linear)) worst = std::max(worst, std::fabs(m));
    EXPECT_GT(worst, 10 * bound); // the straight line cannot follow a cubic
}

TEST(BaseLineOrderTest, RefusesTooFewPointsOutsideTheCursors) {
    const Floats x = Fields(30, 0, 29);
    Floats y(30, 1.0f);
    const Floats before = y;
    EXPECT_EQ("   s: too few points outside the cursors for Base line 5;",
              SubtractBaseLine(x.data(), y.data(), 30, {2, 29}, 5, 1, "s"));
    EXPECT_EQ(before, y);
    // The end windows' own refusal holds for every order.
    EXPECT_EQ(BaseLineRefusal("s", 30, 20),
              SubtractBaseLine(x.data(), y.data(), 30, {2, 29}, 3, 20, "s"));
    EXPECT_EQ(before, y);
    EXPECT_EQ("", SubtractBaseLine(x.data(), y.data(), 30, {3, 28}, 5, 1, "s"));
    for (float v : y) EXPECT_NEAR(v, 0, 1e-5);
}

TEST(LineFitTest, NoiseFreeLinesComeBackToOnePartInAMillion) {
    const Floats x = Fields(4000, 3300, 3400);
    struct Case {
        LineShape shape;
        std::vector<FittedLine> lines;
    };
    const Case cases[] = {
        {LineShape::Lorentz, {Line(3351.7, 4.2, 1.5e4, 1)}},
        {LineShape::Gauss, {Line(3348.2, 6.5, -300, 0)}},
        {LineShape::Voigt, {Line(3350.3, 5.0, 2.0, 0.3)}},
        {LineShape::Lorentz, {Line(3330, 3, 50, 1), Line(3370, 5, 20, 1)}},
        {LineShape::Voigt, {Line(3330, 4, 10, 0.8), Line(3352, 3, 30, 0.2), Line(3372, 6, 5, 0.5)}},
    };
    for (const Case& c : cases) {
        const LineFit fit = Fit(x, Lines(x, c.lines), c.shape, int(c.lines.size()));
        ASSERT_EQ("", fit.Refusal) << ShapeName(c.shape);
        ASSERT_EQ(c.lines.size(), fit.Lines.size());
        for (size_t k = 0; k < c.lines.size(); ++k) {
            const FittedLine& want = c.lines[k];
            const FittedLine& got = fit.Lines[k];
            EXPECT_NEAR(got.Centre, want.Centre, 1e-6 * want.Width) << k;
            EXPECT_NEAR(got.Width / want.Width, 1, 1e-6) << k;
            EXPECT_NEAR(got.Amplitude / want.Amplitude, 1, 1e-6) << k;
            EXPECT_NEAR(got.Lorentz, want.Lorentz, 1e-6) << k;
            EXPECT_NEAR(got.Integral / LineIntegral(want.Width, want.Amplitude, want.Lorentz), 1,
                        1e-6)
                << k;
        }
        // The points are floats: what is left is their rounding.
        EXPECT_LT(fit.Rms, 1e-6 * std::fabs(c.lines[0].Amplitude));
    }
}

TEST(LineFitTest, NoisyParametersLieWithinThreeStandardErrors) {
    const Floats x = Fields(600, 3300, 3400);
    for (const LineShape shape : {LineShape::Lorentz, LineShape::Gauss, LineShape::Voigt}) {
        const FittedLine want =
            Line(3350.4, 8.3, 100, shape == LineShape::Voigt ? 0.4 : shape == LineShape::Lorentz);
        int within[5] = {}, rmsNear = 0;
        const int trials = 200;
        for (int trial = 0; trial < trials; ++trial) {
            const LineFit fit = Fit(x, Lines(x, {want}, 1.0, unsigned(trial + 1)), shape, 1);
            ASSERT_EQ("", fit.Refusal) << trial;
            const FittedLine& got = fit.Lines[0];
            const double values[][3] = {
                {got.Centre, want.Centre, got.CentreErr},
                {got.Width, want.Width, got.WidthErr},
                {got.Amplitude, want.Amplitude, got.AmplitudeErr},
                {got.Integral, LineIntegral(want.Width, want.Amplitude, want.Lorentz),
                 got.IntegralErr},
                {got.Lorentz, want.Lorentz, shape == LineShape::Voigt ? got.LorentzErr : 1}};
            for (int i = 0; i < 5; ++i)
                within[i] += std::fabs(values[i][0] - values[i][1]) <= 3 * values[i][2];
            rmsNear += std::fabs(fit.Rms - 1.0) < 0.1;
        }
        for (int i = 0; i < 5; ++i)
            EXPECT_GE(within[i], trials * 95 / 100) << ShapeName(shape) << " parameter " << i;
        EXPECT_EQ(rmsNear, trials) << ShapeName(shape);
    }
}

TEST(LineFitTest, OverlappingLinesAreSeparated) {
    const Floats x = Fields(3000, 3300, 3400);
    for (const LineShape shape : {LineShape::Lorentz, LineShape::Gauss}) {
        const double lorentz = shape == LineShape::Lorentz;
        const std::vector<FittedLine> lines = {Line(3345, 6, 80, lorentz),
                                               Line(3354, 6, 50, lorentz)};
        const LineFit fit = Fit(x, Lines(x, lines, 0.5, 11), shape, 2);
        ASSERT_EQ("", fit.Refusal) << ShapeName(shape);
        for (size_t k = 0; k < 2; ++k) {
            EXPECT_NEAR(fit.Lines[k].Centre, lines[k].Centre, 0.1) << k;
            EXPECT_NEAR(fit.Lines[k].Width, lines[k].Width, 0.1) << k;
            EXPECT_NEAR(fit.Lines[k].Amplitude, lines[k].Amplitude, 2) << k;
        }
    }
}

// The fit's integral is the whole line's. "4" integrates from its borders,
// each half from a zero first integral there: of a Lorentzian on +-N widths
// it sees (in u = 2 (x - centre) / width, U = 2N) the share
// (2 sqrt3 atan(U / sqrt3) - 2U / (1 + U^2 / 3)) / (pi sqrt3), on +-20
// widths only 94.9 %; of a Gaussian all of it.
TEST(LineFitTest, IntegralMatchesTheDoubleIntegrationOnTwentyWidths) {
    const double width = 2, centre = 3350, widths = 20;
    const int n = 15000;
    const Floats x = Fields(n, centre - widths * width, centre + widths * width);
    const double u = 2 * widths, root3 = std::sqrt(3.0);
    const double seen =
        (2 * root3 * std::atan(u / root3) - 2 * u / (1 + u * u / 3)) / (M_PI * root3);
    for (const LineShape shape : {LineShape::Lorentz, LineShape::Gauss}) {
        const bool lorentz = shape == LineShape::Lorentz;
        const Floats y = Lines(x, {Line(centre, width, 40, lorentz)});
        const LineFit fit = Fit(x, y, shape, 1);
        ASSERT_EQ("", fit.Refusal);
        ParamSpec p;
        p.NumPoints = uint16_t(n);
        IntegrateSpectrum(x.data(), y.data(), 10, p, 1, n, false, 1, n, 1);
        EXPECT_NEAR(double(p.DblIntegral) / (fit.Lines[0].Integral * (lorentz ? seen : 1)), 1,
                    0.005)
            << ShapeName(shape);
    }
}

TEST(LineFitTest, RefusesWhatItCannotFit) {
    const Floats x = Fields(50, 0, 49);
    const Floats line = Lines(x, {Line(25, 4, 1, 1)});
    const Floats flat(50, 0.0f);
    struct Case {
        const Floats& y;
        int first, last, count;
        LineShape shape;
        const char* words;
    };
    const Case cases[] = {
        {line, 1, 50, 0, LineShape::Lorentz, "   Fit refused: 1 to 6 lines "},
        {line, 1, 50, 7, LineShape::Lorentz, "   Fit refused: 1 to 6 lines "},
        {line, 40, 29, 3, LineShape::Voigt, "   Fit refused: 12 points for 12 parameters "},
        {line, 1, 3, 1, LineShape::Gauss, "   Fit refused: 3 points for 3 parameters "},
        {flat, 1, 50, 1, LineShape::Lorentz, "   Fit refused: no line "},
    };
    for (const Case& c : cases) {
        const LineFit fit =
            FitDerivativeLines(x.data(), c.y.data(), c.first, c.last, c.shape, c.count);
        EXPECT_EQ(c.words, fit.Refusal);
        EXPECT_TRUE(fit.Lines.empty());
    }
    LineShape shape = LineShape::Lorentz;
    EXPECT_TRUE(ReadShapeName("gauss", shape));
    EXPECT_EQ(LineShape::Gauss, shape);
    EXPECT_FALSE(ReadShapeName("Gauss", shape));
    EXPECT_EQ(LineShape::Gauss, shape);
}

// Three lines of different sizes and widths, 1.5 widths apart at least,
// drawn maximum first under noise of 5 % of the largest and a 5 % drift, 24
// draws of each shape: every line is found (its centre within half its
// width), its integral positive all the same.
TEST(LineFitTest, ThreeLinesOnADriftAreAllFound) {
    const Floats x = Fields(1000, 3300, 3400);
    int found = 0;
    for (const LineShape shape : {LineShape::Lorentz, LineShape::Gauss, LineShape::Voigt})
        for (unsigned seed = 1001; seed <= 1024; ++seed) {
            std::mt19937 rng(seed);
            std::uniform_real_distribution<double> u(0, 1);
            std::vector<FittedLine> lines;
            while (lines.size() < 3) {
                const double c = 3315 + 70 * u(rng), w = 2 + 6 * u(rng), a = 0.25 + 0.75 * u(rng);
                if (std::all_of(lines.begin(), lines.end(), [&](const FittedLine& o) {
                        return std::fabs(o.Centre - c) > 1.5 * std::max(o.Width, w);
                    }))
                    lines.push_back(Line(
                        c, w, -a, shape == LineShape::Voigt ? 0.5 : shape == LineShape::Lorentz));
            }
            std::sort(lines.begin(), lines.end(),
                      [](const FittedLine& a, const FittedLine& b) { return a.Centre < b.Centre; });
            const double sigma =
                -0.05 * std::min({lines[0].Amplitude, lines[1].Amplitude, lines[2].Amplitude});
            Floats y = Lines(x, lines, sigma, seed);
            for (size_t j = 0; j < x.size(); ++j) y[j] += float(sigma * (x[j] - 3300) / 100);
            const LineFit fit = Fit(x, y, shape, 3);
            ASSERT_EQ(fit.Refusal, "") << seed;
            int near = 0;
            for (size_t k = 0; k < 3; ++k) {
                near += std::fabs(fit.Lines[k].Centre - lines[k].Centre) < lines[k].Width / 2;
                EXPECT_GT(fit.Lines[k].Integral, 0);
            }
            found += near == 3;
        }
    EXPECT_EQ(found, 72);
}

// A pseudo-Voigt fraction that runs into 0 or 1 is reported at its bound,
// without an error.
TEST(LineFitTest, AFractionAtItsBoundHasNoError) {
    const Floats x = Fields(600, 3300, 3400);
    int bound = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const LineFit fit =
            Fit(x, Lines(x, {Line(3350, 8, 100, seed % 2)}, 1.0, seed), LineShape::Voigt, 1);
        const FittedLine& l = fit.Lines.at(0);
        EXPECT_EQ(l.FractionAtBound, std::fabs(l.Lorentz - seed % 2) < 1e-6) << l.Lorentz;
        const std::string shown =
            " L=" + ShortText(l.Lorentz) + (l.FractionAtBound ? "(bound)" : "+-");
        EXPECT_NE(FitReport(fit, 0)[0].find(shown), std::string::npos) << shown;
        bound += l.FractionAtBound;
    }
    EXPECT_TRUE(bound > 0 && bound < 12) << bound;
}
