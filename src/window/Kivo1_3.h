// TForm1: the main window. It owns the spectrum store (a class without
// widgets, src/store/spectrum_store.h), the objects of the mode (the pick and
// the pending work, src/picking/modes.h), the view state and the controls,
// and runs the commands. Its members are defined in the folder of the
// subsystem that owns them.
#pragma once

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "TFileDialog.h"
#include "TModeLine.h"
#include "TYPEKIVO1_3.h"
#include "figure.h"
#include "fitting.h"
#include "keys.h"
#include "loader.h"
#include "modes.h"
#include "panel_commands.h"
#include "spectrum_store.h"
#include "text_lines.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTreeWidget;
class QAction;
class QMenu;
class Anchors;
class TChart;
class TFrame1;
class TLabel;
class SeriesWindow;

// What a number typed on the mode line is for, besides the subtraction factor
// and the smoothing numbers.
enum class TypedNumber : uint8_t {
    None,
    Frequency,
    StandardG,
    FrequencyTo,
    AcquisitionFactors,
    FitChoice,
    Slices,
    StandardSpins
};

// A spectrum's short name: its file name without directory and without the
// last four characters (the ending); a name of four characters or fewer
// (".esr" alone) stays whole.
QString ShortName(const QString& path);
// The mark a base spectrum's caption ends in.
inline const QString BaseMark = QStringLiteral("   B");
// What a command that wants a marked spectrum says when none is.
inline const QString ChooseOneSpectrum = QStringLiteral("   Choose at least one spectrum ");
// What the g "4" shows after "I mist" is of.
inline const QString GCentreLabel = QStringLiteral("   g at the centre of the integral = ");
// The mark the spin standard's caption ends in.
inline const QString SpinStandardMark = QStringLiteral("   S");

// The widgets of the window: views of the store and the modes.
struct Controls {
    QWidget* Client = nullptr;        // the client area
    Anchors* ClientAnchors = nullptr; // keeps the controls to their edges of Client
    TChart* Chart1 = nullptr;
    QLabel* Label1 = nullptr; // blue bottom band
    QLabel* Label2 = nullptr; // chart texts of the point picking
    QLabel* Label12 = nullptr;
    TModeLine* Label3 = nullptr; // the mode line
    TLabel* Label13 = nullptr;   // "All spectra"
    TLabel* Label4 = nullptr;    // "F8-Delete"
    TLabel* Label5 = nullptr;    // "F1-Help"
    TLabel* Label6 = nullptr;    // "F2-Write"
    TLabel* Label7 = nullptr;    // "F3-Read"
    TLabel* Label8 = nullptr;    // "F4-Refresh"
    TLabel* Label9 = nullptr;    // "F5-Parameters"
    TLabel* Label10 = nullptr;   // "AltX-Exit"
    TLabel* Label11 = nullptr;   // "Grid - Alt G"
    QPlainTextEdit* Memo1 = nullptr;
    QPlainTextEdit* Memo2 = nullptr;
    QPlainTextEdit* Memo3 = nullptr;
    QPlainTextEdit* Memo4 = nullptr;
    QTreeWidget* TreeView1 = nullptr;
    TFrame1* Frame11 = nullptr;
    TFrame1* Frame12 = nullptr;
    TFrame1* Frame13 = nullptr;
    TFrame1* Frame14 = nullptr;
    TFrame1* Frame15 = nullptr;
    TFrame1* Frame16 = nullptr;
    kivo::SlotArray<QCheckBox*> SpecCheck; // the slots' boxes
    QAction* UndoItem = nullptr;
    QAction* RedoItem = nullptr;
    QMenu* CommandsMenu = nullptr;     // the current panel's commands with their keys
    QPointer<SeriesWindow> SeriesView; // the last series curve, while it is open
    TFileDialog OpenDialog1{TFileDialog::Kind::Open, QStringLiteral("OpenDialog1")};
    TFileDialog SaveDialog1{TFileDialog::Kind::Save, QStringLiteral("SaveDialog1")};
    TFileDialog OpenDialog2{TFileDialog::Kind::Open, QStringLiteral("OpenDialog2")};
    TFileDialog SaveDialog2{TFileDialog::Kind::Save, QStringLiteral("SaveDialog2")};
    TFileDialog SaveDialog3{TFileDialog::Kind::Save, QStringLiteral("SaveDialog3")};
    TFileDialog OpenDialog3{TFileDialog::Kind::Open, QStringLiteral("OpenDialog3")}; // models
    TFileDialog SaveDialog4{TFileDialog::Kind::Save, QStringLiteral("SaveDialog4")};
};

