// The window, on Qt's offscreen platform: caption, size, commands and the panes at start-up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

#include "main_window.h"

namespace vestrano {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_test";
  static char* argv[] = {name, nullptr};
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication app(argc, argv);
  return app;
}

TEST(Window, StartsWithCaptionCommandsAndEmptyPanes) {
  App();
  TMainApp window;
  window.show();
  EXPECT_EQ(window.windowTitle(), QString("Vestrano v1.00"));
  EXPECT_EQ(window.size(), QSize(1179, 622));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());  // fixed size

  QStringList captions;
  for (auto* b : window.findChildren<QPushButton*>()) captions << b->text();
  EXPECT_EQ(captions, QStringList({"Import XLS, XLSX", "Export XML Vestrano", "O programu", "Konec"}));
  QStringList frames;
  for (auto* g : window.findChildren<QGroupBox*>()) frames << g->title();
  EXPECT_TRUE(frames.contains(QString::fromUtf8("Kontrola - mezisoučty sloupců")));
  EXPECT_TRUE(frames.contains(QString::fromUtf8("Výsledek načtení vstupního souboru")));
  EXPECT_TRUE(frames.contains(QString::fromUtf8("Upozornění")));
  EXPECT_TRUE(frames.contains(QString::fromUtf8("Chybové hlášení")));

  const auto tables = window.findChildren<QTableWidget*>();
  ASSERT_EQ(tables.size(), 2);
  const QTableWidget* subtotals = tables[0]->rowCount() == 46 ? tables[0] : tables[1];
  const QTableWidget* stats = tables[0]->rowCount() == 46 ? tables[1] : tables[0];
  ASSERT_EQ(subtotals->rowCount(), 46);
  EXPECT_EQ(subtotals->item(0, 0)->text(), QString::fromUtf8("A1-Základ daně"));
  for (int r = 0; r < 46; ++r) EXPECT_EQ(subtotals->item(r, 1)->text(), "0");
  EXPECT_EQ(stats->columnCount(), 9);
  EXPECT_EQ(stats->item(0, 0)->text(), QString::fromUtf8("Řádky/oddíl"));
  EXPECT_EQ(stats->item(4, 0)->text(), "CELKEM");
  EXPECT_EQ(stats->item(0, 8)->text(), "B3");
  EXPECT_EQ(stats->item(1, 1)->text(), "");
  for (auto* list : window.findChildren<QListWidget*>()) EXPECT_EQ(list->count(), 0);

  if (const QByteArray shot = qgetenv("VESTRANO_SCREENSHOT"); !shot.isEmpty())
    window.grab().save(QString::fromLocal8Bit(shot));
}

TEST(Window, KonecClosesTheWindow) {
  App();
  TMainApp window;
  window.show();
  for (auto* b : window.findChildren<QPushButton*>())
    if (b->text() == "Konec") b->click();
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace vestrano
