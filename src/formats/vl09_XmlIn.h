#pragma once
// TvlXmlIn reads what TvlXmlOut writes. It is not a general XML parser: it reads the file line by
// line, recognises each line by the tag text it contains, and lets callers pull attributes out of
// the current line by name. Loaders are recursive-descent routines over this stream of
// recognised lines: is the current tag X, read attribute Y, advance. Lines that carry no
// recognised tag (comments, blank lines, unknown elements) are skipped.
//
// Input: Windows-1252 bytes, lines ended by CR LF or LF (a lone CR is an ordinary character), the
// last line with or without its line end. A line longer than MaxLineLength ends the reading with
// a problem text (a file that is not a notes file opened by mistake).
//
// Attribute lookup is textual: the first " Name=\"" anywhere in the line, the value up to the next
// double quote; no closing quote means the attribute is missing. The current line is kept as
// bytes and only the values asked for are decoded.
//
// Called on the user-interface thread only. Never throws, except that CurrentTagStrictlyIs and
// WarnIfCurrentTagIsNot report through ErrorReportInDebug, which interrupts in DebugMode.

#include "vl09_XmlTags.h"
#include "vlColor.h"
#include "vlDateTime.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <initializer_list>
#include <memory>

class TvlXmlIn {
 public:
  TvlXmlIn();
  ~TvlXmlIn();
  TvlXmlIn(const TvlXmlIn &) = delete;
  TvlXmlIn &operator=(const TvlXmlIn &) = delete;

  // Opens a file and advances to its first recognised tag. False, with a message box, when the
  // file does not exist ("This file can not be found:") or cannot be read ("This file can not be
  // opened for reading:"); an empty path answers false silently. A file of the earlier binary
  // format (first bytes DC 05 01 00) is refused with the explanation in ErrMesg. Any other first
  // line without "<NotesDoc " or "<BoundNotes " opens with "Unexpected first line in file.  " in
  // ErrMesg, for the caller to show as it sees fit. A path that names no regular file (a folder,
  // a FIFO, a device) is refused at once, never waited on, with the reason in ReadProblem().
  bool File_OpenOrDoErrorDialogs(const QString &PathName, QString &ErrMesg);
  // The same over bytes in memory (a template, a fuzzing input); PathName only names them in
  // messages. Never shows a message box.
  bool Bytes_Open(const QByteArray &Bytes, const QString &PathName, QString &ErrMesg);
  void File_Close();
  bool OpenedFile() const { return FOpenedFile; }
  QString PathName() const { return FPathName; }

  // Writes the 19 lines of the empty binder to "Empty Binder.vl" in the documents folder
  // (replacing it in one step) and answers its path; empty, with the failure in the error log,
  // when it cannot be written. EmptyBinderBytes gives the same bytes for reading from memory.
  static QString File_CreateEmptyBinderFile();
  // Empty when PathName names a regular file (or a link to one); otherwise why it cannot be read
  // as notes. Never opens the file, so it never blocks.
  static QString RegularFileProblem(const QString &PathName);
  static QByteArray EmptyBinderBytes();

  // Advances to the next line that carries a recognised tag, or to the end (xtFlag_Done).
  void NextRecognizedTag();
  // Advances until the current tag is vlXmlTag (not at all when it already is) or the end; true
  // when found.
  bool Next_SearchFor(TvlXmlTags vlXmlTag);
  // As Next_SearchFor, but stops without passing any of StopAt: false then, with the stop tag
  // current, so that a loader looking for an optional element never swallows the next block.
  bool Next_SearchForBefore(TvlXmlTags vlXmlTag, std::initializer_list<TvlXmlTags> StopAt);
  // True when the current tag is vlXmlTag; otherwise reports "Expecting CurrentTag to be ..."
  // through ErrorReportInDebug and answers false.
  bool CurrentTagStrictlyIs(TvlXmlTags vlXmlTag);
  void WarnIfCurrentTagIsNot(TvlXmlTags vlXmlTag);

  // Problems of the file's structure: a tag that is not where it belongs, a line a loader could
  // not use, a repair a loader made. Each is kept here, in order, besides going to the error log
  // (which keeps only the first few of a run), so that whoever loads a part of the file can list
  // every problem of that part: the ones from ProblemCount() before to ProblemCount() after.
  // ReportProblem logs without interrupting; ReportProblemInDebug interrupts in DebugMode, as the
  // strict checks do.
  void ReportProblem(const QString &Text);
  void ReportProblemInDebug(const QString &Text);
  // Reports the current line as skipped, Reason first, then advances.
  void SkipLine(const QString &Reason);
  // At the start of a block whose elements are FirstElement lines: true past its header line
  // (and past a doubled header, reported), or at its first element when the header line is
  // missing (reported); false, without moving, anywhere else.
  bool BeginBlock(TvlXmlTags Header, TvlXmlTags FirstElement);
  qsizetype ProblemCount() const { return FProblems.size(); }
  QStringList ProblemsSince(qsizetype Count) const { return FProblems.mid(Count); }
  bool EndOfFile() const { return FCurrentTag == xtFlag_Done; }
  TvlXmlTags CurrentTag() const { return FCurrentTag; }

