// The question asked before a calculator export that leaves objects of the
// figure out.
#pragma once

#include <cstddef>
#include <vector>

struct object;

// Composes the question (the language's text of row 768), then a line for
// each of the first ten objects of `left_out`: its name followed by " => "
// when it has one, then its kind. "[...]" follows when `count` objects in
// all are left out and that is more than ten, or when the lines reach 256
// characters. The objects' own texts show their unit signs (cm², m³, °).
void compose_left_out_question(const std::vector<object*>& left_out, size_t count);
