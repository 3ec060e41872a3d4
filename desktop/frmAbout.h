#pragma once
// The program's About box: title, version, company, copyright, the makers'
// web and e-mail links, and a button that starts a system-information
// program.

#include <QDialog>

#include <string>
#include <vector>

namespace qarn::desktop {

// What the program says of itself in its About box.
struct ProgramInfo {
    static constexpr const char* Title = "qarnSqlGen";
    static QString Version();  // "major.minor.revision" of the program's build
};

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

    // Starts the first system-information program of SysInfoPrograms() found
    // on the PATH, or says "System Information Is Unavailable At This Time".
    void StartSysInfo();

    // The system-information programs looked for, in order.
    static const std::vector<std::string>& SysInfoPrograms();
    // Looks `KeyName`, a program name, up on the PATH: true with its full
    // path in `KeyVal`; false with `KeyVal` empty.
    static bool GetKeyValue(const std::string& KeyName, std::string& KeyVal);
};

}  // namespace qarn::desktop
