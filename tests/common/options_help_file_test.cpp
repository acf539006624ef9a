// The options and help files as text: values by position, what is kept when
// a line cannot be used, and the limits of the help text.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace kivo;

namespace {

// The values a window hands over before a read.
OptionsFile Current() {
    OptionsFile o;
    o.Layout = {698, 815, 445, 801, 152, 445, 815, 130, 548, 1192, 17};
    o.DirName = "/home/lab";
    return o;
}

std::string Lines(const std::vector<std::string>& lines, const char* end = "\r\n") {
    std::string text;
    for (const std::string& l : lines) text += l + end;
    return text;
}

// All 14 lines, each value after 13 characters of a key spelt some other way.
std::vector<std::string> Misspelt() {
    return {"Win height = 700",       "winwidth  := 900",
            "GrafHeigth = 300",       "GrafWidth == 850",
            "LabelHeight: 100",       "LabelTop ...:500",
            "LabelWidth   880",       "FrameHeight=?120",
            "FrameTop   = 560",       "FrameWidth = 870",
            "Font       = -15",       "NumAver    = 25",
            "KoeCu      = 2.5E+0018", "DirName    = /data/esr spectra"};
}

} // namespace

TEST(OptionsFile, ValuesAreTakenByPositionWhateverTheKeys) {
    OptionsFile o = Current();
    const OptionsReadResult r = ReadOptionsText(Lines(Misspelt(), "\n"), o);
    EXPECT_TRUE(r.AllTaken()) << r.FaultText();
    const LayoutOptions& l = o.Layout;
    EXPECT_EQ((std::vector<int>{l.WinHeight, l.WinWidth, l.GrafHeight, l.GrafWidth, l.LabelHeight,
                                l.LabelTop, l.LabelWidth, l.FrameHeight, l.FrameTop, l.FrameWidth,
                                l.FontHeight, o.NumAver}),
              (std::vector<int>{700, 900, 300, 850, 100, 500, 880, 120, 560, 870, -15, 25}));
    EXPECT_EQ(o.KoeCu, 2.5e18);
    EXPECT_EQ(o.DirName, "/data/esr spectra");
}

TEST(OptionsFile, AValueThatCannotBeUsedKeepsTheOldOneAndIsNamed) {
    std::vector<std::string> lines = Misspelt();
    lines[2] = "GrafHeight = 3OO";   // letters O, not zeros
    lines[3] = "GrafWidth  = 850.5"; // not whole
    lines[5] = "LabelTop   = 700";   // at the bottom of the window line 1 gives
    lines[7] = "FrameHeight= 39";    // too low for four rows of labels
    lines[10] = "FontHeight = 5";
    lines[11] = "NumAver    = 1";
    lines[12] = "KoeCu      = 1E+400"; // no double holds it
    lines.pop_back();                  // DirName
    OptionsFile o = Current();
    const OptionsReadResult r = ReadOptionsText(Lines(lines), o);
    EXPECT_EQ(r.FaultText(), "line 3 GrafHeight not a number, line 4 GrafWidth not a number, "
                             "line 6 LabelTop out of range, line 8 FrameHeight out of range, "
                             "line 11 FontHeight out of range, line 12 NumAver out of range, "
                             "line 13 KoeCu out of range, line 14 DirName missing");
    const OptionsFile old = Current();
    EXPECT_EQ(o.Layout.GrafHeight, old.Layout.GrafHeight);
    EXPECT_EQ(o.Layout.GrafWidth, old.Layout.GrafWidth);
    EXPECT_EQ(o.Layout.LabelTop, old.Layout.LabelTop);
    EXPECT_EQ(o.Layout.FrameHeight, old.Layout.FrameHeight);
    EXPECT_EQ(o.Layout.FontHeight, old.Layout.FontHeight);
    EXPECT_EQ(o.NumAver, 10);
    EXPECT_EQ(o.KoeCu, 1.725e19); // a lost factor would zero every particle count
    EXPECT_EQ(o.DirName, "/home/lab");
    EXPECT_EQ(o.Layout.WinHeight, 700); // the good lines are taken all the same

    // The smallest usable values are taken.
    lines = Misspelt();
    for (auto& [n, line] : std::vector<std::pair<int, std::string>>{{0, "WinHeight  = 240"},
                                                                    {5, "LabelTop   = 239"},
                                                                    {7, "FrameHeight= 40"},
                                                                    {8, "FrameTop   = 0"},
                                                                    {10, "FontHeight = -6"},
                                                                    {11, "NumAver    = 2"}})
        lines[size_t(n)] = line;
    OptionsFile least = Current();
    EXPECT_TRUE(ReadOptionsText(Lines(lines), least).AllTaken());
    EXPECT_EQ(least.NumAver, 2);
    EXPECT_EQ(least.Layout.LabelTop, 239);
}

