// Double integration of a spectrum: borders, centre, the four sums, the
// particle count and the count of backward field steps.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

using namespace kivo;

namespace {

using Floats = std::vector<float>; // exactly sized, so the sanitizer sees any overrun

struct Spectrum {
    Floats x, y;
    ParamSpec p;

    Spectrum(Floats xs, Floats ys) : x(std::move(xs)), y(std::move(ys)) {
        p.NumPoints = static_cast<uint16_t>(x.size());
    }
    double X(int j) const { return x.at(static_cast<size_t>(j - 1)); }
    double Y(int j) const { return y.at(static_cast<size_t>(j - 1)); }
    int N() const { return static_cast<int>(x.size()); }
    IntegrationResult Manual(int left, int right, int cs, int ce, double k = 1) {
        return IntegrateSpectrum(x.data(), y.data(), 1, p, cs, ce, false, left, right, k);
    }
    IntegrationResult Automatic(int w, int cs, int ce, double k = 1) {
        return IntegrateSpectrum(x.data(), y.data(), w, p, cs, ce, true, 0, 0, k);
    }
};

// Fields 1, 2, ..., n.
Floats Ramp(int n) {
    Floats x(static_cast<size_t>(n));
    std::iota(x.begin(), x.end(), 1.0f);
    return x;
}

// The integration worked out another way, for spectra too long for hand
// sums. The second integrals are written as weighted sums: a term entering
// the first integral at a point stays in it over the field still to come,
// so its weight is the field distance from that point to the centre.
struct Reference {
    int L = 0, R = 0, c = 0;
    long double left1 = 0, left2 = 0, right1 = 0, right2 = 0;
};

Reference Integrate(const Spectrum& sp, int w, int cs, int ce, int s) {
    Reference r;
    const int n = sp.N();
    // Borders: the first point from each end not below 3 sigma of its end
    // window; the border is the point before it.
    auto threshold = [&](int from, int to) {
        long double sum = 0, squares = 0;
        for (int j = from; j <= to; ++j) sum += sp.Y(j), squares += sp.Y(j) * sp.Y(j);
        const long double mean = sum / w;
        return 3 * std::sqrt(static_cast<double>(squares / w - mean * mean));
    };
    const double tL = threshold(1, w), tR = threshold(n - w + 1, n);
    int firstLoud = 1;
    while (firstLoud <= n && std::fabs(sp.Y(firstLoud)) < tL) ++firstLoud;
    r.L = firstLoud > n ? n : std::max(firstLoud - 1, 1);
    int lastLoud = n;
    while (lastLoud >= 1 && std::fabs(sp.Y(lastLoud)) < tR) --lastLoud;
    r.R = lastLoud < 1 ? 1 : std::min(lastLoud + 1, n);

    // Centre: the first point where the running sum of -s*y peaks above 0.
    std::vector<long double> running(static_cast<size_t>(ce - cs + 1));
    for (int j = cs; j <= ce; ++j) running[static_cast<size_t>(j - cs)] = -s * sp.Y(j);
    std::partial_sum(running.begin(), running.end(), running.begin());
    const auto peak = std::max_element(running.begin(), running.end());
    r.c = *peak > 0 ? cs + static_cast<int>(peak - running.begin()) : 0;

    for (int i = r.L + 1; i <= r.c; ++i) {
        const long double term = -s * sp.Y(i) * (sp.X(i) - sp.X(i - 1));
        r.left1 += term;
        r.left2 += term * (sp.X(r.c) - sp.X(i - 1));
    }
    const int lo = std::max(r.c, 1);
    for (int i = lo; i <= r.R - 1; ++i) {
        const long double term = s * sp.Y(i) * (sp.X(i + 1) - sp.X(i));
        r.right1 += term;
        r.right2 += term * (sp.X(i + 1) - sp.X(lo));
    }
    return r;
}

// The integration exactly as its steps read, one loop after the other: the
// routine interleaves these loops, and must come to the same bits.
Reference Plain(const Spectrum& sp, int L, int R, int cs, int ce, int s) {
    Reference r;
    r.L = L;
    r.R = R;
    long double S = 0, B = 0;
    for (int j = cs; j <= ce; ++j) {
        S = S - s * static_cast<long double>(sp.y[size_t(j - 1)]);
        if (S > B) B = S, r.c = j;
    }
    for (int j = L + 1; j <= r.c; ++j) {
        const double dx = sp.X(j) - sp.X(j - 1);
        r.left1 = r.left1 - s * static_cast<long double>(sp.y[size_t(j - 1)]) * dx;
        r.left2 = r.left2 + r.left1 * dx;
    }
    for (int j = R - 1; j >= std::max(r.c, 1); --j) {
        const double dx = sp.X(j + 1) - sp.X(j);
        r.right1 = r.right1 + s * static_cast<long double>(sp.y[size_t(j - 1)]) * dx;
        r.right2 = r.right2 + r.right1 * dx;
    }
    return r;
}

void ExpectClose(long double actual, long double expected, const char* what) {
    const long double scale = std::max(std::fabs(expected), 1.0L);
    EXPECT_NEAR(static_cast<double>(actual / scale), static_cast<double>(expected / scale), 1e-9)
        << what;
}

// A first-derivative Gaussian line with its negative lobe at the lower field.
Floats GaussianDerivative(const Floats& x, double x0, double sigma, double height = 1) {
    Floats y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const double d = x[i] - x0;
        y[i] = static_cast<float>(height * d * std::exp(-d * d / (2 * sigma * sigma)));
    }
    return y;
}

