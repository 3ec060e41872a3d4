#include "basErrorHandler.h"
#include "basSQLGen.h"
#include "frmSQLGen.h"

namespace qarn::desktop {

void Main() {
    try {
        gfrmMain = new frmSQLGen();
        gfrmMain->show();
    } catch (...) {
        HandleError("basSQLGen!Main", "", CurrentProgramError());
    }
}

}  // namespace qarn::desktop
