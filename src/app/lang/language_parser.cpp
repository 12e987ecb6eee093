#include "app/lang/language_parser.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QStringDecoder>

#include "app/lang/language_starter.h"
#include "app/lang/resource_folders.h"
#include "app/lang/resource_string.h"

Q_LOGGING_CATEGORY(lcLanguage, "kelvo.language", QtWarningMsg)

namespace {
// One parse at a time: the state the elements share.
int string_counter = 0;
QString current_id;
unsigned strings_encoding = 4;
unsigned current_encoding = 4;

int hex_value(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}

bool is_escape(const QString& s, qsizetype i) {
  return i + 2 < s.size() && s[i] == QLatin1Char('%') && hex_value(s[i + 1]) >= 0 && hex_value(s[i + 2]) >= 0;
}

// A run of escaped bytes read as UTF-16 (big-endian unless a byte-order
// mark says otherwise); a run that is not valid UTF-16 is kept as written.
QString decode_run(const QByteArray& bytes, const QString& written) {
  if (bytes.size() % 2 != 0) return written;
  QStringDecoder decoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
  if (bytes.startsWith("\xFF\xFE")) decoder = QStringDecoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
  QString text = decoder.decode(bytes);
  if (decoder.hasError()) return written;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      ++i;
    } else if (text[i].isSurrogate()) {
      return written;
    }
  }
  if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
  return text;
}
}  // namespace

int NSKelvoLanguageParser::stringCounter() { return string_counter; }
unsigned NSKelvoLanguageParser::stringsEncoding() { return strings_encoding; }

void NSKelvoLanguageParser::resetSharedState() {
  string_counter = 0;
  current_id = QString();
  strings_encoding = 4;
  current_encoding = 4;
}

QString NSKelvoLanguageParser::decodeText(const QString& trimmed) {
  QString out;
  qsizetype i = 0;
  while (i < trimmed.size()) {
    if (!is_escape(trimmed, i)) {
      out.append(trimmed[i++]);
      continue;
    }
    const qsizetype start = i;
    QByteArray bytes;
    while (is_escape(trimmed, i)) {
      bytes.append(static_cast<char>(hex_value(trimmed[i + 1]) * 16 + hex_value(trimmed[i + 2])));
      i += 3;
    }
    out.append(decode_run(bytes, trimmed.mid(start, i - start)));
  }
  out.replace(QLatin1Char('$'), QLatin1Char('%'));
  out.replace(QChar(0x00A3), QLatin1Char('&'));
  return out;
}

std::unique_ptr<NSKelvoLanguageParser> NSKelvoLanguageParser::initWithFile(const QString& path,
                                                                           bool onlyLanguageInformation) {
  auto parser = std::make_unique<NSKelvoLanguageParser>();
  parser->attachFile(path);
  parser->setOnlyLanguageInfo(onlyLanguageInformation);
  // A string without an identifier before the first one of this file is
  // dropped, never filed under the previous file's last identifier.
  current_id = QString();
  parser->parseXMLFile();
  return parser;
}

std::unique_ptr<NSKelvoLanguageParser> NSKelvoLanguageParser::initWithBundleFile(const QString& resource,
                                                                                 bool onlyLanguageInformation) {
  const QString path = kelvo::lang::resource_file(resource);
  if (path.isEmpty()) return nullptr;
  return initWithFile(path, onlyLanguageInformation);
}

void NSKelvoLanguageParser::gotXMLElement() {
  const QString& name = getName();
  const QXmlStreamAttributes& attrs = attributes();
  if (name == QLatin1String("language")) {
    string_counter = 0;
    kelvoLanguage_ = attrs.value(QLatin1String("name")).toString();
    code_ = attrs.value(QLatin1String("code")).toString();
  } else if (name == QLatin1String("strings")) {
    if (attrs.hasAttribute(QLatin1String("encoding")))
      strings_encoding = attrs.value(QLatin1String("encoding")).toUInt();
  } else if (name == QLatin1String("string")) {
    if (attrs.hasAttribute(QLatin1String("ID"))) {
      QString id = attrs.value(QLatin1String("ID")).toString();
      if (id.endsWith(QLatin1Char('.'))) id.chop(1);
      current_id = id;
    }
    current_encoding = attrs.hasAttribute(QLatin1String("encoding"))
                           ? attrs.value(QLatin1String("encoding")).toUInt()
                           : strings_encoding;
  }
}

void NSKelvoLanguageParser::endXMLElement() {
  NSKelvoXMLParser::endXMLElement();
  const QString& name = getName();
  if (name == QLatin1String("language")) {
    qCDebug(lcLanguage, "Got new language : %s", qUtf8Printable(kelvoLanguage_));
    if (parseOnlyLanguageInformation_) {
      emit NSKelvoLanguageCenter::defaultCenter()->headerParsed(this);
      abortParsing();
    }
  } else if (name == QLatin1String("strings")) {
    strings_encoding = 4;
    qCDebug(lcLanguage, "</strings>");
  } else if (name == QLatin1String("string")) {
    const QString text = decodeText(currentStringValue_);
    ++string_counter;
    qCDebug(lcLanguage, "Got new string index %i - [%s] : \n%s", string_counter, qUtf8Printable(current_id),
            qUtf8Printable(text));
    NSKelvoResourceString::createEntryWithID(current_id, current_encoding, &text);
  }
  current_encoding = strings_encoding;
}
