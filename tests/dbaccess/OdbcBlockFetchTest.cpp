// Reading ODBC rows in blocks (psqlodbc, MariaDB Connector/ODBC): every row
// and value arrives as the row-at-a-time reader delivers it, across block
// boundaries, and a failing row fails where it is reached.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ado/AdoError.h"
#include "odbc/OdbcEngine.h"
#include "odbc/OdbcRowBlocks.h"
#include "support/TestSupport.h"

namespace qarn::ado {
namespace {

struct BlockServer {
    std::string name;
    test::ServerFacts (*facts)();
    std::string (*odbcString)();
    std::string options;  // psqlodbc streams from a server cursor, two blocks a time
    std::string table;    // columns i, short text, bounded text, long binary, nullable bigint
    std::string fill;     // INSERT ... SELECT of rows 1 to :n
};

const BlockServer kServers[] = {
    {"Postgres", test::PostgresServer, test::PostgresOdbcString, ";UseDeclareFetch=1;Fetch=512",
     "CREATE TEMPORARY TABLE blocks (i int, short varchar(20), mid text, big bytea, n bigint)",
     "INSERT INTO blocks SELECT i, CASE WHEN i % 7 = 0 THEN NULL ELSE 'r' || i END,"
     " CASE WHEN i % 11 = 0 THEN NULL WHEN i % 5 = 0 THEN repeat('é', 250 + i % 300) || '😀' ELSE 'short ' || i END,"
     " CASE WHEN i % 3 = 0 THEN NULL ELSE decode(repeat('00ff', 300 * (i % 2) + i % 40), 'hex') END,"
     " CASE WHEN i % 4 = 0 THEN NULL ELSE i * 1000000000::bigint END FROM generate_series(1, :n) AS g(i)"},
    {"MariaDb", test::MariaDbServer, test::MariaDbOdbcString, "",
     "CREATE TEMPORARY TABLE blocks (i int, short varchar(20), mid varchar(600), big varbinary(700), n bigint)",
     "INSERT INTO blocks WITH RECURSIVE g(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM g WHERE i < :n)"
     " SELECT i, IF(i % 7 = 0, NULL, CONCAT('r', i)),"
     " CASE WHEN i % 11 = 0 THEN NULL WHEN i % 5 = 0 THEN CONCAT(REPEAT('é', 250 + i % 300), '😀')"
     " ELSE CONCAT('short ', i) END,"
     " IF(i % 3 = 0, NULL, UNHEX(REPEAT('00FF', 300 * (i % 2) + i % 40))), IF(i % 4 = 0, NULL, i * 1000000000) FROM g"},
};

void PrintTo(const BlockServer& s, std::ostream* os) {
    *os << s.name;
}

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    return text.replace(text.find(what), what.size(), with);
}

// Row i as the fill statements make it.
std::vector<Variant> Expected(int64_t i) {
    std::string mid;
    if (i % 5 == 0) {
        for (int64_t k = 0; k < 250 + i % 300; ++k) mid += "é";
        mid += "😀";
    }
    const Variant null = Variant::MakeNull();
    std::string big;
    for (int64_t k = 0; k < 300 * (i % 2) + i % 40; ++k) big += std::string("\0\xff", 2);
    return {Variant::FromInt(i), i % 7 == 0 ? null : Variant::FromText("r" + std::to_string(i)),
            i % 11 == 0  ? null
            : i % 5 == 0 ? Variant::FromText(mid)
                         : Variant::FromText("short " + std::to_string(i)),
            i % 3 == 0 ? null : Variant::FromBinary(big), i % 4 == 0 ? null : Variant::FromInt(i * 1000000000)};
}

class OdbcBlockFetch : public ::testing::TestWithParam<BlockServer> {
protected:
    void SetUp() override { QARN_REQUIRE_SERVER(GetParam().facts()); }
    std::shared_ptr<EngineConnection> Open(const std::string& extra = "") {
        return OpenOdbc(GetParam().odbcString() + GetParam().options + extra);
    }
};

TEST_P(OdbcBlockFetch, EveryRowArrivesWholeAcrossBlockBoundaries) {
    // A block of these rows holds kBlockRows: their bound cells stay within kBlockBytes.
    constexpr int64_t b = odbc::kBlockRows;
    for (int64_t rows : {b - 1, b, b + 1, 2 * b + 1}) {
        SCOPED_TRACE(rows);
        auto c = Open();
        c->Execute(GetParam().table, -1);
        c->Execute(Replace(GetParam().fill, ":n", std::to_string(rows)), -1);
        ExecuteResult r = c->Execute("SELECT i, short, mid, big, n FROM blocks ORDER BY i", -1);
        ASSERT_NE(r.cursor, nullptr);
        std::vector<Variant> row;
        int64_t i = 0;
        while (r.cursor->Fetch(row)) {
            std::vector<Variant> expected = Expected(++i);
            ASSERT_EQ(row.size(), expected.size());
            for (size_t k = 0; k < row.size(); ++k) ASSERT_EQ(row[k], expected[k]) << "row " << i << " column " << k;
        }
        EXPECT_EQ(i, rows);
        EXPECT_FALSE(r.cursor->Fetch(row));
    }
}

INSTANTIATE_TEST_SUITE_P(Servers, OdbcBlockFetch, ::testing::ValuesIn(kServers),
                         [](const auto& info) { return info.param.name; });

TEST(OdbcBlockFetchPostgres, AFailingRowFailsAfterTheRowsBeforeItsServerBlock) {
    QARN_REQUIRE_SERVER(test::PostgresServer());
    // psqlodbc brings `fetch` rows a time from its server cursor: a failure
    // there loses its block, but never a row of the blocks before.
    const int64_t b = odbc::kBlockRows;
    struct Case {
        int64_t fetch, failing;
    };
    for (Case k : {Case{1, b + b / 2}, Case{100, 2 * b + 10}, Case{500, 700}}) {
        SCOPED_TRACE(k.fetch);
        auto c = OpenOdbc(test::PostgresOdbcString() + ";UseDeclareFetch=1;Fetch=" + std::to_string(k.fetch));
        int64_t fetched = 0;
        try {
            ExecuteResult r = c->Execute("SELECT i, 1 / (i - " + std::to_string(k.failing) +
                                             ") FROM generate_series(1, " + std::to_string(3 * b) + ") AS i",
                                         -1);
            std::vector<Variant> row;
            while (r.cursor->Fetch(row)) ASSERT_EQ(row[0], Variant::FromInt(++fetched));
            ADD_FAILURE() << "no failure";
        } catch (const AdoError& e) {
            ASSERT_FALSE(e.Records().empty());
            EXPECT_EQ(e.Records()[0].SQLState, "22012");
        }
        EXPECT_EQ(fetched, (k.failing - 1) / k.fetch * k.fetch);
    }
}

}  // namespace
}  // namespace qarn::ado
