#include "platform/kp_files.h"

#include "platform/kp_file_accessories.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/kp_qt_bridge.h"
#include "platform/kp_run_loop.h"

namespace {

struct KPFile {
  std::FILE* stream = nullptr;
  std::string target;  // the file a temporary replaces at close
  std::string temp;    // empty when writing in place or reading
  bool failed = false;
};

bool invalid(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }
KPFile* file_of(HANDLE h) { return invalid(h) ? nullptr : static_cast<KPFile*>(h); }

mode_t default_mode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// Writing goes to a temporary file in the same folder (so the final rename
// stays on one file system), with the permissions of the file it replaces.
HANDLE open_for_writing(const char* path) {
  struct stat info{};
  const bool exists = ::stat(path, &info) == 0;
  if (exists && !S_ISREG(info.st_mode)) {
    // A device or a pipe cannot be replaced: write to it directly.
    std::FILE* stream = std::fopen(path, "w+b");
    return stream ? new KPFile{stream, path, {}, false} : nullptr;
  }
  const std::filesystem::path target(path);
  std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return nullptr;
  ::fchmod(fd, exists ? (info.st_mode & 07777) : default_mode());
  std::FILE* stream = ::fdopen(fd, "w+b");
  if (!stream) {
    ::close(fd);
    ::unlink(temp.c_str());
    return nullptr;
  }
  return new KPFile{stream, path, temp, false};
}

}  // namespace

HANDLE CreateFile(const char* path, DWORD access, DWORD, void*, DWORD, DWORD, HANDLE) {
  if (access != GENERIC_READ && access != GENERIC_WRITE && access != (GENERIC_READ | GENERIC_WRITE))
    return INVALID_HANDLE_VALUE;
  if (!path) return nullptr;
  if (access == GENERIC_READ) {
    std::FILE* stream = std::fopen(path, "rb");
    return stream ? new KPFile{stream, path, {}, false} : nullptr;
  }
  return open_for_writing(path);
}

BOOL ReadFile(HANDLE h, void* buffer, DWORD count, DWORD* read, void*) {
  KPFile* file = file_of(h);
  if (!file || !read) return 0;
  *read = 0;
  if (count == 0) return 1;
  if (!buffer) return 0;
  *read = static_cast<DWORD>(std::fread(buffer, 1, count, file->stream));
  return *read > 0 ? 1 : 0;
}

BOOL WriteFile(HANDLE h, const void* buffer, DWORD count, DWORD* written, void*) {
  KPFile* file = file_of(h);
  if (!file || !written) return 0;
  *written = 0;
  if (count == 0) return 1;
  if (!buffer) return 0;
  *written = static_cast<DWORD>(std::fwrite(buffer, 1, count, file->stream));
  // Flushing here makes a full disk show at this call, not at the close.
  if (*written < count || std::fflush(file->stream) != 0) {
    file->failed = true;
    return 0;
  }
  return 1;
}

DWORD GetFileSize(HANDLE h, DWORD* high) {
  KPFile* file = file_of(h);
  if (!file) return 0xFFFFFFFFu;
  if (high) *high = 0;
  const long position = std::ftell(file->stream);
  if (position < 0 || std::fseek(file->stream, 0, SEEK_END) != 0) return 0xFFFFFFFFu;
  const long size = std::ftell(file->stream);
  std::fseek(file->stream, position, SEEK_SET);
  return size < 0 ? 0xFFFFFFFFu : static_cast<DWORD>(size);
}

BOOL CloseHandle(HANDLE h) {
  KPFile* file = file_of(h);
  if (!file) return 0;
  bool ok = !file->failed && std::fflush(file->stream) == 0;
  if (!file->temp.empty() && ok) ok = ::fsync(::fileno(file->stream)) == 0;
  ok = std::fclose(file->stream) == 0 && ok;
  if (!file->temp.empty()) {
    if (ok) ok = std::rename(file->temp.c_str(), file->target.c_str()) == 0;
    if (!ok) ::unlink(file->temp.c_str());
  }
  delete file;
  return ok ? 1 : 0;
}

BOOL SetFileAttributes(const char*, DWORD attributes) { return attributes == 128 || attributes == 8193 ? 1 : 0; }

// ---- Directory listing ----

namespace {

struct KPSearch {
  std::vector<WIN32_FIND_DATA> entries;
  size_t next = 0;
};

uint64_t file_time(time_t seconds) {
  // Win32 file times count 100 ns from 1601-01-01.
  return (static_cast<uint64_t>(seconds) + 11644473600ull) * 10000000ull;
}

}  // namespace

