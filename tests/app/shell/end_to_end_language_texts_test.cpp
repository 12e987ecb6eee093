// What a user reads in the figure's context menu, in the hints beside the
// pointer, in the documents' messages and dialogs, in Qt's own dialogs and
// in the windows behind comes from the language: a language made for the
// test with a mark before every text shows the mark everywhere.
#include <QAbstractButton>
#include <QCheckBox>
#include <QColorDialog>
#include <QDialog>
#include <QFontDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <string>

#include "app/lang/language_starter.h"
#include "app/panels/color_palette_panel.h"
#include "app/panels/help_pages.h"
#include "app/panels/shared_panels.h"
#include "app/prefs/preferences_window.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/support/test_language.h"
#include "kernel/model/create.h"
#include "kernel/model/recompute.h"
#include "kernel/render/colors.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/designation.h"
#include "kernel/tools/label_settings.h"
#include "kernel/tools/tool_ids.h"
#include "kernel/window/figure_popup.h"
#include "platform/kp_dialog.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"
#include "platform/ns_kelvo_text_editor.h"

namespace {

using test_language::is_marked;

const QString kMarked = QStringLiteral("Marked Language");
const QString kFrench = QStringLiteral("Marked French");

// One item of a menu: its text, its colour, whether it is checked, and the
// title of the menu that holds it ("" for the menu itself).
struct Item {
  QString text;
  QVariant color;
  bool checked = false;
  QString menu;
};

bool has_letter(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

QString row_text(int row) { return kp_qstring(kernel_string(row)); }
// A menu's or an item's text as the menu bar shows it, its mnemonic aside.
QString menu_text(int row) { return row_text(row).remove(QLatin1Char('&')); }

class EndToEndLanguageTexts : public FigureTest {
 protected:
  void TearDown() override {
    set_back_color_responder(nullptr);
    set_preferences_window_observer(nullptr);
    kp_set_file_chooser({});
    KPDocument::setOpenPanelResponder({});
    closeAll();
    if (NSKelvoLanguageStarter::currentLanguage() != kelvo::lang::kDefaultLanguage)
      NSKelvoLanguageStarter::loadLanguageFile(kelvo::lang::kDefaultLanguage);
    for (const QString& name : {kMarked, kFrench})
      QFile::remove(kelvo::lang::user_languages_folder() + QLatin1Char('/') + name + QStringLiteral(".xcl"));
    FigureTest::TearDown();
  }

  // The language with every text marked, under `name` and locale `code`.
  static void loadMarked(const QString& name = kMarked, const QString& code = QString()) {
    ASSERT_FALSE(test_language::write(name, &test_language::marked, code).isEmpty());
    ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(name));
    spin(20);
  }

  // Runs `script` on the context menu once it shows (a busy machine may
  // take a while to open it).
  static void whenMenuOpens(std::function<void(QMenu*)> script, int tries = 200) {
    QTimer::singleShot(30, scope(), [script, tries] {
      auto* open = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (!open) {
        if (tries > 0)
          whenMenuOpens(script, tries - 1);
        else
          ADD_FAILURE() << "the menu never opened";
        return;
      }
      script(open);
    });
  }

  static void collect(QMenu* menu, const QString& where, QList<Item>* out) {
    for (QAction* a : menu->actions()) {
      if (a->isSeparator()) continue;
      out->append({a->text(), a->property("kpItemColor"), a->isChecked(), where});
      if (a->menu()) collect(a->menu(), a->text(), out);
    }
  }

  static void rightClick(KPFigureView* view, QPoint p) {
    moveTo(view, p);
    QTest::mousePress(view, Qt::RightButton, {}, p);
    QTest::mouseRelease(view, Qt::RightButton, {}, p, 10);
    spin(30);
  }

  // Every item of the context menu opened at `p` and of its sub-menus; the
  // menu is then dismissed.
  static QList<Item> menuAt(KPFigureView* view, QPoint p) {
    static QList<Item> items;
    static bool seen = false;
    items.clear();
    seen = false;
    whenMenuOpens([](QMenu* open) {
      collect(open, QString(), &items);
      seen = true;
      open->close();
    });
    rightClick(view, p);
    EXPECT_TRUE(seen) << "no context menu";
    return items;
  }

  // Chooses `item` in the sub-menu `sub` of the context menu (in the menu
  // itself for an empty `sub`) with the keyboard, as a user does.
  static void choose(const QString& sub, const QString& item) {
    whenMenuOpens([sub, item](QMenu* open) {
      QMenu* in = open;
      if (!sub.isEmpty()) {
        in = nullptr;
        for (QAction* a : open->actions())
          if (a->text() == sub && a->menu()) {
            open->setActiveAction(a);
            QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
            QApplication::sendEvent(open, &right);
            in = a->menu();
          }
      }
      if (!in) {
        ADD_FAILURE() << "no submenu " << sub.toStdString();
        open->close();
        return;
      }
      QTimer::singleShot(60, scope(), [in, open, item] {
        for (QAction* a : in->actions())
          if (a->text() == item) {
            in->setActiveAction(a);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(in, &enter);
            return;
          }
        ADD_FAILURE() << "no item " << item.toStdString();
        open->close();
      });
    });
  }

  // The texts of the items (those with letters) that are not marked, the
  // items of the sub-menu titled `skip` (and that title) aside.
  static std::string unmarked(const QList<Item>& items, const QString& skip = QString()) {
    QStringList found;
    for (const Item& i : items)
      if (has_letter(i.text) && !is_marked(i.text) && (skip.isEmpty() || (i.text != skip && i.menu != skip)))
        found << i.menu + QStringLiteral(" > ") + i.text;
    return found.join(QStringLiteral(" | ")).toStdString();
  }

  static const Item* find(const QList<Item>& items, const QString& text, const QString& menu) {
    for (const Item& i : items)
      if (i.text == text && i.menu == menu) return &i;
    return nullptr;
  }

  // An equation (or coordinates, method 0) of `of` in the figure's hidden
  // axes, built as its tool builds it.
  static object* equationOf(kelvo_win_info* fig, object* of, int method) {
    object* axes = nullptr;
    for (object* o = fig->first; o; o = o->next)
      if (o->otype && o->otype->id == TYPE_AXES) axes = o;
    if (!axes) return nullptr;
    current_class = &classe_equation;
    objlist_clear(fig->inputs);
    objlist_add(fig->inputs, of, 0);
    objlist_add(fig->inputs, axes, 0);
    object* eq = create_object(static_cast<uint16_t>(method), nullptr, 1, 1, 1);
    objlist_clear(fig->inputs);
    current_class = nullptr;
    if (eq) recompute_object(eq);
    return eq;
  }
};

// Every item of the menu, whatever it is opened on, is a text of the
// language: the sheet's, an object's picture and colour sub-menus, an
// equation's forms and coordinate systems, a measure's orientation.
TEST_F(EndToEndLanguageTexts, TheContextMenuSpeaksTheLanguage) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(300, 100));
  chooseTool(view, &classe_cercle);
  click(view, QPoint(200, 300));
  click(view, QPoint(260, 300));
  chooseTool(view, nullptr);
  object* circle = objectsOf(fig, &classe_cercle).at(0);
  object* equation = equationOf(fig, circle, 1);
  ASSERT_NE(equation, nullptr);
  object* point = objectsOf(fig, &classe_segment).at(0)->parents[0];
  object* coordinates = equationOf(fig, point, 0);
  ASSERT_NE(coordinates, nullptr);
  view->invalidateFigure();
  spin(20);
  loadMarked();

  const QList<Item> sheet = menuAt(view, QPoint(560, 420));
  ASSERT_FALSE(sheet.isEmpty());
  EXPECT_EQ(unmarked(sheet), "");
  // The object's own description titles its sub-menu of parents; every
  // other item is the language's.
  const QList<Item> on_segment = menuAt(view, QPoint(200, 100));
  ASSERT_FALSE(on_segment.isEmpty());
  EXPECT_EQ(unmarked(on_segment, on_segment.first().text), "");
  EXPECT_NE(find(on_segment, row_text(259), row_text(257)), nullptr) << "no red component";

  // The forms of a circle's equation are named for a circle, its
  // coordinate-system sub-menu for an equation, and those of coordinates
  // for coordinates.
  const QList<Item> on_equation = menuAt(view, frameCentre(view, equation));
  EXPECT_EQ(unmarked(on_equation, on_equation.first().text), "");
  EXPECT_NE(find(on_equation, row_text(265), row_text(262)), nullptr);
  EXPECT_NE(find(on_equation, row_text(266), row_text(262)), nullptr);
  EXPECT_NE(find(on_equation, row_text(204), row_text(269)), nullptr);
  const QList<Item> on_coordinates = menuAt(view, frameCentre(view, coordinates));
  EXPECT_EQ(unmarked(on_coordinates, on_coordinates.first().text), "");
  EXPECT_NE(find(on_coordinates, row_text(207), row_text(270)), nullptr);
}

