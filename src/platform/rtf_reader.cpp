#include "platform/rtf_reader.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/mac_roman.h"

namespace {

// Windows-1252 in 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

constexpr char16_t kReplacement = 0xFFFD;
constexpr int kMaxWord = 32;        // letters of a control word
constexpr int kMaxDigits = 10;      // digits of a parameter
constexpr long kParamLimit = 1000000000;

struct state {
  int font = -1;
  double size = 12;
  int color = 0;  // index in the colour table, 0 = automatic
  bool bold = false, italic = false, underline = false;
  int script = 0;
  int skip = 0;  // 1: the group's text is not shown
  int uc = 1;    // characters to skip after \u
  enum { kText, kFontTable, kColorTable } dest = kText;
};

struct reader {
  const unsigned char* p;
  const unsigned char* end;
  rtf_document doc;
  std::vector<state> stack;
  int extra_depth = 0;  // groups opened past kRtfMaxDepth
  state cur;
  bool mac = false;
  std::map<int, std::string> fonts;
  int font_number = -1;
  std::string font_name;
  std::vector<uint32_t> colors;
  bool color_defined = false;
  uint32_t rgb[3] = {0, 0, 0};
  int pending_skip = 0;  // fallback characters still to drop after \u

  char16_t decode(unsigned char byte) const {
    if (byte < 0x80) return byte;
    if (mac) return static_cast<char16_t>(mac_roman_to_unicode(byte));
    if (byte < 0xA0) return kCp1252High[byte - 0x80];
    return byte;
  }

  void emit(char16_t c) {
    if (pending_skip > 0) {
      --pending_skip;
      return;
    }
    if (cur.dest == state::kFontTable) {
      if (c == ';') {
        if (font_number >= 0 && !fonts.count(font_number)) fonts[font_number] = font_name;
        font_name.clear();
      } else if (font_name.size() < 128) {
        font_name += static_cast<char>(c < 0x80 ? c : '?');
      }
      return;
    }
    if (cur.dest == state::kColorTable) {
      if (c == ';' && colors.size() < 4096) {
        colors.push_back(color_defined ? (rgb[0] << 16 | rgb[1] << 8 | rgb[2]) : 0);
        color_defined = false;
        rgb[0] = rgb[1] = rgb[2] = 0;
      }
      return;
    }
    if (cur.skip) return;
    rtf_run want;
    auto f = fonts.find(cur.font);
    want.font = f != fonts.end() ? f->second : std::string();
    want.size = cur.size;
    if (cur.color > 0 && static_cast<size_t>(cur.color) < colors.size()) {
      want.has_color = true;
      want.color = colors[static_cast<size_t>(cur.color)];
    }
    want.bold = cur.bold;
    want.italic = cur.italic;
    want.underline = cur.underline;
    want.script = cur.script;
    if (!doc.runs.empty()) {
      rtf_run& last = doc.runs.back();
      if (last.font == want.font && last.size == want.size && last.has_color == want.has_color &&
          last.color == want.color && last.bold == want.bold && last.italic == want.italic &&
          last.underline == want.underline && last.script == want.script) {
        last.text.push_back(c);
        return;
      }
    }
    want.text.push_back(c);
    doc.runs.push_back(std::move(want));
  }

  void open_group() {
    if (static_cast<int>(stack.size()) >= kRtfMaxDepth) {
      ++extra_depth;
      return;
    }
    stack.push_back(cur);
  }

  void close_group() {
    if (extra_depth > 0) {
      --extra_depth;
      return;
    }
    if (cur.dest == state::kFontTable && font_number >= 0 && !font_name.empty() && !fonts.count(font_number))
      fonts[font_number] = font_name;
    if (stack.empty()) return;  // unbalanced: keep the outer state
    const bool was_font_entry = cur.dest == state::kFontTable;
    cur = stack.back();
    stack.pop_back();
    if (was_font_entry) font_name.clear();
    pending_skip = 0;
  }

