#include "TFileDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
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

bool TFileDialog::Execute(QWidget* parent) {
    files_.clear();
    std::optional<QStringList> chosen;
    if (Answer) {
        chosen = Answer(*this);
    } else {
        QFileDialog dialog(parent);
        dialog.setObjectName(name_);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilters(NameFilters(Filter));
        QString suffix = DefaultExt;
        if (suffix.startsWith(QLatin1Char('.'))) suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
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
            const QStringList files = dialog.selectedFiles();
            // "No" to a new file goes back to the dialog.
            if (CreatePrompt && !files.isEmpty() && !QFileInfo::exists(files.first()) &&
                QMessageBox::question(&dialog, dialog.windowTitle(),
                                      QStringLiteral("%1 does not exist.\nCreate the file?")
                                          .arg(QFileInfo(files.first()).fileName())) !=
                    QMessageBox::Yes)
                continue;
            chosen = files;
            if (option) Option = option->isChecked();
            break;
        }
    }
    if (!chosen || chosen->isEmpty()) return false;
    files_ = *chosen;
    FileName = files_.first();
    return true;
}
