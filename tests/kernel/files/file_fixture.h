// A figure with its toolboxes (from the tool fixture), a scratch folder per
// test, scripted file dialogs and message boxes, and the figure window of
// the export dialogs.
#pragma once

#include <QWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "../tools/tool_fixture.h"
#include "kernel/files/file_dialogs.h"
#include "kernel/files/file_paths.h"
#include "kernel/files/file_services.h"
#include "kernel/files/text_family.h"
#include "kernel/model/version_info.h"
#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_dialog.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"

struct file_log {
  std::vector<std::string> messages;
  std::vector<KPFileDialogRequest> dialogs;
  std::optional<std::string> next_choice;
  int answer = 0;  // button index of the next message box
  int undo_dirty = 0;
};

inline file_log& files_seen() {
  static file_log log;
  return log;
}

class FileTest : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    files_seen() = file_log{};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::path(KELVO_TEST_OUTPUT) / "files" / (std::string(info->test_suite_name()) + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    set_resource_folder(KELVO_TEST_DATA "/../../resources");
    init_version_info();
    KPDialog::setMessageBoxResponder([](const KPMessageBoxRequest& r) {
      files_seen().messages.push_back(r.message);
      return files_seen().answer;
    });
    kp_set_file_chooser([](const KPFileDialogRequest& r) {
      files_seen().dialogs.push_back(r);
      return files_seen().next_choice;
    });
    KPGeoDocument::installHooks({.do_dirty = [](kelvo_win_info*) { services_seen().calls.emplace_back("dirty"); },
                                 .undo_dirty = [](kelvo_win_info*) { ++files_seen().undo_dirty; }});
    window_.resize(500, 300);
    kp_set_current_figure_window(kp_hwnd(&window_));
  }

  void TearDown() override {
    kp_set_current_figure_window(nullptr);
    free_file_image();
    install_file_services(file_services{});
    KPDialog::setMessageBoxResponder(nullptr);
    kp_set_file_chooser(nullptr);
    file_dialog_record = OPENFILENAME{};
    save_format_code = 0;
    reopen_flag = 0;
    ToolTest::TearDown();
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  static std::string read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void write(const std::string& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }

  // Saves the current figure to p as a document save does.
  int save_to(const std::string& p, int kind = SAVE_DOCUMENT) {
    file_dialog_record = OPENFILENAME{};
    std::snprintf(file_path_buffer, sizeof file_path_buffer, "%s", p.c_str());
    std::snprintf(file_title_buffer, sizeof file_title_buffer, "%s", path_file_name(p.c_str()));
    return save_document_file(nullptr, kind, nullptr);
  }

  // A small figure: three visible points, a segment and a circle.
  void build_small_figure() {
    a_ = shown_point(10, 20);
    b_ = shown_point(110, 60);
    c_ = shown_point(40, 140);
    make2(&classe_segment, 0, a_, b_);
    make2(&classe_cercle, 0, a_, c_);
  }

  std::filesystem::path dir_;
  QWidget window_;
  object* a_ = nullptr;
  object* b_ = nullptr;
  object* c_ = nullptr;
};

// Frees a figure made in a test with its undo copy.
inline void free_test_figure(kelvo_win_info* fig) {
  kelvo_win_info* copy = fig ? fig->undo : nullptr;
  free_figure_info(fig, false);
  free_figure_info(copy, false);
}

// The free points' coordinates of the current figure, in list order.
inline std::vector<std::pair<double, double>> point_coordinates() {
  std::vector<std::pair<double, double>> out;
  for (object* o = KPGeoDocument::currentInfo()->first; o; o = o->next)
    if (o->classe == &classe_point && o->valeurs) out.emplace_back(o->valeurs[0].h, o->valeurs[0].v);
  return out;
}
