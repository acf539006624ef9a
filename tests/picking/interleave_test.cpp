// Random interleavings of every command a user can give in the middle of
// another one, through the keys, boxes and labels of the real window. After
// every action the store must be sound and untouched where nothing was
// marked, and at the end every step must undo back to the start and redo
// back to the end. KIVO_INTERLEAVE_SEEDS=first:count runs other seeds.
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "harness.h"
#include "spectrometer_writer.h"

namespace {

struct Kept {
    kivo::ParamSpec Params;
    std::vector<float> X, Y;
    bool Marked = false;
};

// A recorded move as the user made it: the view in force at a move key.
struct Move {
    double XShift, YShift, XScale, YScale;
};

class InterleaveTest : public FormTest {
protected:
    std::mt19937 rng;
    std::ostringstream log;
    QStringList toOpen; // what the next open dialog is answered with
    std::map<uint32_t, Move> moves;
    size_t floor = 0; // undo steps that hold the start

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    void MakeFiles() {
        auto curve = [this](const QString& name, int n, double x0, double step, double centre,
                            const char* line2 = "") {
            kivo::ParamSpec p;
            p.Line1 = name.toStdString();
            p.Line2 = line2; // the frequency of the g commands
            p.NumPoints = static_cast<uint16_t>(n);
            p.Gain = 1e4;
            p.Power = 20;
            p.Modulation = 1;
            p.StandartRuby = 1;
            std::vector<float> x, y;
            for (int k = 0; k < n; ++k) {
                const double f = x0 + step * k, t = (f - centre) / 6;
                x.push_back(float(f));
                y.push_back(
                    float(0.002 * k - t * std::exp(-t * t) +
                          0.5 * std::sin(f) * std::exp(-std::pow((f - centre - 40) / 3, 2))));
            }
            WriteFile(name, kivo::FormatSpectrum(p, x.data(), y.data()));
        };
        curve("a.esr", 300, 3200, 0.8, 3320, "9.4012 GHz");
        curve("b.esr", 1000, 3000, 0.6, 3330);
        curve("c.esr", 500, 3300, 0.5, 3400, "9.5 GHz, 293 K, 4 scans");
        curve("d.esr", 120, 3310, 1.5, 3350);
        WriteFile("bad.esr", "no spectrum here\r\n");
        // Models for the simulation: one that fits a's line, one refused.
        WriteFile("m.txt", "frequency 9.4 GHz\ng 2.0230?=\nnucleus 1H 1 3 G\nwidth 8? G gauss\n");
        WriteFile("badm.txt", "g 2.0230\nwidth -1 G\n");
        // A series of more slices than there are slots: its read offers the others.
        kivo_examples::KnownSeries series;
        series.First = kivo_examples::DerivativeLine(101, 3300, 3400);
        series.Unit = "K";
        for (int k = 0; k < 30; ++k) {
            std::vector<double> signal = series.First.Signal;
            for (double& v : signal) v *= 1 + k / 10.0;
            series.Signals.push_back(signal);
            series.Values.push_back(80 + 10 * k);
        }
        const kivo_examples::Bes3tFiles s =
            kivo_examples::Bes3tSeries(series, {'F', false, false, false});
        WriteFile("s.DSC", s.Dsc);
        WriteFile("s.DTA", s.Dta);
        WriteFile("two.dat", [] {
            std::string s;
            for (int k = 0; k < 200; ++k)
                s += std::to_string(3250 + k) + " " + std::to_string(std::sin(k / 9.0)) + " " +
                     std::to_string(std::cos(k / 7.0)) + "\r\n";
            return s;
        }());
    }

    void SetUp() override {
        FormTest::SetUp();
        // The dialogs: an open is answered with the files chosen for it (a
        // model, mostly a good one), a save is given up (the bytes are
        // compared in memory instead).
        TFileDialog::Answer = [this](const TFileDialog& d) -> std::optional<QStringList> {
            if (d.Name() == QStringLiteral("OpenDialog3"))
                return QStringList{Path(Pick(4) == 0 ? "badm.txt" : "m.txt")};
            if (d.Name() != QStringLiteral("OpenDialog1") || toOpen.isEmpty()) return std::nullopt;
            QStringList paths;
            for (const QString& n : toOpen) paths << Path(n);
            toOpen.clear();
            return paths;
        };
        MakeFiles();
    }

    QWidget* Frame() const { return form->CurrentFrame(); }

    void ClickBox(int slot) {
        now += 1000; // a single click of its own
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }

