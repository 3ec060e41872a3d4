#pragma once
// Where the control's registration lives, shared by the library (which
// registers itself) and its hosts (which look it up): an INI file in the
// per-user data folder, $XDG_DATA_HOME/qarnSqlGen/registry.ini.

#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace qarn::dispatch {

inline QString RegistryFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/qarnSqlGen/registry.ini";
}

// Keys: "ProgID/<progid>" holds the class identifier, "CLSID/<clsid>" the library path.
inline QString ProgIdKey(const QString& progId) {
    return "ProgID/" + progId;
}
inline QString ClsidKey(const QString& clsid) {
    return "CLSID/" + clsid;
}

}  // namespace qarn::dispatch
