// The view transform, the drawing of the marked spectra, and their figures
// for print.
#include <QCheckBox>
#include <QFileInfo>
#include <QPushButton>
#include <algorithm>

#include "FigureDialog.h"
#include "Kivo1_3.h"
#include "SeriesWindow.h"
#include "TChart.h"
#include "figure.h"

void TForm1::CheckActivSpec() {
    Store.ReadMarks();
    FollowPick();
    FollowMoves();
    DrawGScale();
}

void TForm1::InitAxes() {
    double minX = Store.NumSpec > 0 ? double(Store.SpecX[1][1]) : 0.0;
    double maxX = 0, minY = 0, maxY = 0;
    for (int i = 1; i <= Store.NumSpec; ++i) {
        const int n = Store.Params[i].NumPoints;
        if (n <= 0) continue;
        const kivo::ValueBounds x = kivo::BoundsOf(Store.SpecX[i].Data(), n);
        const kivo::ValueBounds y = kivo::BoundsOf(Store.SpecY[i].Data(), n);
        minX = std::min(minX, double(x.Lo));
        maxX = std::max(maxX, double(x.Hi));
        minY = std::min(minY, double(y.Lo));
        maxY = std::max(maxY, double(y.Hi));
    }
    View.XCentre = (maxX + minX) / 2;
    View.YCentre = (maxY + minY) / 2;
    View.XHalfRange = (maxX - minX) * 1.05 / 2;
    View.YHalfRange = (maxY - minY) * 1.05 / 2;
    View.XScale = 1.0;
    View.YScale = 1.0;
    Ui.Chart1->SetRange(ChartAxis::Bottom, View.XCentre - View.XHalfRange,
                        View.XCentre + View.XHalfRange);
    Ui.Chart1->SetRange(ChartAxis::Left, View.YCentre - View.YHalfRange,
                        View.YCentre + View.YHalfRange);
    for (int j : {5, 6}) {
        Ui.Chart1->Clear(View.AuxSeries[j]);
        Ui.Chart1->SetSeriesColour(View.AuxSeries[j], Qt::white);
    }
    Ui.Chart1->AddPoint(View.AuxSeries[6], minX, 0);
    Ui.Chart1->AddPoint(View.AuxSeries[6], maxX, 0);
    Ui.Chart1->SetActive(View.AuxSeries[6], true);
}

void TForm1::Plot() {
    for (int i = Store.NumSpec + 1; i <= kivo::MaxSpec; ++i) {
        Ui.Chart1->Clear(View.SpecSeries[i]);
        Ui.Chart1->SetActive(View.SpecSeries[i], false);
    }
    DrawGScale();
    if (Store.NumSpec == 0) return;
    Parameters(Store.ActiveSpec);
    for (int i = 1; i <= Store.NumSpec; ++i) {
        const int n = Store.Params[i].NumPoints;
        const kivo::ValueBounds y = kivo::BoundsOf(Store.SpecY[i].Data(), n);
        Store.Params[i].Amplitude = double(y.Hi) - double(y.Lo);
        if (Store.Marked[i]) {
            Ui.Chart1->Clear(View.SpecSeries[i]);
            Ui.Chart1->SetActive(View.SpecSeries[i], true);
            DrawSpectr(Store.SpecX[i], Store.SpecY[i], View.SpecSeries[i], n, 1);
        }
    }
}

void TForm1::Gscale1Click() {
    View.GScaleShown = !View.GScaleShown;
    DrawGScale();
    if (View.GScaleShown && (Store.NumSpec == 0 || Store.ActiveSpec == 0 ||
                             !(kivo::FrequencyOf(Store.Params[Store.ActiveSpec]) > 0)))
        SetModeLine(QStringLiteral("   g scale: the active spectrum has no frequency "));
}

// The g of the fields the marked spectra are drawn at: a plotted x is
// a + b * field under the view transform.
void TForm1::DrawGScale() {
    std::vector<TChart::TopTick> ticks;
    const double ghz = View.GScaleShown && Store.NumSpec > 0 && Store.ActiveSpec > 0
                           ? kivo::FrequencyOf(Store.Params[Store.ActiveSpec])
                           : 0.0;
    const double a = (1 - View.XScale) * View.XCentre + View.XShift, b = View.XScale;
    if (ghz > 0 && b != 0) {
        const double lo = (Ui.Chart1->Minimum(ChartAxis::Bottom) - a) / b;
        const double hi = (Ui.Chart1->Maximum(ChartAxis::Bottom) - a) / b;
        // Labels some 90 pixels apart.
        const int most = std::clamp(Ui.Chart1->PlotRectangle().Width / 90, 2, 10);
        for (const kivo::GTick& g : kivo::GScaleTicks(lo, hi, ghz, most))
            ticks.push_back({a + b * g.Field, QString::fromStdString(g.Text)});
    }
    Ui.Chart1->SetTopScale(ticks);
}

void TForm1::DrawSpectr(const kivo::PointBuffer& X, const kivo::PointBuffer& Y, int series,
                        int Count, int From) {
    if (Count < From) return;
    AddPlotted(series, X.Data() + (From - 1), Y.Data() + (From - 1), Count - From + 1);
}

void TForm1::AddPlotted(int series, const float* x, const float* y, int count) {
    Ui.Chart1->AddPoints(series, x, y, count, (1 - View.XScale) * View.XCentre + View.XShift,
                         View.XScale, (1 - View.YScale) * View.YCentre + View.YShift, View.YScale);
}

