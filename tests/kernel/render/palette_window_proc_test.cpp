// The palette window's procedure: its clicks choose cells and its corner
// square closes the colour menu, it paints only for a colour menu, and its
// closing forgets the shown menus and tells the tools palette.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <algorithm>
#include <tuple>
#include <vector>

#include "kernel/render/color_palette.h"
#include "kernel/render/colors.h"
#include "kernel/tools/toolbox.h"
#include "kernel/window/figure_events.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_qt_bridge.h"
#include "platform/win_constants.h"

namespace {

struct Drawn {
  int polygons = 0;
  std::vector<tagRECT> fills;
  std::vector<std::tuple<int, int32_t, int32_t>> icons;
};

Drawn* g_drawn = nullptr;
int g_shown_again = 0;

class ToolsPaletteStandIn : public QObject, public KPMessageTarget {
 public:
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override {
    got.push_back({message, wparam, lparam});
    return 0;
  }
  std::vector<std::tuple<UINT, WPARAM, LPARAM>> got;
};

class PaletteWindowProc : public ::testing::Test {
 protected:
  void SetUp() override {
    init_color_table();
    saved_ops_ = installed_palette_window_ops();
    saved_button_height_ = toolbox_layout.button_height;
    palette_window_ops ops;
    ops.painter_for = [](HWND, palette_painter* out) {
      if (!g_drawn) return false;
      out->context = g_drawn;
      out->fill_polygon = [](void* c, const tagPOINT*, int, uint32_t) { ++static_cast<Drawn*>(c)->polygons; };
      out->line = [](void*, int32_t, int32_t, int32_t, int32_t, uint32_t) {};
      out->fill_rect = [](void* c, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t) {
        static_cast<Drawn*>(c)->fills.push_back({l, t, r, b});
      };
      out->icon = [](void* c, int menu, int32_t x, int32_t y) { static_cast<Drawn*>(c)->icons.emplace_back(menu, x, y); };
      return true;
    };
    ops.show_palette = [] { ++g_shown_again; };
    install_palette_window_ops(ops);
    show({});
    g_shown_again = 0;
    palette_color_index = 40;
  }
  void TearDown() override {
    install_palette_window_ops(saved_ops_);
    toolbox_layout.button_height = saved_button_height_;
    show({});
    palette_color_index = 40;
    palette_closed_notice = 1;
    tools_panel_window = nullptr;
    color_palette_window = nullptr;
    g_drawn = nullptr;
  }
  static void show(std::initializer_list<int> menus) {
    std::fill(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), uint8_t{0});
    for (int m : menus) attrib_menu_shown[m] = 1;
  }
  static LPARAM at(int32_t x, int32_t y) { return static_cast<LPARAM>((y & 0xFFFF) << 16 | (x & 0xFFFF)); }
  static void deliverPosted() {
    QElapsedTimer t;
    t.start();
    while (NSKelvoWrapMachine::pendingPostedMessages() > 0 && t.elapsed() < 30000)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  palette_window_ops saved_ops_;
  int32_t saved_button_height_ = 0;
};

}  // namespace

TEST_F(PaletteWindowProc, AClickChoosesTheCellUnderItAndBetweenTheCellsNothing) {
  struct probe {
    int32_t x, y;
    int cell;  // index + 1, 0 none
  };
  // (52, 199) and (38, 185) lie exactly 14 pixels from cell 37's centre and
  // farther from every other one.
  const probe probes[] = {{88, 80, 1}, {52, 185, 38}, {125, 185, 41}, {52, 199, 0}, {38, 185, 0}, {240, 10, 0}};
  for (const probe& p : probes) {
    palette_color_index = 12;
    EXPECT_EQ(handle_palette(nullptr, p.x, p.y, WM_LBUTTONDOWN), p.cell) << p.x << "," << p.y;
    EXPECT_EQ(palette_window_cell_at(p.x, p.y), p.cell);
    EXPECT_EQ(palette_color_index, p.cell ? p.cell - 1 : 12) << p.x << "," << p.y;
  }
  // Through the procedure: the press chooses; a release elsewhere (a drag
  // between cells) or another message keeps the choice.
  EXPECT_EQ(palette_wnd_proc(nullptr, WM_LBUTTONDOWN, 0, at(88, 80)), 1);
  EXPECT_EQ(palette_color_index, 0);
  EXPECT_EQ(handle_palette(nullptr, 125, 185, WM_LBUTTONUP), 41);
  palette_wnd_proc(nullptr, WM_LBUTTONUP, 0, at(125, 185));
  EXPECT_EQ(handle_palette(nullptr, 88, 80, 515), 0);
  palette_wnd_proc(nullptr, 515, 0, at(125, 185));
  EXPECT_EQ(palette_color_index, 0);
}