HANDLE FindFirstFile(const char* pattern, WIN32_FIND_DATA* data) {
  if (!pattern || !data) return INVALID_HANDLE_VALUE;
  const bool every = std::strcmp(pattern, "*.*") == 0 || std::strcmp(pattern, "*") == 0;
  auto* search = new KPSearch;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(".", error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() >= sizeof data->cFileName) continue;
    if (!every && ::fnmatch(pattern, name.c_str(), 0) != 0) continue;
    struct stat info{};
    if (::stat(name.c_str(), &info) != 0) continue;
    WIN32_FIND_DATA found{};
    if (S_ISDIR(info.st_mode)) {
      found.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    } else {
      found.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
      if (::access(name.c_str(), W_OK) != 0) found.dwFileAttributes |= FILE_ATTRIBUTE_READONLY;
    }
    const auto size = static_cast<uint64_t>(info.st_size);
    found.nFileSizeHigh = static_cast<uint32_t>(size >> 32);
    found.nFileSizeLow = static_cast<uint32_t>(size);
    found.ftCreationTime = file_time(info.st_ctime);
    found.ftLastAccessTime = file_time(info.st_atime);
    found.ftLastWriteTime = file_time(info.st_mtime);
    std::memcpy(found.cFileName, name.c_str(), name.size() + 1);
    search->entries.push_back(found);
  }
  std::sort(search->entries.begin(), search->entries.end(),
            [](const auto& a, const auto& b) { return std::strcmp(a.cFileName, b.cFileName) < 0; });
  if (search->entries.empty()) {
    delete search;
    return INVALID_HANDLE_VALUE;
  }
  *data = search->entries[search->next++];
  return search;
}

BOOL FindNextFile(HANDLE h, WIN32_FIND_DATA* data) {
  if (invalid(h) || !data) return 0;
  auto* search = static_cast<KPSearch*>(h);
  if (search->next >= search->entries.size()) return 0;
  *data = search->entries[search->next++];
  return 1;
}

BOOL FindClose(HANDLE h) {
  if (invalid(h)) return 0;
  delete static_cast<KPSearch*>(h);
  return 1;
}

// ---- Support files ----

namespace {
std::string& support_folder() {
  static std::string folder;
  return folder;
}
}  // namespace

void kp_set_support_folder(const char* folder) { support_folder() = folder ? folder : ""; }

const char* support_file_path(const char* name) {
  static std::string path;
  if (!name) return nullptr;
  std::string folder = support_folder();
  if (folder.empty() && QCoreApplication::instance()) {
    const QString beside = QCoreApplication::applicationDirPath() + "/resources";
    if (QFileInfo(beside).isDir()) folder = beside.toStdString();
  }
  if (folder.empty()) return nullptr;
  path = folder + "/" + name;
  return path.c_str();
}

// ---- File dialogs ----

