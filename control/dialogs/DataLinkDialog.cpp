#include "dialogs/DataLinkDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "ado/Connection.h"
#include "basErrorHandlerADO.h"
#include "odbc/OdbcEngine.h"
#include "ui/UserInterface.h"

namespace qarn::control {

namespace {

using ado::ConnectionEntry;
using Keys = std::initializer_list<std::string_view>;
using Provider = DataLinkDialog::Provider;

enum class Fields { File, Server, Odbc };

struct ProviderInfo {
    const char* label;
    const char* token;  // the Provider entry of a new string
    Fields fields;
    const char* fileFilter;
};

// Indexed by Provider.
constexpr ProviderInfo kProviders[] = {
    {"SQLite database file", "SQLite", Fields::File, "SQLite databases (*.db *.db3 *.sqlite *.sqlite3)"},
    {"Microsoft Access / Jet database file", "Microsoft.Jet.OLEDB.4.0", Fields::File, "Access databases (*.mdb *.accdb)"},
    {"Microsoft SQL Server", "SQLOLEDB.1", Fields::Server, nullptr},
    {"PostgreSQL", "PostgreSQL", Fields::Server, nullptr},
    {"MariaDB / MySQL", "MariaDB", Fields::Server, nullptr},
    {"ODBC data source", "MSDASQL.1", Fields::Odbc, nullptr},
};

const ProviderInfo& InfoOf(Provider p) { return kProviders[static_cast<int>(p)]; }

// The keys a field reads are the provider table's own, so a field shows what
// the engine would use; the first is the one written.
const Keys kSqliteFileKeys = {"Data Source", "Database"};
const Keys kJetFileKeys = {"Data Source"};
const Keys kServerKeys = {"Data Source", "Server"};
const Keys kPortKeys = {"Port"};
const Keys kDatabaseKeys = {"Initial Catalog", "Database"};
const Keys kUserKeys = {"User ID", "UID", "User"};
const Keys kPasswordKeys = {"Password", "PWD"};

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && ado::EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

// As the provider table decides which entry names the provider.
bool IsProviderKey(std::string_view key) { return ado::ContainsNoCase(key, "PROVIDER"); }

bool NamesProvider(const std::vector<ConnectionEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [](const ConnectionEntry& e) { return IsProviderKey(e.key); });
}

// The dialog's provider for a Provider entry; none for one the table does not know.
std::optional<Provider> ProviderNamed(std::string_view token) {
    if (StartsWithNoCase(token, "SQLOLEDB") || StartsWithNoCase(token, "SQLNCLI") ||
        StartsWithNoCase(token, "MSOLEDBSQL"))
        return Provider::SqlServer;
    if (StartsWithNoCase(token, "Microsoft.Jet.OLEDB") || StartsWithNoCase(token, "Microsoft.ACE.OLEDB"))
        return Provider::Access;
    if (StartsWithNoCase(token, "MSDASQL")) return Provider::Odbc;
    if (ado::EqualsNoCase(token, "SQLite")) return Provider::Sqlite;
    if (ado::EqualsNoCase(token, "PostgreSQL")) return Provider::PostgreSql;
    if (ado::EqualsNoCase(token, "MariaDB") || ado::EqualsNoCase(token, "MySQL")) return Provider::MariaDb;
    return std::nullopt;
}

// Removes every entry keyed by one of `keys`; returns the value the engine
// would have used (the first one's).
std::string Take(std::vector<ConnectionEntry>& entries, Keys keys) {
    std::string value = ado::EntryValue(entries, keys);
    std::erase_if(entries, [&](const ConnectionEntry& e) {
        return std::any_of(keys.begin(), keys.end(), [&](std::string_view k) { return ado::EqualsNoCase(e.key, k); });
    });
    return value;
}

std::string Braced(std::string_view value) {
    std::string out = "{";
    for (char c : value) {
        out.push_back(c);
        if (c == '}') out.push_back('}');
    }
    return out + "}";
}

// A value written so that ParseConnectionString reads it back unchanged.
// OdbcQuote leaves bare a value that opens with a quote or has a tab at an
// end, which the parser would unquote or trim.
std::string Quoted(std::string_view value) {
    bool unsafe = !value.empty() &&
                  (value.front() == '"' || value.front() == '\'' || value.front() == '\t' || value.back() == '\t');
    return unsafe ? Braced(value) : ado::OdbcQuote(value);
}

class EntryWriter {
public:
    // An empty value is left out.
    void Add(std::string_view key, std::string_view value) {
        if (!value.empty()) AddAlways(key, value);
    }
    void AddAlways(std::string_view key, std::string_view value) { AddText(std::string(key) + "=" + Quoted(value)); }
    // ODBC writes driver names in braces.
    void AddBraced(std::string_view key, std::string_view value) {
        if (!value.empty()) AddText(std::string(key) + "=" + Braced(value));
    }
    void AddEntries(const std::vector<ConnectionEntry>& entries) {
        for (const auto& e : entries) AddAlways(e.key, e.value);
    }
    // A user with an empty password logs in with just that, so the empty
    // password is written whenever a user is named.
    void AddLogin(std::string_view userKey, std::string_view user, std::string_view passwordKey,
                  std::string_view password) {
        Add(userKey, user);
        if (!user.empty() || !password.empty()) AddAlways(passwordKey, password);
    }
    void AddText(std::string_view text) {
        if (text.empty()) return;
        if (!text_.empty()) text_.push_back(';');
        text_.append(text);
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

std::string TextOf(const QLineEdit* edit) { return edit->text().toStdString(); }
void SetText(QLineEdit* edit, const std::string& text) { edit->setText(QString::fromStdString(text)); }

// The free connection string as typed, without blanks or separators at its ends.
std::string FreeText(const QLineEdit* edit) {
    std::string text = TextOf(edit);
    size_t b = text.find_first_not_of(" \t;"), e = text.find_last_not_of(" \t;");
    return b == std::string::npos ? std::string() : text.substr(b, e - b + 1);
}

// Lists from unixODBC; a failure to read them leaves the list empty, the
// combos stay editable or show what a loaded string names.
template <class List>
QStringList OdbcNames(List list) {
    QStringList names;
    try {
        for (const auto& n : list()) names << QString::fromStdString(n);
    } catch (...) {
    }
    return names;
}

QLineEdit* NewLineEdit(const char* name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    return edit;
}

// Shown while a test connection is being made; Qt keeps a stack, so the
// error report's own pointer reset leaves this harmless.
struct WaitCursor {
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

DataLinkDialog::DataLinkDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(kDataLinkTitle);
    setModal(true);

    cboProvider_ = new QComboBox;
    cboProvider_->setObjectName("cboProvider");
    for (const auto& info : kProviders) cboProvider_->addItem(info.label);

    txtFile_ = NewLineEdit("txtFile");
    auto* cmdBrowse = new QPushButton("...");
    cmdBrowse->setObjectName("cmdBrowse");
    cmdBrowse->setAutoDefault(false);
    cmdBrowse->setFixedWidth(cmdBrowse->fontMetrics().horizontalAdvance("...") + 16);
    fileRow_ = new QWidget;
    auto* fileLayout = new QHBoxLayout(fileRow_);
    fileLayout->setContentsMargins(0, 0, 0, 0);
    fileLayout->addWidget(txtFile_);
    fileLayout->addWidget(cmdBrowse);

    txtServer_ = NewLineEdit("txtServer");
    txtPort_ = NewLineEdit("txtPort");
    txtPort_->setValidator(new QIntValidator(1, 65535, txtPort_));
    txtDatabase_ = NewLineEdit("txtDatabase");

    cboDataSource_ = new QComboBox;
    cboDataSource_->setObjectName("cboDataSource");
    cboDataSource_->setEditable(true);
    cboDataSource_->addItems(OdbcNames(ado::OdbcDataSources));
    cboDriver_ = new QComboBox;
    cboDriver_->setObjectName("cboDriver");
    cboDriver_->addItem(QString());  // no driver: the data source names it
    cboDriver_->addItems(OdbcNames(ado::OdbcDrivers));
    txtOdbcString_ = NewLineEdit("txtOdbcString");

    txtUser_ = NewLineEdit("txtUser");
    txtPassword_ = NewLineEdit("txtPassword");
    txtPassword_->setEchoMode(QLineEdit::Password);

    form_ = new QFormLayout;
    form_->addRow("&Provider:", cboProvider_);
    form_->addRow("Database &file:", fileRow_);
    form_->addRow("&Server:", txtServer_);
    form_->addRow("P&ort:", txtPort_);
    form_->addRow("&Database:", txtDatabase_);
    form_->addRow("Data &source name:", cboDataSource_);
    form_->addRow("D&river:", cboDriver_);
    form_->addRow("&Connection string:", txtOdbcString_);
    form_->addRow("&User name:", txtUser_);
    form_->addRow("Pass&word:", txtPassword_);

    auto* cmdTest = new QPushButton("&Test Connection");
    cmdTest->setObjectName("cmdTest");
    cmdTest->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName("cmdOK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("cmdCancel");
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cmdTest);
    bottom->addStretch();
    bottom->addWidget(buttons);

    setMinimumWidth(440);  // room for a file path or server name
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    layout->addStretch();
    layout->addLayout(bottom);

    connect(cboProvider_, &QComboBox::currentIndexChanged, this, &DataLinkDialog::ShowProviderFields);
    connect(cmdBrowse, &QPushButton::clicked, this, &DataLinkDialog::BrowseForFile);
    connect(cmdTest, &QPushButton::clicked, this, &DataLinkDialog::TestConnection);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    ClearFields();
    ShowProviderFields();
}

DataLinkDialog::Provider DataLinkDialog::CurrentProvider() const {
    return static_cast<Provider>(std::clamp(cboProvider_->currentIndex(), 0, static_cast<int>(Provider::Odbc)));
}

void DataLinkDialog::SetProvider(Provider provider) { cboProvider_->setCurrentIndex(static_cast<int>(provider)); }

void DataLinkDialog::ShowProviderFields() {
    const Fields fields = InfoOf(CurrentProvider()).fields;
    form_->setRowVisible(fileRow_, fields == Fields::File);
    for (QWidget* w : {txtServer_, txtPort_, txtDatabase_}) form_->setRowVisible(w, fields == Fields::Server);
    for (QWidget* w : std::initializer_list<QWidget*>{cboDataSource_, cboDriver_, txtOdbcString_})
        form_->setRowVisible(w, fields == Fields::Odbc);
    for (QWidget* w : {txtUser_, txtPassword_}) form_->setRowVisible(w, fields != Fields::File);
    if (isVisible()) adjustSize();
}

void DataLinkDialog::BrowseForFile() {
    const char* filter = InfoOf(CurrentProvider()).fileFilter;
    QString file = QFileDialog::getOpenFileName(this, "Select the Database File", txtFile_->text(),
                                                QString(filter ? filter : "") + ";;All files (*)");
    if (!file.isEmpty()) txtFile_->setText(file);
}

void DataLinkDialog::ClearFields() {
    for (QLineEdit* edit : {txtFile_, txtServer_, txtPort_, txtDatabase_, txtOdbcString_, txtUser_, txtPassword_})
        edit->clear();
    cboDataSource_->setCurrentIndex(-1);
    cboDataSource_->setEditText(QString());
    cboDriver_->setCurrentIndex(0);
    loadedProvider_.reset();
    loadedToken_.reset();
    extras_.clear();
    SetProvider(Provider::Sqlite);
}

void DataLinkDialog::SelectDriver(const std::string& driver) {
    if (driver.empty()) return;
    const QString name = QString::fromStdString(driver);
    int index = cboDriver_->findText(name, Qt::MatchFixedString);
    // A driver that is not installed here is kept, so the string survives an edit.
    if (index < 0) {
        cboDriver_->addItem(name);
        index = cboDriver_->count() - 1;
    }
    cboDriver_->setCurrentIndex(index);
}

void DataLinkDialog::LoadFrom(const std::string& connectionString) {
    ClearFields();
    auto entries = ado::ParseConnectionString(connectionString);
    if (entries.empty()) return;  // nothing to edit: as a new string
    std::optional<std::string> token;
    if (auto p = std::find_if(entries.begin(), entries.end(), [](const ConnectionEntry& e) { return IsProviderKey(e.key); });
        p != entries.end()) {
        token = p->value;
        entries.erase(p);
    }
    const std::optional<Provider> provider = token ? ProviderNamed(*token) : Provider::Odbc;
    if (!provider) {
        // The string names its own provider, so it is written back as it stands.
        SetProvider(Provider::Odbc);
        SetText(txtOdbcString_, std::string(ado::Trim(connectionString)));
        return;
    }
    SetProvider(*provider);
    switch (InfoOf(*provider).fields) {
    case Fields::File:
        SetText(txtFile_, Take(entries, *provider == Provider::Sqlite ? kSqliteFileKeys : kJetFileKeys));
        break;
    case Fields::Server: {
        std::string server = Take(entries, kServerKeys);
        std::string port = Take(entries, kPortKeys);
        // SQL Server names its port in the data source, and that one wins.
        if (size_t comma = server.find(','); *provider == Provider::SqlServer && comma != std::string::npos) {
            port = std::string(ado::Trim(std::string_view(server).substr(comma + 1)));
            server = std::string(ado::Trim(std::string_view(server).substr(0, comma)));
        }
        SetText(txtServer_, server);
        SetText(txtPort_, port);
        SetText(txtDatabase_, Take(entries, kDatabaseKeys));
        SetText(txtUser_, Take(entries, kUserKeys));
        SetText(txtPassword_, Take(entries, kPasswordKeys));
        break;
    }
    case Fields::Odbc: {
        cboDataSource_->setEditText(QString::fromStdString(Take(entries, {"DSN"})));
        SelectDriver(Take(entries, {"Driver"}));
        SetText(txtUser_, Take(entries, {"UID"}));
        SetText(txtPassword_, Take(entries, {"PWD"}));
        EntryWriter rest;
        rest.AddEntries(entries);
        SetText(txtOdbcString_, rest.Text());
        entries.clear();
        break;
    }
    }
    loadedProvider_ = provider;
    loadedToken_ = token;
    extras_ = std::move(entries);
}

std::optional<std::string> DataLinkDialog::ProviderToken(Provider provider) const {
    if (loadedProvider_ == provider) return loadedToken_;
    return InfoOf(provider).token;
}

std::string DataLinkDialog::ConnectionString() const {
    const Provider provider = CurrentProvider();
    std::optional<std::string> token = ProviderToken(provider);
    const std::string user = TextOf(txtUser_), password = TextOf(txtPassword_);
    EntryWriter out;
    switch (InfoOf(provider).fields) {
    case Fields::File:
        out.Add("Provider", token.value_or(""));
        out.Add("Data Source", TextOf(txtFile_));
        break;
    case Fields::Server: {
        std::string server = TextOf(txtServer_), port = TextOf(txtPort_);
        if (provider == Provider::SqlServer && !port.empty()) {
            server += "," + port;
            port.clear();
        }
        out.Add("Provider", token.value_or(""));
        out.Add("Data Source", server);
        out.Add("Port", port);
        out.Add("Initial Catalog", TextOf(txtDatabase_));
        out.AddLogin("User ID", user, "Password", password);
        break;
    }
    case Fields::Odbc: {
        const std::string free = FreeText(txtOdbcString_);
        // A typed string that names a provider chooses it itself.
        if (!NamesProvider(ado::ParseConnectionString(free))) out.Add("Provider", token.value_or(""));
        out.Add("DSN", cboDataSource_->currentText().toStdString());
        out.AddBraced("Driver", cboDriver_->currentText().toStdString());
        out.AddText(free);
        out.AddLogin("UID", user, "PWD", password);
        break;
    }
    }
    if (loadedProvider_ == provider) out.AddEntries(extras_);
    return out.Text();
}

void DataLinkDialog::TestConnection() {
    bool succeeded = false;
    {
        WaitCursor wait;
        auto connection = ado::Connection::Create();
        succeeded = RunReported(kDataLinkTitle, connection, [&] {
            connection->SetConnectionString(ConnectionString());
            connection->Open();
            connection->Close();
        });
    }  // the connection goes here, closing itself if Close failed
    if (succeeded)
        CurrentUserInterface().MessageBox("Test connection succeeded.", MsgIcon::Information, kDataLinkTitle);
}

}  // namespace qarn::control
