#pragma once
// The pieces the result panes are drawn with: grid cells with the 2-pixel margin the layout was
// drawn for (a text that does not fit shows its whole text as a tooltip), grids and message lists
// whose cells and lines can be selected together and copied, and the client line.
#include <QLabel>
#include <QListView>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableWidget>

class QStringListModel;

namespace vestrano {

class TLineDelegate;

inline constexpr int kCellMargin = 2;

class TCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override;
  // Whether the text shows whole in a cell of that width (the grid line excluded).
  static bool Fits(const QFontMetrics& metrics, const QString& text, int cell_width);
};

// A message list: one line per message; Ctrl+A selects all, Ctrl+C copies the selected lines, the
// context menu copies every line.
class TMessageList : public QListView {
 public:
  explicit TMessageList(QWidget* parent);
  void SetLines(const QStringList& lines);
  QStringList Lines() const;
  void CopySelected() const;
  void CopyAll() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QStringListModel* model_;
  TLineDelegate* line_delegate_;
};

// A grid of texts: Ctrl+C copies the selected cells as lines of tab-separated text (what a
// spreadsheet pastes as a table), the context menu's "Kopírovat vše" copies every cell with the
// column headings shown. Tab leaves the grid; the arrows move within it.
class TGrid : public QTableWidget {
 public:
  TGrid(int rows, int columns, QWidget* parent);
  void CopySelected() const;
  void CopyAll() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

// One line of text that never widens its window: what does not fit ends in "…" and shows whole
// as a tooltip.
class TElidedLabel : public QLabel {
 public:
  explicit TElidedLabel(QWidget* parent);
  void SetFullText(const QString& text);
  QString FullText() const { return full_; }
  QSize minimumSizeHint() const override;
  QSize sizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Elide();
  QString full_;
};

}  // namespace vestrano
