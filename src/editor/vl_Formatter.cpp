#include "vl_Formatter.h"
#include "vlColorConversion.h"

#include "vlColor.h"
#include "vlGlobals.h"
#include "vldGraphic.h"

#include <QFontMetrics>
#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <climits>

namespace {

std::unique_ptr<TAuxInfoType> NewEditParagraphInfo() {
  return std::make_unique<TEditParagraphInfo>();
}

bool IsBlank(QChar C) {
  const char16_t c = C.unicode();
  return c == 32 || c == 9 || c == 10 || c == 13;
}

// A line may end after character I (1-based) of S: after a blank, or after a hyphen inside a word
// with two non-blank characters on each side and no second hyphen after it.
bool IsLineBreakOpportunity(const QString &S, int I) {
  const QChar c = S[I - 1];
  if (IsBlank(c)) return true;
  if (c != u'-' || I < 3 || S.size() < I + 2) return false;
  if (IsBlank(S[I - 3]) || IsBlank(S[I - 2]) || IsBlank(S[I]) || IsBlank(S[I + 1])) return false;
  return S[I] != u'-';
}

std::int32_t Saturate32(std::int64_t V) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(V, INT32_MIN, INT32_MAX));
}

}  // namespace

// ---- Construction and settings ---------------------------------------------------------------

TEditFormatter::TEditFormatter(TDocument *InitialDocument, std::unique_ptr<ITextMetrics> Metrics)
    : FMetrics(Metrics ? std::move(Metrics) : std::make_unique<TQtTextMetrics>()) {
  SetDocument(InitialDocument);
}

TEditFormatter::~TEditFormatter() { Unregister(); }

void TEditFormatter::SetDocument(TDocument *Doc) {
  if (Doc == FDocument) return;
  Unregister();
  FDocument = Doc;
  FFullNeeded = true;
  Register();
  WrapAll_MajorChange_Invalidate();
}

void TEditFormatter::Register() {
  if (!FDocument) return;
  FRegistrationHandle = FDocument->Notify_RegisterFormatter(
      [this](const TCaretPos &From, const TCaretPos &OldTo, const TCaretPos &NewTo) {
        Document_ParagraphsChanged(From, OldTo, NewTo);
      },
      &NewEditParagraphInfo);
}

void TEditFormatter::Unregister() {
  if (FDocument && FRegistrationHandle) FDocument->Notify_UnregisterFormatter(FRegistrationHandle);
  FRegistrationHandle = 0;
  FParaSN.clear();
  FFirstLine.clear();
  FTop.clear();
  FInfos.clear();
}

void TEditFormatter::Document_ParagraphsChanged(const TCaretPos &FromPos, const TCaretPos &,
                                                const TCaretPos &NewToPos) {
  // Called inside every edit: mark only.
  FDirty = true;
  for (std::int32_t sn = FromPos.SN; sn <= NewToPos.SN; ++sn)
    if (TEditParagraphInfo *i = Info(sn)) i->WrapIsCurrent = false;
  // The changed range in today's section numbers: an earlier range beyond this edit moved with
  // the paragraphs it made or removed.
  const std::int32_t high = FDocument->Section_High();
  if (FMaxDirtySN >= 0 && FromPos.SN <= FMaxDirtySN) FMaxDirtySN += high - FHighAtNotify;
  FHighAtNotify = high;
  FMinDirtySN = std::min(FMinDirtySN, FromPos.SN);
  FMaxDirtySN = std::max(FMaxDirtySN, NewToPos.SN);
  FTouchesAtNotify = FDocument->LayoutTouches();
}

TEditParagraphInfo *TEditFormatter::Info(std::int32_t SN) const {
  if (!FDocument || !FRegistrationHandle) return nullptr;
  const TParagraph *p = FDocument->Paragraph_FromSectionNum(SN);
  // The document makes every paragraph's record with our maker, so the cast is exact.
  return p ? static_cast<TEditParagraphInfo *>(p->GetStorage(FRegistrationHandle)) : nullptr;
}

void TEditFormatter::RecomputeTextArea() {
  if (FMultipleWrappingChanges) return;
  const std::int32_t area = FCanvasWidth - FLinkColumnWidth - FTextMarginLeft - FTextMarginRight;
  if (area == FTextAreaWidth) return;
  FTextAreaWidth = area;
  WrapAll_MajorChange_Invalidate();
}

void TEditFormatter::SetCanvasWidth(std::int32_t Value) {
  FCanvasWidth = Value;
  RecomputeTextArea();
}
void TEditFormatter::SetLinkColumnWidth(std::int32_t Value) {
  FLinkColumnWidth = Value;
  RecomputeTextArea();
}
void TEditFormatter::SetTextMarginLeft(std::int32_t Value) {
  FTextMarginLeft = Value;
  RecomputeTextArea();
}
void TEditFormatter::SetTextMarginRight(std::int32_t Value) {
  FTextMarginRight = Value;
  RecomputeTextArea();
}
void TEditFormatter::MultipleWrappingChanges_End() {
  FMultipleWrappingChanges = false;
  RecomputeTextArea();
}
void TEditFormatter::SetFontScale(double Value) {
  if (Value == FFontScale) return;
  FFontScale = Value;
  WrapAll_MajorChange_Invalidate();
}
void TEditFormatter::SetLineLeading(std::int32_t Value) {
  if (Value == FLineLeading) return;
  FLineLeading = Value;
  WrapAll_MajorChange_Invalidate();
}

// ---- Layout ------------------------------------------------------------------------------------

void TEditFormatter::WrapAll_MajorChange_Invalidate() {
  BumpEpoch();
  FDirty = true;
}

void TEditFormatter::WrapAll_MajorChange_InvalidateAndDoNow() {
  WrapAll_MajorChange_Invalidate();
  WrapVisiblePartNowIfNecessary(0, 0);
}

void TEditFormatter::WrapVisiblePartNowIfNecessary(std::int32_t, std::int32_t) {
  EnsureLayout();
  if (!FDocument) return;
  for (int v = 1; v <= MaxViews; ++v) {
    if (!FViewsQuery[v]) continue;
    std::int32_t top = 1;
    FViewsQuery[v](top);
    if (FViewsSize[v]) FViewsSize[v](top, FTotalLineCount);
  }
  const TCaretPos first = FDocument->Document_FirstCaretPos();
  const TCaretPos last = FDocument->Document_LastCaretPos();
  for (int v = 1; v <= MaxViews; ++v)
    if (FViewsNotify[v]) FViewsNotify[v](first, last);
}

