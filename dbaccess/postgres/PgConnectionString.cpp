#include "postgres/PgConnectionString.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <set>
#include <string_view>

#include "ado/ConnectionString.h"
#include "postgres/PgErrors.h"
#include "postgres/PgHandles.h"
#include "text/TextNumbers.h"

namespace qarn::ado::postgres {

namespace {

// Long enough for a server that is down but still routed, short enough
// that nobody waits on a dead host.
constexpr const char* kConnectTimeoutSeconds = "15";

[[noreturn]] void Refuse(std::string description) {
    Raise(state::General, std::move(description));
}

// libpq's connection keywords, as this libpq knows them.
const std::set<std::string>& LibpqKeywords() {
    static const std::set<std::string> keywords = [] {
        std::set<std::string> names;
        ConninfoHandle defaults(PQconndefaults());
        for (const PQconninfoOption* o = defaults.get(); o && o->keyword; ++o) names.insert(o->keyword);
        return names;
    }();
    return keywords;
}

struct Alias {
    std::string_view entry;
    std::string_view keyword;
};

// The provider's own entries and the libpq keyword each one gives.
constexpr Alias kAliases[] = {
    {"Data Source", "host"},
    {"Server", "host"},
    {"Port", "port"},
    {"Initial Catalog", "dbname"},
    {"Database", "dbname"},
    {"User ID", "user"},
    {"UID", "user"},
    {"User", "user"},
    {"Password", "password"},
    {"PWD", "password"},
    {"Target Session Attrs", "target_session_attrs"},
};

constexpr std::string_view kSessionAttrs[] = {"any", "read-write", "read-only", "primary", "standby", "prefer-standby"};

std::vector<std::string_view> Split(std::string_view text) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        size_t comma = text.find(',', start);
        parts.push_back(
            Trim(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

std::string CheckedPort(std::string_view port, std::string_view entry) {
    unsigned number = 0;
    if (!text::ReadWholeNumber(port, number) || number < 1 || number > 65535)
        Refuse("The connection string entry '" + std::string(entry) + "' names the port '" + std::string(port) +
               "', which is no port number (1 to 65535)");
    return std::string(port);
}

struct Host {
    std::string name, port;
};

// "h", "h:port", "[v6]", "[v6]:port", "v6", "/socket/folder".
Host ParseHost(std::string_view item, std::string_view entry) {
    const std::string entryName(entry);
    if (item.empty()) Refuse("The connection string entry '" + entryName + "' holds an empty host name");
    if (item.front() == '[') {
        size_t close = item.find(']');
        if (close == std::string_view::npos || close == 1)
            Refuse("The connection string entry '" + entryName +
                   "' holds an unclosed or empty [address]: " + std::string(item));
        Host h{std::string(item.substr(1, close - 1)), {}};
        std::string_view rest = item.substr(close + 1);
        if (rest.empty()) return h;
        if (rest.front() != ':')
            Refuse("The connection string entry '" + entryName +
                   "' holds text after an [address]: " + std::string(item));
        h.port = CheckedPort(rest.substr(1), entry);
        return h;
    }
    size_t colon = item.find(':');
    if (item.front() == '/' || colon == std::string_view::npos || item.find(':', colon + 1) != std::string_view::npos)
        return {std::string(item), {}};
    return {std::string(Trim(item.substr(0, colon))), CheckedPort(Trim(item.substr(colon + 1)), entry)};
}

// host and port values for libpq: one port per host, or none when no host
// names one and Port is not given.
void TranslateHosts(const ConnectionEntry* server, const ConnectionEntry* port, std::vector<ConninfoEntry>& out) {
    std::vector<std::string> ports;
    if (port) {
        for (std::string_view p : Split(port->value)) ports.push_back(CheckedPort(p, port->key));
    }
    if (!server || Trim(server->value).empty()) {
        if (port) out.push_back({"port", port->value});
        return;
    }
    std::vector<Host> hosts;
    for (std::string_view item : Split(server->value)) hosts.push_back(ParseHost(item, server->key));
    if (ports.size() > 1 && ports.size() != hosts.size())
        Refuse("The connection string names " + std::to_string(hosts.size()) + " hosts but " +
               std::to_string(ports.size()) + " ports in '" + port->key + "'");
    std::string hostList, portList;
    bool anyPort = false;
    for (size_t i = 0; i < hosts.size(); ++i) {
        std::string p = !hosts[i].port.empty() ? hosts[i].port
                        : ports.empty()        ? std::string()
                                               : ports[ports.size() > 1 ? i : 0];
        anyPort = anyPort || !p.empty();
        hostList += (i ? "," : "") + hosts[i].name;
        portList += (i ? "," : "") + p;
    }
    out.push_back({"host", hostList});
    if (anyPort) out.push_back({"port", portList});
}

std::string_view KeywordOfAlias(std::string_view key) {
    for (const Alias& a : kAliases)
        if (EqualsNoCase(a.entry, key)) return a.keyword;
    return {};
}

}  // namespace

std::vector<ConninfoEntry> TranslateConnectionString(const std::string& connectionString) {
    std::vector<ConnectionEntry> entries = ParseConnectionString(connectionString);
    std::vector<ConninfoEntry> out;
    const ConnectionEntry* server = nullptr;
    const ConnectionEntry* port = nullptr;
    // Which entry gave each keyword, to refuse a second one.
    std::vector<std::pair<std::string, std::string>> given;
    auto claim = [&](const std::string& keyword, const std::string& entry) {
        for (const auto& [k, e] : given)
            if (k == keyword)
                Refuse("The connection string gives '" + keyword + "' twice: in '" + e + "' and in '" + entry + "'");
        given.emplace_back(keyword, entry);
    };

    for (const ConnectionEntry& e : entries) {
        if (EqualsNoCase(e.key, "Provider") || EqualsNoCase(e.key, "Persist Security Info")) continue;
        std::string keyword(KeywordOfAlias(e.key));
        if (keyword.empty()) {
            keyword = ToLower(e.key);
            if (!LibpqKeywords().count(keyword))
                Refuse("The connection string entry '" + e.key +
                       "' is neither an entry of the PostgreSQL provider nor a libpq connection keyword");
            if (keyword == "replication")
                Refuse("The connection string entry '" + e.key +
                       "' asks for a replication connection, which runs no SQL");
            if (keyword == "client_encoding" && !EqualsNoCase(e.value, "UTF8") && !EqualsNoCase(e.value, "UTF-8"))
                Refuse("The connection string entry '" + e.key + "' asks for the encoding " + e.value +
                       "; the PostgreSQL provider reads every text as UTF-8");
        }
        claim(keyword, e.key);
        if (keyword == "host") {
            server = &e;
        } else if (keyword == "port") {
            port = &e;
        } else if (keyword == "target_session_attrs") {
            std::string value = ToLower(Trim(e.value));
            if (std::find(std::begin(kSessionAttrs), std::end(kSessionAttrs), value) == std::end(kSessionAttrs))
                Refuse("The connection string entry '" + e.key + "' holds '" + e.value +
                       "'; it takes any, read-write, read-only, primary, standby or prefer-standby");
            out.push_back({keyword, value});
        } else if (keyword != "client_encoding") {
            out.push_back({keyword, e.value});
        }
    }
    TranslateHosts(server, port, out);
    if (std::none_of(out.begin(), out.end(), [](const ConninfoEntry& c) { return c.keyword == "connect_timeout"; }))
        out.push_back({"connect_timeout", kConnectTimeoutSeconds});
    out.push_back({"client_encoding", "UTF8"});
    return out;
}

}  // namespace qarn::ado::postgres
