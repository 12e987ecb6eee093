// Copy and paste of figure objects: what the records of a selection hold,
// how pasted objects land and relink, the flavours put on the clipboard and
// the in-memory BMP picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "file_fixture.h"
#include "kernel/files/clipboard.h"
#include "kernel/files/object_helpers.h"
#include "kernel/files/object_reader.h"
#include "kernel/files/object_writer.h"
#include "kernel/model/object_store.h"
#include "kernel/render/display_device.h"
#include "kernel/render/object_colors.h"
#include "kernel/text/rtf_writer.h"
#include "kernel/text/text_record.h"
#include "kernel/tools/selection.h"
#include "platform/kp_pasteboard.h"

namespace {

class Clipboard : public FileTest {
 protected:
  void TearDown() override {
    static_display = nullptr;
    moving_display = nullptr;
    selection_rect_shown = 0;
    paste_restart = 1;
    FileTest::TearDown();
  }

  void select(std::initializer_list<object*> objects) {
    objlist_clear(fig_->selection);
    for (object* o : objects) objlist_add(fig_->selection, o, 0);
  }

  static void set_text(object* o, const char* text) {
    ASSERT_NE(o->te, nullptr);
    GlobalFreeAndNull(&o->te->text);
    o->te->text = static_cast<char*>(GlobalAlloc(GPTR, static_cast<uint32_t>(std::strlen(text) + 1)));
    std::strcpy(o->te->text, text);
    o->te->length = static_cast<int32_t>(std::strlen(text));
    o->te->format.size = 12;
  }

  static void reference(object* text, object* target, int16_t number) {
    insert_object** tail = &text->inserted;
    while (*tail) tail = &(*tail)->next;
    auto* node = static_cast<insert_object*>(GlobalAlloc(GPTR, sizeof(insert_object)));
    node->obj = target;
    node->number = number;
    *tail = node;
  }

  object* number(double value_x, const char* text) {
    object* n = make(&classe_nombre, 0, {}, value_x, 30);
    if (n) set_text(n, text);
    return n;
  }

  // The objects after the figure's default objects, as a paste adds them.
  static std::vector<object*> objects_after(object* last) {
    std::vector<object*> out;
    for (object* o = last ? last->next : nullptr; o; o = o->next) out.push_back(o);
    return out;
  }