void TEditFormatter::GatherInsets(std::vector<RInsetBox> &Out) {
  Out.clear();
  FInsetSlots.clear();
  FInsetSlotIsSource.clear();
  FInsetSources.clear();
  if (!FDocument) return;
  for (const auto &inset : FDocument->InsetsStorage.Insets()) {
    FInsetSlots.push_back(inset.get());
    FInsetSlotIsSource.push_back(0);
    const auto *g = dynamic_cast<const TvlGraphic *>(inset.get());
    if (!g || !g->HasDrawableSize()) continue;
    FInsetSlotIsSource.back() = 1;
    FInsetSources.push_back(g);
    Out.push_back(RInsetBox{g->EditorsData.VirtualRect()});
  }
}

bool TEditFormatter::InsetsUnchanged() const {
  // Every query asks this, so it compares pointers and rectangles only: the same insets in the
  // same slots, and each picture where it was.
  const auto &all = FDocument->InsetsStorage.Insets();
  if (all.size() != FInsetSlots.size()) return false;
  for (std::size_t k = 0; k < all.size(); ++k)
    if (all[k].get() != FInsetSlots[k]) return false;
  for (std::size_t k = 0; k < FInsetSources.size(); ++k) {
    const TInsetPositioning &e = FInsetSources[k]->EditorsData;
    const TVirtualRect &r = FInsets[k].Rect;
    if (!FInsetSources[k]->HasDrawableSize() || e.FvLeft != r.vLeft || e.FvTop != r.vTop ||
        e.vRight() != r.vRight || e.vBottom() != r.vBottom)
      return false;
  }
  // A picture that became drawable (a size set) counts as a change too.
  for (std::size_t k = 0; k < all.size(); ++k)
    if (!FInsetSlotIsSource[k] && all[k] && all[k]->HasDrawableSize() &&
        dynamic_cast<const TvlGraphic *>(all[k].get()))
      return false;
  return true;
}

void TEditFormatter::IndexInsets() {
  // Sorted by top with the running maximum of bottoms: "does any picture meet this band" is
  // then one binary search, which keeps a pass over many paragraphs cheap beside many pictures.
  FInsetTops.clear();
  FInsetMaxBottoms.clear();
  std::vector<std::pair<std::int64_t, std::int64_t>> spans;
  for (const RInsetBox &b : FInsets) spans.emplace_back(b.Rect.vTop, b.Rect.vBottom);
  std::sort(spans.begin(), spans.end());
  std::int64_t maxBottom = INT64_MIN;
  FInsetSpanTops.clear();
  FInsetSpanBottoms.clear();
  for (const auto &[top, bottom] : spans) {
    maxBottom = std::max(maxBottom, bottom);
    FInsetTops.push_back(top);
    FInsetMaxBottoms.push_back(maxBottom);
    if (FInsetSpanTops.empty() || top > FInsetSpanBottoms.back()) {
      FInsetSpanTops.push_back(top);
      FInsetSpanBottoms.push_back(bottom);
    } else {
      FInsetSpanBottoms.back() = std::max(FInsetSpanBottoms.back(), bottom);
    }
  }
}

std::size_t TEditFormatter::NextNearInset(std::size_t K, std::int64_t Shift) const {
  const std::size_t n = FTop.size();
  if (K >= n) return n;
  std::size_t best = n;
  for (const std::int64_t shift : {std::int64_t{0}, Shift}) {
    // In the arrays' coordinates a span [top, bottom) lies at [top - shift, bottom - shift): the
    // first one ending below this paragraph's top, and the paragraph holding its first row.
    const std::int64_t from = FTop[K] + shift;
    const auto it = std::upper_bound(FInsetSpanBottoms.begin(), FInsetSpanBottoms.end(), from);
    if (it == FInsetSpanBottoms.end()) continue;
    const std::int64_t y =
        std::max(FInsetSpanTops[static_cast<std::size_t>(it - FInsetSpanBottoms.begin())], from) -
        shift;
    std::size_t k = static_cast<std::size_t>(
        std::upper_bound(FTop.begin() + static_cast<std::ptrdiff_t>(K), FTop.end(), y) -
        FTop.begin());
    k = k > K ? k - 1 : K;
    // Paragraphs without height share their top: take the first of them.
    while (k > K && FTop[k - 1] == FTop[k]) --k;
    best = std::min(best, k);
  }
  return best;
}

bool TEditFormatter::InsetInBand(std::int64_t Top, std::int64_t Bottom) const {
  // Pictures starting above Bottom; any of them reaching below Top meets the band.
  const auto n =
      std::lower_bound(FInsetTops.begin(), FInsetTops.end(), Bottom) - FInsetTops.begin();
  return n > 0 && FInsetMaxBottoms[static_cast<std::size_t>(n - 1)] > Top;
}

bool TEditFormatter::WrapParagraph(const TParagraph &P, std::int64_t Top,
                                   std::vector<std::int32_t> &WrapPoints,
                                   std::vector<std::int32_t> &LineHeights) {
  ++FWrapCount;
  WrapPoints.clear();
  LineHeights.clear();
  const int L = P.High();
  const std::int32_t left = FLinkColumnWidth + FTextMarginLeft;
  // A collapsed view still gets at least one pixel: a negative area would give every character a
  // line of its own and 10,001 lines per paragraph.
  const std::int64_t limit = std::int64_t{left} + std::max(1, FTextAreaWidth);
  const QString &text = P.Text();
  const std::vector<TFontIndex> &fonts = P.Fonts();
  std::int64_t total = 0;

  if (L == 0) {
    FMetrics->ApplyFont(P.FNLFont);
    WrapPoints.push_back(0);
    LineHeights.push_back(FMetrics->TextHeight());
    total = LineHeights.back();
  } else {
    int s = 1;
    std::int64_t y = Top;
    std::vector<const TVirtualRect *> near;
    for (;;) {
      int last = s;
      bool broke = false;
      int height = 0;
      int current = INT_MIN;
      std::int64_t right = left;
      // The pictures that meet the line's band so far; the band grows with the height only.
      near.clear();
      int nearHeight = -1;
      for (int c = s; c <= L + 1; ++c) {
        const bool end = c == L + 1;
        const TFontIndex font = end ? P.FNLFont : fonts[static_cast<std::size_t>(c - 1)];
        if (font != current) {
          FMetrics->ApplyFont(font);
          current = font;
          height = std::max(height, FMetrics->TextHeight());
        }
        if (height != nearHeight && !FInsets.empty()) {
          nearHeight = height;
          near.clear();
          // Most lines meet no picture: one binary search says so.
          if (InsetInBand(y, y + height))
            for (const RInsetBox &b : FInsets)
              if (b.Rect.vTop < y + height && y < b.Rect.vBottom) near.push_back(&b.Rect);
        }
        right += FMetrics->TextWidth(end ? QChar(u'\n') : text[c - 1]);
        // The paragraph's end always ends the current line: stopping at it would leave the end
        // of the paragraph without a line of its own, and its caret on the next paragraph's.
        if (!end) {
          bool stop = right > limit;
          if (!stop)
            for (const TVirtualRect *r : near)
              if (r->vLeft < right && left < r->vRight) {
                stop = true;
                break;
              }
          if (stop) break;
        }
        if (!broke) last = c;
        if (end || IsLineBreakOpportunity(text, c)) {
          last = c;
          broke = true;
        }
      }
      WrapPoints.push_back(last);
      LineHeights.push_back(height);
      total += height;
      if (last < L && static_cast<int>(WrapPoints.size()) < MaxLinesPerParagraph) {
        s = last + 1;
        y += height;
      } else {
        break;
      }
    }
  }
  return InsetInBand(Top, Top + total);
}

