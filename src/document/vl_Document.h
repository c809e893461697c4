#pragma once
// One notes document: the model behind one notebook tab. It owns the section list (paragraphs),
// the fonts table, the insets storage, and the caret and selection. Every edit goes through its
// operations, which keep text, fonts and per-character timestamps in step, turn typed characters
// into typing events, tell the registered formatters which range changed, and count changes for
// saving and backups.
//
// Positions: sections from 0; characters and caret gaps inside a paragraph from 1 (see
// vldSection.h). The caret is the caller's to move after an edit; the document only makes sure
// that the caret and the selection end still name valid positions when an edit removed text
// under them.
//
// Selections are deleted and copied as caret spans: from the caret position at their start up
// to the one at their end. A character span cannot say whether the line break at its end was
// selected, so a whole line selected without its line break would lose the line itself, and a
// span that crosses empty paragraphs would take characters that were never selected.
//
// Links upwards are small seams with harmless defaults: the typing-event sink (vldRichString.h),
// the effective-time broker (vldTemporal.h), the text clipboard (vldStorage.h), the formatters'
// change callbacks and the undo-snapshot request below.
//
// User-interface thread only.

#include "vldEditObserver.h"
#include "vldFontsInUse.h"
#include "vldInsetsStorage.h"
#include "vldParagraph.h"
#include "vldRichString.h"
#include "vldSection.h"
#include "vldTemporal.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QElapsedTimer;
class QPainter;
class TvlGraphic;
class TvlXmlIn;
class TvlXmlOut;
class TUndoHistory;

enum TSelectionSide : std::uint8_t { sBeginning, sEnd };
enum TDescribePos : std::uint8_t { dpInSpaces, dpBeforeWord, dpInWord, dpAfterWord };

// A formatter's change callback: the text from FromPos changed; the changed range ended at
// OldToPos before the change and ends at NewToPos after it. Positions always name existing
// sections. Called on every edit, so it must only mark (no layout work).
using TNotifyFormatterEvent = std::function<void(
    const TCaretPos &FromPos, const TCaretPos &OldToPos, const TCaretPos &NewToPos)>;

class TDocument final : public TSectionContainer {
 public:
  static constexpr int MaxFormatters = LastFormatterHandle;

  // One empty paragraph whose end of line has the document's first font; caret at (0, 1).
  TDocument();
  ~TDocument() override;
  TDocument(const TDocument &) = delete;
  TDocument &operator=(const TDocument &) = delete;

  // ---- Structure and navigation ------------------------------------------------------------

  // Deletes every section and every inset, leaving one fresh paragraph; caret at (0, 1). This is
  // how a document is emptied before a load, so nothing of the old content may survive it.
  void ClearSections();
  // Releases the insets and starts a fresh fonts table (the first font again); sections,
  // registrations and caret stay.
  void ClearOther();

  int Section_Low() const { return 0; }
  std::int32_t Section_High() const override;
  bool Section_Exists(int SectionNumber) const;
  TSection *Section_At(std::int32_t SectionNumber) const override;
  bool IsParagraph(int N) const { return Paragraph_FromSectionNum(N) != nullptr; }
  TParagraph *Paragraph_FromSectionNum(int N) const;
  // Searches from the end: loaders ask this for the paragraph they just appended.
  std::int32_t Paragraph_GetSectionNumOf(const TParagraph *P) const override;
  static int Paragraph_FirstCharIndex() { return 1; }
  static int Paragraph_FirstGapNumber() { return 1; }
  static TCaretPos Paragraph_FirstPos(int N) { return TCaretPos{N, 1, false}; }
  // (N, After); (N, 1) when N is not a paragraph.
  TCaretPos Paragraph_LastCaretPos(int N) const;
  bool Paragraph_LastCharX(int N, TCharX &LastCharX) const;
  int Paragraph_Length(int N) const;
  // N advances to the next paragraph; false, with N at the last section, when there is none.
  bool Paragraph_Next(int &N) const;
  // N moves back to the previous paragraph; false when there is none.
  bool Paragraph_Previous(int &N) const;
  bool Paragraph_MakeSureThereIsOne();
  // A new paragraph at the end (for loaders); its end of line has FCurrentFontX.
  TParagraph &Paragraph_Append();
  TOutline Paragraph_Outline_Get(int N, QString &InitStr) const;
  void Paragraph_Outline_Set(int N, TOutline Outline, const QString &InitStr);

