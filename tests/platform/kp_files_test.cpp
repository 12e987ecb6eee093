#include "platform/kp_files.h"

#include <unistd.h>

#include <QDir>
#include <QSettings>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/kp_settings.h"

namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(KELVO_TEST_OUTPUT) / ("files_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  std::string path(const char* name) const { return (dir_ / name).string(); }
  static std::string read_all(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path dir_;
};

TEST_F(Files, HandlesReadAndWriteWholeFiles) {
  const std::string p = path("figure.fig");
  EXPECT_EQ(CreateFile(p.c_str(), 0, 0, nullptr, 0, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(CreateFile(p.c_str(), GENERIC_READ, 0, nullptr, 0, 0, nullptr), nullptr);

  HANDLE out = CreateFile(p.c_str(), GENERIC_WRITE, 0, nullptr, 0, 0, nullptr);
  ASSERT_NE(out, nullptr);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(out, "FIGURE\r\n", 8, &n, nullptr));
  EXPECT_EQ(n, 8u);
  EXPECT_TRUE(CloseHandle(out));
  EXPECT_EQ(read_all(p), "FIGURE\r\n");

  HANDLE in = CreateFile(p.c_str(), GENERIC_READ, 0, nullptr, 0, 0, nullptr);
  char buffer[16] = {};
  EXPECT_TRUE(ReadFile(in, buffer, 3, &n, nullptr));
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(in, &high), 8u);
  EXPECT_EQ(high, 0u);
  EXPECT_TRUE(ReadFile(in, buffer + 3, 10, &n, nullptr)) << "the size query kept the position";
  EXPECT_EQ(n, 5u);
  EXPECT_STREQ(buffer, "FIGURE\r\n");
  EXPECT_FALSE(ReadFile(in, buffer, 4, &n, nullptr)) << "at the end";
  EXPECT_EQ(n, 0u);
  EXPECT_TRUE(ReadFile(in, buffer, 0, &n, nullptr));
  EXPECT_TRUE(CloseHandle(in));

  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    EXPECT_FALSE(ReadFile(bad, buffer, 1, &n, nullptr));
    EXPECT_FALSE(WriteFile(bad, buffer, 1, &n, nullptr));
    EXPECT_EQ(GetFileSize(bad, nullptr), 0xFFFFFFFFu);
    EXPECT_FALSE(CloseHandle(bad));
  }
}

// Until the handle closes, the old file stays whole; a failed write keeps it.
TEST_F(Files, WritingReplacesTheFileOnlyWhenEverythingWasWritten) {
  const std::string p = path("keep.fig");
  { std::ofstream(p) << "old contents"; }
  HANDLE out = CreateFile(p.c_str(), GENERIC_WRITE, 0, nullptr, 0, 0, nullptr);
  DWORD n = 0;
  WriteFile(out, "new", 3, &n, nullptr);
  EXPECT_EQ(read_all(p), "old contents") << "as a crash here would leave it";
  EXPECT_TRUE(CloseHandle(out));
  EXPECT_EQ(read_all(p), "new");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1) << "no temporary left";

  // Only a real full device shows a failing write; a machine where it is
  // missing or a plain file proves nothing about the writer.
  struct stat device {};
  if (stat("/dev/full", &device) != 0 || !S_ISCHR(device.st_mode)) GTEST_SKIP() << "no /dev/full device";
  HANDLE full = CreateFile("/dev/full", GENERIC_WRITE, 0, nullptr, 0, 0, nullptr);
  ASSERT_NE(full, nullptr);
  EXPECT_FALSE(WriteFile(full, "data", 4, &n, nullptr)) << "a full disk is a failure";
  EXPECT_FALSE(CloseHandle(full));
}

TEST_F(Files, DirectoryListing) {
  for (const char* name : {"002.fig", "001.fig", "notes.txt"}) std::ofstream(path(name)) << "x";
  fs::create_directory(dir_ / "sub");
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);
  WIN32_FIND_DATA data{};
  HANDLE search = FindFirstFile("*.*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  std::vector<std::string> names{data.cFileName};
  EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(data.nFileSizeLow, 1u);
  while (FindNextFile(search, &data)) names.push_back(data.cFileName);
  EXPECT_TRUE(FindClose(search));
  EXPECT_EQ(names, (std::vector<std::string>{"001.fig", "002.fig", "notes.txt", "sub"}));
  search = FindFirstFile("*.fig", &data);
  EXPECT_TRUE(FindNextFile(search, &data));
  EXPECT_FALSE(FindNextFile(search, &data));
  FindClose(search);
  EXPECT_EQ(FindFirstFile("*.none", &data), INVALID_HANDLE_VALUE);
  fs::current_path(previous);
}

