#include "kernel/files/file_paths.h"

#include <cstring>

#include "kernel/model/mbcs.h"
#include "kernel/model/memory.h"
#include "kernel/text/kernel_strings.h"

char remembered_directory[kRememberedDirectorySize] = {};

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

const char* path_last_separator(const char* path) {
  if (!path) return path;
  const char* last = nullptr;
  for (const char* p = path; *p;) {
    const int step = mbcs_char_step(p);
    if (step == 1 && (*p == '/' || *p == '\\')) {
      const bool escape = *p == '\\' && is_digit(p[1]) && is_digit(p[2]) && is_digit(p[3]);
      if (!escape) last = p;
    }
    p += step > 0 ? step : 1;
  }
  return last ? last : path;
}

const char* path_file_name(const char* path) {
  if (!path) return path;
  const char* sep = path_last_separator(path);
  if (sep == path) return path;
  return sep + 1;
}

char* path_replace_file_name(const char* name, const char* path) {
  const char* dir_end = path;
  if (path) {
    const char* sep = path_last_separator(path);
    if (*sep == '/' || *sep == '\\') dir_end = sep + 1;
  }
  const std::size_t dir_len = path ? static_cast<std::size_t>(dir_end - path) : 0;
  const char* file = name ? path_file_name(name) : "";
  if (file != name && name && (*file == '\0')) file = "";
  const std::size_t file_len = std::strlen(file);
  char* out = alloc_block<char>(static_cast<uint32_t>(dir_len + file_len + 1));
  if (!out) return nullptr;
  if (dir_len) std::memcpy(out, path, dir_len);
  std::memcpy(out + dir_len, file, file_len);
  return out;
}

void remember_directory(const char* path) {
  if (!path) return;
  const char* sep = path_last_separator(path);
  const std::size_t n = sep == path ? 0 : static_cast<std::size_t>(sep - path);
  if (n >= kRememberedDirectorySize - 1) return;
  std::memcpy(remembered_directory, path, n);
  remembered_directory[n] = '\0';
}

void append_file_filter(file_filter_list* list, const std::string& label, const char* pattern) {
  list->append(label);
  list->push_back('\0');
  list->append(pattern ? pattern : "");
  list->push_back('\0');
}

void end_file_filters(file_filter_list* list) { list->push_back('\0'); }

void build_file_filters(file_filter_list* list, const char* label, const char* pattern) {
  const std::string l = label ? label : "";
  const std::string p = pattern ? pattern : "";
  append_file_filter(list, l + " (" + p + ")", pattern);
  if (p == "*.mac") append_file_filter(list, l + " (Kelvo Duo) (" + p + ")", pattern);
}

void build_export_filters(file_filter_list* list) {
  static constexpr struct {
    int row;
    const char* pattern;
  } kPairs[] = {{971, "*.html"}, {970, "*.png"}, {702, "*.8xv"}, {700, "*.89a"},
                {698, "*.92a"},  {699, "*.9xa"}, {701, "*.v2a"}};
  for (const auto& pair : kPairs) {
    const char* label = kernel_string(pair.row);
    append_file_filter(list, std::string(label ? label : "") + " (" + pair.pattern + ")", pair.pattern);
  }
}

bool filter_has_extension(const char* file_name, const char* filters) {
  if (!file_name || !filters) return false;
  const char* name = path_file_name(file_name);
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  for (const char* f = filters; *f;) {
    f += std::strlen(f) + 1;  // the label
    const char* pattern = f;
    f += std::strlen(f) + 1;
    if (std::strncmp(pattern, "*.", 2) == 0 && std::strcmp(pattern + 2, ext) == 0) return true;
    if (!*pattern) break;
  }
  return false;
}
