#include "vl09_Notebook.h"

#include "vlClock.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlPrompts.h"
#include "vl_Document.h"

#include <QAction>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QString BlankCaption() { return QStringLiteral(" "); }
QString UnnamedPrefix() { return QStringLiteral("Click To Name (Created "); }

// Whether a page's view can take the keyboard. A view made of parts (the editor page: the text
// and its scroll bar) hands its focus to the part named as its focus proxy, and keeps Qt's
// NoFocus itself: the part that receives the focus decides.
bool CanTakeFocus(const QWidget *View) {
  const QWidget *target = View;
  for (int depth = 0; target && target->focusProxy() && depth < 8; ++depth)
    target = target->focusProxy();
  return target && target->focusPolicy() != Qt::NoFocus && target->isEnabled();
}

// Qt reads "&" in tab and menu texts as a mnemonic marker.
QString Shown(const QString &Caption) {
  return QString(Caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// Blank for the blank-tab rule: no text and no picture either, so that a tab that holds only a
// picture is never pruned or loaded over.
bool IsEmptyDocument(const TDocument &Doc) {
  return Doc.Document_IsBlank() && Doc.InsetsStorage.High() < Doc.InsetsStorage.Low();
}

// A running number over the program's run names the tab sheets "TS1", "TS2", ...
int NextSheetNumber() {
  static int number = 0;
  return ++number;
}

}  // namespace

TvlNotebook::TvlNotebook(QWidget *Parent, TvlPageViewFactory Views, TvlOtherEventsIO *Events)
    : QObject(Parent), FViews(std::move(Views)), FBinder(*this, Events) {
  FPageControl = new QTabWidget(Parent);
  FPageControl->setObjectName((Parent ? Parent->objectName() : QString()) +
                              QStringLiteral("PgCtrl"));
  if (Parent && !Parent->layout()) {
    auto *layout = new QVBoxLayout(Parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FPageControl);
  }
  FPageControl->setMovable(true);
  FPageControl->setUsesScrollButtons(true);
  FPageControl->tabBar()->setExpanding(false);
  FTabBar = FPageControl->tabBar();
  FPageControl->tabBar()->installEventFilter(this);
  connect(FPageControl->tabBar(), &QTabBar::tabMoved, this,
          [this](int From, int To) { RunGuarded([&] { TabMoved(From, To); }); });
  connect(FPageControl, &QTabWidget::currentChanged, this,
          [this](int Index) { RunGuarded([&] { CurrentChanged(Index); }); });

  FPopup = new QMenu(FPageControl);
  mTabRename = FPopup->addAction(QStringLiteral("Rename"));
  mTabExport = FPopup->addAction(QStringLiteral("Export"));
  mTabClose = FPopup->addAction(QStringLiteral("Delete page"));
  connect(mTabRename, &QAction::triggered, this,
          [this] { RunGuarded([&] { Rename_Start(TabIndexSelected); }); });
  connect(mTabExport, &QAction::triggered, this, [this] {
    RunGuarded([&] {
      if (OnExportRequested) OnExportRequested(TabIndexSelected);
    });
  });
  connect(mTabClose, &QAction::triggered, this,
          [this] { RunGuarded([&] { DeleteSelectedPage(); }); });

  FRenameEdit = new QLineEdit(FPageControl);
  FRenameEdit->hide();
  FRenameEdit->installEventFilter(this);

  FBinder.OnFileAccessed = [this](const QString &PathName) {
    if (OnFileAccessed) OnFileAccessed(PathName);
  };
}

TvlNotebook::~TvlNotebook() {
  // The journal keeps what was not saved; closing the pages is no deletion of tabs.
  if (FBinder.Binder_IsCompeletelySaved())
    FBinder.Journal().EndAndRemove();
  else
    FBinder.Journal().End();
  if (FPageControl) {
    Page_DestroyAll();
    // Nothing of the notebook may run while Qt takes the widgets down.
    FPageControl->tabBar()->removeEventFilter(this);
    FRenameEdit->removeEventFilter(this);
    FPageControl->disconnect(this);
    FPageControl->tabBar()->disconnect(this);
    delete FPageControl;
    return;
  }
  // The window went first and took the sheets and views with it; only the documents are left.
  FvlPages.clear();
}

// ---- Pages -----------------------------------------------------------------------------------

RvlPage &TvlNotebook::Page_Create(const QString &Title, const QString &PathName,
                                  std::unique_ptr<TDocument> Doc) {
  auto *sheet = new QWidget;
  sheet->setObjectName(QStringLiteral("TS%1").arg(NextSheetNumber()));
  auto *layout = new QHBoxLayout(sheet);
  layout->setContentsMargins(0, 0, 0, 0);

  auto made = std::make_unique<RvlPage>();
  RvlPage &page = *made;
  page.TabSheet = sheet;
  page.mtcDoc = Doc ? std::move(Doc) : std::make_unique<TDocument>();
  page.MyWindowView = FViews ? FViews(*page.mtcDoc, sheet) : new QWidget(sheet);
  if (!page.MyWindowView) page.MyWindowView = new QWidget(sheet);
  layout->addWidget(page.MyWindowView);
  page.mtcDoc->ChangeCount_Clear();
  page.mtcDoc->Undo_Switch(true);
  page.PathName = PathName;
  page.IsOnDisk = false;
  page.Caption = Title;

  ++FProgrammatic;
  FvlPages.push_back(std::move(made));
  FPageControl->addTab(sheet, Shown(Title));
  --FProgrammatic;
  FBinder.Journal().TabAdded(PageCount() - 1);
  return page;
}

void TvlNotebook::Page_Destroy(int DoomedPageIndex) {
  if (DoomedPageIndex < 0 || DoomedPageIndex >= PageCount()) return;
  if (TabIndexSelected == DoomedPageIndex && !FRenameEdit->isHidden()) FRenameEdit->hide();
  RvlPage &page = (*FvlPages[static_cast<std::size_t>(DoomedPageIndex)]);
  FBinder.Journal().TabDeleted(DoomedPageIndex);
  ++FProgrammatic;
  // The view goes before its document, which it reads until it is gone.
  if (TvlPageView *view = ViewOf(page)) view->PageView_BeginDestruction();
  delete page.MyWindowView;
  page.MyWindowView = nullptr;
  page.mtcDoc.reset();
  FPageControl->removeTab(DoomedPageIndex);
  delete page.TabSheet;
  FvlPages.erase(FvlPages.begin() + DoomedPageIndex);
  --FProgrammatic;
}

void TvlNotebook::Page_DestroyAll() {
  for (int i = PageCount() - 1; i >= 0; --i) Page_Destroy(i);
}

RvlPage *TvlNotebook::GetPageFromIndex(int TabIndex) {
  if (TabIndex < 0 || TabIndex >= PageCount()) return nullptr;
  return FvlPages[static_cast<std::size_t>(TabIndex)].get();
}

RvlPage *TvlNotebook::GetPageFromTabCaption(const QString &TabCaption) {
  for (auto &page : FvlPages)
    if (page->Caption == TabCaption) return page.get();
  return nullptr;
}

int TvlNotebook::ActivePageIndex() const { return FPageControl->currentIndex(); }

RvlPage *TvlNotebook::GetActivePagePtr() { return GetPageFromIndex(ActivePageIndex()); }

TDocument *TvlNotebook::GetActiveDocument() {
  RvlPage *page = GetActivePagePtr();
  if (!page || !page->mtcDoc) {
    ErrorReportForDeveloper(QStringLiteral("vlN.GAD is nil"));
    return nullptr;
  }
  return page->mtcDoc.get();
}

int TvlNotebook::CountTabsWithCaption(const QString &TabCaption, int SkipIndex) const {
  int count = 0;
  for (int i = 0; i < PageCount(); ++i)
    if (i != SkipIndex &&
        (*FvlPages[static_cast<std::size_t>(i)]).Caption.compare(TabCaption, Qt::CaseInsensitive) ==
            0)
      ++count;
  return count;
}

int TvlNotebook::GetIndexOfBlankTabWithEmptyDoc() const {
  for (int i = PageCount() - 1; i >= 0; --i) {
    const RvlPage &page = (*FvlPages[static_cast<std::size_t>(i)]);
    if (page.Caption == BlankCaption() && IsEmptyDocument(*page.mtcDoc)) return i;
  }
  return -1;
}

bool TvlNotebook::IsUnnamedCaption(const QString &Caption) {
  return Caption.trimmed().isEmpty() || Caption.startsWith(UnnamedPrefix());
}

void TvlNotebook::SetCaption(int Index, const QString &Caption) {
  RvlPage *page = GetPageFromIndex(Index);
  if (!page) return;
  const bool renamed = page->Caption != Caption;
  page->Caption = Caption;
  FPageControl->setTabText(Index, Shown(Caption));
  if (renamed) FBinder.Journal().TabRenamed(Index);
}

TvlPageView *TvlNotebook::ViewOf(const RvlPage &Page) const {
  return dynamic_cast<TvlPageView *>(Page.MyWindowView);
}

void TvlNotebook::ActivatePage(int Index) {
  if (Index < 0 || Index >= PageCount()) return;
  ++FProgrammatic;
  FPageControl->setCurrentIndex(Index);
  --FProgrammatic;
}

void TvlNotebook::FocusActivePage() {
  const int index = ActivePageIndex();
  if (index < 0 || index >= PageCount()) {
    Prompts().Message(QStringLiteral("ActivePageX = ") + QString::number(index));
    return;
  }
  RvlPage &page = (*FvlPages[static_cast<std::size_t>(index)]);
  QWidget *view = page.MyWindowView;
  if (!CanTakeFocus(view)) return;
  view->setFocus(Qt::OtherFocusReason);
  if (TvlPageView *pageView = ViewOf(page)) pageView->PageView_ScrollCaretIntoView(true);
}

void TvlNotebook::FocusActivePage_ByMovingAwayAndBack_KludgeForToughCases() {
  if (FvlPages.empty()) return;
  const int active = std::max(0, ActivePageIndex());
  ++FProgrammatic;
  FPageControl->setCurrentIndex(active == 0 && PageCount() > 1 ? 1 : 0);
  FPageControl->setCurrentIndex(active);
  --FProgrammatic;
  FocusActivePage();
}

void TvlNotebook::CurrentChanged(int) {
  // Only a tab the user chose takes the focus; the notebook's own changes say when they want it.
  if (FProgrammatic > 0) return;
  FocusActivePage();
}

void TvlNotebook::TabMoved(int From, int To) {
  if (From < 0 || To < 0 || From >= PageCount() || To >= PageCount() || From == To) return;
  FBinder.Journal().TabMoved(From, To);
  // The order of the tabs is part of the binder: a move is a change to save.
  FBinder.TabsChanged();
  const auto at = [this](int I) { return FvlPages.begin() + I; };
  if (From < To)
    std::rotate(at(From), at(From + 1), at(To + 1));
  else
    std::rotate(at(To), at(From), at(From + 1));
  // The records must follow the tabs exactly: each page is where its sheet is.
  for (int i = 0; i < PageCount(); ++i)
    if (FPageControl->widget(i) != (*FvlPages[static_cast<std::size_t>(i)]).TabSheet) {
      ErrorReportForDeveloper(QStringLiteral("vlN.PCDD can't sort"));
      std::vector<std::unique_ptr<RvlPage>> sorted;
      for (int t = 0; t < PageCount(); ++t)
        for (auto &page : FvlPages)
          if (page && page->TabSheet == FPageControl->widget(t)) sorted.push_back(std::move(page));
      if (sorted.size() == FvlPages.size()) FvlPages = std::move(sorted);
      return;
    }
}

// ---- Blank tab, new tab, renaming --------------------------------------------------------------

void TvlNotebook::MakeSureABlankTabIsOffered() {
  const auto isBlankTitled = [](const RvlPage &P) { return P.Caption.trimmed().isEmpty(); };
  int count = static_cast<int>(std::count_if(FvlPages.begin(), FvlPages.end(),
                                             [&](const auto &P) { return isBlankTitled(*P); }));
  if (count == 0) Page_Create(BlankCaption(), QString());
  // Blank-titled tabs that hold text (or a picture) are kept: only empty ones are pruned.
  for (int rounds = 0; count > 1 && rounds < 99; ++rounds) {
    int doomed = -1;
    for (int i = 0; i < PageCount() && doomed < 0; ++i) {
      const RvlPage &page = (*FvlPages[static_cast<std::size_t>(i)]);
      if (isBlankTitled(page) && IsEmptyDocument(*page.mtcDoc)) doomed = i;
    }
    if (doomed < 0) break;
    Page_Destroy(doomed);
    --count;
  }
}

void TvlNotebook::ForceCreationOfNewTab() {
  int index = -1;
  for (int i = PageCount() - 1; i >= 0 && index < 0; --i)
    if ((*FvlPages[static_cast<std::size_t>(i)]).Caption == BlankCaption()) index = i;
  if (index < 0) {
    Page_Create(BlankCaption(), QString());
    index = PageCount() - 1;
  }
  ActivatePage(index);
  TabIndexSelected = index;
  Rename_Start(index);
}

QString TvlNotebook::NumberingRule(const QString &Title) {
  const qsizetype space = Title.lastIndexOf(QLatin1Char(' '));
  if (space >= 0) {
    QString number = Title.mid(space + 1);
    const bool digits = !number.isEmpty() && std::all_of(number.begin(), number.end(), [](QChar C) {
      return C >= u'0' && C <= u'9';
    });
    if (digits) {
      // Counted up as text: a number of any length goes up by one without overflowing.
      qsizetype i = number.size() - 1;
      for (; i >= 0 && number[i] == u'9'; --i) number[i] = u'0';
      if (i >= 0)
        number[i] = QChar(number[i].unicode() + 1);
      else
        number.prepend(QLatin1Char('1'));
      return Title.left(space + 1) + number;
    }
  }
  return Title + QStringLiteral(" 2");
}

void TvlNotebook::Rename_Start(int Index) {
  if (Index < 0 || Index >= PageCount()) return;
  TabIndexSelected = Index;
  const QRect tab = FPageControl->tabBar()->tabRect(Index);
  const QPoint topLeft = FPageControl->tabBar()->mapTo(FPageControl, tab.topLeft());
  FRenameEdit->setGeometry(topLeft.x(), topLeft.y(), std::max(tab.width(), 60),
                           std::max(17, FRenameEdit->sizeHint().height()));
  FRenameEdit->setText((*FvlPages[static_cast<std::size_t>(Index)]).Caption);
  FRenameEdit->selectAll();
  FRenameEdit->show();
  FRenameEdit->raise();
  FRenameEdit->setFocus();
}

void TvlNotebook::Rename_Finish() {
  if (FRenameEdit->isHidden()) return;
  FRenameEdit->hide();
  RvlPage *page = GetPageFromIndex(TabIndexSelected);
  if (!page) return;
  QString text = FRenameEdit->text().trimmed();
  if (!text.isEmpty()) {
    for (int rounds = 0; rounds < 999 && CountTabsWithCaption(text, TabIndexSelected) > 0; ++rounds)
      text = NumberingRule(text);
    SetCaption(TabIndexSelected, text);
    // The tab is no longer the file it was imported from or exported to.
    page->PathName.clear();
    page->mtcDoc->ChangeCount_Increment();
    MakeSureABlankTabIsOffered();
  } else if (IsEmptyDocument(*page->mtcDoc)) {
    SetCaption(TabIndexSelected, QString());
    page->PathName.clear();
    page->mtcDoc->AtPos_NoSelectionSet(page->mtcDoc->Document_FirstCaretPos());
  } else {
    return;
  }
  FBinder.SaveNotebook_SaveListOfOpenDocsToBinderFile();
  if (OnSettingsShouldBeWritten) OnSettingsShouldBeWritten();
  FocusActivePage_ByMovingAwayAndBack_KludgeForToughCases();
}

// ---- Clicks and the pop-up menu ---------------------------------------------------------------

void TvlNotebook::Tabs_LeftMouseDown(int Index) {
  if (Index < 0 || Index >= PageCount()) return;
  const std::int64_t now = Clock().SteadyMSecs();
  const bool second =
      Index == LastMouseDown_TabIndex && now - LastMouseDown_TimeStamp < DoubleClickMSecs;
  const bool unnamed = IsUnnamedCaption((*FvlPages[static_cast<std::size_t>(Index)]).Caption);
  LastMouseDown_TimeStamp = now;
  LastMouseDown_TabIndex = Index;
  if (!second && !unnamed) return;
  TabIndexSelected = Index;
  // After the tab bar has finished with this press, which would otherwise take the focus back
  // from the rename box and end the rename at once.
  QMetaObject::invokeMethod(
      this, [this, Index] { RunGuarded([&] { Rename_Start(Index); }); }, Qt::QueuedConnection);
}

void TvlNotebook::Tabs_RightMouseDown(int Index, const QPoint &GlobalPos) {
  if (Index < 0 || Index >= PageCount()) return;
  Rename_Finish();
  TabIndexSelected = Index;
  ActivatePage(Index);
  mTabClose->setText(QStringLiteral("Delete \"") +
                     Shown((*FvlPages[static_cast<std::size_t>(Index)]).Caption) +
                     QLatin1Char('"'));
  FPopup->popup(GlobalPos);
}

void TvlNotebook::DeleteSelectedPage() {
  Rename_Finish();
  if (TabIndexSelected >= 0 && TabIndexSelected < PageCount()) {
    // The binder still holds the tab until it is saved: closing must ask.
    if (!IsEmptyDocument(*(*FvlPages[static_cast<std::size_t>(TabIndexSelected)]).mtcDoc) ||
        !IsUnnamedCaption((*FvlPages[static_cast<std::size_t>(TabIndexSelected)]).Caption))
      FBinder.TabsChanged();
    Page_Destroy(TabIndexSelected);
    // The closed tab's words must leave the timelines.
    FBinder.TypingEvents_Rebuild();
  }
  MakeSureABlankTabIsOffered();
  FBinder.SaveNotebook_SaveListOfOpenDocsToBinderFile();
}

bool TvlNotebook::eventFilter(QObject *Watched, QEvent *Event) {
  bool handled = false;
  RunGuarded([&] {
    if (Watched == FTabBar && (Event->type() == QEvent::MouseButtonPress ||
                               Event->type() == QEvent::MouseButtonDblClick)) {
      // Qt turns a quick second press into a double click: it counts as a press here.
      auto *mouse = static_cast<QMouseEvent *>(Event);
      const int index = FPageControl->tabBar()->tabAt(mouse->position().toPoint());
      if (mouse->button() == Qt::LeftButton) {
        Tabs_LeftMouseDown(index);
      } else if (mouse->button() == Qt::RightButton && index >= 0) {
        Tabs_RightMouseDown(index, mouse->globalPosition().toPoint());
        handled = true;
      }
    } else if (Watched == FRenameEdit && Event->type() == QEvent::KeyPress) {
      auto *key = static_cast<QKeyEvent *>(Event);
      if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        Rename_Finish();
        handled = true;
      } else if (key->text().size() == 1 && key->text()[0] >= u'a' && key->text()[0] <= u'z' &&
                 FRenameEdit->selectedText() == FRenameEdit->text() &&
                 !FRenameEdit->text().isEmpty()) {
        // A new title starts with a capital.
        FRenameEdit->insert(key->text().toUpper());
        handled = true;
      }
    } else if (Watched == FRenameEdit && Event->type() == QEvent::FocusOut) {
      Rename_Finish();
    }
  });
  return handled || QObject::eventFilter(Watched, Event);
}

