// The document of one figure: it keeps a file's bytes when it is opened,
// builds the figure when its window first becomes main, marks itself edited
// or clean for the kernel, saves through the kernel's Save command and finds
// the current figure for the rest of the system. The kernel never sees a
// document: it works on the current figure record, which this class makes
// current.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/win_types.h"

struct DisplayDevice;
struct kelvo_win_info;
class KPFigureView;
class KPFigureWindow;
class QPrinter;
struct KPPageSettings;

class KPDocument : public QObject {
 public:
  // Document states.
  static constexpr int kUntitled = 0;
  static constexpr int kBytesKept = 1;
  static constexpr int kBuilt = 2;

  KPDocument();
  ~KPDocument() override;

  // ---- Finding documents and the current figure ----
  static const std::vector<KPDocument*>& liveDocuments();
  static KPDocument* currentDocument();
  static KPFigureWindow* currentWindow();
  static KPFigureView* currentFigureView();
  static DisplayDevice* currentDeviceObject();
  static kelvo_win_info* currentInfo();
  static void setCurrentInfo(kelvo_win_info* info);
  static bool printingInProgress();
  static void flushCurrentFigureView();
  static KPDocument* FindDocumentWith_tobjet(kelvo_win_info* info);
  static KPDocument* FindDocumentWith_pdd(DisplayDevice* device);
  static KPDocument* FindDocumentWith_Window(const KPFigureWindow* window);
  // callback(figure view, param) for every live document while it answers
  // non-zero; false as soon as one answers zero.
  static bool enumChildWindows(BOOL (*callback)(HWND view, LPARAM param), LPARAM param);
  static int untitledCounter();
  // Answers the unsaved-changes prompt in place of the user (tests): a
  // QMessageBox::StandardButton (Save, Discard or Cancel). Empty: ask.
  // Answers the save panel in place of the user (tests): the chosen path,
  // "" for cancel. Empty: show the panel.
  static void setSavePanelResponder(std::function<QString(const QString& directory)> responder);
  // Answers the open panel in place of the user (tests): the chosen path,
  // "" for cancel. Empty: show the panel.
  static void setOpenPanelResponder(std::function<QString(const QString& directory)> responder);
  // The figure file the user chooses in the open panel, "" when cancelled.
  static QString chooseFileToOpen(QWidget* parent);
  static void setClosePromptResponder(std::function<int(const QString& name)> responder);
  // Answers the print panel in place of the user (tests): configures the
  // printer and answers true to print, false to cancel. Empty: show the panel.
  static void setPrintPanelResponder(std::function<bool(QPrinter* printer)> responder);

  // Installs the kernel-facing hooks (current figure, dirty marks, views).
  static void installKernelHooks();

  // ---- Opening and closing (the document controller's part) ----
  // A new untitled document with its window shown.
  static KPDocument* openUntitledDocument();
  // Opens the file in a new document and window; null when it cannot be
  // read. A file a window already shows brings that window's document.
  static KPDocument* openDocument(const QString& path, bool display = true);

  KPFigureWindow* figureWindow() const { return figureWindow_; }
  KPFigureView* figureView() const;
  int docState() const { return state_; }
  void setDocState(int state) { state_ = state; }
  // The name dialogs quote: the file's name, or the untitled window's title
  // without its mark of unsaved changes.
  QString documentName() const;
  QString filePath() const { return documentName_; }
  bool isEdited() const { return edited_; }

  bool readFromFile(const QString& path, const QString& type);
  void windowDidBecomeMain();
  // `window` is the window that resigned (null: not this document's).
  void windowDidResignMain(const KPFigureWindow* window);
  void myMakeMainWindow();
  bool updateFigureFromFileData();
  void set_dirty();
  void unset_dirty();
  // Save and Save As: answer whether the figure was written.
  bool saveDocument();
  bool saveDocumentAs();
  // Format -1: the figure file, or the situations file for ".env".
  bool writeToURL(const QString& path, int format = -1);
  void revertDocumentToSaved();
  // Shows a work-session snapshot: in a new window (null window) or in
  // place of the figure of the given figure window. The figure shown
  // belongs to no file. Answers the figure window, null on failure.
  static HWND showSessionSnapshot(HWND window, const char* path);

  // After a language load: the number texts of this document's figure take
  // the C decimal point between digits in place of the user's separator,
  // and are shown anew.
  void convertUSproc();
  // Every figure window is kept below the tools palette.
  static void repositionDocs();
  // Prints the figure's page (or, while a session is printed, its pages)
  // after the print panel: false when it was cancelled or nothing could be
  // printed.
  bool printDocument();
  // The printer settings of the document, made on first use; the part of
  // the drawing page that goes on paper, in the page sheet's coordinates
  // (null until the sheet first printed).
  // A new document's printer starts with the page orientation chosen last.
  QPrinter* printInfo();
  void setPageOrientation(bool landscape);
  // File > Page Setup: the page layout panel on the document's print
  // settings, taken when the user confirms them and the check below lets
  // them through; false when the panel was cancelled.
  bool runPageLayout();
  // The check of a page layout the user confirmed: the figure prints at the
  // scale chosen, one that is no scale (not above 0) becoming 100 %.
  // Answers whether the layout may be taken.
  bool shouldChangePrintInfo(KPPageSettings* settings);
  // The print scaling factor of the document's print settings.
  double printScalingFactor() const { return printScale_; }
  QRectF printRect() const { return printRect_; }
  void setPrintRect(const QRectF& rect) { printRect_ = rect; }
  bool validateMenuItem(int item) const;
  // Asks to save a changed figure: false when the user cancels or the save
  // fails.
  bool shouldClose();
  void close();

  // Menu item identifiers validateMenuItem knows.
  static constexpr int kItemOpen = 1;
  static constexpr int kItemSave = 2;
  static constexpr int kItemSaveAs = 3;
  static constexpr int kItemRevert = 4;
  static constexpr int kItemPageSetup = 5;

 private:
  void buildWindow();
  // The file read into a new document and window, whether or not another
  // window shows it.
  static KPDocument* readDocument(const QString& path, bool display);
  // The figure read from the bytes takes the place of the window's figure
  // (which stays when they cannot be read).
  void replaceFigure(const QByteArray& bytes);
  kelvo_win_info* info() const;

  QByteArray fileData_;
  KPFigureWindow* figureWindow_ = nullptr;
  QString documentName_;
  int state_ = kUntitled;
  bool readsituationflag_ = false;
  // The last read went on without some records of the file.
  bool readWithout_ = false;
  QRectF printRect_;
  std::unique_ptr<QPrinter> printInfo_;  // made by the first print
  double printScale_ = 1.0;
  QPointer<KPFigureView> windowToClose_;
  bool edited_ = false;
  bool closed_ = false;
};

// The remembered folder where the file dialogs start: a path sets it ("~"
// stands for HOME); answers it, "" when there is none. The process's working
// directory never changes.
QString set_current_directory(const char* path);
// Opens the file (or, with no path, a new untitled figure) and answers its
// figure window, null on failure.
KPFigureWindow* open_document_path(HWND window, const char* path, bool display);
// Makes a figure window (or the window of a view) the main window.
void make_main_window(QObject* window_or_view);
// The part of the sheet a figure file's window showed: the window (or its
// view) shows it again, when the figure just read gave one.
void apply_window_placement(HWND window);
