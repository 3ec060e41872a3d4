#pragma once
// RAII owners for the two SQLite handles.
//
// A database handle is closed with sqlite3_close_v2, which never fails: if a
// statement were still open the handle would linger until that statement is
// finalized, so no order of destruction can leak or crash.  The engine still
// finalizes its statements first (see SqliteEngine.cpp).
//
// sqlite3_open_v2 hands out a handle even when opening fails; it must be
// closed all the same, which DbHandle does.

#include <sqlite3.h>

#include <memory>

namespace qarn::ado::sqlite {

struct DbCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;

struct StmtFinalizer {
    void operator()(sqlite3_stmt* stmt) const noexcept { sqlite3_finalize(stmt); }
};
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

}  // namespace qarn::ado::sqlite
