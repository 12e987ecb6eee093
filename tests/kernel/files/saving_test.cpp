// Saving by format, the failures that must leave the old file whole, the
// export dialog (PNG and HTML pages), opening files and the pictures written
// beside a figure.
#include <sys/resource.h>

#include <QImageReader>
#include <csignal>

#include "file_fixture.h"
#include "kernel/exchange/bitmap_info.h"
#include "kernel/files/figure_file.h"
#include "kernel/files/menus_file.h"
#include "kernel/files/object_writer.h"
#include "kernel/model/memory.h"

namespace {

using SavingTest = FileTest;

TEST_F(SavingTest, FigureIsWrittenThenMarkedSavedAndReadsBackEqual) {
  build_small_figure();
  const auto before = point_coordinates();
  const uint32_t count = fig_->nbobj;
  const std::string p = path("small.fig");
  ASSERT_EQ(save_to(p), 1);
  EXPECT_EQ(files_seen().undo_dirty, 1);
  EXPECT_EQ(file_buffer, nullptr);  // the image goes once written
  const std::string text = read(p);
  EXPECT_EQ(text.rfind("Figure Kelvo Nova vers.", 0), 0u);

  // Saving again replaces the whole content.
  write(p, std::string(20000, 'x'));
  ASSERT_EQ(save_to(p), 1);
  EXPECT_EQ(read(p), text);

  kelvo_win_info* saved = fig_;
  new_figure_info();
  ASSERT_TRUE(load_file_image(text.data(), static_cast<uint32_t>(text.size())));
  ASSERT_EQ(read_figure_file(file_buffer, file_buffer_len, p.c_str()), 1) << figure_file_error() << "\n" << text;
  EXPECT_EQ(KPGeoDocument::currentInfo()->nbobj, count);
  const auto after = point_coordinates();
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_NEAR(after[i].first, before[i].first, 0.01);
    EXPECT_NEAR(after[i].second, before[i].second, 0.01);
  }
  free_test_figure(KPGeoDocument::currentInfo());
  KPGeoDocument::setCurrentInfo(saved);
}

TEST_F(SavingTest, FailedWriteLeavesTheOldFileWholeAndTheDocumentUnsaved) {
  build_small_figure();
  const std::string p = path("kept.fig");
  const std::string old = "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\nthe user's figure\r\n";
  write(p, old);
  // The disk refuses files above 16 bytes: the write fails part way.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit tiny = saved;
  tiny.rlim_cur = 16;
  setrlimit(RLIMIT_FSIZE, &tiny);
  const int result = save_to(p);
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(read(p), old);
  EXPECT_EQ(files_seen().undo_dirty, 0);
  EXPECT_EQ(files_seen().messages.size(), 1u);
  EXPECT_EQ(file_buffer, nullptr);
  // Nothing but the old file is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), std::filesystem::directory_iterator()), 1);
}

TEST_F(SavingTest, ReadOnlySystemAndMissingTargetsAreRefused) {
  build_small_figure();
  const std::string p = path("locked.fig");
  write(p, "old");
  struct row {
    int access;
    uint32_t flags;
    const char* message;
  };
  static int access_answer = 0;
  file_services s;
  s.classify_file_access = [](const char*) { return access_answer; };
  install_file_services(s);
  for (const row& r : {row{1, 0, "File is read only."}, row{4, 0, "File is system."},
                       row{-1, kOfnFileMustExist, "Cannot find the file"}}) {
    SCOPED_TRACE(r.message);
    files_seen().messages.clear();
    access_answer = r.access;
    std::snprintf(file_path_buffer, sizeof file_path_buffer, "%s", p.c_str());
    file_dialog_record = OPENFILENAME{};
    file_dialog_record.Flags = r.flags;
    EXPECT_EQ(save_document_file(nullptr, SAVE_DOCUMENT, nullptr), 0);
    ASSERT_EQ(files_seen().messages.size(), 1u);
    EXPECT_NE(files_seen().messages[0].find(r.message), std::string::npos);
    EXPECT_EQ(read(p), "old");
  }
  EXPECT_EQ(files_seen().undo_dirty, 0);
}

