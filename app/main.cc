// Vestrano: the desktop window. `vestrano [WORKBOOK]`: the workbook is imported at start, as if
// chosen in the open dialog (for "Open with" in a file manager).
#include <QApplication>
#include <QLocale>
#include <QTimer>
#include <cstdio>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // takes the desktop's locale; the core does not depend on it
  const QStringList args = QApplication::arguments();
  if (args.size() > 1 && (args[1] == "-h" || args[1] == "--help")) {
    std::fputs(
        "Usage: vestrano [WORKBOOK]\n"
        "The window for the VAT control statement: imports an .xlsx/.xls workbook, shows its\n"
        "checks and totals and exports the filing XML. WORKBOOK is imported at start.\n"
        "The command line front end is vestrano-cli.\n",
        stdout);
    return 0;
  }
  if (args.size() > 1 && args[1] == "--version") {
    std::fputs("vestrano " VESTRANO_VERSION "\n", stdout);
    return 0;
  }
  vestrano::InstallQtTranslations(app, QLocale::system());
  vestrano::TMainApp window;
  window.show();
  if (args.size() > 1) {
    const QString workbook = args.at(1);
    QTimer::singleShot(0, &window, [&window, workbook] { window.ImportFile(workbook); });
  }
  return app.exec();
}