// Each curve kind names its two forms, and each kind of object titles its
// coordinate systems, in English too.
TEST_F(EndToEndLanguageTexts, EquationFormsAreNamedForTheirCurve) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  chooseTool(view, &classe_droite);
  click(view, QPoint(100, 300));
  click(view, QPoint(300, 200));
  chooseTool(view, &classe_cercle);
  click(view, QPoint(450, 150));
  click(view, QPoint(500, 150));
  chooseTool(view, nullptr);
  object* line_eq = equationOf(fig, objectsOf(fig, &classe_droite).at(0), 1);
  object* circle_eq = equationOf(fig, objectsOf(fig, &classe_cercle).at(0), 1);
  ASSERT_TRUE(line_eq && circle_eq);
  view->invalidateFigure();
  spin(20);
  struct Case {
    object* eq;
    const char* standard;
    const char* other;
  };
  for (const Case& c : {Case{line_eq, "Standard Form", "Reduced Form"},
                        Case{circle_eq, "Expanded Form", "Centre and Radius Form"}}) {
    SCOPED_TRACE(c.standard);
    const QList<Item> items = menuAt(view, frameCentre(view, c.eq));
    const Item* standard = find(items, QString::fromLatin1(c.standard), QStringLiteral("Equation Form"));
    const Item* other = find(items, QString::fromLatin1(c.other), QStringLiteral("Equation Form"));
    ASSERT_TRUE(standard && other);
    EXPECT_TRUE(standard->checked != other->checked);
    EXPECT_NE(find(items, QStringLiteral("Polar (grads)"), QStringLiteral("Equation Coordinates")), nullptr);
  }
  // The circle's other form chosen by its name.
  choose(QStringLiteral("Equation Form"), QStringLiteral("Centre and Radius Form"));
  rightClick(view, frameCentre(view, circle_eq));
  EXPECT_EQ(circle_eq->math.equa.format, 2);
}