// How the chart shows the store: the view transform, the chart's series of
// the slots and the marks, and the moves kept for each spectrum.
struct ViewState {
    double XCentre = 0, YCentre = 0;
    double XHalfRange = 0, YHalfRange = 0;
    double XScale = 1, YScale = 1;
    double XShift = 0, YShift = 0;
    double MoveUnitX = 0, MoveUnitY = 0;
    double MoveStep = 3000;
    kivo::SlotArray<QColor> SpecColor;
    kivo::SlotArray<int> SpecSeries;       // chart index of slot i's line
    kivo::SlotArray<int, 6> AuxSeries;     // chart indices of the auxiliary lines
    static constexpr int PointSeries1 = 0; // Series1: 1-pixel points
    static constexpr int PointSeries2 = 1; // Series2: 2-pixel points
    uint16_t BigPoints = 0;                // chart index of the preview point series
    bool GScaleShown = false;              // g along the chart's top
    // The view transform in force for each slot at the last move-and-scale
    // key while it was marked; what "Save as in plot" makes permanent. It
    // belongs to the spectrum whose identity SpecMoveOf holds.
    kivo::SlotArray<double> SpecXShift, SpecYShift;
    kivo::SlotArray<double> SpecXScale = kivo::SlotArray<double>::Filled(1.0);
    kivo::SlotArray<double> SpecYScale = kivo::SlotArray<double>::Filled(1.0);
    kivo::SlotArray<uint32_t> SpecMoveOf;
    // The spectra the parameter boxes and the g of the integral's centre
    // (Label2) are of, by identity (0: none).
    uint32_t ShownSpec = 0;
    uint32_t GCentreSpec = 0;
    uint16_t HelpLinesShown = 0; // text lines of the topic in the help box
    // The plotted x of a field, and y of a value, through the view transform.
    double PlottedX(double field) const { return (1 - XScale) * XCentre + XScale * field + XShift; }
    double PlottedY(double value) const { return (1 - YScale) * YCentre + YScale * value + YShift; }
};

// A number typed on the mode line: what it is for, the prompt and the text,
// and the numbers taken from it.
struct ModeEntry {
    TypedNumber Typing = TypedNumber::None; // the number the mode line collects
    QString PromptText;
    QString EntryText;
    bool EntryOffered = false; // EntryText is the prompt's offer, not yet typed over
    double SubtrKoeff = 0;
    uint16_t NumSmoothIn = 0, NumRestrictIn = 0;
    uint16_t NumSmooth = 0, NumRestrict = 0;
    double StandardG = 0;      // the g of the standard whose line the cursors enclose
    uint32_t SpinEntryFor = 0; // the spectrum whose spins are being typed
};

// The user's settings and last choices, and the hints the mode line adds.
struct Settings {
    int32_t NumAver = 10;
    double KoeCu = 1.725e19;
    uint8_t HelpLanguage = 1; // 1 English, 2 Russian
    QString DefaultDir;
    // The acquisition factors chosen as digits (1 gain, 2 scans, 3
    // modulation, 4 power), the last choice offered again.
    unsigned AcquisitionFactors = kivo::AllFactors;
    // The fit's shape and number of lines, the last choice offered again.
    kivo::LineShape FitShape = kivo::LineShape::Lorentz;
    int FitCount = 1;
    bool FitStraight = false; // the lines fitted on a straight line
    // The order of the base line "3" previews and commits: 1 the straight
    // line through the end windows, PgUp and PgDown go through 0..5.
    int BaseLineOrder = kivo::LinearBaseLineOrder;
    kivo::FigureSettings FigureChoices;
    QString HotKeysHint;
    QString ShiftLineHint;
};

