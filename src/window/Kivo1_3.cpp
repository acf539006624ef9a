#include "Kivo1_3.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "TChart.h"
#include "TCheckBox.h"
#include "TLabel.h"
#include "Unit1.h"
#include "anchors.h"
#include "fonts.h"
#include "places.h"

namespace {

// Colours of slots 1..20: a spectrum's line and the background of its box.
constexpr int SlotRgb[kivo::MaxSpec][3] = {
    {0, 255, 0},     {255, 0, 0},   {0, 255, 255}, {255, 255, 0},   {0, 0, 255},
    {0, 128, 0},     {255, 0, 255}, {128, 0, 128}, {128, 128, 128}, {128, 0, 0},
    {128, 128, 0},   {0, 0, 128},   {0, 128, 128}, {255, 255, 255}, {166, 202, 240},
    {192, 220, 192}, {0, 170, 170}, {102, 170, 0}, {170, 0, 102},   {96, 96, 48},
};

constexpr int ClientWidth = 815;
constexpr int ClientHeight = 698;
constexpr int ChartWidth = 801;
constexpr int ChartHeight = 445;
constexpr int BandHeight = 20;
constexpr int PanelHeight = 130;
constexpr int ModeLineHeight = 152;
constexpr int HelpFontPixels = 11;

QPlainTextEdit* ParameterMemo(QWidget* parent, const char* name, int left, int top, int width,
                              int height) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setGeometry(left, top, width, height);
    // The width it is made with is the least it takes (the parameters'
    // boxes widen to their longest line).
    memo->setMinimumWidth(width);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setFont(FontOfHeight(QStringLiteral("Arial"), 17));
    memo->setFrameStyle(QFrame::NoFrame);
    memo->document()->setDocumentMargin(0);
    memo->setStyleSheet(QStringLiteral("QPlainTextEdit { background: black; color: white; }"));
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->hide();
    return memo;
}

} // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
    NowMs = [] { return QDateTime::currentMSecsSinceEpoch(); };
    CreateControls();
    CreateMenu();
    // The window opens at its design size and can be resized and maximised.
    resize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    qApp->installEventFilter(this);
    // Files dropped anywhere on the window are read by the window, never
    // typed as text into a box.
    for (QWidget* w : findChildren<QWidget*>()) w->setAcceptDrops(false);
    setAcceptDrops(true);
    Guarded("start-up", [this] { FormCreate(); });
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    // The point buffers are owned by the store and go with it.
}

// The widgets are made in the order of these calls, which is their stacking and
// focus order until StackControls raises some of them.
void TForm1::CreateControls() {
    CreateClient();
    CreateModeLine();
    CreateBottomBand();
    CreateSpectrumBoxes();
    CreateChartTexts();
    CreateParameterMemos();
    CreateHelpViewer();
    CreateLowerPanels();
    StackControls();
    AnchorControls();
    SetUpDialogs();
}

void TForm1::CreateClient() {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(FontOfHeight(QStringLiteral("MS Sans Serif"), 14));

    Ui.Client = new QWidget(this);
    Ui.Client->setObjectName(QStringLiteral("Client"));
    Ui.Client->setAutoFillBackground(true);
    QPalette pal = Ui.Client->palette();
    pal.setColor(QPalette::Window, Qt::black);
    Ui.Client->setPalette(pal);
    // The controls are placed for this size; anchors carry them to any other.
    Ui.Client->resize(ClientWidth, ClientHeight);
    setCentralWidget(Ui.Client);

    Ui.Chart1 = new TChart(Ui.Client);
    Ui.Chart1->setGeometry(0, 0, ChartWidth, ChartHeight);
    // A press on the chart places a cursor; the keys stay with the mode.
    Ui.Chart1->OnMouseDown = [this](Qt::MouseButton button, int x, int y) {
        Guarded("Chart1MouseDown", [&] { Chart1MouseDown(button, x, y); });
        FocusCurrentFrame();
    };
}

void TForm1::CreateModeLine() {
    Ui.Label3 = new TModeLine(QStringLiteral("   MODE"), Ui.Client);
    Ui.Label3->setObjectName(QStringLiteral("Label3"));
    Ui.Label3->setGeometry(0, ChartHeight, ClientWidth, ModeLineHeight);
    Ui.Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Ui.Label3->setWordWrap(true);
    Ui.Label3->setAutoFillBackground(true);
    Ui.Label3->setFont(FontOfHeight(QStringLiteral("Arial"), 17, true));
    SetFontHeight(Ui.Label3, 17);
    Ui.Label3->setStyleSheet(QStringLiteral("QLabel { background: white; color: blue; }"));
}