// The objects a segment or a perpendicular is built on are listed by what
// they are to it, each in the colour it shows on the sheet: a white point
// on the white sheet in the default colour, so that it can be read.
TEST_F(EndToEndLanguageTexts, ParentsAreListedByTheirRoleInColoursThatShow) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(300, 100));
  chooseTool(view, &classe_perpendiculaire);
  click(view, QPoint(200, 250));
  click(view, QPoint(250, 100));
  chooseTool(view, nullptr);
  object* segment = objectsOf(fig, &classe_segment).at(0);
  object* perpendicular = objectsOf(fig, &classe_perpendiculaire).at(0);
  segment->parents[0]->settings.Color = back_color;
  segment->parents[1]->settings.Color = 0xFF0000;
  view->invalidateFigure();
  spin(20);

  const QList<Item> on_segment = menuAt(view, QPoint(150, 100));
  ASSERT_FALSE(on_segment.isEmpty());
  const QString title = on_segment.first().text;
  QList<Item> parents;
  for (const Item& i : on_segment)
    if (i.menu == title) parents << i;
  ASSERT_EQ(parents.size(), 2);
  for (const Item& p : parents) EXPECT_TRUE(p.text.startsWith(QStringLiteral("this point"))) << p.text.toStdString();
  ASSERT_TRUE(parents[0].color.isValid() && parents[1].color.isValid());
  EXPECT_EQ(parents[0].color.value<QColor>(), QColor(Qt::black));
  EXPECT_EQ(parents[1].color.value<QColor>(), QColor(255, 0, 0));

  const QList<Item> on_perpendicular = menuAt(view, QPoint(200, 200));
  ASSERT_FALSE(on_perpendicular.isEmpty());
  const QString perpendicular_title = on_perpendicular.first().text;
  QStringList lines;
  for (const Item& i : on_perpendicular)
    if (i.menu == perpendicular_title) lines << i.text;
  ASSERT_EQ(lines.size(), 2) << lines.join('|').toStdString();
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("through this point"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("perpendicular to this segment"))) << lines[1].toStdString();
  (void)perpendicular;
}