// ---- Import and export -------------------------------------------------------------------------

int TvlNotebook::OpenOneTabDocument(const QString &PathName) {
  const QString title = QFileInfo(PathName).completeBaseName();
  int target = GetIndexOfBlankTabWithEmptyDoc();
  if (target >= 0) {
    SetCaption(target, title);
  } else {
    Page_Create(title, PathName);
    target = PageCount() - 1;
  }
  QWidget *sheet = (*FvlPages[static_cast<std::size_t>(target)]).TabSheet;
  const bool loaded = LoadNotebook_OpenFileIntoIndex(PathName, target);
  // Keeping a blank tab on offer may remove tabs before the target: find it again by its sheet.
  const auto indexOf = [this, sheet] { return FPageControl->indexOf(sheet); };
  if (loaded) {
    MakeSureABlankTabIsOffered();
    target = indexOf();
    ActivatePage(target);
    TDocument &doc = *(*FvlPages[static_cast<std::size_t>(target)]).mtcDoc;
    doc.AtPos_NoSelectionSet(doc.Document_FirstCaretPos());
    FBinder.SaveNotebook_SaveListOfOpenDocsToBinderFile();
    return target;
  }
  RvlPage &page = (*FvlPages[static_cast<std::size_t>(target)]);
  page.mtcDoc->ChangeCount_Clear();
  page.PathName.clear();
  SetCaption(target, QString());
  MakeSureABlankTabIsOffered();
  return -1;
}

