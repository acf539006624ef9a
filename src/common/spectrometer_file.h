// The spectrometers' files: BES3T and ESP/WinEPR pairs.
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

#include "spectrum_file.h"

namespace kivo {

// ---- Spectrometer files -------------------------------------------------------

// What a BES3T descriptor or an ESP parameter file says about its spectrum:
// the layout of the binary data, the field axis and the parameters. Every
// size is checked against the data's real length before a byte of it is used.
enum class BinaryNumber { Int8, Int16, Int32, Float32, Float64 };
struct SpectrometerHeader {
    ReadResult Result; // Refused (with its reason) when the text alone rules the file out
    int Points = 0;
    BinaryNumber Format = BinaryNumber::Float32;
    bool BigEndian = false;
    int PointBytes = 0;      // bytes from one point to the next (real and imaginary parts)
    bool AxisInFile = false; // the field of every point in the axis file (BES3T IGD)
    BinaryNumber AxisFormat = BinaryNumber::Float64;
    double FieldFirst = 0; // a linear axis: first and last field, gauss
    double FieldLast = 0;
    double FieldScale = 1;   // gauss per unit of the axis file
    ParamSpec Params;        // all but NumPoints and Amplitude
    size_t FrequencyEnd = 0; // in Params.Line2: where the frequency's part ends
    // A series: Slices spectra of Points points one after another. The second
    // axis is linear from SliceFirst over SliceWidth, or in the .YGF file, or
    // (neither given) the slice's number.
    int Slices = 1;
    bool SliceAxisInFile = false;
    bool SliceAxisGiven = false;
    BinaryNumber SliceAxisFormat = BinaryNumber::Float64;
    double SliceFirst = 0, SliceWidth = 0;
    std::string SliceUnit;
    uint64_t DataBytes() const; // of every slice
    uint64_t AxisBytes() const;
    uint64_t SliceAxisBytes() const;
};

SpectrometerHeader ReadBes3tDescriptor(std::string_view text);
// An ESP parameter file with a "DOS" format line was written by the Windows
// software: its data are 32-bit little-endian floats, otherwise 32-bit
// big-endian integers.
SpectrometerHeader ReadEspParameters(std::string_view text);

// The points of a spectrum whose header was read: the real part of each
// point into y, its field in gauss into x (from the axis file's bytes when
// the header asks for them; nullptr when there is no such file), turned
// round when falling as .esr files are. p gets the header's parameters, the
// point count and the amplitude; x and y must hold MaxPoints floats each.
// slice (from 0) picks the spectrum of a series.
// A sweep longer than MaxPoints, or any sweep with a choice other than the
// default, is read whole and brought into x and y as points chooses.
ReadResult ReadSpectrometerData(const SpectrometerHeader& h, std::string_view data,
                                const std::string_view* axis, ParamSpec& p, float* x, float* y,
                                int slice = 0, const PointChoice& points = {});
// The second-axis value of every slice of a series (the .YGF file's bytes
// when the header asks for them).
std::vector<double> SliceValues(const SpectrometerHeader& h, std::string_view sliceAxis);

// A spectrometer pair read whole: its header and the bytes it promises.
struct SpectrometerFiles {
    SpectrometerHeader Header;
    std::string Name; // ShortName of the header file
    std::string Path; // the header file
    std::string Data, Axis, SliceAxis;
    std::vector<double> Values; // of the slices
    double ValueStep = 0;       // SliceStep(Values), a pass over them all: taken once
    PointChoice Points;         // what each slice takes of its sweep
};
// Reads the files of read (Path, DataPath, AxisPath, SliceAxisPath) into f.
ReadResult ReadSpectrometerPair(const SpectrumRead& read, SpectrometerFiles& f);
// Slice (from 0) of a pair read whole into p, x and y (MaxPoints floats each).
ReadResult ReadSpectrometerSlice(const SpectrometerFiles& f, int slice, ParamSpec& p, float* x,
                                 float* y);
// A spectrometer pair of a selection: a one-dimensional file into read's
// Params, X and Y, a series into read.Series.
void ReadSpectrometer(SpectrumRead& read);

// The same from the files: the header file (kind KindBes3t or KindEsp), the
// data file and the axis file. A data or axis file shorter than the header
// promises is refused before it is read, and only what is promised is read.
ReadResult ReadSpectrometerFiles(int kind, const std::string& headerPath,
                                 const std::string& dataPath, const std::string& axisPath,
                                 ParamSpec& p, PointBuffer& X, PointBuffer& Y);

} // namespace kivo
