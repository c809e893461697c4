#include "vlTextCommands.h"

#include "vl09_Notebook.h"
#include "vlCommandHost.h"
#include "vlTextBullets.h"
#include "vlWindowView.h"
#include "vlWindowViewManager.h"
#include "vl_Document.h"
#include "vldUndoHistory.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>

TWindowView *WindowViewOf(QWidget *PageView) {
  if (auto *view = qobject_cast<TWindowView *>(PageView)) return view;
  return PageView ? PageView->findChild<TWindowView *>() : nullptr;
}

TDocument *ActiveDocumentOf(const RProgramParts &Parts) {
  TvlNotebook *nb = Parts.Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  return page ? page->mtcDoc.get() : nullptr;
}

TDocument *TvlTextCommands::ActiveDocument() const { return ActiveDocumentOf(FHost.Parts()); }

QWidget *TvlTextCommands::ActiveView() const {
  TvlNotebook *nb = FHost.Parts().Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  return page ? page->MyWindowView : nullptr;
}

void TvlTextCommands::RedrawActiveView() {
  if (auto *view = WindowViewOf(ActiveView()))
    view->InvalidateAllOfMe();
  else if (QWidget *plain = ActiveView())
    plain->update();
}

namespace {

QAction *StyleAction(const TCommandHost &Fm, TFontStyle Style) {
  switch (Style) {
    case fsBold: return Fm.Action(QStringLiteral("aFontBold"));
    case fsItalic: return Fm.Action(QStringLiteral("aFontItalic"));
    case fsUnderline: return Fm.Action(QStringLiteral("aFontUnderline"));
    default: return nullptr;
  }
}

}  // namespace

void TvlTextCommands::FontStyleExecute(TFontStyle Style) {
  TDocument *doc = ActiveDocument();
  QAction *action = StyleAction(FHost, Style);
  if (!doc || !action) return;
  bool on = false;
  if (doc->Select_IsAnyTextSelected()) {
    const TCharSpan span = doc->SelectionCharSpan();
    on = !doc->FontStyleAt(span.First).testFlag(Style);
    switch (Style) {
      case fsBold: doc->Font_ChangeBold(span, on); break;
      case fsItalic: doc->Font_ChangeItalics(span, on); break;
      default: doc->Font_ChangeUnderline(span, on); break;
    }
  } else {
    on = !action->isChecked();
    TFontsInUse &fonts = doc->Font_GetFontsInUseObjectReference();
    TFontStyles styles = fonts.CurrentFont.Style;
    styles.setFlag(Style, on);
    fonts.CurrentFont_ChangeStyle(styles);
  }
  action->setChecked(on);
  RedrawActiveView();
}

void TvlTextCommands::TextFontSizeExecute(double DeltaPercent) {
  TDocument *doc = ActiveDocument();
  if (!doc || !doc->Select_IsAnyTextSelected()) return;
  doc->Font_ChangeSizeRelative(doc->SelectionCharSpan(), DeltaPercent);
  RedrawActiveView();
}

void TvlTextCommands::TextFontColorExecute(TColor Color) {
  TDocument *doc = ActiveDocument();
  if (!doc) return;
  if (doc->Select_IsAnyTextSelected())
    doc->Font_ChangeColor(doc->SelectionCharSpan(), Color);
  else
    doc->Font_GetFontsInUseObjectReference().CurrentFont_ChangeColor(Color);
  RedrawActiveView();
}

void TvlTextCommands::TextHighlightColorExecute(TColor Highlight) {
  TDocument *doc = ActiveDocument();
  if (!doc) return;
  if (doc->Select_IsAnyTextSelected())
    doc->Font_ChangeHighlight(doc->SelectionCharSpan(), Highlight);
  else
    doc->Font_GetFontsInUseObjectReference().CurrentFont_ChangeHighlight(Highlight);
  RedrawActiveView();
}

void TvlTextCommands::aTextBulletsExecute() {
  TDocument *doc = ActiveDocument();
  if (!doc) return;
  if (TWindowView *view = WindowViewOf(ActiveView()))
    Bullets_Toggle(*view);
  else if (Bullets_Toggle(*doc))
    RedrawActiveView();
}

