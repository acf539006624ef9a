// The commands of the move-and-scale panel that change the stored spectra:
// the restriction to a picked range, the normalisations, the alignment of a
// component's centre and the 3300 G centring.
#include <QCheckBox>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"

namespace {
const QString MoveScaleLine = QStringLiteral("  MOVE and SCALE ");
const QString ChooseComponent = QStringLiteral("     Choose component  ");

// Each marked spectrum divided by a measure of its own; the words of those
// left as they were go behind the mode line's text.
template <typename Normalise>
void NormaliseMarked(TForm1& form, const QString& step, Normalise normalise) {
    form.BeginStep(step);
    form.CheckActivSpec();
    QString refused;
    for (int i = 1; i <= form.Store.NumSpec; ++i)
        if (form.Store.Marked[i]) refused += QString::fromStdString(normalise(i));
    if (!refused.isEmpty()) form.SetModeLine(form.ModeLine() + refused);
    form.Parameters(form.Store.ActiveSpec);
    form.InitAxes();
    form.Plot();
}

} // namespace

void TForm1::StartComponentPick(Task task, int first, int last, const QString& prompt) {
    Pick.PickIndex[1] = first;
    Pick.PickIndex[2] = last;
    SetModeLine(prompt);
    Ui.Chart1->Clear(View.AuxSeries[1]);
    Ui.Chart1->SetActive(View.AuxSeries[1], true);
    StartPick(task, 2);
}

void TForm1::BackToMoveScale(const QString& notice) {
    // Set first: the refresh adds what a cut could not do.
    SetModeLine(MoveScaleLine + notice);
    Ui.Frame14->hide();
    refresh(1);
    CheckActivSpec();
    ShowPanel(Ui.Frame12);
}

bool TForm1::DivideSlot(int slot, long double amplitude, QString& refused) {
    const std::string why = kivo::DivideByAmplitude(
        Store.SpecY[slot].Data(), Store.Params[slot].NumPoints, amplitude, Caption(slot));
    refused += QString::fromStdString(why);
    return why.empty();
}

void TForm1::Frame12Label3Click() {
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    Work.RestrictPending = true;
    // The cut belongs to the spectra marked now and to the range picked on
    // the active one, whatever is marked by the time a refresh makes it.
    Work.ClearPreview();
    for (int i = 1; i <= Store.NumSpec; ++i)
        if (Store.Marked[i]) Work.PreviewFrom[i] = Store.SpecId[i];
    StartComponentPick(TaskRestriction, 1, Store.Params[Store.ActiveSpec].NumPoints,
                       QStringLiteral("    Restriction  the spectrum "));
}

void TForm1::Frame12Label4Click() {
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    StartComponentPick(TaskNormComponent, 20, Store.Params[Store.ActiveSpec].NumPoints / 2,
                       ChooseComponent);
}

void TForm1::Frame12Label8Click() {
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    StartComponentPick(TaskAlignComponent, 20, Store.Params[Store.ActiveSpec].NumPoints / 2,
                       ChooseComponent);
}

void TForm1::NormaliseOnComponent() {
    BeginStep(QStringLiteral("Norm on Comp"));
    QString refused;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        const kivo::PointRange r = CursorRange(i);
        if (!RangeOnSpectrum(i, r, QStringLiteral("Norm on Comp"))) continue;
        const double amplitude =
            kivo::RangeExtrema(Store.SpecX[i].Data(), Store.SpecY[i].Data(), r.First, r.Last)
                .Amplitude;
        if (DivideSlot(i, amplitude, refused)) SampCondW(124, i, {});
    }
    InitAxes();
    Plot();
    Parameters(Store.ActiveSpec);
    BackToMoveScale(refused);
}

void TForm1::CombineComponentField() {
    BeginStep(QStringLiteral("Align on Comp"));
    const int a = Store.ActiveSpec;
    if (!RangeOnSpectrum(a, CursorRange(a), QStringLiteral("Align on Comp"))) {
        BackToMoveScale({});
        return;
    }
    const double ca = kivo::RangeExtrema(Store.SpecX[a].Data(), Store.SpecY[a].Data(),
                                         Pick.PickIndex[1], Pick.PickIndex[2])
                          .Centre;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        if (i != a) {
            const kivo::PointRange r = CursorRange(i);
            if (!RangeOnSpectrum(i, r, QStringLiteral("Align on Comp"))) continue;
            const double ci =
                kivo::RangeExtrema(Store.SpecX[i].Data(), Store.SpecY[i].Data(), r.First, r.Last)
                    .Centre;
            kivo::TransformValues(Store.SpecX[i].Data(), Store.Params[i].NumPoints, 0, 1,
                                  static_cast<long double>(ca) - ci);
        }
        SampCondW(128, i, {});
    }
    InitAxes();
    Plot();
    Parameters(Store.ActiveSpec);
    BackToMoveScale({});
}

void TForm1::Frame12Label5Click() {
    NormaliseMarked(*this, QStringLiteral("Norm on Int"), [this](int i) {
        return kivo::NormaliseOnIntegral(Store.SpecY[i].Data(), Store.Params[i], NoteName(i),
                                         Caption(i));
    });
}

void TForm1::Frame12Label9Click() {
    NormaliseMarked(*this, QStringLiteral("Norm on Amp"), [this](int i) {
        return kivo::NormaliseOnAmplitude(Store.SpecY[i].Data(), Store.Params[i], NoteName(i),
                                          Caption(i));
    });
}

void TForm1::Frame12Label11Click() {
    BeginStep(QStringLiteral("Norm on Rb"));
    CheckActivSpec();
    if (Store.NoneMarked) return;
    for (int i = Store.ActiveSpec; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        const std::string refused =
            kivo::NormaliseOnRuby(Store.SpecY[i].Data(), Store.Params[i], NoteName(i));
        if (refused.empty())
            Parameters(Store.ActiveSpec);
        else
            SetModeLine(ModeLine() + QString::fromStdString(refused));
    }
    InitAxes();
    Plot();
    Parameters(Store.ActiveSpec);
}

void TForm1::Frame12Label7Click() {
    BeginStep(QStringLiteral("3300 G"));
    CheckActivSpec();
    Ui.Chart1->SetAxesVisible(true);
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        const int n = Store.Params[i].NumPoints;
        const double top =
            kivo::RangeExtrema(Store.SpecX[i].Data(), Store.SpecY[i].Data(), 1, n).XAtMax;
        kivo::TransformValues(Store.SpecX[i].Data(), n, 0, 1, 3300.0L - top);
        SampCondW(127, i, {});
    }
    InitAxes();
    Plot();
    Parameters(Store.ActiveSpec);
}
