#pragma once
// The editor's own text engine: lays a notes document out into lines that fit the text area and
// keep clear of its pictures, answers where things are (line of a caret, caret under a point,
// pixel of a caret, line heights), and draws lines, the selection and the pictures.
//
// Geometry is in virtual pixels of the document's tall page: X from the left edge of the view's
// client area (32-bit), Y from the top of the first paragraph (64-bit). From the left: the link
// column, the left margin, the text area, the right margin. Lines are numbered 1..Lines_High
// across the document.
//
// Layout cache. Every query and every paint sees exactly the layout a complete relayout would
// give; only work whose inputs did not change is skipped:
//  - measures are cached per font index (ITextMetrics);
//  - a paragraph keeps its lines while its text and fonts (the rich string's LayoutGen), its
//    end-of-line font and the formatter's epoch are those it was wrapped for, and either its top
//    did not move or no picture lies in its band at the old or the new top;
//  - the epoch moves with everything that changes every line (width, margins, scale, the fonts
//    table, the pictures' rectangles);
//  - paragraph tops, first line numbers and section numbers sit in flat arrays, so that line
//    look-ups are binary searches;
//  - EnsureLayout() brings all of it up to date and is O(1) when nothing changed anywhere.
// Debug_VerifyAgainstFullLayout() compares the cache with a layout made from scratch; the
// "DebugMode" switch runs it at every paint, before anything is drawn.
//
// Pictures: all picture insets of the document count, anchored or not (a picture whose
// paragraph was deleted is still saved, so it is still drawn and still takes clicks), and only
// those with a drawable size. Pictures with a stacking order of 0 or less lie behind all others
// and lose every click to them.
//
// User-interface thread only.

#include "vlTextMetrics.h"
#include "vl_Document.h"
#include "vldParagraph.h"

#include <QRect>

#include <array>
#include <climits>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class TvlGraphic;

// The formatter's record per paragraph: the fields of TParagraphInfo plus what its validity is
// checked against.
class TEditParagraphInfo final : public TParagraphInfo {
 public:
  std::uint64_t WrapGen = 0;    // the paragraph's LayoutGen when wrapped
  std::uint64_t WrapEpoch = 0;  // the formatter's epoch when wrapped
  std::int64_t WrapTop = 0;     // the top it was wrapped at
  TFontIndex WrapNLFont = -1;   // its end-of-line font when wrapped
  bool WrapHitInset = false;    // a picture lay in its band when wrapped
};

// The view callbacks. A view answers its top line, hears the new line count, and hears which
// range of positions changed.
using TQueryViewEvent = std::function<void(std::int32_t &TopLine)>;
using TNotifyViewEvent = std::function<void(const TCaretPos &FromPos, const TCaretPos &NewToPos)>;
using TNotifyViewSizeEvent = std::function<void(std::int32_t NewTop, std::int32_t TotalLines)>;
using TViewHandle = int;

// One paragraph's lines, as compared by the safety net and the tests.
struct RParagraphLayout {
  std::int32_t SN = 0;
  std::int32_t FirstLineNum = 0;
  std::int64_t PixelTop = 0;
  std::vector<std::int32_t> WrapPoints;
  std::vector<std::int32_t> LineHeights;
  friend bool operator==(const RParagraphLayout &, const RParagraphLayout &) = default;
};
struct RDocumentLayout {
  std::vector<RParagraphLayout> Paragraphs;
  std::int32_t TotalLineCount = 0;
  std::int64_t TotalPixelHeight = 0;
  friend bool operator==(const RDocumentLayout &, const RDocumentLayout &) = default;
};

// What a drawn line looked like: a line drawn into the same place of the same picture, with the
// same characters of the same paragraph (their text and fonts unchanged since) and the same
// widths, height and selection, need not be drawn again. Typing at the end of a long paragraph
// so draws only the line typed into, not the lines above it.
struct RLineSignature {
  const void *Paragraph = nullptr;   // its layout record
  std::uint64_t Gen = 0;             // the paragraph's text and fonts when drawn
  std::uint64_t Epoch = 0;           // widths, fonts table, pictures
  std::int32_t First = 0, Last = 0;  // its characters
  std::int32_t Y = 0;                // where in the picture
  std::int32_t Height = 0;
  std::int32_t SelX1 = 0, SelX2 = 0;  // the selected band (both 0: none)
  friend bool operator==(const RLineSignature &, const RLineSignature &) = default;
};

