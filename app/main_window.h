#pragma once
// The main window: four commands and the four result panes of the statement state.
#include <QString>
#include <QWidget>
#include <memory>

#include "dialogs.h"
#include "import/statement.h"

class QCoreApplication;
class QGroupBox;
class QLocale;
class QPushButton;
class QTableWidget;

namespace vestrano {

class TMessageList;

class TMainApp : public QWidget {
 public:
  // The desktop's dialogs unless a stand-in is given.
  explicit TMainApp(std::unique_ptr<TDialogs> dialogs = nullptr);
  ~TMainApp() override;

  // Imports the workbook as if it had been chosen in the open dialog.
  void ImportFile(const QString& path);

 private:
  void LoadBtnClick();
  void Export1BtnClick();
  void AboutBtnClick();
  void EndBtnClick();
  void ShowPanes();    // redraws the four panes, the frame titles and the caption from the state
  QString SaveName();  // the save dialog and the ".xml" rule; empty when cancelled

  TStatement st_;
  std::unique_ptr<TDialogs> dialogs_;
  QString workbook_;  // the last workbook chosen
  QString imported_;  // the workbook of the statement shown; empty before and after a failure
  QTableWidget* stats_list_;
  QTableWidget* subtotals_list_;
  TMessageList* log_box_;   // errors
  TMessageList* log_box2_;  // warnings
  QGroupBox* group2_;       // "Chybové hlášení"
  QGroupBox* group3_;       // "Upozornění"
  QPushButton* export_btn_;
};

// "Sešit obsahuje N chyb…. Přesto exportovat?" with the Czech plural of the count.
QString ErrorsQuestion(std::size_t errors);

// The font the layout was drawn for: Tahoma 8 (11 pixels at 96 dpi). Where the system has no
// Tahoma, the metric-compatible clone of Debian's fonts-wine is loaded.
QFont WindowFont();

// Loads Qt's own translations (dialogs, standard buttons) for the locale; false when there are
// none.
bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale);

// The schema file the check would use, or an empty text when there is none.
QString SchemaInUse(const std::string& start_directory);

}  // namespace vestrano
