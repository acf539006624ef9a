#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

using namespace kivo;

namespace {

struct Points {
    PointBuffer x, y;
    Points(std::initializer_list<float> xs, std::initializer_list<float> ys) {
        x.Allocate();
        y.Allocate();
        int k = 1;
        for (float v : xs) x[k++] = v;
        k = 1;
        for (float v : ys) y[k++] = v;
    }
    Extrema Range(int from, int to) const { return RangeExtrema(x.Data(), y.Data(), from, to); }
};

} // namespace

TEST(RangeExtrema, TiesGoToTheLastPoint) {
    const Points p({10, 11, 12, 13, 14, 15}, {1, 3, 3, -2, -2, 0});
    const Extrema e = p.Range(1, 6);
    EXPECT_EQ(e.IndexOfMax, 3);
    EXPECT_EQ(e.XAtMax, 12);
    EXPECT_EQ(e.Centre, 13); // (12 + 14) / 2: the later of the two minima
    EXPECT_EQ(e.Amplitude, 5);

    const Points flat({1, 2, 3}, {4, 4, 4});
    const Extrema f = flat.Range(1, 3);
    EXPECT_EQ(f.IndexOfMax, 3);
    EXPECT_EQ(f.Centre, 3);
    EXPECT_EQ(f.Amplitude, 0);
}

TEST(RangeExtrema, ReversedBoundsGiveTheSameResult) {
    const Points p({10, 11, 12, 13, 14, 15}, {1, 3, 3, -2, -2, 0});
    for (auto [a, b] : {std::pair{1, 6}, {4, 6}, {2, 3}, {5, 5}}) {
        const Extrema up = p.Range(a, b), down = p.Range(b, a);
        EXPECT_EQ(up.IndexOfMax, down.IndexOfMax) << a << ".." << b;
        EXPECT_EQ(up.XAtMax, down.XAtMax) << a << ".." << b;
        EXPECT_EQ(up.Centre, down.Centre) << a << ".." << b;
        EXPECT_EQ(up.Amplitude, down.Amplitude) << a << ".." << b;
    }
    const Extrema sub = p.Range(6, 4); // max 0 at point 6, min -2 at point 5
    EXPECT_EQ(sub.IndexOfMax, 6);
    EXPECT_EQ(sub.Centre, 14.5);
    EXPECT_EQ(sub.Amplitude, 2);
}

TEST(RangeExtrema, DifferenceTakenInDouble) {
    const Points p({0, 1}, {1e8f, -1.0f});
    EXPECT_EQ(p.Range(1, 2).Amplitude, 100000001.0); // 1e8f + 1 is 1e8 as float
}

TEST(ParamSpec, ClearKeepsOnlyTheAmplitude) {
    ParamSpec p;
    p.ScanRange = 100;
    p.ExperimTime = 3;
    p.NumPoints = 7;
    p.NumParticles = 1e20L;
    p.Line1 = std::string(3, 'a');
    p.Line2 = std::string(2, 'b');
    p.PhaseSign = -1;
    p.Amplitude = 2.5;
    ClearParamSpec(p);
    EXPECT_EQ(p.ScanRange, 0);
    EXPECT_EQ(p.ExperimTime, 0);
    EXPECT_EQ(p.NumPoints, 0);
    EXPECT_EQ(p.NumParticles, 0);
    EXPECT_TRUE(p.Line1.empty());
    EXPECT_TRUE(p.Line2.empty());
    EXPECT_EQ(p.PhaseSign, 1);
    EXPECT_EQ(p.Amplitude, 2.5);
}

TEST(PointBuffer, AllocateGivesAFreshZeroedBlock) {
    PointBuffer b;
    EXPECT_FALSE(b.Allocated());
    b.Allocate();
    b[1] = 5;
    b[MaxPoints] = 6;
    b.Allocate();
    EXPECT_EQ(b[1], 0);
    EXPECT_EQ(b[MaxPoints], 0);
    b.Release();
    EXPECT_FALSE(b.Allocated());
}