void TForm1::CreateBottomBand() {
    Ui.Label1 = new QLabel(Ui.Client);
    Ui.Label1->setObjectName(QStringLiteral("Label1"));
    Ui.Label1->setGeometry(0, ClientHeight - BandHeight, ClientWidth, BandHeight);
    Ui.Label1->setAutoFillBackground(true);
    Ui.Label1->setStyleSheet(QStringLiteral("QLabel { background: blue; }"));

    struct KeyLabel {
        TLabel** label;
        const char* name;
        const char* caption;
    };
    const KeyLabel keyLabels[] = {
        {&Ui.Label5, "Label5", "F1-Help"},       {&Ui.Label6, "Label6", "F2-Write"},
        {&Ui.Label7, "Label7", "F3-Read"},       {&Ui.Label8, "Label8", "F4-Refresh"},
        {&Ui.Label9, "Label9", "F5-Parameters"}, {&Ui.Label4, "Label4", "F8-Delete"},
        {&Ui.Label10, "Label10", "AltX-Exit"},   {&Ui.Label11, "Label11", "Grid - Alt G"},
    };
    int left = 8;
    for (const KeyLabel& k : keyLabels) {
        auto* label = new TLabel(QLatin1String(k.caption), Ui.Client);
        label->setObjectName(QLatin1String(k.name));
        label->setFont(FontOfHeight(QStringLiteral("Arial"), 13, true));
        label->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"));
        label->adjustSize();
        label->move(left, ClientHeight - BandHeight + (BandHeight - label->height()) / 2);
        left += label->width() + 24;
        *k.label = label;
    }
    OnClick(Ui.Label5, "Help1Click", &TForm1::Help1Click);
    OnClick(Ui.Label6, "WriteClick", &TForm1::WriteClick);
    OnClick(Ui.Label7, "ReadClick", &TForm1::ReadClick);
    OnClick(Ui.Label8, "refresh1Click", &TForm1::refresh1Click);
    OnClick(Ui.Label9, "Label9Click", &TForm1::Label9Click);
    OnClick(Ui.Label4, "DeleteF81Click", &TForm1::DeleteF81Click);
    OnClick(Ui.Label10, "Button2Click", &TForm1::Button2Click);
    OnClick(Ui.Label11, "Fieldgrid1Click", &TForm1::Fieldgrid1Click);
}

void TForm1::CreateSpectrumBoxes() {
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        auto* box = new TCheckBox(Ui.Client);
        box->setObjectName(QStringLiteral("CheckBox%1").arg(i));
        box->setGeometry(2, 2 + (i - 1) * 20, 80, 19);
        box->setAutoFillBackground(true);
        box->hide();
        Ui.SpecCheck[i] = box;
        // The box tells the store first, whatever ticked it.
        connect(box, &QCheckBox::toggled, this, [this, i](bool checked) {
            Store.Checked[i] = checked;
            Guarded("CheckBox1Click", [this, i] { CheckBox1Click(i); });
        });
    }

    Ui.Label13 = new TLabel(QStringLiteral("All spectra"), Ui.Client);
    Ui.Label13->setObjectName(QStringLiteral("Label13"));
    Ui.Label13->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"));
    Ui.Label13->adjustSize();
    Ui.Label13->move(2, 2 + kivo::MaxSpec * 20);
    Ui.Label13->hide();
    OnClick(Ui.Label13, "Label13Click", &TForm1::Label13Click);
    connect(Ui.Label13, &TLabel::doubleClicked, this,
            [this] { Guarded("Label13DblClick", [this] { Label13DblClick(); }); });
}

void TForm1::CreateChartTexts() {
    for (QLabel** chartText : {&Ui.Label2, &Ui.Label12}) {
        auto* label = new QLabel(Ui.Client);
        label->setAttribute(Qt::WA_TranslucentBackground);
        // Lying over the boxes, it must not take their clicks.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setStyleSheet(QStringLiteral("QLabel { color: white; background: transparent; }"));
        label->setFont(FontOfHeight(QStringLiteral("Arial"), 14, true));
        *chartText = label;
    }
    Ui.Label2->setObjectName(QStringLiteral("Label2"));
    Ui.Label2->setGeometry(90, 8, 230, 18);
    Ui.Label12->setObjectName(QStringLiteral("Label12"));
    Ui.Label12->setGeometry(90, 28, 230, 18);
}

void TForm1::CreateParameterMemos() {
    Ui.Memo1 = ParameterMemo(Ui.Client, "Memo1", 327, 8, 457, 41);
    Ui.Memo2 = ParameterMemo(Ui.Client, "Memo2", 687, 56, 97, 125);
    Ui.Memo3 = ParameterMemo(Ui.Client, "Memo3", 623, 337, 161, 97);
}

