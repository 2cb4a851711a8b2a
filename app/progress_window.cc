#include "progress_window.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace vestrano {

TProgressWindow::TProgressWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("ProgressWindow");
  setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  setWindowModality(Qt::ApplicationModal);
  // Without a title bar of its own, a frame sets it apart from the window below.
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* box = new QFrame(this);
  box->setFrameStyle(QFrame::Panel | QFrame::Raised);
  outer->addWidget(box);
  auto* frame = new QVBoxLayout(box);
  frame->setContentsMargins(12, 10, 12, 10);
  label_ = new QLabel(this);
  label_->setAlignment(Qt::AlignCenter);
  label_->setTextFormat(Qt::PlainText);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 1000);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  cancel_button_ = new QPushButton(QString::fromUtf8("Zrušit"), this);
  cancel_button_->setObjectName("CancelBtn");
  cancel_button_->setAutoDefault(true);
  connect(cancel_button_, &QPushButton::clicked, this, &TProgressWindow::Cancel);
  frame->addWidget(label_);
  frame->addWidget(bar_);
  frame->addWidget(cancel_button_, 0, Qt::AlignHCenter);
  setFixedSize(260, 110);
  if (parent != nullptr)  // centred on the window that started the load
    move(parent->geometry().center() - rect().center());
  show();
  cancel_button_->setFocus();
  QApplication::processEvents();
}

void TProgressWindow::Progress(std::string_view text, double fraction) {
  if (!cancel.IsSet())
    label_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  // A later step may estimate less done than an earlier one; the bar does not go back for it.
  const int value = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000);
  bar_->setValue(std::max(bar_->value(), value));
  // User input too, for "Zrušit": the other windows are disabled, so nothing else can start.
  QApplication::processEvents();
}

void TProgressWindow::reject() { Cancel(); }

int TProgressWindow::Value() const { return bar_->value(); }

void TProgressWindow::Cancel() {
  cancel.Set();
  cancel_button_->setEnabled(false);
  label_->setText(QString::fromUtf8("Ruší se…"));
}

}  // namespace vestrano
