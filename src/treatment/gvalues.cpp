// The microwave frequency of the marked spectra, typed; the field corrected on
// the line of a standard of known g; the spectra brought to one frequency.
#include <algorithm>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

void TForm1::StartTyping(TypedNumber what, const QString& prompt, const QString& text) {
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    OpenEntry(what, prompt, text);
}

void TForm1::OpenEntry(TypedNumber what, const QString& prompt, const QString& text) {
    Entry.Typing = what;
    Entry.PromptText = prompt;
    Entry.EntryText = text;
    Entry.EntryOffered = !text.isEmpty();
    SetModeLine(Entry.PromptText + Entry.EntryText);
}

void TForm1::FrequencyClick() {
    StartTyping(TypedNumber::Frequency, QStringLiteral("   Frequency, GHz ="));
}

void TForm1::StandardGClick() {
    StartTyping(TypedNumber::StandardG, QStringLiteral("   Field on a standard, g ="));
}

void TForm1::FrequencyToClick() {
    // The active spectrum's frequency is offered: Enter takes it, a digit
    // starts another.
    const int a = Store.ActiveSpec;
    const double ghz = a >= 1 ? kivo::FrequencyOf(Store.Params[a]) : 0;
    StartTyping(TypedNumber::FrequencyTo, QStringLiteral("   Frequency correction to, GHz ="),
                ghz > 0 ? Text(kivo::FrequencyDigits(ghz)) : QString());
}

void TForm1::DpphClick() {
    StartStandardPick(kivo::DpphG);
}

void TForm1::LiLiFClick() {
    StartStandardPick(kivo::LiLiFG);
}

void TForm1::TakeTypedNumber() {
    const TypedNumber what = Entry.Typing;
    const QString typed = Entry.EntryText;
    Entry.Typing = TypedNumber::None;
    Entry.EntryText.clear();
    Entry.PromptText.clear();
    if (what == TypedNumber::AcquisitionFactors) return NormaliseOnAcquisition(typed);
    if (what == TypedNumber::FitChoice) return StartFitPick(typed);
    if (what == TypedNumber::Slices) return TakeSliceChoice(typed);
    if (what == TypedNumber::StandardSpins) return TakeStandardSpins(typed);
    double v = 0;
    const bool number = kivo::ReadNumber(typed.toStdString(), v);
    if (what == TypedNumber::StandardG) {
        if (number && v > 0.1 && v < 20) return StartStandardPick(v);
        SetModeLine(QStringLiteral("  Treatment     Not a g: '%1' ").arg(typed));
        return;
    }
    if (!number || !(v > 0 && v <= 1000)) {
        SetModeLine(QStringLiteral("  Treatment     Not a frequency in GHz: '%1' ").arg(typed));
        return;
    }
    BeginStep(what == TypedNumber::Frequency ? QStringLiteral("Frequency")
                                             : QStringLiteral("Frequency correction"));
    CheckActivSpec();
    QString refused;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        if (what == TypedNumber::Frequency)
            kivo::SetFrequency(Store.Params[i], NoteName(i), v);
        else
            refused += Text(kivo::CorrectFrequency(Store.SpecX[i].Data(), Store.Params[i],
                                                   NoteName(i), Caption(i), v));
    }
    InitAxes();
    Plot();
    refresh(1);
    Parameters(Store.ActiveSpec);
    SetModeLine(QStringLiteral("  Treatment  ") + refused);
}

void TForm1::StartStandardPick(double g) {
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    const int a = Store.ActiveSpec;
    if (kivo::FrequencyOf(Store.Params[a]) <= 0) {
        SetModeLine(QStringLiteral("  Treatment     No frequency, field not corrected: ") +
                    ShortName(Store.FileSpectrumName[a]) + QStringLiteral(" "));
        return;
    }
    Entry.StandardG = g;
    SetModeLine(QStringLiteral("  Field on a standard, g = ") + Text(kivo::ShortText(g)) +
                QStringLiteral(": enclose its line ") + Options.ShiftLineHint);
    // Around the middle of the spectrum, where a standard's line is put.
    const int n = Store.Params[a].NumPoints;
    StartTwoCursorPick(TaskFieldStandard, std::max(n / 2 - 50, 1), std::min(n / 2 + 50, n));
}

