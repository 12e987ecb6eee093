// Pictures kept in figure files and written as BMP files, checked against
// reference data made with Python's zlib, base64 and Pillow
// (tests/data/pictures/make_refs.py).
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kernel/exchange/bitmap_info.h"
#include "kernel/exchange/bmp_writer.h"
#include "kernel/exchange/figure_bitmaps.h"
#include "kernel/model/memory.h"
#include "platform/kp_bitmap.h"

namespace {

std::string read_data(const char* name) {
  std::ifstream in(std::string(KELVO_TEST_DATA "/pictures/") + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The same pixels as the reference script: blue, green, red, spare byte of
// (x, y), y counted from the bottom.
figure_picture reference_picture(int w, int h, int seed) {
  figure_picture p;
  p.width = w;
  p.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      p.pixels.push_back(static_cast<uint8_t>((x * 40 + seed) % 256));
      p.pixels.push_back(static_cast<uint8_t>((y * 60 + seed) % 256));
      p.pixels.push_back(static_cast<uint8_t>((x * 7 + y * 11 + seed) % 256));
      p.pixels.push_back(0);
    }
  return p;
}

bitmap_info holder_of(figure_picture& p) {
  bitmap_info bi{};
  bi.pixels = p.pixels.data();
  bi.width = p.width;
  bi.height = p.height;
  return bi;
}

std::string entry_text(figure_picture p) {
  bitmap_info bi = holder_of(p);
  const std::vector<uint8_t> record = compress_bitmap(&bi);
  return base64_encode_lines(record.data(), static_cast<uint32_t>(record.size()));
}

}  // namespace

TEST(BitmapBlock, EntriesMatchTheOnesPythonMakesByteForByte) {
  const std::string block = read_data("block.txt");
  // Python's zlib and base64 produce exactly our entry text, so they also
  // decode ours into header, pixels and the 4 zero bytes.
  const std::string ab = entry_text(reference_picture(5, 3, 0));
  const std::string b = entry_text(reference_picture(2, 2, 100));
  EXPECT_NE(block.find("ab.bmp\r\n" + ab + "\r\n\r\n"), std::string::npos);
  EXPECT_NE(block.find("\nb.bmp\r\n" + b + "\r\n\r\n"), std::string::npos);
}

TEST(BitmapBlock, AFiveWideRecordHasRowWidth32AndReadsBackThePixels) {
  figure_picture p = reference_picture(5, 3, 0);
  bitmap_info bi = holder_of(p);
  std::vector<uint8_t> record = compress_bitmap(&bi);
  ASSERT_GE(record.size(), 24u);
  EXPECT_EQ(record[12], 32);  // row width: 5 rounded to 8, times 4
  EXPECT_EQ(record[18], 32);
  EXPECT_EQ(std::vector<uint8_t>(record.end() - 4, record.end()), std::vector<uint8_t>(4, 0));
  // The stream holds 20-byte rows packed, then zeros to 3 x 32 bytes.
  std::vector<uint8_t> raw(96, 0xEE);
  uLongf got = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &got, record.data() + 20, record.size() - 24), Z_OK);
  EXPECT_EQ(got, 96u);
  EXPECT_TRUE(std::equal(p.pixels.begin(), p.pixels.end(), raw.begin()));
  EXPECT_TRUE(std::all_of(raw.begin() + 60, raw.end(), [](uint8_t c) { return c == 0; }));

  const std::string block = read_data("block.txt");
  figure_picture out;
  ASSERT_TRUE(load_figure_bitmap(block.data(), static_cast<uint32_t>(block.size()), "ab.bmp", &out));
  EXPECT_EQ(out.width, 5);
  EXPECT_EQ(out.pixels, p.pixels);
}

TEST(BitmapBlock, ANameInsideAnEarlierNameFindsItsOwnEntry) {
  const std::string block = read_data("block.txt");
  figure_picture out;
  // "b.bmp" is the tail of "ab.bmp", written before it: only a whole line
  // names an entry. A full path is looked up by its file-name part.
  ASSERT_TRUE(load_figure_bitmap(block.data(), static_cast<uint32_t>(block.size()), "/elsewhere/b.bmp", &out));
  EXPECT_EQ(out.pixels, reference_picture(2, 2, 100).pixels);
  EXPECT_FALSE(load_figure_bitmap(block.data(), static_cast<uint32_t>(block.size()), "a", &out));
  EXPECT_FALSE(load_figure_bitmap(block.data(), static_cast<uint32_t>(block.size()), "c.bmp", &out));
}

