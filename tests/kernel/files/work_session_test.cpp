// Work sessions: recording snapshots into the session's folder with their
// first lines and throttles, then opening and stepping through them, and the
// names, captions and failures a user can run into.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_fixture.h"
#include "kernel/files/work_session.h"
#include "kernel/window/window_hooks.h"

namespace {

uint32_t g_now = 0;
HWND g_window = nullptr;

struct shown_snapshot {
  HWND window;
  std::string path;
};
std::vector<shown_snapshot>& shown() {
  static std::vector<shown_snapshot> list;
  return list;
}

class WorkSession : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    session_reset();
    g_now = 1000;
    saved_window_hooks_ = window_services();
    window_services().tick_count = [] { return g_now; };
    shown().clear();
    g_window = kp_hwnd(&window_);
    session_services().show_snapshot = [](HWND window, const char* path) -> HWND {
      shown().push_back({window, path});
      return window ? window : g_window;
    };
    point(10, 20);
  }
  void TearDown() override {
    remembered_directory[0] = '\0';
    session_reset();
    session_services() = session_hooks{};
    install_window_services(saved_window_hooks_);
    FileTest::TearDown();
  }

  // Starts a session named name in the test's folder at the current tick.
  void start(const std::string& name) {
    files_seen().next_choice = path(name);
    session_start_recording();
    files_seen().next_choice.reset();
  }

  std::string snapshot(const std::string& name, int n) const {
    return (dir_ / name / (name + "_" + std::to_string(n) + ".fig")).string();
  }

  static std::string first_line(const std::string& bytes) { return bytes.substr(0, bytes.find("\r\n")); }

  static std::string header() {
    char line[128];
    const int32_t n = txt_write_header(line, FILE_KIND_FIGURE, 0);
    return std::string(line, static_cast<size_t>(n));
  }

  window_hooks saved_window_hooks_;
};

TEST_F(WorkSession, ElapsedTimeTexts) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0, "t=0s"}, {999, "t=0s"}, {59000, "t=59s"}, {65000, "t=1m 5s"},
      {3605000, "t=1h 5s"}, {3660000, "t=1h 1m 0s"}, {4294967295u, "t=1193h 2m 47s"}};
  for (const auto& [ms, text] : cases) EXPECT_EQ(format_elapsed_time(ms), text) << ms;
  EXPECT_EQ(strip_path_extension("/a.b/c"), "/a.b/c");
  EXPECT_EQ(strip_path_extension("/a/Lesson 3.fig"), "/a/Lesson 3");
}

TEST_F(WorkSession, RecordingWritesNumberedSnapshotsWithTheirFirstLines) {
  start("Lesson 3");
  ASSERT_TRUE(session_recording());
  ASSERT_TRUE(std::filesystem::is_directory(dir_ / "Lesson 3"));
  EXPECT_EQ(session_base_path(), (dir_ / "Lesson 3" / "Lesson 3_").string());
  const std::string first = read(snapshot("Lesson 3", 1));
  EXPECT_EQ(first_line(first), header() + ", translate window, t=0s");
  EXPECT_EQ(first.substr(first.find("\r\n"), 4), "\r\n\r\n");
  EXPECT_NE(first.substr(4).find("\r\n\r\n"), std::string::npos);

  // A scroll or translate within 2 s of the last one is not recorded.
  g_now = 2500;
  session_record_action(fig_, 15);
  g_now = 2999;
  session_record_action(fig_, 18);
  EXPECT_EQ(session_snapshot_number(), 2);
  // A drag: one snapshot at its first step, one at the release.
  g_now = 66000;
  for (int step = 0; step < 5; ++step) session_record_action(fig_, 12);
  session_record_action(fig_, 13);
  EXPECT_EQ(session_snapshot_number(), 4);
  EXPECT_EQ(first_line(read(snapshot("Lesson 3", 2))), header() + ", move object, t=1m 5s");
  EXPECT_EQ(first_line(read(snapshot("Lesson 3", 3))), header() + ", move object fin, t=1m 5s");
  // The construction names its tool.
  current_class = &classe_segment;
  g_now = 3606000;
  session_record_action(fig_, 4);
  current_class = nullptr;
  const std::string line = first_line(read(snapshot("Lesson 3", 4)));
  EXPECT_EQ(line.rfind(header() + ", construction: ", 0), 0u) << line;
  EXPECT_EQ(line.substr(line.size() - 9), ", t=1h 5s") << line;

  // Starting again stops the recording (and asks nothing).
  const size_t dialogs = files_seen().dialogs.size();
  session_start_recording();
  EXPECT_FALSE(session_recording());
  EXPECT_EQ(files_seen().dialogs.size(), dialogs);
  EXPECT_EQ(files_seen().messages.size(), 1u);
}

// The session dialogs start in the folder the user last chose a file in,
// like the program's other dialogs.
TEST_F(WorkSession, TheDialogsStartInTheLastFolderChosen) {
  const std::string folder = (dir_ / "lessons").string();
  remember_directory((folder + "/figure.fig").c_str());
  start("Lesson 4");
  ASSERT_FALSE(files_seen().dialogs.empty());
  EXPECT_EQ(files_seen().dialogs.back().directory, folder);
  session_stop_recording();
  session_open(716);
  ASSERT_FALSE(files_seen().dialogs.empty());
  EXPECT_EQ(files_seen().dialogs.back().directory, folder);
}

