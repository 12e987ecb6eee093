#include "kernel/files/session_print.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "app/kernel_iface/kp_figure_view.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/text_family.h"
#include "kernel/files/work_session.h"
#include "kernel/render/colors.h"
#include "kernel/render/display_device.h"
#include "kernel/render/fonts.h"
#include "kernel/render/page_image.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kernel_services.h"
#include "platform/kp_gdi_objects.h"
#include "platform/kp_graf_port.h"
#include "platform/win_constants.h"

uint8_t session_printing = 0;

namespace {

constexpr int kListLayout = 1183;
constexpr int kBoxFrame = 1186;
constexpr int kRowTitle = 717;
constexpr int kRowNoPrintDialog = 10;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kHeaderHeight = 12;

session_print_state g_state;
KPFont* g_header_font = nullptr;
KPFont* g_caption_font = nullptr;
// The scale of every cell of the run, fixed at its first cell.
double g_scale = 0;

const char* text_of(int row) {
  const char* t = kernel_string(row);
  return t ? t : "";
}

// The default face at a height in port units; null when no font can be made.
KPFont* default_font(int32_t height) {
  tagLOGFONT record{};
  record.lfHeight = height;
  std::snprintf(record.lfFaceName, sizeof record.lfFaceName, "%s", kDefaultFaceName);
  return CreateFontIndirect(&record);
}

// The text with its baseline at (x, baseline): its letters stand above the
// point, so a caption placed near a cell's bottom stays inside the cell.
void draw_text(KPGrafPort* dc, KPFont* font, const std::string& text, int32_t x, int32_t baseline) {
  if (font) dc->currentDrawTextFont(font);
  // The port's metrics are those of its selected font: the text's font is
  // selected for the question only.
  KPFont* selected = dc->getCurrentFont();
  dc->setCurrentFont(dc->getTextFont());
  tagTEXTMETRIC metrics{};
  const int32_t ascent = GetTextMetrics(dc, &metrics) ? metrics.tmAscent : 0;
  dc->setCurrentFont(selected);
  dc->kelvoSimpleDrawTexString(text, x, baseline - ascent);
}

// The last directory component of the session's base path.
std::string folder_name() {
  std::string base = session_base_path();
  const size_t slash = base.find_last_of('/');
  if (slash == std::string::npos) return std::string();
  base.erase(slash);
  const size_t previous = base.find_last_of('/');
  return previous == std::string::npos ? base : base.substr(previous + 1);
}

}  // namespace

void session_window_size(const char* image, uint32_t length, int* width, int* height) {
  *width = *height = 0;
  if (!image) return;
  const std::string text(image, length);
  const size_t line = text.find("Window center x:");
  if (line == std::string::npos) return;
  const size_t eol = text.find_first_of("\r\n", line);
  const size_t size = text.find("Window size x:", line);
  if (size == std::string::npos || (eol != std::string::npos && size > eol)) return;
  const std::string rest = text.substr(size + 14, eol == std::string::npos ? std::string::npos : eol - size - 14);
  double w = 0;
  double h = 0;
  const char* p = rest.c_str();
  const int32_t used = txt_scan_number(&w, p);
  if (used > 0) txt_scan_number(&h, p + used);
  auto whole = [](double v) { return std::isfinite(v) && v > 0 && v < 1e6 ? static_cast<int>(v) : 0; };
  *width = whole(w);
  *height = whole(h);
}

session_print_hooks& session_print_services() {
  static session_print_hooks hooks;
  return hooks;
}

session_print_state& session_print_now() { return g_state; }

void session_print_release_fonts() {
  DeleteObject(g_header_font);
  DeleteObject(g_caption_font);
  g_header_font = g_caption_font = nullptr;
}

