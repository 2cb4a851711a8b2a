#include "main_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableWidget>
#include <QTranslator>
#include <optional>

#include "export/atomic_file.h"
#include "export/export.h"
#include "export/schema_check.h"
#include "export/xml_writer.h"
#include "import/run.h"
#include "panes.h"
#include "workbook/progress.h"

namespace vestrano {

namespace {
const char kVersion[] = VESTRANO_VERSION;
const QString kCaption = QString("Vestrano v") + kVersion;
const char kWineFonts[] = "/usr/share/wine/fonts/";

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
QString U(const char* s) { return QString::fromUtf8(s); }
std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

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

// The busy cursor for work that shows no window of its own.
class BusyCursor {
 public:
  BusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

QGroupBox* Frame(QWidget* parent, const char* name, const char* title, int x, int y, int w, int h) {
  auto* box = new QGroupBox(U(title), parent);
  box->setObjectName(name);
  box->setGeometry(x, y, w, h);
  return box;
}

QString Titled(const char* title, std::optional<std::size_t> count) {
  return count ? U(title) + QString(" (%1)").arg(*count) : U(title);
}
}  // namespace

QString ErrorsQuestion(std::size_t errors) {
  const char* noun = errors == 1 ? "chybu" : errors >= 2 && errors <= 4 ? "chyby" : "chyb";
  return U("Sešit obsahuje %1 %2. Přesto exportovat?").arg(errors).arg(U(noun));
}

QFont WindowFont() {
  static const bool tahoma = [] {
    if (QFontDatabase::families().contains("Tahoma", Qt::CaseInsensitive)) return true;
    const int regular = QFontDatabase::addApplicationFont(QString(kWineFonts) + "tahoma.ttf");
    QFontDatabase::addApplicationFont(QString(kWineFonts) + "tahomabd.ttf");
    return regular >= 0;
  }();
  QFont font(tahoma ? "Tahoma" : "Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  // The layout is fixed in pixels, so the font is too: 8 points at 96 dpi.
  font.setPixelSize(11);
  return font;
}

bool InstallQtTranslations(QCoreApplication& app, const QLocale& locale) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(locale, "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  app.installTranslator(translator);
  return true;
}

QString SchemaInUse(const std::string& start_directory) {
  const QString path = QDir(Q(SchemaDirectory(start_directory))).filePath(kSchemaFileName);
  return QFileInfo(path).isFile() ? QDir::cleanPath(path) : QString();
}

TMainApp::TMainApp(std::unique_ptr<TDialogs> dialogs)
    : dialogs_(dialogs ? std::move(dialogs) : DesktopDialogs()) {
  setWindowTitle(kCaption);
  setFixedSize(1179, 622);
  setFont(WindowFont());
  st_.start_directory = LocalPath(QDir::currentPath());
  auto* delegate = new TCellDelegate(this);

  auto* group1 = Frame(this, "GroupBox1", "Kontrola - mezisoučty sloupců", 8, 8, 321, 609);
  subtotals_list_ = new QTableWidget(static_cast<int>(st_.subtotals.lines.size()), 2, group1);
  subtotals_list_->setObjectName("SubtotalsList");
  subtotals_list_->setGeometry(9, 21, 304, 574);
  subtotals_list_->setItemDelegate(delegate);
  subtotals_list_->setHorizontalHeaderLabels({"Sloupec", "Celkem"});
  subtotals_list_->horizontalHeaderItem(1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  subtotals_list_->horizontalHeader()->setHighlightSections(false);
  subtotals_list_->verticalHeader()->hide();
  subtotals_list_->verticalHeader()->setMinimumSectionSize(1);
  subtotals_list_->verticalHeader()->setDefaultSectionSize(18);
  // The specified widths hold the text area; the grid line comes on top.
  subtotals_list_->setColumnWidth(0, 140 + 1);
  subtotals_list_->setColumnWidth(1, 141 + 1);
  subtotals_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  subtotals_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  auto* group4 = Frame(this, "GroupBox4", "Výsledek načtení vstupního souboru", 335, 8, 418, 129);
  stats_list_ = new QTableWidget(5, 9, group4);
  stats_list_->setObjectName("StatsList");
  stats_list_->setGeometry(9, 19, 400, 102);
  stats_list_->setItemDelegate(delegate);
  stats_list_->horizontalHeader()->hide();
  stats_list_->verticalHeader()->hide();
  stats_list_->verticalHeader()->setMinimumSectionSize(1);
  stats_list_->verticalHeader()->setDefaultSectionSize(18 + 1);
  stats_list_->setColumnWidth(0, 75 + 1);
  for (int c = 1; c <= 8; ++c) stats_list_->setColumnWidth(c, 39 + 1);
  stats_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  stats_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  stats_list_->setEditTriggers(QAbstractItemView::NoEditTriggers);

  group3_ = Frame(this, "GroupBox3", "Upozornění", 335, 143, 418, 474);
  log_box2_ = new TMessageList(group3_);
  log_box2_->setObjectName("LogBox2");
  log_box2_->setGeometry(9, 16, 400, 447);
  group2_ = Frame(this, "GroupBox2", "Chybové hlášení", 757, 143, 418, 474);
  log_box_ = new TMessageList(group2_);
  log_box_->setObjectName("LogBox");
  log_box_->setGeometry(8, 16, 400, 447);

  const struct {
    const char* name;
    const char* caption;
    void (TMainApp::*handler)();
  } buttons[] = {
      {"LoadBtn", "Import XLS, XLSX", &TMainApp::LoadBtnClick},
      {"Export1Btn", "Export XML Vestrano", &TMainApp::Export1BtnClick},
      {"AboutBtn", "O programu", &TMainApp::AboutBtnClick},
      {"EndBtn", "Konec", &TMainApp::EndBtnClick},
  };
  int y = 19;
  for (const auto& b : buttons) {
    auto* button = new QPushButton(U(b.caption), this);
    button->setObjectName(b.name);
    button->setGeometry(1055, y, 116, 25);
    button->setAutoDefault(true);  // Enter on the focused button clicks it
    connect(button, &QPushButton::clicked, this, b.handler);
    if (b.handler == &TMainApp::LoadBtnClick) button->setFocus();  // Enter imports at start
    if (b.handler == &TMainApp::Export1BtnClick) export_btn_ = button;
    y += 31;
  }
  if (const QScreen* screen = QGuiApplication::primaryScreen())  // centred on the screen
    move(screen->availableGeometry().center() - rect().center());
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
          &TMainApp::LoadBtnClick);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this), &QShortcut::activated, this,
          &TMainApp::Export1BtnClick);
  ShowPanes();
}

TMainApp::~TMainApp() = default;

void TMainApp::ShowPanes() {
  auto lines = [](const std::vector<std::string>& messages) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(messages.size()));
    for (const auto& line : messages) out << Q(line);
    return out;
  };
  log_box_->SetLines(lines(st_.errors));
  log_box2_->SetLines(lines(st_.warnings));

  for (int c = 0; c < 9; ++c) {
    for (int r = 0; r < 5; ++r) {
      auto* item = new QTableWidgetItem(Q(st_.stats.At(c, r)));
      if (c == 0 || r == 0)
        item->setBackground(palette().button());
      else
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);  // counts
      stats_list_->setItem(r, c, item);
    }
  }
  for (int i = 0; i < static_cast<int>(st_.subtotals.lines.size()); ++i) {
    subtotals_list_->setItem(i, 0, new QTableWidgetItem(Q(st_.subtotals.lines[i].first)));
    auto* value = new QTableWidgetItem(Q(st_.subtotals.lines[i].second));
    value->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    subtotals_list_->setItem(i, 1, value);
  }

  const bool shown = st_.imported;
  group3_->setTitle(
      Titled("Upozornění", shown ? std::optional(st_.warnings.size()) : std::nullopt));
  group2_->setTitle(
      Titled("Chybové hlášení", shown ? std::optional(st_.errors.size()) : std::nullopt));
  setWindowTitle(shown ? kCaption + " - " + QFileInfo(imported_).fileName() : kCaption);
  export_btn_->setEnabled(shown);
}

