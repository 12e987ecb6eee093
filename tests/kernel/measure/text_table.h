// Reads the tab-separated tables of tests/data/measure: one case a line,
// lines starting with '#' are notes.
#pragma once

#include <charconv>
#include <fstream>
#include <string>
#include <vector>

struct text_case {
  std::vector<std::string> fields;
  int line = 0;
};

inline std::vector<text_case> read_text_table(const std::string& name) {
  std::vector<text_case> cases;
  std::ifstream in(std::string(KELVO_TEST_DATA) + "/measure/" + name);
  std::string text;
  int line = 0;
  while (std::getline(in, text)) {
    ++line;
    if (text.empty() || text[0] == '#') continue;
    text_case c;
    c.line = line;
    size_t start = 0;
    for (;;) {
      const size_t tab = text.find('\t', start);
      c.fields.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    cases.push_back(c);
  }
  return cases;
}

// A number of a table, read in the C form.
inline double table_number(const std::string& s) {
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}