// Fields 10, 11, 13, 14, 16, 17 (uneven steps), signal 0, -1, -2, 1, 2, 0.
Spectrum SixPoints() {
    return Spectrum({10, 11, 13, 14, 16, 17}, {0, -1, -2, 1, 2, 0});
}

} // namespace

// ---- Sums worked out by hand ----------------------------------------------------

TEST(IntegrateSpectrum, SumsByHand) {
    Spectrum sp = SixPoints();
    sp.p.SumLeft1 = sp.p.SumLeft2 = sp.p.SumRight1 = sp.p.SumRight2 = 999; // stale values
    sp.p.DblIntegral = 999;
    const IntegrationResult r = sp.Manual(1, 6, 1, 6);
    // Running sum of -y: 0, 1, 3, 2, 0, 0: the peak is at point 3.
    EXPECT_EQ(r.Centre, 3);
    EXPECT_EQ(r.Left, 1);
    EXPECT_EQ(r.Right, 6);
    EXPECT_EQ(r.Mist, 0);
    // Left, points 2..3: dx 1 then 2. S1 = 1, 5; S2 = 1, 1 + 5*2 = 11.
    EXPECT_EQ(sp.p.SumLeft1, 5.0L);
    EXPECT_EQ(sp.p.SumLeft2, 11.0L);
    // Right, points 5, 4, 3: dx 1, 2, 1. S1 = 2, 2 + 1*2 = 4, 4 - 2 = 2;
    // S2 = 2, 2 + 4*2 = 10, 10 + 2 = 12.
    EXPECT_EQ(sp.p.SumRight1, 2.0L);
    EXPECT_EQ(sp.p.SumRight2, 12.0L);
    EXPECT_EQ(sp.p.DblIntegral, 23.0L);
}

TEST(IntegrateSpectrum, NoCentreIntegratesTheRightPartDownToPointOne) {
    Spectrum sp = SixPoints();
    sp.p.PhaseSign = -1;
    const IntegrationResult r = sp.Manual(1, 6, 1, 6);
    // Running sum of +y: 0, -1, -3, -2, 0, 0: never above 0.
    EXPECT_EQ(r.Centre, 0);
    EXPECT_EQ(sp.p.SumLeft1, 0.0L);
    EXPECT_EQ(sp.p.SumLeft2, 0.0L);
    // Points 5..1 of -y: dx 1, 2, 1, 2, 1. S1 = -2, -4, -2, 0, 0;
    // S2 = -2, -10, -12, -12, -12.
    EXPECT_EQ(sp.p.SumRight1, 0.0L);
    EXPECT_EQ(sp.p.SumRight2, -12.0L);
    EXPECT_EQ(sp.p.DblIntegral, -12.0L);
}