void TMainApp::LoadBtnClick() {
  const QString file =
      dialogs_->OpenFileName(this, workbook_, U("Excel soubory (*.xls, *.xlsx) (*.xls*)"));
  if (file.isEmpty()) return;  // a cancel changes nothing
  ImportFile(file);
}

void TMainApp::ImportFile(const QString& path) {
  workbook_ = path;
  imported_.clear();
  std::optional<QString> failure;
  {
    ProgressWindow progress(this);
    try {
      RunImport(st_, LocalPath(path), &progress);
      imported_ = QFileInfo(path).absoluteFilePath();
    } catch (const std::exception& e) {
      BeginImport(st_);  // nothing half-read stays on screen or goes into a file
      failure = QString::fromUtf8(e.what());
    }
    ShowPanes();  // the progress window stays until the panes show
  }
  if (failure) dialogs_->Error(this, kCaption, *failure);
}

QString TMainApp::SaveName() {
  const QFileInfo workbook(imported_);
  QString offered = workbook.dir().filePath(workbook.completeBaseName() + ".xml");
  for (;;) {
    const QString chosen = dialogs_->SaveFileName(this, offered, U("XML soubor (*.xml)"));
    if (chosen.isEmpty()) return {};
    const QString path = QFile::decodeName(
        WithXmlExtension(LocalPath(QFileInfo(chosen).absoluteFilePath())).c_str());
    // Only where a document belongs: a device, a folder, the workbook itself or a
    // write-protected file is refused with its reason, and the dialog comes back.
    const TOutputTarget target = CheckOutputTarget(LocalPath(path), {LocalPath(imported_)});
    if (!target.problem.empty()) {
      dialogs_->Error(this, U("Export XML"), Q(target.problem));
      offered = path;
      continue;
    }
    if (!target.exists) return path;
    const QString question =
        U("Soubor „%1“ již existuje. Chcete jej nahradit?").arg(QFileInfo(path).fileName());
    if (dialogs_->AskYesNo(this, U("Export XML"), question)) return path;
    offered = path;
  }
}

void TMainApp::Export1BtnClick() {
  if (!st_.imported) return;  // nothing imported: there is no statement to file
  if (!st_.errors.empty() &&
      !dialogs_->AskYesNo(this, U("Export XML"), ErrorsQuestion(st_.errors.size())))
    return;
  const QString path = SaveName();
  if (path.isEmpty()) return;
  QDir::setCurrent(Q(st_.start_directory));
  try {
    ExportResult result;
    {
      BusyCursor busy;
      result = ExportStatement(st_.Filing(), LocalPath(path), true, st_.start_directory);
    }
    dialogs_->Inform(this, U(kExportCaption), Q(result.message));
  } catch (const std::exception& e) {
    dialogs_->Error(this, kCaption, QString::fromUtf8(e.what()));
  }
}

void TMainApp::AboutBtnClick() {
  const QString schema = SchemaInUse(st_.start_directory);
  dialogs_->Inform(this, U("O programu"),
                   U("Program Vestrano\nVerze ") + kVersion + U("\nSchéma: ") +
                       (schema.isEmpty() ? U("nenalezeno") : schema));
}

void TMainApp::EndBtnClick() { close(); }

}  // namespace vestrano
