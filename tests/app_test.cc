// The window on Qt's offscreen platform, driven through a stand-in for the user's dialogs: one
// client's workbook after another, cancels, failures, the export's questions and the save name.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTranslator>
#include <QUrl>
#include <clocale>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <locale>
#include <sstream>

#include "export/export.h"
#include "main_window.h"
#include "panes.h"
#include "progress_window.h"
#include "support/run_program.h"
#include "support/statement_book.h"
#include "support/temp_dir.h"
#include "support/xlsx_package.h"

// Failures print texts and rectangles as they read.
void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
void PrintTo(const QRect& r, std::ostream* os) {
  *os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace vestrano {
namespace {

using test::TempDir;

const QString kExample = QString(VESTRANO_SOURCE_DIR) + "/examples/kontrolni-hlaseni.xlsx";
const QString kExampleClient =
    QString::fromUtf8("Účetní kancelář Dvořák & syn s.r.o. · DIČ 27082440 · 11/2026 · řádné");
const QString kClientB = QString::fromUtf8("Druhý klient s.r.o. · DIČ 87654321 · 03/2016 · řádné");
const std::string kValidators =
    std::string(VESTRANO_SOURCE_DIR) + "/tests/fixtures/export/validators/";

// One application for the whole run, ended before the process exits (Qt cannot end it from an
// exit handler once its thread data is gone).
class AppEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { delete QApplication::instance(); }
};
const auto* const kAppEnvironment = ::testing::AddGlobalTestEnvironment(new AppEnvironment);

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    // A laptop's screen: 1366 × 768, with a 40-pixel taskbar at the bottom.
    const std::string screen = (std::filesystem::temp_directory_path() /
                                ("vestrano-app-test-" + std::to_string(getpid()) + ".json"))
                                   .string();
    std::ofstream(screen) << R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366,
        "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screen).c_str());
    // The schema check answers "valid" at once, whatever the document.
    const std::string fake = kValidators + "valid";
    if (const char* path = std::getenv("PATH"); path && std::string(path).find(fake) != 0)
      setenv("PATH", (fake + ":" + path).c_str(), 1);
    // Settings (size, position, recent workbooks) go to a test folder, not the user's, and one of
    // this process's own: the suites run side by side.
    QStandardPaths::setTestModeEnabled(true);
    static const TempDir settings("vestrano-settings");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settings.path()));
    auto* created = new QApplication(argc, argv);
    std::remove(screen.c_str());
    return created;
  }();
  return *app;
}

void ForgetSettings() { QSettings("Vestrano", "vestrano").clear(); }

// A dialog is a window of its own: while it is open, it is active and has the focus. When it
// closes, the desktop may give neither back to the main window.
class StolenKeyboard {
 public:
  StolenKeyboard() {
    edit_.show();
    edit_.activateWindow();
    edit_.setFocus();
    QApplication::processEvents();
  }

 private:
  QLineEdit edit_;
};

// Stands in for the user: answers the dialogs from queues and records what the window showed.
// Each dialog takes the keyboard away from the window while it is open, as a real one does.
struct FakeUser : TDialogs {
  std::deque<QString> open_answers, save_answers;
  std::deque<bool> yes_no_answers;
  QStringList open_starts, save_offers, save_filters, questions, infos, errors, results;
  QList<QStringList> result_lines;
  QStringList result_folders;

  QString OpenFileName(QWidget*, const QString& start, const QString&) override {
    StolenKeyboard dialog;
    open_starts << start;
    return Next(open_answers);
  }
  QString SaveFileName(QWidget*, const QString& suggested, const QString& filter) override {
    StolenKeyboard dialog;
    save_offers << suggested;
    save_filters << filter;
    return Next(save_answers);
  }
  bool AskYesNo(QWidget*, const QString& caption, const QString& text) override {
    StolenKeyboard dialog;
    questions << caption + " | " + text;
    if (yes_no_answers.empty()) return false;
    const bool answer = yes_no_answers.front();
    yes_no_answers.pop_front();
    return answer;
  }
  void Inform(QWidget*, const QString& caption, const QString& text) override {
    StolenKeyboard dialog;
    infos << caption + " | " + text;
  }
  void Error(QWidget*, const QString& caption, const QString& text) override {
    StolenKeyboard dialog;
    errors << caption + " | " + text;
  }
  void ShowExportResult(QWidget*, const QString& caption, const QString& text,
                        const QStringList& lines, const QString& folder) override {
    StolenKeyboard dialog;
    results << caption + " | " + text;
    result_lines << lines;
    result_folders << folder;
  }
  static QString Next(std::deque<QString>& q) {  // an empty queue is a cancel
    if (q.empty()) return {};
    QString s = q.front();
    q.pop_front();
    return s;
  }
};

// One window with its stand-in user; a fresh one starts from no settings.
struct Session {
  explicit Session(bool fresh = true) {
    App();
    if (fresh) ForgetSettings();
    auto fake = std::make_unique<FakeUser>();
    user = fake.get();
    window = std::make_unique<TMainApp>(std::move(fake));
    window->show();
    window->activateWindow();
    QApplication::processEvents();
  }

