// End to end: what deletion leaves, the order a text takes after what it
// quotes, and taking back a tool's last pick.
// - A text showing two lengths goes with the segment of one of them: the
//   other length stays, shown by itself where the text showed it, a number
//   like any other (framed when selected, hidden by Hide/Show, saved as a
//   free-standing number).
// - A comment written first and given a length measured later keeps that
//   length once the figure is saved and opened again.
// - A point taken back with Backspace from the Perpendicular tool is
//   offered to the tool again at once.
#include <QFile>

#include <string>

#include "app/support/figure_test.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/tool_state.h"

namespace {

class EndToEndDeletionOrder : public FigureTest {
 protected:
  // The saved figure's record of the object numbered n (its first line).
  static std::string recordLine(const QByteArray& saved, uint32_t n) {
    const std::string text = saved.toStdString();
    const std::string head = "\r\n" + std::to_string(n) + ": ";
    const size_t at = text.find(head);
    if (at == std::string::npos) return {};
    const size_t end = text.find("\r\n", at + 2);
    return text.substr(at + 2, end - at - 2);
  }

  QByteArray saveAs(const QString& name) {
    const QString path = dir.filePath(name);
    KPDocument::setSavePanelResponder([path](const QString&) { return path; });
    EXPECT_TRUE(clickMenuItem(KPDocument::currentDocument()->figureWindow()->menuBar(), QStringLiteral("File"),
                              QStringLiteral("Save")));
    spin(20);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  }
};

TEST_F(EndToEndDeletionOrder, ANumberLeftByADeletedTextStandsAlone) {
  // Two segments, their lengths, and one text showing both lengths (the
  // lengths have no text of their own).
  KPFigureView* view = openFigureAtResolution("two_lengths.fig", [](double ppc) {
    auto cm = [ppc](double px) { return std::to_string(px / ppc); };
    std::string s;
    s += "3: Pt, Val: " + cm(-150) + " " + cm(100) + "\r\n\r\n";
    s += "4: Pt, Val: " + cm(-50) + " " + cm(100) + "\r\n\r\n";
    s += "5: Seg, Const: 3, 4, \r\n\r\n";
    s += "6: Pt, Val: " + cm(-150) + " " + cm(0) + "\r\n\r\n";
    s += "7: Pt, Val: " + cm(-50) + " " + cm(0) + "\r\n\r\n";
    s += "8: Seg, Const: 6, 7, \r\n\r\n";
    s += "9: Lgth, Const: 5, Val: 60 -100 100, A, P, \r\nNbD:2, FD, cm, \r\n\r\n";
    s += "10: Lgth, Const: 8, Val: 150 -100 100, A, P, \r\nNbD:2, FD, cm, \r\n\r\n";
    s += "11: Text, Const: 9, 10, inc.elmts: 9, 10, Val: 60 -100 0, nA, nP, \r\n\"a = \"#\" b = \"#\"\r\n";
    s += "TP: " + cm(60) + ", " + cm(100) + ", TS: " + cm(200) + ", " + cm(20) + "\r\n\r\n";
    return s;
  });
  ASSERT_NE(view, nullptr);
  kelvo_win_info* fig = view->info();
  const auto lengths = objectsOf(fig, &classe_length);
  const auto texts = objectsOf(fig, &classe_text);
  ASSERT_EQ(lengths.size(), 2u);
  ASSERT_EQ(texts.size(), 1u);
  ASSERT_EQ(texts[0]->nbparents, 2);
  object* kept = lengths[1];
  ASSERT_NE(kept->aux2 & 2, 0u) << "the length is not read as shown in the text";

  // The first segment selected with the pointer and deleted.
  chooseTool(view, nullptr);
  click(view, viewPointOf(view, -100, -100));
  ASSERT_EQ(objlist_count(fig->selection), 1);
  ASSERT_EQ(fig->selection->items[0]->classe, &classe_segment);
  QTest::keyClick(view, Qt::Key_Backspace);
  spin(30);
  fig = view->info();
  EXPECT_TRUE(objectsOf(fig, &classe_text).empty()) << "the text went with one of its lengths";
  ASSERT_EQ(objectsOf(fig, &classe_length).size(), 1u) << "the other length went with the text";
  ASSERT_EQ(objectsOf(fig, &classe_length)[0], kept);
  EXPECT_EQ(kept->aux2 & 6, 0u) << "the length still counts as shown in a text";
  ASSERT_NE(kept->te, nullptr);
  EXPECT_GT(inkNear(shown(view), frameCentre(view, kept), 6), 0) << "the length is not shown";

  // Hide/Show takes it like any number.
  pickFromPalette(find_tool_id_by_name(toolbar_table[ROW_HIDE_SHOW - 1].name));
  click(view, frameCentre(view, kept));
  EXPECT_EQ(kept->settings.visible, 0) << "Hide/Show refuses the length";
  click(view, frameCentre(view, kept));
  EXPECT_EQ(kept->settings.visible, 1);
  pickFromPalette(kPointerTool);

  const QByteArray saved = saveAs(QStringLiteral("left.fig"));
  const std::string line = recordLine(saved, kept->num);
  EXPECT_NE(line.find("Lgth"), std::string::npos) << saved.constData();
  EXPECT_NE(line.find(", nA,"), std::string::npos) << "saved as shown in a text: " << line;
}

TEST_F(EndToEndDeletionOrder, ACommentQuotingALaterLengthKeepsItThroughSaveAndReopen) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  // The comment first.
  pickFromPalette(&classe_text);
  drag(view, QPoint(350, 80), QPoint(550, 120));
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClicks(editor, "L = ");
  pickFromPalette(kPointerTool);
  const auto comments = objectsOf(view->info(), &classe_text);
  ASSERT_EQ(comments.size(), 1u);
  object* comment = comments[0];

