// The point-picking engine: cursors walked along the active spectrum with the
// keys (or placed with the mouse) and accepted with Enter; the task code says
// what happens when the last one is accepted.
#include <QLabel>
#include <algorithm>

#include "Kivo1_3.h"
#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"

void TForm1::BorderPointManual() {
    ShowPanel(Frame14);
    // Every pick starts on the points, whatever mode F11 left the last one in.
    PointCursor = true;
    Label12->clear();
    PickedValuesText.clear();
    Label2->clear();
    PickedNumbersText.clear();
    const int a = Store.ActiveSpec;
    const int n = a >= 1 ? Store.Params[a].NumPoints : 0;
    if (n < 1) return;
    PickSpec = Store.SpecId[a]; // the cursors are placed on the active spectrum
    const double xmin = Chart1->Minimum(ChartAxis::Bottom);
    const double xmax = Chart1->Maximum(ChartAxis::Bottom);
    for (int k = 1; k <= PickCount; ++k) {
        // Into the visible field range first, then onto the spectrum.
        int& p = PickIndex[k];
        p = std::clamp(p, 1, n);
        while (p < n && PlottedX(Store.SpecX[a][p]) < xmin) ++p;
        while (p > 1 && PlottedX(Store.SpecX[a][p]) > xmax) --p;
        DrawCursor(k);
        Chart1->SetActive(AuxSeries[k], false);
    }
    ShowPickedPoint(PickIndex[PickNo], Store.SpecX[a][PickIndex[PickNo]]);
    Chart1->SetActive(AuxSeries[1], true);
    if (BaseLineMode) SubtrLinear();
}

bool TForm1::Picking() const {
    return TaskCode != NoTask && !SubtrInput && CurrentFrame() == Frame14;
}

void TForm1::FollowPick() {
    const int a = Store.ActiveSpec;
    if (PickSpec == 0 || a < 1 || Store.SpecId[a] == PickSpec) return;
    // The cursors go to the new active spectrum at the fields they stood at.
    const int from = Store.SlotOf(PickSpec);
    const int na = Store.Params[a].NumPoints;
    for (int k = 1; k <= PickIndex.size(); ++k) {
        int& p = PickIndex[k];
        if (from != 0 && Store.Params[from].NumPoints >= 1) {
            const double field =
                Store.SpecX[from][std::clamp<int>(p, 1, Store.Params[from].NumPoints)];
            p = kivo::NearestPoint(Store.SpecX[a].Data(), na, field);
        } else {
            p = std::clamp(p, 1, std::max(na, 1));
        }
    }
    PickSpec = Store.SpecId[a];
    if (!Picking() || !PointCursor) return;
    // The read-out of the cursors accepted so far, where they stand now.
    PickedNumbersText.clear();
    PickedValuesText.clear();
    for (int k = 1; k < std::min<int>(PickNo, 5); ++k) {
        PickedNumbersText += QString::number(PickIndex[k]) + QStringLiteral(", ");
        PickedValuesText += FieldReadout(Store.SpecX[a][PickIndex[k]]) + QStringLiteral(", ");
    }
    for (int k = 1; k <= std::min<int>(PickNo, 4); ++k) DrawCursor(k);
    ShowCursor(std::clamp<int>(PickNo, 1, 4));
}

void TForm1::SettleWork() {
    FollowPick();
    FollowMoves();
    // Cursors with no marked spectrum to stand on: the pick ends as Esc ends
    // it, and with nothing marked nothing is committed or marked for it.
    if (Picking() && Store.NoneMarked) {
        KeepNoneMarked = true;
        refresh(0);
        KeepNoneMarked = false;
        SetModeLine(QStringLiteral("   SELECT MODE") + HotKeysHint);
    }
}

kivo::PointRange TForm1::CursorRange(int slot) const {
    const int a = Store.ActiveSpec;
    const int na = Store.Params[a].NumPoints;
    if (slot == a) return {PickIndex[1], PickIndex[2]};
    const double from = Store.SpecX[a][std::clamp<int>(PickIndex[1], 1, na)];
    const double to = Store.SpecX[a][std::clamp<int>(PickIndex[2], 1, na)];
    return kivo::MapRange(Store.SpecX[slot].Data(), Store.Params[slot].NumPoints, from, to);
}

void TForm1::ShowPickedPoint(int number, double value) {
    if (number > 0)
        Label2->setText(PickedNumbersText + QString::number(number));
    else if (number < 0)
        Label2->clear();
    // A point's value is its field; a level or a distance has no g.
    Label12->setText(PickedValuesText + (number > 0
                                             ? FieldReadout(value)
                                             : QString::fromStdString(kivo::ShortText(value))));
    Label2->adjustSize();
    Label12->adjustSize();
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
    if (!PointCursor) {
        ShowPickedPoint(-1, PickLevel[k]);
    } else if (a >= 1 && Store.Params[a].NumPoints >= 1) {
        const int p = std::clamp<int>(PickIndex[k], 1, Store.Params[a].NumPoints);
        ShowPickedPoint(p, Store.SpecX[a][p]);
    }
}