// Which of the window's modes is in force besides the pick and the work.
struct WindowMode {
    bool SelectMode = false; // the main panel's keys are in force
    bool AddMode = false;    // a read adds to the loaded spectra
    bool MemoEditing = false;
    bool BaseChoicePending = false; // the next box click chooses the base spectrum
    bool KeepNoneMarked = false;    // the refresh ends a mode without marking slot 1
    bool StartingUp = false;
    bool SpectraLoaded = false;
    uint8_t SizeEditKind = 0;
    qint64 LastCheckClickTime = 0; // ms of the last single click on a box; 0 = none
    int32_t RefLineKind = 0;       // the reference lines being searched
    uint16_t MistCount = 0;        // points the last "Erase mist." removed
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // ---- What the window holds: the store, the mode, its views -------------
    kivo::SpectrumStore Store;
    PickMode Pick;      // the cursors a task places
    SimulationMode Sim; // a model simulated over the active spectrum
    PendingWork Work;   // previews waiting to be committed
    WindowMode Mode;    // which of the window's modes is in force
    ModeEntry Entry;    // a number typed on the mode line
    ViewState View;     // how the chart shows the store
    Settings Options;   // the user's settings and last choices
    Controls Ui;        // the widgets
    // The clock of the double-click test, in milliseconds; tests set it.
    std::function<qint64()> NowMs;
    // What a read offers when it took only part of a file: the other slices
    // of a series (the series' bytes and the choice taken), or other points
    // of a sweep longer than a slot (the file and the points taken), with
    // the spectra that read made, by identity. Offered on the mode line's
    // entry; only Enter while the entry is open (Typing == Slices) uses it.
    struct SliceOffer {
        std::shared_ptr<const kivo::SpectrometerFiles> Files;
        kivo::SliceChoice Choice;
        std::vector<uint32_t> Ids;
        std::string Path; // a long sweep's file; empty for a series
        kivo::PointChoice Points;
        int SweepPoints = 0;
    };
    SliceOffer OfferedSlices;

    // ---- Commands others run: the keys' and clicks' handlers ---------------
    void refresh(int mode);
    void refresh1Click();
    void Parameters(int slot);
    void CheckActivSpec();
    void InitAxes();
    void Plot();
    // Reads files named on the command line or dropped on the window as one
    // selection of the open dialog; `add` keeps the spectra loaded, as "5".
    void OpenFiles(const QStringList& paths, bool add);
    void Chart1MouseDown(Qt::MouseButton Button, int X, int Y);
    void Frame11Label4Click();
    void Frame12Label3Click();
    void Frame12Label5Click();
    void Frame12Label7Click();
    void Frame12Label9Click();
    void Frame12Edit1KeyDown(int& Key, kivo::ShiftState Shift);
    void Frame14Edit1KeyDown(int& Key, kivo::ShiftState Shift);
    void Frame16Edit1KeyDown(int& Key, kivo::ShiftState Shift);
    void Label3Edit(int& Key); // the mode line's entry of a number
    void SubtrLinear();
    void SubtrSpec(int commit);
    void SmoothSpec(int commit);
    // Gives every point of the marked spectra their slot colour back.
    void RestoreSpectrumColours();
    // Records a treatment in the history line of a slot's spectrum.
    void SampCondW(int code, int slot, const std::string& text);

    // ---- The store's steps and its boxes -------------------------------------
    // Ends the step of the command before and names the one that follows.
    void BeginStep(const QString& name);
    // Makes what changed in the store since the last checkpoint one step.
    void UndoCheckpoint();
    void SwapStep(UndoStep& step);
    // The box of a slot drawn from its data: the caption, and the base mark
    // and width of the base spectrum.
    void DrawBox(int slot);
    // Ticks or clears a slot's box as a command does: the click handler runs,
    // and never takes the change for the second click of a double click.
    void SetBoxChecked(int slot, bool checked);

    // ---- Panels, the mode line and the figures --------------------------------
    // The table of a panel (empty for a panel without one).
    const std::vector<PanelCommand>& CommandsOf(const TFrame1* panel) const;
    void FillCommandsMenu();
    // The visible lower menu panel (the one whose edit box takes the keys).
    TFrame1* CurrentFrame() const;
    // Shows one lower panel, hides the others and gives its edit box the keys.
    void ShowPanel(TFrame1* panel);
    // Gives the keyboard back to the current panel's edit box.
    void FocusCurrentFrame();
    void SetModeLine(const QString& text);
    QString ModeLine() const;
    // The shown spectra at their own fields, in slot order.
    std::vector<kivo::figure::Curve> FigureCurves() const;

private:
    // The panels' tables name the handlers.
    friend const std::vector<PanelCommand>& MainCommands();
    friend const std::vector<PanelCommand>& MoveScaleCommands();
    friend const std::vector<PanelCommand>& IntegrationCommands();
    friend const std::vector<PanelCommand>& TreatmentCommands();

