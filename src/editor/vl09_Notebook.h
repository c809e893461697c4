#pragma once
// TvlNotebook: the tabbed notebook of the main window, one page per open notes document, on a
// QTabWidget. A page bundles its tab sheet, its document and the document's view. The notebook
// keeps one blank tab on offer, renames, reorders, imports, exports and deletes tabs, searches all
// tabs, jumps to the text typed at a moment, and counts the changes that decide saving. The
// binder file and its backups are the widget-free TvlNotebookBinder (vl09_NotebookBinder.h), which
// this class feeds with its tabs and which it delegates Binder_Open and Binder_Save to.
//
// The view of a page comes from a factory, so that the editor view can be plugged in by the
// program and a plain widget stands in for it in tests. A view that also implements TvlPageView
// is asked for its scroll position, its complete layout, its caret and its focus; any other
// widget gets the defaults (scroll position 0, focus by setFocus).
//
// Tab captions: the logical caption is kept in the page record; the tab's text is the caption
// with "&" doubled so that Qt shows no mnemonic. A caption of one blank " " is the blank tab
// offered for new notes; a caption that is blank when trimmed, or that begins with "Click To Name
// (Created ", is unnamed.
//
// User-interface thread only. Every slot and event handler runs its body guarded.

#include "vl09_NotebookBinder.h"
#include "vl_Document.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTabWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QWidget;

// What the notebook asks of a page's view beyond being a widget.
class TvlPageView {
 public:
  virtual ~TvlPageView() = default;
  // The vertical scroll bar's position in virtual pixels, after a complete layout.
  virtual int PageView_ScrollPos() const = 0;
  // False when the scroll bar refuses the position.
  virtual bool PageView_SetScrollPos(int Position) = 0;
  // Lays the document out completely so that the scroll position is current.
  virtual void PageView_LayOutCompletely() = 0;
  // Scrolls the caret into view; with TimelinesFollow the timelines follow to its moment.
  virtual void PageView_ScrollCaretIntoView(bool TimelinesFollow) = 0;
  // Called first when the page is destroyed, before the view is freed.
  virtual void PageView_BeginDestruction() {}
};

// Makes the view of a page for its document; Parent is the tab sheet.
using TvlPageViewFactory = std::function<QWidget *(TDocument &Doc, QWidget *Parent)>;

struct RvlPage {
  QWidget *TabSheet = nullptr;  // owned through the tab widget
  bool IsOnDisk = false;        // the document was read from its own file (an imported tab)
  QString PathName;             // the isolated tab file imported from or exported to
  QWidget *MyWindowView = nullptr;
  std::unique_ptr<TDocument> mtcDoc;
  QString Caption;  // the tab's title as the user gave it
  // The scroll position for a view that does not implement TvlPageView: kept as read, so that
  // saving gives it back.
  int StoredScrollPos = 0;
};

class TvlNotebook final : public QObject, public TvlBinderTabs {
  Q_OBJECT

 public:
  static constexpr std::int64_t DoubleClickMSecs = 500;

  // Parent: the panel the tabs fill. Views: the page view factory (nullptr: plain widgets).
  TvlNotebook(QWidget *Parent, TvlPageViewFactory Views = nullptr,
              TvlOtherEventsIO *Events = nullptr);
  ~TvlNotebook() override;

  QTabWidget *PageControl() const { return FPageControl; }
  TvlNotebookBinder &Binder() { return FBinder; }
  QString BinderPathName() const { return FBinder.BinderPathName(); }
  int PageCount() const { return static_cast<int>(FvlPages.size()); }

  // ---- Pages ---------------------------------------------------------------------------------

  // A page at the end with a new document (or Doc), change count 0, not on disk. The page keeps
  // its place in memory until it is destroyed, whatever is created or moved meanwhile.
  RvlPage &Page_Create(const QString &Title, const QString &PathName,
                       std::unique_ptr<TDocument> Doc = nullptr);
  // Out of range: nothing.
  void Page_Destroy(int DoomedPageIndex);
  void Page_DestroyAll();
  RvlPage *GetPageFromIndex(int TabIndex);
  RvlPage *GetPageFromTabCaption(const QString &TabCaption);
  RvlPage *GetActivePagePtr();
  // The active document, or nullptr with the internal problem "vlN.GAD is nil".
  TDocument *GetActiveDocument();
  int ActivePageIndex() const;
  // Pages other than SkipIndex whose caption equals TabCaption, ignoring case.
  int CountTabsWithCaption(const QString &TabCaption, int SkipIndex) const;
  // From the last page backwards, the first blank tab (" ") whose document is blank; -1.
  int GetIndexOfBlankTabWithEmptyDoc() const;
  static bool IsUnnamedCaption(const QString &Caption);
  void SetCaption(int Index, const QString &Caption);

  void ActivatePage(int Index);
  void FocusActivePage();
  void FocusActivePage_ByMovingAwayAndBack_KludgeForToughCases();

