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
#include "widgets/Hourglass.h"

namespace qarn::control {

namespace {

using Provider = DataLinkDialog::Provider;

struct ProviderInfo {
    const char* label;
    const char* fileFilter;
};

// Indexed by Provider.
constexpr ProviderInfo kProviders[kDataLinkProviderCount] = {
    {"SQLite database file", "SQLite databases (*.db *.db3 *.sqlite *.sqlite3)"},
    {"Microsoft Access / Jet database file", "Access databases (*.mdb *.accdb)"},
    {"Microsoft SQL Server", nullptr},
    {"PostgreSQL", nullptr},
    {"MariaDB / MySQL", nullptr},
    {"ODBC data source", nullptr},
};

std::string TextOf(const QLineEdit* edit) {
    return edit->text().toStdString();
}
void SetText(QLineEdit* edit, const std::string& text) {
    edit->setText(QString::fromStdString(text));
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
    return static_cast<Provider>(std::clamp(cboProvider_->currentIndex(), 0, kDataLinkProviderCount - 1));
}

void DataLinkDialog::SetProvider(Provider provider) {
    cboProvider_->setCurrentIndex(static_cast<int>(provider));
}

void DataLinkDialog::ShowProviderFields() {
    const DataLinkForm form = FormOf(CurrentProvider());
    form_->setRowVisible(fileRow_, form == DataLinkForm::File);
    for (QWidget* w : {txtServer_, txtPort_, txtDatabase_}) form_->setRowVisible(w, form == DataLinkForm::Server);
    for (QWidget* w : std::initializer_list<QWidget*>{cboDataSource_, cboDriver_, txtOdbcString_})
        form_->setRowVisible(w, form == DataLinkForm::Odbc);
    for (QWidget* w : {txtUser_, txtPassword_}) form_->setRowVisible(w, form != DataLinkForm::File);
    if (isVisible()) adjustSize();
}

void DataLinkDialog::BrowseForFile() {
    const char* filter = kProviders[static_cast<int>(CurrentProvider())].fileFilter;
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
    loaded_ = {};
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
    loaded_ = ReadDataLink(connectionString);
    SetProvider(loaded_.provider);
    SetText(txtFile_, loaded_.file);
    SetText(txtServer_, loaded_.server);
    SetText(txtPort_, loaded_.port);
    SetText(txtDatabase_, loaded_.database);
    cboDataSource_->setEditText(QString::fromStdString(loaded_.dataSource));
    SelectDriver(loaded_.driver);
    SetText(txtOdbcString_, loaded_.odbcString);
    SetText(txtUser_, loaded_.user);
    SetText(txtPassword_, loaded_.password);
}

std::string DataLinkDialog::ConnectionString() const {
    DataLinkFields f = loaded_;
    f.provider = CurrentProvider();
    f.file = TextOf(txtFile_);
    f.server = TextOf(txtServer_);
    f.port = TextOf(txtPort_);
    f.database = TextOf(txtDatabase_);
    f.dataSource = cboDataSource_->currentText().toStdString();
    f.driver = cboDriver_->currentText().toStdString();
    f.odbcString = TextOf(txtOdbcString_);
    f.user = TextOf(txtUser_);
    f.password = TextOf(txtPassword_);
    return WriteDataLink(f);
}

void DataLinkDialog::TestConnection() {
    bool succeeded = false;
    {
        Hourglass wait;
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