void TEditFormatter::WrapInto(const TParagraph &P, TEditParagraphInfo &I, std::int64_t Top) {
  std::vector<std::int32_t> wraps, heights;
  I.WrapHitInset = WrapParagraph(P, Top, wraps, heights);
  I.WrapPoints.Clear();
  I.LineHeights.Clear();
  std::int64_t sum = 0;
  for (std::size_t k = 0; k < wraps.size(); ++k) {
    I.WrapPoints.AppendDatum(wraps[k]);
    I.LineHeights.AppendDatum(heights[k]);
    sum += heights[k];
  }
  I.LineCount = static_cast<std::int32_t>(wraps.size());
  I.FPixelHeight = Saturate32(sum);
  I.FPixelTop = Top;
  I.WrapTop = Top;
  I.WrapGen = P.LayoutGen();
  I.WrapEpoch = FEpoch;
  I.WrapNLFont = P.FNLFont;
  I.WrapIsCurrent = true;
}

bool TEditFormatter::IsCurrent(const TParagraph &P, const TEditParagraphInfo &I,
                               std::int64_t Top) const {
  if (!I.WrapIsCurrent || I.WrapGen != P.LayoutGen() || I.WrapEpoch != FEpoch ||
      I.WrapNLFont != P.FNLFont || I.LineCount < 1)
    return false;
  if (I.WrapTop == Top) return true;
  // Moved: the old lines hold when no picture met them before and none meets them now, since
  // every rectangle the wrap tests lies inside the paragraph's band.
  return !I.WrapHitInset && !InsetInBand(Top, Top + I.FPixelHeight);
}

void TEditFormatter::Wrap(std::int32_t SN) {
  const TParagraph *p = FDocument ? FDocument->Paragraph_FromSectionNum(SN) : nullptr;
  TEditParagraphInfo *i = Info(SN);
  if (!p || !i) return;
  FMetrics->Reset(FDocument->FontsInUse, FFontScale);
  if (!IsCurrent(*p, *i, i->FPixelTop)) WrapInto(*p, *i, i->FPixelTop);
}

void TEditFormatter::EnsureLayout() {
  if (!FDocument || !FRegistrationHandle || FInEnsure) return;
  if (!InsetsUnchanged()) {
    std::vector<RInsetBox> insets;
    GatherInsets(insets);
    FInsets = std::move(insets);
    IndexInsets();
    BumpEpoch();
  }
  const std::uint64_t fontsGen = FDocument->FontsInUse.LayoutGeneration();
  if (fontsGen != FSeenFontsGen) {
    FSeenFontsGen = fontsGen;
    BumpEpoch();
  }
  const std::int32_t high = FDocument->Section_High();
  if (!FDirty && FEpoch == FSeenEpoch && high == FSeenSectionHigh &&
      TRichString::LayoutGenerationOfAll() == FSeenRichGen)
    return;
  const bool everyChangeNotified =
      FEpoch == FSeenEpoch && FDocument->LayoutTouches() == FTouchesAtNotify && !FFullNeeded;
  if (everyChangeNotified && !FDirty && high == FSeenSectionHigh) {
    // Other documents' strings changed, not ours.
    FSeenRichGen = TRichString::LayoutGenerationOfAll();
    return;
  }
  FInEnsure = true;
  if (everyChangeNotified && FDirty && PartialPass(high)) {
    FinishPass(high);
    return;
  }

  FFullNeeded = false;
  FMetrics->Reset(FDocument->FontsInUse, FFontScale);
  FParaSN.clear();
  FFirstLine.clear();
  FTop.clear();
  FInfos.clear();
  std::int64_t top = 0;
  std::int32_t line = 1;
  LayOutParagraphs(0, high, top, line, FParaSN, FFirstLine, FTop, FInfos, true);
  FTotalLineCount = line - 1;
  FTotalPixelHeight = top;
  FinishPass(high);
}

bool TEditFormatter::LayOutParagraphs(std::int32_t First, std::int32_t Last, std::int64_t &Top,
                                      std::int32_t &Line, std::vector<std::int32_t> &SNs,
                                      std::vector<std::int32_t> &FirstLines,
                                      std::vector<std::int64_t> &Tops,
                                      std::vector<TEditParagraphInfo *> &Infos, bool SkipMissing) {
  for (std::int32_t sn = First; sn <= Last; ++sn) {
    const TParagraph *p = FDocument->Paragraph_FromSectionNum(sn);
    if (!p) continue;
    auto *i = static_cast<TEditParagraphInfo *>(p->GetStorage(FRegistrationHandle));
    if (!i) {
      if (!SkipMissing) return false;
      ErrorReportInDebug(QStringLiteral("W_MIC(P): SN is invalid."));
      continue;
    }
    if (!IsCurrent(*p, *i, Top)) {
      WrapInto(*p, *i, Top);
    } else {
      i->FPixelTop = Top;
      i->WrapTop = Top;
    }
    i->FirstLineNum = Line;
    SNs.push_back(sn);
    FirstLines.push_back(Line);
    Tops.push_back(Top);
    Infos.push_back(i);
    Line += i->LineCount;
    Top += i->FPixelHeight;
  }
  return true;
}

void TEditFormatter::FinishPass(std::int32_t High) {
  if (!FInfos.empty()) {
    FTotalLineCount = FFirstLine.back() + FInfos.back()->LineCount - 1;
    FTotalPixelHeight = FTop.back() + FInfos.back()->FPixelHeight;
  } else {
    FTotalLineCount = 0;
    FTotalPixelHeight = 0;
  }
  FSeenSectionHigh = High;
  FHighAtNotify = High;
  FSeenEpoch = FEpoch;
  FSeenRichGen = TRichString::LayoutGenerationOfAll();
  FTouchesAtNotify = FDocument->LayoutTouches();
  FMinDirtySN = INT32_MAX;
  FMaxDirtySN = -1;
  FDirty = false;
  FInEnsure = false;
}

