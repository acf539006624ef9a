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
    ShownSpec = slot >= 1 && slot <= Store.NumSpec ? Store.SpecId[slot] : 0;
    // The g of an integration's centre belongs to its spectrum alone.
    if (GCentreSpec != 0 && GCentreSpec != ShownSpec) {
        Label2->setText(Label2->text().section(GCentreLabel, 0, 0));
        GCentreSpec = 0;
    }
    Memo1->clear();
    Memo2->clear();
    Memo3->clear();
    if (slot == 0) return;
    using namespace kivo;
    const ParamSpec& p = Store.Params[slot];
    Memo1->setPlainText(ShowText(p.Line1) + QLatin1Char('\n') + ShowText(p.Line2));
    QStringList acquisition;
    for (const std::string& line : AcquisitionLines(p)) acquisition << Text(line);
    Memo2->setPlainText(acquisition.join(QLatin1Char('\n')));
    const QStringList integration{
        Text("Integral=" + FormatF(p.DblIntegral, 10, 5)),
        Text("N part   " + FormatCompactParticles(p.NumParticles)),
        QStringLiteral("SUMS    LEFT    RIGHT"),
        Text("Double " + FormatF(p.SumLeft2, 5, 0) + "  " + FormatF(p.SumRight2, 5, 0)),
        Text("First  " + FormatF(p.SumLeft1, 7, 4) + "  " + FormatF(p.SumRight1, 7, 4)),
    };
    Memo3->setPlainText(integration.join(QLatin1Char('\n')));
}

void TForm1::Label9Click() {
    Parameters(Store.ActiveSpec);
    const bool show = Memo1->isHidden();
    for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->setVisible(show);
}
