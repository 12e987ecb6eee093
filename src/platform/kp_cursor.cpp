#include "platform/kp_cursor.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QWidget>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/kelvo_wrap_machine.h"
#include "platform/kp_files.h"
#include "platform/kp_qt_bridge.h"

struct KPCursor::Native {
  std::optional<QCursor> cursor;
};

namespace {

struct CursorState {
  std::vector<KPCursor*> entries;  // in creation order
  std::optional<QCursor> current;
  KPCursor* last_set = nullptr;
  QString image_folder;
};

CursorState& state() {
  static CursorState s;
  return s;
}

// The standard cursors a selector may name.
std::optional<Qt::CursorShape> standard_cursor(const std::string& selector) {
  static const std::pair<const char*, Qt::CursorShape> kShapes[] = {
      {"arrowCursor", Qt::ArrowCursor},
      {"IBeamCursor", Qt::IBeamCursor},
      {"crosshairCursor", Qt::CrossCursor},
      {"pointingHandCursor", Qt::PointingHandCursor},
      {"openHandCursor", Qt::OpenHandCursor},
      {"closedHandCursor", Qt::ClosedHandCursor},
      {"resizeLeftRightCursor", Qt::SizeHorCursor},
      {"resizeUpDownCursor", Qt::SizeVerCursor},
      {"resizeDiagonalCursor", Qt::SizeFDiagCursor},
      {"resizeAntiDiagonalCursor", Qt::SizeBDiagCursor},
      {"operationNotAllowedCursor", Qt::ForbiddenCursor},
      {"dragCopyCursor", Qt::DragCopyCursor},
      {"waitCursor", Qt::WaitCursor},
      {"busyCursor", Qt::BusyCursor},
  };
  for (const auto& [name, shape] : kShapes)
    if (selector == name) return shape;
  return std::nullopt;
}

QString image_path(const std::string& name) {
  const QString base = state().image_folder + "/" + QString::fromStdString(name);
  for (const char* suffix : {"", ".xpm", ".png"})
    if (QFileInfo(base + suffix).isFile()) return base + suffix;
  return {};
}

// Shows a cursor: on the current figure window, else for the application.
void show_cursor(const QCursor& cursor) {
  state().current = cursor;
  if (auto* figure = qobject_cast<QWidget*>(kp_qobject(kp_current_figure_window()))) {
    figure->setCursor(cursor);
  } else if (QApplication::overrideCursor()) {
    QApplication::changeOverrideCursor(cursor);
  } else {
    QApplication::setOverrideCursor(cursor);
  }
}

void show_arrow_without_current() {
  show_cursor(QCursor(Qt::ArrowCursor));
  state().current.reset();
}

}  // namespace

KPCursor::KPCursor(int res_id, const char* name, const char* image_name, float hot_x, float hot_y,
                   const char* selector)
    : resID_(res_id),
      name_(name ? name : ""),
      imageName_(image_name ? image_name : ""),
      hotSpot_{hot_x, hot_y},
      selector_(selector ? selector : ""),
      native_(std::make_unique<Native>()) {
  state().entries.push_back(this);
}

KPCursor::~KPCursor() {
  auto& entries = state().entries;
  entries.erase(std::remove(entries.begin(), entries.end(), this), entries.end());
  if (state().last_set == this) state().last_set = nullptr;
}

KPCursor* KPCursor::createCursor(int res_id, const char* name, const char* image_name, float hot_x, float hot_y,
                                 const char* selector) {
  return new KPCursor(res_id, name, image_name, hot_x, hot_y, selector);
}

void KPCursor::clearTable() {
  while (!state().entries.empty()) delete state().entries.back();
}

KPCursor* KPCursor::loadCursor(int res_id) {
  for (KPCursor* entry : state().entries) {
    if (entry->resID_ == res_id) {
      entry->loadCursor();
      return entry;
    }
  }
  return nullptr;
}

KPCursor* KPCursor::cursorByName(const char* name) {
  if (!name) return nullptr;
  for (KPCursor* entry : state().entries)
    if (entry->name_ == name) return entry;
  return nullptr;
}

