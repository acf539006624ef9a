// Double integration of the marked spectra, automatic or on the cursors, and
// the panel that corrects its borders and centre by hand.
#include <QLabel>
#include <QPlainTextEdit>
#include <algorithm>

#include "Kivo1_3.h"
#include "TChart.h"
#include "TLabel.h"
#include "Unit1.h"
#include "quantitative.h"
#include "spins.h"

namespace {
const QColor Purple(128, 0, 128);
}

void TForm1::Frame11Label4Click() {
    BeginStep(QStringLiteral("Double integration"));
    Mode.SelectMode = false;
    CheckActivSpec();
    Plot();
    SetModeLine(QStringLiteral("  DOUBLE INTEGRATION "));
    ShowPanel(Ui.Frame15);
    int mist = 0, centre = 0;
    QStringList notIntegrated;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        const kivo::AutoIntegration a =
            kivo::IntegrateAutomatic(Store.SpecX[i].Data(), Store.SpecY[i].Data(), Options.NumAver,
                                     Options.KoeCu, Store.Params[i], Caption(i));
        const kivo::IntegrationResult& r = a.Result;
        if (i == Store.ActiveSpec) {
            Pick.PickSpec = Store.SpecId[i]; // the borders and centre are points of this one
            Pick.PickIndex[1] = Pick.PickIndex[3] = r.Left;
            Pick.PickIndex[2] = Pick.PickIndex[4] = r.Right;
            Pick.PickIndex[5] = r.Centre;
            for (int j = 1; j <= 6; ++j) Ui.Chart1->SetActive(View.AuxSeries[j], true);
        }
        if (!a.Integrated) {
            notIntegrated << QString::fromStdString(a.Refusal);
            continue;
        }
        mist += r.Mist;
        if (i == Store.ActiveSpec) {
            DrawCentreTick(r.Centre);
            centre = kivo::LineCentreOf(r);
        }
        MarkIntegratedRange(i, r.Left, r.Right);
    }
    if (!notIntegrated.isEmpty()) ShowMessages(QStringList{ModeLine()} + notIntegrated);
    Parameters(Store.ActiveSpec);
    for (QPlainTextEdit* memo : {Ui.Memo1, Ui.Memo2, Ui.Memo3}) memo->show();
    ShowMist(mist, centre);
}

void TForm1::IntegrateMarked() {
    BeginStep(QStringLiteral("Double integration"));
    int mist = 0, centre = 0;
    const int a = Store.ActiveSpec;
    if (a < 1) return;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        Ui.Chart1->ColourPoints(View.SpecSeries[i], 0, Store.Params[i].NumPoints - 1,
                                View.SpecColor[i]);
        const kivo::PointRange borders = CursorRange(i);
        // The centre range is taken as point numbers of each spectrum, kept on it.
        const kivo::IntegrationResult r =
            kivo::IntegrateSpectrum(Store.SpecX[i].Data(), Store.SpecY[i].Data(), Options.NumAver,
                                    Store.Params[i], Pick.PickIndex[3], Pick.PickIndex[4], false,
                                    borders.First, borders.Last, Options.KoeCu);
        if (i == a) {
            Pick.PickIndex[5] = r.Centre;
            centre = kivo::LineCentreOf(r);
        }
        mist += r.Mist;
        MarkIntegratedRange(i, r.Left, r.Right);
    }
    Ui.Chart1->Clear(View.AuxSeries[5]);
    DrawCentreTick(Pick.PickIndex[5]);
    ShowMist(mist, Store.Marked[a] ? centre : 0);
    Parameters(a);
}

void TForm1::ShowMist(int mist, int centre) {
    QString text = QStringLiteral("  I mist = %1").arg(mist);
    const int a = Store.ActiveSpec;
    View.GCentreSpec = 0;
    if (a >= 1 && centre >= 1 && centre <= Store.Params[a].NumPoints) {
        const double g = kivo::GValue(kivo::FrequencyOf(Store.Params[a]), Store.SpecX[a][centre]);
        if (g > 0) {
            text += GCentreLabel + QString::fromStdString(kivo::GText(g));
            View.GCentreSpec = Store.SpecId[a];
        }
    }
    Ui.Label2->setText(text);
    Ui.Label2->adjustSize();
}

// Points outside the integrated range L..R are drawn purple.
void TForm1::MarkIntegratedRange(int slot, int left, int right) {
    const int n = Store.Params[slot].NumPoints;
    if (n < 1) return;
    Ui.Chart1->ColourPoints(View.SpecSeries[slot], 0, std::min(left, n) - 1, Purple);
    Ui.Chart1->ColourPoints(View.SpecSeries[slot], std::max(right, 1) - 1, n - 1, Purple);
}

