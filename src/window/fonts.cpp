#include "fonts.h"

#include <QFontMetrics>
#include <QHash>
#include <QVariant>
#include <QWidget>
#include <cstdlib>

namespace {
const char* const HeightProperty = "kivoFontHeight";
}

QFont FontOfHeight(const QString& family, int height, bool bold) {
    // Negative heights count the letters without the leading, as some
    // option files give them.
    height = std::max(1, std::abs(height));
    static QHash<QString, int> fitted;
    const QString key = family + QLatin1Char('/') + QString::number(height) + (bold ? "b" : "");
    QFont font(family);
    font.setBold(bold);
    if (auto it = fitted.constFind(key); it != fitted.constEnd()) {
        font.setPixelSize(*it);
        return font;
    }
    int size = height;
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).lineSpacing() > height) font.setPixelSize(--size);
    fitted.insert(key, size);
    return font;
}

void SetFontHeight(QWidget* w, int height) {
    w->setFont(FontOfHeight(w->font().family(), height, w->font().bold()));
    w->setProperty(HeightProperty, height);
}

int FontHeight(const QWidget* w) {
    const QVariant v = w->property(HeightProperty);
    return v.isValid() ? v.toInt() : w->font().pixelSize();
}