std::vector<kivo::figure::Curve> TForm1::FigureCurves() const {
    std::vector<kivo::figure::Curve> curves;
    for (int i = 1; i <= Store.NumSpec; ++i)
        if (Ui.Chart1->Active(View.SpecSeries[i]))
            curves.push_back({Store.SpecCaption[i], Store.SpecX[i].Data(), Store.SpecY[i].Data(),
                              Store.Params[i].NumPoints, false,
                              kivo::FrequencyOf(Store.Params[i])});
    return curves;
}

void TForm1::ExportPicture1Click() {
    // The figure is drawn from the spectra at their own fields, whatever the
    // view shows: the same spectra the chart shows.
    const std::vector<kivo::figure::Curve> curves = FigureCurves();
    if (curves.empty()) {
        SetModeLine(QStringLiteral("   Nothing to export: no spectrum is shown "));
        return;
    }
    ExportFigure(curves, nullptr);
}

void TForm1::ExportFigure(std::vector<kivo::figure::Curve> curves,
                          const kivo::SeriesCurve* series) {
    Ui.SaveDialog3.FileName.clear();
    bool chosen = Ui.SaveDialog3.Execute(this);
    FocusCurrentFrame();
    if (!chosen) return;
    QString path = Ui.SaveDialog3.FileName;
    // A name without an ending gets the chosen type's.
    if (QFileInfo(path).suffix().isEmpty()) path += Ui.SaveDialog3.ChosenEnding();
    const QString name = QFileInfo(path).fileName();
    const std::optional<kivo::figure::PictureFormat> format = kivo::figure::FormatOf(path);
    QString error = kivo::figure::WrongEnding();
    bool saved = false;
    // A series curve is always a figure: the chart does not show it.
    if (format && (Ui.SaveDialog3.Option || series)) {
        QStringList captions;
        for (const kivo::figure::Curve& c : curves) captions << c.Caption;
        FigureDialog choices(Options.FigureChoices, captions, this);
        chosen = choices.Execute();
        FocusCurrentFrame();
        if (!chosen) return;
        error = choices.MarkFault();
        if (error.isEmpty()) {
            Options.FigureChoices = choices.Choices();
            // A series curve's axes named in the style chosen.
            kivo::SeriesCurve named = series ? *series : kivo::SeriesCurve();
            kivo::NameSeriesAxes(named, Options.FigureChoices.Labels);
            kivo::figure::SeriesFigure figure(named);
            if (series) curves = figure.Curves;
            const QStringList legends = choices.Legends();
            for (size_t k = 0; k < curves.size(); ++k) curves[k].Caption = legends[qsizetype(k)];
            saved = kivo::figure::WriteFigure(path, *format, curves, Options.FigureChoices, error,
                                              series ? &figure.Labels : nullptr);
        }
    } else if (format) {
        saved = Ui.Chart1->ExportPicture(path, *format, error);
    }
    if (saved)
        SetModeLine(QStringLiteral("   Picture saved: ") + name + QStringLiteral(" "));
    else
        SetModeLine(QStringLiteral("   Picture not saved: ") + name + QStringLiteral(": ") + error +
                    QStringLiteral(" "));
}

void TForm1::SeriesCurve1Click() {
    // The marked spectra of a power series (each slice keeps its power):
    // their double integrals, or their amplitudes while one of them has
    // none, against the square root of the power.
    CheckActivSpec();
    std::vector<kivo::SeriesPoint> slices;
    bool integrated = true;
    for (int i = 1; i <= Store.NumSpec; ++i)
        if (Store.Marked[i] && Store.Params[i].Power > 0) {
            slices.push_back({Store.Params[i].Power, 0});
            integrated = integrated && Store.Params[i].DblIntegral != 0;
        }
    if (slices.size() < 2) {
        SetModeLine(QStringLiteral("   Series curve: mark two or more spectra with a power "));
        return;
    }
    const kivo::SeriesValue value =
        integrated ? kivo::SeriesValue::Integral : kivo::SeriesValue::Amplitude;
    size_t k = 0;
    for (int i = 1; i <= Store.NumSpec; ++i)
        if (Store.Marked[i] && Store.Params[i].Power > 0)
            slices[k++].Y =
                integrated ? double(Store.Params[i].DblIntegral) : Store.Params[i].Amplitude;
    const kivo::SeriesCurve curve =
        kivo::MakeSeriesCurve(slices, "mW", value, Options.FigureChoices.Labels);
    const QString what =
        QStringLiteral("Series curve: %1 of %2 spectra against √P")
            .arg(integrated ? QStringLiteral("double integral") : QStringLiteral("amplitude"))
            .arg(slices.size());
    SetModeLine(QStringLiteral("   ") + what +
                (curve.LineNote.empty()
                     ? QString()
                     : QStringLiteral("; ") + QString::fromStdString(curve.LineNote)) +
                QStringLiteral(" "));
    if (Ui.SeriesView) Ui.SeriesView->close();
    Ui.SeriesView = new SeriesWindow(curve, Options.FigureChoices, what, this);
    connect(Ui.SeriesView->Export, &QPushButton::clicked, this, [this] {
        Guarded("SeriesExportClick", [this] {
            if (!Ui.SeriesView) return;
            const kivo::figure::SeriesFigure figure(Ui.SeriesView->Curve());
            ExportFigure(figure.Curves, &Ui.SeriesView->Curve());
        });
    });
    Ui.SeriesView->show();
    FocusCurrentFrame();
}
