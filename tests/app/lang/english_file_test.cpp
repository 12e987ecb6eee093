// The installed English language file against its row table, and the fill
// of the kernel string table that follows a load.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/lang/kernel_string_fill.h"
#include "app/lang/language_parser.h"
#include "app/lang/language_starter.h"
#include "app/lang/resource_folders.h"
#include "app/lang/resource_string.h"
#include "app/support/language_fixture.h"
#include "kernel/model/classes.h"
#include "kernel/text/kernel_strings.h"

namespace {

const QString kLanguages = QStringLiteral(KELVO_SOURCE_RESOURCES "/languages");

struct Row {
  bool required = false;
  QStringList placeholders;
  QString role;
};

QList<Row> read_row_table() {
  QFile f(kLanguages + QStringLiteral("/string_rows.tsv"));
  EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text));
  QList<Row> rows;
  while (!f.atEnd()) {
    const QString line = QString::fromUtf8(f.readLine()).chopped(1);
    if (line.startsWith(QLatin1Char('#')) || line.isEmpty()) continue;
    const QStringList cols = line.split(QLatin1Char('\t'));
    EXPECT_EQ(cols.size(), 5) << qPrintable(line);
    EXPECT_EQ(cols[0].toInt(), rows.size()) << qPrintable(line);
    Row r;
    r.required = cols[1] == QLatin1String("yes");
    r.placeholders = cols[2].split(QLatin1Char(' '), Qt::SkipEmptyParts);
    r.role = cols[3];
    rows << r;
  }
  return rows;
}

class EnglishLanguageFile : public LanguageTest {};

TEST_F(EnglishLanguageFile, MatchesItsRowTable) {
  const QList<Row> table = read_row_table();
  ASSERT_EQ(table.size(), kKernelStringCount);

  auto parser = NSKelvoLanguageParser::initWithFile(kLanguages + QStringLiteral("/English US.xcl"), false);
  EXPECT_TRUE(parser->lastError().isEmpty()) << qPrintable(parser->lastError());
  EXPECT_EQ(parser->language(), QStringLiteral("English US"));
  EXPECT_EQ(NSKelvoResourceString::counter(), kKernelStringCount);
  ASSERT_EQ(NSKelvoResourceString::numEntries(), kKernelStringCount);  // identifiers are unique

  const QRegularExpression placeholder(QStringLiteral("%[1-9]"));
  for (int row = 0; row < kKernelStringCount; ++row) {
    const QString text = NSKelvoResourceString::nsStringAtIndex(row);
    EXPECT_EQ(NSKelvoResourceString::resourceStringAtIndex(row)->idString(), QString::number(row));
    if (table[row].required) EXPECT_FALSE(text.trimmed().isEmpty()) << row << " " << qPrintable(table[row].role);
    for (const QString& p : table[row].placeholders) EXPECT_TRUE(text.contains(p)) << row << " lacks " << qPrintable(p);
    // No stray placeholder where the row's use gives no argument.
    if (table[row].placeholders.isEmpty()) EXPECT_FALSE(text.contains(placeholder)) << row;
  }
  // Texts the kernel joins with others keep their blanks.
  EXPECT_EQ(NSKelvoResourceString::nsStringAtIndex(352), QStringLiteral(" and "));
  EXPECT_EQ(NSKelvoResourceString::nsStringAtIndex(275).size(), 3);
  EXPECT_EQ(NSKelvoResourceString::nsStringAtIndex(46), QStringLiteral("\u00b0"));
}

