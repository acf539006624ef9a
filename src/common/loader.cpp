#include "loader.h"
#include "spectrometer_file.h"

#include <algorithm>
#include <utility>

namespace kivo {

namespace {

void Ready(PointBuffer& b) {
    if (!b.Allocated()) b.Allocate();
}

void LoadColumnFile(const std::string& path, int room, const PointChoice& points,
                    const LoadSink& sink) {
    ColumnFileSpectra file = ReadColumnSpectra(path, room, points);
    if (!file.Refusal.empty()) {
        LoadedSpectrum s;
        s.FileName = path;
        s.Caption = ShortName(path);
        s.Refusal = file.Refusal;
        sink.Spectrum(s);
        return;
    }
    for (const std::string& n : file.Notices) sink.Notice(n);
    for (ColumnFileSpectrum& c : file.Spectra) {
        LoadedSpectrum s;
        s.Number = c.Number;
        s.FileName = std::move(c.FileName);
        s.Caption = std::move(c.Caption);
        s.Refusal = std::move(c.Refusal);
        if (s.Refusal.empty()) {
            s.Params = std::move(c.Params);
            s.X.Allocate();
            s.Y.Allocate();
            std::copy(c.X.begin(), c.X.end(), s.X.Data());
            std::copy(c.Y.begin(), c.Y.end(), s.Y.Data());
        }
        sink.Spectrum(s);
    }
}

} // namespace

std::string SweepNoticeOf(std::string_view name, const ReadResult& r, int kept) {
    return r.SweepPoints > 0 && r.Status == ReadStatus::Ok
               ? SweepNotice(name, r.Taken, r.SweepPoints, kept)
               : std::string();
}

void LoadSlice(const SpectrometerFiles& files, int number, LoadedSpectrum& s) {
    Ready(s.X);
    Ready(s.Y);
    s.Params = ParamSpec{};
    SeriesSlice slice = ReadSeriesSlice(files, number, s.Params, s.X.Data(), s.Y.Data());
    s.Slice = number;
    s.SliceValue = slice.Value;
    s.FileName = std::move(slice.FileName);
    s.Refusal = ReadRefusal(slice.Caption, slice.Result, s.Params.NumPoints);
    s.Caption = std::move(slice.Caption);
    s.Sweep = SweepNoticeOf(files.Name, slice.Result, s.Params.NumPoints);
}

void LoadSpectra(const std::string& path, SpectrumRead& read, const SliceChoice* choice, int room,
                 const LoadSink& sink) {
    if (read.Kind == KindDat) return LoadColumnFile(path, room, read.Points, sink);
    if (read.Series) {
        // The slices take turns in one pair of buffers, unless the receiver
        // keeps them: a fresh zeroed pair each would cost more than a short
        // slice's treatment.
        const SpectrometerFiles& f = *read.Series;
        const int slices = f.Header.Slices;
        const std::string said = ReadNotice(f.Name, f.Header.Result);
        if (!said.empty()) sink.Notice(said);
        LoadedSpectrum s;
        bool told = false; // how the slices' sweeps were taken, said once
        auto load = [&](int number) {
            LoadSlice(f, number, s);
            if (!told && !s.Sweep.empty()) sink.Notice(s.Sweep);
            told = told || !s.Sweep.empty();
            sink.Spectrum(s);
        };
        if (!choice) {
            for (int k = 1; k <= slices; ++k) load(k);
            return;
        }
        const std::vector<int> chosen = ChosenSlices(*choice, slices, std::max(room, 1));
        if (int(chosen.size()) < slices)
            sink.Notice(SlicesTakenNotice(f.Name, *choice, int(chosen.size()), slices));
        for (int k : chosen) load(k);
        return;
    }
    LoadedSpectrum s;
    s.FileName = SpectrumFileName(path, read.Kind, 0);
    s.Caption = ShortName(path);
    s.Refusal = ReadRefusal(s.Caption, read.Result, read.Params.NumPoints);
    s.CannotOpen = read.Result.Status == ReadStatus::CannotOpen;
    if (s.Refusal.empty()) {
        const std::string said = ReadNotice(s.Caption, read.Result);
        if (!said.empty()) sink.Notice(said);
        s.Sweep = SweepNoticeOf(s.Caption, read.Result, read.Params.NumPoints);
        if (!s.Sweep.empty()) sink.Notice(s.Sweep);
        s.Params = std::move(read.Params);
        s.X = std::move(read.X);
        s.Y = std::move(read.Y);
    }
    sink.Spectrum(s);
}

void LoadSpectra(const std::string& path, const SliceChoice* choice, int room, const LoadSink& sink,
                 const PointChoice& points) {
    SpectrumRead read;
    PrepareSpectrumRead(path, read);
    read.Points = points;
    if (read.Kind != KindDat) ReadSpectrum(read);
    LoadSpectra(path, read, choice, room, sink);
}

} // namespace kivo