TEST(IntegrateSpectrum, CentreTakesTheFirstOfEqualPeaks) {
    const struct {
        Floats y;
        int cs, ce, centre;
    } cases[] = {
        {{0, -2, 1, -1, 3}, 1, 5, 2},   // sums 0, 2, 1, 2, -1
        {{-1, 1, -1, 0, 5}, 1, 5, 1},   // sums 1, 0, 1, 1, -4
        {{0, -2, 1, -1, 3}, 3, 5, 0},   // from point 3: -1, 0, -3
        {{0, -2, 1, -1, 3}, 4, 4, 4},   // one point: 1
        {{0, 0, 0, 0, 0}, 1, 5, 0},     // a sum of 0 is not above the start
        {{0, -2, 1, -1, 3}, -5, 99, 2}, // held to 1..5
        {{0, -2, 1, -1, 3}, 40, 50, 0}, // held to 5..5: -3
        {{0, -2, 1, -1, 3}, 4, 2, 0},   // empty range
    };
    for (const auto& c : cases) {
        Spectrum sp(Ramp(5), c.y);
        EXPECT_EQ(sp.Manual(1, 5, c.cs, c.ce).Centre, c.centre) << c.cs << ".." << c.ce;
    }
}

TEST(IntegrateSpectrum, BordersFromTheEndNoise) {
    // w = 2. Left window 1, -2: mean -0.5, sigma 1.5, threshold 4.5. Right
    // window -1, 3: mean 1, sigma 2, threshold 6. The scans compare |y|, not
    // the distance from the mean, and stop at the first point not below.
    Spectrum sp(Ramp(10), {1, -2, 4.2f, -4.4f, 4.5f, -20, 6, -5.5f, -1, 3});
    IntegrationResult r = sp.Automatic(2, 1, 10);
    EXPECT_EQ(r.Left, 4);  // 4.5 is not below 4.5
    EXPECT_EQ(r.Right, 8); // 6 is not below 6
    // Running sum of -y peaks at point 9 (sums -1, 1, -3.2, 1.2, -3.3,
    // 16.7, 10.7, 16.2, 17.2, 14.2): beyond the right border, so the right
    // part is empty and the left part runs over points 5..9 of -y:
    // S1 = -4.5, 15.5, 9.5, 15, 16; S2 = -4.5, 11, 20.5, 35.5, 51.5.
    EXPECT_EQ(r.Centre, 9);
    EXPECT_EQ(sp.p.SumLeft1, 16.0L);
    EXPECT_EQ(sp.p.SumLeft2, 51.5L);
    EXPECT_EQ(sp.p.SumRight1, 0.0L);
    EXPECT_EQ(sp.p.SumRight2, 0.0L);
    EXPECT_EQ(sp.p.DblIntegral, 51.5L);

    // Centre searched over 1..5 only: point 4, the left border itself. The
    // right part runs over points 7..4 of y: S1 = 6, -14, -9.5, -13.9;
    // S2 = 6, -8, -17.5, -31.4.
    r = sp.Automatic(2, 1, 5);
    EXPECT_EQ(r.Centre, 4);
    EXPECT_EQ(sp.p.SumLeft1, 0.0L);
    EXPECT_EQ(sp.p.SumLeft2, 0.0L);
    EXPECT_NEAR(static_cast<double>(sp.p.SumRight1), -13.9, 1e-5);
    EXPECT_NEAR(static_cast<double>(sp.p.SumRight2), -31.4, 1e-5);
    EXPECT_NEAR(static_cast<double>(sp.p.DblIntegral), -31.4, 1e-5);
}

