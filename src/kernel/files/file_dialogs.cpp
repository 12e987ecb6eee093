#include "kernel/files/file_dialogs.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/kernel_iface/kp_geo_document.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/bmp_writer.h"
#include "kernel/files/file_paths.h"
#include "kernel/macros/macro_source.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/file_services.h"
#include "kernel/files/image_files.h"
#include "kernel/files/macro_text.h"
#include "kernel/files/menus_file.h"
#include "kernel/files/text_family.h"
#include "kernel/macros/macro_records.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/model/label_text.h"
#include "kernel/model/mbcs.h"
#include "kernel/model/memory.h"
#include "kernel/model/version_info.h"
#include "kernel/text/kernel_strings.h"
#include "kernel/tools/tool_dispatch.h"
#include "kernel/files/object_writer.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kernel_services.h"
#include "platform/kp_files.h"
#include "platform/win_constants.h"

OPENFILENAME file_dialog_record = {};
char file_path_buffer[kFileDialogBufferSize] = {};
char file_title_buffer[kFileDialogBufferSize] = {};
int save_format_code = 0;
uint8_t reopen_flag = 0;
uint32_t open_filter_index = 1;

namespace {

constexpr UINT kCommandRevert = 104;
constexpr DWORD kFileAttributeNormal = 128;
constexpr DWORD kTruncateExisting = 5;
constexpr DWORD kOpenAlways = 4;
constexpr DWORD kOpenExisting = 3;
constexpr int kAccessReadOnly = 1;
constexpr int kAccessSystem = 4;
constexpr uint32_t kChunk = 65535;
// Language rows of the save command's refusals and of the macro source
// tables' failure.
constexpr int kRowNoSuchFile = 182;
constexpr int kRowReadOnlyFile = 183;
constexpr int kRowSystemFile = 184;
constexpr int kRowSourceNotWritten = 9;

const char* text_or_empty(int row) {
  const char* s = kernel_string(row);
  return s ? s : "";
}

void show_row(int row) { message_box_simple(kernel_string(row)); }

bool handle_ok(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

int file_access(const char* path) {
  if (files_services().classify_file_access) return files_services().classify_file_access(path);
  return classify_file_access(path);
}

kelvo_win_info* figure_of_window(HWND window) {
  if (window && files_services().window_figure) {
    if (kelvo_win_info* fig = files_services().window_figure(window)) return fig;
  }
  return KPGeoDocument::currentInfo();
}

// Builds the image of a figure save by the save format code. True when the
// format is one whose document is then marked saved.
bool build_figure_image() {
  const file_services& s = files_services();
  switch (save_format_code) {
    case 5: case 6: case 7: case 8:
      if (s.ti9x_export_figure) s.ti9x_export_figure(save_format_code);
      return false;
    case 9:
      if (s.ti83_export_figure) s.ti83_export_figure(file_title_buffer);
      return false;
    case 3:
      txt_write_situations_file();
      return true;
    case 4:
      if (s.write_duo_figure_text) s.write_duo_figure_text();
      return false;
    default:
      txt_write_figure_file();
      return true;
  }
}

// Writes the file image to path; answers 1 when the whole file is in place.
int write_file_image(const char* path, uint32_t flags) {
  HANDLE h = CreateFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, kTruncateExisting, kFileAttributeNormal,
                        nullptr);
  if (!handle_ok(h) && !(flags & kOfnFileMustExist))
    h = CreateFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, kOpenAlways, kFileAttributeNormal, nullptr);
  if (!handle_ok(h)) {
    show_row(299);
    return 0;
  }
  DWORD written = 0;
  const bool wrote = WriteFile(h, file_buffer, file_buffer_len, &written, nullptr) && written == file_buffer_len;
  // The file is put in place only by a successful close.
  const bool closed = CloseHandle(h) != 0;
  free_file_image();
  if (!wrote || !closed) {
    show_row(300);
    return 0;
  }
  return 1;
}

// The window title without the " *" of an edited document.
std::string window_title(HWND window) {
  char title[1024] = {};
  NSKelvoWrapMachine::getWindowText(window, title, sizeof title);
  std::string t = title;
  if (t.size() >= 2 && t.compare(t.size() - 2, 2, " *") == 0) t.resize(t.size() - 2);
  return t;
}