void TForm1::CreateHelpViewer() {
    Ui.Memo4 = ParameterMemo(Ui.Client, "Memo4", 0, 136, 800, 284);
    Ui.Memo4->setReadOnly(true);
    // The help is scrolled with the wheel; the keys stay with the mode's panel.
    Ui.Memo4->setFocusPolicy(Qt::NoFocus);
    Ui.Memo4->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // The help's tables are aligned with blanks: a fixed-pitch font keeps
    // their columns, and no line is broken (one wider than the box scrolls
    // sideways). At this size the help's widest lines fit the box.
    QFont fixedPitch = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixedPitch.setPixelSize(HelpFontPixels);
    Ui.Memo4->setFont(fixedPitch);
    Ui.Memo4->setLineWrapMode(QPlainTextEdit::NoWrap);
    Ui.Memo4->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    Ui.TreeView1 = new QTreeWidget(Ui.Client);
    Ui.TreeView1->setObjectName(QStringLiteral("TreeView1"));
    Ui.TreeView1->setHeaderHidden(true);
    Ui.TreeView1->setFocusPolicy(Qt::NoFocus);
    // All ten topics in view above the help box.
    Ui.TreeView1->setFont(FontOfHeight(QStringLiteral("MS Sans Serif"), 13));
    Ui.TreeView1->setGeometry(0, 0, 260, 118);
    auto* interfaceNode = new QTreeWidgetItem(Ui.TreeView1, {QStringLiteral("Interface")});
    auto* choice = new QTreeWidgetItem(Ui.TreeView1, {QStringLiteral("Spectra choice")});
    new QTreeWidgetItem(choice, {QStringLiteral("File Formats")});
    auto* lowMenu = new QTreeWidgetItem(Ui.TreeView1, {QStringLiteral("Low Menu")});
    for (const char* topic : {"BaseLine", "Double Integration", "Move,Scale",
                              "Comparison of spectra", "Treatment", "Simulation"})
        new QTreeWidgetItem(lowMenu, {QLatin1String(topic)});
    Q_UNUSED(interfaceNode);
    Ui.TreeView1->expandAll();
    // As high as its rows, but clear of the help box below it.
    Ui.TreeView1->resize(Ui.TreeView1->width(),
                         std::min(Ui.Memo4->y(), 10 * Ui.TreeView1->sizeHintForRow(0) +
                                                     2 * Ui.TreeView1->frameWidth()));
    Ui.TreeView1->hide();
}

void TForm1::CreateLowerPanels() {
    CreateMainPanel();
    CreateMoveScalePanel();
    CreateSizePanel();
    CreateBaseLinePanel();
    CreateIntegrationPanel();
    CreateTreatmentPanel();
    // One place for all six: a mode shows its own panel and hides the others.
    const int panelTop = ClientHeight - BandHeight - PanelHeight;
    for (TFrame1* f : {Ui.Frame11, Ui.Frame12, Ui.Frame13, Ui.Frame14, Ui.Frame15, Ui.Frame16})
        f->setGeometry(0, panelTop, 1192, PanelHeight);
    Ui.Label3->SetCovers({Ui.Frame11, Ui.Frame12, Ui.Frame13, Ui.Frame14, Ui.Frame15, Ui.Frame16});
}

void TForm1::CreateMainPanel() {
    Ui.Frame11 = CreateFrame(QStringLiteral("Frame11"), {});
    LabelPanel(Ui.Frame11, {"1 - reserved", "2 - reserved", {}, {}, {}, {}, "7 - reserved"});
}

void TForm1::CreateMoveScalePanel() {
    Ui.Frame12 = CreateFrame(QStringLiteral("Frame12"), {});
    LabelPanel(Ui.Frame12, {"Scale - PgUp, PgDown, CntrPgUp, CntrPgDown",
                            "'Move (Left,Right,Up or Down);  Step - \"+\" and \"-\""});
    Ui.Frame12->Label11->show();
    Ui.Frame12->Label12->show();
    SetKeyHandler(Ui.Frame12, "Frame12Edit1KeyDown", &TForm1::Frame12Edit1KeyDown);
}

void TForm1::CreateSizePanel() {
    Ui.Frame13 = CreateFrame(QStringLiteral("Frame13"), {"PgUp, PgDown, CntrPgUp, CntrPgDown"});
    for (int n = 3; n <= TFrame1::LabelCount; ++n) Ui.Frame13->Label(n)->hide();
    SetKeyHandler(Ui.Frame13, "Frame13Edit1KeyDown", &TForm1::Frame13Edit1KeyDown);
}

void TForm1::CreateBaseLinePanel() {
    Ui.Frame14 = CreateFrame(QStringLiteral("Frame14"),
                             {"Press Left or Right Key and finish with Enter",
                              "Manual correction - Y", "Numerical Base line - alt B",
                              "Choice base spectrum - Alt C", "To Finish - press Y"});
    OnClick(Ui.Frame14->Label3, "Frame14Label3Click", &TForm1::Frame14Label3Click);
    OnClick(Ui.Frame14->Label4, "Frame14Label4Click", &TForm1::Frame14Label4Click);
    OnClick(Ui.Frame14->Label5, "Frame16Label12Click", &TForm1::Frame16Label12Click);
    SetKeyHandler(Ui.Frame14, "Frame14Edit1KeyDown", &TForm1::Frame14Edit1KeyDown);
}

void TForm1::CreateIntegrationPanel() {
    Ui.Frame15 = CreateFrame(QStringLiteral("Frame15"), {});
    LabelPanel(Ui.Frame15, {"Manual correction - Y", "Finish - Esc"});
    OnClick(Ui.Frame15->Label1, "Frame15Label1Click", &TForm1::Frame15Label1Click);
    OnClick(Ui.Frame15->Label2, "Frame15Label2Click", &TForm1::Frame15Label2Click);
    SetKeyHandler(Ui.Frame15, "Frame15Edit1KeyDown", &TForm1::Frame15Edit1KeyDown);
}

