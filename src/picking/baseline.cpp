// The base line: a straight line through the means of the two signal-free
// ends, or a polynomial of another order fitted to them, subtracted from
// every marked spectrum, previewed while the cursors move and committed by
// the refresh; or a recorded base spectrum subtracted.
#include <QLabel>
#include <algorithm>
#include <vector>

#include "Kivo1_3.h"
#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"

void TForm1::Frame11Label3Click() {
    Mode.SelectMode = false;
    CheckActivSpec();
    if (Store.NoneMarked) {
        SetModeLine(ChooseOneSpectrum);
        // Nothing started: the main mode's keys stay in force.
        Mode.SelectMode = true;
    } else {
        Work.BaseLineMode = true;
        Ui.Chart1->SetActive(View.AuxSeries[6], true);
        const kivo::PointRange start =
            kivo::BaseLineStart(Store.Params[Store.ActiveSpec].NumPoints, Options.NumAver);
        Pick.PickIndex[1] = start.First;
        Pick.PickIndex[2] = start.Last;
        SetModeLine(BaseLineModeLine());
        Ui.Chart1->SetActive(View.AuxSeries[1], false);
        StartPick(TaskBaseLine, 2);
    }
    Ui.Frame14->Label3->show();
    Ui.Frame14->Label4->show();
    Parameters(Store.ActiveSpec);
}

QString TForm1::BaseLineModeLine() const {
    // Said here, not by the preview, which is redrawn at every cursor move.
    QString refused;
    for (int i = 1; i <= Store.NumSpec; ++i)
        if (Store.Marked[i])
            refused += QString::fromStdString(
                kivo::BaseLineRefusal(Caption(i), Store.Params[i].NumPoints, Options.NumAver));
    const QString order = Options.BaseLineOrder == kivo::LinearBaseLineOrder
                              ? QString()
                              : QStringLiteral(", order %1").arg(Options.BaseLineOrder);
    return QStringLiteral("   SUBTRACTION OF BASE LINE") + order + Options.ShiftLineHint + refused;
}

void TForm1::ChangeBaseLineOrder(int step) {
    Options.BaseLineOrder = std::clamp(Options.BaseLineOrder + step, 0, kivo::MaxBaseLineOrder);
    SetModeLine(BaseLineModeLine());
    SubtrLinear();
}

void TForm1::SubtrLinear() {
    const int preview = View.BigPoints ? View.PointSeries2 : View.PointSeries1;
    Ui.Chart1->Clear(preview);
    Ui.Chart1->Clear(View.AuxSeries[3]);
    Work.ClearPreview();
    if (Store.ActiveSpec < 1) return;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        const int n = Store.Params[i].NumPoints;
        if (!Store.Marked[i] || n < 1) continue;
        if (!Store.SavedX[i].Allocated()) Store.SavedX[i].Allocate();
        if (!Store.SavedY[i].Allocated()) Store.SavedY[i].Allocate();
        std::copy_n(Store.SpecX[i].Data(), n, Store.SavedX[i].Data());
        std::copy_n(Store.SpecY[i].Data(), n, Store.SavedY[i].Data());
        // Not previewed, so not committed: a spectrum refused stays as it is.
        if (!kivo::SubtractBaseLine(Store.SavedX[i].Data(), Store.SavedY[i].Data(), n,
                                    CursorRange(i), Options.BaseLineOrder, Options.NumAver,
                                    Caption(i))
                 .empty())
            continue;
        Work.PreviewFrom[i] = Store.SpecId[i];
        AddPlotted(preview, Store.SavedX[i].Data(), Store.SavedY[i].Data(), n);
    }
    // A fitted polynomial is drawn over the active spectrum, what it takes
    // away, as the line of the third cursor, which the base line leaves free.
    const int a = Store.ActiveSpec;
    if (Options.BaseLineOrder == kivo::LinearBaseLineOrder || Work.PreviewFrom[a] == 0) return;
    const int n = Store.Params[a].NumPoints;
    std::vector<float> base(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j)
        base[size_t(j)] = Store.SpecY[a].Data()[j] - Store.SavedY[a].Data()[j];
    AddPlotted(View.AuxSeries[3], Store.SpecX[a].Data(), base.data(), n);
    Ui.Chart1->SetActive(View.AuxSeries[3], true);
}

void TForm1::ReleaseWorkCopies() {
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        Store.SavedX[i].Release();
        Store.SavedY[i].Release();
    }
    Work.ClearPreview();
}

void TForm1::Frame14Label3Click() {
    if (Store.BaseSpec != 0) {
        Work.SubtrInput = true;
        Entry.PromptText = QStringLiteral("   Subtraction (According Standart - Enter), koeff = ");
        SetModeLine(Entry.PromptText);
        Entry.EntryText.clear();
    } else {
        Frame14Label4Click();
    }
    // The linear preview is dropped: nothing of it will be committed.
    Ui.Chart1->Clear(View.PointSeries1);
    Ui.Chart1->Clear(View.PointSeries2);
    Ui.Chart1->Clear(View.AuxSeries[3]);
    if (Work.BaseLineMode) ReleaseWorkCopies();
    Work.BaseLineMode = false;
    Work.ClearPreview(); // a new subtraction: nothing of it is previewed yet
}

void TForm1::Frame14Label4Click() {
    SetModeLine(QStringLiteral("   Choose the base line spectrum  "));
    Mode.BaseChoicePending = true;
}