class TEditFormatter {
 public:
  static constexpr int MaxViews = 2;
  static constexpr int MaxLinesPerParagraph = 10001;

  // Metrics: nullptr measures with Qt at 96 dpi.
  explicit TEditFormatter(TDocument *InitialDocument,
                          std::unique_ptr<ITextMetrics> Metrics = nullptr);
  ~TEditFormatter();
  TEditFormatter(const TEditFormatter &) = delete;
  TEditFormatter &operator=(const TEditFormatter &) = delete;

  // ---- Settings ----------------------------------------------------------------------------

  TDocument *Document() const { return FDocument; }
  // Unregisters from the old document, registers with the new one; the layout starts afresh.
  void SetDocument(TDocument *Doc);
  ITextMetrics &Metrics() { return *FMetrics; }

  std::int32_t CanvasWidth() const { return FCanvasWidth; }
  std::int32_t LinkColumnWidth() const { return FLinkColumnWidth; }
  std::int32_t TextMarginLeft() const { return FTextMarginLeft; }
  std::int32_t TextMarginRight() const { return FTextMarginRight; }
  std::int32_t TextAreaWidth() const { return FTextAreaWidth; }
  // Each stores its value and, outside a batch, recomputes the text area (invalidating the whole
  // layout when it changed).
  void SetCanvasWidth(std::int32_t Value);
  void SetLinkColumnWidth(std::int32_t Value);
  void SetTextMarginLeft(std::int32_t Value);
  void SetTextMarginRight(std::int32_t Value);
  void MultipleWrappingChanges_Begin() { FMultipleWrappingChanges = true; }
  void MultipleWrappingChanges_End();
  double FontScale() const { return FFontScale; }
  void SetFontScale(double Value);
  std::int32_t LineLeading() const { return FLineLeading; }
  void SetLineLeading(std::int32_t Value);

  TColor Background = 0xFFFFFF;

  // ---- Layout control ----------------------------------------------------------------------

  void WrapAll_MajorChange_Invalidate();
  void WrapAll_MajorChange_InvalidateAndDoNow();
  void Initialize() { WrapAll_MajorChange_InvalidateAndDoNow(); }
  // Brings the layout up to date, then asks every view for its top line and tells it the line
  // count and the changed range (the paint path).
  void WrapVisiblePartNowIfNecessary(std::int32_t FirstLine, std::int32_t PixelHeight);
  // Brings the layout up to date without calling the views (every query does this first).
  void EnsureLayout();
  // Lays out the paragraph of section SN now when it is not current.
  void Wrap(std::int32_t SN);
  // How many paragraphs were wrapped since construction (tests and benchmarks).
  std::int64_t WrapCount() const { return FWrapCount; }
  std::uint64_t Epoch() const { return FEpoch; }

  // ---- Queries -----------------------------------------------------------------------------

  std::int32_t Lines_Low() const { return 1; }
  std::int32_t Lines_High();
  std::int32_t Lines_TotalNumber() { return Lines_High() - Lines_Low() + 1; }
  std::int64_t TotalPixelHeight();
  // A number above Lines_High is taken as Lines_High; one below 1 is reported and gives 0.
  std::int32_t Lines_Height(std::int32_t LN);
  // 0 for line 0; past the end extrapolated with the last line's height.
  std::int64_t Lines_TopPixel(std::int32_t LN);
  // The paragraph, first and last character of line N; false when there is no such line.
  bool Lines_Locate(std::int32_t N, std::int32_t &SN, std::int32_t &FirstChar,
                    std::int32_t &LastChar);
  std::int32_t Lines_LineNumFromDocPos(const TCaretPos &DocumentPos);
  // Y above the document gives line 1; at or below its bottom, Lines_High.
  std::int32_t Lines_LineNumFromVirtualPos(const TVirtualPos &VirtualPos);
  std::int32_t Lines_LineNumFromVirtualY(std::int64_t VirtualY);
  TCaretPos Lines_DocPosFromLineNumAndDesiredX(std::int32_t LineNum, std::int32_t DesiredX);
  std::int32_t Lines_GetLineNum_YPixelsAboveLowerLN(std::int64_t Y, std::int32_t LowerLN);
  TCaretPos Map_DocPosFromVirtualPos(const TVirtualPos &VirtualPos);
  // Where the caret is drawn: X of the gap, Y the top of its line.
  TVirtualPos Map_VirtualPosFromDocPos(const TCaretPos &DocumentPos);
  std::int32_t AtLineNum();
  std::int32_t Char_Height(const TCaretPos &CaretPos);
  // The selected band of line LN in X (left inclusive, right exclusive); false when none of
  // the line is selected.
  bool Select_PixelSpan(std::int32_t LN, std::int32_t &X1, std::int32_t &X2);
  // A position whose EOL flag the layout cannot honour (not at the end of a non-final line)
  // with EOL cleared; others as they are.
  TCaretPos Normalized(const TCaretPos &Pos);

