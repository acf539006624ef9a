#include "TLabel.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>

// A double click arrives as a press, a second press and the double click;
// the second press belongs to the double click and is no click of its own.
void TLabel::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        const quint64 interval = quint64(QGuiApplication::styleHints()->mouseDoubleClickInterval());
        const bool second = pressed_ && e->timestamp() - lastPress_ < interval;
        pressed_ = !second;
        lastPress_ = e->timestamp();
        if (!second) emit clicked();
    }
    QLabel::mousePressEvent(e);
}

// The second press of a double click is the double click only, not another click.
void TLabel::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) emit doubleClicked();
    e->accept();
}

void TLabel::paintEvent(QPaintEvent* e) {
    const QRect room = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width());
    if (shown == text()) {
        QLabel::paintEvent(e);
        return;
    }
    QPainter painter(this);
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}
