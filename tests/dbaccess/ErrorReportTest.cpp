// The failure report: where it is shown, and the state the user interface
// is left in (its text is pinned by the clsSQLADO tests).
#include <gtest/gtest.h>

#include "basErrorHandlerADO.h"
#include "support/TestSupport.h"

using namespace qarn;

TEST(ErrorReportTest, WithoutProviderErrorsTheReportIsACriticalMessageBox) {
    test::RecordingUserInterface ui;
    HandleADOError("clsSQLADO!SQLSetText", nullptr, "", {3709, "closed"});
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].kind, "message");
    EXPECT_EQ(ui.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(ui.shown[0].title, "");  // the program's own title
    EXPECT_EQ(ui.shown[0].text, BuildErrorReport("clsSQLADO!SQLSetText", {3709, "closed"}, ""));
    EXPECT_EQ(ui.pointerRestores, 2);
    EXPECT_EQ(ui.windowEnables, 1);

    // A connection whose Errors collection is empty counts as none.
    auto c = ado::Connection::Create();
    HandleADOError("x!y", c.get(), "", {1, "d"});
    EXPECT_EQ(ui.shown.back().kind, "message");
}

TEST(ErrorReportTest, CurrentErrTakesTheFailureBeingHandled) {
    try {
        throw ado::AdoError(3709);
    } catch (...) {
        ErrObject e = CurrentErr();
        EXPECT_EQ(e.Number, 3709);
        EXPECT_EQ(e.Description, ado::DescriptionFor(3709));
    }
    try {
        throw std::runtime_error("boom");
    } catch (...) {
        EXPECT_EQ(CurrentErr().Description, "boom");
    }
}
