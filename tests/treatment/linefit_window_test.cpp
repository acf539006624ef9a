// The order of the base line in "3" and the fit of derivative lines in "8",
// through the keys of the real window, against the routines and the batch.
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <cmath>

#include "TChart.h"
#include "Unit1.h"
#include "batch.h"
#include "command_line.h"
#include "fitting.h"
#include "harness.h"

namespace {

class LineFitWindowTest : public FormTest {
protected:
    // A Lorentzian derivative line at 3350 G, width 4 G, on a cubic drift,
    // with a little noise: 600 points 0.25 G apart.
    QString Sample(const QString& name, const std::string& line2 = "s, 9.5 GHz, ") {
        std::vector<float> x, y;
        kivo::FittedLine line;
        line.Centre = 3350;
        line.Width = 4;
        line.Amplitude = 500;
        line.Lorentz = 1;
        unsigned noise = 12345;
        for (int k = 0; k < 600; ++k) {
            x.push_back(float(3275 + 0.25 * k));
            const double t = (x.back() - 3350) / 75;
            noise = noise * 1103515245u + 12345u;
            y.push_back(float(kivo::DerivativeLineAt(line, x.back()) + 40 * t * t * t - 15 * t +
                              double(noise >> 16) / 65536.0 - 0.5));
        }
        kivo::ParamSpec p;
        p.NumPoints = 600;
        p.Line1 = name.toStdString();
        p.Line2 = line2;
        return WriteFile(name, kivo::FormatSpectrum(p, x.data(), y.data()));
    }
    std::vector<float> Values(int slot) const {
        return {form->Store.SpecY[slot].Data(),
                form->Store.SpecY[slot].Data() + form->Store.Params[slot].NumPoints};
    }
    void Type(const QString& digits) {
        for (QChar c : digits) Key(Qt::Key(Qt::Key_0 + (c.unicode() - '0')));
        Key(Qt::Key_Return);
    }
    // The batch's row of the file, treated in process.
    kivo::batch::Row BatchRow(const std::vector<std::string>& args) {
        const kivo::batch::CommandLine line = kivo::batch::ParseCommandLine(args);
        EXPECT_EQ(line.What, kivo::batch::CommandLine::Action::Run) << line.Text.toStdString();
        std::vector<kivo::batch::Row> rows;
        kivo::batch::Run(line.Files, line.Work, 1,
                         [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                             rows.insert(rows.end(), r.begin(), r.end());
                         });
        EXPECT_EQ(rows.size(), 1u);
        return rows.empty() ? kivo::batch::Row{} : rows[0];
    }
};

} // namespace

// PgUp and PgDown walk the order within 0..5; the preview and the commit are
// the routine's at that order, as is the batch's base line of that order.
TEST_F(LineFitWindowTest, BaseLineOrderKeysPreviewCommitAndMatchTheBatch) {
    const std::string file = Sample("s.esr").toStdString();
    ReadFiles({"s.esr"});
    const std::vector<float> before = Values(1);
    const int n = form->Store.Params[1].NumPoints;
    Key(Qt::Key_3);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("   SUBTRACTION OF BASE LINE") + form->Options.ShiftLineHint);
    const struct {
        Qt::Key Key;
        int Presses, Order;
    } steps[] = {{Qt::Key_PageDown, 3, 0},
                 {Qt::Key_PageUp, 3, 3},
                 {Qt::Key_PageUp, 4, 5},
                 {Qt::Key_PageDown, 2, 3}};
    for (const auto& s : steps) {
        for (int k = 0; k < s.Presses; ++k) Key(s.Key);
        EXPECT_EQ(form->Options.BaseLineOrder, s.Order);
        EXPECT_EQ(form->ModeLine(),
                  QStringLiteral("   SUBTRACTION OF BASE LINE, order %1").arg(s.Order) +
                      form->Options.ShiftLineHint);
        std::vector<float> want = before;
        EXPECT_EQ(kivo::SubtractBaseLine(form->Store.SpecX[1].Data(), want.data(), n,
                                         kivo::BaseLineStart(n, form->Options.NumAver), s.Order,
                                         form->Options.NumAver, "s"),
                  "");
        EXPECT_EQ(
            std::vector<float>(form->Store.SavedY[1].Data(), form->Store.SavedY[1].Data() + n),
            want);
        // The polynomial is drawn over the spectrum.
        EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.AuxSeries[3]), n);
    }
    Key(Qt::Key_Escape);
    const std::vector<float> committed = Values(1);
    EXPECT_NE(committed, before);
    EXPECT_EQ(form->Store.Params[1].Line2, "s, 9.5 GHz, Base line 3, ");
    const kivo::batch::Row row =
        BatchRow({"kivo-batch", "--baseline", "--baseline-order", "3", file});
    EXPECT_EQ(row.Params.Line2, form->Store.Params[1].Line2);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Values(1), before);
    // The order stays for the next "3"; the straight line leaves no note.
    Key(Qt::Key_3);
    for (int k = 0; k < 2; ++k) Key(Qt::Key_PageDown);
    EXPECT_EQ(form->Ui.Chart1->PointCount(form->View.AuxSeries[3]), 0);
    Key(Qt::Key_Escape);
    EXPECT_EQ(form->Store.Params[1].Line2, "s, 9.5 GHz, ");
}

