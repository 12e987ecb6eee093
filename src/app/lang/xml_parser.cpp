#include "app/lang/xml_parser.h"

#include <QFile>
#include <QXmlStreamReader>

#include "app/lang/resource_folders.h"

std::unique_ptr<NSKelvoXMLParser> NSKelvoXMLParser::initWithFile(const QString& path) {
  auto reader = std::make_unique<NSKelvoXMLParser>();
  reader->attachFile(path);
  return reader;
}

std::unique_ptr<NSKelvoXMLParser> NSKelvoXMLParser::initWithBundleFile(const QString& resource) {
  const QString path = kelvo::lang::resource_file(resource);
  if (path.isEmpty()) return nullptr;
  return initWithFile(path);
}

QString NSKelvoXMLParser::getXMLEncoding(unsigned encoding) {
  switch (encoding) {
    case 1: return QStringLiteral("us-ascii");
    case 3: return QStringLiteral("euc-jp");
    case 4: return QStringLiteral("utf-8");
    case 5: return QStringLiteral(" ISO-8859-1");
    case 8: return QStringLiteral("shift_jis");
    case 9: return QStringLiteral(" ISO-8859-2");
    case 10: return QStringLiteral("utf-16");
    case 11: return QStringLiteral("windows-1251");
    case 12: return QStringLiteral("windows-1252");
    case 13: return QStringLiteral("windows-1253");
    case 14: return QStringLiteral("windows-1254");
    case 15: return QStringLiteral("windows-1250");
    case 21: return QStringLiteral("iso-2022-jp");
    case 1057: return QStringLiteral("euc-cn");
    case 2368: return QStringLiteral("euc-kr");
    case 2563:
    case 2566: return QStringLiteral("big5");
    default: return QString(QLatin1String(""));
  }
}

void NSKelvoXMLParser::gotError(const QString& message) { lastError_ = message; }

void NSKelvoXMLParser::endXMLElement() {
  if (!currentStringValue_.isNull()) currentStringValue_ = currentStringValue_.trimmed();
}

void NSKelvoXMLParser::parseXMLFile() {
  Q_ASSERT_X(!parsed_, "parseXMLFile", "a reader parses once");
  if (parsed_) return;
  parsed_ = true;
  QFile file(xmlDocumentURL_.toLocalFile());
  if (!file.open(QIODevice::ReadOnly)) {
    gotError(file.errorString());
    return;
  }
  // QXmlStreamReader never loads external entities; internal ones are
  // bounded by its expansion limit, so a hostile file ends in an error.
  QXmlStreamReader reader(&file);
  while (!reader.atEnd() && !aborted_) {
    switch (reader.readNext()) {
      case QXmlStreamReader::StartElement:
        currentName_ = reader.name().toString();
        currentAttributes_ = reader.attributes();
        gotXMLElement();
        break;
      case QXmlStreamReader::EndElement:
        currentName_ = reader.name().toString();
        endXMLElement();
        currentStringValue_ = QString();
        break;
      case QXmlStreamReader::Characters:
        if (currentStringValue_.isNull()) {
          currentStringValue_ = QString(QLatin1String(""));
          currentStringValue_.reserve(4096);
        }
        currentStringValue_.append(reader.text());
        break;
      default:
        break;
    }
  }
  if (reader.hasError() && !aborted_) gotError(reader.errorString());
}