bool TEditFormatter::PartialPass(std::int32_t High) {
  // Every change since the last pass was notified, and lies in [FMinDirtySN, FMaxDirtySN] of
  // today's numbering. Paragraphs before it keep everything; paragraphs after it keep their
  // lines and move by the same amounts, unless a picture lies where they were or will be.
  if (FParaSN.empty() || FMaxDirtySN < FMinDirtySN) return false;
  const std::int32_t dSN = High - FSeenSectionHigh;
  const std::size_t k0 = static_cast<std::size_t>(
      std::lower_bound(FParaSN.begin(), FParaSN.end(), FMinDirtySN) - FParaSN.begin());
  std::int64_t top = k0 > 0 ? FTop[k0 - 1] + FInfos[k0 - 1]->FPixelHeight : 0;
  std::int32_t line = k0 > 0 ? FFirstLine[k0 - 1] + FInfos[k0 - 1]->LineCount : 1;
  const std::int32_t lastDirty = std::min(FMaxDirtySN, High);

  std::vector<std::int32_t> midSN, midLine;
  std::vector<std::int64_t> midTop;
  std::vector<TEditParagraphInfo *> midInfo;
  if (!LayOutParagraphs(std::max(FMinDirtySN, 0), lastDirty, top, line, midSN, midLine, midTop,
                        midInfo, false))
    return false;

  // The first paragraph after the range, and where it stood in the arrays.
  std::size_t j = FParaSN.size();
  for (std::int32_t sn = lastDirty + 1; sn <= High; ++sn) {
    const TParagraph *p = FDocument->Paragraph_FromSectionNum(sn);
    if (!p) continue;
    const auto it = std::lower_bound(FParaSN.begin(), FParaSN.end(), sn - dSN);
    j = static_cast<std::size_t>(it - FParaSN.begin());
    if (it == FParaSN.end() || *it != sn - dSN || FInfos[j] != p->GetStorage(FRegistrationHandle))
      return false;
    break;
  }
  if (j < k0) return false;
  const std::int64_t dTop = j < FTop.size() ? top - FTop[j] : 0;
  const std::int32_t dLine = j < FFirstLine.size() ? line - FFirstLine[j] : 0;

  // Splice the range in.
  const std::size_t oldCount = j - k0;
  if (oldCount != midSN.size()) {
    FParaSN.erase(FParaSN.begin() + static_cast<std::ptrdiff_t>(k0),
                  FParaSN.begin() + static_cast<std::ptrdiff_t>(j));
    FFirstLine.erase(FFirstLine.begin() + static_cast<std::ptrdiff_t>(k0),
                     FFirstLine.begin() + static_cast<std::ptrdiff_t>(j));
    FTop.erase(FTop.begin() + static_cast<std::ptrdiff_t>(k0),
               FTop.begin() + static_cast<std::ptrdiff_t>(j));
    FInfos.erase(FInfos.begin() + static_cast<std::ptrdiff_t>(k0),
                 FInfos.begin() + static_cast<std::ptrdiff_t>(j));
    FParaSN.insert(FParaSN.begin() + static_cast<std::ptrdiff_t>(k0), midSN.begin(), midSN.end());
    FFirstLine.insert(FFirstLine.begin() + static_cast<std::ptrdiff_t>(k0), midLine.begin(),
                      midLine.end());
    FTop.insert(FTop.begin() + static_cast<std::ptrdiff_t>(k0), midTop.begin(), midTop.end());
    FInfos.insert(FInfos.begin() + static_cast<std::ptrdiff_t>(k0), midInfo.begin(), midInfo.end());
  } else {
    std::copy(midSN.begin(), midSN.end(), FParaSN.begin() + static_cast<std::ptrdiff_t>(k0));
    std::copy(midLine.begin(), midLine.end(), FFirstLine.begin() + static_cast<std::ptrdiff_t>(k0));
    std::copy(midTop.begin(), midTop.end(), FTop.begin() + static_cast<std::ptrdiff_t>(k0));
    std::copy(midInfo.begin(), midInfo.end(), FInfos.begin() + static_cast<std::ptrdiff_t>(k0));
  }

  // Shift what follows: plain additions over flat arrays, so a line more in one paragraph costs
  // microseconds even in a long document. A paragraph keeps its lines when no picture lies in its
  // band where it was nor where it goes (its record's wrap then holds at either top); only those
  // beside a picture are looked at, and wrapped again when they must, which may move the rest by
  // a different amount. The records of shifted paragraphs keep older tops and line numbers; the
  // arrays are the truth.
  const std::size_t n = FTop.size();
  std::int64_t shift = dTop;
  std::int32_t lineShift = dLine;
  std::size_t k = k0 + midSN.size();
  while (k < n && (shift != 0 || lineShift != 0 || dSN != 0)) {
    const std::size_t next = shift != 0 ? NextNearInset(k, shift) : n;
    for (; k < next; ++k) {
      FTop[k] += shift;
      FFirstLine[k] += lineShift;
      FParaSN[k] += dSN;
    }
    if (k == n) break;
    FTop[k] += shift;
    FFirstLine[k] += lineShift;
    FParaSN[k] += dSN;
    TEditParagraphInfo *i = FInfos[k];
    const TParagraph *p = FDocument->Paragraph_FromSectionNum(FParaSN[k]);
    // Not the paragraph it was: the arrays are thrown away by the complete pass that follows.
    if (!p || p->GetStorage(FRegistrationHandle) != i) return false;
    if (!IsCurrent(*p, *i, FTop[k])) {
      const std::int64_t oldHeight = i->FPixelHeight;
      const std::int32_t oldLines = i->LineCount;
      WrapInto(*p, *i, FTop[k]);
      shift += i->FPixelHeight - oldHeight;
      lineShift += i->LineCount - oldLines;
    }
    i->FirstLineNum = FFirstLine[k];
    ++k;
  }
  return true;
}

// ---- Look-ups ----------------------------------------------------------------------------------

int TEditFormatter::IndexOfLine(std::int32_t N) const {
  if (FFirstLine.empty() || N < 1 || N > FTotalLineCount) return -1;
  const auto it = std::upper_bound(FFirstLine.begin(), FFirstLine.end(), N);
  return static_cast<int>(it - FFirstLine.begin()) - 1;
}

int TEditFormatter::IndexOfSection(std::int32_t SN) const {
  const auto it = std::lower_bound(FParaSN.begin(), FParaSN.end(), SN);
  if (it == FParaSN.end() || *it != SN) return -1;
  return static_cast<int>(it - FParaSN.begin());
}

std::int32_t TEditFormatter::Lines_High() {
  EnsureLayout();
  if (!FDocument) {
    ErrorReportInDebug(QStringLiteral("Unexpected nil at EF.LH"));
    return 1;
  }
  if (FTotalLineCount < 1) {
    ErrorReportInDebug(QStringLiteral("Lines_High problem"));
    return 1;
  }
  return FTotalLineCount;
}

