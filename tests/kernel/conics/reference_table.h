// Reads the reference tables kept in tests/data/conics: one case a line,
// fields separated by " | ", each field a list of numbers (a leading word,
// such as a conic's kind, is kept apart). Lines starting with '#' are notes.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct reference_case {
    std::string word;                         // leading word, if any
    std::vector<std::vector<double>> fields;  // numbers of each field
    int line = 0;
};

inline std::vector<reference_case> read_reference_table(const std::string& name)
{
    std::vector<reference_case> cases;
    std::ifstream in(std::string(KELVO_TEST_DATA) + "/conics/" + name);
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        if (text.empty() || text[0] == '#') continue;
        reference_case c;
        c.line = line;
        size_t start = 0;
        for (;;) {
            size_t bar = text.find(" | ", start);
            std::string part = text.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
            std::istringstream fs(part);
            fs.imbue(std::locale::classic());
            std::vector<double> numbers;
            std::string token;
            while (fs >> token) {
                if (c.fields.empty() && numbers.empty() && c.word.empty() &&
                    !(isdigit(static_cast<unsigned char>(token[0])) || token[0] == '-' || token[0] == '.')) {
                    c.word = token;
                    continue;
                }
                numbers.push_back(std::stod(token));
            }
            c.fields.push_back(numbers);
            if (bar == std::string::npos) break;
            start = bar + 3;
        }
        cases.push_back(c);
    }
    return cases;
}
