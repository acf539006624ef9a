// The mode line: a label whose text wraps within the part of it the lower
// panels leave in sight. A text that runs past that part ends its last line
// shown with "…", and the whole text comes up as its tooltip (unless a
// command has given it a tooltip of its own, such as the list of files a
// read refused).
#pragma once

#include <QLabel>
#include <QStringList>
#include <vector>

class TModeLine : public QLabel {
public:
    explicit TModeLine(const QString& text, QWidget* parent = nullptr);

    // The controls that may lie over the mode line's lower part.
    void SetCovers(const std::vector<QWidget*>& covers);
    // The lines in sight: the text wrapped at the label's width, as many as
    // the uncovered part holds (one at least), the last one cut with "…"
    // when the text goes on.
    QStringList ShownLines() const;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    std::vector<QWidget*> covers_;
};