// Start-up with the installed English file, then a switch to a language
// built from it with a few rows translated.
class LanguageLoad : public LanguageTest {
 protected:
  void SetUp() override {
    LanguageTest::SetUp();
    kelvo::lang::set_language_folders_for_testing(kLanguages, dir.filePath("user"));
    auto& h = kelvo::lang::follow_up_hooks();
    h.message_box = [this](const QString& text, const QString& title, int mode) {
      messages << title + QLatin1Char('|') + text + QLatin1Char('|') + QString::number(mode);
      return 1;
    };
    h.ask_yes_no = [this](const QString& text) {
      questions << text;
      return answer;
    };
    h.store_language_preference = [this](const QString& name) { stored << name; };
    h.read_language_preference = [] { return QString(); };
    h.toolbar_exists = [this] { return toolbar; };
    h.write_menus_image = [] { return QByteArray("Menus Kelvo Nova vers. MS-Windows (MAC 1.40)\r\n\r\n Pointer\r\n\r\n"); };
    h.read_menus_image = [this](const QByteArray& image, qsizetype offset) { menus << image.mid(offset); };
    h.drop_default_macro_help = [this](const char* old) { dropped << QString::fromLatin1(old); };
    h.apply_default_macro_help = [this](const char* now) { applied << QString::fromLatin1(now); };
  }
  // A full copy of English with some rows replaced.
  void write_variant(const QString& name, const QMap<int, QByteArray>& rows, int drop_last = 0) {
    QFile en(kLanguages + QStringLiteral("/English US.xcl"));
    ASSERT_TRUE(en.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = en.readAll().split('\n');
    QByteArray out;
    int index = 0;
    for (const QByteArray& line : lines) {
      if (line.contains("<string ")) {
        if (index >= kKernelStringCount - drop_last) {
          ++index;
          continue;
        }
        if (rows.contains(index)) {
          out += "  <string ID=\"" + QByteArray::number(index) + "\">" + rows[index] + "</string>\n";
          ++index;
          continue;
        }
        ++index;
      }
      out += line + '\n';
    }
    QDir().mkpath(dir.filePath("user"));
    QFile f(dir.filePath("user/" + name + ".xcl"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(out);
  }

  struct Delegate : NSKelvoLanguageDelegate {
    bool inited = false;
    bool filled = false;
    void languageLoaded() override { filled = kelvo::lang::languageLoaded(inited); }
  } delegate;
  QTemporaryDir dir;
  QStringList messages, questions, stored, dropped, applied;
  QList<QByteArray> menus;
  int answer = 1;
  bool toolbar = false;
};

TEST_F(LanguageLoad, StartUpFillsTheKernelTableFromEnglish) {
  ASSERT_TRUE(kelvo::lang::start_language(QString(), &delegate));
  EXPECT_TRUE(delegate.filled);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_TRUE(questions.isEmpty());  // the start-up load asks nothing
  EXPECT_FALSE(lang_first_load_pending());
  EXPECT_STREQ(kernel_string(0), "Kelvo Nova");
  EXPECT_STREQ(kernel_string(11), "No unit");
  EXPECT_STREQ(kernel_string(35), "mm\xB2");
  EXPECT_STREQ(kernel_string(46), "\xA1");
  EXPECT_STREQ(kernel_string(296), "The file \xC7");
  EXPECT_STREQ(kernel_string(786), "&Work session");
  EXPECT_STREQ(kernel_string(771), "The variable name was changed to %1.");
  EXPECT_STREQ(kernel_string(941), "");
  EXPECT_EQ(kelvo::lang::lang_native_string(941), QStringLiteral("Show Fonts"));
  EXPECT_EQ(kelvo::lang::lang_native_string(342), QStringLiteral("OK"));
  EXPECT_TRUE(kelvo::lang::lang_native_string(1).isNull());
  EXPECT_EQ(separator_chars[1], '.');
  EXPECT_STREQ(method_argument_words[1], "this point");
  EXPECT_EQ(dropped, QStringList{QString()});
  EXPECT_EQ(applied, QStringList{QStringLiteral("Macro built from a construction")});
  // No toolbar yet: the menus are neither written nor read.
  EXPECT_TRUE(menus.isEmpty());
}

TEST_F(LanguageLoad, SwitchingAtRunTimeRefillsAndAsksToKeepTheLanguage) {
  write_variant(QStringLiteral("Fran\u00e7ais"), {{289, "Macro construite"}, {342, "D'accord"}, {46, "\u00c2\u00b0"}});
  ASSERT_TRUE(kelvo::lang::start_language(QString(), &delegate));
  delegate.inited = true;
  toolbar = true;
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("Fran\u00e7ais")));
  EXPECT_TRUE(delegate.filled);
  EXPECT_STREQ(kernel_string(342), "D'accord");
  EXPECT_EQ(kelvo::lang::lang_native_string(342), QStringLiteral("D'accord"));
  EXPECT_STREQ(kernel_string(46), "\xE5\xA1");
  EXPECT_EQ(dropped.last(), QStringLiteral("Macro built from a construction"));
  EXPECT_EQ(applied.last(), QStringLiteral("Macro construite"));
  EXPECT_EQ(questions, QStringList{QStringLiteral("Keep this language the next time Kelvo Nova starts?")});
  EXPECT_EQ(stored, QStringList{QStringLiteral("Fran\u00e7ais")});
  // The menus went through memory, handed back after their header line.
  ASSERT_EQ(menus.size(), 1);
  EXPECT_EQ(menus[0], QByteArray(" Pointer\r\n\r\n"));

  answer = 0;
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("English US")));
  EXPECT_STREQ(kernel_string(342), "OK");
  EXPECT_EQ(stored.size(), 1);
}