TEST_F(Files, SupportFilesAndAttributes) {
  kp_set_support_folder(dir_.c_str());
  EXPECT_EQ(std::string(support_file_path("Cursors.xml")), path("Cursors.xml"));
  EXPECT_EQ(support_file_path(nullptr), nullptr);
  kp_set_support_folder(nullptr);
  EXPECT_TRUE(SetFileAttributes("x", 128));
  EXPECT_TRUE(SetFileAttributes("x", 8193));
  EXPECT_FALSE(SetFileAttributes("x", 1));
}

TEST(FileDialogs, FilterListsAndProposedNames) {
  OPENFILENAME record{};
  KPFileDialogRequest request;
  record.lpstrFilter = "*";
  EXPECT_TRUE(set_panel_file_types(&record, &request).empty());
  record.lpstrFilter = "Figures\0*.fig\0";
  EXPECT_EQ(set_panel_file_types(&record, &request), std::vector<std::string>{"fig"});
  EXPECT_EQ(request.name_filters, std::vector<std::string>{"Figures (*.fig)"});
  record.lpstrFilter = "Figures\0*.fig\0Macros\0*.mac\0";
  EXPECT_EQ(set_panel_file_types(&record, &request), (std::vector<std::string>{"fig", "mac"}));

  EXPECT_EQ(kp_proposed_save_name("drawing", "fig", false), "drawing.fig");
  EXPECT_EQ(kp_proposed_save_name("myfig", "fig", false), "myfig");
  EXPECT_EQ(kp_proposed_save_name("drawing", "fig", true), "drawing");
  EXPECT_EQ(kp_proposed_save_name("ab", "fig", false), "ab");
}

TEST(FileDialogs, ChosenPathsFillTheRecordWithinItsBuffers) {
  KPFileDialogRequest seen;
  kp_set_file_chooser([&](const KPFileDialogRequest& r) -> std::optional<std::string> {
    seen = r;
    return std::string("/home/user/figures/triangle.fig");
  });
  char file[40] = "drawing";
  char title[8];
  OPENFILENAME record{};
  record.lpstrFilter = "Figures\0*.fig\0";
  record.lpstrFile = file;
  record.nMaxFile = sizeof file;
  record.lpstrFileTitle = title;
  record.nMaxFileTitle = sizeof title;
  record.lpstrDefExt = "fig";
  record.lpstrTitle = "Save \x8E";
  EXPECT_TRUE(GetSaveFileName(&record));
  EXPECT_EQ(seen.proposed_name, "drawing.fig");
  EXPECT_EQ(seen.title, "Save \u00e9");
  EXPECT_EQ(seen.directory, QDir::homePath().toStdString());
  EXPECT_STREQ(file, "/home/user/figures/triangle.fig");
  EXPECT_STREQ(title, "triangl");

  // A path longer than the file buffer is refused, not cut.
  char small[16] = "drawing";
  record.lpstrFile = small;
  record.nMaxFile = sizeof small;
  EXPECT_FALSE(GetSaveFileName(&record));
  EXPECT_STREQ(small, "drawing");

  kp_set_file_chooser([](const KPFileDialogRequest&) { return std::optional<std::string>(); });
  EXPECT_FALSE(GetOpenFileName(&record));
  kp_set_file_chooser(nullptr);
}

TEST(Settings, ValuesDefaultsAndBoundedCopies) {
  const std::string dir = std::string(KELVO_TEST_OUTPUT) + "/settings";
  std::filesystem::remove_all(dir);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(dir));
  char value[8] = "unset";
  EXPECT_FALSE(KPPreferencesWrapper::GetUserDefault("Language File Location", value, sizeof value, nullptr, "WKelvo2.ini"));
  EXPECT_STREQ(value, "unset");
  EXPECT_TRUE(KPPreferencesWrapper::GetUserDefault("Toolbar Icon Size", value, sizeof value, "32x32", "WKelvo2.ini"));
  EXPECT_STREQ(value, "32x32");
  EXPECT_FALSE(KPPreferencesWrapper::GetUserDefault("Toolbar Icon Size", value, sizeof value, nullptr, nullptr))
      << "a default is not stored";

  KPPreferencesWrapper::SetUserDefault("Language File Location", "Fran\x8D" "ais long", "WKelvo2.ini");
  EXPECT_TRUE(KPPreferencesWrapper::GetUserDefault("Language File Location", value, sizeof value, nullptr, nullptr));
  EXPECT_STREQ(value, "Fran\x8D" "ai") << "cut to the buffer";
  const QSettings file(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova");
  EXPECT_EQ(file.value("Language File Location").toString(), QString::fromUtf8("Fran\u00e7ais long"));
  // The store is the program's: what this test wrote goes with it.
  QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvo", "Kelvo Nova").remove("Language File Location");
}

}  // namespace