  TCaretPos Document_FirstCaretPos() const { return TCaretPos{0, 1, false}; }
  TCaretPos Document_LastCaretPos() const;
  bool Document_LastCharX(TCharX &LastCharX) const;
  bool Document_IsBlank() const;

  static bool IsSamePos(const TCaretPos &A, const TCaretPos &B) {
    return A.SN == B.SN && A.FGN == B.FGN;
  }
  static bool IsSameCharX(const TCharX &A, const TCharX &B) { return A.SN == B.SN && A.CX == B.CX; }
  // Pos1 strictly before Pos2.
  static bool IsInSequence(const TCaretPos &Pos1, const TCaretPos &Pos2) {
    return Pos1.SN < Pos2.SN || (Pos1.SN == Pos2.SN && Pos1.FGN < Pos2.FGN);
  }
  // The reporting checks report invalid gaps or characters of a paragraph; a section that is not
  // a paragraph is answered false without a report.
  bool IsValidCaretPosition(const TCaretPos &Pos) const;
  bool IsValidCaretPosition_Silent(const TCaretPos &Pos) const;
  bool IsValidCharIndex(const TCharX &CharX) const;
  bool IsValidCharIndex_Silent(const TCharX &CharX) const;
  bool IsValidCaretRange(const TCaretPos &FromPos, const TCaretPos &ToPos) const;
  static TCaretPos CaretPosFromCharX(const TCharX &CharX) {
    return TCaretPos{CharX.SN, CharX.CX, false};
  }
  // Same numbers; a gap beyond the last character gives CX = High and false.
  bool CaretPosToCharX(const TCaretPos &CaretPos, TCharX &CharX) const;
  bool CaretPosition_TryNext(TCaretPos &CaretPos) const;
  bool CaretPosition_TryPrevious(TCaretPos &CaretPos) const override;
  // The previous character; from character 1 back to the last character of the nearest earlier
  // paragraph that has one.
  bool CharPosition_TryPrevious(TCharX &CharX) const;
  // Moves the caret by DeltaGN gaps inside its paragraph, clamped to 1..After (false when
  // clamped), and clears the selection.
  bool CaretPosition_AdjustWithinParagraph(int DeltaGN);
  static bool Position_AtStartOfParagraph(const TCaretPos &Pos) { return Pos.FGN <= 1; }
  bool Position_AtStartOfWord(const TCaretPos &Pos) const;
  bool Position_AtEndOfWord(const TCaretPos &Pos) const;
  TDescribePos DescribePos_At(const TCaretPos &At) const;
  TDescribePos DescribePos_AtCaret() const { return DescribePos_At(FAtPos); }
  bool Find_CurrentWordAt(const TCaretPos &CaretPos, TCaretPos &StartCaretPos,
                          TCaretPos &StopCaretPos) const;

  // ---- Editing -----------------------------------------------------------------------------
  //
  // Every operation below that changes the content tells the edit observers one record per
  // leaf operation (vldEditObserver.h); nothing else in the program changes a document's
  // content, so an observer sees every change.

  // Text typed at the caret, by a key or as an input method's commit: this is the one way typing
  // reaches a document. The selection is replaced; the text is inserted (with Overstrike, a
  // single character overwrites the one after the caret inside a paragraph), every character is
  // filed as a typing event and the caret ends up after the text. A key types one character
  // with its own moment; a commit of several characters was one act of typing and gets one
  // moment for all of them, and only its printable characters other than line feeds are kept.
  void Text_Type(QStringView Text, TFontIndex Font, bool Overstrike);

