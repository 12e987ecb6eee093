// The application around the kernel: start-up in its fixed order (language
// strings, cursors, the kernel's set-up), the launch steps, files handed to
// the program, the window procedure the kernel attaches to the application,
// and what happens when the program stops.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "app/lang/language_starter.h"
#include "platform/kelvo_wrap_machine.h"

class NSKelvoSplasher;

class DUVirIdazididovi : public QObject,
                         public KPMessageTarget,
                         public KPWindowLongHolder,
                         public NSKelvoLanguageDelegate {
 public:
  DUVirIdazididovi();
  ~DUVirIdazididovi() override;

  static DUVirIdazididovi* running();

  // Loads the language and the cursors and sets the kernel up. False when no
  // language file could be loaded: the caller exits with status 1.
  bool init();
  void initGeoApplication();
  void computeScreenResolution();
  void loadCursors();

  // Launch: the tool bars and the remembered directory.
  void applicationWillFinishLaunching();
  // A file handed to the program: tool-menu and calculator files are
  // imported (true); any other file is left to the documents (false).
  bool openFile(const QString& path);
  // Opens the files named on the command line (options skipped); an
  // untitled figure when none opened.
  void openLaunchArguments(const QStringList& arguments);
  void applicationWillTerminate();
  // Reviews every changed document, then quits unless one was kept open.
  // While a modal panel runs, the panel is dismissed and the quit follows
  // once it has returned (false now).
  static bool quit();

  // The splash: the about box shown for a while once launching is over; a
  // press in a figure closes it earlier.
  void displaySplasher();
  void closeSplasher();
  NSKelvoSplasher* getSplasher() const { return splasher_; }
  bool canShowAboutAtLaunchTime() const { return canShowAboutAtLaunchTime_; }
  void setCanShowAboutAtLaunchTime(bool can) { canShowAboutAtLaunchTime_ = can; }

  void toggleToolsHelp();
  bool getToolHelpState() const { return toolHelpState_; }
  bool isInitFinished() const { return inited_; }
  void setInitisFinished() { inited_ = true; }

  // Window-handle interface: message 16 quits; only window long -4 exists.
  LRESULT sendMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  LONG_PTR getWindowLong(int index) override;
  void setWindowLong(int index, LONG_PTR value) override;

  void languageLoaded() override;
  // Loads the start-up language with its follow-up (no question is asked,
  // as at launch): what init() does first, and what brings the language
  // back once kelvo::lang::free_language() took it down. False when no
  // language could be loaded.
  bool startLanguage();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  LONG_PTR windowProc_ = 0;
  bool inited_ = false;
  bool canShowAboutAtLaunchTime_ = false;
  bool toolHelpState_ = false;
  NSKelvoSplasher* splasher_ = nullptr;
};

// The entry point: start-up, the documents of the command line (an untitled
// one when there is none), the event loop, shutdown.
int kelvo_main(int argc, char** argv);