  QAbstractButton* Button(const char* name) { return window->findChild<QAbstractButton*>(name); }
  void Click(const char* name) { Button(name)->click(); }
  QString ClientLine() { return window->findChild<TElidedLabel*>("ClientLine")->FullText(); }
  QRect Frame(const char* name) { return window->findChild<QGroupBox*>(name)->geometry(); }
  void Key(QWidget* to, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(to, &press);
    QApplication::processEvents();
  }
  // The window is active and a visible control of it has the focus.
  ::testing::AssertionResult HasKeyboard() {
    QApplication::processEvents();
    QWidget* focus = QApplication::focusWidget();
    if (QApplication::activeWindow() != window.get())
      return ::testing::AssertionFailure() << "the window is not active";
    if (focus == nullptr || !window->isAncestorOf(focus) || !focus->isVisible())
      return ::testing::AssertionFailure()
             << "focus on " << (focus ? focus->objectName().toStdString() : "nothing");
    return ::testing::AssertionSuccess();
  }
  // Imports the workbook and presses "Zrušit" (or Escape) in the progress window as soon as it
  // shows; what the panes showed at that moment.
  QStringList ImportCancelled(const QString& path, bool escape) {
    QStringList while_loading;
    std::function<void()> cancel = [&] {
      auto* progress = window->findChild<TProgressWindow*>("ProgressWindow");
      if (progress == nullptr) {  // still in the open dialog
        QTimer::singleShot(0, window.get(), cancel);
        return;
      }
      while_loading = Panes();
      if (escape)
        Key(progress, Qt::Key_Escape);
      else
        progress->findChild<QPushButton*>("CancelBtn")->click();
    };
    QTimer::singleShot(0, window.get(), cancel);
    Import(path);
    EXPECT_FALSE(while_loading.isEmpty()) << "the progress window never showed";
    return while_loading;
  }

  void Import(const QString& path) {
    user->open_answers.push_back(path);
    Click("LoadBtn");
  }
  // Exports under the given name (answering every question with yes); the file's bytes.
  std::string Export(const std::string& path) {
    user->save_answers.push_back(QString::fromStdString(path));
    user->yes_no_answers.assign(4, true);
    Click("Export1Btn");
    user->yes_no_answers.clear();
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  // Everything the panes, the frames, the caption and the buttons show, one line each.
  QStringList Panes() {
    QStringList out{window->windowTitle()};
    for (const char* frame : {"GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4"})
      out << window->findChild<QGroupBox*>(frame)->title();
    for (const char* name : {"StatsList", "SubtotalsList"}) {
      const auto* table = window->findChild<QTableWidget*>(name);
      for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c) cells << table->item(r, c)->text();
        out << cells.join('|');
      }
    }
    for (const char* name : {"LogBox2", "LogBox"})
      out << window->findChild<TMessageList*>(name)->Lines();
    out << QString("export enabled: %1").arg(Button("Export1Btn")->isEnabled());
    out << QString("report enabled: %1").arg(Button("ReportBtn")->isEnabled());
    out << "client: " + ClientLine();
    return out;
  }

  FakeUser* user;
  std::unique_ptr<TMainApp> window;
};

class Window : public ::testing::Test, public Session {};

// A workbook of another client: header, subject and an A1 sheet with one valid and one faulty
// row; every other section sheet missing.
void WriteClientB(const std::string& path) {
  auto cell = [](const std::string& ref, const std::string& text) {
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + text + "</t></is></c>";
  };
  auto column_b = [&](const std::vector<std::string>& values) {
    std::string rows = "<row r=\"1\">" + cell("A1", "Položka") + "</row>";
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::string n = std::to_string(i + 2);
      rows += "<row r=\"" + n + "\">" + cell("A" + n, "x") + cell("B" + n, values[i]) + "</row>";
    }
    return test::SheetXml(rows);
  };
  std::vector<std::string> subject(31, "");
  subject[0] = "P";
  subject[1] = "87654321";
  subject[2] = "461";
  subject[3] = "Druhý klient s.r.o.";
  const std::string a1 = "<row r=\"1\">" + cell("A1", "Ř.") +
                         "</row>"
                         "<row r=\"2\"><c r=\"A2\"><v>1</v></c>" +
                         cell("B2", "12345678") + cell("C2", "FV-1") + cell("D2", "2016-03-01") +
                         "<c r=\"E2\"><v>500</v></c>" + cell("F2", "1") +
                         "</row>"
                         "<row r=\"3\"><c r=\"A3\"><v>2</v></c>" +
                         cell("B3", "DIČ?") + cell("C3", "FV-2") + cell("D3", "2016-03-02") +
                         "<c r=\"E3\"><v>250</v></c>" + cell("F3", "1") + "</row>";
  test::MinimalWorkbook({{"Hlavička", column_b({"B", "2016", "", "03", "", "", "", "", "", ""})},
                         {"Subjekt", column_b(subject)},
                         {"A1", test::SheetXml(a1)}})
      .WriteFile(path);
}

TEST_F(Window, StartsWithPlainTitlesEmptyPanesAndExportDisabled) {
  EXPECT_EQ(window->windowTitle(), QString("Vestrano v1.00"));
  EXPECT_EQ(window->size(), QSize(1179, 622));
  QStringList captions;
  for (auto* b : window->findChildren<QAbstractButton*>())
    if (!b->objectName().isEmpty()) captions << b->text();  // not the grids' corner buttons
  EXPECT_EQ(captions, QStringList({"Import XLS, XLSX", "Export XML Vestrano",
                                   QString::fromUtf8("Uložit protokol"), "O programu", "Konec"}));

  const QStringList panes = Panes();
  EXPECT_EQ(panes.mid(1, 4),
            QStringList({QString::fromUtf8("Kontrola - mezisoučty sloupců"),
                         QString::fromUtf8("Chybové hlášení"), QString::fromUtf8("Upozornění"),
                         QString::fromUtf8("Výsledek načtení vstupního souboru")}));
  EXPECT_EQ(panes[5], QString::fromUtf8("Řádky/oddíl|A1|A2|A3|A4|A5|B1|B2|B3"));
  EXPECT_EQ(panes[6], QString::fromUtf8("Načteno||||||||"));
  EXPECT_EQ(panes[10], QString::fromUtf8("A1-Základ daně|0"));
  EXPECT_EQ(panes.size(), 1 + 4 + 5 + 46 + 3);  // both lists empty
  EXPECT_EQ(panes.mid(panes.size() - 3),
            QStringList({"export enabled: 0", "report enabled: 0", "client: "}));

  user->save_answers.push_back("/nonexistent/should-not-be-asked.xml");
  Click("Export1Btn");                                 // disabled: nothing happens
  window->findChildren<QShortcut*>()[1]->activated();  // Ctrl+S does nothing either
  EXPECT_TRUE(user->save_offers.isEmpty());

  if (const QByteArray shot = qgetenv("VESTRANO_SCREENSHOT"); !shot.isEmpty())
    window->grab().save(QString::fromLocal8Bit(shot));
}