  // A destination whose text is not shown.
  static bool hidden_destination(const std::string& w) {
    static const char* const kHidden[] = {"stylesheet", "info",     "pict",      "header",    "footer",
                                          "headerl",    "headerr",  "footerl",   "footerr",   "object",
                                          "fldinst",    "themedata", "colorschememapping", "listtable",
                                          "listoverridetable", "rsidtbl", "generator", "xmlnstbl",
                                          "latentstyles", "datastore", "footnote", "bkmkstart", "bkmkend",
                                          "nonshppict", "filetbl", "revtbl", "pgdsctbl", "expandedcolortbl",
                                          "panose", "falt"};
    for (const char* h : kHidden)
      if (w == h) return true;
    return false;
  }

  void control(const std::string& w, bool has_param, long param, bool ignorable_group) {
    const long n = has_param ? param : 1;
    if (w == "rtf") doc.is_rtf = true;
    else if (w == "mac") mac = true;
    else if (w == "ansi" || w == "pc" || w == "pca") mac = false;
    else if (w == "ansicpg") mac = has_param && param == 10000;
    else if (w == "fonttbl") cur.dest = state::kFontTable;
    else if (w == "colortbl") {
      // Entries end with ';'; the first, usually empty, is the automatic
      // colour.
      cur.dest = state::kColorTable;
      colors.clear();
    } else if (w == "f") {
      if (cur.dest == state::kFontTable) {
        font_number = has_param ? static_cast<int>(param) : -1;
        font_name.clear();
      } else {
        cur.font = has_param ? static_cast<int>(param) : -1;
      }
    } else if (w == "fs") cur.size = has_param && param > 0 && param <= 3276 ? param / 2.0 : 12;
    else if (w == "cf") cur.color = has_param && param >= 0 && param < 4096 ? static_cast<int>(param) : 0;
    else if (w == "red") rgb[0] = static_cast<uint32_t>(std::clamp<long>(n, 0, 255)), color_defined = true;
    else if (w == "green") rgb[1] = static_cast<uint32_t>(std::clamp<long>(n, 0, 255)), color_defined = true;
    else if (w == "blue") rgb[2] = static_cast<uint32_t>(std::clamp<long>(n, 0, 255)), color_defined = true;
    else if (w == "b") cur.bold = n != 0;
    else if (w == "i") cur.italic = n != 0;
    else if (w == "ul") cur.underline = n != 0;
    else if (w == "ulnone") cur.underline = false;
    else if (w == "super") cur.script = 1;
    else if (w == "sub") cur.script = -1;
    else if (w == "nosupersub") cur.script = 0;
    else if (w == "up") cur.script = n > 0 ? 1 : 0;
    else if (w == "dn") cur.script = n > 0 ? -1 : 0;
    else if (w == "plain") {
      cur.bold = cur.italic = cur.underline = false;
      cur.script = 0;
      cur.size = 12;
      cur.font = -1;
    } else if (w == "uc") cur.uc = static_cast<int>(std::clamp<long>(n, 0, 16));
    else if (w == "u") {
      if (!has_param) return;
      // A UTF-16 unit, written signed past 32767. A number no unit has, or
      // a control character (a NUL would cut the text), is the
      // replacement character; the fallback is dropped either way.
      long v = param;
      if (v < 0) v += 65536;
      const bool valid = v >= 0 && v <= 0xFFFF && (v >= 0x20 || v == '\t' || v == '\n');
      emit(valid ? static_cast<char16_t>(v) : kReplacement);
      pending_skip = cur.uc;
    } else if (w == "par" || w == "line" || w == "sect" || w == "page") emit(u'\n');
    else if (w == "tab") emit(u'\t');
    else if (w == "emdash") emit(0x2014);
    else if (w == "endash") emit(0x2013);
    else if (w == "lquote") emit(0x2018);
    else if (w == "rquote") emit(0x2019);
    else if (w == "ldblquote") emit(0x201C);
    else if (w == "rdblquote") emit(0x201D);
    else if (w == "bullet") emit(0x2022);
    else if (w == "bin") {
      // Binary data: skipped, never past the end of the block.
      const long len = has_param && param > 0 ? param : 0;
      const size_t left = static_cast<size_t>(end - p);
      p += std::min(static_cast<size_t>(len), left);
    } else if (hidden_destination(w) || ignorable_group) {
      cur.dest = state::kText;
      cur.skip = 1;
    }
  }

