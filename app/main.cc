// Vestrano: the desktop window. `vestrano [WORKBOOK]`: the workbook is imported at start, as if
// chosen in the open dialog.
#include <QApplication>
#include <QLocale>
#include <QTimer>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // takes the desktop's locale; the core does not depend on it
  vestrano::InstallQtTranslations(app, QLocale::system());
  vestrano::TMainApp window;
  window.show();
  const QStringList args = QApplication::arguments();
  if (args.size() > 1) {
    const QString workbook = args.at(1);
    QTimer::singleShot(0, &window, [&window, workbook] { window.ImportFile(workbook); });
  }
  return app.exec();
}