// A short tick above the centre point of the active spectrum.
void TForm1::DrawCentreTick(int point) {
    const int a = Store.ActiveSpec;
    if (a < 1 || point < 1 || point > Store.Params[a].NumPoints) return;
    const double x = View.PlottedX(Store.SpecX[a][point]);
    Ui.Chart1->AddPoint(View.AuxSeries[5], x, 0.97 * View.YHalfRange);
    Ui.Chart1->AddPoint(View.AuxSeries[5], x, 0.85 * View.YHalfRange);
}

void TForm1::RestoreSpectrumColours() {
    for (int i = 1; i <= Store.NumSpec; ++i)
        if (Store.Marked[i])
            Ui.Chart1->ColourPoints(View.SpecSeries[i], 0, Store.Params[i].NumPoints - 1,
                                    View.SpecColor[i]);
}

void TForm1::Frame15Edit1KeyDown(int& Key, kivo::ShiftState Shift) {
    // While the standard's spins are typed every key belongs to the entry.
    if (Entry.Typing != TypedNumber::None) {
        Label3Edit(Key);
        return;
    }
    RunPanelCommand(Ui.Frame15, Key, Shift);
    if (Key == kivo::VK_ESCAPE) Frame15Label2Click();
    if (Key == 'Y') Frame15Label1Click();
}

void TForm1::Frame15Label1Click() {
    CheckActivSpec();
    if (Store.ActiveSpec == 0) {
        SetModeLine(ChooseOneSpectrum);
        return;
    }
    SetModeLine(ModeLine() + QStringLiteral("  Manual correction ") + Options.ShiftLineHint);
    Ui.Chart1->Clear(View.AuxSeries[1]);
    StartPick(TaskIntegration, 2);
}

void TForm1::Frame15Label3Click() {
    CheckActivSpec();
    SetModeLine(QStringLiteral("Choice centrum,  manual correction "));
    Ui.Chart1->Clear(View.AuxSeries[3]);
    Pick.PickIndex[3] = Pick.PickIndex[1];
    Pick.PickIndex[4] = Pick.PickIndex[2];
    StartPick(TaskCentre, 4, 3);
}

void TForm1::Frame15Label2Click() {
    RestoreSpectrumColours();
    refresh(0);
}

// The quantitative double integral of every marked spectrum: shown, not
// stored, so it holds nothing that could outlive its spectrum but the
// borders of the active one, which are points of that spectrum as the
// automatic integration's are.
void TForm1::Frame15Label4Click() {
    CheckActivSpec();
    QStringList results, refused, box;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i]) continue;
        Ui.Chart1->ColourPoints(View.SpecSeries[i], 0, Store.Params[i].NumPoints - 1,
                                View.SpecColor[i]);
        const kivo::QuantitativeIntegral q = kivo::IntegrateQuantitative(
            Store.SpecX[i].Data(), Store.SpecY[i].Data(), Store.Params[i].NumPoints, Caption(i));
        if (!q.Refusal.empty()) {
            refused << QString::fromStdString(q.Refusal);
            continue;
        }
        const QString caption = QString::fromStdString(Caption(i));
        results << caption + QStringLiteral(": ") +
                       QString::fromStdString(kivo::QuantitativeText(q));
        // The box is narrow: the value, its uncertainty and each flag a row.
        box << caption + QLatin1Char(':');
        const std::vector<std::string> lines = kivo::QuantitativeLines(q);
        for (size_t k = 0; k < lines.size(); ++k)
            box << QString(k < 2 ? 1 : 2, QLatin1Char(' ')) + QString::fromStdString(lines[k]);
        MarkIntegratedRange(i, q.Left, q.Right);
        if (i == Store.ActiveSpec) {
            Pick.PickSpec = Store.SpecId[i];
            Pick.PickIndex[1] = Pick.PickIndex[3] = q.Left;
            Pick.PickIndex[2] = Pick.PickIndex[4] = q.Right;
            Pick.PickIndex[5] = q.Centre;
            Ui.Chart1->Clear(View.AuxSeries[5]);
            DrawCentreTick(q.Centre);
        }
    }
    Ui.Memo3->setPlainText(box.join(QLatin1Char('\n')));
    Ui.Memo3->show();
    SetModeLine(QStringLiteral("  DOUBLE INTEGRATION  ") + results.join(QStringLiteral("; ")) +
                refused.join(QString()));
}

