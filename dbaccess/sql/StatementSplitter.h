#pragma once
// A script cut into the statements its database's own client would send,
// as the script is read: lines go in, statements come out with the line
// each begins on.  Only the statement being read is held, never the file.
//
// Where a statement ends:
// - SQLite: at the ";" after which sqlite3_complete() takes the text for
//   complete (so a trigger's BEGIN ...; ...; END; stays whole);
// - PostgreSQL: at ";" outside literals, quoted names, comments, dollar
//   quotes, parentheses and the BEGIN ... END of a CREATE FUNCTION or
//   PROCEDURE body (BEGIN ATOMIC), as psql ends it;
// - MySQL/MariaDB: at the current delimiter, which a "DELIMITER x" line sets
//   (the line itself is not sent, nor the delimiter), outside literals,
//   backticks and comments; /*! ... */ is sent as it stands;
// - SQL Server: at a GO line (GO n sends the batch n times), as sqlcmd does;
// - Jet and the rest: at ";" outside literals and comments.
// A statement keeps its ";" (not MySQL's delimiter); its lines are joined
// by LF; blanks and comments before it are dropped, and one made of
// nothing else is no statement.  What is left at the end of the script is
// its last statement, ended or not.
//
// A client's own command is no SQL: a line starting with "\" (psql, mysql),
// sqlcmd's ":setvar", ":r", ... and "!!" on SQL Server, and sqlite3's
// ".command" on SQLite come out as client commands; psql's "\restrict" and
// "\unrestrict" (which pg_dump writes) are dropped.

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sql/Dialect.h"

namespace qarn::sql {

struct ScriptPiece {
    enum class Kind { Statement, ClientCommand };
    Kind kind = Kind::Statement;
    std::string text;   // the statement, or the client command's line
    uint64_t line = 0;  // where it begins, from 1
    std::string why;    // for a client command: why it is not run
};

class StatementSplitter {
public:
    explicit StatementSplitter(Dialect dialect);

    // The script's next line, without its line end.
    void AddLine(std::string_view line);
    // The script has ended: what is left becomes its last statement.
    void Finish();
    // The next piece, in script order; false when none is ready.
    bool Next(ScriptPiece& piece);

private:
    // A line that is not SQL (a client command, DELIMITER, GO); handled when true.
    bool TakeClientLine(std::string_view line);
    void Scan();
    // Ends the statement at `end` (exclusive); a blank one is dropped.
    void Emit(size_t end, size_t repeat = 1);
    void StartStatement(size_t at);
    // PostgreSQL: follows the words that decide whether ";" ends the statement.
    void FollowPostgresWord(std::string_view word);
    bool EndsSqlite(size_t end);
    // MySQL: where the delimiter starts in [from, to); npos when it does not.
    size_t FindDelimiter(size_t from, size_t to) const;
    uint64_t LineAt(size_t offset) const;
    void Compact();

    Dialect dialect_;
    std::string pending_;                                  // the unfinished statement's text, and what follows it
    size_t scan_ = 0;                                      // where reading resumes: outside any literal or comment
    bool open_ = false;                                    // the text ends inside a literal or comment
    std::string opener_;                                   // what opened it ("'", "/*", "$tag$", ...)
    size_t begin_ = std::string::npos;                     // the statement's first token; npos before it
    std::vector<std::pair<size_t, uint64_t>> lineStarts_;  // offset in pending_, line number
    uint64_t lines_ = 0;
    std::string delimiter_ = ";";  // MySQL

    // PostgreSQL: what keeps ";" from ending the statement.
    int parens_ = 0;
    int bodyDepth_ = 0;
    int words_ = 0;         // words seen at the statement's outer level, up to four
    std::string head_;      // those words, upper case, each followed by a blank
    bool routine_ = false;  // CREATE [OR REPLACE] FUNCTION|PROCEDURE

    std::string probe_;  // a line read on its own; for SQLite, what sqlite3_complete() is asked about

    struct Ready {
        ScriptPiece piece;
        size_t repeat;
    };
    std::deque<Ready> ready_;
};

}  // namespace qarn::sql
