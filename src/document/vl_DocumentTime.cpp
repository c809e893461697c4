// TDocument: the moments of its text (per character and per paragraph), the jump from a moment
// to the text written then, and the text search whose results the notebook lists for all tabs.

#include "vl_Document.h"

#include <cmath>

namespace {

// Effective times below this are no moments (text loaded without one is padded with zeros, and
// tiny values are leftovers of a context step after such text).
constexpr double NoMomentBelow = 100;
constexpr int ContextChars = 75;

}  // namespace

RvlTimestamp TDocument::Timestamp_GetForCharacter(const TCaretPos &At) const {
  const TParagraph *p = Paragraph_FromSectionNum(At.SN);
  return p ? p->Timestamp_Get(At.FGN) : RvlTimestamp{};
}

void TDocument::Timestamp_SetForCharacter(const TCaretPos &At, const RvlTimestamp &LinkInstant) {
  TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p) return;
  TellEditing(TEditKind::CharMoment, At.SN, At.SN, At);
  p->Timestamp_Set(At.FGN, LinkInstant);
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.Kind = TEditKind::CharMoment;
  e.At = At;
  e.Moment = LinkInstant;
  Tell(e);
}

RvlTimestamp TDocument::Timestamp_GetForParagraph(int N) const {
  const TParagraph *p = Paragraph_FromSectionNum(N);
  return p ? p->FGroupTimestamp : RvlTimestamp{};
}

void TDocument::Timestamp_SetForParagraph(int N, const RvlTimestamp &Timemark) {
  TParagraph *p = Paragraph_FromSectionNum(N);
  if (!p) return;
  TellEditing(TEditKind::ParagraphMoment, N, N, Paragraph_FirstPos(N));
  p->FGroupTimestamp = Timemark;
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.Kind = TEditKind::ParagraphMoment;
  e.At = Paragraph_FirstPos(N);
  e.Moment = Timemark;
  Tell(e);
}

bool TDocument::Timestamp_SearchForNearestEffectiveTS(TDateTime When, TCaretPos &AtCaretPos) const {
  double best = 9999999.0;
  bool found = false;
  for (int sn = 0; sn <= Section_High(); ++sn) {
    const TParagraph *p = Paragraph_FromSectionNum(sn);
    if (!p) continue;
    const auto &whens = p->Whens().Entries();
    for (int i = 1; i <= p->High(); ++i) {
      const TDateTime t = whens[static_cast<std::size_t>(i)].FEffectiveDT;
      if (!(t >= NoMomentBelow)) continue;
      const double d = std::fabs(t - When);
      if (d < best) {
        best = d;
        found = true;
        AtCaretPos = TCaretPos{sn, i, false};
      }
    }
  }
  if (!found) AtCaretPos = Document_FirstCaretPos();
  return found;
}

TCharX TDocument::Substr_Search(QStringView Str, const TCaretPos &StartAt,
                                bool CaseSensitive) const {
  if (Str.isEmpty()) return TCharX{-1, 0};
  for (int sn = std::max(StartAt.SN, 0); sn <= Section_High(); ++sn) {
    const TParagraph *p = Paragraph_FromSectionNum(sn);
    if (!p) continue;
    const int at = p->Substr_Search(Str, sn == StartAt.SN ? StartAt.FGN : 1, CaseSensitive);
    if (at > 0) return TCharX{sn, at};
  }
  return TCharX{-1, 0};
}

TCharX TDocument::Substr_SearchWithinParagraph(QStringView Str, const TCharX &StartAt) const {
  const TParagraph *p = Paragraph_FromSectionNum(StartAt.SN);
  if (!p) return TCharX{-1, 0};
  const int at = p->Substr_Search(Str, StartAt.CX, true);
  return at > 0 ? TCharX{StartAt.SN, at} : TCharX{-1, 0};
}

std::vector<TDocument::RSearchHit> TDocument::Search_Hits(QStringView Query, int MaxSteps) const {
  std::vector<RSearchHit> hits;
  if (Query.isEmpty()) return hits;
  TCaretPos pos = Document_FirstCaretPos();
  const int len = static_cast<int>(Query.size());
  for (int step = 0; step < MaxSteps; ++step) {
    const TCharX hit = Substr_Search(Query, pos, false);
    if (hit.SN < 0) break;
    const TParagraph *p = Paragraph_FromSectionNum(hit.SN);
    const QString &text = p->Text();
    RSearchHit h;
    h.SN = hit.SN;
    h.CX = hit.CX;
    const int beforeFrom = std::max(hit.CX - 1 - ContextChars, 0);
    h.Before = text.mid(beforeFrom, hit.CX - 1 - beforeFrom);
    h.Hit = text.mid(hit.CX - 1, len);
    const int afterFrom = hit.CX - 1 + len;                           // 0-based
    const int afterEnd = std::min(hit.CX + ContextChars, p->High());  // 1-based, inclusive
    h.After = afterEnd > afterFrom ? text.mid(afterFrom, afterEnd - afterFrom) : QString();
    hits.push_back(std::move(h));
    // On after the whole hit: hits never overlap.
    pos = TCaretPos{hit.SN, hit.CX + len, false};
  }
  return hits;
}

int TDocument::Search_AppendResults(int TabX, const QString &Header, QStringView Query,
                                    QStringList &ListBox) const {
  const std::vector<RSearchHit> hits = Search_Hits(Query);
  if (hits.empty()) return 0;
  ListBox << QStringLiteral("* H=") + Header;
  for (const RSearchHit &h : hits) {
    ListBox << QStringLiteral("- T=%1 S=%2 C=%3 D=").arg(TabX).arg(h.SN).arg(h.CX) + h.Before +
                   QStringLiteral("<b>") + h.Hit + QStringLiteral("</b>") + h.After;
  }
  return static_cast<int>(hits.size());
}

QString TDocument::Debug_GetParagraphTextWithVisibleNL(const TCaretPos &At) const {
  const TParagraph *p = Paragraph_FromSectionNum(At.SN);
  return p ? p->Dump_TextWithVisibleNL() : QStringLiteral("<<Not a paragraph>>");
}
