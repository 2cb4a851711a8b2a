#include "panes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStringListModel>
#include <QToolTip>
#include <algorithm>
#include <functional>

namespace vestrano {

namespace {
// The text area of a cell: the margin on the side the text is aligned to, as the layout was drawn
// (left-aligned text starts 2 pixels in, right-aligned text ends 2 pixels short of the border).
QRect TextRect(const QRect& cell, Qt::Alignment align) {
  return align & Qt::AlignRight ? cell.adjusted(0, 0, -kCellMargin, 0)
                                : cell.adjusted(kCellMargin, 0, 0, 0);
}

// A pane whose items are read, not edited: several can be selected, and the context menu's
// "Kopírovat vše" copies them all.
void OfferCopying(QAbstractItemView* view, const std::function<void()>& copy_all) {
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* action = new QAction(QString::fromUtf8("Kopírovat vše"), view);
  QObject::connect(action, &QAction::triggered, view, copy_all);
  view->addAction(action);
  view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

// Ctrl+C (or the desktop's copy key) copies the selection; true when the key was that.
bool CopyKey(QKeyEvent* event, const std::function<void()>& copy_selected) {
  if (!event->matches(QKeySequence::Copy)) return false;
  copy_selected();
  event->accept();
  return true;
}

// Every line ends in a line break, so that a paste ends on a line of its own.
void CopyLines(const QStringList& lines) {
  if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join('\n') + '\n');
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
  setUniformItemSizes(true);  // a run can report hundreds of thousands of lines
  OfferCopying(this, [this] { CopyAll(); });
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
  CopyLines(lines);
}

void TMessageList::CopyAll() const { CopyLines(Lines()); }

TGrid::TGrid(int rows, int columns, QWidget* parent) : QTableWidget(rows, columns, parent) {
  setTabKeyNavigation(false);
  OfferCopying(this, [this] { CopyAll(); });
}

void TGrid::CopySelected() const {
  QModelIndexList cells = selectionModel()->selectedIndexes();
  std::sort(cells.begin(), cells.end(), [](const QModelIndex& a, const QModelIndex& b) {
    return a.row() != b.row() ? a.row() < b.row() : a.column() < b.column();
  });
  QStringList lines;  // a row's selected cells, tab-separated
  int row = -1;
  for (const QModelIndex& cell : cells) {
    if (cell.row() != row)
      lines << QString();
    else
      lines.last() += '\t';
    row = cell.row();
    lines.last() += cell.data().toString();
  }
  CopyLines(lines);
}

void TGrid::CopyAll() const {
  QStringList lines;
  auto line = [this](auto text_of_column) {
    QStringList cells;
    for (int c = 0; c < columnCount(); ++c) cells << text_of_column(c);
    return cells.join('\t');
  };
  if (!horizontalHeader()->isHidden())
    lines << line([this](int c) { return model()->headerData(c, Qt::Horizontal).toString(); });
  for (int r = 0; r < rowCount(); ++r)
    lines << line([this, r](int c) { return model()->index(r, c).data().toString(); });
  CopyLines(lines);
}

void TGrid::keyPressEvent(QKeyEvent* event) {
  if (!CopyKey(event, [this] { CopySelected(); })) QTableWidget::keyPressEvent(event);
}

TElidedLabel::TElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);  // a client's name is never markup
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void TElidedLabel::SetFullText(const QString& text) {
  full_ = text;
  Elide();
}

// As high as a line of text, also while empty, so that the panes below do not move.
QSize TElidedLabel::minimumSizeHint() const { return {0, fontMetrics().height() + 4}; }
QSize TElidedLabel::sizeHint() const { return minimumSizeHint(); }

void TElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void TElidedLabel::Elide() {
  const QString shown = fontMetrics().elidedText(full_, Qt::ElideRight, contentsRect().width());
  if (shown != text()) setText(shown);
  setToolTip(shown == full_ ? QString() : full_);
}

void TMessageList::keyPressEvent(QKeyEvent* event) {
  if (!CopyKey(event, [this] { CopySelected(); })) QListView::keyPressEvent(event);
}

}  // namespace vestrano
