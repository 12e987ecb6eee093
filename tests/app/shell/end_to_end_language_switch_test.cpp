// Changing the language while the program runs, as a user does it: the
// Language submenu of the Edit menu, then the language dialog. The tools,
// classes and buttons take the new texts at once, and a second change
// leaves nothing pointing at the texts of the first.
#include <QAbstractButton>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <functional>

#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_follow_up.h"
#include "app/lang/language_manager.h"
#include "app/lang/language_starter.h"
#include "app/lang/resource_folders.h"
#include "app/panels/calculator_panel.h"
#include "app/panels/figure_description_drawer.h"
#include "app/panels/shared_panels.h"
#include "app/panels/tool_menu_services.h"
#include "app/panels/tools_config_window.h"
#include "app/prefs/preferences_window.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/measure/calculator.h"
#include "kernel/measure/calculator_window.h"
#include "kernel/model/classes.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_state.h"
#include "kernel/tools/toolbox.h"
#include "platform/kp_dialog.h"

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
    writeLanguage([&rows](int row, const QByteArray& text) { return rows.value(row, text); });
  }
  // The English file with every row's text (as written in the file) passed
  // through `text_of`, at `path` (among the user's languages by default).
  static void writeLanguage(const std::function<QByteArray(int row, const QByteArray& text)>& text_of,
                            QString path = QString()) {
    QFile en(QStringLiteral(KELVO_SOURCE_RESOURCES "/languages/English US.xcl"));
    ASSERT_TRUE(en.open(QIODevice::ReadOnly));
    QByteArray out;
    int index = 0;
    for (const QByteArray& line : en.readAll().split('\n')) {
      const qsizetype start = line.indexOf('>') + 1;
      const qsizetype end = line.lastIndexOf("</string>");
      if (line.contains("<string ") && start > 0 && end >= start) {
        out += line.left(start) + text_of(index, line.mid(start, end - start)) + line.mid(end) + '\n';
        ++index;
        continue;
      }
      out += line + '\n';
    }
    out.replace("name=\"English US\"", "name=\"Test Language\"");
    if (path.isEmpty()) {
      QDir().mkpath(kelvo::lang::user_languages_folder());
      path = kelvo::lang::user_languages_folder() + QLatin1Char('/') + kTestLanguage + QStringLiteral(".xcl");
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(out);
  }
  // Every text of the English file with a "~" before it, except the three
  // separator characters numbers are read with: whatever shows the mark
  // came from the language file.
  static QByteArray marked(int row, const QByteArray& text) {
    return row == lang_row::separators ? text : "~" + text;
  }
  static bool isMarked(QString text) { return text.remove(QLatin1Char('&')).startsWith(QLatin1Char('~')); }
  static bool hasLetter(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
  }

  // The texts a window shows that are not the language's: its title, and
  // the texts of its labels, buttons, tabs and pop-up items (numbers and
  // the controls in `skip` aside; what the user types is not looked at).
  static std::string unmarkedTexts(QWidget* window, const QList<int>& skip = {}, bool own_title = true) {
    QStringList found;
    auto look = [&found](const QString& where, const QString& text) {
      if (hasLetter(text) && !isMarked(text)) found << where + QStringLiteral(": ") + text;
    };
    if (own_title) look(QStringLiteral("title"), window->windowTitle());
    for (QWidget* w : window->findChildren<QWidget*>()) {
      if (int id = 0; kp_item_id(w, &id) && skip.contains(id)) continue;
      if (w->isWindow()) look(QStringLiteral("title"), w->windowTitle());
      if (auto* label = qobject_cast<QLabel*>(w)) look(QStringLiteral("label"), label->text());
      if (auto* button = qobject_cast<QAbstractButton*>(w)) look(QStringLiteral("button"), button->text());
      if (auto* tabs = qobject_cast<QTabWidget*>(w))
        for (int i = 0; i < tabs->count(); ++i) look(QStringLiteral("tab"), tabs->tabText(i));
      if (auto* box = qobject_cast<QComboBox*>(w))
        for (int i = 0; i < box->count(); ++i) look(QStringLiteral("item"), box->itemText(i));
    }
    return found.join(QStringLiteral(" | ")).toStdString();
  }

  // Opens each menu of the bar with the mouse, as a user does, and gives
  // back the titles and items that are not the language's (separators and
  // the names of the languages aside). The Language submenu is opened too.
  static std::string unmarkedMenuTexts(QMenuBar* bar) {
    QStringList found;
    const QStringList& languages = NSKelvoLanguageStarter::availableLanguages();
    auto items = [&](QMenu* menu) {
      for (QAction* a : menu->actions())
        if (!a->isSeparator() && !languages.contains(a->text()) && !isMarked(a->text()))
          found << menu->title() + QStringLiteral(" > ") + a->text();
    };
    for (QAction* title : bar->actions()) {
      if (!title->menu()) continue;
      if (!isMarked(title->text())) found << QStringLiteral("menu ") + title->text();
      QMenu* menu = title->menu();
      QTest::mouseClick(bar->window()->windowHandle(), Qt::LeftButton, {},
                        bar->mapTo(bar->window(), bar->actionGeometry(title).center()));
      spin(10);
      if (!menu->isVisible()) {
        found << QStringLiteral("menu that did not open: ") + title->text();
        continue;
      }
      items(menu);
      for (QAction* a : menu->actions()) {
        if (!a->menu()) continue;
        QTest::mouseMove(menu->windowHandle(), menu->actionGeometry(a).center());
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(a).center());
        spin(20);
        items(a->menu());
        a->menu()->close();
      }
      menu->close();
      spin(5);
    }
    return found.join(QStringLiteral(" | ")).toStdString();
  }

  // Opens Edit, then its Language submenu, and clicks the item that begins
  // with `item`, all with the mouse. False when an item is missing. The
  // menus are found by their places (the second menu, its last item), so
  // that any language finds them.
  static bool clickLanguageItem(QMenuBar* bar, const QString& item) {
    QList<QAction*> titles;
    for (QAction* a : bar->actions())
      if (a->menu()) titles << a;
    QAction* edit = titles.size() > 1 ? titles[1] : nullptr;
    if (!edit) return false;
    QTest::mouseClick(bar->window()->windowHandle(), Qt::LeftButton, {},
                      bar->mapTo(bar->window(), bar->actionGeometry(edit).center()));
    spin(10);
    QMenu* menu = edit->menu();
    QAction* language = nullptr;
    for (QAction* a : menu->actions())
      if (a->menu()) language = a;
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

// A second language made in the test, whose every text is marked: after
// Edit > Language, every menu title and item, the windows that stay open
// (calculator, toolbox configuration, colour and font panels) and those
// opened afterwards (preferences), the figure window's own labels and the
// formulas' messages show the new texts.
TEST_F(EndToEndLanguageSwitch, EveryInterfaceTextOfTheWindowsFollowsTheLanguage) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  // The windows that live across the change, open before it.
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Format"), QStringLiteral("Show Colors")));
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Format"), QStringLiteral("Show Fonts")));
  NSToolsWindowController* tools = NSToolsWindowController::shared();
  chooseTool(view, &classe_calculate);
  spin(10);
  ASSERT_NE(calculator_panel(), nullptr);
  const QStringList tools_before = toolboxNames();
  writeLanguage(&marked);

  ASSERT_TRUE(clickLanguageItem(w->menuBar(), kTestLanguage));
  ASSERT_EQ(NSKelvoLanguageStarter::currentLanguage(), kTestLanguage);
  spin(20);
  // Every tool is still in the palette, under its new name (the vector sum
  // and the compass have no English name to be found by).
  const QStringList tools_after = toolboxNames();
  EXPECT_EQ(tools_after.size(), tools_before.size()) << tools_after.join('|').toStdString();
  for (const QString& name : tools_after) EXPECT_TRUE(isMarked(name)) << name.toStdString();

  // Every menu of the window, opened as a user opens it.
  EXPECT_EQ(unmarkedMenuTexts(w->menuBar()), "");
  // The window's own labels and tips, the description's headers (its title
  // is the figure's name).
  EXPECT_EQ(unmarkedTexts(w, {}, false), "");
  EXPECT_TRUE(isMarked(w->zoomControl()->toolTip())) << w->zoomControl()->toolTip().toStdString();
  EXPECT_TRUE(isMarked(w->zoomReset()->toolTip())) << w->zoomReset()->toolTip().toStdString();
  for (int column : {0, 1}) {
    const QString header = w->getFigureDescDataSource()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_TRUE(isMarked(header)) << header.toStdString();
  }
  // The panels that were open.
  EXPECT_TRUE(isMarked(shared_color_panel()->windowTitle())) << shared_color_panel()->windowTitle().toStdString();
  EXPECT_TRUE(isMarked(shared_font_panel()->windowTitle())) << shared_font_panel()->windowTitle().toStdString();
  EXPECT_EQ(unmarkedTexts(tools), "");
  // The change ends the Formula tool; the calculator opened again has the
  // new texts, and so have its messages and the formulas' notices.
  chooseTool(view, &classe_calculate);
  spin(10);
  KPCalculatorPanel* calculator = calculator_panel();
  ASSERT_NE(calculator, nullptr);
  EXPECT_EQ(unmarkedTexts(calculator), "");
  auto* formula = child_with_id<QLineEdit>(calculator, kCalcFormula);
  auto* evaluate = child_with_id<QPushButton>(calculator, kCalcEvaluateButton);
  ASSERT_TRUE(formula && evaluate);
  for (const char* typed : {"1/0", "2cm+3rd", "sin(2cm)"}) {
    messages().clear();
    formula->setText(QString::fromLatin1(typed));
    QTest::mouseClick(evaluate, Qt::LeftButton);
    spin(5);
    ASSERT_FALSE(messages().isEmpty()) << typed;
    EXPECT_TRUE(isMarked(messages().first())) << typed << ": " << messages().first().toStdString();
  }
  calculator->close();

  // The preferences, opened from the menu.
  std::string preferences_texts = "not opened";
  set_preferences_window_observer([&preferences_texts](QDialog* window) {
    preferences_texts = unmarkedTexts(window, {kPrefCursorFont, kPrefMenuFont, kPrefTextFont});
    window->reject();
  });
  const bool opened = clickMenuItem(w->menuBar(), QStringLiteral("~Edit"), QStringLiteral("~Preferences"));
  set_preferences_window_observer(nullptr);
  ASSERT_TRUE(opened);
  EXPECT_EQ(preferences_texts, "");

  // Back in English, the texts are English again.
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(kelvo::lang::kDefaultLanguage));
  spin(10);
  EXPECT_EQ(w->menuBar()->actions().first()->text().remove(QLatin1Char('&')), QStringLiteral("File"));
  EXPECT_EQ(tools->windowTitle(), QStringLiteral("Toolbox Configuration"));
  EXPECT_EQ(shared_color_panel()->windowTitle(), QStringLiteral("Colors"));
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Format"), QStringLiteral("Hide Colors")));
  ASSERT_TRUE(clickMenuItem(w->menuBar(), QStringLiteral("Format"), QStringLiteral("Hide Fonts")));
}

