#pragma once
// The main window: the commands and the four result panes of the statement state, with the line
// that names the client.
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <optional>

#include "dialogs.h"
#include "export/export.h"
#include "import/statement.h"

class QCoreApplication;
class QGroupBox;
class QLocale;
class QMenu;
class QPushButton;
class QToolButton;

namespace vestrano {

class TElidedLabel;
class TGrid;
class TMessageList;

class TMainApp : public QWidget {
 public:
  // The desktop's dialogs unless a stand-in is given. Size and position come from the last run
  // (QSettings), else the designed size, centred; either way the window fits its screen.
  explicit TMainApp(std::unique_ptr<TDialogs> dialogs = nullptr);
  ~TMainApp() override;

  // Imports the workbook as if it had been chosen in the open dialog.
  void ImportFile(const QString& path);
  // The last workbooks imported, most recent first, those whose file is gone left out.
  static QStringList RecentWorkbooks();

  static constexpr QSize kDesignedSize{1179, 622};
  static constexpr QSize kMinimumSize{900, 500};
  static constexpr int kRecentCount = 8;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  friend class KeyboardBack;
  void LoadBtnClick();
  void Export1BtnClick();
  void ReportBtnClick();
  void AboutBtnClick();
  void EndBtnClick();
  void OpenDropped(const QString& path);
  void ShowPanes();  // redraws the panes, the client line, the frame titles and the caption
  // The save dialog, offering the workbook's name with the extension, until a name is new or may
  // be replaced; empty when cancelled. The extension is added to a chosen name without it.
  QString SaveName(const char* extension, const QString& filter, const QString& caption);
  QString WithClient(const QString& text) const;  // the client line above the text
  void TakeKeyboard(QWidget* previous);
  void FillRecentMenu();
  void PlaceOnScreen();

  TStatement st_;
  std::unique_ptr<TDialogs> dialogs_;
  QString workbook_;  // the last workbook chosen
  QString imported_;  // the workbook of the statement shown; empty before and after a failure
  std::optional<ExportResult> last_export_;  // of the statement shown
  bool loading_ = false;
  // The panes; their object names (StatsList, SubtotalsList, LogBox, LogBox2, GroupBox1 … 4)
  // are the form's established widget names, which tests and tools look them up by.
  TGrid* stats_list_;
  TGrid* subtotals_list_;
  TMessageList* errors_list_;
  TMessageList* warnings_list_;
  QGroupBox* errors_frame_;    // "Chybové hlášení", with the count
  QGroupBox* warnings_frame_;  // "Upozornění", with the count
  TElidedLabel* client_line_;
  QToolButton* load_btn_;
  QMenu* recent_menu_;
  QPushButton* export_btn_;
  QPushButton* report_btn_;
};

// Where the window opens the first time on a screen with that available area: the designed size,
// smaller where the screen is (never below the minimum), centred; the client area, with room
// left for the frame, which is not known before the window is shown.
QRect FirstPlacement(const QRect& available);
inline constexpr QMargins kFrameAllowance{4, 32, 4, 4};

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