  // One typed character before At, stamped with the moment new text gets next to its
  // neighbours, and registered as a typing event. A line feed splits the paragraph.
  void Char_Insert(QChar Ch, TFontIndex FontIndex, const TCaretPos &At);
  // Overwrites the character after At; it keeps its place on the recording.
  void Char_Replace(QChar Ch, TFontIndex Font, const TCaretPos &At);
  // Deletes the character after the caret; at the end of a paragraph joins the next one (its
  // anchored insets come along).
  void Char_Delete(const TCaretPos &CaretPos);
  // Deletes an inclusive character range. A range covering whole paragraphs deletes them, line
  // breaks included; insets anchored to deleted paragraphs stay in the storage without anchor.
  void SubStr_Delete(const TCharX &First, const TCharX &Last);
  // Deletes the text from Start up to Stop: the rest of Start's paragraph, the paragraphs in
  // between and the start of Stop's paragraph, whose remainder joins Start's paragraph. Start's
  // paragraph always survives, so a caret at Start stays valid.
  void CaretSpan_Delete(const TCaretPos &Start, const TCaretPos &Stop);
  // Inserts text that may hold line feeds (which split paragraphs and are not themselves kept);
  // NewAt is the gap after the inserted text. The rich form keeps fonts and timestamps; the plain
  // form takes the font after At and stamps the text ten characters a second after the text that
  // follows. A carriage return is an ordinary character.
  void SubStr_Insert(const TRichString &Str, const TCaretPos &At, TCaretPos &NewAt);
  void SubStr_InsertPlain(QStringView Str, const TCaretPos &At, TCaretPos &NewAt);
  // Characters First..Last replaced by Str; the line break after Last stays.
  void SubStr_Replace(const TCharX &First, const TCharX &Last, const TRichString &Str);
  // Text of a character range, paragraphs joined by line feeds, plus one more line feed when the
  // document's selection ends at the start of a paragraph.
  QString Substr_Plain(const TCharX &First, const TCharX &Last) const;
  void Substr_Rich(const TCharX &FirstX, const TCharX &LastX, TRichString &Str) const;
  // The text from Start up to Stop. Between paragraphs a line feed; in the rich form it has the
  // earlier paragraph's end-of-line font and timestamp.
  QString CaretSpan_Plain(const TCaretPos &Start, const TCaretPos &Stop) const;
  void CaretSpan_Rich(const TCaretPos &Start, const TCaretPos &Stop, TRichString &Str) const;
  bool Substr_Get_OfSameFont(const TCharX &StartAt, TCharX &EndAt, QString &Str,
                             TFontIndex &FontIndex) const;

  // ---- Selection ---------------------------------------------------------------------------

  void AtPos_NoSelectionSet(const TCaretPos &Value);
  void Select_Clear() { FAtPosSelect = FAtPos; }
  TCaretPos SelectPos_Start() const;
  TCaretPos SelectPos_End() const;
  void Select_GetFirstAndLastCaretPos(TCaretPos &First, TCaretPos &Last) const;
  // First = the start's numbers; Last = the character before the end. When no selected
  // character lies before the end in an earlier paragraph (the selection holds only empty
  // paragraphs there), Last is (end paragraph, end gap - 1): a span that ends before it starts
  // in that paragraph, so that range walks touch nothing outside the selection.
  void Select_GetFirstAndLastCharX(TCharX &FirstCharPos, TCharX &LastCharPos) const;
  TCaretSpan SelectionCaretSpan() const;
  TCharSpan SelectionCharSpan() const;
  bool Select_IsAnyTextSelected() const { return !IsSamePos(FAtPos, FAtPosSelect); }
  bool Select_LastCharXShouldBeNL() const;
  bool Select_ClearAndPutCaretAt(TSelectionSide Side);
  void Select_DeleteSelectedText();

  // ---- Fonts -------------------------------------------------------------------------------

