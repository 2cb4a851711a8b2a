// The window on Qt's offscreen platform, driven through a stand-in for the user's dialogs: one
// client's workbook after another, cancels, failures, the export's questions and the save name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableWidget>
#include <QToolTip>
#include <QTranslator>
#include <clocale>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <locale>
#include <sstream>

#include "export/export.h"
#include "main_window.h"
#include "panes.h"
#include "support/temp_dir.h"
#include "support/xlsx_package.h"

namespace vestrano {
namespace {

using test::TempDir;

const QString kExample = QString(VESTRANO_SOURCE_DIR) + "/examples/kontrolni-hlaseni.xlsx";

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
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // The schema check answers "valid" at once, whatever the document.
  const std::string fake =
      std::string(VESTRANO_SOURCE_DIR) + "/tests/fixtures/export/validators/valid";
  if (const char* path = std::getenv("PATH"); path && std::string(path).find(fake) != 0)
    setenv("PATH", (fake + ":" + path).c_str(), 1);
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

// Stands in for the user: answers the dialogs from queues and records what the window showed.
struct FakeUser : TDialogs {
  std::deque<QString> open_answers, save_answers;
  std::deque<bool> yes_no_answers;
  QStringList open_starts, save_offers, questions, infos, errors;

  QString OpenFileName(QWidget*, const QString& start, const QString&) override {
    open_starts << start;
    return Next(open_answers);
  }
  QString SaveFileName(QWidget*, const QString& suggested, const QString&) override {
    save_offers << suggested;
    return Next(save_answers);
  }
  bool AskYesNo(QWidget*, const QString& caption, const QString& text) override {
    questions << caption + " | " + text;
    if (yes_no_answers.empty()) return false;
    const bool answer = yes_no_answers.front();
    yes_no_answers.pop_front();
    return answer;
  }
  void Inform(QWidget*, const QString& caption, const QString& text) override {
    infos << caption + " | " + text;
  }
  void Error(QWidget*, const QString& caption, const QString& text) override {
    errors << caption + " | " + text;
  }
  static QString Next(std::deque<QString>& q) {  // an empty queue is a cancel
    if (q.empty()) return {};
    QString s = q.front();
    q.pop_front();
    return s;
  }
};

// One window with its stand-in user.
struct Session {
  Session() {
    App();
    auto fake = std::make_unique<FakeUser>();
    user = fake.get();
    window = std::make_unique<TMainApp>(std::move(fake));
    window->show();
  }

  QPushButton* Button(const char* name) { return window->findChild<QPushButton*>(name); }
  void Click(const char* name) { Button(name)->click(); }

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
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // fixed size
  QStringList captions;
  for (auto* b : window->findChildren<QPushButton*>()) captions << b->text();
  EXPECT_EQ(captions,
            QStringList({"Import XLS, XLSX", "Export XML Vestrano", "O programu", "Konec"}));

  const QStringList panes = Panes();
  EXPECT_EQ(panes.mid(1, 4),
            QStringList({QString::fromUtf8("Kontrola - mezisoučty sloupců"),
                         QString::fromUtf8("Chybové hlášení"), QString::fromUtf8("Upozornění"),
                         QString::fromUtf8("Výsledek načtení vstupního souboru")}));
  EXPECT_EQ(panes[5], QString::fromUtf8("Řádky/oddíl|A1|A2|A3|A4|A5|B1|B2|B3"));
  EXPECT_EQ(panes[6], QString::fromUtf8("Načteno||||||||"));
  EXPECT_EQ(panes[10], QString::fromUtf8("A1-Základ daně|0"));
  EXPECT_EQ(panes.size(), 1 + 4 + 5 + 46 + 1);  // both lists empty
  EXPECT_EQ(panes.last(), "export enabled: 0");

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
  Import(QString::fromStdString(b));
  const QStringList after_a = Panes();
  const std::string after_a_xml = Export(dir / "after-a.xml");

  Session fresh;
  fresh.Import(QString::fromStdString(b));
  EXPECT_EQ(after_a, fresh.Panes());
  EXPECT_EQ(after_a_xml, fresh.Export(dir / "fresh.xml"));

  EXPECT_EQ(after_a[0], QString("Vestrano v1.00 - klient-b.xlsx"));
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
  EXPECT_EQ(
      user->questions,
      QStringList(QString::fromUtf8("Export XML | Sešit obsahuje 1 chybu. Přesto exportovat?")));
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
  ASSERT_EQ(user->infos.size(), 1);
  const std::string written = dir / "novy.xml";
  EXPECT_EQ(user->infos[0].toStdString(),
            std::string(kExportCaption) + " | Soubor XML bol uložený do " + written +
                "\r\n\r\nOvěření podle schémy XSD proběhlo bez chyb.");

  // "Ano" replaces it.
  user->questions.clear();
  EXPECT_NE(Export(dir / "kh.xml"), "the previous filing");
  EXPECT_EQ(user->questions.size(), 1);

  // A cancelled save dialog writes nothing and shows nothing.
  user->infos.clear();
  Click("Export1Btn");
  EXPECT_TRUE(user->infos.isEmpty());
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
  QPushButton* about = Button("AboutBtn");
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