bool TvlNotebook::LoadNotebook_OpenFileIntoIndex(const QString &PathName, int Index) {
  RvlPage *page = GetPageFromIndex(Index);
  if (!page) return false;
  page->PathName = PathName;
  bool loaded = false;
  QString title;
  const QFileInfo info(PathName);
  if (info.isFile()) {
    int scroll = 0;
    const QString problems = page->mtcDoc->IO_Load(PathName, title, scroll);
    // Whatever the file gave the document is journalled as its content.
    page->mtcDoc->Edit_TellContentChanged();
    const TDocument::RLoadReport &report = page->mtcDoc->IO_LastLoad();
    // A file that is not an isolated tab at all gives no tab; a damaged one gives what it holds.
    loaded = report.Opened && report.IsNotesDoc;
    if (TvlPageView *view = ViewOf(*page)) view->PageView_LayOutCompletely();
    if (scroll != -1) SetScrollPos(*page, scroll);
    if (loaded && OnFileAccessed) OnFileAccessed(PathName);
    if (!problems.isEmpty()) {
      const QString message =
          QStringLiteral(
              "\nWARNING:  An error occurred while opening this document. \n\nSpecific "
              "errror message:  ") +
          problems + QStringLiteral("\n\nYour document's location:  ") + PathName;
      // Shown and logged, never thrown: the failure path below must still run.
      ErrorReport(false, message);
      Prompts().Message(message, TPromptIcon::piWarning);
    }
  } else if (info.exists()) {
    Prompts().Message(QStringLiteral("This is not a file:  ") + PathName, TPromptIcon::piWarning);
  } else {
    TvlNotebookBinder::MyFileNotFoundMessage(PathName);
    if (OnFileNotFound) OnFileNotFound(PathName);
  }
  page = GetPageFromIndex(Index);
  if (loaded) {
    SetCaption(Index, title);
    page->mtcDoc->Select_Clear();
    // Not in the binder yet: the binder counts as changed until it is saved.
    page->mtcDoc->ChangeCount_Clear();
    page->mtcDoc->ChangeCount_Increment();
  } else {
    page->PathName.clear();
    SetCaption(Index, QString());
  }
  page->IsOnDisk = loaded;
  return loaded;
}