  TFontsInUse &Font_GetFontsInUseObjectReference() { return FontsInUse; }
  TFontIndex Font_GetIndex(const QString &Name, std::int32_t Rotation, std::int32_t Size,
                           TColor Color, TColor Highlight, TFontStyles Style);
  void Font_ApplyToCanvas(QPainter &Canvas, TFontIndex FontIndex, double ZoomFactor) const;
  // -1 when not a paragraph; the end-of-line font beyond the last character.
  TFontIndex Char_GetFontIndex(const TCharX &CharX) const;
  TFontIndex Char_GetFontIndex(const TCaretPos &At) const;
  TColor FontColorAt(const TCharX &CharX) const;
  TColor FontHighlightAt(const TCharX &CharX) const;
  TFontStyles FontStyleAt(const TCharX &CharX) const;
  TFontStyles FontStyleAt_AtPos() const;
  bool FontStyleIsBold(TFontIndex FontX) const;
  // Every character of the span gets FontIndex (an index below 0 is stored as 0).
  void Font_Change(const TCharSpan &CharSpan, TFontIndex FontIndex);
  // The others work run by run, so mixed text keeps its other attributes.
  void Font_ChangeBold(const TCharSpan &CharSpan, bool Flag);
  void Font_ChangeItalics(const TCharSpan &CharSpan, bool Flag);
  void Font_ChangeUnderline(const TCharSpan &CharSpan, bool Flag);
  void Font_ChangeStrikeout(const TCharSpan &CharSpan, bool Flag);
  void Font_ChangeName(const TCharSpan &CharSpan, const QString &FontName);
  void Font_ChangeSizeTo(const TCharSpan &CharSpan, std::int32_t FontSize);
  void Font_ChangeColor(const TCharSpan &CharSpan, TColor Color);
  void Font_ChangeHighlight(const TCharSpan &CharSpan, TColor Highlight);
  void Font_ChangeColors(const TCharSpan &CharSpan, TColor Color, TColor Highlight);
  // Size x (1 + DeltaPercent / 100), rounded half to even, held within 4..288 points.
  void Font_ChangeSizeRelative(const TCharSpan &CharSpan, double DeltaPercent);

  // ---- Clipboard ---------------------------------------------------------------------------

  bool Clipboard_CanCopy() const { return Select_IsAnyTextSelected(); }
  bool Clipboard_CanPaste() const;
  void Clipboard_Copy();
  void Clipboard_Cut();
  void Clipboard_Paste();

  // ---- Edit observers ----------------------------------------------------------------------

  // Not owned; an observer removes itself before it goes. Adding one twice adds it once.
  void EditObserver_Add(TDocumentEditObserver *Observer);
  void EditObserver_Remove(TDocumentEditObserver *Observer);
  // Does the edit again, exactly as it was told (its fonts are indices of this document's
  // table), and tells the observers. False, with nothing changed and Why saying so, when the
  // edit does not fit this document: a position that does not exist, or removed text that is
  // not the text found here.
  bool Edit_Apply(const RDocumentEdit &Edit, QString &Why);
  // Tells the observers that the content changed as a whole (a picture or a stroke): the record
  // carries the whole document.
  void Edit_TellContentChanged();
  // Brings the picture in front of the others. The order is saved with the document, so the
  // observers hear of it as a change of the content, and the undo history can take it back.
  void Graphic_BringToFront(TvlGraphic *Graphic);
  // The document as an isolated tab file, in memory; change counts are not touched.
  QByteArray IO_SaveToBytes(const QString &TabTitle) const;

  // The changes made while one lives are one operation for the observers (RDocumentEditing::
  // Continues): a key, a paste that replaces a selection. Groups nest; the outermost counts.
  class TEditGroup {
   public:
    explicit TEditGroup(TDocument &Doc) : FDoc(Doc) { ++FDoc.FGroupDepth; }
    ~TEditGroup() {
      if (--FDoc.FGroupDepth != 0) return;
      if (FDoc.FGroupLeaves > 0) FDoc.TellEditDone();
      FDoc.FGroupLeaves = 0;
    }
    TEditGroup(const TEditGroup &) = delete;
    TEditGroup &operator=(const TEditGroup &) = delete;

