#include <QWidget>
#include <gtest/gtest.h>

#include "app/shell/untitled_window.h"

TEST(UntitledWindow, OpensTitledAfterAnUntitledFigure) {
  QWidget* w = kelvo::open_untitled_window();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Untitled 1"));
  w->close();
}
