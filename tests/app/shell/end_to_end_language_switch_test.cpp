// Changing the language while the program runs, as a user does it: the
// Language submenu of the Edit menu, then the language dialog. The tools,
// classes and buttons take the new texts at once, and a second change
// leaves nothing pointing at the texts of the first.
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_follow_up.h"
#include "app/lang/language_manager.h"
#include "app/lang/language_starter.h"
#include "app/lang/resource_folders.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/model/classes.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/toolbox.h"

namespace {

const QString kTestLanguage = QStringLiteral("Test Language");

class EndToEndLanguageSwitch : public FigureTest {
 protected:
  void TearDown() override {
    if (NSKelvoLanguageStarter::currentLanguage() != kelvo::lang::kDefaultLanguage)
      NSKelvoLanguageStarter::loadLanguageFile(kelvo::lang::kDefaultLanguage);
    QFile::remove(kelvo::lang::user_languages_folder() + QLatin1Char('/') + kTestLanguage + QStringLiteral(".xcl"));
    FigureTest::TearDown();
  }

  // The English file with some rows given other texts, among the user's
  // languages.
  static void writeLanguage(const QMap<int, QByteArray>& rows) {
    QFile en(QStringLiteral(KELVO_SOURCE_RESOURCES "/languages/English US.xcl"));
    ASSERT_TRUE(en.open(QIODevice::ReadOnly));
    QByteArray out;
    int index = 0;
    for (const QByteArray& line : en.readAll().split('\n')) {
      if (line.contains("<string ") && rows.contains(index)) {
        out += "  <string ID=\"" + QByteArray::number(index) + "\">" + rows[index] + "</string>\n";
        ++index;
        continue;
      }
      if (line.contains("<string ")) ++index;
      out += line + '\n';
    }
    out.replace("name=\"English US\"", "name=\"Test Language\"");
    QDir().mkpath(kelvo::lang::user_languages_folder());
    QFile f(kelvo::lang::user_languages_folder() + QLatin1Char('/') + kTestLanguage + QStringLiteral(".xcl"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(out);
  }

  // Opens Edit, then its Language submenu, and clicks the item that begins
  // with `item`, all with the mouse. False when an item is missing.
  static bool clickLanguageItem(QMenuBar* bar, const QString& item) {
    QAction* edit = nullptr;
    for (QAction* a : bar->actions())
      if (a->menu() && a->text().remove(QLatin1Char('&')) == QStringLiteral("Edit")) edit = a;
    if (!edit) return false;
    QTest::mouseClick(bar->window()->windowHandle(), Qt::LeftButton, {},
                      bar->mapTo(bar->window(), bar->actionGeometry(edit).center()));
    spin(10);
    QMenu* menu = edit->menu();
    QAction* language = nullptr;
    for (QAction* a : menu->actions())
      if (a->menu() && a->text().remove(QLatin1Char('&')) == QStringLiteral("Language")) language = a;
    if (!menu->isVisible() || !language) {
      ADD_FAILURE() << "no Language submenu in Edit";
      return false;
    }
    QTest::mouseMove(menu->windowHandle(), menu->actionGeometry(language).center());
    QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(language).center());
    spin(20);
    QMenu* sub = language->menu();
    if (!sub->isVisible()) {
      ADD_FAILURE() << "the Language submenu did not open";
      return false;
    }
    QAction* target = nullptr;
    for (QAction* a : sub->actions())
      if (!a->isSeparator() && a->text().startsWith(item)) target = a;
    if (!target) {
      ADD_FAILURE() << "no item " << item.toStdString();
      sub->close();
      menu->close();
      return false;
    }
    QTest::mouseMove(sub->windowHandle(), sub->actionGeometry(target).center());
    spin(5);
    QTest::mouseClick(sub->windowHandle(), Qt::LeftButton, {}, sub->actionGeometry(target).center());
    spin(20);
    return true;
  }

  // The names shown in the tools palette's toolboxes.
  static QStringList toolboxNames() {
    QStringList names;
    for (int g = 0; tool_menus && tool_menus[g]; ++g)
      for (int i = 1; tool_menus[g]->names && tool_menus[g]->names[i]; ++i)
        names << QString::fromLatin1(tool_menus[g]->names[i]);
    return names;
  }
};

TEST_F(EndToEndLanguageSwitch, TheLanguageMenuAndTheDialogSwitchEveryText) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(toolboxNames().contains(QStringLiteral("Segment")));
  // The axes shown and the pointer over one of them: the axes name
  // themselves with a text of the table.
  pickFromPalette(find_tool_id_by_name(show_axes_names[0]));
  chooseTool(view, nullptr);
  const tagPOINT corner = figurePoint(view, QPoint(0, 0));
  const QPoint on_axis(-corner.x + 37, -corner.y);
  moveTo(view, on_axis);
  writeLanguage({{342, "D'accord"}, {358, "Tron\xC3\xA7on"}, {543, "Montrer la description"}});

  // Edit > Language > Test Language.
  ASSERT_TRUE(clickLanguageItem(w->menuBar(), kTestLanguage));
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguage(), kTestLanguage);
  EXPECT_STREQ(kernel_string(342), "D'accord");
  // The user is asked whether to keep it.
  ASSERT_FALSE(messages().isEmpty());
  EXPECT_TRUE(messages().last().startsWith(QStringLiteral("Keep this language the next time Kelvo Nova starts?")))
      << messages().last().toStdString();
  // Tool and class names follow: the class, the palette's toolboxes.
  EXPECT_STREQ(classe_segment.name, "Tron\x8Don");
  EXPECT_TRUE(toolboxNames().contains(QString::fromLatin1("Tron\x8Don")))
      << toolboxNames().join(QLatin1Char('|')).toStdString();
  EXPECT_FALSE(toolboxNames().contains(QStringLiteral("Segment")));
  // The pointer is the tool in use after the change, and the axes under it
  // answer in the new language.
  EXPECT_EQ(current_class, nullptr);
  moveTo(view, on_axis + QPoint(1, 0));
  moveTo(view, on_axis);

  // Edit > Language > Languages... opens the dialog; English is chosen in
  // it. Every name of the first change is let go: reading them again is
  // reading the new rows.
  bool dialog_seen = false;
  // Asked until the dialog shows: on a busy machine it may take a while.
  QTimer answer;
  answer.setInterval(50);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* panel = kelvo::lang::language_manager() ? kelvo::lang::language_manager()->languagesPanel() : nullptr;
    if (!panel || !panel->isVisible()) return;
    answer.stop();
    dialog_seen = true;
    const QStringList& names = NSKelvoLanguageStarter::availableLanguages();
    const int row = static_cast<int>(names.indexOf(kelvo::lang::kDefaultLanguage));
    panel->languageList()->selectRow(row);
    QTest::mouseClick(panel->chooseButton(), Qt::LeftButton);
  });
  answer.start();
  ASSERT_TRUE(clickLanguageItem(w->menuBar(), QStringLiteral("Languages")));
  spin(50);
  EXPECT_TRUE(dialog_seen);
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguage(), kelvo::lang::kDefaultLanguage);
  EXPECT_STREQ(kernel_string(342), "OK");
  EXPECT_STREQ(classe_segment.name, "Segment");
  EXPECT_TRUE(toolboxNames().contains(QStringLiteral("Segment")));
  for (int i = 0; class_list && class_list[i]; ++i) {
    if (class_list[i]->name) {
      EXPECT_GT(std::strlen(class_list[i]->name), 0u);
    }
  }
}

}  // namespace
