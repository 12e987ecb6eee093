#include "app/lang/language_switcher.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include "app/lang/language_starter.h"
#include "app/lang/resource_string.h"

namespace {

QString replace_exponents(QString text) {
  text.replace(QLatin1String("\\2"), QString(QChar(0x00B2)));
  text.replace(QLatin1String("\\3"), QString(QChar(0x00B3)));
  return text;
}

bool is_pattern(const QString& text) { return !text.isEmpty() && text.startsWith(QLatin1Char('[')); }

NSKelvoLanguageSwitcherPair* make_pair(QObject* target, NSKelvoLanguageSwitcherPair::Getter get,
                                       NSKelvoLanguageSwitcherPair::Setter set,
                                       NSKelvoLanguageSwitcherPair::Pairs* pairs) {
  const QString text = get();
  if (!is_pattern(text)) return nullptr;
  auto pair = std::make_unique<NSKelvoLanguageSwitcherPair>(target, text, std::move(get), std::move(set));
  NSKelvoLanguageSwitcherPair* raw = pair.get();
  raw->updatePair();
  if (pairs != nullptr) {
    pairs->push_back(std::move(pair));
  } else {
    // Without an owner the pair is applied once and forgotten.
    return nullptr;
  }
  return raw;
}

void pairs_for_children(QWidget* parent, NSKelvoLanguageSwitcherPair::Pairs* pairs) {
  for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    NSKelvoLanguageSwitcherPair::createPairWithView(child, pairs);
}

}  // namespace

NSKelvoLanguageSwitcherPair::NSKelvoLanguageSwitcherPair(QObject* target, const QString& pattern, Getter get,
                                                         Setter set)
    : target_(target), pattern_(pattern), get_(std::move(get)), set_(std::move(set)) {
  // A reference written with a comma names the same string as with a dot.
  const qsizetype comma = pattern_.indexOf(QLatin1Char(','));
  if (comma >= 0) pattern_[comma] = QLatin1Char('.');
}

void NSKelvoLanguageSwitcherPair::updatePair() {
  const QString text = stringWithPatternString(pattern_);
  if (!text.isNull() && target_ && set_) set_(text);
}

QString NSKelvoLanguageSwitcherPair::stringWithPatternString(const QString& p) {
  const qsizetype open = p.indexOf(QLatin1Char('['));
  const qsizetype close = open < 0 ? -1 : p.indexOf(QLatin1Char(']'), open);
  if (open < 0 || close < 0) return replace_exponents(p);
  const QString looked_up = NSKelvoResourceString::nsStringByID(p.mid(open + 1, close - open - 1));
  qsizetype end = close + 1;
  QString fallback;
  const qsizetype fopen = p.indexOf(QLatin1Char('('));
  const qsizetype fclose = p.lastIndexOf(QLatin1Char(')'));
  if (fopen >= 0 && fclose > fopen) {
    fallback = p.mid(fopen + 1, fclose - fopen - 1);
    end = fclose + 1;
  }
  const QString middle = !looked_up.isNull() ? looked_up : fallback;
  return replace_exponents(p.left(open) + middle + p.mid(end));
}