void TvlNotebook::UpdateDueToSaveAs(RvlPage &Page, const QString &PathName,
                                    const QString &TabTitle) {
  const auto it = std::find_if(FvlPages.begin(), FvlPages.end(),
                               [&](const auto &P) { return P.get() == &Page; });
  if (it == FvlPages.end()) return;
  Page.PathName = PathName;
  SetCaption(static_cast<int>(it - FvlPages.begin()), TabTitle);
  Page.mtcDoc->ChangeCount_Increment();
  FBinder.SaveNotebook_SaveListOfOpenDocsToBinderFile();
  if (OnSettingsShouldBeWritten) OnSettingsShouldBeWritten();
}

// ---- Search, moments, change counts
// --------------------------------------------------------------

int TvlNotebook::Search_AppendResults(const QString &Query, QListWidget *ListBox) {
  const auto searchOne = [&](int Index) {
    RvlPage &page = (*FvlPages[static_cast<std::size_t>(Index)]);
    if (DocumentSearch) return DocumentSearch(*page.mtcDoc, Index, page.Caption, ListBox, Query);
    int hits = 0;
    for (int sn = 0; sn <= page.mtcDoc->Section_High(); ++sn) {
      const TParagraph *p = page.mtcDoc->Paragraph_FromSectionNum(sn);
      if (!p || !p->Text().contains(Query, Qt::CaseInsensitive)) continue;
      ++hits;
      if (ListBox) ListBox->addItem(page.Caption + QStringLiteral(": ") + p->Text());
    }
    return hits;
  };
  if (Query.isEmpty()) return 0;
  int total = 0;
  const int active = ActivePageIndex();
  if (active >= 0 && active < PageCount()) total += searchOne(active);
  for (int i = 0; i < PageCount(); ++i)
    if (i != active) total += searchOne(i);
  return total;
}

