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
    Mode.SelectMode = false;
    ShowPanel(Ui.Frame13);
    SetModeLine(modeLine);
    Mode.SizeEditKind = kind;
}

void TForm1::Defaultsize1Click() {
    ApplyLayout(DefaultLayout, false);
    Options.NumAver = DefaultNumAver;
    refresh1Click();
}

void TForm1::Readoptions1Click() {
    QString name;
    if (Mode.StartingUp) {
        name = QStringLiteral("Kivo.opt");
    } else {
        const bool chosen = Ui.OpenDialog2.Execute(this);
        FocusCurrentFrame();
        if (chosen) name = Ui.OpenDialog2.FileName;
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
    Options.NumAver = o.NumAver;
    Options.KoeCu = o.KoeCu;
    if (!o.DirName.empty())
        Options.DefaultDir = QFile::decodeName(QByteArray::fromStdString(o.DirName));
    Options.FigureChoices = o.Figure;
    Options.AcquisitionFactors = o.NormFactors;
    SetDialogDirs();
    refresh1Click();
    if (!r.AllTaken())
        SetModeLine(QStringLiteral("   Options file %1: %2; the old values kept ")
                        .arg(shortName, QString::fromStdString(r.FaultText())));
}

void TForm1::Writeoptions1Click() {
    const bool chosen = Ui.SaveDialog2.Execute(this);
    FocusCurrentFrame();
    if (!chosen) return;
    std::string error;
    if (!kivo::WriteOptionsFile(CurrentOptions(), FileNameBytes(Ui.SaveDialog2.FileName), error))
        SetModeLine(
            QStringLiteral("   Options not written: %1 ").arg(QString::fromLocal8Bit(error)));
}

void TForm1::Bigpoints1Click() {
    View.BigPoints = View.BigPoints ? 0 : 1;
}

kivo::OptionsFile TForm1::CurrentOptions() const {
    kivo::OptionsFile o;
    o.Layout = {Ui.Client->height(),
                Ui.Client->width(),
                Ui.Chart1->height(),
                Ui.Chart1->width(),
                Ui.Label3->height(),
                Ui.Label3->y(),
                Ui.Label3->width(),
                Ui.Frame13->height(),
                Ui.Frame13->y(),
                Ui.Frame13->width(),
                FontHeight(Ui.Frame13->Label1)};
    o.NumAver = Options.NumAver;
    o.KoeCu = Options.KoeCu;
    o.DirName = FileNameBytes(Options.DefaultDir);
    o.Figure = Options.FigureChoices;
    o.NormFactors = Options.AcquisitionFactors;
    return o;
}

void TForm1::ApplyLayout(const kivo::LayoutOptions& l, bool bottomBar) {
    // The window first: the anchors then keep the controls placed below
    // where they are put, in the window's new size.
    SetClientSize(l.WinWidth, l.WinHeight);
    Ui.Chart1->resize(l.GrafWidth, l.GrafHeight);
    Ui.Label3->setGeometry(Ui.Label3->x(), l.LabelTop, l.LabelWidth, l.LabelHeight);
    if (bottomBar) Ui.Label1->resize(l.LabelWidth, Ui.Label1->height());
    Ui.Frame13->setGeometry(Ui.Frame13->x(), l.FrameTop, l.FrameWidth, l.FrameHeight);
    SetFontHeight(Ui.Frame13->Label1, l.FontHeight);
    Ui.Frame13->Label1->adjustSize();
}

void TForm1::SetClientSize(int width, int height) {
    // The menu bar's row lies above the client area, in any width (a narrow
    // bar folds its last menus away rather than wrapping).
    resize(width, height + menuBar()->sizeHint().height());
    if (isVisible()) return;
    // Hidden (at start-up), the window lays its client out only when shown:
    // the client takes the size now, so that what is placed next is placed
    // in it.
    Ui.Client->resize(width, height);
    Ui.ClientAnchors->PlaceAll();
}

void TForm1::SetDialogDirs() {
    for (TFileDialog* d : {&Ui.OpenDialog1, &Ui.OpenDialog2, &Ui.OpenDialog3, &Ui.SaveDialog1,
                           &Ui.SaveDialog2, &Ui.SaveDialog3, &Ui.SaveDialog4})
        d->InitialDir = Options.DefaultDir;
}
