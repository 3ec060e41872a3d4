#pragma once
// INSERT statements of one shape run without SQLite parsing each: a
// replayed script repeats "INSERT INTO t(cols) VALUES(" with other literals
// on every line.  The shape is prepared once with parameters, and each
// line's literals are bound in their place, but only where binding gives
// exactly the value SQLite's parser would read from the literal; any other
// text is left to the parser.

#include <sqlite3.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite/SqliteHandles.h"

namespace qarn::ado::sqlite {

class InsertCache {
public:
    // The prepared INSERT of `sql` with its values bound, when `sql` is one
    // INSERT ... VALUES(...) of plain literals (NULL, whole numbers, texts,
    // X'' blobs, and real numbers where the column converts a text the way
    // the parser converts the literal); null otherwise, and then `sql` must
    // be run as it stands.  The statement stays the cache's: the caller
    // steps it and resets it.
    sqlite3_stmt* Bind(sqlite3* db, std::string_view sql);
    // Forgets every shape: the schema may have changed.
    void Clear() { shapes_.clear(); }

private:
    struct Shape {
        StmtHandle stmt;
        std::vector<char> realAsText;  // per column: a real literal may be bound as its text
    };
    Shape* ShapeOf(sqlite3* db, std::string_view head, const std::string& schema, const std::string& table,
                   const std::vector<std::string>& columns);

    std::map<std::string, Shape, std::less<>> shapes_;
    std::vector<std::string> texts_;  // unescaped texts of the current line, one per column
};

}  // namespace qarn::ado::sqlite