   private:
    TDocument &FDoc;
  };

  // A copy of section N that belongs to no document (no layout records, no document link; a
  // paragraph keeps its anchor list as data); nullptr when there is no such section.
  std::unique_ptr<TSection> Section_Clone(int N) const;
  // Puts In in the place of the Count sections from First; In then holds those taken out, whole:
  // text, fonts, moments, line ends, outlines and the handles of the pictures anchored to them.
  // The typing events of the text taken out go, those of the text put in come; pictures whose
  // paragraph is put in are anchored to it again. Formatters, change counts and observers hear
  // of it as of any edit (a Sections record). False, with nothing changed, when the range does
  // not exist or the document would be left without a paragraph.
  bool Sections_Swap(int First, int Count, std::vector<std::unique_ptr<TSection>> &In);
  // The caret and the other end of the selection, each moved to the nearest valid position.
  void Positions_Set(const TCaretPos &Caret, const TCaretPos &Select);

  // The undo history of this document; it hears of edits once switched on.
  TUndoHistory &Undo_History();
  void Undo_Switch(bool On);
  bool Undo_IsOn() const;

  // ---- Change counts -----------------------------------------------------------------------

  void ChangeCount_Increment();
  void ChangeCount_Clear() { FChangeCount = 0; }
  void ChangeCountSinceBackup_Clear() { FChangeCountSinceBackup = 0; }
  int ChangeCount() const { return FChangeCount; }
  int ChangeCountSinceBackup() const { return FChangeCountSinceBackup; }

  // ---- Formatters --------------------------------------------------------------------------

  // Takes the first free slot of 1..3 and makes every paragraph carry a layout record of
  // AuxInfoType for it. With all three taken reports "Need to raise MaxFormatters" and throws
  // std::out_of_range before anything is stored.
  TFormatterHandle Notify_RegisterFormatter(TNotifyFormatterEvent CallBackProcedure,
                                            TAuxInfoClass AuxInfoType);
  void Notify_UnregisterFormatter(TFormatterHandle RegistrationHandle);

  // How many paragraph changes (text, fonts, paragraphs made or freed) this document has seen.
  // Every editing operation also notifies its formatters; a formatter that finds this count
  // unchanged since its last notification knows that the notified ranges are all that changed.
  std::uint64_t LayoutTouches() const { return FLayoutTouches; }
  void Section_LayoutTouched() override { ++FLayoutTouches; }

  // ---- Moments and typing events -----------------------------------------------------------

  // The moment a character typed at the caret belongs next to: its neighbour's effective time
  // (plus a small step after a character), or 0 when the neighbour has no moment.
  TDateTime Timestamp_Effective_ContextAtPos(QChar NextChar) const;
  // The same for a character about to be typed at At.
  TDateTime Timestamp_Effective_ContextAt(QChar NextChar, const TCaretPos &At) const;
  // Through the typing-event sink, which keeps one event per moment and text.
  void Events_AddToListIfNotDuplicating(QChar Ch, const RvlTimestamp &DualTS) const;
  void Events_AddManyToListIfNotDuplicating(const TRichString &PolyRichStr) const;
  void Events_UnlistForCaretPos(const TCaretPos &CaretPos) const;
  void Events_UnlistForCharXRange(const TCharX &First, const TCharX &Last) const;

  // ---- Moments of text and search (vl_DocumentTime.cpp) -------------------------------------

  // The timestamp of the character after At (the end-of-line timestamp at the end); the null
  // timestamp when At.SN is not a paragraph.
  RvlTimestamp Timestamp_GetForCharacter(const TCaretPos &At) const;
  void Timestamp_SetForCharacter(const TCaretPos &At, const RvlTimestamp &LinkInstant);
  RvlTimestamp Timestamp_GetForParagraph(int N) const;
  void Timestamp_SetForParagraph(int N, const RvlTimestamp &Timemark);
  // The character whose effective moment is nearest to When (the earlier one in the document
  // among equals), as a caret before it. Characters without a moment are no candidates. False,
  // with the document start, when no character has one. Linear in the document: for commands,
  // not for every playback tick.
  bool Timestamp_SearchForNearestEffectiveTS(TDateTime When, TCaretPos &AtCaretPos) const;