TEST_F(Window, TheSecondClientShowsWhatAFreshWindowShows) {
  TempDir dir;
  const std::string b = dir / "klient-b.xlsx";
  WriteClientB(b);

  Import(kExample);
  const QStringList a_panes = Panes();
  EXPECT_EQ(a_panes[0], QString("Vestrano v1.00 - kontrolni-hlaseni.xlsx"));
  EXPECT_EQ(a_panes[2], QString::fromUtf8("Chybové hlášení (0)"));
  const qsizetype a_warnings = window->findChild<TMessageList*>("LogBox2")->Lines().size();
  EXPECT_GT(a_warnings, 0);
  EXPECT_EQ(a_panes[3], QString::fromUtf8("Upozornění (%1)").arg(a_warnings));
  EXPECT_TRUE(a_panes.contains(QString::fromUtf8("A3-Hodnota osv. plnění|68 000,00 CZK")));
  EXPECT_EQ(ClientLine(), kExampleClient);
  Import(QString::fromStdString(b));
  const QStringList after_a = Panes();
  const std::string after_a_xml = Export(dir / "after-a.xml");

  Session fresh;
  fresh.Import(QString::fromStdString(b));
  EXPECT_EQ(after_a, fresh.Panes());
  EXPECT_EQ(after_a_xml, fresh.Export(dir / "fresh.xml"));

  EXPECT_EQ(after_a[0], QString("Vestrano v1.00 - klient-b.xlsx"));
  EXPECT_EQ(after_a.last(), "client: " + kClientB);
  EXPECT_EQ(after_a[2], QString::fromUtf8("Chybové hlášení (1)"));
  EXPECT_TRUE(after_a.contains(QString::fromUtf8("A3-Hodnota osv. plnění|0")));
  EXPECT_TRUE(after_a.contains(QString::fromUtf8("Nenalezen list pro sekci A3 - A3.")));
  EXPECT_TRUE(after_a.contains(QString::fromUtf8("C-A1 celkem z.daně|750,00 CZK")));
  EXPECT_NE(after_a_xml.find("dic=\"87654321\""), std::string::npos);
  EXPECT_EQ(after_a_xml.find("VetaA3"), std::string::npos);
  EXPECT_EQ(user->open_starts.last(), kExample);  // the open dialog starts at the last workbook
}

TEST_F(Window, CancellingTheOpenDialogChangesNothing) {
  TempDir dir;
  Import(kExample);
  const QStringList before = Panes();
  const std::string xml = Export(dir / "before.xml");
  ASSERT_NE(xml.find("<VetaA1 "), std::string::npos);

  Click("LoadBtn");  // the user cancels
  EXPECT_EQ(Panes(), before);
  EXPECT_EQ(Export(dir / "after.xml"), xml);
}

TEST_F(Window, AFailedLoadLeavesACleanSlateAndExportDisabled) {
  TempDir dir;
  const std::string broken = dir / "poskozeny.xlsx";
  std::ofstream(broken) << "not a zip package";
  Session fresh;
  Import(kExample);
  Import(QString::fromStdString(broken));
  ASSERT_EQ(user->errors.size(), 1);
  EXPECT_TRUE(user->errors[0].startsWith("Vestrano v1.00 | ")) << user->errors[0].toStdString();
  EXPECT_EQ(Panes(), fresh.Panes());
  EXPECT_FALSE(Button("Export1Btn")->isEnabled());
}

// "Zrušit" and Escape in the progress window: the panes were already empty while it loaded, and
// the window ends as after a failed load, without a message; the next import works as ever.
TEST_F(Window, ACancelledLoadLeavesACleanSlate) {
  TempDir dir;
  const std::string b = dir / "klient-b.xlsx";
  WriteClientB(b);
  Session fresh;
  const QStringList start = fresh.Panes();
  for (const bool escape : {false, true}) {
    SCOPED_TRACE(escape ? "Escape" : "Zrušit");
    Import(kExample);
    ASSERT_EQ(ClientLine(), kExampleClient);
    EXPECT_EQ(ImportCancelled(QString::fromStdString(b), escape), start);
    EXPECT_EQ(Panes(), start);
    EXPECT_TRUE(user->errors.isEmpty()) << user->errors.join('\n').toStdString();
    EXPECT_EQ(window->findChild<TProgressWindow*>("ProgressWindow"), nullptr);  // closed
    EXPECT_TRUE(HasKeyboard());
    user->save_answers.push_back(QString::fromStdString(dir / "x.xml"));
    Click("Export1Btn");  // disabled
    EXPECT_TRUE(user->save_offers.isEmpty());
  }
  Import(QString::fromStdString(b));
  EXPECT_EQ(ClientLine(), kClientB);
}