void TvlNotebook::Timestamp_FindDocAndJumpTextTo(TDateTime TargetWhen) {
  RvlPage *page = GetActivePagePtr();
  if (!page) return;
  TDocument &doc = *page->mtcDoc;
  // The character whose moment on the recordings is nearest, however far away.
  TCaretPos best{0, 0, false};
  double bestDistance = 0;
  for (int sn = 0; sn <= doc.Section_High(); ++sn) {
    const TParagraph *p = doc.Paragraph_FromSectionNum(sn);
    if (!p) continue;
    for (int c = 1; c <= p->High(); ++c) {
      const TDateTime when = p->Timestamp_Get(c).FEffectiveDT;
      if (when == 0) continue;
      const double distance = std::abs(when - TargetWhen);
      if (best.FGN == 0 || distance < bestDistance) {
        best = TCaretPos{sn, c, false};
        bestDistance = distance;
      }
    }
  }
  if (best.FGN == 0) return;
  doc.AtPos_NoSelectionSet(best);
  if (CanTakeFocus(page->MyWindowView)) page->MyWindowView->setFocus(Qt::OtherFocusReason);
  if (TvlPageView *view = ViewOf(*page)) view->PageView_ScrollCaretIntoView(false);
}

void TvlNotebook::IncrementChangeCountOfActiveDoc() {
  if (RvlPage *page = GetActivePagePtr(); page && page->mtcDoc)
    page->mtcDoc->ChangeCount_Increment();
}

