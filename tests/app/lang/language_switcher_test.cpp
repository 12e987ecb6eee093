#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_manager.h"
#include "app/lang/language_starter.h"
#include "app/lang/language_switcher.h"
#include "app/lang/resource_folders.h"
#include "app/lang/resource_string.h"
#include "app/support/language_fixture.h"

namespace {

using Pair = NSKelvoLanguageSwitcherPair;

class LabelPattern : public LanguageTest {};
class KPLTextField : public LanguageTest {};

void store(const char* id, const char* text) {
  const QString t = QString::fromUtf8(text);
  NSKelvoResourceString::createEntryWithID(QString::fromUtf8(id), 4, &t);
}

TEST_F(LabelPattern, Expansion) {
  store("12.3", "Open");
  store("5", "Five");
  struct Case {
    const char* pattern;
    const char* expected;
  };
  for (const Case c : {Case{"[12.3](Open file)...", "Open..."}, Case{"[99](Open file)...", "Open file..."},
                       Case{"[99]...", "..."}, Case{"Say [ 5 ]!", "Say Five!"}, Case{"no [reference", "no [reference"},
                       Case{"x\\2 [5]", "x\u00b2 Five"}, Case{"plain", "plain"}}) {
    EXPECT_EQ(Pair::stringWithPatternString(QString::fromUtf8(c.pattern)), QString::fromUtf8(c.expected))
        << c.pattern;
  }
}

TEST_F(LabelPattern, PairsFollowEveryLoad) {
  store("12.3", "Open");
  store("1", "Title");
  store("2", "Tab");
  store("3", "Item");
  NSKelvoLanguageSwitcherView view;
  auto* comma = new QLabel(QStringLiteral("[12,3](Open file)"), &view);
  auto* box = new QGroupBox(QStringLiteral("[1]"), &view);
  auto* inner = new QPushButton(QStringLiteral("[3]"), box);
  auto* editable = new QLineEdit(QStringLiteral("[1]"), &view);
  auto* fixed = new QLineEdit(QStringLiteral("[1]"), &view);
  fixed->setReadOnly(true);
  auto* combo = new QComboBox(&view);
  combo->addItems({QStringLiteral("[3]"), QStringLiteral("plain")});
  auto* tabs = new QTabWidget(&view);
  auto* page = new QWidget;
  auto* on_page = new QLabel(QStringLiteral("[3]"), page);
  tabs->addTab(page, QStringLiteral("[2]"));
  auto* plain = new QLabel(QStringLiteral("not a pattern"), &view);
  view.awakeFromNib();

  EXPECT_EQ(comma->text(), QStringLiteral("Open"));
  EXPECT_EQ(box->title(), QStringLiteral("Title"));
  EXPECT_EQ(inner->text(), QStringLiteral("Item"));
  EXPECT_EQ(editable->text(), QStringLiteral("[1]"));
  EXPECT_EQ(fixed->text(), QStringLiteral("Title"));
  EXPECT_EQ(combo->itemText(0), QStringLiteral("Item"));
  EXPECT_EQ(combo->itemText(1), QStringLiteral("plain"));
  EXPECT_EQ(tabs->tabText(0), QStringLiteral("Tab"));
  EXPECT_EQ(on_page->text(), QStringLiteral("Item"));
  EXPECT_EQ(plain->text(), QStringLiteral("not a pattern"));
  EXPECT_EQ(view.stringForView(comma), QStringLiteral("Open"));
  EXPECT_TRUE(view.stringForView(plain).isNull());
  const auto pair_count = view.pairs().size();

  store("3", "Element");
  emit NSKelvoLanguageCenter::defaultCenter()->languageLoaded();
  EXPECT_EQ(inner->text(), QStringLiteral("Element"));
  EXPECT_EQ(combo->itemText(0), QStringLiteral("Element"));
  EXPECT_EQ(on_page->text(), QStringLiteral("Element"));
  EXPECT_EQ(view.pairs().size(), pair_count);

  delete inner;  // a control that went away is passed over
  emit NSKelvoLanguageCenter::defaultCenter()->languageLoaded();
}

TEST_F(LabelPattern, MenusAndSubmenus) {
  store("10", "File");
  store("11", "Open");
  store("12", "Recent");
  QMenu menu(QStringLiteral("[10]"));
  QAction* open = menu.addAction(QStringLiteral("[11](Open...)"));
  QMenu* recent = menu.addMenu(QStringLiteral("[12]"));
  QAction* missing = recent->addAction(QStringLiteral("[404](Nothing)"));
  NSKelvoLanguageSwitcherView::addMenu(&menu);
  EXPECT_EQ(menu.title(), QStringLiteral("File"));
  EXPECT_EQ(open->text(), QStringLiteral("Open"));
  EXPECT_EQ(recent->title(), QStringLiteral("Recent"));
  EXPECT_EQ(missing->text(), QStringLiteral("Nothing"));
  store("11", "Ouvrir");
  emit NSKelvoLanguageCenter::defaultCenter()->languageLoaded();
  EXPECT_EQ(open->text(), QStringLiteral("Ouvrir"));
}

TEST_F(LabelPattern, MenuItemsFromIdentifiers) {
  store("20", "-");
  store("21", "Copy");
  QMenu menu;
  EXPECT_EQ(NSKelvoResourceString::appendMenuWithStringByID(nullptr, QStringLiteral("21")), nullptr);
  EXPECT_EQ(NSKelvoResourceString::appendMenuWithStringByID(&menu, QStringLiteral("404")), nullptr);
  EXPECT_TRUE(NSKelvoResourceString::appendMenuWithStringByID(&menu, QStringLiteral("20"))->isSeparator());
  int fired = 0;
  QObject receiver;
  QAction* copy = NSKelvoResourceString::appendMenuWithStringByID(&menu, QStringLiteral("21"), &receiver,
                                                                  [&fired] { ++fired; });
  EXPECT_EQ(copy->text(), QStringLiteral("Copy"));
  copy->trigger();
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(menu.actions().size(), 2);
}

TEST_F(KPLTextField, ReferencesByNumbers) {
  store("3.2", "three two");
  store("4", "four");
  NSKelvoKPLTextField field(QStringLiteral("a [3.2] b \n[4] [9](nine) [](none)"));
  EXPECT_EQ(field.text(), QStringLiteral("a three two b four nine none"));
  field.setKPLReference(3, 2);
  EXPECT_EQ(field.text(), QStringLiteral("a three two b four nine three two"));
  long major = 7, minor = 8;
  NSKelvoKPLTextField::convertID(QStringLiteral("1.2.3"), &major, &minor);
  EXPECT_EQ(major, 7);
  NSKelvoKPLTextField::convertID(QStringLiteral("5"), &major, &minor);
  EXPECT_EQ(major, 5);
  EXPECT_EQ(minor, 8);
}

class LanguageManagerTest : public LanguageTest {
 protected:
  void SetUp() override {
    LanguageTest::SetUp();
    kelvo::lang::set_language_folders_for_testing(dir.filePath("installed"), dir.filePath("user"));
    write(dir.filePath("installed/English US.xcl"), "<language name=\"English US\"><strings>"
                                                    "<string ID=\"1\">one</string></strings></language>");
    write(dir.filePath("elsewhere/Deutsch.xcl"), "<language name=\"Deutsch\"><strings>"
                                                 "<string ID=\"1\">eins</string></strings></language>");
    kelvo::lang::follow_up_hooks().message_box = [this](const QString& text, const QString&, int mode) {
      messages << text + QLatin1Char('|') + QString::number(mode);
      return 1;
    };
    ASSERT_TRUE(kelvo::lang::start_language(QStringLiteral("English US"), nullptr));
  }
  static void write(const QString& path, const QByteArray& body) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(body);
  }
  QTemporaryDir dir;
  QStringList messages;
};

