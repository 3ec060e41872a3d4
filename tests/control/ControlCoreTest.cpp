// The control's core apart from generating: connecting through data-link
// paths of every kind, scripts read from pipes, and the display form of a
// connection string.
#include <gtest/gtest.h>

#include <filesystem>

#include "basSQLGenComp.h"
#include "logic/ControlCore.h"
#include "support/TestSupport.h"

namespace qarn::control {
namespace {

class ControlCoreTest : public ::testing::Test {
protected:
    void TearDown() override { gblnCloseDB(); }
    test::RecordingUserInterface ui;
    ControlCore core;
};

TEST_F(ControlCoreTest, ConnectTellsWhyADataLinkPathCannotBeRead) {
    std::string db = test::MakeSqliteDatabase("CREATE TABLE t(x);");
    std::string folder = test::ScratchPath("folder.udl");
    std::filesystem::create_directory(folder);
    std::string missing = test::ScratchPath("missing.udl");
    test::PipeFile pipe("[oledb]\r\nProvider=SQLite;Data Source=" + db + "\r\n");
    struct Case {
        std::string path;
        bool connects;
        std::string message;
    } cases[] = {
        {missing, false, "The specified UDL file does not exist: " + missing},
        {folder, false, "The specified UDL file is not a file: " + folder},
        {"/dev/null", false, "The specified UDL file is not a file: /dev/null"},
        {pipe.path(), true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(core.Connect("", c.path), c.connects);
        EXPECT_EQ(core.ReturnMessage(), c.message);
        EXPECT_EQ(core.State(), c.connects ? stConnected : stNotConnected);
        core.Disconnect(false);
    }
    EXPECT_TRUE(ui.shown.empty());
}

TEST(ConnectionStringForDisplayTest, EveryPasswordEntryTheEngineReadsIsMaskedAndNothingElse) {
    const std::pair<std::string, std::string> cases[] = {
        {"Password=secret;User ID=sa", "password=**********;User ID=sa"},
        {"Password =secret", "password=**********"},
        {" PassWord\t= 'a;b' ;;x=1;", "password=**********;;x=1;"},
        {"Pwd=1;Password=2", "pwd=**********;password=**********"},
        {"UID=a;PWD={x;y}};z};DSN=d", "UID=a;pwd=**********;DSN=d"},
        {"Password=\"p;q\"", "password=**********"},
        {"User=a;;Password=;x", "User=a;;password=**********;x"},
        {"pwd", "pwd=**********"},
        // A value that merely holds the word is no password entry.
        {"Data Source=x;App=password=1", "Data Source=x;App=password=1"},
        {"App=password=1;PWD=s", "App=password=1;pwd=**********"},
        {"Passwords=x; Data Source = y ;", "Passwords=x; Data Source = y ;"},
        {"", ""},
    };
    for (const auto& [in, shown] : cases) EXPECT_EQ(ConnectionStringForDisplay(in), shown) << in;
}

}  // namespace
}  // namespace qarn::control
