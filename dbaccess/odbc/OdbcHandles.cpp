#include "odbc/OdbcHandles.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>

namespace qarn::ado::odbc {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

size_t PutUtf8(char* out, char32_t c) {
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

// Decodes one UTF-8 sequence at `pos`; a broken one yields U+FFFD and skips
// a single byte.
char32_t NextCodePoint(std::string_view s, size_t& pos) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t len = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
    if (len == 0 || pos + len > s.size()) {
        ++pos;
        return kReplacement;
    }
    char32_t c = lead & (0x7F >> len);
    for (size_t i = 1; i < len; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            ++pos;
            return kReplacement;
        }
        c = (c << 6) | (byte(pos + i) & 0x3F);
    }
    constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++pos;
        return kReplacement;
    }
    pos += len;
    return c;
}

constexpr SQLSMALLINT kMessageChars = 1024;
}  // namespace

void AppendUtf8(std::string& out, const SQLWCHAR* text, size_t units) {
    size_t at = out.size();
    out.resize(at + units * 3);  // a UTF-16 unit never takes more than three bytes
    char* p = out.data() + at;
    for (size_t i = 0; i < units; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *p++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        p += PutUtf8(p, c);
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

std::string ToUtf8(const SQLWCHAR* text, size_t units) {
    std::string out;
    AppendUtf8(out, text, units);
    return out;
}

std::string FromBuffer(const SQLWCHAR* buffer, size_t capacity, SQLLEN units) {
    // MDBTools counts the terminator in the length it reports.
    size_t length = std::min(static_cast<size_t>(std::max<SQLLEN>(units, 0)), capacity - 1);
    return ToUtf8(buffer, static_cast<size_t>(std::find(buffer, buffer + length, SQLWCHAR{0}) - buffer));
}

void ToUtf16(std::string_view text, std::vector<SQLWCHAR>& out) {
    out.clear();
    out.reserve(text.size() + 1);
    for (size_t pos = 0; pos < text.size();) {
        char32_t c = NextCodePoint(text, pos);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<SQLWCHAR>(0xD800 + (c >> 10)));
            out.push_back(static_cast<SQLWCHAR>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<SQLWCHAR>(c));
        }
    }
    out.push_back(0);
}

std::vector<SQLWCHAR> ToUtf16(std::string_view text) {
    std::vector<SQLWCHAR> out;
    ToUtf16(text, out);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && ToLower(a) == ToLower(b);
}

std::string ToLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<ErrorRecord> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<ErrorRecord> records;
    if (handle == SQL_NULL_HANDLE) return records;
    std::vector<SQLWCHAR> message(kMessageChars);
    for (SQLSMALLINT i = 1;; ++i) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                      static_cast<SQLSMALLINT>(message.size()), &length);
        if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<size_t>(length) + 1);
            rc = SQLGetDiagRecW(handleType, handle, i, state, &native, message.data(),
                                static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(rc)) break;
        records.push_back({native, FromBuffer(message.data(), message.size(), length), ToUtf8(state, 5)});
    }
    return records;
}

void RaiseDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, const char* what) {
    std::vector<ErrorRecord> records = ReadDiagnostics(handleType, handle);
    if (records.empty()) records.push_back({0, std::string(what) + " failed without a diagnostic record", "HY000"});
    throw ProviderError(std::move(records));
}

std::shared_ptr<Environment> Environment::Shared() {
    static const std::shared_ptr<Environment> shared = std::make_shared<Environment>();
    return shared;
}

Environment::Environment() : handle_(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    Check(SQLSetEnvAttr(Get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
          "SQLSetEnvAttr");
}

Connection::Connection() : env_(Environment::Shared()), handle_(SQL_HANDLE_ENV, env_->Get()) {}

Connection::~Connection() { Close(); }

void Connection::Connect(std::string_view connectionString, SQLUINTEGER loginTimeoutSeconds) {
    Check(SQLSetConnectAttrW(Get(), SQL_ATTR_LOGIN_TIMEOUT,
                             reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(loginTimeoutSeconds)), 0),
          "SQLSetConnectAttr");
    std::vector<SQLWCHAR> text = ToUtf16(connectionString);
    SQLSMALLINT outLength = 0;
    Check(SQLDriverConnectW(Get(), nullptr, text.data(), SQL_NTS, nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT),
          "SQLDriverConnect");
    connected_ = true;
}

void Connection::Close() {
    // Freeing a statement unregisters it, so work from a copy.
    std::vector<Statement*> open = statements_;
    for (Statement* s : open) s->Free();
    // A transaction still open keeps the driver from disconnecting: it is
    // rolled back, as closing a connection does.
    if (connected_ && !SQL_SUCCEEDED(SQLDisconnect(Get()))) {
        SQLEndTran(SQL_HANDLE_DBC, Get(), SQL_ROLLBACK);
        SQLDisconnect(Get());
    }
    connected_ = false;
    handle_.Reset();
}

SQLHDBC Connection::OpenHandle() const {
    if (!connected_) throw AdoError(err::ObjectClosed);
    return Get();
}

std::optional<std::string> Connection::TryInfoText(SQLUSMALLINT item) const {
    std::vector<SQLWCHAR> buffer(256);
    SQLSMALLINT bytes = 0;
    SQLHDBC handle = OpenHandle();
    auto get = [&] {
        return SQLGetInfoW(handle, item, buffer.data(), static_cast<SQLSMALLINT>(buffer.size() * sizeof(SQLWCHAR)),
                           &bytes);
    };
    SQLRETURN rc = get();
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<size_t>(bytes) >= buffer.size() * sizeof(SQLWCHAR)) {
        buffer.resize(static_cast<size_t>(bytes) / sizeof(SQLWCHAR) + 1);
        rc = get();
    }
    if (!SQL_SUCCEEDED(rc)) return std::nullopt;
    return FromBuffer(buffer.data(), buffer.size(), bytes / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)));
}

std::string Connection::InfoText(SQLUSMALLINT item) const {
    std::optional<std::string> text = TryInfoText(item);
    if (!text) handle_.Raise("SQLGetInfo");
    return *text;
}

Statement::Statement(std::shared_ptr<Connection> connection)
    : connection_(std::move(connection)), handle_(SQL_HANDLE_DBC, connection_->OpenHandle()) {
    connection_->statements_.push_back(this);
}

Statement::~Statement() { Free(); }

void Statement::Free() {
    if (!handle_) return;
    handle_.Reset();
    auto& list = connection_->statements_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

}  // namespace qarn::ado::odbc
