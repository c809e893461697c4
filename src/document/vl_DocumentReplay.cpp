// Doing a told edit again (vldEditObserver.h): the journal's replay after a crash, and later an
// undo history. Every kind goes through the same work as the operation that told it, with the
// moments the record carries instead of the clock's, so that the result is the same document.

#include "vl_Document.h"

#include "vldGraphic.h"
#include "vldParagraph.h"
#include "vldUndoHistory.h"

#include <algorithm>
#include <unordered_set>

namespace {

QString PosText(const TCaretPos &P) { return QStringLiteral("(%1,%2)").arg(P.SN).arg(P.FGN); }

}  // namespace

bool TDocument::Edit_Apply(const RDocumentEdit &Edit, QString &Why) {
  Why.clear();
  const auto fail = [&Why, &Edit](const QString &What) {
    Why = What + QStringLiteral(" at ") + PosText(Edit.At);
    return false;
  };
  const auto removedMatches = [&](const QString &Found) {
    if (Found == Edit.Removed) return true;
    Why = QStringLiteral("the text at ") + PosText(Edit.At) +
          QStringLiteral(" is not the text deleted");
    return false;
  };
  const TFontIndex savedCurrent = FCurrentFontX;
  switch (Edit.Kind) {
    case TEditKind::Insert: {
      if (!Edit.Text || Edit.Text->Length() == 0) return fail(QStringLiteral("no text"));
      if (!IsValidCaretPosition_Silent(Edit.At)) return fail(QStringLiteral("no such position"));
      const RSplitMoments split{Edit.Moment, Edit.Moment2};
      // New paragraphs take the end-of-line font they took when the edit was made.
      FCurrentFontX = Edit.Font;
      bool done = false;
      if (Edit.Text->Length() == 1) {
        done = Char_InsertAt(Edit.Text->Char_GetChar(1), Edit.Text->Char_GetFont(1), Edit.At,
                             Edit.Text->Timestamp_Get(1), split);
      } else {
        TCaretPos newAt;
        done = SubStr_InsertRich(*Edit.Text, Edit.At, newAt, split);
      }
      FCurrentFontX = savedCurrent;
      if (!done) return fail(QStringLiteral("no such position"));
      Events_AddManyToListIfNotDuplicating(*Edit.Text);
      Tell(Edit);
      return true;
    }
    case TEditKind::CharReplace: {
      if (!Edit.Text || Edit.Text->Length() != 1) return fail(QStringLiteral("no character"));
      const TParagraph *p = Paragraph_FromSectionNum(Edit.At.SN);
      if (!p || !p->IsValidCharIndex_Silent(Edit.At.FGN))
        return fail(QStringLiteral("no such character"));
      if (!removedMatches(QString(p->Char_GetChar(Edit.At.FGN)))) return false;
      FCurrentFontX = Edit.Font;
      Char_ReplaceAt(Edit.Text->Char_GetChar(1), Edit.Text->Char_GetFont(1), Edit.At,
                     Edit.Text->Timestamp_Get(1), RSplitMoments{Edit.Moment, Edit.Moment2});
      FCurrentFontX = savedCurrent;
      Tell(Edit);
      return true;
    }
    case TEditKind::CharDelete: {
      const TParagraph *p = Paragraph_FromSectionNum(Edit.At.SN);
      if (!p || !p->IsValidCaretPosition_Silent(Edit.At.FGN))
        return fail(QStringLiteral("no such position"));
      int next = Edit.At.SN;
      if (Edit.At.FGN == p->After() && !Paragraph_Next(next))
        return fail(QStringLiteral("no paragraph to join"));
      const QString found =
          Edit.At.FGN == p->After() ? QStringLiteral("\n") : QString(p->Char_GetChar(Edit.At.FGN));
      if (!removedMatches(found)) return false;
      Char_Delete(Edit.At);
      return true;
    }
    case TEditKind::CaretSpanDelete:
      if (!IsValidCaretPosition_Silent(Edit.At) || !IsValidCaretPosition_Silent(Edit.Stop) ||
          !IsInSequence(Edit.At, Edit.Stop))
        return fail(QStringLiteral("no such range"));
      if (!removedMatches(CaretSpan_Plain(Edit.At, Edit.Stop))) return false;
      CaretSpan_Delete(Edit.At, Edit.Stop);
      return true;
    case TEditKind::SubStrDelete: {
      const TCharX first{Edit.At.SN, Edit.At.FGN}, last{Edit.Stop.SN, Edit.Stop.FGN};
      if (!IsParagraph(first.SN) || !IsParagraph(last.SN) || last.SN < first.SN)
        return fail(QStringLiteral("no such range"));
      if (!removedMatches(RangePlain(first, last))) return false;
      SubStr_Delete(first, last);
      return true;
    }
    case TEditKind::FontChange: {
      const TCharSpan span{TCharX{Edit.At.SN, Edit.At.FGN}, TCharX{Edit.Stop.SN, Edit.Stop.FGN}};
      if (!Section_Exists(span.First.SN) || !Section_Exists(span.Last.SN) ||
          span.Last.SN < span.First.SN)
        return fail(QStringLiteral("no such range"));
      switch (Edit.FontOp) {
        case TFontOp::Index: Font_Change(span, Edit.Font); break;
        case TFontOp::Bold: Font_ChangeBold(span, Edit.Flag); break;
        case TFontOp::Italic: Font_ChangeItalics(span, Edit.Flag); break;
        case TFontOp::Underline: Font_ChangeUnderline(span, Edit.Flag); break;
        case TFontOp::Strikeout: Font_ChangeStrikeout(span, Edit.Flag); break;
        case TFontOp::Name: Font_ChangeName(span, Edit.Str); break;
        case TFontOp::Size: Font_ChangeSizeTo(span, static_cast<std::int32_t>(Edit.Number)); break;
        case TFontOp::Color: Font_ChangeColor(span, Edit.Color); break;
        case TFontOp::Highlight: Font_ChangeHighlight(span, Edit.Highlight); break;
        case TFontOp::Colors: Font_ChangeColors(span, Edit.Color, Edit.Highlight); break;
        case TFontOp::SizeRelative: Font_ChangeSizeRelative(span, Edit.Number); break;
        default: return fail(QStringLiteral("an unknown font change"));
      }
      return true;
    }
    case TEditKind::Outline:
      if (!IsParagraph(Edit.At.SN)) return fail(QStringLiteral("no paragraph"));
      Paragraph_Outline_Set(Edit.At.SN, Edit.Outline, Edit.Str);
      if (Edit.Text)
        if (TParagraph *p = Paragraph_FromSectionNum(Edit.At.SN))
          for (int i = 1; i <= std::min(Edit.Text->High(), p->High()); ++i)
            p->Timestamp_Set(i, Edit.Text->Timestamp_Get(i));
      return true;
    case TEditKind::CharMoment: {
      const TParagraph *p = Paragraph_FromSectionNum(Edit.At.SN);
      if (!p || !p->IsValidCaretPosition_Silent(Edit.At.FGN))
        return fail(QStringLiteral("no such position"));
      Timestamp_SetForCharacter(Edit.At, Edit.Moment);
      return true;
    }
    case TEditKind::ParagraphMoment:
      if (!IsParagraph(Edit.At.SN)) return fail(QStringLiteral("no paragraph"));
      Timestamp_SetForParagraph(Edit.At.SN, Edit.Moment);
      return true;
    case TEditKind::Sections: return Edit_ApplySections(Edit, Why);
    case TEditKind::Content: {
      QString title;
      int scroll = 0;
      const QString problems =
          IO_LoadFromBytes(Edit.Bytes, QStringLiteral("journal"), title, scroll);
      if (!IO_LastLoad().Complete) return fail(QStringLiteral("an unreadable content record"));
      Q_UNUSED(problems);
      ChangeCount_Increment();
      Tell(Edit);
      return true;
    }
  }
  return fail(QStringLiteral("an unknown edit"));
}

