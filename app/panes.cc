#include "panes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStringListModel>
#include <QToolTip>
#include <algorithm>

namespace vestrano {

namespace {
// The text area of a cell: the margin on the side the text is aligned to, as the layout was drawn
// (left-aligned text starts 2 pixels in, right-aligned text ends 2 pixels short of the border).
QRect TextRect(const QRect& cell, Qt::Alignment align) {
  return align & Qt::AlignRight ? cell.adjusted(0, 0, -kCellMargin, 0)
                                : cell.adjusted(kCellMargin, 0, 0, 0);
}
}  // namespace

// The message lists' lines are 13 pixels apart, as the layout was drawn. All lines are as wide as
// the longest, so that a list of any length lays out at once and a long line gets a scroll bar.
class TLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {width, 13};
  }
  int width = 0;
};

bool TCellDelegate::Fits(const QFontMetrics& metrics, const QString& text, int cell_width) {
  return metrics.horizontalAdvance(text) <= cell_width - kCellMargin;
}

void TCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
  QStyleOptionViewItem opt = option;
  initStyleOption(&opt, index);
  const QString text = opt.text;
  opt.text.clear();  // the style draws background, selection and focus; the text is ours
  const QWidget* widget = opt.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

  const Qt::Alignment align = opt.displayAlignment & Qt::AlignHorizontal_Mask;
  const QRect area = TextRect(opt.rect, align);
  const QPalette::ColorGroup group =
      opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
  painter->save();
  painter->setFont(opt.font);
  painter->setPen(opt.palette.color(
      group, opt.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
  painter->drawText(area, static_cast<int>(align | Qt::AlignVCenter),
                    opt.fontMetrics.elidedText(text, Qt::ElideRight, area.width()));
  painter->restore();
}

bool TCellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                              const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (event == nullptr || view == nullptr || event->type() != QEvent::ToolTip)
    return QStyledItemDelegate::helpEvent(event, view, option, index);
  const QString text = index.data(Qt::DisplayRole).toString();
  if (Fits(option.fontMetrics, text, option.rect.width())) {
    QToolTip::hideText();
    return true;
  }
  QToolTip::showText(event->globalPos(), text, view, option.rect);
  return true;
}

TMessageList::TMessageList(QWidget* parent)
    : QListView(parent), model_(new QStringListModel(this)) {
  setModel(model_);
  line_delegate_ = new TLineDelegate(this);
  setItemDelegate(line_delegate_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setUniformItemSizes(true);  // a run can report hundreds of thousands of lines
  auto* copy_all = new QAction(QString::fromUtf8("Kopírovat vše"), this);
  connect(copy_all, &QAction::triggered, this, &TMessageList::CopyAll);
  addAction(copy_all);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void TMessageList::SetLines(const QStringList& lines) {
  // Measuring every line of a long run would take seconds; the longest lines by characters are
  // the widest.
  qsizetype longest = 0;
  for (const QString& line : lines) longest = std::max(longest, line.size());
  const QFontMetrics metrics(font());
  int width = 0;
  int measured = 0;
  for (const QString& line : lines) {
    if (line.size() + 10 < longest || measured++ > 1000) continue;
    width = std::max(width, metrics.horizontalAdvance(line));
  }
  line_delegate_->width = width + 8;  // the item's own text margins
  model_->setStringList(lines);
}

QStringList TMessageList::Lines() const { return model_->stringList(); }

void TMessageList::CopySelected() const {
  QModelIndexList rows = selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QStringList lines;
  for (const QModelIndex& row : rows) lines << row.data().toString();
  if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join('\n') + '\n');
}

void TMessageList::CopyAll() const {
  const QStringList lines = Lines();
  if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join('\n') + '\n');
}

void TMessageList::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelected();
    event->accept();
    return;
  }
  QListView::keyPressEvent(event);
}

}  // namespace vestrano
