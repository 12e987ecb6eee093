// Languages made by a test from the installed English file: every row's
// text passed through a function (a mark before each, say), under another
// name and, when asked, another locale code, among the user's languages.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <functional>

#include "app/lang/resource_folders.h"
#include "kernel/text/kernel_strings.h"

namespace test_language {

// Writes the language `name` (its file among the user's languages) and
// answers its path; "" when the English file cannot be read.
inline QString write(const QString& name, const std::function<QByteArray(int row, const QByteArray& text)>& text_of,
                     const QString& code = QString()) {
  QFile en(QStringLiteral(KELVO_SOURCE_RESOURCES "/languages/English US.xcl"));
  if (!en.open(QIODevice::ReadOnly)) return QString();
  QByteArray out;
  int index = 0;
  for (const QByteArray& line : en.readAll().split('\n')) {
    const qsizetype start = line.indexOf('>') + 1;
    const qsizetype end = line.lastIndexOf("</string>");
    if (line.contains("<string ") && start > 0 && end >= start) {
      out += line.left(start) + text_of(index, line.mid(start, end - start)) + line.mid(end) + '\n';
      ++index;
      continue;
    }
    out += line + '\n';
  }
  out.replace("name=\"English US\"", "name=\"" + name.toUtf8() + "\"");
  if (!code.isEmpty()) out.replace("code=\"en_US\"", "code=\"" + code.toUtf8() + "\"");
  QDir().mkpath(kelvo::lang::user_languages_folder());
  const QString path = kelvo::lang::user_languages_folder() + QLatin1Char('/') + name + QStringLiteral(".xcl");
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return QString();
  f.write(out);
  return path;
}

// Every text with a "~" before it, except the three separator characters
// numbers are read with: whatever shows the mark came from the language.
inline QByteArray marked(int row, const QByteArray& text) {
  return row == lang_row::separators ? text : "~" + text;
}

inline bool is_marked(QString text) { return text.remove(QLatin1Char('&')).startsWith(QLatin1Char('~')); }

}  // namespace test_language