void TForm1::CreateTreatmentPanel() {
    Ui.Frame16 = CreateFrame(QStringLiteral("Frame16"), {});
    QStringList fixed;
    for (int n = 1; n <= TFrame1::LabelCount; ++n) fixed << QString();
    fixed[11] = QStringLiteral("To Finish - press Y");
    // The seventh label, kept free by the panel's first layout, names the
    // line fit; the other commands beyond the labels are in the Commands menu.
    LabelPanel(Ui.Frame16, fixed);
    Ui.Frame16->Label11->show();
    OnClick(Ui.Frame16->Label12, "Frame16Label12Click", &TForm1::Frame16Label12Click);
    SetKeyHandler(Ui.Frame16, "Frame16Edit1KeyDown", &TForm1::Frame16Edit1KeyDown);
}

const std::vector<PanelCommand>& TForm1::CommandsOf(const TFrame1* panel) const {
    static const std::vector<PanelCommand> none;
    return panel == Ui.Frame11   ? MainCommands()
           : panel == Ui.Frame12 ? MoveScaleCommands()
           : panel == Ui.Frame15 ? IntegrationCommands()
           : panel == Ui.Frame16 ? TreatmentCommands()
                                 : none;
}

bool TForm1::RunPanelCommand(const TFrame1* panel, int key, kivo::ShiftState shift) {
    if (!shift.AltOnly()) return false;
    for (const PanelCommand& c : CommandsOf(panel))
        if (key == c.Letter) {
            RunCommand(c);
            return true;
        }
    return false;
}

void TForm1::RunCommand(const PanelCommand& c) {
    if (c.NeedsMarked) {
        CheckActivSpec();
        if (Store.NoneMarked) {
            SetModeLine(ChooseOneSpectrum);
            return;
        }
    }
    (this->*c.Run)();
}

void TForm1::LabelPanel(TFrame1* panel, const QStringList& fixed) {
    QStringList captions = fixed;
    for (const PanelCommand& c : CommandsOf(panel)) {
        if (c.Label < 1) continue;
        while (captions.size() < c.Label) captions << QString();
        captions[c.Label - 1] = QLatin1String(c.Caption);
        const PanelCommand* row = &c; // the tables are static
        connect(panel->Label(c.Label), &TLabel::clicked, this,
                [this, row] { Guarded(row->Caption, [this, row] { RunCommand(*row); }); });
    }
    panel->SetCaptions(captions);
}

void TForm1::FillCommandsMenu() {
    Ui.CommandsMenu->clear();
    const std::vector<PanelCommand>& table = CommandsOf(CurrentFrame());
    if (table.empty()) {
        Ui.CommandsMenu->addAction(QStringLiteral("the panel's keys are on its labels"))
            ->setEnabled(false);
        return;
    }
    for (const PanelCommand& c : table) {
        const PanelCommand* row = &c;
        connect(Ui.CommandsMenu->addAction(CommandName(c) + QLatin1Char('\t') + KeyText(c)),
                &QAction::triggered, this,
                [this, row] { Guarded(row->Caption, [this, row] { RunCommand(*row); }); });
    }
}

void TForm1::StackControls() {
    // The texts on the chart lie above it, in the order they were made; the
    // picked-point read-out above them, even a widened base box; the help,
    // while it is shown, above everything, the spectra's boxes too.
    for (QWidget* w : std::initializer_list<QWidget*>{Ui.Memo1, Ui.Memo2, Ui.Memo3, Ui.Label13})
        w->raise();
    for (int i = 1; i <= kivo::MaxSpec; ++i) Ui.SpecCheck[i]->raise();
    Ui.Label2->raise();
    Ui.Label12->raise();
    Ui.Memo4->raise();
    Ui.TreeView1->raise();
}

void TForm1::AnchorControls() {
    // The chart grows with the window; the memos keep to its right side (the
    // results memo to its lower right corner); the mode line, the lower panels
    // and the bottom band keep their distance from the bottom.
    auto* anchors = Ui.ClientAnchors = new Anchors(Ui.Client);
    anchors->Anchor(Ui.Chart1, Qt::LeftEdge | Qt::TopEdge | Qt::RightEdge | Qt::BottomEdge);
    anchors->Anchor(Ui.Memo1, Qt::TopEdge | Qt::RightEdge, Ui.Chart1);
    anchors->Anchor(Ui.Memo2, Qt::TopEdge | Qt::RightEdge, Ui.Chart1);
    anchors->Anchor(Ui.Memo3, Qt::BottomEdge | Qt::RightEdge, Ui.Chart1);
    for (QWidget* band : std::initializer_list<QWidget*>{Ui.Label3, Ui.Label1})
        anchors->Anchor(band, Qt::LeftEdge | Qt::RightEdge | Qt::BottomEdge);
    for (QWidget* w : std::initializer_list<QWidget*>{
             Ui.Frame11, Ui.Frame12, Ui.Frame13, Ui.Frame14, Ui.Frame15, Ui.Frame16, Ui.Label5,
             Ui.Label6, Ui.Label7, Ui.Label8, Ui.Label9, Ui.Label4, Ui.Label10, Ui.Label11})
        anchors->Anchor(w, Qt::LeftEdge | Qt::BottomEdge);
}