  // The first occurrence of Str at or after StartAt; (-1, 0) when none or Str is empty.
  // Occurrences never span a paragraph break.
  TCharX Substr_Search(QStringView Str, const TCaretPos &StartAt, bool CaseSensitive) const;
  // The first case-sensitive occurrence in StartAt's paragraph at or after StartAt.CX.
  TCharX Substr_SearchWithinParagraph(QStringView Str, const TCharX &StartAt) const;

  // One search result, in document order; the context is the paragraph's own characters.
  struct RSearchHit {
    int SN = -1;
    int CX = 0;
    QString Before;  // up to 75 characters before the hit
    QString Hit;
    QString After;  // up to the 75th character counted from the hit's first character
  };
  // Case-insensitive hits of Query that do not overlap, at most MaxSteps of them.
  std::vector<RSearchHit> Search_Hits(QStringView Query, int MaxSteps = 1000) const;
  // Appends "* H=" + Header before the first hit, then per hit "- T=" TabX " S=" SN " C=" CX
  // " D=" Before "<b>" Hit "</b>" After. The context is note text: whoever shows these lines
  // must show them as plain text (or render Search_Hits), never as markup. Answers the number
  // of hits.
  int Search_AppendResults(int TabX, const QString &Header, QStringView Query,
                           QStringList &ListBox) const;
  // The paragraph's text with control characters made visible, or "<<Not a paragraph>>".
  QString Debug_GetParagraphTextWithVisibleNL(const TCaretPos &At) const;

  // ---- Diagnostics (vl_DocumentDump.cpp) ------------------------------------------------------

  // SL := one line per item: formatter slots, section bounds, first and last positions, then
  // per section its text, bounds, group timestamp, moments, anchored insets and layout records.
  // Positions read "(SN,GN)" and characters "(SN,CX)".
  void Document_Dump(QStringList &SL) const;
  // In DebugMode only: the dump as "Document Dump yyyy-mm-dd hh;nn " + WhyStr + ".txt" in the
  // documents folder ("/" and other characters a file name cannot hold become "_"). False when
  // nothing was written.
  bool Document_DumpToTimestampedFile(const QString &WhyStr) const;

  // ---- Files (vl_DocumentIO.cpp) ------------------------------------------------------------
  //
  // The notes block: caret, paragraphs with their text, fonts and per-character timestamps, the
  // fonts table and the insets. As an isolated tab file it is wrapped in a NotesDoc element and
  // also carries the tab's title and scroll position; embedded in a binder the binder writes
  // the DocTab and ScrollPos lines around it.

  // Writes the isolated tab file through a writer of our own (the file is replaced in one step).
  // True only when every byte reached the disk; then, and only then, the change count is
  // cleared. A failed save leaves the old file and the change count as they were.
  bool IO_Save(const QString &PathName, const QString &TabTitle, int VertScrollbar);
  // The same through a writer the caller made (another save target); its ErrorString says why a
  // save failed.
  bool IO_Save(TvlXmlOut &Out, const QString &PathName, const QString &TabTitle, int VertScrollbar);
  // The block without the NotesDoc wrapper and without ScrollPos, into the binder's writer.
  // Change counts are the binder's business and are not touched. Always true.
  bool IO_SaveEmbedded(TvlXmlOut &Out) const;

