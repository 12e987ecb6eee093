// The construction replay's steps through its panel procedure: which
// objects are hidden at each step, the step text, and OK's cut-back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../model/geometry_fixture.h"
#include "kernel/model/object_store.h"
#include "kernel/text/text_record.h"
#include "kernel/macros/macro_records.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/window/replay.h"
#include "platform/kp_dialog.h"

namespace {

class Replay : public GeometryTest {
 protected:
  void SetUp() override {
    GeometryTest::SetUp();
    // A yes/no question's buttons: the first says yes, the second no.
    KPDialog::setMessageBoxResponder([this](const KPMessageBoxRequest& r) {
      ++questions_;
      return r.buttons.size() == 2 ? (answer_yes_ ? 0 : 1) : -1;
    });
  }
  void TearDown() override {
    if (replay_running) command(IDCANCEL);
    KPDialog::setMessageBoxResponder({});
    GeometryTest::TearDown();
  }
  // n free points, numbered 1..n in construction order.
  std::vector<object*> points(int n) {
    std::vector<object*> made;
    for (int i = 0; i < n; ++i) made.push_back(point(10 * i, 5 * i));
    return made;
  }
  static void command(int id) { replay_dialog_proc(nullptr, WM_COMMAND, static_cast<WPARAM>(id), 0); }
  static void start() { ASSERT_EQ(replay_dialog_proc(nullptr, WM_INITDIALOG, 0, 0), 1); }
  // Which objects the replay hides now, by position.
  std::string hidden() {
    std::string out;
    for (object* o = fig_->first; o; o = o->next) out += (o->state & OBJ_REPLAY_HIDDEN) ? 'h' : '.';
    return out;
  }
  int count() {
    int n = 0;
    for (object* o = fig_->first; o; o = o->next) ++n;
    return n;
  }

