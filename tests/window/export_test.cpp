// The chart written as a picture through View -> "Export picture..." and
// Ctrl+E: each format readable, the print style on white, refusals named;
// the figure for print drawn at the true fields in readable colours.
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <set>

#include "FigureDialog.h"
#include "TChart.h"
#include "TLabel.h"
#include "figure_files.h"
#include "harness.h"

namespace {

class ExportTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        WriteSpectrum("first.esr", 500);
        WriteSpectrum("second.esr", 400, 3320);
        ReadFiles({"first.esr", "second.esr"});
        ASSERT_EQ(form->Store.NumSpec, 2);
    }
    void Export(const QString& name, bool forPrint) {
        form->Ui.SaveDialog3.Option = forPrint;
        AnswerFiles({name});
        Key(Qt::Key_E, Qt::ControlModifier);
        ASSERT_EQ(PendingAnswers(), 0);
    }
};

} // namespace

TEST_F(ExportTest, PngIsTwiceTheChartAndPrintIsOnWhite) {
    Export("screen.png", false);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Picture saved: screen.png "));
    const QImage screen(Path("screen.png"));
    ASSERT_FALSE(screen.isNull());
    const QSize chart = form->Ui.Chart1->Surface()->size();
    EXPECT_EQ(screen.size(), chart * 2);
    EXPECT_EQ(screen.pixelColor(2, 2), QColor(Qt::black));

    Export("print.png", true);
    const QImage print(Path("print.png"));
    ASSERT_FALSE(print.isNull());
    EXPECT_EQ(print.pixelColor(2, 2), QColor(Qt::white));
    // Both spectra are drawn in the print colours, none in a slot colour.
    bool first = false, second = false, slot = false;
    for (int y = 0; y < print.height(); y += 2)
        for (int x = 0; x < print.width(); x += 2) {
            const QColor c = print.pixelColor(x, y);
            first = first || c == QColor(0x00, 0x72, 0xB2);
            second = second || c == QColor(0xD5, 0x5E, 0x00);
            slot = slot || c == form->View.SpecColor[1] || c == form->View.SpecColor[2];
        }
    EXPECT_TRUE(first && second);
    EXPECT_FALSE(slot);
    // The screen keeps its own style afterwards.
    EXPECT_EQ(form->Ui.Chart1->Surface()->axisRect()->backgroundBrush().color(), QColor(Qt::black));
    EXPECT_FALSE(form->Ui.Chart1->Surface()->xAxis->visible());
}

TEST_F(ExportTest, PdfHasOnePageAndSvgIsXmlWithTheLegend) {
    Export("chart.pdf", true);
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {Path("chart.pdf")});
    ASSERT_TRUE(info.waitForFinished(20000));
    const QString out = QString::fromLocal8Bit(info.readAllStandardOutput());
    EXPECT_EQ(info.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))))
        << out.toStdString();

    Export("chart.svg", true);
    QFile svg(Path("chart.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&svg);
    QStringList texts;
    QString root;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement) {
            if (root.isEmpty()) root = xml.name().toString();
            if (xml.name() == QLatin1String("text"))
                texts << xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(root, QStringLiteral("svg"));
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("first")));
    EXPECT_TRUE(texts.join(QLatin1Char('|')).contains(QStringLiteral("Magnetic field, G")));
}

TEST_F(ExportTest, RefusalsNameTheFileAndLeaveItAlone) {
    WriteFile("old.jpg", "not a picture");
    Export("old.jpg", false);
    EXPECT_EQ(
        form->ModeLine(),
        QStringLiteral("   Picture not saved: old.jpg: the ending must be .png, .pdf or .svg "));
    EXPECT_EQ(ReadBytes("old.jpg"), "not a picture");

    Export("missing/dir.png", false);
    EXPECT_TRUE(form->ModeLine().startsWith(QStringLiteral("   Picture not saved: dir.png: ")))
        << form->ModeLine().toStdString();

    // No ending: the default one.
    Export("plain", false);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Picture saved: plain.png "));
    EXPECT_FALSE(QImage(Path("plain.png")).isNull());
}

namespace {

// The export for print as a user preparing a paper makes it.
class FigureExportTest : public FormTest {
protected:
    // type: the place of the dialog's "Files of type" (png, pdf, svg).
    void Export(const QString& name, int type, bool forPrint = true) {
        form->Ui.SaveDialog3.Option = forPrint;
        form->Ui.SaveDialog3.FilterIndex = type;
        AnswerFiles({name});
        Key(Qt::Key_E, Qt::ControlModifier);
        ASSERT_EQ(PendingAnswers(), 0);
    }
    void ReadExample(const QString& name) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(KIVO_EXAMPLES_DIR "/") + name, Path(name)));
        ReadFiles({name});
    }
    QStringList Pictures() const {
        return QDir(dir_->path())
            .entryList({QStringLiteral("*.png"), QStringLiteral("*.pdf"), QStringLiteral("*.svg")},
                       QDir::Files);
    }
};