    // ---- Undo and redo ---------------------------------------------------
    QString StepName; // what the command changing the store now is called
    void UndoClick();
    void RedoClick();
    void StepBack(bool undo);
    bool EntryInProgress() const;
    // The steps the running command has made so far: they join the history
    // only when it ends well, and are taken back when it fails.
    std::vector<UndoStep> CommandSteps;
    void FlushCommandSteps();
    // Brings the store back to where it stood before the running command.
    void RollBackCommand();
    SlotView ViewOf(int slot) const;
    kivo::SlotArray<SlotView> ViewsNow() const;
    void UpdateUndoItems();

    // ---- Spectrum store ------------------------------------------------
    // A slot filled from a value (an empty value empties it) and its box drawn.
    void PutSlot(int slot, const SlotState& state);
    // The emptying of a slot: buffers released, record reset, box hidden.
    void ReleaseSlot(int slot);
    // A new spectrum in a slot: its identity, caption and file, its box
    // shown and ticked and its line shown.
    void FillSlot(int slot, const QString& caption, const QString& file);
    QString BoxText(int slot) const;
    // Takes the base mark "   B" off its caption and forgets the base spectrum.
    void RemoveBaseMark();
    // Shows messages one after another on the mode line, cut short with "…"
    // where they would not fit, and all of them in the mode line's tooltip.
    void ShowMessages(const QStringList& messages);
    QString SaveFailureShown; // the save failures last put on the mode line

    // ---- View state and plotting -------------------------------------------
    void DrawSpectr(const kivo::PointBuffer& X, const kivo::PointBuffer& Y, int series, int Count,
                    int From);
    // Adds points 0..count-1 of x, y to a series through the view transform.
    void AddPlotted(int series, const float* x, const float* y, int count);

    // ---- Refresh, parameters and options ------------------------------------
    kivo::HelpText HelpLines; // the help file's lines as held, and their code page
    bool HelpMissing = false; // the help file of the language was not found at the last load
    // PgUp and PgDown in the base-line mode: the order previewed.
    void ChangeBaseLineOrder(int step);
    QString BaseLineModeLine() const;
    // The slot holds a spectrum the last preview was made on, still marked.
    bool Previewed(int slot) const {
        return Work.PreviewFrom[slot] != 0 && Work.PreviewFrom[slot] == Store.SpecId[slot] &&
               Store.Marked[slot];
    }
    // Commits a pending preview into the spectra it was computed from, with
    // the marks the boxes show now; the typed subtraction and smoothing only
    // with `entries`. Run by the refresh and before a command removes,
    // replaces or reorders the slots.
    void CommitPendingWork(bool entries = true);
    // Work kept between commands follows the spectrum it was made on: run
    // whenever the marks or the slots may have changed.
    void FollowPick();
    void FollowMoves();
    // After every command: the marks read from the boxes, the work carried
    // to its spectra, a pick left without a marked spectrum ended.
    void SettleWork();
    bool Picking() const;

    // ---- Point picking, base line, subtraction ---------------------------------
    QString SubtrNotice; // what the last subtraction or smoothing pass could not do
    // The one way a pick starts: task with count cursors at the points
    // Pick.PickIndex holds, on the active spectrum, the cursor `first` placed
    // first; the picking panel takes the keys.
    void StartPick(Task task, int count, int first = 1);
    void ShowPickedPoint(int number, double value);
    // A field as the read-outs show it, with its g when the active spectrum
    // has a frequency.
    QString FieldReadout(double field) const;
    // The stretch of slot i that cursors 1 and 2 on the active spectrum
    // enclose: the cursors' points themselves on the active spectrum, the
    // same fields on any other.
    kivo::PointRange CursorRange(int slot) const;
    // Whether a range of points (in either order) lies on slot's spectrum;
    // if not, the command `what` is refused on the mode line.
    bool RangeOnSpectrum(int slot, kivo::PointRange r, const QString& what);
    void IntegrateMarked();
    void FinishLab3Edit(); // the number typed on the mode line taken