std::int64_t TEditFormatter::TotalPixelHeight() {
  EnsureLayout();
  return FTotalPixelHeight;
}

bool TEditFormatter::Lines_Locate(std::int32_t N, std::int32_t &SN, std::int32_t &FirstChar,
                                  std::int32_t &LastChar) {
  EnsureLayout();
  const int idx = IndexOfLine(N);
  if (idx < 0) return false;
  const TEditParagraphInfo &i = *FInfos[static_cast<std::size_t>(idx)];
  const int k = N - FFirstLine[static_cast<std::size_t>(idx)] + 1;
  SN = FParaSN[static_cast<std::size_t>(idx)];
  FirstChar = k == 1 ? 1 : i.WrapPoints.GetDatum(k - 1) + 1;
  LastChar = i.WrapPoints.GetDatum(k);
  return true;
}

std::int32_t TEditFormatter::Lines_Height(std::int32_t LN) {
  EnsureLayout();
  if (LN > FTotalLineCount) LN = FTotalLineCount;
  const int idx = IndexOfLine(LN);
  if (idx < 0) {
    ErrorReportInDebug(QStringLiteral("Line_Height(%1) is invalid.").arg(LN));
    return 0;
  }
  return FInfos[static_cast<std::size_t>(idx)]->LineHeights.GetDatum(
      LN - FFirstLine[static_cast<std::size_t>(idx)] + 1);
}

std::int64_t TEditFormatter::Lines_TopPixel(std::int32_t LN) {
  EnsureLayout();
  if (LN <= 0) return 0;
  if (LN > FTotalLineCount)
    return FTotalPixelHeight + std::int64_t{LN - FTotalLineCount} * Lines_Height(FTotalLineCount);
  const int idx = IndexOfLine(LN);
  if (idx < 0) {
    ErrorReportInDebug(QStringLiteral("Lines_TopPixel(%1) P=nil.").arg(LN));
    return 0;
  }
  const TEditParagraphInfo &i = *FInfos[static_cast<std::size_t>(idx)];
  std::int64_t y = FTop[static_cast<std::size_t>(idx)];
  const int k = LN - FFirstLine[static_cast<std::size_t>(idx)] + 1;
  for (int j = 1; j < k; ++j) y += i.LineHeights.GetDatum(j);
  return y;
}

int TEditFormatter::LineIndexOf(const TEditParagraphInfo &I, const TCaretPos &Pos) const {
  // Only lines before the last can be passed: the last line holds everything after them (an
  // empty paragraph's one line has wrap point 0, yet its caret at gap 1 is on it).
  const int n = I.LineCount;
  int k = 0;
  while (k < n - 1 && I.WrapPoints.GetDatum(k + 1) < Pos.FGN) ++k;
  // EOL puts the caret at the end of the earlier line, but only where a line really ends there.
  if (Pos.EOL && k > 0 && I.WrapPoints.GetDatum(k) == Pos.FGN - 1) --k;
  return k;
}

TCaretPos TEditFormatter::Normalized(const TCaretPos &Pos) {
  TCaretPos p = Pos;
  if (!p.EOL) return p;
  EnsureLayout();
  const TEditParagraphInfo *i = Info(p.SN);
  bool ok = false;
  if (i)
    for (int k = 1; k < i->LineCount; ++k)
      if (i->WrapPoints.GetDatum(k) == p.FGN - 1) ok = true;
  if (!ok) p.EOL = false;
  return p;
}

std::int32_t TEditFormatter::Lines_LineNumFromDocPos(const TCaretPos &DocumentPos) {
  EnsureLayout();
  const int idx = IndexOfSection(DocumentPos.SN);
  if (idx < 0) return 1;
  return FFirstLine[static_cast<std::size_t>(idx)] +
         LineIndexOf(*FInfos[static_cast<std::size_t>(idx)], DocumentPos);
}

std::int32_t TEditFormatter::Lines_LineNumFromVirtualPos(const TVirtualPos &VirtualPos) {
  EnsureLayout();
  // Above the document (a drag above the window at the top): the first line, not the last.
  if (VirtualPos.vY < 0) return 1;
  if (VirtualPos.vY >= FTotalPixelHeight || FTop.empty()) return Lines_High();
  const auto it = std::upper_bound(FTop.begin(), FTop.end(), VirtualPos.vY);
  const int idx = static_cast<int>(it - FTop.begin()) - 1;
  const TEditParagraphInfo &i = *FInfos[static_cast<std::size_t>(idx)];
  std::int64_t y = FTop[static_cast<std::size_t>(idx)];
  for (int k = 1; k <= i.LineCount; ++k) {
    y += i.LineHeights.GetDatum(k);
    if (VirtualPos.vY < y) return FFirstLine[static_cast<std::size_t>(idx)] + k - 1;
  }
  return FFirstLine[static_cast<std::size_t>(idx)] + i.LineCount - 1;
}

std::int32_t TEditFormatter::Lines_LineNumFromVirtualY(std::int64_t VirtualY) {
  return Lines_LineNumFromDocPos(Map_DocPosFromVirtualPos(TVirtualPos{1, VirtualY}));
}

std::int32_t TEditFormatter::WidthOf(const TParagraph &P, int First, int Last) {
  const int L = P.High();
  Last = std::min(Last, L);
  std::int32_t w = 0;
  int current = INT_MIN;
  for (int c = std::max(1, First); c <= Last; ++c) {
    const TFontIndex f = P.Fonts()[static_cast<std::size_t>(c - 1)];
    if (f != current) {
      FMetrics->ApplyFont(f);
      current = f;
    }
    w += FMetrics->TextWidth(P.Text()[c - 1]);
  }
  return w;
}

TCaretPos TEditFormatter::Lines_DocPosFromLineNumAndDesiredX(std::int32_t LineNum,
                                                             std::int32_t DesiredX) {
  EnsureLayout();
  TCaretPos result = FDocument ? FDocument->Document_LastCaretPos() : TCaretPos{};
  std::int32_t sn = 0, first = 0, last = 0;
  if (!Lines_Locate(LineNum, sn, first, last)) return result;
  const TParagraph *p = FDocument->Paragraph_FromSectionNum(sn);
  if (!p) return result;
  const int L = p->High();
  result.SN = sn;
  result.EOL = false;
  int candidate = L + 1;
  if (last < L) {
    candidate = last + 1;
    result.EOL = true;
  }
  const std::int64_t target =
      std::int64_t{DesiredX} - FLinkColumnWidth - FTextMarginLeft;  // 64-bit: no overflow
  std::int64_t acc = 0;
  int current = INT_MIN;
  for (int c = first; c <= std::min(last, L); ++c) {
    const TFontIndex f = p->Fonts()[static_cast<std::size_t>(c - 1)];
    if (f != current) {
      FMetrics->ApplyFont(f);
      current = f;
    }
    const int w = FMetrics->TextWidth(p->Text()[c - 1]);
    if (acc + w / 2 >= target) {
      candidate = c;
      result.EOL = false;
      break;
    }
    acc += w;
  }
  candidate = std::min(candidate, L + 1);
  if (candidate == L + 1) result.EOL = false;
  result.FGN = std::max(1, candidate);
  return result;
}