// ---- Sections as a whole (undo and redo) -------------------------------------------------------

std::unique_ptr<TSection> TDocument::Section_Clone(int N) const {
  const TSection *from = Section_At(N);
  if (!from) return nullptr;
  if (const auto *p = dynamic_cast<const TParagraph *>(from)) {
    auto copy = std::make_unique<TParagraph>(nullptr, p->FNLFont, nullptr);
    copy->MyAssign(*p);
    copy->AnchoredInsets = p->AnchoredInsets;
    return copy;
  }
  if (dynamic_cast<const TvlGraphic *>(from)) {
    auto copy = std::make_unique<TvlGraphic>();
    copy->MyAssign(*from);
    return copy;
  }
  return nullptr;
}

namespace {

void ListEvents(const TDocument &Doc, const TSection &S) {
  if (const auto *p = dynamic_cast<const TParagraph *>(&S))
    Doc.Events_AddManyToListIfNotDuplicating(*p);
}

QString PlainOf(const std::vector<std::unique_ptr<TSection>> &List) {
  QString out;
  bool first = true;
  for (const auto &s : List)
    if (const auto *p = dynamic_cast<const TParagraph *>(s.get())) {
      if (!first) out += u'\n';
      first = false;
      out += p->Text();
    }
  return out;
}

}  // namespace

