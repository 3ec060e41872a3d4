#include "basSQLGenComp.h"

#include "ado/ConnectionString.h"
#include "basErrorHandlerADO.h"
#include "textfile/DataLinkFile.h"
#include "ui/UserInterface.h"

namespace qarn {

thread_local std::shared_ptr<ado::Connection> gcnnDB;
thread_local int32_t glngServerKind = skJet;
thread_local std::shared_ptr<clsSQLADO> gobjSQLADO;

namespace {
thread_local std::string gstrUDLFile;

bool IsOpen(const std::shared_ptr<ado::Connection>& c) {
    return c && c->State() == ado::adStateOpen;
}
}  // namespace

const std::string& gstrSessionUDLFile() {
    static const std::string none;
    return IsOpen(gcnnDB) ? gstrUDLFile : none;
}

bool gblnOpenDB(const std::string& strUDLFile, const std::string& strConnect) {
    if (IsOpen(gcnnDB)) return true;
    bool noDataLink = false;
    bool ok = RunReported("basSQLGen!gblnOpenDB", gcnnDB, [&] {
        gstrUDLFile.clear();
        gcnnDB = ado::Connection::Create();
        if (strUDLFile.empty()) {
            gSetServerKind(strConnect);
            gcnnDB->SetConnectionString(strConnect);
        } else {
            std::string line = gstrReadUDL(strUDLFile);
            // The message has been shown: nothing to open.
            if (line.empty()) {
                noDataLink = true;
                return;
            }
            gcnnDB->SetConnectionString(line);
        }
        gcnnDB->Open();
        gstrUDLFile = strUDLFile;
        gobjSQLADO = std::make_shared<clsSQLADO>();
        gobjSQLADO->SetActiveConnection(gcnnDB);
    });
    return ok && !noDataLink;
}

bool gblnCloseDB() {
    try {
        if (IsOpen(gcnnDB)) {
            gstrUDLFile.clear();
            gcnnDB->Close();
            gcnnDB.reset();
            if (gobjSQLADO) gobjSQLADO->SetActiveConnection(nullptr);
        }
        return true;
    } catch (...) {
        return false;
    }
}

void gSetServerKind(const std::string& strConnect) {
    glngServerKind = skSqlServer;
    size_t start = 0;
    while (start <= strConnect.size()) {
        size_t end = strConnect.find(';', start);
        if (end == std::string::npos) end = strConnect.size();
        std::string_view element(strConnect.data() + start, end - start);
        start = end + 1;
        // An empty element has no key to look at: it is skipped.
        if (element.empty()) continue;
        size_t firstEq = element.find('=');
        size_t lastEq = element.rfind('=');
        std::string_view key = firstEq == std::string_view::npos ? element : element.substr(0, firstEq);
        std::string_view value = lastEq == std::string_view::npos ? element : element.substr(lastEq + 1);
        if (!ado::ContainsNoCase(key, "PROVIDER")) continue;
        std::string provider = ado::ToUpper(value);
        if (provider.find("SQLOLEDB") != std::string::npos) {
            glngServerKind = skSqlServer;
        } else if (provider.find("JET") != std::string::npos) {
            glngServerKind = skJet;
        } else if (provider.find("MSDASQL") != std::string::npos) {
            glngServerKind = skOdbc;
        } else {
            glngServerKind = skOther;
        }
        return;
    }
}

std::string gstrReadUDL(const std::string& strUDLFile) {
    std::optional<std::string> line = textfile::ReadDataLinkFile(strUDLFile);
    if (!line) {
        CurrentUserInterface().MessageBox("This is a not a valid UDL file", MsgIcon::Exclamation);
        return {};
    }
    gSetServerKind(*line);
    return *line;
}

}  // namespace qarn