  int questions_ = 0;
  bool answer_yes_ = true;
};

TEST_F(Replay, WithThreeObjectsEveryStepStaysOnTheThirdAndOkAsksNothing) {
  const auto p = points(3);
  start();
  EXPECT_TRUE(replay_running);
  for (int id : {kReplayFirst, kReplayPrevious, kReplayNext, kReplayLast}) {
    command(id);
    EXPECT_EQ(replay_current, p[2]) << id;
    EXPECT_EQ(hidden(), "...") << id;
  }
  command(IDOK);
  EXPECT_EQ(questions_, 0);
  EXPECT_EQ(count(), 3);
  EXPECT_FALSE(replay_running);
}

TEST_F(Replay, StepsHideTheLaterObjectsAndPreviousStopsAtTheThird) {
  const auto p = points(5);
  start();
  EXPECT_EQ(replay_current, p[2]);
  EXPECT_EQ(hidden(), "...hh");
  command(kReplayNext);
  EXPECT_EQ(replay_current, p[3]);
  EXPECT_EQ(hidden(), "....h");
  command(kReplayPrevious);
  EXPECT_EQ(replay_current, p[2]);
  EXPECT_EQ(hidden(), "...hh");
  command(kReplayPrevious);  // at the object numbered 3: nothing
  EXPECT_EQ(replay_current, p[2]);
  EXPECT_EQ(hidden(), "...hh");
  command(kReplayLast);
  EXPECT_EQ(replay_current, p[4]);
  EXPECT_EQ(hidden(), ".....");
  command(kReplayFirst);
  EXPECT_EQ(hidden(), "...hh");
  // Cancel shows everything again and ends the replay.
  command(IDCANCEL);
  EXPECT_FALSE(replay_running);
  EXPECT_EQ(hidden(), ".....");
  EXPECT_EQ(count(), 5);
}

TEST_F(Replay, OkCutsBackToTheStepsShownOnlyWhenTheAnswerIsYes) {
  points(5);
  start();
  answer_yes_ = false;
  command(IDOK);
  EXPECT_EQ(questions_, 1);
  EXPECT_EQ(count(), 5);
  EXPECT_FALSE(replay_running);
  EXPECT_EQ(hidden(), ".....");

  start();
  command(kReplayNext);
  answer_yes_ = true;
  command(IDOK);
  EXPECT_EQ(questions_, 2);
  EXPECT_EQ(count(), 4);
  EXPECT_FALSE(replay_running);
}

TEST_F(Replay, ClosingThePanelEndsTheReplay) {
  points(4);
  start();
  replay_dialog_proc(nullptr, WM_CLOSE, 0, 0);
  EXPECT_FALSE(replay_running);
  EXPECT_EQ(hidden(), "....");
}

TEST_F(Replay, SmallFiguresStartAtTheirLastObject) {
  const auto p = points(2);
  start();
  EXPECT_EQ(replay_current, p[1]);
  command(kReplayNext);
  command(kReplayPrevious);
  EXPECT_EQ(replay_current, p[1]);
}

TEST_F(Replay, StepTextsShowShortLabelsAndTheFirstAndLastMarkers) {
  // The markers and the start come from the language file's rows.
  char first[] = "(first)", last_marker[] = "(last)", start_text[] = "Nothing yet";
  char* saved[3] = {kernel_strings[727], kernel_strings[728], kernel_strings[729]};
  kernel_strings[727] = first;
  kernel_strings[728] = last_marker;
  kernel_strings[729] = start_text;
  const auto p = points(4);
  TErec four{}, five{};
  four.text = const_cast<char*>("ABCD");
  five.text = const_cast<char*>("ABCDE");
  p[2]->te = &four;
  p[3]->te = &five;
  const std::string third = describe_replay_step(p[2], true);
  const std::string last = describe_replay_step(p[3], true);
  const std::string none = describe_replay_step(nullptr, true);
  p[2]->te = nullptr;
  p[3]->te = nullptr;
  EXPECT_EQ(third.rfind("ABCD:", 0), 0u) << third;
  EXPECT_EQ(last.rfind("ABCD...:", 0), 0u) << last;
  EXPECT_NE(third.find(" (first)"), std::string::npos) << third;
  EXPECT_EQ(third.find("(last)"), std::string::npos) << third;
  EXPECT_NE(last.find(" (last)"), std::string::npos) << last;
  // A step without parents (a blank after its construction) takes the
  // marker after that one blank.
  EXPECT_EQ(third.find("  "), std::string::npos) << third;
  EXPECT_EQ(none, "Nothing yet");
  // Long, byte-soup labels stay bounded and without control bytes.
  std::string soup(5000, '\x01');
  TErec huge{};
  huge.text = soup.data();
  p[1]->te = &huge;
  const std::string text = describe_replay_step(p[1], true);
  p[1]->te = nullptr;
  EXPECT_LE(text.size(), kReplayStepTextLimit);
  EXPECT_EQ(text.find('\x01'), std::string::npos);
  for (int i = 0; i < 3; ++i) kernel_strings[727 + i] = saved[i];
}

// A text's step shows what the text shows: the value it quotes, not the
// marker it stores.
TEST_F(Replay, ATextsStepShowsTheValueItQuotes) {
  const auto p = points(3);
  object* text = point(40, 40);
  object* value = point(50, 50);
  text->otype = &type_text;
  TErec stored{}, shown{};
  stored.text = const_cast<char*>("$1$ cm");
  shown.text = const_cast<char*>("7.5");
  text->te = &stored;
  value->te = &shown;
  insert_object ref{};
  ref.obj = value;
  ref.number = 1;
  text->inserted = &ref;
  const std::string step = describe_replay_step(text, true);
  text->inserted = nullptr;
  text->te = nullptr;
  value->te = nullptr;
  EXPECT_EQ(step.rfind("7.5 ...:", 0), 0u) << step;
  EXPECT_EQ(step.find('$'), std::string::npos) << step;
}

// With the intermediate objects asked for, the hidden steps of a macro are
// shown although their own setting keeps them hidden; a macro with a
// password shows them once its password is given.
TEST_F(Replay, IntermediateObjectsOfAMacroShowWhenAskedFor) {
  points(3);
  object* step = point(60, 60);
  construct_class macro_class = classe_point;
  infomacro record{};
  record.im_class = &macro_class;
  step->macro = &record;
  step->final_no = 0;
  step->settings.visible = 0;
  replay_shows_macro_internals = 0;
  EXPECT_FALSE(is_replay_visible(step));
  replay_shows_macro_internals = 1;
  EXPECT_TRUE(is_replay_visible(step)) << "a macro's hidden step stays hidden";
  replay_shows_macro_internals = 0;
  step->macro = nullptr;
  step->final_no = 1;
}

TEST_F(Replay, IntersectionSetsAndHiddenObjectsAreNeverShown) {
  object set{};
  set.classe = &classe_interset;
  set.otype = classe_interset.ctype;
  set.final_no = 1;
  set.settings.visible = 1;
  EXPECT_FALSE(is_replay_visible(&set));
  object pt{};
  pt.classe = &classe_point;
  pt.otype = classe_point.ctype;
  pt.final_no = 1;
  pt.settings.visible = 1;
  EXPECT_TRUE(is_replay_visible(&pt));
  pt.settings.visible = 0;
  EXPECT_FALSE(is_replay_visible(&pt));
}

}  // namespace
