#pragma once
// Everything the window asks the user in a modal dialog. The window reaches the user only through
// this interface, so tests can stand in for the user (a chosen path, a cancel, an answer).
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace vestrano {

class TDialogs {
 public:
  virtual ~TDialogs() = default;
  // The workbook to import, starting at `start` (a file or a folder); empty when cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& start, const QString& filter) = 0;
  // The name to save under, `suggested` offered; empty when cancelled. The dialog does not ask
  // about an existing file: the window asks once the final name is known.
  virtual QString SaveFileName(QWidget* parent, const QString& suggested,
                               const QString& filter) = 0;
  // A question answered "Ano" (true) or "Ne" (false); "Ne" is the default and the Escape button.
  virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
  // A message with an OK button and no icon.
  virtual void Inform(QWidget* parent, const QString& caption, const QString& text) = 0;
  // A failure that ended a command.
  virtual void Error(QWidget* parent, const QString& caption, const QString& text) = 0;
  // What an export did: the text (which can be selected and copied), the validator's lines in a
  // list that grows with the dialog (none when empty), and "Otevřít složku", which opens `folder`
  // in the desktop's file manager.
  virtual void ShowExportResult(QWidget* parent, const QString& caption, const QString& text,
                                const QStringList& lines, const QString& folder) = 0;
};

// The real dialogs of the desktop.
std::unique_ptr<TDialogs> DesktopDialogs();

}  // namespace vestrano