TEST_F(SavingTest, SaveFormatCodeChoosesTheWriter) {
  build_small_figure();
  save_format_code = 3;
  ASSERT_EQ(save_to(path("env.env")), 1);
  const std::string env = read(path("env.env"));
  EXPECT_EQ(env.rfind("Situations Kelvo Nova vers.", 0), 0u);
  EXPECT_NE(env.find("Prefs Kelvo Nova"), std::string::npos);
  const size_t menus = env.find("Menu bar description:");
  const size_t figure = env.find("Figure description:");
  ASSERT_NE(menus, std::string::npos);
  ASSERT_NE(figure, std::string::npos);
  EXPECT_LT(menus, figure);

  // A calculator format without its writer builds nothing: nothing written.
  save_format_code = 7;
  EXPECT_EQ(save_to(path("calc.89a")), 0);
  EXPECT_FALSE(std::filesystem::exists(path("calc.89a")));
  save_format_code = 0;
  ASSERT_EQ(save_to(path("tools.men"), SAVE_TOOL_MENUS), 1);
  EXPECT_EQ(read(path("tools.men")).rfind("Menus Kelvo Nova vers.", 0), 0u);
}

TEST_F(SavingTest, PngExportHasTheWindowSizeAndIsNotInterlaced) {
  build_small_figure();
  files_seen().next_choice = path("shot.png");
  EXPECT_EQ(save_file_as_dialog(nullptr, DIALOG_EXPORT, nullptr), 1);
  ASSERT_EQ(files_seen().dialogs.size(), 1u);
  EXPECT_TRUE(files_seen().dialogs[0].save);
  QImageReader reader(QString::fromStdString(path("shot.png")));
  EXPECT_EQ(reader.format(), "png");
  EXPECT_EQ(reader.size(), QSize(500, 300));
  const std::string bytes = read(path("shot.png"));
  ASSERT_GT(bytes.size(), 29u);
  EXPECT_EQ(bytes[28], 0);  // IHDR interlace method: none
  EXPECT_FALSE(std::filesystem::exists(path("shot.fig")));
  EXPECT_EQ(save_format_code, 0);
}

TEST_F(SavingTest, HtmlExportWritesPageFigureAndImageWithRelativeReferences) {
  build_small_figure();
  // Both the last-extension test and the '#'+digit protection at once.
  files_seen().next_choice = path("my.page#1.html");
  ASSERT_EQ(save_file_as_dialog(nullptr, DIALOG_EXPORT, nullptr), 1);
  EXPECT_TRUE(std::filesystem::exists(path("my.page#1.fig")));
  EXPECT_TRUE(std::filesystem::exists(path("my.page#1.png")));
  const std::string page = read(path("my.page#1.html"));
  EXPECT_NE(page.find("href=\"./my.page#1.fig\""), std::string::npos) << page;
  EXPECT_NE(page.find("src=\"./my.page#1.png\""), std::string::npos);
  EXPECT_NE(page.find("width=\"500\" height=\"300\""), std::string::npos);
  EXPECT_NE(page.find("<title>my.page#1</title>"), std::string::npos);
  EXPECT_EQ(read(path("my.page#1.fig")).rfind("Figure Kelvo", 0), 0u);
  // The figure's own name is not changed by an export.
  EXPECT_EQ(fig_->text1, nullptr);
}

TEST_F(SavingTest, ExportProposesTheFigureNameAndRefusesOtherExtensions) {
  build_small_figure();
  for (const auto& [text0, proposed] : {std::pair<const char*, const char*>{"Untitled.fig", "Untitled"},
                                        {"", "Default"}, {"dir/a.b.fig", "a"}}) {
    fig_->text0 = alloc_block<char>(64);
    fig_->text1 = alloc_block<char>(64);
    std::snprintf(fig_->text0, 64, "%s", text0);
    std::snprintf(fig_->text1, 64, "/x/%s", text0);
    files_seen().dialogs.clear();
    files_seen().messages.clear();
    files_seen().next_choice = path("notes.txt");
    EXPECT_EQ(save_file_as_dialog(nullptr, DIALOG_EXPORT, nullptr), 0);
    ASSERT_EQ(files_seen().dialogs.size(), 1u);
    EXPECT_EQ(files_seen().dialogs[0].proposed_name.rfind(proposed, 0), 0u) << files_seen().dialogs[0].proposed_name;
    EXPECT_EQ(files_seen().messages.size(), 1u);
    GlobalFreeAndNull(&fig_->text0);
    GlobalFreeAndNull(&fig_->text1);
  }
  EXPECT_FALSE(std::filesystem::exists(path("notes.txt")));
  files_seen().next_choice.reset();
  EXPECT_EQ(save_file_as_dialog(nullptr, 7, nullptr), 0);
}