TEST(ProgressWindow, TheBarOnlyMovesForwardAndEscapeCancels) {
  App();
  TProgressWindow progress(nullptr);
  const std::pair<double, int> steps[] = {{0, 0}, {0.55, 550}, {0.5, 550}, {0.6, 600}, {2, 1000}};
  for (const auto& [fraction, shown] : steps) {
    progress.Progress("Worksheet 1/2: A1", fraction);
    EXPECT_EQ(progress.Value(), shown) << fraction;
  }
  EXPECT_FALSE(progress.cancel.IsSet());
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&progress, &escape);
  EXPECT_TRUE(progress.cancel.IsSet());
  EXPECT_TRUE(progress.isVisible());  // until the load has ended
  EXPECT_THROW(Step(&progress, "Worksheet 2/2", 0.7), ECancelled);
}

TEST(ExportQuestion, CzechPluralOfTheErrorCount) {
  const std::pair<std::size_t, const char*> cases[] = {
      {1, "Sešit obsahuje 1 chybu. Přesto exportovat?"},
      {2, "Sešit obsahuje 2 chyby. Přesto exportovat?"},
      {4, "Sešit obsahuje 4 chyby. Přesto exportovat?"},
      {5, "Sešit obsahuje 5 chyb. Přesto exportovat?"},
      {12, "Sešit obsahuje 12 chyb. Přesto exportovat?"},
      {22, "Sešit obsahuje 22 chyb. Přesto exportovat?"},
  };
  for (const auto& [count, text] : cases) EXPECT_EQ(ErrorsQuestion(count), QString::fromUtf8(text));
}

TEST_F(Window, ExportAsksFirstWhenTheWorkbookHasErrors) {
  TempDir dir;
  const std::string b = dir / "klient-b.xlsx";
  WriteClientB(b);
  Import(QString::fromStdString(b));
  user->save_answers.push_back(QString::fromStdString(dir / "kh.xml"));
  Click("Export1Btn");  // no answer queued: "Ne"
  EXPECT_EQ(user->questions,
            QStringList("Export XML | " + kClientB +
                        QString::fromUtf8("\n\nSešit obsahuje 1 chybu. Přesto exportovat?")));
  EXPECT_TRUE(user->save_offers.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir / "kh.xml")));

  EXPECT_NE(Export(dir / "kh.xml"), "");  // "Ano" goes on to the save dialog
  EXPECT_EQ(user->save_offers, QStringList(QString::fromStdString(dir / "klient-b.xml")));
}

TEST_F(Window, SaveNameOverwriteQuestionAndVerdict) {
  TempDir dir;
  const std::string workbook = dir / "klient.v2.xlsx";
  std::ifstream src(kExample.toStdString(), std::ios::binary);
  std::ofstream(workbook, std::ios::binary) << src.rdbuf();
  std::ofstream(dir / "kh.xml") << "the previous filing";
  Import(QString::fromStdString(workbook));

  // "kh" becomes kh.xml, which exists: "Ne" goes back to the dialog, which offers kh.xml; the
  // second choice is new.
  user->save_answers = {QString::fromStdString(dir / "kh"), QString::fromStdString(dir / "novy")};
  user->yes_no_answers = {false};
  Click("Export1Btn");
  EXPECT_EQ(user->save_offers, QStringList({QString::fromStdString(dir / "klient.v2.xml"),
                                            QString::fromStdString(dir / "kh.xml")}));
  EXPECT_EQ(user->questions,
            QStringList(QString::fromUtf8(
                "Export XML | Soubor „kh.xml“ již existuje. Chcete jej nahradit?")));
  std::ifstream kept(dir / "kh.xml");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the previous filing");
  ASSERT_EQ(user->results.size(), 1);
  const std::string written = dir / "novy.xml";
  EXPECT_EQ(user->results[0].toStdString(),
            std::string(kExportCaption) + " | " + kExampleClient.toStdString() +
                "\n\nSoubor XML bol uložený do " + written +
                "\r\n\r\nOvěření podle schémy XSD proběhlo bez chyb.");
  EXPECT_TRUE(user->result_lines[0].isEmpty());
  EXPECT_EQ(user->result_folders[0].toStdString(), dir.path());

  // "Ano" replaces it.
  user->questions.clear();
  EXPECT_NE(Export(dir / "kh.xml"), "the previous filing");
  EXPECT_EQ(user->questions.size(), 1);

  // A cancelled save dialog writes nothing and shows nothing.
  user->results.clear();
  Click("Export1Btn");
  EXPECT_TRUE(user->results.isEmpty());
}

// An invalid verdict: the validator's lines go into the dialog's list, one per line, each naming
// the row behind it.
TEST_F(Window, TheExportResultListsTheSchemaErrors) {
  TempDir dir;
  Import(kExample);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (kValidators + "invalid:" + path).c_str(), 1);
  Export(dir / "kh.xml");
  setenv("PATH", path.c_str(), 1);
  ASSERT_EQ(user->results.size(), 1);
  const QString written = QString::fromStdString(dir / "kh.xml");
  EXPECT_EQ(user->results[0], QString(kExportCaption) + " | " + kExampleClient +
                                  "\n\nSoubor XML byl uložený do " + written +
                                  QString::fromUtf8("\r\n\r\nOverenie podľa schémy XSD "
                                                    "prebehlo s chybami.\r\n\r\nVýpis chýb:"));
  ASSERT_EQ(user->result_lines[0].size(), 2);
  EXPECT_EQ(user->result_lines[0][0], written + " - invalid");
  EXPECT_TRUE(user->result_lines[0][1].startsWith(written + ":5.1: Element 'VetaA2'"));
  EXPECT_TRUE(user->result_lines[0][1].endsWith(QString::fromUtf8(" (list Subjekt)")))
      << user->result_lines[0][1].toStdString();
  EXPECT_EQ(user->result_folders[0].toStdString(), dir.path());
}

