// The treatment panel and its point tools: inverse, erase mistakes, delete
// points and the measure between two cursors.
#include <QLabel>
#include <algorithm>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"

void TForm1::Frame11Label8Click() {
    Mode.SelectMode = false;
    SetModeLine(QStringLiteral("  Treatment  "));
    ShowPanel(Ui.Frame16);
}

void TForm1::Frame16Edit1KeyDown(int& Key, kivo::ShiftState Shift) {
    CheckActivSpec();
    // While a number is typed every key belongs to the entry.
    if (Work.SubtrInput || Work.SmoothEntry || Entry.Typing != TypedNumber::None) {
        Label3Edit(Key);
        return;
    }
    if (Shift.AltOnly()) {
        // Another command of the panel ends the simulation first.
        const std::vector<PanelCommand>& table = CommandsOf(Ui.Frame16);
        if (std::any_of(table.begin(), table.end(),
                        [Key](const PanelCommand& c) { return c.Letter == Key; }))
            EndSimulation();
        RunPanelCommand(Ui.Frame16, Key, Shift);
    } else if (Sim.On && SimulationKey(Key, Shift)) {
        return;
    } else if (Key == kivo::VK_ESCAPE && !Shift.Alt) {
        refresh(0);
    }
}

void TForm1::Frame16Label9Click() {
    BeginStep(QStringLiteral("Inverse"));
    CheckActivSpec();
    for (int i = Store.ActiveSpec; i >= 1 && i <= Store.NumSpec; ++i)
        if (Store.Marked[i])
            kivo::TransformValues(Store.SpecY[i].Data(), Store.Params[i].NumPoints, 0, -1, 0);
    InitAxes();
    Plot();
    refresh(1);
}

void TForm1::Frame16Label10Click() {
    BeginStep(QStringLiteral("Erase mistakes"));
    CheckActivSpec();
    Mode.MistCount = 0;
    QString refused;
    for (int i = Store.ActiveSpec; i >= 1 && i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        kivo::ParamSpec& p = Store.Params[i];
        // A sweep that falls almost throughout would leave no spectrum.
        if (kivo::CountForwardPoints(Store.SpecX[i].Data(), p.NumPoints) < 2) {
            refused += QStringLiteral("   Fewer than 2 points would remain, not erased: ") +
                       ShortName(Store.FileSpectrumName[i]) + QStringLiteral(" ");
            continue;
        }
        const int kept =
            kivo::EraseBackwardSteps(Store.SpecX[i].Data(), Store.SpecY[i].Data(), p.NumPoints);
        Mode.MistCount = static_cast<uint16_t>(Mode.MistCount + p.NumPoints - kept);
        p.NumPoints = static_cast<uint16_t>(kept);
    }
    Ui.Label2->setText(QStringLiteral("  I mist = %1").arg(Mode.MistCount));
    if (!refused.isEmpty()) SetModeLine(ModeLine() + refused);
    InitAxes();
    Plot();
}

void TForm1::Frame16Label11Click() {
    CheckActivSpec();
    Plot();
    Ui.Chart1->SetActive(View.AuxSeries[1], true);
    Pick.PickIndex[1] = Options.NumAver;
    Pick.PickIndex[2] = 100;
    StartPick(TaskDeletePoints, 2);
}

void TForm1::DeletePickedPoints() {
    BeginStep(QStringLiteral("Delete points"));
    CheckActivSpec();
    const int s = Store.ActiveSpec;
    if (s >= 1 && RangeOnSpectrum(s, {Pick.PickIndex[1], Pick.PickIndex[2]},
                                  QStringLiteral("Delete points"))) {
        int a = Pick.PickIndex[1], b = Pick.PickIndex[2];
        if (b < a) std::swap(a, b);
        // The run from the first cursor up to the second, which stays: two
        // neighbouring cursors remove the first point alone.
        const int n = Store.Params[s].NumPoints;
        const int count = std::max(b - a, 1);
        if (n - count < 2) {
            SetModeLine(ModeLine() +
                        QStringLiteral("   Fewer than 2 points would remain, nothing deleted "));
        } else {
            Store.Params[s].NumPoints = static_cast<uint16_t>(
                kivo::RemoveRun(Store.SpecX[s].Data(), Store.SpecY[s].Data(), n, a, count));
            // The old curve is still drawn: the removed points show purple on it.
            Ui.Chart1->ColourPoints(View.SpecSeries[s], a - 1, a + count - 2, QColor(128, 0, 128));
        }
    }
    Pick.TaskCode = NoTask;
    ShowPanel(Ui.Frame16);
    refresh(1);
}

void TForm1::Frame16Label8Click() {
    CheckActivSpec();
    Ui.Chart1->SetAxesVisible(true);
    Ui.Chart1->SetLeftAxisVisible(true);
    Ui.Chart1->SetLeftIncrement(0.0001);
    SetModeLine(QStringLiteral("    Tool measure, vertical - F11 "));
    Ui.Chart1->Clear(View.AuxSeries[1]);
    Pick.PickIndex[1] = Options.NumAver;
    Pick.PickIndex[2] = Options.NumAver + 100;
    StartPick(TaskMeasure, 2);
}

void TForm1::MeasureDistance() {
    Pick.PickedValuesText += QStringLiteral(" Delta= ");
    const int a = Store.ActiveSpec;
    if (Pick.PointCursor) {
        const int n = Store.Params[a].NumPoints;
        const int p1 = std::clamp<int>(Pick.PickIndex[1], 1, n),
                  p2 = std::clamp<int>(Pick.PickIndex[2], 1, n);
        ShowPickedPoint(0, double(Store.SpecX[a][p2]) - double(Store.SpecX[a][p1]));
    } else {
        ShowPickedPoint(-1, Pick.PickLevel[1] - Pick.PickLevel[2]);
    }
    Pick.PickNo = 1;
}