  // Replaces the document by an isolated tab file; never throws for what the file holds. Answers
  // the problems found as text (empty when the file loaded cleanly); IO_LastLoad says whether the
  // file could be opened at all and whether it was complete. TabTitle gets "(Untitled)" and
  // VertScrollbar 0 when the file has none.
  QString IO_Load(const QString &PathName, QString &TabTitle, int &VertScrollbar);
  // The same over bytes in memory (a fuzzing input, a file already read); Name names them in
  // messages and is the folder pictures are looked for in.
  QString IO_LoadFromBytes(const QByteArray &Bytes, const QString &Name, QString &TabTitle,
                           int &VertScrollbar);
  // Replaces the document by the embedded block at the reader's position, which the binder has
  // moved past its DocTab and ScrollPos lines. Stops before "</DocTab>", which the binder reads.
  QString IO_LoadEmbedded(TvlXmlIn &In);

  // What the last load found besides its problem texts, and how long it took.
  struct RLoadReport {
    bool Opened = false;         // the file could be opened and read
    bool IsNotesDoc = false;     // an isolated tab file: it began with its NotesDoc line
    bool Complete = false;       // the block's closing line was there
    int StructuralProblems = 0;  // reports sent to the error log while loading
    // Every problem of the file's structure this load met (lines skipped, tags out of place,
    // repaired text), in file order: all of them, where the error log keeps only a few a run.
    QStringList StructuralTexts;
    double OpeningSeconds = 0;  // reading the file into the model
    double XRefSeconds = 0;     // registering every character as a typing event
    // The texts the main window's two timing labels get appended.
    QString OpeningLabelText() const;
    QString XRefLabelText() const;
  };
  const RLoadReport &IO_LastLoad() const { return FLastLoad; }

  // ---- Copying -----------------------------------------------------------------------------

  // Deep copy: positions, counts, fonts, sections, insets (anchored to this document's
  // paragraphs), zoom and the layout-record wishes. Registered formatters are not copied.
  void MyAssign(const TDocument &SourceDoc);

  TCaretPos FAtPos;              // the caret
  TCaretPos FAtPosSelect;        // the other end of the selection; FAtPos when nothing is selected
  TFontIndex FCurrentFontX = 0;  // end-of-line font of new paragraphs
  bool FInsertMode = true;       // read by the keyboard: insert or overwrite
  TvlGraphic *FGraphic_Merge = nullptr;  // carried
  TFontsInUse FontsInUse;
  TInsetsStorage InsetsStorage{this};
  double Zoom = 1;  // display zoom, used by the formatter
  TAuxInfoUsageMonitor AuxInfoUsageMonitor;
  // Asked for an undo snapshot whenever the change count reaches an even number. Empty: none.
  std::function<void(TDocument &)> UndoSnapshotRequest;

