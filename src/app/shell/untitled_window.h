// The figure window shown at launch until the document layer owns it.
#pragma once

class QWidget;

namespace kelvo {
// Opens one empty figure window titled after an untitled figure.
QWidget* open_untitled_window();
}  // namespace kelvo
