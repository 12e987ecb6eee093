// Figure files opened with File > Open as a user does: a file cut inside a
// record or damaged in its middle opens with the objects of the records
// before the damage, as a new figure, and says where the reading stopped;
// a table saved in the older edition's format is drawn again when opened.
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/document/kp_document.h"
#include "app/shell/figure_window.h"
#include "app/support/figure_test.h"
#include "app/view/kp_figure_view.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/model/classes.h"
#include "kernel/model/figure.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/text_record.h"
#include "platform/kp_dialog.h"
#include "platform/kp_file_accessories.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"

namespace {

using namespace std::string_literals;

class EndToEndDamagedFiles : public FigureTest {
 protected:
  void TearDown() override {
    kp_set_file_chooser({});
    KPDocument::setOpenPanelResponder({});
    KPDocument::setSavePanelResponder({});
    KPDocument::setClosePromptResponder({});
    closeAll();
    FigureTest::TearDown();
  }

  static QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static void writeAll(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }

  // File > Open of the current window, the open panel answered with path;
  // the document that opened, or null.
  static KPDocument* openWithTheMenu(const QString& path) {
    KPDocument* before = KPDocument::currentDocument();
    KPDocument::setOpenPanelResponder([path](const QString&) { return path; });
    const bool clicked =
        clickMenuItem(before->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Open"));
    KPDocument::setOpenPanelResponder({});
    EXPECT_TRUE(clicked);
    spin(50);
    KPDocument* opened = KPDocument::currentDocument();
    if (opened == nullptr || opened == before || opened->figureView() == nullptr) return nullptr;
    return waitForView(opened->figureView()) ? opened : nullptr;
  }

  // The segment of a view's figure drawn: ink at its middle.
  static int inkAtMiddle(KPFigureView* view, const object* segment) {
    const object* a = segment->parents[0];
    const object* b = segment->parents[1];
    const QPoint middle = viewPointOf(view, (a->valeurs[0].h + b->valeurs[0].h) / 2,
                                      (a->valeurs[0].v + b->valeurs[0].v) / 2);
    return inkNear(shown(view), middle);
  }
};

TEST_F(EndToEndDamagedFiles, ACutOrDamagedFileOpensWithTheObjectsBeforeTheDamageAsANewFigure) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  ASSERT_NE(segment(view, QPoint(120, 200), QPoint(320, 240)), nullptr);
  pickFromPalette(kPointerTool);
  const QString whole_path = dir.filePath(QStringLiteral("whole.fig"));
  ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(whole_path));
  const std::string whole = readAll(whole_path).toStdString();
  ASSERT_NE(whole.find("Seg, Const:"), std::string::npos) << whole;
  // The line where a record added after the last one starts.
  int lines = 1;
  for (char c : whole) lines += c == '\n';

  struct Case {
    const char* name;
    std::string text;
    std::string where;
  } cases[] = {
      {"cut.fig", whole + "99: Seg, Const: 3,", "the file ends inside a record, at line " + std::to_string(lines)},
      {"nul.fig", whole + "\0\0garbage\r\n\r\n99: Pt, Val: 1 1\r\n\r\n"s,
       "the file holds a NUL byte at line " + std::to_string(lines)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = dir.filePath(QString::fromLatin1(c.name));
    writeAll(path, c.text);
    messages().clear();
    KPDocument* doc = openWithTheMenu(path);
    ASSERT_NE(doc, nullptr) << "the file did not open";
    KPFigureView* opened = doc->figureView();
    // The message says what was not read, and where.
    ASSERT_EQ(messages().size(), 1) << messages().join('\n').toStdString();
    EXPECT_TRUE(messages()[0].contains(QStringLiteral("could not be read to its end")))
        << messages()[0].toStdString();
    EXPECT_TRUE(messages()[0].contains(QString::fromStdString(c.where))) << messages()[0].toStdString();
    // The objects before the damage, drawn; nothing of what follows it.
    const std::vector<object*> segments = objectsOf(opened->info(), &classe_segment);
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_GT(inkAtMiddle(opened, segments[0]), 0) << "the segment is not drawn";
    for (const object* o = opened->info()->first; o != nullptr; o = o->next) EXPECT_LT(o->num, 99u);
    // A new figure: not named after the file, and Save asks where.
    EXPECT_FALSE(doc->figureWindow()->windowTitle().startsWith(QString::fromLatin1(c.name)))
        << doc->figureWindow()->windowTitle().toStdString();
    int asked = 0;
    const QString other = dir.filePath(QStringLiteral("kept_") + QString::fromLatin1(c.name));
    KPDocument::setSavePanelResponder([&asked, other](const QString&) {
      ++asked;
      return other;
    });
    ASSERT_TRUE(clickMenuItem(doc->figureWindow()->menuBar(), QStringLiteral("File"), QStringLiteral("Save")));
    spin(20);
    KPDocument::setSavePanelResponder({});
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readAll(path).toStdString(), c.text) << "the damaged file was written over";
    EXPECT_NE(readAll(other).indexOf("Seg, Const:"), -1);
  }
}

