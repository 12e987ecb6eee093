// A figure read from its file holds several small blocks per object: they
// must live exactly as long as their objects through editing, deleting,
// undoing, copying, pasting, closing and reopening, and the figure must
// write back the file it was read from.
#include <gtest/gtest.h>

#include <string>

#include "file_fixture.h"
#include "kernel/files/clipboard.h"
#include "kernel/files/figure_file.h"
#include "kernel/model/deletion.h"
#include "kernel/model/memory.h"
#include "kernel/model/object_store.h"
#include "kernel/model/undo.h"

namespace {

class FigureRecords : public FileTest {
 protected:
  // Groups of two points, their segment and their midpoint: enough objects
  // to fill several blocks of object records.
  void build_groups(int groups) {
    for (int g = 0; g < groups; ++g) {
      object* a = shown_point(10 + 7 * g, 20 + g);
      object* b = shown_point(300 - 3 * g, 60 + 2 * g);
      ASSERT_NE(make2(&classe_segment, 0, a, b), nullptr);
      ASSERT_NE(make2(&classe_milieu, 0, a, b), nullptr);
    }
  }
  std::string save() {
    EXPECT_EQ(txt_write_figure_file(), 1);
    return std::string(file_buffer, file_buffer_len);
  }
  // Closes the figure and opens the text in a new one, as the document does.
  void reopen(const std::string& text) {
    free_test_figure(KPGeoDocument::currentInfo());
    KPGeoDocument::setCurrentInfo(nullptr);
    new_figure_info();
    fig_ = KPGeoDocument::currentInfo();
    fig_->wflags |= WFLAG_UNDO_ENABLED;
    ASSERT_EQ(read_figure_file(text.data(), static_cast<uint32_t>(text.size()), path("figure.fig").c_str()), 1)
        << figure_file_error();
  }
  object* nth(uint32_t n) { return find_object_by_number(n); }
};

TEST_F(FigureRecords, AReadFigureLivesThroughEditingAndWritesItsFileAgain) {
  build_groups(60);
  const std::string original = save();

  reopen(original);
  EXPECT_EQ(fig_->nbobj, 2u + 240u);  // the origin and the axes come first
  EXPECT_EQ(save(), original);

  // Deleting a point takes its segment and midpoint; the undo copy keeps them.
  save_undo_state(0);
  delete_objects(nth(3));
  EXPECT_EQ(fig_->nbobj, 239u);
  const std::string deleted = save();
  EXPECT_NE(deleted, original);
  undo_swap_state();
  fig_ = KPGeoDocument::currentInfo();
  EXPECT_EQ(save(), original);
  undo_swap_state();
  fig_ = KPGeoDocument::currentInfo();
  EXPECT_EQ(save(), deleted);

  // New objects take the freed records and blocks and start clean.
  object* p = shown_point(33, 44);
  object* q = shown_point(55, 66);
  object* s = make2(&classe_segment, 0, p, q);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->parents[0], p);
  EXPECT_EQ(s->parents[1], q);
  EXPECT_EQ(s->associated, nullptr);
  EXPECT_EQ(s->inserted, nullptr);

  // A copy pasted back.
  objlist_clear(fig_->selection);
  objlist_add(fig_->selection, s, 0);
  const std::string records = clipboard_records_of_selection();
  object* last = last_object();
  paste_restart = 1;
  paste_object_records(records.data(), records.size());
  objlist_clear(fig_->selection);
  ASSERT_NE(last->next, nullptr);
  object* pasted_a = last->next;
  ASSERT_NE(pasted_a->next, nullptr);
  object* pasted_b = pasted_a->next;
  ASSERT_NE(pasted_b->next, nullptr);
  EXPECT_EQ(pasted_b->next->classe, &classe_segment);

  // Deleting the new points takes everything built on them: the figure is
  // the one after the first deletion again, and undo brings them back.
  save_undo_state(0);
  const uint32_t edited_count = fig_->nbobj;
  for (object* o : {pasted_b, pasted_a, q, p}) delete_objects(o);
  EXPECT_EQ(fig_->nbobj, 239u);
  EXPECT_EQ(save(), deleted);
  undo_swap_state();
  fig_ = KPGeoDocument::currentInfo();
  EXPECT_EQ(fig_->nbobj, edited_count);
  const std::string edited = save();

  // Closed and opened again, the edited figure is the same to the byte.
  reopen(edited);
  EXPECT_EQ(save(), edited);
  reopen(original);
  EXPECT_EQ(save(), original);
  // The fixture's end proves that every block went back exactly once.
}

}  // namespace
