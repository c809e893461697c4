#pragma once
// The text of one paragraph: UTF-16 characters, each with a font index and a timestamp, kept in
// three parallel sequences that every operation here keeps in step. The paragraph's end of line
// is not a stored character: it is a virtual character after the last one, with a font and a
// timestamp of its own (FNLFont, FNLWhen).
//
// Positions are 1-based. A character index is 1..High; a caret position (a gap) is 1..After,
// where After = High + 1 and gap p lies just before character p. The silent accessors take any
// other value as "the end of line".
//
// A failed validity check of an operation is reported through the debug channel and the
// operation then does nothing.
//
// User-interface thread only.

#include "vlSeam.h"
#include "vldFontsInUse.h"
#include "vldSection.h"
#include "vldTemporal.h"

#include <QAnyStringView>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

class TvlXmlIn;
class TvlXmlOut;

enum TOutline : std::uint8_t { oNone, oBullet, oNumber, oCapital, oLower, oRoman };

// ---- Typing events -------------------------------------------------------------------------
//
// Characters become typing events of the day files. The day files live in a higher layer, which
// installs the real sink; until then nothing is registered.
class TTypingEventSink {
 public:
  virtual ~TTypingEventSink() = default;
  // Adds an event of kind typing, What "1", whose text is Text, at When.
  virtual void AddTypingEvent(TDateTime When, QStringView Text) = 0;
  // Deletes the typing event of Text filed at exactly When, if there is one.
  virtual void DeleteTypingEventAt(TDateTime When, QStringView Text) = 0;
};

// The moment a character's typing event is filed at: its effective time, or its real time when
// the effective time is no real moment (below 1000 days) and the real time is one.
TDateTime TypingEventMoment(const RvlTimestamp &Timemark);
// The text of a character's typing event: the character, a line feed entered as a space.
inline QString TypingEventText(QChar Ch) { return Ch == u'\n' ? QStringLiteral(" ") : QString(Ch); }

TSeam<TTypingEventSink> &TypingEventSinkSeam();
TTypingEventSink &TypingEventSink();
// Installs a sink (not owned); nullptr restores the one that does nothing.
void SetTypingEventSink(TTypingEventSink *Sink);

class TScopedTypingEventSink {
 public:
  explicit TScopedTypingEventSink(TTypingEventSink &Installed);
  ~TScopedTypingEventSink();
  TScopedTypingEventSink(const TScopedTypingEventSink &) = delete;
  TScopedTypingEventSink &operator=(const TScopedTypingEventSink &) = delete;

 private:
  TTypingEventSink *FPrevious;
};

// ---- Paragraph text in files ---------------------------------------------------------------
//
// The T attribute: the characters with font switches "&f" + index + ";" before the first one and
// wherever the font changes, and entities for what the line form cannot carry (control
// characters, the double quote, "&", "<", ">", and UTF-16 units outside Windows-1252).

// Encodes Text with its fonts (Fonts holds Text.size() entries), followed, when WithEndOfLine,
// by the end-of-line character in EndOfLineFont. Appends to Out.
void AppendEncodedParagraphText(QString &Out, QStringView Text, const TFontIndex *Fonts,
                                bool WithEndOfLine, TFontIndex EndOfLineFont);

// Decodes a T value into text and fonts (same length). Text before the first switch, and text
// after a switch to a number beyond 32767, gets font -1. An "&" that starts nothing known stays a
// plain "&" and nothing after it is lost. Linear in the length of the value.
void DecodeParagraphText(QStringView Encoded, QString &Text, std::vector<TFontIndex> &Fonts);

// ---- The rich string -----------------------------------------------------------------------

class TRichString : public TSection {
 public:
  // Construction and destruction count as layout changes too: a formatter learns from the one
  // counter below that paragraphs came or went.
  TRichString() { TouchLayout(); }
  ~TRichString() override { TouchLayout(); }
  TRichString(const TRichString &) = delete;
  TRichString &operator=(const TRichString &) = delete;

