// The simulation of a model over the active spectrum: the model read from a
// file (or the last one of the session), drawn as a preview scaled to the
// spectrum, its values walked and stepped with the arrows, and its free
// values fitted between two cursors to the marked spectra.
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <algorithm>
#include <vector>

#include "Kivo1_3.h"
#include "TChart.h"
#include "Unit1.h"
#include "input_file.h"
#include "model_values.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

std::string PathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A model is a few lines; a larger file is no model.
constexpr uint64_t MaxModelBytes = 1 << 20;

// The file chosen in a dialog that offers preset; empty when it was given up.
QString ChooseFile(TForm1& form, TFileDialog& dialog, const QString& preset) {
    dialog.FileName = preset;
    const bool chosen = dialog.Execute(&form);
    form.FocusCurrentFrame();
    return chosen ? dialog.FileName : QString();
}

} // namespace

void TForm1::SimulationClick() {
    if (Sim.Loaded)
        StartSimulation();
    else
        OpenModel();
}

void TForm1::OpenModel() {
    const QString path = ChooseFile(*this, Ui.OpenDialog3, Sim.ModelFile);
    if (path.isEmpty()) return;
    const QString name = QFileInfo(path).fileName();
    std::string buffer;
    std::string_view text;
    kivo::ReadResult r;
    QString refusal;
    kivo::ModelRead read;
    if (!kivo::ReadText(PathBytes(path), MaxModelBytes, buffer, text, r)) {
        refusal = r.Reason.empty() ? QStringLiteral("too large") : Text(r.Reason);
    } else {
        read = kivo::ReadModel(text);
        refusal = Text(read.Refusal);
    }
    if (!refusal.isEmpty()) {
        // Nothing of a refused model is drawn, and the last good one stays.
        EndSimulation();
        SetModeLine(QStringLiteral("  Simulation   Model %1 refused: %2 ").arg(name, refusal));
        return;
    }
    Sim.Model = std::move(read.Model);
    Sim.ModelFile = path;
    Sim.Loaded = true;
    Sim.Chosen = 0;
    StartSimulation();
}

void TForm1::SaveModel() {
    QString path = ChooseFile(*this, Ui.SaveDialog4, Sim.ModelFile);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += Ui.SaveDialog4.ChosenEnding();
    const QString name = QFileInfo(path).fileName();
    std::string error;
    if (kivo::WriteTextFile(kivo::ModelText(Sim.Model), PathBytes(path), error)) {
        Sim.ModelFile = path;
        SetModeLine(QStringLiteral("  Simulation   Model saved: ") + name + QLatin1Char(' '));
    } else {
        SetModeLine(QStringLiteral("  Simulation   Model not saved: ") + name +
                    QStringLiteral(": ") + QString::fromLocal8Bit(error) + QLatin1Char(' '));
    }
}

void TForm1::StartSimulation() {
    // Started by a command that wants a marked spectrum, or within the mode.
    CheckActivSpec();
    if (Store.ActiveSpec < 1) return;
    Sim.On = true;
    DrawSimulation();
}

void TForm1::DrawSimulation() {
    const int preview = View.BigPoints ? View.PointSeries2 : View.PointSeries1;
    Ui.Chart1->Clear(preview);
    const int a = Store.ActiveSpec;
    Sim.Over = Store.SpecId[a];
    const std::vector<kivo::TunableValue> values = kivo::TunableValues(Sim.Model);
    Sim.Chosen = values.empty() ? 0 : std::clamp(Sim.Chosen, 0, int(values.size()) - 1);
    const int n = Store.Params[a].NumPoints;
    const float* x = Store.SpecX[a].Data();
    const double ghz = kivo::SimFrequency(Sim.Model, kivo::FrequencyOf(Store.Params[a]));
    std::string why = ghz > 0 ? std::string() : "no frequency in the spectrum or the model";
    std::vector<double> sim(static_cast<size_t>(n));
    if (why.empty()) why = kivo::Simulate(Sim.Model, x, n, ghz, sim.data());
    if (why.empty()) {
        const kivo::LinearScale s = kivo::ScaleToSpectrum(sim.data(), Store.SpecY[a].Data(), n);
        std::vector<float> curve(static_cast<size_t>(n));
        for (size_t j = 0; j < curve.size(); ++j)
            curve[j] = static_cast<float>(s.Scale * sim[j] + s.Offset);
        AddPlotted(preview, x, curve.data(), n);
    }
    QString line = QStringLiteral("  Simulation   %1 on %2   ")
                       .arg(QFileInfo(Sim.ModelFile).fileName(), BoxText(a).trimmed());
    if (!why.empty()) line += QStringLiteral("not drawn: ") + Text(why) + QStringLiteral("   ");
    if (!values.empty())
        line += Text(kivo::ValueReadout(Sim.Model, values[size_t(Sim.Chosen)])) +
                QStringLiteral("   Up/Down value, Left/Right step (Ctrl fine), Enter fit, "
                               "O open, W save ");
    SetModeLine(line);
}

void TForm1::EndSimulation() {
    if (!Sim.On) return;
    Sim.End();
    Ui.Chart1->Clear(View.PointSeries1);
    Ui.Chart1->Clear(View.PointSeries2);
}

void TForm1::FollowSimulation() {
    if (!Sim.On || CurrentFrame() != Ui.Frame16) return;
    if (Store.NoneMarked || Store.ActiveSpec < 1) {
        EndSimulation();
        SetModeLine(QStringLiteral("  Treatment  "));
    } else if (Store.SpecId[Store.ActiveSpec] != Sim.Over) {
        DrawSimulation();
    }
}

