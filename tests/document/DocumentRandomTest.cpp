// A long run of random edits, as a user makes them (typing, deleting, selecting, copying, cutting,
// pasting, bold, character-range deletes, new pictures), applied both to a document and to a plain
// model of lines. After every step the document must hold exactly the model's text, fonts and
// moments, its pictures must be anchored where the model says, the caret and the selection end
// must be where the model put them, and every formatter notification must have named sections
// that existed.

#include "vl_Document.h"

#include "vlClock.h"
#include "vlTestSupport.h"
#include "vldGraphic.h"
#include "vldStorage.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace {

struct RChar {
  QChar Ch;
  TFontIndex Font;
  RvlTimestamp When;
};

struct RLine {
  std::vector<RChar> Chars;
  TFontIndex EolFont = 0;
  RvlTimestamp EolWhen;
  std::vector<TInsetHandle> Anchored;
};

class TRandomEdits {
 public:
  explicit TRandomEdits(unsigned Seed) : Rng(Seed) {
    Doc.Notify_RegisterFormatter(
        [this](const TCaretPos &From, const TCaretPos &OldTo, const TCaretPos &NewTo) {
          for (const TCaretPos &p : {From, OldTo, NewTo})
            BadNotifications += Doc.IsValidCaretPosition_Silent(p) ? 0 : 1;
        },
        NewParagraphInfo);
    Fonts = {Doc.FCurrentFontX,
             Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 12, clRed, clWhite, TFontStyles()),
             Doc.Font_GetIndex(QStringLiteral("Verdana"), 0, 9, clBlack, clYellow, TFontStyles())};
    Lines.resize(1);
    Lines[0].EolFont = Doc.Paragraph_FromSectionNum(0)->FNLFont;
    Lines[0].EolWhen = Doc.Paragraph_FromSectionNum(0)->FNLWhen;
  }

  // One random step; answers its name for the failure message.
  const char *Step() {
    Clock.AdvanceMSecs(1);
    const int total = TotalChars();
    const int roll = Pick(0, 99);
    if (roll < 42 && total < 2500) return Type();
    if (roll < 48) return DeleteForward();
    if (roll < 54) return Backspace();
    if (roll < 64) return SelectSomething();
    if (roll < 68) return MoveCaret();
    if (roll < 72) return DeleteSelection();
    if (roll < 77) return Copy(false);
    if (roll < 80) return Copy(true);
    if (roll < 87) return PasteRich();
    if (roll < 92) return PastePlain();
    if (roll < 95) return Bold();
    if (roll < 99) return DeleteCharRange();
    return AddPicture();
  }

  // The document against the model.
  ::testing::AssertionResult Consistent() const {
    if (Doc.Section_High() + 1 != static_cast<int>(Lines.size()))
      return ::testing::AssertionFailure()
             << Doc.Section_High() + 1 << " sections, model " << Lines.size();
    std::map<TInsetHandle, int> anchorLine;
    for (std::size_t i = 0; i < Lines.size(); ++i) {
      const TParagraph *p = Doc.Paragraph_FromSectionNum(static_cast<int>(i));
      const RLine &l = Lines[i];
      if (!p) return ::testing::AssertionFailure() << "section " << i << " is no paragraph";
      if (auto r = InStep(*p); !r) return r;
      if (p->High() != static_cast<int>(l.Chars.size()))
        return ::testing::AssertionFailure() << "paragraph " << i << " has " << p->High()
                                             << " characters, model " << l.Chars.size();
      for (int k = 1; k <= p->High(); ++k) {
        const RChar &c = l.Chars[static_cast<std::size_t>(k - 1)];
        if (p->Char_GetChar(k) != c.Ch || p->Char_GetFont(k) != c.Font ||
            !(p->Timestamp_Get(k) == c.When))
          return ::testing::AssertionFailure() << "paragraph " << i << " character " << k;
      }
      if (p->FNLFont != l.EolFont || !(p->FNLWhen == l.EolWhen))
        return ::testing::AssertionFailure() << "end of line of paragraph " << i;
      std::vector<TInsetHandle> listed;
      for (int k = 1; k <= p->AnchoredInsets.Count(); ++k)
        listed.push_back(p->AnchoredInsets.GetHandle(k));
      if (listed != l.Anchored)
        return ::testing::AssertionFailure() << "anchored insets of paragraph " << i;
      for (const TInsetHandle h : l.Anchored) anchorLine[h] = static_cast<int>(i);
    }
    for (TInsetHandle h = 0; h <= Doc.InsetsStorage.High(); ++h) {
      const TInset *inset = Doc.InsetsStorage.GetInset(h);
      if (!inset) continue;
      const auto it = anchorLine.find(h);
      const TParagraph *expected =
          it == anchorLine.end() ? nullptr : Doc.Paragraph_FromSectionNum(it->second);
      if (inset->FAnchor != expected) return ::testing::AssertionFailure() << "anchor of " << h;
    }
    if (!SamePos(Doc.FAtPos, Caret) || !SamePos(Doc.FAtPosSelect, Anchor) ||
        !Doc.IsValidCaretPosition_Silent(Doc.FAtPos))
      return ::testing::AssertionFailure() << "caret (" << Doc.FAtPos.SN << "," << Doc.FAtPos.FGN
                                           << "), model (" << Caret.SN << "," << Caret.FGN << ")";
    if (BadNotifications) return ::testing::AssertionFailure() << "notification beyond the text";
    return ::testing::AssertionSuccess();
  }

  int TotalChars() const {
    int n = 0;
    for (const RLine &l : Lines) n += static_cast<int>(l.Chars.size());
    return n;
  }

  TManualClock Clock{45200.5};
  TScopedClock UseClock{Clock};
  TMemoryTextClipboard Clipboard;
  TScopedTextClipboard UseClipboard{Clipboard};
  TDocument Doc;

 private:
  static bool SamePos(const TCaretPos &A, const TCaretPos &B) {
    return A.SN == B.SN && A.FGN == B.FGN;
  }
  int Pick(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(Rng); }
  int After(int SN) const {
    return static_cast<int>(Lines[static_cast<std::size_t>(SN)].Chars.size()) + 1;
  }
  RLine &Line(int SN) { return Lines[static_cast<std::size_t>(SN)]; }
  TCaretPos RandomPos() {
    const int sn = Pick(0, static_cast<int>(Lines.size()) - 1);
    return TCaretPos{sn, Pick(1, After(sn)), false};
  }
  bool Selected() const { return !SamePos(Caret, Anchor); }
  TCaretPos Start() const { return TDocument::IsInSequence(Anchor, Caret) ? Anchor : Caret; }
  TCaretPos Stop() const { return TDocument::IsInSequence(Anchor, Caret) ? Caret : Anchor; }
  void PlaceCaret(const TCaretPos &Pos) {
    Caret = Anchor = Pos;
    Doc.AtPos_NoSelectionSet(Pos);
  }
  // A paragraph the document just made: its end of line is stamped when it is made.
  void TakeEndOfLineFromDocument(int SN) {
    Line(SN).EolWhen = Doc.Paragraph_FromSectionNum(SN)->FNLWhen;
  }

  // Lines First..Last leave; their pictures stay without an anchor.
  void EraseLines(int First, int Last) {
    Lines.erase(Lines.begin() + First, Lines.begin() + Last + 1);
    if (Lines.empty()) {
      Lines.resize(1);
      Lines[0].EolFont = Doc.FCurrentFontX;
      TakeEndOfLineFromDocument(0);
    }
  }

  // Line SN's characters from gap G on move to a new line after it.
  void SplitModel(int SN, int G) {
    RLine tail;
    auto &chars = Line(SN).Chars;
    tail.Chars.assign(chars.begin() + (G - 1), chars.end());
    chars.erase(chars.begin() + (G - 1), chars.end());
    tail.EolFont = Doc.FCurrentFontX;
    Lines.insert(Lines.begin() + SN + 1, std::move(tail));
  }

  void JoinModel(int SN) {
    RLine &a = Line(SN), &b = Line(SN + 1);
    a.Chars.insert(a.Chars.end(), b.Chars.begin(), b.Chars.end());
    a.Anchored.insert(a.Anchored.end(), b.Anchored.begin(), b.Anchored.end());
    Lines.erase(Lines.begin() + SN + 1);
  }

  // The text from Start up to Stop goes; Stop's remainder joins Start's line.
  void DeleteSpanModel(const TCaretPos &S, const TCaretPos &E) {
    auto &a = Line(S.SN).Chars;
    if (S.SN == E.SN) {
      a.erase(a.begin() + (S.FGN - 1), a.begin() + (E.FGN - 1));
      return;
    }
    a.erase(a.begin() + (S.FGN - 1), a.end());
    auto &b = Line(E.SN).Chars;
    b.erase(b.begin(), b.begin() + (E.FGN - 1));
    EraseLines(S.SN + 1, E.SN - 1);
    JoinModel(S.SN);
  }

  void DeleteSelectionBoth() {
    const TCaretPos s = Start(), e = Stop();
    Doc.Select_DeleteSelectedText();
    DeleteSpanModel(s, e);
    Caret = Anchor = s;
  }

  // Inserts Parts (the text cut at its line feeds) at the caret: the first part ends the caret's
  // line, the last one starts the line that holds the old tail, the others are lines of their
  // own. Plain parts take their fonts here and their moments from the document.
  void InsertLinesModel(const std::vector<std::vector<RChar>> &Parts, bool Plain) {
    const TCaretPos at = Caret;
    const TFontIndex fontAt = at.FGN < After(at.SN)
                                  ? Line(at.SN).Chars[static_cast<std::size_t>(at.FGN - 1)].Font
                                  : Line(at.SN).EolFont;
    const TFontIndex eolFont = Line(at.SN).EolFont;
    const int n = static_cast<int>(Parts.size());
    if (n > 1) {
      SplitModel(at.SN, at.FGN);
      for (int i = 1; i < n - 1; ++i) {
        RLine empty;
        empty.EolFont = Doc.FCurrentFontX;
        Lines.insert(Lines.begin() + at.SN + 1, std::move(empty));
      }
    }
    for (int i = 0; i < n; ++i) {
      const int gap = i == 0 ? at.FGN : 1;
      std::vector<RChar> part = Parts[static_cast<std::size_t>(i)];
      for (std::size_t k = 0; k < part.size(); ++k) {
        if (!Plain) continue;
        part[k].Font = i + 1 == n ? fontAt : eolFont;
      }
      auto &chars = Line(at.SN + i).Chars;
      chars.insert(chars.begin() + (gap - 1), part.begin(), part.end());
      if (Plain)
        for (std::size_t k = 0; k < part.size(); ++k)
          chars[static_cast<std::size_t>(gap - 1) + k].When =
              Doc.Paragraph_FromSectionNum(at.SN + i)->Timestamp_Get(gap + static_cast<int>(k));
      // Every split stamped the first line's end now, and made the others.
      if (n > 1) TakeEndOfLineFromDocument(at.SN + i);
    }
    Caret = Anchor = TCaretPos{
        at.SN + n - 1, (n == 1 ? at.FGN : 1) + static_cast<int>(Parts.back().size()), false};
  }

  const char *Type() {
    if (Selected()) DeleteSelectionBoth();
    static const char16_t alphabet[] = u"abcde fgh  ij\n";
    const QChar ch = alphabet[Pick(0, 13)];
    const TFontIndex font = Fonts[static_cast<std::size_t>(Pick(0, 2))];
    Doc.Char_Insert(ch, font, Caret);
    if (ch == u'\n') {
      SplitModel(Caret.SN, Caret.FGN);
      TakeEndOfLineFromDocument(Caret.SN);
      TakeEndOfLineFromDocument(Caret.SN + 1);
      PlaceCaret(TCaretPos{Caret.SN + 1, 1, false});
    } else {
      auto &chars = Line(Caret.SN).Chars;
      chars.insert(
          chars.begin() + (Caret.FGN - 1),
          RChar{ch, font, Doc.Paragraph_FromSectionNum(Caret.SN)->Timestamp_Get(Caret.FGN)});
      PlaceCaret(TCaretPos{Caret.SN, Caret.FGN + 1, false});
    }
    return "type";
  }

  const char *DeleteForward() {
    if (Selected()) {
      DeleteSelectionBoth();
      return "delete selection by key";
    }
    Doc.Char_Delete(Caret);
    if (Caret.FGN < After(Caret.SN))
      Line(Caret.SN).Chars.erase(Line(Caret.SN).Chars.begin() + (Caret.FGN - 1));
    else if (Caret.SN + 1 < static_cast<int>(Lines.size()))
      JoinModel(Caret.SN);
    return "delete";
  }

  const char *Backspace() {
    if (Selected()) {
      DeleteSelectionBoth();
      return "backspace selection";
    }
    if (Caret.FGN > 1) {
      PlaceCaret(TCaretPos{Caret.SN, Caret.FGN - 1, false});
    } else if (Caret.SN > 0) {
      PlaceCaret(TCaretPos{Caret.SN - 1, After(Caret.SN - 1), false});
    } else {
      return "backspace at the start";
    }
    return DeleteForward();
  }

  const char *SelectSomething() {
    Anchor = RandomPos();
    // Mostly a few characters or lines from the anchor, now and then anywhere.
    if (Pick(0, 39) == 0) {
      Caret = RandomPos();
    } else if (Pick(0, 2)) {
      Caret = TCaretPos{Anchor.SN, std::min(Anchor.FGN + Pick(0, 6), After(Anchor.SN)), false};
    } else {
      const int sn = std::min(Anchor.SN + Pick(1, 2), static_cast<int>(Lines.size()) - 1);
      Caret = TCaretPos{sn, Pick(1, After(sn)), false};
    }
    if (Pick(0, 1)) std::swap(Anchor, Caret);
    Doc.FAtPosSelect = Anchor;
    Doc.FAtPos = Caret;
    return "select";
  }

  const char *MoveCaret() {
    PlaceCaret(RandomPos());
    return "move";
  }

  const char *DeleteSelection() {
    if (!Selected()) SelectSomething();
    if (!Selected()) return "nothing to delete";
    DeleteSelectionBoth();
    return "delete selection";
  }

  const char *Copy(bool Cut) {
    if (!Selected()) SelectSomething();
    if (!Selected()) return "nothing to copy";
    const TCaretPos s = Start(), e = Stop();
    Clip.assign(1, {});
    for (int sn = s.SN; sn <= e.SN; ++sn) {
      if (sn > s.SN) Clip.emplace_back();
      const auto &chars = Line(sn).Chars;
      const int a = sn == s.SN ? s.FGN : 1, b = sn == e.SN ? e.FGN - 1 : After(sn) - 1;
      for (int k = a; k <= b; ++k) Clip.back().push_back(chars[static_cast<std::size_t>(k - 1)]);
    }
    ClipIsInternal = true;
    if (Cut) {
      Doc.Clipboard_Cut();
      DeleteSpanModel(s, e);
      Caret = Anchor = s;
      return "cut";
    }
    Doc.Clipboard_Copy();
    return "copy";
  }

  const char *PasteRich() {
    if (!ClipIsInternal || Clip.empty()) return "nothing to paste";
    if (Selected()) {
      const TCaretPos s = Start(), e = Stop();
      DeleteSpanModel(s, e);
      Caret = Anchor = s;
    }
    Doc.Clipboard_Paste();
    InsertLinesModel(Clip, false);
    return "paste rich";
  }

  const char *PastePlain() {
    // Text from another program: it never equals the copy, because of the "~".
    std::vector<std::vector<RChar>> parts(1);
    QString text;
    const int length = Pick(1, 40);
    for (int i = 0; i < length; ++i) {
      const int r = Pick(0, 12);
      const QChar ch = r == 0 ? QChar(u'\n') : r == 1 ? QChar(u'~') : QChar(u'k' + r);
      text += ch;
      if (ch == u'\n')
        parts.emplace_back();
      else
        parts.back().push_back(RChar{ch, 0, {}});
    }
    if (Selected()) {
      const TCaretPos s = Start(), e = Stop();
      DeleteSpanModel(s, e);
      Caret = Anchor = s;
    }
    Clipboard.SetText(text);
    ClipIsInternal = false;
    Doc.Clipboard_Paste();
    InsertLinesModel(parts, true);
    return "paste plain";
  }

  const char *Bold() {
    const TCaretPos s = Start(), e = Stop();
    std::map<TFontIndex, TFontIndex> bold;
    for (int sn = s.SN; sn <= e.SN; ++sn) {
      auto &chars = Line(sn).Chars;
      const int a = sn == s.SN ? s.FGN : 1, b = sn == e.SN ? e.FGN - 1 : After(sn) - 1;
      for (int k = a; k <= b; ++k) {
        RChar &c = chars[static_cast<std::size_t>(k - 1)];
        if (!bold.contains(c.Font))
          bold[c.Font] = Doc.FontsInUse.GetFontIndex_NewStyle(
              c.Font, Doc.FontsInUse.GetFontStyle(c.Font) | fsBold);
        c.Font = bold[c.Font];
      }
    }
    Doc.Font_ChangeBold(Doc.SelectionCharSpan(), true);
    return "bold";
  }

  // A character range as other callers give it: whole paragraphs go with their line breaks.
  const char *DeleteCharRange() {
    const int fsn = Pick(0, static_cast<int>(Lines.size()) - 1);
    const int lsn =
        std::min(fsn + (Pick(0, 4) ? 0 : Pick(1, 2)), static_cast<int>(Lines.size()) - 1);
    const TCharX first{fsn, Pick(1, After(fsn))};
    const TCharX last{lsn, Pick(lsn == fsn ? first.CX - 1 : 0, After(lsn) - 1)};
    Doc.SubStr_Delete(first, last);
    const int highF = After(fsn) - 1, highL = After(lsn) - 1;
    if (fsn == lsn) {
      if (last.CX < std::max(first.CX, 1)) return "empty range";
      if (first.CX <= 1 && last.CX >= highF) {
        EraseLines(fsn, fsn);
      } else {
        auto &chars = Line(fsn).Chars;
        chars.erase(chars.begin() + (first.CX - 1), chars.begin() + std::min(last.CX, highF));
      }
    } else if (first.CX <= 1 && last.CX >= highL) {
      EraseLines(fsn, lsn);
    } else {
      auto &a = Line(fsn).Chars;
      a.erase(a.begin() + std::min(first.CX - 1, highF), a.end());
      auto &b = Line(lsn).Chars;
      b.erase(b.begin(), b.begin() + std::min(last.CX, highL));
      EraseLines(fsn + 1, lsn - 1);
      JoinModel(fsn);
    }
    // The document keeps its caret and selection end on text that still exists.
    for (TCaretPos *p : {&Caret, &Anchor}) {
      if (p->SN >= static_cast<int>(Lines.size()))
        *p = TCaretPos{static_cast<int>(Lines.size()) - 1,
                       After(static_cast<int>(Lines.size()) - 1), false};
      p->FGN = std::clamp(p->FGN, 1, After(p->SN));
    }
    return "delete characters";
  }

  const char *AddPicture() {
    const int sn = Pick(0, static_cast<int>(Lines.size()) - 1);
    TInsetHandle h = -1;
    if (!Doc.InsetsStorage.MakeNewGraphicAndGetHandle(Doc.Paragraph_FromSectionNum(sn), h))
      return "no picture";
    Line(sn).Anchored.push_back(h);
    return "picture";
  }

  std::mt19937 Rng;
  std::vector<RLine> Lines;
  TCaretPos Caret, Anchor;
  std::vector<std::vector<RChar>> Clip;
  bool ClipIsInternal = false;
  std::vector<TFontIndex> Fonts;
  int BadNotifications = 0;
};

}  // namespace

TEST(DocumentRandomTest, RandomEditsKeepTextFontsMomentsAnchorsAndCaretConsistent) {
  InternalClipboard().Clear();
  TRandomEdits edits(20240611);
  int mostParagraphs = 0, mostCharacters = 0;
  for (int i = 0; i < 20000; ++i) {
    const char *step = edits.Step();
    ASSERT_TRUE(edits.Consistent()) << "step " << i << ": " << step;
    mostParagraphs = std::max(mostParagraphs, edits.Doc.Section_High() + 1);
    mostCharacters = std::max(mostCharacters, edits.TotalChars());
  }
  // The run went somewhere: documents of some size were built and taken apart.
  EXPECT_GT(mostParagraphs, 30);
  EXPECT_GT(mostCharacters, 400);
}
