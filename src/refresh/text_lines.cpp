// A spectrum's text lines between the bytes of its file and the screen.
#include "text_lines.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include "TYPEKIVO1_3.h"

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
        std::string bytes = QByteArray(encode.encode(shown)).toStdString();
        // Taken only when the line shows again as typed: the converters
        // swap some control characters, and the new bytes may look like
        // another code page.
        if (!encode.hasError() && ShowText(bytes) == shown) return bytes;
    }
    return shown.toStdString();
}
