// Printing a work session: the layout the dialog chooses, the snapshots
// counted and measured, the pages drawn cell by cell while the session steps
// through its snapshots, and the defaults that stand in for missing data.
#include <QCheckBox>
#include <QComboBox>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/kernel_iface/kp_figure_view.h"
#include "file_fixture.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/session_print.h"
#include "kernel/files/work_session.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/page_image.h"
#include "kernel/window/window_hooks.h"
#include "platform/kp_dialog_panel.h"
#include "platform/kp_qt_bridge.h"

namespace {

uint32_t g_now = 0;
HWND g_window = nullptr;
DisplayDevice* g_page = nullptr;
int g_prints = 0;

class SessionPrint : public FileTest {
 protected:
  void SetUp() override {
    FileTest::SetUp();
    session_reset();
    session_print_now() = session_print_state{};
    g_now = 1000;
    g_prints = 0;
    saved_window_hooks_ = window_services();
    saved_view_hooks_ = figure_view_hooks();
    window_services().tick_count = [] { return g_now; };
    g_window = kp_hwnd(&window_);
    session_services().show_snapshot = [](HWND window, const char* path) -> HWND {
      // The figure reader sets the window of each snapshot shown.
      std::ifstream in(path, std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(in), {}};
      win_size_x = bytes.find("Window size x:") == std::string::npos ? 0 : 300;
      win_size_y = win_size_x ? 200 : 0;
      return window ? window : g_window;
    };
    g_page = dd_create();
    ensure_display_dc(g_page);
    dd_select_bitmap(g_page, create_dib_record(g_page, 600, 812));
    dd_draw_background(g_page);  // white paper
    FigureViewHooks view;
    view.view_device = [](void*) { return g_page; };
    install_figure_view_hooks(view);
    session_print_services().printable_size = [](HWND, double* w, double* h) {
      *w = 600;
      *h = 812;
    };
    session_print_services().print_current_view = [] { ++g_prints; };
    point(10, 20);
  }
  void TearDown() override {
    session_reset();
    session_print_release_fonts();
    session_services() = session_hooks{};
    session_print_services() = session_print_hooks{};
    install_figure_view_hooks(saved_view_hooks_);
    install_window_services(saved_window_hooks_);
    destroy_display_device(g_page);
    g_page = nullptr;
    free_page_image_cache();
    FileTest::TearDown();
  }

  // A session of `count` snapshots in the test's folder, the first on show.
  void recordAndOpen(const std::string& name, int count) {
    files_seen().next_choice = path(name);
    session_start_recording();
    for (int k = 2; k <= count; ++k) {
      g_now += 12000;
      session_record_action(fig_, 9);
    }
    session_stop_recording();
    files_seen().next_choice = snapshot(name, 1);
    ASSERT_TRUE(session_open(716));
    files_seen().next_choice.reset();
  }

  std::string snapshot(const std::string& name, int n) const {
    return (dir_ / name / (name + "_" + std::to_string(n) + ".fig")).string();
  }

  uint32_t pixel(int x, int y) const { return g_page->bm->pixels[y * g_page->bm->pitch + x] & 0xFFFFFF; }

  window_hooks saved_window_hooks_;
  FigureViewHooks saved_view_hooks_;
};

TEST_F(SessionPrint, FiveSnapshotsAtTwoByTwoMakeTwoPagesNumberedOneAndFive) {
  recordAndOpen("Lesson", 5);
  session_print_state& st = session_print_now();
  st.columns = st.rows = 2;
  session_measure_snapshots();
  EXPECT_EQ(st.snapshot_count, 5);
  EXPECT_EQ(session_print_page_count(), 2);
  EXPECT_EQ(session_snapshot_number(), 1);  // measuring puts the number back

  EXPECT_EQ(st.printed_cells + 1, 1);  // the first page's running number
  session_draw_page(nullptr);
  EXPECT_EQ(st.printed_cells, 4);
  EXPECT_EQ(st.slot, 0);
  EXPECT_EQ(session_snapshot_number(), 5);
  EXPECT_EQ(st.printed_cells + 1, 5);  // the second page's
  session_draw_page(nullptr);
  EXPECT_EQ(st.printed_cells, 5);
  EXPECT_EQ(st.slot, 1);  // one cell on the last page
}

TEST_F(SessionPrint, FrameOptionGreysTheCellsAndTheWindowBoxIsWhite) {
  recordAndOpen("Frames", 1);
  session_print_state& st = session_print_now();
  st.columns = st.rows = 1;
  session_measure_snapshots();
  const uint32_t grey = color_by_name("LightGray") & 0xFFFFFF;
  const uint32_t white = back_color & 0xFFFFFF;
  st.frame = true;
  draw_print_page(nullptr);
  // Inside the cell, outside the window box (centred in the cell).
  // The cell's frame runs 2 units inside its left side.
  auto cell_frame_ink = [&] {
    int ink = 0;
    for (int x = 1; x <= 3; ++x) ink += pixel(x, 12 + 300) != white && pixel(x, 12 + 300) != grey;
    return ink;
  };
  EXPECT_EQ(pixel(5, 12 + 5), grey);
  EXPECT_EQ(pixel(300, 12 + 400), white);
  EXPECT_GT(cell_frame_ink(), 0);
  dd_draw_background(g_page);
  st.frame = false;
  draw_print_page(nullptr);
  EXPECT_EQ(pixel(5, 12 + 5), white);
  EXPECT_EQ(cell_frame_ink(), 0);
}

TEST_F(SessionPrint, MissingWindowLinesCountAs640By480AndWideWindowsAreClipped) {
  recordAndOpen("Plain", 2);
  // The second snapshot loses its window line.
  const std::string second = snapshot("Plain", 2);
  std::ifstream in(second, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), {}};
  in.close();
  const size_t at = bytes.find("Window center x:");
  ASSERT_NE(at, std::string::npos);
  bytes.erase(at, bytes.find('\n', at) + 1 - at);
  std::ofstream(second, std::ios::binary) << bytes;
  // The first keeps a window far wider than a cell.
  const std::string first = snapshot("Plain", 1);
  std::ifstream in1(first, std::ios::binary);
  std::string bytes1{std::istreambuf_iterator<char>(in1), {}};
  in1.close();
  const size_t size_at = bytes1.find("Window size x:");
  ASSERT_NE(size_at, std::string::npos);
  bytes1.replace(size_at, bytes1.find("cm", size_at) - size_at, "Window size x:900");
  std::ofstream(first, std::ios::binary) << bytes1;