// The field at a horizontal place of an SVG figure, read off its field axis:
// the labelled ticks are the longest ones pointing down from the frame, their
// labels the first numbers written.
double FieldAt(const SvgFigure& svg, double x) {
    std::vector<double> ticks;
    double longest = 0;
    for (const SvgFigure::Line& l : svg.Lines)
        if (l.Points.size() == 2 && l.Points[0].x() == l.Points[1].x())
            longest = std::max(longest, l.Points[1].y() - l.Points[0].y());
    for (const SvgFigure::Line& l : svg.Lines)
        if (l.Points.size() == 2 && l.Points[0].x() == l.Points[1].x() &&
            l.Points[1].y() - l.Points[0].y() > 0.99 * longest)
            ticks.push_back(l.Points[0].x());
    std::vector<double> values;
    for (const QString& t : svg.TextContents()) {
        bool number = false;
        const double v = t.toDouble(&number);
        if (number && values.size() < ticks.size()) values.push_back(v);
    }
    if (ticks.size() < 2 || values.size() != ticks.size()) return NAN;
    return values[0] + (x - ticks[0]) / (ticks[1] - ticks[0]) * (values[1] - values[0]);
}

} // namespace

TEST_F(FigureExportTest, MoveAndScaleLeavesTheFigureAtTheTrueFields) {
    ReadExample("sample.esr");
    Export("before.svg", 2);
    Key(Qt::Key_6);
    for (int i = 0; i < 3; ++i) Key(Qt::Key_PageUp);
    for (int i = 0; i < 3; ++i) Key(Qt::Key_Right);
    ASSERT_GT(form->View.XScale, 2);
    ASSERT_NE(form->View.XShift, 0);
    const double shift = form->View.XShift;
    Export("moved.svg", 2);
    EXPECT_EQ(form->ModeLine(), QStringLiteral("   Picture saved: moved.svg "));
    // The view as it was, and the same figure as before the moves.
    EXPECT_EQ(form->View.XShift, shift);
    EXPECT_EQ(ReadBytes("moved.svg"), ReadBytes("before.svg"));
    // Its positive peak, topmost on the page, where the axis says 3349.7 G.
    const SvgFigure svg = ReadSvg(Path("moved.svg"));
    const std::vector<SvgFigure::Line> curves = svg.Curves();
    ASSERT_EQ(curves.size(), 1u);
    const std::vector<QPointF>& points = curves[0].Points;
    const QPointF top = *std::min_element(points.begin(), points.end(),
                                          [](QPointF a, QPointF b) { return a.y() < b.y(); });
    EXPECT_NEAR(FieldAt(svg, top.x()), 3349.7, 0.3);

    EXPECT_TRUE(svg.TextContents().contains(QStringLiteral("Magnetic field, G")));
}

TEST_F(FigureExportTest, FourteenSpectraReadOnPaperInEitherPalette) {
    QStringList names;
    for (int i = 1; i <= 14; ++i)
        names << WriteSpectrum(QStringLiteral("s%1.esr").arg(i), 200, 3300 + i);
    for (QString& n : names) n = QFileInfo(n).fileName();
    ReadFiles(names);
    ASSERT_EQ(form->Store.NumSpec, 14);
    for (int palette : {0, 1}) {
        SCOPED_TRACE(palette);
        figureChoice = [palette](FigureDialog& d) {
            d.Palette->setCurrentIndex(palette);
            return true;
        };
        const QString name = QStringLiteral("palette%1.svg").arg(palette);
        Export(name, 2);
        const SvgFigure svg = ReadSvg(Path(name));
        // Every caption black on the white page, slot 14's among them.
        EXPECT_TRUE(svg.TextContents().contains(QStringLiteral("s14")));
        for (const SvgFigure::Text& t : svg.Texts)
            EXPECT_EQ(t.Fill, QStringLiteral("#000000")) << t.Content.toStdString();
        // Fourteen looks, each dark enough for paper and shown in the legend.
        std::set<std::pair<QString, QString>> looks;
        for (const SvgFigure::Line& curve : svg.Curves()) {
            looks.insert({curve.Stroke, curve.Dashes});
            EXPECT_GE(ContrastOnWhite(curve.Stroke), 2.2) << curve.Stroke.toStdString();
        }
        EXPECT_EQ(looks.size(), 14u);
        for (const auto& [stroke, dashes] : looks) {
            bool sample = false;
            for (const SvgFigure::Line& l : svg.Lines)
                sample = sample || (l.Points.size() == 2 && l.Points[0].y() == l.Points[1].y() &&
                                    l.Stroke == stroke && l.Dashes == dashes);
            EXPECT_TRUE(sample) << stroke.toStdString() << " " << dashes.toStdString();
        }
    }
}

