// The preferences window: a modal panel with the six pages of the kernel's
// preferences dialog, each page a widget whose controls carry the kernel's
// identifiers and whose changes are sent to the page's procedure.
#pragma once

#include <functional>

class QDialog;

// Builds the window, runs it modally and answers its result (1 OK, 0
// Cancel or closed).
int run_preferences_window();

// Called with the window once its pages are initialised and before it runs;
// tests drive it from here (null removes the observer).
void set_preferences_window_observer(std::function<void(QDialog*)> observer);

// The font dialog of the font buttons; tests answer it (null: the platform's
// font dialog). Answers whether a font was chosen.
class QFont;
void set_preferences_font_chooser(std::function<bool(QFont*)> chooser);
