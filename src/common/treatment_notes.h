// The notes of the treatment history in a spectrum's second text line.
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

namespace kivo {

// ---- Treatment notes ------------------------------------------------------

// Appends the note of a treatment to a spectrum's history line (Line2):
// a history that is empty starts with the file's name without its ending;
// a fixed tag replaces its earlier copy; codes 143 and 166 append the
// caller's text every time. Unknown codes change nothing but the start.
void AppendTreatmentNote(std::string& line2, std::string_view fileName, int code,
                         std::string_view text);
// Appends a note to the history as the treatments do, after a ", " that a
// history written by a spectrometer reader does not end in; an earlier copy
// of the same note goes.
void AppendNote(std::string& line2, std::string_view fileName, const std::string& note);

} // namespace kivo
