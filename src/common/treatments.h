// The treatments as the commands apply them, shared by the window and the
// batch.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "numeric.h"
#include "spectrum_file.h"

namespace kivo {

// ---- Treatments as the commands apply them ----------------------------------
// The window's commands and kivo-batch both go through these, so a spectrum
// treated with the keys and one treated from the command line come out the
// same to the last byte of the saved file.

// The file name part of a path, and the short name a spectrum is shown by:
// that name without its last four characters (the ending), whole when it has
// four or fewer.
std::string_view FileNameOf(std::string_view path);
std::string ShortName(std::string_view path);

// The name a spectrum read from path carries (where it is saved by default,
// and what starts its history): the file itself; "stem.esr" beside a
// spectrometer's pair, whose own files are never written; "stem-n.esr" for
// spectrum n (from 1) of a column file.
std::string SpectrumFileName(std::string_view path, int kind, int columnSpectrum);

// The files of a spectrometer pair named by either of them, found beside it
// whatever the case of their endings: the descriptor or parameter file into
// read.Path, the data into read.DataPath, a BES3T axis file into
// read.AxisPath. read.Kind must be KindBes3t or KindEsp.
void SpectrometerPairPaths(std::string chosen, SpectrumRead& read);
// A file of a selection made ready for ReadSpectrum: its path, its kind from
// its name and, for a spectrometer pair, the pair's files beside it.
void PrepareSpectrumRead(const std::string& path, SpectrumRead& read);
// The positions of a selection that name a spectrum each: of the files of
// one spectrometer pair only the first is kept.
std::vector<size_t> OnePerSpectrum(const std::vector<std::string>& paths);

// How the mode line names a file it speaks of: "    FileSpectrum name ...".
inline constexpr std::string_view Named = "    FileSpectrum ";

// Why a file read did not give a spectrum, as the mode line says it ("" when
// it did): shortName is ShortName of the file.
std::string ReadRefusal(std::string_view shortName, const ReadResult& r, int numPoints);
// A file of more than MaxPoints points, of which the first were read.
std::string TruncatedNotice(std::string_view shortName);
// What the reader noticed of a file it read without refusing it, as the
// mode line says it after the read: the points left out (TruncatedNotice)
// and a frequency that is no frequency ("    FileSpectrum coal: MWFQ 'abc'
// is not a frequency, left out "); "" when nothing.
std::string ReadNotice(std::string_view shortName, const ReadResult& r);
// A column file of which rows rows were left out, the first on firstLine.
std::string LeftOutNotice(std::string_view shortName, int rows, int firstLine);
// A save that failed, with the writer's reason.
std::string SaveRefusal(std::string_view shortName, std::string_view error);
// The words of a failure that is no fault of the file: "out of memory" for
// std::bad_alloc, what() of any other exception.
std::string FailureWords(const std::exception& e);
// A file whose treatment failed so, with those words.
std::string TreatmentFailure(std::string_view shortName, std::string_view words);

// The spectra of a column file as they go into slots or rows: each with its
// record (NumPoints and Amplitude), points, the name it is saved under and
// its caption; a spectrum of fewer than 2 points has its refusal instead of
// a record and points.
struct ColumnFileSpectrum {
    int Number = 0;      // in the file, from 1
    std::string Refusal; // "" when the spectrum is usable
    ParamSpec Params;
    std::vector<float> X, Y;
    std::string FileName; // SpectrumFileName(path, KindDat, Number)
    std::string Caption;  // "name-Number"
};
struct ColumnFileSpectra {
    std::string Refusal;              // the whole file refused: no spectra then
    std::vector<std::string> Notices; // what was left out of a file that is read
    std::vector<ColumnFileSpectrum> Spectra;
};
// A spectrum of more rows than a slot holds, or every spectrum when points
// is not the default, takes the points chosen (each block's mean).
ColumnFileSpectra ReadColumnSpectra(const std::string& path, int maxSpectra,
                                    const PointChoice& points = {});

// The cursors the linear base line starts with: NumAver points in from each
// end of the spectrum, held on it.
PointRange BaseLineStart(int n, int numAver);
// Both the base line and the automatic integration average NumAver points
// at each end of a spectrum: the words that refuse a spectrum of n points
// too short for two such windows side by side, "" when it has room.
std::string BaseLineRefusal(std::string_view caption, int n, int numAver);
// The linear base line of one spectrum: the straight line through the mean
// of points 1..ends.First and the mean of points ends.Last..n, anchored
// NumAver div 2 points in from each end, subtracted from y[1..n]. A spectrum
// BaseLineRefusal refuses is left as it was: its words are returned then.
std::string SubtractLinearBaseLine(const float* x, float* y, int n, PointRange ends, int numAver,
                                   std::string_view caption);

// The automatic double integration of one spectrum: borders and centre
// found on the signal, turned (PhaseSign -1) when it integrates negative,
// and integrated with the other phase when the centre found does not lie
// strictly between the borders. A spectrum too short for its two end
// windows, or whose borders meet or cross, is not integrated: p is left as
// it was and Refusal says why, as the mode line does. One whose centre lies
// between the borders with neither phase is refused too, and its results
// are cleared. Result tells the borders found (the whole spectrum when too
// short).
struct AutoIntegration {
    IntegrationResult Result;
    bool Integrated = false;
    std::string Refusal;
};
AutoIntegration IntegrateAutomatic(const float* x, const float* y, int numAver, double koeCu,
                                   ParamSpec& p, std::string_view caption);

// The normalisations. fileName is the name that starts an empty history
// (Line2); caption is the spectrum's short name in messages. Each returns
// the mode line's words when the spectrum is left as it was, "" when done.
std::string DivideByAmplitude(float* y, int n, long double amplitude, std::string_view caption);
std::string NormaliseOnAmplitude(float* y, ParamSpec& p, std::string_view fileName,
                                 std::string_view caption);
std::string NormaliseOnRuby(float* y, ParamSpec& p, std::string_view fileName);
std::string NormaliseOnIntegral(float* y, ParamSpec& p, std::string_view fileName,
                                std::string_view caption);

// The name of the n-th spectrum a command stores in a new slot (smoothing,
// subtraction): "res1", "res2" ...
std::string ResultName(int n);

// What a smoothing with window w of the spectrum from sourcePath, which gave
// m points, comes to: the words that refuse a result of fewer than 2 points,
// or else the note the result's history gets.
struct SmoothingResult {
    std::string Refusal;
    std::string Note;
};
SmoothingResult SmoothingResultOf(std::string_view sourcePath, int w, int m);

} // namespace kivo
