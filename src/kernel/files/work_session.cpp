#include "kernel/files/work_session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/file_paths.h"
#include "kernel/files/text_family.h"
#include "kernel/model/classes.h"
#include "kernel/model/label_text.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/text/text_services.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/tools/tool_hooks.h"
#include "kernel/tools/tool_state.h"
#include "kernel/window/window_hooks.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kernel_services.h"
#include "platform/kp_files.h"
#include "platform/kp_menu.h"

const char* const session_action_names[kSessionActionCount] = {
    "start",           "change aspect",  "remove stickers", "show all",         "construction",
    "creation",        "mesure&equation", "tabulate number", "edit name",       "edit number",
    "edit expression", "edit text",      "move object",     "move object fin",  "change object",
    "translate window", "animation",     "animation fin",   "scroll window",    "active window",
    "resize",          "Suppression"};

namespace {

constexpr int kRowFolderFailed = 300;
constexpr int kRowNotFigure1 = 296;
constexpr int kRowNotFigure2 = 297;
constexpr int kRowNewSession = 711;
constexpr int kRowRecordingStopped = 715;
constexpr int kRowOpenSession = 716;
constexpr int kRowAskOpen = 718;
constexpr int kRowSessionClosed = 719;
constexpr int kRowAskStop = 721;
constexpr int kRowFigureFilter = 694;
constexpr int kRowProposedName = 786;
constexpr int kRowStopText = 792;
constexpr int kRowCloseText = 793;
constexpr int kRowStartText = 787;
constexpr int kRowOpenText = 788;
constexpr size_t kCaptionCapacity = 152;
constexpr UINT kItemStart = 40032, kItemNext = 40034, kItemPrevious = 40035, kItemOpen = 40037;

struct session_state {
  bool recording = false;
  bool viewing = false;
  HWND window = nullptr;
  std::string base;
  int number = 0;
  uint32_t start_tick = 0;
  int name_counter = 1;
  uint32_t throttle_tick = 0;
  bool in_move_run = false;
  bool in_scroll_run = false;
  bool write_failure_reported = false;
  char caption[kCaptionCapacity] = {};
};
session_state s;

const char* text_of(int row) {
  const char* t = kernel_string(row);
  return t ? t : "";
}

std::string path_for(int number) { return s.base + std::to_string(number) + ".fig"; }

// Reads a snapshot into the kernel file image and checks that it is a
// figure; on failure the user is told why (unless quiet) and nothing stays.
bool load_snapshot_image(const std::string& path, bool quiet) {
  const uint8_t reopen = reopen_flag;
  reopen_flag = 1;
  const int read = open_file_in_window(nullptr, path.c_str());
  reopen_flag = reopen;
  if (read != 1) return false;
  if (sniff_file_format() != FILE_KIND_FIGURE) {
    free_file_image();
    if (!quiet) {
      message_compose(text_of(kRowNotFigure1), path_last_separator(path.c_str()), text_of(kRowNotFigure2), nullptr);
      message_show(130);
    }
    return false;
  }
  return true;
}

void set_caption(const std::string& text) {
  const size_t n = std::min(text.size(), kCaptionCapacity - 1);
  std::memcpy(s.caption, text.data(), n);
  s.caption[n] = '\0';
}

void close_session_window() {
  HWND window = s.window;
  s.window = nullptr;
  if (window) NSKelvoWrapMachine::sendMessage(window, WM_CLOSE, 0, 0);
}

bool write_snapshot(const std::string& path, const std::string& first_line) {
  const char* image = file_buffer;
  const uint32_t length = file_buffer_len;
  // The rest of the figure file after its own first line and its line ends.
  uint32_t rest = 0;
  while (rest < length && image[rest] != '\r' && image[rest] != '\n') ++rest;
  while (rest < length && (image[rest] == '\r' || image[rest] == '\n')) ++rest;
  SetFileAttributes(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  constexpr DWORD kTruncateExisting = 5, kOpenAlways = 4;
  HANDLE h = CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, kTruncateExisting,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == nullptr || h == INVALID_HANDLE_VALUE)
    h = CreateFile(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, kOpenAlways, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(h, first_line.data(), static_cast<DWORD>(first_line.size()), &written, nullptr) != 0;
  if (ok) ok = WriteFile(h, image + rest, length - rest, &written, nullptr) != 0;
  if (!CloseHandle(h)) ok = false;
  return ok;
}

}  // namespace

session_hooks& session_services() {
  static session_hooks hooks;
  return hooks;
}

bool session_recording() { return s.recording; }
bool session_viewing() { return s.viewing; }
HWND session_window() { return s.window; }
int session_snapshot_number() { return s.number; }
const std::string& session_base_path() { return s.base; }
const char* session_caption() { return s.caption; }

void session_reset() { s = session_state{}; }

std::string format_elapsed_time(uint32_t milliseconds) {
  uint32_t seconds = milliseconds / 1000u;
  std::string out = "t=";
  if (seconds >= 3600u) {
    out += std::to_string(seconds / 3600u) + "h ";
    seconds %= 3600u;
  }
  if (seconds >= 60u) {
    out += std::to_string(seconds / 60u) + "m ";
    seconds %= 60u;
  }
  return out + std::to_string(seconds) + "s";
}

std::string strip_path_extension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

void session_snapshot_caption(const char* image, uint32_t length) {
  // Only the first line counts, whatever follows it.
  uint32_t line_end = 0;
  while (line_end < length && image[line_end] != '\r' && image[line_end] != '\n' && image[line_end] != '\0')
    ++line_end;
  std::string rest;
  const void* comma = std::memchr(image, ',', line_end);
  if (comma) {
    uint32_t at = static_cast<uint32_t>(static_cast<const char*>(comma) - image);
    while (at < line_end && (image[at] == ',' || image[at] == ' ')) ++at;
    rest.assign(image + at, line_end - at);
  }
  std::string caption = std::to_string(s.number) + ", " + rest;
  if (caption.size() > kCaptionCapacity - 3) caption.resize(kCaptionCapacity - 3);
  set_caption(caption + "  ");
}

void update_session_menu_items(HMENU menu) {
  if (!menu) menu = KPMenusWrapper::mainMenu();
  if (!menu) return;
  const UINT flags = s.viewing ? MF_ENABLED : MF_GRAYED;
  EnableMenuItem(menu, kItemNext, flags);
  EnableMenuItem(menu, kItemPrevious, flags);
}

void update_session_menu_text(HMENU menu) {
  auto* wrapper = static_cast<KPMenusWrapper*>(menu ? menu : KPMenusWrapper::mainMenu());
  if (!wrapper) return;
  KPMenusWrapper::modifyMenu(wrapper, kItemStart, 0, kItemStart, text_of(s.recording ? kRowStopText : kRowStartText));
  KPMenusWrapper::modifyMenu(wrapper, kItemOpen, 0, kItemOpen, text_of(s.viewing ? kRowCloseText : kRowOpenText));
}

void session_start_recording() {
  if (s.recording) {
    session_stop_recording();
    return;
  }
  char name[kFileDialogBufferSize];
  strip_ampersand(name, text_of(kRowProposedName), kFileDialogBufferSize - 16);
  std::snprintf(file_path_buffer, kFileDialogBufferSize, "%s %d", name, s.name_counter++);
  file_title_buffer[0] = '\0';
  static const char kEveryFile[] = "*\0*\0";
  init_file_dialog_record(&file_dialog_record);
  file_dialog_record.lpstrFilter = kEveryFile;
  file_dialog_record.lpstrFile = file_path_buffer;
  file_dialog_record.nMaxFile = kFileDialogBufferSize;
  file_dialog_record.lpstrFileTitle = file_title_buffer;
  file_dialog_record.nMaxFileTitle = kFileDialogBufferSize;
  file_dialog_record.lpstrTitle = text_of(kRowNewSession);
  file_dialog_record.lpstrDefExt = "fig";
  file_dialog_record.Flags = 0x80866;
  const BOOL chosen = GetSaveFileName(&file_dialog_record);
  file_dialog_record.lpstrFilter = nullptr;
  if (!chosen) return;
  const std::string folder = strip_path_extension(file_path_buffer);
  std::error_code error;
  const std::filesystem::path folder_path(folder);
  const std::string name_part = folder_path.filename().string();
  if (name_part.empty() || !std::filesystem::create_directory(folder_path, error)) {
    message_box_simple(text_of(kRowFolderFailed));
    return;
  }
  s.base = folder + "/" + name_part + "_";
  s.recording = true;
  s.write_failure_reported = false;
  s.in_move_run = s.in_scroll_run = false;
  update_session_menu_text(nullptr);
  s.number = 1;
  s.start_tick = window_tick_count();
  session_record_action(KPGeoDocument::currentInfo(), 15);
}

void session_record_action(kelvo_win_info* figure, int code) {
  if (!s.recording || !figure || !figure->first || file_buffer != nullptr) return;
  if (code < 0 || code >= kSessionActionCount) return;
  kelvo_win_info* previous = KPGeoDocument::currentInfo();
  KPGeoDocument::setCurrentInfo(figure);
  if (tool_services().delete_empty_text_objects) tool_services().delete_empty_text_objects();
  KPGeoDocument::setCurrentInfo(previous);
  const uint32_t now = window_tick_count();
  if (code == 12 || code == 16) {
    if (s.in_move_run) return;
    s.throttle_tick = now;
    s.in_move_run = true;
  } else {
    s.in_move_run = false;
  }
  if (code == 15 || code == 18) {
    if (s.in_scroll_run && now - s.throttle_tick <= 1999u) return;
    s.throttle_tick = now;
    s.in_scroll_run = true;
  } else {
    s.in_scroll_run = false;
  }
  if (!figure->first) return;

  KPGeoDocument::setCurrentInfo(figure);
  const uint8_t linked = figure->linked_pictures;
  figure->linked_pictures = 0;
  const int built = txt_write_figure_file();
  figure->linked_pictures = linked;
  KPGeoDocument::setCurrentInfo(previous);
  if (!built || !file_buffer) return;

  char header[128];
  const int32_t n = txt_write_header(header, FILE_KIND_FIGURE, 0);
  std::string line(header, static_cast<size_t>(std::max<int32_t>(n, 0)));
  line += ", ";
  line += session_action_names[code];
  if (code == 4 && current_class) {
    const char* tool = current_class->name ? current_class->name : current_class->english_name;
    if (tool) line += std::string(": ") + tool;
  }
  line += ", " + format_elapsed_time(now - s.start_tick) + "\r\n\r\n";
  const std::string path = path_for(s.number);
  const bool ok = write_snapshot(path, line);
  free_file_image();
  if (ok) {
    SetFileAttributes(path.c_str(), 1);
    ++s.number;
  } else if (!s.write_failure_reported) {
    // Once per session: the series stays without gaps, so stepping through
    // it goes on past the action that was not recorded.
    s.write_failure_reported = true;
    message_compose(text_of(kRowFolderFailed), " ", path.c_str(), nullptr);
    message_show(130);
  }
}

void session_stop_recording() {
  s.base.clear();
  if (s.recording) message_box_simple(text_of(kRowRecordingStopped));
  s.recording = false;
  update_session_menu_text(nullptr);
  if (s.viewing) {
    message_box_simple(text_of(kRowSessionClosed));
    s.viewing = false;
    update_session_menu_text(nullptr);
    close_session_window();
    update_session_menu_items(nullptr);
  }
}

void session_document_closing(HWND window) {
  if (s.viewing && window && window == s.window) {
    s.window = nullptr;
    session_stop_recording();
  } else if (s.recording) {
    session_stop_recording();
  }
}

void session_close_viewing() {
  if (!s.viewing) return;
  s.base.clear();
  s.viewing = false;
  update_session_menu_text(nullptr);
  close_session_window();
  update_session_menu_items(nullptr);
}

bool session_read_snapshot(int number) { return s.viewing && number >= 1 && load_snapshot_image(path_for(number), true); }

bool session_open(int title_row) {
  if (s.recording) {
    message_compose(text_of(kRowAskStop), nullptr, nullptr, nullptr);
    if (message_show(131) == 0) return false;
    session_stop_recording();
  }
  if (s.viewing) {
    session_close_viewing();
    message_box_simple(text_of(kRowSessionClosed));
    return false;
  }
  file_path_buffer[0] = '\0';
  file_title_buffer[0] = '\0';
  std::string filters = std::string(text_of(kRowFigureFilter)) + " (*.fig)";
  filters.push_back('\0');
  filters += "*.fig";
  filters.push_back('\0');
  filters.push_back('\0');
  init_file_dialog_record(&file_dialog_record);
  file_dialog_record.lpstrFilter = filters.c_str();
  file_dialog_record.lpstrFile = file_path_buffer;
  file_dialog_record.nMaxFile = kFileDialogBufferSize;
  file_dialog_record.lpstrFileTitle = file_title_buffer;
  file_dialog_record.nMaxFileTitle = kFileDialogBufferSize;
  file_dialog_record.lpstrTitle = text_of(title_row);
  file_dialog_record.lpstrDefExt = "fig";
  file_dialog_record.Flags = kOfnHideReadOnly | kOfnPathMustExist | kOfnFileMustExist;
  const BOOL chosen = GetOpenFileName(&file_dialog_record);
  file_dialog_record.lpstrFilter = nullptr;
  if (!chosen) return false;
  const std::string path = file_path_buffer;

  // The number follows the last "_" of the file's name; a name without one
  // (or without a number after it) is no snapshot.
  const std::string stem = strip_path_extension(path);
  const size_t slash = stem.find_last_of('/');
  const size_t underscore = stem.find_last_of('_');
  const bool in_name = underscore != std::string::npos && (slash == std::string::npos || underscore > slash);
  const std::string digits = in_name ? stem.substr(underscore + 1) : std::string();
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
    message_compose(text_of(kRowNotFigure1), path_last_separator(path.c_str()), text_of(kRowNotFigure2), nullptr);
    message_show(130);
    return false;
  }
  if (!load_snapshot_image(path, false)) return false;
  s.base = stem.substr(0, underscore + 1);
  s.number = std::stoi(digits);
  s.viewing = true;
  update_session_menu_text(nullptr);
  update_session_menu_items(nullptr);
  session_snapshot_caption(file_buffer, file_buffer_len);
  free_file_image();
  HWND window = session_services().show_snapshot ? session_services().show_snapshot(nullptr, path.c_str()) : nullptr;
  if (!window) {
    win_pos_from_file = 0;
    s.viewing = false;
    s.base.clear();
    update_session_menu_text(nullptr);
    update_session_menu_items(nullptr);
    return false;
  }
  s.window = window;
  return true;
}

