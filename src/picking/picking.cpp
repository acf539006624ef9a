// The point-picking engine: cursors walked along the active spectrum with the
// keys (or placed with the mouse) and accepted with Enter; the task code says
// what happens when the last one is accepted.
#include <QLabel>
#include <algorithm>

#include "Kivo1_3.h"
#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"

void TForm1::StartPick(Task task, int count, int first) {
    Pick.Start(task, count, first);
    BorderPointManual();
}

void TForm1::BorderPointManual() {
    ShowPanel(Ui.Frame14);
    // Every pick starts on the points, whatever mode F11 left the last one in.
    Pick.PointCursor = true;
    Ui.Label12->clear();
    Pick.PickedValuesText.clear();
    Ui.Label2->clear();
    Pick.PickedNumbersText.clear();
    const int a = Store.ActiveSpec;
    const int n = a >= 1 ? Store.Params[a].NumPoints : 0;
    if (n < 1) return;
    Pick.PickSpec = Store.SpecId[a]; // the cursors are placed on the active spectrum
    const double xmin = Ui.Chart1->Minimum(ChartAxis::Bottom);
    const double xmax = Ui.Chart1->Maximum(ChartAxis::Bottom);
    for (int k = 1; k <= Pick.PickCount; ++k) {
        // Into the visible field range first, then onto the spectrum.
        int& p = Pick.PickIndex[k];
        p = std::clamp(p, 1, n);
        while (p < n && View.PlottedX(Store.SpecX[a][p]) < xmin) ++p;
        while (p > 1 && View.PlottedX(Store.SpecX[a][p]) > xmax) --p;
        DrawCursor(k);
        Ui.Chart1->SetActive(View.AuxSeries[k], false);
    }
    ShowPickedPoint(Pick.PickIndex[Pick.PickNo], Store.SpecX[a][Pick.PickIndex[Pick.PickNo]]);
    Ui.Chart1->SetActive(View.AuxSeries[1], true);
    if (Work.BaseLineMode) SubtrLinear();
}

bool TForm1::Picking() const {
    return Pick.TaskCode != NoTask && !Work.SubtrInput && CurrentFrame() == Ui.Frame14;
}

void TForm1::FollowPick() {
    const int a = Store.ActiveSpec;
    if (Pick.PickSpec == 0 || a < 1 || Store.SpecId[a] == Pick.PickSpec) return;
    // The cursors go to the new active spectrum at the fields they stood at.
    const int from = Store.SlotOf(Pick.PickSpec);
    const int na = Store.Params[a].NumPoints;
    for (int k = 1; k <= Pick.PickIndex.size(); ++k) {
        int& p = Pick.PickIndex[k];
        if (from != 0 && Store.Params[from].NumPoints >= 1) {
            const double field =
                Store.SpecX[from][std::clamp<int>(p, 1, Store.Params[from].NumPoints)];
            p = kivo::NearestPoint(Store.SpecX[a].Data(), na, field);
        } else {
            p = std::clamp(p, 1, std::max(na, 1));
        }
    }
    Pick.PickSpec = Store.SpecId[a];
    if (!Picking() || !Pick.PointCursor) return;
    // The read-out of the cursors accepted so far, where they stand now.
    Pick.PickedNumbersText.clear();
    Pick.PickedValuesText.clear();
    for (int k = 1; k < std::min<int>(Pick.PickNo, 5); ++k) {
        Pick.PickedNumbersText += QString::number(Pick.PickIndex[k]) + QStringLiteral(", ");
        Pick.PickedValuesText +=
            FieldReadout(Store.SpecX[a][Pick.PickIndex[k]]) + QStringLiteral(", ");
    }
    for (int k = 1; k <= std::min<int>(Pick.PickNo, 4); ++k) DrawCursor(k);
    ShowCursor(std::clamp<int>(Pick.PickNo, 1, 4));
}

void TForm1::SettleWork() {
    FollowPick();
    FollowMoves();
    FollowSimulation();
    // Cursors with no marked spectrum to stand on: the pick ends as Esc ends
    // it, and with nothing marked nothing is committed or marked for it.
    if (Picking() && Store.NoneMarked) {
        Mode.KeepNoneMarked = true;
        refresh(0);
        Mode.KeepNoneMarked = false;
        SetModeLine(QStringLiteral("   SELECT MODE") + Options.HotKeysHint);
    }
}

