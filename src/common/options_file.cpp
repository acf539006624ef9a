// The options file: the window layout, NumAver, KoeCu and the default data
// directory, one value a line after a fixed 13-character key.
#include "options_file.h"
#include "spectrum_file.h"
#include "text_files.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace kivo {

const char* const OptionKeys[OptionLineCount] = {
    "WinHeight  = ", "WinWidth   = ", "GrafHeight = ", "GrafWidth  = ", "LabelHeight= ",
    "LabelTop   = ", "LabelWidth = ", "FrameHeight= ", "FrameTop   = ", "FrameWidth = ",
    "FontHeight = ", "NumAver    = ", "KoeCu      = ", "DirName    = "};

namespace {

constexpr int kWinHeightLine = 1;
constexpr int kLabelTopLine = 6;
constexpr int kFrameTopLine = 9;
constexpr int kFontLine = 11;
constexpr int kNumAverLine = 12;
constexpr int kKoeCuLine = 13;
constexpr int kDirLine = 14;

// The whole-number lines 1..12, in file order: the layout, then NumAver.
constexpr int LayoutOptions::*kLayoutFields[kNumAverLine - 1] = {
    &LayoutOptions::WinHeight,  &LayoutOptions::WinWidth,    &LayoutOptions::GrafHeight,
    &LayoutOptions::GrafWidth,  &LayoutOptions::LabelHeight, &LayoutOptions::LabelTop,
    &LayoutOptions::LabelWidth, &LayoutOptions::FrameHeight, &LayoutOptions::FrameTop,
    &LayoutOptions::FrameWidth, &LayoutOptions::FontHeight};

int& WholeValue(OptionsFile& o, int line) {
    return line == kNumAverLine ? o.NumAver : o.Layout.*kLayoutFields[line - 1];
}
int WholeValue(const OptionsFile& o, int line) {
    return line == kNumAverLine ? o.NumAver : o.Layout.*kLayoutFields[line - 1];
}

// What a usable window allows for lines 1..11. Below these the chart, the
// mode line or the lower menu can no longer be seen or read; above them no
// screen shows the window.
struct Range {
    int Min, Max;
};
constexpr int kMaxPixels = 10000;
constexpr Range kRanges[kFontLine] = {
    {240, kMaxPixels},               // client height: a chart above the mode line and a panel
    {320, kMaxPixels},               // client width
    {50, kMaxPixels},                // chart height
    {50, kMaxPixels},                // chart width
    {10, kMaxPixels},                // mode line height
    {0, kMaxPixels},                 // mode line top
    {50, kMaxPixels},                // mode line width
    {40, kMaxPixels},                // size panel height: four rows of labels
    {0, kMaxPixels},                 // size panel top
    {50, kMaxPixels},                // size panel width
    {-MaxFontHeight, MaxFontHeight}, // font height; either sign, at least MinFontHeight
};

bool WithinLimits(int line, long long v) {
    const Range range = kRanges[line - 1];
    return v >= range.Min && v <= range.Max && (line != kFontLine || std::abs(v) >= MinFontHeight);
}

// A top at or below the window's bottom would put the mode line or the
// panels out of sight for good: the anchors keep that distance from the
// bottom however the window grows.
bool TopInWindow(int top, int winHeight) {
    return top < winHeight;
}

// The text after the key; a line shorter than the key has none.
std::string_view ValueText(std::string_view line) {
    return line.size() > size_t(OptionKeyLength) ? line.substr(OptionKeyLength)
                                                 : std::string_view();
}

} // namespace

bool LayoutUsable(const LayoutOptions& l) {
    for (int line = 1; line <= kFontLine; ++line)
        if (!WithinLimits(line, l.*kLayoutFields[line - 1])) return false;
    return TopInWindow(l.LabelTop, l.WinHeight) && TopInWindow(l.FrameTop, l.WinHeight);
}

bool OptionsReadResult::AllTaken() const {
    for (OptionFault f : Faults)
        if (f != OptionFault::None) return false;
    return Opened && KeyedFaults.empty();
}