// The name a save dialog proposes: its last component, cut at its first
// one-byte '.', "Default" when empty.
std::string proposed_file_name(const char* name) {
  std::string n = path_file_name(name ? name : "");
  for (size_t i = 0; i < n.size();) {
    const int step = mbcs_char_step(n.c_str() + i);
    if (step == 1 && n[i] == '.') {
      n.resize(i);
      break;
    }
    i += step > 0 ? static_cast<size_t>(step) : 1;
  }
  return n.empty() ? "Default" : n;
}

// The 1-based filter whose pattern has the chosen name's extension: the
// record's index when it agrees with the name, else the first that does.
uint32_t chosen_filter_index(const char* filters, const char* file_name, uint32_t record_index) {
  const char* dot = std::strrchr(path_file_name(file_name), '.');
  const std::string ext = dot ? dot + 1 : "";
  uint32_t first = 0;
  uint32_t index = 1;
  for (const char* f = filters; *f; ++index) {
    f += std::strlen(f) + 1;
    const char* pattern = f;
    f += std::strlen(f) + 1;
    if (std::strncmp(pattern, "*.", 2) == 0 && ext == pattern + 2) {
      if (index == record_index) return index;
      if (!first) first = index;
    }
  }
  return first;
}

std::string replace_extension(const std::string& path, const char* ext) {
  const size_t sep = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const std::string stem = (dot != std::string::npos && (sep == std::string::npos || dot > sep)) ? path.substr(0, dot)
                                                                                                  : path;
  return stem + ext;
}

// '#' followed by a digit becomes `to` followed by the digit.
bool protect_hashes(std::string* s, char from, char to) {
  bool changed = false;
  for (size_t i = 0; i + 1 < s->size(); ++i)
    if ((*s)[i] == from && (*s)[i + 1] >= '0' && (*s)[i + 1] <= '9') {
      (*s)[i] = to;
      changed = true;
    }
  return changed;
}

std::string relative_reference(const std::string& name) {
  const size_t sep = name.find_last_of('/');
  return sep == std::string::npos ? name : "." + name.substr(sep);
}