void TForm1::SetUpDialogs() {
    // Every type Kivo reads first, so that a spectrometer's file is seen at once.
    Ui.OpenDialog1.Filter = QStringLiteral(
        "All spectra|*.esr *.txt *.dat *.asc *.DSC *.par *.jdx *.dx *.jcamp|esr|*.esr|dat|*.dat|"
        "txt|*.txt|asc|*.asc|Spectrometer files|*.DSC *.par|JCAMP-DX|*.jdx *.dx *.jcamp");
    Ui.OpenDialog1.DefaultExt = QStringLiteral("esr");
    Ui.OpenDialog1.AllowMultiSelect = true;
    // A name ending in .jdx (.dx, .jcamp) is saved as JCAMP-DX.
    Ui.SaveDialog1.Filter = QStringLiteral("esr|*.esr|JCAMP-DX|*.jdx");
    Ui.SaveDialog1.DefaultExt = QStringLiteral(".esr");
    Ui.SaveDialog1.OverwritePrompt = true;
    Ui.OpenDialog2.Filter = QStringLiteral("opt|*.opt");
    Ui.SaveDialog2.Filter = QStringLiteral("opt|*.opt");
    Ui.SaveDialog2.DefaultExt = QStringLiteral(".opt");
    Ui.SaveDialog2.CreatePrompt = true;
    Ui.SaveDialog3.Filter = QStringLiteral("png|*.png|pdf|*.pdf|svg|*.svg");
    Ui.SaveDialog3.DefaultExt = QStringLiteral(".png");
    Ui.SaveDialog3.OverwritePrompt = true;
    Ui.SaveDialog3.OptionText = QStringLiteral("for print");
    // Simulation models are plain text.
    for (TFileDialog* d : {&Ui.OpenDialog3, &Ui.SaveDialog4})
        d->Filter = QStringLiteral("Model|*.txt *.model|All files|*");
    Ui.SaveDialog4.DefaultExt = QStringLiteral(".txt");
    Ui.SaveDialog4.OverwritePrompt = true;
}

TFrame1* TForm1::CreateFrame(const QString& name, const QStringList& captions) {
    auto* frame = new TFrame1(name, Ui.Client);
    frame->SetCaptions(captions);
    return frame;
}

void TForm1::CreateMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    bar->setNativeMenuBar(false);

    QMenu* file = bar->addMenu(QStringLiteral("&File        "));
    MenuItem(file, QStringLiteral("Read "), "ReadClick", &TForm1::ReadClick, Qt::Key_F3);
    MenuItem(file, QStringLiteral("Save"), "WriteClick", &TForm1::WriteClick, Qt::Key_F2);
    MenuItem(file, QStringLiteral("Delete"), "DeleteF81Click", &TForm1::DeleteF81Click, Qt::Key_F8);
    MenuItem(file, QStringLiteral("Refresh"), "refresh1Click", &TForm1::refresh1Click, Qt::Key_F4);
    MenuItem(file, QStringLiteral("E&xit   AltX"), "Button2Click", &TForm1::Button2Click);

    QMenu* edit = bar->addMenu(QStringLiteral("Edit"));
    Ui.UndoItem = MenuItem(edit, QStringLiteral("Undo"), "UndoClick", &TForm1::UndoClick,
                           QKeySequence(Qt::CTRL | Qt::Key_Z));
    Ui.RedoItem = MenuItem(edit, QStringLiteral("Redo"), "RedoClick", &TForm1::RedoClick,
                           QKeySequence(Qt::CTRL | Qt::Key_Y));
    Ui.RedoItem->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    UpdateUndoItems();

    QMenu* view = bar->addMenu(QStringLiteral("View"));
    QAction* grid =
        MenuItem(view, QStringLiteral("Grid"), "Fieldgrid1Click", &TForm1::Fieldgrid1Click);
    MenuItem(view, QStringLiteral("Parameters"), "Label9Click", &TForm1::Label9Click, Qt::Key_F5);
    QAction* big =
        MenuItem(view, QStringLiteral("Big points"), "Bigpoints1Click", &TForm1::Bigpoints1Click);
    QAction* gScale =
        MenuItem(view, QStringLiteral("g scale"), "Gscale1Click", &TForm1::Gscale1Click);
    // The items that switch something show whether it is on, however it was
    // switched (Alt+G, F4 …): their ticks are read when the menu opens.
    for (QAction* a : {grid, big, gScale}) a->setCheckable(true);
    connect(view, &QMenu::aboutToShow, this, [this, grid, big, gScale] {
        grid->setChecked(Ui.Chart1->AxesVisible());
        big->setChecked(View.BigPoints != 0);
        gScale->setChecked(View.GScaleShown);
    });
    MenuItem(view, QStringLiteral("Export picture..."), "ExportPicture1Click",
             &TForm1::ExportPicture1Click, QKeySequence(Qt::CTRL | Qt::Key_E));
    MenuItem(view, QStringLiteral("Series curve..."), "SeriesCurve1Click",
             &TForm1::SeriesCurve1Click);

    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    MenuItem(options, QStringLiteral("Window Size"), "WindowSize1Click", &TForm1::WindowSize1Click);
    MenuItem(options, QStringLiteral("Graf Size"), "GrafSize1Click", &TForm1::GrafSize1Click);
    MenuItem(options, QStringLiteral("Low menu"), "Lowmenu1Click", &TForm1::Lowmenu1Click);
    MenuItem(options, QStringLiteral("Write options"), "Writeoptions1Click",
             &TForm1::Writeoptions1Click);
    MenuItem(options, QStringLiteral("Read options"), "Readoptions1Click",
             &TForm1::Readoptions1Click);
    MenuItem(options, QStringLiteral("Default size"), "Defaultsize1Click",
             &TForm1::Defaultsize1Click);

    // "Help" runs its command when it is opened and on F1.
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    connect(help, &QMenu::aboutToShow, this,
            [this] { Guarded("Help1Click", [this] { Help1Click(); }); });
    auto* f1 = new QAction(this);
    f1->setShortcut(Qt::Key_F1);
    connect(f1, &QAction::triggered, this,
            [this] { Guarded("Help1Click", [this] { Help1Click(); }); });
    addAction(f1);
    MenuItem(help, QStringLiteral("English"), "English1Click", &TForm1::English1Click);
    MenuItem(help, QStringLiteral("Russian"), "Russian1Click", &TForm1::Russian1Click);

    // The current panel's commands with their keys, those without a label too.
    Ui.CommandsMenu = bar->addMenu(QStringLiteral("Commands"));
    connect(Ui.CommandsMenu, &QMenu::aboutToShow, this, [this] { FillCommandsMenu(); });
    CreateAboutMenu(bar);

    QAction* exitItem = bar->addAction(QStringLiteral("E&xit AltX"));
    exitItem->setObjectName(QStringLiteral("Exit1"));
    connect(exitItem, &QAction::triggered, this,
            [this] { Guarded("Button2Click", [this] { Button2Click(); }); });
}