void TForm1::CorrectFieldOnStandard() {
    BeginStep(QStringLiteral("Field correction"));
    const int a = EndTreatmentPick(QStringLiteral("Field correction"));
    if (a == 0) return;
    const kivo::StandardLine line = kivo::MeasureStandardLine(
        Store.SpecX[a].Data(), Store.SpecY[a].Data(), Store.Params[a].NumPoints, Pick.PickIndex[1],
        Pick.PickIndex[2], kivo::FrequencyOf(Store.Params[a]), Entry.StandardG,
        ShortName(Store.FileSpectrumName[a]).toStdString());
    QString said = Text(line.Refusal);
    if (line.Refusal.empty()) {
        for (int i = 1; i <= Store.NumSpec; ++i)
            if (Store.Marked[i])
                kivo::ShiftFieldOnStandard(Store.SpecX[i].Data(), Store.Params[i], NoteName(i),
                                           Entry.StandardG, line.Shift);
        said = Text(kivo::FieldShiftText(line));
    }
    InitAxes();
    Plot();
    refresh(1);
    Parameters(a);
    SetModeLine(QStringLiteral("  Treatment  ") + said);
}

void TForm1::AcquisitionClick() {
    QString digits;
    for (int k = 0; k < 4; ++k)
        if (Options.AcquisitionFactors & (1u << k)) digits += QChar('1' + k);
    StartTyping(TypedNumber::AcquisitionFactors,
                QStringLiteral("   Norm by 1 gain, 2 scans, 3 modulation, 4 sqrt(power): "),
                digits);
}

void TForm1::NormaliseOnAcquisition(const QString& digits) {
    unsigned factors = 0;
    for (QChar c : digits) {
        if (c < QLatin1Char('1') || c > QLatin1Char('4')) {
            SetModeLine(QStringLiteral("  Treatment     Not factors 1 to 4: '%1' ").arg(digits));
            return;
        }
        factors |= 1u << (c.unicode() - '1');
    }
    if (factors == 0) {
        SetModeLine(QStringLiteral("  Treatment     No factor chosen, not normalised "));
        return;
    }
    Options.AcquisitionFactors = factors;
    BeginStep(QStringLiteral("Norm on acquisition"));
    CheckActivSpec();
    QString refused;
    int done = 0;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        const QString why = Text(kivo::NormaliseOnAcquisition(
            Store.SpecY[i].Data(), Store.Params[i], NoteName(i), Caption(i), factors));
        refused += why;
        done += why.isEmpty() ? 1 : 0;
    }
    InitAxes();
    Plot();
    refresh(1);
    Parameters(Store.ActiveSpec);
    // What was done is said first, then what was not.
    const QString said = done == 0
                             ? QString()
                             : QStringLiteral("   Norm by %1: %2 spectr%3 ")
                                   .arg(Text(kivo::AcquisitionFactorNames(factors)))
                                   .arg(done)
                                   .arg(done == 1 ? QStringLiteral("um") : QStringLiteral("a"));
    SetModeLine(QStringLiteral("  Treatment  ") + said + refused);
}

void TForm1::PeakToPeakClick() {
    CheckActivSpec();
    SetModeLine(QStringLiteral("  Peak to peak: enclose the line ") + Options.ShiftLineHint);
    const int n = Store.Params[Store.ActiveSpec].NumPoints;
    StartTwoCursorPick(TaskPeakToPeak, std::min(int(Options.NumAver), n),
                       std::max(n - Options.NumAver, 1));
}

void TForm1::PeakToPeakPicked() {
    const int a = EndTreatmentPick(QStringLiteral("Peak to peak"));
    if (a == 0) return;
    const kivo::PeakToPeak p = kivo::PeakToPeakOf(Store.SpecX[a].Data(), Store.SpecY[a].Data(),
                                                  Pick.PickIndex[1], Pick.PickIndex[2]);
    QString text = QStringLiteral("  Treatment     ") + ShortName(Store.FileSpectrumName[a]) +
                   QStringLiteral(": dBpp = ") + Text(kivo::ShortText(p.Width)) +
                   QStringLiteral(" G (") + Text(kivo::ShortText(p.Top)) + QStringLiteral(" and ") +
                   Text(kivo::ShortText(p.Bottom)) + QStringLiteral(" G)");
    const double g = kivo::GValue(kivo::FrequencyOf(Store.Params[a]), p.Centre);
    if (g > 0) text += QStringLiteral("   g = ") + Text(kivo::GText(g));
    SetModeLine(text + QLatin1Char(' '));
}

void TForm1::StartTwoCursorPick(Task task, int first, int second) {
    Ui.Chart1->SetActive(View.AuxSeries[1], true);
    Pick.PickIndex[1] = first;
    Pick.PickIndex[2] = second;
    StartPick(task, 2);
}

int TForm1::EndTreatmentPick(const QString& what) {
    CheckActivSpec();
    Pick.TaskCode = NoTask;
    ShowPanel(Ui.Frame16);
    const int a = Store.ActiveSpec;
    // The cursors stand on the spectrum they were carried to.
    if (a < 1 || Store.SpecId[a] != Pick.PickSpec ||
        !RangeOnSpectrum(a, {Pick.PickIndex[1], Pick.PickIndex[2]}, what))
        return 0;
    return a;
}
