// The spectrum files: .esr and .txt read and written, a selection read.
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

#include "long_sweep.h"
#include "records.h"

namespace kivo {

// ---- Spectrum files -------------------------------------------------------

// The spectrometer pairs: BES3T (.DSC descriptor, .DTA data) and ESP/WinEPR
// (.par parameters, .spc data); either file of a pair names it.
enum FileKindCode {
    KindEsr = 0,
    KindTxt = 1,
    KindDat = 2,
    KindBes3t = 3,
    KindEsp = 4,
    KindUnknown = -1
};

// Kind from a file name's ending, without regard to letter case.
int FileKindOf(std::string_view fileName);

// No spectrum file comes near this size (a full .esr of MaxPoints points is
// under 0.5 MB): a larger file is refused before it is read.
constexpr uint64_t MaxFileBytes = uint64_t(64) << 20;

enum class ReadStatus {
    Ok,
    CannotOpen,   // the file cannot be opened, or is no plain file (Reason tells why)
    TooLarge,     // larger than MaxFileBytes (Size tells how large)
    NoPoints,     // no "Spectr:" line (Reason: "empty", "not text", "no Spectr: line"),
                  // or fewer than 2 point lines after it
    BadPointLine, // a point line does not hold numbers (Line tells which)
    Refused,      // a spectrometer file Kivo cannot use (Reason tells why)
    Failed,       // no fault of the file: the reading failed (Reason holds FailureWords)
};

struct ReadResult {
    ReadStatus Status = ReadStatus::Ok;
    int Line = 0;           // 1-based line of the file at fault (BadPointLine)
    bool Truncated = false; // more than MaxPoints point lines: the first ones kept
    uint64_t Size = 0;      // bytes of a file refused as TooLarge
    std::string Reason;     // why a file was refused or Failed, as the mode line says it
    // A frequency the file gives that is no frequency, left out: its key and
    // its text ("MWFQ 'abc'"); empty when there is none or it was read.
    std::string BadFrequency;
    // A sweep longer than a slot, or taken in part: its own count of points
    // and what was taken of it (0: the sweep taken whole).
    int SweepPoints = 0;
    PointChoice Taken;
};

// Reads lines 1..10 of an .esr text into p (every field not found stays 0).
void ReadEsrHeader(std::string_view text, ParamSpec& p);

// Reads a whole .esr (KindEsr) or .txt (KindTxt) text: header (or reset),
// points after the "Spectr:" line, direction check, amplitude. The ten lines
// of an .esr header are header whatever they hold: its marker is looked for
// from line 11 on. On success p.NumPoints holds the point count; otherwise
// p.NumPoints is 0. x and y must hold MaxPoints floats each.
ReadResult ReadSpectrumText(std::string_view text, int kind, ParamSpec& p, float* x, float* y);
// The same from a file path (local 8-bit encoding). Other kinds than .esr
// and .txt are NoPoints without reading the file, or CannotOpen with the
// reason when it is no regular file (a device, a pipe) or is not there.
ReadResult ReadSpectrumFile(const std::string& path, int kind, ParamSpec& p, PointBuffer& X,
                            PointBuffer& Y);

struct SpectrometerFiles;

// One file of a selection and what reading it gave. A spectrometer pair is
// read from Path (its descriptor or parameter file), DataPath (its binary
// data) and, for an axis kept in a file of its own, AxisPath.
struct SpectrumRead {
    std::string Path;
    std::string DataPath, AxisPath, SliceAxisPath;
    int Kind = KindUnknown;
    ParamSpec Params;
    PointBuffer X, Y;
    ReadResult Result;
    // What is taken of a spectrometer's sweep or a column file's rows longer
    // than a slot (by default every point, averaged as the slot needs).
    PointChoice Points;
    // A two-dimensional spectrometer file (a series: the field sweep repeated
    // at each power, temperature or time) leaves X, Y and Params empty and
    // its bytes here, for its slices to be taken with ReadSeriesSlice.
    std::shared_ptr<const SpectrometerFiles> Series;
};
// Reads one file of a selection (a .dat file is no spectrum here: NoPoints).
void ReadSpectrum(SpectrumRead& file);
// Reads every file of a selection, several at a time on a machine with
// several cores; each entry gets the outcome of its own file.
void ReadSpectrumFiles(std::vector<SpectrumRead>& files);

// Lines 1..10 of the .esr header, each ended by CR LF.
std::string FormatEsrHeader(const ParamSpec& p);
// The whole .esr file: header, "Spectr:", points 1..p.NumPoints.
std::string FormatSpectrum(const ParamSpec& p, const float* x, const float* y);

// The temporary file a save of target writes first. There is one per target:
// a save reuses what a killed save left, and the rename removes it.
std::string SaveTempPath(const std::string& target);

// Writes the .esr file: into the temporary file beside the target, flushed
// to disk, then renamed over the target, so a failed save leaves the old
// file as it was. A symbolic link is written through to the file it names;
// the target keeps its permission bits; a read-only target is refused. When
// the directory takes no new file but the target may be written, the target
// is written in place. Returns false on failure with a short reason in error.
bool WriteSpectrumFile(const ParamSpec& p, const float* x, const float* y, const std::string& path,
                       std::string& error);
// Any text saved the same way (the options file, say).
bool WriteTextFile(std::string_view text, const std::string& path, std::string& error);

} // namespace kivo