  session_print_state& st = session_print_now();
  st.columns = 2;
  st.rows = 4;
  session_measure_snapshots();
  EXPECT_EQ(st.snapshot_count, 2);
  EXPECT_GT(st.largest_width, 640);
  // A snapshot without a window line anywhere gives the default size.
  std::ofstream(first, std::ios::binary) << bytes;
  session_measure_snapshots();
  EXPECT_EQ(st.largest_width, 640);
  EXPECT_EQ(st.largest_height, 480);

  // A window wider than the cell allows stops 2 units inside it.
  win_size_x = 5000;
  win_size_y = 100;
  st.frame = false;
  draw_print_page(nullptr);
  const int cw = 600 / 2;
  const uint32_t white = back_color & 0xFFFFFF;
  int framed_rows = 0;
  for (int y = 12; y < 12 + 800 / 4; ++y) {
    framed_rows += pixel(cw - 3, y) != white;
    EXPECT_EQ(pixel(cw - 1, y), white) << y;
  }
  EXPECT_GT(framed_rows, 5);
}

// The session on show is printed from the snapshot it shows, and shows that
// snapshot again afterwards, whatever the pages stepped through.
TEST_F(SessionPrint, PrintWhileASessionIsOnShowPrintsItAndKeepsItOnShow) {
  recordAndOpen("Shown", 3);
  ASSERT_TRUE(session_load_snapshot('n'));
  ASSERT_EQ(session_snapshot_number(), 2);
  session_print_services().run_dialog = [](const char*, session_dialog_procedure) { return 1; };
  session_print_services().print_current_view = [] {
    ++g_prints;
    EXPECT_TRUE(session_load_snapshot('n'));
  };
  session_print();
  EXPECT_EQ(g_prints, 1);
  EXPECT_EQ(session_print_now().snapshot_count, 2);
  EXPECT_TRUE(session_viewing());
  EXPECT_EQ(session_snapshot_number(), 2);
}

TEST_F(SessionPrint, TheDialogsChoicesGiveTheLayouts) {
  struct Case {
    bool landscape;
    int choice;
    int columns;
    int rows;
  };
  const Case cases[] = {{false, 0, 1, 1}, {false, 1, 1, 2}, {false, 2, 2, 4},
                        {true, 0, 1, 1},  {true, 1, 2, 2},  {true, 2, 4, 4}};
  session_print_state& st = session_print_now();
  for (const Case& c : cases) {
    st.landscape = c.landscape;
    KPDialogPanel panel(&print_session_dlg_proc);
    auto* list = new QComboBox(&panel);
    kp_set_item_id(list, 1183);
    auto* frame = new QCheckBox(&panel);
    kp_set_item_id(frame, 1186);
    st.frame = c.choice != 1;
    panel.installProcedure();
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(frame->isChecked(), st.frame);
    list->setCurrentIndex(c.choice);
    frame->setChecked(c.choice == 1);
    EXPECT_EQ(print_session_dlg_proc(kp_hwnd(&panel), WM_COMMAND, c.choice == 2 ? IDCANCEL : IDOK, 0), 1);
    EXPECT_EQ(st.columns, c.columns) << c.landscape << c.choice;
    EXPECT_EQ(st.rows, c.rows) << c.landscape << c.choice;
    EXPECT_EQ(st.frame, c.choice == 1);
  }
  EXPECT_EQ(print_session_dlg_proc(nullptr, WM_COMMAND, 1186, 0), 0);
  EXPECT_EQ(print_session_dlg_proc(nullptr, WM_PAINT, 0, 0), 1);
}

TEST_F(SessionPrint, AnUnchosenLayoutIsOneCellAPage) {
  session_print_state& st = session_print_now();
  st.columns = 0;
  st.rows = 0;
  st.snapshot_count = 3;
  EXPECT_EQ(session_print_page_count(), 3);
  EXPECT_EQ(st.columns, 1);
  EXPECT_EQ(st.rows, 1);
}

}  // namespace