  // ---- Blank tab, new tab, renaming ----------------------------------------------------------

  void MakeSureABlankTabIsOffered();
  void ForceCreationOfNewTab();
  // Title made unique: a number after the last blank goes up by one, else " 2" is appended.
  static QString NumberingRule(const QString &Title);
  void Rename_Start(int Index);
  void Rename_Finish();
  QLineEdit *RenameEdit() const { return FRenameEdit; }
  int TabIndexSelected = -1;

  // ---- Clicks and the pop-up menu -------------------------------------------------------------

  // What a mouse-down on tab Index does (the tab bar's event filter calls these).
  void Tabs_LeftMouseDown(int Index);
  void Tabs_RightMouseDown(int Index, const QPoint &GlobalPos);
  QMenu *TabsPopupMenu() const { return FPopup; }
  QAction *mTabRename = nullptr;
  QAction *mTabExport = nullptr;
  QAction *mTabClose = nullptr;
  void DeleteSelectedPage();

  // ---- Import and export ---------------------------------------------------------------------

  // Imports an isolated tab file as a tab; its index, or -1.
  int OpenOneTabDocument(const QString &PathName);
  bool LoadNotebook_OpenFileIntoIndex(const QString &PathName, int Index);
  // After the main window exported a page to PathName.
  void UpdateDueToSaveAs(RvlPage &Page, const QString &PathName, const QString &TabTitle);

  // ---- Search, moments, change counts --------------------------------------------------------

  // The active tab first, then the others in tab order; answers the number of hits.
  int Search_AppendResults(const QString &Query, QListWidget *ListBox);
  void Timestamp_FindDocAndJumpTextTo(TDateTime TargetWhen);
  void IncrementChangeCountOfActiveDoc();
  bool Binder_IsCompeletelySaved() const { return FBinder.Binder_IsCompeletelySaved(); }
  void ScrollAllCaretsIntoView();

  // ---- The binder (vl09_NotebookBinder.h) ----------------------------------------------------

  QString Binder_Open(const QString &PathName);
  // A save that also kept a file (the original of a binder that opened with problems, a backup
  // it never read) says where, in a message.
  QString Binder_Save(const QString &PathName);
  bool SaveNotebook_AsBackup_Maybe(TBackupTiming Timing) {
    return FBinder.SaveNotebook_AsBackup_Maybe(Timing);
  }
  bool SaveNotebook_SaveListOfOpenDocsToBinderFile() {
    return FBinder.SaveNotebook_SaveListOfOpenDocsToBinderFile();
  }

  // ---- Seams the main window connects --------------------------------------------------------

  // One document's hits appended to the list; answers their number. The default lists every
  // paragraph holding Query (ignoring case) as "Header: text".
  std::function<int(TDocument &Doc, int TabIndex, const QString &Header, QListWidget *ListBox,
                    const QString &Query)>
      DocumentSearch;
  std::function<void(int TabIndex)> OnExportRequested;  // "Tab &Export ..."
  std::function<void()> OnSettingsShouldBeWritten;      // the settings store's write
  std::function<void(const QString &)> OnFileAccessed;  // recent files: accessed
  std::function<void(const QString &)> OnFileNotFound;  // recent files: forget it

  // TvlBinderTabs
  int Tabs_Count() const override { return PageCount(); }
  QString Tabs_Title(int Index) const override;
  TDocument &Tabs_Document(int Index) override;
  int Tabs_ScrollPosForSaving(int Index) override;
  int Tabs_ActiveIndex() const override { return ActivePageIndex(); }
  QString Tabs_PathName(int Index) const override;
  bool Tabs_IsOnDisk(int Index) const override;
  void Tabs_ReplaceAll(std::vector<RvlLoadedTab> Tabs, int ActiveTab) override;

 protected:
  bool eventFilter(QObject *Watched, QEvent *Event) override;

 private:
  void TabMoved(int From, int To);
  void CurrentChanged(int Index);
  TvlPageView *ViewOf(const RvlPage &Page) const;
  void SetScrollPos(RvlPage &Page, int Position);
  void RefocusAfterChange();

  QPointer<QTabWidget> FPageControl;
  // Compared with, never used: events can arrive while Qt is taking the tab bar down.
  const QObject *FTabBar = nullptr;  // owned; Qt may free it first with the parent window
  std::vector<std::unique_ptr<RvlPage>> FvlPages;  // each page stays where it is in memory
  TvlPageViewFactory FViews;
  TvlNotebookBinder FBinder;
  QMenu *FPopup = nullptr;
  QLineEdit *FRenameEdit = nullptr;
  std::int64_t LastMouseDown_TimeStamp = 0;  // steady milliseconds
  int LastMouseDown_TabIndex = -1;
  int FProgrammatic = 0;  // tab changes made by the notebook itself, not by the user
};