std::int32_t TEditFormatter::Lines_GetLineNum_YPixelsAboveLowerLN(std::int64_t Y,
                                                                  std::int32_t LowerLN) {
  std::int64_t sum = 0;
  for (std::int32_t ln = LowerLN; ln >= 1; --ln) {
    sum += Lines_Height(ln);
    if (sum > Y) return ln;
  }
  return 1;
}

TCaretPos TEditFormatter::Map_DocPosFromVirtualPos(const TVirtualPos &VirtualPos) {
  return Lines_DocPosFromLineNumAndDesiredX(Lines_LineNumFromVirtualPos(VirtualPos), VirtualPos.vX);
}

TVirtualPos TEditFormatter::Map_VirtualPosFromDocPos(const TCaretPos &DocumentPos) {
  EnsureLayout();
  const int idx = IndexOfSection(DocumentPos.SN);
  const TParagraph *p = FDocument ? FDocument->Paragraph_FromSectionNum(DocumentPos.SN) : nullptr;
  if (idx < 0 || !p) {
    ErrorReportInDebug(
        QStringLiteral("Map_VirtualPosFromDocPos(%1): No paragr.").arg(DocumentPos.SN));
    return TVirtualPos{0, 0};
  }
  const TEditParagraphInfo &i = *FInfos[static_cast<std::size_t>(idx)];
  const int k = LineIndexOf(i, DocumentPos);
  std::int64_t y = FTop[static_cast<std::size_t>(idx)];
  for (int j = 1; j <= k; ++j) y += i.LineHeights.GetDatum(j);
  const int lineStart = k == 0 ? 1 : i.WrapPoints.GetDatum(k) + 1;
  const int lineLast = i.WrapPoints.GetDatum(k + 1);
  const int upTo = std::min(DocumentPos.FGN - 1, lineLast);
  const std::int32_t x = FLinkColumnWidth + FTextMarginLeft + WidthOf(*p, lineStart, upTo);
  return TVirtualPos{x, y};
}

std::int32_t TEditFormatter::AtLineNum() {
  return FDocument ? Lines_LineNumFromDocPos(FDocument->FAtPos) : 1;
}

std::int32_t TEditFormatter::Char_Height(const TCaretPos &CaretPos) {
  const TParagraph *p = FDocument ? FDocument->Paragraph_FromSectionNum(CaretPos.SN) : nullptr;
  if (!p) {
    ErrorReportInDebug(QStringLiteral("Char_Height(%1,?): No paragr.").arg(CaretPos.SN));
    return 0;
  }
  FMetrics->Reset(FDocument->FontsInUse, FFontScale);
  FMetrics->ApplyFont(p->Char_GetFont(CaretPos.FGN));
  return FMetrics->TextHeight();
}

bool TEditFormatter::Select_PixelSpan(std::int32_t LN, std::int32_t &X1, std::int32_t &X2) {
  if (!FDocument || !FDocument->Select_IsAnyTextSelected()) return false;
  const TCaretPos start = Normalized(FDocument->SelectPos_Start());
  const TCaretPos end = Normalized(FDocument->SelectPos_End());
  const std::int32_t ls = Lines_LineNumFromDocPos(start);
  const std::int32_t le = Lines_LineNumFromDocPos(end);
  if (LN < ls || LN > le) return false;
  std::int32_t sn = 0, first = 0, last = 0;
  if (!Lines_Locate(LN, sn, first, last)) return false;
  const TParagraph *p = FDocument->Paragraph_FromSectionNum(sn);
  if (!p) return false;
  const TCaretPos from = LN == ls ? start : TCaretPos{sn, first, false};
  X1 = Map_VirtualPosFromDocPos(from).vX;
  if (LN == le) {
    X2 = Map_VirtualPosFromDocPos(end).vX;
  } else if (last < p->High()) {
    // The end of a non-final line: with EOL, or it would be the next line's start.
    X2 = Map_VirtualPosFromDocPos(TCaretPos{sn, last + 1, true}).vX;
  } else {
    // The paragraph's end is selected too: a small box the width of a space.
    X2 = Map_VirtualPosFromDocPos(TCaretPos{sn, p->After(), false}).vX;
    FMetrics->ApplyFont(p->FNLFont);
    X2 += FMetrics->TextWidth(QChar(u' '));
  }
  return X2 > X1;
}

// ---- Drawing -----------------------------------------------------------------------------------

