#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QUrl>
#include <QVBoxLayout>
#include <optional>

#include "data/text.h"
#include "export/atomic_file.h"
#include "export/export.h"
#include "export/schema_check.h"
#include "export/xml_writer.h"
#include "import/client.h"
#include "import/run.h"
#include "panes.h"
#include "progress_window.h"
#include "report/text_report.h"
#include "workbook/errors.h"

namespace vestrano {

namespace {
const char kVersion[] = VESTRANO_VERSION;
const QString kCaption = QString("Vestrano v") + kVersion;
const char kWineFonts[] = "/usr/share/wine/fonts/";
const char kGeometryKey[] = "window/geometry";
const char kRecentKey[] = "recent/workbooks";

QString Q(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }
QString U(const char* s) { return QString::fromUtf8(s); }
std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QSettings Settings() { return QSettings("Vestrano", "vestrano"); }

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

// A frame that holds one pane at fixed distances from its edges, as the layout was drawn.
class TFrame : public QGroupBox {
 public:
  TFrame(QWidget* parent, const char* name, const char* title, QSize designed, QSize minimum)
      : QGroupBox(U(title), parent), designed_(designed) {
    setObjectName(name);
    setMinimumSize(minimum);
  }
  void Hold(QWidget* pane, QMargins inset) {
    pane_ = pane;
    inset_ = inset;
  }
  QSize sizeHint() const override { return designed_; }
  QSize minimumSizeHint() const override { return minimumSize(); }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QGroupBox::resizeEvent(event);
    if (pane_ != nullptr) pane_->setGeometry(rect().marginsRemoved(inset_));
  }

 private:
  QSize designed_;
  QWidget* pane_ = nullptr;
  QMargins inset_;
};

// The import button: a click or Enter opens the dialog, its arrow (or Alt+Down, F4) the recent
// workbooks.
class TSplitButton : public QToolButton {
 public:
  using QToolButton::QToolButton;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const int key = event->key();
    if (event->modifiers() == Qt::NoModifier && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
      click();
      return;
    }
    if ((key == Qt::Key_Down && event->modifiers() == Qt::AltModifier) || key == Qt::Key_F4) {
      showMenu();
      return;
    }
    QToolButton::keyPressEvent(event);
  }
};

QString Titled(const char* title, std::optional<std::size_t> count) {
  return count ? U(title) + QString(" (%1)").arg(*count) : U(title);
}

// The first local file of a drop, or an empty text.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}
}  // namespace

// After a command, and every dialog or progress window it showed: the window active again and
// the focus on a visible control, the one that had it when it still can take it.
class KeyboardBack {
 public:
  explicit KeyboardBack(TMainApp* window) : window_(window), previous_(window->focusWidget()) {}
  ~KeyboardBack() { window_->TakeKeyboard(previous_); }
  KeyboardBack(const KeyboardBack&) = delete;
  KeyboardBack& operator=(const KeyboardBack&) = delete;

 private:
  TMainApp* window_;
  QPointer<QWidget> previous_;
};