kivo::PointRange TForm1::CursorRange(int slot) const {
    const int a = Store.ActiveSpec;
    const int na = Store.Params[a].NumPoints;
    if (slot == a) return {Pick.PickIndex[1], Pick.PickIndex[2]};
    const double from = Store.SpecX[a][std::clamp<int>(Pick.PickIndex[1], 1, na)];
    const double to = Store.SpecX[a][std::clamp<int>(Pick.PickIndex[2], 1, na)];
    return kivo::MapRange(Store.SpecX[slot].Data(), Store.Params[slot].NumPoints, from, to);
}

void TForm1::ShowPickedPoint(int number, double value) {
    if (number > 0)
        Ui.Label2->setText(Pick.PickedNumbersText + QString::number(number));
    else if (number < 0)
        Ui.Label2->clear();
    // A point's value is its field; a level or a distance has no g.
    Ui.Label12->setText(
        Pick.PickedValuesText +
        (number > 0 ? FieldReadout(value) : QString::fromStdString(kivo::ShortText(value))));
    Ui.Label2->adjustSize();
    Ui.Label12->adjustSize();
}

QString TForm1::FieldReadout(double field) const {
    QString text = QString::fromStdString(kivo::ShortText(field));
    const int a = Store.ActiveSpec;
    const double g = a >= 1 ? kivo::GValue(kivo::FrequencyOf(Store.Params[a]), field) : 0;
    if (g > 0) text += QStringLiteral(" g=") + QString::fromStdString(kivo::GText(g));
    return text;
}

// The read-out of cursor k: its point number and field, or its level.
void TForm1::ShowCursor(int k) {
    const int a = Store.ActiveSpec;
    if (!Pick.PointCursor) {
        ShowPickedPoint(-1, Pick.PickLevel[k]);
    } else if (a >= 1 && Store.Params[a].NumPoints >= 1) {
        const int p = std::clamp<int>(Pick.PickIndex[k], 1, Store.Params[a].NumPoints);
        ShowPickedPoint(p, Store.SpecX[a][p]);
    }
}

// Cursor k as a line across the chart: vertical at its point, or horizontal
// at its level.
void TForm1::DrawCursor(int k) {
    const int series = View.AuxSeries[k];
    Ui.Chart1->Clear(series);
    const int a = Store.ActiveSpec;
    if (Pick.PointCursor) {
        if (a < 1 || Store.Params[a].NumPoints < 1) return;
        const int p = std::clamp<int>(Pick.PickIndex[k], 1, Store.Params[a].NumPoints);
        const double x = View.PlottedX(Store.SpecX[a][p]);
        Ui.Chart1->AddPoint(series, x, Ui.Chart1->Minimum(ChartAxis::Left));
        Ui.Chart1->AddPoint(series, x, Ui.Chart1->Maximum(ChartAxis::Left));
    } else {
        Ui.Chart1->AddPoint(series, Ui.Chart1->Minimum(ChartAxis::Bottom), Pick.PickLevel[k]);
        Ui.Chart1->AddPoint(series, Ui.Chart1->Maximum(ChartAxis::Bottom), Pick.PickLevel[k]);
    }
}