// The program and its maker, and where the help and the examples were found.
void TForm1::CreateAboutMenu(QMenuBar* bar) {
    QMenu* about = bar->addMenu(QStringLiteral("About"));
    for (const char* line :
         {"Programm for treatment of ESR spectra", "ver. 1.3", "Written by the Kivo contributors",
          "Free software for ESR laboratories", "Built with Qt and QCustomPlot",
          "Questions and bug reports: the Kivo project"})
        about->addAction(QLatin1String(line));
    const QString helpFile = HelpPath(1).isEmpty() ? HelpPath(2) : HelpPath(1);
    about->addSeparator();
    about->addAction(QStringLiteral("Help files: ") +
                     (helpFile.isEmpty()
                          ? QStringLiteral("not found")
                          : QDir::toNativeSeparators(QFileInfo(helpFile).absolutePath())));
    about->addAction(QStringLiteral("Examples: ") +
                     (ExamplesDir().isEmpty() ? QStringLiteral("not installed")
                                              : QDir::toNativeSeparators(ExamplesDir())));
}

QAction* TForm1::MenuItem(QMenu* menu, const QString& caption, const char* command,
                          void (TForm1::*handler)(), const QKeySequence& shortcut) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, command, handler] {
        Guarded(command, [this, handler] { (this->*handler)(); });
    });
    return action;
}

void TForm1::OnClick(TLabel* label, const char* command, void (TForm1::*handler)()) {
    connect(label, &TLabel::clicked, this, [this, command, handler] {
        Guarded(command, [this, handler] { (this->*handler)(); });
    });
}

void TForm1::SetKeyHandler(TFrame1* frame, const char* command,
                           void (TForm1::*handler)(int&, kivo::ShiftState)) {
    frame->SetKeyHandler([this, command, handler](int& key, kivo::ShiftState shift) {
        Guarded(command, [&] { (this->*handler)(key, shift); });
    });
}

namespace {

// The handlers that belong to typing into a parameter box itself.
bool PartOfEditing(const char* command) {
    for (const char* own : {"Memo1Enter", "Memo1Exit", "Memo1KeyPress", "FormKeyPress"})
        if (std::strcmp(command, own) == 0) return true;
    return false;
}

} // namespace

void TForm1::Guarded(const char* command, const std::function<void()>& body) {
    const bool outermost = guardDepth_ == 0;
    if (outermost) failure_.clear();
    ++guardDepth_;
    try {
        // A parameter being typed is stored before another command acts, as
        // if its box had lost the focus first.
        if (outermost && Mode.MemoEditing && !PartOfEditing(command)) Memo1Exit();
        body();
        if (outermost && failure_.isEmpty()) SettleWork();
    } catch (const std::exception& e) {
        if (failure_.isEmpty())
            failure_ =
                QStringLiteral("   %1 failed: %2 ")
                    .arg(QLatin1String(command), QString::fromLocal8Bit(kivo::FailureWords(e)));
    } catch (...) {
        if (failure_.isEmpty())
            failure_ = QStringLiteral("   %1 failed ").arg(QLatin1String(command));
    }
    --guardDepth_;
    // A command inside another one never throws through Qt's signals: the
    // outermost one sees its failure and takes the whole command back.
    if (!outermost) return;
    if (!failure_.isEmpty()) {
        std::fprintf(stderr, "kivo: %s\n", failure_.trimmed().toLocal8Bit().constData());
        RollBackCommand();
        SetModeLine(failure_);
        return;
    }
    FlushCommandSteps();
    UndoCheckpoint();
}

