// The preferences saved to a file from the Preferences window come back
// when the user opens that file with File > Open: red lines exported, the
// colour changed, the file opened, new lines red again.
#include <QDialog>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/prefs/preferences_window.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "kernel/prefs/default_attrs.h"
#include "kernel/prefs/preferences.h"
#include "kernel/prefs/prefs_dialog.h"
#include "kernel/render/colors.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"

namespace {

class PreferencesFile : public FigureTest {
 protected:
  void SetUp() override {
    FigureTest::SetUp();
    read_preferences(&saved_, nullptr);
  }
  void TearDown() override {
    set_preferences_window_observer(nullptr);
    kp_set_file_chooser(nullptr);
    KPDocument::setOpenPanelResponder({});
    write_preferences(&saved_, nullptr);
    init_default_attrs(nullptr);
    FigureTest::TearDown();
  }
  static QMenuBar* bar() {
    KPDocument* doc = KPDocument::currentDocument();
    return doc && doc->figureWindow() ? doc->figureWindow()->menuBar() : nullptr;
  }
  static void setLinesColor(const char* name) {
    prefs_rec p{};
    read_preferences(&p, nullptr);
    p.kinds[1].color = color_by_name(name);
    write_preferences(&p, nullptr);
    init_default_attrs(nullptr);
  }
  prefs_rec saved_{};
};

}  // namespace

TEST_F(PreferencesFile, AFileSavedFromThePreferencesWindowOpensBackWithFileOpen) {
  ASSERT_NE(openView(), nullptr);
  setLinesColor("Red");
  const QString path = dir.filePath("mine.plist");

  // Edit > Preferences, "Save to File...", then Cancel.
  kp_set_file_chooser([path](const KPFileDialogRequest& request) {
    return request.save ? std::optional<std::string>(path.toStdString()) : std::nullopt;
  });
  bool saved = false;
  set_preferences_window_observer([&saved](QDialog* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>()) {
      if (b->text() == QStringLiteral("Save to File...")) {
        QTest::mouseClick(b, Qt::LeftButton);
        saved = true;
      }
    }
    for (QPushButton* b : window->findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("Cancel")) QTest::mouseClick(b, Qt::LeftButton);
  });
  ASSERT_TRUE(clickMenuItem(bar(), "Edit", "Preferences"));
  spin(20);
  ASSERT_TRUE(saved);
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray written = file.readAll();
  EXPECT_TRUE(written.contains("<key>Lines Color</key>")) << written.left(200).toStdString();
  EXPECT_TRUE(written.contains("<string>Red</string>"));

  setLinesColor("Blue");
  ASSERT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Blue"));

  KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
  ASSERT_TRUE(clickMenuItem(bar(), "File", "Open"));
  spin(20);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  EXPECT_EQ(KPDocument::liveDocuments().size(), 1u) << "preferences are not a document";
  EXPECT_EQ(default_attrs[ATTRS_LINE].settings.Color, color_by_name("Red"));
  prefs_rec now{};
  read_preferences(&now, nullptr);
  EXPECT_EQ(now.kinds[1].color, color_by_name("Red"));
}

// A name typed without an extension in the save dialog of Save to File...
// gets the extension of the one kind it writes: the file is a ".plist".
TEST_F(PreferencesFile, ABareNameIsSavedAsAPropertyList) {
  ASSERT_NE(openView(), nullptr);
  const QString bare = dir.filePath("mine");
  kp_set_file_chooser([bare](const KPFileDialogRequest& request) {
    return request.save ? std::optional<std::string>(bare.toStdString()) : std::nullopt;
  });
  set_preferences_window_observer([](QDialog* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("Save to File...")) QTest::mouseClick(b, Qt::LeftButton);
    for (QPushButton* b : window->findChildren<QPushButton*>())
      if (b->text() == QStringLiteral("Cancel")) QTest::mouseClick(b, Qt::LeftButton);
  });
  ASSERT_TRUE(clickMenuItem(bar(), "Edit", "Preferences"));
  spin(20);
  EXPECT_FALSE(QFile::exists(bare)) << "written without its extension";
  QFile file(bare + ".plist");
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("<key>Lines Color</key>"));
}