void TForm1::Frame14Edit1KeyDown(int& Key, kivo::ShiftState Shift) {
    using namespace kivo;
    if (Pick.PickNo == 1) {
        Pick.PickedNumbersText.clear();
        Pick.PickedValuesText.clear();
    }
    if (Work.SubtrInput) {
        Ui.Frame14->Label1->hide();
        Label3Edit(Key);
        return;
    }
    if (Key == VK_ESCAPE && !Shift.Alt) {
        refresh(0);
        return;
    }
    const int a = Store.ActiveSpec;
    const int n = a >= 1 ? Store.Params[a].NumPoints : 0;
    if (n < 1) return;
    const int cursor = std::clamp<int>(Pick.PickNo, 1, 4);
    Ui.Chart1->SetActive(View.AuxSeries[cursor], true);
    int& index = Pick.PickIndex[cursor];
    if (Shift.AltOnly()) {
        if (Key == 'B') Frame14Label3Click();
        if (Key == 'C') Frame14Label4Click();
    } else if (!Shift.Alt) {
        switch (Key) {
        case VK_LEFT:
        case VK_RIGHT:
            index = std::clamp(index + (Key == VK_LEFT ? -Pick.CursorStep : Pick.CursorStep), 1, n);
            ShowPickedPoint(index, Store.SpecX[a][index]);
            break;
        case VK_UP:
        case VK_DOWN:
            Pick.PickLevel[cursor] +=
                (Key == VK_UP ? 1 : -1) * Pick.CursorStep * View.MoveUnitY * 10;
            ShowPickedPoint(-1, Pick.PickLevel[cursor]);
            break;
        case 'P':
            ShowCursor(cursor);
            break;
        case VK_F11:
            Pick.PointCursor = !Pick.PointCursor;
            Pick.PickLevel[1] = Ui.Chart1->Maximum(ChartAxis::Left);
            Pick.PickLevel[2] = Ui.Chart1->Minimum(ChartAxis::Left);
            Ui.Chart1->Clear(View.AuxSeries[1]);
            Ui.Chart1->Clear(View.AuxSeries[2]);
            Ui.Chart1->AddPoint(View.AuxSeries[1], Ui.Chart1->Minimum(ChartAxis::Bottom),
                                Pick.PickLevel[1]);
            Ui.Chart1->AddPoint(View.AuxSeries[1], Ui.Chart1->Maximum(ChartAxis::Bottom),
                                Pick.PickLevel[1]);
            Pick.PickedValuesText.clear();
            break;
        case VK_OEM_PLUS:
            // More than the spectrum's length would only pin the cursor to an end.
            Pick.CursorStep = static_cast<int16_t>(std::min(Pick.CursorStep * 2, std::max(n, 1)));
            break;
        case VK_OEM_MINUS:
            Pick.CursorStep = static_cast<int16_t>(std::max(Pick.CursorStep / 2, 1));
            break;
        case VK_PRIOR:
        case VK_NEXT:
            if (Work.BaseLineMode && Pick.TaskCode == TaskBaseLine)
                ChangeBaseLineOrder(Key == VK_PRIOR ? 1 : -1);
            break;
        case VK_RETURN:
            AcceptCursor();
            return;
        default:
            break;
        }
    }
    DrawCursor(std::clamp<int>(Pick.PickNo, 1, 4));
}

void TForm1::AcceptCursor() {
    const int a = Store.ActiveSpec;
    const int n = Store.Params[a].NumPoints;
    Pick.PickedNumbersText = Ui.Label2->text() + QStringLiteral(", ");
    Pick.PickedValuesText = Ui.Label12->text() + QStringLiteral(", ");
    if (Pick.PickNo < Pick.PickCount) {
        ++Pick.PickNo;
        Ui.Chart1->SetActive(View.AuxSeries[Pick.PickNo], true);
        if (IsReferenceTask(Pick.TaskCode) && (Pick.PickNo == 2 || Pick.PickNo == 4))
            Pick.PickIndex[Pick.PickNo] = std::min(Pick.PickIndex[Pick.PickNo - 1] + 50, n);
        if (Pick.TaskCode == TaskDeletePoints && Pick.PickNo == 2)
            Pick.PickIndex[2] = std::min(Pick.PickIndex[1] + 1, n);
        ShowCursor(Pick.PickNo);
        DrawCursor(Pick.PickNo);
        return;
    }
    CompletePicking();
    Pick.PickNo = 1;
    // A completion that left the picking (back to move and scale or to the
    // treatment panel) leaves no cursor behind.
    if (CurrentFrame() == Ui.Frame14) Ui.Chart1->SetActive(View.AuxSeries[1], true);
}

void TForm1::CompletePicking() {
    // The marks as the boxes show them now, and the cursors on the active spectrum.
    CheckActivSpec();
    switch (Pick.TaskCode) {
    case NoTask:
        InitAxes();
        Plot();
        refresh(1);
        break;
    case TaskBaseLine:
        SubtrLinear();
        Pick.PickNo = 1;
        Pick.PickedNumbersText.clear();
        Pick.PickedValuesText.clear();
        break;
    case TaskRestriction:
        BackToMoveScale({}); // its refresh makes the cut
        break;
    case TaskNormComponent:
        NormaliseOnComponent();
        break;
    case TaskAlignComponent:
        CombineComponentField();
        break;
    case TaskRuby:
    case TaskMn2:
    case TaskMn3:
    case TaskMn4:
        CalibrateByRefLines();
        break;
    case TaskMeasure:
        MeasureDistance();
        break;
    case TaskFieldStandard:
        CorrectFieldOnStandard();
        break;
    case TaskFitLines:
        FitPickedLines();
        break;
    case TaskPeakToPeak:
        PeakToPeakPicked();
        break;
    case TaskSimFit:
        SimFitPicked();
        break;
    case TaskDeletePoints:
        DeletePickedPoints();
        break;
    case TaskIntegration:
    case TaskCentre:
        IntegrateMarked();
        SetModeLine(QStringLiteral("  DOUBLE INTEGRATION "));
        ShowPanel(Ui.Frame15);
        break;
    }
}
