#pragma once
// The control library's own About box.

#include <QDialog>

#include "widgets/FormLayout.h"

namespace qarn::control {

class frmAboutLight : public QDialog {
    Q_OBJECT
public:
    explicit frmAboutLight(QWidget* parent = nullptr);
};

// What the library says of itself in its About box.
struct LibraryInfo : MakerInfo {
    static constexpr const char* Title = "qarnSqlGenComp";
    static QString Version();  // "major.minor.revision" of the library's build
};

}  // namespace qarn::control
