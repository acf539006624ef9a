// The parameter panel: Memo1 shows the spectrum's two text lines, Memo2 the
// acquisition parameters, Memo3 the integration results of the active spectrum.
#include <QPlainTextEdit>

#include "Kivo1_3.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
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
    Ui.Memo2->setPlainText(acquisition.join(QLatin1Char('\n')));
    const QStringList integration{
        Text("Integral=" + FormatF(p.DblIntegral, 10, 5)),
        Text("N part   " + FormatCompactParticles(p.NumParticles)),
        QStringLiteral("SUMS    LEFT    RIGHT"),
        Text("Double " + FormatF(p.SumLeft2, 5, 0) + "  " + FormatF(p.SumRight2, 5, 0)),
        Text("First  " + FormatF(p.SumLeft1, 7, 4) + "  " + FormatF(p.SumRight1, 7, 4)),
    };
    Ui.Memo3->setPlainText(integration.join(QLatin1Char('\n')));
}

void TForm1::Label9Click() {
    Parameters(Store.ActiveSpec);
    const bool show = Ui.Memo1->isHidden();
    for (QPlainTextEdit* memo : {Ui.Memo1, Ui.Memo2, Ui.Memo3}) memo->setVisible(show);
}
