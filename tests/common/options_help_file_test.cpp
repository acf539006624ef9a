// The options file and the help file as plain text: values by position, what
// is kept when a line cannot be used, and the limits of the help text.
#include "TYPEKIVO1_3.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace kivo;
namespace fs = std::filesystem;

namespace {

// The values a window would hand over before a read.
OptionsFile Current() {
    OptionsFile o;
    o.Layout = {698, 815, 445, 801, 152, 445, 815, 130, 548, 1192, 17};
    o.NumAver = 10;
    o.KoeCu = 1.725e19;
    o.DirName = "/home/lab";
    return o;
}

std::string Lines(const std::vector<std::string>& lines, const char* end = "\r\n") {
    std::string text;
    for (const std::string& l : lines) text += l + end;
    return text;
}

// A file of all 14 lines with other keys in front, as a hand-edited file may have.
std::vector<std::string> MisspeltFile() {
    return {"Win height = 700",       "winwidth  := 900",
            "GrafHeigth = 300",       "GrafWidth == 850",
            "LabelHeight: 100",       "LabelTop ...:500",
            "LabelWidth   880",       "FrameHeight=?120",
            "FrameTop   = 560",       "FrameWidth = 870",
            "Font       = -15",       "NumAver    = 25",
            "KoeCu      = 2.5E+0018", "DirName    = /data/esr spectra"};
}

bool operator==(const LayoutOptions& a, const LayoutOptions& b) {
    return a.WinHeight == b.WinHeight && a.WinWidth == b.WinWidth && a.GrafHeight == b.GrafHeight &&
           a.GrafWidth == b.GrafWidth && a.LabelHeight == b.LabelHeight &&
           a.LabelTop == b.LabelTop && a.LabelWidth == b.LabelWidth &&
           a.FrameHeight == b.FrameHeight && a.FrameTop == b.FrameTop &&
           a.FrameWidth == b.FrameWidth && a.FontHeight == b.FontHeight;
}

class OptionsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A directory of its own, even with other runs of the suite at the same time.
        std::string name = (fs::temp_directory_path() / "kivo_opt_XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

} // namespace

TEST_F(OptionsFileTest, WrittenFileHasTheFourteenKeyedLines) {
    OptionsFile o = Current();
    o.Layout = {600, 800, 445, 801, 152, 444, 1199, 115, 460, 1192, -17};
    EXPECT_EQ(FormatOptions(o), "WinHeight  = 600\r\n"
                                "WinWidth   = 800\r\n"
                                "GrafHeight = 445\r\n"
                                "GrafWidth  = 801\r\n"
                                "LabelHeight= 152\r\n"
                                "LabelTop   = 444\r\n"
                                "LabelWidth = 1199\r\n"
                                "FrameHeight= 115\r\n"
                                "FrameTop   = 460\r\n"
                                "FrameWidth = 1192\r\n"
                                "FontHeight = -17\r\n"
                                "NumAver    = 10\r\n"
                                "KoeCu      =  1.72500000000000E+0019\r\n"
                                "DirName    = /home/lab\r\n");
    o.KoeCu = -3.5e-7;
    EXPECT_NE(FormatOptions(o).find("KoeCu      = -3.50000000000000E-0007\r\n"), std::string::npos);
}

TEST_F(OptionsFileTest, WriteThenReadGivesEveryValueBack) {
    OptionsFile written = Current();
    written.Layout = {720, 1024, 500, 1000, 140, 560, 1010, 100, 600, 990, 19};
    written.NumAver = 37;
    written.KoeCu = 1.234567890123456789e19;
    written.DirName = "/home/lab/спектры 2024";
    std::string error;
    ASSERT_TRUE(WriteOptionsFile(written, Path("a.opt"), error)) << error;
    EXPECT_TRUE(error.empty());

    OptionsFile read = Current();
    const OptionsReadResult r = ReadOptionsFile(Path("a.opt"), read);
    EXPECT_TRUE(r.AllTaken()) << r.FaultText();
    EXPECT_TRUE(read.Layout == written.Layout);
    EXPECT_EQ(read.NumAver, 37);
    // 15 significant digits are written: the value read is exactly their rounding.
    EXPECT_EQ(read.KoeCu, 1.23456789012346e19);
    EXPECT_EQ(read.DirName, written.DirName);
}

TEST_F(OptionsFileTest, ValuesAreTakenByLineWhateverTheKeys) {
    OptionsFile o = Current();
    const OptionsReadResult r = ReadOptionsText(Lines(MisspeltFile()), o);
    EXPECT_TRUE(r.AllTaken()) << r.FaultText();
    EXPECT_TRUE(o.Layout == (LayoutOptions{700, 900, 300, 850, 100, 500, 880, 120, 560, 870, -15}));
    EXPECT_EQ(o.NumAver, 25);
    EXPECT_EQ(o.KoeCu, 2.5e18);
    EXPECT_EQ(o.DirName, "/data/esr spectra");

    // Lines in another order are taken by position: the chart width's line
    // put first gives the client height.
    std::vector<std::string> swapped = MisspeltFile();
    std::swap(swapped[0], swapped[3]);
    OptionsFile p = Current();
    ReadOptionsText(Lines(swapped, "\n"), p);
    EXPECT_EQ(p.Layout.WinHeight, 850);
    EXPECT_EQ(p.Layout.GrafWidth, 700);
}

TEST_F(OptionsFileTest, AShortFileKeepsWhatItLacksAndNamesTheLines) {
    std::vector<std::string> twelve = MisspeltFile();
    twelve.resize(12);
    OptionsFile o = Current();
    const OptionsReadResult r = ReadOptionsText(Lines(twelve), o);
    EXPECT_FALSE(r.AllTaken());
    EXPECT_EQ(r.Faults[12], OptionFault::Missing);
    EXPECT_EQ(r.Faults[13], OptionFault::Missing);
    EXPECT_EQ(r.FaultText(), "line 13 KoeCu missing, line 14 DirName missing");
    // A KoeCu of 0 would make every particle count 0: the old factor stays.
    EXPECT_EQ(o.KoeCu, 1.725e19);
    EXPECT_EQ(o.DirName, "/home/lab");
    EXPECT_EQ(o.NumAver, 25);
    EXPECT_EQ(o.Layout.WinHeight, 700);

    OptionsFile empty = Current();
    const OptionsReadResult none = ReadOptionsText("", empty);
    EXPECT_EQ(none.FaultText().substr(0, 24), "line 1 WinHeight missing");
    EXPECT_TRUE(empty.Layout == Current().Layout);
}

TEST_F(OptionsFileTest, AValueThatIsNoNumberOrUnusableKeepsTheOldOne) {
    std::vector<std::string> lines = MisspeltFile();
    lines[2] = "GrafHeight = 3OO";   // letters O, not zeros
    lines[3] = "GrafWidth  = 850.5"; // not a whole number
    lines[5] = "LabelTop   = 700";   // at the window's bottom (line 1 makes it 700)
    lines[7] = "FrameHeight= 39";    // too low for four rows of labels
    lines[10] = "FontHeight = 5";    // too small to read
    lines[11] = "NumAver    = 1";    // averages nothing
    lines[12] = "KoeCu      =  0.00000000000000E+0000";
    lines[13] = "DirName    = "; // present and empty: no directory
    OptionsFile o = Current();
    const OptionsReadResult r = ReadOptionsText(Lines(lines), o);
    EXPECT_EQ(r.FaultText(), "line 3 GrafHeight not a number, line 4 GrafWidth not a number, "
                             "line 6 LabelTop out of range, line 8 FrameHeight out of range, "
                             "line 11 FontHeight out of range, line 12 NumAver out of range, "
                             "line 13 KoeCu out of range");
    const OptionsFile old = Current();
    EXPECT_EQ(o.Layout.GrafHeight, old.Layout.GrafHeight);
    EXPECT_EQ(o.Layout.GrafWidth, old.Layout.GrafWidth);
    EXPECT_EQ(o.Layout.LabelTop, old.Layout.LabelTop);
    EXPECT_EQ(o.Layout.FrameHeight, old.Layout.FrameHeight);
    EXPECT_EQ(o.Layout.FontHeight, old.Layout.FontHeight);
    EXPECT_EQ(o.NumAver, old.NumAver);
    EXPECT_EQ(o.KoeCu, old.KoeCu);
    EXPECT_EQ(o.DirName, "");
    // The good lines are taken all the same.
    EXPECT_EQ(o.Layout.WinHeight, 700);
    EXPECT_EQ(o.Layout.FrameTop, 560);
}

TEST_F(OptionsFileTest, TheSmallestUsableValuesAreTaken) {
    std::vector<std::string> lines = MisspeltFile();
    lines[0] = "WinHeight  = 240";
    lines[5] = "LabelTop   = 239";
    lines[7] = "FrameHeight= 40";
    lines[8] = "FrameTop   = 0";
    lines[10] = "FontHeight = -6";
    lines[11] = "NumAver    = 2";
    lines[12] = "KoeCu      = 1E-300";
    OptionsFile o = Current();
    const OptionsReadResult r = ReadOptionsText(Lines(lines), o);
    EXPECT_TRUE(r.AllTaken()) << r.FaultText();
    EXPECT_EQ(o.Layout.WinHeight, 240);
    EXPECT_EQ(o.Layout.LabelTop, 239);
    EXPECT_EQ(o.Layout.FrameHeight, 40);
    EXPECT_EQ(o.Layout.FrameTop, 0);
    EXPECT_EQ(o.Layout.FontHeight, -6);
    EXPECT_EQ(o.NumAver, 2);

    lines[0] = "WinHeight  = 239";
    lines[11] = "NumAver    = 7501"; // longer than half the longest spectrum
    lines[12] = "KoeCu      = 1E+400";
    OptionsFile p = Current();
    EXPECT_EQ(ReadOptionsText(Lines(lines), p).FaultText(),
              "line 1 WinHeight out of range, line 12 NumAver out of range, "
              "line 13 KoeCu out of range");
    EXPECT_EQ(p.Layout.WinHeight, 698);
}

TEST_F(OptionsFileTest, TopsAndWindowHeightAreTakenOnlyTogetherWithEachOther) {
    // The panel's top kept from before (548) lies below a window of 400: the
    // window keeps its height, and the mode line's new top fits that.
    std::vector<std::string> lines = MisspeltFile();
    lines[0] = "WinHeight  = 400";
    lines[8] = "FrameTop   = low";
    OptionsFile o = Current();
    EXPECT_EQ(ReadOptionsText(Lines(lines), o).FaultText(),
              "line 1 WinHeight out of range, line 9 FrameTop not a number");
    EXPECT_EQ(o.Layout.WinHeight, 698);
    EXPECT_EQ(o.Layout.LabelTop, 500);
    EXPECT_EQ(o.Layout.FrameTop, 548);

    // A window of 520 takes the panel at 510 but not the mode line at 600.
    lines[0] = "WinHeight  = 520";
    lines[5] = "LabelTop   = 600";
    lines[8] = "FrameTop   = 510";
    OptionsFile p = Current();
    EXPECT_EQ(ReadOptionsText(Lines(lines), p).FaultText(), "line 6 LabelTop out of range");
    EXPECT_EQ(p.Layout.WinHeight, 520);
    EXPECT_EQ(p.Layout.LabelTop, 445);
    EXPECT_EQ(p.Layout.FrameTop, 510);
}

TEST_F(OptionsFileTest, AFileThatCannotBeReadChangesNothing) {
    OptionsFile o = Current();
    const OptionsReadResult r = ReadOptionsFile(Path("none.opt"), o);
    EXPECT_FALSE(r.Opened);
    EXPECT_FALSE(r.AllTaken());
    EXPECT_TRUE(o.Layout == Current().Layout);
    EXPECT_EQ(o.DirName, "/home/lab");
    // A directory is no options file either.
    EXPECT_FALSE(ReadOptionsFile(dir_.string(), o).Opened);

    std::string error;
    EXPECT_FALSE(WriteOptionsFile(o, Path("no/such/dir/a.opt"), error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

// ---- Help file ------------------------------------------------------------

TEST(HelpFile, LinesAreCutAt128CharactersOfTheirCodePage) {
    const std::string ascii(200, 'a');
    std::string cyrillic;
    for (int i = 0; i < 200; ++i) cyrillic += "ж"; // two bytes each in UTF-8
    HelpText utf8 = ReadHelpText("#Topic\r\n" + ascii + "\r\n" + cyrillic + "\r\n#\r\n");
    ASSERT_EQ(utf8.Lines.size(), 4u);
    EXPECT_EQ(utf8.Page, CodePage::Utf8);
    EXPECT_EQ(utf8.Lines[0], "#Topic");
    EXPECT_EQ(utf8.Lines[1], std::string(128, 'a'));
    EXPECT_EQ(utf8.Lines[2].size(), 256u);
    EXPECT_EQ(utf8.Lines[2].substr(254), "ж");

    // "ж" in code page 1251 is one byte.
    const std::string cp1251(200, '\xE6');
    HelpText old = ReadHelpText("#Topic\n" + cp1251 + "\n");
    EXPECT_EQ(old.Page, CodePage::Cp1251);
    EXPECT_EQ(old.Lines[1], std::string(128, '\xE6'));
}

TEST(HelpFile, HeldLinesEndAfterThreeHashesOrAtFiveHundred) {
    HelpText ended = ReadHelpText("#A\none\n#\n###\n#B\nafter the end\n#\n");
    ASSERT_EQ(ended.Lines.size(), 4u);
    EXPECT_EQ(ended.Lines.back(), "###");
    EXPECT_TRUE(HelpTopic(ended, "#B").empty());

    std::string many;
    for (int i = 1; i <= 600; ++i) many += "line " + std::to_string(i) + "\n";
    const HelpText cut = ReadHelpText(many);
    ASSERT_EQ(cut.Lines.size(), 500u);
    EXPECT_EQ(cut.Lines.back(), "line 500");
}

TEST(HelpFile, ATopicRunsToItsEndMarkAndNoFurther) {
    const HelpText help = ReadHelpText("intro\n#Low Menu\nparent 1\nparent 2\n#\n#BaseLine\n"
                                       "child\n#\n#Last\nto the end 1\nto the end 2\n");
    EXPECT_EQ(HelpTopic(help, "#Low Menu"), (std::vector<std::string>{"parent 1", "parent 2"}));
    EXPECT_EQ(HelpTopic(help, "#BaseLine"), std::vector<std::string>{"child"});
    EXPECT_EQ(HelpTopic(help, "#Last"), (std::vector<std::string>{"to the end 1", "to the end 2"}));
    // Keys are whole lines: no prefix, no trailing blank.
    EXPECT_TRUE(HelpTopic(help, "#Low").empty());
    EXPECT_TRUE(HelpTopic(help, "#Missing").empty());
    EXPECT_EQ(HelpTopic(ReadHelpText("#Low Menu \nx\n#\n"), "#Low Menu"),
              std::vector<std::string>{});
}

TEST(HelpFile, ATopicShowsAtMost59LinesAndNothingPastLine499) {
    std::string text = "#Long\n";
    for (int i = 1; i <= 70; ++i) text += "long " + std::to_string(i) + "\n";
    text += "#\n";
    const std::vector<std::string> topic = HelpTopic(ReadHelpText(text), "#Long");
    ASSERT_EQ(topic.size(), 59u);
    EXPECT_EQ(topic.back(), "long 59");

    // A topic at line 480 of a file of 500 held lines: lines 481..499.
    std::string tail;
    for (int i = 1; i <= 479; ++i) tail += "filler\n";
    tail += "#Tail\n";
    for (int i = 481; i <= 520; ++i) tail += "line " + std::to_string(i) + "\n";
    const std::vector<std::string> last = HelpTopic(ReadHelpText(tail), "#Tail");
    ASSERT_EQ(last.size(), 19u);
    EXPECT_EQ(last.front(), "line 481");
    EXPECT_EQ(last.back(), "line 499");
}