TEST_F(FigureExportTest, NothingShownIsSaidAndNothingWritten) {
    struct Case {
        const char* What;
        bool Load;
        bool ForPrint;
    };
    for (const Case& c :
         {Case{"nothing read, print", false, true}, Case{"nothing read, screen", false, false},
          Case{"all hidden, print", true, true}, Case{"all hidden, screen", true, false}}) {
        SCOPED_TRACE(c.What);
        StartForm();
        if (c.Load) {
            WriteSpectrum("a.esr", 100);
            ReadFiles({"a.esr"});
            DoubleClick(form->Ui.Label13); // every spectrum hidden
            ASSERT_FALSE(form->Ui.Chart1->Active(form->View.SpecSeries[1]));
        }
        const size_t asked = Asked().size();
        form->Ui.SaveDialog3.Option = c.ForPrint;
        Key(Qt::Key_E, Qt::ControlModifier);
        EXPECT_EQ(form->ModeLine(), QStringLiteral("   Nothing to export: no spectrum is shown "));
        EXPECT_EQ(Asked().size(), asked);
        EXPECT_EQ(figuresAsked, 0);
        EXPECT_EQ(Pictures(), QStringList());
    }
}

TEST_F(FigureExportTest, TheChosenTypeEndsANameWithoutEnding) {
    WriteSpectrum("a.esr", 100);
    ReadFiles({"a.esr"});
    struct Case {
        int Type;
        const char* Name;
        const char* Written;
        const char* Start;
    };
    const Case cases[] = {{0, "bare", "bare.png", "\x89PNG"},
                          {1, "bare", "bare.pdf", "%PDF"},
                          {2, "bare", "bare.svg", "<?xml"},
                          {1, "named.svg", "named.svg", "<?xml"}};
    for (bool forPrint : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.Written) + (forPrint ? " for print" : ""));
            for (const QString& f : Pictures()) QFile::remove(Path(f));
            Export(QLatin1String(c.Name), c.Type, forPrint);
            EXPECT_EQ(form->ModeLine(),
                      QStringLiteral("   Picture saved: %1 ").arg(QLatin1String(c.Written)));
            EXPECT_EQ(Pictures(), QStringList{QLatin1String(c.Written)});
            EXPECT_EQ(ReadBytes(QLatin1String(c.Written)).rfind(c.Start, 0), 0u);
        }
}

TEST_F(FigureExportTest, TheDialogsChoicesDrawTheFigureAndStayInTheOptionsFile) {
    WriteSpectrum("a.esr", 300);
    WriteSpectrum("b.esr", 300, 3310);
    ReadFiles({"a.esr", "b.esr"});
    figureChoice = [](FigureDialog& d) {
        d.Width->setValue(17.8);
        d.Height->setValue(8);
        d.FontPt->setValue(9);
        d.Unit->setCurrentIndex(1);
        d.Legend->setCurrentIndex(2);
        d.Stack->setValue(1.5);
        d.GScale->setChecked(true);
        return true;
    };
    Export("wide", 1);
    const QSizeF page = PdfPageSize(Path("wide.pdf"));
    EXPECT_NEAR(page.width(), 17.8 / 2.54 * 72, 0.001);
    EXPECT_NEAR(page.height(), 8 / 2.54 * 72, 0.001);
    kivo::FigureSettings wide;
    wide.WidthCm = 17.8;
    wide.HeightCm = 8;
    wide.FontPt = 9;
    wide.Unit = kivo::FieldUnit::Millitesla;
    wide.Legend = kivo::LegendPlace::None;
    wide.Stack = 1.5;
    wide.GScale = true;
    EXPECT_EQ(form->Options.FigureChoices, wide);

    // Cancelled: nothing written, nothing kept.
    figureChoice = [](FigureDialog& d) {
        d.Width->setValue(5);
        return false;
    };
    Export("cancelled.pdf", 1);
    EXPECT_FALSE(QFile::exists(Path("cancelled.pdf")));
    EXPECT_EQ(form->Options.FigureChoices, wide);

    AnswerFiles({"figure.opt"});
    Menu("&Options", "Write options");
    const QString written = QString::fromStdString(ReadBytes("figure.opt"));
    for (const char* line :
         {"\r\nFigWidthCm = 17.8\r\n", "\r\nFigField   = mT\r\n", "\r\nFigLegend  = none\r\n",
          "\r\nFigStack   = 1.5\r\n", "\r\nFigGScale  = top\r\n"})
        EXPECT_TRUE(written.contains(QLatin1String(line))) << line;
    StartForm();
    EXPECT_EQ(form->Options.FigureChoices, kivo::FigureSettings());
    AnswerFiles({"figure.opt"});
    Menu("&Options", "Read options");
    EXPECT_EQ(form->Options.FigureChoices, wide);
    EXPECT_FALSE(form->ModeLine().contains(QStringLiteral("Options file")));
    // The dialog shows them next time.
    WriteSpectrum("a.esr", 300);
    ReadFiles({"a.esr"});
    kivo::FigureSettings shown;
    figureChoice = [&shown](FigureDialog& d) {
        shown = d.Choices();
        return false;
    };
    Export("again.pdf", 1);
    EXPECT_EQ(shown, wide);
}
