// The process-wide store of language strings by identifier, in the order
// each identifier was first read.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>
#include <vector>

class QAction;
class QMenu;

class NSKelvoResourceString {
 public:
  NSKelvoResourceString(QString id, unsigned encoding, QString text);

  const QString& idString() const { return idString_; }
  unsigned encoding() const { return encoding_; }
  const QString& nsString() const { return nsString_; }
  void setString(const QString& text, unsigned encoding);
  // The text in the kernel's 8-bit encoding (Mac Roman).
  QByteArray cStringWithEncoding() const;

  static void resetCounter();
  static int counter();
  // Null before the first entry.
  static const std::vector<std::unique_ptr<NSKelvoResourceString>>* stringsArray();
  static long numEntries();
  static void clearArray();
  // Back to the state of start-up: no store (stringsArray() is null) and
  // the counter at 0.
  static void freeStrings();

  static NSKelvoResourceString* resourceStringByID(const QString& id);
  static NSKelvoResourceString* resourceStringAtIndex(unsigned index);
  // Looks the identifier up after trimming it; a null string when absent.
  static QString nsStringByID(const QString& id);
  static QByteArray cStringByID(const QString& id);  // UTF-8
  static QString nsStringAtIndex(unsigned index);
  static QByteArray cStringAtIndex(unsigned index);  // UTF-8

  // Replaces the text of the entry with this identifier, or appends a new
  // entry; a null identifier makes none, a null text is stored as a marker.
  // Counts every call.
  static NSKelvoResourceString* createEntryWithID(const QString& id, unsigned encoding, const QString* text);

  // Appends a menu item titled with the string of an identifier ("-" gives
  // a separator); null when the menu is null or the identifier has no string.
  static QAction* appendMenuWithStringByID(QMenu* menu, const QString& id);
  template <typename Receiver, typename Slot>
  static QAction* appendMenuWithStringByID(QMenu* menu, const QString& id, Receiver* target, Slot action);
  static bool appendMenuWithStringsWithID(QMenu*, const QString&) { return false; }

 private:
  QString idString_;
  unsigned encoding_;
  QString nsString_;
};

#include <QAction>

template <typename Receiver, typename Slot>
QAction* NSKelvoResourceString::appendMenuWithStringByID(QMenu* menu, const QString& id, Receiver* target,
                                                         Slot action) {
  QAction* item = appendMenuWithStringByID(menu, id);
  if (item != nullptr && target != nullptr) QObject::connect(item, &QAction::triggered, target, action);
  return item;
}