// "Uložit protokol" writes what the command line's --report-dir writes for the same run, and asks
// before it replaces a file.
TEST_F(Window, TheSavedReportIsTheCommandLinesReport) {
  TempDir dir;
  const std::string workbook = dir / "klient.xlsx";
  std::filesystem::copy_file(kExample.toStdString(), workbook);
  Import(QString::fromStdString(workbook));
  auto read = [](const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const struct {
    const char* what;
    std::vector<std::string> cli;
    bool exported;
  } runs[] = {{"before an export", {"--no-export"}, false},
              {"after an export", {"-o", dir / "kh.xml"}, true}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.what);
    if (run.exported) Export(dir / "kh.xml");
    std::filesystem::remove(dir / "protokol.txt");
    user->save_answers.push_back(QString::fromStdString(dir / "protokol"));
    Click("ReportBtn");
    EXPECT_EQ(user->save_offers.last().toStdString(), dir / "klient.txt");
    EXPECT_EQ(user->save_filters.last(), QString::fromUtf8("Textový soubor (*.txt)"));

    std::vector<std::string> argv = {test::CliPath(), "--report-dir", dir / "cli"};
    argv.insert(argv.end(), run.cli.begin(), run.cli.end());
    argv.push_back(workbook);
    const test::ProgramResult cli = test::RunProgram(argv);
    ASSERT_LE(cli.status, 1) << cli.err;
    const std::string saved = read(dir / "protokol.txt");
    EXPECT_EQ(saved, read(dir / "cli/klient.txt"));
    EXPECT_NE(saved.find(run.exported ? "XML: " + (dir / "kh.xml") : "XML: nezapsáno"),
              std::string::npos);
  }

  // An existing file: "Ne" goes back to the dialog; a cancel there leaves the file as it was.
  std::ofstream(dir / "stary.txt") << "older";
  user->save_answers = {QString::fromStdString(dir / "stary.txt")};
  user->yes_no_answers = {false};
  user->questions.clear();
  Click("ReportBtn");
  EXPECT_EQ(user->questions, QStringList(QString::fromUtf8(
                                 "Uložit protokol | Soubor „stary.txt“ již existuje. Chcete jej "
                                 "nahradit?")));
  EXPECT_EQ(read(dir / "stary.txt"), "older");
}

// A write-protected file is not offered for replacing: the window says why and the dialog comes
// back; so does a name that leads to the workbook itself.
TEST_F(Window, SaveRefusesAWriteProtectedFileAndTheWorkbook) {
  TempDir dir;
  const std::string workbook = dir / "kh.xlsx";
  std::ifstream src(kExample.toStdString(), std::ios::binary);
  std::ofstream(workbook, std::ios::binary) << src.rdbuf();
  std::ofstream(dir / "podane.xml") << "the filing already sent";
  std::filesystem::permissions(dir / "podane.xml", std::filesystem::perms::owner_read);
  std::filesystem::create_symlink("kh.xlsx", dir / "odkaz.xml");
  Import(QString::fromStdString(workbook));
  user->save_answers = {QString::fromStdString(dir / "podane.xml"),
                        QString::fromStdString(dir / "odkaz.xml")};
  user->yes_no_answers = {true, true};
  Click("Export1Btn");
  EXPECT_TRUE(user->questions.isEmpty());
  EXPECT_TRUE(user->infos.isEmpty());
  const std::string refused = "Export XML | Nelze zapsat soubor ";
  EXPECT_EQ(user->errors,
            QStringList({QString::fromStdString(refused + (dir / "podane.xml") +
                                                ": soubor je chráněn proti zápisu"),
                         QString::fromStdString(refused + (dir / "odkaz.xml") +
                                                ": je to týž soubor jako vstup " + workbook)}));
  EXPECT_EQ(user->save_offers.size(), 3);  // offered again after each refusal, then cancelled
  std::ifstream kept(dir / "podane.xml");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "the filing already sent");
  EXPECT_EQ(std::filesystem::file_size(workbook),
            std::filesystem::file_size(kExample.toStdString()));
}

TEST_F(Window, KeyboardAboutBoxAndCopying) {
  Import(kExample);
  // Enter on the focused button clicks it.
  QAbstractButton* about = Button("AboutBtn");
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(about, &enter);
  ASSERT_EQ(user->infos.size(), 1);
  const QString schema = SchemaInUse(QDir::currentPath().toStdString());
  EXPECT_EQ(user->infos[0],
            QString::fromUtf8("O programu | Program Vestrano\nVerze 1.00\nSchéma: ") +
                (schema.isEmpty() ? QString::fromUtf8("nenalezeno") : schema));

  // Ctrl+O is the import.
  for (QShortcut* s : window->findChildren<QShortcut*>())
    if (s->key() == QKeySequence("Ctrl+O")) s->activated();
  EXPECT_EQ(user->open_starts.size(), 2);

  // A pane's lines: Ctrl+A, Ctrl+C, and "Kopírovat vše".
  auto* warnings = window->findChild<TMessageList*>("LogBox2");
  QKeyEvent select_all(QEvent::KeyPress, Qt::Key_A, Qt::ControlModifier);
  QApplication::sendEvent(warnings, &select_all);
  QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
  QApplication::sendEvent(warnings, &copy);
  const QString all = warnings->Lines().join('\n') + '\n';
  EXPECT_EQ(QApplication::clipboard()->text(), all);
  EXPECT_GT(warnings->Lines().size(), 1);
  QApplication::clipboard()->clear();
  ASSERT_EQ(warnings->actions().size(), 1);
  EXPECT_EQ(warnings->actions()[0]->text(), QString::fromUtf8("Kopírovat vše"));
  warnings->clearSelection();
  warnings->actions()[0]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), all);
}

