// The program's stored options: what the store keeps, how each option reads
// back into the program-wide values, and the report when a stored text
// cannot be read.
#include <QCursor>
#include <QGuiApplication>

#include <cstdint>

#include "DesktopTestSupport.h"
#include "basSQLGen.h"

namespace qarn::desktop {
namespace {

using Shown = test::RecordingUi::Shown;

// The program-wide options as the program holds them.
struct Held {
    bool useUdl = false;
    std::string conn{}, udl{};
    bool includeIdent = true;
    std::string session{};
    bool terminate = false;
    int32_t rowsPerInsert = 1;
    std::string targetDialect{};
    bool orderByKey = false;
    std::string onDuplicate{};
    bool operator==(const Held&) const = default;
};
void PrintTo(const Held& h, std::ostream* os) {
    *os << "{" << h.useUdl << " \"" << h.conn << "\" \"" << h.udl << "\" " << h.includeIdent << " \"" << h.session
        << "\" " << h.terminate << " " << h.rowsPerInsert << " \"" << h.targetDialect << "\" " << h.orderByKey << " \""
        << h.onDuplicate << "\"}";
}
Held Current() {
    return {gblnUseUDL,    gstrDefaultConn,   gstrDefaultUDL,    gblnIncludeIdent, gstrSessionConn,
            gblnTerminate, glngRowsPerInsert, gstrTargetDialect, gblnOrderByKey,   gstrOnDuplicate};
}
void Hold(const Held& h) {
    gblnUseUDL = h.useUdl;
    gstrDefaultConn = h.conn;
    gstrDefaultUDL = h.udl;
    gblnIncludeIdent = h.includeIdent;
    gstrSessionConn = h.session;
    gblnTerminate = h.terminate;
    glngRowsPerInsert = h.rowsPerInsert;
    gstrTargetDialect = h.targetDialect;
    gblnOrderByKey = h.orderByKey;
    gstrOnDuplicate = h.onDuplicate;
}
// Values no reading of an empty store produces, to see what a reading changed.
const Held kOdd{true, "old connection", "old.udl", false, "old session", true, 9, "jet", true, "update"};

Shown LoadReport(int number, const std::string& description) {
    return {"The Following Error Occured in basSQLGen!gblnLoadDefaults\r\nError Number: " + std::to_string(number) +
                "\r\nError: " + description,
            MsgIcon::Critical, ""};
}

class SettingsTest : public test::DesktopTest {};

TEST_F(SettingsTest, TextsComeBackAsTheyWereSavedAndAbsentKeysTakeTheirDefault) {
    for (const std::string text :
         {"Provider=PostgreSQL;Password=\"a;b\";Extra={x=1, y=2}", "@Variant(not a variant)", "  blanks at both ends  ",
          "Dat\u00e9i \u20ac /home/ann/Verbindung.udl", "line\r\nbreak"}) {
        SaveSetting("DefaultConn", text);
        EXPECT_EQ(GetSetting("DefaultConn", "default"), text);
    }
    EXPECT_EQ(GetSetting("DefaultUDL", "the default"), "the default");
    EXPECT_NE(SettingsText().find("[Options]"), std::string::npos) << SettingsText();
}

TEST_F(SettingsTest, StoredOptionsAreReadInAnyCaseAndAbsentOnesTakeTheirDefault) {
    auto with = [](auto change) {
        Held h;
        change(h);
        return h;
    };
    std::vector<std::pair<std::string, Held>> cases = {
        {"", Held()},
        {"UseUDL=True\nDefaultConn=\"Provider=SQLite;Data Source=/data/a.db\"\nDefaultUDL=/data/link.udl\n"
         "IncludeIdent=False\n",
         {true, "Provider=SQLite;Data Source=/data/a.db", "/data/link.udl", false,
          "Provider=SQLite;Data Source=/data/a.db"}},
        // A masked password leaves the session string empty: the login is asked for.
        {"DefaultConn=\"Provider=PostgreSQL;User ID=ann;password=**********\"\n",
         with([](Held& h) { h.conn = "Provider=PostgreSQL;User ID=ann;password=**********"; })},
        {"Terminate=true\nRowsPerInsert= 250 \nTargetDialect=PostgreSQL\nOrderByKey=-1\nOnDuplicate=SKIP\n",
         with([](Held& h) { h = {false, "", "", true, "", true, 250, "postgresql", true, "skip"}; })},
        {"RowsPerInsert=2147483647\nTargetDialect=sqlserver\nOnDuplicate=update\n",
         with([](Held& h) { h = {false, "", "", true, "", false, INT32_MAX, "sqlserver", false, "update"}; })},
        {"TargetDialect=\nOnDuplicate=\nTerminate=False\n", Held()}};
    for (const char* dialect : {"sqlite", "mysql", "jet", "ansi"})
        cases.push_back({"TargetDialect=" + QString(dialect).toUpper().toStdString() + "\n",
                         with([&](Held& h) { h.targetDialect = dialect; })});
    for (const auto& spelling :
         std::vector<std::pair<std::string, bool>>{{" tRuE ", true}, {"false", false}, {"-1", true}, {"0.0", false}}) {
        const bool value = spelling.second;
        cases.push_back({"UseUDL=" + spelling.first + "\nIncludeIdent=" + spelling.first + "\n",
                         with([&](Held& h) { h.useUdl = h.includeIdent = value; })});
    }
    for (const auto& [stored, expected] : cases) {
        WriteSettings(stored.empty() ? "" : "[Options]\n" + stored);
        Hold(kOdd);
        EXPECT_TRUE(gblnLoadDefaults()) << stored;
        EXPECT_EQ(Current(), expected) << stored;
    }
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the hourglass stayed";
    QFile::remove(SettingsFile());
    EXPECT_TRUE(gblnLoadDefaults());
    EXPECT_FALSE(QFile::exists(SettingsFile())) << "reading wrote the store";
}

// The options are read in order: a text that is not of its kind is
// reported and stops the reading, the options after it keep their values.
TEST_F(SettingsTest, AStoredTextThatCannotBeReadIsReportedAndStopsTheReading) {
    Held fresh = kOdd;  // what the first four options read
    fresh.useUdl = false, fresh.conn = fresh.session = "new conn", fresh.udl = "new.udl";
    auto after = [&](Held h, int32_t rows, std::string dialect, bool order) {
        h.terminate = false, h.rowsPerInsert = rows, h.targetDialect = dialect, h.orderByKey = order;
        return h;
    };
    const std::string options = "UseUDL=false\nDefaultConn=new conn\nDefaultUDL=new.udl\nIncludeIdent=False\n";
    struct Case {
        std::string stored;
        int number;
        Held held;
    };
    const std::vector<Case> cases = {
        {"UseUDL=Yes\nDefaultConn=new conn\nDefaultUDL=new.udl\nIncludeIdent=False\n", 13, kOdd},
        {"UseUDL=false\nDefaultConn=new conn\nDefaultUDL=new.udl\nIncludeIdent=\n", 13, fresh},
        {options + "Terminate=Yes", 13, fresh},
        {options + "RowsPerInsert=many", 13, after(fresh, 9, "jet", true)},
        {options + "RowsPerInsert=2.5", 13, after(fresh, 9, "jet", true)},
        {options + "RowsPerInsert=0", 380, after(fresh, 9, "jet", true)},
        {options + "RowsPerInsert=2147483648", 380, after(fresh, 9, "jet", true)},
        {options + "TargetDialect=oracle", 380, after(fresh, 1, "jet", true)},
        {options + "OrderByKey=sometimes", 13, after(fresh, 1, "", true)},
        {options + "OnDuplicate=ignore", 380, after(fresh, 1, "", false)}};
    for (const Case& c : cases) {
        WriteSettings("[Options]\n" + c.stored + "\n");
        ui.shown.clear();
        ui.pointerRestores = ui.windowEnables = 0;
        Hold(kOdd);
        EXPECT_FALSE(gblnLoadDefaults()) << c.stored;
        EXPECT_EQ(Current(), c.held) << c.stored;
        EXPECT_EQ(
            ui.shown,
            (std::vector<Shown>{LoadReport(c.number, c.number == 13 ? "Type mismatch" : "Invalid property value.")}))
            << c.stored;
        EXPECT_EQ(ui.pointerRestores + ui.windowEnables, 2);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the hourglass stayed";
    }
}

TEST_F(SettingsTest, AStoreThatCannotBeReadOrWrittenIsReportedNotTakenAsEmpty) {
    // A folder where the settings file belongs: root may write anywhere,
    // but nobody can read or replace that as a file.
    QDir().mkpath(SettingsFile());
    Hold(kOdd);
    EXPECT_FALSE(gblnLoadDefaults());
    EXPECT_EQ(Current(), kOdd);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text.rfind(LoadReport(75, "").text, 0), 0u) << ui.shown[0].text;
    try {
        SaveSetting("UseUDL", "True");
        ADD_FAILURE() << "saving into a folder passed for success";
    } catch (const ProgramFailure& e) {
        EXPECT_EQ(e.Number(), 75);
    }
}

}  // namespace
}  // namespace qarn::desktop