TEST_F(EndToEndDamagedFiles, ATableSavedInTheOlderFormatIsDrawnWhenOpenedAgain) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* text = textShowing(view->info(), length);
  ASSERT_NE(text, nullptr);
  pickFromPalette(&classe_table);
  drag(view, QPoint(350, 60), QPoint(550, 220));
  std::vector<object*> tables = objectsOf(view->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  click(view, frameCentre(view, text));
  ASSERT_EQ(tables[0]->nbparents, 2);
  pickFromPalette(kPointerTool);
  spin(20);
  const QRect frame = frameOf(view, tables[0]);
  const QImage before = shown(view);
  ASSERT_GT(inkNear(before, frame.topLeft() + QPoint(1, 1), 3), 0) << "the table is not drawn to begin with";

  // Saved with the older format's box of the save panel checked.
  const QString path = dir.filePath(QStringLiteral("older_table.fig"));
  bool boxed = false;
  KPDocument::setSavePanelResponder({});
  kp_set_file_chooser([path, &boxed](const KPFileDialogRequest&) -> std::optional<std::string> {
    if (NSAccessorySaveOptions* accessory = save_accessory())
      for (QCheckBox* box : accessory->findChildren<QCheckBox*>()) {
        int id = 0;
        if (!kp_item_id(box, &id) || id != kOptOlderFormat) continue;
        box->click();
        boxed = box->isChecked();
      }
    return path.toStdString();
  });
  ASSERT_TRUE(KPDocument::currentDocument()->saveDocumentAs());
  kp_set_file_chooser({});
  ASSERT_TRUE(boxed);
  const QByteArray saved = readAll(path);
  ASSERT_TRUE(saved.startsWith("FIGURE KelvoDuo vers.")) << saved.constData();
  ASSERT_NE(saved.indexOf(": Table, "), -1) << saved.constData();

  // Opened again with File > Open from a copy: the saved file itself is still open in its window, and
  // opening it again would only bring that window forward.
  const QString copy = dir.filePath(QStringLiteral("older_table_copy.fig"));
  ASSERT_TRUE(QFile::copy(path, copy));
  messages().clear();
  KPDocument* doc = openWithTheMenu(copy);
  ASSERT_NE(doc, nullptr);
  EXPECT_TRUE(messages().isEmpty()) << messages().join('\n').toStdString();
  KPFigureView* again = doc->figureView();
  tables = objectsOf(again->info(), &classe_table);
  ASSERT_EQ(tables.size(), 1u);
  EXPECT_NE(object_effective_color(tables[0]), again->info()->bgcolor) << "drawn in the background colour";
  const QImage after = shown(again);
  const QRect reopened = frameOf(again, tables[0]);
  int ink = 0;
  for (int x = reopened.left(); x <= reopened.right(); x += 4) ink += inkNear(after, QPoint(x, reopened.top()), 1);
  EXPECT_GT(ink, 0) << "the table's frame is not drawn";
}

}  // namespace

namespace {

// The message that a damaged file was read only in part is modal and
// stands in front of the window the file opens in, the window it is about.
TEST_F(EndToEndDamagedFiles, TheMessageAboutADamagedFileStandsModalBeforeItsWindow) {
  const QString path = dir.filePath(QStringLiteral("damaged.fig"));
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  drawSegment(view, QPoint(100, 100), QPoint(200, 150));
  ASSERT_TRUE(KPDocument::currentDocument()->writeToURL(path));
  writeAll(path, readAll(path).toStdString() + "99: Seg, Const: 3,");
  closeAll();
  ASSERT_NE(openView(), nullptr);

  // The box itself, as the user sees it: who it stands before, then OK.
  KPDialog::setMessageBoxResponder({});
  QPointer<QWidget> owner;
  bool modal = false;
  QString text;
  QTimer poll;
  int tries = 0;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box && ++tries < 1500) return;
    poll.stop();
    ASSERT_NE(box, nullptr) << "no message box";
    owner = box->parentWidget();
    modal = box->isModal() && box->windowModality() == Qt::ApplicationModal;
    text = box->text();
    QTest::mouseClick(box->defaultButton(), Qt::LeftButton);
  });
  poll.start();
  openWithTheMenu(path);
  poll.stop();
  // The box answered, the user is back in the figure's window.
  ASSERT_FALSE(KPDocument::liveDocuments().empty());
  KPDocument* opened = KPDocument::liveDocuments().back();
  make_main_window(opened->figureWindow());
  EXPECT_TRUE(waitForView(opened->figureView()));
  EXPECT_TRUE(text.contains(QStringLiteral("could not be read to its end"))) << text.toStdString();
  EXPECT_TRUE(modal);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(owner.data(), opened->figureWindow()) << "the box stands before another window";
}

}  // namespace