// At the designed size the frames stand where the layout was drawn; a bigger window goes to the
// subtotals and the two message lists, a smaller one (down to the minimum) takes from them.
TEST_F(Window, ResizingGrowsThePanes) {
  const QStringList frames = {"GroupBox1", "GroupBox4", "GroupBox3", "GroupBox2"};
  const QList<QRect> designed = {
      {8, 8, 321, 609}, {335, 8, 418, 129}, {335, 163, 418, 454}, {757, 163, 418, 454}};
  auto geometry = [&] {
    QApplication::processEvents();
    QList<QRect> out;
    for (const QString& f : frames) out << Frame(f.toUtf8().constData());
    return out;
  };
  EXPECT_EQ(geometry(), designed);
  EXPECT_EQ(Button("LoadBtn")->geometry(), QRect(1055, 8, 116, 25));
  EXPECT_EQ(window->findChild<QTableWidget*>("SubtotalsList")->geometry(), QRect(9, 21, 304, 574));

  const QSize minimum = window->minimumSize();
  EXPECT_LE(minimum.width(), 1024);
  EXPECT_LE(minimum.height(), 570);
  EXPECT_EQ(window->maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));

  for (const QSize size : {QSize(1600, 900), minimum}) {
    SCOPED_TRACE(size.width());
    window->resize(size);
    const QList<QRect> now = geometry();
    const int grown = size.width() > 1179 ? 1 : -1;
    EXPECT_EQ(now[1].size(), designed[1].size());  // the statistics keep their size
    for (int i : {0, 2, 3}) {
      EXPECT_GT((now[i].height() - designed[i].height()) * grown, 0) << frames[i].toStdString();
      // The subtotals keep the width their columns need.
      EXPECT_GT((now[i].width() - designed[i].width()) * grown, i == 0 && grown < 0 ? -1 : 0)
          << frames[i].toStdString();
    }
    // Everything stays inside the window and nothing overlaps.
    QList<QRect> parts = now;
    for (const char* b : {"LoadBtn", "Export1Btn", "ReportBtn", "AboutBtn", "EndBtn"})
      parts << Button(b)->geometry();
    parts << window->findChild<TElidedLabel*>("ClientLine")->geometry();
    for (int i = 0; i < parts.size(); ++i) {
      EXPECT_TRUE(window->rect().contains(parts[i])) << i;
      for (int j = i + 1; j < parts.size(); ++j)
        EXPECT_FALSE(parts[i].intersects(parts[j])) << i << " " << j;
    }
  }
  // A long client name does not widen the window: it ends in "…".
  auto* client = window->findChild<TElidedLabel*>("ClientLine");
  client->SetFullText(QString(400, 'W'));
  QApplication::processEvents();
  EXPECT_EQ(window->minimumSize(), minimum);
  EXPECT_TRUE(client->text().endsWith(QString::fromUtf8("…")));
  EXPECT_EQ(client->toolTip(), QString(400, 'W'));
}

// The first time, the window opens whole on the screen: at the designed size where it fits, else
// as large as the screen allows, never below the minimum.
TEST(WindowPlacement, OpensWholeOnTheScreen) {
  const struct {
    const char* screen;
    QRect available;
    QSize size;
  } cases[] = {
      {"1366 × 768 with a taskbar", {0, 0, 1366, 728}, {1179, 622}},
      {"1366 × 768 at 125 % with a taskbar", {0, 0, 1093, 584}, {1085, 548}},
      {"1366 × 768 at 125 %, the taskbar on the left", {48, 0, 1045, 614}, {1037, 578}},
      {"1024 × 768", {0, 0, 1024, 738}, {1016, 622}},
      {"1400 × 900 at 150 %", {0, 0, 933, 600}, {925, 564}},
      {"a screen smaller than the minimum", {0, 0, 800, 480}, {900, 500}},
      {"1920 × 1080 beside another screen", {1920, 0, 1920, 1040}, {1179, 622}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.screen);
    const QRect placed = FirstPlacement(c.available);
    EXPECT_EQ(placed.size(), c.size);
    const QRect with_frame = placed.marginsAdded(kFrameAllowance);
    EXPECT_TRUE(c.available.contains(with_frame.topLeft()));  // the title bar stays reachable
    if (c.size.width() > TMainApp::kMinimumSize.width()) {
      EXPECT_TRUE(c.available.contains(with_frame)) << with_frame.x() << "," << with_frame.y();
      EXPECT_LE(std::abs(placed.center().x() - c.available.center().x()), 4);
    }
  }
}

TEST_F(Window, RemembersItsSizeAndPosition) {
  EXPECT_TRUE(QApplication::primaryScreen()->availableGeometry().contains(window->frameGeometry()));
  window->setGeometry(100, 60, 1250, 680);
  QApplication::processEvents();
  const QRect before = window->geometry();
  window->close();
  Session next(false);  // the settings of the last window
  EXPECT_EQ(next.window->geometry(), before);
}