  // "Line No. " + LineNum + ":  " + the trimmed line in double quotes (long lines are cut).
  QString TraceLine() const;
  // The current line as read, decoded.
  QString Line() const;
  // The current line's bytes; valid until the reader advances.
  QByteArrayView LineBytes() const { return FLine; }
  // Lines read so far: the current line's 1-based number.
  int LineNum() const { return FLineNum; }

  // Why reading stopped early (a line above MaxLineLength, a read error) or why the file was not
  // opened (it is no regular file); empty when the end was the real end of the file.
  QString ReadProblem() const { return FReadProblem; }
  // The last line of the file had no line end: the file may have been cut short.
  bool LastLineUnterminated() const { return FLastLineUnterminated; }

  // Attributes of the current line. Each answers whether the attribute exists and parses; what
  // Value becomes otherwise is given per type (the sentinels keep stored files' meaning).
  // Raw text unchanged, decoded from Windows-1252; missing gives "".
  bool Get(QAnyStringView Name, QString &Value) const;
  // Escaped text (Insert_AttributeE) decoded; unescaped values of older files read as they are.
  bool GetE(QAnyStringView Name, QString &Value) const;
  // Missing: unchanged. Not an integer: -123456789 (a stored -123456789 also answers false).
  bool Get(QAnyStringView Name, int &Value) const;
  // Missing: unchanged. Not an integer: -12345678987654321.
  bool Get(QAnyStringView Name, long &Value) const;
  bool Get(QAnyStringView Name, long long &Value) const;
  // Missing: unchanged. Unparsable, non-finite or out of range: -123456789.123.
  bool Get(QAnyStringView Name, float &Value) const;
  // Missing: unchanged. Unparsable, non-finite or out of range: -1234567.89.
  bool Get(QAnyStringView Name, double &Value) const;
  // A moment in days. Missing: unchanged. Unparsable or outside years 1..9999: -0.5.
  bool GetDT(QAnyStringView Name, TDateTime &Value) const;
  // First letter "T"/"t" true, "F"/"f" false; anything else (also missing) false and Value false.
  bool Get(QAnyStringView Name, bool &Value) const;
  // Exactly one character (an entity counts as one); otherwise false and Value unchanged.
  bool Get(QAnyStringView Name, QChar &Value) const;
  // Each "B", "I", "U", "S" adds its style, other characters are ignored. Missing: empty set.
  bool Get(QAnyStringView Name, TFontStyles &Value) const;
  // First letter "L", "R", "U", any other sLeft. Missing or empty: false, sLeft.
  bool Get(QAnyStringView Name, TSide &Value) const;
  // First letter "M", "L", "T", "S", "W", "1", "2", "3", other koeNone. Missing, empty or koeNone:
  // false, koeNone.
  bool Get(QAnyStringView Name, TKindOfEvent &Value) const;
  // "#RRGGBB" back to $00BBGGRR (eight digits keep the high byte). A value not starting with
  // "#" reads as $00FFFF. Missing, or "#" without six to eight hexadecimal digits: false,
  // unchanged.
  bool GetC(QAnyStringView Name, TColor &Value) const;
  // The value's bytes as they stand in the file, valid until the reader advances.
  bool GetRaw(QAnyStringView Name, QByteArrayView &Value) const;

  // A line longer than this ends the reading (ReadProblem); tests make it small.
  static constexpr qsizetype DefaultMaxLineLength = qsizetype(256) << 20;
  void SetMaxLineLength(qsizetype Bytes) { FMaxLineLength = Bytes; }
  // Bytes read from the device at a time (tests make it small to cross chunk boundaries).
  void SetChunkSize(qsizetype Bytes) { FChunkSize = Bytes < 1 ? 1 : Bytes; }

  // How a single line is classified (exposed for tests and tools).
  static TvlXmlTags ClassifyLine(QByteArrayView Line) noexcept;

 private:
  static QString NotRegularFileText(const QString &PathName);
  bool OpenDevice(std::unique_ptr<QIODevice> Device, const QString &PathName, QString &ErrMesg,
                  bool Dialogs);
  bool ReadLine();
  bool FillBuffer();

  std::unique_ptr<QIODevice> FDevice;
  QByteArray FBuffer;  // bytes read and not yet consumed start at FBufferPos
  qsizetype FBufferPos = 0;
  bool FDeviceAtEnd = true;
  QByteArrayView FLine;  // the current line, inside FBuffer
  TvlXmlTags FCurrentTag = xtFlag_None;
  QString FPathName;
  QString FReadProblem;
  QStringList FProblems;
  qsizetype FMaxLineLength = DefaultMaxLineLength;
  qsizetype FChunkSize = qsizetype(1) << 20;
  int FLineNum = 0;
  bool FOpenedFile = false;
  bool FLastLineUnterminated = false;
};
