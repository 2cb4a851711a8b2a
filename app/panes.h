#pragma once
// The pieces the result panes are drawn with: grid cells with the 2-pixel margin the layout was
// drawn for (a text that does not fit shows its whole text as a tooltip), and message lists whose
// lines can be selected together and copied.
#include <QListView>
#include <QStringList>
#include <QStyledItemDelegate>

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

}  // namespace vestrano
