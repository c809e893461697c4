#include "vlKeyBehavior.h"

#include "vlEditorHost.h"
#include "vlSpelling.h"
#include "vlTextBullets.h"
#include "vlWindowView.h"
#include "vlWindowViewManager.h"
#include "vl_Document.h"
#include "vl_Formatter.h"
#include "vldTemporal.h"
#include "vldUndoHistory.h"

#include <QScrollBar>

#include <climits>

namespace {

// The X that End aims at: far beyond any window, however many monitors it spans.
constexpr std::int32_t EndOfLineX = INT32_MAX / 2;

bool CtrlHeld(Qt::KeyboardModifiers M) { return M.testFlag(Qt::ControlModifier); }

}  // namespace

std::uint16_t BehaviorKeyCode(const QKeyEvent &E) {
  const int k = E.key();
  switch (k) {
    case Qt::Key_Left: return vlKey::Left;
    case Qt::Key_Right: return vlKey::Right;
    case Qt::Key_Up: return vlKey::Up;
    case Qt::Key_Down: return vlKey::Down;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return vlKey::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return vlKey::Enter;
    case Qt::Key_Backspace: return vlKey::Backspace;
    case Qt::Key_Delete: return vlKey::Delete;
    case Qt::Key_Home: return vlKey::Home;
    case Qt::Key_End: return vlKey::End;
    case Qt::Key_PageUp: return vlKey::PageUp;
    case Qt::Key_PageDown: return vlKey::PageDown;
    case Qt::Key_Escape: return vlKey::Escape;
    case Qt::Key_Insert: return vlKey::Insert;
    default: break;
  }
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12)
    return static_cast<std::uint16_t>(vlKey::F1 + (k - Qt::Key_F1));
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return static_cast<std::uint16_t>(k);
  if (k >= Qt::Key_0 && k <= Qt::Key_9) return static_cast<std::uint16_t>(k);
  // Ctrl with a letter on a non-Latin layout: the key's Latin letter from the native key.
  const quint32 native = E.nativeVirtualKey();
  if (CtrlHeld(E.modifiers()) && native >= 'a' && native <= 'z')
    return static_cast<std::uint16_t>(native - 'a' + 'A');
  if (CtrlHeld(E.modifiers()) && native >= 'A' && native <= 'Z')
    return static_cast<std::uint16_t>(native);
  return 0;
}

