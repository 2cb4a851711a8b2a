// Vestrano: the desktop window.
#include <QApplication>

#include "main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);  // takes the desktop's locale; the core does not depend on it
  vestrano::TMainApp window;
  window.show();
  return app.exec();
}
