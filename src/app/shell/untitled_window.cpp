#include "app/shell/untitled_window.h"

#include <QMainWindow>

namespace kelvo {

QWidget* open_untitled_window() {
  auto* window = new QMainWindow;
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QStringLiteral("Untitled 1"));
  window->resize(800, 600);
  window->show();
  return window;
}

}  // namespace kelvo
