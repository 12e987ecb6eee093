// A small event-driven XML reader: subclasses act on element starts and
// ends. External entities are never resolved and nothing is fetched.
#pragma once

#include <QString>
#include <QUrl>
#include <QXmlStreamAttributes>
#include <memory>

class NSKelvoXMLParser {
 public:
  NSKelvoXMLParser() = default;
  virtual ~NSKelvoXMLParser() = default;
  NSKelvoXMLParser(const NSKelvoXMLParser&) = delete;
  NSKelvoXMLParser& operator=(const NSKelvoXMLParser&) = delete;

  // A reader for a file; nothing is parsed yet.
  static std::unique_ptr<NSKelvoXMLParser> initWithFile(const QString& path);
  // A reader for a file of the application's resources (null when absent).
  static std::unique_ptr<NSKelvoXMLParser> initWithBundleFile(const QString& resource);

  void attachURL(const QUrl& url) { xmlDocumentURL_ = url; }
  void attachFile(const QString& path) { xmlDocumentURL_ = QUrl::fromLocalFile(path); }
  const QUrl& url() const { return xmlDocumentURL_; }

  const QString& getName() const { return currentName_; }
  // The character data gathered since the last element end; null when none.
  const QString& getStringValue() const { return currentStringValue_; }
  const QString& getProperty() const { return currentProperty_; }
  const QXmlStreamAttributes& attributes() const { return currentAttributes_; }

  // Charset name of an encoding number; "" for an unknown number.
  static QString getXMLEncoding(unsigned encoding);

  // Reads the whole file synchronously. A reader parses once.
  void parseXMLFile();
  bool parsed() const { return parsed_; }
  // The last error reported by the reader ("" when none).
  const QString& lastError() const { return lastError_; }

 protected:
  virtual void gotError(const QString& message);
  virtual void gotXMLElement() {}
  // Trims the gathered text; subclasses call it first.
  virtual void endXMLElement();
  // Ends the parse after the current event.
  void abortParsing() { aborted_ = true; }

  QString currentStringValue_;

 private:
  QUrl xmlDocumentURL_;
  QString currentName_;
  QString currentProperty_;
  QXmlStreamAttributes currentAttributes_;
  QString lastError_;
  bool parsed_ = false;
  bool aborted_ = false;
};