QString ErrorsQuestion(std::size_t errors) {
  return Q("Sešit obsahuje " + Counted(errors, "chybu", "chyby", "chyb") + ". Přesto exportovat?");
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
  setFont(WindowFont());
  setAcceptDrops(true);
  setMinimumSize(kMinimumSize);
  st_.start_directory = LocalPath(QDir::currentPath());
  auto* delegate = new TCellDelegate(this);

  // The frames at the designed window size (1179 × 622): subtotals 321 × 609 at the left,
  // statistics 418 × 129, below them the warnings and the errors side by side, the buttons at the
  // top right. The subtotals and both message lists take what the window grows by.
  auto* subtotals_frame =
      new TFrame(this, "GroupBox1", "Kontrola - mezisoučty sloupců", {321, 609}, {321, 200});
  subtotals_list_ = new TGrid(static_cast<int>(st_.subtotals.lines.size()), 2, subtotals_frame);
  subtotals_list_->setObjectName("SubtotalsList");
  subtotals_frame->Hold(subtotals_list_, {9, 21, 8, 14});
  subtotals_list_->setItemDelegate(delegate);
  subtotals_list_->setHorizontalHeaderLabels({"Sloupec", "Celkem"});
  subtotals_list_->horizontalHeaderItem(1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  subtotals_list_->horizontalHeader()->setHighlightSections(false);
  subtotals_list_->horizontalHeader()->setStretchLastSection(true);  // amounts take the width
  subtotals_list_->verticalHeader()->hide();
  subtotals_list_->verticalHeader()->setMinimumSectionSize(1);
  subtotals_list_->verticalHeader()->setDefaultSectionSize(18);
  // The specified widths hold the text area; the grid line comes on top.
  subtotals_list_->setColumnWidth(0, 140 + 1);
  subtotals_list_->setColumnWidth(1, 141 + 1);
  subtotals_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  auto* stats_frame =
      new TFrame(this, "GroupBox4", "Výsledek načtení vstupního souboru", {418, 129}, {418, 129});
  stats_frame->setFixedSize(418, 129);
  stats_list_ = new TGrid(5, 9, stats_frame);
  stats_list_->setObjectName("StatsList");
  stats_frame->Hold(stats_list_, {9, 19, 9, 8});
  stats_list_->setItemDelegate(delegate);
  stats_list_->horizontalHeader()->hide();
  stats_list_->verticalHeader()->hide();
  stats_list_->verticalHeader()->setMinimumSectionSize(1);
  stats_list_->verticalHeader()->setDefaultSectionSize(18 + 1);
  stats_list_->setColumnWidth(0, 75 + 1);
  for (int c = 1; c <= 8; ++c) stats_list_->setColumnWidth(c, 39 + 1);
  stats_list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  stats_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  auto* warnings = new TFrame(this, "GroupBox3", "Upozornění", {418, 474}, {200, 120});
  warnings_frame_ = warnings;
  warnings_list_ = new TMessageList(warnings);
  warnings_list_->setObjectName("LogBox2");
  warnings->Hold(warnings_list_, {9, 16, 9, 11});
  auto* errors = new TFrame(this, "GroupBox2", "Chybové hlášení", {418, 474}, {200, 120});
  errors_frame_ = errors;
  errors_list_ = new TMessageList(errors);
  errors_list_->setObjectName("LogBox");
  errors->Hold(errors_list_, {8, 16, 10, 11});

  client_line_ = new TElidedLabel(this);
  client_line_->setObjectName("ClientLine");

  load_btn_ = new TSplitButton(this);
  load_btn_->setObjectName("LoadBtn");
  load_btn_->setText(U("Import XLS, XLSX"));
  load_btn_->setPopupMode(QToolButton::MenuButtonPopup);
  load_btn_->setFocusPolicy(Qt::StrongFocus);
  recent_menu_ = new QMenu(load_btn_);
  recent_menu_->setObjectName("RecentMenu");
  load_btn_->setMenu(recent_menu_);
  connect(recent_menu_, &QMenu::aboutToShow, this, &TMainApp::FillRecentMenu);
  connect(load_btn_, &QToolButton::clicked, this, &TMainApp::LoadBtnClick);

  const struct {
    const char* name;
    const char* caption;
    void (TMainApp::*handler)();
  } buttons[] = {
      {"Export1Btn", "Export XML Vestrano", &TMainApp::Export1BtnClick},
      {"ReportBtn", "Uložit protokol", &TMainApp::ReportBtnClick},
      {"AboutBtn", "O programu", &TMainApp::AboutBtnClick},
      {"EndBtn", "Konec", &TMainApp::EndBtnClick},
  };
  auto* button_column = new QVBoxLayout;
  button_column->setSpacing(6);
  button_column->setContentsMargins(0, 0, 4, 0);
  load_btn_->setFixedSize(116, 25);
  button_column->addWidget(load_btn_);
  QWidget* tab_order = load_btn_;
  for (const auto& b : buttons) {
    auto* button = new QPushButton(U(b.caption), this);
    button->setObjectName(b.name);
    button->setFixedSize(116, 25);
    button->setAutoDefault(true);  // Enter on the focused button clicks it
    connect(button, &QPushButton::clicked, this, b.handler);
    if (b.handler == &TMainApp::Export1BtnClick) export_btn_ = button;
    if (b.handler == &TMainApp::ReportBtnClick) report_btn_ = button;
    button_column->addWidget(button);
    setTabOrder(tab_order, button);
    tab_order = button;
  }
  // Tab goes through the buttons, then the panes in reading order; within a pane the arrows move.
  for (QWidget* pane : std::initializer_list<QWidget*>{stats_list_, subtotals_list_, warnings_list_,
                                                       errors_list_}) {
    setTabOrder(tab_order, pane);
    tab_order = pane;
  }

  auto* top = new QGridLayout;
  top->setSpacing(4);
  top->addWidget(stats_frame, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  top->addWidget(client_line_, 1, 0, 1, 2);
  top->setColumnStretch(1, 1);
  top->addLayout(button_column, 0, 2, 2, 1, Qt::AlignTop);
  auto* panes = new QHBoxLayout;
  panes->setSpacing(4);
  panes->addWidget(warnings, 1);
  panes->addWidget(errors, 1);
  auto* right = new QVBoxLayout;
  right->setSpacing(6);
  right->addLayout(top);
  right->addLayout(panes, 1);
  auto* window = new QHBoxLayout(this);
  window->setContentsMargins(8, 8, 4, 5);
  window->setSpacing(6);
  window->addWidget(subtotals_frame, 1);
  window->addLayout(right, 3);

  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this), &QShortcut::activated, this,
          &TMainApp::LoadBtnClick);
  connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this), &QShortcut::activated, this,
          &TMainApp::Export1BtnClick);
  ShowPanes();
  PlaceOnScreen();
  load_btn_->setFocus();  // Enter imports at start
}

