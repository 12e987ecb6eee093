#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_parser.h"
#include "app/lang/language_starter.h"
#include "app/lang/mac_roman_text.h"
#include "app/lang/resource_folders.h"
#include "app/lang/resource_string.h"
#include "app/support/language_fixture.h"
#include "kernel/text/kernel_strings.h"

namespace {

QString write_file(const QString& path, const QByteArray& body) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(body);
  return path;
}

QByteArray language(const QByteArray& name, const QByteArray& strings) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<language name=\"" + name + "\">\n<strings>\n" + strings +
         "</strings>\n</language>\n";
}

QByteArray numbered_strings(int count, const QByteArray& prefix) {
  QByteArray out;
  for (int i = 0; i < count; ++i)
    out += "<string ID=\"" + QByteArray::number(i) + "\">" + prefix + QByteArray::number(i) + "</string>\n";
  return out;
}

std::unique_ptr<NSKelvoLanguageParser> parse(const QTemporaryDir& dir, const QByteArray& body) {
  return NSKelvoLanguageParser::initWithFile(write_file(dir.filePath("t.xcl"), body), false);
}

QString text_of(const char* id) { return NSKelvoResourceString::nsStringByID(QString::fromLatin1(id)); }

class LanguageParser : public LanguageTest {};

TEST_F(LanguageParser, IdentifiersTextsAndEncodings) {
  QTemporaryDir dir;
  auto p = parse(dir, language("Test",
                               "<string ID=\"12.\">twelve</string>\n"
                               "<string ID=\"13..\">thirteen</string>\n"
                               "<string ID=\"7\"></string>\n"
                               "<string ID=\"8\">\n   costs 5$ £ more\n</string>\n"
                               "<string ID=\"9\">%00%20and%00%20</string>\n"
                               "<string ID=\"10\">50% off %zz %4</string>\n"
                               "<string ID=\"11\">%D8%00</string>\n"
                               "<string>replaces eleven</string>\n"));
  EXPECT_EQ(p->language(), QStringLiteral("Test"));
  EXPECT_EQ(text_of("12"), QStringLiteral("twelve"));
  EXPECT_EQ(text_of("13."), QStringLiteral("thirteen"));
  ASSERT_NE(NSKelvoResourceString::resourceStringByID(QStringLiteral("7")), nullptr);
  EXPECT_TRUE(text_of("7").isEmpty());
  EXPECT_EQ(text_of("8"), QStringLiteral("costs 5% & more"));
  EXPECT_EQ(text_of("9"), QStringLiteral(" and "));
  EXPECT_EQ(text_of("10"), QStringLiteral("50% off %zz %4"));
  // A string without an identifier replaces the previous one's text.
  EXPECT_EQ(text_of("11"), QStringLiteral("replaces eleven"));
  EXPECT_EQ(NSKelvoLanguageParser::stringCounter(), 8);
  EXPECT_EQ(NSKelvoResourceString::counter(), 8);
  EXPECT_EQ(NSKelvoResourceString::numEntries(), 7);
  EXPECT_EQ(NSKelvoResourceString::nsStringByID(QStringLiteral("  12\n")), QStringLiteral("twelve"));
  EXPECT_EQ(NSKelvoResourceString::resourceStringAtIndex(7), nullptr);
  EXPECT_NE(NSKelvoResourceString::resourceStringAtIndex(6), nullptr);
}

TEST_F(LanguageParser, InvalidUtf16EscapesAreKeptAsWritten) {
  EXPECT_EQ(NSKelvoLanguageParser::decodeText(QStringLiteral("%D8%00")), QStringLiteral("%D8%00"));
  EXPECT_EQ(NSKelvoLanguageParser::decodeText(QStringLiteral("a%41b")), QStringLiteral("a%41b"));
  EXPECT_EQ(NSKelvoLanguageParser::decodeText(QStringLiteral("%00%41%00%42")), QStringLiteral("AB"));
  EXPECT_EQ(NSKelvoLanguageParser::decodeText(QStringLiteral("%FF%FE%41%00")), QStringLiteral("A"));
}