// Opened on a point's label, the menu offers the label's frame: opaque or
// transparent, and the choice is the label's, not the point's.
TEST_F(EndToEndLanguageTexts, TheFrameOfALabelIsTheLabels) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  chooseTool(view, &classe_point);
  const QPoint at(200, 160);
  click(view, at);
  chooseTool(view, nullptr);
  click(view, at);
  QTest::keyClick(view, Qt::Key_A);
  spin(20);
  click(view, QPoint(20, 20));
  object* point = nullptr;
  for (object* p : objectsOf(fig, &classe_point))
    if (p->settings.visible) point = p;
  ASSERT_TRUE(point && point->te && point->label);
  ASSERT_EQ(point->label->opaque, 0);
  const int8_t own = point->settings.opaque;

  const QList<Item> items = menuAt(view, frameCentre(view, point));
  const Item* opaque = find(items, QStringLiteral("Opaque"), QString());
  const Item* transparent = find(items, QStringLiteral("Transparent"), QString());
  ASSERT_TRUE(opaque && transparent) << unmarked(items);
  EXPECT_FALSE(opaque->checked);
  EXPECT_TRUE(transparent->checked);
  choose(QString(), QStringLiteral("Opaque"));
  rightClick(view, frameCentre(view, point));
  EXPECT_EQ(point->label->opaque, 1);
  EXPECT_EQ(point->settings.opaque, own);
  // The menu now shows the label's frame opaque.
  const Item* now = nullptr;
  const QList<Item> again = menuAt(view, frameCentre(view, point));
  now = find(again, QStringLiteral("Opaque"), QString());
  ASSERT_NE(now, nullptr);
  EXPECT_TRUE(now->checked);
}

// "Background Color..." opens the background colour chooser, titled by the
// language; its choice becomes the sheet's colour.
TEST_F(EndToEndLanguageTexts, TheBackgroundColourChooserIsTheLanguages) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  loadMarked();
  QString title;
  set_back_color_responder([&title](QColorDialog* dialog) {
    title = dialog->windowTitle();
    dialog->setCurrentColor(QColor(0xFF, 0xEE, 0xCC));
    return 1;
  });
  // A dialog that is not the chooser would wait for ever: it is closed.
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  watchdog.start(3000);
  choose(QString(), row_text(253));
  rightClick(view, QPoint(500, 400));
  spin(20);
  EXPECT_EQ(title, row_text(758));
  EXPECT_TRUE(is_marked(title)) << title.toStdString();
  EXPECT_EQ(view->info()->bgcolor, 0xFFEECCu);
}

// Qt's own dialogs speak the language of the file: its locale's catalogue
// is loaded with it, and English comes back with English.
TEST_F(EndToEndLanguageTexts, QtsOwnDialogsFollowTheLanguage) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto buttons_of_chooser = [this, view] {
    static QStringList texts;
    texts.clear();
    set_back_color_responder([](QColorDialog* dialog) {
      for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) texts << b->text().remove(QLatin1Char('&'));
      return 2;
    });
    choose(QString(), row_text(253));
    rightClick(view, QPoint(500, 400));
    spin(20);
    return texts;
  };
  // A dialog that is not the chooser would wait for ever: it is closed.
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  watchdog.start(3000);
  loadMarked(kFrench, QStringLiteral("fr_FR"));
  QStringList french = buttons_of_chooser();
  EXPECT_TRUE(french.contains(QStringLiteral("Annuler"))) << french.join('|').toStdString();
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(kelvo::lang::kDefaultLanguage));
  spin(20);
  QStringList english = buttons_of_chooser();
  EXPECT_TRUE(english.contains(QStringLiteral("Cancel"))) << english.join('|').toStdString();
}