TMainApp::~TMainApp() = default;

QRect FirstPlacement(const QRect& available) {
  const QRect room = available.marginsRemoved(kFrameAllowance);
  QRect placed(QPoint(),
               TMainApp::kDesignedSize.boundedTo(room.size()).expandedTo(TMainApp::kMinimumSize));
  placed.moveCenter(room.center());
  // A screen smaller than the minimum: the title bar stays reachable.
  placed.moveTopLeft({std::max(placed.left(), room.left()), std::max(placed.top(), room.top())});
  return placed;
}

void TMainApp::PlaceOnScreen() {
  const QByteArray saved = Settings().value(kGeometryKey).toByteArray();
  if (!saved.isEmpty() && restoreGeometry(saved)) return;  // Qt keeps it on a screen
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect placed =
      FirstPlacement(screen ? screen->availableGeometry() : QRect(QPoint(), kDesignedSize));
  resize(placed.size());
  move(placed.topLeft() - QPoint(kFrameAllowance.left(), kFrameAllowance.top()));  // the frame's
}

void TMainApp::closeEvent(QCloseEvent* event) {
  if (loading_) {  // the progress window keeps the window disabled; never leave a load behind
    event->ignore();
    return;
  }
  Settings().setValue(kGeometryKey, saveGeometry());
  QWidget::closeEvent(event);
}

QStringList TMainApp::RecentWorkbooks() {
  QStringList kept;
  for (const QString& path : Settings().value(kRecentKey).toStringList())
    if (kept.size() < kRecentCount && !kept.contains(path) && QFileInfo(path).isFile())
      kept << path;
  return kept;
}

