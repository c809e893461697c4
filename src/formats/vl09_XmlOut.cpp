#include "vl09_XmlOut.h"

#include "vlEntities.h"
#include "vlGlobals.h"
#include "vlNumberForms.h"
#include "vlPrompts.h"
#include "vlWin1252.h"

#include <QFileInfo>

#include <charconv>

namespace {

// Attribute names are ASCII; anything else still goes out in the file's code page.
void AppendName(QByteArray &Out, QAnyStringView Name) {
  Name.visit([&Out](auto View) {
    using TView = decltype(View);
    if constexpr (std::is_same_v<TView, QStringView>) {
      AppendEncodedWin1252(Out, View);
    } else if constexpr (std::is_same_v<TView, QLatin1StringView>) {
      Out.append(View.data(), View.size());
    } else {
      AppendEncodedWin1252(Out, QString::fromUtf8(View.data(), View.size()));
    }
  });
}

void AppendTagText(QByteArray &Out, std::string_view Text) {
  Out.append(Text.data(), qsizetype(Text.size()));
}

QString NameText(QAnyStringView Name) { return Name.toString(); }

}  // namespace

TvlXmlOut::TvlXmlOut(std::unique_ptr<TvlSaveTarget> Target)
    : FTarget(Target ? std::move(Target) : std::make_unique<TvlAtomicFileTarget>()) {}

TvlXmlOut::~TvlXmlOut() { File_Cancel(); }

bool TvlXmlOut::File_OpenForRewritingOrDoErrorDialogs(const QString &PathName) {
  File_Cancel();
  FTagDepth = 0;
  FErrorCount = 0;
  FLineNum = 0;
  FFailed = false;
  FAtLineStart = true;
  FBuffer.resize(0);
  FPendingComment.clear();
  FErrorString.clear();
  if (PathName.isEmpty()) return false;
  if (!FTarget->Open(PathName)) {
    FErrorString = FTarget->ErrorString();
    TraceWrite(QStringLiteral("Cannot write %1: %2").arg(PathName, FErrorString));
    ErrorReportInDebug(QStringLiteral("This file can not be opened for writing:\n\n") + PathName);
    return false;
  }
  FPathName = PathName;
  FOpen = true;
  return true;
}

bool TvlXmlOut::File_Close() {
  if (!FOpen) {
    FErrorString = QStringLiteral("The file was not open for writing");
    return false;
  }
  // A warning that came in the middle of the last line stays out: it would have to start a
  // line of its own, and the caller left that line unfinished.
  FPendingComment.clear();
  Flush();
  FOpen = false;
  if (FFailed) {
    FErrorString = FTarget->ErrorString();
    FTarget->Cancel();
  } else if (!FTarget->Commit()) {
    FErrorString = FTarget->ErrorString();
    FFailed = true;
  }
  if (FFailed) {
    if (FErrorString.isEmpty()) FErrorString = QStringLiteral("The file could not be written");
    TraceWrite(QStringLiteral("Saving %1 failed: %2").arg(FPathName, FErrorString));
    return false;
  }
  return true;
}

void TvlXmlOut::File_Cancel() {
  if (FOpen) FTarget->Cancel();
  FOpen = false;
  FBuffer.resize(0);
}