void session_print() {
  const session_print_hooks& h = session_print_services();
  // A session already on show is the one printed, and stays on show at the
  // snapshot it showed; otherwise the user chooses one, closed afterwards.
  const bool viewed = session_viewing();
  if (!viewed && !session_open(kRowTitle)) return;
  const int shown = session_snapshot_number();
  g_state.landscape = h.printer_landscape && h.printer_landscape();
  if (!h.run_dialog) {
    message_box_simple(kernel_string_or(kRowNoPrintDialog, "The print-session dialog cannot be shown."));
  } else if (h.run_dialog("SESSION_PRINT", &print_session_dlg_proc) == 1) {
    session_measure_snapshots();
    g_state.slot = 0;
    g_scale = 0;
    session_printing = 1;
    if (h.print_current_view) h.print_current_view();
    session_printing = 0;
    g_state.printed_cells = 0;
  }
  session_print_release_fonts();
  if (!viewed) session_close_viewing();
  else if (session_snapshot_number() != shown) session_show_snapshot(shown);
}

LRESULT print_session_dlg_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      NSKelvoWrapMachine::setWindowText(dialog, text_of(kRowTitle));
      NSKelvoWrapMachine::setDlgItemText(dialog, kBoxFrame, text_of(720));
      NSKelvoWrapMachine::setDlgItemText(dialog, IDOK, text_of(342));
      NSKelvoWrapMachine::setDlgItemText(dialog, IDCANCEL, text_of(344));
      NSKelvoWrapMachine::sendDlgItemMessage(dialog, kListLayout, CB_RESETCONTENT, 0, 0);
      const int rows[3] = {722, g_state.landscape ? 724 : 723, g_state.landscape ? 726 : 725};
      for (int row : rows)
        NSKelvoWrapMachine::sendDlgItemMessage(dialog, kListLayout, CB_ADDSTRING, 0,
                                               reinterpret_cast<LPARAM>(text_of(row)));
      NSKelvoWrapMachine::sendDlgItemMessage(dialog, kListLayout, CB_SETCURSEL, 0, 0);
      NSKelvoWrapMachine::sendDlgItemMessage(dialog, kBoxFrame, BM_SETCHECK, g_state.frame ? 1 : 0, 0);
      return 1;
    }
    case WM_COMMAND: {
      if (wparam != IDOK && wparam != IDCANCEL) return 0;
      const LRESULT choice = NSKelvoWrapMachine::sendDlgItemMessage(dialog, kListLayout, CB_GETCURSEL, 0, 0);
      g_state.frame = NSKelvoWrapMachine::sendDlgItemMessage(dialog, kBoxFrame, BM_GETCHECK, 0, 0) == 1;
      if (choice <= 0) {
        g_state.columns = g_state.rows = 1;
      } else {
        g_state.columns = g_state.landscape ? 2 : 1;
        g_state.rows = 2;
        if (choice == 2) {
          g_state.columns *= 2;
          g_state.rows *= 2;
        }
      }
      return 1;
    }
    case WM_PAINT:
      return 1;
    default:
      return 0;
  }
}

void session_measure_snapshots() {
  g_state.snapshot_count = 0;
  g_state.largest_width = g_state.largest_height = 0;
  const int first = session_snapshot_number();
  for (int n = first; n >= 1 && session_read_snapshot(n); ++n) {
    ++g_state.snapshot_count;
    int w = 0;
    int h = 0;
    session_window_size(file_buffer, file_buffer_len, &w, &h);
    g_state.largest_width = std::max(g_state.largest_width, w);
    g_state.largest_height = std::max(g_state.largest_height, h);
    free_file_image();
    if (n == 1 << 30) break;
  }
  if (g_state.largest_width == 0 || g_state.largest_height == 0) {
    g_state.largest_width = kDefaultWidth;
    g_state.largest_height = kDefaultHeight;
  }
}

// A layout never chosen (a viewed session printed through the document's
// own print) is one cell a page.
static int cells_per_page() {
  if (g_state.columns <= 0 || g_state.rows <= 0) g_state.columns = g_state.rows = 1;
  return g_state.columns * g_state.rows;
}

int session_print_page_count() {
  return static_cast<int>(std::ceil(static_cast<double>(g_state.snapshot_count) / cells_per_page()));
}