  void run() {
    bool group_start = false;  // the previous token opened a group
    bool ignorable = false;    // the group began with \*
    while (p < end) {
      const unsigned char c = *p++;
      if (c == '{') {
        open_group();
        group_start = true;
        ignorable = false;
        continue;
      }
      if (c == '}') {
        close_group();
        group_start = false;
        continue;
      }
      if (c == '\r' || c == '\n') continue;
      if (c != '\\') {
        emit(decode(c));
        group_start = false;
        continue;
      }
      if (p >= end) break;
      const unsigned char d = *p;
      if (d == '\'') {
        ++p;
        if (end - p < 2) {
          p = end;  // a hex escape cut at the end
          break;
        }
        auto hex = [](unsigned char h) -> int {
          if (h >= '0' && h <= '9') return h - '0';
          if (h >= 'a' && h <= 'f') return h - 'a' + 10;
          if (h >= 'A' && h <= 'F') return h - 'A' + 10;
          return -1;
        };
        const int hi = hex(p[0]), lo = hex(p[1]);
        p += 2;
        if (hi >= 0 && lo >= 0) emit(decode(static_cast<unsigned char>(hi * 16 + lo)));
        group_start = false;
        continue;
      }
      if (d == '*') {
        ++p;
        if (group_start) ignorable = true;
        continue;
      }
      if (!((d >= 'a' && d <= 'z') || (d >= 'A' && d <= 'Z'))) {
        ++p;
        if (d == '\\' || d == '{' || d == '}') emit(d);
        else if (d == '~') emit(0x00A0);
        else if (d == '-' || d == '_') emit(d == '_' ? 0x2011 : 0x00AD);
        else if (d == '\r' || d == '\n') emit(u'\n');
        group_start = false;
        continue;
      }
      std::string word;
      while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))) {
        if (static_cast<int>(word.size()) < kMaxWord) word.push_back(static_cast<char>(*p));
        ++p;
      }
      bool negative = false, has_param = false;
      long param = 0;
      if (p < end && *p == '-') {
        negative = true;
        ++p;
      }
      int digits = 0;
      while (p < end && *p >= '0' && *p <= '9') {
        if (digits < kMaxDigits) param = param * 10 + (*p - '0');
        ++digits;
        ++p;
        has_param = true;
      }
      param = std::min(param, kParamLimit);
      if (negative) param = -param;
      if (p < end && *p == ' ') ++p;
      // An overlong word is no word this reader knows: it only hides its
      // group when the group asked for it.
      if (static_cast<int>(word.size()) >= kMaxWord) word.clear();
      control(word, has_param, param, ignorable && group_start);
      group_start = false;
    }
  }
};

}  // namespace

std::u16string rtf_document::plain() const {
  std::u16string out;
  for (const rtf_run& r : runs) out += r.text;
  return out;
}

rtf_document read_rtf(const char* data, size_t size) {
  reader r;
  r.p = reinterpret_cast<const unsigned char*>(data);
  r.end = r.p + (data ? size : 0);
  r.doc.is_rtf = size >= 5 && std::memcmp(data, "{\\rtf", 5) == 0;
  if (!r.doc.is_rtf) {
    // Not rich text: the bytes are shown as they are (Mac Roman).
    for (size_t i = 0; i < size; ++i) r.emit(static_cast<char16_t>(mac_roman_to_unicode(static_cast<unsigned char>(data[i]))));
    return r.doc;
  }
  r.run();
  // Escaped units of a character beyond 16 bits come in pairs; a half
  // without its other half is no character.
  for (rtf_run& run : r.doc.runs) {
    std::u16string& t = run.text;
    for (size_t i = 0; i < t.size(); ++i) {
      const bool high = t[i] >= 0xD800 && t[i] <= 0xDBFF, low = t[i] >= 0xDC00 && t[i] <= 0xDFFF;
      if (high && i + 1 < t.size() && t[i + 1] >= 0xDC00 && t[i + 1] <= 0xDFFF)
        ++i;
      else if (high || low)
        t[i] = kReplacement;
    }
  }
  // A document ends with a paragraph mark that shows nothing.
  if (!r.doc.runs.empty() && !r.doc.runs.back().text.empty() && r.doc.runs.back().text.back() == u'\n') {
    r.doc.runs.back().text.pop_back();
    if (r.doc.runs.back().text.empty()) r.doc.runs.pop_back();
  }
  return r.doc;
}
