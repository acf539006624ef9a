// Any two-dimensional BES3T or ESP/WinEPR header with any data and axis
// bytes (the axis bytes serve as the .XGF and the .YGF file): every slice is
// read, as kivo-batch reads them, and the slices a read would offer are
// chosen. Nothing may crash, read past the bytes given or take a slice
// outside the file, and every slice taken is a spectrum Kivo can hold.
#include "TYPEKIVO1_3.h"
#include "fuzz_spectrometer.h"

#include <cmath>
#include <cstdlib>
#include <memory>

namespace {

using namespace kivo;

void ReadEverySlice(const SpectrometerHeader& h, const SpectrometerInput& in) {
    if (h.Result.Status != ReadStatus::Ok || h.Slices < 2) return;
    SpectrometerFiles f;
    f.Header = h;
    f.Name = "coal";
    f.Path = "coal.DSC";
    f.Data = in.Data;
    f.Axis = in.Axis;
    f.SliceAxis = in.Axis;
    f.Values = SliceValues(h, f.SliceAxis);
    if (f.Values.size() != size_t(h.Slices)) std::abort();
    for (double v : f.Values)
        if (!std::isfinite(v)) return; // the pair's reader refuses it here
    f.ValueStep = SliceStep(f.Values);
    static const auto x = std::make_unique<float[]>(MaxPoints);
    static const auto y = std::make_unique<float[]>(MaxPoints);
    // Data short of the slices promised refuses each of them alike: the first
    // and the last stand for all.
    const bool whole = in.Data.size() >= h.DataBytes();
    for (int k = 1; k <= h.Slices; k = whole || k == h.Slices ? k + 1 : h.Slices) {
        ParamSpec p;
        const SeriesSlice s = ReadSeriesSlice(f, k, p, x.get(), y.get());
        const bool ok = s.Result.Status == ReadStatus::Ok;
        if (ok != (p.NumPoints >= 2) || p.NumPoints > MaxPoints || (ok && !whole)) std::abort();
        if (!ok && s.Result.Reason.empty()) std::abort();
        if (s.Number != k || s.Value != f.Values[size_t(k - 1)] || s.Caption.empty()) std::abort();
        for (int i = 0; i < p.NumPoints; ++i)
            if (!std::isfinite(x[i]) || !std::isfinite(y[i])) std::abort();
    }
    for (int room : {1, 7, MaxSpec}) {
        const SliceChoice c = DefaultSlices(h.Slices, room);
        const std::vector<int> chosen = ChosenSlices(c, h.Slices, room);
        if (chosen.empty() || int(chosen.size()) > room) std::abort();
        for (int k : chosen)
            if (k < 1 || k > h.Slices) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SpectrometerInput in = SplitInput(data, size);
    ReadEverySlice(ReadBes3tDescriptor(in.Text), in);
    ReadEverySlice(ReadEspParameters(in.Text), in);
    return 0;
}
