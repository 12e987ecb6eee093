// The application started once for the shell tests (offscreen), with the
// installed English language, message boxes and the close prompt scripted.
#pragma once

class KPFigureView;
class QMenuBar;

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#include "app/document/kp_document.h"
#include "app/shell/application.h"

class ShellTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs the event loop for a while so that posted work and timers run.
  static void spin(int milliseconds = 30);
  // Runs the event loop until `done` holds; false when it still does not
  // after `limit_ms`. A test waits for what it expects this way, never for a
  // fixed time: a busy machine takes longer, and the limit leaves it room.
  static bool waitUntil(const std::function<bool()>& done, int limit_ms = 30000);
  // Processes events until the view is placed and its figure is the current
  // one (at most half a minute, so a loaded machine does not fail a test).
  static bool waitForView(KPFigureView* view);
  // Closes every document without asking.
  static void closeAll();
  // Clicks, with the mouse as a user does, the title of the menu bar's menu
  // `menu` and then the item of that menu whose text is `item`, or else the
  // last one whose text begins with it (ampersands ignored). False when
  // either is missing or disabled.
  static bool clickMenuItem(QMenuBar* bar, const QString& menu, const QString& item);

  // Lives for the test: a timer a test starts with it as its context (a
  // single shot waiting for a menu, say) ends with the test.
  static QObject* scope();

  static DUVirIdazididovi* app();
  static QStringList& messages();  // texts of the message boxes shown
  static int& closeAnswer();       // the answer to the unsaved-changes prompt
  static int& closePrompts();
  QTemporaryDir dir;
};