void session_draw_page(HWND view) {
  const int cells = cells_per_page();
  bool stepped = true;
  do {
    draw_print_page(view);
    g_state.slot = (g_state.slot + 1) % cells;
    ++g_state.printed_cells;
    stepped = session_load_snapshot('n');
  } while (stepped && g_state.slot != 0);
}

void draw_print_page(HWND view) {
  const FigureViewHooks& vh = figure_view_hooks();
  DisplayDevice* dd = vh.view_device ? vh.view_device(view) : nullptr;
  KPGrafPort* dc = dd ? dd->dc : nullptr;
  if (!dc) return;
  double width = 0;
  double height = 0;
  if (session_print_services().printable_size) session_print_services().printable_size(view, &width, &height);
  const int32_t W = static_cast<int32_t>(width);
  const int32_t H = static_cast<int32_t>(height - kHeaderHeight);
  const int32_t cw = W / g_state.columns;
  const int32_t ch = H / g_state.rows;
  if (cw <= 4 || ch <= 4) return;
  int32_t x = 0;
  int32_t y = kHeaderHeight;
  if (g_state.slot == 0) {
    if (!g_header_font) g_header_font = default_font(13);
    draw_text(dc, g_header_font, folder_name(), 0, kHeaderHeight);
    draw_text(dc, g_header_font, std::to_string(g_state.printed_cells + 1), W - 20, kHeaderHeight);
  }
  const int32_t caption_height = font_points_to_height(dc, 9);
  if (!g_caption_font) g_caption_font = default_font(caption_height);
  const int largest_w = g_state.largest_width > 0 ? g_state.largest_width : kDefaultWidth;
  const int largest_h = g_state.largest_height > 0 ? g_state.largest_height : kDefaultHeight;
  if (g_scale <= 0)
    g_scale = 0.95 * std::min(static_cast<double>(cw) / largest_w, static_cast<double>(ch) / largest_h);
  const double s = g_scale;
  const int32_t w = win_size_x > 0 ? win_size_x : largest_w;
  const int32_t h = win_size_y > 0 ? win_size_y : largest_h;
  const int32_t px = std::max(0, static_cast<int32_t>((cw / s - w) / 2));
  const int32_t py = std::max(0, static_cast<int32_t>((ch / s - h) / 2));
  x += (g_state.slot % g_state.columns) * cw;
  y += (g_state.slot / g_state.columns) * ch;
  const uint32_t black = color_by_name("Black");
  if (g_state.frame) {
    dc_fill_or_xor_rect_xy(dc, x + 2, y + 2, x + cw - 2, y + ch - 2, color_by_name("LightGray"), 1);
    dc_frame_rect_xy(dc, x + 2, y + 2, x + cw - 2, y + ch - 2, black);
  }
  // The window's box inside the cell, 2 units from its sides at least.
  const int32_t left = std::max(2, static_cast<int32_t>(px * s));
  const int32_t top = std::max(2, static_cast<int32_t>(py * s));
  const int32_t right = std::min(cw - 2, static_cast<int32_t>((w + px) * s));
  const int32_t bottom = std::min(ch - 2, static_cast<int32_t>((h + py) * s));
  if (right <= left || bottom <= top) return;
  dc_fill_or_xor_rect_xy(dc, x + left, y + top, x + right, y + bottom, back_color, 1);
  dc_frame_rect_xy(dc, x + left, y + top, x + right, y + bottom, black);
  draw_text(dc, g_caption_font, session_caption(), x + 11, y + ch - 4);
  // The part of the figure under the box: the cell shows the window's
  // area at scale s from (cx - px, cy - py), so the box, placed at the
  // spare space, shows the window itself (or what of it the cell holds).
  const double cell_left = win_origin_x - px;
  const double cell_top = win_origin_y - py;
  auto whole = [](double v) { return static_cast<int32_t>(std::floor(v + 0.5)); };
  DisplayDevice* image = render_figure_image(whole(cell_left + left / s), whole(cell_top + top / s),
                                             whole(cell_left + right / s), whole(cell_top + bottom / s));
  if (!image) return;
  dc->drawImageRect(image->bm->bitmap, x + left, y + top, right - left, bottom - top, 9);
  destroy_display_device(image);
}
