#include "vldUndoHistory.h"

#include "vlClock.h"
#include "vlDateTime.h"
#include "vl_Document.h"
#include "vldGraphic.h"
#include "vldRichString.h"

#include <algorithm>

TUndoHistory::TUndoHistory(TDocument &Doc) : FDoc(Doc) {}

TUndoHistory::~TUndoHistory() {
  if (FOn) FDoc.EditObserver_Remove(this);
}

void TUndoHistory::Switch(bool On) {
  if (On == FOn) return;
  FOn = On;
  if (On) {
    FDoc.EditObserver_Add(this);
  } else {
    FDoc.EditObserver_Remove(this);
    Clear();
  }
}

void TUndoHistory::Clear() {
  FUndo.clear();
  FRedo.clear();
  FHeldChars = 0;
  FPending = false;
  FReordering = false;
}

void TUndoHistory::Group_Close() {
  if (!FUndo.empty()) FUndo.back().Typing = false;
}

void TUndoHistory::Limits_Set(int MaxSteps, qsizetype MaxChars) {
  FMaxSteps = std::max(MaxSteps, 1);
  FMaxChars = std::max<qsizetype>(MaxChars, 0);
  Trim();
}

qsizetype TUndoHistory::CharsOf(const std::vector<std::unique_ptr<TSection>> &List) {
  qsizetype n = 0;
  for (const auto &s : List)
    if (const auto *p = dynamic_cast<const TParagraph *>(s.get())) n += p->Length() + 1;
  return n;
}

qsizetype TUndoHistory::LiveCharsOf(const RPart &Part) const {
  qsizetype n = 0;
  for (int i = Part.First; i < Part.First + Part.Count; ++i)
    if (const TParagraph *p = FDoc.Paragraph_FromSectionNum(i)) n += p->Length() + 1;
  return n;
}

void TUndoHistory::DropRedo() {
  for (const RStep &s : FRedo) FHeldChars -= s.Chars;
  FRedo.clear();
}

void TUndoHistory::Trim() {
  while (FUndo.size() > 1 &&
         (static_cast<int>(FUndo.size()) > FMaxSteps || FHeldChars > FMaxChars)) {
    FHeldChars -= FUndo.front().Chars;
    FUndo.pop_front();
  }
}

void TUndoHistory::FinishPending() {
  if (!FPending) return;
  FPending = false;
  if (FUndo.empty() || FPendingPart >= FUndo.back().Parts.size()) return;
  RPart &part = FUndo.back().Parts[FPendingPart];
  part.Count += FDoc.Section_High() + 1 - FPendingSections;
  part.LiveChars = LiveCharsOf(part);
}

void TUndoHistory::Document_Editing(const TDocument &Doc, const RDocumentEditing &Edit) {
  if (!FOn || FApplying || &Doc != &FDoc) return;
  FinishPending();
  DropRedo();
  RStep *top = FUndo.empty() ? nullptr : &FUndo.back();
  bool join = false;
  if (top && Edit.Continues) {
    join = true;
  } else if (top && top->Typing && Edit.Kind == TEditKind::Insert &&
             Edit.Origin == TEditOrigin::Typed && Edit.Ch != u'\n' &&
             TDocument::IsSamePos(Edit.At, top->NextAt)) {
    const bool newWord = top->LastChar.isSpace() && !Edit.Ch.isSpace();
    const double now = Edit.RealWhen > 0 ? Edit.RealWhen : Now();
    const bool paused = (now - top->LastTyped) * SecsPerDay >= TypingPauseSeconds;
    join = !newWord && !paused;
  }
  if (!join) {
    if (top) top->Typing = false;
    RStep step;
    step.CaretBefore = FDoc.FAtPos;
    step.SelectBefore = FDoc.FAtPosSelect;
    if (Edit.Kind == TEditKind::FontChange) {
      step.FontsBefore = std::make_unique<TFontsInUse>();
      step.FontsBefore->MyAssign(FDoc.FontsInUse);
      step.FontsStart = FDoc.FontsInUse.LayoutGeneration();
    }
    FUndo.push_back(std::move(step));
    top = &FUndo.back();
  }
  // A change inside the sections the step's last part stands for needs no copy: that part's
  // copies are already what was there before.
  if (!top->Parts.empty()) {
    const RPart &last = top->Parts.back();
    if (Edit.First >= last.First && Edit.Last <= last.First + last.Count - 1) {
      FPending = true;
      FPendingSections = FDoc.Section_High() + 1;
      FPendingPart = top->Parts.size() - 1;
      return;
    }
  }
  RPart part;
  part.First = Edit.First;
  part.Count = Edit.Last - Edit.First + 1;
  part.Held.reserve(static_cast<std::size_t>(part.Count));
  for (int i = Edit.First; i <= Edit.Last; ++i) {
    std::unique_ptr<TSection> copy = FDoc.Section_Clone(i);
    if (!copy) {
      // A section that cannot be copied cannot be given back: nothing before this is reachable.
      Clear();
      return;
    }
    part.Held.push_back(std::move(copy));
  }
  part.Chars = CharsOf(part.Held);
  top->Chars += part.Chars;
  FHeldChars += part.Chars;
  top->Parts.push_back(std::move(part));
  FPending = true;
  FPendingSections = FDoc.Section_High() + 1;
  FPendingPart = top->Parts.size() - 1;
}