void TForm1::FormCreate() {
    Options.NumAver = 10;
    Options.KoeCu = 1.725e19;
    // Until a folder is chosen, F3 opens where the examples are installed.
    Options.DefaultDir = ExamplesDir().isEmpty() ? QDir::homePath() : ExamplesDir();
    setWindowTitle(QStringLiteral("Kivo"));
    Options.HotKeysHint = QStringLiteral(
        "         Hot keys are available; mark spec. - Click; visual-n of spec. - Dbl.Click.");
    SetModeLine(QStringLiteral("   SELECT MODE") + Options.HotKeysHint);
    Options.ShiftLineHint =
        QStringLiteral("     Click mouse in appropriate position to shift the line");
    for (TFrame1* f : {Ui.Frame16, Ui.Frame15, Ui.Frame14, Ui.Frame13, Ui.Frame12}) f->hide();
    Ui.Frame11->show();
    // The chart never rescales its axes by itself: the ranges are always the program's.
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        const int* rgb = SlotRgb[i - 1];
        View.SpecColor[i] = QColor(rgb[0], rgb[1], rgb[2]);
    }
    if (Ui.Chart1->SeriesCount() == 0) {
        // Series1 and Series2: fuchsia circles for the picked points.
        Ui.Chart1->AddPointSeries(QColor(255, 0, 255), 1);
        Ui.Chart1->AddPointSeries(QColor(255, 0, 255), 2);
    }
    Ui.Chart1->Clear(View.PointSeries1);
    Ui.Chart1->Clear(View.PointSeries2);
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        View.SpecSeries[i] = Ui.Chart1->AddLineSeries(View.SpecColor[i]);
        Ui.Chart1->SetLineWidth(View.SpecSeries[i], 1);
        Ui.Chart1->Clear(View.SpecSeries[i]);
        QCheckBox* box = Ui.SpecCheck[i];
        QPalette pal = box->palette();
        pal.setColor(QPalette::Window, View.SpecColor[i]);
        pal.setColor(QPalette::Button, View.SpecColor[i]);
        // A caption stays readable on every slot colour.
        const bool dark = View.SpecColor[i].lightness() < 110;
        pal.setColor(QPalette::WindowText, dark ? Qt::white : Qt::black);
        box->setPalette(pal);
        box->hide();
    }
    for (int j = 1; j <= 6; ++j) {
        View.AuxSeries[j] = Ui.Chart1->AddLineSeries(Qt::white, ChartLayer::Marks);
        Ui.Chart1->SetLineWidth(View.AuxSeries[j], 1);
        Ui.Chart1->Clear(View.AuxSeries[j]);
    }
    View.XShift = 0;
    View.YShift = 0;
    View.MoveStep = 3000;
    Ui.Memo4->setGeometry(0, 136, 800, 284);
    Mode.SpectraLoaded = false;
    Store.NumSpec = 0;
    Mode.StartingUp = true;
    const QString selectMode = ModeLine();
    Readoptions1Click();
    // What Kivo.opt could not give is said after the start-up's own refresh.
    const QString optionsNotice = ModeLine() == selectMode ? QString() : ModeLine();
    SetDialogDirs();
    Mode.StartingUp = false;
    Work.CompactPending = false;
    Work.RestrictPending = false;
    Mode.RefLineKind = 0;
    Store.NoneMarked = true;
    Options.HelpLanguage = 1;
    LoadHelp();
    refresh1Click();
    if (!optionsNotice.isEmpty()) SetModeLine(optionsNotice);
}

void TForm1::FormKeyPress(QChar& Key) {
    if (Mode.MemoEditing || !Mode.SelectMode) return;
    switch (Key.unicode()) {
    case kivo::VK_ESCAPE:
        for (TFrame1* f : {Ui.Frame16, Ui.Frame15, Ui.Frame14, Ui.Frame13, Ui.Frame12}) f->hide();
        Ui.Frame11->show();
        SetModeLine(QStringLiteral("   SELECT MODE") + Options.HotKeysHint);
        Mode.SelectMode = true;
        Ui.Memo4->hide();
        Ui.TreeView1->hide();
        break;
    default:
        for (const PanelCommand& c : MainCommands())
            if (Key == QLatin1Char(c.Letter)) RunCommand(c);
        break;
    }
}

void TForm1::Button2Click() {
    close();
}

void TForm1::Frame11Label5Click() {
    // Comparison: the files chosen are added to those loaded.
    Mode.AddMode = true;
    ReadClick();
}

TFrame1* TForm1::CurrentFrame() const {
    for (TFrame1* f : {Ui.Frame12, Ui.Frame13, Ui.Frame14, Ui.Frame15, Ui.Frame16})
        if (f->isVisibleTo(Ui.Client)) return f;
    return Ui.Frame11;
}

void TForm1::ShowPanel(TFrame1* panel) {
    EndSliceOffer(); // another mode
    for (TFrame1* f : {Ui.Frame11, Ui.Frame12, Ui.Frame13, Ui.Frame14, Ui.Frame15, Ui.Frame16})
        if (f != panel) f->hide();
    panel->show();
    panel->Edit1->setFocus(Qt::OtherFocusReason);
}

void TForm1::FocusCurrentFrame() {
    activateWindow();
    CurrentFrame()->Edit1->setFocus(Qt::OtherFocusReason);
}

void TForm1::SetModeLine(const QString& text) {
    Ui.Label3->setText(text);
    Ui.Label3->setToolTip(QString()); // the tooltip belongs to the messages it lists
}

