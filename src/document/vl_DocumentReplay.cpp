// Doing a told edit again (vldEditObserver.h): the journal's replay after a crash, and later an
// undo history. Every kind goes through the same work as the operation that told it, with the
// moments the record carries instead of the clock's, so that the result is the same document.

#include "vl_Document.h"

#include "vldParagraph.h"

#include <algorithm>

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