  // ---- Layout generations
  // Every change of the text or of a character's font stamps the string with a new number from a
  // process-wide counter. A formatter keeps the number it laid a paragraph out for and skips the
  // paragraph while it is unchanged; the counter itself tells it in O(1) that nothing changed
  // anywhere. Timestamps and the end-of-line fields (public) are not covered: formatters compare
  // the end-of-line font themselves.
  std::uint64_t LayoutGen() const { return FLayoutGen; }
  // Whether characters 1..LastChar are as they were at generation Gen: Gen is this generation,
  // or the one before the latest change and that change began after LastChar. A drawn line
  // ending before a typed character need not be drawn again.
  bool LayoutUnchangedThrough(std::uint64_t Gen, int LastChar) const {
    return Gen == FLayoutGen || (Gen == FLayoutGenBefore && LastChar < FLayoutChangedFrom);
  }
  static std::uint64_t LayoutGenerationOfAll();

  void MyAssign(const TSection &Source) override;
  // Text, fonts and timestamps emptied; outline and end of line untouched.
  virtual void Clear();
  // Copies text, fonts and timestamps only.
  void Assign(const TRichString &Source);

  int Low() const { return 1; }
  int First() const { return 1; }
  int High() const { return static_cast<int>(FText.size()); }
  int Length() const { return High(); }
  int After() const { return High() + 1; }

  const QString &Text() const { return FText; }
  const std::vector<TFontIndex> &Fonts() const { return FFonts; }
  const TTemporalString &Whens() const { return FWhens; }
  QString GetPlain() const { return FText; }
  QString SubStr_Plain() const { return FText; }

  // ---- Characters (silent checks: anything but a character index is the end of line)
  // The character; "\n" at After; "#" anywhere else.
  QChar Char_GetChar(int CXorGN) const;
  TFontIndex Char_GetFont(int CXorGN) const;
  void Char_SetFont(int CXorGN, TFontIndex Font);
  RvlTimestamp Timestamp_Get(int CaretPos) const;
  void Timestamp_Set(int CaretPos, const RvlTimestamp &Timemark);

  // ---- Characters (reporting checks)
  void Char_Insert(QChar Ch, TFontIndex Font, const RvlTimestamp &Timemark, int CaretPos);
  void Char_Append(QChar Ch, TFontIndex Font, const RvlTimestamp &Timemark);
  void Char_Replace(QChar Ch, TFontIndex Font, const RvlTimestamp &Timemark, int CharPos);
  void Char_Delete(int CharPos);
  // A word character is any code above 32 (space), punctuation included.
  bool Char_FirstOfWord(int At) const;
  bool Char_LastOfWord(int At) const;

  // ---- Substrings
  // Inserts all of RS before At; NewAt := At + RS.Length (0 when At is invalid). RS may be this.
  void SubStr_Insert(const TRichString &RS, int At, int &NewAt);
  void SubStr_Append(const TRichString &RS);
  // Inserts characters First..Last of RS before ToAt. RS may be this.
  void SubStr_InsertSubstr(const TRichString &RS, int First, int Last, int ToAt);
  // Pasted plain text: the font of the character after the caret (or the end of line), and
  // effective times ten characters a second after that character's moment. When that moment is
  // not real (below 100 days, as in a fresh empty paragraph) the moment new text would get is used
  // instead. One real time, now, for all.
  void SubStr_InsertPlain(QStringView S, int At, int &NewAt);
  void SubStr_Delete(int First, int Last);
  void SubStr_Replace(int First, int Last, const TRichString &Str);
  // Str := characters First..Last with fonts and timestamps (Str's timestamp entry 0 is the one
  // before First). Last < First gives an empty Str without a report; any other invalid range
  // gives an empty Str and a report.
  void Substr_Rich(int First, int Last, TRichString &Str) const;
  // Empty when Last < First.
  QString Substr_Plain(int First, int Last) const;
  std::vector<TFontIndex> Substr_Fonts(int First, int Last) const;
  void Substr_ChangeFont(TFontIndex NewFontIndex, int First, int Last);
  // From First up to Limit, while the font equals First's, sets NewFontIndex; answers the last
  // index changed (First when the range is bad).
  int Substr_ChangeFontOfSameFontGroup(TFontIndex NewFontIndex, int First, int Limit);
  // The run of First's font from First up to Last (at most High): Last := its last index, Str :=
  // its text. False, with Str empty, when First is not a character (Last := First) or the range
  // is empty (Last := First - 1).
  bool Substr_Get_OfSameFont(int First, int &Last, QString &Str, TFontIndex &FontIndex) const;
  // 1-based position of the first occurrence of Str at or after StartAt, 0 when none or when Str
  // is empty. Without CaseSensitive only A-Z and a-z are folded.
  int Substr_Search(QStringView Str, int StartAt, bool CaseSensitive) const;
  // The word at At with its trailing spaces: StartCaretPos before its first character,
  // StopCaretPos after the last taken. False when At is not a character, or lies in non-word
  // characters at the start of the line.
  bool Find_WordAt(int At, int &StartCaretPos, int &StopCaretPos) const;