void TvlNotebook::ScrollAllCaretsIntoView() {
  const int active = ActivePageIndex();
  for (int i = 0; i < PageCount(); ++i)
    if (i != active)
      if (TvlPageView *view = ViewOf((*FvlPages[static_cast<std::size_t>(i)])))
        view->PageView_ScrollCaretIntoView(false);
  if (RvlPage *page = GetPageFromIndex(active))
    if (TvlPageView *view = ViewOf(*page)) view->PageView_ScrollCaretIntoView(true);
}

// ---- The binder
// ------------------------------------------------------------------------------------

QString TvlNotebook::Binder_Save(const QString &PathName) {
  const QString problems = FBinder.Binder_Save(PathName, false);
  if (problems.isEmpty() && !FBinder.LastSaveNote().isEmpty())
    Prompts().Message(FBinder.LastSaveNote(), TPromptIcon::piInformation);
  return problems;
}

QString TvlNotebook::Binder_Open(const QString &PathName) {
  Rename_Finish();
  const QString problems = FBinder.Binder_Open(PathName);
  MakeSureABlankTabIsOffered();
  if (ActivePageIndex() >= 0) FocusActivePage_ByMovingAwayAndBack_KludgeForToughCases();
  FBinder.Binder_ChangeCountSinceBackupSum_Clear();
  return problems;
}