TEST(BitmapBlock, Base64LinesPaddingAndTerminator) {
  std::vector<uint8_t> bytes(200);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 37);
  struct Case {
    uint32_t length;
    const char* tail;  // expected end, before nothing
    size_t breaks;
  } cases[] = {{57, "*", 0}, {58, "==*", 1}, {56, "=*", 0}, {114, "*", 1}, {115, "==*", 2}, {1, "==*", 0}};
  for (const Case& c : cases) {
    const std::string text = base64_encode_lines(bytes.data(), c.length);
    SCOPED_TRACE(c.length);
    EXPECT_EQ(text.substr(text.size() - std::strlen(c.tail)), c.tail);
    size_t breaks = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1)) ++breaks;
    EXPECT_EQ(breaks, c.breaks);
    EXPECT_NE(text[text.size() - 2], '\n');
    const std::vector<uint8_t> back = base64_decode(text.data(), static_cast<uint32_t>(text.size() - 1));
    EXPECT_EQ(back, std::vector<uint8_t>(bytes.begin(), bytes.begin() + c.length));
  }
}

TEST(BitmapBlock, BadEntriesGiveNoPicture) {
  figure_picture p = reference_picture(5, 3, 0);
  bitmap_info bi = holder_of(p);
  std::vector<uint8_t> record = compress_bitmap(&bi);
  figure_picture out;
  // Shorter than its header.
  EXPECT_FALSE(decompress_bitmap(record.data(), 23, &out));
  // A stream cut short.
  EXPECT_FALSE(decompress_bitmap(record.data(), static_cast<uint32_t>(record.size() - 10), &out));
  // A bomb: 8000 x 8000 announced by a few bytes is refused before anything
  // is allocated or inflated.
  std::vector<uint8_t> bomb(record.begin(), record.begin() + 24 + 16);
  const uint32_t side = 8000, row = side * 4;
  std::memcpy(bomb.data() + 4, &side, 4);
  std::memcpy(bomb.data() + 8, &side, 4);
  std::memcpy(bomb.data() + 12, &row, 4);
  EXPECT_FALSE(decompress_bitmap(bomb.data(), static_cast<uint32_t>(bomb.size()), &out));
  // Base64 without its '*'.
  const std::string text = "************ BITMAPS ************\r\n\r\nx.bmp\r\n" + entry_text(p);
  EXPECT_TRUE(load_figure_bitmap(text.data(), static_cast<uint32_t>(text.size()), "x.bmp", &out));
  EXPECT_FALSE(load_figure_bitmap(text.data(), static_cast<uint32_t>(text.size() - 1), "x.bmp", &out));
}

TEST(PictureRecord, ScreenNamesStayCanonicalAndReplacingClearsTheCaches) {
  figure_picture p = reference_picture(4, 2, 9);
  bitmap_info* holder = nullptr;
  ASSERT_TRUE(set_bitmap_holder_image(p, nullptr, "TI-83 Screen", &holder));
  EXPECT_EQ(holder->name, is_ti_screen_bitmap_name("TI-83 Screen"));
  holder->rendered = static_cast<uint8_t*>(GlobalAlloc(GPTR, 16));
  holder->rendered_alone = static_cast<uint8_t*>(GlobalAlloc(GPTR, 16));
  holder->dirty = 1;
  ASSERT_TRUE(set_bitmap_holder_image(p, nullptr, "photo.png", &holder));
  EXPECT_EQ(holder->rendered, nullptr);
  EXPECT_EQ(holder->rendered_alone, nullptr);
  EXPECT_EQ(holder->dirty, 0);
  EXPECT_STREQ(holder->name, "photo.png");
  // Freeing a screen record leaves the canonical string alone (ASan would
  // report freeing it); an equal string that is not canonical is freed.
  ASSERT_TRUE(set_bitmap_holder_image(p, nullptr, "TI-89 Screen", &holder));
  free_bitmap_holder(&holder);
  EXPECT_EQ(holder, nullptr);
  EXPECT_STREQ(is_ti_screen_bitmap_name("TI-89 Screen"), "TI-89 Screen");
  free_bitmap_holder(&holder);  // nothing
}

