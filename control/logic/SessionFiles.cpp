#include "logic/SessionFiles.h"

#include "basSQLGenComp.h"
#include "logic/ScriptOutput.h"

namespace qarn::control {

SessionFile SessionFileAt(const std::string& path) {
    if (SameFile(path, gstrSessionUDLFile())) return SessionFile::Udl;
    if (gcnnDB && gcnnDB->State() == ado::adStateOpen) {
        for (const std::string& file : gcnnDB->DatabaseFiles())
            if (SameFile(path, file)) return SessionFile::Database;
    }
    return SessionFile::None;
}

}  // namespace qarn::control