// The hints beside the pointer name each argument by its role in the tool,
// in the language: a point taken by the segment tool, a point put on a
// circle, a segment a perpendicular is drawn to.
TEST_F(EndToEndLanguageTexts, HintsNameTheArgumentsOfTheTool) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(300, 100));
  chooseTool(view, &classe_cercle);
  click(view, QPoint(200, 300));
  click(view, QPoint(260, 300));
  chooseTool(view, nullptr);
  struct Case {
    construct_class* tool;
    QPoint at;
    std::string hint;
  };
  const Case cases[] = {
      {&classe_segment, QPoint(100, 100), "this point"},
      {&classe_point, QPoint(200, 240), "point on this circle"},
      {&classe_perpendiculaire, QPoint(220, 100), "perpendicular to this segment"},
      {&classe_translation, QPoint(300, 100), "translate this point"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hint);
    chooseTool(view, c.tool);
    moveTo(view, c.at + QPoint(1, 0));
    moveTo(view, c.at);
    EXPECT_EQ(shown_designation_text(), c.hint);
  }
  chooseTool(view, nullptr);
  // In another language the hints are its texts, and the button type has
  // its names.
  loadMarked();
  chooseTool(view, &classe_segment);
  moveTo(view, QPoint(101, 100));
  moveTo(view, QPoint(100, 100));
  EXPECT_EQ(shown_designation_text(), std::string("~this point"));
  chooseTool(view, nullptr);
  EXPECT_TRUE(is_marked(kp_qstring(type_button.name))) << type_button.name;
  EXPECT_STREQ(type_button.english_name, kernel_string(77));
}

// The preferences' export dialog offers the language's kind of file.
TEST_F(EndToEndLanguageTexts, ThePreferencesExportFilterIsTheLanguages) {
  ASSERT_NE(openView(), nullptr);
  loadMarked();
  std::vector<std::string> filters;
  kp_set_file_chooser([&filters](const KPFileDialogRequest& request) -> std::optional<std::string> {
    filters = request.name_filters;
    return std::nullopt;
  });
  bool clicked = false;
  set_preferences_window_observer([&clicked](QDialog* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
      if (b->text().remove(QLatin1Char('&')) == menu_text(903)) {
        QTest::mouseClick(b, Qt::LeftButton);
        clicked = true;
      }
    window->reject();
  });
  ASSERT_TRUE(clickMenuItem(menuBarOf(KPDocument::currentFigureView()), menu_text(806), menu_text(814)));
  spin(20);
  ASSERT_TRUE(clicked);
  ASSERT_FALSE(filters.empty());
  EXPECT_EQ(QString::fromStdString(filters.front()), row_text(180) + QStringLiteral(" (*.plist)"));
  EXPECT_TRUE(is_marked(QString::fromStdString(filters.front())));
}

// File > Open and Save As are titled by the language, their kinds of file
// are its, and so are the messages of a file that cannot be read and the
// question asked when a changed figure closes, with its buttons.
TEST_F(EndToEndLanguageTexts, TheDocumentsDialogsAndMessagesAreTheLanguages) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  loadMarked();
  QMenuBar* bar = menuBarOf(view);
  KPDocument::setOpenPanelResponder({});
  KPDocument::setSavePanelResponder({});
  const QString junk = dir.filePath(QStringLiteral("junk.fig"));
  {
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a figure at all\r\n");
  }
  KPFileDialogRequest seen;
  kp_set_file_chooser([&seen, junk](const KPFileDialogRequest& request) -> std::optional<std::string> {
    seen = request;
    if (request.save) return std::nullopt;
    return junk.toStdString();
  });
  ASSERT_TRUE(clickMenuItem(bar, menu_text(795), menu_text(797)));
  spin(30);
  EXPECT_EQ(QString::fromStdString(seen.title), row_text(690));
  ASSERT_EQ(seen.name_filters.size(), 4u);
  for (const std::string& f : seen.name_filters) EXPECT_TRUE(is_marked(QString::fromStdString(f))) << f;
  ASSERT_FALSE(messages().isEmpty());
  EXPECT_TRUE(is_marked(messages().last())) << messages().last().toStdString();
  EXPECT_TRUE(messages().last().contains(row_text(186)) || messages().last().contains(row_text(187)))
      << messages().last().toStdString();

  ASSERT_TRUE(clickMenuItem(bar, menu_text(795), menu_text(801)));
  spin(20);
  EXPECT_TRUE(seen.save);
  EXPECT_EQ(QString::fromStdString(seen.title), row_text(691));

  // A changed figure closed: the question and its three buttons.
  chooseTool(view, &classe_segment);
  click(view, QPoint(100, 100));
  click(view, QPoint(300, 100));
  chooseTool(view, nullptr);
  KPDocument::setClosePromptResponder({});
  QString question;
  QStringList buttons;
  QTimer answer;
  answer.setInterval(30);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    answer.stop();
    question = box->text();
    for (QAbstractButton* b : box->buttons()) buttons << b->text();
    box->button(QMessageBox::Discard)->click();
  });
  answer.start();
  ASSERT_TRUE(clickMenuItem(bar, menu_text(795), menu_text(798)));
  spin(30);
  EXPECT_TRUE(is_marked(question)) << question.toStdString();
  ASSERT_EQ(buttons.size(), 3);
  for (const QString& b : buttons) EXPECT_TRUE(is_marked(b)) << b.toStdString();
}

