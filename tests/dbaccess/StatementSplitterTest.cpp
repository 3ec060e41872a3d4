// Scripts cut into statements as each database's own client cuts them, one
// table of tricky cases per dialect.  Each piece is shown as
// "first-released text": the line it begins on, the line whose reading
// let it out (end: only the end of the script did), and its text; a client
// command is marked "!".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/StatementSplitter.h"

namespace qarn::sql {
namespace {

struct Case {
    std::string script;  // lines separated by \n
    std::vector<std::string> pieces;
};

std::vector<std::string> Split(Dialect dialect, const std::string& script) {
    StatementSplitter splitter(dialect);
    std::vector<std::string> out;
    auto drain = [&](const std::string& released) {
        for (ScriptPiece p; splitter.Next(p);)
            out.push_back(std::to_string(p.line) + "-" + released + " " +
                          (p.kind == ScriptPiece::Kind::ClientCommand ? "! " : "") + p.text);
    };
    size_t start = 0, number = 0;
    while (start <= script.size()) {
        size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        splitter.AddLine(std::string_view(script).substr(start, end - start));
        drain(std::to_string(++number));
        start = end + 1;
    }
    splitter.Finish();
    drain("end");
    return out;
}

void Check(Dialect dialect, const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(Split(dialect, c.script), c.pieces) << c.script;
}

TEST(StatementSplitterTest, PostgreSql) {
    Check(Dialect::PostgreSql,
          {
              {"SELECT 1; SELECT 2;\nSELECT\n  3;", {"1-1 SELECT 1;", "1-1 SELECT 2;", "2-3 SELECT\n  3;"}},
              {"INSERT INTO t VALUES ('a;b''', E'it\\'s;', \"we;ird\");",
               {"1-1 INSERT INTO t VALUES ('a;b''', E'it\\'s;', \"we;ird\");"}},
              {"-- c;\n/* a /* nested; */ still; */ SELECT 1;", {"2-2 SELECT 1;"}},
              {"INSERT INTO t VALUES ('a\n;b\n');", {"1-3 INSERT INTO t VALUES ('a\n;b\n');"}},
              {"CREATE FUNCTION f() RETURNS int AS $$\nBEGIN RETURN 1; END;\n$$ LANGUAGE plpgsql;\nDO $x$ BEGIN "
               "PERFORM 1; END $x$;",
               {"1-3 CREATE FUNCTION f() RETURNS int AS $$\nBEGIN RETURN 1; END;\n$$ LANGUAGE plpgsql;",
                "4-4 DO $x$ BEGIN PERFORM 1; END $x$;"}},
              {"CREATE OR REPLACE PROCEDURE p() LANGUAGE sql BEGIN ATOMIC\n INSERT INTO t VALUES (1);\n"
               " SELECT CASE WHEN true THEN 1 END;\nEND;\nBEGIN;\nCOMMIT;",
               {"1-4 CREATE OR REPLACE PROCEDURE p() LANGUAGE sql BEGIN ATOMIC\n INSERT INTO t VALUES (1);\n"
                " SELECT CASE WHEN true THEN 1 END;\nEND;",
                "5-5 BEGIN;", "6-6 COMMIT;"}},
              {"CREATE RULE r AS ON INSERT TO t DO ALSO (SELECT 1; SELECT 2);",
               {"1-1 CREATE RULE r AS ON INSERT TO t DO ALSO (SELECT 1; SELECT 2);"}},
              {"\\restrict abc\nSELECT 1;\n  \\connect other\n\\unrestrict abc",
               {"2-2 SELECT 1;", "3-3 ! \\connect other"}},
              {"SELECT 1;\nSELECT 2", {"1-1 SELECT 1;", "2-end SELECT 2"}},
              {";;\n-- only a comment\n;\n", {}},
              {"SELECT 1; /* never\nclosed", {"1-1 SELECT 1;", "1-end /* never\nclosed"}},
          });
}

TEST(StatementSplitterTest, MySql) {
    Check(Dialect::MySql,
          {
              {"SELECT 1; SELECT 'a;b', \"c;d\", `e;f`;\nSELECT\n2;",
               {"1-1 SELECT 1", "1-1 SELECT 'a;b', \"c;d\", `e;f`", "2-3 SELECT\n2"}},
              {"INSERT INTO t VALUES ('it\\'s; fine', \"a\\\";\");",
               {"1-1 INSERT INTO t VALUES ('it\\'s; fine', \"a\\\";\")"}},
              {"# c;\n-- c;\n/* c; */ SELECT 5 --1;", {"3-3 SELECT 5 --1"}},
              {"DELIMITER ;;\nCREATE TRIGGER tr BEFORE INSERT ON t FOR EACH ROW BEGIN\n SET NEW.a = 1;\nEND ;;\n"
               "delimiter ;\nSELECT 1;",
               {"2-4 CREATE TRIGGER tr BEFORE INSERT ON t FOR EACH ROW BEGIN\n SET NEW.a = 1;\nEND", "6-6 SELECT 1"}},
              {"DELIMITER $$\nCREATE PROCEDURE p() BEGIN SELECT 1; END$$\nCOMMIT$$\nDELIMITER ;",
               {"2-2 CREATE PROCEDURE p() BEGIN SELECT 1; END", "3-3 COMMIT"}},
              {"/*!40101 SET NAMES utf8mb4 */;\n/*!50003 CREATE*/ /*!50003 TRIGGER x BEFORE INSERT ON t FOR EACH ROW "
               "SET NEW.a = 1 */;;",
               {"1-1 /*!40101 SET NAMES utf8mb4 */",
                "2-2 /*!50003 CREATE*/ /*!50003 TRIGGER x BEFORE INSERT ON t FOR EACH ROW SET NEW.a = 1 */"}},
              {"/*M!999999\\- enable the sandbox mode */ \nSELECT 1;",
               {"1-2 /*M!999999\\- enable the sandbox mode */ \nSELECT 1"}},
              {"DELIMITER\nSELECT 1", {"1-1 ! DELIMITER", "2-end SELECT 1"}},
              {"SELECT 1;\n\\. other.sql\nSELECT 2", {"1-1 SELECT 1", "2-2 ! \\. other.sql", "3-end SELECT 2"}},
          });
}

TEST(StatementSplitterTest, Sqlite) {
    Check(
        Dialect::Sqlite,
        {
            {"CREATE TRIGGER tr AFTER INSERT ON t BEGIN\n INSERT INTO u VALUES (1);\n UPDATE u SET a = 'END;';\nEND;\n"
             "SELECT 1; SELECT 2;",
             {"1-4 CREATE TRIGGER tr AFTER INSERT ON t BEGIN\n INSERT INTO u VALUES (1);\n UPDATE u SET a = "
              "'END;';\nEND;",
              "5-5 SELECT 1;", "5-5 SELECT 2;"}},
            {"INSERT INTO \"a;b\" VALUES ('x;y', `e;f`, [g;h]);",
             {"1-1 INSERT INTO \"a;b\" VALUES ('x;y', `e;f`, [g;h]);"}},
            {"-- x;\nSELECT /* ; */ 1;", {"2-2 SELECT /* ; */ 1;"}},
            {".mode csv\nSELECT\n.5;", {"1-1 ! .mode csv", "2-3 SELECT\n.5;"}},
            {"SELECT 1", {"1-end SELECT 1"}},
        });
}

TEST(StatementSplitterTest, SqlServer) {
    Check(Dialect::SqlServer,
          {
              {"CREATE PROCEDURE p AS\nBEGIN\n SELECT 1;\n SELECT 2;\nEND\nGO\nSELECT 3\n  go 2\nSELECT 4",
               {"1-6 CREATE PROCEDURE p AS\nBEGIN\n SELECT 1;\n SELECT 2;\nEND", "7-8 SELECT 3", "7-8 SELECT 3",
                "9-end SELECT 4"}},
              {"SELECT '\nGO\n'\nGO -- done\n/*\nGO\n*/ SELECT 1\nGOTO x\nGO",
               {"1-4 SELECT '\nGO\n'", "7-9 SELECT 1\nGOTO x"}},
              {":setvar x 1\n!!dir\n-- nothing\nGO", {"1-1 ! :setvar x 1", "2-2 ! !!dir"}},
          });
}

TEST(StatementSplitterTest, JetAndOthers) {
    Check(Dialect::Jet, {
                            {"INSERT INTO t VALUES ('a;b'); -- c;\nSELECT #2020-01-01#; SELECT 1",
                             {"1-1 INSERT INTO t VALUES ('a;b');", "2-2 SELECT #2020-01-01#;", "2-end SELECT 1"}},
                        });
    Check(Dialect::Ansi, {
                             {"SELECT 'a;b' /* ; */ AS \"c;\";\n\\connect x",
                              {"1-1 SELECT 'a;b' /* ; */ AS \"c;\";", "2-2 ! \\connect x"}},
                         });
}

}  // namespace
}  // namespace qarn::sql
