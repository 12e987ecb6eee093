#include "kernel/files/text_family.h"

#include <cmath>
#include <cstring>

#include "kernel/exchange/ti_probe.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/text_output.h"
#include "kernel/model/memory.h"
#include "kernel/model/units.h"
#include "kernel/model/version_info.h"

char* file_buffer = nullptr;
uint32_t file_buffer_len = 0;
char txt_scratch[kTxtScratchSize];

uint8_t file_class = 0;
uint8_t file_platform = 0;
double file_version = 0;
uint8_t file_mac_header = 0;

// 72 dots per inch until the shell measures the screen.

const char* const txt_kind_words[4] = {"Figure Kelvo", "Macro Kelvo", "Menus Kelvo",
                                       "Situations Kelvo"};

namespace {

const char* const kPlatformWords[3] = {"MacOS", "DOS", "MS-Windows"};
const uint8_t kPlatformCodes[3] = {1, 2, 0};

const char* const kPcSignatures[4] = {"figure version 1.7\r\n", "figure version 1.6\r\n",
                                      "macro version 1.7\r\n", "macro version 1.6\r\n"};
const char kMacSignature[] = "Kelvo-planisto version ";

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ci(const char* a, const char* b, size_t n) {
  for (size_t k = 0; k < n; ++k)
    if (lower(a[k]) != lower(b[k])) return false;
  return true;
}

// The version number at p as "%lG" reads it: blanks and line ends skipped.
bool read_version(const char* buf, uint32_t len, uint32_t pos, double* out) {
  while (pos < len && (buf[pos] == ' ' || buf[pos] == '\t' || buf[pos] == '\r' ||
                       buf[pos] == '\n' || buf[pos] == '\v' || buf[pos] == '\f'))
    ++pos;
  if (pos >= len) return false;
  double v = 0;
  if (txt_parse_real(buf + pos, &v) == 0 || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

uint16_t get_be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint16_t get_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void set_state(uint8_t cls, uint8_t platform, double version) {
  file_class = cls;
  file_platform = platform;
  file_version = version;
}

// The kinds a text header does not give: calculator files, preference
// files and old binary files.
int detect_other_kinds(uint32_t len, const char* buf, bool sniffing) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(buf);
  if (len > 72) {
    char name[10];
    int d = ti9x_check_signature(buf, len, name);
    if (d > 0) {
      uint32_t at = static_cast<uint32_t>(d);
      if (at + 2 > len) return FILE_KIND_REFUSED;
      uint32_t n = get_be16(bytes + at);
      if (uint64_t{at} + n + 4 > len) return FILE_KIND_REFUSED;
      uint16_t sum = 0;
      for (uint32_t k = 0; k < n + 2; ++k) sum = static_cast<uint16_t>(sum + bytes[at + k]);
      if (sum != get_le16(bytes + at + n + 2)) return FILE_KIND_REFUSED;
      if (n > 0) {
        uint8_t last = bytes[at + 1 + n];
        if (last == 0xE1 || last == 0xE2) {
          set_state(1, 3, 1);
          return last == 0xE1 ? FILE_KIND_FIGURE : FILE_KIND_MACRO;
        }
      }
    }
  }
  double ti83_version = 0;
  if (ti83_check_file(buf, len, &ti83_version) == 1) {
    set_state(1, 4, ti83_version);
    return FILE_KIND_FIGURE;
  }
  const size_t prefs_len = std::strlen(kTxtPrefsHeader);
  // Property lists, binary or in the XML form the preferences export
  // writes.
  if (sniffing && ((len >= 7 && std::memcmp(buf, "bplist", 6) == 0) || is_xml_property_list(buf, len))) {
    set_state(1, 0, 1);
    return FILE_KIND_PREFS;
  }
  for (uint32_t off = sniffing ? 1 : 0; off <= 1; ++off) {
    if (len >= off + prefs_len && std::memcmp(buf + off, kTxtPrefsHeader, prefs_len) == 0) {
      set_state(1, 0, 1);
      return FILE_KIND_PREFS;
    }
  }
  for (uint32_t i = 0; i < 100 && len > i && len - i > 20; ++i) {
    for (int s = 0; s < 4; ++s) {
      size_t n = std::strlen(kPcSignatures[s]);
      if (len - i >= n && same_ci(buf + i, kPcSignatures[s], n)) {
        set_state(2, 2, 1);
        return s < 2 ? FILE_KIND_FIGURE : FILE_KIND_MACRO;
      }
    }
  }
  const size_t mac_len = sizeof kMacSignature - 1;
  for (uint32_t i = 0; i < 100 && len > i && len - i > 23; ++i) {
    if (same_ci(buf + i, kMacSignature, mac_len)) {
      set_state(2, 1, 1);
      return FILE_KIND_FIGURE;
    }
  }
  return FILE_KIND_REFUSED;
}

int detect(uint32_t len, const char* buf, bool sniffing) {
  if (buf == nullptr) return FILE_KIND_REFUSED;
  int kind = -1;
  uint32_t pos = 0;
  for (int k = 0; k < 4; ++k) {
    size_t n = std::strlen(txt_kind_words[k]);
    if (n < len && same_ci(buf, txt_kind_words[k], n)) {
      kind = k;
      pos = static_cast<uint32_t>(n);
      break;
    }
  }
  if (kind < 0) return detect_other_kinds(len, buf, sniffing);

  if (pos < len && buf[pos] == ' ') ++pos;
  const size_t nova = std::strlen(kTxtCurrentEdition);
  const size_t duo = std::strlen(kTxtOlderEdition);
  if (pos + nova < len && same_ci(buf + pos, kTxtCurrentEdition, nova)) {
    file_class = 0;
    pos += static_cast<uint32_t>(nova);
  } else if (kind != FILE_KIND_SITUATIONS && pos + duo < len &&
             same_ci(buf + pos, kTxtOlderEdition, duo)) {
    file_class = 1;
    pos += static_cast<uint32_t>(duo);
  } else {
    // Without an edition word the generation is unknown: refuse rather than
    // read the file with the generation of whatever was detected before.
    return FILE_KIND_REFUSED;
  }

  auto skip_blanks = [&] {
    while (len - pos >= 11 && buf[pos] == ' ') ++pos;
  };
  skip_blanks();
  int platform = -1;
  for (int w = 0; w < 3; ++w) {
    size_t n = std::strlen(kPlatformWords[w]);
    if (pos + n < len && same_ci(buf + pos, kPlatformWords[w], n)) {
      platform = kPlatformCodes[w];
      pos += static_cast<uint32_t>(n);
      break;
    }
  }
  double version = 0;
  if (platform >= 0) {
    file_platform = static_cast<uint8_t>(platform);
    skip_blanks();
    bool mac = pos + 4 <= len && std::memcmp(buf + pos, "(MAC", 4) == 0;
    if (!sniffing) file_mac_header = mac ? 1 : 0;
    if (!read_version(buf, len, mac ? pos + 4 : pos, &version)) return FILE_KIND_REFUSED;
    file_version = version;
    if (file_class == 1 && version >= 1) return kind;
    if (file_class == 0 && version <= max_version) return kind;
    return FILE_KIND_REFUSED;
  }
  if (!read_version(buf, len, pos, &version) || version != 1) return FILE_KIND_REFUSED;
  file_platform = 1;
  file_version = 1;
  return kind;
}

}  // namespace

bool load_file_image(const void* bytes, uint32_t len) {
  // The image is replaced, not forgotten: what was detected stays until it
  // is detected again.
  GlobalFreeAndNull(&file_buffer);
  file_buffer_len = 0;
  if (len == UINT32_MAX) return false;
  auto* block = static_cast<char*>(GlobalAlloc(GPTR, len + 1));
  if (block == nullptr) return false;
  if (len != 0) std::memcpy(block, bytes, len);
  block[len] = '\0';
  file_buffer = block;
  file_buffer_len = len;
  return true;
}

void free_file_image() {
  GlobalFreeAndNull(&file_buffer);
  file_buffer_len = 0;
  reset_file_detection();
}

void reset_file_detection() {
  file_resolution = 0;
  file_class = 0;
  file_platform = 0;
  file_version = 0;
  file_mac_header = 0;
}

bool txt_is_counting(const char* dst) {
  return dst == nullptr || (dst >= txt_scratch && dst < txt_scratch + kTxtScratchSize);
}

int32_t txt_put_crlf(char* dst) {
  TxtOut out(dst);
  out.crlf();
  return out.len;
}

int32_t txt_write_section_title(char* dst, const char* title) {
  TxtOut out(dst);
  out.put(title);
  out.crlf();
  out.crlf();
  return out.len;
}

int32_t txt_write_header(char* dst, int kind, int n) {
  TxtOut out(dst);
  if (kind < 0 || kind > 3) return 0;
  out.put(txt_kind_words[kind]);
  out.ch(' ');
  out.put(kTxtCurrentEdition);
  out.put(" MS-Windows ");
  out.put(version_string != nullptr ? version_string : "");
  for (int k = 0; k < n; ++k) out.crlf();
  return out.len;
}

int txt_detect_header(uint32_t len, const char* buf) { return detect(len, buf, false); }

int sniff_file_format() { return detect(file_buffer_len, file_buffer, true); }

int32_t txt_scan_number(double* out, const char* text) {
  const char* p = text;
  double v = 0;
  size_t used = 0;
  for (;; ++p) {
    if (txt_is_line_end(*p)) return 0;
    if (txt_is_digit(*p) || *p == '-' || *p == '+') {
      used = txt_parse_real(p, &v);
      if (used != 0) break;
      const char* digits = txt_is_digit(*p) ? p : p + 1;
      if (*digits == '.') ++digits;
      if (txt_is_digit(*digits)) return 0;  // a number, but out of range
    }
  }
  const char* end = p + used;
  if (*end == '_') {
    double third = end[-1] == '3' ? 1.0 / 300 : 1.0 / 150;
    v += v > 0 ? third : -third;
    ++end;
  }
  v *= pixels_per_unit;
  if (!std::isfinite(v) || end - text > INT32_MAX) return 0;
  *out = v;
  return static_cast<int32_t>(end - text);
}

int32_t txt_scan_int(int16_t* out, const char* text) {
  double v = 0;
  int32_t used = txt_scan_number(&v, text);
  if (used == 0) return 0;
  double r = std::floor(v + 0.5);
  if (r < INT16_MIN || r > INT16_MAX) return 0;
  *out = static_cast<int16_t>(r);
  return used;
}