// The Fonts panel's two boxes, open while the language changes, take its
// texts.
TEST_F(EndToEndLanguageTexts, TheFontPanelsBoxesFollowTheLanguage) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("Format"), QStringLiteral("Show Fonts")));
  spin(20);
  ASSERT_NE(NSKelvoTextEditor::subscriptButton(), nullptr);
  loadMarked();
  EXPECT_EQ(NSKelvoTextEditor::subscriptButton()->text(), row_text(785));
  EXPECT_EQ(NSKelvoTextEditor::superscriptButton()->text(), row_text(784));
  EXPECT_TRUE(is_marked(NSKelvoTextEditor::subscriptButton()->text()));
  // English again, then the panel closed from its menu.
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(kelvo::lang::kDefaultLanguage));
  spin(20);
  EXPECT_EQ(NSKelvoTextEditor::subscriptButton()->text(), QStringLiteral("Subscript"));
  ASSERT_TRUE(clickMenuItem(menuBarOf(view), QStringLiteral("Format"), QStringLiteral("Hide Fonts")));
  EXPECT_FALSE(shared_font_panel_visible());
}

// The help pages are English: in a language that has none of its own the
// help field shows the tool's help text from the language file.
TEST_F(EndToEndLanguageTexts, AToolsHelpIsInTheLanguage) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  auto* w = dynamic_cast<KPFigureWindow*>(view->window());
  ASSERT_NE(w, nullptr);
  const toolbar_row* hide = toolbar_row_at(ROW_HIDE_SHOW);
  ASSERT_FALSE(help_page_file(hide->help_page).isEmpty());
  loadMarked(kFrench, QStringLiteral("fr_FR"));
  EXPECT_TRUE(help_page_file(hide->help_page).isEmpty());
  view->sendCurrentToolAction(find_tool_id_by_name(hide->name), 0, true);
  spin(10);
  EXPECT_EQ(w->helpField()->toPlainText(), kp_qstring(hide->help_text));
  EXPECT_TRUE(is_marked(w->helpField()->toPlainText())) << w->helpField()->toPlainText().toStdString();
  chooseTool(view, nullptr);
  // English has its pages.
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(kelvo::lang::kDefaultLanguage));
  spin(20);
  view->sendCurrentToolAction(find_tool_id_by_name(hide->name), 0, true);
  spin(10);
  EXPECT_EQ(w->helpField()->source(), QUrl::fromLocalFile(help_page_file(hide->help_page)));
  chooseTool(view, nullptr);
}

// A window behind names the tool in the new language too.
TEST_F(EndToEndLanguageTexts, AWindowBehindNamesTheToolInTheNewLanguage) {
  KPFigureView* first = openView();
  ASSERT_NE(first, nullptr);
  auto* behind = dynamic_cast<KPFigureWindow*>(first->window());
  KPFigureView* second = openView();
  ASSERT_NE(second, nullptr);
  ASSERT_NE(first, second);
  ASSERT_FALSE(behind->toolField()->text().isEmpty());
  loadMarked();
  EXPECT_TRUE(is_marked(behind->toolField()->text())) << behind->toolField()->text().toStdString();
  auto* front = dynamic_cast<KPFigureWindow*>(second->window());
  EXPECT_TRUE(is_marked(front->toolField()->text())) << front->toolField()->text().toStdString();
}

}  // namespace