TEST_F(SavingTest, OpenReadsTheFileRefusesEmptyOnesAndActivatesAShownOne) {
  write(path("one.fig"), "Figure Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n");
  ASSERT_EQ(open_file_in_window(nullptr, path("one.fig").c_str()), 1);
  EXPECT_EQ(std::string(file_buffer, file_buffer_len), read(path("one.fig")));

  write(path("empty.fig"), "");
  files_seen().messages.clear();
  EXPECT_EQ(open_file_in_window(nullptr, path("empty.fig").c_str()), 0);
  EXPECT_EQ(files_seen().messages.size(), 1u);
  EXPECT_EQ(open_file_in_window(nullptr, path("missing.fig").c_str()), 0);

  // A window shows the file under another spelling of its path.
  static std::string shown_path;
  shown_path = (dir_ / "." / "one.fig").string();
  file_services s;
  s.enum_figure_windows = [](bool (*visit)(HWND, kelvo_win_info*, void*), void* context) {
    static kelvo_win_info shown{};
    shown.text1 = shown_path.data();
    static QObject window;
    visit(kp_hwnd(&window), &shown, context);
  };
  install_file_services(s);
  free_file_image();
  EXPECT_NE(find_window_by_file_name(path("one.fig").c_str()), nullptr);
  EXPECT_EQ(find_window_by_file_name(path("One.fig").c_str()), nullptr);
  EXPECT_EQ(open_file_in_window(nullptr, path("one.fig").c_str()), 0);
  EXPECT_EQ(file_buffer, nullptr);
  reopen_flag = 1;
  EXPECT_EQ(open_file_in_window(nullptr, path("one.fig").c_str()), 1);

  // Through the dialog: the chosen folder is remembered.
  reopen_flag = 0;
  install_file_services(file_services{});
  files_seen().next_choice = path("one.fig");
  EXPECT_EQ(open_file_in_window(nullptr, nullptr), 1);
  EXPECT_EQ(std::string(remembered_directory), dir_.string());
}

TEST_F(SavingTest, LinkedPicturesAreWrittenBesideTheFigure) {
  build_small_figure();
  std::filesystem::create_directories(dir_ / "elsewhere");
  const std::string source = path("elsewhere/photo.png");
  write(source, "picture bytes");
  auto* picture = alloc_block<bitmap_info>();
  picture->name = alloc_block<char>(static_cast<uint32_t>(source.size() + 1));
  std::memcpy(picture->name, source.data(), source.size());
  picture->pixels = alloc_block<uint8_t>(4);
  picture->width = picture->height = 1;
  fig_->background = picture;
  fig_->linked_pictures = 1;
  std::filesystem::create_directories(dir_ / "out");
  ASSERT_EQ(save_to(path("out/fig.fig")), 1);
  EXPECT_EQ(read(path("out/photo.png")), "picture bytes");
  fig_->linked_pictures = 0;
}

// A picture whose file is gone is written beside the figure as a BMP: its
// name takes the extension "bmp", so that the figure names the file written
// and reads its pictures back from there. A file still there, or an
// extension of two letters, keeps its name.
TEST_F(SavingTest, PicturesWhoseFileIsGoneAreWrittenAndNamedAsBmp) {
  build_small_figure();
  auto picture = [](const std::string& name) {
    auto* p = alloc_block<bitmap_info>();
    p->name = alloc_block<char>(static_cast<uint32_t>(name.size() + 1));
    std::memcpy(p->name, name.data(), name.size());
    p->pixels = alloc_block<uint8_t>(4 * 4);
    for (int k = 0; k < 16; ++k) p->pixels[k] = 0x80;
    p->width = p->height = 2;
    return p;
  };
  std::filesystem::create_directories(dir_ / "gone.d");
  write(path("kept.jpeg"), "picture bytes");
  fig_->background = picture(path("gone.d/photo.jpeg"));
  object* segment = fig_->first;
  while (segment != nullptr && segment->classe != &classe_segment) segment = segment->next;
  ASSERT_NE(segment, nullptr);
  segment->bitmap = picture(path("gone.d/wall"));
  a_->bitmap = picture(path("kept.jpeg"));
  b_->bitmap = picture(path("gone.d/shot.gz"));
  fig_->linked_pictures = 1;
  std::filesystem::create_directories(dir_ / "out");
  ASSERT_EQ(save_to(path("out/fig.fig")), 1);
  const std::string text = read(path("out/fig.fig"));
  EXPECT_NE(text.find("Background:photo.bmp\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Bitmap:wall, "), std::string::npos) << text;
  EXPECT_NE(text.find("Bitmap:kept.jpeg, "), std::string::npos) << text;
  EXPECT_NE(text.find("Bitmap:shot.gz, "), std::string::npos) << text;
  EXPECT_STREQ(fig_->background->name, path("gone.d/photo.bmp").c_str());
  EXPECT_EQ(read(path("out/photo.bmp")).substr(0, 2), "BM");
  EXPECT_FALSE(std::filesystem::exists(path("out/photo.jpeg")));

  // Read back from its folder, the figure finds the picture written there.
  free_bitmap_holder(&fig_->background);
  const int8_t ok = read_figure_file(text.data(), static_cast<uint32_t>(text.size()), path("out/fig.fig").c_str());
  ASSERT_EQ(ok, 1) << figure_file_error();
  kelvo_win_info* read_back = KPGeoDocument::currentInfo();
  ASSERT_NE(read_back->background, nullptr);
  EXPECT_EQ(read_back->background->width, 2);
  read_back->linked_pictures = 0;
}

