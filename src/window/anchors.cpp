#include "anchors.h"

#include <QResizeEvent>
#include <QWidget>
#include <algorithm>

namespace {

QMargins Distances(const QRect& w, const QRect& ref) {
    return {w.left() - ref.left(), w.top() - ref.top(), ref.right() - w.right(),
            ref.bottom() - w.bottom()};
}

// One direction of a rule: the new start and length of a widget spanning
// [start, start + length) whose distances from the reference's ends are
// near and far.
void Span(bool toNear, bool toFar, int refStart, int refLength, int nearGap, int farGap, int& start,
          int& length) {
    if (toNear && toFar) {
        start = refStart + nearGap;
        length = std::max(0, refLength - nearGap - farGap);
    } else if (toFar) {
        start = refStart + refLength - farGap - length;
    } else if (toNear) {
        start = refStart + nearGap;
    }
}

} // namespace

Anchors::Anchors(QWidget* container) : QObject(container), container_(container) {
    container->installEventFilter(this);
}

QRect Anchors::ReferenceRect(const QWidget* ref) const {
    return ref ? ref->geometry() : container_->rect();
}

void Anchors::Anchor(QWidget* w, Qt::Edges edges, QWidget* ref) {
    if (ref == container_) ref = nullptr;
    const QRect refRect = ReferenceRect(ref);
    rules_.push_back({w, ref, edges, Distances(w->geometry(), refRect), w->geometry(), refRect});
    if (ref) ref->installEventFilter(this);
}

void Anchors::Place(Rule& rule, bool late) {
    const QRect g = rule.widget->geometry();
    const QRect ref = ReferenceRect(rule.ref);
    // A control a command has moved or sized since keeps its new distances,
    // measured in the reference it was placed in.
    if (g != rule.placed) rule.gap = Distances(g, late ? ref : rule.refRect);
    int left = g.left(), width = g.width(), top = g.top(), height = g.height();
    Span(rule.edges & Qt::LeftEdge, rule.edges & Qt::RightEdge, ref.left(), ref.width(),
         rule.gap.left(), rule.gap.right(), left, width);
    Span(rule.edges & Qt::TopEdge, rule.edges & Qt::BottomEdge, ref.top(), ref.height(),
         rule.gap.top(), rule.gap.bottom(), top, height);
    rule.widget->setGeometry(left, top, width, height);
    rule.placed = rule.widget->geometry();
    rule.refRect = ref;
}

void Anchors::PlaceAll() {
    // The rules come in the order they were made, each reference before the
    // controls anchored to it.
    for (Rule& rule : rules_) Place(rule, true);
}

bool Anchors::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::Resize && type != QEvent::Move) return false;
    // The container's own place does not move its children.
    if (watched == container_ && type == QEvent::Move) return false;
    const QWidget* ref = watched == container_ ? nullptr : static_cast<QWidget*>(watched);
    // A size the reference took while hidden comes when it is shown, after
    // the controls placed in it meanwhile (as a command sizes the window
    // first, then its controls).
    const bool late =
        type == QEvent::Resize && !static_cast<QResizeEvent*>(event)->oldSize().isValid();
    for (Rule& rule : rules_)
        if (rule.ref == ref) Place(rule, late);
    return false;
}