bool session_show_snapshot(int number) {
  if (!s.viewing || !s.window || number < 1) return false;
  const int previous = s.number;
  s.number = number;
  // Neither 'n' nor 'p': the snapshot of the number now set.
  if (session_load_snapshot('=')) return true;
  s.number = previous;
  return false;
}

bool session_load_snapshot(char mode) {
  if (!s.viewing || !s.window) {
    message_compose(text_of(kRowAskOpen), nullptr, nullptr, nullptr);
    if (message_show(131) == 0) return false;
    return session_open(kRowOpenSession);
  }
  select_tool(0);
  NSKelvoWrapMachine::sendMessage(s.window, WM_NCACTIVATE, 1, 0);
  const int previous = s.number;
  if (mode == 'n') ++s.number;
  else if (mode == 'p') --s.number;
  const std::string path = path_for(s.number);
  if (s.number < 1 || !load_snapshot_image(path, true)) {
    s.number = previous;
    return false;
  }
  session_snapshot_caption(file_buffer, file_buffer_len);
  free_file_image();
  if (!session_services().show_snapshot || !session_services().show_snapshot(s.window, path.c_str())) {
    s.number = previous;
    return false;
  }
  NSKelvoWrapMachine::setWindowText(s.window, path.c_str());
  return true;
}
