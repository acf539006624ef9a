// The simulation mode of "8" through the keys of the real window: a model
// read through the dialog, its preview stepped with the arrows, and a global
// fit between two cursors against the fit called directly.
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <cmath>

#include "TChart.h"
#include "Unit1.h"
#include "harness.h"
#include "model_values.h"

namespace {

constexpr int Points = 720;

class SimulationWindowTest : public FormTest {
protected:
    // A nitroxide at 9.5 GHz with a little noise, 3340..3430 G.
    void Sample(const QString& name, double coupling, unsigned seed) {
        const kivo::ModelRead truth = kivo::ReadModel(
            "g 2.0061\nnucleus 14N 1 " + std::to_string(coupling) + " G\nwidth 1.3 G lorentz\n");
        ASSERT_EQ(truth.Refusal, "");
        std::vector<float> x(Points), y(Points);
        for (int k = 0; k < Points; ++k) x[size_t(k)] = float(3340 + 0.125 * k);
        std::vector<double> sim(Points);
        ASSERT_EQ(kivo::Simulate(truth.Model, x.data(), Points, 9.5, sim.data()), "");
        for (int k = 0; k < Points; ++k) {
            seed = seed * 1103515245u + 12345u;
            y[size_t(k)] = float(1e4 * sim[size_t(k)] + 20 + 30 * (double(seed >> 16) / 65536.0));
        }
        kivo::ParamSpec p;
        p.NumPoints = Points;
        p.Line1 = name.toStdString();
        p.Line2 = "9.5 GHz, ";
        WriteFile(name, kivo::FormatSpectrum(p, x.data(), y.data()));
    }
    int Preview() const { return form->View.BigPoints ? 1 : 0; }
};

} // namespace

