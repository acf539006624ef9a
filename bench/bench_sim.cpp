// Simulation of an isotropic spectrum of three groups of nuclei (14N, 2 x 1H,
// 6 x 1H: 63 lines) on 15000 points, as a fit evaluates it many times, and a
// fit of six free values from a start 20 % off.
#include "simulation.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace kivo;

namespace {

constexpr int kPoints = 15000;
constexpr double kGHz = 9.5;

const char* const kTruth = "g 2.0058\n"
                           "nucleus 14N 1 15.6 G\n"
                           "nucleus 1H 2 3.1 G\n"
                           "nucleus 1H 6 1.3 G\n"
                           "width 0.9 G voigt 0.7\n";

std::vector<float> Fields() {
    std::vector<float> x(kPoints);
    for (int j = 0; j < kPoints; ++j) x[size_t(j)] = float(3335 + 100.0 * j / (kPoints - 1));
    return x;
}

void Run(benchmark::State& state, const std::string& text) {
    const SimModel model = ReadModel(text).Model;
    const std::vector<float> x = Fields();
    std::vector<double> y(kPoints);
    for (auto _ : state) {
        const std::string refused = Simulate(model, x.data(), kPoints, kGHz, y.data());
        if (!refused.empty()) state.SkipWithError(refused.c_str());
        benchmark::DoNotOptimize(y.data());
    }
}

void BM_SimulateLorentz(benchmark::State& state) {
    Run(state, "g 2.0058\nnucleus 14N 1 15.6 G\nnucleus 1H 2 3.1 G\nnucleus 1H 6 1.3 G\n"
               "width 0.9 G lorentz\n");
}
BENCHMARK(BM_SimulateLorentz)->Unit(benchmark::kMillisecond);

void BM_SimulateVoigt(benchmark::State& state) {
    Run(state, kTruth);
}
BENCHMARK(BM_SimulateVoigt)->Unit(benchmark::kMillisecond);

void BM_SimulateModulated(benchmark::State& state) {
    Run(state, std::string(kTruth) + "modulation 0.5 G\n");
}
BENCHMARK(BM_SimulateModulated)->Unit(benchmark::kMillisecond);

// g off by 5e-4 (0.8 G), the couplings, the width and the Lorentzian
// fraction 20 % off; noise 1 % of the peak-to-peak amplitude.
void BM_FitSixValues(benchmark::State& state) {
    const std::vector<float> x = Fields();
    std::vector<double> clean(kPoints);
    Simulate(ReadModel(kTruth).Model, x.data(), kPoints, kGHz, clean.data());
    const auto [lo, hi] = std::minmax_element(clean.begin(), clean.end());
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 0.01 * (*hi - *lo));
    std::vector<float> y(kPoints);
    for (int j = 0; j < kPoints; ++j) y[size_t(j)] = float(clean[size_t(j)] + noise(rng));
    const SimModel start = ReadModel("g 2.0063?\n"
                                     "nucleus 14N 1 18.72? G\n"
                                     "nucleus 1H 2 2.48? G\n"
                                     "nucleus 1H 6 1.56? G\n"
                                     "width 1.08? G voigt 0.56?\n")
                               .Model;
    for (auto _ : state) {
        const SimFit fit = FitModel(start, {{x.data(), y.data(), kPoints, kGHz}});
        if (!fit.Refusal.empty()) {
            state.SkipWithError(fit.Refusal.c_str());
            break;
        }
        state.counters["A1"] = fit.Spectra[0].Model.Species[0].Groups[0].A.Value;
        benchmark::DoNotOptimize(fit);
    }
}
BENCHMARK(BM_FitSixValues)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
