// Moving and stretching the marked spectra on the chart, the size panel, and
// the two commands that make a view permanent: save as plotted and back
// order.
#include <QLabel>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"
#include "fonts.h"

void TForm1::Frame11Label6Click() {
    Mode.SelectMode = false;
    CheckActivSpec();
    SetModeLine(QStringLiteral("  MOVE and SCALE "));
    ShowPanel(Ui.Frame12);
}

// The view transform changed by a key of the mode: shifts, stretches and
// their step.
void TForm1::MoveView(int Key, kivo::ShiftState Shift) {
    using namespace kivo;
    const double stretch = View.MoveStep * 0.0001;
    if (Shift.Ctrl && !Shift.Shift && !Shift.Alt) {
        if (Key == VK_PRIOR) View.YScale *= 1 + stretch;
        if (Key == VK_NEXT) View.YScale *= 1 - stretch;
        return;
    }
    switch (Key) {
    case VK_ESCAPE:
        refresh(0);
        break;
    case VK_PRIOR:
        View.XScale *= 1 + stretch;
        break;
    case VK_NEXT:
        View.XScale *= 1 - stretch;
        break;
    case VK_LEFT:
        View.XShift -= View.MoveUnitX * View.MoveStep;
        break;
    case VK_RIGHT:
        View.XShift += View.MoveUnitX * View.MoveStep;
        break;
    case VK_UP:
        View.YShift += View.MoveUnitY * View.MoveStep;
        break;
    case VK_DOWN:
        View.YShift -= View.MoveUnitY * View.MoveStep;
        break;
    case VK_OEM_PLUS:
        View.MoveStep *= 2;
        break;
    case VK_OEM_MINUS:
        View.MoveStep /= 2;
        break;
    default:
        break;
    }
}

void TForm1::RecordMoves() {
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        Ui.Chart1->Clear(View.SpecSeries[i]);
        View.SpecXShift[i] = View.XShift;
        View.SpecYShift[i] = View.YShift;
        View.SpecXScale[i] = View.XScale;
        View.SpecYScale[i] = View.YScale;
        View.SpecMoveOf[i] = Store.SpecId[i];
    }
}

void TForm1::FollowMoves() {
    // A move belongs to the spectrum it was made on: it goes where that
    // spectrum goes, and a spectrum new to its slot has none.
    const auto xs = View.SpecXShift, ys = View.SpecYShift, xc = View.SpecXScale,
               yc = View.SpecYScale;
    const auto of = View.SpecMoveOf;
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        if (of[i] == Store.SpecId[i]) continue;
        int from = 0;
        for (int j = 1; j <= kivo::MaxSpec && from == 0; ++j)
            if (Store.SpecId[i] != 0 && of[j] == Store.SpecId[i]) from = j;
        View.SpecXShift[i] = from ? xs[from] : 0;
        View.SpecYShift[i] = from ? ys[from] : 0;
        View.SpecXScale[i] = from ? xc[from] : 1;
        View.SpecYScale[i] = from ? yc[from] : 1;
        View.SpecMoveOf[i] = Store.SpecId[i];
    }
}

void TForm1::Frame12Edit1KeyDown(int& Key, kivo::ShiftState Shift) {
    CheckActivSpec();
    MoveView(Key, Shift);
    if (Shift.AltOnly()) {
        // The transform is recorded before the command, so Alt+W saves the
        // spectra exactly as they are shown.
        RecordMoves();
        RunPanelCommand(Ui.Frame12, Key, Shift);
    }
    RecordMoves();
    Plot();
}

void TForm1::Frame13Edit1KeyDown(int& Key, kivo::ShiftState Shift) {
    using namespace kivo;
    const bool ctrlOnly = Shift.Ctrl && !Shift.Shift && !Shift.Alt;
    int dh = 0, dw = 0;
    if (Key == VK_PRIOR || Key == VK_NEXT) {
        const int d = Key == VK_PRIOR ? 10 : -10;
        (ctrlOnly ? dh : dw) = d;
    } else if (Key == VK_ESCAPE && !ctrlOnly) {
        refresh(0);
    }
    // A step goes no further than an options file can hold: a layout that
    // is written must read back. One that is out of bounds already (a
    // window the mouse made small) may be stepped back in.
    const bool usable = LayoutUsable(CurrentOptions().Layout);
    ResizeTarget(dw, dh);
    if (usable && !LayoutUsable(CurrentOptions().Layout)) ResizeTarget(-dw, -dh);
}

void TForm1::ResizeTarget(int dw, int dh) {
    switch (Mode.SizeEditKind) {
    case 1:
        resize(width() + dw, height() + dh);
        break;
    case 2:
        Ui.Chart1->resize(Ui.Chart1->width() + dw, Ui.Chart1->height() + dh);
        break;
    case 3: {
        // The lower menu grows upwards: its bottom edge stays where it is.
        const int modeLineWidth = Ui.Label3->width();
        Ui.Frame13->setGeometry(Ui.Frame13->x(), Ui.Frame13->y() - dh, Ui.Frame13->width() + dw,
                                Ui.Frame13->height() + dh);
        Ui.Label1->resize(modeLineWidth + dw, Ui.Label1->height());
        Ui.Label3->setGeometry(Ui.Label3->x(), Ui.Label3->y() - dh, Ui.Label3->width() + dw,
                               Ui.Label3->height() + dh);
        for (TFrame1* f : {Ui.Frame16, Ui.Frame15, Ui.Frame14, Ui.Frame12, Ui.Frame11})
            f->setGeometry(f->x(), Ui.Frame13->y(), Ui.Frame13->width(), Ui.Frame13->height());
        const int font = FontHeight(Ui.Frame13->Label1) + dh / 10;
        SetFontHeight(Ui.Frame13->Label1, font);
        SetFontHeight(Ui.Frame13->Label2, font);
        for (TFrame1* f : {Ui.Frame12, Ui.Frame11})
            for (int n = 1; n <= 10; ++n) SetFontHeight(f->Label(n), font);
        for (TFrame1* f : {Ui.Frame13, Ui.Frame12, Ui.Frame11}) f->FitCaptions();
        break;
    }
    default:
        break;
    }
}

void TForm1::Frame12Label10Click() {
    BeginStep(QStringLiteral("Save as in plot"));
    CheckActivSpec(); // the marks as shown, each move on its own spectrum
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        const int n = Store.Params[i].NumPoints;
        kivo::TransformValues(Store.SpecX[i].Data(), n, View.XCentre, View.SpecXScale[i],
                              View.SpecXShift[i]);
        kivo::TransformValues(Store.SpecY[i].Data(), n, View.YCentre, View.SpecYScale[i],
                              View.SpecYShift[i]);
    }
    WriteClick();
}

void TForm1::Frame12Label12Click() {
    BeginStep(QStringLiteral("Back order"));
    CheckActivSpec();
    if (!Store.NoneMarked)
        for (int i = Store.ActiveSpec; i <= Store.NumSpec; ++i)
            if (Store.Marked[i])
                kivo::ReversePoints(Store.SpecX[i].Data(), Store.SpecY[i].Data(),
                                    Store.Params[i].NumPoints);
    InitAxes();
    Plot();
    Parameters(Store.ActiveSpec);
}

void TForm1::Fieldgrid1Click() {
    Ui.Chart1->SetAxesVisible(!Ui.Chart1->AxesVisible());
    Ui.Chart1->SetLeftAxisVisible(true);
    Ui.Chart1->SetLeftIncrement(0.0001);
}
