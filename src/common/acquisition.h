// Normalisation by the acquisition parameters.
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

#include "gvalues.h"

namespace kivo {

// ---- Normalisation by the acquisition parameters ------------------------------

// The factors a signal may be divided by: a set of these bits.
enum AcquisitionFactor : unsigned {
    FactorGain = 1,
    FactorScans = 2,
    FactorModulation = 4,
    FactorPower = 8, // its square root
    AllFactors = 15,
};
// The number of scans the text lines give ("16 scans", "1 scan"), the second
// over the first; Length 0 when none.
FrequencyInText FindScans(std::string_view text);
double ScansOf(const ParamSpec& p);
// Divides the signal by the chosen factors; each one used becomes 1 in the
// record ("1 scan" in the text line), and the note names them ("Norm by
// gain*scans*mod*sqrtP, "). A factor that is missing or 0 leaves the
// spectrum as it was: the words that say so are returned, "" when done.
std::string NormaliseOnAcquisition(float* y, ParamSpec& p, std::string_view fileName,
                                   std::string_view caption, unsigned factors);
// The chosen factors as the note names them: "gain*scans*mod*sqrtP".
std::string AcquisitionFactorNames(unsigned factors);

} // namespace kivo
