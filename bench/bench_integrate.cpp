// The numeric treatments over a full set of spectra: the automatic double
// integration of 20 slots, the subtraction of one base spectrum from the
// other 19 and the linear base-line correction of 20 slots. All of them run
// between two frames, so they have to stay well inside 16 ms.
#include "TYPEKIVO1_3.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace kivo;

namespace {

constexpr int kWindow = 100; // NumAver: points averaged at each end

// 20 first-derivative Lorentzian lines near g = 2 over a 100 G sweep, with
// noise and a sloping base line; every other one recorded with the phase
// turned, so its first integration comes out negative and is run again.
struct Series {
    std::vector<PointBuffer> x, y;
    std::vector<ParamSpec> p;

    Series() : x(MaxSpec), y(MaxSpec), p(MaxSpec) {
        for (int s = 0; s < MaxSpec; ++s) {
            x[s].Allocate();
            y[s].Allocate();
            p[s].NumPoints = MaxPoints;
            p[s].Gain = 2e5;
            p[s].Modulation = 1;
            p[s].StandartRuby = 1e-3L;
            const double centre = 3300 + 0.5 * s, width = 3 + 0.1 * s;
            const double phase = s % 2 ? -1 : 1;
            unsigned noise = 777u + unsigned(s);
            for (int k = 1; k <= MaxPoints; ++k) {
                // Sweeps start a little apart, so the base subtraction interpolates.
                const double b = 3250 + 0.013 * s + k * (100.0 / MaxPoints);
                const double u = (b - centre) / width;
                noise = noise * 1103515245u + 12345u;
                x[s][k] = float(b);
                y[s][k] =
                    float(phase * 2 * u / ((1 + u * u) * (1 + u * u)) * 1e4 +
                          (double((noise >> 16) & 0x7FFF) / 32768 - 0.5) * 20 + 0.05 * (b - 3250));
            }
        }
    }
};

const Series& TheSeries() {
    static const Series series;
    return series;
}

void BM_IntegrateSeries(benchmark::State& state) {
    const Series& series = TheSeries();
    std::vector<ParamSpec> p = series.p;
    int reruns = 0;
    for (auto _ : state) {
        reruns = 0;
        for (int s = 0; s < MaxSpec; ++s) {
            const float* x = series.x[s].Data();
            const float* y = series.y[s].Data();
            const int n = p[s].NumPoints;
            p[s].PhaseSign = 1;
            IntegrationResult r = IntegrateSpectrum(x, y, kWindow, p[s], 1, n, true, 1, n, 1e15);
            if (p[s].DblIntegral < 0) {
                p[s].PhaseSign = -1;
                r = IntegrateSpectrum(x, y, kWindow, p[s], 1, n, true, 1, n, 1e15);
                ++reruns;
            }
            benchmark::DoNotOptimize(r);
        }
        benchmark::ClobberMemory();
    }
    if (reruns != MaxSpec / 2) state.SkipWithError("the phase-turned lines were not rerun");
    state.counters["integrations"] = MaxSpec + reruns;
}
BENCHMARK(BM_IntegrateSeries)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// Slot 1 as the base, taken off slots 2..20.
void BM_SubtractBase(benchmark::State& state) {
    const Series& series = TheSeries();
    PointBuffer r;
    r.Allocate();
    for (auto _ : state) {
        for (int s = 1; s < MaxSpec; ++s) {
            const SubtractionResult res = SubtractInterpolated(
                series.x[s].Data(), series.y[s].Data(), MaxPoints, series.x[0].Data(),
                series.y[0].Data(), MaxPoints, 0.8f, r.Data());
            benchmark::DoNotOptimize(res);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SubtractBase)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The end means, a working copy of the signal and the line taken off it.
void BM_BaseLineSeries(benchmark::State& state) {
    const Series& series = TheSeries();
    PointBuffer work;
    work.Allocate();
    for (auto _ : state) {
        for (int s = 0; s < MaxSpec; ++s) {
            const float* y = series.y[s].Data();
            const long double mL = MeanY(y, 1, kWindow);
            const long double mR = MeanY(y, MaxPoints - kWindow + 1, MaxPoints);
            std::copy(y, y + MaxPoints, work.Data());
            SubtractLine(series.x[s].Data(), work.Data(), kWindow, kWindow, MaxPoints, mR, mL);
            benchmark::DoNotOptimize(work.Data());
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_BaseLineSeries)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

} // namespace

// The smoothing arithmetic alone: the running sum makes a window of 1001
// points cost what a window of 5 does.
void BM_SmoothSeries(benchmark::State& state) {
    const Series& series = TheSeries();
    PointBuffer xo, yo;
    xo.Allocate();
    yo.Allocate();
    const int w = int(state.range(0));
    for (auto _ : state) {
        for (int s = 0; s < MaxSpec; ++s) {
            const int m = SmoothPoints(w, 0, series.x[s].Data(), series.y[s].Data(), MaxPoints,
                                       xo.Data(), yo.Data());
            benchmark::DoNotOptimize(m);
            benchmark::DoNotOptimize(yo.Data());
        }
    }
}
BENCHMARK(BM_SmoothSeries)
    ->Arg(5)
    ->Arg(1001)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
