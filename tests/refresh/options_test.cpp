// The Options menu: size modes, the built-in layout, writing and reading the
// options file (also Kivo.opt at start-up), and "Big points" of the View menu.
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QToolTip>

#include "TChart.h"
#include "Unit1.h"
#include "fonts.h"
#include "harness.h"

namespace {

const QString SelectModeLine = QStringLiteral(
    "   SELECT MODE         Hot keys are available; mark spec. - Click; visual-n of spec. - "
    "Dbl.Click.");

const QStringList DefaultSizeLines{"WinHeight  = 600",  "WinWidth   = 800", "GrafHeight = 445",
                                   "GrafWidth  = 801",  "LabelHeight= 152", "LabelTop   = 444",
                                   "LabelWidth = 1199", "FrameHeight= 115", "FrameTop   = 460",
                                   "FrameWidth = 1192", "FontHeight = 17",  "NumAver    = 10"};

// What the options file keeps, as the window shows it.
struct Layout {
    QSize client, chart;
    QRect modeLine, sizePanel;
    int font;
    bool operator==(const Layout&) const = default;
};

class OptionsTest : public FormTest {
protected:
    Layout Now() const {
        return {form->Ui.Client->size(), form->Ui.Chart1->size(), form->Ui.Label3->geometry(),
                form->Ui.Frame13->geometry(), FontHeight(form->Ui.Frame13->Label1)};
    }
    void WriteOptions(const QString& name, const QStringList& lines) {
        WriteFile(name,
                  (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toStdString());
    }
    // The refresh lines up every panel and the mode line's font with the size panel.
    void ExpectPanelsFollowTheSizePanel() {
        for (TFrame1* f : {form->Ui.Frame11, form->Ui.Frame12, form->Ui.Frame14, form->Ui.Frame16})
            EXPECT_EQ(f->geometry(), form->Ui.Frame13->geometry()) << f->objectName().toStdString();
        EXPECT_EQ(FontHeight(form->Ui.Frame11->Label4), FontHeight(form->Ui.Frame13->Label1));
        EXPECT_EQ(FontHeight(form->Ui.Label3), FontHeight(form->Ui.Frame13->Label1));
    }
};

} // namespace

TEST_F(OptionsTest, DefaultSizeThenWriteOptionsWritesTheTwelveListedLines) {
    form->Options.NumAver = 33;
    Menu("&Options", "Default size");
    EXPECT_EQ(Now(), (Layout{QSize(800, 600), QSize(801, 445), QRect(0, 444, 1199, 152),
                             QRect(0, 460, 1192, 115), 17}));
    ExpectPanelsFollowTheSizePanel();

    AnswerFiles({"layout.opt"});
    Menu("&Options", "Write options");
    ASSERT_EQ(Asked().size(), 1u);
    EXPECT_EQ(Asked()[0].Dialog, QStringLiteral("SaveDialog2"));
    EXPECT_EQ(Asked()[0].DefaultExt, QStringLiteral(".opt"));
    EXPECT_TRUE(form->Ui.SaveDialog2.CreatePrompt);
    // The picture export's choices follow the fourteen lines.
    EXPECT_EQ(QString::fromStdString(ReadBytes("layout.opt")),
              (DefaultSizeLines +
               QStringList{"KoeCu      =  1.72500000000000E+0019",
                           "DirName    = " + form->Options.DefaultDir, "FigWidthCm = 8.5",
                           "FigHeightCm= 6.5", "FigFontPt  = 8", "FigLinePt  = 0.75",
                           "FigDpi     = 600", "FigStack   = 0", "FigColours = colour-blind",
                           "FigLegend  = corner", "FigField   = G", "FigSignal  = values",
                           "FigGScale  = none", "FigLabels  = words", "NormFactors= 1234", ""})
                  .join(QStringLiteral("\r\n")));
}

TEST_F(OptionsTest, WriteThenReadGivesTheLayoutAndTheSettingsBack) {
    // A layout of the user's own, made in the three size modes.
    const std::pair<const char*, std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>>> modes[] = {
        {"Window Size", {{Qt::Key_PageUp, {}}, {Qt::Key_PageDown, Qt::ControlModifier}}},
        {"Graf Size", {{Qt::Key_PageDown, Qt::ControlModifier}}},
        {"Low menu",
         {{Qt::Key_PageUp, Qt::ControlModifier}, {Qt::Key_PageUp, Qt::ControlModifier}}}};
    for (const auto& [item, keys] : modes) {
        Menu("&Options", item);
        for (const auto& [key, modifiers] : keys) Key(key, modifiers);
        Key(Qt::Key_Escape);
    }
    form->Options.NumAver = 25;
    form->Options.KoeCu = 1.234567890123456789e19;
    form->Options.DefaultDir = Path("spectra of may");
    form->Options.AcquisitionFactors = kivo::FactorGain | kivo::FactorPower;
    const Layout mine = Now();
    ASSERT_EQ(mine.client, QSize(825, 688));
    ASSERT_EQ(mine.font, 19);
    AnswerFiles({"mine.opt"});
    Menu("&Options", "Write options");

    Menu("&Options", "Default size");
    form->Options.KoeCu = 5;
    form->Options.DefaultDir = QStringLiteral("/elsewhere");
    form->Options.AcquisitionFactors = kivo::AllFactors;
    AnswerFiles({"mine.opt"});
    Menu("&Options", "Read options");
    EXPECT_EQ(Asked().back().Dialog, QStringLiteral("OpenDialog2"));
    EXPECT_EQ(Now(), mine);
    EXPECT_EQ(form->Ui.Label1->width(), mine.modeLine.width());
    EXPECT_EQ(form->Options.NumAver, 25);
    EXPECT_EQ(form->Options.KoeCu, 1.23456789012346e19); // the 15 digits written
    EXPECT_EQ(form->Options.DefaultDir, Path("spectra of may"));
    EXPECT_EQ(form->Options.AcquisitionFactors, kivo::FactorGain | kivo::FactorPower);
    EXPECT_EQ(form->Ui.OpenDialog1.InitialDir, Path("spectra of may"));
    ExpectPanelsFollowTheSizePanel();
    EXPECT_EQ(form->ModeLine(), SelectModeLine);
}

TEST_F(OptionsTest, ReadOptionsKeepsWhatAShortOrBadFileCannotGive) {
    const int chartHeight = form->Ui.Chart1->height();
    QStringList lines = DefaultSizeLines;
    lines[1] = QStringLiteral("WinWidth   = 320"); // the narrowest usable
    lines[2] = QStringLiteral("GrafHeight = 4OO");
    lines[11] = QStringLiteral("NumAver    = 1");
    WriteOptions("bad.opt", lines);
    const QString dir = form->Options.DefaultDir;
    AnswerFiles({"bad.opt"});
    Menu("&Options", "Read options");
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("   Options file bad.opt: line 3 GrafHeight not a number, line 12 "
                             "NumAver out of range, line 13 KoeCu missing, line 14 DirName "
                             "missing; the old values kept "));
    EXPECT_EQ(form->Ui.Client->size(), QSize(320, 600));
    EXPECT_EQ(form->Ui.Chart1->size(), QSize(801, chartHeight));
    EXPECT_EQ(form->Options.NumAver, 10);
    EXPECT_EQ(form->Options.KoeCu, 1.725e19);
    EXPECT_EQ(form->Options.DefaultDir, dir);
}