TEST(IntegrateSpectrum, MistCountsBackwardStepsInsideTheBorders) {
    // Backward steps from point 2 to 3 and from point 5 to 6.
    Spectrum sp({1, 2, 1.5f, 3, 4, 3.9f, 5, 6}, Floats(8, 0.0f));
    const struct {
        int left, right, mist, L, R;
    } cases[] = {
        {1, 8, 2, 1, 8}, {3, 5, 0, 3, 5},   {2, 6, 2, 2, 6},
        {2, 5, 1, 2, 5}, {3, 6, 1, 3, 6},   {6, 2, 2, 2, 6}, // crossed borders are swapped
        {4, 4, 0, 4, 4}, {-3, 99, 2, 1, 8},                  // held to 1..8
    };
    for (const auto& c : cases) {
        const IntegrationResult r = sp.Manual(c.left, c.right, 1, 8);
        EXPECT_EQ(r.Mist, c.mist) << c.left << ".." << c.right;
        EXPECT_EQ(r.Left, c.L) << c.left << ".." << c.right;
        EXPECT_EQ(r.Right, c.R) << c.left << ".." << c.right;
    }
    // An all-zero signal has zero thresholds: the borders are the ends.
    const IntegrationResult a = sp.Automatic(3, 1, 8);
    EXPECT_EQ(a.Left, 1);
    EXPECT_EQ(a.Right, 8);
    EXPECT_EQ(a.Mist, 2);
}

TEST(IntegrateSpectrum, ParticleCount) {
    Spectrum sp = SixPoints(); // double integral 23
    sp.p.Gain = 4;
    sp.p.Modulation = 0.25;
    sp.p.StandartRuby = 10;
    sp.Manual(1, 6, 1, 6, 2.5);
    EXPECT_EQ(sp.p.DblIntegral, 23.0L);
    // 23 * 2.5 / 4 / 0.25 / 10
    EXPECT_NEAR(static_cast<double>(sp.p.NumParticles), 5.75, 1e-15);

    sp.p.Gain = 2e5;
    sp.p.Modulation = 1.6;
    sp.p.StandartRuby = 3.2e-4L;
    sp.Manual(1, 6, 1, 6, 1e15);
    // 23e15 / (2e5 * 1.6 * 3.2e-4) = 23e15 / 102.4
    EXPECT_NEAR(static_cast<double>(sp.p.NumParticles), 2.24609375e14, 1e-2);

    // Any factor missing: no count, but the integral is still made, and a
    // count left from before is not kept.
    const struct {
        double gain, modulation;
        long double ruby;
    } missing[] = {{0, 1, 1}, {1, 0, 1}, {1, 1, 0}, {-1, 1, 1}, {1, 1, -2}};
    for (const auto& m : missing) {
        sp.p.Gain = m.gain;
        sp.p.Modulation = m.modulation;
        sp.p.StandartRuby = m.ruby;
        sp.p.NumParticles = 7;
        sp.p.DblIntegral = 0;
        sp.Manual(1, 6, 1, 6, 2.5);
        EXPECT_EQ(sp.p.NumParticles, 0.0L) << m.gain << " " << m.modulation;
        EXPECT_EQ(sp.p.DblIntegral, 23.0L);
    }
}

// ---- Degenerate spectra ------------------------------------------------------------

