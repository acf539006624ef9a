// Redrawing a full chart: 20 marked spectra of 15000 points each through
// Plot and one repaint, as every key of the move-and-scale mode does, and
// the axis set-up over the same data. Runs on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QWindow>
#include <cmath>
#include <memory>

#include "Kivo1_3.h"
#include "TChart.h"
#include "simulation.h"

namespace {

// Closed before the application ends: a shown window outliving it crashes.
std::unique_ptr<TForm1> window;

// The window with every slot filled directly, as a read would leave it.
TForm1& FullWindow() {
    if (window) return *window;
    window = std::make_unique<TForm1>();
    TForm1* f = window.get();
    f->show();
    for (int s = 1; s <= kivo::MaxSpec; ++s) {
        f->Store.AllocateSlot(s);
        kivo::ParamSpec& p = f->Store.Params[s];
        p.NumPoints = kivo::MaxPoints;
        const double centre = 3300 + 0.5 * s, width = 3 + 0.1 * s;
        for (int k = 1; k <= kivo::MaxPoints; ++k) {
            const double b = 3250 + k * 100.0 / kivo::MaxPoints;
            const double u = (b - centre) / width;
            f->Store.SpecX[s][k] = float(b);
            f->Store.SpecY[s][k] =
                float(-2 * u / ((1 + u * u) * (1 + u * u)) * 1e4 + 20 * std::sin(k * 0.7 + s));
        }
        f->Ui.SpecCheck[s]->show();
        f->Ui.SpecCheck[s]->setChecked(true);
    }
    f->Store.NumSpec = kivo::MaxSpec;
    f->CheckActivSpec();
    f->InitAxes();
    // A repaint paints only a window the platform has exposed.
    for (int k = 0; k < 100 && !f->windowHandle()->isExposed(); ++k) QApplication::processEvents();
    return *f;
}

void BM_PlotAndRepaint(benchmark::State& state) {
    TForm1& form = FullWindow();
    int k = 0;
    for (auto _ : state) {
        // A move key: the view shifts a little, then everything is drawn again.
        form.View.XShift = (++k % 2) * 0.05;
        form.Plot();
        form.Ui.Chart1->RepaintNow();
    }
}
BENCHMARK(BM_PlotAndRepaint)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_PlotOnly(benchmark::State& state) {
    TForm1& form = FullWindow();
    for (auto _ : state) form.Plot();
}
BENCHMARK(BM_PlotOnly)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RepaintOnly(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.Plot();
    form.Ui.Chart1->RepaintNow();
    // Everything drawn again from what the series keep, as after a resize.
    for (auto _ : state) form.Ui.Chart1->Surface()->replot(QCustomPlot::rpImmediateRefresh);
}
BENCHMARK(BM_RepaintOnly)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_BaseLinePreviewAndRepaint(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.CheckActivSpec();
    form.Pick.PickIndex[1] = 10;
    form.Pick.PickIndex[2] = kivo::MaxPoints - 10;
    int k = 0;
    for (auto _ : state) {
        // A cursor key: a new end window, every marked spectrum corrected again.
        form.Pick.PickIndex[1] = 10 + (++k % 2) * 10;
        form.SubtrLinear();
        form.Ui.Chart1->RepaintNow();
    }
    for (int i = 1; i <= kivo::MaxSpec; ++i) {
        form.Store.SavedX[i].Release();
        form.Store.SavedY[i].Release();
    }
}
BENCHMARK(BM_BaseLinePreviewAndRepaint)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_BaseLinePreviewOnly(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.CheckActivSpec();
    form.Pick.PickIndex[1] = 10;
    form.Pick.PickIndex[2] = kivo::MaxPoints - 10;
    for (auto _ : state) {
        form.SubtrLinear();
        benchmark::DoNotOptimize(form.Ui.Chart1->PointCount(ViewState::PointSeries1));
    }
}
BENCHMARK(BM_BaseLinePreviewOnly)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

void BM_SubtractionPreview(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.CheckActivSpec();
    form.Store.BaseSpec = 1;
    for (auto _ : state) {
        form.Entry.SubtrKoeff = 0.5;
        form.SubtrSpec(0);
    }
    form.Store.BaseSpec = 0;
}
BENCHMARK(BM_SubtractionPreview)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_DoubleIntegrationCommand(benchmark::State& state) {
    TForm1& form = FullWindow();
    for (auto _ : state) {
        for (int i = 1; i <= kivo::MaxSpec; ++i) form.Store.Params[i].PhaseSign = 1;
        form.Frame11Label4Click();
        form.Ui.Chart1->RepaintNow();
    }
    form.RestoreSpectrumColours();
}
BENCHMARK(BM_DoubleIntegrationCommand)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_InitAxes(benchmark::State& state) {
    TForm1& form = FullWindow();
    for (auto _ : state) form.InitAxes();
}
BENCHMARK(BM_InitAxes)->Unit(benchmark::kMillisecond)->Repetitions(10)->ReportAggregatesOnly(true);

// One arrow key of the move-and-scale mode: the handler records the view for
// every marked slot and draws them all again.
void BM_MoveKeyAndRepaint(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.CheckActivSpec();
    form.InitAxes();
    form.View.MoveUnitX = form.View.XHalfRange / 50000;
    int k = 0;
    for (auto _ : state) {
        int key = (++k % 2) ? kivo::VK_RIGHT : kivo::VK_LEFT;
        form.Frame12Edit1KeyDown(key, {});
        form.Ui.Chart1->RepaintNow();
    }
    form.View.XShift = 0;
}
BENCHMARK(BM_MoveKeyAndRepaint)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The commands that change every marked spectrum at once, with their redraw.
void BM_NormaliseOnAmplitude(benchmark::State& state) {
    TForm1& form = FullWindow();
    for (auto _ : state) {
        form.Frame12Label9Click();
        form.Ui.Chart1->RepaintNow();
    }
}
BENCHMARK(BM_NormaliseOnAmplitude)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_NormaliseOnIntegral(benchmark::State& state) {
    TForm1& form = FullWindow();
    for (auto _ : state) {
        for (int i = 1; i <= kivo::MaxSpec; ++i) form.Store.Params[i].DblIntegral = 1.0001;
        form.Frame12Label5Click();
        form.Ui.Chart1->RepaintNow();
    }
}
BENCHMARK(BM_NormaliseOnIntegral)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_HighestPointTo3300G(benchmark::State& state) {
    TForm1& form = FullWindow();
    for (auto _ : state) {
        form.Frame12Label7Click();
        form.Ui.Chart1->RepaintNow();
    }
}
BENCHMARK(BM_HighestPointTo3300G)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The smoothing preview of every marked spectrum, over 5 and over 1001 points.
void BM_SmoothingPreview(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.Entry.NumSmoothIn = static_cast<int16_t>(state.range(0));
    form.Entry.NumRestrictIn = 0;
    for (auto _ : state) {
        form.SmoothSpec(0);
        form.Ui.Chart1->RepaintNow();
    }
    form.Work.ClearPreview();
}
BENCHMARK(BM_SmoothingPreview)
    ->Arg(5)
    ->Arg(1001)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The fourth Enter of a calibration on the Mn lines 3 and 4: every marked
// spectrum mapped and drawn again.
void BM_CalibrationOfAll(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.CheckActivSpec();
    for (auto _ : state) {
        form.Mode.RefLineKind = 2;
        form.Pick.TaskCode = TaskMn2;
        form.Pick.PickCount = 4;
        form.Pick.PickNo = 4;
        form.Pick.PickIndex[1] = 2000;
        form.Pick.PickIndex[2] = 6000;
        form.Pick.PickIndex[3] = 9000;
        form.Pick.PickIndex[4] = 13000;
        int enter = kivo::VK_RETURN;
        form.Frame14Edit1KeyDown(enter, {});
        form.Ui.Chart1->RepaintNow();
    }
}
BENCHMARK(BM_CalibrationOfAll)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// An undo step of a command that changed all 20 spectra: the store compared
// with what it held and the changed slots kept ("snapshot"), then the step
// swapped back in ("restore", without the redraw that follows it).
void BM_UndoSnapshot(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.UndoCheckpoint();
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 1; i <= kivo::MaxSpec; ++i)
            kivo::DivideValues(form.Store.SpecY[i].Data(), form.Store.Params[i].NumPoints, 1.0001);
        state.ResumeTiming();
        form.UndoCheckpoint();
    }
}
BENCHMARK(BM_UndoSnapshot)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