bool read_whole_file(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool write_whole_file(const char* path, const void* data, uint32_t length) {
  HANDLE h = CreateFile(path, GENERIC_WRITE, 0, nullptr, kOpenAlways, kFileAttributeNormal, nullptr);
  if (!handle_ok(h)) return false;
  uint32_t written = 0;
  const bool wrote = write_file_chunked(h, data, length, &written) && written == length;
  return CloseHandle(h) != 0 && wrote;
}

// Fills the page template: the names first, then '#'+digit placeholders
// (which the names cannot produce, being protected) with the window size.
std::string build_html_page(const std::string& tmpl, const std::string& base, const std::string& fig_ref,
                            const std::string& png_ref, int32_t width, int32_t height) {
  const char* pass1 = format_percent_args(tmpl.c_str(), base.c_str(), base.c_str(), fig_ref.c_str(),
                                          fig_ref.c_str(), base.c_str(), png_ref.c_str());
  std::string page = pass1 ? pass1 : "";
  protect_hashes(&page, '#', '%');
  const std::string w = std::to_string(width);
  const std::string h = std::to_string(height);
  const char* pass2 = format_percent_args(page.c_str(), w.c_str(), h.c_str(), w.c_str(), h.c_str());
  page = pass2 ? pass2 : "";
  protect_hashes(&page, '\1', '#');
  return page;
}

bool export_html_page(const std::string& chosen, int32_t width, int32_t height) {
  std::string protected_path = chosen;
  protect_hashes(&protected_path, '#', '\1');
  const std::string fig_name = replace_extension(protected_path, ".fig");
  const std::string png_name = replace_extension(protected_path, ".png");
  std::string base = path_file_name(protected_path.c_str());
  if (const size_t dot = base.find_last_of('.'); dot != std::string::npos) base.resize(dot);
  std::string tmpl;
  if (!read_whole_file(resource_folder() + "/html/HtmlTemplate.htm", &tmpl)) return false;
  const std::string page =
      build_html_page(tmpl, base, relative_reference(fig_name), relative_reference(png_name), width, height);
  if (!write_whole_file(chosen.c_str(), page.data(), static_cast<uint32_t>(page.size()))) return false;
  std::string png_path = png_name;
  protect_hashes(&png_path, '\1', '#');
  return export_figure_image_file(png_path.c_str(), width, height);
}

void copy_to_buffer(char* buffer, const std::string& text) {
  const size_t n = text.size() < kFileDialogBufferSize - 1 ? text.size() : kFileDialogBufferSize - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

// The dialog record for one of the kernel's dialogs over the two buffers and
// the remembered directory.
void fill_dialog_record(const file_filter_list& filters, uint32_t filter_index, const char* title,
                        const char* default_ext, uint32_t flags) {
  init_file_dialog_record(&file_dialog_record);
  file_dialog_record.lpstrFilter = filters.c_str();
  file_dialog_record.nFilterIndex = filter_index;
  file_dialog_record.lpstrFile = file_path_buffer;
  file_dialog_record.nMaxFile = kFileDialogBufferSize;
  file_dialog_record.lpstrFileTitle = file_title_buffer;
  file_dialog_record.nMaxFileTitle = kFileDialogBufferSize;
  file_dialog_record.lpstrInitialDir = remembered_directory;
  file_dialog_record.lpstrTitle = title;
  file_dialog_record.lpstrDefExt = default_ext;
  file_dialog_record.Flags = flags;
}

bool same_file(const char* a, const char* b) {
  if (std::strcmp(a, b) == 0) return true;
  // One file under two names: a link, or another case of its letters on a
  // file system that ignores case. Names that differ only in case are two
  // files where the file system tells them apart.
  std::error_code error;
  if (std::filesystem::equivalent(a, b, error)) return true;
  std::error_code ea, eb;
  const auto ca = std::filesystem::weakly_canonical(a, ea);
  const auto cb = std::filesystem::weakly_canonical(b, eb);
  return !ea && !eb && ca == cb;
}

// The figure written is the figure's own file (the one its window was read
// from or saved to last).
bool is_own_file(const kelvo_win_info* fig, const char* path) {
  return fig && (fig->wflags & kFigureHasFile) && fig->text1 && same_file(fig->text1, path);
}

// The question whether files beside a web page may be replaced: one name, two names.
constexpr int kReplaceBesidePageRow = 925;
constexpr int kReplaceTwoBesidePageRow = 926;

// A web page writes its figure file and its picture beside itself, under
// names the file panel did not ask about: the user says whether files of
// those names may be replaced. True when none exists or the answer is yes.
bool may_replace_beside_page(const std::string& page, const std::vector<std::string>& beside) {
  std::vector<std::string> taken;
  for (const std::string& path : beside) {
    std::error_code error;
    if (std::filesystem::exists(path, error) && !same_file(path.c_str(), page.c_str()))
      taken.push_back("\"" + std::string(path_file_name(path.c_str())) + "\"");
  }
  if (taken.empty()) return true;
  const char* text = taken.size() == 1
                         ? format_percent_args(kernel_string(kReplaceBesidePageRow), taken[0].c_str())
                         : format_percent_args(kernel_string(kReplaceTwoBesidePageRow), taken[0].c_str(),
                                               taken[1].c_str());
  message_compose(text ? text : "", "", "", "");
  return message_show(131) == 1;
}

}  // namespace

void init_file_dialog_record(OPENFILENAME* record) {
  if (!record) return;
  *record = OPENFILENAME{};
  record->lStructSize = 88;
  record->hwndOwner = files_services().main_application ? files_services().main_application() : nullptr;
  // Every dialog starts in the folder the user last chose a file in, as
  // the program's current folder.
  if (remembered_directory[0]) record->lpstrInitialDir = remembered_directory;
}

int save_document_file(HWND owner, int kind, void* target) {
  (void)owner;
  const char* path = file_dialog_record.lpstrFile ? file_dialog_record.lpstrFile : file_path_buffer;
  const uint32_t flags = file_dialog_record.Flags;
  const int access = file_access(path);
  if (access < 0) {
    if (flags & kOfnFileMustExist) {
      message_box_simple(kernel_string_or(kRowNoSuchFile, "Cannot find the file"));
      return 0;
    }
  } else if (access & kAccessReadOnly) {
    message_box_simple(kernel_string_or(kRowReadOnlyFile, "File is read only."));
    return 0;
  } else if (access & kAccessSystem) {
    message_box_simple(kernel_string_or(kRowSystemFile, "File is system."));
    return 0;
  }

  // A writer that builds nothing must not leave an older image to be written.
  free_file_image();
  kelvo_win_info* saved_figure = nullptr;
  bool mark_saved = false;
  if (kind == SAVE_DOCUMENT || kind == SAVE_FIGURE || kind == SAVE_EXPORT) {
    kelvo_win_info* previous = KPGeoDocument::currentInfo();
    kelvo_win_info* fig = figure_of_window(static_cast<HWND>(target));
    KPGeoDocument::setCurrentInfo(fig);
    mark_saved = build_figure_image();
    saved_figure = fig;
    KPGeoDocument::setCurrentInfo(previous);
  } else if (kind == SAVE_MACRO) {
    auto* macro = static_cast<construct_class*>(target);
    if (macro) {
      const file_services& s = files_services();
      if (save_format_code == 4) {
        if (s.write_duo_macro_file_text) s.write_duo_macro_file_text(macro);
      } else {
        txt_write_macro_file(macro);
      }
    }
  } else if (kind == SAVE_TOOL_MENUS) {
    txt_write_menus_file(1);
  }
  if (!file_buffer) return 0;
  std::string written_path = path;
  if (!write_file_image(path, flags)) return 0;
  if (saved_figure && mark_saved) {
    if (saved_figure->linked_pictures) save_figure_pictures(written_path.c_str());
    // Only the figure's own file holds its changes now: a copy written
    // elsewhere (a web page's figure) leaves them to be saved.
    if (kind == SAVE_DOCUMENT || is_own_file(saved_figure, written_path.c_str()))
      KPGeoDocument::_undo_dirty(saved_figure);
  }
  return 1;
}

int save_file_as_dialog(HWND owner, int kind, void* target) {
  if (kind != DIALOG_EXPORT && kind != DIALOG_MACRO && kind != DIALOG_TOOL_MENUS) return 0;
  char title[256] = {};
  if (kind == DIALOG_EXPORT) {
    strip_ampersand(title, text_or_empty(511), sizeof title);
    for (size_t n = std::strlen(title); n > 0 && title[n - 1] == '.'; --n) title[n - 1] = '\0';
  } else {
    std::strncpy(title, text_or_empty(691), sizeof title - 1);
  }

  file_filter_list filters;
  const char* default_ext = nullptr;
  std::string proposed;
  if (kind == DIALOG_EXPORT) {
    build_export_filters(&filters);
    default_ext = "html";
    kelvo_win_info* fig = figure_of_window(static_cast<HWND>(target));
    if (fig && fig->text0 && fig->text1)
      proposed = fig->text0;
    else
      proposed = window_title(static_cast<HWND>(target));
  } else if (kind == DIALOG_MACRO) {
    build_file_filters(&filters, text_or_empty(695), "*.mac");
    // The macro as source tables is a choice of its own, never a macro file.
    append_file_filter(&filters, text_or_empty(920), "*.c");
    default_ext = "mac";
    const auto* macro = static_cast<const construct_class*>(target);
    proposed = macro && macro->name ? macro->name : "";
  } else {
    build_file_filters(&filters, text_or_empty(696), "*.men");
    default_ext = "men";
    proposed = text_or_empty(293);
  }
  end_file_filters(&filters);
  copy_to_buffer(file_path_buffer, proposed_file_name(proposed.c_str()));
  file_title_buffer[0] = '\0';

  fill_dialog_record(filters, 1, title, default_ext,
                     kOfnExplorer | kOfnEnableHook | kOfnHideReadOnly | kOfnOverwritePrompt);
  const BOOL chosen = GetSaveFileName(&file_dialog_record);
  file_dialog_record.lpstrFilter = nullptr;  // the list is about to go
  if (!chosen) return 0;
  if (!filter_has_extension(file_title_buffer, filters.c_str())) {
    show_row(300);
    return 0;
  }

  const uint32_t index = chosen_filter_index(filters.c_str(), file_title_buffer, file_dialog_record.nFilterIndex);
  int save_kind = SAVE_FIGURE;
  if (kind == DIALOG_EXPORT) {
    static constexpr int kExportCodes[] = {0, 0, 0, 9, 7, 5, 6, 8};
    save_format_code = index <= 7 ? kExportCodes[index] : 0;
    save_kind = index <= 2 ? SAVE_EXPORT : SAVE_FIGURE;
  } else if (kind == DIALOG_MACRO) {
    save_format_code = index == 2 ? 4 : 0;
    save_kind = SAVE_MACRO;
  } else {
    save_format_code = 0;
    save_kind = SAVE_TOOL_MENUS;
  }

  select_tool(0);
  remember_directory(file_path_buffer);
  tagRECT client{};
  NSKelvoWrapMachine::getClientRect(kp_current_figure_window(), &client);
  const int32_t width = client.right - client.left;
  const int32_t height = client.bottom - client.top;
  const std::string chosen_path = file_path_buffer;

  int result = 0;
  if (kind == DIALOG_MACRO && index == 3) {
    result = export_macro_as_c(static_cast<construct_class*>(target), chosen_path.c_str()) ? 1 : 0;
    if (result == 0) message_box_simple(kernel_string_or(kRowSourceNotWritten, "The source tables cannot be written."));
  } else if (kind == DIALOG_EXPORT && index == 2) {
    result = export_figure_image_file(chosen_path.c_str(), width, height) ? 1 : 0;
  } else if (kind == DIALOG_EXPORT && index == 1) {
    // The figure goes straight to its ".fig" name beside the page, so a
    // failure never leaves figure text under the page's name.
    const std::string figure_path = replace_extension(chosen_path, ".fig");
    if (may_replace_beside_page(chosen_path, {figure_path, replace_extension(chosen_path, ".png")})) {
      copy_to_buffer(file_path_buffer, figure_path);
      result = save_document_file(owner, save_kind, target);
      if (result) export_html_page(chosen_path, width, height);
    }
  } else {
    result = save_document_file(owner, save_kind, target);
  }
  if (save_format_code != 3) save_format_code = 0;
  return result;
}

int open_file_in_window(HWND owner, const char* path) {
  (void)owner;
  const bool path_given = path != nullptr;
  if (path_given) {
    copy_to_buffer(file_path_buffer, path);
    copy_to_buffer(file_title_buffer, path);
  } else {
    file_filter_list filters;
    for (const char* pattern : {"*.men", "*.mac", "*.plist", "*.v2x", "*.92x", "*.89x", "*.9xx"})
      append_file_filter(&filters, pattern, pattern);
    end_file_filters(&filters);
    file_path_buffer[0] = '\0';
    file_title_buffer[0] = '\0';
    fill_dialog_record(filters, open_filter_index, kernel_string(690), "fig",
                       kOfnExplorer | kOfnFileMustExist | kOfnPathMustExist | kOfnEnableHook | kOfnHideReadOnly);
    const BOOL chosen = GetOpenFileName(&file_dialog_record);
    file_dialog_record.lpstrFilter = nullptr;
    if (!chosen) return 0;
  }

  HWND shown = find_window_by_file_name(file_path_buffer);
  if (!reopen_flag && !path_given) {
    remember_directory(file_path_buffer);
    if (file_dialog_record.nFilterIndex) open_filter_index = file_dialog_record.nFilterIndex;
  }

  if (shown && !reopen_flag) {
    NSKelvoWrapMachine::sendMessage(shown, WM_NCACTIVATE, 1, 0);
    HWND app = files_services().main_application ? files_services().main_application() : nullptr;
    NSKelvoWrapMachine::cwmPostMessage(app, WM_COMMAND, kCommandRevert, 0);
    return 0;
  }

  HANDLE h = CreateFile(file_path_buffer, GENERIC_READ, 0, nullptr, kOpenExisting, kFileAttributeNormal, nullptr);
  if (!handle_ok(h)) {
    if (!path_given) show_row(298);
    return 0;
  }
  const DWORD size = GetFileSize(h, nullptr);
  if (size == 0) {
    CloseHandle(h);
    message_compose(kernel_string(296), file_title_buffer, kernel_string(297), nullptr);
    message_show(130);
    return 0;
  }
  std::vector<char> bytes;
  DWORD got = 0;
  bool read_ok = size != 0xFFFFFFFFu;
  if (read_ok) {
    bytes.resize(size);
    read_ok = ReadFile(h, bytes.data(), size, &got, nullptr) && got > 0;
  }
  CloseHandle(h);
  if (!read_ok || !load_file_image(bytes.data(), got)) {
    if (!path_given) show_row(295);
    return 0;
  }
  return 1;
}

HWND find_window_by_file_name(const char* path) {
  struct search {
    const char* path;
    HWND found;
  } s{path, nullptr};
  if (!path || !files_services().enum_figure_windows) return nullptr;
  files_services().enum_figure_windows(
      [](HWND window, kelvo_win_info* fig, void* context) {
        auto* s = static_cast<search*>(context);
        if (fig && fig->text1 && same_file(fig->text1, s->path)) s->found = window;
        return true;
      },
      &s);
  return s.found;
}

bool figure_has_spring() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  for (object* o = fig ? fig->first : nullptr; o; o = o->next)
    if (o->otype && o->otype->id == TYPE_SPRING) return true;
  return false;
}