bool EditorKeepsShortcut(const QKeyEvent &E) {
  const std::uint16_t code = BehaviorKeyCode(E);
  const bool ctrl = CtrlHeld(E.modifiers());
  // Alt with a letter or digit opens a menu by its underlined letter, and with a function key
  // belongs to the desktop; the editor keeps Alt only with the keys that move or edit.
  const bool menuKey = (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9') ||
                       (code >= vlKey::F1 && code <= vlKey::F12);
  if (!ctrl && (E.modifiers() & Qt::AltModifier) && menuKey) return false;
  if (!ctrl) return code != 0 || !TypedCharacter(E).isNull();
  switch (code) {
    case vlKey::Left:
    case vlKey::Right:
    case vlKey::Up:
    case vlKey::Down:
    case vlKey::Home:
    case vlKey::End:
    case vlKey::Backspace:
    case vlKey::Delete:
    case vlKey::Tab:
    case vlKey::PageUp:
    case vlKey::PageDown:
    case vlKey::B:
    case vlKey::I:
    case vlKey::U:
    case vlKey::Y:
    case vlKey::Z:
    case vlKey::S: return true;
    default: return code >= vlKey::F1 && code <= vlKey::F12;
  }
}

QChar TypedCharacter(const QKeyEvent &E) {
  if (E.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return {};
  const QString t = E.text();
  if (t.size() != 1) return {};
  const char16_t c = t[0].unicode();
  if (c >= 32 && c <= 126) return t[0];
  // A layout with accents (or a compose key) types "é" or "ß" as one key without an input method.
  return c >= 0xA0 && t[0].isPrint() && !t[0].isSurrogate() ? t[0] : QChar();
}

TKeyBehavior::TKeyBehavior(TWindowView &View)
    : WV(View),
      Formatter(*View.Formatter()),
      Document(*View.Formatter()->Document()),
      ezCaretRef(View.ezCaret()) {}

double TKeyBehavior::BookmarkMoment(const TDocument &Doc) {
  // The moment a space typed here would get, through the broker: an empty paragraph has no
  // context, and the broker then answers now or the playback position instead of 0.
  return TimestampForNewText(Doc.Timestamp_Effective_ContextAtPos(QChar(u' '))).FEffectiveDT;
}

void TKeyBehavior::Repaint() { ViewManager().InvalidateAll(&WV); }

void TKeyBehavior::CommonEnding() {
  WV.SetDesiredXFromCaret();
  WV.Caret_ScrollIntoView_TimelineFollows();
}

void TKeyBehavior::ApplyMove(const TCaretPos &Pos) {
  if (Shift)
    Document.FAtPos = Pos;
  else
    Document.AtPos_NoSelectionSet(Pos);
}

void TKeyBehavior::Key_Printable(QChar Ch) {
  if (Document.Select_IsAnyTextSelected()) Document.Select_DeleteSelectedText();
  // Text never goes in front of a bullet's marker (or into it): it goes behind.
  if (const int marker = Bullet_MarkerLength(Document, Document.FAtPos.SN);
      marker > 0 && Document.FAtPos.FGN <= marker)
    Document.AtPos_NoSelectionSet(TCaretPos{Document.FAtPos.SN, marker + 1, false});
  Document.Text_Type(QStringView(&Ch, 1), Document.FontsInUse.CurrentFont_GetIndex(),
                     WV.TypingMode == tmOverstrike);
  if (Ch == u' ') Bullet_FromTypedPrefix(Document);  // "* " or "- " starting a paragraph
  // A separator ends a word: a common mistake in it is corrected now.
  if (!Ch.isLetterOrNumber() && Ch != u'\'' && Ch != u'-' && Spelling().CorrectCommonMistakes()) {
    const TCaretPos at = Document.FAtPos;
    if (Ch == u'\n' && at.SN > 0)
      AutoCorrectWordEndingAt(Document, at.SN - 1, Document.Paragraph_Length(at.SN - 1) + 1);
    else
      AutoCorrectWordEndingAt(Document, at.SN, at.FGN - 1);
  }
  Repaint();
  CommonEnding();
}

void TKeyBehavior::KeyPress(QChar Key) {
  TDocument::TEditGroup oneKey(Document);
  Key_Printable(Key);
}

void TKeyBehavior::UndoOrRedo(bool Redo) {
  TUndoHistory &history = Document.Undo_History();
  if (!(Redo ? history.Redo() : history.Undo())) return;
  Repaint();
  CommonEnding();
}

void TKeyBehavior::KeyDown(std::uint16_t Key, Qt::KeyboardModifiers ShiftState) {
  // Whatever one key does to the text is one step for the undo history.
  TDocument::TEditGroup oneKey(Document);
  Shift = ShiftState.testFlag(Qt::ShiftModifier);
  const bool ctrl = CtrlHeld(ShiftState);
  TCaretPos pos = Document.FAtPos;
  switch (Key) {
    case vlKey::Left:
    case vlKey::Right: {
      const bool left = Key == vlKey::Left;
      if (!ctrl) {
        if (!Shift) Document.Select_ClearAndPutCaretAt(left ? sBeginning : sEnd);
        pos = Document.FAtPos;
        if (left)
          Document.CaretPosition_TryPrevious(pos);
        else
          Document.CaretPosition_TryNext(pos);
        pos.EOL = false;
        ApplyMove(pos);
      } else {
        for (int guard = 0; guard < 100000; ++guard) {
          const bool moved =
              left ? Document.CaretPosition_TryPrevious(pos) : Document.CaretPosition_TryNext(pos);
          if (!moved || Document.Position_AtStartOfWord(pos) ||
              TDocument::IsSamePos(
                  pos, left ? Document.Document_FirstCaretPos() : Document.Document_LastCaretPos()))
            break;
        }
        pos.EOL = false;
        Document.FAtPos = pos;
      }
      CommonEnding();
      return;
    }
    case vlKey::Up:
    case vlKey::Down: {
      const bool up = Key == vlKey::Up;
      if (!ctrl) {
        if (!Shift && Document.Select_ClearAndPutCaretAt(up ? sBeginning : sEnd))
          ezCaretRef.DesiredX = Formatter.Map_VirtualPosFromDocPos(Document.FAtPos).vX;
        const std::int32_t line = Formatter.Lines_LineNumFromDocPos(Document.FAtPos);
        if (up ? line > 1 : line < Formatter.Lines_High())
          ApplyMove(Formatter.Lines_DocPosFromLineNumAndDesiredX(up ? line - 1 : line + 1,
                                                                 ezCaretRef.DesiredX));
        WV.Caret_ScrollIntoView_TimelineFollows();  // DesiredX stays
        return;
      }
      int n = pos.SN;
      if (up) {
        if (pos.FGN <= 1) Document.Paragraph_Previous(n);
        for (int r = 0; r < 1000 && n > 0 && Document.Paragraph_Length(n) == 0; ++r)
          if (!Document.Paragraph_Previous(n)) break;
      } else {
        for (int r = 0; r < 1000; ++r)
          if (!Document.Paragraph_Next(n) || Document.Paragraph_Length(n) > 0) break;
      }
      Document.FAtPos = TDocument::Paragraph_FirstPos(n);
      CommonEnding();
      return;
    }
    case vlKey::Home:
    case vlKey::End: {
      if (ctrl) {
        Document.FAtPos = Key == vlKey::Home ? Document.Document_FirstCaretPos()
                                             : Document.Document_LastCaretPos();
      } else {
        const std::int32_t line = Formatter.Lines_LineNumFromDocPos(Document.FAtPos);
        ApplyMove(Formatter.Lines_DocPosFromLineNumAndDesiredX(
            line, Key == vlKey::Home ? 0 : EndOfLineX));
      }
      CommonEnding();
      return;
    }
    case vlKey::PageUp:
    case vlKey::PageDown:
      // The view scrolls by a page; the caret stays.
      if (!ctrl) {
        const std::int64_t y = WV.TopPixel() + (Key == vlKey::PageUp ? -1 : 1) * WV.LargeChange();
        WV.SetFirstVisibleLine(
            Formatter.Lines_LineNumFromVirtualPos(TVirtualPos{0, y < 0 ? 0 : y}));
      }
      return;
    case vlKey::Backspace: {
      // Just behind a bullet's marker (or in it) the bullet goes, as a whole.
      if (const int marker = Bullet_MarkerLength(Document, pos.SN);
          marker > 0 && pos.FGN <= marker + 1) {
        Bullet_Remove(Document, pos.SN);
        Document.Select_Clear();
        Repaint();
        CommonEnding();
        return;
      }
      if (!ctrl || TDocument::Position_AtStartOfParagraph(pos)) {
        if (Document.CaretPosition_TryPrevious(pos)) {
          Document.Char_Delete(pos);
        }
      } else {
        int steps = 0;
        while (Document.CaretPosition_TryPrevious(pos)) {
          ++steps;
          if (Document.Position_AtStartOfWord(pos) || TDocument::Position_AtStartOfParagraph(pos))
            break;
        }
        for (int i = 0; i < steps; ++i) Document.Char_Delete(pos);
      }
      pos.EOL = false;
      Document.AtPos_NoSelectionSet(pos);
      Repaint();
      CommonEnding();
      return;
    }
    case vlKey::Delete: {
      const TCaretPos last = Document.Document_LastCaretPos();
      if (const int marker = Bullet_MarkerLength(Document, pos.SN);
          marker > 0 && pos.FGN <= marker && !Document.Select_IsAnyTextSelected()) {
        // In front of a bullet's marker: the bullet goes, as a whole.
        Bullet_Remove(Document, pos.SN);
      } else if (!ctrl && Document.Select_IsAnyTextSelected()) {
        Document.Select_DeleteSelectedText();
      } else if (!TDocument::IsSamePos(pos, last)) {
        if (!ctrl) {
          Document.Char_Delete(pos);
        } else {
          TCaretPos p = pos;
          int steps = 0;
          while (steps < 10000 && Document.CaretPosition_TryNext(p)) {
            ++steps;
            if (Document.Position_AtStartOfWord(p)) break;
          }
          for (int i = 0; i < steps; ++i) Document.Char_Delete(pos);
        }
        Document.AtPos_NoSelectionSet(pos);
      }
      Repaint();
      WV.SetDesiredXFromCaret();
      WV.Caret_ScrollIntoView();
      return;
    }
    case vlKey::Enter: {
      // A bulleted paragraph holding nothing but its marker: Enter ends the list there.
      if (const int marker = Bullet_MarkerLength(Document, pos.SN);
          marker > 0 && Document.Paragraph_Length(pos.SN) == marker &&
          !Document.Select_IsAnyTextSelected()) {
        Bullet_Remove(Document, pos.SN);
        Repaint();
        CommonEnding();
        return;
      }
      QString init;
      const TOutline outline = Document.Paragraph_Outline_Get(pos.SN, init);
      Key_Printable(QChar(u'\n'));
      if (outline != oNone) EditorHost().TextBullets();
      return;
    }
    case vlKey::Escape: EditorHost().SearchClose(); return;
    case vlKey::B:
      if (ctrl) EditorHost().FontBold();
      return;
    case vlKey::I:
      if (ctrl) EditorHost().FontItalic();
      return;
    case vlKey::U:
      if (ctrl) EditorHost().FontUnderline();
      return;
    case vlKey::S:
      if (ctrl) EditorHost().FileSave();
      return;
    case vlKey::Z:
      if (ctrl) UndoOrRedo(Shift);
      return;
    case vlKey::Y:
      if (ctrl) UndoOrRedo(true);
      return;
    default: break;
  }
  if (Key >= vlKey::F1 && Key <= vlKey::F12) {
    const double when = BookmarkMoment(Document);
    if (Key <= vlKey::F9) {
      // F1..F9 set the markers '1'..'9'.
      BookmarkSink().AddMarker('1' + (Key - vlKey::F1), when);
    } else {
      static const char16_t *const texts[] = {u"F10", u" ", u""};
      const std::int32_t id =
          BookmarkSink().AddLabel(QString::fromUtf16(texts[Key - vlKey::F10]), when);
      // Only a real event is opened: "no event" must never edit some other bookmark.
      if (id >= 0) BookmarkSink().BookmarkEdit(id);
    }
    EditorHost().IncrementChangeCountOfActiveDoc();
  }
}
