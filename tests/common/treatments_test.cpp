// Short value texts, the linear base-line correction and the subtraction of
// an interpolated base spectrum.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <vector>

using namespace kivo;

namespace {

using Floats = std::vector<float>; // exactly sized, so the sanitizer sees any overrun

// Point j (1-based) of a vector.
float At(const Floats& v, int j) {
    return v.at(static_cast<size_t>(j - 1));
}

} // namespace

// ---- ShortText ----------------------------------------------------------------

TEST(ShortText, ShortestGeneralText) {
    EXPECT_EQ(ShortText(1.5), "1.5");
    EXPECT_EQ(ShortText(0.1), "0.1");
    EXPECT_EQ(ShortText(0.1 + 0.2), "0.3"); // 0.30000000000000004 at 15 digits
    EXPECT_EQ(ShortText(100), "100");
    EXPECT_EQ(ShortText(0), "0");
    EXPECT_EQ(ShortText(-0.0), "0");
    EXPECT_EQ(ShortText(-2.25), "-2.25");
    EXPECT_EQ(ShortText(123456.7), "123456.7"); // 8 characters: kept whole
    EXPECT_EQ(ShortText(1e20), "1E+20");
    EXPECT_EQ(ShortText(1e15), "1E+15");
    EXPECT_EQ(ShortText(1.5e-7), "1.5E-07");
    EXPECT_EQ(ShortText(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(ShortText(-std::numeric_limits<double>::infinity()), "-INF");
}

// A longer text is the value rounded to about 8 characters: a label must
// never show digits cut out of the middle of a number.
TEST(ShortText, LongTextsAreRounded) {
    const struct {
        double v;
        const char* full; // what the value prints as at 15 digits
        const char* shown;
    } cases[] = {
        {12345.678, "12345.678", "12345.68"},                      // 9
        {3350.1234, "3350.1234", "3350.123"},                      // 9
        {123456789, "123456789", "123456789"},                     // 9, whole: kept
        {0.98765432, "0.98765432", "0.987654"},                    // 10
        {3388.7890625, "3388.7890625", "3388.789"},                // 12
        {3350.1000001, "3350.1000001", "3350.1"},                  // 12: no trailing zeros
        {9999.99996, "9999.99996", "10000"},                       // 10: carries a digit
        {-0.98765432, "-0.98765432", "-0.98765"},                  // 11: the sign counts
        {1.23456789e-5, "1.23456789E-05", "1.23E-05"},             // 14
        {3350.1234567891, "3350.1234567891", "3350.123"},          // 15
        {3350.12345678901, "3350.12345678901", "3350.123"},        // 16
        {-3350.12345678901, "-3350.12345678901", "-3350.12"},      // 17
        {9007199254740992.0, "9.00719925474099E+15", "9.01E+15"},  // 20: exponent kept
        {-9.99999999e-100, "-9.99999999E-100", "-1E-99"},          // carry shortens exponent
        {123456789012345.0, "123456789012345", "123456789012345"}, // 15 whole digits
        {1234567.891, "1234567.891", "1234568"},                   // no room for a decimal
    };
    for (const auto& c : cases) {
        char printed[48];
        std::snprintf(printed, sizeof printed, "%.15G", c.v);
        ASSERT_STREQ(c.full, printed); // the premise of the case
        EXPECT_EQ(ShortText(c.v), c.shown) << c.full;
    }
}

// ---- MeanY --------------------------------------------------------------------

TEST(MeanY, MeanOverTheGivenPoints) {
    const Floats y = {1, 2, 3, 4, 10};
    EXPECT_EQ(MeanY(y.data(), 1, 5), 4.0L);
    EXPECT_EQ(MeanY(y.data(), 2, 4), 3.0L);
    EXPECT_EQ(MeanY(y.data(), 5, 5), 10.0L);
    EXPECT_EQ(MeanY(y.data(), 4, 2), 3.0L);  // reversed bounds
    EXPECT_EQ(MeanY(y.data(), 0, 2), 1.5L);  // point 0 does not exist: from 1
    EXPECT_EQ(MeanY(y.data(), -3, 1), 1.0L); // nothing read below point 1
}

TEST(MeanY, SumsInExtendedPrecision) {
    // 2^60 + 3 needs 61 bits: a double sum drops the ones, a float sum too.
    if (std::numeric_limits<long double>::digits < 64) GTEST_SKIP() << "no extended precision";
    const Floats y = {std::ldexp(1.0f, 60), 1, 1, 1};
    EXPECT_EQ(MeanY(y.data(), 1, 4), (std::ldexp(1.0L, 60) + 3) / 4);
}

// ---- SubtractLine --------------------------------------------------------------

TEST(SubtractLine, LineThroughTheEndMeans) {
    // Fields 2990, 3000, ..., 3110; wL = 4 puts the left anchor at point 2
    // (3000 G), wR = 2 the right one at point 12 (3100 G).
    const int n = 13;
    Floats x(n), y(n, 0.0f);
    for (int j = 1; j <= n; ++j) x[j - 1] = 2990.0f + 10.0f * float(j - 1);
    SubtractLine(x.data(), y.data(), 4, 2, n, 3.0L, 1.0L);
    // The line rises from 1 at 3000 G to 3 at 3100 G: 1 + (X - 3000) / 50.
    for (int j = 1; j <= n; ++j)
        EXPECT_FLOAT_EQ(At(y, j), -(1.0f + (At(x, j) - 3000.0f) / 50.0f)) << "point " << j;
    EXPECT_FLOAT_EQ(At(y, 7), -2.0f); // 3050 G: halfway, 2 taken off
    EXPECT_FLOAT_EQ(At(y, 1), -0.8f); // outside the anchors the line goes on
    EXPECT_FLOAT_EQ(At(y, 13), -3.2f);
}

TEST(SubtractLine, AnchorsFollowTheWindows) {
    // y = 2 + 0.5 * X; with the end means taken at the true anchors the
    // result is zero everywhere. Any other anchor choice would tilt it.
    const int n = 9;
    Floats x(n), y(n);
    auto line = [](float xv) { return 2.0L + 0.5L * xv; };
    for (int j = 1; j <= n; ++j) x[j - 1] = float(j * j); // uneven steps
    const struct {
        int wL, wR, a, b;
    } cases[] = {
        {4, 2, 2, 8},  {5, 3, 2, 8}, // odd windows: whole division
        {1, 0, 1, 9},  {0, 1, 1, 9}, // anchor 0 held at point 1, wR 0: last point
        {30, 6, 9, 6},               // windows wider than the spectrum: held inside
        {2, 40, 1, 1},               // one anchor: same field, mean level only
    };
    for (const auto& c : cases) {
        for (int j = 1; j <= n; ++j) y[j - 1] = float(line(At(x, j)));
        const long double mL = line(At(x, c.a)), mR = line(At(x, c.b));
        SubtractLine(x.data(), y.data(), c.wL, c.wR, n, mR, mL);
        for (int j = 1; j <= n; ++j) {
            const long double expected = c.a == c.b ? line(At(x, j)) - (mL + mR) / 2 : 0.0L;
            EXPECT_NEAR(At(y, j), static_cast<double>(expected), 1e-4)
                << "wL " << c.wL << " wR " << c.wR << " point " << j;
        }
    }
}

TEST(SubtractLine, FlatOffsetAndEqualFields) {
    const int n = 6;
    Floats x = {3000, 3001, 3002, 3003, 3004, 3005};
    Floats y(n, 7.25f);
    SubtractLine(x.data(), y.data(), 2, 2, n, 7.25L, 7.25L);
    for (float v : y) EXPECT_EQ(v, 0.0f);

    // All points at one field: the slope would divide by zero, so the mean
    // of the two end levels, (1 + 3) / 2, is taken off instead.
    Floats same(n, 3300.0f);
    Floats z = {5, 6, 7, 8, 9, 10};
    SubtractLine(same.data(), z.data(), 2, 2, n, 3.0L, 1.0L);
    for (int j = 1; j <= n; ++j) EXPECT_EQ(At(z, j), float(j + 4 - 2)) << j;
}

TEST(SubtractLine, ArithmeticInExtendedPrecision) {
    // y = 2^60 and mL = 2^60 - 0.25: the difference needs 62 bits, more than
    // a double holds, so only an extended-precision subtraction leaves 0.25.
    if (std::numeric_limits<long double>::digits < 64) GTEST_SKIP() << "no extended precision";
    Floats x = {0, 1, 2, 3};
    Floats y(4, std::ldexp(1.0f, 60));
    const long double m = std::ldexp(1.0L, 60) - 0.25L;
    SubtractLine(x.data(), y.data(), 2, 2, 4, m, m);
    for (float v : y) EXPECT_EQ(v, 0.25f);
}

// ---- MapRange -------------------------------------------------------------------

TEST(MapRange, StretchInsideTheFields) {
    const Floats x = {10, 20, 30, 40, 50};
    const struct {
        double lo, hi;
        int first, last;
    } cases[] = {
        {20, 40, 2, 4}, // fields equal to the limits are inside
        {15, 45, 2, 4}, {5, 60, 1, 5},
        {50, 50, 5, 5}, {60, 70, 5, 5}, // nothing at or above lo: the scan stops at n
        {0, 5, 1, 1},                   // nothing at or below hi: the scan stops at 1
        {31, 29, 4, 2},                 // crossed limits are reported as found
    };
    for (const auto& c : cases) {
        const PointRange r = MapRange(x.data(), 5, c.lo, c.hi);
        EXPECT_EQ(r.First, c.first) << c.lo << ".." << c.hi;
        EXPECT_EQ(r.Last, c.last) << c.lo << ".." << c.hi;
    }
}

TEST(MapRange, FieldsWidenedToDouble) {
    // lo just above the float 0.1f: as floats they would compare equal.
    const Floats x = {0.1f, 0.2f, 0.3f};
    const double lo = double(0.1f) + 1e-12;
    const double hi = double(0.3f) - 1e-12;
    const PointRange r = MapRange(x.data(), 3, lo, hi);
    EXPECT_EQ(r.First, 2);
    EXPECT_EQ(r.Last, 2);
    const PointRange one = MapRange(x.data(), 1, 0.0, 1.0);
    EXPECT_EQ(one.First, 1);
    EXPECT_EQ(one.Last, 1);
}

// ---- SubtractInterpolated -------------------------------------------------------

TEST(SubtractInterpolated, IdenticalCopyGivesZeros) {
    const int n = 200;
    Floats x(n), y(n);
    for (int j = 1; j <= n; ++j) {
        x[j - 1] = 3200.0f + 0.37f * float(j);
        y[j - 1] = 1000.0f * std::sin(0.05f * float(j)) + 3.0f;
    }
    Floats r(n, 99.0f);
    const SubtractionResult s =
        SubtractInterpolated(x.data(), y.data(), n, x.data(), y.data(), n, 1.0f, r.data());
    EXPECT_EQ(s.First, 1);
    EXPECT_EQ(s.Count, n);
    for (int j = 1; j <= n; ++j) EXPECT_EQ(At(r, j), 0.0f) << j;
}

TEST(SubtractInterpolated, SpectrumWiderThanTheBase) {
    // Base fields 100..199 (step 1, y = 2x), spectrum fields 90..209 in
    // steps of 1: ten points beyond the base at each end.
    const int nb = 100, ns = 120;
    Floats xb(nb), yb(nb), xs(ns), ys(ns);
    for (int j = 1; j <= nb; ++j) xb[j - 1] = float(99 + j), yb[j - 1] = 2.0f * float(99 + j);
    for (int j = 1; j <= ns; ++j) xs[j - 1] = float(89 + j), ys[j - 1] = 1000.0f + float(j);
    Floats r(ns, 99.0f);
    const SubtractionResult s =
        SubtractInterpolated(xs.data(), ys.data(), ns, xb.data(), yb.data(), nb, 0.5f, r.data());
    EXPECT_EQ(s.First, 11);
    EXPECT_EQ(s.Count, ns - 20);
    for (int j = 1; j <= ns; ++j) {
        const float field = At(xs, j);
        const float expected = field < 100 || field > 199 ? 0.0f : At(ys, j) - 0.5f * 2.0f * field;
        EXPECT_EQ(At(r, j), expected) << "point " << j;
    }
}

TEST(SubtractInterpolated, InterpolatesBetweenBasePoints) {
    // Base (10, 4), (20, 8), (40, 0): at 15 the base is 6, at 12.5 it is 5,
    // at 30 it is 4, at 35 it is 2, at 40 it is 0.
    const Floats xb = {10, 20, 40}, yb = {4, 8, 0};
    const Floats xs = {12.5f, 15, 20, 30, 35, 40}, ys = {1, 1, 1, 1, 1, 1};
    Floats r(6);
    const SubtractionResult s =
        SubtractInterpolated(xs.data(), ys.data(), 6, xb.data(), yb.data(), 3, 2.0f, r.data());
    EXPECT_EQ(s.First, 1);
    EXPECT_EQ(s.Count, 6);
    const float expected[] = {1 - 2 * 5.0f, 1 - 2 * 6.0f, 1 - 2 * 8.0f,
                              1 - 2 * 4.0f, 1 - 2 * 2.0f, 1 - 2 * 0.0f};
    for (int j = 1; j <= 6; ++j) EXPECT_FLOAT_EQ(At(r, j), expected[j - 1]) << j;
}

TEST(SubtractInterpolated, EqualBaseFieldsUseTheMean) {
    // The base starts with two points at 5 G: a point at 5 G sees the mean
    // of their signals, (2 + 6) / 2 = 4.
    const Floats xb = {5, 5, 6}, yb = {2, 6, 0};
    const Floats xs = {5, 5.5f, 6}, ys = {10, 10, 10};
    Floats r(3);
    const SubtractionResult s =
        SubtractInterpolated(xs.data(), ys.data(), 3, xb.data(), yb.data(), 3, 1.0f, r.data());
    EXPECT_EQ(s.Count, 3);
    EXPECT_EQ(At(r, 1), 10.0f - 4.0f);
    EXPECT_EQ(At(r, 2), 10.0f - 3.0f); // halfway from 6 at 5 G to 0 at 6 G
    EXPECT_EQ(At(r, 3), 10.0f - 0.0f);
}

TEST(SubtractInterpolated, NoOverlapAndSinglePointBase) {
    const Floats xb = {100, 110}, yb = {1, 1};
    const Floats below = {10, 20, 30}, above = {200, 300, 400}, ys = {5, 5, 5};
    Floats r(3, 99.0f);
    SubtractionResult s =
        SubtractInterpolated(below.data(), ys.data(), 3, xb.data(), yb.data(), 2, 1, r.data());
    EXPECT_EQ(s.Count, 0);
    EXPECT_EQ(s.First, 4); // every point below the base moves First on
    for (float v : r) EXPECT_EQ(v, 0.0f);

    r.assign(3, 99.0f);
    s = SubtractInterpolated(above.data(), ys.data(), 3, xb.data(), yb.data(), 2, 1, r.data());
    EXPECT_EQ(s.Count, 0);
    EXPECT_EQ(s.First, 1);
    for (float v : r) EXPECT_EQ(v, 0.0f);

    // A base of one point covers its own field only.
    const Floats xb1 = {7}, yb1 = {3}, xs = {6, 7, 8}, ys1 = {1, 5, 1};
    r.assign(3, 99.0f);
    s = SubtractInterpolated(xs.data(), ys1.data(), 3, xb1.data(), yb1.data(), 1, 1, r.data());
    EXPECT_EQ(s.First, 2);
    EXPECT_EQ(s.Count, 1);
    EXPECT_EQ(At(r, 1), 0.0f);
    EXPECT_EQ(At(r, 2), 2.0f);
    EXPECT_EQ(At(r, 3), 0.0f);
}

TEST(SubtractInterpolated, BaseIntervalWalksForwardOnly) {
    // Base (0, 0), (10, 10), (20, 0). The spectrum steps back from 15 G to
    // 5 G: the walk stays on the interval 10..20, whose line gives 15 at 5 G.
    const Floats xb = {0, 10, 20}, yb = {0, 10, 0};
    const Floats xs = {15, 5}, ys = {0, 0};
    Floats r(2);
    const SubtractionResult s =
        SubtractInterpolated(xs.data(), ys.data(), 2, xb.data(), yb.data(), 3, 1, r.data());
    EXPECT_EQ(s.Count, 2);
    EXPECT_EQ(At(r, 1), -5.0f);
    EXPECT_EQ(At(r, 2), -15.0f);
}

TEST(SubtractInterpolated, DenseBaseAgainstDirectInterpolation) {
    // Spectrum and base on different grids over overlapping sweeps; the
    // reference looks the base interval up afresh for every point.
    const int ns = 700, nb = 450;
    Floats xs(ns), ys(ns), xb(nb), yb(nb);
    for (int j = 1; j <= ns; ++j) {
        xs[j - 1] = 3250.0f + 0.13f * float(j);
        ys[j - 1] = 50.0f * std::cos(0.02f * float(j));
    }
    for (int j = 1; j <= nb; ++j) {
        xb[j - 1] = 3262.0f + 0.171f * float(j);
        yb[j - 1] = 20.0f * std::sin(0.03f * float(j)) - 4.0f;
    }
    Floats r(ns);
    const float k = 0.75f;
    const SubtractionResult s =
        SubtractInterpolated(xs.data(), ys.data(), ns, xb.data(), yb.data(), nb, k, r.data());
    int first = 0, count = 0;
    for (int j = 1; j <= ns; ++j) {
        const double x = At(xs, j);
        if (x < At(xb, 1) || x > At(xb, nb)) {
            EXPECT_EQ(At(r, j), 0.0f) << j;
            continue;
        }
        if (first == 0) first = j;
        ++count;
        int i = 1; // last base point not above x, short of the last one
        while (i + 1 < nb && At(xb, i + 1) < x) ++i;
        const double t = (x - At(xb, i)) / (double(At(xb, i + 1)) - At(xb, i));
        const double base = At(yb, i) * (1 - t) + At(yb, i + 1) * t;
        EXPECT_NEAR(At(r, j), At(ys, j) - k * base, 2e-5) << j;
    }
    EXPECT_EQ(s.First, first);
    EXPECT_EQ(s.Count, count);
    EXPECT_GT(count, 400);
    EXPECT_LT(count, ns);
}

// ---- Smoothing and point tools ---------------------------------------------------

namespace {

struct Smoothed {
    Floats x, y;
};
Smoothed Smooth(int w, int r, const Floats& x, const Floats& y) {
    Smoothed s{Floats(x.size()), Floats(y.size())};
    const int m = SmoothPoints(w, r, x.data(), y.data(), int(x.size()), s.x.data(), s.y.data());
    s.x.resize(size_t(m));
    s.y.resize(size_t(m));
    return s;
}
Floats Iota(int n, float from = 1) {
    Floats v(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) v[size_t(k)] = from + float(k);
    return v;
}

} // namespace

TEST(SmoothPoints, MovingAverageShrinksAtTheEnds) {
    const Smoothed s = Smooth(3, 0, Iota(5), {0, 0, 9, 0, 0});
    EXPECT_EQ(s.y, (Floats{0, 3, 3, 3, 0}));
    EXPECT_EQ(s.x, (Floats{1.5f, 2, 3, 4, 4.5f})); // fields averaged alike
    EXPECT_EQ(Smooth(4, 0, Iota(7), Iota(7)).y, Smooth(5, 0, Iota(7), Iota(7)).y);
    EXPECT_EQ(Smooth(1, 0, Iota(4), {3, 1, 4, 1}).y, (Floats{3, 1, 4, 1}));
    EXPECT_EQ(Smooth(0, 0, Iota(4), {3, 1, 4, 1}).y, (Floats{3, 1, 4, 1}));
    // A window wider than the spectrum is the whole spectrum everywhere.
    EXPECT_EQ(Smooth(99, 0, Iota(3), {1, 2, 6}).y, (Floats{3, 3, 3}));
}

TEST(SmoothPoints, RunningSumEqualsTheWindowSummedAfresh) {
    Floats x = Iota(15000, 3000), y(15000);
    uint32_t seed = 12345;
    for (float& v : y) {
        seed = seed * 1664525u + 1013904223u;
        v = float(int(seed >> 8) % 20001 - 10000) * 3.7f + 1e5f;
    }
    for (int w : {5, 1001}) {
        const Smoothed s = Smooth(w, 0, x, y);
        const int h = w / 2;
        for (int i : {0, 1, h, 7000, 14999 - h, 14999}) {
            long double sum = 0;
            int count = 0;
            for (int k = std::max(0, i - h); k <= std::min(14999, i + h); ++k, ++count)
                sum += y[size_t(k)];
            EXPECT_FLOAT_EQ(s.y[size_t(i)], float(sum / count)) << "w " << w << " point " << i;
        }
    }
}

TEST(SmoothPoints, BlocksWhileHalfABlockMoreFits) {
    EXPECT_EQ(Smooth(0, 3, Iota(10), Iota(10)).y, (Floats{2, 5, 8})); // point 10 dropped
    EXPECT_EQ(Smooth(7, 10, Iota(100), Iota(100)).y.size(), 9u);      // W plays no part
    EXPECT_EQ(Smooth(0, 1, Iota(10), Iota(10)).y, Iota(10));
    EXPECT_TRUE(Smooth(0, 9, Iota(10), Iota(10)).y.empty()); // 9 + 4 > 10
}

TEST(EraseBackwardSteps, ComparesWithThePointBeforeInTheUnfilteredSpectrum) {
    Floats x = {1, 2, 3, 2.5f, 4, 5}, y = {10, 20, 30, 25, 40, 50};
    EXPECT_EQ(CountForwardPoints(x.data(), 6), 5);
    ASSERT_EQ(EraseBackwardSteps(x.data(), y.data(), 6), 5);
    EXPECT_EQ(Floats(x.begin(), x.begin() + 5), (Floats{1, 2, 3, 4, 5}));
    EXPECT_EQ(Floats(y.begin(), y.begin() + 5), (Floats{10, 20, 30, 40, 50}));

    Floats x2 = {1, 2, 9, 3, 4}, y2 = {1, 2, 3, 4, 5};
    ASSERT_EQ(EraseBackwardSteps(x2.data(), y2.data(), 5), 4);
    EXPECT_EQ(Floats(x2.begin(), x2.begin() + 4), (Floats{1, 2, 9, 4}));
    Floats falling = {5, 4, 3};
    EXPECT_EQ(CountForwardPoints(falling.data(), 3), 1);
}

TEST(RemoveRun, ClosesUpBehindTheRun) {
    Floats x = Iota(6), y = Iota(6, 10);
    EXPECT_EQ(RemoveRun(x.data(), y.data(), 6, 2, 3), 3);
    EXPECT_EQ(Floats(x.begin(), x.begin() + 3), (Floats{1, 5, 6}));
    EXPECT_EQ(Floats(y.begin(), y.begin() + 3), (Floats{10, 14, 15}));
    EXPECT_EQ(RemoveRun(x.data(), y.data(), 3, 3, 9), 2); // never past the end
}

// The bounds run in eight lanes and a tail: an extreme in any lane, in the
// tail or at the first point is found, for every count around the lanes.
TEST(BoundsOf, ExtremesInEveryLaneAndTheTail) {
    for (int n = 1; n <= 27; ++n)
        for (int at = 0; at < n; ++at) {
            Floats v(size_t(n), 1.0f);
            v[size_t(at)] = -3.5f;
            v[size_t(n - 1 - at)] = at == n - 1 - at ? -3.5f : 7.25f;
            const ValueBounds b = BoundsOf(v.data(), n);
            EXPECT_EQ(b.Lo, -3.5f) << n << " " << at;
            EXPECT_EQ(b.Hi, n == 1 ? -3.5f : (at == n - 1 - at ? 1.0f : 7.25f)) << n << " " << at;
        }
    const Floats negative{-2, -1, -4};
    EXPECT_EQ(SpanWithZero(negative.data(), 3), 4.0L); // zero counts as the top
}