TEST_F(PaletteWindowProc, TheCornerSquareClosesTheColourMenuWhereNoCellCoversIt) {
  // Without attribute buttons the square lies clear of the cells.
  toolbox_layout.button_height = 0;
  const int32_t b = 0;
  uint8_t pen_and_fill[kPaletteMenuFlags];
  palette_flags_from_mask(0x0204, pen_and_fill);
  std::copy(std::begin(pen_and_fill), std::end(pen_and_fill), attrib_menu_shown);
  const int32_t x = palette_corner_square_offset(attrib_menu_shown);
  ASSERT_EQ(x, 2 * b + 9);
  const int32_t inside_x = x - 4, inside_y = b + 4;
  ASSERT_EQ(palette_window_cell_at(inside_x, inside_y), 0);
  EXPECT_EQ(handle_palette(nullptr, inside_x, inside_y, WM_LBUTTONUP), 0);
  EXPECT_EQ(attrib_menu_shown[0], 1) << "a release alone closes nothing";
  EXPECT_EQ(handle_palette(nullptr, inside_x, inside_y, WM_LBUTTONDOWN), 0);
  EXPECT_EQ(attrib_menu_shown[0], 0);
  EXPECT_EQ(attrib_menu_shown[1], 1);
  EXPECT_EQ(palette_color_index, 40);
  EXPECT_EQ(g_shown_again, 1);

  // With one menu shown there is no square.
  handle_palette(nullptr, inside_x, inside_y, WM_LBUTTONDOWN);
  EXPECT_EQ(attrib_menu_shown[1], 1);
  EXPECT_EQ(g_shown_again, 1);

  // With the attribute buttons of the palette the cells lie over the
  // square: a press there chooses the cell and closes nothing.
  toolbox_layout.button_height = 40;
  show({0, 4});
  const int32_t over = palette_corner_square_offset(attrib_menu_shown);
  const int cell = palette_window_cell_at(over - 4, 44);
  ASSERT_NE(cell, 0);
  EXPECT_EQ(handle_palette(nullptr, over - 4, 44, WM_LBUTTONDOWN), cell);
  EXPECT_EQ(palette_color_index, cell - 1);
  EXPECT_EQ(attrib_menu_shown[0], 1);
}

TEST_F(PaletteWindowProc, PaintingShowsTheCellsTheIconAndTheSquareOnlyForAColourMenu) {
  Drawn drawn;
  g_drawn = &drawn;
  show({4});
  palette_wnd_proc(nullptr, WM_PAINT, 0, 0);
  EXPECT_EQ(drawn.polygons, 0);
  EXPECT_TRUE(drawn.fills.empty());
  EXPECT_TRUE(drawn.icons.empty());

  show({1});
  palette_wnd_proc(nullptr, WM_PAINT, 0, 0);
  EXPECT_EQ(drawn.polygons, kPaletteCells + 1) << "every cell, then the current one pressed";
  ASSERT_EQ(drawn.icons.size(), 1u);
  EXPECT_EQ(drawn.icons[0], std::make_tuple(1, 4, 16));
  const auto has_fill = [&drawn](tagRECT r) {
    return std::any_of(drawn.fills.begin(), drawn.fills.end(), [&r](const tagRECT& f) {
      return f.left == r.left && f.top == r.top && f.right == r.right && f.bottom == r.bottom;
    });
  };
  EXPECT_TRUE(has_fill({2, 14, 22, 34}));
  const int32_t b = toolbox_layout.button_height;
  const int32_t x = 2 * b + 9;
  EXPECT_FALSE(has_fill({x - 9, b, x, b + 9})) << "no square for one menu";

  drawn = Drawn{};
  show({0, 6});
  palette_wnd_proc(nullptr, WM_PAINT, 0, 0);
  EXPECT_TRUE(has_fill({x - 9, b, x, b + 9}));
  ASSERT_EQ(drawn.icons.size(), 1u);
  EXPECT_EQ(std::get<0>(drawn.icons[0]), 0) << "the pen colour menu comes first";
}

TEST_F(PaletteWindowProc, ClosingForgetsTheMenusAndTellsTheToolsPaletteOnce) {
  ToolsPaletteStandIn tools;
  tools_panel_window = kp_hwnd(&tools);
  int window = 0;
  show({0, 1, 4, 10});
  color_palette_window = &window;
  palette_color_index = 7;
  EXPECT_EQ(palette_wnd_proc(&window, WM_DESTROY, 0, 0), 1);
  EXPECT_TRUE(std::all_of(std::begin(attrib_menu_shown), std::end(attrib_menu_shown), [](uint8_t f) { return f == 0; }));
  EXPECT_EQ(color_palette_window, nullptr);
  EXPECT_EQ(palette_color_index, 7) << "the chosen cell survives";
  deliverPosted();
  ASSERT_EQ(tools.got.size(), 1u);
  EXPECT_EQ(tools.got[0], std::make_tuple(UINT{1024}, WPARAM{101}, LPARAM{0}));

  // Without the notice flag nothing is told; the close command tells.
  tools.got.clear();
  palette_closed_notice = 0;
  palette_wnd_proc(&window, WM_DESTROY, 0, 0);
  palette_wnd_proc(&window, WM_SYSCOMMAND, 0xF010, 0);
  deliverPosted();
  EXPECT_TRUE(tools.got.empty());
  palette_wnd_proc(&window, WM_SYSCOMMAND, SC_CLOSE, 0);
  deliverPosted();
  EXPECT_EQ(tools.got.size(), 1u);

  // Activation keeps its lparam; a deactivation (low word 0) does not.
  palette_wnd_proc(&window, WM_ACTIVATE, 1, 1234);
  palette_wnd_proc(&window, WM_ACTIVATE, 0x00010000, 99);
  EXPECT_EQ(palette_last_activation, 1234);
}
