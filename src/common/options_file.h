// The options file.
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

#include "parameter_limits.h"

namespace kivo {

// ---- Options file -----------------------------------------------------------

// The options file: 14 lines, each a 13-character key ending in "= " and the
// value: eleven whole numbers of the window layout, NumAver, KoeCu in E(23)
// and the default data directory.
constexpr int OptionLineCount = 14;
constexpr int OptionKeyLength = 13;
extern const char* const OptionKeys[OptionLineCount];

struct LayoutOptions {
    int WinHeight = 0; // client area of the main window
    int WinWidth = 0;
    int GrafHeight = 0; // the chart
    int GrafWidth = 0;
    int LabelHeight = 0; // the mode line
    int LabelTop = 0;
    int LabelWidth = 0;
    int FrameHeight = 0; // the size panel, which all lower panels copy
    int FrameTop = 0;
    int FrameWidth = 0;
    int FontHeight = 0; // of the lower panels' labels; negative as font heights may be
};

// The font heights of the lower panels a layout may have, of either sign.
constexpr int MinFontHeight = 6;
constexpr int MaxFontHeight = 100;
// Whether the options reader takes every value of the layout: each size
// within its limits (no smaller than a usable window needs, no larger than
// 10000 pixels), a panel font of MinFontHeight to MaxFontHeight, and the
// mode line and the lower panels topped above the window's bottom. The size
// modes stop where a layout would not be.
bool LayoutUsable(const LayoutOptions& l);
// What a figure for print looks like: the choices of the picture export,
// kept in the options file and given to kivo-batch.
enum class FigurePalette { ColourBlind, Black };
enum class LegendPlace { FreeCorner, Outside, None };
enum class FieldUnit { Gauss, Millitesla };
// The axes' names in words ("Magnetic field, G") or as ISO 80000 writes a
// quantity over its unit ("B / G", the symbol in italics).
enum class AxisLabelStyle { Words, Iso };
struct FigureSettings {
    double WidthCm = 8.5; // a single journal column
    double HeightCm = 6.5;
    double FontPt = 8;
    double LinePt = 0.75;
    double Dpi = 600; // of a PNG
    FigurePalette Palette = FigurePalette::ColourBlind;
    LegendPlace Legend = LegendPlace::FreeCorner;
    // Each spectrum raised above the next by this many times the largest
    // peak-to-peak amplitude, captions beside the curves; 0 overlays them.
    double Stack = 0;
    FieldUnit Unit = FieldUnit::Gauss;
    bool SignalValues = true;
    // A g scale along the top for the frequency of the first spectrum that
    // has one.
    bool GScale = false;
    AxisLabelStyle Labels = AxisLabelStyle::Words;
    // A marked tick inside the frame's top at the field of each of these g
    // values, for the frequency of the first spectrum that has one. Chosen
    // for one figure: not kept in the options file.
    std::vector<double> MarkG;
    bool operator==(const FigureSettings&) const = default;
};

struct OptionsFile {
    LayoutOptions Layout;
    int32_t NumAver = 10;
    double KoeCu = 1.725e19;
    std::string DirName;
    FigureSettings Figure;
    unsigned NormFactors = 15; // of the normalisation by the acquisition parameters
};

struct OptionsReadResult {
    bool Opened = true; // false: the file could not be read, and nothing was taken
    std::array<OptionFault, OptionLineCount> Faults{}; // line n at Faults[n - 1]
    std::vector<std::string> KeyedFaults;              // "line 17 FigFontPt out of range"
    bool AllTaken() const;
    // The lines not taken: "line 12 NumAver out of range, line 13 KoeCu
    // missing"; empty when none.
    std::string FaultText() const;
};

// Reads the 14 lines by position (the keys are not compared) into o. Each
// value is taken on its own: a line that is missing, not a number, or a value
// that would leave the window unusable (a size below a usable minimum, a top
// below the window's bottom, NumAver or KoeCu outside its limits) keeps the
// value o held.
OptionsReadResult ReadOptionsText(std::string_view text, OptionsFile& o);
OptionsReadResult ReadOptionsFile(const std::string& path, OptionsFile& o);
// The 14 lines, each ended by CR LF.
std::string FormatOptions(const OptionsFile& o);
bool WriteOptionsFile(const OptionsFile& o, const std::string& path, std::string& error);

// The figure settings and the normalisation's factors follow the 14 lines,
// one a line, each after a key of its own ("FigWidthCm = 8.5",
// "NormFactors= 124"), and are found by their keys: a file written before
// them still reads whole, and a line of another key is passed over.
std::string FormatKeyedLines(const OptionsFile& o);
// Reads lines[first..] into o; a value that cannot be used keeps o's and is
// named in faults with its line number (lines[0] is line 1).
void ReadKeyedLines(const std::vector<std::string_view>& lines, size_t first, OptionsFile& o,
                    std::vector<std::string>& faults);
// "line 17 FigFontPt out of range": a line of the options file not taken.
std::string LineFault(int line, const char* key, OptionFault f);
// The field unit as it is written: "G" or "mT"; and read back.
const char* FieldUnitName(FieldUnit u);
bool ReadFieldUnit(std::string_view text, FieldUnit& u);

} // namespace kivo
