#include "platform/kp_pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPointer>

namespace {

// The mime data this program set last; a clipboard holding anything else
// was changed by another program.
QPointer<QMimeData>& own_data() {
  static QPointer<QMimeData> data;
  return data;
}

QClipboard* clipboard() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard() : nullptr; }

}  // namespace

int32_t kp_pasteboard_clear() {
  QClipboard* board = clipboard();
  if (!board) return kPasteboardNotOwner;
  auto* data = new QMimeData;
  board->setMimeData(data);
  own_data() = data;
  return kPasteboardOk;
}

int32_t kp_pasteboard_put(const char* flavor, const void* bytes, size_t length) {
  QClipboard* board = clipboard();
  if (!board || !flavor) return kPasteboardNotOwner;
  const QMimeData* current = board->mimeData();
  if (!own_data() || current != own_data().data()) return kPasteboardModified;
  // The clipboard announces its formats when its data is set, so a flavour
  // is added by setting a copy that holds it too (byte arrays are shared).
  auto* data = new QMimeData;
  for (const QString& format : current->formats()) data->setData(format, current->data(format));
  if (current->hasImage()) data->setImageData(current->imageData());
  const QByteArray payload(static_cast<const char*>(bytes), static_cast<qsizetype>(length));
  const QString name = QString::fromLatin1(flavor);
  if (name == QLatin1String(kFlavorText)) {
    data->setText(QString::fromUtf8(payload));
  } else {
    data->setData(name, payload);
    if (name == QLatin1String(kFlavorBmp)) {
      QImage image;
      if (image.loadFromData(payload, "BMP")) data->setImageData(image);
    }
  }
  board->setMimeData(data);
  own_data() = data;
  return kPasteboardOk;
}

int32_t kp_pasteboard_copy(const char* flavor, std::string* out) {
  QClipboard* board = clipboard();
  if (!board || !flavor || !out) return kPasteboardNotOwner;
  const QMimeData* data = board->mimeData();
  const QString name = QString::fromLatin1(flavor);
  if (!data || !data->hasFormat(name)) return kPasteboardNoFlavor;
  const QByteArray bytes = data->data(name);
  out->assign(bytes.constData(), static_cast<size_t>(bytes.size()));
  return kPasteboardOk;
}

std::string kp_pasteboard_flavors() {
  QClipboard* board = clipboard();
  const QMimeData* data = board ? board->mimeData() : nullptr;
  if (!data) return {};
  return data->formats().join(QLatin1Char('\n')).toStdString();
}
