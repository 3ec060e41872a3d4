#include "mariadb/MariaDbOptions.h"

#include <charconv>
#include <string_view>

#include "mariadb/MariaDbHandles.h"
#include "text/TextNumbers.h"

namespace qarn::ado::mariadb {

namespace {

constexpr std::string_view kHostKeys[] = {"Data Source", "Server"};
constexpr std::string_view kKnownKeys[] = {"Provider",
                                           "Data Source",
                                           "Server",
                                           "Port",
                                           "Initial Catalog",
                                           "Database",
                                           "User ID",
                                           "UID",
                                           "User",
                                           "Password",
                                           "PWD",
                                           "Persist Security Info",
                                           "Charset",
                                           "Character Set",
                                           "Socket",
                                           "Connect Timeout",
                                           "Connection Timeout",
                                           "SSL Mode",
                                           "SSL CA"};

bool IsKnown(std::string_view key) {
    for (std::string_view k : kKnownKeys)
        if (EqualsNoCase(key, k)) return true;
    return false;
}

unsigned int ReadNumber(std::string_view text, std::string_view what, unsigned int low, unsigned int high) {
    text = Trim(text);
    unsigned int n = 0;
    if (!text::ReadWholeNumber(text, n) || n < low || n > high)
        Raise("The MariaDB provider cannot read " + std::string(what) + " '" + std::string(text) +
              "': a whole number from " + std::to_string(low) + " to " + std::to_string(high) + " is needed.");
    return n;
}

unsigned int ReadPort(std::string_view text) {
    return ReadNumber(text, "the port", 1, 65535);
}

// "host", "host:port", "[v6 address]" or "[v6 address]:port"; a bare v6
// address (several colons) names no port.
void ReadHost(std::string_view text, Options& o) {
    text = Trim(text);
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        size_t close = text.find(']');
        if (close == std::string_view::npos)
            Raise("The MariaDB provider cannot read the server '" + std::string(text) + "'.");
        std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':')
            Raise("The MariaDB provider cannot read the server '" + std::string(text) + "'.");
        if (!rest.empty()) port = rest.substr(1);
        text = text.substr(1, close - 1);
    } else if (size_t colon = text.find(':');
               colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
        port = text.substr(colon + 1);
        text = text.substr(0, colon);
    }
    o.host = std::string(text);
    if (!port.empty()) o.port = ReadPort(port);
}

SslMode ReadSslMode(std::string_view text) {
    text = Trim(text);
    if (text.empty() || EqualsNoCase(text, "Disabled") || EqualsNoCase(text, "None")) return SslMode::Disabled;
    if (EqualsNoCase(text, "Required")) return SslMode::Required;
    if (EqualsNoCase(text, "VerifyFull")) return SslMode::VerifyFull;
    Raise("The MariaDB provider knows no SSL Mode '" + std::string(text) + "' (Disabled, Required or VerifyFull).");
}

}  // namespace

Options ReadOptions(const std::vector<ConnectionEntry>& entries) {
    for (const ConnectionEntry& e : entries)
        if (!IsKnown(e.key)) Raise("The MariaDB provider does not know the connection string entry '" + e.key + "'.");

    Options o;
    ReadHost(EntryValue(entries, {kHostKeys[0], kHostKeys[1]}), o);
    if (std::string port = EntryValue(entries, {"Port"}); !Trim(port).empty()) {
        unsigned int n = ReadPort(port);
        if (o.port != 0 && o.port != n)
            Raise("The MariaDB connection string names two ports: " + std::to_string(o.port) + " in the server and " +
                  std::to_string(n) + " in Port.");
        o.port = n;
    }
    o.database = EntryValue(entries, {"Initial Catalog", "Database"});
    o.user = EntryValue(entries, {"User ID", "UID", "User"});
    o.password = EntryValue(entries, {"Password", "PWD"});
    o.socket = EntryValue(entries, {"Socket"});
    if (std::string t = EntryValue(entries, {"Connect Timeout", "Connection Timeout"}); !Trim(t).empty())
        o.connectTimeoutSeconds = ReadNumber(t, "the connect timeout", 1, 3600);
    o.sslMode = ReadSslMode(EntryValue(entries, {"SSL Mode"}));
    o.sslCa = EntryValue(entries, {"SSL CA"});
    if (!o.sslCa.empty() && o.sslMode != SslMode::VerifyFull)
        Raise("The MariaDB connection string names an SSL CA but not SSL Mode=VerifyFull, which alone uses it.");
    return o;
}

}  // namespace qarn::ado::mariadb
