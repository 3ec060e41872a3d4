// Dumps that the databases' own tools write (pg_dump --inserts, mysqldump,
// sqlite3 .dump), replayed unchanged by qarnSqlGenCli in statement mode
// into fresh databases and dumped again by the same tool: every object and
// row must come back, so the two dumps are the same.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/CliSupport.h"
#include "support/TestSupport.h"

namespace qarn::test::cli {
namespace {

CliRun Check(CliRun r, const std::string& what) {
    EXPECT_EQ(r.exitCode, 0) << what << ": " << r.err;
    return r;
}

CliRun Psql(const std::string& db, std::vector<std::string> args) {
    args.insert(args.begin(), {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", db});
    return PostgresTool("psql", args);
}

struct Peer {
    const char* name;
    ServerFacts (*facts)();  // null: no server
    // A new empty database by that name; its connection string.
    std::string (*create)(const std::string& db);
    void (*drop)(const std::string& db);
    // Runs a script in the database with the peer's own client.
    void (*load)(const std::string& db, const std::string& script);
    std::string (*dump)(const std::string& db);
    std::string schema;
    bool alsoAsOneTransaction = false;
};

void PrintTo(const Peer& p, std::ostream* os) {
    *os << p.name;
}

const Peer kPostgres{
    "postgres",
    PostgresServer,
    [](const std::string& db) {
        Check(Psql(PostgresServer().database, {"-c", "CREATE DATABASE " + db}), "create");
        ServerFacts f = PostgresServer();
        f.database = db;
        return ProviderString("PostgreSQL", f);
    },
    [](const std::string& db) {
        Psql(PostgresServer().database, {"-c", "DROP DATABASE IF EXISTS " + db + " WITH (FORCE)"});
    },
    [](const std::string& db, const std::string& script) {
        Check(Psql(db, {"-f", script}), "load");
    },
    [](const std::string& db) {
        return Check(PostgresTool("pg_dump", {"--inserts", db}), "dump").out;
    },
    "CREATE SEQUENCE ticket START 100;\n"
    "CREATE TABLE item(id int PRIMARY KEY DEFAULT nextval('ticket'), name text NOT NULL, note text);\n"
    "INSERT INTO item(name, note) VALUES ('a;b', E'two\\nlines; it''s \\\\ done'), ('$$;$$', NULL),\n"
    "  ('Ch\xC3\xA2teau', '/* ; */ -- ;');\n"
    "CREATE VIEW named AS SELECT id, upper(name) AS name FROM item WHERE name <> ';';\n"
    "CREATE FUNCTION total() RETURNS bigint LANGUAGE plpgsql AS $body$\n"
    "DECLARE n bigint;\nBEGIN\n  SELECT count(*) INTO n FROM item; -- ';' inside\n  RETURN n;\nEND;\n$body$;\n"
    "CREATE PROCEDURE add_item(t text) LANGUAGE sql BEGIN ATOMIC INSERT INTO item(name) VALUES (t); END;\n",
    true};

const Peer kMariaDb{
    "mariadb",
    MariaDbServer,
    [](const std::string& db) {
        Check(MariaDbTool("mariadb", {"-e", "CREATE DATABASE " + db}), "create");
        ServerFacts f = MariaDbServer();
        f.database = db;
        return ProviderString("MariaDB", f);
    },
    [](const std::string& db) {
        MariaDbTool("mariadb", {"-e", "DROP DATABASE IF EXISTS " + db});
    },
    [](const std::string& db, const std::string& script) { Check(MariaDbTool("mariadb", {db}, script), "load"); },
    [](const std::string& db) { return Check(MariaDbTool("mysqldump", {db}), "dump").out; },
    "CREATE TABLE item(id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40) NOT NULL, note TEXT,\n"
    "  changed INT NOT NULL DEFAULT 0);\n"
    "INSERT INTO item(name, note) VALUES ('a;b', 'two\\nlines; it\\'s \\\\ done'), ('back`tick;', NULL),\n"
    "  ('Ch\xC3\xA2teau', '/* ; */ -- ;');\n"
    "CREATE VIEW named AS SELECT id, upper(name) AS name FROM item WHERE name <> ';';\n"
    "DELIMITER //\n"
    "CREATE TRIGGER touch BEFORE UPDATE ON item FOR EACH ROW BEGIN\n"
    "  SET NEW.changed = OLD.changed + 1;\n  SET NEW.note = CONCAT(IFNULL(NEW.note, ''), ';');\nEND//\n"
    "DELIMITER ;\n"};

const Peer kSqlite{
    "sqlite",
    nullptr,
    [](const std::string& db) {
        Check(RunProgram("sqlite3", {ScratchDir() + "/" + db, "CREATE TABLE x(a); DROP TABLE x;"}), "create");
        return "Provider=SQLite;Data Source=" + ScratchDir() + "/" + db;
    },
    [](const std::string& db) { std::filesystem::remove(ScratchDir() + "/" + db); },
    [](const std::string& db, const std::string& script) {
        Check(RunProgram("sqlite3", {"-bail", ScratchDir() + "/" + db, ".read " + script}), "load");
    },
    [](const std::string& db) {
        return Check(RunProgram("sqlite3", {ScratchDir() + "/" + db, ".dump"}), "dump").out;
    },
    "CREATE TABLE item(id INTEGER PRIMARY KEY, name TEXT NOT NULL, note TEXT, changed INT DEFAULT 0);\n"
    "INSERT INTO item(name, note) VALUES ('a;b', 'two' || char(10) || 'lines; it''s'), ('[x];', NULL),\n"
    "  ('Ch\xC3\xA2teau', '/* ; */ -- ;');\n"
    "CREATE INDEX item_name ON item(name);\n"
    "CREATE TRIGGER touch AFTER UPDATE ON item BEGIN\n"
    "  UPDATE item SET changed = changed + 1 WHERE id = NEW.id;\n  INSERT INTO item(name) VALUES ('END;');\nEND;\n"};

class ScratchDatabase {
public:
    ScratchDatabase(const Peer& peer, std::string name) : peer_(peer), name_(std::move(name)) {
        peer_.drop(name_);
        connection_ = peer_.create(name_);
    }
    ~ScratchDatabase() { peer_.drop(name_); }
    const std::string& name() const { return name_; }
    const std::string& connection() const { return connection_; }

private:
    const Peer& peer_;
    std::string name_, connection_;
};

// A dump without what differs between two dumps of the same content:
// pg_dump's key for each dump, mysqldump's host line and date.
std::string Comparable(const std::string& dump) {
    std::istringstream in(dump);
    std::string kept;
    for (std::string line; std::getline(in, line);)
        if (!line.starts_with("\\restrict ") && !line.starts_with("\\unrestrict ") && !line.starts_with("-- Host:") &&
            !line.starts_with("-- Dump completed"))
            kept += line + "\n";
    return kept;
}

class DumpReplayTest : public ::testing::TestWithParam<Peer> {};

TEST_P(DumpReplayTest, TheDumpComesBackWhole) {
    const Peer& peer = GetParam();
    if (peer.facts) QARN_REQUIRE_SERVER(peer.facts());
    const std::string base = std::string("qarn_dump_") + peer.name + "_" + std::to_string(::getpid());
    const std::string schema = ScratchPath(base + "-schema.sql");
    WriteBytes(schema, peer.schema);
    std::string dump;
    {
        ScratchDatabase source(peer, base + "_source");
        peer.load(source.name(), schema);
        dump = peer.dump(source.name());
    }
    ASSERT_NE(dump.find("item"), std::string::npos) << dump;
    const std::string file = ScratchPath(base + ".sql");
    WriteBytes(file, dump);
    for (bool oneTransaction : {false, true}) {
        if (oneTransaction && !peer.alsoAsOneTransaction) continue;
        ScratchDatabase target(peer, base + "_target");
        std::vector<std::string> args = {"run", "-c", target.connection(), "-f", file, "--mode", "statements", "-q"};
        if (oneTransaction) args.push_back("--single-transaction");
        CliRun r = RunCli(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Comparable(peer.dump(target.name())), Comparable(dump)) << "one transaction: " << oneTransaction;
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, DumpReplayTest, ::testing::Values(kPostgres, kMariaDb, kSqlite),
                         [](const ::testing::TestParamInfo<Peer>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qarn::test::cli
