// Column files: spectra as columns of numbers.
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

// ---- Column files -------------------------------------------------------------

constexpr int MaxColumns = 20; // fields kept of a row

// A data line: its first character that is not a blank or tab lies within
// its first 19 characters and is a digit.
bool IsDataLine(std::string_view line);
// Splits a row at blanks and tabs into at most maxFields values: a run of
// blanks is one separator, but each tab is one of its own, so two tabs
// enclose an empty field; blanks and tabs before the first field and after
// the last are no fields. An empty field, or one starting with "," or ";",
// is missing (1E7); a decimal comma reads as a point. bad is set (and the
// count so far returned) at a field that is no number or is beyond the
// float range the points are kept in.
int SplitColumns(std::string_view line, double* values, int maxFields, bool& bad);
// 1 when more than 95 % of the a values rise from their predecessor (the
// steps divided by a), -1 when fewer than 5 % do, 0 otherwise.
int ColumnTrend(const std::vector<float>& v, int a);

enum class ColumnStatus { Ok, CannotOpen, NoDataLine, BadField, SingleColumn, TooLarge };
struct ColumnSpectrum {
    int Column = 0; // the signal column, 1-based
    std::vector<float> X, Y;
};
struct ColumnImport {
    ColumnStatus Status = ColumnStatus::Ok;
    int Line = 0;            // the line of a bad field
    std::string Reason;      // why a file that cannot be opened or has no data line is refused
    bool SlotsShort = false; // spectra past maxSpectra were not formed
    uint64_t Size = 0;       // of a file refused as too large
    int LeftOut = 0;         // rows left out for a missing value or a short row
    int FirstLeftOut = 0;    // the first line of those
    std::vector<ColumnSpectrum> Spectra;
};
// The spectra of a column text (at most maxSpectra), every row of them (a
// spectrum longer than a slot is brought into one by ReadColumnSpectra):
// header lines skipped,
// a falling first column turned round, each rising column a new field axis
// for the columns after it. A row with a missing value, or with fewer values
// than a later row, is left out whole (counted, with its line); a column
// that ends early makes the spectra of its group shorter, each spectrum
// having the rows both its columns hold. A text of binary data or UTF-16 is
// NoDataLine with the Reason "not text", an empty one "empty", one without a
// data line "no data line".
ColumnImport ImportColumnText(std::string_view text, int maxSpectra);
ColumnImport ImportColumnFile(const std::string& path, int maxSpectra);

} // namespace kivo