void TUndoHistory::Pictures_Reordering() {
  if (!FOn || FApplying) return;
  FReordering = true;
  FOrderBefore = PictureOrder();
}

std::vector<TUndoHistory::RPictureOrder> TUndoHistory::PictureOrder() const {
  std::vector<RPictureOrder> order;
  const TInsetsStorage &insets = FDoc.InsetsStorage;
  for (TInsetHandle h = insets.Low(); h <= insets.High(); ++h)
    if (const TvlGraphic *g = insets.GetIfGraphic(h)) order.push_back({h, g->FZOrder});
  return order;
}

bool TUndoHistory::PutPictureOrder(const std::vector<RPictureOrder> &Order) {
  // The pictures must be the ones the step was made on: the same handles, all of them.
  const std::vector<RPictureOrder> now = PictureOrder();
  if (now.size() != Order.size()) return false;
  for (std::size_t i = 0; i < now.size(); ++i)
    if (now[i].Handle != Order[i].Handle) return false;
  for (const RPictureOrder &o : Order)
    FDoc.InsetsStorage.GetIfGraphic(o.Handle)->FZOrder = o.ZOrder;
  return true;
}

void TUndoHistory::LineFeedEvents_Follow(const RStep &Step, bool Backwards) const {
  for (TDateTime when : Step.LineFeedEvents) {
    if (Backwards)
      TypingEventSink().DeleteTypingEventAt(when, TypingEventText(u'\n'));
    else
      TypingEventSink().AddTypingEvent(when, TypingEventText(u'\n'));
  }
}

void TUndoHistory::Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) {
  if (!FOn || FApplying || &Doc != &FDoc) return;
  if (Edit.Kind == TEditKind::Content) {
    if (!FReordering) {
      Clear();
      return;
    }
    FReordering = false;
    FinishPending();
    DropRedo();
    if (!FUndo.empty()) FUndo.back().Typing = false;
    RStep step;
    step.CaretBefore = step.CaretAfter = FDoc.FAtPos;
    step.SelectBefore = step.SelectAfter = FDoc.FAtPosSelect;
    step.OrderBefore = std::move(FOrderBefore);
    step.OrderAfter = PictureOrder();
    FUndo.push_back(std::move(step));
    Trim();
    return;
  }
  if (!FPending) return;
  FinishPending();
  RStep &top = FUndo.back();
  if (Edit.Kind == TEditKind::Insert && Edit.Text)
    for (int i = 1; i <= Edit.Text->Length(); ++i)
      if (Edit.Text->Char_GetChar(i) == u'\n')
        top.LineFeedEvents.push_back(TypingEventMoment(Edit.Text->Timestamp_Get(i)));
  if (top.FontsBefore) {
    const TFontsInUse &live = FDoc.FontsInUse;
    if (live.LayoutGeneration() != top.FontsStart)
      for (int i = 1; i < live.SlotCount(); ++i)
        if (live.FontExists(i) && !top.FontsBefore->FontExists(i))
          top.FontsAdded.emplace_back(i, *live.Entry(i));
    top.FontsBefore.reset();
  }
  // Where the caret is after the change; an operation that moves it afterwards tells when done.
  top.CaretAfter = FDoc.FAtPos;
  top.SelectAfter = FDoc.FAtPosSelect;
  const bool typedOne = Edit.Kind == TEditKind::Insert && Edit.Origin == TEditOrigin::Typed &&
                        Edit.Text && Edit.Text->Length() == 1 &&
                        Edit.Text->Char_GetChar(1) != u'\n';
  top.Typing = typedOne;
  if (typedOne) {
    top.LastChar = Edit.Text->Char_GetChar(1);
    top.NextAt = TCaretPos{Edit.At.SN, Edit.At.FGN + 1, false};
    const double real = Edit.Text->Timestamp_Get(1).RealDT;
    top.LastTyped = real > 0 ? real : Now();
  }
  Trim();
}

void TUndoHistory::Document_EditDone(const TDocument &Doc) {
  if (!FOn || FApplying || &Doc != &FDoc || FUndo.empty()) return;
  FUndo.back().CaretAfter = FDoc.FAtPos;
  FUndo.back().SelectAfter = FDoc.FAtPosSelect;
}

