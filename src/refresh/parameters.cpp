// The parameter panel: Memo1 shows the spectrum's two text lines, Memo2 the
// acquisition parameters, Memo3 the integration results of the active spectrum.
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QStringEncoder>

#include "Kivo1_3.h"

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

QString ShowText(const std::string& bytes) {
    switch (kivo::GuessCodePage(bytes)) {
    case kivo::CodePage::Cp866:
        return QStringDecoder("IBM866").decode(QByteArrayView(bytes));
    case kivo::CodePage::Cp1251:
        return QStringDecoder("windows-1251").decode(QByteArrayView(bytes));
    case kivo::CodePage::Utf8:
        break;
    }
    return QString::fromStdString(bytes);
}

std::string StoreText(const QString& shown, const std::string& original) {
    if (shown == ShowText(original)) return original;
    const char* codec = nullptr;
    switch (kivo::GuessCodePage(original)) {
    case kivo::CodePage::Cp866:
        codec = "IBM866";
        break;
    case kivo::CodePage::Cp1251:
        codec = "windows-1251";
        break;
    case kivo::CodePage::Utf8:
        break;
    }
    if (codec) {
        QStringEncoder encode(codec);
        const QByteArray bytes = encode.encode(shown);
        if (!encode.hasError()) return bytes.toStdString();
    }
    return shown.toStdString();
}

void TForm1::Parameters(int slot) {
    Memo1->clear();
    Memo2->clear();
    Memo3->clear();
    if (slot == 0) return;
    using namespace kivo;
    const ParamSpec& p = Params[slot];
    Memo1->setPlainText(ShowText(p.Line1) + QLatin1Char('\n') + ShowText(p.Line2));
    const QStringList acquisition{
        Text(FormatI(p.NumPoints, 4) + " pnt"),    Text("+-" + FormatF(p.ScanRange, 5, 0)),
        Text(FormatCompactGain(p.Gain)),           Text(FormatF(p.Modulation, 5, 2) + " G"),
        Text(FormatF(p.Power, 6, 2) + " mW"),      Text("St=" + FormatF(p.StandartRuby, 6, 3)),
        Text("SpA=" + FormatF(p.Amplitude, 8, 5)),
    };
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
    Parameters(ActiveSpec);
    const bool show = Memo1->isHidden();
    for (QPlainTextEdit* memo : {Memo1, Memo2, Memo3}) memo->setVisible(show);
}