  // ---- Drawing -----------------------------------------------------------------------------

  // Draws lines from FirstVisibleLine, its top at ViewRect's top, until one passes ViewRect's
  // bottom, fills what is left with the background, then the pictures. TopPixel: the virtual Y
  // at the window's top.
  // With Drawn (the signatures of what the canvas shows, kept by the caller with its picture),
  // lines that would come out the same are not drawn again, and Drawn is brought up to date.
  void DrawWindow(QPainter &Canvas, const QRect &ViewRect, std::int32_t FirstVisibleLine,
                  std::int32_t &LastVisibleLine, std::int64_t &TopPixel,
                  std::vector<RLineSignature> *Drawn = nullptr);
  // One line with its selection at AtPixelY, which then moves down by the line's height.
  void DrawOneLine(QPainter &Canvas, const QRect &ViewRect, std::int32_t LineNum,
                   std::int32_t &AtPixelY);
  // Draws every picture that meets the band [TopPixel, TopPixel + ViewRect height), back to
  // front.
  void DrawGraphics(QPainter &Canvas, const QRect &ViewRect, std::int64_t TopPixel);
  // The front-most picture containing vPos, or nullptr.
  TvlGraphic *Graphic_FindTouched(const TVirtualPos &vPos);

  // ---- Views -------------------------------------------------------------------------------

  // The first free slot (1, then 2); 0 with "Need to raise MaxViews" when both are taken.
  TViewHandle Notify_RegisterView(TQueryViewEvent QueryCallBack,
                                  TNotifyViewSizeEvent NotifySizeCallBack,
                                  TNotifyViewEvent NotifyCallBack);
  void Notify_UnregisterView(TViewHandle RegistrationHandle);

  // ---- Safety net --------------------------------------------------------------------------

  // The cached layout as it stands (after EnsureLayout).
  RDocumentLayout Layout_Cached();
  // A layout made from scratch without touching the cache.
  RDocumentLayout Layout_Full();
  // True when they agree. Otherwise reports the internal problem, throws the cache away and lays
  // out again, so that a cache fault costs time, never a wrong picture.
  bool Debug_VerifyAgainstFullLayout();

  TFormatterHandle RegistrationHandle() const { return FRegistrationHandle; }
  TEditParagraphInfo *Info(std::int32_t SN) const;

 private:
  struct RInsetBox {
    TVirtualRect Rect;  // right and bottom exclusive
  };
  struct RLineWalk;