TEST(IntegrateSpectrum, QuietAndShortSpectra) {
    {
        // Nothing at all: zero thresholds, no centre, nothing summed.
        Spectrum sp(Ramp(7), Floats(7, 0.0f));
        const IntegrationResult r = sp.Automatic(3, 1, 7);
        EXPECT_EQ(r.Left, 1);
        EXPECT_EQ(r.Right, 7);
        EXPECT_EQ(r.Centre, 0);
        EXPECT_EQ(sp.p.DblIntegral, 0.0L);
    }
    {
        // Noise of +-a everywhere: sigma a, thresholds 3a, so every point is
        // below them; the borders cross and both parts are empty.
        Floats y(20);
        for (size_t i = 0; i < y.size(); ++i) y[i] = i % 2 ? 1e-6f : -1e-6f;
        Spectrum sp(Ramp(20), y);
        const IntegrationResult r = sp.Automatic(4, 1, 20);
        EXPECT_EQ(r.Left, 20);
        EXPECT_EQ(r.Right, 1);
        EXPECT_EQ(r.Centre, 1);
        EXPECT_EQ(r.Mist, 0);
        EXPECT_EQ(sp.p.SumLeft1, 0.0L);
        EXPECT_EQ(sp.p.SumRight1, 0.0L);
        EXPECT_EQ(sp.p.DblIntegral, 0.0L);
    }
    {
        // Three points, window 10: the window is the whole spectrum. Mean
        // -1/12, sigma^2 = (0.3403 + 0.8403 + 0.1111) / 3, threshold 1.97.
        Spectrum sp(Ramp(3), {0.5f, -1, 0.25f});
        const IntegrationResult r = sp.Automatic(10, 1, 3);
        EXPECT_EQ(r.Left, 3);
        EXPECT_EQ(r.Right, 1);
        EXPECT_EQ(r.Centre, 2); // sums -0.5, 0.5, 0.25
        EXPECT_EQ(sp.p.DblIntegral, 0.0L);
    }
    {
        // One point.
        Spectrum sp({3300}, {5});
        const IntegrationResult r = sp.Automatic(5, 1, 1);
        EXPECT_EQ(r.Left, 1);
        EXPECT_EQ(r.Right, 1);
        EXPECT_EQ(r.Centre, 0);
        EXPECT_EQ(sp.p.DblIntegral, 0.0L);
    }
    {
        // No points: nothing may be read, so the arrays may be missing.
        ParamSpec p;
        p.DblIntegral = 5;
        const IntegrationResult r = IntegrateSpectrum(nullptr, nullptr, 5, p, 1, 1, true, 1, 1, 1);
        EXPECT_EQ(r.Centre, 0);
        EXPECT_EQ(r.Mist, 0);
        EXPECT_EQ(p.DblIntegral, 0.0L);
    }
}

TEST(IntegrateSpectrum, OutOfRangeArgumentsAreHeld) {
    Spectrum sp = SixPoints();
    const IntegrationResult r = sp.Manual(-4, 60, -5, 100); // as 1..6, 1..6
    EXPECT_EQ(r.Left, 1);
    EXPECT_EQ(r.Right, 6);
    EXPECT_EQ(r.Centre, 3);
    EXPECT_EQ(sp.p.DblIntegral, 23.0L);

    const IntegrationResult s = sp.Manual(6, 1, 1, 6); // crossed borders
    EXPECT_EQ(s.Left, 1);
    EXPECT_EQ(s.Right, 6);
    EXPECT_EQ(sp.p.DblIntegral, 23.0L);

    // Windows are held to 1..6. A window of one point has no spread: zero
    // thresholds, borders at the ends. The whole spectrum as the window:
    // mean 0, sigma^2 = 10/6, threshold 3.87 above every point, so the
    // borders cross and nothing is summed.
    const struct {
        int w, L, R;
        long double integral;
    } windows[] = {{0, 1, 6, 23}, {-3, 1, 6, 23}, {1, 1, 6, 23}, {6, 6, 1, 0}, {400, 6, 1, 0}};
    for (const auto& c : windows) {
        const IntegrationResult a = sp.Automatic(c.w, 1, 6);
        EXPECT_EQ(a.Left, c.L) << "w " << c.w;
        EXPECT_EQ(a.Right, c.R) << "w " << c.w;
        EXPECT_EQ(a.Centre, 3) << "w " << c.w;
        EXPECT_EQ(sp.p.DblIntegral, c.integral) << "w " << c.w;
    }
}

// ---- Lines ----------------------------------------------------------------------