bool figure_has_pictures() {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig) return false;
  if (fig->background) return true;
  for (object* o = fig->first; o; o = o->next)
    if (o->bitmap) return true;
  return false;
}

int save_figure_pictures(const char* figure_path) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (!fig || !figure_path) return 0;
  int failures = 0;
  auto one = [&](const bitmap_info* picture) {
    if (picture && (picture->image || picture->pixels) && picture->name && *picture->name &&
        !is_ti_screen_bitmap_name(picture->name) && !copy_picture_file(picture, figure_path))
      ++failures;
  };
  one(fig->background);
  for (object* o = fig->first; o; o = o->next) one(o->bitmap);
  return failures;
}

bool copy_picture_file(const bitmap_info* picture, const char* figure_path) {
  if (!picture || !picture->name || !figure_path || !*figure_path) return false;
  if (is_ti_screen_bitmap_name(picture->name)) return false;
  char* target = path_replace_file_name(picture->name, figure_path);
  if (!target) return false;
  bool ok = false;
  std::string bytes;
  if (same_file(picture->name, target)) {
    ok = true;  // already beside the figure
  } else if (read_whole_file(picture->name, &bytes)) {
    ok = write_whole_file(target, bytes.data(), static_cast<uint32_t>(bytes.size()));
  } else {
    ok = write_bmp_file(target, picture);
  }
  GlobalFreeAndNull(&target);
  return ok;
}

