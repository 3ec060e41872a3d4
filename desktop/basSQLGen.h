#pragma once
// The program's start-up module: the main window, the stored options as
// program-wide values, and reading them from the settings store.

#include <cstdint>
#include <string>
#include <vector>

namespace qarn::desktop {

class frmSQLGen;

// The one main window.
extern frmSQLGen* gfrmMain;

// Stored options (section "Options" of the settings store), read by gblnLoadDefaults.
extern bool gblnUseUDL;              // "UseUDL", default false
extern std::string gstrDefaultConn;  // "DefaultConn", default empty; a password may be masked
extern std::string gstrDefaultUDL;   // "DefaultUDL", default empty
extern bool gblnIncludeIdent;        // "IncludeIdent", default true
// How the control writes the script (its properties of the same names).
extern bool gblnTerminate;             // "Terminate", default false: end every statement with ";"
extern int32_t glngRowsPerInsert;      // "RowsPerInsert", default 1; at least 1
extern std::string gstrTargetDialect;  // "TargetDialect", default empty: the dialect of the database read
extern bool gblnOrderByKey;            // "OrderByKey", default false
extern bool gblnVerify;                // "Verify", default false
extern std::string gstrOnDuplicate;    // "OnDuplicate", default empty: a plain INSERT
// The default connection string with its password, for this run only; never stored.
extern std::string gstrSessionConn;

// The password marker of stored and shown connection strings.
constexpr const char* kMaskedPassword = "**********";

// A value a text option takes, with the words the Options window shows for it.
struct OptionChoice {
    const char* value;
    const char* caption;
};
// The values of TargetDialect and OnDuplicate, the default first.
const std::vector<OptionChoice>& TargetDialectChoices();
const std::vector<OptionChoice>& OnDuplicateChoices();

// Reads the options in the order above; false (after a report through
// HandleError) when one cannot be read, the options after it unchanged.
bool gblnLoadDefaults();

// The settings store: QSettings, INI format, user scope, application
// "qarnSqlGen", section "Options"; Booleans are written True/False.
std::string GetSetting(const std::string& key, const std::string& defaultValue);
void SaveSetting(const std::string& key, const std::string& value);

// The program's entry point after the application object exists: creates
// and shows the main window.
void Main();

}  // namespace qarn::desktop