void TvlNotebook::SetScrollPos(RvlPage &Page, int Position) {
  Page.StoredScrollPos = Position;
  if (TvlPageView *view = ViewOf(Page))
    if (!view->PageView_SetScrollPos(Position)) view->PageView_SetScrollPos(1);
}

QString TvlNotebook::Tabs_Title(int Index) const {
  return (*FvlPages.at(static_cast<std::size_t>(Index))).Caption;
}

TDocument &TvlNotebook::Tabs_Document(int Index) {
  return *(*FvlPages.at(static_cast<std::size_t>(Index))).mtcDoc;
}

int TvlNotebook::Tabs_ScrollPosForSaving(int Index) {
  RvlPage &page = (*FvlPages.at(static_cast<std::size_t>(Index)));
  TvlPageView *view = ViewOf(page);
  if (!view) return page.StoredScrollPos;
  view->PageView_LayOutCompletely();
  return view->PageView_ScrollPos();
}

QString TvlNotebook::Tabs_PathName(int Index) const {
  return (*FvlPages.at(static_cast<std::size_t>(Index))).PathName;
}

bool TvlNotebook::Tabs_IsOnDisk(int Index) const {
  return (*FvlPages.at(static_cast<std::size_t>(Index))).IsOnDisk;
}

void TvlNotebook::Tabs_ReplaceAll(std::vector<RvlLoadedTab> Tabs, int ActiveTab) {
  Page_DestroyAll();
  for (RvlLoadedTab &tab : Tabs) {
    RvlPage &page = Page_Create(tab.Title, QString(), std::move(tab.Doc));
    if (TvlPageView *view = ViewOf(page)) view->PageView_LayOutCompletely();
    if (tab.VertScrollbar != -1) SetScrollPos(page, tab.VertScrollbar);
    if (TvlPageView *view = ViewOf(page)) view->PageView_ScrollCaretIntoView(false);
  }
  ActivatePage(ActiveTab);
}
