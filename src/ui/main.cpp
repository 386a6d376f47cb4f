// Tamberlon: the program's entry.
#include "ui/DesktopHost.h"
#include "ui/MainUnit.h"
#include "ui/NewsGroupUnit.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  Q_INIT_RESOURCE(resources); // the icon lives in a static library
  QApplication::setApplicationName(QStringLiteral("Tamberlon"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/tamberlon.png")));
  // The host outlives both windows: the newsgroup window reports through it as it goes.
  TDesktopHost host;
  TInstalledHost installed(host);

  TFormMain formMain;
  TFormNewsGroups formNewsGroups(&formMain);
  formMain.SetNewsGroupsForm(&formNewsGroups);
  host.SetMainWindow(&formMain);
  formMain.show();
  return application.exec();
}