namespace {

KPFileChooser& chooser() {
  static KPFileChooser c;
  return c;
}

std::optional<std::string> run_file_dialog(const KPFileDialogRequest& request) {
  QFileDialog dialog(nullptr, QString::fromStdString(request.title), QString::fromStdString(request.directory));
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  QStringList filters;
  for (const std::string& f : request.name_filters) filters << QString::fromStdString(f);
  if (!filters.isEmpty()) dialog.setNameFilters(filters);
  // An accessory's kinds take the place of the dialog's own filter list.
  if (request.panel && request.panel->accessoryView()) request.panel->attach(&dialog);
  if (request.save) dialog.selectFile(QString::fromStdString(request.proposed_name));
  // The dialog adds it itself, so that it asks about replacing the file
  // that will really be written.
  if (request.save && !request.default_suffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.default_suffix));
  int result = 0;
  {
    KPRunLoopModeScope scope(KPRunLoopMode::ModalPanel);
    result = dialog.exec();
  }
  if (request.panel) request.panel->detach();
  if (result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString chosen = dialog.selectedFiles().front();
  if (!request.save) {
    const QString resolved = QFileInfo(chosen).canonicalFilePath();
    if (!resolved.isEmpty()) chosen = resolved;
  }
  return chosen.toStdString();
}

void copy_into(const std::string& text, char* buffer, uint32_t size) {
  if (!buffer || size == 0) return;
  const size_t n = std::min<size_t>(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

std::string directory_of(const OPENFILENAME* record) {
  if (record->lpstrInitialDir && *record->lpstrInitialDir) return record->lpstrInitialDir;
  return QDir::homePath().toStdString();
}

// The kinds of a filter list: descriptions and extensions without "*.".
void filter_kinds(const char* filter, std::vector<std::string>* descriptions, std::vector<std::string>* extensions) {
  if (!filter || std::strcmp(filter, "*") == 0) return;
  for (int pair = 0; pair < 50 && *filter; ++pair) {
    const std::string description = filter;
    filter += description.size() + 1;
    std::string pattern = filter;
    filter += pattern.size() + 1;
    if (!pattern.empty() && pattern[0] == '*') pattern.erase(0, 1);
    if (!pattern.empty() && pattern[0] == '.') pattern.erase(0, 1);
    descriptions->push_back(description);
    extensions->push_back(pattern);
    if (pattern.empty()) break;
  }
}

BOOL run_dialog(OPENFILENAME* record, KPFileDialogRequest& request) {
  request.title = record->lpstrTitle ? kp_qstring(record->lpstrTitle).toStdString() : std::string();
  request.directory = directory_of(record);
  // Two kinds or more: the kinds' pop-up, which starts on the first.
  KPFilePanel panel;
  std::vector<std::string> descriptions;
  std::vector<std::string> extensions;
  filter_kinds(record->lpstrFilter, &descriptions, &extensions);
  if (extensions.size() >= 2) {
    add_open_accessory(&panel, record, descriptions, extensions);
    request.panel = &panel;
  }
  const auto chosen = kp_choose_file(request);
  request.panel = nullptr;
  // A path cut to the buffer would name another file: refuse it instead.
  if (!chosen || !record->lpstrFile || chosen->size() >= record->nMaxFile) return 0;
  copy_into(*chosen, record->lpstrFile, record->nMaxFile);
  copy_into(std::filesystem::path(*chosen).filename().string(), record->lpstrFileTitle, record->nMaxFileTitle);
  return 1;
}

}  // namespace

void kp_set_file_chooser(KPFileChooser c) { chooser() = std::move(c); }

std::optional<std::string> kp_choose_file(const KPFileDialogRequest& request) {
  std::optional<std::string> chosen = chooser() ? chooser()(request) : run_file_dialog(request);
  if (chosen && request.panel) chosen = request.panel->userEnteredFilename(*chosen, true);
  if (chosen && request.save && !request.default_suffix.empty()) {
    const std::filesystem::path path(*chosen);
    if (!path.filename().empty() && !path.has_extension()) *chosen += "." + request.default_suffix;
  }
  return chosen;
}

std::vector<std::string> set_panel_file_types(const OPENFILENAME* record, KPFileDialogRequest* request) {
  std::vector<std::string> extensions;
  std::vector<std::string> descriptions;
  filter_kinds(record ? record->lpstrFilter : nullptr, &descriptions, &extensions);
  if (request) {
    request->name_filters.clear();
    for (size_t i = 0; i < extensions.size(); ++i) {
      const std::string glob = extensions[i].empty() ? "*" : "*." + extensions[i];
      std::string label = kp_qstring(descriptions[i].c_str()).toStdString();
      // The kernel's labels mostly name their pattern already; the dialog
      // shows it once.
      const std::string shown_pattern = "(" + glob + ")";
      if (!label.ends_with(shown_pattern)) label += " " + shown_pattern;
      request->name_filters.push_back(label);
    }
  }
  return extensions;
}

std::string kp_proposed_save_name(const char* name, const char* extension, bool every_file) {
  std::string proposed = name ? name : "";
  if (every_file || !extension || !*extension) return proposed;
  const std::string ext = extension;
  const bool ends_with_extension =
      proposed.size() >= ext.size() && proposed.compare(proposed.size() - ext.size(), ext.size(), ext) == 0;
  if (ext.size() < proposed.size() && !ends_with_extension) proposed += "." + ext;
  return proposed;
}

BOOL GetOpenFileName(OPENFILENAME* record) {
  if (!record) return 0;
  KPFileDialogRequest request;
  set_panel_file_types(record, &request);
  return run_dialog(record, request);
}

BOOL GetSaveFileName(OPENFILENAME* record) {
  if (!record) return 0;
  KPFileDialogRequest request;
  request.save = true;
  const bool every_file = !record->lpstrFilter || std::strcmp(record->lpstrFilter, "*") == 0;
  const std::vector<std::string> kinds = set_panel_file_types(record, &request);
  if (kinds.size() == 1) request.default_suffix = kinds[0];
  const std::string name = record->lpstrFile ? std::string(record->lpstrFile, strnlen(record->lpstrFile, record->nMaxFile)) : "";
  request.proposed_name = kp_proposed_save_name(name.c_str(), record->lpstrDefExt, every_file);
  return run_dialog(record, request);
}