void TMainApp::FillRecentMenu() {
  recent_menu_->clear();
  const QStringList recent = RecentWorkbooks();
  Settings().setValue(kRecentKey, recent);  // the gone ones stay gone
  for (int i = 0; i < recent.size(); ++i) {
    const QString path = recent[i];
    QString shown = QDir::toNativeSeparators(path);
    shown.replace('&', "&&");
    connect(recent_menu_->addAction(QString("&%1 %2").arg(i + 1).arg(shown)), &QAction::triggered,
            this, [this, path] { ImportFile(path); });
  }
  if (recent.isEmpty()) recent_menu_->addAction(U("Žádné nedávné sešity"))->setEnabled(false);
}

void TMainApp::TakeKeyboard(QWidget* previous) {
  if (!isVisible()) return;
  activateWindow();
  const bool usable = previous != nullptr && isAncestorOf(previous) && previous->isVisible() &&
                      previous->isEnabled() && previous->focusPolicy() != Qt::NoFocus;
  (usable ? previous : static_cast<QWidget*>(load_btn_))->setFocus(Qt::ActiveWindowFocusReason);
}

QString TMainApp::WithClient(const QString& text) const {
  const QString client = client_line_->FullText();
  return client.isEmpty() ? text : client + "\n\n" + text;
}

void TMainApp::ShowPanes() {
  auto lines = [](const std::vector<std::string>& messages) {
    QStringList out;
    out.reserve(static_cast<qsizetype>(messages.size()));
    for (const auto& line : messages) out << Q(line);
    return out;
  };
  errors_list_->SetLines(lines(st_.errors));
  warnings_list_->SetLines(lines(st_.warnings));

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
  client_line_->SetFullText(shown ? Q(ClientLine(ClientOf(st_.header, st_.subject))) : QString());
  warnings_frame_->setTitle(
      Titled("Upozornění", shown ? std::optional(st_.warnings.size()) : std::nullopt));
  errors_frame_->setTitle(
      Titled("Chybové hlášení", shown ? std::optional(st_.errors.size()) : std::nullopt));
  setWindowTitle(shown ? kCaption + " - " + QFileInfo(imported_).fileName() : kCaption);
  export_btn_->setEnabled(shown);
  report_btn_->setEnabled(shown);
}

void TMainApp::LoadBtnClick() {
  if (loading_) return;
  const KeyboardBack back(this);
  const QString file =
      dialogs_->OpenFileName(this, workbook_, U("Excel soubory (*.xls, *.xlsx) (*.xls*)"));
  if (file.isEmpty()) return;  // a cancel changes nothing
  ImportFile(file);
}

void TMainApp::ImportFile(const QString& path) {
  if (loading_) return;
  const KeyboardBack back(this);
  workbook_ = path;
  imported_.clear();
  last_export_.reset();
  BeginImport(st_);
  ShowPanes();  // nothing of the previous client stays on screen while this one loads
  std::optional<QString> failure;
  loading_ = true;
  {
    TProgressWindow progress(this);
    try {
      RunImport(st_, LocalPath(path), &progress);
      imported_ = QFileInfo(path).absoluteFilePath();
      QStringList recent = RecentWorkbooks();
      recent.removeAll(imported_);
      recent.prepend(imported_);
      Settings().setValue(kRecentKey, recent.mid(0, kRecentCount));
    } catch (const std::exception& e) {
      // The run has left the clean slate: nothing half read is shown, kept or filed.
      // A cancelled load ends like a failed one, without the message.
      if (!progress.cancel.IsSet()) failure = QString::fromUtf8(e.what());
    }
    ShowPanes();  // the progress window stays until the panes show
  }
  loading_ = false;
  if (failure) dialogs_->Error(this, kCaption, *failure);
}

