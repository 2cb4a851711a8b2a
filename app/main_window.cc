#include "main_window.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>

#include "export/export.h"
#include "export/xml_writer.h"
#include "import/run.h"
#include "workbook/progress.h"

namespace vestrano {

namespace {
const char kVersion[] = "1.00";

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

// The load's progress window: one line of text and a bar, the other windows disabled.
class ProgressWindow : public ProgressSink {
 public:
  explicit ProgressWindow(QWidget* parent) : dialog_(parent) {
    dialog_.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog_.setWindowModality(Qt::ApplicationModal);
    dialog_.setCancelButton(nullptr);
    dialog_.setFixedSize(238, 83);
    dialog_.setRange(0, 1000);
    dialog_.setMinimumDuration(0);
  }
  void Progress(std::string_view text, double fraction) override {
    dialog_.setLabelText(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    dialog_.setValue(static_cast<int>(fraction * 1000));
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }

 private:
  QProgressDialog dialog_;
};

void InfoBox(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
  box.exec();
}

QGroupBox* Frame(QWidget* parent, const char* title, int x, int y, int w, int h) {
  auto* box = new QGroupBox(QString::fromUtf8(title), parent);
  box->setGeometry(x, y, w, h);
  return box;
}
}  // namespace

TMainApp::TMainApp() {
  setWindowTitle(QString("Vestrano v") + kVersion);
  setFixedSize(1179, 622);
  QFont font("Tahoma");  // the layout is drawn for Tahoma 8; a similar sans serif stands in
  font.setPointSize(8);
  font.setStyleHint(QFont::SansSerif);
  setFont(font);
  st_.start_directory = QDir::currentPath().toStdString();

  auto* group1 = Frame(this, "Kontrola - mezisoučty sloupců", 8, 8, 321, 609);
  subtotals_list_ = new QTableWidget(static_cast<int>(st_.subtotals.lines.size()), 2, group1);
  subtotals_list_->setGeometry(9, 21, 304, 574);
  subtotals_list_->setHorizontalHeaderLabels({"Sloupec", "Celkem"});
  subtotals_list_->horizontalHeaderItem(1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  subtotals_list_->setColumnWidth(0, 140);
  subtotals_list_->setColumnWidth(1, 141);
  subtotals_list_->verticalHeader()->hide();
  subtotals_list_->verticalHeader()->setDefaultSectionSize(18);
  subtotals_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  auto* group4 = Frame(this, "Výsledek načtení vstupního souboru", 335, 8, 418, 129);
  stats_list_ = new QTableWidget(5, 9, group4);
  stats_list_->setGeometry(9, 19, 400, 102);
  stats_list_->horizontalHeader()->hide();
  stats_list_->verticalHeader()->hide();
  stats_list_->verticalHeader()->setDefaultSectionSize(18);
  stats_list_->setColumnWidth(0, 75);
  for (int c = 1; c <= 8; ++c) stats_list_->setColumnWidth(c, 39);
  stats_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  auto* group3 = Frame(this, "Upozornění", 335, 143, 418, 474);
  log_box2_ = new QListWidget(group3);
  log_box2_->setGeometry(9, 16, 400, 447);
  auto* group2 = Frame(this, "Chybové hlášení", 757, 143, 418, 474);
  log_box_ = new QListWidget(group2);
  log_box_->setGeometry(8, 16, 400, 447);

  const std::pair<const char*, void (TMainApp::*)()> buttons[] = {
      {"Import XLS, XLSX", &TMainApp::LoadBtnClick},
      {"Export XML Vestrano", &TMainApp::Export1BtnClick},
      {"O programu", &TMainApp::AboutBtnClick},
      {"Konec", &TMainApp::EndBtnClick},
  };
  int y = 19;
  for (auto [caption, handler] : buttons) {
    auto* button = new QPushButton(QString::fromUtf8(caption), this);
    button->setGeometry(1055, y, 116, 25);
    connect(button, &QPushButton::clicked, this, handler);
    y += 31;
  }
  ShowPanes();
}

void TMainApp::ShowPanes() {
  log_box_->clear();
  for (const auto& line : st_.errors) log_box_->addItem(Q(line));
  log_box2_->clear();
  for (const auto& line : st_.warnings) log_box2_->addItem(Q(line));
  for (int c = 0; c < 9; ++c) {
    for (int r = 0; r < 5; ++r) {
      auto* item = new QTableWidgetItem(Q(st_.stats.At(c, r)));
      if (c == 0 || r == 0) item->setBackground(palette().button());
      stats_list_->setItem(r, c, item);
    }
  }
  for (int i = 0; i < static_cast<int>(st_.subtotals.lines.size()); ++i) {
    subtotals_list_->setItem(i, 0, new QTableWidgetItem(Q(st_.subtotals.lines[i].first)));
    auto* value = new QTableWidgetItem(Q(st_.subtotals.lines[i].second));
    value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    subtotals_list_->setItem(i, 1, value);
  }
}

void TMainApp::LoadBtnClick() {
  BeginImport(st_);
  ShowPanes();
  const QString file = QFileDialog::getOpenFileName(
      this, QString(), last_open_,
      QString::fromUtf8("Excel soubory (*.xls, *.xlsx) (*.xls*)"));
  if (file.isEmpty()) return;
  last_open_ = file;
  try {
    ProgressWindow progress(this);
    RunImport(st_, file.toStdString(), &progress);
  } catch (const std::exception& e) {
    ShowPanes();
    QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
    return;
  }
  ShowPanes();
}

void TMainApp::Export1BtnClick() {
  const QString file = QFileDialog::getSaveFileName(this, QString(), last_save_,
                                                    QString::fromUtf8("XML soubor (*.xml)"));
  if (file.isEmpty()) return;
  last_save_ = file;
  const std::string path = WithXmlExtension(QDir(file).absolutePath().toStdString());
  QDir::setCurrent(QString::fromStdString(st_.start_directory));
  try {
    const ExportResult result = ExportStatement(st_.Filing(), path, true, st_.start_directory);
    InfoBox(this, QString::fromUtf8(kExportCaption), Q(result.message));
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
  }
}

void TMainApp::AboutBtnClick() {
  InfoBox(this, QString::fromUtf8("O programu"), QString::fromUtf8("Program Vestrano"));
}

void TMainApp::EndBtnClick() { close(); }

}  // namespace vestrano