TEST(PathFunctions, SeparatorsNamesAndFilters) {
  EXPECT_STREQ(path_last_separator("a\\123b/c"), "/c");
  EXPECT_STREQ(path_last_separator("a\\12b"), "\\12b");
  EXPECT_STREQ(path_file_name("/dir/name.fig"), "name.fig");
  EXPECT_STREQ(path_file_name("/name.fig"), "/name.fig");
  EXPECT_STREQ(path_file_name("plain"), "plain");
  char* replaced = path_replace_file_name("/other/pic.bmp", "/figs/a.fig");
  EXPECT_STREQ(replaced, "/figs/pic.bmp");
  GlobalFreeAndNull(&replaced);

  file_filter_list filters;
  build_file_filters(&filters, "Macro", "*.mac");
  end_file_filters(&filters);
  EXPECT_EQ(std::string(filters.c_str()), "Macro (*.mac)");
  EXPECT_NE(filters.find("Macro (Kelvo Duo) (*.mac)"), std::string::npos);
  EXPECT_TRUE(filter_has_extension("my.macro.mac", filters.c_str()));
  EXPECT_FALSE(filter_has_extension("macro.mac.txt", filters.c_str()));
  EXPECT_FALSE(filter_has_extension("macro", filters.c_str()));

  remember_directory("/a/b/c.fig");
  EXPECT_STREQ(remembered_directory, "/a/b");
  remember_directory(("/" + std::string(1100, 'd') + "/x").c_str());
  EXPECT_STREQ(remembered_directory, "/a/b");
}

}  // namespace

namespace {

// A Cancel of the save panel puts back what its clicks had copied.
TEST_F(SavingTest, CancelledSaveOptionsComeBack) {
  build_small_figure();
  fig_->animate_on_open = 1;
  fig_->linked_pictures = 0;
  save_format_code = 0;
  rich_text_mode = 0;
  save_options_state kept = keep_save_options();
  fig_->animate_on_open = 0;
  fig_->linked_pictures = 1;
  fig_->password = alloc_block<char>(4);
  std::memcpy(fig_->password, "abc", 3);
  save_format_code = 4;
  rich_text_mode = 1;
  restore_save_options(&kept);
  EXPECT_EQ(fig_->animate_on_open, 1);
  EXPECT_EQ(fig_->linked_pictures, 0);
  EXPECT_EQ(fig_->password, nullptr);
  EXPECT_EQ(save_format_code, 0);
  EXPECT_EQ(rich_text_mode, 0);

  // A password the figure had is put back as it was.
  fig_->password = alloc_block<char>(4);
  std::memcpy(fig_->password, "old", 3);
  kept = keep_save_options();
  GlobalFreeAndNull(&fig_->password);
  restore_save_options(&kept);
  ASSERT_NE(fig_->password, nullptr);
  EXPECT_STREQ(fig_->password, "old");
  // Accepted: the copy goes and the options stay.
  kept = keep_save_options();
  fig_->animate_on_open = 0;
  drop_save_options(&kept);
  EXPECT_EQ(fig_->animate_on_open, 0);
  EXPECT_EQ(kept.password, nullptr);
}

}  // namespace
