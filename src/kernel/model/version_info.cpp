#include "kernel/model/version_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

char* version_string = nullptr;
double max_version = 0.0;
uint8_t version_flag_a = 0;
uint8_t version_flag_b = 0;
uint8_t version_extra_flag = 0;

namespace {

constexpr double kProgramVersion = 1.4;
// Property lists are small; a larger file is not one of ours.
constexpr std::size_t kMaxPlistBytes = 1 << 20;

std::string g_resource_folder;

std::optional<std::string> read_small_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char chunk[4096];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxPlistBytes) return std::nullopt;
  }
  return text;
}

std::string resource_path(const char* name) {
  if (g_resource_folder.empty()) return name;
  std::string path = g_resource_folder;
  if (path.back() != '/') path += '/';
  return path + name;
}

// Replaces the five predefined entities and ASCII character references.
std::string decode_entities(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '&') {
      out += s[i++];
      continue;
    }
    const std::size_t semi = s.find(';', i);
    if (semi == std::string::npos || semi - i > 10) {
      out += s[i++];
      continue;
    }
    const std::string ent = s.substr(i + 1, semi - i - 1);
    char c = 0;
    if (ent == "lt") c = '<';
    else if (ent == "gt") c = '>';
    else if (ent == "amp") c = '&';
    else if (ent == "quot") c = '"';
    else if (ent == "apos") c = '\'';
    else if (ent.size() > 1 && ent[0] == '#') {
      const bool hex = ent[1] == 'x' || ent[1] == 'X';
      const long v = std::strtol(ent.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
      if (v > 0 && v < 128) c = static_cast<char>(v);
    }
    if (c) {
      out += c;
      i = semi + 1;
    } else {
      out += s[i++];
    }
  }
  return out;
}

}  // namespace

void init_version_info() {
  version_flag_a = 0;
  version_flag_b = 0;
  char text[32];
  std::snprintf(text, sizeof text, "(MAC %.2f)", kProgramVersion);
  std::free(version_string);
  version_string = strdup(text);
  max_version = kProgramVersion;
}

void clear_version_flag() { version_extra_flag = 0; }

void set_resource_folder(const std::string& path) { g_resource_folder = path; }
const std::string& resource_folder() { return g_resource_folder; }

namespace {

enum class plist_walk { stopped, ended, malformed };

// Walks the keys of an XML property list's top dictionary in order:
// visit(key, value) with value null when the key holds no string; a true
// answer stops the walk.
template <typename Visit>
plist_walk walk_plist_strings(const std::string& xml, Visit visit) {
  int depth = 0;  // nesting of dict and array elements
  bool in_top_dict = false;
  std::optional<std::string> pending_key;
  std::size_t pos = 0;
  while ((pos = xml.find('<', pos)) != std::string::npos) {
    if (xml.compare(pos, 4, "<!--") == 0) {
      const std::size_t end = xml.find("-->", pos + 4);
      if (end == std::string::npos) return plist_walk::malformed;
      pos = end + 3;
      continue;
    }
    const std::size_t close = xml.find('>', pos);
    if (close == std::string::npos) return plist_walk::malformed;
    std::string tag = xml.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    if (tag.empty() || tag[0] == '?' || tag[0] == '!') continue;
    const bool closing = tag[0] == '/';
    const bool self_closing = tag.back() == '/';
    std::string name = tag.substr(closing ? 1 : 0);
    if (self_closing && !name.empty()) name.pop_back();
    name = name.substr(0, name.find_first_of(" \t\r\n"));
    // A tag without a name ("</>", "< >") is malformed: the list is refused.
    if (name.empty()) return plist_walk::malformed;

    const bool container = name == "dict" || name == "array";
    if (closing) {
      if (container && --depth <= 0) return in_top_dict ? plist_walk::ended : plist_walk::malformed;
      continue;
    }
    if (!in_top_dict) {
      if (name == "dict" && !self_closing) {
        in_top_dict = true;
        depth = 1;
      }
      continue;
    }
    if (depth == 1 && name == "key" && !self_closing) {
      const std::size_t end = xml.find("</key>", pos);
      if (end == std::string::npos) return plist_walk::malformed;
      pending_key = decode_entities(xml.substr(pos, end - pos));
      pos = end + 6;
      continue;
    }
    if (depth == 1 && pending_key) {
      const std::string key = std::move(*pending_key);
      pending_key.reset();
      if (name == "string") {
        std::string value;
        if (!self_closing) {
          const std::size_t end = xml.find("</string>", pos);
          if (end == std::string::npos) return plist_walk::malformed;
          value = decode_entities(xml.substr(pos, end - pos));
          pos = end + 9;
        }
        if (visit(key, &value)) return plist_walk::stopped;
        continue;
      }
      if (visit(key, nullptr)) return plist_walk::stopped;
    }
    if (container && !self_closing) ++depth;
  }
  return plist_walk::malformed;
}

}  // namespace

std::optional<std::string> plist_string_value(const std::string& xml, const std::string& key) {
  std::optional<std::string> found;
  walk_plist_strings(xml, [&](const std::string& k, const std::string* value) {
    if (k != key) return false;
    if (value) found = *value;
    return true;  // a key that holds no string ends the search too
  });
  return found;
}

std::optional<std::vector<std::pair<std::string, std::string>>> plist_string_entries(const std::string& xml) {
  std::vector<std::pair<std::string, std::string>> entries;
  const plist_walk walked = walk_plist_strings(xml, [&](const std::string& key, const std::string* value) {
    if (value) entries.emplace_back(key, *value);
    return false;
  });
  if (walked != plist_walk::ended) return std::nullopt;
  return entries;
}

bool is_xml_property_list(const char* bytes, std::size_t len) {
  if (!bytes) return false;
  std::string_view text(bytes, len);
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty() && (text[0] == ' ' || text[0] == '\t' || text[0] == '\r' || text[0] == '\n')) text.remove_prefix(1);
  if (!text.starts_with("<?xml") && !text.starts_with("<!DOCTYPE plist") && !text.starts_with("<plist")) return false;
  // The root element comes after the declaration and the document type.
  return text.substr(0, 1024).find("<plist") != std::string_view::npos;
}

std::optional<std::string> get_version_plist_value(const std::string& key) {
  const auto xml = read_small_file(resource_path("version.plist"));
  if (!xml) return std::nullopt;
  return plist_string_value(*xml, key);
}

void get_product_version(char** buffer, uint32_t* length) {
  if (buffer) *buffer = nullptr;
  if (length) *length = 0;
  if (!buffer || !length) return;
  const auto xml = read_small_file(resource_path("Info.plist"));
  if (!xml) return;
  const auto value = plist_string_value(*xml, "KPProductVersion");
  if (!value || value->empty()) return;
  char* copy = static_cast<char*>(std::malloc(value->size() + 1));
  if (!copy) return;
  std::memcpy(copy, value->c_str(), value->size() + 1);
  *buffer = copy;
  *length = static_cast<uint32_t>(value->size());
}
