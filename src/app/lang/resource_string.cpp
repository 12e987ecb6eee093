#include "app/lang/resource_string.h"

#include <QMenu>
#include <QtDebug>

#include "app/lang/mac_roman_text.h"

namespace {
std::unique_ptr<std::vector<std::unique_ptr<NSKelvoResourceString>>> entries;
int create_count = 0;
}  // namespace

NSKelvoResourceString::NSKelvoResourceString(QString id, unsigned encoding, QString text)
    : idString_(std::move(id)), encoding_(encoding), nsString_(std::move(text)) {}

void NSKelvoResourceString::setString(const QString& text, unsigned encoding) {
  nsString_ = text;
  encoding_ = encoding;
}

QByteArray NSKelvoResourceString::cStringWithEncoding() const { return kelvo::lang::to_mac_roman(nsString_); }

void NSKelvoResourceString::resetCounter() { create_count = 0; }
int NSKelvoResourceString::counter() { return create_count; }

const std::vector<std::unique_ptr<NSKelvoResourceString>>* NSKelvoResourceString::stringsArray() {
  return entries.get();
}

long NSKelvoResourceString::numEntries() { return entries ? static_cast<long>(entries->size()) : 0; }

void NSKelvoResourceString::clearArray() {
  if (entries) entries->clear();
}

void NSKelvoResourceString::freeStrings() {
  entries.reset();
  create_count = 0;
}

NSKelvoResourceString* NSKelvoResourceString::resourceStringByID(const QString& id) {
  if (!entries) return nullptr;
  for (const auto& e : *entries)
    if (e->idString_ == id) return e.get();
  return nullptr;
}

NSKelvoResourceString* NSKelvoResourceString::resourceStringAtIndex(unsigned index) {
  if (!entries || index >= entries->size()) return nullptr;
  return (*entries)[index].get();
}

QString NSKelvoResourceString::nsStringByID(const QString& id) {
  const NSKelvoResourceString* e = resourceStringByID(id.trimmed());
  return e != nullptr ? e->nsString_ : QString();
}

QByteArray NSKelvoResourceString::cStringByID(const QString& id) {
  const NSKelvoResourceString* e = resourceStringByID(id.trimmed());
  return e != nullptr ? e->nsString_.toUtf8() : QByteArray();
}

QString NSKelvoResourceString::nsStringAtIndex(unsigned index) {
  const NSKelvoResourceString* e = resourceStringAtIndex(index);
  return e != nullptr ? e->nsString_ : QString();
}

QByteArray NSKelvoResourceString::cStringAtIndex(unsigned index) {
  const NSKelvoResourceString* e = resourceStringAtIndex(index);
  return e != nullptr ? e->nsString_.toUtf8() : QByteArray();
}

NSKelvoResourceString* NSKelvoResourceString::createEntryWithID(const QString& id, unsigned encoding,
                                                                const QString* text) {
  if (!entries) entries = std::make_unique<std::vector<std::unique_ptr<NSKelvoResourceString>>>();
  ++create_count;
  const QString stored = text == nullptr ? QStringLiteral("### null string ###") : *text;
  if (NSKelvoResourceString* existing = resourceStringByID(id); existing != nullptr && !id.isNull()) {
    existing->setString(stored, encoding);
    return existing;
  }
  if (id.isNull()) {
    qDebug("New resource is nil....");
    return nullptr;
  }
  entries->push_back(std::make_unique<NSKelvoResourceString>(id, encoding, stored));
  return entries->back().get();
}

QAction* NSKelvoResourceString::appendMenuWithStringByID(QMenu* menu, const QString& id) {
  if (menu == nullptr) return nullptr;
  const NSKelvoResourceString* e = resourceStringByID(id);
  if (e == nullptr) return nullptr;
  if (e->nsString_ == QLatin1String("-")) return menu->addSeparator();
  QAction* item = menu->addAction(e->nsString_);
  item->setEnabled(true);
  return item;
}
