#include "frmFileOpen.h"

#include <QApplication>
#include <QFileDialog>

namespace qarn::desktop {

namespace {
constexpr char kAllFiles[] = "All Files (*.*)|*.*";

std::function<std::string(const std::string&)>& Answer() {
    static std::function<std::string(const std::string&)> answer;
    return answer;
}

// The dialog is told to match patterns in any case, as the file dialogs of
// the system the filters were written for did; only "*.*" needs saying
// differently: there it means every file, also one without an extension.
QString DialogPattern(const QString& pattern) {
    return pattern == "*.*" ? QString("*") : pattern;
}

// "Description|pattern[;pattern]|Description|pattern..." as the dialog's
// name filters.  The dialog shows only the description; the patterns it
// matches with follow in a last pair of parentheses.
QStringList NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts))
            patterns << DialogPattern(pattern.trimmed());
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters;
}
}  // namespace

void SetFilePromptAnswer(std::function<std::string(const std::string& filter)> answer) {
    Answer() = std::move(answer);
}

std::string gstrPromptForFile(const std::string& filter) {
    const std::string effective = filter.empty() ? kAllFiles : filter;
    try {
        if (Answer()) return Answer()(effective);
        QFileDialog dialog(QApplication::activeWindow());
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::HideNameFilterDetails);
        dialog.setFilter(dialog.filter() & ~QDir::CaseSensitive);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setNameFilters(NameFilters(effective));
        if (dialog.exec() != QDialog::Accepted) return {};
        return dialog.selectedFiles().value(0).toStdString();
    } catch (...) {
        return {};
    }
}

}  // namespace qarn::desktop
