// Behaviour tests drive the real main window on the offscreen platform, in a
// temporary working directory, with its dialogs answered here.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "FigureDialog.h"
#include "Kivo1_3.h"

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << '{';
    for (const QString& s : l) *os << " \"" << s.toStdString() << '"';
    *os << " }";
}

struct DialogCall {
    QString Dialog;   // object name, e.g. "OpenDialog1"
    QString FileName; // the name preset when it was shown
    QString Filter;
    QString DefaultExt;
    bool AllowMultiSelect = false;
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Next answers of the dialogs, in order; an empty optional cancels.
    void Answer(std::optional<QStringList> files) { answers_.push_back(std::move(files)); }
    void AnswerFiles(const QStringList& names); // names in the working directory
    const std::vector<DialogCall>& Asked() const { return asked_; }
    int PendingAnswers() const { return int(answers_.size()); }

    // A file in the working directory; returns its full path.
    QString WriteFile(const QString& name, const std::string& bytes) const;
    std::string ReadBytes(const QString& name) const;
    QString Path(const QString& name) const;
    // An .esr file with n points of a derivative-like line; x rises from x0.
    QString WriteSpectrum(const QString& name, int n, double x0 = 3300,
                          const std::string& line1 = "");

    // A new main window in the working directory, as the program starts.
    void StartForm();
    // Runs a menu item as a click on it does, e.g. Menu("&Options", "Default size").
    void Menu(const QString& menu, const QString& item);
    // Reads files (names in the working directory) through F3.
    void ReadFiles(const QStringList& names);
    // Drops files (names in the working directory) on the window, as a file
    // manager does; with Ctrl they join the loaded spectra.
    void DropFiles(const QStringList& names, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // A key press on the focused control, as the user makes it.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // A key press as X11 delivers it, with the key's XKB keycode and the
    // keysym the active layout gives it beside Qt's key and text: the
    // focused control may claim it first, then the shortcuts, then it comes.
    void NativeKey(int key, Qt::KeyboardModifiers modifiers, quint32 keycode, quint32 keysym,
                   const QString& text);
    void Settle();
    // A double click as the desktop delivers it: press, release, a second
    // press, the double click, release.
    void DoubleClick(QWidget* w);

    QStringList Captions() const; // captions of the visible check boxes in slot order
    // The cells of a CSV line: a quoted cell keeps its commas, not its quotes.
    static QStringList CsvCells(const std::string& line);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<TForm1> form;
    // The figure dialog of an export for print: answered by figureChoice
    // (OK as shown when it is not set), and counted.
    std::function<bool(FigureDialog&)> figureChoice;
    int figuresAsked = 0;
    qint64 now = 1'000'000;

private:
    QString oldCurrent_;
    std::deque<std::optional<QStringList>> answers_;
    std::vector<DialogCall> asked_;
};
