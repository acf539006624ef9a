// The parameter panel's and the mode line's typed numbers.
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

#include "records.h"

namespace kivo {

// ---- Parameter panel and mode-line entry -----------------------------------

// The seven lines of the acquisition box of the parameter panel.
std::array<std::string, 7> AcquisitionLines(const ParamSpec& p);
// Reads the box's editable lines (UTF-8, 1-based; a missing line is empty)
// back into p: line 2 without its first two characters is ScanRange, line 3
// Gain, line 4 without its last two Modulation, line 5 without its last three
// Power, line 6 without its first three StandartRuby. A line that is no
// number leaves its field alone; the names of those fields are returned.
std::vector<std::string> ReadAcquisitionLines(const std::vector<std::string>& lines, ParamSpec& p);
// A number typed on the mode line; 0 when the text is none.
double EntryNumber(std::string_view text);
// A whole number typed on the mode line for the parameter; 0 when the text
// is none or the number is outside the parameter's limits.
uint16_t EntryCount(std::string_view text);

} // namespace kivo