TEST(BmpWriter, RowBytesAndHeaders) {
  EXPECT_EQ(kp_dib_row_bytes(3, 32), 12);
  EXPECT_EQ(kp_dib_row_bytes(3, 24), 12);
  EXPECT_EQ(kp_dib_row_bytes(1, 1), 4);
  struct Case {
    uint16_t planes, bits, depth;
    uint32_t colours;
  } cases[] = {{1, 32, 32, 0}, {1, 24, 24, 0}, {1, 8, 8, 256}, {1, 1, 1, 2}, {1, 3, 4, 16}, {1, 12, 16, 0},
               {2, 12, 24, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    bmp_info info;
    ASSERT_TRUE(make_bmp_info_header(5, 3, c.planes, c.bits, &info));
    // The bit count is the rounded depth, so that rows and size agree.
    EXPECT_EQ(info.header.biBitCount, c.depth);
    EXPECT_EQ(info.header.biClrUsed, c.colours == 0 && c.depth < 24 ? 1u << c.depth : c.colours);
    EXPECT_EQ(info.header.biSizeImage, static_cast<uint32_t>(kp_dib_row_bytes(5, c.depth) * 3));
    EXPECT_EQ(bmp_file_image(info, nullptr, nullptr), 54 + 4 * info.header.biClrUsed + info.header.biSizeImage);
  }
  bmp_info info;
  EXPECT_FALSE(make_bmp_info_header(0, 3, 1, 32, &info));
  EXPECT_FALSE(make_bmp_info_header(100000, 100000, 1, 32, &info));
}

TEST(BmpWriter, FilesMatchTheOnesPillowReads) {
  // 32 bits: no palette, pixels at 54.
  figure_picture p = reference_picture(3, 2, 5);
  bitmap_info bi = holder_of(p);
  const std::string path = std::string(KELVO_TEST_OUTPUT) + "/bmp_writer_32.bmp";
  std::remove(path.c_str());
  std::string dir = KELVO_TEST_OUTPUT;
  std::system(("mkdir -p '" + dir + "'").c_str());
  ASSERT_TRUE(write_bmp_file(path.c_str(), &bi));
  std::ifstream in(path, std::ios::binary);
  const std::string written{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(written, read_data("ref32.bmp"));

  // 8 bits: a 1,024-byte palette between header and pixels.
  bmp_info info;
  ASSERT_TRUE(make_bmp_info_header(3, 2, 1, 8, &info));
  for (int i = 0; i < 256; ++i)
    info.palette[static_cast<size_t>(i)] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
  const uint8_t rows[8] = {0, 1, 2, 0, 3, 4, 5, 0};
  const std::vector<uint8_t> bytes = bmp_file_bytes(info, rows);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), read_data("ref8.bmp"));
}

TEST(BmpWriter, AFailedWriteLeavesNoFileAndReportsIt) {
  figure_picture p = reference_picture(3, 2, 5);
  bitmap_info bi = holder_of(p);
  EXPECT_FALSE(write_bmp_file("/nonexistent-folder/x.bmp", &bi));
  bitmap_info empty{};
  const std::string path = std::string(KELVO_TEST_OUTPUT) + "/bmp_writer_empty.bmp";
  EXPECT_FALSE(write_bmp_file(path.c_str(), &empty));
  EXPECT_FALSE(std::ifstream(path).good());
  // A path that names a folder cannot be written, and the folder stays.
  const std::string folder = std::string(KELVO_TEST_OUTPUT) + "/bmp_writer_folder";
  std::system(("mkdir -p '" + folder + "'").c_str());
  EXPECT_FALSE(write_bmp_file(folder.c_str(), &bi));
  EXPECT_EQ(std::system(("test -d '" + folder + "'").c_str()), 0);
}
