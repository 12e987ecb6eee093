// The program's identity: the about box, whose lower part shows the credit
// lines one after another in a slow slide show and which also shows as the
// splash window at launch; the splasher that shows it for a while after
// launch; a text field that opens a web address; icons tinted with a
// colour; and the menu bar's hand-over of the key equivalents no item takes
// to the figure view.
#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "platform/kelvo_wrap_machine.h"

class QKeyEvent;
class QMenuBar;
class NSLinkTextField;

// The credit lines (Mac Roman, at most 49 bytes each).
inline constexpr int kCreditLineCount = 15;
const char* credit_line(int index);

// The about box's version line: the base text (the kernel's row 3), then
// " " and the source version, then " (build " and the build number and ")"
// (each when known), then " " and the platform's name.
std::string about_version_line(const std::string& base, const std::optional<std::string>& source_version,
                               const std::optional<std::string>& build_version, const std::string& platform);
// The name of the platform the program runs on.
std::string running_platform_name();

class NSAboutPanel : public QDialog {
 public:
  // Field tags of the credit lines and the version line.
  static constexpr int kCurrentLineTag = 200;
  static constexpr int kNextLineTag = 201;
  static constexpr int kVersionTag = 400;

  explicit NSAboutPanel(QWidget* parent = nullptr);
  ~NSAboutPanel() override;

  // The one about box of the program (made on first use).
  static NSAboutPanel* shared();
  static NSAboutPanel* existing();

  // Opens the about box: the slide show starts from the first line.
  void display();
  void initSlider();
  void initSlide();
  void startFade();
  void fade();
  void slide();
  void updateFieldColors();
  // Fills the version field.
  void awakeFromNib();
  // Closes the box, or ends the splash when it is showing as the splash.
  void closeBox();
  void reject() override;

  QLabel* fieldWithTag(int tag) const;
  // The program's web address (hidden when the language gives none).
  NSLinkTextField* linkField() const { return link_; }
  int currentIndex() const { return current_; }
  int nextIndex() const { return next_; }
  double fadePosition() const { return t_; }
  bool holdTimerActive() const { return hold_.isActive(); }
  bool fadeTimerActive() const { return fadeTimer_.isActive(); }
  int restHeight() const { return rest_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void stopTimers();
  void setFrameLook();

  QLabel* current_field_ = nullptr;
  QLabel* next_field_ = nullptr;
  QLabel* version_ = nullptr;
  NSLinkTextField* link_ = nullptr;
  QWidget* band_ = nullptr;
  QColor text_color_;
  int current_ = 0;
  int next_ = 1;
  int rest_ = 0;
  double t_ = 0;
  QTimer hold_;
  QTimer fadeTimer_;
};

// Shows the about box as the splash window for a while after launch.
class NSKelvoSplasher : public QObject, public KPMessageTarget {
 public:
  // Keeps the window and posts itself message 15: the splash shows on a
  // later turn of the event loop, once start-up is over, when `may_show`
  // then agrees.
  NSKelvoSplasher(NSAboutPanel* window, std::function<bool()> may_show, int duration_ms = 6000);
  ~NSKelvoSplasher() override;

  NSAboutPanel* splashWindow() const { return window_; }
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void startTimers();
  void closeSplash();
  // The splash is on show.
  bool splashing() const { return splashing_; }

 private:
  QPointer<NSAboutPanel> window_;
  std::function<bool()> mayShow_;
  QTimer* timer_ = nullptr;
  int duration_ = 6000;
  bool splashing_ = false;
};

// The splash is on show (the cursor then stays busy).
bool splash_on_show();

// A text field that opens the web address it shows when clicked.
class NSLinkTextField : public QLabel {
 public:
  explicit NSLinkTextField(const QString& text, QWidget* parent = nullptr);
  // The pointer is over a link field.
  static bool inside();
  // The address a click opens ("http://" and the text); invalid when the
  // text makes no address.
  QUrl address() const;
  // What opens an address (the desktop's browser unless replaced; tests
  // replace it, null restores the browser). Answers whether it opened.
  using Opener = bool (*)(const QUrl& url);
  static void setOpener(Opener opener);

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// The image with every opaque pixel covered by the colour (source atop by
// default); transparent pixels stay transparent.
QImage tinted_image_with_color(const QImage& image, const QColor& color,
                               QPainter::CompositionMode mode = QPainter::CompositionMode_SourceAtop);

// The main menu's hand-over: a key equivalent that no item of the bar
// takes goes to the figure view's key handler. True when taken.
struct KPGeoMenu {
  static bool performKeyEquivalent(QMenuBar* bar, QKeyEvent* event);
  // Where the keys no item takes go (the figure view's key handler unless
  // replaced; tests replace it).
  static bool (*figure_key_handler)(QKeyEvent* event);
};
