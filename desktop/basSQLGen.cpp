#include "basSQLGen.h"

#include <QCursor>
#include <QGuiApplication>
#include <QSettings>

#include <cmath>
#include <cstdint>
#include <memory>

#include "basErrorHandler.h"
#include "frmSQLGen.h"
#include "widgets/Hourglass.h"
#include "widgets/QtUserInterface.h"

namespace qarn::desktop {

frmSQLGen* gfrmMain = nullptr;

// Until the store is read the program behaves as on a first run.
bool gblnUseUDL = false;
std::string gstrDefaultConn;
std::string gstrDefaultUDL;
bool gblnIncludeIdent = true;
bool gblnTerminate = false;
int32_t glngRowsPerInsert = 1;
std::string gstrTargetDialect;
bool gblnOrderByKey = false;
bool gblnVerify = false;
std::string gstrOnDuplicate;
std::string gstrSessionConn;

namespace {

constexpr const char* kSection = "Options/";
constexpr int32_t kTypeMismatch = 13;
constexpr int32_t kInvalidPropertyValue = 380;
constexpr int32_t kFileAccessError = 75;

// The per-user store, $XDG_CONFIG_HOME/qarnSqlGen/qarnSqlGen.ini.  Qt files
// a store without an organisation under "Unknown Organization" and flags it
// as an access error, so the program's title names the folder as well.
std::unique_ptr<QSettings> OpenStore() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "qarnSqlGen", "qarnSqlGen");
}

// A store that cannot be read or written must not pass for an empty one.
void CheckStore(const QSettings& store) {
    switch (store.status()) {
        case QSettings::NoError: return;
        case QSettings::AccessError:
            throw ProgramFailure(kFileAccessError, "Path/File access error: " + store.fileName().toStdString());
        case QSettings::FormatError:
            throw ProgramFailure(kFileAccessError, "The settings file " + store.fileName().toStdString() +
                                                       " is not in a form that can be read");
    }
}

// Booleans are stored as True/False; like a conversion to Boolean, the
// reading takes either in any case, and a number (zero is False).
bool ToBoolean(const std::string& text) {
    QString t = QString::fromStdString(text).trimmed();
    if (t.compare("True", Qt::CaseInsensitive) == 0) return true;
    if (t.compare("False", Qt::CaseInsensitive) == 0) return false;
    bool isNumber = false;
    double n = t.toDouble(&isNumber);
    if (isNumber && std::isfinite(n)) return n != 0;
    throw ProgramFailure(kTypeMismatch, "Type mismatch");
}

bool GetBooleanSetting(const std::string& key, bool defaultValue) {
    return ToBoolean(GetSetting(key, defaultValue ? "True" : "False"));
}

// A whole number of rows, as a conversion to Long reads it; the control
// takes no fewer than one.
int32_t GetRowsSetting(const std::string& key, int32_t defaultValue) {
    bool isNumber = false;
    const qlonglong n =
        QString::fromStdString(GetSetting(key, std::to_string(defaultValue))).trimmed().toLongLong(&isNumber);
    if (!isNumber) throw ProgramFailure(kTypeMismatch, "Type mismatch");
    if (n < 1 || n > INT32_MAX) throw ProgramFailure(kInvalidPropertyValue, "Invalid property value.");
    return static_cast<int32_t>(n);
}

// One of `choices`, in any case, given back as the choice spells it.
std::string GetChoiceSetting(const std::string& key, const std::vector<OptionChoice>& choices) {
    const QString text = QString::fromStdString(GetSetting(key, choices.front().value)).trimmed();
    for (const OptionChoice& choice : choices)
        if (text.compare(choice.value, Qt::CaseInsensitive) == 0) return choice.value;
    throw ProgramFailure(kInvalidPropertyValue, "Invalid property value.");
}

}  // namespace

const std::vector<OptionChoice>& TargetDialectChoices() {
    static const std::vector<OptionChoice> choices = {{"", "The database's own"},   {"sqlite", "SQLite"},
                                                      {"postgresql", "PostgreSQL"}, {"mysql", "MySQL / MariaDB"},
                                                      {"sqlserver", "SQL Server"},  {"jet", "Access (Jet)"},
                                                      {"ansi", "ANSI SQL"}};
    return choices;
}

const std::vector<OptionChoice>& OnDuplicateChoices() {
    static const std::vector<OptionChoice> choices = {
        {"", "Stop with an error"}, {"skip", "Skip the row"}, {"update", "Update the row"}};
    return choices;
}

std::string GetSetting(const std::string& key, const std::string& defaultValue) {
    auto store = OpenStore();
    CheckStore(*store);
    QVariant value = store->value(kSection + QString::fromStdString(key));
    if (!value.isValid()) return defaultValue;
    // A text edited by hand with an unquoted comma reads back as a list.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',').toStdString();
    return value.toString().toStdString();
}

void SaveSetting(const std::string& key, const std::string& value) {
    auto store = OpenStore();
    CheckStore(*store);
    store->setValue(kSection + QString::fromStdString(key), QString::fromStdString(value));
    store->sync();
    CheckStore(*store);
}

bool gblnLoadDefaults() {
    Hourglass hourglass;
    try {
        gblnUseUDL = GetBooleanSetting("UseUDL", false);
        gstrDefaultConn = GetSetting("DefaultConn", "");
        gstrSessionConn = gstrDefaultConn.find(kMaskedPassword) == std::string::npos ? gstrDefaultConn : "";
        gstrDefaultUDL = GetSetting("DefaultUDL", "");
        gblnIncludeIdent = GetBooleanSetting("IncludeIdent", true);
        gblnTerminate = GetBooleanSetting("Terminate", false);
        glngRowsPerInsert = GetRowsSetting("RowsPerInsert", 1);
        gstrTargetDialect = GetChoiceSetting("TargetDialect", TargetDialectChoices());
        gblnOrderByKey = GetBooleanSetting("OrderByKey", false);
        gblnVerify = GetBooleanSetting("Verify", false);
        gstrOnDuplicate = GetChoiceSetting("OnDuplicate", OnDuplicateChoices());
        return true;
    } catch (...) {
        HandleError("basSQLGen!gblnLoadDefaults", "", CurrentProgramError());
        return false;
    }
}

void Main() {
    UseQtUserInterfaceByDefault();
    try {
        gfrmMain = new frmSQLGen();
        gfrmMain->show();
    } catch (...) {
        HandleError("basSQLGen!Main", "", CurrentProgramError());
    }
}

}  // namespace qarn::desktop
