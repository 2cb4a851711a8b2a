#pragma once
// The load's progress window: one line of text, a bar and "Zrušit"; the other windows are
// disabled meanwhile. "Zrušit" or Escape sets the sink's cancel flag, and the load stops at its
// next progress step; the window itself closes when the load has ended.
#include <QDialog>

#include "workbook/progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vestrano {

class TProgressWindow : public QDialog, public ProgressSink {
 public:
  explicit TProgressWindow(QWidget* parent);
  // Shows the text and moves the bar, never backwards; lets the window repaint and take the
  // user's click on "Zrušit".
  void Progress(std::string_view text, double fraction) override;
  void reject() override;  // Escape: cancel, the window stays until the load ends
  int Value() const;       // the bar, 0 … 1000

 private:
  void Cancel();
  QLabel* label_;
  QProgressBar* bar_;
  QPushButton* cancel_button_;
};

}  // namespace vestrano
