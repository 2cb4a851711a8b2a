#include "dialogs.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "panes.h"

namespace vestrano {

namespace {

// A message box is only as wide as its text; a short text would cut the caption in the title bar.
void KeepCaptionWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) + 160;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                grid->rowCount(), 0, 1, grid->columnCount());
}

class TDesktopDialogs : public TDialogs {
 public:
  QString OpenFileName(QWidget* parent, const QString& start, const QString& filter) override {
    return QFileDialog::getOpenFileName(parent, QString(), start, filter);
  }
  QString SaveFileName(QWidget* parent, const QString& suggested, const QString& filter) override {
    return QFileDialog::getSaveFileName(parent, QString(), suggested, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
  }
  bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
    // Own texts: the standard Yes/No buttons would follow Qt's language, English without a
    // translation.
    QPushButton* yes = box.addButton(QString::fromUtf8("Ano"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QString::fromUtf8("Ne"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    KeepCaptionWhole(box);
    box.exec();
    return box.clickedButton() == yes;
  }
  void Inform(QWidget* parent, const QString& caption, const QString& text) override {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    KeepCaptionWhole(box);
    box.exec();
  }
  void Error(QWidget* parent, const QString& caption, const QString& text) override {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    KeepCaptionWhole(box);
    box.exec();
  }
  void ShowExportResult(QWidget* parent, const QString& caption, const QString& text,
                        const QStringList& lines, const QString& folder) override {
    QDialog dialog(parent);
    dialog.setObjectName("ExportResult");
    dialog.setWindowTitle(caption);
    dialog.setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QString(text).replace("\r\n", "\n"), &dialog);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    layout->addWidget(label);
    if (!lines.isEmpty()) {
      auto* list = new TMessageList(&dialog);
      list->SetLines(lines);
      layout->addWidget(list, 1);
    } else {
      layout->addStretch(1);
    }
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* open =
        buttons->addButton(QString::fromUtf8("Otevřít složku"), QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    ok->setText("OK");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(open, &QPushButton::clicked, &dialog, [&dialog, folder] {
      if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        QMessageBox::warning(&dialog, dialog.windowTitle(),
                             QString::fromUtf8("Složku „%1“ se nepodařilo otevřít.").arg(folder));
    });
    layout->addWidget(buttons);
    // Wide enough for the caption and the path; a list of errors gets room for many lines, but
    // never more than the screen.
    QSize size =
        dialog.sizeHint().expandedTo({dialog.fontMetrics().horizontalAdvance(caption) + 200, 0});
    if (!lines.isEmpty()) size = size.expandedTo({760, 480});
    if (const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
      size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size);
    ok->setFocus();
    dialog.exec();
  }
};
}  // namespace

std::unique_ptr<TDialogs> DesktopDialogs() { return std::make_unique<TDesktopDialogs>(); }

}  // namespace vestrano