// Every import, and every dialog or progress window, gives the keyboard back to the window: it is
// active and a visible control has the focus, whatever the dialog did to it.
TEST_F(Window, TheKeyboardComesBackAfterEveryCommand) {
  TempDir dir;
  const std::string broken = dir / "poskozeny.xlsx";
  std::ofstream(broken) << "not a zip package";
  const std::string b = dir / "klient-b.xlsx";
  WriteClientB(b);
  const struct {
    const char* what;
    std::function<void()> act;
  } commands[] = {
      {"an import", [&] { Import(kExample); }},
      {"a cancelled open dialog", [&] { Click("LoadBtn"); }},
      {"Ctrl+O and a workbook",
       [&] {
         user->open_answers.push_back(QString::fromStdString(b));
         Key(QApplication::focusWidget(), Qt::Key_O, Qt::ControlModifier);
       }},
      {"the export's question and result", [&] { Export(dir / "b.xml"); }},
      {"the export's question answered no", [&] { Click("Export1Btn"); }},
      {"a saved report",
       [&] {
         user->save_answers.push_back(QString::fromStdString(dir / "b.txt"));
         Click("ReportBtn");
       }},
      {"the About box", [&] { Click("AboutBtn"); }},
      {"a failed import", [&] { Import(QString::fromStdString(broken)); }},
      {"a cancelled load", [&] { ImportCancelled(kExample, false); }},
      {"an import after them", [&] { Import(kExample); }},
  };
  for (const auto& c : commands) {
    SCOPED_TRACE(c.what);
    c.act();
    EXPECT_TRUE(HasKeyboard());
  }
  EXPECT_EQ(user->open_starts.size(), 6);
  EXPECT_EQ(user->results.size(), 1);
  EXPECT_EQ(user->errors.size(), 1);
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(dir / "b.txt")));
  EXPECT_EQ(ClientLine(), kExampleClient);
}

// Tab visits every control once, in order, and leaves the grids and lists; the arrows move
// within them.
TEST_F(Window, TabVisitsEveryControlOnceInOrder) {
  Import(kExample);
  ASSERT_TRUE(HasKeyboard());
  Button("LoadBtn")->setFocus();
  QStringList visited;
  for (int i = 0; i < 9; ++i) {
    Key(QApplication::focusWidget(), Qt::Key_Tab);
    visited << QApplication::focusWidget()->objectName();
  }
  EXPECT_EQ(visited, QStringList({"Export1Btn", "ReportBtn", "AboutBtn", "EndBtn", "StatsList",
                                  "SubtotalsList", "LogBox2", "LogBox", "LoadBtn"}));
  Key(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "LogBox");

  auto* subtotals = window->findChild<QTableWidget*>("SubtotalsList");
  subtotals->setFocus();
  subtotals->setCurrentCell(3, 0);
  Key(subtotals, Qt::Key_Down);
  EXPECT_EQ(subtotals->currentRow(), 4);
  EXPECT_EQ(QApplication::focusWidget(), subtotals);

  // Enter on the import button opens the dialog, as a click does.
  Key(Button("LoadBtn"), Qt::Key_Return);
  EXPECT_EQ(user->open_starts.size(), 2);
}

TEST_F(Window, CopiesTheSelectedCellsAsTabSeparatedLines) {
  Import(kExample);
  auto* stats = window->findChild<TGrid*>("StatsList");
  auto* subtotals = window->findChild<TGrid*>("SubtotalsList");
  stats->setFocus();
  stats->setRangeSelected(QTableWidgetSelectionRange(0, 0, 1, 2), true);
  Key(stats, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(),
            QString::fromUtf8("Řádky/oddíl\tA1\tA2\nNačteno\t3\t2\n"));

  subtotals->setFocus();
  Key(subtotals, Qt::Key_A, Qt::ControlModifier);
  Key(subtotals, Qt::Key_C, Qt::ControlModifier);
  const QStringList lines = QApplication::clipboard()->text().split('\n');
  ASSERT_EQ(lines.size(), 46 + 1);  // the last line ends too
  EXPECT_EQ(lines[0], QString::fromUtf8("A1-Základ daně\t237 650,50 CZK"));

  subtotals->clearSelection();
  ASSERT_EQ(subtotals->actions().size(), 1);
  EXPECT_EQ(subtotals->actions()[0]->text(), QString::fromUtf8("Kopírovat vše"));
  subtotals->actions()[0]->trigger();
  const QStringList all = QApplication::clipboard()->text().split('\n');
  ASSERT_EQ(all.size(), 1 + 46 + 1);
  EXPECT_EQ(all[0], "Sloupec\tCelkem");
  EXPECT_EQ(all.mid(1, 46), lines.mid(0, 46));
  stats->actions()[0]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text().split('\n')[4],
            QString::fromUtf8("CELKEM\t3\t2\t1\t3\t1\t1\t3\t1"));
}

// A workbook dropped on the window imports as if chosen in the open dialog; another file is
// refused with the message the import gives for it, and the client shown stays.
TEST_F(Window, ADroppedWorkbookImportsLikeOpen) {
  TempDir dir;
  const std::string b = dir / "klient-b.xlsx";
  WriteClientB(b);
  auto drop = [&](const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &dropped);
    EXPECT_TRUE(dropped.isAccepted());
    QApplication::processEvents();  // the import starts once the drop has ended
  };
  Import(kExample);
  drop(QString::fromStdString(b));
  EXPECT_TRUE(HasKeyboard());
  Session opened;
  opened.Import(QString::fromStdString(b));
  EXPECT_EQ(Panes(), opened.Panes());

  const std::string pdf = dir / "faktura.pdf";
  std::ofstream(pdf) << "%PDF-1.4";
  const QStringList before = Panes();
  drop(QString::fromStdString(pdf));
  EXPECT_EQ(Panes(), before);
  ASSERT_EQ(user->errors.size(), 1);
  EXPECT_EQ(user->errors[0], "Vestrano v1.00 | The file \"" + QString::fromStdString(pdf) +
                                 "\" could not be processed.\r\n\r\nThe file extension is not "
                                 "assigned to any exporter.");
  EXPECT_TRUE(HasKeyboard());
}

