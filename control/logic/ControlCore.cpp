#include "ControlCore.h"

#include <cstring>

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

namespace {
// Where the entry whose value starts at `valueStart` ends: at `entryEnd`
// (the next ";"), unless the value is quoted or braced and its closing
// character comes later, in which case at the ";" after it.
size_t EndOfQuotedValue(const std::string& s, size_t valueStart, size_t entryEnd) {
    while (valueStart < s.size() && s[valueStart] == ' ') ++valueStart;
    if (valueStart >= s.size() || entryEnd == std::string::npos) return entryEnd;
    char open = s[valueStart];
    char close = open == '{' ? '}' : open;
    if (open != '"' && open != '\'' && open != '{') return entryEnd;
    size_t i = valueStart + 1;
    while (i < s.size()) {
        if (s[i] == close) {
            if (i + 1 < s.size() && s[i + 1] == close) {  // doubled: part of the value
                i += 2;
                continue;
            }
            break;
        }
        ++i;
    }
    if (i >= s.size()) return std::string::npos;  // unterminated: the rest is the value
    return s.find(';', i);
}
}  // namespace

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
                    // A quoted or braced password may hold ";": the mask
                    // takes the whole value, so no part of it is shown.
                    end = EndOfQuotedValue(strConnStringIn, start + ado::ToLower(entry).find(key) + strlen(key), end);
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
