#pragma once
// The error window: the report text above the provider's error lines.

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace qarn {

class frmError : public QDialog {
    Q_OBJECT
public:
    explicit frmError(QWidget* parent = nullptr);
    void Fill(const std::string& report, const std::vector<std::string>& providerErrors);

    QPlainTextEdit* txtMessage;
    QListWidget* lstErrors;
    QPushButton* cmdOK;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void mSetListExtent();
};

}  // namespace qarn