BOOL write_file_chunked(HANDLE file, const void* data, uint32_t length, uint32_t* written) {
  if (written) *written = 0;
  const auto* p = static_cast<const uint8_t*>(data);
  if (length <= 0xFFFF) {
    DWORD n = 0;
    const BOOL ok = WriteFile(file, p, length, &n, nullptr);
    if (written) *written = n;
    return ok;
  }
  uint32_t total = 0;
  while (total < length) {
    const uint32_t piece = length - total < kChunk ? length - total : kChunk;
    DWORD n = 0;
    if (!WriteFile(file, p + total, piece, &n, nullptr) || n == 0) break;
    total += n;
  }
  if (written) *written = total;
  return total == length ? 1 : 0;
}

LRESULT save_options_dlg_proc(HWND dialog, UINT message, WPARAM control, LPARAM value) {
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  auto item = [dialog](int id) { return NSKelvoWrapMachine::getDlgItem(dialog, id); };
  auto checked = [dialog](int id) { return NSKelvoWrapMachine::sendDlgItemMessage(dialog, id, BM_GETCHECK, 0, 0) != 0; };
  auto set_check = [dialog](int id, bool on) {
    NSKelvoWrapMachine::sendDlgItemMessage(dialog, id, BM_SETCHECK, on ? 1 : 0, 0);
  };
  switch (message) {
    case WM_INITDIALOG: {
      for (int id : {kOptProtect, kOptPasswordLabel, kOptPassword, kOptAnimate, kOptLinkedPictures})
        NSKelvoWrapMachine::sendDlgItemMessage(dialog, id, WM_SETFONT, 0, 0);
      NSKelvoWrapMachine::setDlgItemText(dialog, kOptProtect, kernel_string(764));
      NSKelvoWrapMachine::setDlgItemText(dialog, kOptPasswordLabel, kernel_string(765));
      NSKelvoWrapMachine::setDlgItemText(dialog, kOptAnimate, kernel_string(766));
      NSKelvoWrapMachine::setDlgItemText(dialog, kOptLinkedPictures, kernel_string(767));
      bool has_macro = false;
      for (object* o = fig ? fig->first : nullptr; o && !has_macro; o = o->next)
        has_macro = o->macro && o->macro->im_class && !is_optional_class(o->macro->im_class);
      NSKelvoWrapMachine::enableWindow(item(kOptProtect), has_macro);
      NSKelvoWrapMachine::enableWindow(item(kOptPasswordLabel), has_macro);
      const bool protected_now = has_macro && fig && fig->password;
      set_check(kOptProtect, protected_now);
      NSKelvoWrapMachine::enableWindow(item(kOptPassword), protected_now);
      if (protected_now) NSKelvoWrapMachine::setDlgItemText(dialog, kOptPassword, fig->password);
      const bool spring = figure_has_spring();
      NSKelvoWrapMachine::enableWindow(item(kOptAnimate), spring);
      if (spring) set_check(kOptAnimate, fig && fig->animate_on_open);
      const bool pictures = figure_has_pictures();
      NSKelvoWrapMachine::enableWindow(item(kOptLinkedPictures), pictures);
      if (pictures) set_check(kOptLinkedPictures, fig && fig->linked_pictures);
      save_format_code = 0;
      // The older-format box says what the next save will write.
      set_check(kOptOlderFormat, save_format_code == 4);
      return 1;
    }
    case WM_COMMAND:
      if (control == kOptProtect)
        NSKelvoWrapMachine::enableWindow(item(kOptPassword), checked(kOptProtect));
      else if (control == kOptOlderFormat)
        save_format_code = value != 0 ? 4 : 0;
      else if (control == kOptPcCompatible)
        rich_text_mode = value == 0 ? 1 : 0;
      return 0;
    case WM_NOTIFY:
      if (!fig) return 0;
      if (checked(kOptProtect)) {
        char text[256] = {};
        NSKelvoWrapMachine::getDlgItemText(dialog, kOptPassword, text, sizeof text);
        const char* password = *text ? text : kProtectionMarker;
        const size_t n = std::strlen(password);
        char* copy = alloc_block<char>(static_cast<uint32_t>(n + 1));
        if (copy) {
          std::memcpy(copy, password, n);
          GlobalFreeAndNull(&fig->password);
          fig->password = copy;
        }
      }
      fig->animate_on_open = checked(kOptAnimate) ? 1 : 0;
      fig->linked_pictures = checked(kOptLinkedPictures) ? 1 : 0;
      return 0;
    default:
      return 0;
  }
}