    void DoubleClickBox(int slot) {
        ClickBox(slot);
        now += 100;
        QCheckBox* box = form->Ui.SpecCheck[slot];
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        Settle();
    }

    // Marked spectra by identity, and the points and record of each.
    std::map<uint32_t, Kept> Snapshot() const {
        std::map<uint32_t, Kept> s;
        for (int i = 1; i <= form->Store.NumSpec; ++i) {
            Kept k;
            k.Params = form->Store.Params[i];
            k.Params.Amplitude = 0;
            const int n = form->Store.Params[i].NumPoints;
            k.X.assign(form->Store.SpecX[i].Data(), form->Store.SpecX[i].Data() + n);
            k.Y.assign(form->Store.SpecY[i].Data(), form->Store.SpecY[i].Data() + n);
            k.Marked = form->Ui.SpecCheck[i]->isChecked();
            s[form->Store.SpecId[i]] = std::move(k);
        }
        return s;
    }

    // Every spectrum as F2 would write it, in slot order.
    std::vector<std::string> Files() const {
        std::vector<std::string> files;
        for (int i = 1; i <= form->Store.NumSpec; ++i)
            files.push_back(kivo::FormatSpectrum(form->Store.Params[i], form->Store.SpecX[i].Data(),
                                                 form->Store.SpecY[i].Data()));
        return files;
    }

    static int Direction(const Kept& k) {
        return k.X.size() < 2 ? 0 : (k.X.back() > k.X.front()) - (k.X.back() < k.X.front());
    }

    // One random action; returns whether it may change unmarked spectra
    // (undo and redo) or mirror a field axis.
    struct Effect {
        bool AnySpectrum = false;
        bool Unpreviews = false; // gives up a base line preview or changes marks first
        bool Mirrors = false;
        bool SavesMoves = false;
        bool PanelKey = false; // reaches the current panel's key handler
        uint32_t Edited = 0;   // the spectrum a parameter was typed for
    };

    void Press(Qt::Key key, Qt::KeyboardModifiers m = Qt::NoModifier) { Key(key, m); }

