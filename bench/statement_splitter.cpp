// Cuts a script file into statements as statement mode does (the library's
// TextReader and StatementSplitter) and prints how many there are and how
// long the longest is, so that statement_splitter.sh can time the cutting
// and take its peak memory.
#include <cstdio>
#include <exception>
#include <string>

#include "sql/StatementSplitter.h"
#include "textfile/TextFile.h"

int main(int argc, char** argv) {
    using qarn::sql::Dialect;
    if (argc != 3) {
        std::fprintf(stderr, "usage: statement_splitter sqlite|postgresql|mysql|sqlserver FILE\n");
        return 2;
    }
    const std::string name = argv[1];
    const Dialect dialect = name == "sqlite"      ? Dialect::Sqlite
                            : name == "mysql"     ? Dialect::MySql
                            : name == "sqlserver" ? Dialect::SqlServer
                                                  : Dialect::PostgreSql;
    try {
        qarn::textfile::TextReader reader(argv[2]);
        qarn::sql::StatementSplitter splitter(dialect);
        size_t statements = 0, longest = 0;
        auto drain = [&] {
            for (qarn::sql::ScriptPiece piece; splitter.Next(piece); ++statements)
                if (piece.text.size() > longest) longest = piece.text.size();
        };
        while (!reader.AtEndOfStream()) {
            splitter.AddLine(reader.ReadLine());
            drain();
        }
        splitter.Finish();
        drain();
        std::printf("%zu statements, longest %zu bytes\n", statements, longest);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "statement_splitter: %s\n", e.what());
        return 1;
    }
}
