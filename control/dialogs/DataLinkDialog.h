#pragma once
// The control's "Data Link Properties" dialog: builds or edits a connection
// string in one of the forms the provider table understands, and tests it.

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "ado/ConnectionString.h"

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
    // In the order of the provider list.
    enum class Provider { Sqlite, Access, SqlServer, PostgreSql, MariaDb, Odbc };

    explicit DataLinkDialog(QWidget* parent = nullptr);

    // Fills every field from `connectionString` (a blank one leaves the
    // dialog as new, SQLite chosen).  Entries no field covers
    // are kept and written back while the same provider stays chosen; an
    // unknown provider's string goes whole into the ODBC connection-string
    // field so that nothing is lost.
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
    // The Provider entry to write for `provider`; empty when none is written.
    std::optional<std::string> ProviderToken(Provider provider) const;

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

    // What the last loaded string said beyond the fields: its provider, the
    // Provider entry as written (none at all for a bare ODBC string) and the
    // entries no field covers.
    std::optional<Provider> loadedProvider_;
    std::optional<std::string> loadedToken_;
    std::vector<ado::ConnectionEntry> extras_;
};

}  // namespace qarn::control
