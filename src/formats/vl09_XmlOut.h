#pragma once
// TvlXmlOut writes the line-oriented, XML-looking files of the notes formats (binder, exported
// tab, the stored events): every element is one line; a start tag with attributes is never
// closed ("<Font Index=\"0\" ...>" and no end tag); blocks are opened and closed by attribute-less
// tags on lines of their own ("<Fonts>" ... "</Fonts>"). The reader (TvlXmlIn) depends on this
// one-element-per-line layout.
//
// File form: Windows-1252 (vlWin1252.h), no byte-order mark, every line ended by CR LF, no
// indentation. Attribute values have fixed, locale-free text forms by type (vlNumberForms.h).
//
// Saving is atomic: the bytes go to a temporary file (TvlSaveTarget) and only a successful
// File_Close replaces the target. A writer destroyed or reopened without a successful close
// leaves the old file as it was. Nothing throws: a failed write is remembered, later writes are
// dropped, and File_Close answers false.
//
// Called on the user-interface thread only.

#include "vl09_XmlTags.h"
#include "vlColor.h"
#include "vlSaveTarget.h"

#include <QAnyStringView>
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>

class TvlXmlOut {
 public:
  // Target: where the bytes go; nullptr writes files through the atomic writer (TAtomicFile).
  explicit TvlXmlOut(std::unique_ptr<TvlSaveTarget> Target = nullptr);
  // Discards a file that was opened and not closed: the target keeps its old content.
  ~TvlXmlOut();
  TvlXmlOut(const TvlXmlOut &) = delete;
  TvlXmlOut &operator=(const TvlXmlOut &) = delete;

  // Resets TagDepth and ErrorCount. An empty path answers false and does nothing else. When the
  // file cannot be written, reports "This file can not be opened for writing:" + two line breaks
  // + PathName through ErrorReportInDebug and answers false; the old file is untouched. A file
  // still open from before is discarded first.
  bool File_OpenForRewritingOrDoErrorDialogs(const QString &PathName);
  // Writes what is buffered and replaces the target in one step. True only when every byte is on
  // disk under the target's name; false (ErrorString says why) leaves the old file untouched.
  [[nodiscard]] bool File_Close();
  // Drops the file being written; the target keeps its old content.
  void File_Cancel();
  bool IsOpen() const { return FOpen; }
  // Why the last open or close failed (the system's message); empty after success.
  QString ErrorString() const { return FErrorString; }

  // "<Font", "</Fonts>"; the markers show "Warning: Unimplemented XML Tag" and give "".
  static QString TagToStr(TvlXmlTags vlXmlTag);

  // One element with attributes: Insert_TagOpenForAttributes, any number of Insert_Attribute /
  // Insert_AttributeC / Insert_AttributeE, then Insert_TagClose_NoMoreAttributes.
  void Insert_TagOpenForAttributes(TvlXmlTags vlXmlTag);
  void Insert_TagClose_NoMoreAttributes();
  // A block line ("<Fonts>", "</P>"), only while no element is open.
  void Insert_TagWithoutAttributes(TvlXmlTags vlXmlTag);

  // One attribute: a space, Name, "=", the value in double quotes. Names are ASCII.
  void Insert_Attribute(QAnyStringView Name, int Value);
  void Insert_Attribute(QAnyStringView Name, long Value);
  void Insert_Attribute(QAnyStringView Name, long long Value);
  void Insert_Attribute(QAnyStringView Name, bool Value);  // "T" / "F"
  // The character itself, in its entity form when it is ", <, >, a control character or has no
  // byte in Windows-1252 (so that a quote cannot end the value early).
  void Insert_Attribute(QAnyStringView Name, QChar Value);
  // The string as it is: callers encode what needs encoding (paragraph text does). As a last
  // guard, characters that would break the line structure (", <, >, codes below 32) are written
  // as entities, and units outside Windows-1252 as "&#n;"; other text is never changed.
  void Insert_Attribute(QAnyStringView Name, QStringView Value);
  // Double and TDateTime: fixed point with 10 decimals, at least 16 characters wide.
  void Insert_Attribute(QAnyStringView Name, double Value);
  // Single: the compact form.
  void Insert_Attribute(QAnyStringView Name, float Value);
  // Style letters "B", "I", "U", "S" in that order; empty for the empty set.
  void Insert_Attribute(QAnyStringView Name, TFontStyles Value);
  // "U", "L", "R".
  void Insert_Attribute(QAnyStringView Name, TSide Value);
  // Always named "K", whatever Name is: "M", "L", "T", "S", "W", "1", "2", "3"; koeNone and
  // koeNewDayFile write nothing.
  void Insert_Attribute(QAnyStringView Name, TKindOfEvent Value);
  // A colour: "#" and six (or, above 24 bits, eight) hexadecimal capitals, red first.
  void Insert_AttributeC(QAnyStringView Name, TColor Color);
  // A string of the user's (tab title, font name, picture path, label text) with the entities of
  // vlEntities.h, so that any text survives the round trip; read back with TvlXmlIn::GetE.
  void Insert_AttributeE(QAnyStringView Name, QStringView Value);

  // Literals would silently pick the bool or int overload: say QStringLiteral or QChar instead.
  void Insert_Attribute(QAnyStringView Name, const char *Value) = delete;
  void Insert_Attribute(QAnyStringView Name, const char16_t *Value) = delete;
  void Insert_Attribute(QAnyStringView Name, char Value) = delete;
  void Insert_Attribute(QAnyStringView Name, char16_t Value) = delete;

  QString PathName() const { return FPathName; }
  int LineNum() const { return FLineNum; }
  int TagDepth() const { return FTagDepth; }
  // Structural warnings since the file was opened.
  int ErrorCount() const { return FErrorCount; }

  // Bytes are handed to the target in chunks of about this size (tests make it small).
  void SetChunkSize(qsizetype Bytes) { FChunkSize = Bytes < 1 ? 1 : Bytes; }

 private:
  void Warn(const QString &Text);
  void BeginAttribute(QAnyStringView Name);
  void EndAttribute() { FBuffer.append('"'); }
  void AppendText(QStringView Text);
  void EndLine();
  void FlushIfFull() {
    if (FBuffer.size() >= FChunkSize) Flush();
  }
  void Flush();

  std::unique_ptr<TvlSaveTarget> FTarget;
  QString FPathName;
  QByteArray FBuffer;
  QByteArray FPendingComment;  // a warning comment waiting for the start of the next line
  QString FErrorString;
  qsizetype FChunkSize = 1 << 20;
  int FLineNum = 0;
  int FTagDepth = 0;
  int FErrorCount = 0;
  bool FOpen = false;
  bool FFailed = false;
  bool FAtLineStart = true;
};