// Cursor k as a line across the chart: vertical at its point, or horizontal
// at its level.
void TForm1::DrawCursor(int k) {
    const int series = AuxSeries[k];
    Chart1->Clear(series);
    const int a = Store.ActiveSpec;
    if (PointCursor) {
        if (a < 1 || Store.Params[a].NumPoints < 1) return;
        const int p = std::clamp<int>(PickIndex[k], 1, Store.Params[a].NumPoints);
        const double x = PlottedX(Store.SpecX[a][p]);
        Chart1->AddPoint(series, x, Chart1->Minimum(ChartAxis::Left));
        Chart1->AddPoint(series, x, Chart1->Maximum(ChartAxis::Left));
    } else {
        Chart1->AddPoint(series, Chart1->Minimum(ChartAxis::Bottom), PickLevel[k]);
        Chart1->AddPoint(series, Chart1->Maximum(ChartAxis::Bottom), PickLevel[k]);
    }
}

void TForm1::Frame14Edit1KeyDown(int& Key, kivo::ShiftState Shift) {
    using namespace kivo;
    if (PickNo == 1) {
        PickedNumbersText.clear();
        PickedValuesText.clear();
    }
    if (SubtrInput) {
        Frame14->Label1->hide();
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
    const int cursor = std::clamp<int>(PickNo, 1, 4);
    Chart1->SetActive(AuxSeries[cursor], true);
    int& index = PickIndex[cursor];
    if (Shift.AltOnly()) {
        if (Key == 'B') Frame14Label3Click();
        if (Key == 'C') Frame14Label4Click();
    } else if (!Shift.Alt) {
        switch (Key) {
        case VK_LEFT:
        case VK_RIGHT:
            index = std::clamp(index + (Key == VK_LEFT ? -CursorStep : CursorStep), 1, n);
            ShowPickedPoint(index, Store.SpecX[a][index]);
            break;
        case VK_UP:
        case VK_DOWN:
            PickLevel[cursor] += (Key == VK_UP ? 1 : -1) * CursorStep * MoveUnitY * 10;
            ShowPickedPoint(-1, PickLevel[cursor]);
            break;
        case 'P':
            ShowCursor(cursor);
            break;
        case VK_F11:
            PointCursor = !PointCursor;
            PickLevel[1] = Chart1->Maximum(ChartAxis::Left);
            PickLevel[2] = Chart1->Minimum(ChartAxis::Left);
            Chart1->Clear(AuxSeries[1]);
            Chart1->Clear(AuxSeries[2]);
            Chart1->AddPoint(AuxSeries[1], Chart1->Minimum(ChartAxis::Bottom), PickLevel[1]);
            Chart1->AddPoint(AuxSeries[1], Chart1->Maximum(ChartAxis::Bottom), PickLevel[1]);
            PickedValuesText.clear();
            break;
        case VK_OEM_PLUS:
            // More than the spectrum's length would only pin the cursor to an end.
            CursorStep = static_cast<int16_t>(std::min(CursorStep * 2, std::max(n, 1)));
            break;
        case VK_OEM_MINUS:
            CursorStep = static_cast<int16_t>(std::max(CursorStep / 2, 1));
            break;
        case VK_PRIOR:
        case VK_NEXT:
            if (BaseLineMode && TaskCode == TaskBaseLine)
                ChangeBaseLineOrder(Key == VK_PRIOR ? 1 : -1);
            break;
        case VK_RETURN:
            AcceptCursor();
            return;
        default:
            break;
        }
    }
    DrawCursor(std::clamp<int>(PickNo, 1, 4));
}

void TForm1::AcceptCursor() {
    const int a = Store.ActiveSpec;
    const int n = Store.Params[a].NumPoints;
    PickedNumbersText = Label2->text() + QStringLiteral(", ");
    PickedValuesText = Label12->text() + QStringLiteral(", ");
    if (PickNo < PickCount) {
        ++PickNo;
        Chart1->SetActive(AuxSeries[PickNo], true);
        if (IsReferenceTask(TaskCode) && (PickNo == 2 || PickNo == 4))
            PickIndex[PickNo] = std::min(PickIndex[PickNo - 1] + 50, n);
        if (TaskCode == TaskDeletePoints && PickNo == 2)
            PickIndex[2] = std::min(PickIndex[1] + 1, n);
        ShowCursor(PickNo);
        DrawCursor(PickNo);
        return;
    }
    CompletePicking();
    PickNo = 1;
    // A completion that left the picking (back to move and scale or to the
    // treatment panel) leaves no cursor behind.
    if (CurrentFrame() == Frame14) Chart1->SetActive(AuxSeries[1], true);
}

void TForm1::CompletePicking() {
    // The marks as the boxes show them now, and the cursors on the active spectrum.
    CheckActivSpec();
    switch (TaskCode) {
    case NoTask:
        InitAxes();
        Plot();
        refresh(1);
        break;
    case TaskBaseLine:
        SubtrLinear();
        PickNo = 1;
        PickedNumbersText.clear();
        PickedValuesText.clear();
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
    case TaskDeletePoints:
        DeletePickedPoints();
        break;
    case TaskIntegration:
    case TaskCentre:
        IntegrateMarked();
        SetModeLine(QStringLiteral("  DOUBLE INTEGRATION "));
        ShowPanel(Frame15);
        break;
    }
}