TEST(IntegrateSpectrum, DerivativeLineAndItsMirror) {
    // Fields 1..100, line centre at 60.3: the nearest point is 60.
    const Floats x = Ramp(100);
    Spectrum line(x, GaussianDerivative(x, 60.3, 12));
    IntegrationResult r = line.Manual(1, 100, 1, 100);
    EXPECT_EQ(r.Centre, 60);
    EXPECT_GT(line.p.DblIntegral, 0);
    Reference ref = Integrate(line, 1, 1, 100, 1);
    ExpectClose(line.p.SumLeft2, ref.left2, "left2");
    ExpectClose(line.p.SumRight2, ref.right2, "right2");

    // Upside down the running sum never rises above 0: no centre, the right
    // part runs down to point 1 and the integral comes out negative.
    Floats flipped = line.y;
    for (float& v : flipped) v = -v;
    Spectrum mirror(x, flipped);
    r = mirror.Manual(1, 100, 1, 100);
    EXPECT_EQ(r.Centre, 0);
    EXPECT_EQ(mirror.p.SumLeft1, 0.0L);
    EXPECT_EQ(mirror.p.SumLeft2, 0.0L);
    EXPECT_LT(mirror.p.DblIntegral, 0);
    ref = Integrate(mirror, 1, 1, 100, 1);
    EXPECT_EQ(ref.c, 0);
    ExpectClose(mirror.p.SumRight1, ref.right1, "mirror right1");
    ExpectClose(mirror.p.SumRight2, ref.right2, "mirror right2");

    // The rerun with the phase turned finds the line as the first run did.
    mirror.p.PhaseSign = -1;
    r = mirror.Manual(1, 100, 1, 100);
    EXPECT_EQ(r.Centre, 60);
    EXPECT_GT(mirror.p.DblIntegral, 0);
    EXPECT_EQ(mirror.p.SumLeft1, line.p.SumLeft1);
    EXPECT_EQ(mirror.p.SumLeft2, line.p.SumLeft2);
    EXPECT_EQ(mirror.p.SumRight1, line.p.SumRight1);
    EXPECT_EQ(mirror.p.SumRight2, line.p.SumRight2);
}

TEST(IntegrateSpectrum, SymmetricLineHasEqualHalves) {
    // Fields 0.25..100 in steps of 0.25, centre 50.125 halfway between
    // points 200 and 201, sigma 6: each lobe of -(x - x0) exp(...) holds
    // sigma^2 = 36. The centre point 200 belongs to both halves: the right
    // first integral carries its signal once more than the mirror image of
    // the left, and the right second integral one more step of it.
    Floats x(400);
    for (int j = 1; j <= 400; ++j) x[size_t(j - 1)] = 0.25f * float(j);
    Spectrum sp(x, GaussianDerivative(x, 50.125, 6));
    const IntegrationResult r = sp.Manual(1, 400, 1, 400);
    EXPECT_EQ(r.Centre, 200);
    EXPECT_NEAR(static_cast<double>(sp.p.SumLeft1), 36, 36 * 0.01);
    EXPECT_NEAR(static_cast<double>(sp.p.SumRight1), 36, 36 * 0.01);
    EXPECT_NEAR(static_cast<double>(sp.p.SumRight1 - sp.p.SumLeft1), sp.Y(200) * 0.25, 1e-9);
    EXPECT_NEAR(static_cast<double>(sp.p.SumRight2 - sp.p.SumLeft2),
                static_cast<double>(sp.p.SumRight1) * 0.25, 1e-9);
    // Half the area of the first integral, 36 exp(-u^2 / 2), is
    // sigma^3 sqrt(pi / 2). The left half stops 0.125 short of the centre
    // (less 0.125 * 36) and its rectangle sum leads by one step (0.25 * 36).
    const double half = 36 * 6 * std::sqrt(std::acos(-1.0) / 2);
    EXPECT_NEAR(static_cast<double>(sp.p.SumLeft2), half + 0.125 * 36, half * 0.002);
}

