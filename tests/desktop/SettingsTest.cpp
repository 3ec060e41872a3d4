// The program's stored options: the defaults of a first run, what the store
// keeps, how Booleans read back, and the report when a stored text is not
// one.
#include <QCursor>
#include <QGuiApplication>

#include <cstdint>

#include "DesktopTestSupport.h"
#include "basSQLGen.h"

namespace qarn::desktop {
namespace {

using test::RecordingUi;

class SettingsTest : public test::DesktopTest {
protected:
    // Values no reading of an empty store produces, to see what a reading changed.
    static void SetOddValues() {
        gblnUseUDL = true;
        gstrDefaultConn = "old connection";
        gstrDefaultUDL = "old.udl";
        gblnIncludeIdent = false;
        gstrSessionConn = "old session";
    }
    static void ExpectValues(bool useUdl, const std::string& conn, const std::string& udl, bool includeIdent,
                             const std::string& session) {
        EXPECT_EQ(gblnUseUDL, useUdl);
        EXPECT_EQ(gstrDefaultConn, conn);
        EXPECT_EQ(gstrDefaultUDL, udl);
        EXPECT_EQ(gblnIncludeIdent, includeIdent);
        EXPECT_EQ(gstrSessionConn, session);
    }
    static RecordingUi::Shown LoadReport(int number, const std::string& description) {
        return {"The Following Error Occured in basSQLGen!gblnLoadDefaults\r\nError Number: " + std::to_string(number) +
                    "\r\nError: " + description,
                MsgIcon::Critical, ""};
    }
};

TEST_F(SettingsTest, AnEmptyStoreGivesTheFirstRunValues) {
    SetOddValues();
    EXPECT_TRUE(gblnLoadDefaults());
    ExpectValues(false, "", "", true, "");
    EXPECT_TRUE(ui.shown.empty());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the hourglass stayed";
    EXPECT_FALSE(QFile::exists(SettingsFile())) << "reading wrote the store";
}

TEST_F(SettingsTest, TextsComeBackAsTheyWereSavedAndAbsentKeysTakeTheirDefault) {
    const std::vector<std::string> texts = {
        "Provider=SQLOLEDB.1;Data Source=mssql.local,1433;Initial Catalog=sales;User ID=sa;Password=**********",
        "Provider=PostgreSQL;Password=\"a;b\";Extra={x=1, y=2}",
        "@Variant(not a variant)",
        "  blanks at both ends  ",
        "Dat\u00e9i \u20ac /home/ann/Verbindung.udl",
        "line\r\nbreak",
        ""};
    for (const std::string& text : texts) {
        SaveSetting("DefaultConn", text);
        EXPECT_EQ(GetSetting("DefaultConn", "default"), text);
    }
    EXPECT_EQ(GetSetting("DefaultUDL", "the default"), "the default");
    EXPECT_NE(SettingsText().find("[Options]"), std::string::npos) << SettingsText();
}

TEST_F(SettingsTest, StoredOptionsAreReadIntoTheProgramWideValues) {
    WriteSettings("[Options]\nUseUDL=True\nDefaultConn=\"Provider=SQLite;Data Source=/data/a.db\"\n"
                  "DefaultUDL=/data/link.udl\nIncludeIdent=False\n");
    SetOddValues();
    EXPECT_TRUE(gblnLoadDefaults());
    ExpectValues(true, "Provider=SQLite;Data Source=/data/a.db", "/data/link.udl", false,
                 "Provider=SQLite;Data Source=/data/a.db");
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SettingsTest, AMaskedPasswordLeavesTheSessionStringEmpty) {
    SaveSetting("DefaultConn", "Provider=PostgreSQL;User ID=ann;password=**********");
    gstrSessionConn = "from an earlier login";
    EXPECT_TRUE(gblnLoadDefaults());
    EXPECT_EQ(gstrDefaultConn, "Provider=PostgreSQL;User ID=ann;password=**********");
    EXPECT_EQ(gstrSessionConn, "");
}

TEST_F(SettingsTest, BooleansReadBackInAnyCaseAndAsNumbers) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"True", true}, {"False", false}, {"TRUE", true}, {"false", false}, {" tRuE ", true},
        {"0", false},   {"-1", true},     {"1", true},    {"0.0", false}};
    for (const auto& [text, value] : cases) {
        SaveSetting("UseUDL", text);
        SaveSetting("IncludeIdent", text);
        gblnUseUDL = !value;
        gblnIncludeIdent = !value;
        EXPECT_TRUE(gblnLoadDefaults()) << text;
        EXPECT_EQ(gblnUseUDL, value) << text;
        EXPECT_EQ(gblnIncludeIdent, value) << text;
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SettingsTest, AStoredTextThatIsNoBooleanIsReportedAndStopsTheReading) {
    // UseUDL fails first: nothing is read.
    WriteSettings("[Options]\nUseUDL=Yes\nDefaultConn=new conn\nDefaultUDL=new.udl\nIncludeIdent=False\n");
    SetOddValues();
    EXPECT_FALSE(gblnLoadDefaults());
    ExpectValues(true, "old connection", "old.udl", false, "old session");
    ASSERT_EQ(ui.shown, (std::vector<RecordingUi::Shown>{LoadReport(13, "Type mismatch")}));
    EXPECT_EQ(ui.pointerRestores, 1);
    EXPECT_EQ(ui.windowEnables, 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "the hourglass stayed";

    // IncludeIdent fails last: what came before it is read.
    ui.shown.clear();
    for (const char* text : {"", "nan", "Truee"}) {
        WriteSettings(std::string("[Options]\nUseUDL=false\nDefaultConn=new conn\nDefaultUDL=new.udl\nIncludeIdent=") +
                      text + "\n");
        SetOddValues();
        EXPECT_FALSE(gblnLoadDefaults()) << text;
        ExpectValues(false, "new conn", "new.udl", false, "new conn");
    }
    EXPECT_EQ(ui.shown.size(), 3u);
}

// The options of how the control writes the script, as the program holds them.
struct ScriptOptions {
    bool terminate;
    int32_t rowsPerInsert;
    std::string targetDialect;
    bool orderByKey;
    std::string onDuplicate;
    bool operator==(const ScriptOptions&) const = default;
};
void PrintTo(const ScriptOptions& o, std::ostream* os) {
    *os << "{" << o.terminate << ", " << o.rowsPerInsert << ", \"" << o.targetDialect << "\", " << o.orderByKey
        << ", \"" << o.onDuplicate << "\"}";
}
ScriptOptions HeldScriptOptions() {
    return {gblnTerminate, glngRowsPerInsert, gstrTargetDialect, gblnOrderByKey, gstrOnDuplicate};
}
void HoldScriptOptions(const ScriptOptions& o) {
    gblnTerminate = o.terminate;
    glngRowsPerInsert = o.rowsPerInsert;
    gstrTargetDialect = o.targetDialect;
    gblnOrderByKey = o.orderByKey;
    gstrOnDuplicate = o.onDuplicate;
}
const ScriptOptions kOddScriptOptions{true, 9, "jet", true, "update"};

TEST_F(SettingsTest, ScriptOptionsAreReadInAnyCaseAndAbsentOnesTakeTheirDefault) {
    std::vector<std::pair<std::string, ScriptOptions>> cases = {
        {"", {false, 1, "", false, ""}},
        {"Terminate=true\nRowsPerInsert= 250 \nTargetDialect=PostgreSQL\nOrderByKey=-1\nOnDuplicate=SKIP\n",
         {true, 250, "postgresql", true, "skip"}},
        {"RowsPerInsert=2147483647\nTargetDialect=sqlserver\nOnDuplicate=update\n",
         {false, INT32_MAX, "sqlserver", false, "update"}},
        {"TargetDialect=\nOnDuplicate=\nTerminate=False\n", {false, 1, "", false, ""}}};
    for (const char* dialect : {"sqlite", "postgresql", "mysql", "sqlserver", "jet", "ansi"})
        cases.push_back(
            {"TargetDialect=" + QString(dialect).toUpper().toStdString() + "\n", {false, 1, dialect, false, ""}});
    for (const auto& [stored, expected] : cases) {
        WriteSettings("[Options]\n" + stored);
        HoldScriptOptions(kOddScriptOptions);
        EXPECT_TRUE(gblnLoadDefaults()) << stored;
        EXPECT_EQ(HeldScriptOptions(), expected) << stored;
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SettingsTest, AScriptOptionThatCannotBeReadIsReportedAndLeavesTheOptionsAfterIt) {
    struct Case {
        std::string stored;
        int number;
        std::string description;
        ScriptOptions after;  // what is held once the reading has stopped
    };
    const ScriptOptions odd = kOddScriptOptions;
    const std::vector<Case> cases = {
        {"Terminate=Yes", 13, "Type mismatch", odd},
        {"RowsPerInsert=many", 13, "Type mismatch", {false, odd.rowsPerInsert, "jet", true, "update"}},
        {"RowsPerInsert=2.5", 13, "Type mismatch", {false, odd.rowsPerInsert, "jet", true, "update"}},
        {"RowsPerInsert=0", 380, "Invalid property value.", {false, odd.rowsPerInsert, "jet", true, "update"}},
        {"RowsPerInsert=-4", 380, "Invalid property value.", {false, odd.rowsPerInsert, "jet", true, "update"}},
        {"RowsPerInsert=2147483648", 380, "Invalid property value.", {false, odd.rowsPerInsert, "jet", true, "update"}},
        {"TargetDialect=oracle", 380, "Invalid property value.", {false, 1, "jet", true, "update"}},
        {"OrderByKey=sometimes", 13, "Type mismatch", {false, 1, "", true, "update"}},
        {"OnDuplicate=ignore", 380, "Invalid property value.", {false, 1, "", false, "update"}},
        {"OnDuplicate=fail", 380, "Invalid property value.", {false, 1, "", false, "update"}}};
    for (const Case& c : cases) {
        WriteSettings("[Options]\nIncludeIdent=False\n" + c.stored + "\n");
        ui.shown.clear();
        gblnIncludeIdent = true;
        HoldScriptOptions(odd);
        EXPECT_FALSE(gblnLoadDefaults()) << c.stored;
        EXPECT_FALSE(gblnIncludeIdent) << "read before the bad value: " << c.stored;
        EXPECT_EQ(HeldScriptOptions(), c.after) << c.stored;
        EXPECT_EQ(ui.shown, (std::vector<RecordingUi::Shown>{LoadReport(c.number, c.description)})) << c.stored;
    }
}

TEST_F(SettingsTest, AStoreThatCannotBeReadOrWrittenIsReportedNotTakenAsEmpty) {
    // A folder where the settings file belongs: root may write anywhere,
    // but nobody can read or replace that as a file.
    QDir().mkpath(SettingsFile());
    SetOddValues();
    EXPECT_FALSE(gblnLoadDefaults());
    ExpectValues(true, "old connection", "old.udl", false, "old session");
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text.rfind(
                  "The Following Error Occured in basSQLGen!gblnLoadDefaults\r\nError Number: 75\r\nError: ", 0),
              0u)
        << ui.shown[0].text;

    try {
        SaveSetting("UseUDL", "True");
        ADD_FAILURE() << "saving into a folder passed for success";
    } catch (const ProgramFailure& e) {
        EXPECT_EQ(e.Number(), 75);
    }
}

}  // namespace
}  // namespace qarn::desktop