std::string OptionsReadResult::FaultText() const {
    std::string text;
    for (int line = 1; line <= OptionLineCount; ++line) {
        const OptionFault f = Faults[size_t(line - 1)];
        if (f == OptionFault::None) continue;
        if (!text.empty()) text += ", ";
        text += LineFault(line, OptionKeys[line - 1], f);
    }
    for (const std::string& f : KeyedFaults) text += (text.empty() ? "" : ", ") + f;
    return text;
}

OptionsReadResult ReadOptionsText(std::string_view text, OptionsFile& o) {
    OptionsReadResult r;
    const OptionsFile before = o;
    // The figure's lines follow the 14; a few more are read, to find them by key.
    const std::vector<std::string_view> lines = TextLines(text, OptionLineCount + 32);
    const int count = std::min(int(lines.size()), OptionLineCount);
    auto fault = [&r](int line, OptionFault f) { r.Faults[size_t(line - 1)] = f; };
    for (int line = count + 1; line <= OptionLineCount; ++line) fault(line, OptionFault::Missing);

    for (int line = 1; line <= std::min(count, kFontLine); ++line) {
        long long v = 0;
        if (!ReadWholeNumber(ValueText(lines[line - 1]), v))
            fault(line, OptionFault::NotANumber);
        else if (!WithinLimits(line, v))
            fault(line, OptionFault::OutOfRange);
        else
            WholeValue(o, line) = int(v);
    }
    // A file's window height gives way to a top kept from before, a file's
    // top to the height.
    auto taken = [&](int line) {
        return line <= count && r.Faults[size_t(line - 1)] == OptionFault::None;
    };
    auto keepHeight = [&] {
        fault(kWinHeightLine, OptionFault::OutOfRange);
        o.Layout.WinHeight = before.Layout.WinHeight;
    };
    const int tops[] = {kLabelTopLine, kFrameTopLine};
    for (int line : tops)
        if (!taken(line) && !TopInWindow(WholeValue(o, line), o.Layout.WinHeight) &&
            taken(kWinHeightLine))
            keepHeight();
    for (int line : tops) {
        int& top = WholeValue(o, line);
        if (TopInWindow(top, o.Layout.WinHeight) || !taken(line)) continue;
        fault(line, OptionFault::OutOfRange);
        top = WholeValue(before, line);
        if (!TopInWindow(top, o.Layout.WinHeight) && taken(kWinHeightLine)) keepHeight();
    }
    // NumAver and KoeCu within the limits every reader of them keeps.
    auto limited = [&](int line, Parameter which, auto& field) {
        if (line > count) return;
        double v = 0;
        fault(line, ReadLimited(ValueText(lines[line - 1]), LimitOf(which), v));
        if (taken(line)) field = static_cast<std::remove_reference_t<decltype(field)>>(v);
    };
    limited(kNumAverLine, Parameter::NumAver, o.NumAver);
    limited(kKoeCuLine, Parameter::KoeCu, o.KoeCu);
    if (count >= kDirLine) o.DirName = std::string(ValueText(lines[kDirLine - 1]));
    ReadKeyedLines(lines, OptionLineCount, o, r.KeyedFaults);
    return r;
}

std::vector<std::string_view> TextLines(std::string_view text, size_t maxLines) {
    std::vector<std::string_view> lines;
    while (!text.empty() && lines.size() < maxLines) {
        const size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

OptionsReadResult ReadOptionsFile(const std::string& path, OptionsFile& o) {
    // Fourteen short lines; a directory name is the longest of them.
    constexpr size_t kMaxBytes = size_t{64} * 1024;
    std::string text;
    if (!ReadTextFile(path, text, kMaxBytes)) {
        OptionsReadResult r;
        r.Opened = false;
        return r;
    }
    return ReadOptionsText(text, o);
}

std::string FormatOptions(const OptionsFile& o) {
    std::string out;
    auto line = [&out](int n, const std::string& value) {
        out += OptionKeys[n - 1];
        out += value;
        out += "\r\n";
    };
    for (int n = 1; n <= kNumAverLine; ++n) line(n, std::to_string(WholeValue(o, n)));
    line(kKoeCuLine, FormatE(o.KoeCu, 23));
    line(kDirLine, o.DirName);
    return out + FormatKeyedLines(o);
}

bool WriteOptionsFile(const OptionsFile& o, const std::string& path, std::string& error) {
    return WriteTextFile(FormatOptions(o), path, error);
}

} // namespace kivo
