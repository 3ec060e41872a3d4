#pragma once
// What a "Provider=MariaDB" (or MySQL) connection string asks of the native
// engine.  Entries:
//   Data Source / Server       host, or host:port ([v6 address]:port)
//   Port                       TCP port (3306 when none is given)
//   Initial Catalog / Database the default database
//   User ID / UID / User, Password / PWD
//   Socket                     a Unix socket path, used instead of TCP
//   Connect Timeout / Connection Timeout   seconds (15 when none is given)
//   SSL Mode                   Disabled (the default), Required, or VerifyFull
//                              (Required and the server's certificate and name checked)
//   SSL CA                     the certificate file that VerifyFull trusts
//   Persist Security Info, Charset / Character Set   accepted and ignored: text
//                              always travels as utf8mb4
// Any other entry fails, naming it, before anything connects.

#include <cstdint>
#include <string>
#include <vector>

#include "ado/ConnectionString.h"

namespace qarn::ado::mariadb {

enum class SslMode { Disabled, Required, VerifyFull };

struct Options {
    std::string host;
    unsigned int port = 0;  // 0: the library's default
    std::string database, user, password, socket;
    unsigned int connectTimeoutSeconds = 15;
    SslMode sslMode = SslMode::Disabled;
    std::string sslCa;
};

// Raises a provider error naming the entry that is unknown or malformed.
Options ReadOptions(const std::vector<ConnectionEntry>& entries);

}  // namespace qarn::ado::mariadb
