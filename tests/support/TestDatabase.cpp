#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qarn::test {
namespace fs = std::filesystem;

namespace {
struct Scratch {
    std::string dir = (fs::temp_directory_path() / "qarn-test-XXXXXX").string();
    Scratch() {
        if (!mkdtemp(dir.data())) std::abort();
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

// An open database that is closed on every way out.
struct Sqlite {
    sqlite3* db = nullptr;
    Sqlite(const std::string& path, int flags) {
        if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK)
            ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(db);
    }
    ~Sqlite() { sqlite3_close(db); }
};
}  // namespace

const std::string& ScratchDir() {
    static Scratch scratch;
    return scratch.dir;
}

std::string ScratchPath(const std::string& name) {
    static int counter = 0;
    return ScratchDir() + "/" + std::to_string(++counter) + "-" + name;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string MakeSqliteDatabase(const std::string& sql, const std::string& path) {
    const std::string file = path.empty() ? ScratchPath("db.sqlite") : path;
    Sqlite s(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    char* message = nullptr;
    if (s.db && sqlite3_exec(s.db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK)
        ADD_FAILURE() << "cannot make the SQLite database: " << (message ? message : "");
    sqlite3_free(message);
    return file;
}

std::vector<std::string> SqliteRows(const std::string& path, const std::string& select) {
    std::vector<std::string> rows;
    Sqlite s(path, SQLITE_OPEN_READONLY);
    sqlite3_stmt* stmt = nullptr;
    if (s.db && sqlite3_prepare_v2(s.db, select.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot read " << path << ": " << sqlite3_errmsg(s.db);
    while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            char real[40];
            switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_NULL: row += "null"; break;
                case SQLITE_INTEGER: row += "int:" + std::to_string(sqlite3_column_int64(stmt, i)); break;
                case SQLITE_FLOAT:
                    std::snprintf(real, sizeof real, "%.17g", sqlite3_column_double(stmt, i));
                    row += std::string("real:") + real;
                    break;
                case SQLITE_BLOB: {
                    const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(stmt, i));
                    row += "blob:";
                    for (int b = 0; b < sqlite3_column_bytes(stmt, i); ++b) row += std::to_string(bytes[b]) + ",";
                    break;
                }
                default: row += "text:" + std::string(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
            }
            row += '|';
        }
        rows.push_back(row);
    }
    sqlite3_finalize(stmt);
    return rows;
}

}  // namespace qarn::test
