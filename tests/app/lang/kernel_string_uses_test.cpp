// Every row of the kernel string table that the program can show, found by
// reading the program's sources, has its English text and a role in the
// row table: no user ever sees "String N".
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include "app/lang/language_parser.h"
#include "app/lang/resource_string.h"
#include "app/support/language_fixture.h"
#include "kernel/text/kernel_strings.h"

namespace {

const QString kLanguages = QStringLiteral(KELVO_SOURCE_RESOURCES "/languages");
const QString kSources = QStringLiteral(KELVO_TEST_DATA "/../../src");

QString read_all(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

using RowUses = QMap<int, QStringList>;

// The ways the sources name a row: a number or a named constant handed to
// kernel_string, to kernel_strings[] or to a file's own helper that passes
// its argument on to them; a table of (row, text) pairs whose row field is
// handed on; a row variable set to a number; a label pattern "[N](...)" of
// a menu item; the named rows of the kernel's table.
RowUses scan_sources() {
  QMap<QString, QString> files;
  QDirIterator it(kSources, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    files[path.mid(kSources.size() + 1)] = read_all(path);
  }
  QStringList helpers{QStringLiteral("kernel_string")};
  const QRegularExpression helper_def(
      QStringLiteral(R"((\w+)\(int (\w+)[^)]*\)\s*\{[^{}]*kernel_strings?[\[(]\2[\])])"));
  for (const QString& text : files)
    for (auto m = helper_def.globalMatch(text); m.hasNext();) helpers << m.next().captured(1);
  helpers.removeDuplicates();
  const QString h = QStringLiteral("(?:%1)").arg(helpers.join(QLatin1Char('|')));

  const QRegularExpression literal_arg(QStringLiteral(R"(\b%1\s*\(\s*(\d+)\s*[),])").arg(h));
  const QRegularExpression literal_index(QStringLiteral(R"(\bkernel_strings\[\s*(\d+)\s*\])"));
  const QRegularExpression constant(
      QStringLiteral(R"(constexpr\s+(?:int|int32_t|int16_t|uint16_t|long|unsigned)\s+(k\w*)\s*=\s*(\d+)\s*;)"));
  const QRegularExpression call_args(QStringLiteral(R"(\b(?:%1\s*\(|kernel_strings\[)([^;{}]*))").arg(h));
  const QRegularExpression name(QStringLiteral(R"(\b(k\w+)\b)"));
  const QRegularExpression row_name(QStringLiteral(R"(kRow\w+|k\w+Row)"));
  const QRegularExpression table_use(QStringLiteral(R"(\b%1\s*\(\s*\w+\.row\b)").arg(h));
  const QRegularExpression table_entry(QStringLiteral(R"(\{\s*(\d+)\s*,\s*")"));
  const QRegularExpression row_variable_use(QStringLiteral(R"(\b%1\s*\(\s*row\b)").arg(h));
  const QRegularExpression row_assignment(QStringLiteral(R"(\brow\s*=\s*(\d+)\s*;)"));
  const QRegularExpression pattern(QStringLiteral(R"re("\[(\d+)\])re"));

  RowUses uses;
  auto add = [&](int row, const QString& where) {
    if (row >= 0 && row < kKernelStringCount) uses[row] << where;
  };
  auto each = [](const QRegularExpression& re, const QString& text, auto&& f) {
    for (auto m = re.globalMatch(text); m.hasNext();) f(m.next());
  };
  for (auto f = files.cbegin(); f != files.cend(); ++f) {
    const QString& file = f.key();
    const QString& text = f.value();
    each(pattern, text, [&](const QRegularExpressionMatch& m) { add(m.captured(1).toInt(), file); });
    if (!text.contains(QLatin1String("kernel_string")) || file == QLatin1String("kernel/text/kernel_strings.cpp"))
      continue;
    each(literal_arg, text, [&](const QRegularExpressionMatch& m) { add(m.captured(1).toInt(), file); });
    each(literal_index, text, [&](const QRegularExpressionMatch& m) { add(m.captured(1).toInt(), file); });
    QMap<QString, int> constants;
    each(constant, text, [&](const QRegularExpressionMatch& m) { constants[m.captured(1)] = m.captured(2).toInt(); });
    for (auto c = constants.cbegin(); c != constants.cend(); ++c)
      if (row_name.match(c.key()).capturedLength() == c.key().size() && c.key() != QLatin1String("kPerRow"))
        add(c.value(), file + QLatin1Char(':') + c.key());
    each(call_args, text, [&](const QRegularExpressionMatch& m) {
      each(name, m.captured(1), [&](const QRegularExpressionMatch& n) {
        if (constants.contains(n.captured(1))) add(constants[n.captured(1)], file + QLatin1Char(':') + n.captured(1));
      });
    });
    if (table_use.match(text).hasMatch())
      each(table_entry, text, [&](const QRegularExpressionMatch& m) { add(m.captured(1).toInt(), file); });
    if (row_variable_use.match(text).hasMatch())
      each(row_assignment, text, [&](const QRegularExpressionMatch& m) { add(m.captured(1).toInt(), file); });
  }
  const QRegularExpression named_row(QStringLiteral(R"(inline constexpr int (\w+) = (\d+);)"));
  each(named_row, files.value(QStringLiteral("kernel/text/kernel_strings.h")),
       [&](const QRegularExpressionMatch& m) { add(m.captured(2).toInt(), QStringLiteral("lang_row::") + m.captured(1)); });
  return uses;
}

QMap<int, QString> row_roles() {
  QMap<int, QString> roles;
  for (const QString& line : read_all(kLanguages + QStringLiteral("/string_rows.tsv")).split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1Char('#')) || line.isEmpty()) continue;
    const QStringList cols = line.split(QLatin1Char('\t'));
    if (cols.size() >= 4) roles[cols[0].toInt()] = cols[3];
  }
  return roles;
}

class KernelStringUses : public LanguageTest {};

TEST_F(KernelStringUses, EveryRowTheProgramShowsHasItsEnglishText) {
  const RowUses uses = scan_sources();
  // The scan sees the uses it must see: a label table, a literal, a named
  // constant and a menu item's label pattern.
  for (int row : {971, 702, 299, 546, 511}) EXPECT_TRUE(uses.contains(row)) << row;

  auto parser = NSKelvoLanguageParser::initWithFile(kLanguages + QStringLiteral("/English US.xcl"), false);
  ASSERT_TRUE(parser->lastError().isEmpty()) << qPrintable(parser->lastError());
  ASSERT_EQ(NSKelvoResourceString::numEntries(), kKernelStringCount);
  const QMap<int, QString> roles = row_roles();
  const QRegularExpression placeholder_text(QStringLiteral(R"(String \d+)"));
  for (auto u = uses.cbegin(); u != uses.cend(); ++u) {
    const int row = u.key();
    const QString text = NSKelvoResourceString::nsStringAtIndex(static_cast<unsigned>(row));
    const QString where = u.value().join(QStringLiteral(", "));
    EXPECT_FALSE(placeholder_text.match(text).capturedLength() == text.size() && !text.isEmpty())
        << "row " << row << " reads \"" << qPrintable(text) << "\", used by " << qPrintable(where);
    EXPECT_TRUE(roles.value(row) != QStringLiteral("unassigned"))
        << "row " << row << " is marked unassigned, used by " << qPrintable(where);
  }
}

}  // namespace