void TForm1::Frame15Label5Click() {
    CheckActivSpec();
    Entry.SpinEntryFor = Store.SpecId[Store.ActiveSpec];
    OpenEntry(TypedNumber::StandardSpins,
              QStringLiteral("   Spins of the standard ") +
                  QString::fromStdString(Caption(Store.ActiveSpec)) +
                  QStringLiteral(" (and their uncertainty) ="),
              {});
}

void TForm1::TakeStandardSpins(const QString& typed) {
    const uint32_t id = std::exchange(Entry.SpinEntryFor, 0);
    const QStringList parts = typed.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    double spins = 0, err = 0;
    const bool read =
        (parts.size() == 1 || parts.size() == 2) &&
        kivo::ReadNumber(parts[0].toStdString(), spins) && spins > 0 &&
        (parts.size() == 1 || (kivo::ReadNumber(parts[1].toStdString(), err) && err >= 0));
    if (!read) {
        SetModeLine(
            QStringLiteral("  DOUBLE INTEGRATION     Not a number of spins: '%1' ").arg(typed));
        return;
    }
    // The spectrum the spins were typed for, wherever it went meanwhile.
    const int slot = Store.SlotOf(id);
    if (slot == 0) {
        SetModeLine(QStringLiteral(
            "  DOUBLE INTEGRATION     The standard's spectrum is gone, none chosen "));
        return;
    }
    Store.SpinStandardId = id;
    Store.SpinStandardSpins = spins;
    Store.SpinStandardErr = err;
    for (int i = 1; i <= Store.NumSpec; ++i) DrawBox(i);
    SetModeLine(QStringLiteral("  DOUBLE INTEGRATION     Spin standard ") +
                QString::fromStdString(Caption(slot)) + QStringLiteral(": ") +
                QString::fromStdString(kivo::ShortText(spins)) + QStringLiteral(" spins "));
}

void TForm1::Frame15Label6Click() {
    CheckActivSpec();
    const int r = Store.SpinStandardId != 0 ? Store.SlotOf(Store.SpinStandardId) : 0;
    if (r == 0) {
        SetModeLine(
            QStringLiteral("  DOUBLE INTEGRATION     No spin standard: choose one with Alt+S "));
        return;
    }
    kivo::QuantitativeIntegral qr;
    const kivo::SpinSide standard = kivo::SpinSideOf(Store.SpecX[r].Data(), Store.SpecY[r].Data(),
                                                     Store.Params[r], 0, Caption(r), qr);
    if (!qr.Refusal.empty()) {
        SetModeLine(QStringLiteral("  DOUBLE INTEGRATION  ") + QString::fromStdString(qr.Refusal));
        return;
    }
    BeginStep(QStringLiteral("Spins"));
    const std::string name = Store.SpecCaption[r].toStdString(); // without the box's marks
    QStringList results, box;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        if (!Store.Marked[i] || i == r) continue;
        kivo::QuantitativeIntegral q;
        const kivo::SpinCount c =
            kivo::CountSpinsOf(Store.SpecX[i].Data(), Store.SpecY[i].Data(), Store.Params[i], 0,
                               standard, Store.SpinStandardSpins, Store.SpinStandardErr,
                               kivo::VolumeOf(Store.Params[i]), Caption(i), q);
        if (!c.Refusal.empty()) {
            results << QString::fromStdString(c.Refusal);
            continue;
        }
        const QString text = QString::fromStdString(kivo::SpinText(c, name));
        results << QString::fromStdString(Caption(i)) + QStringLiteral(": ") + text;
        box << QString::fromStdString(Caption(i)) + QLatin1Char(':')
            << QStringLiteral(" ") +
                   QString(text)
                       .replace(QStringLiteral(" \u00B1 "), QStringLiteral("\n \u00B1 "))
                       .replace(QStringLiteral(" vs "), QStringLiteral("\n vs "));
        for (const std::string& line : kivo::SpinFactorLines(c))
            // The box is narrow: where a factor came from on a row of its own.
            box << QStringLiteral(" ") + QString::fromStdString(line).replace(
                                             QStringLiteral(" ("), QStringLiteral("\n   ("));
        kivo::AppendNote(Store.Params[i].Line2, NoteName(i), kivo::SpinNote(c, name));
    }
    Parameters(Store.ActiveSpec);
    Ui.Memo3->setPlainText(box.join(QLatin1Char('\n')));
    Ui.Memo3->show();
    SetModeLine(QStringLiteral("  DOUBLE INTEGRATION  ") + results.join(QStringLiteral("; ")));
}
