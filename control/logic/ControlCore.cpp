#include "ControlCore.h"

#include "ado/ConnectionString.h"
#include "basErrorHandlerADO.h"
#include "basSQLGenComp.h"
#include "textfile/DataLinkFile.h"

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
            mstrReturnMessage = textfile::DataLinkPathFault(UDLFileName);
            if (!mstrReturnMessage.empty()) {
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
// Whether `s` may hold a password entry: any "pwd" or "password" at all.
// Allocates nothing, so it can answer after a failure.
bool MayHoldPassword(std::string_view s) {
    auto at = [&](size_t i, std::string_view word) {
        if (s.size() - i < word.size()) return false;
        for (size_t k = 0; k < word.size(); ++k)
            if ((s[i + k] | 0x20) != word[k]) return false;
        return true;
    };
    for (size_t i = 0; i < s.size(); ++i)
        if (at(i, "pwd") || at(i, "password")) return true;
    return false;
}
}  // namespace

std::string ConnectionStringForDisplay(const std::string& strConnStringIn) {
    try {
        return ado::MaskPasswords(strConnStringIn);
    } catch (...) {
        // Shown unmasked only when there is nothing to mask.
        if (MayHoldPassword(strConnStringIn)) return "**********";
        return strConnStringIn;
    }
}

}  // namespace qarn::control