void TEditFormatter::DrawLineText(QPainter &Canvas, const TParagraph &P, int First, int Last, int Y,
                                  int Height) {
  std::int32_t x = FLinkColumnWidth + FTextMarginLeft;
  const int textTop = Y + (FLineLeading - FLineLeading / 2);
  const TFontsInUse &fonts = FDocument->FontsInUse;
  int c = First;
  while (c <= Last) {
    const TFontIndex f = P.Fonts()[static_cast<std::size_t>(c - 1)];
    int runEnd = c;
    while (runEnd < Last && P.Fonts()[static_cast<std::size_t>(runEnd)] == f) ++runEnd;
    FMetrics->ApplyFont(f);
    const TFontInUse attrs = fonts.BaseOrDefault(f);
    std::vector<std::int32_t> xs;
    xs.reserve(static_cast<std::size_t>(runEnd - c + 1));
    std::int32_t runX = x;
    for (int k = c; k <= runEnd; ++k) {
      xs.push_back(runX);
      runX += FMetrics->TextWidth(P.Text()[k - 1]);
    }
    const int cellHeight = FMetrics->TextHeight();
    const QColor highlight = TColorToQColor(attrs.Highlight);
    if (highlight.isValid() && highlight.alpha() > 0)
      Canvas.fillRect(QRect(x, textTop, runX - x, std::min(cellHeight, Height)), highlight);
    const int baseline = textTop + FMetrics->Ascent() - (attrs.Style.testFlag(fsBold) ? 1 : 0);
    QColor ink = TColorToQColor(attrs.Color);
    if (!ink.isValid()) ink = Qt::black;
    Canvas.setPen(ink);
    const QStringView run = QStringView(P.Text()).mid(c - 1, runEnd - c + 1);
    const QRawFont &raw = FMetrics->DrawRawFont();
    std::vector<bool> missing(run.size(), !raw.isValid());
    if (raw.isValid()) {
      // Each glyph at its measured X: what the caret and the wrapping counted is what shows.
      QList<quint32> glyphs = raw.glyphIndexesForString(run.toString());
      QList<QPointF> positions;
      QList<quint32> shown;
      for (qsizetype k = 0; k < run.size() && k < glyphs.size(); ++k) {
        if (glyphs[k] == 0 && !run[k].isSpace()) {
          missing[static_cast<std::size_t>(k)] = true;
          continue;
        }
        shown.append(glyphs[k]);
        positions.append(QPointF(xs[static_cast<std::size_t>(k)], baseline));
      }
      if (!shown.isEmpty()) {
        QGlyphRun gr;
        gr.setRawFont(raw);
        gr.setGlyphIndexes(shown);
        gr.setPositions(positions);
        // No decorations from Qt: it draws them from the run's origin (here the left edge of
        // the canvas), not from the first glyph. They are drawn below, under the run.
        Canvas.drawGlyphRun(QPointF(0, 0), gr);
      }
    }
    if (std::find(missing.begin(), missing.end(), true) != missing.end()) {
      // Characters the face lacks: drawn one by one, so that the system's fallback faces serve.
      QFont fallback = FMetrics->DrawFont();
      fallback.setUnderline(false);  // drawn below for the whole run
      fallback.setStrikeOut(false);
      Canvas.setFont(fallback);
      for (qsizetype k = 0; k < run.size(); ++k)
        if (missing[static_cast<std::size_t>(k)])
          Canvas.drawText(QPoint(xs[static_cast<std::size_t>(k)], baseline),
                          run.mid(k, 1).toString());
    }
    if (attrs.Style.testFlag(fsUnderline) || attrs.Style.testFlag(fsStrikeOut))
      DrawDecorations(Canvas, attrs.Style, x, runX, baseline, ink,
                      textTop + std::min(cellHeight, Height));
    x = runX;
    c = runEnd + 1;
  }
}

void TEditFormatter::DrawDecorations(QPainter &Canvas, TFontStyles Style, int X1, int X2,
                                     int Baseline, const QColor &Ink, int Bottom) {
  // Under (or through) the run's own characters, from its first to the end of its last, in the
  // run's ink, as thick as the face says and never below the line's cell.
  const QFontMetrics fm(FMetrics->DrawFont());
  const int thickness = std::max(1, fm.lineWidth());
  if (Style.testFlag(fsUnderline)) {
    const int y = std::min(Baseline + std::max(1, fm.underlinePos()), Bottom - thickness);
    Canvas.fillRect(QRect(X1, y, X2 - X1, thickness), Ink);
  }
  if (Style.testFlag(fsStrikeOut))
    Canvas.fillRect(QRect(X1, Baseline - std::max(1, fm.strikeOutPos()), X2 - X1, thickness), Ink);
}

void TEditFormatter::DrawOneLine(QPainter &Canvas, const QRect &ViewRect, std::int32_t LineNum,
                                 std::int32_t &AtPixelY) {
  std::int32_t sn = 0, first = 0, last = 0;
  if (!Lines_Locate(LineNum, sn, first, last)) return;
  const TParagraph *p = FDocument->Paragraph_FromSectionNum(sn);
  if (!p) return;
  const int height = Lines_Height(LineNum);
  const QRect band(ViewRect.left(), AtPixelY, ViewRect.width() + 1, height);
  Canvas.save();
  Canvas.setClipRect(band);
  Canvas.fillRect(band, TColorToQColor(Background));
  // The paragraph's end is not drawn.
  const int drawLast = std::min(last, p->High());
  if (drawLast >= first) DrawLineText(Canvas, *p, first, drawLast, AtPixelY, height);
  std::int32_t x1 = 0, x2 = 0;
  if (Select_PixelSpan(LineNum, x1, x2)) {
    // Inverted and combined with navy in one step: white paper turns navy, black ink pale yellow.
    Canvas.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    Canvas.fillRect(QRect(x1, AtPixelY, x2 - x1, height), QColor(0, 0, 128));
  }
  Canvas.restore();
  AtPixelY += height;
}

void TEditFormatter::DrawWindow(QPainter &Canvas, const QRect &ViewRect,
                                std::int32_t FirstVisibleLine, std::int32_t &LastVisibleLine,
                                std::int64_t &TopPixel, std::vector<RLineSignature> *Drawn) {
  EnsureLayout();
  // Checked before anything is drawn from it: a faulty cache is laid out afresh and reported
  // (which ends this paint in DebugMode), so the next paint shows the right layout.
  if (ErrorLog().DebugSwitch()) Debug_VerifyAgainstFullLayout();
  const std::int32_t high = Lines_High();
  const std::int32_t fvl = std::clamp(FirstVisibleLine, 1, high);
  std::int32_t y = ViewRect.top();
  const std::int32_t stopAt = ViewRect.top() + ViewRect.height();
  LastVisibleLine = fvl;
  FMetrics->Reset(FDocument->FontsInUse, FFontScale);
  std::size_t i = 0;
  std::size_t drawnCount = 0;
  for (std::int32_t ln = fvl; ln <= high; ++ln, ++i) {
    drawnCount = i + 1;
    if (Drawn) {
      RLineSignature sig;
      const TParagraph *para = nullptr;
      const int idx = IndexOfLine(ln);
      std::int32_t sn = 0;
      if (idx >= 0 && Lines_Locate(ln, sn, sig.First, sig.Last) &&
          (para = FDocument->Paragraph_FromSectionNum(sn)) != nullptr) {
        const TEditParagraphInfo *info = FInfos[static_cast<std::size_t>(idx)];
        sig.Paragraph = info;
        sig.Gen = para->LayoutGen();
        sig.Epoch = info->WrapEpoch;
      }
      sig.Y = y;
      sig.Height = Lines_Height(ln);
      if (!Select_PixelSpan(ln, sig.SelX1, sig.SelX2)) sig.SelX1 = sig.SelX2 = 0;
      const auto unchanged = [&](const RLineSignature &Old) {
        // Everything but the generation must be equal; the characters may have been stamped
        // anew by a change that began after them.
        RLineSignature same = Old;
        same.Gen = sig.Gen;
        return sig.Paragraph && same == sig && para->LayoutUnchangedThrough(Old.Gen, sig.Last);
      };
      if (i < Drawn->size() && unchanged((*Drawn)[i])) {
        // Kept with today's generation, so that the next change is again one step away.
        (*Drawn)[i].Gen = sig.Gen;
        y += sig.Height;
      } else {
        DrawOneLine(Canvas, ViewRect, ln, y);
        if (i >= Drawn->size()) Drawn->resize(i + 1);
        (*Drawn)[i] = sig;
      }
    } else {
      DrawOneLine(Canvas, ViewRect, ln, y);
    }
    LastVisibleLine = ln;
    if (y >= stopAt) break;
  }
  if (Drawn) Drawn->resize(drawnCount);
  if (y < stopAt)
    Canvas.fillRect(QRect(ViewRect.left(), y, ViewRect.width() + 1, stopAt - y),
                    TColorToQColor(Background));
  // The first visible line's top (a line number clamped, never a pixel value).
  TopPixel = std::clamp<std::int64_t>(Lines_TopPixel(fvl), 0, INT32_MAX);
  DrawGraphics(Canvas, ViewRect, TopPixel);
}