void KPCursor::loadCursor() {
  native_->cursor.reset();
  if (!imageName_.empty()) {
    const QString path = image_path(imageName_);
    QPixmap image;
    if (!path.isEmpty() && image.load(path)) {
      // A hot spot outside the image is brought to its nearest edge.
      const int x = std::clamp(static_cast<int>(hotSpot_[0]), 0, image.width() - 1);
      const int y = std::clamp(static_cast<int>(hotSpot_[1]), 0, image.height() - 1);
      native_->cursor = QCursor(image, x, y);
    }
  }
  if (!native_->cursor) native_->cursor = QCursor(standard_cursor(selector_).value_or(Qt::ArrowCursor));
}

void KPCursor::set() {
  if (!native_->cursor) loadCursor();
  if (force_ || pointerInWindow()) show_cursor(*native_->cursor);
  else show_cursor(QCursor(Qt::ArrowCursor));
  state().last_set = this;
}

void KPCursor::setCursorByID(int res_id) {
  if (KPCursor* entry = loadCursor(res_id)) entry->set();
  else show_arrow_without_current();
}

void KPCursor::setCursorByName(const char* name) {
  KPCursor* entry = cursorByName(name);
  if (!entry) {
    show_arrow_without_current();
    return;
  }
  const bool was_forced = entry->force_;
  entry->force_ = true;
  entry->set();
  entry->force_ = was_forced;
}

void KPCursor::setCursor(KPCursor* cursor) {
  if (cursor) cursor->set();
  else show_cursor(QCursor(Qt::ArrowCursor));
}

const QCursor* KPCursor::currentCursor() { return state().current ? &*state().current : nullptr; }

KPCursor* KPCursor::lastSet() { return state().last_set; }

bool KPCursor::pointerInWindow() {
  auto* figure = qobject_cast<QWidget*>(kp_qobject(kp_current_figure_window()));
  return figure && figure->window()->frameGeometry().contains(QCursor::pos());
}

// ---- The table ----

bool NSKelvoCursorsLoader::initWithBundleFile(const char* name) {
  const char* path = support_file_path(name);
  return path && QFileInfo(QString::fromUtf8(path)).isFile() && initWithFile(path);
}

bool NSKelvoCursorsLoader::initWithFile(const char* path) {
  QFile file(QString::fromUtf8(path ? path : ""));
  if (!file.open(QIODevice::ReadOnly)) return false;
  state().image_folder = QFileInfo(file).absolutePath() + "/cursors";
  QXmlStreamReader xml(&file);
  // Identifier and hot spot carry over from one entry to the next.
  int res_id = 0;
  float hot[2] = {0, 0};
  std::string name, image, selector;
  bool has_name = false, has_image = false;
  while (!xml.atEnd()) {
    xml.readNext();
    if (xml.isStartElement() && xml.name() == u"cursor") {
      const auto attributes = xml.attributes();
      bool ok = false;
      if (attributes.hasAttribute("resID")) {
        const int value = attributes.value("resID").toInt(&ok);
        if (ok) res_id = value;
      }
      has_name = attributes.hasAttribute("name");
      name = kp_kernel_text(attributes.value("name").toString());
      has_image = attributes.hasAttribute("image");
      image = attributes.value("image").toString().toStdString();
      int x = 0, y = 0;
      if (attributes.hasAttribute("hotspot") &&
          std::sscanf(attributes.value("hotspot").toString().toStdString().c_str(), "%i,%i", &x, &y) == 2) {
        hot[0] = static_cast<float>(x);
        hot[1] = static_cast<float>(y);
      }
    } else if (xml.isStartElement() && xml.name() == u"selector") {
      selector = xml.readElementText().trimmed().toStdString();
    } else if (xml.isEndElement() && xml.name() == u"cursor") {
      KPCursor::createCursor(res_id, has_name ? name.c_str() : nullptr, has_image ? image.c_str() : nullptr, hot[0],
                             hot[1], selector.empty() ? nullptr : selector.c_str());
      name.clear();
      image.clear();
      selector.clear();
      has_name = has_image = false;
    }
  }
  return !xml.hasError();
}