// The language dialog as a user goes through it, several times: Edit >
// Language > Languages..., a language file of the user's added with "+"
// and chosen, OK, "No" to keeping it, then the Edit menu and its Language
// submenu opened at once; then back to English the same way. The menus,
// the palette and the figure come through whole.
TEST_F(EndToEndLanguageSwitch, TheDialogsChoiceAnsweredNoThenTheEditMenu) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  QPointer<KPFigureWindow> w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  kelvo_win_info* figure = view->info();
  // A language file somewhere of the user's, under a name of its own.
  const QString second = QStringLiteral("Second Language");
  const QString source = dir.filePath(second + QStringLiteral(".xcl"));
  writeLanguage([](int row, const QByteArray& text) { return row == 806 ? QByteArray("&amp;Bearbeiten") : text; },
                source);
  NSKelvoLanguageManager* manager = kelvo::lang::language_manager();
  ASSERT_NE(manager, nullptr);
  const auto chooser = manager->choose_language_file;
  manager->choose_language_file = [source] { return source; };
  // "No" to keeping the language (the second button of the question),
  // looking at the palette while the question is shown.
  QStringList questions;
  bool palette_while_asked = true;
  QString edit_while_asked;
  KPDialog::setMessageBoxResponder([&](const KPMessageBoxRequest& request) {
    questions << QString::fromStdString(request.message);
    palette_while_asked = palette_while_asked && attrib_palette_window != nullptr;
    edit_while_asked = w->menuBar()->actions()[1]->text();
    return request.buttons.size() > 1 ? 1 : 0;
  });
  // The dialog: "+" the first time, then the language wanted, then OK.
  QString wanted;
  bool add = true;
  QTimer driver;
  driver.setInterval(20);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    NSKelvoLanguagesPanel* panel = manager->languagesPanel();
    if (!panel->isVisible()) return;
    driver.stop();
    if (add) {
      QTest::mouseClick(panel->plusButton(), Qt::LeftButton);
      add = false;
    }
    const int row = static_cast<int>(NSKelvoLanguageStarter::availableLanguages().indexOf(wanted));
    if (row < 0) {
      ADD_FAILURE() << "no " << wanted.toStdString() << " in the dialog";
      panel->reject();
      return;
    }
    const QRect cell = panel->languageList()->visualRect(panel->languageList()->model()->index(row, 1));
    QTest::mouseClick(panel->languageList()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseClick(panel->chooseButton(), Qt::LeftButton);
  });
  // A dialog left open would wait for ever: it is closed, and the test fails.
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      ADD_FAILURE() << "a dialog stayed open";
      modal->close();
    }
  });
  watchdog.start(20000);
  for (int round = 0; round < 4; ++round) {
    wanted = round % 2 == 0 ? second : kelvo::lang::kDefaultLanguage;
    questions.clear();
    driver.start();
    ASSERT_TRUE(clickLanguageItem(w->menuBar(), QStringLiteral("Languages")));
    spin(20);
    ASSERT_EQ(NSKelvoLanguageStarter::currentLanguage(), wanted) << round;
    EXPECT_EQ(questions.size(), 1) << round;
    // While the question is asked, the program shows itself whole and in
    // the new language.
    EXPECT_TRUE(palette_while_asked) << "the attribute palette was away during the question";
    EXPECT_EQ(edit_while_asked.toStdString(), round % 2 == 0 ? "&Bearbeiten" : "&Edit");
    // The Edit menu at once, and its Language submenu, which lists the
    // languages afresh.
    QMenu* edit = w->menuBar()->actions()[1]->menu();
    QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {},
                      w->menuBar()->mapTo(w, w->menuBar()->actionGeometry(edit->menuAction()).center()));
    spin(10);
    ASSERT_TRUE(edit->isVisible()) << round;
    EXPECT_EQ(edit->title().toStdString(), round % 2 == 0 ? "&Bearbeiten" : "&Edit");
    QAction* language = nullptr;
    for (QAction* a : edit->actions())
      if (a->menu()) language = a;
    ASSERT_NE(language, nullptr);
    QTest::mouseMove(edit->windowHandle(), edit->actionGeometry(language).center());
    QTest::mouseClick(edit->windowHandle(), Qt::LeftButton, {}, edit->actionGeometry(language).center());
    spin(20);
    EXPECT_TRUE(language->menu()->isVisible()) << round;
    QStringList items;
    for (QAction* a : language->menu()->actions())
      if (!a->isSeparator()) items << a->text();
    EXPECT_TRUE(items.contains(second) && items.contains(kelvo::lang::kDefaultLanguage)) << items.join('|').toStdString();
    language->menu()->close();
    edit->close();
    spin(10);
    // The figure and its window, and the attribute palette, are still there.
    ASSERT_FALSE(w.isNull());
    EXPECT_EQ(view->info(), figure);
    EXPECT_NE(attrib_palette_window, nullptr) << round;
  }
  manager->choose_language_file = chooser;
  QFile::remove(kelvo::lang::user_languages_folder() + QLatin1Char('/') + second + QStringLiteral(".xcl"));
}

