#include "kernel/prefs/preferences.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "kernel/files/text_family.h"
#include "kernel/files/text_output.h"
#include "kernel/model/version_info.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/text/kernel_strings.h"
#include "platform/kernel_services.h"
#include "platform/kp_files.h"
#include "platform/mac_roman.h"

namespace {

constexpr int kRowUnreadablePreferences = 921;

size_t line_end(const char* text, size_t pos, size_t len) {
  while (pos < len && text[pos] != '\r' && text[pos] != '\n' && text[pos] != '\0') ++pos;
  return pos;
}

size_t skip_line_break(const char* text, size_t pos, size_t len) {
  if (pos < len && text[pos] == '\r') ++pos;
  if (pos < len && text[pos] == '\n') ++pos;
  return pos;
}

// A kernel text as XML character data: UTF-8 with the markup characters
// escaped; control characters, which XML cannot carry, are left out.
std::string xml_text(const std::string& kernel_text) {
  std::string out;
  for (char c : mac_roman_to_utf8(kernel_text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') out += c;
    }
  }
  return out;
}

}  // namespace

int32_t save_temp_preferences(char* dst) {
  TxtOut out(dst);
  out.put(kTxtPrefsHeader);
  out.crlf();
  for (const auto& [key, value] : preference_entries(prefs)) {
    out.put(key);
    out.ch('=');
    out.put(value);
    out.crlf();
  }
  return out.len;
}

uint32_t parse_preference_text(const char* text, uint32_t len, MemoryPreferenceStore* into) {
  if (!text) return 0;
  const size_t header = std::strlen(kTxtPrefsHeader);
  if (len < header || std::memcmp(text, kTxtPrefsHeader, header) != 0) return 0;
  size_t pos = skip_line_break(text, line_end(text, header, len), len);
  // Key lines up to the first empty line (or the end of the text).
  while (pos < len && text[pos] != '\0') {
    const size_t end = line_end(text, pos, len);
    if (end == pos) break;
    const char* eq = static_cast<const char*>(std::memchr(text + pos, '=', end - pos));
    if (eq && eq != text + pos && into) {
      const std::string key(text + pos, eq);
      const std::string value(eq + 1, text + end);
      into->set(key.c_str(), value.c_str());
    }
    pos = skip_line_break(text, end, len);
  }
  return static_cast<uint32_t>(pos);
}

namespace {

// The preferences carried by a store replace the user's.
void restore_preferences_from(MemoryPreferenceStore& carried) {
  // Read through the same checks as the user's store, then stored there.
  prefs_rec restored{};
  // The store in use stays the one the caller chose (a test's, a fuzz
  // target's), not the user's.
  PreferenceStore* in_use = &preference_store();
  set_preference_store(&carried);
  read_preferences(&restored, nullptr);
  set_preference_store(in_use);
  write_preferences(&restored, nullptr);
  init_default_attrs(nullptr);
}

}  // namespace

uint32_t restore_preference_text(const char* text, uint32_t len) {
  MemoryPreferenceStore carried;
  const uint32_t used = parse_preference_text(text, len, &carried);
  if (used == 0) return 0;
  restore_preferences_from(carried);
  return used;
}

void import_preferences_file(const char* bytes, uint32_t len) {
  // A property list as the preferences export writes it: UTF-8 strings.
  if (is_xml_property_list(bytes, len)) {
    const auto entries = plist_string_entries(std::string(bytes, len));
    const auto ours = preference_entries(prefs);
    MemoryPreferenceStore carried;
    bool known = false;  // another program's property list is not taken
    for (size_t i = 0; entries && i < entries->size(); ++i) {
      const std::string name = utf8_to_mac_roman((*entries)[i].first);
      carried.set(name.c_str(), utf8_to_mac_roman((*entries)[i].second).c_str());
      known = known || std::any_of(ours.begin(), ours.end(), [&name](const auto& entry) { return entry.first == name; });
    }
    if (known) {
      restore_preferences_from(carried);
      return;
    }
  }
  // The header may follow one byte written before it by older versions.
  const size_t header = std::strlen(kTxtPrefsHeader);
  for (uint32_t off = 0; bytes && off <= 1; ++off)
    if (len >= off + header && std::memcmp(bytes + off, kTxtPrefsHeader, header) == 0 &&
        restore_preference_text(bytes + off, len - off) > 0)
      return;
  message_box_simple(kernel_string(kRowUnreadablePreferences));
}

std::string preferences_plist(const prefs_rec& p) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<plist version=\"1.0\">\n"
      "<dict>\n";
  for (const auto& [key, value] : preference_entries(p)) {
    out += "\t<key>" + xml_text(key) + "</key>\n";
    out += "\t<string>" + xml_text(value) + "</string>\n";
  }
  out += "</dict>\n</plist>\n";
  return out;
}

bool export_preferences(const char* file_name) {
  if (file_name) {
    write_preferences(&prefs, file_name);
    return true;
  }
  char path[1024] = {};
  // "<the language's name of preference files> (*.plist)", then the pattern.
  constexpr int kRowPreferenceFiles = 180;
  std::string filter = std::string(kernel_string_or(kRowPreferenceFiles, "Preferences")) + " (*.plist)";
  filter += '\0';
  filter += "*.plist";
  filter += '\0';
  OPENFILENAME record{};
  record.lStructSize = sizeof record;
  record.lpstrFilter = filter.c_str();
  record.nFilterIndex = 1;
  record.lpstrFile = path;
  record.nMaxFile = sizeof path;
  record.lpstrDefExt = "plist";
  record.Flags = 0x00080000 | 0x00000002;  // explorer style, overwrite prompt
  if (!GetSaveFileName(&record) || !path[0]) return false;
  // Written straight to the chosen file: the store is not touched.
  const std::string text = preferences_plist(prefs);
  constexpr DWORD kCreateAlways = 2;
  HANDLE h = CreateFile(path, GENERIC_WRITE, 0, nullptr, kCreateAlways, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool wrote = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                     written == text.size();
  return CloseHandle(h) != 0 && wrote;
}
