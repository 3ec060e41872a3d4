#pragma once
// The control library's own About box.

#include <QDialog>

namespace qarn::control {

class frmAboutLight : public QDialog {
    Q_OBJECT
public:
    explicit frmAboutLight(QWidget* parent = nullptr);
};

// What the library says of itself in its About box.
struct LibraryInfo {
    static constexpr const char* Title = "qarnSqlGenComp";
    static constexpr const char* Company = "qarnSqlGen developers";
    static constexpr const char* WebAddress = "qarnsqlgen.example.org";
    static constexpr const char* EmailAddress = "support@qarnsqlgen.example.org";
    static constexpr const char* Copyright = "Copyright \u00a9 2026 qarnSqlGen developers. All rights reserved.";
    static QString Version();  // "major.minor.revision" of the library's build
};

}  // namespace qarn::control
