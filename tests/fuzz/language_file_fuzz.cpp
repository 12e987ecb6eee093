// Language files (".xcl"): the whole file and the header-only pass, each
// string stored as a resource string.
#include <QFile>
#include <QTemporaryDir>

#include "app/lang/language_parser.h"
#include "app/lang/resource_string.h"
#include "fuzz_target.h"

KELVO_FUZZ_TARGET(language_file_fuzz) {
  kelvo_fuzz_gui_application();
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("fuzz.xcl"));
  {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
  }
  for (bool header_only : {true, false}) (void)NSKelvoLanguageParser::initWithFile(path, header_only);
  NSKelvoResourceString::clearArray();
  return 0;
}
