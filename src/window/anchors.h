// Anchors: controls that keep their distances from chosen edges of a
// reference while the window changes size, the chart growing with it and the
// mode line and lower panels staying at the bottom.
#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <vector>

class QWidget;

class Anchors : public QObject {
public:
    // Lays out the anchored children of container whenever it, or a control
    // they are anchored to, changes size or place.
    explicit Anchors(QWidget* container);

    // w keeps its present distances from these edges of ref (the container
    // when null; otherwise a control in it). Anchored to both edges of a
    // direction it stretches; to neither, it stays where it is.
    void Anchor(QWidget* w, Qt::Edges edges, QWidget* ref = nullptr);
    // Places every control in the present size of the container and of the
    // controls anchored to, as their resize events do. A hidden window's
    // client gets its resize event only when the window is shown: a command
    // that sizes it calls this before it places controls in the new size.
    void PlaceAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Rule {
        QWidget* widget;
        QWidget* ref;
        Qt::Edges edges;
        QMargins gap;  // distances from the reference's edges
        QRect placed;  // where the anchors last put the widget
        QRect refRect; // the reference the distances were measured against
    };
    QRect ReferenceRect(const QWidget* ref) const;
    // late: the reference's new size was taken while hidden.
    void Place(Rule& rule, bool late);

    QWidget* container_;
    std::vector<Rule> rules_;
};
