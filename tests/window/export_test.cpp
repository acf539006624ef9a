// The chart written as a picture through View -> "Export picture..." and
// Ctrl+E: each format readable, the print style on white, refusals named.
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include "TChart.h"
#include "harness.h"

namespace {

class ExportTest : public FormTest {
protected:
    void SetUp() override {
        FormTest::SetUp();
        WriteSpectrum("first.esr", 500);
        WriteSpectrum("second.esr", 400, 3320);
        ReadFiles({"first.esr", "second.esr"});
        ASSERT_EQ(form->NumSpec, 2);
    }
    void Export(const QString& name, bool forPrint) {
        form->SaveDialog3.Option = forPrint;
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
    const QSize chart = form->Chart1->Surface()->size();
    EXPECT_EQ(screen.size(), chart * 2);
    EXPECT_EQ(screen.pixelColor(2, 2), QColor(Qt::black));

    Export("print.png", true);
    const QImage print(Path("print.png"));
    ASSERT_FALSE(print.isNull());
    EXPECT_EQ(print.pixelColor(2, 2), QColor(Qt::white));
    // Both spectra are drawn in their slot colours on the paper.
    bool first = false, second = false;
    for (int y = 0; y < print.height(); ++y)
        for (int x = 0; x < print.width(); ++x) {
            first = first || print.pixelColor(x, y) == form->SpecColor[1];
            second = second || print.pixelColor(x, y) == form->SpecColor[2];
        }
    EXPECT_TRUE(first && second);
    // The screen keeps its own style afterwards.
    EXPECT_EQ(form->Chart1->Surface()->axisRect()->backgroundBrush().color(), QColor(Qt::black));
    EXPECT_FALSE(form->Chart1->Surface()->xAxis->visible());
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