// Alt+V, two digits, two cursors: the results on the mode line and in the
// results box, the curve and the residual in new slots, one undo step; the
// batch's fit of the same range gives the same lines.
TEST_F(LineFitWindowTest, FitMakesCurveAndResidualAndMatchesTheBatch) {
    // A history as a spectrometer's reader writes it: no ", " at its end.
    const std::string file = Sample("s.esr", "9.5 GHz, 16 scans").toStdString();
    ReadFiles({"s.esr"});
    const std::vector<float> before = Values(1);
    Key(Qt::Key_8);
    Key(Qt::Key_V, Qt::AltModifier);
    EXPECT_EQ(
        form->ModeLine(),
        QStringLiteral("   Fit: shape 1 Lorentz, 2 Gauss, 3 Voigt; lines 1 to 6; 1 more for a "
                       "straight line: 11"));
    Key(Qt::Key_Backspace);
    Key(Qt::Key_Backspace);
    Type(QStringLiteral("41"));
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("  Treatment     Not a shape 1 to 3, 1 to 6 lines and 0 or 1 for a "
                             "straight line: '41' "));
    EXPECT_EQ(form->Store.NumSpec, 1);
    // The offer is typed over.
    Key(Qt::Key_V, Qt::AltModifier);
    Key(Qt::Key_1);
    EXPECT_EQ(
        form->ModeLine(),
        QStringLiteral("   Fit: shape 1 Lorentz, 2 Gauss, 3 Voigt; lines 1 to 6; 1 more for a "
                       "straight line: 1"));
    Type(QStringLiteral("1"));
    ASSERT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
    EXPECT_TRUE(form->ModeLine().startsWith(QStringLiteral("  Fit 1 lorentz: enclose the lines")));
    // Cursors at 3300 and 3400 G.
    const int first = 101, last = 501;
    form->Pick.PickIndex[1] = first;
    Key(Qt::Key_Return);
    form->Pick.PickIndex[2] = last;
    Key(Qt::Key_Return);
    ASSERT_EQ(form->Store.NumSpec, 3);
    EXPECT_EQ(form->Store.SpecCaption[2], QStringLiteral("s fit"));
    EXPECT_EQ(form->Store.SpecCaption[3], QStringLiteral("s resid"));
    EXPECT_EQ(Values(1), before);
    const kivo::LineFit fit = kivo::FitDerivativeLines(form->Store.SpecX[1].Data(), before.data(),
                                                       first, last, kivo::LineShape::Lorentz, 1);
    ASSERT_EQ(fit.Refusal, "");
    EXPECT_NEAR(fit.Lines[0].Centre, 3350, 0.05);
    const int m = last - first + 1;
    ASSERT_EQ(form->Store.Params[2].NumPoints, m);
    ASSERT_EQ(form->Store.Params[3].NumPoints, m);
    std::vector<float> curve(static_cast<size_t>(m));
    kivo::FittedCurve(fit, form->Store.SpecX[1].Data() + first - 1, m, curve.data());
    EXPECT_EQ(Values(2), curve);
    EXPECT_EQ(form->Store.SpecX[3][1], form->Store.SpecX[1][first]);
    EXPECT_EQ(form->Store.SpecY[3][m], before[size_t(last - 1)] - curve.back());
    EXPECT_EQ(form->Store.Params[2].Line2, "9.5 GHz, 16 scans, Fit 1 lorentz, ");
    EXPECT_EQ(form->Store.Params[3].Line2, "9.5 GHz, 16 scans, Fit 1 lorentz, ");
    EXPECT_EQ(form->Store.FileSpectrumName[2], Path("s fit.esr"));
    const std::vector<std::string> report = kivo::FitReport(fit, 9.5);
    ASSERT_EQ(report.size(), 2u);
    EXPECT_TRUE(report[0].starts_with("1: B=3350")) << report[0];
    EXPECT_NE(report[0].find(" g="), std::string::npos);
    EXPECT_EQ(form->Ui.Memo3->toPlainText(),
              QString::fromStdString(report[0] + "\n" + report[1]).replace(' ', "\n "));
    EXPECT_TRUE(form->Ui.Memo3->toPlainText().startsWith("1:\n B=3"))
        << form->Ui.Memo3->toPlainText().toStdString();
    // The cubic drift under the line is not fitted: more than the noise is left.
    const std::string poor = kivo::PoorFitWords(fit);
    EXPECT_TRUE(poor.starts_with("poor fit (rms ")) << poor;
    EXPECT_EQ(form->ModeLine().toStdString(),
              "  Fit 1 lorentz  " + poor + "; " + report[0] + "; " + report[1]);

    const kivo::batch::Row row =
        BatchRow({"kivo-batch", "--fit", "lorentz", "--fit-range", "3300,3400", file});
    ASSERT_EQ(row.Fit.Lines.size(), 1u);
    EXPECT_EQ(row.Fit.Lines[0].Centre, fit.Lines[0].Centre);
    EXPECT_EQ(row.Fit.Lines[0].IntegralErr, fit.Lines[0].IntegralErr);

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->Store.NumSpec, 1);
    EXPECT_EQ(Values(1), before);
}