bool TDocument::Sections_Swap(int First, int Count, std::vector<std::unique_ptr<TSection>> &In) {
  const int size = Section_High() + 1;
  const bool anyParagraph = std::any_of(In.begin(), In.end(), [](const auto &S) {
    return dynamic_cast<TParagraph *>(S.get()) != nullptr;
  });
  if (First < 0 || Count < 0 || First > size || Count > size - First ||
      std::any_of(In.begin(), In.end(), [](const auto &S) { return !S; }))
    return false;
  // The document keeps at least one paragraph: a swap that would leave none is refused.
  if (!anyParagraph) {
    bool kept = false;
    for (int i = 0; i < size && !kept; ++i)
      kept = (i < First || i >= First + Count) && IsParagraph(i);
    if (!kept) return false;
  }
  TellEditing(TEditKind::Sections, First, First + Count - 1, TCaretPos{First, 1, false});
  const int oldLast = First + Count - 1;
  // Out: their characters stop being typing events, their pictures lose the anchor (the anchor
  // lists stay with them as data, for the way back).
  if (Count > 0) Events_UnlistForCharXRange(TCharX{First, 1}, TCharX{oldLast, INT32_MAX});
  std::unordered_set<const TParagraph *> leaving;
  std::vector<THandleList> lists;
  for (int i = First; i <= oldLast; ++i) {
    TSection &s = *Sections[static_cast<std::size_t>(i)];
    ReleaseLayoutRecords(s);
    if (&s == FGraphic_Merge) FGraphic_Merge = nullptr;
    if (auto *p = dynamic_cast<TParagraph *>(&s)) {
      leaving.insert(p);
      lists.push_back(p->AnchoredInsets);
    }
  }
  InsetsStorage.ForgetParagraphs(leaving);
  std::vector<std::unique_ptr<TSection>> out;
  out.reserve(static_cast<std::size_t>(Count));
  {
    std::size_t l = 0;
    for (int i = First; i <= oldLast; ++i) {
      auto &slot = Sections[static_cast<std::size_t>(i)];
      if (auto *p = dynamic_cast<TParagraph *>(slot.get())) {
        p->AnchoredInsets = lists[l++];
        p->MemberOfDoc = nullptr;
      }
      out.push_back(std::move(slot));
    }
  }
  Sections.erase(Sections.begin() + First, Sections.begin() + First + Count);
  const int newCount = static_cast<int>(In.size());
  Sections.insert(Sections.begin() + First, std::make_move_iterator(In.begin()),
                  std::make_move_iterator(In.end()));
  for (int i = First; i < First + newCount; ++i) {
    TSection &s = *Sections[static_cast<std::size_t>(i)];
    s.FChanged = true;
    auto *p = dynamic_cast<TParagraph *>(&s);
    if (!p) continue;
    p->MemberOfDoc = this;
    p->UpdateAuxInfoAsSpecifiedBy(AuxInfoUsageMonitor);
    const THandleList handles = p->AnchoredInsets;
    p->AnchoredInsets.Clear();
    for (int h = 1; h <= handles.Count(); ++h)
      if (InsetsStorage.GetInset(handles.GetHandle(h)))
        InsetsStorage.Anchor(handles.GetHandle(h), p);
    ListEvents(*this, *p);
  }
  ++FLayoutTouches;
  const int newLast = std::max(First + newCount - 1, First);
  Notify_Formatters(TCaretPos{First, 1, false},
                    TCaretPos{std::max(oldLast, First), INT32_MAX, false},
                    TCaretPos{newLast, INT32_MAX, false});
  ChangeCount_Increment();
  Positions_KeepValid();
  if (HasObservers()) {
    RDocumentEdit e;
    e.Kind = TEditKind::Sections;
    e.At = TCaretPos{First, 1, false};
    e.Stop = TCaretPos{oldLast, newCount, false};
    e.Removed = PlainOf(out);
    TRichString text;
    for (int i = First; i < First + newCount; ++i) {
      const TParagraph *p = Paragraph_FromSectionNum(i);
      if (!p) continue;
      if (p->High() > 0) text.SubStr_InsertSubstr(*p, 1, p->High(), text.After());
      text.Char_Append(u'\n', p->FNLFont, p->FNLWhen);
      const QChar part(0x1F);
      e.Str += QString::number(p->Outline) + part + p->OutlineStr + part +
               QString::number(p->FGroupTimestamp.RealDT, 'g', 17) + part +
               QString::number(p->FGroupTimestamp.FEffectiveDT, 'g', 17) + QChar(0x1E);
    }
    e.Text = &text;
    Tell(e);
  }
  In = std::move(out);
  return true;
}