    // ---- Frequency, g and the field standard ---------------------------------
    void FrequencyClick();   // the frequency of the marked spectra, typed
    void DpphClick();        // field correction on DPPH
    void LiLiFClick();       // on Li:LiF
    void StandardGClick();   // on a standard of typed g
    void FrequencyToClick(); // the marked spectra brought to one frequency
    // The marked spectra divided by their acquisition parameters: the factors
    // chosen as digits (1 gain, 2 scans, 3 modulation, 4 power), the last
    // choice offered again.
    void AcquisitionClick();
    void NormaliseOnAcquisition(const QString& digits);
    void StartTyping(TypedNumber what, const QString& prompt, const QString& text = {});
    // The entry opened whatever is marked.
    void OpenEntry(TypedNumber what, const QString& prompt, const QString& text);
    void TakeTypedNumber();
    void StartStandardPick(double g);
    void CorrectFieldOnStandard();

    // ---- The panels' Alt commands, from their tables (panel_commands.h) --------
    // Runs the panel's command of an Alt letter; false when it has none.
    bool RunPanelCommand(const TFrame1* panel, int key, kivo::ShiftState shift);
    // A command of a table, refused on the mode line when it wants a marked
    // spectrum and none is.
    void RunCommand(const PanelCommand& c);
    // The labels of a panel: the table's captions where their rows say, the
    // fixed texts (keys that are no Alt command) elsewhere.
    void LabelPanel(TFrame1* panel, const QStringList& fixed);

    // Two cursors for a pick of task on the active spectrum, at these points.
    void StartTwoCursorPick(Task task, int first, int second);
    // Ends a two-cursor pick of the treatment panel and shows the panel
    // again: the active spectrum when the cursors still stand on it and on
    // its points, else 0 (the mode line says why where a range fails).
    int EndTreatmentPick(const QString& what);

    // ---- Peak-to-peak width ----------------------------------------------------
    void PeakToPeakClick();  // two cursors enclose a line
    void PeakToPeakPicked(); // its width and the g of its centre on the mode line

    // ---- Spins against a standard ---------------------------------------------
    void Frame15Label5Click(); // the active spectrum made the standard: its spins typed
    void TakeStandardSpins(const QString& typed);
    void Frame15Label6Click(); // the spins of the marked spectra counted

    // ---- Fitting of derivative lines -------------------------------------------
    // The shape and the number of lines, typed as two digits (shape 1
    // Lorentzian, 2 Gaussian, 3 pseudo-Voigt; lines 1..6), the last choice
    // offered again; then two cursors enclose the lines on the active spectrum.
    void FitLinesClick();
    void StartFitPick(const QString& digits);
    // The fit of the enclosed range: its results in the results box and on
    // the mode line, its curve and residual as new spectra.
    void FitPickedLines();
    // The curve fitted to slot source's points x, y (count of them) and its
    // residual as two new slots, "name<suffix>" and "name resid", each with
    // note in its history and saved by default beside the source.
    void AddCurveAndResidual(int source, const QString& suffix, const float* x, const float* y,
                             const float* curve, int count, const std::string& note);
    // A new slot for a spectrum made from slot source's, with its record and
    // these points; 0 (and nothing made) when no slot is free.
    int NewSlotFrom(int source, const QString& caption, const float* x, const float* y, int count);

    // ---- Simulation of a model ------------------------------------------------
    // Alt+A: the last model of the session simulated again, or one read from
    // a file; drawn over the active spectrum, its values walked and stepped
    // with the arrows, fitted between two cursors.
    void SimulationClick();
    // A model file chosen and read, then simulated; or refused on the mode line.
    void OpenModel();
    void SaveModel();
    void StartSimulation();
    // The keys of the mode; false for one that is not its own.
    bool SimulationKey(int key, kivo::ShiftState shift);
    // The model over the active spectrum, scaled to it, and the chosen value
    // on the mode line (or why it is not drawn).
    void DrawSimulation();
    // The preview cleared and the panel's keys given back.
    void EndSimulation();
    // The preview follows the active spectrum; with none marked the mode ends.
    void FollowSimulation();
    // Two cursors on the active spectrum enclose the range of the fit.
    void StartSimFit();
    // The free values fitted between the cursors to the spectra the fit was
    // asked for that are marked now.
    void SimFitPicked();

    // Typing into the parameter boxes, which show the spectrum ShownSpec.
    void Memo1Enter();
    void Memo1Exit();
    void Memo1KeyPress(QChar& Key);