void BM_UndoRestore(benchmark::State& state) {
    TForm1& form = FullWindow();
    for (int i = 1; i <= kivo::MaxSpec; ++i)
        kivo::DivideValues(form.Store.SpecY[i].Data(), form.Store.Params[i].NumPoints, 1.0001);
    form.UndoCheckpoint();
    for (auto _ : state) {
        UndoStep step = form.Store.Undo.TakeUndo();
        form.SwapStep(step);
        form.Store.Undo.Undone(std::move(step));
        step = form.Store.Undo.TakeRedo();
        form.SwapStep(step);
        form.Store.Undo.Redone(std::move(step));
    }
    state.SetItemsProcessed(state.iterations() * 2); // two restores an iteration
}
BENCHMARK(BM_UndoRestore)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// One arrow key of the simulation in "8": a coupling stepped, the model (63
// lines) simulated on the active spectrum's 15000 points, scaled to it and
// drawn over the 20 spectra.
void BM_SimulationStepAndRepaint(benchmark::State& state) {
    TForm1& form = FullWindow();
    form.CheckActivSpec();
    form.Sim.Model = kivo::ReadModel("frequency 9.25 GHz\ng 2.0030\nnucleus 14N 1 15.6 G\n"
                                     "nucleus 1H 2 3.1 G\nnucleus 1H 6 1.3 G\n"
                                     "width 0.5 G lorentz\n")
                         .Model;
    form.Sim.Loaded = true;
    form.Sim.Chosen = 1; // A1
    int key = 'A';
    form.Frame16Edit1KeyDown(key, {false, true, false});
    int k = 0;
    for (auto _ : state) {
        key = (++k % 2) ? kivo::VK_RIGHT : kivo::VK_LEFT;
        form.Frame16Edit1KeyDown(key, {});
        form.Ui.Chart1->RepaintNow();
    }
    if (!form.Sim.On || form.Ui.Chart1->PointCount(ViewState::PointSeries1) != kivo::MaxPoints)
        state.SkipWithError("not drawn");
    key = kivo::VK_ESCAPE;
    form.Frame16Edit1KeyDown(key, {});
}
BENCHMARK(BM_SimulationStepAndRepaint)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(10)
    ->ReportAggregatesOnly(true);

// The figure of 20 spectra of 15000 points written as a PDF for print.
void BM_ExportPdf(benchmark::State& state) {
    TForm1& form = FullWindow();
    const QString path = QDir::temp().filePath(QStringLiteral("kivo-bench-export.pdf"));
    const std::vector<kivo::figure::Curve> curves = form.FigureCurves();
    for (auto _ : state) {
        QString error;
        if (!kivo::figure::WriteFigure(path, kivo::figure::PictureFormat::Pdf, curves,
                                       form.Options.FigureChoices, error))
            state.SkipWithError("not saved");
    }
    QFile::remove(path);
}
BENCHMARK(BM_ExportPdf)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    window.reset();
    return 0;
}
