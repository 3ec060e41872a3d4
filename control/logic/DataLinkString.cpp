#include "logic/DataLinkString.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

namespace qarn::control {

namespace {

using ado::ConnectionEntry;
using Keys = std::initializer_list<std::string_view>;
using Provider = DataLinkProvider;

// The Provider entry of a new string, indexed by provider.
constexpr const char* kTokens[] = {"SQLite",   "Microsoft.Jet.OLEDB.4.0", "SQLOLEDB.1", "PostgreSQL", "MariaDB",
                                   "MSDASQL.1"};

// The keys a field reads are the provider table's own, so a field shows what
// the engine would use; the first is the one written.
const Keys kSqliteFileKeys = {"Data Source", "Database"};
const Keys kJetFileKeys = {"Data Source"};
const Keys kServerKeys = {"Data Source", "Server"};
const Keys kPortKeys = {"Port"};
const Keys kDatabaseKeys = {"Initial Catalog", "Database"};
const Keys kUserKeys = {"User ID", "UID", "User"};
const Keys kPasswordKeys = {"Password", "PWD"};

// As the provider table decides which entry names the provider.
bool IsProviderKey(std::string_view key) {
    return text::ContainsNoCase(key, "PROVIDER");
}

bool NamesProvider(const std::vector<ConnectionEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const ConnectionEntry& e) { return IsProviderKey(e.key); });
}

// The dialog's provider for a Provider entry; none for one the table does not know.
std::optional<Provider> ProviderNamed(std::string_view token) {
    using text::EqualsNoCase;
    using text::StartsWithNoCase;
    if (StartsWithNoCase(token, "SQLOLEDB") || StartsWithNoCase(token, "SQLNCLI") ||
        StartsWithNoCase(token, "MSOLEDBSQL"))
        return Provider::SqlServer;
    if (StartsWithNoCase(token, "Microsoft.Jet.OLEDB") || StartsWithNoCase(token, "Microsoft.ACE.OLEDB"))
        return Provider::Access;
    if (StartsWithNoCase(token, "MSDASQL")) return Provider::Odbc;
    if (EqualsNoCase(token, "SQLite")) return Provider::Sqlite;
    if (EqualsNoCase(token, "PostgreSQL")) return Provider::PostgreSql;
    if (EqualsNoCase(token, "MariaDB") || EqualsNoCase(token, "MySQL")) return Provider::MariaDb;
    return std::nullopt;
}

// Removes every entry keyed by one of `keys`; returns the value the engine
// would have used (the first one's).
std::string Take(std::vector<ConnectionEntry>& entries, Keys keys) {
    std::string value = ado::EntryValue(entries, keys);
    std::erase_if(entries, [&](const ConnectionEntry& e) {
        return std::any_of(keys.begin(), keys.end(), [&](std::string_view k) { return text::EqualsNoCase(e.key, k); });
    });
    return value;
}

// The free connection string as typed, without blanks or separators at its ends.
std::string FreeText(const std::string& text) {
    size_t b = text.find_first_not_of(" \t;"), e = text.find_last_not_of(" \t;");
    return b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
}