TEST_F(SimulationWindowTest, PreviewStepsAndGlobalFitThroughTheKeys) {
    Sample("s.esr", 15.6, 1);
    Sample("t.esr", 15.2, 2);
    WriteFile("bad.txt", "g 2.0058\nnucleus 14X 1 15 G\n");
    WriteFile("m.txt", "g 2.0058?=\nnucleus 14N 1 15.0? G\nwidth 1.4? G lorentz\n");
    ReadFiles({"s.esr", "t.esr"});
    ASSERT_EQ(form->Store.NumSpec, 2);
    Key(Qt::Key_8);

    // A model that cannot be read is refused with its line, and nothing is drawn.
    AnswerFiles({"bad.txt"});
    Key(Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(form->ModeLine().startsWith(
        QStringLiteral("  Simulation   Model bad.txt refused: line 2: ")))
        << form->ModeLine().toStdString();
    EXPECT_EQ(form->Ui.Chart1->PointCount(Preview()), 0);
    EXPECT_FALSE(form->Sim.On);

    AnswerFiles({"m.txt"});
    Key(Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(Asked().back().Dialog, QStringLiteral("OpenDialog3"));
    EXPECT_TRUE(form->ModeLine().contains(QStringLiteral("m.txt on s   g = 2.00580   ")))
        << form->ModeLine().toStdString();
    // The keys walk the values and step them, the preview drawn anew each time.
    const struct {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        const char* Shown;
    } steps[] = {{Qt::Key_Down, {}, "A1 = 15.00 G"},
                 {Qt::Key_Right, {}, "A1 = 15.10 G"},
                 {Qt::Key_Right, Qt::ControlModifier, "A1 = 15.11 G"},
                 {Qt::Key_Down, {}, "width1 = 1.400 G"},
                 {Qt::Key_Left, {}, "width1 = 1.390 G"},
                 {Qt::Key_Up, {}, "A1 = 15.11 G"},
                 {Qt::Key_Up, {}, "g = 2.00580"},
                 {Qt::Key_Left, Qt::ControlModifier, "g = 2.00579"}};
    for (const auto& s : steps) {
        Key(s.Key, s.Modifiers);
        EXPECT_TRUE(form->ModeLine().contains(QLatin1String(s.Shown)))
            << s.Shown << " | " << form->ModeLine().toStdString();
    }
    // The start of the fit as those steps made it, and its preview over slot 1.
    kivo::SimModel start = kivo::ReadModel("g 2.0058?=\nnucleus 14N 1 15.0? G\n"
                                           "width 1.4? G lorentz\n")
                               .Model;
    double& a = start.Species[0].Groups[0].A.Value;
    a += kivo::ValueStep("A1", a, false);
    a += kivo::ValueStep("A1", a, true);
    double& w = start.Species[0].Width.Value;
    w -= kivo::ValueStep("width1", w, false);
    double& g = start.Species[0].G.Value;
    g -= kivo::ValueStep("g", g, true);
    ASSERT_NEAR(a, 15.11, 1e-12);
    ASSERT_NEAR(w, 1.39, 1e-12);
    ASSERT_NEAR(g, 2.00579, 1e-12);
    const float* x = form->Store.SpecX[1].Data();
    std::vector<double> sim(Points);
    ASSERT_EQ(kivo::Simulate(start, x, Points, 9.5, sim.data()), "");
    const kivo::LinearScale scale =
        kivo::ScaleToSpectrum(sim.data(), form->Store.SpecY[1].Data(), Points);
    ASSERT_EQ(form->Ui.Chart1->PointCount(Preview()), Points);
    for (int k = 0; k < Points; k += 37)
        EXPECT_NEAR(form->Ui.Chart1->PointY(Preview(), k),
                    scale.Scale * sim[size_t(k)] + scale.Offset, 1e-2);

    // Enter, two cursors, Enter: the fit of both marked spectra.
    const size_t stepsBefore = form->Store.Undo.UndoSteps();
    Key(Qt::Key_Return);
    ASSERT_TRUE(form->Ui.Frame14->isVisibleTo(form.get()));
    form->Pick.PickIndex[1] = 41;
    Key(Qt::Key_Return);
    form->Pick.PickIndex[2] = 680;
    Key(Qt::Key_Return);
    std::vector<kivo::SimSpectrum> spectra;
    for (int i : {1, 2})
        spectra.push_back(
            {form->Store.SpecX[i].Data(), form->Store.SpecY[i].Data(), Points, 9.5, x[40], x[679]});
    const kivo::SimFit fit = kivo::FitModel(start, spectra);
    ASSERT_EQ(fit.Refusal, "");
    ASSERT_EQ(fit.Spectra.size(), 2u);

    // Every fitted value in the results box, once for the shared g, to the
    // digits of its error.
    const QStringList shown = form->Ui.Memo3->toPlainText().split(QLatin1Char('\n'));
    const QRegularExpression valueLine(QStringLiteral("^(\\w+)=(-?[0-9.]+)\\+-([0-9.e-]+)"));
    std::vector<std::pair<std::string, const kivo::ModelValue*>> want = {
        {"g", &fit.Spectra[0].Model.Species[0].G}};
    for (const kivo::SimFitSpectrum& f : fit.Spectra) {
        want.emplace_back("A1", &f.Model.Species[0].Groups[0].A);
        want.emplace_back("width1", &f.Model.Species[0].Width);
    }
    size_t found = 0;
    for (const QString& line : shown) {
        const QRegularExpressionMatch m = valueLine.match(line);
        if (!m.hasMatch()) continue;
        ASSERT_LT(found, want.size()) << line.toStdString();
        const auto& [name, v] = want[found++];
        EXPECT_EQ(m.captured(1).toStdString(), name);
        const double shownValue = m.captured(2).toDouble(), shownError = m.captured(3).toDouble();
        EXPECT_NEAR(shownValue, v->Value, v->Error / 10) << line.toStdString();
        EXPECT_NEAR(shownError, v->Error, v->Error / 10) << line.toStdString();
    }
    EXPECT_EQ(found, want.size());
    EXPECT_TRUE(shown.contains(QString::fromStdString("rms=" + kivo::ShortText(fit.Rms))));
    EXPECT_TRUE(shown.contains(QString::fromStdString("chi2=" + kivo::ShortText(fit.Chi2))));
    // The couplings as simulated, each spectrum its own.
    EXPECT_NEAR(fit.Spectra[0].Model.Species[0].Groups[0].A.Value, 15.6, 0.05);
    EXPECT_NEAR(fit.Spectra[1].Model.Species[0].Groups[0].A.Value, 15.2, 0.05);

    // The simulations and residuals as new spectra, one step.
    ASSERT_EQ(form->Store.NumSpec, 6);
    EXPECT_EQ(Captions(), (QStringList{"s", "t", "s sim", "s resid", "t sim", "t resid"}));
    const int m = fit.Spectra[1].Last - fit.Spectra[1].First + 1;
    ASSERT_EQ(form->Store.Params[5].NumPoints, m);
    std::vector<double> fitted(static_cast<size_t>(m));
    kivo::Simulate(fit.Spectra[1].Model, form->Store.SpecX[2].Data() + fit.Spectra[1].First, m, 9.5,
                   fitted.data());
    for (int k = 1; k <= m; k += 53) {
        const float curve =
            float(fit.Spectra[1].Scale.Scale * fitted[size_t(k - 1)] + fit.Spectra[1].Scale.Offset);
        EXPECT_EQ(form->Store.SpecY[5][k], curve);
        EXPECT_EQ(form->Store.SpecY[6][k], form->Store.SpecY[2][fit.Spectra[1].First + k] - curve);
    }
    EXPECT_EQ(form->Store.Params[5].Line2,
              "9.5 GHz, " + kivo::ModelNote(fit.Spectra[1].Model) + ", ");
    EXPECT_EQ(form->Store.Undo.UndoSteps(), stepsBefore + 1);
    // The mode goes on over the active spectrum with the values fitted to it.
    EXPECT_TRUE(form->Sim.On);
    EXPECT_EQ(form->Sim.Model.Species[0].Groups[0].A.Value,
              fit.Spectra[0].Model.Species[0].Groups[0].A.Value);

    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->Store.NumSpec, 2);
    EXPECT_EQ(form->Ui.Chart1->PointCount(Preview()), 0);
    EXPECT_FALSE(form->Sim.On);
    // The model of the session is offered again, as fitted.
    Key(Qt::Key_8);
    Key(Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(PendingAnswers(), 0);
    EXPECT_EQ(form->Ui.Chart1->PointCount(Preview()), Points);
    Key(Qt::Key_Escape);
    EXPECT_EQ(form->Ui.Chart1->PointCount(Preview()), 0);
    EXPECT_FALSE(form->Sim.On);
}
