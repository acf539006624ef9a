// JCAMP-DX files: the spectra of their data blocks read, a spectrum written.
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

// ---- JCAMP-DX files -----------------------------------------------------------

// A label's name as labels are compared: upper case, without blanks, dashes,
// slashes and underscores ("Data_Type" and "DATA TYPE" are "DATATYPE").
std::string JcampLabelKey(std::string_view name);

// The field of point i (from 0) of n spread evenly from first to last. The
// reader places the points of ##XYDATA so, and the writer keeps that form
// only for an axis this gives back float for float.
float JcampAxisPoint(double first, double last, int n, int i);

// One data block of a file: its spectrum, or why it gives none.
struct JcampSpectrum {
    int Block = 0;     // the data block, from 1
    ReadResult Result; // Ok, or Refused with "line N: ..." as its Reason
    ParamSpec Params;  // with NumPoints and Amplitude when Ok
    std::vector<float> X, Y;
};
struct JcampRead {
    ReadResult Result;       // the whole file refused: no spectra then
    bool SlotsShort = false; // data blocks past maxSpectra were not read
    std::vector<JcampSpectrum> Spectra;
};

// The spectra of a JCAMP-DX text: one for each block holding
// ##XYDATA=(X++(Y..Y)) in any ASDF form (AFFN, PAC, SQZ, DIF, DUP; the Y
// check of every DIF line verified) or ##XYPOINTS=(XY..XY), at most
// maxSpectra of them. The field comes in gauss, the microwave frequency,
// temperature and scans go into the second text line as the spectrometers'
// readers put them, power, modulation and gain into their fields.
JcampRead ReadJcampText(std::string_view text, int maxSpectra);
JcampRead ReadJcampFile(const std::string& path, int maxSpectra);

// How ##XYDATA's values are written: DIFDUP with Y checks, or AFFN, plain
// numbers. A field axis that is not even is ##XYPOINTS, AFFN, either way.
enum class JcampForm { DifDup, Affn };

// A spectrum of p.NumPoints points as a JCAMP-DX text titled title. Every
// value is written so that the reader gives back the same float: the axis by
// its ends, the signal as whole multiples of a power of two (YFACTOR), or
// as the shortest decimals that read back to each float.
std::string FormatJcamp(const ParamSpec& p, const float* x, const float* y, std::string_view title,
                        JcampForm form = JcampForm::DifDup);
// Saved as WriteSpectrumFile saves, titled by Line1 or else the file's name.
bool WriteJcampFile(const ParamSpec& p, const float* x, const float* y, const std::string& path,
                    JcampForm form, std::string& error);
// A spectrum saved in the form its name asks for: JCAMP-DX (DIFDUP) for a
// .jdx, .dx or .jcamp name, an .esr file for any other.
bool SaveSpectrumFile(const ParamSpec& p, const float* x, const float* y, const std::string& path,
                      std::string& error);

} // namespace kivo