TEST_F(LanguageParser, StringsEncodingAppliesToItsStrings) {
  QTemporaryDir dir;
  parse(dir, "<language name=\"E\"><strings encoding=\"12\">"
             "<string ID=\"a\">x</string><string ID=\"b\" encoding=\"5\">y</string><string ID=\"c\">z</string>"
             "</strings><strings><string ID=\"d\">w</string></strings></language>");
  EXPECT_EQ(NSKelvoResourceString::resourceStringByID(QStringLiteral("a"))->encoding(), 12u);
  EXPECT_EQ(NSKelvoResourceString::resourceStringByID(QStringLiteral("b"))->encoding(), 5u);
  EXPECT_EQ(NSKelvoResourceString::resourceStringByID(QStringLiteral("c"))->encoding(), 12u);
  EXPECT_EQ(NSKelvoResourceString::resourceStringByID(QStringLiteral("d"))->encoding(), 4u);
  EXPECT_EQ(NSKelvoLanguageParser::stringsEncoding(), 4u);
}

TEST_F(LanguageParser, StringBeforeAnyIdentifierIsDropped) {
  QTemporaryDir dir;
  parse(dir, language("A", "<string ID=\"last\">one</string>"));
  parse(dir, language("B", "<string>orphan</string><string ID=\"x\">two</string>"));
  EXPECT_EQ(text_of("last"), QStringLiteral("one"));
  EXPECT_EQ(NSKelvoResourceString::numEntries(), 2);
}

TEST_F(LanguageParser, HeaderOnlyStopsAtTheLanguageEnd) {
  QTemporaryDir dir;
  int headers = 0;
  QObject::connect(NSKelvoLanguageCenter::defaultCenter(), &NSKelvoLanguageCenter::headerParsed,
                   [&headers](NSKelvoLanguageParser*) { ++headers; });
  const QString path = write_file(dir.filePath("h.xcl"), "<language name=\"H\"/><string ID=\"1\">no</string>");
  auto p = NSKelvoLanguageParser::initWithFile(path, true);
  EXPECT_EQ(p->language(), QStringLiteral("H"));
  EXPECT_EQ(headers, 1);
  EXPECT_EQ(NSKelvoResourceString::numEntries(), 0);
}

TEST_F(LanguageParser, HostileOrBrokenFilesEndInAnErrorKeepingWhatWasRead) {
  QTemporaryDir dir;
  write_file(dir.filePath("secret.txt"), "SECRET");
  const QByteArray laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE language [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
      "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">]>"
      "<language name=\"L\"><strings><string ID=\"1\">&e;</string></strings></language>";
  auto p1 = parse(dir, laughs);
  EXPECT_FALSE(p1->lastError().isEmpty());
  EXPECT_LT(text_of("1").size(), 100000);

  const QByteArray external = "<?xml version=\"1.0\"?><!DOCTYPE language [<!ENTITY x SYSTEM \"file://" +
                              dir.filePath("secret.txt").toUtf8() +
                              "\">]><language name=\"X\"><strings><string ID=\"2\">&x;</string></strings></language>";
  parse(dir, external);
  EXPECT_FALSE(text_of("2").contains(QStringLiteral("SECRET")));

  auto p3 = parse(dir, language("M", "<string ID=\"3\">kept</string><string ID=\"4\">broken"));
  EXPECT_FALSE(p3->lastError().isEmpty());
  EXPECT_EQ(text_of("3"), QStringLiteral("kept"));

  auto p4 = NSKelvoLanguageParser::initWithFile(dir.filePath("missing.xcl"), false);
  ASSERT_NE(p4, nullptr);
  EXPECT_FALSE(p4->lastError().isEmpty());
}

TEST(MacRomanText, RoundTripsAndMarksWhatItLacks) {
  const QString text = QStringLiteral("Degr\u00e9 \u00b0 \u221e \u2264 \u03c0 \u00ab\u00bb");
  const QByteArray bytes = kelvo::lang::to_mac_roman(text);
  EXPECT_EQ(bytes, QByteArray("Degr\x8E \xA1 \xB0 \xB2 \xB9 \xC7\xC8"));
  EXPECT_EQ(kelvo::lang::from_mac_roman(bytes.constData()), text);
  EXPECT_EQ(kelvo::lang::to_mac_roman(QStringLiteral("mm\u00b2 \u03b8")), QByteArray("mm\xB2 ?"));
}

// The language folders of a test: an installed folder and a user folder.
class LanguageFolders : public LanguageTest {
 protected:
  void SetUp() override {
    LanguageTest::SetUp();
    kelvo::lang::set_language_folders_for_testing(dir.filePath("installed"), dir.filePath("user"));
    QDir().mkpath(dir.filePath("installed"));
  }
  QString installed(const QString& name, const QByteArray& body) {
    return write_file(dir.filePath("installed/" + name + ".xcl"), body);
  }
  QString user(const QString& name, const QByteArray& body) {
    return write_file(dir.filePath("user/" + name + ".xcl"), body);
  }
  QTemporaryDir dir;
};

