#pragma once
// The program's start-up module: the main window, the stored options as
// program-wide values, and reading them from the settings store.

#include <string>

namespace qarn::desktop {

class frmSQLGen;

// The one main window.
extern frmSQLGen* gfrmMain;

// Stored options (section "Options" of the settings store), read by gblnLoadDefaults.
extern bool gblnUseUDL;             // "UseUDL", default false
extern std::string gstrDefaultConn; // "DefaultConn", default empty; a password may be masked
extern std::string gstrDefaultUDL;  // "DefaultUDL", default empty
extern bool gblnIncludeIdent;       // "IncludeIdent", default true
// The default connection string with its password, for this run only; never stored.
extern std::string gstrSessionConn;

// The password marker of stored and shown connection strings.
constexpr const char* kMaskedPassword = "**********";

// Reads the four options; false (after a report through HandleError) when
// one cannot be read.
bool gblnLoadDefaults();

// The settings store: QSettings, INI format, user scope, application
// "qarnSqlGen", section "Options"; Booleans are written True/False.
std::string GetSetting(const std::string& key, const std::string& defaultValue);
void SaveSetting(const std::string& key, const std::string& value);

// The program's entry point after the application object exists: creates
// and shows the main window.
void Main();

}  // namespace qarn::desktop