class EntryWriter {
public:
    // An empty value is left out.
    void Add(std::string_view key, std::string_view value) {
        if (!value.empty()) AddAlways(key, value);
    }
    void AddAlways(std::string_view key, std::string_view value) {
        AddText(std::string(key) + "=" + ado::OdbcQuote(value));
    }
    // ODBC writes driver names in braces.
    void AddBraced(std::string_view key, std::string_view value) {
        if (!value.empty()) AddText(std::string(key) + "=" + ado::OdbcBraced(value));
    }
    void AddEntries(const std::vector<ConnectionEntry>& entries) {
        for (const auto& e : entries) AddAlways(e.key, e.value);
    }
    // A user with an empty password logs in with just that, so the empty
    // password is written whenever a user is named.
    void AddLogin(std::string_view userKey, std::string_view user, std::string_view passwordKey,
                  std::string_view password) {
        Add(userKey, user);
        if (!user.empty() || !password.empty()) AddAlways(passwordKey, password);
    }
    void AddText(std::string_view text) {
        if (text.empty()) return;
        if (!text_.empty()) text_.push_back(';');
        text_.append(text);
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

}  // namespace

DataLinkForm FormOf(DataLinkProvider provider) {
    switch (provider) {
        case Provider::Sqlite:
        case Provider::Access: return DataLinkForm::File;
        case Provider::Odbc: return DataLinkForm::Odbc;
        default: return DataLinkForm::Server;
    }
}

DataLinkFields ReadDataLink(const std::string& connectionString) {
    DataLinkFields f;
    auto entries = ado::ParseConnectionString(connectionString);
    if (entries.empty()) return f;  // nothing to edit: as a new string
    std::optional<std::string> token;
    if (auto p =
            std::find_if(entries.begin(), entries.end(), [](const ConnectionEntry& e) { return IsProviderKey(e.key); });
        p != entries.end()) {
        token = p->value;
        entries.erase(p);
    }
    const std::optional<Provider> provider = token ? ProviderNamed(*token) : Provider::Odbc;
    if (!provider) {
        // The string names its own provider, so it is written back as it stands.
        f.provider = Provider::Odbc;
        f.odbcString = std::string(text::Trim(connectionString));
        return f;
    }
    f.provider = *provider;
    switch (FormOf(*provider)) {
        case DataLinkForm::File:
            f.file = Take(entries, *provider == Provider::Sqlite ? kSqliteFileKeys : kJetFileKeys);
            break;
        case DataLinkForm::Server: {
            f.server = Take(entries, kServerKeys);
            f.port = Take(entries, kPortKeys);
            // SQL Server names its port in the data source, and that one wins.
            if (size_t comma = f.server.find(','); *provider == Provider::SqlServer && comma != std::string::npos) {
                f.port = std::string(text::Trim(std::string_view(f.server).substr(comma + 1)));
                f.server = std::string(text::Trim(std::string_view(f.server).substr(0, comma)));
            }
            f.database = Take(entries, kDatabaseKeys);
            f.user = Take(entries, kUserKeys);
            f.password = Take(entries, kPasswordKeys);
            break;
        }
        case DataLinkForm::Odbc: {
            f.dataSource = Take(entries, {"DSN"});
            f.driver = Take(entries, {"Driver"});
            f.user = Take(entries, {"UID"});
            f.password = Take(entries, {"PWD"});
            EntryWriter rest;
            rest.AddEntries(entries);
            f.odbcString = rest.Text();
            entries.clear();
            break;
        }
    }
    f.loadedProvider = provider;
    f.loadedToken = token;
    f.extras = std::move(entries);
    return f;
}

std::string WriteDataLink(const DataLinkFields& f) {
    const Provider provider = f.provider;
    const std::optional<std::string> token =
        f.loadedProvider == provider ? f.loadedToken : std::optional<std::string>(kTokens[static_cast<int>(provider)]);
    EntryWriter out;
    switch (FormOf(provider)) {
        case DataLinkForm::File:
            out.Add("Provider", token.value_or(""));
            out.Add("Data Source", f.file);
            break;
        case DataLinkForm::Server: {
            std::string server = f.server, port = f.port;
            if (provider == Provider::SqlServer && !port.empty()) {
                server += "," + port;
                port.clear();
            }
            out.Add("Provider", token.value_or(""));
            out.Add("Data Source", server);
            out.Add("Port", port);
            out.Add("Initial Catalog", f.database);
            out.AddLogin("User ID", f.user, "Password", f.password);
            break;
        }
        case DataLinkForm::Odbc: {
            const std::string free = FreeText(f.odbcString);
            // A typed string that names a provider chooses it itself.
            if (!NamesProvider(ado::ParseConnectionString(free))) out.Add("Provider", token.value_or(""));
            out.Add("DSN", f.dataSource);
            out.AddBraced("Driver", f.driver);
            out.AddText(free);
            out.AddLogin("UID", f.user, "PWD", f.password);
            break;
        }
    }
    if (f.loadedProvider == provider) out.AddEntries(f.extras);
    return out.Text();
}

}  // namespace qarn::control