    // Puts a treatment's result of a slot into a new slot named res<counter>
    // (a copy of the source's parameters) or over the source itself; returns
    // the slot, or 0 when no slot is free (said in notice).
    int StoreResult(int source, bool toNewSlot, int& counter, const float* x, const float* y,
                    int count, QString& notice);
    // The file name that starts slot's history, and its caption, as the
    // shared treatments take them.
    std::string NoteName(int slot) const;
    std::string Caption(int slot) const;
    void Label9Click();
    void Readoptions1Click();
    void Writeoptions1Click();
    void Defaultsize1Click();
    void WindowSize1Click();
    void GrafSize1Click();
    void Lowmenu1Click();
    void Fieldgrid1Click();
    void Bigpoints1Click();
    // View "g scale": g along the chart's top for the active spectrum's
    // frequency, drawn anew with the spectra.
    void Gscale1Click();
    void DrawGScale();
    void LoadHelp();
    void Help1Click();
    void English1Click();
    void Russian1Click();
    void TreeView1MouseDown(Qt::MouseButton Button, int X, int Y);

    // ---- Commands of the main window ---------------------------------------
    void FormCreate();
    void FormKeyPress(QChar& Key);
    void Button2Click();
    void ReadClick();
    // Reads the files of a selection into the slots, after the loaded
    // spectra when AddMode is set, and shows what was refused.
    void ReadChosen(const QStringList& files);
    // The read's three parts: the files chosen in the open dialog (none when
    // it was given up), read together, and placed into the slots in order.
    QStringList ChooseSpectrumFiles();
    std::vector<kivo::SpectrumRead> ReadSpectra(const QStringList& files, int count);
    void PlaceSpectra(const QStringList& files, std::vector<kivo::SpectrumRead> reads,
                      QStringList& messages, SliceOffer& offer);
    void OfferSlices(SliceOffer offer, const QString& said, const QString& typed);
    void EndSliceOffer();
    // The typed choice replaces the offer's spectra in their slots (more in
    // the free slots, fewer closed up): refused, with the offer kept, when
    // it is out of range or too many; refused when those spectra are gone.
    void TakeSliceChoice(const QString& typed);
    // The same for the points of a long sweep, read again from its file.
    void TakePointChoice(SliceOffer offer, const QString& typed);
    // The slots of the offer's spectra, sorted; none, said on the mode
    // line, when one of them is gone.
    std::vector<int> OfferedPlaces(const SliceOffer& offer);
    // The spectra produce gives replace those in places, as one step: the
    // places first, then free slots; what is left of the places is closed up.
    void ReplaceRead(std::vector<int> places, const QString& step, QStringList messages,
                     const std::function<void(const kivo::LoadSink&)>& produce);
    // A spectrum the loader gives into slot, or its refusal into messages;
    // false when refused.
    bool PlaceLoaded(kivo::LoadedSpectrum& s, int slot, QStringList& messages);
    void WriteClick();
    void DeleteF81Click();
    void CheckBox1Click(int slot); // slot 0: called for a control that is no box
    void CheckBoxDoubleClick(int slot);
    void Label13Click();
    void Label13DblClick();

    // ---- Lower menu panels --------------------------------------------------
    void Frame11Label3Click();
    void Frame11Label5Click();
    void Frame11Label6Click();
    void Frame11Label8Click();
    void Frame12Label4Click();
    void Frame12Label8Click();
    void Frame12Label10Click();
    void Frame12Label11Click();
    void Frame12Label12Click();
    void MoveView(int Key, kivo::ShiftState Shift);
    // The view in force becomes the move of every marked spectrum.
    void RecordMoves();
    void Frame13Edit1KeyDown(int& Key, kivo::ShiftState Shift);
    void Frame14Label3Click();
    void Frame14Label4Click();
    void Frame15Label1Click();
    void Frame15Label2Click();
    void Frame15Label3Click();
    void Frame15Label4Click(); // the quantitative double integral with its uncertainty
    void Frame15Edit1KeyDown(int& Key, kivo::ShiftState Shift);
    void Frame16Label1Click();
    void Frame16Label2Click();
    void Frame16Label3Click();
    void Frame16Label4Click();
    void Frame16Label6Click();
    void Frame16Label8Click();
    void Frame16Label9Click();
    void Frame16Label10Click();
    void Frame16Label11Click();
    void Frame16Label12Click();