  void Register();
  void Unregister();
  void Document_ParagraphsChanged(const TCaretPos &FromPos, const TCaretPos &OldToPos,
                                  const TCaretPos &NewToPos);
  void RecomputeTextArea();
  void BumpEpoch() { ++FEpoch; }
  void GatherInsets(std::vector<RInsetBox> &Out);
  bool InsetsUnchanged() const;
  void IndexInsets();
  bool InsetInBand(std::int64_t Top, std::int64_t Bottom) const;
  // The first index from K on of a paragraph whose band, where the arrays put it or Shift pixels
  // lower, may meet a picture (it may name one that does not); FTop.size() when none can.
  std::size_t NextNearInset(std::size_t K, std::int64_t Shift) const;
  // Re-lays out only the notified range and shifts what follows, wrapping again only the
  // paragraphs that move beside a picture; false when it cannot be sure.
  bool PartialPass(std::int32_t High);
  void FinishPass(std::int32_t High);
  // Lays out sections First..Last from Top and line Line (both moved on), appending each
  // paragraph's section number, first line, top and record, as FParaSN, FFirstLine, FTop and
  // FInfos hold them. A paragraph without its record is reported and skipped when SkipMissing;
  // otherwise the answer is false at once.
  bool LayOutParagraphs(std::int32_t First, std::int32_t Last, std::int64_t &Top,
                        std::int32_t &Line, std::vector<std::int32_t> &SNs,
                        std::vector<std::int32_t> &FirstLines, std::vector<std::int64_t> &Tops,
                        std::vector<TEditParagraphInfo *> &Infos, bool SkipMissing);
  // Wraps P at Top into WrapPoints/LineHeights; answers whether a picture lay in its band.
  bool WrapParagraph(const TParagraph &P, std::int64_t Top, std::vector<std::int32_t> &WrapPoints,
                     std::vector<std::int32_t> &LineHeights);
  void WrapInto(const TParagraph &P, TEditParagraphInfo &I, std::int64_t Top);
  bool IsCurrent(const TParagraph &P, const TEditParagraphInfo &I, std::int64_t Top) const;
  // Index into the flat arrays of the paragraph holding line N; -1 when none.
  int IndexOfLine(std::int32_t N) const;
  int IndexOfSection(std::int32_t SN) const;
  // Line index (0-based) inside I of a position, after the EOL rule.
  int LineIndexOf(const TEditParagraphInfo &I, const TCaretPos &Pos) const;
  std::int32_t WidthOf(const TParagraph &P, int First, int Last);
  void DrawLineText(QPainter &Canvas, const TParagraph &P, int First, int Last, int Y, int Height);
  void DrawDecorations(QPainter &Canvas, TFontStyles Style, int X1, int X2, int Baseline,
                       const QColor &Ink, int Bottom);
  std::vector<TvlGraphic *> GraphicsBackToFront() const;

  TDocument *FDocument = nullptr;
  std::unique_ptr<ITextMetrics> FMetrics;
  TFormatterHandle FRegistrationHandle = 0;

  std::int32_t FCanvasWidth = 0;
  std::int32_t FLinkColumnWidth = 24;
  std::int32_t FTextMarginLeft = 8;
  std::int32_t FTextMarginRight = 8;
  std::int32_t FTextAreaWidth = 300;
  bool FMultipleWrappingChanges = false;
  double FFontScale = 1;
  std::int32_t FLineLeading = 0;

  // Cache state.
  std::uint64_t FEpoch = 1;
  std::uint64_t FSeenEpoch = 0;
  bool FDirty = true;
  std::uint64_t FSeenRichGen = 0;
  std::uint64_t FSeenFontsGen = ~std::uint64_t{0};
  std::int32_t FSeenSectionHigh = -2;
  std::vector<RInsetBox> FInsets;
  std::vector<const void *> FInsetSlots;       // the storage's slots when gathered
  std::vector<char> FInsetSlotIsSource;        // per slot: one of FInsetSources
  std::vector<const TInset *> FInsetSources;   // the pictures behind FInsets, in order
  std::vector<std::int64_t> FInsetTops;        // sorted
  std::vector<std::int64_t> FInsetMaxBottoms;  // running maximum in that order
  // The pictures' vertical extents merged into disjoint spans, in order.
  std::vector<std::int64_t> FInsetSpanTops;
  std::vector<std::int64_t> FInsetSpanBottoms;
  std::vector<std::int32_t> FParaSN;
  std::vector<std::int32_t> FFirstLine;
  std::vector<std::int64_t> FTop;
  std::vector<TEditParagraphInfo *> FInfos;
  std::int32_t FTotalLineCount = 1;
  std::int64_t FTotalPixelHeight = 0;
  std::int64_t FWrapCount = 0;
  bool FInEnsure = false;
  bool FFullNeeded = true;
  // The range notified since the last pass, in today's section numbers.
  std::int32_t FMinDirtySN = INT32_MAX;
  std::int32_t FMaxDirtySN = -1;
  std::int32_t FHighAtNotify = -1;
  std::uint64_t FTouchesAtNotify = ~std::uint64_t{0};

  std::array<TQueryViewEvent, MaxViews + 1> FViewsQuery;  // [0] unused
  std::array<TNotifyViewSizeEvent, MaxViews + 1> FViewsSize;
  std::array<TNotifyViewEvent, MaxViews + 1> FViewsNotify;
};
