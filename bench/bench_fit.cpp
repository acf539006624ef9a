// A three-line pseudo-Voigt fit over 15000 points, with noise: the fit runs
// when the user accepts the range, so it has to come back at once (well
// under 50 ms).
#include "fitting.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

using namespace kivo;

namespace {

constexpr int kPoints = 15000;

struct Spectrum {
    std::vector<float> x, y;
    Spectrum() : x(kPoints), y(kPoints) {
        std::mt19937 rng(5);
        std::normal_distribution<double> noise(0, 0.3);
        FittedLine lines[3];
        const double centres[] = {3320, 3345, 3372}, widths[] = {5, 4, 7},
                     amplitudes[] = {60, 100, 30}, fractions[] = {0.7, 0.3, 0.5};
        for (int k = 0; k < 3; ++k) {
            lines[k].Centre = centres[k];
            lines[k].Width = widths[k];
            lines[k].Amplitude = amplitudes[k];
            lines[k].Lorentz = fractions[k];
        }
        for (int j = 0; j < kPoints; ++j) {
            x[size_t(j)] = float(3280 + 130.0 * j / (kPoints - 1));
            double v = noise(rng);
            for (const FittedLine& l : lines) v += DerivativeLineAt(l, x[size_t(j)]);
            y[size_t(j)] = float(v);
        }
    }
};

void BM_VoigtThreeLines(benchmark::State& state) {
    static const Spectrum s;
    for (auto _ : state) {
        LineFit fit = FitDerivativeLines(s.x.data(), s.y.data(), 1, kPoints, LineShape::Voigt, 3);
        if (!fit.Refusal.empty()) state.SkipWithError(fit.Refusal.c_str());
        benchmark::DoNotOptimize(fit);
    }
}
BENCHMARK(BM_VoigtThreeLines)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
