#pragma once
// The undo history of one document: every change, as the sections it touched before and after,
// so that undo and redo give back exactly what was there: text, fonts, line ends, outlines, the
// effective and the real moment of every character, and the anchors of pictures. Undo and redo
// swap the sections back in one step through TDocument::Sections_Swap, which tells the
// formatters, the typing events, the change counts and the other observers (the journal) as any
// edit does.
//
// Steps: one operation (a key, a paste, a font command) is one step. Typed characters that
// follow each other join the step of the characters before them until a new word begins after
// a blank, a line is broken, the caret moves elsewhere or the typist pauses; those joins copy
// nothing, so typing costs almost nothing more with the history on. The copies are held whole
// per paragraph touched.
//
// Memory is bounded: beyond MaxSteps steps, or MaxChars characters held in copies, the oldest
// steps go (the newest step always stays, however large). Fonts a font command added to the
// table go with its undo, unless the table changed again since. A change of the pictures' order
// (a picture brought to the front) is a step of its own, kept as the order before and after. A
// change of the whole content (a load) cannot be gone back over: it clears the history.
//
// The typing events of line feeds are not kept with any paragraph (a line feed is no character
// of one): the steps that inserted them keep their moments, so that undo takes those events out
// and redo files them again.
//
// User-interface thread only.

#include "vldEditObserver.h"
#include "vldFontsInUse.h"
#include "vldSection.h"
#include "vldTemporal.h"

#include <QChar>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

class TDocument;

class TUndoHistory final : public TDocumentEditObserver {
 public:
  static constexpr int DefaultMaxSteps = 1000;
  static constexpr qsizetype DefaultMaxChars = 1'000'000;  // about 20 MB of copies
  // Typing after a pause this long starts a step of its own.
  static constexpr double TypingPauseSeconds = 2;

  explicit TUndoHistory(TDocument &Doc);
  ~TUndoHistory() override;
  TUndoHistory(const TUndoHistory &) = delete;
  TUndoHistory &operator=(const TUndoHistory &) = delete;

  // Off: the history hears nothing and holds nothing.
  void Switch(bool On);
  bool IsOn() const { return FOn; }

  bool CanUndo() const { return !FUndo.empty(); }
  bool CanRedo() const { return !FRedo.empty(); }
  // The caret and selection go back to where they were before the step (undo) or after it
  // (redo). False when there is nothing to do, or when the document is no longer the one the
  // step was recorded on: then the history is cleared, and the document keeps what it has.
  bool Undo();
  bool Redo();
  void Clear();
  // The next change starts a step of its own, even typing.
  void Group_Close();
  // The document is about to change the order of its pictures; the record of the whole content
  // that follows is that change, a step of its own.
  void Pictures_Reordering();
  void Limits_Set(int MaxSteps, qsizetype MaxChars);
  int UndoCount() const { return static_cast<int>(FUndo.size()); }
  int RedoCount() const { return static_cast<int>(FRedo.size()); }
  qsizetype HeldChars() const { return FHeldChars; }

  void Document_Editing(const TDocument &Doc, const RDocumentEditing &Edit) override;
  void Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) override;
  void Document_EditDone(const TDocument &Doc) override;

 private:
  struct RPictureOrder {
    int Handle = 0;
    int ZOrder = 0;
  };
  struct RPart {
    int First = 0;
    int Count = 0;  // the document's sections from First this part stands for now
    std::vector<std::unique_ptr<TSection>> Held;  // what they replaced, or were replaced by
    qsizetype Chars = 0;
    // The characters of the document's sections it stands for: a document changed behind the
    // history's back is found before anything is swapped.
    qsizetype LiveChars = 0;
  };
  struct RStep {
    std::vector<RPart> Parts;  // in the order the changes were made
    TCaretPos CaretBefore, SelectBefore, CaretAfter, SelectAfter;
    bool Typing = false;  // typed characters may still join
    QChar LastChar;
    TCaretPos NextAt;
    double LastTyped = 0;
    qsizetype Chars = 0;
    // A font command may add fonts to the table: the table before it while it runs, then the
    // entries it added, by slot.
    std::unique_ptr<TFontsInUse> FontsBefore;
    std::uint64_t FontsStart = 0;
    std::vector<std::pair<int, TFontInUse>> FontsAdded;
    // The moments of the typing events of the line feeds the step inserted.
    std::vector<TDateTime> LineFeedEvents;
    // A change of the pictures' order: each picture's handle with its place before and after.
    std::vector<RPictureOrder> OrderBefore, OrderAfter;
  };

  void FinishPending();
  std::vector<RPictureOrder> PictureOrder() const;
  bool PutPictureOrder(const std::vector<RPictureOrder> &Order);
  void LineFeedEvents_Follow(const RStep &Step, bool Backwards) const;
  bool SwapPart(RStep &Step, RPart &Part);
  void Fonts_TakeBack(RStep &Step);
  void Fonts_GiveAgain(RStep &Step);
  bool Apply(RStep &Step, bool Backwards);
  void DropRedo();
  void Trim();
  static qsizetype CharsOf(const std::vector<std::unique_ptr<TSection>> &List);
  qsizetype LiveCharsOf(const RPart &Part) const;

  TDocument &FDoc;
  bool FOn = false;
  bool FApplying = false;
  std::deque<RStep> FUndo;
  std::vector<RStep> FRedo;
  qsizetype FHeldChars = 0;
  int FMaxSteps = DefaultMaxSteps;
  qsizetype FMaxChars = DefaultMaxChars;
  // Between a notice and its record: the sections the document had, the part that grows.
  bool FPending = false;
  int FPendingSections = 0;
  std::size_t FPendingPart = 0;
  // Between Pictures_Reordering and the record that follows: the order before.
  bool FReordering = false;
  std::vector<RPictureOrder> FOrderBefore;
};