TEST_F(OptionsTest, StartUpReadsKivoOptAndTheAnchorsKeepItsLayout) {
    WriteOptions("Kivo.opt",
                 {"WinHeight  = 650", "WinWidth   = 900", "GrafHeight = 400", "GrafWidth  = 850",
                  "LabelHeight= 120", "LabelTop   = 430", "LabelWidth = 1000", "FrameHeight= 100",
                  "FrameTop   = 525", "FrameWidth = 900", "FontHeight = 15", "NumAver    = 0",
                  "KoeCu      =  2.00000000000000E+0019", "DirName    = " + Path("d")});
    StartForm();
    EXPECT_TRUE(Asked().empty());
    // What Kivo.opt could not give is still said after the start-up's refresh.
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Options file Kivo.opt: line 12 NumAver out of "
                                               "range; the old values kept "));
    EXPECT_EQ(Now(), (Layout{QSize(900, 650), QSize(850, 400), QRect(0, 430, 1000, 120),
                             QRect(0, 525, 900, 100), 15}));
    EXPECT_EQ(form->Ui.Label1->width(), 1000);
    EXPECT_EQ(form->Options.NumAver, 10);
    EXPECT_EQ(form->Options.KoeCu, 2e19);
    EXPECT_EQ(form->Ui.OpenDialog1.InitialDir, Path("d"));
    ExpectPanelsFollowTheSizePanel();

    // The window grows: the chart with it, the panels keep to the bottom.
    form->resize(form->width() + 100, form->height() + 50);
    Settle();
    EXPECT_EQ(form->Ui.Chart1->size(), QSize(950, 450));
    EXPECT_EQ(form->Ui.Frame11->geometry(), QRect(0, 575, 900, 100));
    EXPECT_EQ(form->Ui.Label3->geometry(), QRect(0, 480, 1100, 120));
}

TEST_F(OptionsTest, StartUpRestoresTheDefaultSizeAsReadOptionsDoes) {
    // The chart of "Default size" has the size it is made with: nothing but
    // the options tells the start-up where it belongs in the smaller window.
    Menu("&Options", "Default size");
    AnswerFiles({"Kivo.opt"});
    Menu("&Options", "Write options");
    const std::string written = ReadBytes("Kivo.opt");
    AnswerFiles({"Kivo.opt"});
    Menu("&Options", "Read options");
    const Layout read = Now();
    const QRect bottomBar = form->Ui.Label1->geometry();
    ASSERT_EQ(read.chart, QSize(801, 445));
    ASSERT_EQ(bottomBar, QRect(0, 580, 1199, 20));

    StartForm();
    EXPECT_EQ(Now(), read);
    EXPECT_EQ(form->Ui.Label1->geometry(), bottomBar);
    EXPECT_EQ(form->Ui.Frame11->geometry(), read.sizePanel);
    AnswerFiles({"again.opt"});
    Menu("&Options", "Write options");
    EXPECT_EQ(ReadBytes("again.opt"), written);
}