void TvlTextCommands::UpdateFontButtonState(TDocument *Doc, TFontIndex FontIndex) {
  if (!Doc) return;
  TFontsInUse &fonts = Doc->Font_GetFontsInUseObjectReference();
  const TFontStyles styles = fonts.GetFontStyle(FontIndex);
  // Only changes are set: each change repaints a tool-bar button, and this runs on every caret
  // move.
  const auto check = [](QAction *Action, bool On) {
    if (Action && Action->isChecked() != On) Action->setChecked(On);
  };
  check(FHost.Action(QStringLiteral("aFontBold")), styles.testFlag(fsBold));
  check(FHost.Action(QStringLiteral("aFontItalic")), styles.testFlag(fsItalic));
  check(FHost.Action(QStringLiteral("aFontUnderline")), styles.testFlag(fsUnderline));
  const TColor color = fonts.GetFontColor(FontIndex);
  for (const RColorAction &c : FontColorActions)
    check(FHost.Action(QLatin1String(c.Name)), c.Value == color);
  const TColor highlight = fonts.GetFontHighlight(FontIndex);
  for (const RColorAction &c : HighlightColorActions)
    check(FHost.Action(QLatin1String(c.Name)), c.Value == highlight);
  fonts.CurrentFont_SetFromIndex(FontIndex);
}

namespace {

// A line edit has the keyboard (the search box): the clipboard commands are its own.
QLineEdit *FocusedLineEdit() { return qobject_cast<QLineEdit *>(QApplication::focusWidget()); }

}  // namespace

void TvlTextCommands::aEditCutExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->cut();
    return;
  }
  TDocument *doc = ActiveDocument();
  if (!doc || !doc->Select_IsAnyTextSelected()) return;
  doc->Clipboard_Cut();
  if (auto *view = WindowViewOf(ActiveView())) {
    view->Caret_MoveToPos(doc->FAtPos);
    view->Caret_ScrollIntoView();
  }
  RedrawActiveView();
}

void TvlTextCommands::aEditCopyExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->copy();
    return;
  }
  TDocument *doc = ActiveDocument();
  if (doc && doc->Select_IsAnyTextSelected()) doc->Clipboard_Copy();
}

namespace {

void UndoOrRedo(TvlTextCommands &Commands, bool Redo) {
  TDocument *doc = Commands.ActiveDocument();
  if (!doc) return;
  TUndoHistory &history = doc->Undo_History();
  if (!(Redo ? history.Redo() : history.Undo())) return;
  auto *view = WindowViewOf(Commands.ActiveView());
  ViewManager().InvalidateAll(view);
  if (view) {
    view->Caret_MoveToPos(doc->FAtPos);
    view->Caret_ScrollIntoView_TimelineFollows();
  }
}

}  // namespace

void TvlTextCommands::aEditUndoExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->undo();
    return;
  }
  UndoOrRedo(*this, false);
}

void TvlTextCommands::aEditRedoExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->redo();
    return;
  }
  UndoOrRedo(*this, true);
}

bool TvlTextCommands::CanUndo() const {
  TDocument *doc = ActiveDocument();
  return doc && doc->Undo_IsOn() && doc->Undo_History().CanUndo();
}

bool TvlTextCommands::CanRedo() const {
  TDocument *doc = ActiveDocument();
  return doc && doc->Undo_IsOn() && doc->Undo_History().CanRedo();
}

void TvlTextCommands::aEditPasteExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->paste();
    return;
  }
  TDocument *doc = ActiveDocument();
  if (!doc || !doc->Clipboard_CanPaste()) return;
  doc->Clipboard_Paste();
  auto *view = WindowViewOf(ActiveView());
  ViewManager().InvalidateAll(view);
  if (view) {
    view->Caret_MoveToPos(doc->FAtPos);
    view->Caret_ScrollIntoView();
  }
  RedrawActiveView();
}

void TvlTextCommands::aEditSelectAllExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->selectAll();
    return;
  }
  TDocument *doc = ActiveDocument();
  if (!doc) return;
  // The anchor at the start, the caret at the end: the view shows the end of the notes, as
  // Shift+Ctrl+End from the start would.
  doc->AtPos_NoSelectionSet(doc->Document_FirstCaretPos());
  if (auto *view = WindowViewOf(ActiveView())) {
    view->Caret_MoveToPos(doc->Document_LastCaretPos());
    view->Caret_ScrollIntoView();
  } else {
    doc->FAtPos = doc->Document_LastCaretPos();
  }
  ViewManager().InvalidateAll(WindowViewOf(ActiveView()));
  RedrawActiveView();
}
