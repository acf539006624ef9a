// The figure's settings in the options file: after the 14 lines, found by
// their keys, a file without them read whole, a value out of its limits kept
// from before and named.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <string>

using namespace kivo;

namespace {

std::string FourteenLines() {
    OptionsFile o;
    o.Layout = {698, 815, 445, 801, 152, 445, 815, 130, 548, 1192, 17};
    o.DirName = "/home/lab";
    const std::string all = FormatOptions(o);
    size_t end = 0;
    for (int i = 0; i < OptionLineCount; ++i) end = all.find("\r\n", end) + 2;
    return all.substr(0, end);
}

FigureSettings Unusual() {
    FigureSettings f;
    f.WidthCm = 17.8;
    f.HeightCm = 12.25;
    f.FontPt = 7.5;
    f.LinePt = 0.5;
    f.Dpi = 1200;
    f.Palette = FigurePalette::Black;
    f.Legend = LegendPlace::Outside;
    f.Stack = 1.2;
    f.Unit = FieldUnit::Millitesla;
    f.SignalValues = false;
    f.GScale = true;
    f.Labels = AxisLabelStyle::Iso;
    return f;
}

} // namespace

TEST(FigureOptions, WrittenAfterTheFourteenLinesAndReadBack) {
    OptionsFile o;
    o.Layout = {698, 815, 445, 801, 152, 445, 815, 130, 548, 1192, 17};
    o.Figure = Unusual();
    o.NormFactors = FactorScans | FactorPower;
    const std::string text = FormatOptions(o);
    EXPECT_EQ(text.substr(text.find("DirName    = ")),
              "DirName    = \r\n"
              "FigWidthCm = 17.8\r\nFigHeightCm= 12.25\r\nFigFontPt  = 7.5\r\nFigLinePt  = 0.5\r\n"
              "FigDpi     = 1200\r\nFigStack   = 1.2\r\nFigColours = black\r\n"
              "FigLegend  = outside\r\nFigField   = mT\r\nFigSignal  = none\r\n"
              "FigGScale  = top\r\nFigLabels  = ISO\r\nNormFactors= 24\r\n");
    OptionsFile back;
    const OptionsReadResult r = ReadOptionsText(text, back);
    EXPECT_TRUE(r.AllTaken()) << r.FaultText();
    EXPECT_EQ(back.Figure, Unusual());
    EXPECT_EQ(back.NormFactors, FactorScans | FactorPower);
    EXPECT_EQ(back.Layout.FrameTop, 548);
}

TEST(FigureOptions, AnOlderFileKeepsTheFigureAndLinesAreFoundByKey) {
    struct Case {
        const char* What;
        std::string After; // the lines after the fourteen
        const char* Faults;
        FigureSettings Expected;
    };
    FigureSettings mt = Unusual();
    mt.Unit = FieldUnit::Millitesla;
    FigureSettings wide = Unusual();
    wide.WidthCm = 20;
    wide.Unit = FieldUnit::Gauss;
    const Case cases[] = {
        {"no figure lines", "", "", Unusual()},
        {"another key between, its own order",
         "LayoutMax  = 3\r\nFigField   = G\r\nFigWidthCm = 20\r\n", "", wide},
        {"values out of their limits",
         "FigFontPt  = 30\r\nFigDpi     = 600.5\r\nFigLegend  = left\r\nFigField   = T\r\n"
         "FigLinePt  = \r\nNormFactors= 115\r\nNormFactors= \r\nNormFactors= 5\r\n",
         "line 15 FigFontPt out of range, line 16 FigDpi not a number, line 17 FigLegend out of "
         "range, line 18 FigField out of range, line 19 FigLinePt not a number, line 20 "
         "NormFactors out of range, line 21 NormFactors out of range, line 22 NormFactors out "
         "of range",
         mt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        OptionsFile o;
        o.Figure = Unusual();
        const OptionsReadResult r = ReadOptionsText(FourteenLines() + c.After, o);
        EXPECT_EQ(r.FaultText(), c.Faults);
        EXPECT_EQ(r.AllTaken(), std::string(c.Faults).empty());
        EXPECT_EQ(o.Figure, c.Expected);
        EXPECT_EQ(o.DirName, "/home/lab"); // the fourteen lines as ever
        EXPECT_EQ(o.NormFactors, AllFactors);
    }
}
