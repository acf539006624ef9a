#include "decimation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <vector>

using namespace kivo;

namespace {

// 5000 points over 100 pixel columns (about 50 a column): noise of a few
// pixels, single-point spikes up and down, and a point that is not a number.
struct NoisyLine {
    std::vector<PlotPoint> points;
    AxisScale x{0, 5000, 100, 10, false};
    AxisScale y{-50, 100, 200, 210, true};
    NoisyLine() {
        unsigned seed = 12345;
        for (int k = 0; k < 5000; ++k) {
            seed = seed * 1103515245u + 12345u;
            const double noise = double((seed >> 16) & 0x7FFF) / 32768 - 0.5;
            points.push_back({double(k), 10 * std::sin(k / 300.0) + 3 * noise});
        }
        points[777].Y = 45;   // a spike up, alone in its column
        points[2500].Y = -48; // and one down
        points[3001].Y = NAN;
    }
    ScaledPoints Pixels() const { return {points.data(), x, y}; }
    std::vector<KeptPoint> Thin(int first, int last) const {
        std::vector<KeptPoint> kept;
        LinePoints(Pixels(), first, last, kept);
        return kept;
    }
};

std::vector<int> Indices(const std::vector<KeptPoint>& kept) {
    std::vector<int> out;
    for (const KeptPoint& k : kept) out.push_back(k.Index);
    return out;
}

} // namespace

TEST(LineThinning, KeepsTheEndsAndExtremesOfEveryColumn) {
    const NoisyLine line;
    const std::vector<KeptPoint> kept = line.Thin(0, 5000);
    const ScaledPoints pixels = line.Pixels();
    // Columns centred on whole pixels; the point that is not a number alone.
    std::map<double, std::vector<int>> columns;
    for (int k = 0; k < 5000; ++k)
        if (k != 3001) columns[std::floor(pixels[k].X + 0.5)].push_back(k);
    const std::vector<int> indices = Indices(kept);
    const std::set<int> keptAt(indices.begin(), indices.end());
    ASSERT_EQ(keptAt.size(), kept.size()) << "a point kept twice";
    EXPECT_TRUE(keptAt.count(3001));
    for (const auto& [column, members] : columns) {
        // The gap splits its column in two.
        std::vector<std::vector<int>> parts(1);
        for (int k : members) {
            if (!parts.back().empty() && parts.back().back() < 3001 && k > 3001)
                parts.emplace_back();
            parts.back().push_back(k);
        }
        for (const std::vector<int>& part : parts) {
            double top = INFINITY, bottom = -INFINITY, keptTop = INFINITY, keptBottom = -INFINITY;
            int inPart = 0;
            for (int k : part) {
                top = std::min(top, pixels[k].Y);
                bottom = std::max(bottom, pixels[k].Y);
                if (!keptAt.count(k)) continue;
                ++inPart;
                keptTop = std::min(keptTop, pixels[k].Y);
                keptBottom = std::max(keptBottom, pixels[k].Y);
            }
            EXPECT_TRUE(keptAt.count(part.front())) << column;
            EXPECT_TRUE(keptAt.count(part.back())) << column;
            EXPECT_EQ(keptTop, top) << column;
            EXPECT_EQ(keptBottom, bottom) << column;
            EXPECT_LE(inPart, 4) << column;
        }
    }
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(kept[i - 1].Index, kept[i].Index);
        }
        if (kept[i].Index == 3001) continue;
        EXPECT_EQ(kept[i].X, pixels[kept[i].Index].X);
        EXPECT_EQ(kept[i].Y, pixels[kept[i].Index].Y);
    }
    EXPECT_LT(kept.size(), 450u);
}

TEST(LineThinning, AStretchTakenFromTheWholeLineAsOnItsOwn) {
    const NoisyLine line;
    const std::vector<KeptPoint> whole = line.Thin(0, 5000);
    // Stretches cut inside columns, a column alone, one point, around the gap.
    for (auto [first, last] : std::vector<std::pair<int, int>>{
             {0, 5000}, {13, 4987}, {776, 778}, {777, 778}, {60, 99}, {2990, 3010}, {3001, 3002}}) {
        std::vector<KeptPoint> within;
        LinePointsWithin(line.Pixels(), first, last, whole, within);
        EXPECT_EQ(Indices(within), Indices(line.Thin(first, last))) << first << ".." << last;
    }
}

TEST(DotPixels, LightTheNearestPixelOfEveryDotOnceWithinTheArea) {
    const AxisScale x{0, 10, 10, 100, false}, y{0, 10, 10, 60, true};
    // Pixels x = 100 + v, y = 60 - v: the area is x 100..109, y 50..59.
    const std::vector<PlotPoint> points{
        {2.2, 3.3}, {2.4, 3.1}, // one pixel (102, 57)
        {2.5, 3.5},             // halves go away from zero: (103, 57)
        {-0.6, 3},              // left of the area
        {9.4, 9.4},             // its last pixel (109, 51)
        {5, NAN},               // nowhere
    };
    DotPixels dots;
    dots.Start({100, 50, 10, 10}, {{0, 0}});
    dots.Add(ScaledPoints{points.data(), x, y}, 0, int(points.size()));
    std::set<std::pair<int, int>> lit;
    for (const PixelPoint& p : dots.Lit()) lit.insert({p.X, p.Y});
    EXPECT_EQ(lit.size(), dots.Lit().size()) << "a pixel listed twice";
    EXPECT_EQ(lit, (std::set<std::pair<int, int>>{{102, 57}, {103, 57}, {109, 51}}));

    // A disc just left of the area lights the one pixel of it inside.
    dots.Start({100, 50, 10, 10}, {{0, 0}, {1, 0}, {-1, 0}, {0, 1}, {0, -1}});
    const PlotPoint outside{-1, 5};
    dots.Add(ScaledPoints{&outside, x, y}, 0, 1);
    ASSERT_EQ(dots.Lit().size(), 1u);
    EXPECT_EQ(std::make_pair(dots.Lit()[0].X, dots.Lit()[0].Y), std::make_pair(100, 55));
}