  static int count_records(const std::string& records) {
    int n = 0;
    for (size_t at = 0; (at = records.find(": ", at)) != std::string::npos; ++at) {
      size_t line = records.rfind('\n', at);
      line = line == std::string::npos ? 0 : line + 1;
      if (line < at && records.find_first_not_of("0123456789", line) == at) ++n;
    }
    return n;
  }
};

TEST_F(Clipboard, PointOnCircleAloneIsWrittenAsAFreePointAtItsPlace) {
  build_small_figure();
  object* circle = last_object();
  object* on = make(&classe_ptsur, 0, {{circle, 0}}, 200, 200);
  ASSERT_NE(on, nullptr);
  ASSERT_EQ(on->classe, &classe_ptsur);
  const valeur where = on->valeurs[0];
  select({on});
  const std::string records = clipboard_records_of_selection();
  EXPECT_EQ(records.rfind("1: Pt, ", 0), 0u) << records;
  EXPECT_EQ(count_records(records), 1) << records;

  object* before = last_object();
  paste_restart = 1;
  paste_dx = paste_dy = 0;
  paste_object_records(records.data(), records.size());
  const std::vector<object*> pasted = objects_after(before);
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_EQ(pasted[0]->classe, &classe_point);
  EXPECT_DOUBLE_EQ(pasted[0]->valeurs[0].h, where.h);
  EXPECT_DOUBLE_EQ(pasted[0]->valeurs[0].v, where.v);
}

TEST_F(Clipboard, SegmentAloneBringsItsEndsAndLeavesTheSelectionAsItWas) {
  build_small_figure();
  object* segment = c_->next;
  ASSERT_EQ(segment->classe, &classe_segment);
  select({segment});
  const std::string records = clipboard_records_of_selection();
  EXPECT_EQ(count_records(records), 3) << records;
  EXPECT_NE(records.find("3: Seg, "), std::string::npos) << records;
  ASSERT_EQ(objlist_count(fig_->selection), 1);
  EXPECT_EQ(fig_->selection->items[0], segment);
  // The figure's numbers are its own again.
  uint32_t n = 0;
  for (object* o = fig_->first; o; o = o->next) EXPECT_EQ(o->num, ++n);
}

TEST_F(Clipboard, TextBringsItsNumberWhichKeepsItsBitsOnlyWhenATextNeedsThem) {
  object* shown = number(10, "2");
  object* alone = number(40, "3");
  ASSERT_TRUE(shown && alone);
  shown->aux2 |= 2 | 4;
  alone->aux2 |= 2 | 4;
  object* text = make(&classe_text, 0, {}, 60, 60);
  ASSERT_NE(text, nullptr);
  set_text(text, "x = $1$");
  reference(text, shown, 1);
  select({text, alone});
  const std::string records = clipboard_records_of_selection();
  EXPECT_EQ(count_records(records), 3) << records;

  object* before = last_object();
  paste_object_records(records.data(), records.size());
  const std::vector<object*> pasted = objects_after(before);
  ASSERT_EQ(pasted.size(), 3u);
  EXPECT_EQ(pasted[0]->aux2 & 6, 6u) << "the number the text shows";
  EXPECT_EQ(pasted[1]->aux2 & 6, 0u) << "the number no text shows";
  ASSERT_NE(pasted[2]->inserted, nullptr);
  EXPECT_EQ(pasted[2]->inserted->obj, pasted[0]) << "the pasted text shows the pasted number";
}

TEST_F(Clipboard, RepeatedPastesShiftByFiveMoreEachTimeAndCopyRestarts) {
  object* a = shown_point(10, 20);
  select({a});
  copy_to_clipboard();
  std::vector<double> xs;
  for (int k = 0; k < 3; ++k) {
    object* before = last_object();
    paste_from_clipboard();
    const std::vector<object*> pasted = objects_after(before);
    ASSERT_EQ(pasted.size(), 1u);
    xs.push_back(std::round((pasted[0]->valeurs[0].h - 10) * 1e6) / 1e6);
    EXPECT_NEAR(pasted[0]->valeurs[0].v - 20, xs.back(), 1e-9);
    EXPECT_FALSE(pasted[0]->state & OBJ_NEW);
  }
  EXPECT_EQ(xs, (std::vector<double>{5, 10, 15}));
  select({a});
  copy_to_clipboard();
  object* before = last_object();
  paste_from_clipboard();
  EXPECT_NEAR(objects_after(before).at(0)->valeurs[0].h, 15, 1e-9);
}

TEST_F(Clipboard, CopyThenPasteGivesEqualObjectsMovedByTheOffset) {
  build_small_figure();
  select({c_->next, c_->next->next});  // the segment and the circle
  const std::string records = clipboard_records_of_selection();
  object* before = last_object();
  paste_dx = paste_dy = 5;
  paste_object_records(records.data(), records.size());
  const std::vector<object*> pasted = objects_after(before);
  ASSERT_EQ(pasted.size(), 5u);
  const object* originals[] = {a_, b_, c_, c_->next, c_->next->next};
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(pasted[k]->classe, originals[k]->classe);
    ASSERT_EQ(pasted[k]->nbparents, originals[k]->nbparents);
    for (int p = 0; p < pasted[k]->nbparents; ++p)
      EXPECT_EQ(pasted[k]->parents[p]->num - before->num, originals[k]->parents[p]->num - (a_->num - 1)) << p;
  }
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(pasted[k]->valeurs[0].h, originals[k]->valeurs[0].h + 5, 1e-9);
    EXPECT_NEAR(pasted[k]->valeurs[0].v, originals[k]->valeurs[0].v + 5, 1e-9);
  }
  EXPECT_NEAR(pasted[4]->valeurs[0].info.rayon, originals[4]->valeurs[0].info.rayon, 1e-9);
}

