// SPDX-License-Identifier: GPL-3.0-or-later
// Tamberlon: the program's entry.
#include "common/AppVersionUnit.h"
#include "common/ErrorsUnit.h"
#include "common/FileWriteUnit.h"
#include "ui/DesktopHost.h"
#include "ui/MainUnit.h"
#include "ui/NewsGroupUnit.h"

#include <QApplication>
#include <QIcon>
#include <exception>

namespace {
// An exception that reaches the event loop ends the command that met it, with a box, and
// never the program: the preferences and the newsgroup list are still saved at the end.
class TApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& problem) {
      ShowError(ecGeneral, problem.what());
    } catch (...) {
      ShowError(ecGeneral);
    }
    return false;
  }
};
} // namespace

int main(int argc, char** argv) {
  TApplication application(argc, argv);
  Q_INIT_RESOURCE(resources); // the icon lives in a static library
  QApplication::setApplicationName(QStringLiteral("Tamberlon"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/tamberlon.png")));
  InstallWriteInterruptCleanup();
  // The host outlives both windows: the newsgroup window reports through it as it goes.
  TDesktopHost host;
  TInstalledHost installed(host);
  RecoverInterruptedCommits(GetProgramFolder()); // a save a kill cut short, settled

  TFormMain formMain;
  TFormNewsGroups formNewsGroups(&formMain);
  formMain.SetNewsGroupsForm(&formNewsGroups);
  host.SetMainWindow(&formMain);
  formMain.show();
  return application.exec();
}