void TMainApp::dragEnterEvent(QDragEnterEvent* event) {
  if (!loading_ && !DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TMainApp::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (loading_ || path.isEmpty()) return;
  event->acceptProposedAction();
  // Once the drop has ended: the file manager that sent it is not kept waiting for the load.
  QTimer::singleShot(0, this, [this, path] { OpenDropped(path); });
}

void TMainApp::OpenDropped(const QString& path) {
  if (IsWorkbookFileName(LocalPath(path))) {
    ImportFile(path);
    return;
  }
  // Not a workbook: refused as the open dialog's import would refuse it, but nothing shown is
  // lost for it.
  const KeyboardBack back(this);
  dialogs_->Error(this, kCaption, Q(EWorkbookFileNameError(LocalPath(path)).what()));
}

QString TMainApp::SaveName(const char* extension, const QString& filter, const QString& caption) {
  const QFileInfo workbook(imported_);
  QString offered = workbook.dir().filePath(workbook.completeBaseName() + extension);
  for (;;) {
    const QString chosen = dialogs_->SaveFileName(this, offered, filter);
    if (chosen.isEmpty()) return {};
    const QString path = QFile::decodeName(
        WithSaveExtension(LocalPath(QFileInfo(chosen).absoluteFilePath()), extension).c_str());
    // Only where a document belongs: a device, a folder, the workbook itself or a
    // write-protected file is refused with its reason, and the dialog comes back.
    const TOutputTarget target = CheckOutputTarget(LocalPath(path), {LocalPath(imported_)});
    if (!target.problem.empty()) {
      dialogs_->Error(this, caption, Q(target.problem));
      offered = path;
      continue;
    }
    if (!target.exists) return path;
    const QString question =
        U("Soubor „%1“ již existuje. Chcete jej nahradit?").arg(QFileInfo(path).fileName());
    if (dialogs_->AskYesNo(this, caption, question)) return path;
    offered = path;
  }
}

void TMainApp::Export1BtnClick() {
  if (!st_.imported || loading_) return;  // nothing imported: there is no statement to file
  const KeyboardBack back(this);
  if (!st_.errors.empty() &&
      !dialogs_->AskYesNo(this, U("Export XML"), WithClient(ErrorsQuestion(st_.errors.size()))))
    return;
  const QString path = SaveName(".xml", U("XML soubor (*.xml)"), U("Export XML"));
  if (path.isEmpty()) return;
  QDir::setCurrent(Q(st_.start_directory));
  try {
    ExportResult result;
    {
      BusyCursor busy;
      result = ExportStatement(st_.Filing(), LocalPath(path), true, st_.start_directory);
    }
    last_export_ = result;
    // The validator's lines go into a list of their own, under the verdict.
    QStringList lines;
    if (const std::string output = ToValidUtf8(result.output);
        result.verdict != Verdict::Valid && !output.empty()) {
      for (QString line : Q(output).split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        lines << line;
      }
      while (!lines.isEmpty() && lines.last().trimmed().isEmpty()) lines.removeLast();
    }
    dialogs_->ShowExportResult(this, U(kExportCaption), WithClient(Q(result.heading).trimmed()),
                               lines, QFileInfo(Q(result.path)).absolutePath());
  } catch (const std::exception& e) {
    dialogs_->Error(this, kCaption, QString::fromUtf8(e.what()));
  }
}

void TMainApp::ReportBtnClick() {
  if (!st_.imported || loading_) return;
  const KeyboardBack back(this);
  const QString path = SaveName(".txt", U("Textový soubor (*.txt)"), U("Uložit protokol"));
  if (path.isEmpty()) return;
  RunReport report;
  report.file = LocalPath(imported_);
  report.export_result = last_export_;
  try {
    WriteFileAtomically(LocalPath(path), ReportText(st_, report));
  } catch (const std::exception& e) {
    dialogs_->Error(this, kCaption, QString::fromUtf8(e.what()));
  }
}

void TMainApp::AboutBtnClick() {
  const KeyboardBack back(this);
  const QString schema = SchemaInUse(st_.start_directory);
  dialogs_->Inform(this, U("O programu"),
                   U("Program Vestrano\nVerze ") + kVersion + U("\nSchéma: ") +
                       (schema.isEmpty() ? U("nenalezeno") : schema));
}

void TMainApp::EndBtnClick() { close(); }

}  // namespace vestrano