bool TUndoHistory::SwapPart(RStep &Step, RPart &Part) {
  if (Part.Count < 0 || LiveCharsOf(Part) != Part.LiveChars) return false;
  std::vector<std::unique_ptr<TSection>> sections = std::move(Part.Held);
  const int count = static_cast<int>(sections.size());
  if (!FDoc.Sections_Swap(Part.First, Part.Count, sections)) {
    Part.Held = std::move(sections);
    return false;
  }
  Part.Held = std::move(sections);
  Part.Count = count;
  Part.LiveChars = LiveCharsOf(Part);
  const qsizetype chars = CharsOf(Part.Held);
  Step.Chars += chars - Part.Chars;
  FHeldChars += chars - Part.Chars;
  Part.Chars = chars;
  return true;
}

namespace {

bool SameFont(const TFontInUse &A, const TFontInUse &B) {
  return A.Name == B.Name && A.Rotation == B.Rotation && A.Size == B.Size && A.Color == B.Color &&
         A.Highlight == B.Highlight && A.Style == B.Style;
}

}  // namespace

void TUndoHistory::Fonts_TakeBack(RStep &Step) {
  TFontsInUse &live = FDoc.FontsInUse;
  for (const auto &[slot, font] : Step.FontsAdded) {
    const TFontInUse *f = live.Entry(slot);
    if (!f || !SameFont(*f, font)) continue;
    live.Entry_Remove(slot);
    // Typing with this font finds or makes its entry again by its attributes.
    if (live.CurrentFont_Index == slot) live.CurrentFont_Changed = true;
  }
}

void TUndoHistory::Fonts_GiveAgain(RStep &Step) {
  TFontsInUse &live = FDoc.FontsInUse;
  std::vector<std::pair<TFontIndex, TFontIndex>> moved;
  for (auto &[slot, font] : Step.FontsAdded) {
    const TFontInUse *f = live.Entry(slot);
    if (!f) {
      live.IO_Load_ForceFont(slot, font.Name, font.Rotation, font.Size, font.Color, font.Highlight,
                             font.Style);
    } else if (!SameFont(*f, font)) {
      // The slot went to another font meanwhile: the text takes the font where it is now.
      const TFontIndex now = live.GetFontIndex(font.Name, font.Rotation, font.Size, font.Color,
                                               font.Highlight, font.Style);
      moved.emplace_back(static_cast<TFontIndex>(slot), now);
      slot = now;
    }
  }
  if (moved.empty()) return;
  const auto map = [&moved](TFontIndex F) {
    for (const auto &[from, to] : moved)
      if (F == from) return to;
    return F;
  };
  for (RPart &part : Step.Parts)
    for (auto &s : part.Held)
      if (auto *p = dynamic_cast<TParagraph *>(s.get())) {
        for (int i = 1; i <= p->High(); ++i) p->Char_SetFont(i, map(p->Char_GetFont(i)));
        p->FNLFont = map(p->FNLFont);
      }
}

bool TUndoHistory::Apply(RStep &Step, bool Backwards) {
  if (!Step.OrderAfter.empty()) {
    if (!PutPictureOrder(Backwards ? Step.OrderBefore : Step.OrderAfter)) return false;
    // The order is saved with the binder: the journal hears of it as it did of the change.
    FApplying = true;
    FDoc.ChangeCount_Increment();
    FDoc.Edit_TellContentChanged();
    FApplying = false;
    return true;
  }
  if (!Backwards) Fonts_GiveAgain(Step);
  FApplying = true;
  bool ok = true;
  if (Backwards) {
    for (auto it = Step.Parts.rbegin(); ok && it != Step.Parts.rend(); ++it)
      ok = SwapPart(Step, *it);
  } else {
    for (auto it = Step.Parts.begin(); ok && it != Step.Parts.end(); ++it) ok = SwapPart(Step, *it);
  }
  FApplying = false;
  if (ok && Backwards) Fonts_TakeBack(Step);
  if (ok) LineFeedEvents_Follow(Step, Backwards);
  return ok;
}

bool TUndoHistory::Undo() {
  FinishPending();
  if (FUndo.empty()) return false;
  RStep step = std::move(FUndo.back());
  FUndo.pop_back();
  step.Typing = false;
  if (!Apply(step, true)) {
    Clear();
    return false;
  }
  FDoc.Positions_Set(step.CaretBefore, step.SelectBefore);
  FRedo.push_back(std::move(step));
  return true;
}

bool TUndoHistory::Redo() {
  FinishPending();
  if (FRedo.empty()) return false;
  RStep step = std::move(FRedo.back());
  FRedo.pop_back();
  if (!Apply(step, false)) {
    Clear();
    return false;
  }
  FDoc.Positions_Set(step.CaretAfter, step.SelectAfter);
  FUndo.push_back(std::move(step));
  Trim();
  return true;
}