bool TDocument::Edit_ApplySections(const RDocumentEdit &Edit, QString &Why) {
  const int first = Edit.At.SN, count = Edit.Stop.SN - Edit.At.SN + 1, newCount = Edit.Stop.FGN;
  if (first < 0 || count < 0 || first + count > Section_High() + 1 || newCount < 0) {
    Why = QStringLiteral("no such sections at ") + PosText(Edit.At);
    return false;
  }
  QString found;
  bool firstParagraph = true;
  for (int i = first; i < first + count; ++i)
    if (const TParagraph *p = Paragraph_FromSectionNum(i)) {
      if (!firstParagraph) found += u'\n';
      firstParagraph = false;
      found += p->Text();
    }
  if (found != Edit.Removed) {
    Why = QStringLiteral("the text at ") + PosText(Edit.At) +
          QStringLiteral(" is not the text replaced");
    return false;
  }
  // The new paragraphs, from the text: each ends at its line feed.
  const TRichString empty;
  const TRichString &text = Edit.Text ? *Edit.Text : empty;
  const QStringList extras = Edit.Str.split(QChar(0x1E));
  std::vector<std::unique_ptr<TSection>> in;
  int from = 1;
  for (int c = 1; c <= text.High(); ++c) {
    if (text.Char_GetChar(c) != u'\n') continue;
    auto p = std::make_unique<TParagraph>(nullptr, text.Char_GetFont(c), nullptr);
    if (from < c) p->SubStr_InsertSubstr(text, from, c - 1, 1);
    p->FNLFont = text.Char_GetFont(c);
    p->FNLWhen = text.Timestamp_Get(c);
    const QStringList parts = extras.value(static_cast<qsizetype>(in.size())).split(QChar(0x1F));
    if (parts.size() == 4) {
      const int kind = parts[0].toInt();
      if (kind >= oNone && kind <= oRoman) p->Outline = static_cast<TOutline>(kind);
      p->OutlineStr = parts[1];
      p->FGroupTimestamp = RvlTimestamp{parts[3].toDouble(), parts[2].toDouble()};
    }
    in.push_back(std::move(p));
    from = c + 1;
  }
  if (static_cast<int>(in.size()) != newCount || from != text.High() + 1) {
    Why = QStringLiteral("an unreadable sections record at ") + PosText(Edit.At);
    return false;
  }
  if (!Sections_Swap(first, count, in)) {
    Why = QStringLiteral("sections that cannot be replaced at ") + PosText(Edit.At);
    return false;
  }
  return true;
}

void TDocument::Positions_Set(const TCaretPos &Caret, const TCaretPos &Select) {
  FAtPos = Caret;
  FAtPosSelect = Select;
  Positions_KeepValid();
}

TUndoHistory &TDocument::Undo_History() {
  if (!FUndo) FUndo = std::make_unique<TUndoHistory>(*this);
  return *FUndo;
}

void TDocument::Undo_Switch(bool On) { Undo_History().Switch(On); }

bool TDocument::Undo_IsOn() const { return FUndo && FUndo->IsOn(); }