TEST(IntegrateSpectrum, LorentzianAreaMatchesTheAnalyticValue) {
    // -dA/dx of the absorption A = a / (1 + u^2), u = (x - x0) / g, g = 3 G,
    // over 3250..3350 G in 14001 points (h = 1/140 G), the centre 0.3 of a
    // step above the point at 3300 G. The first integral of -y is A less its
    // value at the border, so each half's second integral is the area of A
    // less a rectangle of the border height: over the whole sweep
    // a g (atan uR - atan uL) - A(xL) (xc - xL) - A(xR) (xR - xc).
    const int n = 14001;
    const double a = 1000, g = 3, step = 1.0 / 140, x0 = 3300 + 0.3 * step;
    Floats x(n), y(n);
    for (int j = 1; j <= n; ++j) {
        x[size_t(j - 1)] = static_cast<float>(3250 + step * (j - 1));
        const double u = (x[size_t(j - 1)] - x0) / g;
        y[size_t(j - 1)] = static_cast<float>(a * 2 * u / (g * (1 + u * u) * (1 + u * u)));
    }
    Spectrum sp(x, y);
    const IntegrationResult r = sp.Manual(1, n, 1, n);
    ASSERT_EQ(r.Centre, 7001);
    ASSERT_EQ(sp.X(7001), 3300.0);
    auto A = [&](double xv) { return a / (1 + (xv - x0) * (xv - x0) / (g * g)); };
    const double xL = sp.X(1), xR = sp.X(n), xc = sp.X(7001);
    const double area = a * g * (std::atan((xR - x0) / g) - std::atan((xL - x0) / g)) -
                        A(xL) * (xc - xL) - A(xR) * (xR - xc);
    const double left1 = A(xc) - A(xL), right1 = A(xc) - A(xR);
    EXPECT_NEAR(static_cast<double>(sp.p.DblIntegral), area, area * 0.005);
    EXPECT_NEAR(static_cast<double>(sp.p.SumLeft1), left1, left1 * 0.005);
    EXPECT_NEAR(static_cast<double>(sp.p.SumRight1), right1, right1 * 0.005);
    // The rectangle sums take each point's value for the whole step, so both
    // levels run one step ahead on each side: a lead of about
    // step * (left1 + right1) over the area. With it the match is much closer.
    EXPECT_NEAR(static_cast<double>(sp.p.DblIntegral), area + step * (left1 + right1), area * 5e-5);
}

TEST(IntegrateSpectrum, NoisyLinesAgainstTheReference) {
    // Lines on an offset with noise, both phases, automatic borders and a
    // few centre ranges; each compared with the sums worked out another way.
    const int n = 3000;
    Floats x(n);
    for (int j = 1; j <= n; ++j) x[size_t(j - 1)] = 3250.0f + 0.0333f * float(j);
    unsigned seed = 2024;
    auto noise = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return double((seed >> 16) & 0x7FFF) / 32768 - 0.5;
    };
    for (int phase : {1, -1}) {
        for (double offset : {0.0, 0.4}) {
            Floats y(n);
            for (int j = 1; j <= n; ++j) {
                const double u = (x[size_t(j - 1)] - 3300.2) / 2.5;
                y[size_t(j - 1)] = static_cast<float>(
                    phase * 400 * u / ((1 + u * u) * (1 + u * u)) + offset + 2 * noise());
            }
            Spectrum sp(x, y);
            sp.p.PhaseSign = static_cast<int8_t>(phase);
            for (auto [w, cs, ce] : {std::tuple{100, 1, n}, {40, 1200, 1800}, {250, 1600, 2900}}) {
                const IntegrationResult r = sp.Automatic(w, cs, ce);
                const Reference ref = Integrate(sp, w, cs, ce, phase);
                const auto at = ::testing::Message()
                                << "phase " << phase << " offset " << offset << " w " << w
                                << " centre in " << cs << ".." << ce;
                EXPECT_EQ(r.Left, ref.L) << at;
                EXPECT_EQ(r.Right, ref.R) << at;
                EXPECT_EQ(r.Centre, ref.c) << at;
                EXPECT_EQ(r.Mist, 0) << at;
                EXPECT_GT(ref.L, 1) << at; // the borders are inside the sweep
                EXPECT_LT(ref.R, n) << at;
                ExpectClose(sp.p.SumLeft1, ref.left1, "left1");
                ExpectClose(sp.p.SumLeft2, ref.left2, "left2");
                ExpectClose(sp.p.SumRight1, ref.right1, "right1");
                ExpectClose(sp.p.SumRight2, ref.right2, "right2");
                ExpectClose(sp.p.DblIntegral, ref.left2 + ref.right2, "double integral");
            }
        }
    }
}