NSKelvoLanguageSwitcherPair* NSKelvoLanguageSwitcherPair::createPairWithView(QObject* object, Pairs* pairs) {
  if (object == nullptr) return nullptr;
  if (auto* combo = qobject_cast<QComboBox*>(object)) {
    // The items follow the language, the box itself has no title.
    for (int i = 0; i < combo->count(); ++i) {
      QPointer<QComboBox> box(combo);
      make_pair(
          combo, [box, i] { return box ? box->itemText(i) : QString(); },
          [box, i](const QString& t) {
            if (box) box->setItemText(i, t);
          },
          pairs);
    }
    return nullptr;
  }
  if (auto* tabs = qobject_cast<QTabWidget*>(object)) {
    for (int i = 0; i < tabs->count(); ++i) {
      pairs_for_children(tabs->widget(i), pairs);
      QPointer<QTabWidget> t(tabs);
      make_pair(
          tabs, [t, i] { return t ? t->tabText(i) : QString(); },
          [t, i](const QString& s) {
            if (t) t->setTabText(i, s);
          },
          pairs);
    }
    return nullptr;
  }
  if (auto* box = qobject_cast<QGroupBox*>(object)) {
    pairs_for_children(box, pairs);
    return make_pair(
        box, [box] { return box->title(); }, [box](const QString& s) { box->setTitle(s); }, pairs);
  }
  if (auto* label = qobject_cast<QLabel*>(object)) {
    return make_pair(
        label, [label] { return label->text(); }, [label](const QString& s) { label->setText(s); }, pairs);
  }
  if (auto* field = qobject_cast<QLineEdit*>(object)) {
    if (!field->isReadOnly()) return nullptr;  // what the user types is left alone
    return make_pair(
        field, [field] { return field->text(); }, [field](const QString& s) { field->setText(s); }, pairs);
  }
  if (auto* button = qobject_cast<QAbstractButton*>(object)) {
    return make_pair(
        button, [button] { return button->text(); }, [button](const QString& s) { button->setText(s); }, pairs);
  }
  if (auto* menu = qobject_cast<QMenu*>(object)) {
    return make_pair(
        menu, [menu] { return menu->title(); }, [menu](const QString& s) { menu->setTitle(s); }, pairs);
  }
  if (auto* action = qobject_cast<QAction*>(object)) {
    return make_pair(
        action, [action] { return action->text(); }, [action](const QString& s) { action->setText(s); }, pairs);
  }
  return nullptr;
}

void NSKelvoLanguageSwitcherPair::createPairsWithMenu(QMenu* menu, Pairs* pairs) {
  if (menu == nullptr) return;
  for (QAction* item : menu->actions()) createPairWithView(item, pairs);
}

NSKelvoLanguageSwitcherView::NSKelvoLanguageSwitcherView(QWidget* parent) : QWidget(parent) {}
NSKelvoLanguageSwitcherView::~NSKelvoLanguageSwitcherView() = default;

void NSKelvoLanguageSwitcherView::awakeFromNib() {
  followLanguage();
  addPairForView(this);
}

void NSKelvoLanguageSwitcherView::followLanguage() {
  NSKelvoLanguageCenter* center = NSKelvoLanguageCenter::defaultCenter();
  connect(center, &NSKelvoLanguageCenter::textsFilled, this, &NSKelvoLanguageSwitcherView::languageLoaded,
          Qt::UniqueConnection);
  connect(center, &NSKelvoLanguageCenter::languageLoaded, this, &NSKelvoLanguageSwitcherView::languageLoaded,
          Qt::UniqueConnection);
}

void NSKelvoLanguageSwitcherView::addPairForMenuBar(QMenuBar* bar) {
  if (bar == nullptr) return;
  for (QAction* item : bar->actions())
    if (item->menu() != nullptr) addPairForMenu(item->menu());
}

void NSKelvoLanguageSwitcherView::addPairForControl(QObject* control) {
  NSKelvoLanguageSwitcherPair::createPairWithView(control, &pairs_);
}

void NSKelvoLanguageSwitcherView::addPairForWindowTitle(QWidget* window) {
  if (window == nullptr) return;
  QPointer<QWidget> w(window);
  addPair(
      window, [w] { return w ? w->windowTitle() : QString(); },
      [w](const QString& s) {
        if (w) w->setWindowTitle(s);
      });
}

void NSKelvoLanguageSwitcherView::addPair(QObject* target, NSKelvoLanguageSwitcherPair::Getter get,
                                          NSKelvoLanguageSwitcherPair::Setter set) {
  make_pair(target, std::move(get), std::move(set), &pairs_);
}

void NSKelvoLanguageSwitcherView::addPairForView(QWidget* view) {
  if (view == nullptr) return;
  for (QWidget* child : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    NSKelvoLanguageSwitcherPair::createPairWithView(child, &pairs_);
    if (!child->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).isEmpty()) addPairForView(child);
  }
}