TEST_F(WorkSession, EmptyFigureRecordsNothingAndKeepsItsNumber) {
  start("Empty");
  kelvo_win_info* full = fig_;
  KPGeoDocument::setCurrentInfo(nullptr);
  new_figure_info();
  kelvo_win_info* empty = KPGeoDocument::currentInfo();
  session_record_action(empty, 14);
  EXPECT_EQ(session_snapshot_number(), 2);
  EXPECT_FALSE(std::filesystem::exists(snapshot("Empty", 2)));
  free_test_figure(empty);
  KPGeoDocument::setCurrentInfo(full);
}

TEST_F(WorkSession, FailedWriteLeavesNoGapAndIsReportedOnce) {
  start("Gaps");
  std::filesystem::remove_all(dir_ / "Gaps");
  session_record_action(fig_, 14);
  session_record_action(fig_, 9);
  EXPECT_EQ(session_snapshot_number(), 2);
  EXPECT_EQ(files_seen().messages.size(), 1u);
  std::filesystem::create_directory(dir_ / "Gaps");
  session_record_action(fig_, 14);
  EXPECT_TRUE(std::filesystem::exists(snapshot("Gaps", 2)));
  EXPECT_EQ(session_snapshot_number(), 3);
}

TEST_F(WorkSession, ExistingFolderIsRefused) {
  std::filesystem::create_directory(dir_ / "Taken");
  start("Taken");
  EXPECT_FALSE(session_recording());
  EXPECT_EQ(files_seen().messages.size(), 1u);
}

TEST_F(WorkSession, OpeningShowsTheChosenSnapshotAndStepsThroughTheOthers) {
  start("Lesson 3");
  for (int k = 2; k <= 8; ++k) {
    g_now += 12000;
    session_record_action(fig_, k % 2 ? 14 : 9);
  }
  session_stop_recording();
  ASSERT_TRUE(std::filesystem::exists(snapshot("Lesson 3", 8)));

  files_seen().next_choice = snapshot("Lesson 3", 7);
  ASSERT_TRUE(session_open(716));
  EXPECT_TRUE(session_viewing());
  EXPECT_EQ(session_snapshot_number(), 7);
  EXPECT_STREQ(session_caption(), "7, change object, t=1m 12s  ");
  ASSERT_EQ(shown().size(), 1u);
  EXPECT_EQ(shown()[0].window, nullptr);
  EXPECT_EQ(shown()[0].path, snapshot("Lesson 3", 7));

  EXPECT_TRUE(session_load_snapshot('n'));
  EXPECT_EQ(shown().back().path, snapshot("Lesson 3", 8));
  EXPECT_EQ(shown().back().window, session_window());
  EXPECT_STREQ(session_caption(), "8, edit number, t=1m 24s  ");
  // Past the last snapshot nothing changes.
  EXPECT_FALSE(session_load_snapshot('n'));
  EXPECT_EQ(session_snapshot_number(), 8);
  EXPECT_TRUE(session_load_snapshot('p'));
  EXPECT_EQ(session_snapshot_number(), 7);

  // The command toggles: opening again closes the session.
  EXPECT_FALSE(session_open(716));
  EXPECT_FALSE(session_viewing());
}

TEST_F(WorkSession, BadChoicesAndSnapshotsAreRefusedOrBounded) {
  // A name without "_" and a number is no snapshot.
  for (const char* name : {"plain.fig", "under_.fig", "x_1a.fig"}) {
    SCOPED_TRACE(name);
    write(path(name), header() + ", move object, t=1s\r\n\r\n");
    files_seen().next_choice = path(name);
    files_seen().messages.clear();
    EXPECT_FALSE(session_open(716));
    EXPECT_FALSE(session_viewing());
    EXPECT_EQ(files_seen().messages.size(), 1u);
    EXPECT_TRUE(shown().empty());
  }
  // A file that is not a figure.
  write(path("notes_1.fig"), "just some notes\r\n");
  files_seen().next_choice = path("notes_1.fig");
  files_seen().messages.clear();
  EXPECT_FALSE(session_open(716));
  EXPECT_EQ(files_seen().messages.size(), 1u);
  // Stepping with no session asks to open one; "no" changes nothing.
  files_seen().answer = 1;  // the second button: no
  EXPECT_FALSE(session_load_snapshot('n'));
  files_seen().answer = 0;

  // Captions come from the first line only, and are bounded.
  const std::string no_comma = "Figure without a comma\r\nsecond, line";
  session_snapshot_caption(no_comma.data(), static_cast<uint32_t>(no_comma.size()));
  EXPECT_STREQ(session_caption(), "0,   ");
  const std::string lengthy = "Figure, " + std::string(400, 'x') + "\r\n";
  session_snapshot_caption(lengthy.data(), static_cast<uint32_t>(lengthy.size()));
  EXPECT_EQ(std::string(session_caption()).size(), 151u);
  EXPECT_EQ(std::string(session_caption()).substr(149), "  ");
}

}  // namespace
