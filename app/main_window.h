#pragma once
// The main window: four commands and the four result panes of the statement state.
#include <QWidget>

#include "import/statement.h"

class QListWidget;
class QTableWidget;

namespace vestrano {

class TMainApp : public QWidget {
 public:
  TMainApp();

 private:
  void LoadBtnClick();
  void Export1BtnClick();
  void AboutBtnClick();
  void EndBtnClick();
  void ShowPanes();  // redraws the four panes from the statement state

  TStatement st_;
  QString last_open_;
  QString last_save_;
  QTableWidget* stats_list_;
  QTableWidget* subtotals_list_;
  QListWidget* log_box_;   // errors
  QListWidget* log_box2_;  // warnings
};

}  // namespace vestrano
