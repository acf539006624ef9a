// Moving and stretching the marked spectra on the chart, the size panel, and
// the two commands that make a view permanent: save as plotted and back
// order.
#include <QLabel>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"
#include "fonts.h"

void TForm1::Frame11Label6Click() {
    SelectMode = false;
    CheckActivSpec();
    SetModeLine(QStringLiteral("  MOVE and SCALE "));
    ShowPanel(Frame12);
}

// The view transform changed by a key of the mode: shifts, stretches and
// their step.
void TForm1::MoveView(int Key, kivo::ShiftState Shift) {
    using namespace kivo;
    const double stretch = MoveStep * 0.0001;
    if (Shift.Ctrl && !Shift.Shift && !Shift.Alt) {
        if (Key == VK_PRIOR) YScale *= 1 + stretch;
        if (Key == VK_NEXT) YScale *= 1 - stretch;
        return;
    }
    switch (Key) {
    case VK_ESCAPE:
        refresh(0);
        break;
    case VK_PRIOR:
        XScale *= 1 + stretch;
        break;
    case VK_NEXT:
        XScale *= 1 - stretch;
        break;
    case VK_LEFT:
        XShift -= MoveUnitX * MoveStep;
        break;
    case VK_RIGHT:
        XShift += MoveUnitX * MoveStep;
        break;
    case VK_UP:
        YShift += MoveUnitY * MoveStep;
        break;
    case VK_DOWN:
        YShift -= MoveUnitY * MoveStep;
        break;
    case VK_OEM_PLUS:
        MoveStep *= 2;
        break;
    case VK_OEM_MINUS:
        MoveStep /= 2;
        break;
    default:
        break;
    }
}

void TForm1::RecordMoves() {
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        Chart1->Clear(SpecSeries[i]);
        SpecXShift[i] = XShift;
        SpecYShift[i] = YShift;
        SpecXScale[i] = XScale;
        SpecYScale[i] = YScale;
        SpecMoveOf[i] = Store.SpecId[i];
    }
}

void TForm1::FollowMoves() {
    // A move belongs to the spectrum it was made on: it goes where that
    // spectrum goes, and a spectrum new to its slot has none.
    const auto xs = SpecXShift, ys = SpecYShift, xc = SpecXScale, yc = SpecYScale;
    const auto of = SpecMoveOf;
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        if (of[i] == Store.SpecId[i]) continue;
        int from = 0;
        for (int j = 1; j <= kivo::MaxSpec && from == 0; ++j)
            if (Store.SpecId[i] != 0 && of[j] == Store.SpecId[i]) from = j;
        SpecXShift[i] = from ? xs[from] : 0;
        SpecYShift[i] = from ? ys[from] : 0;
        SpecXScale[i] = from ? xc[from] : 1;
        SpecYScale[i] = from ? yc[from] : 1;
        SpecMoveOf[i] = Store.SpecId[i];
    }
}

void TForm1::Frame12Edit1KeyDown(int& Key, kivo::ShiftState Shift) {
    CheckActivSpec();
    MoveView(Key, Shift);
    if (Shift.AltOnly()) {
        // The transform is recorded before the command, so Alt+W saves the
        // spectra exactly as they are shown.
        RecordMoves();
        using Command = void (TForm1::*)();
        static const std::pair<int, Command> commands[] = {
            {'A', &TForm1::Frame12Label4Click},  {'B', &TForm1::Frame12Label8Click},
            {'G', &TForm1::Fieldgrid1Click},     {'H', &TForm1::Frame12Label7Click},
            {'M', &TForm1::Frame12Label9Click},  {'N', &TForm1::Frame12Label5Click},
            {'Q', &TForm1::Frame12Label12Click}, {'R', &TForm1::Frame12Label3Click},
            {'S', &TForm1::Frame12Label11Click}, {'W', &TForm1::Frame12Label10Click},
        };
        for (const auto& [letter, command] : commands)
            if (Key == letter) (this->*command)();
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
    switch (SizeEditKind) {
    case 1:
        resize(width() + dw, height() + dh);
        break;
    case 2:
        Chart1->resize(Chart1->width() + dw, Chart1->height() + dh);
        break;
    case 3: {
        // The lower menu grows upwards: its bottom edge stays where it is.
        const int modeLineWidth = Label3->width();
        Frame13->setGeometry(Frame13->x(), Frame13->y() - dh, Frame13->width() + dw,
                             Frame13->height() + dh);
        Label1->resize(modeLineWidth + dw, Label1->height());
        Label3->setGeometry(Label3->x(), Label3->y() - dh, Label3->width() + dw,
                            Label3->height() + dh);
        for (TFrame1* f : {Frame16, Frame15, Frame14, Frame12, Frame11})
            f->setGeometry(f->x(), Frame13->y(), Frame13->width(), Frame13->height());
        const int font = FontHeight(Frame13->Label1) + dh / 10;
        SetFontHeight(Frame13->Label1, font);
        SetFontHeight(Frame13->Label2, font);
        for (TFrame1* f : {Frame12, Frame11})
            for (int n = 1; n <= 10; ++n) SetFontHeight(f->Label(n), font);
        for (TFrame1* f : {Frame13, Frame12, Frame11}) f->FitCaptions();
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
        kivo::TransformValues(Store.SpecX[i].Data(), n, XCentre, SpecXScale[i], SpecXShift[i]);
        kivo::TransformValues(Store.SpecY[i].Data(), n, YCentre, SpecYScale[i], SpecYShift[i]);
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
    Chart1->SetAxesVisible(!Chart1->AxesVisible());
    Chart1->SetLeftAxisVisible(true);
    Chart1->SetLeftIncrement(0.0001);
}