QString TvlXmlOut::TagToStr(TvlXmlTags vlXmlTag) {
  if (!IsRealTag(vlXmlTag)) {
    Prompts().Message(QStringLiteral("Warning: Unimplemented XML Tag"), TPromptIcon::piWarning);
    return QString();
  }
  const std::string_view text = TagText(vlXmlTag);
  return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

void TvlXmlOut::Warn(const QString &Text) {
  ++FErrorCount;
  if (FErrorCount > 1) return;
  const QString message = QStringLiteral("Warning: ") + Text;
  TraceWrite(message + QStringLiteral(" (") + FPathName + QLatin1Char(')'));
  // The comment gets a line of its own: the reader classifies a line by its first "<", so a
  // comment in front of an element on the same line would hide that element.
  FPendingComment = "<!--" + EncodeWin1252(message) + "-->";
  if (FAtLineStart) {
    FBuffer.append(FPendingComment);
    FBuffer.append("\r\n");
    ++FLineNum;
    FPendingComment.clear();
  }
  Prompts().Message(message, TPromptIcon::piWarning);
}

void TvlXmlOut::EndLine() {
  FBuffer.append("\r\n");
  ++FLineNum;
  FAtLineStart = true;
  if (!FPendingComment.isEmpty()) {
    FBuffer.append(FPendingComment);
    FBuffer.append("\r\n");
    ++FLineNum;
    FPendingComment.clear();
  }
  FlushIfFull();
}

void TvlXmlOut::Flush() {
  if (FBuffer.isEmpty()) return;
  if (FOpen && !FFailed && !FTarget->Write(FBuffer.constData(), FBuffer.size())) FFailed = true;
  FBuffer.resize(0);
}

void TvlXmlOut::Insert_TagOpenForAttributes(TvlXmlTags vlXmlTag) {
  if (!IsRealTag(vlXmlTag)) TagToStr(vlXmlTag);  // shows the warning for a marker
  const std::string_view tag = TagText(vlXmlTag);
  if (!tag.empty() && tag.back() == '>')
    Warn(QStringLiteral("Unexpected close bracket without NL."));
  AppendTagText(FBuffer, tag);
  if (!tag.empty()) FAtLineStart = false;
  ++FTagDepth;
}

void TvlXmlOut::Insert_TagClose_NoMoreAttributes() {
  FBuffer.append('>');
  EndLine();
  --FTagDepth;
  if (FTagDepth != 0) Warn(QStringLiteral("Unexpected close tag."));
}

void TvlXmlOut::Insert_TagWithoutAttributes(TvlXmlTags vlXmlTag) {
  if (!IsRealTag(vlXmlTag)) TagToStr(vlXmlTag);  // shows the warning for a marker
  const std::string_view tag = TagText(vlXmlTag);
  if (tag.empty() || tag.back() != '>') Warn(QStringLiteral("Tag should be closed"));
  if (FTagDepth != 0) Warn(QStringLiteral("Improperly nested tag"));
  AppendTagText(FBuffer, tag);
  EndLine();
}

void TvlXmlOut::BeginAttribute(QAnyStringView Name) {
  if (FTagDepth != 1) Warn(QStringLiteral("Floating attribute: ") + NameText(Name));
  FBuffer.append(' ');
  AppendName(FBuffer, Name);
  FBuffer.append("=\"", 2);
  FAtLineStart = false;
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, int Value) {
  Insert_Attribute(Name, static_cast<long long>(Value));
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, long Value) {
  Insert_Attribute(Name, static_cast<long long>(Value));
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, long long Value) {
  BeginAttribute(Name);
  AppendInteger(FBuffer, Value);
  EndAttribute();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, bool Value) {
  BeginAttribute(Name);
  FBuffer.append(Value ? 'T' : 'F');
  EndAttribute();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, QChar Value) {
  BeginAttribute(Name);
  const char16_t unit = Value.unicode();
  AppendEncodedWin1252(FBuffer, EscapeAttributeText(QStringView(&unit, 1)));
  EndAttribute();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, QStringView Value) {
  BeginAttribute(Name);
  AppendEncodedWin1252Guarded(FBuffer, Value);
  EndAttribute();
  FlushIfFull();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, double Value) {
  BeginAttribute(Name);
  AppendDouble16(FBuffer, Value);
  EndAttribute();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, float Value) {
  BeginAttribute(Name);
  AppendCompactSingle(FBuffer, Value);
  EndAttribute();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, TFontStyles Value) {
  BeginAttribute(Name);
  if (Value.testFlag(fsBold)) FBuffer.append('B');
  if (Value.testFlag(fsItalic)) FBuffer.append('I');
  if (Value.testFlag(fsUnderline)) FBuffer.append('U');
  if (Value.testFlag(fsStrikeOut)) FBuffer.append('S');
  EndAttribute();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView Name, TSide Value) {
  BeginAttribute(Name);
  switch (Value) {
    case sLeft: FBuffer.append('L'); break;
    case sRight: FBuffer.append('R'); break;
    default: FBuffer.append('U'); break;
  }
  EndAttribute();
}

void TvlXmlOut::Insert_Attribute(QAnyStringView, TKindOfEvent Value) {
  char letter = 0;
  switch (Value) {
    case koeMarker: letter = 'M'; break;
    case koeLabel: letter = 'L'; break;
    case koeTyping: letter = 'T'; break;
    case koeSketching: letter = 'S'; break;
    case koeWebDings: letter = 'W'; break;
    case koeWingDings: letter = '1'; break;
    case koeWingDings2: letter = '2'; break;
    case koeWingDings3: letter = '3'; break;
    default: return;  // koeNone and koeNewDayFile are never stored
  }
  BeginAttribute(QLatin1StringView("K"));
  FBuffer.append(letter);
  EndAttribute();
}

void TvlXmlOut::Insert_AttributeC(QAnyStringView Name, TColor Color) {
  BeginAttribute(Name);
  // At least six hexadecimal capitals of the 32-bit value, then the red and blue pairs swapped:
  // $00BBGGRR becomes "RRGGBB". Values above 24 bits keep their high digits in front.
  char digits[16];
  char *end =
      std::to_chars(digits, digits + sizeof(digits), static_cast<std::uint32_t>(Color), 16).ptr;
  std::size_t count = std::size_t(end - digits);
  char padded[16] = {'0', '0', '0', '0', '0', '0'};
  const std::size_t width = count < 6 ? 6 : count;
  std::copy(digits, end, padded + (width - count));
  for (std::size_t i = 0; i < width; ++i)
    if (padded[i] >= 'a' && padded[i] <= 'f') padded[i] = static_cast<char>(padded[i] - 'a' + 'A');
  std::swap(padded[0], padded[4]);
  std::swap(padded[1], padded[5]);
  FBuffer.append('#');
  FBuffer.append(padded, qsizetype(width));
  EndAttribute();
}

void TvlXmlOut::Insert_AttributeE(QAnyStringView Name, QStringView Value) {
  BeginAttribute(Name);
  QString escaped;
  escaped.reserve(Value.size());
  AppendEscapedAttributeText(escaped, Value);
  AppendEncodedWin1252(FBuffer, escaped);
  EndAttribute();
  FlushIfFull();
}