std::vector<TvlGraphic *> TEditFormatter::GraphicsBackToFront() const {
  struct RItem {
    TvlGraphic *G;
    int Handle;
  };
  std::vector<RItem> items;
  if (!FDocument) return {};
  const auto &all = FDocument->InsetsStorage.Insets();
  for (std::size_t h = 0; h < all.size(); ++h)
    if (auto *g = dynamic_cast<TvlGraphic *>(all[h].get()); g && g->HasDrawableSize())
      items.push_back(RItem{g, static_cast<int>(h)});
  // Back to front: stacking orders of 0 or less behind all others; then the higher order
  // further back; on a tie the lower handle in front.
  std::stable_sort(items.begin(), items.end(), [](const RItem &A, const RItem &B) {
    const bool aBack = A.G->FZOrder <= 0, bBack = B.G->FZOrder <= 0;
    if (aBack != bBack) return aBack;
    if (A.G->FZOrder != B.G->FZOrder) return A.G->FZOrder > B.G->FZOrder;
    return A.Handle > B.Handle;
  });
  std::vector<TvlGraphic *> out;
  out.reserve(items.size());
  for (const RItem &i : items) out.push_back(i.G);
  return out;
}

void TEditFormatter::DrawGraphics(QPainter &Canvas, const QRect &ViewRect, std::int64_t TopPixel) {
  std::vector<TvlGraphic *> order = GraphicsBackToFront();
  // At most 1000, the front-most ones.
  if (order.size() > 1000) order.erase(order.begin(), order.end() - 1000);
  const std::int64_t bandBottom = TopPixel + ViewRect.height();
  Canvas.save();
  Canvas.translate(0, ViewRect.top());
  for (TvlGraphic *g : order) {
    const TVirtualRect r = g->EditorsData.VirtualRect();
    if (r.vBottom <= TopPixel || r.vTop >= bandBottom) continue;
    g->Render(Canvas, TopPixel);
  }
  Canvas.restore();
}

TvlGraphic *TEditFormatter::Graphic_FindTouched(const TVirtualPos &vPos) {
  const std::vector<TvlGraphic *> order = GraphicsBackToFront();
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const TVirtualRect r = (*it)->EditorsData.VirtualRect();
    if (r.vLeft <= vPos.vX && vPos.vX < r.vRight && r.vTop <= vPos.vY && vPos.vY < r.vBottom)
      return *it;
  }
  return nullptr;
}

// ---- Views -------------------------------------------------------------------------------------

TViewHandle TEditFormatter::Notify_RegisterView(TQueryViewEvent QueryCallBack,
                                                TNotifyViewSizeEvent NotifySizeCallBack,
                                                TNotifyViewEvent NotifyCallBack) {
  for (int v = 1; v <= MaxViews; ++v)
    if (!FViewsQuery[v] && !FViewsSize[v] && !FViewsNotify[v]) {
      FViewsQuery[v] = std::move(QueryCallBack);
      FViewsSize[v] = std::move(NotifySizeCallBack);
      FViewsNotify[v] = std::move(NotifyCallBack);
      return v;
    }
  ErrorReportInDebug(QStringLiteral("Need to raise MaxViews"));
  return 0;
}

void TEditFormatter::Notify_UnregisterView(TViewHandle RegistrationHandle) {
  if (RegistrationHandle < 1 || RegistrationHandle > MaxViews) return;
  FViewsQuery[RegistrationHandle] = nullptr;
  FViewsSize[RegistrationHandle] = nullptr;
  FViewsNotify[RegistrationHandle] = nullptr;
}

// ---- Safety net --------------------------------------------------------------------------------

RDocumentLayout TEditFormatter::Layout_Cached() {
  EnsureLayout();
  RDocumentLayout out;
  for (std::size_t k = 0; k < FInfos.size(); ++k) {
    const TEditParagraphInfo &i = *FInfos[k];
    RParagraphLayout p{FParaSN[k], FFirstLine[k], FTop[k], {}, {}};
    for (int j = 1; j <= i.LineCount; ++j) {
      p.WrapPoints.push_back(i.WrapPoints.GetDatum(j));
      p.LineHeights.push_back(i.LineHeights.GetDatum(j));
    }
    out.Paragraphs.push_back(std::move(p));
  }
  out.TotalLineCount = FTotalLineCount;
  out.TotalPixelHeight = FTotalPixelHeight;
  return out;
}

RDocumentLayout TEditFormatter::Layout_Full() {
  RDocumentLayout out;
  if (!FDocument) return out;
  EnsureLayout();  // the inset list and the measures current
  std::int64_t top = 0;
  std::int32_t line = 1;
  for (std::int32_t sn = 0; sn <= FDocument->Section_High(); ++sn) {
    const TParagraph *p = FDocument->Paragraph_FromSectionNum(sn);
    if (!p) continue;
    RParagraphLayout pl{sn, line, top, {}, {}};
    WrapParagraph(*p, top, pl.WrapPoints, pl.LineHeights);
    for (std::int32_t h : pl.LineHeights) top += h;
    line += static_cast<std::int32_t>(pl.WrapPoints.size());
    out.Paragraphs.push_back(std::move(pl));
  }
  out.TotalLineCount = line - 1;
  out.TotalPixelHeight = top;
  return out;
}

bool TEditFormatter::Debug_VerifyAgainstFullLayout() {
  const RDocumentLayout cached = Layout_Cached();
  const RDocumentLayout full = Layout_Full();
  if (cached == full) return true;
  std::int32_t where = -1;
  for (std::size_t k = 0; k < std::min(cached.Paragraphs.size(), full.Paragraphs.size()); ++k)
    if (!(cached.Paragraphs[k] == full.Paragraphs[k])) {
      where = full.Paragraphs[k].SN;
      break;
    }
  // Lay out afresh first: the report may interrupt, and the next paint must be right.
  WrapAll_MajorChange_Invalidate();
  EnsureLayout();
  ErrorReportInDebug(
      QStringLiteral("Formatter cache differs from a full layout at section %1").arg(where));
  return false;
}