TEST_F(Clipboard, PasteKeepsTheFileKindAndTheFigureKeepsItsOwnTable) {
  object* n = number(10, "2");
  variable_nb_values = 0;
  object* table = make(&classe_table, 0, {{n, 0}}, 0, 0);
  ASSERT_NE(table, nullptr);
  fig_->table_object = table;
  // A foreign clipboard with a number and a table of it.
  std::string records;
  for (object* o : {n, table}) {
    std::vector<char> buf(static_cast<size_t>(txt_write_object(o, nullptr)) + 1);
    records.append(buf.data(), static_cast<size_t>(txt_write_object(o, buf.data())));
  }
  file_class = 2;
  file_platform = 3;
  file_version = 1.7;
  file_mac_header = 0;
  const uint32_t count = fig_->nbobj;
  paste_object_records(records.data(), records.size());
  EXPECT_EQ(file_class, 2);
  EXPECT_EQ(file_platform, 3);
  EXPECT_EQ(file_version, 1.7);
  EXPECT_EQ(file_mac_header, 0);
  EXPECT_EQ(fig_->table_object, table);
  EXPECT_EQ(fig_->nbobj, count + 1) << "the pasted number stays, the pasted table goes";
  int tables = 0;
  for (object* o = fig_->first; o; o = o->next) tables += object_type_id(o) == TYPE_TABLE;
  EXPECT_EQ(tables, 1);
}

TEST_F(Clipboard, UnreadableOrForeignRecordsChangeNothingButTheOffset) {
  build_small_figure();
  const uint32_t count = fig_->nbobj;
  kp_pasteboard_clear();
  const std::string junk[] = {"", "garbage", "1: NoSuchClass, Val: 1 2\r\n\r\n", std::string("\0\0\0", 3),
                              "7: Seg, Const: 99, 98, \r\n\r\n"};
  for (const std::string& bytes : junk) {
    SCOPED_TRACE(bytes);
    kp_pasteboard_put(kFlavorKelvo, bytes.data(), bytes.size());
    paste_from_clipboard();
    EXPECT_EQ(fig_->nbobj, count);
  }
}

TEST_F(Clipboard, ColourDrivenByANumberOutsideTheClipboardIsCleared) {
  object* n = number(10, "0.5");
  object* p = shown_point(40, 50);
  ASSERT_TRUE(n && p);
  p->pcolor = static_cast<param_color*>(GlobalAlloc(GPTR, sizeof(param_color)));
  p->pcolor->red = n;
  select({n, p});
  const std::string both = clipboard_records_of_selection();
  ASSERT_NE(both.find("red:1"), std::string::npos) << both;
  object* before = last_object();
  paste_object_records(both.data(), both.size());
  std::vector<object*> pasted = objects_after(before);
  ASSERT_EQ(pasted.size(), 2u);
  ASSERT_NE(pasted[1]->pcolor, nullptr);
  EXPECT_EQ(pasted[1]->pcolor->red, pasted[0]) << "the pasted number drives the pasted point";
  // The point's record alone names a number the clipboard does not hold.
  const std::string alone = both.substr(both.find("2: "));
  before = last_object();
  paste_object_records(alone.data(), alone.size());
  pasted = objects_after(before);
  ASSERT_EQ(pasted.size(), 1u);
  EXPECT_TRUE(pasted[0]->pcolor == nullptr || pasted[0]->pcolor->red == nullptr);
}