bool TForm1::SimulationKey(int key, kivo::ShiftState shift) {
    using namespace kivo;
    if (shift.Alt) return false;
    const int count = int(TunableValues(Sim.Model).size());
    switch (key) {
    case VK_UP:
    case VK_DOWN:
        if (count > 0) Sim.Chosen = (Sim.Chosen + (key == VK_DOWN ? 1 : count - 1)) % count;
        DrawSimulation();
        return true;
    case VK_LEFT:
    case VK_RIGHT:
        if (count > 0)
            StepValue(Sim.Model, TunableValues(Sim.Model)[size_t(Sim.Chosen)].Name,
                      key == VK_RIGHT ? 1 : -1, shift.Ctrl);
        DrawSimulation();
        return true;
    case VK_RETURN:
        StartSimFit();
        return true;
    case 'O':
        OpenModel();
        return true;
    case 'W':
        SaveModel();
        return true;
    default:
        return false;
    }
}

void TForm1::StartSimFit() {
    if (FreeValueNames(Sim.Model).empty()) {
        SetModeLine(QStringLiteral("  Simulation   No value is free: mark one in the model "
                                   "with ? (or ?= for one value of all spectra) "));
        return;
    }
    CheckActivSpec();
    Sim.FitOf.clear();
    for (int i = 1; i <= Store.NumSpec; ++i)
        if (Store.Marked[i]) Sim.FitOf.push_back(Store.SpecId[i]);
    const int n = Store.Params[Store.ActiveSpec].NumPoints;
    StartTwoCursorPick(TaskSimFit, std::min(int(Options.NumAver), n),
                       std::max(n - Options.NumAver, 1));
    SetModeLine(QStringLiteral("  Simulation fit: enclose the range ") + Options.ShiftLineHint);
}

void TForm1::SimFitPicked() {
    const int a = EndTreatmentPick(QStringLiteral("Simulation fit"));
    if (a == 0) return;
    refresh(1); // the cursors go
    // The spectra the fit was asked for that are marked now, each still the
    // spectrum it was.
    std::vector<int> fitted;
    for (const uint32_t id : Sim.FitOf) {
        const int s = Store.SlotOf(id);
        if (s == 0) {
            SetModeLine(QStringLiteral("  Simulation fit refused: a spectrum it was asked for "
                                       "was replaced or deleted "));
            return;
        }
        if (Store.Marked[s]) fitted.push_back(s);
    }
    if (fitted.empty()) {
        SetModeLine(QStringLiteral("  Simulation fit refused: none of the spectra it was asked "
                                   "for is marked "));
        return;
    }
    double from = Store.SpecX[a][Pick.PickIndex[1]], to = Store.SpecX[a][Pick.PickIndex[2]];
    if (from > to) std::swap(from, to);
    std::vector<kivo::SimSpectrum> spectra;
    std::vector<std::string> names;
    for (const int s : fitted) {
        spectra.push_back({Store.SpecX[s].Data(), Store.SpecY[s].Data(),
                           int(Store.Params[s].NumPoints), kivo::FrequencyOf(Store.Params[s]), from,
                           to});
        names.push_back(ShortName(Store.FileSpectrumName[s]).toStdString());
    }
    const kivo::SimFit fit = kivo::FitModel(Sim.Model, spectra);
    if (!fit.Refusal.empty()) {
        SetModeLine(QStringLiteral("  Simulation fit refused: ") + Text(fit.Refusal) +
                    QLatin1Char(' '));
        return;
    }
    // The mode goes on with the values fitted to the active spectrum.
    const auto own = std::find(fitted.begin(), fitted.end(), a);
    Sim.Model = fit.Spectra[own == fitted.end() ? 0 : size_t(own - fitted.begin())].Model;
    QString added;
    if (Store.NumSpec + 2 * int(fitted.size()) > kivo::MaxSpec) {
        added = QStringLiteral("   No free slots for the simulations and residuals, "
                               "none added ");
    } else {
        BeginStep(QStringLiteral("Simulation fit"));
        for (size_t k = 0; k < fitted.size(); ++k) {
            const kivo::SimFitSpectrum& f = fit.Spectra[k];
            const kivo::SimSpectrum& s = spectra[k];
            const int m = f.Last - f.First + 1;
            std::vector<double> sim(static_cast<size_t>(m));
            kivo::Simulate(f.Model, s.X + f.First, m, kivo::SimFrequency(f.Model, s.GHz),
                           sim.data());
            std::vector<float> curve(static_cast<size_t>(m));
            for (size_t j = 0; j < curve.size(); ++j)
                curve[j] = static_cast<float>(f.Scale.Scale * sim[j] + f.Scale.Offset);
            AddCurveAndResidual(fitted[k], QStringLiteral(" sim"), s.X + f.First, s.Y + f.First,
                                curve.data(), m, kivo::ModelNote(f.Model));
        }
        InitAxes();
        Plot();
    }
    DrawSimulation();
    QStringList lines;
    for (const std::string& line : kivo::SimFitReport(fit, spectra, names)) lines << Text(line);
    Ui.Memo3->setPlainText(lines.join(QLatin1Char('\n')));
    SetModeLine(QStringLiteral("  Simulation fit  ") + lines.join(QStringLiteral("; ")) + added);
}