// Without a toolbar as with one, the names of classes and types follow each
// load, and the tear-down leaves them on texts that stay.
TEST_F(LanguageLoad, NamesOfClassesAndTypesFollowEveryLoad) {
  write_variant(QStringLiteral("Other"), {{358, "Segmento"}, {53, "punto"}});
  ASSERT_TRUE(kelvo::lang::start_language(QString(), &delegate));
  EXPECT_STREQ(classe_segment.name, "Segment");
  delegate.inited = true;
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("Other")));
  EXPECT_STREQ(classe_segment.name, "Segmento");
  EXPECT_STREQ(type_point.name, "punto");
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("English US")));
  EXPECT_STREQ(classe_segment.name, "Segment");
  EXPECT_STREQ(type_point.name, "point");
  kelvo::lang::free_language();
  EXPECT_STREQ(classe_segment.name, "Segment");
  EXPECT_TRUE(lang_first_load_pending());
  EXPECT_EQ(NSKelvoResourceString::stringsArray(), nullptr);
  EXPECT_EQ(NSKelvoLanguageStarter::sharedStarter(), nullptr);
}

TEST_F(LanguageLoad, AWrongStringCountChangesNoKernelText) {
  write_variant(QStringLiteral("Short"), {{342, "Short OK"}}, 1);
  ASSERT_TRUE(kelvo::lang::start_language(QString(), &delegate));
  delegate.inited = true;
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("Short")));
  EXPECT_FALSE(delegate.filled);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0], QStringLiteral("Error in Kelvo Nova language file|There are not enough strings in this "
                                        "language file.\nExpecting 976 strings, found 975.|2"));
  EXPECT_STREQ(kernel_string(342), "OK");
  EXPECT_TRUE(questions.isEmpty());
}

TEST_F(LanguageLoad, APartialLanguageSwitchesLabelsButNotTheKernelTexts) {
  QDir().mkpath(dir.filePath("user"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(KELVO_TEST_DATA "/lang/French.xcl"), dir.filePath("user/French.xcl")));
  ASSERT_TRUE(kelvo::lang::start_language(QString(), &delegate));
  delegate.inited = true;
  ASSERT_TRUE(NSKelvoLanguageStarter::loadLanguageFile(QStringLiteral("French")));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("found 6.")));
  EXPECT_EQ(NSKelvoResourceString::nsStringByID(QStringLiteral("344")), QStringLiteral("Annuler"));
  EXPECT_EQ(NSKelvoResourceString::nsStringByID(QStringLiteral("345")), QStringLiteral("String 345"));
  EXPECT_STREQ(kernel_string(344), "Cancel");
}

TEST_F(LanguageLoad, AStartUpFileWithTooManyStringsKeepsTheBuiltInDefaults) {
  QFile en(kLanguages + QStringLiteral("/English US.xcl"));
  ASSERT_TRUE(en.open(QIODevice::ReadOnly));
  QByteArray body = en.readAll();
  body.replace("</strings>", "<string ID=\"extra\">x</string></strings>");
  kelvo::lang::set_language_folders_for_testing(dir.filePath("only"), QString());
  QDir().mkpath(dir.filePath("only"));
  QFile f(dir.filePath("only/English US.xcl"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(body);
  f.close();
  ASSERT_TRUE(kelvo::lang::start_language(QString(), &delegate));
  EXPECT_FALSE(delegate.filled);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("found 977")));
  EXPECT_TRUE(lang_first_load_pending());
  EXPECT_STREQ(kernel_string(11), "Sans unit\x8E");
}

}  // namespace
