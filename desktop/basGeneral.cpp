#include "basGeneral.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "basSQLGen.h"
#include "frmSQLGen.h"

namespace qarn::desktop {

namespace {
constexpr char kOutputFileName[] = "qarnSqlGen.sql";

std::string& FolderOverride() {
    static std::string folder;
    return folder;
}
}  // namespace

void ShowStatus(const std::string& text) {
    if (gfrmMain) gfrmMain->SetStatusPanelText(QString::fromStdString(text));
    QCoreApplication::processEvents();
}

std::string ApplicationFolder() {
    if (!FolderOverride().empty()) return FolderOverride();
    return QCoreApplication::applicationDirPath().toStdString();
}

void SetApplicationFolder(const std::string& folder) {
    FolderOverride() = folder;
}

std::string OutputFilePath() {
    QString folder = QString::fromStdString(ApplicationFolder());
    QFileInfo info(folder);
    // An installed program's folder belongs to the system: the script then
    // goes to the user's own data folder.
    if (folder.isEmpty() || !info.isDir() || !info.isWritable()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/qarnSqlGen";
        QDir().mkpath(folder);
    }
    return (folder + "/" + kOutputFileName).toStdString();
}

}  // namespace qarn::desktop
