// Layout options: the size modes of the Options menu, the built-in layout,
// the options file, and the preview points of the View menu.
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"
#include "anchors.h"
#include "fonts.h"

namespace {

// "Default size": the layout the program is drawn for.
constexpr kivo::LayoutOptions DefaultLayout{600, 800, 445, 801, 152, 444, 1199, 115, 460, 1192, 17};
constexpr int DefaultNumAver = 10;

std::string FileNameBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

void TForm1::WindowSize1Click() {
    StartSizeMode(1, QStringLiteral("   Change window size  "));
}

void TForm1::GrafSize1Click() {
    StartSizeMode(2, QStringLiteral("   Change graf size  "));
}

void TForm1::Lowmenu1Click() {
    StartSizeMode(3, QStringLiteral("   Change lower menu size  "));
}

void TForm1::StartSizeMode(uint8_t kind, const QString& modeLine) {
    // The size panel's keys are PgUp, PgDown and Esc; a digit typed meanwhile
    // must not start a treatment behind it.
    SelectMode = false;
    ShowPanel(Frame13);
    SetModeLine(modeLine);
    SizeEditKind = kind;
}

void TForm1::Defaultsize1Click() {
    ApplyLayout(DefaultLayout, false);
    NumAver = DefaultNumAver;
    refresh1Click();
}

void TForm1::Readoptions1Click() {
    QString name;
    if (StartingUp) {
        name = QStringLiteral("Kivo.opt");
    } else {
        const bool chosen = OpenDialog2.Execute(this);
        FocusCurrentFrame();
        if (chosen) name = OpenDialog2.FileName;
    }
    if (name.isEmpty() || !QFileInfo::exists(name)) return;

    kivo::OptionsFile o = CurrentOptions();
    const kivo::OptionsReadResult r = kivo::ReadOptionsFile(FileNameBytes(name), o);
    const QString shortName = QFileInfo(name).fileName();
    if (!r.Opened) {
        SetModeLine(QStringLiteral("   Options file %1 cannot be read ").arg(shortName));
        return;
    }
    ApplyLayout(o.Layout, true);
    NumAver = o.NumAver;
    KoeCu = o.KoeCu;
    if (!o.DirName.empty()) DefaultDir = QFile::decodeName(QByteArray::fromStdString(o.DirName));
    FigureChoices = o.Figure;
    AcquisitionFactors = o.NormFactors;
    SetDialogDirs();
    refresh1Click();
    if (!r.AllTaken())
        SetModeLine(QStringLiteral("   Options file %1: %2; the old values kept ")
                        .arg(shortName, QString::fromStdString(r.FaultText())));
}

void TForm1::Writeoptions1Click() {
    const bool chosen = SaveDialog2.Execute(this);
    FocusCurrentFrame();
    if (!chosen) return;
    std::string error;
    if (!kivo::WriteOptionsFile(CurrentOptions(), FileNameBytes(SaveDialog2.FileName), error))
        SetModeLine(
            QStringLiteral("   Options not written: %1 ").arg(QString::fromLocal8Bit(error)));
}

void TForm1::Bigpoints1Click() {
    BigPoints = BigPoints ? 0 : 1;
}

kivo::OptionsFile TForm1::CurrentOptions() const {
    kivo::OptionsFile o;
    o.Layout = {Client->height(),
                Client->width(),
                Chart1->height(),
                Chart1->width(),
                Label3->height(),
                Label3->y(),
                Label3->width(),
                Frame13->height(),
                Frame13->y(),
                Frame13->width(),
                FontHeight(Frame13->Label1)};
    o.NumAver = NumAver;
    o.KoeCu = KoeCu;
    o.DirName = FileNameBytes(DefaultDir);
    o.Figure = FigureChoices;
    o.NormFactors = AcquisitionFactors;
    return o;
}

void TForm1::ApplyLayout(const kivo::LayoutOptions& l, bool bottomBar) {
    // The window first: the anchors then keep the controls placed below
    // where they are put, in the window's new size.
    SetClientSize(l.WinWidth, l.WinHeight);
    Chart1->resize(l.GrafWidth, l.GrafHeight);
    Label3->setGeometry(Label3->x(), l.LabelTop, l.LabelWidth, l.LabelHeight);
    if (bottomBar) Label1->resize(l.LabelWidth, Label1->height());
    Frame13->setGeometry(Frame13->x(), l.FrameTop, l.FrameWidth, l.FrameHeight);
    SetFontHeight(Frame13->Label1, l.FontHeight);
    Frame13->Label1->adjustSize();
}

void TForm1::SetClientSize(int width, int height) {
    // The menu bar's row lies above the client area, in any width (a narrow
    // bar folds its last menus away rather than wrapping).
    resize(width, height + menuBar()->sizeHint().height());
    if (isVisible()) return;
    // Hidden (at start-up), the window lays its client out only when shown:
    // the client takes the size now, so that what is placed next is placed
    // in it.
    Client->resize(width, height);
    ClientAnchors->PlaceAll();
}

void TForm1::SetDialogDirs() {
    for (TFileDialog* d : {&OpenDialog1, &OpenDialog2, &SaveDialog1, &SaveDialog2, &SaveDialog3})
        d->InitialDir = DefaultDir;
}
