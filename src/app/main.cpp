#include <QApplication>

#include "app/shell/untitled_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kelvo Nova"));
  kelvo::open_untitled_window();
  return QApplication::exec();
}
