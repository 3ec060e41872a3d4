#pragma once
// What the tests of the program's dialogs, settings and messages share: an
// offscreen application, a user folder of their own for every test (the
// settings store and the control's registration live there), a recorder in
// place of every message box, and answers for modal windows so that no test
// ever waits for a person.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "basErrorHandler.h"
#include "basGeneral.h"
#include "support/TestDatabase.h"
#include "ui/UserInterface.h"

namespace qarn::desktop::test {

using qarn::test::MakeSqliteDatabase;
using qarn::test::ReadBytes;
using qarn::test::WriteBytes;

// Records every message box, and lets a test look at the windows while it
// is up; answers OK.
class RecordingUi : public UserInterface {
public:
    struct Shown {
        std::string text;
        MsgIcon icon = MsgIcon::None;
        std::string title;
    };
    MsgResult MessageBox(const std::string& text, MsgIcon icon, const std::string& title, MsgButtons) override {
        shown.push_back({text, icon, title});
        if (onMessage) onMessage(shown.back());
        return MsgResult::Ok;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& s : shown) texts.push_back(s.text);
        return texts;
    }
    void ShowErrorWindow(const std::string& report, const std::vector<std::string>&) override {
        shown.push_back({"error window: " + report, MsgIcon::Critical, {}});
    }
    void RestorePointer() override { ++pointerRestores; }
    void EnableActiveWindow() override { ++windowEnables; }

    std::vector<Shown> shown;
    std::function<void(const Shown&)> onMessage;
    int pointerRestores = 0;
    int windowEnables = 0;
};

inline bool operator==(const RecordingUi::Shown& a, const RecordingUi::Shown& b) {
    return a.text == b.text && a.icon == b.icon && a.title == b.title;
}
inline std::ostream& operator<<(std::ostream& os, const RecordingUi::Shown& s) {
    return os << "{\"" << s.text << "\", icon " << static_cast<int>(s.icon) << ", title \"" << s.title << "\"}";
}

class DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QApplication::instance()) return;
        static int argc = 1;
        static char name[] = "test_desktop";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);  // lives as long as the process
        QCoreApplication::setApplicationName("qarnSqlGen");
    }

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_DATA_HOME", home.filePath("data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());
        // Qt reads the user folder of its settings once per process.
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.filePath("config"));
        appDir = home.filePath("app");
        QDir().mkpath(appDir);
        SetApplicationFolder(appDir.toStdString());
        SetUserInterface(&ui);
        QObject::connect(&modalWatch, &QTimer::timeout, [this] { AnswerModal(); });
        modalWatch.start(20);
    }

    void TearDown() override {
        modalWatch.stop();
        SetUserInterface(nullptr);
        SetApplicationFolder({});
        qputenv("PATH", path);
        EXPECT_TRUE(unexpectedModals.empty()) << "a modal window nobody answered: " << unexpectedModals.front();
        EXPECT_TRUE(modalAnswers.empty()) << "a modal window that was answered for never opened";
    }

    template <class W = QPushButton>
    static W& Child(QWidget& parent, const char* name) {
        auto* w = parent.findChild<W*>(name);
        if (!w) throw std::runtime_error(parent.objectName().toStdString() + " has no " + name);
        return *w;
    }
    // Programs of these names, alone on the PATH, that each write their
    // path and arguments, a line each, to the file whose name is returned.
    QString FakePrograms(const QStringList& names, bool executable = true) {
        const QString dir = home.filePath("bin"), ran = home.filePath("ran");
        QDir().mkpath(dir);
        for (const QString& name : names) {
            WriteBytes((dir + "/" + name).toStdString(), ("#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + ran +
                                                          ".tmp' && /bin/mv '" + ran + ".tmp' '" + ran + "'\n")
                                                             .toStdString());
            if (executable)
                QFile::setPermissions(dir + "/" + name, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        qputenv("PATH", dir.toLocal8Bit());
        return ran;
    }

    // The next modal window that opens is handed to `answer`.
    void OnNextModal(std::function<void(QWidget&)> answer) { modalAnswers.push_back(std::move(answer)); }

    QString SettingsFile() const { return home.filePath("config/qarnSqlGen/qarnSqlGen.ini"); }
    std::string SettingsText() const {
        QFile f(SettingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }
    // Writes the settings file as a person editing it would.  Each file
    // gets a later time: Qt takes a file of the same size and time for the
    // one it read before.
    void WriteSettings(const std::string& text) const {
        QDir().mkpath(QFileInfo(SettingsFile()).path());
        QFile f(SettingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.c_str());
        f.flush();
        static int written = 0;
        f.setFileTime(QDateTime::currentDateTime().addSecs(++written), QFileDevice::FileModificationTime);
    }

    QByteArray path = qgetenv("PATH");
    QTemporaryDir home;
    QString appDir;
    RecordingUi ui;
    std::vector<std::string> unexpectedModals;

private:
    void AnswerModal() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || answering) return;
        if (modalAnswers.empty()) {
            unexpectedModals.push_back(modal->windowTitle().toStdString());
            modal->close();
            return;
        }
        auto answer = std::move(modalAnswers.front());
        modalAnswers.pop_front();
        answering = true;
        answer(*modal);
        answering = false;
    }

    QTimer modalWatch;
    std::deque<std::function<void(QWidget&)>> modalAnswers;
    bool answering = false;
};

}  // namespace qarn::desktop::test
