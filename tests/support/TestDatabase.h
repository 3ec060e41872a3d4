#pragma once
// The one way every test program makes its files and SQLite databases: a
// scratch folder removed at exit, files of exact bytes, and databases made
// and read back with SQLite itself.  Needs neither Qt nor the ADO layer, so
// the desktop tests, which reach the database layer only through the
// control, use it too.

#include <string>
#include <vector>

namespace qarn::test {

// A fresh folder for this test program, removed at exit.
const std::string& ScratchDir();
// A path inside ScratchDir that does not exist yet.
std::string ScratchPath(const std::string& name);
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);

// A new SQLite database file made from `sql` (any number of statements);
// at `path` when one is given, else a new file in ScratchDir.
std::string MakeSqliteDatabase(const std::string& sql, const std::string& path = {});
// Every row of `select`, each value with its storage class (reals to the
// last bit, blobs byte by byte), a row as "int:1|text:a|null|".
std::vector<std::string> SqliteRows(const std::string& path, const std::string& select);

}  // namespace qarn::test