TEST(IntegrateSpectrum, SameBitsAsThePlainLoops) {
    // Lines of every phase and place, borders and centre ranges anywhere,
    // lengths around the 64-point marks the halves keep: every sum must be
    // bit for bit what the plain loops give.
    std::mt19937 gen(12345);
    auto uniform = [&gen](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(gen);
    };
    auto point = [&gen](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    const int lengths[] = {1, 2, 3, 63, 64, 65, 127, 129, 700, 3001};
    int cases = 0, withoutCentre = 0, centreOutside = 0;
    for (int round = 0; round < 40; ++round) {
        for (int n : lengths) {
            Floats x(static_cast<size_t>(n)), y(static_cast<size_t>(n));
            double field = uniform(3000, 3400);
            const double x0 = uniform(-0.2, 1.2), width = uniform(0.02, 0.3), tilt = uniform(-3, 3);
            const double noise = uniform(0, 0.3), phase = point(0, 1) ? 1 : -1;
            for (int j = 1; j <= n; ++j) {
                field += uniform(0.001, 0.05) * (point(0, 50) ? 1 : -0.5); // a few backward steps
                const double u = (double(j) / n - x0) / width;
                x[size_t(j - 1)] = float(field);
                y[size_t(j - 1)] = float(phase * 100 * u / ((1 + u * u) * (1 + u * u)) +
                                         tilt * j / n + noise * uniform(-1, 1));
            }
            Spectrum sp(x, y);
            for (int s : {1, -1}) {
                sp.p.PhaseSign = static_cast<int8_t>(s);
                const int left = point(-5, n + 5), right = point(-5, n + 5);
                const int cs = point(-5, n + 5), ce = point(point(0, 3) ? cs : -5, n + 5);
                const IntegrationResult r = sp.Manual(left, right, cs, ce);
                const int L = std::clamp(std::min(left, right), 1, n);
                const int R = std::clamp(std::max(left, right), 1, n);
                const Reference ref =
                    Plain(sp, L, R, std::clamp(cs, 1, n), std::clamp(ce, 1, n), s);
                const auto at = ::testing::Message()
                                << "n " << n << " round " << round << " sign " << s << " borders "
                                << left << ", " << right << " centre in " << cs << ".." << ce;
                ASSERT_EQ(r.Left, L) << at;
                ASSERT_EQ(r.Right, R) << at;
                ASSERT_EQ(r.Centre, ref.c) << at;
                ASSERT_EQ(sp.p.SumLeft1, ref.left1) << at;
                ASSERT_EQ(sp.p.SumLeft2, ref.left2) << at;
                ASSERT_EQ(sp.p.SumRight1, ref.right1) << at;
                ASSERT_EQ(sp.p.SumRight2, ref.right2) << at;
                ASSERT_EQ(sp.p.DblIntegral, ref.left2 + ref.right2) << at;
                ++cases;
                withoutCentre += ref.c == 0;
                centreOutside += ref.c != 0 && (ref.c < L || ref.c > R);
            }
        }
    }
    // The draw covers the odd corners too.
    EXPECT_EQ(cases, 800);
    EXPECT_GT(withoutCentre, 50);
    EXPECT_GT(centreOutside, 20);
}