TEST_F(OptionsTest, SizeModesStopAtTheLayoutsAnOptionsFileHolds) {
    // Each key held past the limit it meets first; what the mode leaves is
    // written and must read back whole.
    struct Case {
        const char* item;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int presses;
        int (*value)(const Layout&);
        int last;
    };
    const Case cases[] = {
        {"Window Size",
         Qt::Key_PageDown,
         {},
         60,
         [](const Layout& l) { return l.client.width(); },
         325},
        {"Window Size", Qt::Key_PageDown, Qt::ControlModifier, 50,
         [](const Layout& l) { return l.chart.height(); }, 55},
        {"Graf Size",
         Qt::Key_PageDown,
         {},
         90,
         [](const Layout& l) { return l.chart.width(); },
         51},
        {"Low menu", Qt::Key_PageDown, Qt::ControlModifier, 12,
         [](const Layout& l) { return l.sizePanel.height(); }, 40},
        {"Low menu", Qt::Key_PageUp, Qt::ControlModifier, 50,
         [](const Layout& l) { return l.modeLine.top(); }, 5},
        {"Low menu",
         Qt::Key_PageDown,
         {},
         80,
         [](const Layout& l) { return l.modeLine.width(); },
         55},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " key " + std::to_string(c.key));
        StartForm();
        Menu("&Options", c.item);
        for (int n = 0; n < c.presses; ++n) Key(c.key, c.modifiers);
        Key(Qt::Key_Escape);
        const Layout stopped = Now();
        EXPECT_EQ(c.value(stopped), c.last);
        AnswerFiles({"stopped.opt"});
        Menu("&Options", "Write options");
        Menu("&Options", "Default size");
        AnswerFiles({"stopped.opt"});
        Menu("&Options", "Read options");
        EXPECT_EQ(form->ModeLine(), SelectModeLine);
        EXPECT_EQ(Now(), stopped);
    }
}

TEST_F(OptionsTest, AMessageLongerThanTheModeLinesRoomShowsWholeOnHover) {
    // In the layout of "Default size" the panel leaves the mode line one
    // line, narrower than the mode line itself.
    WriteOptions("faults.opt",
                 DefaultSizeLines.mid(0, 11) + QStringList{"NumAver    = many", "KoeCu      = -1"});
    AnswerFiles({"faults.opt"});
    Menu("&Options", "Read options");
    const QString message = QStringLiteral(
        "   Options file faults.opt: line 12 NumAver not a number, line 13 KoeCu out of range, "
        "line 14 DirName missing; the old values kept ");
    ASSERT_EQ(form->ModeLine(), message);
    const QStringList shown = form->Ui.Label3->ShownLines();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].endsWith(QChar(0x2026)));
    EXPECT_TRUE(message.startsWith(shown[0].chopped(1)));
    QHelpEvent hover(QEvent::ToolTip, QPoint(4, 4), form->Ui.Label3->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(form->Ui.Label3, &hover);
    EXPECT_EQ(QToolTip::text(), message);
    QToolTip::hideText();
}

TEST_F(OptionsTest, F4EndsASizeModeLikeEsc) {
    Menu("&Options", "Graf Size");
    ASSERT_TRUE(form->Ui.Frame13->isVisibleTo(form.get()));
    Key(Qt::Key_F4);
    EXPECT_FALSE(form->Ui.Frame13->isVisibleTo(form.get()));
    EXPECT_TRUE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
    const QSize chart = form->Ui.Chart1->size();
    Key(Qt::Key_PageUp); // no size mode any more
    EXPECT_EQ(form->Ui.Chart1->size(), chart);
}

TEST_F(OptionsTest, ASizeModeTakesTheKeysUntilEsc) {
    const QSize client = form->Ui.Client->size();
    Menu("&Options", "Window Size");
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Change window size  "));
    EXPECT_FALSE(form->Ui.Frame11->isVisibleTo(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame13->Edit1);
    Key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(form->Ui.Client->size(), client + QSize(0, 10));
    Key(Qt::Key_3); // starts no base line behind the size panel
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Change window size  "));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(form->Ui.Frame13->isVisibleTo(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->Ui.Frame11->Edit1);
    EXPECT_EQ(form->ModeLine(), SelectModeLine);
}

TEST_F(OptionsTest, BigPointsMovesThePreviewToTheLargerPointsAndBack) {
    WriteSpectrum("a.esr", 200);
    ReadFiles({"a.esr"});
    for (int series : {ViewState::PointSeries2, ViewState::PointSeries1}) {
        Menu("View", "Big points");
        EXPECT_EQ(form->View.BigPoints, series);
        Key(Qt::Key_3);
        EXPECT_EQ(form->Ui.Chart1->PointCount(series), 200);
        EXPECT_EQ(form->Ui.Chart1->PointCount(1 - series), 0);
        Key(Qt::Key_Escape);
    }
}
