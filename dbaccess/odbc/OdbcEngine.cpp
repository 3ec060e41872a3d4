#include "odbc/OdbcEngine.h"

#include <iterator>
#include <utility>

#include "odbc/OdbcConnection.h"
#include "odbc/OdbcHandles.h"
#include "odbc/OdbcText.h"

namespace qarn::ado {

namespace {
// Lists what SQLDataSources or SQLDrivers enumerate.
template <typename Enumerate>
std::vector<std::string> EnumerateNames(Enumerate next, const char* what) {
    auto env = odbc::Environment::Shared();
    std::vector<std::string> names;
    SQLWCHAR name[512];
    SQLWCHAR description[1024];
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        SQLRETURN rc = next(env->Get(), direction, name, static_cast<SQLSMALLINT>(std::size(name)), &nameLength,
                            description, static_cast<SQLSMALLINT>(std::size(description)), &descriptionLength);
        if (rc == SQL_NO_DATA) break;
        env->Check(rc, what);
        names.push_back(odbc::FromBuffer(name, std::size(name), nameLength));
    }
    return names;
}
}  // namespace

std::shared_ptr<EngineConnection> OpenOdbc(const std::string& odbcConnectionString) {
    auto connection = std::make_shared<odbc::Connection>();
    connection->Connect(odbcConnectionString, odbc::kLoginTimeoutSeconds);
    return std::make_shared<odbc::OdbcConnection>(std::move(connection), odbcConnectionString);
}

std::vector<std::string> OdbcDataSources() {
    return EnumerateNames(SQLDataSourcesW, "SQLDataSources");
}

std::vector<std::string> OdbcDrivers() {
    return EnumerateNames(SQLDriversW, "SQLDrivers");
}

}  // namespace qarn::ado
