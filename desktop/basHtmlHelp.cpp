#include "basHtmlHelp.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include <string>

#include "basGeneral.h"
#include "ui/UserInterface.h"

namespace qarn::desktop {

namespace {

constexpr const char* kHelpFile = "qarnSqlGen.html";

// What to do when no program can show the help: the pages need a web
// browser, which the desktop starts through xdg-open.
std::string BrowserAdvice(const std::string& reason) {
    return "The following error has has occurred accessing HTML Help:\r\n\r\n" + reason +
           "\r\n\r\n"
           "This application shows its help in your web browser.\r\n"
           "If no web browser is installed on your computer \r\n"
           "please install one, with the xdg-utils package that\r\n"
           "starts it (for example: apt-get install firefox-esr xdg-utils),\r\n"
           "or choose a default browser in your desktop's settings.\r\n"
           "Please refer to the README.md file for further information."
           "\r\n\r\n"
           "If you have any of the following already installed\r\n"
           "You should NOT need to install a web browser:\r\n"
           "\r\n"
           "Firefox or Firefox ESR\r\n"
           "Chromium\r\n"
           "GNOME Web (Epiphany)\r\n"
           "Konqueror or Falkon";
}

}  // namespace

void ShowHelp() {
    // A missing file is the browser's to report, as a page it cannot find.
    QString path = QDir(QString::fromStdString(ApplicationFolder())).filePath(kHelpFile);
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return;
    CurrentUserInterface().MessageBox(
        BrowserAdvice("No program could be started to show the help file " + path.toStdString() + "."),
        MsgIcon::Information);
}

}  // namespace qarn::desktop
