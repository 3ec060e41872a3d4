#include "ado/ProviderTable.h"

#include <cstring>
#include <fstream>
#include <string_view>

#include "ado/AdoError.h"
#include "ado/ConnectionString.h"
#include "textfile/TextFile.h"

namespace qarn::ado {

namespace {

constexpr std::string_view kSqlServerDriver = "FreeTDS";
constexpr std::string_view kAccessDriver = "MDBTools";

bool IsProviderKey(std::string_view key) {
    return ContainsNoCase(key, "PROVIDER");
}

// Builds an ODBC connection string from translated and passed-through entries.
class OdbcStringBuilder {
public:
    OdbcStringBuilder& Add(std::string_view key, std::string_view value, bool braced = false) {
        if (value.empty() && !braced) return *this;
        if (!text_.empty()) text_.push_back(';');
        text_.append(key);
        text_.push_back('=');
        if (braced) {
            text_.push_back('{');
            text_.append(value);
            text_.push_back('}');
        } else {
            text_.append(OdbcQuote(value));
        }
        return *this;
    }
    // Every entry of `entries` whose key is none of `translated` and not the provider.
    OdbcStringBuilder& PassThrough(const std::vector<ConnectionEntry>& entries,
                                   std::initializer_list<std::string_view> translated) {
        for (const auto& e : entries) {
            if (IsProviderKey(e.key)) continue;
            bool skip = false;
            for (auto t : translated) skip = skip || EqualsNoCase(e.key, t);
            if (!skip) Add(e.key, e.value, EqualsNoCase(e.key, "Driver"));
        }
        return *this;
    }
    std::string Text() const { return text_; }

private:
    std::string text_;
};

struct ServerEntries {
    std::string server, port, database, user, password;
};

ServerEntries ReadServerEntries(const std::vector<ConnectionEntry>& entries) {
    ServerEntries s;
    s.server = EntryValue(entries, {"Data Source", "Server"});
    s.port = EntryValue(entries, {"Port"});
    s.database = EntryValue(entries, {"Initial Catalog", "Database"});
    s.user = EntryValue(entries, {"User ID", "UID", "User"});
    s.password = EntryValue(entries, {"Password", "PWD"});
    return s;
}

ProviderRoute SqlServerRoute(const std::vector<ConnectionEntry>& entries) {
    ServerEntries s = ReadServerEntries(entries);
    // "host,port" names a port; "host\instance" is understood by FreeTDS as it is.
    std::string host = s.server, port = s.port;
    if (auto comma = host.find(','); comma != std::string::npos) {
        port = std::string(Trim(host.substr(comma + 1)));
        host = std::string(Trim(host.substr(0, comma)));
    }
    OdbcStringBuilder b;
    b.Add("Driver", kSqlServerDriver, true).Add("Server", host).Add("Port", port).Add("Database", s.database);
    b.Add("UID", s.user).Add("PWD", s.password).Add("ClientCharset", "UTF-8");
    return {ProviderRoute::Engine::Odbc,
            b.PassThrough(entries,
                          {"Data Source", "Server", "Port", "Initial Catalog", "Database", "User ID", "UID", "Password",
                           "PWD", "Persist Security Info", "Integrated Security", "Trusted_Connection"})
                .Text()};
}

bool IsSqliteFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[16] = {};
    in.read(head, sizeof head);
    return in.gcount() == 16 && std::memcmp(head, "SQLite format 3", 16) == 0;
}

ProviderRoute JetRoute(const std::vector<ConnectionEntry>& entries) {
    std::string file = EntryValue(entries, {"Data Source"});
    if (!textfile::FileExists(file))
        throw ProviderError({{err::ProviderFailure, "Could not find file '" + file + "'.", "HY000"}});
    // An Access file is read through the MDBTools driver; the sample and
    // other SQLite files behind a Jet connection string open natively.
    if (IsSqliteFile(file)) return {ProviderRoute::Engine::Sqlite, file};
    OdbcStringBuilder b;
    b.Add("Driver", kAccessDriver, true).Add("DBQ", file);
    return {ProviderRoute::Engine::Odbc, b.Text()};
}

ProviderRoute SqliteRoute(const std::vector<ConnectionEntry>& entries) {
    std::string file = EntryValue(entries, {"Data Source", "Database"});
    if (file.empty())
        throw ProviderError({{err::ProviderFailure,
                              "The SQLite provider needs a Data Source entry naming the database file.", "HY000"}});
    return {ProviderRoute::Engine::Sqlite, file};
}

ProviderRoute PassThroughRoute(const std::vector<ConnectionEntry>& entries) {
    return {ProviderRoute::Engine::Odbc, OdbcStringBuilder().PassThrough(entries, {}).Text()};
}

}  // namespace

ProviderRoute RouteConnectionString(const std::string& connectionString) {
    auto entries = ParseConnectionString(connectionString);
    const ConnectionEntry* provider = nullptr;
    for (const auto& e : entries)
        if (IsProviderKey(e.key)) {
            provider = &e;
            break;
        }
    if (!provider) return PassThroughRoute(entries);

    const std::string& p = provider->value;
    if (StartsWithNoCase(p, "SQLOLEDB") || StartsWithNoCase(p, "SQLNCLI") || StartsWithNoCase(p, "MSOLEDBSQL"))
        return SqlServerRoute(entries);
    if (StartsWithNoCase(p, "Microsoft.Jet.OLEDB") || StartsWithNoCase(p, "Microsoft.ACE.OLEDB"))
        return JetRoute(entries);
    if (StartsWithNoCase(p, "MSDASQL")) return PassThroughRoute(entries);
    if (EqualsNoCase(p, "SQLite")) return SqliteRoute(entries);
    if (EqualsNoCase(p, "PostgreSQL")) return {ProviderRoute::Engine::Postgres, connectionString};
    if (EqualsNoCase(p, "MySQL") || EqualsNoCase(p, "MariaDB"))
        return {ProviderRoute::Engine::MariaDb, connectionString};
    throw AdoError(err::ProviderNotFound);
}

}  // namespace qarn::ado
