#include "TFileDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>

TFileDialog::Answerer TFileDialog::Answer;

QStringList TFileDialog::NameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (const QString& p : QStringList(patterns))
            for (const QString& other : {p.toLower(), p.toUpper()})
                if (!patterns.contains(other)) patterns << other;
        result << QStringLiteral("%1 (%2)").arg(parts[i], patterns.join(QLatin1Char(' ')));
    }
    return result;
}

QStringList TFileDialog::InNamedOrder(const QStringList& selected, const QString& names) {
    QStringList named;
    if (names.contains(QLatin1Char('"'))) {
        const QStringList parts = names.split(QLatin1Char('"'));
        for (qsizetype i = 1; i < parts.size(); i += 2) named << parts[i];
    } else {
        named << names.trimmed();
    }
    QStringList rest = selected, ordered;
    for (const QString& name : named)
        for (qsizetype i = 0; i < rest.size(); ++i)
            if (QFileInfo(rest[i]).fileName() == QFileInfo(name).fileName()) {
                ordered << rest.takeAt(i);
                break;
            }
    return ordered + rest;
}

namespace {

// The ending a filter's type gives a name, ".pdf" for "*.pdf"; "" when its
// patterns name no single ending.
QString EndingOfType(const QString& filter, int type) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    const qsizetype at = 2 * qsizetype(type) + 1;
    if (type < 0 || at >= parts.size()) return {};
    const QStringList patterns = parts[at].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (patterns.size() != 1 || !patterns[0].startsWith(QLatin1String("*.")) ||
        patterns[0].count(QLatin1Char('*')) + patterns[0].count(QLatin1Char('?')) != 1)
        return {};
    return patterns[0].mid(1);
}

} // namespace

QString TFileDialog::ChosenEnding() const {
    return TypeEnding(FilterIndex);
}

QString TFileDialog::TypeEnding(int type) const {
    const QString ending = EndingOfType(Filter, type);
    return ending.isEmpty() ? DefaultExt : ending;
}

bool TFileDialog::Execute(QWidget* parent) {
    files_.clear();
    std::optional<QStringList> chosen;
    if (Answer) {
        chosen = Answer(*this);
    } else {
        QFileDialog dialog(parent);
        dialog.setObjectName(name_);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        const QStringList types = NameFilters(Filter);
        dialog.setNameFilters(types);
        // A name typed without an ending takes the chosen type's.
        int type = FilterIndex;
        auto chooseType = [&](int chosen) {
            type = chosen;
            QString suffix = TypeEnding(type);
            if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
            dialog.setDefaultSuffix(suffix);
        };
        chooseType(type);
        if (type >= 0 && type < types.size()) dialog.selectNameFilter(types[type]);
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&](const QString& filter) { chooseType(int(types.indexOf(filter))); });
        dialog.setDirectory(InitialDir);
        if (kind_ == Kind::Open) {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(AllowMultiSelect ? QFileDialog::ExistingFiles
                                                : QFileDialog::ExistingFile);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, !OverwritePrompt);
        }
        if (!FileName.isEmpty()) dialog.selectFile(FileName);
        QCheckBox* option = nullptr;
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
            grid && !OptionText.isEmpty()) {
            option = new QCheckBox(OptionText, &dialog);
            option->setChecked(Option);
            grid->addWidget(option, grid->rowCount(), 0, 1, -1);
        }
        while (dialog.exec() == QDialog::Accepted) {
            const auto* names = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            const QStringList files = names ? InNamedOrder(dialog.selectedFiles(), names->text())
                                            : dialog.selectedFiles();
            // "No" to a new file goes back to the dialog.
            if (CreatePrompt && !files.isEmpty() && !QFileInfo::exists(files.first()) &&
                QMessageBox::question(&dialog, dialog.windowTitle(),
                                      QStringLiteral("%1 does not exist.\nCreate the file?")
                                          .arg(QFileInfo(files.first()).fileName())) !=
                    QMessageBox::Yes)
                continue;
            chosen = files;
            if (option) Option = option->isChecked();
            FilterIndex = std::max(0, type);
            break;
        }
    }
    if (!chosen || chosen->isEmpty()) return false;
    files_ = *chosen;
    FileName = files_.first();
    return true;
}