void NSKelvoLanguageSwitcherView::addPairForMenu(QMenu* menu) {
  if (menu == nullptr) return;
  NSKelvoLanguageSwitcherPair::createPairWithView(menu, &pairs_);
  for (QAction* item : menu->actions()) {
    NSKelvoLanguageSwitcherPair::createPairWithView(item, &pairs_);
    if (item->menu() != nullptr) addPairForMenu(item->menu());
  }
}

QString NSKelvoLanguageSwitcherView::stringForView(QObject* control) const {
  if (control == nullptr) return QString();
  for (const auto& pair : pairs_)
    if (pair->targetObject() == control) return NSKelvoLanguageSwitcherPair::stringWithPatternString(pair->pattern());
  return QString();
}

void NSKelvoLanguageSwitcherView::languageLoaded() {
  // Controls gone since (a closed window's menus) leave their pairs here.
  std::erase_if(pairs_, [](const auto& pair) { return pair->targetObject() == nullptr; });
  for (const auto& pair : pairs_) pair->updatePair();
}

namespace {
NSKelvoLanguageSwitcherView* shared_menu_switcher() {
  static QPointer<NSKelvoLanguageSwitcherView> shared;
  if (!shared) {
    shared = new NSKelvoLanguageSwitcherView;
    QObject::connect(NSKelvoLanguageCenter::defaultCenter(), &NSKelvoLanguageCenter::languageLoaded, shared.data(),
                     &NSKelvoLanguageSwitcherView::languageLoaded);
  }
  return shared;
}
}  // namespace

void NSKelvoLanguageSwitcherView::addMenu(QMenu* menu) { shared_menu_switcher()->addPairForMenu(menu); }

void NSKelvoLanguageSwitcherView::addMenuBar(QMenuBar* bar) {
  if (bar == nullptr) return;
  for (QAction* item : bar->actions())
    if (item->menu() != nullptr) addMenu(item->menu());
}

NSKelvoKPLTextField::NSKelvoKPLTextField(const QString& pattern, QWidget* parent)
    : QLabel(parent), patternString_(pattern) {
  reload();
}

void NSKelvoKPLTextField::setKPLReference(long major, long minor) {
  major_ = major;
  minor_ = minor;
  reload();
}

void NSKelvoKPLTextField::reload() { setText(stringWithPatternString()); }

void NSKelvoKPLTextField::convertID(const QString& text, long* major, long* minor) {
  const QStringList parts = text.split(QLatin1Char('.'));
  if (parts.size() == 1) {
    *major = parts[0].trimmed().toLong();
  } else if (parts.size() == 2) {
    *minor = parts[1].trimmed().toLong();
    *major = parts[0].trimmed().toLong();
  }
}

QString NSKelvoKPLTextField::stringWithPatternString() {
  QString out;
  const QString& p = patternString_;
  qsizetype i = 0;
  while (i < p.size()) {
    const QChar c = p[i];
    if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
      ++i;
      continue;
    }
    if (c != QLatin1Char('[')) {
      out += c;
      ++i;
      continue;
    }
    const qsizetype close = p.indexOf(QLatin1Char(']'), i);
    if (close < 0) {
      out += p.mid(i);
      break;
    }
    const QString reference = p.mid(i + 1, close - i - 1);
    long major = major_, minor = minor_;
    if (!reference.trimmed().isEmpty()) {
      major = 0;
      minor = 0;
      convertID(reference, &major, &minor);
    }
    i = close + 1;
    QString fallback;
    if (i < p.size() && p[i] == QLatin1Char('(')) {
      const qsizetype fclose = p.indexOf(QLatin1Char(')'), i);
      if (fclose > i) {
        fallback = p.mid(i + 1, fclose - i - 1);
        i = fclose + 1;
      }
    }
    const QString id = minor != 0 ? QStringLiteral("%1.%2").arg(major).arg(minor) : QString::number(major);
    const QString text = NSKelvoResourceString::nsStringByID(id);
    out += !text.isNull() ? text : fallback;
  }
  return out;
}