TEST_F(LanguageManagerTest, AddChooseAndRemoveALanguage) {
  NSKelvoLanguageManager manager;
  EXPECT_EQ(NSKelvoLanguageManager::defaultManager(), &manager);
  manager.choose_language_file = [this] { return dir.filePath("elsewhere/Deutsch.xcl"); };
  manager.plusButtonAction();
  EXPECT_TRUE(QFile::exists(dir.filePath("user/Deutsch.xcl")));
  NSKelvoLanguagesPanel* panel = manager.languagesPanel();
  panel->update2();
  ASSERT_EQ(panel->languageList()->rowCount(), 2);

  QMenu menu;
  EXPECT_FALSE(manager.populateLanguagesMenu(nullptr));
  ASSERT_TRUE(manager.populateLanguagesMenu(&menu));
  ASSERT_EQ(menu.actions().size(), 2);
  menu.actions()[0]->trigger();  // "Deutsch", the user's folder first
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguage(), QStringLiteral("Deutsch"));
  EXPECT_EQ(NSKelvoResourceString::nsStringByID(QStringLiteral("1")), QStringLiteral("eins"));

  // The current language and English cannot be removed.
  panel->languageList()->setCurrentCell(0, 1);
  EXPECT_FALSE(panel->minusButton()->isEnabled());
  panel->languageList()->setCurrentCell(1, 1);
  EXPECT_FALSE(panel->minusButton()->isEnabled());

  panel->languageList()->setCurrentCell(1, 1);
  manager.selectLanguageFileInDialog();
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguage(), QStringLiteral("English US"));
  panel->update2();
  panel->languageList()->setCurrentCell(0, 1);
  EXPECT_TRUE(panel->minusButton()->isEnabled());
  manager.minusButtonAction();
  EXPECT_FALSE(QFile::exists(dir.filePath("user/Deutsch.xcl")));
  EXPECT_EQ(panel->languageList()->rowCount(), 1);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(LanguageManagerTest, AFailedCopyIsReported) {
  NSKelvoLanguageManager manager;
  EXPECT_FALSE(manager.addLanguageFile(dir.filePath("elsewhere/missing.xcl")));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(dir.filePath("user") + QLatin1Char(' ')));
  EXPECT_TRUE(messages[0].endsWith(QStringLiteral("|2")));
}

}  // namespace
