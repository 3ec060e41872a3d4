#include "ControlCore.h"

#include "ado/ConnectionString.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"

namespace qarn::control {

ControlCore::~ControlCore() {
    try {
        if (mlngState == stConnected) gblnCloseDB();
        CloseTextFile();
    } catch (...) {
    }
}

void ControlCore::SetStatusText(const std::string& text) {
    mstrStatusText = text;
    if (statusChanged_) statusChanged_();
}

bool ControlCore::Connect(const std::string& ConnectionString, const std::string& UDLFileName) {
    mstrReturnMessage.clear();
    try {
        if (!ConnectionString.empty()) {
            SetStatusText("Connecting to database");
            if (gblnOpenDB({}, ConnectionString)) {
                SetStatusText("Connected");
                mlngState = stConnected;
                return true;
            }
        } else if (!UDLFileName.empty()) {
            if (!textfile::FileExists(UDLFileName)) {
                mstrReturnMessage = "The specified UDL file does not exist: " + UDLFileName;
                mlngState = stNotConnected;
                return false;
            }
            if (gblnOpenDB(UDLFileName, {})) {
                mlngState = stConnected;
                return true;
            }
        } else {
            mstrReturnMessage = "No connection string supplied";
            mlngState = stNotConnected;
            return false;
        }
        mstrReturnMessage = "Connection Failed";
    } catch (...) {
        ErrObject e = CurrentErr();
        mstrReturnMessage = "Connection Failed with error: " + std::to_string(e.Number) + "/" + e.Description;
    }
    mlngState = stNotConnected;
    return false;
}

void ControlCore::Disconnect(bool blnShowStatus) {
    try {
        gblnCloseDB();
    } catch (...) {
    }
    mlngState = stNotConnected;
    if (blnShowStatus) SetStatusText("Connection Closed");
}

std::string ConnectionStringForDisplay(const std::string& strConnStringIn) {
    try {
        std::string lower = ado::ToLower(strConnStringIn);
        for (const char* key : {"password=", "pwd="}) {
            if (lower.find(key) == std::string::npos) continue;
            // Entries keep their text and order; only the first password entry is masked.
            std::string out;
            bool masked = false;
            size_t start = 0;
            while (true) {
                size_t end = strConnStringIn.find(';', start);
                std::string entry = strConnStringIn.substr(start, end == std::string::npos ? end : end - start);
                if (!masked && ado::ToLower(entry).find(key) != std::string::npos) {
                    entry = std::string(key) + "**********";
                    masked = true;
                }
                out += entry;
                if (end == std::string::npos) break;
                out += ';';
                start = end + 1;
            }
            return out;
        }
    } catch (...) {
    }
    return strConnStringIn;
}

}  // namespace qarn::control
