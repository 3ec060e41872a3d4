#include "basErrorHandler.h"
#include "basSQLGen.h"
#include "frmSQLGen.h"
#include "widgets/QtUserInterface.h"

namespace qarn::desktop {

void Main() {
    UseQtUserInterfaceByDefault();
    try {
        gfrmMain = new frmSQLGen();
        gfrmMain->show();
    } catch (...) {
        HandleError("basSQLGen!Main", "", CurrentProgramError());
    }
}

}  // namespace qarn::desktop