TEST_F(Clipboard, FlavoursFollowWhatIsSelected) {
  object* text = make(&classe_text, 0, {}, 60, 60);
  ASSERT_NE(text, nullptr);
  set_text(text, "Hello {world} \\ caf\x8E");
  object* value = number(10, "2.5");
  object* quoting = make(&classe_text, 0, {}, 60, 90);
  ASSERT_TRUE(value && quoting);
  set_text(quoting, "x = $1$");
  reference(quoting, value, 1);
  select({text, quoting});
  copy_to_clipboard();
  std::string rtf;
  ASSERT_EQ(kp_pasteboard_copy(kFlavorRtf, &rtf), kPasteboardOk) << kp_pasteboard_flavors();
  std::string records;
  EXPECT_EQ(kp_pasteboard_copy(kFlavorKelvo, &records), kPasteboardOk);

  // An independent reader gives the text back.
  const std::string rtf_path = path("copied.rtf");
  write(rtf_path, rtf);
  FILE* pipe = popen(("unrtf --text '" + rtf_path + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string plain;
  char chunk[256];
  while (size_t got = std::fread(chunk, 1, sizeof chunk, pipe)) plain.append(chunk, got);
  const int status = pclose(pipe);
  if (status != 0 && plain.empty()) GTEST_SKIP() << "unrtf is not installed";
  EXPECT_NE(plain.find("Hello {world} \\ caf\xE9"), std::string::npos) << plain;
  EXPECT_NE(plain.find("x = 2.5"), std::string::npos) << plain;

  // The text editor's paste takes the same rich text.
  static std::string inserted;
  inserted.clear();
  EXPECT_TRUE(paste_rtf_into_text_editor([](const char* data, size_t n) { inserted.assign(data, n); }));
  EXPECT_EQ(inserted, rtf);

  // A point with the text: no rich text.
  object* a = shown_point(5, 5);
  select({text, a});
  copy_to_clipboard();
  EXPECT_EQ(kp_pasteboard_copy(kFlavorRtf, &rtf), kPasteboardNoFlavor);
  EXPECT_FALSE(paste_rtf_into_text_editor([](const char*, size_t) {}));

  // A table: its cells as tab-separated lines.
  object* n1 = number(10, "2");
  object* n2 = number(20, "3");
  variable_nb_values = 0;
  object* table = make(&classe_table, 0, {{n1, 0}, {n2, 0}}, 0, 0);
  ASSERT_NE(table, nullptr);
  table->nbvaleurs = 2;
  static const char cells[] = "a\0b\0c\0d";
  GlobalFreeAndNull(&table->te->text);
  table->te->text = static_cast<char*>(GlobalAlloc(GPTR, sizeof cells));
  std::memcpy(table->te->text, cells, sizeof cells);
  table->nbparents = 3;  // two columns: parents 0 and 2
  select({table});
  const std::string lines = table_selection_text();
  table->nbparents = 2;
  EXPECT_EQ(lines, "a\tb\nc\td\n");
}

TEST_F(Clipboard, PictureIsABmpOfTheFigurePixelsCheckedByPillow) {
  constexpr int kW = 23, kH = 17;
  KPContext* layer = KPContext::createImageContext(kW, kH);
  auto* px = static_cast<uint32_t*>(layer->pixels());
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      px[y * kW + x] = 0xFF000000u | (uint32_t((x * 37) % 256) << 16) | (uint32_t((y * 53) % 256) << 8) |
                       uint32_t((x * y + 11) % 256);
  DisplayDevice dd{};
  dd.viewLayer = layer;
  dd.portRect = {100, 50, 100 + kW, 50 + kH};
  static_display = &dd;
  select({});
  auto check = [&](const char* name, int left, int top, int w, int h) {
    copy_to_clipboard();
    std::string bmp;
    ASSERT_EQ(kp_pasteboard_copy(kFlavorBmp, &bmp), kPasteboardOk) << kp_pasteboard_flavors();
    EXPECT_EQ(bmp.size(), 54u + 4u * w * h);
    const std::string file = path(name);
    write(file, bmp);
    FILE* pipe = popen(("/usr/bin/python3 " KELVO_TEST_DATA "/files/check_bmp.py '" + file + "' " +
                        std::to_string(left) + " " + std::to_string(top) + " 2>&1").c_str(),
                       "r");
    ASSERT_NE(pipe, nullptr);
    char out[256] = {};
    const size_t got = std::fread(out, 1, sizeof out - 1, pipe);
    pclose(pipe);
    const std::string answer(out, got);
    if (answer.find("No module named") != std::string::npos) GTEST_SKIP() << "Pillow is not installed";
    EXPECT_EQ(answer, "ok " + std::to_string(w) + "x" + std::to_string(h) + "\n");
  };
  object* text = make(&classe_text, 0, {}, 60, 60);
  ASSERT_NE(text, nullptr);
  set_text(text, "t");
  select({text});
  copy_to_clipboard();
  select({});
  check("whole.bmp", 0, 0, kW, kH);
  // Nothing selected: only the picture.
  std::string other;
  EXPECT_EQ(kp_pasteboard_copy(kFlavorKelvo, &other), kPasteboardNoFlavor);
  EXPECT_EQ(kp_pasteboard_copy(kFlavorRtf, &other), kPasteboardNoFlavor);
  EXPECT_EQ(kp_pasteboard_copy(kFlavorText, &other), kPasteboardNoFlavor);
  // The selection rectangle crops the picture, clipped to the image.
  selection_rect_shown = 1;
  selection_rect = {105, 52, 140, 60};
  check("cropped.bmp", 5, 2, kW - 5, 8);
  delete layer;
}

TEST_F(Clipboard, BmpHeadersAndIconStamps) {
  const uint32_t palette[256] = {0x00112233, 0x00445566};
  uint8_t icon[16 * 16] = {};
  icon[0] = 1;
  uint32_t repl_palette[256];
  for (uint32_t& c : repl_palette) c = 0x00ABCDEF;
  repl_palette[0] = 0x00112233;
  repl_palette[1] = 0x00445566;
  repl_palette[254] = 0x00FF0000;
  const std::vector<uint8_t> bmp = dib_to_nsimage(icon, 16, 16, nullptr, repl_palette, 0x00445566, 0x00000001, 1);
  ASSERT_EQ(bmp.size(), 54u + 4u * 256u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  auto u32 = [&bmp](size_t at) { return bmp[at] | bmp[at + 1] << 8 | bmp[at + 2] << 16 | uint32_t(bmp[at + 3]) << 24; };
  EXPECT_EQ(u32(2), 54u + 1024u);
  EXPECT_EQ(u32(10), 54u);
  EXPECT_EQ(u32(14), 40u);
  EXPECT_EQ(u32(38), 54u);
  EXPECT_EQ(u32(42), 54u);
  // The top-left pixel (key colour) is the first of the top row, stored last.
  EXPECT_EQ(u32(54 + 4 * (15 * 16)), 1u);
  // Stamp 1 marks index 237 (row 14, column 13): stored in row 1 from the bottom.
  EXPECT_EQ(u32(54 + 4 * (1 * 16 + 13)), 0x00FF0000u);
  EXPECT_EQ(u32(54 + 4 * (1 * 16 + 12)), 0x00112233u);
  (void)palette;
  // Icons too big for the marks are drawn without them; crops outside the
  // image give nothing.
  std::vector<uint8_t> big(64 * 64, 0);
  EXPECT_EQ(dib_to_nsimage(big.data(), 64, 64, nullptr, repl_palette, 7, 7, 2).size(), 54u + 4u * 64 * 64);
  const tagRECT outside{70, 70, 90, 90};
  EXPECT_TRUE(dib_to_nsimage(big.data(), 64, 64, &outside, repl_palette, 7, 7, 0).empty());
}

}  // namespace
