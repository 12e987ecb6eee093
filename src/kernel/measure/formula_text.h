// Formula texts between the user's separators and the C form files carry.
#pragma once

// In place: a decimal separator between digits becomes "." and the list
// separator ";" becomes ","; nothing when the decimal separator is ".".
// Returns 0.
int convert_formula_to_c_locale(char* formula);