TEST(OptionsFile, TopsAndTheWindowHeightAreTakenOnlyAsTheyFit) {
    // The panel's top kept from before (548) is below a window of 400: the
    // window keeps its height, and the mode line's new top fits that.
    std::vector<std::string> lines = Misspelt();
    lines[0] = "WinHeight  = 400";
    lines[8] = "FrameTop   = low";
    OptionsFile o = Current();
    EXPECT_EQ(ReadOptionsText(Lines(lines), o).FaultText(),
              "line 1 WinHeight out of range, line 9 FrameTop not a number");
    EXPECT_EQ(o.Layout.WinHeight, 698);
    EXPECT_EQ(o.Layout.LabelTop, 500);

    // A window of 520 takes the panel at 510 but not the mode line at 600.
    lines[0] = "WinHeight  = 520";
    lines[5] = "LabelTop   = 600";
    lines[8] = "FrameTop   = 510";
    OptionsFile p = Current();
    EXPECT_EQ(ReadOptionsText(Lines(lines), p).FaultText(), "line 6 LabelTop out of range");
    EXPECT_EQ(p.Layout.LabelTop, 445);
    EXPECT_EQ(p.Layout.FrameTop, 510);
}

TEST(HelpFile, LinesAreCutAt128CharactersNotBytes) {
    std::string cyrillic;
    for (int i = 0; i < 200; ++i) cyrillic += "ж"; // two bytes in UTF-8
    const HelpText utf8 = ReadHelpText("#Topic\r\n" + cyrillic + "\r\n#\r\n");
    EXPECT_EQ(utf8.Lines[0], "#Topic");
    EXPECT_EQ(utf8.Lines[1].size(), 256u);
    EXPECT_EQ(utf8.Lines[1].substr(254), "ж");
    // The same letter in code page 1251 is one byte.
    const HelpText old = ReadHelpText("#Topic\n" + std::string(200, '\xE6') + "\n");
    EXPECT_EQ(old.Page, CodePage::Cp1251);
    EXPECT_EQ(old.Lines[1], std::string(128, '\xE6'));
}

TEST(HelpFile, HeldLinesAndTopicsStopAtTheirLimits) {
    const HelpText ended = ReadHelpText("#A\none\n#\n###\n#B\nafter the end\n#\n");
    EXPECT_EQ(ended.Lines.size(), 4u);
    EXPECT_TRUE(HelpTopic(ended, "#B").empty());
    EXPECT_EQ(HelpTopic(ReadHelpText("#A\none\n###\n"), "#A"), std::vector<std::string>{"one"});

    std::string text = "#Long\n";
    for (int i = 1; i <= 70; ++i) text += "long " + std::to_string(i) + "\n";
    EXPECT_EQ(HelpTopic(ReadHelpText(text), "#Long").size(), 59u);

    // A topic at line 480 of 600: lines 481..499, as line 500 is the last held.
    std::string tail;
    for (int i = 1; i <= 600; ++i)
        tail += (i == 480 ? "#Tail" : "line " + std::to_string(i)) + "\n";
    const HelpText held = ReadHelpText(tail);
    EXPECT_EQ(held.Lines.size(), 500u);
    const std::vector<std::string> last = HelpTopic(held, "#Tail");
    ASSERT_EQ(last.size(), 19u);
    EXPECT_EQ(last.back(), "line 499");
}