 private:
  TFontIndex NewDocumentFont();
  std::unique_ptr<TParagraph> NewParagraph();
  void Notify_Formatters(const TCaretPos &FromPos, const TCaretPos &OldToPos,
                         const TCaretPos &NewToPos);
  void Paragraph_Insert(int N);
  // SplitWhen: the end-of-line moment of the paragraph cut; NewWhen: that of the new one.
  void Paragraph_Split(const TCaretPos &At, const RvlTimestamp &SplitWhen,
                       const RvlTimestamp &NewWhen);
  void Paragraph_JoinNext(int N);
  void Section_Delete(int N) { Sections_Delete(N, N); }
  // Sections First..Last in one step; insets anchored to them are left without an anchor.
  void Sections_Delete(int First, int Last);
  void Sections_ResetToOneParagraph(TFontIndex Font);
  int Paragraph_Count() const;
  void ReleaseLayoutRecords(TSection &S) const;
  void UpdateAllLayoutRecords();
  TCaretPos ClampedPos(const TCaretPos &Pos) const;
  void Positions_KeepValid();
  template <typename TInsertPart>
  bool InsertByLines(QStringView Text, const TCaretPos &At, TCaretPos &NewAt,
                     const RvlTimestamp &SplitWhen, const RvlTimestamp &NewWhen,
                     TInsertPart InsertPart);
  // The work of the editing operations, with every moment given, so that a told edit can be
  // done again exactly; they tell nobody.
  // A split's moments, once per operation: its cut paragraph's end of line gets now, the new
  // paragraph's the moment new text gets now.
  struct RSplitMoments {
    RvlTimestamp Split;
    RvlTimestamp New;
  };
  static RSplitMoments SplitMomentsNow();
  bool Char_InsertAt(QChar Ch, TFontIndex Font, const TCaretPos &At, const RvlTimestamp &When,
                     const RSplitMoments &Split);
  bool Char_ReplaceAt(QChar Ch, TFontIndex Font, const TCaretPos &At, const RvlTimestamp &When,
                      const RSplitMoments &Split);
  bool SubStr_InsertRich(const TRichString &Str, const TCaretPos &At, TCaretPos &NewAt,
                         const RSplitMoments &Split);
  // The characters of an inclusive range, paragraphs joined by line feeds.
  QString RangePlain(const TCharX &First, const TCharX &Last) const;
  bool HasObservers() const { return !FObservers.empty(); }
  void Tell(const RDocumentEdit &Edit) const;
  // Tells the observers one character Ch typed over or into At (Kind Insert or CharReplace),
  // with the moments a line feed split the paragraph at and the font its new paragraph took.
  void TellOneChar(TEditKind Kind, QChar Ch, TFontIndex Font, const TCaretPos &At,
                   const RvlTimestamp &When, const RSplitMoments &Split,
                   TFontIndex NewParagraphFont, const QString &Removed = QString()) const;
  // Tells the observers what is about to change (RDocumentEditing); First..Last are clamped to
  // the sections there are.
  void TellEditing(TEditKind Kind, int First, int Last, const TCaretPos &At, QChar Ch = QChar(),
                   double RealWhen = 0);
  bool Edit_ApplySections(const RDocumentEdit &Edit, QString &Why);
  void TellEditDone() const;
  void TellFontChange(const TCharSpan &Span, RDocumentEdit &Edit) const;
  template <typename TNewIndex>
  void Font_ChangeByRuns(const TCharSpan &CharSpan, TNewIndex NewIndex);
  void Font_ChangeStyle(const TCharSpan &CharSpan, TFontStyle Member, bool Flag);
  void UnlistCaretSpan(const TCaretPos &Start, const TCaretPos &Stop) const;

  std::vector<TDocumentEditObserver *> FObservers;
  int FGroupDepth = 0;                       // TEditGroup nesting
  int FGroupLeaves = 0;                      // changes told inside the outermost group so far
  TEditOrigin FOrigin = TEditOrigin::Other;  // what the running operation's text is
  std::uint64_t FLayoutTouches = 0;          // before Sections: paragraphs count here while freed
  std::vector<std::unique_ptr<TSection>> Sections;                        // never empty
  std::array<TNotifyFormatterEvent, LastFormatterHandle + 1> NotifyList;  // [0] unused
  int FChangeCount = 0;
  int FChangeCountSinceBackup = 0;
  RLoadReport FLastLoad;

  int FReportsBeforeLoad = 0;  // the error log's count when the load began
  // Declared last: it goes first, while the observer list it leaves still exists.
  std::unique_ptr<TUndoHistory> FUndo;

  // The file form, vl_DocumentIO.cpp.
  void IO_LoadBegin();
  QString IO_LoadIsolated(TvlXmlIn &In, bool Opened, const QString &OpenProblem, QString &TabTitle,
                          int &VertScrollbar, const QElapsedTimer &Started);
  QString IO_LoadBody(TvlXmlIn &In);
  QString IO_LoadSections(TvlXmlIn &In);
  QString IO_LoadInsets(TvlXmlIn &In);
  QString IO_LoadOneInset(TvlXmlIn &In);
  QString IO_LoadEnd(const TCaretPos &Caret, const QElapsedTimer &Started);
  QString IO_CheckAnchoredLists();
  void IO_SaveCaret(TvlXmlOut &Out) const;
  void IO_SaveBody(TvlXmlOut &Out) const;
  void IO_SaveInsets(TvlXmlOut &Out) const;
};