    Effect Act() {
        Effect e;
        const bool picking = form->Ui.Frame14->isVisibleTo(form.get());
        const bool moving = form->Ui.Frame12->isVisibleTo(form.get());
        const bool calibrating =
            picking && form->Pick.TaskCode >= 161 && form->Pick.TaskCode <= 164;
        const int boxes = std::max<int>(form->Store.NumSpec, 1);
        // Weights of the cases below: more of what starts, walks and ends a
        // mode than of what empties the store.
        const bool few = form->Store.NumSpec < 2;
        std::discrete_distribution<int> choose(
            {2,   2, 2, 2,   2, 3, 1, 2, 3, 2, 2, 1.5, 1, few ? 4.0 : 0.7,
             0.4, 1, 1, 0.5, 1, 1, 1, 1, 3, 3});
        switch (choose(rng)) {
        case 0:
        case 1: {
            static const Qt::Key modes[] = {Qt::Key_3, Qt::Key_4, Qt::Key_6, Qt::Key_8, Qt::Key_5};
            const Qt::Key k = modes[Pick(5)];
            if (k == Qt::Key_5) toOpen = RandomFiles();
            log << " key" << char('0' + (k - Qt::Key_0));
            e.PanelKey = true;
            Press(k);
            break;
        }
        case 2:
        case 3:
        case 4: {
            const bool left = Pick(2) != 0;
            const int times = 1 + Pick(12);
            // The simulation's fine steps.
            const Qt::KeyboardModifiers ctrl =
                form->Sim.On && Pick(3) == 0 ? Qt::ControlModifier : Qt::NoModifier;
            log << (ctrl ? " Ctrl+" : " ") << (left ? "Left*" : "Right*") << times;
            e.PanelKey = true;
            for (int t = 0; t < times; ++t) Press(left ? Qt::Key_Left : Qt::Key_Right, ctrl);
            break;
        }
        case 5:
            log << " Enter";
            e.PanelKey = true;
            e.Mirrors = calibrating;
            Press(Qt::Key_Return);
            break;
        case 6:
            log << " Esc";
            e.PanelKey = true;
            Press(Qt::Key_Escape);
            break;
        case 7: {
            static const Qt::Key keys[] = {
                Qt::Key_Up,    Qt::Key_Down,   Qt::Key_PageUp, Qt::Key_PageDown,  Qt::Key_Plus,
                Qt::Key_Minus, Qt::Key_Y,      Qt::Key_F11,    Qt::Key_Backspace, Qt::Key_1,
                Qt::Key_2,     Qt::Key_Period, Qt::Key_O,      Qt::Key_W};
            const int k = Pick(14);
            log << " key#" << k;
            e.PanelKey = true;
            e.Mirrors = moving; // a stretch past zero turns the view over
            Press(keys[k]);
            break;
        }
        case 8: {
            if (Frame() == form->Ui.Frame11) break; // the menus' own letters there
            // A panel with a table of commands is tried on its rows; the
            // others on every letter their handlers know, and one none knows.
            static const std::string others = "RABNMWHQSCKLGTIEFDJUV P";
            std::string letters;
            for (const PanelCommand& row : form->CommandsOf(form->CurrentFrame()))
                letters += row.Letter;
            if (letters.empty()) letters = others;
            const char c = letters[size_t(Pick(int(letters.size())))];
            if (c == ' ') break;
            log << " Alt+" << c;
            e.PanelKey = true;
            e.Unpreviews = picking && (c == 'B' || c == 'S' || c == 'C');
            e.Mirrors = moving && (c == 'Q' || c == 'W');
            e.SavesMoves = moving && c == 'W';
            Press(Qt::Key(Qt::Key_A + (c - 'A')), Qt::AltModifier);
            break;
        }
        case 9:
        case 10: {
            const int slot = 1 + Pick(boxes);
            log << " tick" << slot;
            e.Unpreviews = true;
            if (slot <= form->Store.NumSpec) ClickBox(slot);
            break;
        }
        case 11: {
            const int slot = 1 + Pick(boxes);
            log << " dbl" << slot;
            e.Unpreviews = true; // its first click may end a pick
            if (slot <= form->Store.NumSpec) DoubleClickBox(slot);
            break;
        }
        case 12:
            log << " all";
            e.Unpreviews = true;
            now += 1000;
            if (Pick(3) == 0)
                DoubleClick(form->Ui.Label13);
            else
                QTest::mouseClick(form->Ui.Label13, Qt::LeftButton);
            Settle();
            break;
        case 13: {
            // F3, or the same files dropped on the window (with Ctrl: added).
            const int how = Pick(3);
            const QStringList files = RandomFiles();
            log << (how == 0   ? " F3("
                    : how == 1 ? " drop("
                               : " ctrl-drop(")
                << files.join(',').toStdString() << ")";
            if (how == 0) {
                toOpen = files;
                Press(Qt::Key_F3);
            } else {
                DropFiles(files, how == 2 ? Qt::ControlModifier : Qt::NoModifier);
            }
            break;
        }
        case 14:
            log << " F8";
            Press(Qt::Key_F8);
            break;
        case 15: {
            static const Qt::Key keys[] = {Qt::Key_F4, Qt::Key_F5, Qt::Key_F2};
            const int k = Pick(3);
            log << " F" << (k == 0 ? 4 : k == 1 ? 5 : 2);
            Press(keys[k]);
            break;
        }
        case 16:
        case 17: {
            // Never below the first read: the start must stay in the history.
            const bool undo = Pick(3) != 0 && form->Store.Undo.UndoSteps() > floor;
            log << (undo ? " ^Z" : " ^Y");
            e.AnySpectrum = e.Mirrors = true; // back order may be undone
            const std::vector<bool> marks = Marks();
            const size_t steps = form->Store.Undo.UndoSteps();
            Press(undo ? Qt::Key_Z : Qt::Key_Y, Qt::ControlModifier);
            // The marks that belong with the state brought back.
            // With nothing marked the refresh that ends an undo marks slot 1.
            const auto anyMarked = [](const std::vector<bool>& m) {
                return std::find(m.begin(), m.end(), true) != m.end();
            };
            if (undo && lastStepMarks && anyMarked(*lastStepMarks) &&
                form->Store.Undo.UndoSteps() + 1 == steps) {
                EXPECT_TRUE(Marks() == *lastStepMarks) << "undo lost the marks" << log.str();
            }
            if (undo && form->Store.Undo.UndoSteps() + 1 == steps && Pick(2)) {
                log << "^Y";
                Press(Qt::Key_Y, Qt::ControlModifier);
                if (anyMarked(marks)) {
                    EXPECT_TRUE(Marks() == marks) << "redo lost the marks" << log.str();
                }
            }
            break;
        }
        case 18: {
            QPlainTextEdit* memo = Pick(2) ? form->Ui.Memo1 : form->Ui.Memo2;
            if (!memo->isVisibleTo(form.get())) break;
            log << " edit";
            QTest::mouseClick(memo->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
            Settle();
            const bool typing = QApplication::focusWidget() == memo;
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
            // Ctrl+Z last: it is left out where it would undo the first read.
            static const Qt::Key enders[] = {Qt::Key_F8, Qt::Key_F3,     Qt::Key_F2,
                                             Qt::Key_F4, Qt::Key_Return, Qt::Key_Z};
            const int k = Pick(form->Store.Undo.UndoSteps() > floor ? 6 : 5);
            log << "+end#" << k;
            if (enders[k] == Qt::Key_F3) toOpen = RandomFiles();
            e.AnySpectrum = e.Mirrors = enders[k] == Qt::Key_Z || enders[k] == Qt::Key_F3;
            // Typing changes the spectrum whose parameters the boxes show.
            const uint32_t edited = e.Edited = form->View.ShownSpec;
            Press(enders[k], enders[k] == Qt::Key_Z ? Qt::ControlModifier : Qt::NoModifier);
            // What was typed is kept whatever key ended the typing.
            if (typing && memo == form->Ui.Memo1 && edited != 0 && !e.AnySpectrum &&
                enders[k] != Qt::Key_F8) {
                for (int i = 1; i <= form->Store.NumSpec; ++i) {
                    if (form->Store.SpecId[i] == edited) {
                        EXPECT_EQ(form->Store.Params[i].Line1.substr(0, 1), "7") << log.str();
                    }
                }
            }
            break;
        }
        case 19: {
            if (!picking) break;
            const PlotRect r = form->Ui.Chart1->PlotRectangle();
            const int x = r.Left + Pick(std::max(r.Width, 1));
            log << " mouse" << x;
            form->Ui.Chart1->OnMouseDown(Qt::LeftButton, x, r.Top + 20);
            Settle();
            break;
        }
        case 20:
            if (!moving) break;
            log << " SaveInPlot";
            e.Mirrors = e.SavesMoves = true;
            QTest::mouseClick(form->Ui.Frame12->Label10, Qt::LeftButton);
            Settle();
            break;
        case 23: {
            // The simulation: started in the treatment panel, its keys, and
            // the cursors of its fit accepted.
            static const Qt::Key keys[] = {Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Left,
                                           Qt::Key_Right,  Qt::Key_Return, Qt::Key_Return,
                                           Qt::Key_Return, Qt::Key_O,      Qt::Key_W};
            if (picking && form->Pick.TaskCode == TaskSimFit) {
                const int times = 1 + Pick(2);
                log << " Enter*" << times;
                for (int t = 0; t < times; ++t) Press(Qt::Key_Return);
            } else if (form->Sim.On) {
                const int k = Pick(9);
                const bool ctrl = Pick(2) == 0;
                log << " sim#" << k << (ctrl ? "^" : "");
                Press(keys[k], ctrl ? Qt::ControlModifier : Qt::NoModifier);
            } else if (Frame() == form->Ui.Frame16) {
                log << " Alt+A";
                Press(Qt::Key_A, Qt::AltModifier);
            } else {
                break;
            }
            e.PanelKey = true;
            break;
        }
        case 22: {
            // The other slices of a series read, typed in or out of range.
            if (form->Entry.Typing != TypedNumber::Slices) break;
            const std::string typed = std::to_string(Pick(33)) + " " + std::to_string(Pick(33)) +
                                      " " + std::to_string(Pick(4));
            log << " slices(" << typed << ")";
            e.PanelKey = true;
            const std::vector<uint32_t> offered = form->OfferedSlices.Ids;
            std::vector<uint32_t> others;
            for (int i = 1; i <= form->Store.NumSpec; ++i)
                if (std::find(offered.begin(), offered.end(), form->Store.SpecId[i]) ==
                    offered.end())
                    others.push_back(form->Store.SpecId[i]);
            for (int k = 0; k < 12; ++k) Press(Qt::Key_Backspace);
            for (char c : typed) Press(c == ' ' ? Qt::Key_Space : Qt::Key(Qt::Key_0 + (c - '0')));
            Press(Qt::Key_Return);
            for (uint32_t id : others)
                EXPECT_NE(form->Store.SlotOf(id), 0)
                    << "a spectrum of no slice was replaced" << log.str();
            break;
        }
        default: {
            if (!picking) break;
            e.Unpreviews = true;
            const bool b = Pick(2) != 0;
            log << (b ? " Alt+B" : " Alt+C");
            Press(b ? Qt::Key_B : Qt::Key_C, Qt::AltModifier);
            break;
        }
        }
        return e;
    }

    QStringList RandomFiles() {
        static const char* names[] = {"a.esr",   "b.esr",   "c.esr", "d.esr",
                                      "bad.esr", "two.dat", "s.DSC"};
        QStringList files;
        const int count = 1 + Pick(3);
        for (int f = 0; f < count; ++f) files << QString::fromLatin1(names[Pick(7)]);
        files.removeDuplicates();
        return files;
    }

    // The moves the user made in move and scale: at every key of the mode
    // the view in force becomes the move of each marked spectrum.
    void RecordMoves(bool panelKey) {
        // A spectrum that left the store takes its move with it.
        std::map<uint32_t, Move> kept;
        for (int i = 1; i <= form->Store.NumSpec; ++i) {
            const auto m = moves.find(form->Store.SpecId[i]);
            if (m != moves.end()) kept.insert(*m);
        }
        moves = std::move(kept);
        if (!panelKey) return;
        for (int i = 1; i <= form->Store.NumSpec; ++i)
            if (form->Ui.SpecCheck[i]->isChecked())
                moves[form->Store.SpecId[i]] = {form->View.XShift, form->View.YShift,
                                                form->View.XScale, form->View.YScale};
    }

    std::vector<bool> Marks() const {
        std::vector<bool> m;
        for (int i = 1; i <= form->Store.NumSpec; ++i)
            m.push_back(form->Ui.SpecCheck[i]->isChecked());
        return m;
    }
    std::optional<std::vector<bool>> lastStepMarks; // before the last action that made one step

    // The base-line corrections previewed now, by spectrum, for those whose
    // box is ticked.
    std::map<uint32_t, std::pair<std::vector<float>, std::vector<float>>> Previews() const {
        std::map<uint32_t, std::pair<std::vector<float>, std::vector<float>>> p;
        if (!form->Work.BaseLineMode) return p;
        for (int i = 1; i <= form->Store.NumSpec; ++i) {
            const int n = form->Store.Params[i].NumPoints;
            if (form->Work.PreviewFrom[i] != form->Store.SpecId[i] ||
                !form->Store.SavedX[i].Allocated() || !form->Ui.SpecCheck[i]->isChecked())
                continue;
            p[form->Store.SpecId[i]] = {
                {form->Store.SavedX[i].Data(), form->Store.SavedX[i].Data() + n},
                {form->Store.SavedY[i].Data(), form->Store.SavedY[i].Data() + n}};
        }
        return p;
    }

    // A committed base line went into every previewed spectrum marked then.
    void CheckCommit(
        const std::map<uint32_t, std::pair<std::vector<float>, std::vector<float>>>& previews,
        const Effect& e) {
        if (form->Work.BaseLineMode || e.AnySpectrum || e.Unpreviews) return;
        const std::map<uint32_t, Kept> after = Snapshot();
        for (const auto& [id, preview] : previews) {
            const auto now = after.find(id);
            if (now == after.end()) continue;
            ASSERT_TRUE(now->second.X == preview.first && now->second.Y == preview.second)
                << "a marked spectrum lost its base line" << log.str();
        }
    }

    void CheckStore(const std::map<uint32_t, Kept>& before, const Effect& e) {
        const std::string where = log.str();
        ASSERT_LE(form->Store.NumSpec, kivo::MaxSpec) << where;
        for (int i = 1; i <= kivo::MaxSpec; ++i) {
            if (i > form->Store.NumSpec) {
                ASSERT_FALSE(form->Store.SpecX[i].Allocated()) << "slot " << i << where;
                continue;
            }
            const int n = form->Store.Params[i].NumPoints;
            ASSERT_TRUE(form->Store.SpecX[i].Allocated() && form->Store.SpecY[i].Allocated())
                << where;
            ASSERT_GE(n, 1) << "slot " << i << where;
            ASSERT_LE(n, kivo::MaxPoints) << where;
            for (int k = 1; k <= n; ++k)
                ASSERT_TRUE(std::isfinite(form->Store.SpecX[i][k]) &&
                            std::isfinite(form->Store.SpecY[i][k]))
                    << "slot " << i << " point " << k << where;
        }
        // Cursors being placed stand on the spectrum they walk on.
        if (form->Ui.Frame14->isVisibleTo(form.get()) && form->Pick.TaskCode != 0 &&
            form->Pick.PointCursor && !form->Work.SubtrInput) {
            const int a = form->Store.ActiveSpec;
            ASSERT_GE(a, 1) << where;
            for (int k = 1; k <= form->Pick.PickCount; ++k)
                ASSERT_TRUE(form->Pick.PickIndex[k] >= 1 &&
                            form->Pick.PickIndex[k] <= form->Store.Params[a].NumPoints)
                    << "cursor " << k << " at " << form->Pick.PickIndex[k] << " of "
                    << form->Store.Params[a].NumPoints << where;
        }
        const std::map<uint32_t, Kept> after = Snapshot();
        for (const auto& [id, was] : before) {
            const auto now = after.find(id);
            if (now == after.end()) continue;
            if (!e.Mirrors) {
                ASSERT_TRUE(Direction(was) == Direction(now->second) || Direction(was) == 0)
                    << "field axis turned over" << where;
            }
            if (e.AnySpectrum) continue;
            if (e.SavesMoves && now->second.Marked) {
                // What is saved as plotted is the move made on that spectrum.
                std::vector<float> x = was.X;
                const auto m = moves.find(id);
                if (m != moves.end())
                    kivo::TransformValues(x.data(), int(x.size()), form->View.XCentre,
                                          m->second.XScale, m->second.XShift);
                ASSERT_TRUE(x == now->second.X) << "moved as another spectrum was" << where;
            }
            if (was.Marked || now->second.Marked || id == e.Edited) continue;
            ASSERT_TRUE(was.X == now->second.X && was.Y == now->second.Y &&
                        was.Params == now->second.Params)
                << "an unmarked spectrum changed" << where;
        }
    }

    void Run(unsigned seed, int actions) {
        rng.seed(seed);
        log.str({});
        log << " [seed " << seed << "]";
        moves.clear();
        lastStepMarks.reset();
        StartForm();
        toOpen = {"a.esr", "b.esr", "c.esr", "d.esr"};
        Press(Qt::Key_F3);
        ASSERT_EQ(form->Store.NumSpec, 4);
        const size_t undoneFrom = floor = form->Store.Undo.UndoSteps();
        const std::vector<std::string> start = Files();
        for (int step = 0; step < actions; ++step) {
            const std::map<uint32_t, Kept> before = Snapshot();
            const bool wasMoving = form->Ui.Frame12->isVisibleTo(form.get());
            const std::vector<bool> marks = Marks();
            const size_t steps = form->Store.Undo.UndoSteps();
            const auto previews = Previews();
            const Effect e = Act();
            if (form->Store.Undo.UndoSteps() == steps + 1 && !e.AnySpectrum)
                lastStepMarks = marks;
            else if (form->Store.Undo.UndoSteps() != steps)
                lastStepMarks.reset();
            RecordMoves(wasMoving && e.PanelKey);
            CheckStore(before, e);
            CheckCommit(previews, e);
            // Every spectrum loaded is a spectrum of its own.
            std::set<uint32_t> ids;
            for (int i = 1; i <= form->Store.NumSpec; ++i)
                ASSERT_TRUE(ids.insert(form->Store.SpecId[i]).second)
                    << "two slots hold spectrum " << form->Store.SpecId[i] << log.str();
            if (HasFatalFailure()) return;
        }
        // The whole history back and forth.
        Press(Qt::Key_Escape);
        Press(Qt::Key_F4);
        const std::vector<std::string> end = Files();
        const size_t steps = form->Store.Undo.UndoSteps();
        ASSERT_GE(steps, undoneFrom) << log.str();
        for (size_t s = undoneFrom; s < steps; ++s) Press(Qt::Key_Z, Qt::ControlModifier);
        ASSERT_TRUE(Files() == start) << "undo did not return to the start" << log.str();
        for (size_t s = undoneFrom; s < steps; ++s) Press(Qt::Key_Y, Qt::ControlModifier);
        ASSERT_TRUE(Files() == end) << "redo did not return to the end" << log.str();
    }
};

TEST_F(InterleaveTest, AnyOrderOfCommandsKeepsEverySpectrumSound) {
    unsigned first = 1, count = 100;
    if (const char* env = std::getenv("KIVO_INTERLEAVE_SEEDS")) {
        std::sscanf(env, "%u:%u", &first, &count);
    }
    for (unsigned seed = first; seed < first + count; ++seed) {
        Run(seed, 60);
        if (HasFatalFailure()) return;
    }
}

} // namespace