save_options_state keep_save_options() {
  save_options_state kept;
  kept.fig = KPGeoDocument::currentInfo();
  kept.format_code = save_format_code;
  kept.pc_compatible_off = rich_text_mode;
  if (!kept.fig) return kept;
  kept.animate_on_open = kept.fig->animate_on_open;
  kept.linked_pictures = kept.fig->linked_pictures;
  if (kept.fig->password) {
    const size_t n = std::strlen(kept.fig->password);
    kept.password = alloc_block<char>(static_cast<uint32_t>(n + 1));
    if (kept.password) std::memcpy(kept.password, kept.fig->password, n);
  }
  return kept;
}

void restore_save_options(save_options_state* kept) {
  if (!kept) return;
  save_format_code = kept->format_code;
  rich_text_mode = kept->pc_compatible_off;
  kelvo_win_info* fig = KPGeoDocument::currentInfo();
  if (fig && fig == kept->fig) {
    fig->animate_on_open = kept->animate_on_open;
    fig->linked_pictures = kept->linked_pictures;
    GlobalFreeAndNull(&fig->password);
    fig->password = kept->password;
    kept->password = nullptr;
  }
  drop_save_options(kept);
}

void drop_save_options(save_options_state* kept) {
  if (!kept) return;
  GlobalFreeAndNull(&kept->password);
  kept->fig = nullptr;
}