  // Then a length, put into the comment while it is written again.
  object* length = measuredSegment(view);
  ASSERT_NE(length, nullptr);
  object* shown_length = textShowing(view->info(), length);
  ASSERT_NE(shown_length, nullptr);
  ASSERT_LT(comment->num, length->num);
  pickFromPalette(&classe_text);
  click(view, frameCentre(view, comment));
  spin(20);
  ASSERT_EQ(view->info()->cur_text, comment);
  editor = QApplication::focusWidget();
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_End);
  click(view, frameCentre(view, shown_length));
  spin(20);
  pickFromPalette(kPointerTool);
  ASSERT_EQ(textShowing(view->info(), length, shown_length), comment) << "the length is not in the comment";
  EXPECT_GT(comment->num, shown_length->num) << "the comment still comes before what it quotes";

  const QByteArray saved = saveAs(QStringLiteral("quoting.fig"));
  closeAll();
  KPDocument* reopened = KPDocument::openDocument(dir.filePath(QStringLiteral("quoting.fig")));
  KPFigureView* again = reopened ? reopened->figureView() : nullptr;
  ASSERT_TRUE(again && waitForView(again));
  const auto read_lengths = objectsOf(again->info(), &classe_length);
  ASSERT_EQ(read_lengths.size(), 1u) << saved.constData();
  int quoting = 0;
  for (object* t : objectsOf(again->info(), &classe_text))
    for (insert_object* n = t->inserted; n; n = n->next) quoting += n->obj == read_lengths[0];
  EXPECT_EQ(quoting, 2) << "the comment lost the length on reopening:\n" << saved.constData();
}

TEST_F(EndToEndDeletionOrder, APointTakenBackIsOfferedToTheToolAgain) {
  KPFigureView* view = openView();
  ASSERT_NE(view, nullptr);
  object* base = segment(view, QPoint(100, 300), QPoint(300, 300));
  ASSERT_NE(base, nullptr);
  chooseTool(view, nullptr);
  const size_t points = objectsOf(view->info(), &classe_point).size();

  pickFromPalette(&classe_perpendiculaire);
  click(view, QPoint(100, 300));
  ASSERT_EQ(objlist_count(view->info()->inputs), 1) << "the point was not taken";
  QTest::keyClick(view, Qt::Key_Backspace);
  spin(20);
  EXPECT_EQ(objlist_count(view->info()->inputs), 0) << "Backspace did not take the point back";

  // The point is designated again, and taken: the perpendicular goes
  // through it, with no new point.
  moveTo(view, QPoint(100, 300));
  ASSERT_NE(picked.items, nullptr);
  ASSERT_NE(picked.items[0], nullptr) << "nothing is designated over the point";
  EXPECT_EQ(picked.items[0]->classe, &classe_point);
  click(view, QPoint(100, 300));
  click(view, QPoint(200, 300));
  const auto perpendiculars = objectsOf(view->info(), &classe_perpendiculaire);
  ASSERT_EQ(perpendiculars.size(), 1u);
  EXPECT_EQ(objectsOf(view->info(), &classe_point).size(), points);
  EXPECT_EQ(perpendiculars[0]->parents[0]->classe, &classe_point);
}

}  // namespace
