#pragma once
// The control's "Data Link Properties" dialog: builds or edits a connection
// string in one of the forms the provider table understands, and tests it.

#include <QDialog>

#include <string>

#include "logic/DataLinkString.h"

class QComboBox;
class QFormLayout;
class QLineEdit;
class QWidget;

namespace qarn::control {

// The dialog's title, also the place its error reports name.
inline constexpr char kDataLinkTitle[] = "Data Link Properties";

class DataLinkDialog : public QDialog {
    Q_OBJECT

public:
    using Provider = DataLinkProvider;

    explicit DataLinkDialog(QWidget* parent = nullptr);

    // Fills every field from `connectionString` as ReadDataLink reads it.
    void LoadFrom(const std::string& connectionString);
    std::string ConnectionString() const;

    Provider CurrentProvider() const;
    void SetProvider(Provider provider);

    // Opens and closes a connection on ConnectionString() and tells the user
    // how it went; never leaves the connection open.
    void TestConnection();

private:
    void ShowProviderFields();
    void BrowseForFile();
    void ClearFields();
    void SelectDriver(const std::string& driver);
    QFormLayout* form_ = nullptr;
    QComboBox* cboProvider_ = nullptr;
    QWidget* fileRow_ = nullptr;  // the file path and its "..." button
    QLineEdit* txtFile_ = nullptr;
    QLineEdit* txtServer_ = nullptr;
    QLineEdit* txtPort_ = nullptr;
    QLineEdit* txtDatabase_ = nullptr;
    QComboBox* cboDataSource_ = nullptr;
    QComboBox* cboDriver_ = nullptr;
    QLineEdit* txtOdbcString_ = nullptr;
    QLineEdit* txtUser_ = nullptr;
    QLineEdit* txtPassword_ = nullptr;

    // The last loaded string, for what it says beyond the fields.
    DataLinkFields loaded_;
};

}  // namespace qarn::control
