#include "TModeLine.h"

#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

TModeLine::TModeLine(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
}

void TModeLine::SetCovers(const std::vector<QWidget*>& covers) {
    covers_ = covers;
    for (QWidget* w : covers_) w->installEventFilter(this);
}

QStringList TModeLine::ShownLines() const {
    QRect room = contentsRect();
    // As wide as the window shows it (an options file may make it wider),
    // down to the highest cover in sight that lies across it.
    if (parentWidget()) room.setRight(std::min(room.right(), parentWidget()->width() - 1 - x()));
    int bottom = room.bottom() + 1;
    for (const QWidget* w : covers_)
        if (w->isVisibleTo(parentWidget()) && w->geometry().intersects(geometry()))
            bottom = std::min(bottom, w->y() - y());
    const QFontMetrics metrics(font());
    const int fit = std::max(1, (bottom - room.top()) / metrics.lineSpacing());

    const QString all = text();
    QTextLayout layout(all, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(room.width());
        if (lines.size() == fit - 1) {
            // The last line in sight takes the rest of the text, cut to fit.
            const QString rest = all.mid(line.textStart());
            lines << metrics.elidedText(rest, Qt::ElideRight, room.width());
            break;
        }
        lines << all.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

bool TModeLine::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        const QStringList lines = ShownLines();
        if (!lines.isEmpty() && lines.join(QString()) != text()) {
            QToolTip::showText(static_cast<QHelpEvent*>(e)->globalPos(), text(), this);
            return true;
        }
    }
    return QLabel::event(e);
}

bool TModeLine::eventFilter(QObject*, QEvent* e) {
    // A panel moved, grown, shown or hidden changes the part in sight.
    switch (e->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        update();
        break;
    default:
        break;
    }
    return false;
}

void TModeLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect room = contentsRect();
    const int step = fontMetrics().lineSpacing();
    int top = room.top();
    for (const QString& line : ShownLines()) {
        painter.drawText(QRect(room.left(), top, room.width(), step),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, line);
        top += step;
    }
}
