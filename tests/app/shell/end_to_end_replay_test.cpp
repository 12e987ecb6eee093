// Edit > Replay Construction worked as a user works it: "Show intermediate
// objects" shows the hidden steps of an applied macro, in a new figure, in
// the same figure opened again and in a protected one once its password is
// given; a text's step shows the value the text shows.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <string>

#include "app/macros/macro_def_window.h"
#include "app/panels/replay_panel.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/files/macro_text.h"
#include "kernel/macros/macro_def.h"
#include "kernel/macros/macro_records.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/window/replay.h"

namespace {

class EndToEndReplay : public FigureTest {
 protected:
  void TearDown() override {
    KPMacroDefWindow::setPasswordResponder({});
    closeAll();
    FigureTest::TearDown();
  }

  // Edit > Replay Construction; `work` runs once the panel is up, then the
  // panel is cancelled.
  static bool replay(KPFigureView* view, const std::function<void(NSReplayConstrController*)>& work) {
    bool ran = false;
    QTimer poll;
    int tries = 0;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
      NSReplayConstrController* panel = NSReplayConstrController::running();
      if (!panel && ++tries < 500) return;
      poll.stop();
      if (!panel) return;
      ran = true;
      work(panel);
      QTest::mouseClick(panel->button(IDCANCEL), Qt::LeftButton);
    });
    poll.start();
    const bool clicked = clickMenuItem(menuBarOf(view), QStringLiteral("Edit"), QStringLiteral("Replay Construction"));
    spin(20);
    return clicked && ran && !replay_running;
  }

  // Ticks or unticks the panel's box with a click.
  static void setShowIntermediate(NSReplayConstrController* panel, bool on) {
    auto* box = child_with_id<QCheckBox>(panel, kReplayInterim);
    ASSERT_NE(box, nullptr);
    if (box->isChecked() != on) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    spin(20);
  }

  static QString stepText(NSReplayConstrController* panel) {
    auto* label = child_with_id<QLabel>(panel, kReplayStepText);
    return label ? label->text() : QString();
  }

  // A macro of two points whose hidden step is their midpoint and whose
  // result is the circle about it through the first point.
  static construct_class* hiddenCentreMacro() {
    if (construct_class* known = find_class_by_name("Centred", 0)) return known;
    const char kText[] =
        "Centred, Ce\r\nMth: 0\r\nCN:2, ON:2, FN:1, PO:1\r\nCT:\r\n"
        "point, CS 0, default settings, \r\npoint, CS 0, default settings, \r\n"
        "Const:\r\n"
        "Mid, Mth:0, 0, CN:2, VN:1, Const: 1 2, default settings, \r\n"
        "Cir, Mth:1, 1, CN:2, VN:2, Const: 3 1, default settings, \r\n";
    EXPECT_GT(txt_load_used_macro(kText, 0), 0) << macro_text_error();
    return find_class_by_name("Centred", 0);
  }
};

