// Fitting of first-derivative lines: the shape and the number of lines typed,
// the range enclosed by two cursors on the active spectrum, the results in
// the results box and on the mode line, the curve and the residual as new
// spectra.
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>
#include <vector>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"

namespace {

constexpr kivo::LineShape Shapes[] = {kivo::LineShape::Lorentz, kivo::LineShape::Gauss,
                                      kivo::LineShape::Voigt};

} // namespace

void TForm1::FitLinesClick() {
    const int shape =
        int(std::find(std::begin(Shapes), std::end(Shapes), Options.FitShape) - Shapes);
    StartTyping(TypedNumber::FitChoice,
                QStringLiteral("   Fit: shape 1 Lorentz, 2 Gauss, 3 Voigt; lines 1 to 6; "
                               "1 more for a straight line: "),
                QString::number(shape + 1) + QString::number(Options.FitCount) +
                    (Options.FitStraight ? QStringLiteral("1") : QString()));
}

void TForm1::StartFitPick(const QString& digits) {
    // Two digits, the shape and the lines; a third, 1, puts a straight line
    // (an offset and a slope) under them, 0 none.
    if (digits.size() < 2 || digits.size() > 3 || digits[0] < QLatin1Char('1') ||
        digits[0] > QLatin1Char('3') || digits[1] < QLatin1Char('1') ||
        digits[1] > QLatin1Char('0' + kivo::MaxFitLines) ||
        (digits.size() == 3 && digits[2] != QLatin1Char('0') && digits[2] != QLatin1Char('1'))) {
        SetModeLine(
            QStringLiteral("  Treatment     Not a shape 1 to 3, 1 to 6 lines and 0 or 1 for a "
                           "straight line: '%1' ")
                .arg(digits));
        return;
    }
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    Options.FitShape = Shapes[digits[0].unicode() - '1'];
    Options.FitCount = digits[1].unicode() - '0';
    Options.FitStraight = digits.size() == 3 && digits[2] == QLatin1Char('1');
    SetModeLine(QStringLiteral("  Fit %1 %2%3: enclose the lines ")
                    .arg(Options.FitCount)
                    .arg(QString::fromStdString(std::string(kivo::ShapeName(Options.FitShape))),
                         Options.FitStraight ? QStringLiteral("+line") : QString()) +
                Options.ShiftLineHint);
    const int n = Store.Params[Store.ActiveSpec].NumPoints;
    StartTwoCursorPick(TaskFitLines, std::min(int(Options.NumAver), n),
                       std::max(n - Options.NumAver, 1));
}

int TForm1::NewSlotFrom(int source, const QString& caption, const float* x, const float* y,
                        int count) {
    if (Store.NumSpec >= kivo::MaxSpec) return 0;
    const int target = ++Store.NumSpec;
    Store.AllocateSlot(target);
    Store.Params[target] = Store.Params[source];
    Store.Params[target].NumPoints = static_cast<uint16_t>(count);
    std::copy_n(x, count, Store.SpecX[target].Data());
    std::copy_n(y, count, Store.SpecY[target].Data());
    FillSlot(target, caption, caption);
    return target;
}

void TForm1::AddCurveAndResidual(int source, const QString& suffix, const float* x, const float* y,
                                 const float* curve, int count, const std::string& note) {
    const QString name = ShortName(Store.FileSpectrumName[source]);
    std::vector<float> residual(static_cast<size_t>(count));
    for (size_t j = 0; j < residual.size(); ++j) residual[j] = y[j] - curve[j];
    for (const auto& [end, points] :
         {std::pair{suffix, curve},
          std::pair{QStringLiteral(" resid"), static_cast<const float*>(residual.data())}})
        if (const int made = NewSlotFrom(source, name + end, x, points, count); made != 0) {
            // Saved by default beside its spectrum, under its caption; its
            // note comes after a ", " that a spectrometer's history lacks.
            const QString folder = QFileInfo(Store.FileSpectrumName[source]).path();
            Store.FileSpectrumName[made] = QDir(folder).filePath(name + end + ".esr");
            kivo::AppendNote(Store.Params[made].Line2, NoteName(made), note);
        }
}

void TForm1::FitPickedLines() {
    const int a = EndTreatmentPick(QStringLiteral("Fit"));
    if (a == 0) return;
    const QString name = ShortName(Store.FileSpectrumName[a]);
    if (Store.NumSpec + 2 > kivo::MaxSpec) {
        SetModeLine(QStringLiteral("  Treatment     No free slots for the fit of ") + name +
                    QStringLiteral(", nothing made "));
        return;
    }
    const int first = std::min(Pick.PickIndex[1], Pick.PickIndex[2]);
    const int m = std::abs(Pick.PickIndex[2] - Pick.PickIndex[1]) + 1;
    const kivo::LineFit fit =
        kivo::FitDerivativeLines(Store.SpecX[a].Data(), Store.SpecY[a].Data(), first, first + m - 1,
                                 Options.FitShape, Options.FitCount, Options.FitStraight);
    if (!fit.Refusal.empty()) {
        SetModeLine(QStringLiteral("  Treatment  ") + QString::fromStdString(fit.Refusal) + name +
                    QStringLiteral(" "));
        return;
    }
    BeginStep(QStringLiteral("Fit"));
    const float* x = Store.SpecX[a].Data() + first - 1;
    std::vector<float> curve(static_cast<size_t>(m));
    kivo::FittedCurve(fit, x, m, curve.data());
    const std::string note = kivo::FitNote(fit);
    AddCurveAndResidual(a, QStringLiteral(" fit"), x, Store.SpecY[a].Data() + first - 1,
                        curve.data(), m, note);
    InitAxes();
    Plot();
    refresh(1);
    Parameters(a);
    const std::vector<std::string> report =
        kivo::FitReport(fit, kivo::FrequencyOf(Store.Params[a]));
    QStringList lines;
    for (const std::string& line : report) lines << QString::fromStdString(line);
    // The box is narrow: a value a row.
    Ui.Memo3->setPlainText(lines.join(QLatin1Char('\n')).replace(QLatin1Char(' '), "\n "));
    // A fit that leaves more than the noise says so first.
    const std::string poor = kivo::PoorFitWords(fit);
    SetModeLine(QStringLiteral("  ") + QString::fromStdString(note) + QStringLiteral("  ") +
                (poor.empty() ? QString() : QString::fromStdString(poor) + QStringLiteral("; ")) +
                lines.join(QStringLiteral("; ")));
}