QString TForm1::ModeLine() const {
    return Ui.Label3->text();
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Without a window manager nobody else activates the window, and the
    // function keys would never reach their commands.
    FocusCurrentFrame();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::FocusIn || type == QEvent::FocusOut) {
        if (watched == Ui.Memo1 || watched == Ui.Memo2 || watched == Ui.Memo3)
            MemoFocusChanged(type == QEvent::FocusIn, static_cast<QFocusEvent*>(event)->reason());
        return false;
    }
    if (type == QEvent::MouseButtonPress && watched == Ui.TreeView1->viewport()) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        Guarded("TreeView1MouseDown", [&] { TreeView1MouseDown(mouse->button(), at.x(), at.y()); });
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this) return false;
    // A key travels up to the parents when the focused control ignores it;
    // the window looks at it once, where it first arrives.
    QWidget* focus = QApplication::focusWidget();
    if (widget != (focus ? focus : this)) return false;
    return KeyArrived(watched, static_cast<QKeyEvent*>(event));
}

void TForm1::MemoFocusChanged(bool in, Qt::FocusReason reason) {
    if (in) {
        Guarded("Memo1Enter", [this] { Memo1Enter(); });
        return;
    }
    // Only the focus going elsewhere in the window ends the editing, not a
    // dialog or a menu that comes up over it.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        Guarded("Memo1Exit", [this] { Memo1Exit(); });
}

bool TForm1::KeyArrived(QObject* watched, QKeyEvent* key) {
    TFrame1* frame = nullptr;
    for (TFrame1* f : {Ui.Frame11, Ui.Frame12, Ui.Frame13, Ui.Frame14, Ui.Frame15, Ui.Frame16})
        if (watched == f->Edit1) frame = f;
    // Keys are taken by where they sit, so that every layout finds them. The
    // menu's mnemonics go by the letters the layouts write instead: none
    // under Cyrillic alone, a Latin one when a Latin group is loaded too.
    const int code = kivo::IsModifierOnly(*key) ? int(kivo::VK_NONE) : kivo::VirtualKeyOf(*key);
    const kivo::ShiftState shift = kivo::ShiftOf(*key);
    const bool exitKey = code == 'X' && shift.AltOnly();

    if (key->type() == QEvent::ShortcutOverride) {
        // Alt+X is the exit everywhere; the other Alt letters of a mode belong
        // to its panel. A lone Alt must not take the focus to the menu bar.
        if (exitKey ||
            (frame && (key->key() == Qt::Key_Alt ||
                       (frame->HasKeyHandler() && shift.Alt && code >= 'A' && code <= 'Z')))) {
            key->accept();
            return true;
        }
        return false;
    }
    if (exitKey) {
        Guarded("Button2Click", [this] { Button2Click(); });
        return true;
    }
    if (WindowCommandKey(code, shift)) return true;

    // The slices a read offers are typed in select mode, where the digits
    // are otherwise the modes' keys: the entry takes every key but Alt's and
    // Ctrl's until Enter or Esc.
    if (frame == Ui.Frame11 && Entry.Typing != TypedNumber::None && code != kivo::VK_NONE &&
        !shift.Alt && !shift.Ctrl) {
        int k = code;
        Guarded("Label3Edit", [&] { Label3Edit(k); });
        return true;
    }
    if (frame) {
        // The key-down of the panel's mode, then the character to the window.
        if (code != kivo::VK_NONE) {
            int k = code;
            frame->Edit1KeyDown(k, shift);
        }
        const QString text = key->text();
        if (text.size() == 1 && !(key->modifiers() & (Qt::AltModifier | Qt::ControlModifier))) {
            QChar c = text.at(0);
            Guarded("FormKeyPress", [&] { FormKeyPress(c); });
        }
        return true;
    }
    // Any other control: the window sees the character first, then the control.
    const QString text = key->text();
    if (text.size() != 1 || (key->modifiers() & (Qt::AltModifier | Qt::ControlModifier)))
        return false;
    QChar c = text.at(0);
    Guarded("FormKeyPress", [&] { FormKeyPress(c); });
    if (watched == Ui.Memo1) Guarded("Memo1KeyPress", [&] { Memo1KeyPress(c); });
    // Enter never breaks a line of the parameter boxes.
    return c.unicode() == kivo::VK_RETURN &&
           (watched == Ui.Memo1 || watched == Ui.Memo2 || watched == Ui.Memo3);
}

bool TForm1::WindowCommandKey(int code, kivo::ShiftState shift) {
    // Undo, redo and the picture by the keys' places, for a layout whose
    // letters the menu's shortcuts do not find; in a parameter box the typed
    // values are stored first, and their storing is what Ctrl+Z undoes.
    if (!shift.Ctrl || shift.Alt) return false;
    if (!shift.Shift && code == 'E') {
        Guarded("ExportPicture1Click", [this] { ExportPicture1Click(); });
        return true;
    }
    if (code == 'Z' && !shift.Shift) {
        Guarded("UndoClick", [this] { UndoClick(); });
        return true;
    }
    if (code == 'Z' || code == 'Y') {
        Guarded("RedoClick", [this] { RedoClick(); });
        return true;
    }
    return false;
}