struct RecordingDelegate : NSKelvoLanguageDelegate {
  QStringList calls;
  void languageInited() override { calls << QStringLiteral("inited"); }
  void languageLoaded() override { calls << QStringLiteral("loaded"); }
  void languageError() override { calls << QStringLiteral("error"); }
};

TEST_F(LanguageFolders, NoLanguageFileGivesOnlyTheError) {
  RecordingDelegate d;
  EXPECT_FALSE(kelvo::lang::start_language(QString(), &d));
  EXPECT_EQ(d.calls, QStringList{QStringLiteral("error")});
  EXPECT_EQ(NSKelvoLanguageStarter::sharedStarter(), nullptr);
}

TEST_F(LanguageFolders, StartUpListsBothFoldersAndLoadsWithFallback) {
  installed(QStringLiteral("English US"), language("English US", numbered_strings(3, "en")));
  installed(QStringLiteral("sub/Other"), language("Other", ""));
  user(QStringLiteral("Mine"), language("Mine", "<string ID=\"1\">mine</string>"));
  RecordingDelegate d;
  ASSERT_TRUE(kelvo::lang::start_language(QStringLiteral("Klingon"), &d));
  EXPECT_EQ(d.calls, (QStringList{QStringLiteral("inited"), QStringLiteral("loaded")}));
  EXPECT_EQ(NSKelvoLanguageStarter::availableLanguages(),
            (QStringList{QStringLiteral("Mine"), QStringLiteral("English US"), QStringLiteral("sub/Other")}));
  // English was read, the asked name stays current.
  EXPECT_EQ(NSKelvoLanguageStarter::currentLanguage(), QStringLiteral("Klingon"));
  EXPECT_EQ(text_of("2"), QStringLiteral("en2"));
  // A second start-up call does nothing.
  EXPECT_EQ(NSKelvoLanguageStarter::initLanguageStarter(&d, QStringLiteral("Mine")), nullptr);

  d.calls.clear();
  EXPECT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("Klingon")));
  EXPECT_TRUE(d.calls.isEmpty());
  EXPECT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("Mine")));
  EXPECT_EQ(d.calls, QStringList{QStringLiteral("loaded")});
  // Replaced in place, entries the new file lacks keep their text.
  EXPECT_EQ(text_of("1"), QStringLiteral("mine"));
  EXPECT_EQ(text_of("2"), QStringLiteral("en2"));
  EXPECT_EQ(NSKelvoResourceString::numEntries(), 3);
  EXPECT_EQ(NSKelvoResourceString::counter(), 1);

  // Names never leave the folders.
  EXPECT_TRUE(NSKelvoLanguageStarter::languageFilePath(QStringLiteral("../installed/English US"))
                  .endsWith(QStringLiteral("installed/English US.xcl")));
}

TEST_F(LanguageFolders, OnlyUserLanguagesThatAreNotCurrentCanBeRemoved) {
  installed(QStringLiteral("English US"), language("English US", ""));
  const QString mine = user(QStringLiteral("Mine"), language("Mine", ""));
  write_file(dir.filePath("user/Mine.tif"), "flag");
  user(QStringLiteral("Current"), language("Current", ""));
  RecordingDelegate d;
  ASSERT_TRUE(kelvo::lang::start_language(QStringLiteral("Current"), &d));
  const QStringList& names = NSKelvoLanguageStarter::availableLanguages();
  EXPECT_FALSE(NSKelvoLanguageStarter::removeLanguageAtIndex(names.indexOf(QStringLiteral("Current"))));
  EXPECT_FALSE(NSKelvoLanguageStarter::removeLanguageAtIndex(names.indexOf(QStringLiteral("English US"))));
  EXPECT_FALSE(NSKelvoLanguageStarter::removeLanguageAtIndex(99));
  EXPECT_TRUE(NSKelvoLanguageStarter::removeLanguageAtIndex(names.indexOf(QStringLiteral("Mine"))));
  EXPECT_FALSE(QFile::exists(mine));
  EXPECT_FALSE(QFile::exists(dir.filePath("user/Mine.tif")));
  EXPECT_FALSE(names.contains(QStringLiteral("Mine")));
}

}  // namespace