    // View -> "Export picture...": the chart as PNG, PDF or SVG, as the
    // screen shows it or as a figure for print drawn with FigureChoices.
    void ExportPicture1Click();
    // The curve of the marked spectra of a power series in a window of its own.
    void SeriesCurve1Click();
    // Asks for a file and writes curves to it: a figure for print (the
    // choices asked) or, for spectra, the chart's picture. With a series,
    // the curves are its own.
    void ExportFigure(std::vector<kivo::figure::Curve> curves, const kivo::SeriesCurve* series);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The parts of the window's look at every event: a parameter box getting
    // or losing the focus, a key where it first arrives, and the keys that
    // are commands of the window in every mode.
    void MemoFocusChanged(bool in, Qt::FocusReason reason);
    bool KeyArrived(QObject* watched, class QKeyEvent* key);
    bool WindowCommandKey(int code, kivo::ShiftState shift);
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(class QDragEnterEvent* event) override;
    void dropEvent(class QDropEvent* event) override;

private:
    bool memoExiting_ = false;
    void BorderPointManual();
    void DrawCursor(int k);
    void ShowCursor(int k);
    void AcceptCursor();
    void CompletePicking();
    void MarkIntegratedRange(int slot, int left, int right);
    void DrawCentreTick(int point);
    // The integration's read-out: the backward steps, and the g of the
    // active spectrum's centre point (0: none).
    void ShowMist(int mist, int centre);
    void ReleaseWorkCopies();
    void CommitBaseLine();
    void CommitRestriction();
    // Move and scale: the picking commands that return to it.
    void StartComponentPick(Task task, int first, int last, const QString& prompt);
    void BackToMoveScale(const QString& notice);
    // Treatment: the reference-line set-up and the picking completions.
    void ForSearchMnRb(Task task);
    void CalibrateByRefLines();
    void MeasureDistance();
    void DeletePickedPoints();
    void NormaliseOnComponent();
    void CombineComponentField();
    // Divides a slot's signal by an amplitude; an amplitude that is not
    // positive leaves it as it was and is reported.
    bool DivideSlot(int slot, long double amplitude, QString& refused);
    void CompactSlots();
    // Layout options: the values the options file keeps, as they are now,
    // and the layout put in place (the bottom bar's width with it or not).
    kivo::OptionsFile CurrentOptions() const;
    void ApplyLayout(const kivo::LayoutOptions& layout, bool bottomBar);
    void SetClientSize(int width, int height);
    void SetDialogDirs();
    void StartSizeMode(uint8_t kind, const QString& modeLine);
    // Grows what the size mode changes by dw and dh pixels.
    void ResizeTarget(int dw, int dh);
    void LayoutPanels();
    void CreateControls();
    // The steps of CreateControls, in its order: the groups of controls, then
    // their stacking, their anchors and the dialogs' settings.
    void CreateClient();
    void CreateModeLine();
    void CreateAboutMenu(class QMenuBar* bar);
    void CreateBottomBand();
    void CreateSpectrumBoxes();
    void CreateChartTexts();
    void CreateParameterMemos();
    void CreateHelpViewer();
    void CreateLowerPanels();
    void StackControls();
    void AnchorControls();
    void SetUpDialogs();
    // The lower panels, each with its captions, clicks and keys.
    void CreateMainPanel();
    void CreateMoveScalePanel();
    void CreateSizePanel();
    void CreateBaseLinePanel();
    void CreateIntegrationPanel();
    void CreateTreatmentPanel();
    void CreateMenu();
    TFrame1* CreateFrame(const QString& name, const QStringList& captions);
    // Runs a command; a failure is shown on the mode line, never thrown on.
    void Guarded(const char* command, const std::function<void()>& body);
    int guardDepth_ = 0; // commands running inside one another
    QString failure_;    // what made the running command fail
    // Connects a label click to a command.
    void OnClick(TLabel* label, const char* command, void (TForm1::*handler)());
    void SetKeyHandler(TFrame1* frame, const char* command,
                       void (TForm1::*handler)(int&, kivo::ShiftState));
    QAction* MenuItem(class QMenu* menu, const QString& caption, const char* command,
                      void (TForm1::*handler)(), const QKeySequence& shortcut = {});
};