  // ---- Checks
  bool IsValidCaretPosition(int At) const;
  bool IsValidCaretPosition_Silent(int At) const { return At >= 1 && At <= After(); }
  bool IsValidCharIndex(int At) const;
  bool IsValidCharIndex_Silent(int At) const { return At >= 1 && At <= High(); }
  bool IsValidCharRange(int FirstChar, int LastChar) const;
  bool IsValidCaretRange(int FirstChar, int AfterLastChar) const;

  // ---- Outline prefixes (not stored in files)
  TOutline Outline_Get(QString &InitStr) const;
  void Outline_Set(TOutline OutlineType, const QString &InitStr);
  bool Outline_Increment(TOutline PrevOutline, const QString &PrevInitStr);

  // ---- Typing events
  // Every character First..Last becomes a typing event at its effective time, or at its real
  // time when the effective time is no real moment (below 1000 days) and the real time is. No
  // duplicate test here: the day files keep one event per exact moment and text.
  void DayFiles_RegisterSubstring(int First, int Last) const;
  // Removes the typing events of First..Last, each by the moment it was filed at.
  void DayFiles_UnlistSubstring(int First, int Last) const;

  // ---- Diagnostics
  // Text with every character below 32 written "#" + its decimal code.
  QString Dump_TextWithVisibleNL() const;
  QString Dump_TimestampsStr() const;
  bool Debug_HasAnyNL() const;
  void Debug_DeleteNLs();

  // ---- Files
  // PWhen (when the group timestamp is set), Text and When. The string itself is not changed:
  // the end of line is written from FNLFont and FNLWhen.
  void IO_Save(TvlXmlOut &Out) const;
  // Reads Text and When at the reader's position; answers the problems as text. Whatever the
  // file holds, the three sequences come out the same length.
  virtual QString IO_Load(TvlXmlIn &In);

 protected:
  // The steps of IO_Load, for loaders that meet the lines in another order. Each reads the
  // current line (PWhen, Text, When) and advances; IO_LoadFinish makes the timestamps fit the
  // text and moves the final line feed into the end-of-line fields.
  void IO_LoadPWhen(TvlXmlIn &In);
  QString IO_LoadText(TvlXmlIn &In);
  QString IO_LoadWhen(TvlXmlIn &In);
  QString IO_LoadFinish();

 public:
  RvlTimestamp FGroupTimestamp;  // paragraph-level moment; zero unless set
  TOutline Outline = oNone;
  QString OutlineStr;      // the outline prefix currently at the start of the text
  TFontIndex FNLFont = 0;  // font of the end of line
  RvlTimestamp FNLWhen;    // timestamp of the end of line

 private:
  void ReportInvalid(int Low, int Value, int High) const;
  void InsertRun(int At, QStringView Chars, const TFontIndex *Fonts, const TTemporalString &Whens,
                 int WhensFirst);

  // ChangedFrom: the first character the change touches (1 when it may touch any).
  void TouchLayout(int ChangedFrom = 1);
  // Called by every change after the generation moved (not from construction or destruction).
  virtual void LayoutTouched() {}

  QString FText;
  std::vector<TFontIndex> FFonts;
  TTemporalString FWhens;
  std::uint64_t FLayoutGen = 0;
  std::uint64_t FLayoutGenBefore = 0;
  int FLayoutChangedFrom = 1;
};