// A language file with too few strings is refused: the texts in force stay
// and so does their language, which the Language submenu marks. Once the
// file is whole, choosing it again switches to it.
TEST_F(EndToEndLanguageSwitch, ARefusedFileLeavesTheLanguageInForceMarked) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  const QString path = kelvo::lang::user_languages_folder() + QLatin1Char('/') + kTestLanguage + QStringLiteral(".xcl");
  QDir().mkpath(kelvo::lang::user_languages_folder());
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<language name=\"Test Language\" localizedName=\"Test\" code=\"fr_FR\" encodingString=\"utf-8\" "
            "encoding=\"4\">\n <strings encoding=\"4\">\n"
            "  <string ID=\"0\">Kelvo Nova</string>\n  <string ID=\"342\">D'accord</string>\n"
            " </strings>\n</language>\n");
  }
  // The item the Language submenu marks, opened as a user opens it.
  auto marked_language = [&]() -> QString {
    QMenu* edit = w->menuBar()->actions()[1]->menu();
    QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {},
                      w->menuBar()->mapTo(w, w->menuBar()->actionGeometry(edit->menuAction()).center()));
    spin(10);
    QAction* language = nullptr;
    for (QAction* a : edit->actions())
      if (a->menu()) language = a;
    if (!edit->isVisible() || !language) return QStringLiteral("no Language submenu");
    QTest::mouseMove(edit->windowHandle(), edit->actionGeometry(language).center());
    QTest::mouseClick(edit->windowHandle(), Qt::LeftButton, {}, edit->actionGeometry(language).center());
    spin(20);
    QString marked;
    for (QAction* item : language->menu()->actions())
      if (item->isChecked()) marked += item->text();
    language->menu()->close();
    edit->close();
    spin(10);
    return marked;
  };
  // The refusal's message, taken as it is shown.
  kelvo::lang::LanguageFollowUpHooks& hooks = kelvo::lang::follow_up_hooks();
  const auto shown = hooks.message_box;
  QStringList refusals;
  hooks.message_box = [&refusals](const QString& text, const QString&, int) {
    refusals << text;
    return 0;
  };
  ASSERT_TRUE(clickLanguageItem(w->menuBar(), kTestLanguage));
  hooks.message_box = shown;
  ASSERT_EQ(refusals.size(), 1);
  EXPECT_TRUE(refusals[0].startsWith(QStringLiteral("There are not enough strings"))) << refusals[0].toStdString();
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguage(), kelvo::lang::kDefaultLanguage);
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguageCode(), QStringLiteral("en_US"));
  EXPECT_STREQ(kernel_string(342), "OK");
  EXPECT_EQ(marked_language(), kelvo::lang::kDefaultLanguage);

  // The file mended, the same item switches.
  writeLanguage({{342, "D'accord"}});
  messages().clear();
  ASSERT_TRUE(clickLanguageItem(w->menuBar(), kTestLanguage));
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguage(), kTestLanguage);
  EXPECT_STREQ(kernel_string(342), "D'accord");
  EXPECT_EQ(marked_language(), kTestLanguage);
}

}  // namespace