TEST_F(EndToEndReplay, ShowIntermediateObjectsShowsAMacrosHiddenStepsAndATextsValue) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  const QPoint a(100, 100), b(300, 200), mid(200, 150);
  pickFromPalette(&classe_point);
  click(view, a);
  click(view, b);
  construct_class* centred = hiddenCentreMacro();
  ASSERT_NE(centred, nullptr);
  // The macro applied on the two points, as its tool applies it.
  kelvo_win_info* fig = view->info();
  const std::vector<object*> pts = objectsOf(fig, &classe_point);
  current_class = centred;
  objlist_clear(fig->inputs);
  objlist_add(fig->inputs, pts[pts.size() - 2], 0);
  objlist_add(fig->inputs, pts[pts.size() - 1], 0);
  ASSERT_NE(apply_macro(0, 0), nullptr);
  current_class = nullptr;
  objlist_clear(fig->inputs);
  for (object* o = fig->first; o; o = o->next) o->state &= ~OBJ_NEW;
  // A measure and its text, the last steps.
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* text = textShowing(fig, length);
  ASSERT_NE(text, nullptr);
  const std::string value = text->inserted && text->inserted->obj->te ? text->inserted->obj->te->text : "";
  ASSERT_GE(value.size(), 4u);
  EXPECT_EQ(inkNear(shown(view), mid), 0) << "the hidden step shows outside the replay";

  const auto hiddenStepShows = [&](KPFigureView* v, bool* shows_when_asked, bool* hidden_otherwise) {
    return replay(v, [&](NSReplayConstrController* panel) {
      QTest::mouseClick(panel->button(kReplayLast), Qt::LeftButton);
      spin(10);
      *hidden_otherwise = inkNear(shown(v), mid) == 0;
      setShowIntermediate(panel, true);
      *shows_when_asked = inkNear(shown(v), mid) > 0;
      setShowIntermediate(panel, false);
    });
  };
  bool shows = false, hidden = false;
  QString last_step;
  ASSERT_TRUE(replay(view, [&](NSReplayConstrController* panel) {
    QTest::mouseClick(panel->button(kReplayLast), Qt::LeftButton);
    spin(10);
    last_step = stepText(panel);
    hidden = inkNear(shown(view), mid) == 0;
    setShowIntermediate(panel, true);
    shows = inkNear(shown(view), mid) > 0;
    // Stepping back from the end walks through the hidden steps too.
    setShowIntermediate(panel, false);
  }));
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(shows) << "Show intermediate objects shows no hidden step";
  // The text's step: what the text shows, not its marker.
  EXPECT_FALSE(last_step.contains(QLatin1Char('$'))) << last_step.toStdString();
  EXPECT_TRUE(last_step.startsWith(kp_qstring(value.substr(0, 4).c_str()))) << last_step.toStdString();
  EXPECT_TRUE(last_step.endsWith(kp_qstring(kernel_string(728)))) << last_step.toStdString();
  EXPECT_FALSE(replay_shows_macro_internals);

  // Saved and opened again.
  KPDocument* doc = KPDocument::FindDocumentWith_tobjet(fig);
  ASSERT_NE(doc, nullptr);
  const QString path = dir.filePath(QStringLiteral("centred.fig"));
  ASSERT_TRUE(doc->writeToURL(path));
  closeAll();
  KPDocument* reopened = KPDocument::openDocument(path);
  ASSERT_NE(reopened, nullptr);
  ASSERT_TRUE(waitForView(reopened->figureView()));
  shows = hidden = false;
  ASSERT_TRUE(hiddenStepShows(reopened->figureView(), &shows, &hidden));
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(shows) << "not in the figure opened again";

  // Protected by a password: a wrong one keeps the steps hidden and the box
  // unticked, the right one shows them.
  closeAll();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  QByteArray bytes = file.readAll();
  file.close();
  const int resolution = bytes.indexOf("Resolution:");
  ASSERT_GE(resolution, 0);
  bytes.insert(bytes.indexOf("\r\n", resolution) + 2, "Password:secret\r\n");
  const QString protected_path = dir.filePath(QStringLiteral("protected.fig"));
  QFile out(protected_path);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(bytes);
  out.close();
  KPDocument* locked = KPDocument::openDocument(protected_path);
  ASSERT_NE(locked, nullptr);
  ASSERT_TRUE(waitForView(locked->figureView()));
  ASSERT_NE(locked->figureView()->info()->password, nullptr);
  std::vector<std::string> asked;
  bool give = false;
  KPMacroDefWindow::setPasswordResponder([&](const char* password) {
    asked.emplace_back(password);
    return give;
  });
  bool ticked = true;
  ASSERT_TRUE(replay(locked->figureView(), [&](NSReplayConstrController* panel) {
    QTest::mouseClick(panel->button(kReplayLast), Qt::LeftButton);
    setShowIntermediate(panel, true);
    ticked = child_with_id<QCheckBox>(panel, kReplayInterim)->isChecked();
    shows = inkNear(shown(locked->figureView()), mid) > 0;
  }));
  EXPECT_EQ(asked, std::vector<std::string>{"secret"});
  EXPECT_FALSE(ticked);
  EXPECT_FALSE(shows);
  give = true;
  shows = hidden = false;
  ASSERT_TRUE(hiddenStepShows(locked->figureView(), &shows, &hidden));
  EXPECT_TRUE(shows) << "not in the protected figure after its password";
}

}  // namespace
