// Open and save dialogs with the properties the commands set (filter in the
// "name|pattern|name|pattern" form, default extension, initial directory,
// several files, overwrite and create prompts). Tests answer them through Answer.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

class TFileDialog {
public:
    enum class Kind { Open, Save };

    TFileDialog(Kind kind, QString name) : kind_(kind), name_(std::move(name)) {}

    QString Filter;
    QString DefaultExt;
    QString InitialDir;
    QString FileName; // preset before Execute, the choice after it
    bool AllowMultiSelect = false;
    bool OverwritePrompt = false;
    bool CreatePrompt = false; // a save asks before it makes a new file
    // A check box under the file list when OptionText is given; Option is
    // its state, shown as it is and taken back when the dialog is accepted.
    QString OptionText;
    bool Option = false;
    // The type chosen among the filter's ("Files of type"), from 0: shown as
    // it is and taken back when a save dialog is accepted.
    int FilterIndex = 0;
    // The ending the chosen type gives a name without one (".pdf"); the
    // default extension when the type names no single ending.
    QString ChosenEnding() const;

    Kind DialogKind() const { return kind_; }
    const QString& Name() const { return name_; }
    // The files chosen by the last Execute, in the order given.
    const QStringList& Files() const { return files_; }

    // Shows the dialog; false when it was cancelled.
    bool Execute(QWidget* parent);

    // The seam for tests: when set, it is asked instead of showing a dialog;
    // an empty optional is a cancel.
    using Answerer = std::function<std::optional<QStringList>(const TFileDialog&)>;
    static Answerer Answer;

    // "esr|*.esr|txt|*.txt" as name filters for the toolkit's dialog; each
    // pattern also matches its ending in lower and in upper case.
    static QStringList NameFilters(const QString& filter);
    // The files chosen in the order the names stand in the dialog's name
    // box (typed, or put there by clicks), those it does not name after them.
    static QStringList InNamedOrder(const QStringList& selected, const QString& names);

private:
    QString TypeEnding(int type) const;
    Kind kind_;
    QString name_;
    QStringList files_;
};