// With fewer than two free slots nothing is made; a pick carried to another
// spectrum fits the one it stands on.
TEST_F(LineFitWindowTest, FitNeedsTwoFreeSlots) {
    QStringList names;
    for (int k = 1; k <= kivo::MaxSpec - 1; ++k) {
        names << QStringLiteral("s%1.esr").arg(k);
        Sample(names.back());
    }
    ReadFiles(names);
    ASSERT_EQ(form->Store.NumSpec, kivo::MaxSpec - 1);
    Key(Qt::Key_8);
    Key(Qt::Key_V, Qt::AltModifier);
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    Key(Qt::Key_Return);
    EXPECT_EQ(form->Store.NumSpec, kivo::MaxSpec - 1);
    EXPECT_EQ(form->ModeLine(),
              QStringLiteral("  Treatment     No free slots for the fit of s1, nothing made "));
}

// The fit's columns come after the status, each value with its error; a row
// the fit refuses says why and leaves them empty.
TEST_F(LineFitWindowTest, BatchFitColumnsAndRefusals) {
    const std::string file = Sample("s.esr").toStdString();
    const std::vector<float> flat(50, 1.0f);
    kivo::ParamSpec p;
    p.NumPoints = 50;
    std::vector<float> x(50);
    for (int k = 0; k < 50; ++k) x[size_t(k)] = float(3300 + k);
    const std::string level =
        WriteFile("level.esr", kivo::FormatSpectrum(p, x.data(), flat.data())).toStdString();
    const kivo::batch::CommandLine line =
        kivo::batch::ParseCommandLine({"kivo-batch", "--fit", "voigt:2", file, level});
    ASSERT_EQ(line.What, kivo::batch::CommandLine::Action::Run);
    const std::string header = kivo::batch::CsvHeader(line.Work);
    const std::string tail =
        "status,slice,slice_value,slice_unit,fit1_centre_G,fit1_centre_G_err,fit1_g,fit1_g_err,"
        "fit1_dBpp_G,fit1_dBpp_G_err,"
        "fit1_amplitude,fit1_amplitude_err,fit1_lorentz,fit1_lorentz_err,fit1_integral,"
        "fit1_integral_err,fit2_centre_G,fit2_centre_G_err,fit2_g,fit2_g_err,fit2_dBpp_G,"
        "fit2_dBpp_G_err,fit2_amplitude,fit2_amplitude_err,fit2_lorentz,fit2_lorentz_err,"
        "fit2_integral,fit2_integral_err,fit_rms,fit_chi2,fit_chi2_red,fit_offset,fit_offset_err,"
        "fit_slope,fit_slope_err\n";
    ASSERT_TRUE(header.ends_with(tail)) << header;
    EXPECT_EQ(kivo::batch::CsvHeader(), header.substr(0, header.size() - tail.size()) +
                                            "status,slice,slice_value,slice_unit\n");
    std::vector<kivo::batch::Row> rows;
    kivo::batch::Run(line.Files, line.Work, 1,
                     [&](size_t, const std::vector<kivo::batch::Row>& r, bool) {
                         rows.insert(rows.end(), r.begin(), r.end());
                     });
    ASSERT_EQ(rows.size(), 2u);
    auto cells = [&](const kivo::batch::Row& row) {
        return CsvCells(kivo::batch::CsvLine(row, line.Work));
    };
    const int columns = int(QString::fromStdString(header).trimmed().split(',').size());
    const QStringList done = cells(rows[0]), refused = cells(rows[1]);
    EXPECT_EQ(done.size(), columns);
    EXPECT_EQ(refused.size(), columns);
    // Two lines do not describe the cubic drift: the row keeps its numbers
    // and says so.
    EXPECT_EQ(done[14].toStdString(), kivo::PoorFitWords(rows[0].Fit));
    EXPECT_TRUE(done[14].startsWith(QStringLiteral("poor fit (rms "))) << done[14].toStdString();
    // g and its error from the spectrum's 9.5 GHz.
    // The fit's cells after the three of the slice.
    EXPECT_EQ(done[20].toDouble(), kivo::GValue(9.5, done[18].toDouble()));
    EXPECT_EQ(refused[14], QStringLiteral("Fit refused: the lines cannot be told apart level"));
    for (int c = 15; c < columns; ++c) EXPECT_EQ(refused[c], QString()) << c;
    const kivo::batch::Row outside =
        BatchRow({"kivo-batch", "--fit", "gauss", "--fit-range", "5000,6000", file});
    EXPECT_FALSE(outside.Done);
    EXPECT_EQ(outside.Status, "Fit refused: no points in the range s");
}
