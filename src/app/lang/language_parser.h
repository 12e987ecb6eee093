// Reader of ".xcl" language files: `language`, `strings` and `string`
// elements; every string read is stored as a resource string.
#pragma once

#include <QString>
#include <memory>

#include "app/lang/xml_parser.h"

class NSKelvoLanguageParser : public NSKelvoXMLParser {
 public:
  // A parser that has already read the file (header-only: stops at the end
  // of the `language` element). Null only when it cannot be made.
  static std::unique_ptr<NSKelvoLanguageParser> initWithFile(const QString& path, bool onlyLanguageInformation);
  static std::unique_ptr<NSKelvoLanguageParser> initWithBundleFile(const QString& resource,
                                                                   bool onlyLanguageInformation);

  void setOnlyLanguageInfo(bool only) { parseOnlyLanguageInformation_ = only; }
  const QString& language() const { return kelvoLanguage_; }
  // The locale code the file gives its language ("en_US"), or "".
  const QString& languageCode() const { return code_; }

  // Shared parse state, for tests: strings counted since the last
  // `language` element, and the current strings encoding.
  static int stringCounter();
  static unsigned stringsEncoding();
  // Back to the state of start-up (the language's tear-down).
  static void resetSharedState();

  // The text of a `string` element as stored: percent escapes decoded
  // (runs read as UTF-16), "$" -> "%", "£" -> "&".
  static QString decodeText(const QString& trimmed);

 protected:
  void gotXMLElement() override;
  void endXMLElement() override;

 private:
  QString kelvoLanguage_;
  QString code_;
  bool parseOnlyLanguageInformation_ = false;
};
