// The parameter panel: Memo1 shows the spectrum's two text lines, Memo2 the
// acquisition parameters, Memo3 the integration results of the active spectrum.
#include <QPlainTextEdit>
#include <algorithm>
#include <cmath>

#include "Kivo1_3.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// A double sum in whole units, as it has always been shown; one under 10 with
// four decimals, which would otherwise read as a bare digit.
std::string DoubleSum(long double v) {
    return kivo::FormatF(v, 5, v != 0 && std::fabs(v) < 10 ? 4 : 0);
}

// The box widened to the left, its right edge kept, so that its longest
// line is not cut; never narrower than it was made.
void ShowWhole(QPlainTextEdit* box, const QString& text) {
    box->setPlainText(text);
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, box->fontMetrics().horizontalAdvance(line));
    const QRect g = box->geometry();
    const int width =
        std::max(box->minimumWidth(), widest + 2 * box->fontMetrics().averageCharWidth());
    box->setGeometry(g.right() + 1 - width, g.top(), width, g.height());
}

} // namespace

void TForm1::Parameters(int slot) {
    View.ShownSpec = slot >= 1 && slot <= Store.NumSpec ? Store.SpecId[slot] : 0;
    // The g of an integration's centre belongs to its spectrum alone.
    if (View.GCentreSpec != 0 && View.GCentreSpec != View.ShownSpec) {
        Ui.Label2->setText(Ui.Label2->text().section(GCentreLabel, 0, 0));
        View.GCentreSpec = 0;
    }
    Ui.Memo1->clear();
    Ui.Memo2->clear();
    Ui.Memo3->clear();
    if (slot == 0) return;
    using namespace kivo;
    const ParamSpec& p = Store.Params[slot];
    Ui.Memo1->setPlainText(ShowText(p.Line1) + QLatin1Char('\n') + ShowText(p.Line2));
    QStringList acquisition;
    for (const std::string& line : AcquisitionLines(p)) acquisition << Text(line);
    ShowWhole(Ui.Memo2, acquisition.join(QLatin1Char('\n')));
    const QStringList integration{
        Text("Integral=" + FormatF(p.DblIntegral, 10, 5)),
        Text("N part   " + FormatCompactParticles(p.NumParticles)),
        QStringLiteral("SUMS    LEFT    RIGHT"),
        Text("Double " + DoubleSum(p.SumLeft2) + "  " + DoubleSum(p.SumRight2)),
        Text("First  " + FormatF(p.SumLeft1, 7, 4) + "  " + FormatF(p.SumRight1, 7, 4)),
    };
    ShowWhole(Ui.Memo3, integration.join(QLatin1Char('\n')));
}

void TForm1::Label9Click() {
    Parameters(Store.ActiveSpec);
    const bool show = Ui.Memo1->isHidden();
    for (QPlainTextEdit* memo : {Ui.Memo1, Ui.Memo2, Ui.Memo3}) memo->setVisible(show);
}