// The import button's arrow lists the last eight workbooks, the latest first; a click on the
// button still opens the dialog, an entry imports its workbook, and gone files drop out.
TEST_F(Window, TheImportButtonKeepsTheLastEightWorkbooks) {
  TempDir dir;
  auto* button = window->findChild<QToolButton*>("LoadBtn");
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->popupMode(), QToolButton::MenuButtonPopup);
  std::vector<std::string> files;
  for (int i = 0; i < 9; ++i) {
    files.push_back(dir / ("klient-" + std::to_string(i) + ".xlsx"));
    std::filesystem::copy_file(kExample.toStdString(), files.back());
    Import(QString::fromStdString(files.back()));
  }
  Import(QString::fromStdString(files[3]));  // again: it moves to the top, once
  auto entries = [&] {
    emit button->menu()->aboutToShow();
    QStringList out;
    for (QAction* a : button->menu()->actions()) out << a->text();
    return out;
  };
  auto entry = [&](int n, int file) {
    return QString("&%1 ").arg(n) + QString::fromStdString(files[file]);
  };
  EXPECT_EQ(entries(), QStringList({entry(1, 3), entry(2, 8), entry(3, 7), entry(4, 6), entry(5, 5),
                                    entry(6, 4), entry(7, 2), entry(8, 1)}));
  std::filesystem::remove(files[8]);
  EXPECT_EQ(entries().mid(0, 2), QStringList({entry(1, 3), entry(2, 7)}));
  EXPECT_EQ(entries().size(), 7);

  const qsizetype dialogs = user->open_starts.size();
  button->menu()->actions()[1]->trigger();
  EXPECT_EQ(window->windowTitle(), "Vestrano v1.00 - klient-7.xlsx");
  EXPECT_EQ(user->open_starts.size(), dialogs);  // no dialog for an entry
  button->click();
  EXPECT_EQ(user->open_starts.size(), dialogs + 1);  // the dialog, which the stand-in cancels
  EXPECT_EQ(TMainApp::RecentWorkbooks().size(), 7);
}

TEST_F(Window, NothingIsCutOffAtTahoma8) {
  EXPECT_EQ(QFontInfo(window->font()).family(), "Tahoma");
  const QFontMetrics metrics(window->font());
  const auto* subtotals = window->findChild<QTableWidget*>("SubtotalsList");
  auto* stats = window->findChild<QTableWidget*>("StatsList");
  const int key_cell = subtotals->columnWidth(0) - 1;  // the grid line is not the cell's
  for (int r = 0; r < subtotals->rowCount(); ++r)
    EXPECT_TRUE(TCellDelegate::Fits(metrics, subtotals->item(r, 0)->text(), key_cell))
        << subtotals->item(r, 0)->text().toStdString();
  EXPECT_TRUE(TCellDelegate::Fits(metrics, "-999 999 999,99 CZK", subtotals->columnWidth(1) - 1));
  EXPECT_TRUE(TCellDelegate::Fits(metrics, "999999", stats->columnWidth(1) - 1));
  EXPECT_TRUE(
      TCellDelegate::Fits(metrics, QString::fromUtf8("Řádky/oddíl"), stats->columnWidth(0) - 1));
  EXPECT_FALSE(TCellDelegate::Fits(metrics, "1000000", stats->columnWidth(1) - 1));  // tooltip
  // A count that does not fit shows whole as a tooltip.
  auto* cell = new QTableWidgetItem("1234567");
  stats->setItem(1, 1, cell);
  const QModelIndex index = stats->model()->index(1, 1);
  QStyleOptionViewItem option;
  option.initFrom(stats);
  option.rect = stats->visualRect(index);
  QHelpEvent tip(QEvent::ToolTip, option.rect.center(),
                 stats->viewport()->mapToGlobal(option.rect.center()));
  stats->itemDelegate()->helpEvent(&tip, stats, option, index);
  EXPECT_EQ(QToolTip::text(), "1234567");
  // A message line wider than its pane can be scrolled to.
  auto* warnings = window->findChild<TMessageList*>("LogBox2");
  warnings->SetLines({"short", QString(120, 'W')});
  QApplication::processEvents();
  EXPECT_GT(warnings->horizontalScrollBar()->maximum(), 0);
  // The whole grid and list fit their frames.
  EXPECT_LE(stats->columnWidth(0) + 8 * stats->columnWidth(1) + 2 * stats->frameWidth(),
            stats->width());
  EXPECT_LE(5 * stats->rowHeight(0) + 2 * stats->frameWidth(), stats->height());
}

TEST(QtTranslations, CzechDesktopGetsCzechButtons) {
  App();
  ASSERT_TRUE(InstallQtTranslations(*qApp, QLocale(QLocale::Czech, QLocale::Czechia)));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("Zrušit"));
  for (QTranslator* t : qApp->findChildren<QTranslator*>()) QCoreApplication::removeTranslator(t);
}

// The window's process runs under the desktop's locale; a Czech one (decimal comma) must change
// neither the panes nor the document.
TEST_F(Window, CzechLocaleGivesTheSamePanesAndDocument) {
  TempDir dir;
  Import(kExample);
  const QStringList c_panes = Panes();
  const std::string c_xml = Export(dir / "c.xml");

  ASSERT_NE(std::setlocale(LC_ALL, "cs_CZ.UTF-8"), nullptr)
      << "scripts/setup-deps makes cs_CZ.UTF-8";
  std::locale::global(std::locale("cs_CZ.UTF-8"));
  QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  Session czech;
  czech.Import(kExample);
  const QStringList cs_panes = czech.Panes();
  const std::string cs_xml = czech.Export(dir / "cs.xml");
  std::setlocale(LC_ALL, "C");
  std::locale::global(std::locale::classic());
  QLocale::setDefault(QLocale::c());

  EXPECT_STREQ(probe, "1,5");  // the Czech locale really was in force
  EXPECT_EQ(cs_panes, c_panes);
  EXPECT_EQ(cs_xml, c_xml);
}

}  // namespace
}  // namespace vestrano
