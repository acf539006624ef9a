// One loader for both programs: the spectra of any file Kivo reads (a
// spectrum file, a spectrometer's pair, one of its series, a column file),
// each with the name it is saved under and its caption, or a refusal in the
// words the mode line and the batch's status both use.
#pragma once

#include <functional>
#include <string>

#include "column_file.h"
#include "series.h"
#include "treatments.h"

namespace kivo {

// One spectrum of a file, or the refusal of it (or of the whole file).
struct LoadedSpectrum {
    int Number = 0;          // a column file's spectrum (from 1), else 0
    int Slice = 0;           // a series' slice (from 1), else 0
    double SliceValue = 0;   // its value on the series' second axis
    std::string FileName;    // where it is saved by default; what starts its history
    std::string Caption;     // its box's caption, the batch's caption column
    std::string Refusal;     // "" when Params, X and Y hold the spectrum
    bool CannotOpen = false; // refused because the file could not be opened
    std::string Sweep;       // how a long sweep was taken (SweepNotice); "" when whole
    ParamSpec Params;
    PointBuffer X, Y; // the receiver may take them; new ones are made then
};

// Where the loader hands what it finds, in the file's order: notices (what
// was left out of a file that is read) and spectra, each as soon as it is
// made, so a series of a million slices never holds more than one.
struct LoadSink {
    std::function<void(const std::string&)> Notice;
    std::function<void(LoadedSpectrum&)> Spectrum;
};

// The spectra of the file at path, read already into read (PrepareSpectrumRead
// and ReadSpectrum; a column file is read here): at most room of them; of a
// series the slices choice takes (null: every slice, room not applied).
void LoadSpectra(const std::string& path, SpectrumRead& read, const SliceChoice* choice, int room,
                 const LoadSink& sink);
// The same, reading the file first, its sweeps taken as points chooses.
void LoadSpectra(const std::string& path, const SliceChoice* choice, int room, const LoadSink& sink,
                 const PointChoice& points = {});
// What the mode line says of a spectrum read from a long sweep, or taken in
// part of one: SweepNotice; "" for a sweep taken whole.
std::string SweepNoticeOf(std::string_view name, const ReadResult& r, int kept);
// Slice number (from 1) of a series read whole, into s.
void LoadSlice(const SpectrometerFiles& files, int number, LoadedSpectrum& s);

} // namespace kivo
