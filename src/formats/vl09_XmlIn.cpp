#include "vl09_XmlIn.h"

#include "vlAppPaths.h"
#include "vlEntities.h"
#include "vlGlobals.h"
#include "vlNumberForms.h"
#include "vlPrompts.h"
#include "vlSaveTarget.h"
#include "vlWin1252.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVarLengthArray>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kIntegerSentinel = -123456789;
constexpr long long kInt64Sentinel = -12345678987654321LL;
constexpr float kSingleSentinel = -123456789.123f;
constexpr double kDoubleSentinel = -1234567.89;
constexpr TDateTime kDateTimeSentinel = -0.5;
// TraceLine quotes at most this many characters: a paragraph's line can be megabytes long.
constexpr qsizetype kTraceLineLimit = 200;

bool Contains(QByteArrayView Line, std::string_view Text) {
  return memmem(Line.data(), std::size_t(Line.size()), Text.data(), Text.size()) != nullptr;
}

// ' ' + Name + '="', built on the stack for the usual short names.
class TAttributePattern {
 public:
  explicit TAttributePattern(QAnyStringView Name) {
    FText.append(' ');
    Name.visit([this](auto View) {
      using TView = decltype(View);
      if constexpr (std::is_same_v<TView, QStringView>) {
        AppendEncodedWin1252(FBytes, View);
        FText.append(FBytes.constData(), FBytes.size());
      } else {
        FText.append(View.data(), View.size());
      }
    });
    FText.append("=\"", 2);
  }
  std::string_view View() const { return {FText.data(), std::size_t(FText.size())}; }

 private:
  QVarLengthArray<char, 64> FText;
  QByteArray FBytes;
};

}  // namespace

TvlXmlIn::TvlXmlIn() = default;

TvlXmlIn::~TvlXmlIn() { File_Close(); }

bool TvlXmlIn::File_OpenOrDoErrorDialogs(const QString &PathName, QString &ErrMesg) {
  File_Close();
  ErrMesg.clear();
  FReadProblem.clear();
  if (PathName.isEmpty()) return false;
  const QFileInfo info(PathName);
  if (!info.exists()) {
    Prompts().Message(QStringLiteral("This file can not be found:\n\n") + PathName,
                      TPromptIcon::piWarning);
    return false;
  }
  const auto refuse = [&PathName, this](const QString &Why) {
    FReadProblem = Why;
    Prompts().Message(QStringLiteral("This file can not be opened for reading:\n\n") + PathName +
                          QStringLiteral("\n\n") + Why,
                      TPromptIcon::piWarning);
    return false;
  };
  // Opened without blocking and checked on the open descriptor: opening a FIFO for reading waits
  // for a writer, a device may never end, and a check by name could be raced by a swap.
  const QByteArray name = QFile::encodeName(PathName);
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return refuse(QString::fromLocal8Bit(std::strerror(errno)));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return refuse(NotRegularFileText(PathName));
  }
  // Blocking again for the reads (it makes no difference to a regular file).
  if (const int flags = ::fcntl(fd, F_GETFL); flags != -1)
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  auto file = std::make_unique<QFile>();
  if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return refuse(file->errorString());
  }
  return OpenDevice(std::move(file), PathName, ErrMesg, true);
}

QString TvlXmlIn::NotRegularFileText(const QString &PathName) {
  return PathName + QStringLiteral(
                        " is not a regular file (a folder, a device or a pipe); only files can be "
                        "read as notes");
}

QString TvlXmlIn::RegularFileProblem(const QString &PathName) {
  struct stat st {};
  if (::stat(QFile::encodeName(PathName).constData(), &st) != 0)
    return PathName + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return NotRegularFileText(PathName);
  return {};
}

bool TvlXmlIn::Bytes_Open(const QByteArray &Bytes, const QString &PathName, QString &ErrMesg) {
  File_Close();
  ErrMesg.clear();
  auto buffer = std::make_unique<QBuffer>();
  buffer->setData(Bytes);
  buffer->open(QIODevice::ReadOnly);
  return OpenDevice(std::move(buffer), PathName, ErrMesg, false);
}

bool TvlXmlIn::OpenDevice(std::unique_ptr<QIODevice> Device, const QString &PathName,
                          QString &ErrMesg, bool Dialogs) {
  FDevice = std::move(Device);
  FBuffer.resize(0);
  FBufferPos = 0;
  FDeviceAtEnd = false;
  FLine = QByteArrayView();
  FLineNum = 0;
  FCurrentTag = xtFlag_None;
  FReadProblem.clear();
  FProblems.clear();
  FLastLineUnterminated = false;

  // Look at the first line without consuming it: reading then starts from the top again.
  qsizetype firstLineEnd = -1;
  while (firstLineEnd < 0) {
    const char *newline = static_cast<const char *>(
        std::memchr(FBuffer.constData(), '\n', std::size_t(FBuffer.size())));
    if (newline) {
      firstLineEnd = newline - FBuffer.constData();
    } else if (FDeviceAtEnd || FBuffer.size() > FMaxLineLength) {
      firstLineEnd = FBuffer.size();
    } else if (!FillBuffer() && !FReadProblem.isEmpty()) {
      File_Close();
      if (Dialogs) {
        Prompts().Message(QStringLiteral("This file can not be opened for reading:\n\n") + PathName,
                          TPromptIcon::piWarning);
      }
      return false;
    }
  }
  const QByteArrayView firstLine(FBuffer.constData(), firstLineEnd);
  if (!Contains(firstLine, "<NotesDoc ") && !Contains(firstLine, "<BoundNotes ")) {
    if (FBuffer.size() >= 4 && std::memcmp(FBuffer.constData(), "\xDC\x05\x01\x00", 4) == 0) {
      ErrMesg =
          QStringLiteral("The following file was created with an older version of Vellomar. \n\n") +
          PathName +
          QStringLiteral(
              "\n\nIt needs to be opened in an intermediate version that can update the "
              "file format to the current version.");
      File_Close();
      return false;
    }
    ErrMesg = QStringLiteral("Unexpected first line in file.  ");
  }
  FPathName = PathName;
  FOpenedFile = true;
  NextRecognizedTag();
  return true;
}

void TvlXmlIn::File_Close() {
  FDevice.reset();
  FBuffer.clear();
  FBufferPos = 0;
  FDeviceAtEnd = true;
  FLine = QByteArrayView();
  FOpenedFile = false;
  FCurrentTag = xtFlag_Done;
}

bool TvlXmlIn::FillBuffer() {
  if (FDeviceAtEnd || !FDevice) {
    FDeviceAtEnd = true;
    return false;
  }
  // A small file gets a small buffer: never more than what is left to read.
  qint64 want = FChunkSize;
  const qint64 left = FDevice->bytesAvailable();
  if (left > 0 && left < want) want = left;
  const qsizetype old = FBuffer.size();
  FBuffer.resize(old + qsizetype(want));
  const qint64 got = FDevice->read(FBuffer.data() + old, want);
  if (got < 0) {
    FBuffer.resize(old);
    FDeviceAtEnd = true;
    FReadProblem = QStringLiteral(
                       "The file could not be read to its end (%1); it was read up to "
                       "line %2.")
                       .arg(FDevice->errorString())
                       .arg(FLineNum);
    ErrorReport(false, FReadProblem + QStringLiteral(" ") + FPathName);
    return false;
  }
  FBuffer.resize(old + qsizetype(got));
  if (got == 0) FDeviceAtEnd = true;
  return got > 0;
}

bool TvlXmlIn::ReadLine() {
  FLine = QByteArrayView();
  qsizetype searchFrom = FBufferPos;
  for (;;) {
    const char *data = FBuffer.constData();
    const auto *newline = static_cast<const char *>(
        std::memchr(data + searchFrom, '\n', std::size_t(FBuffer.size() - searchFrom)));
    const qsizetype available = (newline ? newline - data : FBuffer.size()) - FBufferPos;
    if (available > FMaxLineLength) {
      FReadProblem = QStringLiteral(
                         "Line %1 is longer than %2 bytes: this does not look like a notes file, "
                         "and the rest of it was not read.")
                         .arg(FLineNum + 1)
                         .arg(FMaxLineLength);
      ErrorReport(false, FReadProblem + QStringLiteral(" ") + FPathName);
      FBuffer.clear();
      FBufferPos = 0;
      FDeviceAtEnd = true;
      return false;
    }
    if (newline || (FDeviceAtEnd && FBufferPos < FBuffer.size())) {
      const qsizetype end = newline ? newline - data : FBuffer.size();
      qsizetype length = end - FBufferPos;
      // CR LF and LF both end a line; a CR anywhere else is an ordinary character.
      if (length > 0 && data[FBufferPos + length - 1] == '\r') --length;
      FLine = QByteArrayView(data + FBufferPos, length);
      FLastLineUnterminated = newline == nullptr;
      FBufferPos = newline ? end + 1 : end;
      ++FLineNum;
      return true;
    }
    if (FDeviceAtEnd) return false;
    // Keep only the unfinished line, then read more.
    if (FBufferPos > 0) {
      FBuffer.remove(0, FBufferPos);
      FBufferPos = 0;
    }
    searchFrom = FBuffer.size();
    FillBuffer();
  }
}

TvlXmlTags TvlXmlIn::ClassifyLine(QByteArrayView Line) noexcept {
  const auto *open =
      static_cast<const char *>(std::memchr(Line.data(), '<', std::size_t(Line.size())));
  if (!open) return xtFlag_None;
  const qsizetype at = open - Line.data();
  if (Line.size() - at - 1 < 3) return xtFlag_None;
  char letter = Line[at + 1];
  if (letter == '/') letter = Line[at + 2];
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');

  // Within the group every text is tested and the last hit wins.
  TvlXmlTags result = xtFlag_None;
  auto test = [&](std::string_view Text, TvlXmlTags Tag) {
    if (Contains(Line, Text)) result = Tag;
  };
  switch (letter) {
    case 'A': test("<Anchor ", xtInsetAnchor_); break;
    case 'B':
      test("<BoundNotes ", xtBoundNotesBegin_);
      test("</BoundNotes>", xtBoundNotesEnd);
      break;
    case 'C': test("<CaretPos ", xtCaretPos_); break;
    case 'D':
      test("<Dimensions ", xtDimensions_);
      test("<DocTab ", xtDocTabBegin_);
      test("</DocTab>", xtDocTabEnd);
      break;
    case 'E': test("<Event ", xtEvent_); break;
    case 'F':
      test("<Font ", xtFont_);
      test("<Fonts>", xtFontsBegin);
      test("</Fonts>", xtFontsEnd);
      break;
    case 'G':
      test("<Graphic ", xtGraphicBegin_);
      test("</Graphic>", xtGraphicEnd);
      break;
    case 'I':
      test("<I ", xtInsetAnchor_);
      test("<Inset ", xtInsetBegin_);
      test("</Inset>", xtInsetEnd);
      test("<Insets>", xtInsetsBegin);
      test("</Insets>", xtInsetsEnd);
      break;
    case 'N':
      test("<NotesDoc ", xtNotesDocBegin_);
      test("</NotesDoc>", xtNotesDocEnd);
      break;
    case 'O':
      test("<OtherEvents>", xtOtherEventsBegin);
      test("</OtherEvents>", xtOtherEventsEnd);
      break;
    case 'P':
      test("<P ", xtParagraphBegin_);
      test("</P>", xtParagraphEnd);
      test("<PWhen ", xtPWhen_);
      break;
    case 'S':
      test("<ScrollPos ", xtScrollPos_);
      test("<Sections>", xtSectionsBegin);
      test("</Sections>", xtSectionsEnd);
      test("<Sketch ", xtSketchBegin_);
      test("</Sketch>", xtSketchEnd);
      test("<Stroke ", xtStrokeBegin_);
      break;
    case 'T': test("<Text ", xtText_); break;
    case 'W': test("<When ", xtWhen_); break;
    default: break;
  }
  return result;
}

void TvlXmlIn::NextRecognizedTag() {
  FCurrentTag = xtFlag_None;
  while (FCurrentTag == xtFlag_None) {
    if (!FOpenedFile || !ReadLine()) {
      FCurrentTag = xtFlag_Done;
      FLine = QByteArrayView();
      return;
    }
    FCurrentTag = ClassifyLine(FLine);
  }
}

bool TvlXmlIn::Next_SearchFor(TvlXmlTags vlXmlTag) {
  while (FCurrentTag != vlXmlTag && FCurrentTag != xtFlag_Done) NextRecognizedTag();
  return FCurrentTag == vlXmlTag;
}

bool TvlXmlIn::Next_SearchForBefore(TvlXmlTags vlXmlTag, std::initializer_list<TvlXmlTags> StopAt) {
  for (;;) {
    if (FCurrentTag == vlXmlTag) return true;
    if (FCurrentTag == xtFlag_Done) return false;
    for (TvlXmlTags stop : StopAt)
      if (FCurrentTag == stop) return false;
    NextRecognizedTag();
  }
}

bool TvlXmlIn::CurrentTagStrictlyIs(TvlXmlTags vlXmlTag) {
  if (FCurrentTag == vlXmlTag) return true;
  const std::string_view expected = TagText(vlXmlTag);
  ReportProblemInDebug(QStringLiteral("Expecting CurrentTag to be \"") +
                       QString::fromLatin1(expected.data(), qsizetype(expected.size())) +
                       QStringLiteral("\" but was at ") + TraceLine());
  return false;
}

void TvlXmlIn::ReportProblem(const QString &Text) {
  FProblems.append(Text);
  ErrorReport(false, Text);
}

void TvlXmlIn::ReportProblemInDebug(const QString &Text) {
  // Kept before it is logged: in DebugMode the report interrupts.
  FProblems.append(Text);
  ErrorReportInDebug(Text);
}

void TvlXmlIn::SkipLine(const QString &Reason) {
  ReportProblem(Reason + QStringLiteral(": ") + TraceLine());
  NextRecognizedTag();
}

bool TvlXmlIn::BeginBlock(TvlXmlTags Header, TvlXmlTags FirstElement) {
  const std::string_view header = TagText(Header);
  const QString name = QString::fromLatin1(header.data(), static_cast<qsizetype>(header.size()));
  if (FCurrentTag == FirstElement) {
    ReportProblem(QStringLiteral("The ") + name +
                  QStringLiteral(" line is missing; the block starts at ") + TraceLine());
    return true;
  }
  if (FCurrentTag != Header) return false;
  NextRecognizedTag();
  while (FCurrentTag == Header)
    SkipLine(QStringLiteral("A second ") + name + QStringLiteral(" line, skipped"));
  return true;
}

void TvlXmlIn::WarnIfCurrentTagIsNot(TvlXmlTags vlXmlTag) { CurrentTagStrictlyIs(vlXmlTag); }

QString TvlXmlIn::Line() const { return DecodeWin1252(FLine); }

QString TvlXmlIn::TraceLine() const {
  QByteArrayView shown = FLine.trimmed();
  const bool cut = shown.size() > kTraceLineLimit;
  if (cut) shown = shown.first(kTraceLineLimit);
  return QStringLiteral("Line No. ") + QString::number(FLineNum) + QStringLiteral(":  \"") +
         DecodeWin1252(shown) + (cut ? QStringLiteral("...\"") : QStringLiteral("\""));
}

bool TvlXmlIn::GetRaw(QAnyStringView Name, QByteArrayView &Value) const {
  if (FCurrentTag == xtFlag_Done || FLine.isEmpty()) return false;
  const TAttributePattern pattern(Name);
  const std::string_view text = pattern.View();
  const auto *found = static_cast<const char *>(
      memmem(FLine.data(), std::size_t(FLine.size()), text.data(), text.size()));
  if (!found) return false;
  const char *start = found + text.size();
  const char *lineEnd = FLine.data() + FLine.size();
  const auto *close =
      static_cast<const char *>(std::memchr(start, '"', std::size_t(lineEnd - start)));
  if (!close) return false;  // cut short: the value may be incomplete
  Value = QByteArrayView(start, close - start);
  return true;
}

bool TvlXmlIn::Get(QAnyStringView Name, QString &Value) const {
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) {
    Value.clear();
    return false;
  }
  Value = DecodeWin1252(raw);
  return true;
}

bool TvlXmlIn::GetE(QAnyStringView Name, QString &Value) const {
  if (!Get(Name, Value)) return false;
  Value = DecodeEntities(Value);
  return true;
}

bool TvlXmlIn::Get(QAnyStringView Name, int &Value) const {
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) return false;
  std::int32_t parsed = 0;
  if (!ParseInt32(raw, parsed)) {
    Value = kIntegerSentinel;
    return false;
  }
  Value = parsed;
  return parsed != kIntegerSentinel;
}

bool TvlXmlIn::Get(QAnyStringView Name, long long &Value) const {
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) return false;
  std::int64_t parsed = 0;
  if (!ParseInt64(raw, parsed)) {
    Value = kInt64Sentinel;
    return false;
  }
  Value = parsed;
  return parsed != kInt64Sentinel;
}

bool TvlXmlIn::Get(QAnyStringView Name, long &Value) const {
  long long value = Value;
  const bool found = Get(Name, value);
  Value = static_cast<long>(value);
  return found;
}

bool TvlXmlIn::Get(QAnyStringView Name, float &Value) const {
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) return false;
  if (!ParseSingle(raw, Value)) {
    Value = kSingleSentinel;
    return false;
  }
  return true;
}

bool TvlXmlIn::Get(QAnyStringView Name, double &Value) const {
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) return false;
  if (!ParseDouble(raw, Value)) {
    Value = kDoubleSentinel;
    return false;
  }
  return true;
}

bool TvlXmlIn::GetDT(QAnyStringView Name, TDateTime &Value) const {
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) return false;
  if (!ParseDateTimeDays(raw, Value)) {
    Value = kDateTimeSentinel;
    return false;
  }
  return true;
}

bool TvlXmlIn::Get(QAnyStringView Name, bool &Value) const {
  Value = false;
  QByteArrayView raw;
  if (!GetRaw(Name, raw) || raw.isEmpty()) return false;
  switch (raw.front()) {
    case 'T':
    case 't': Value = true; return true;
    case 'F':
    case 'f': return true;
    default: return false;
  }
}

bool TvlXmlIn::Get(QAnyStringView Name, QChar &Value) const {
  QString text;
  if (!Get(Name, text)) return false;
  if (text.size() != 1) text = DecodeEntities(text);
  if (text.size() != 1) return false;
  Value = text.front();
  return true;
}

bool TvlXmlIn::Get(QAnyStringView Name, TFontStyles &Value) const {
  Value = TFontStyles();
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) return false;
  for (char letter : raw) {
    switch (letter) {
      case 'B': Value |= fsBold; break;
      case 'I': Value |= fsItalic; break;
      case 'U': Value |= fsUnderline; break;
      case 'S': Value |= fsStrikeOut; break;
      default: break;
    }
  }
  return true;
}

bool TvlXmlIn::Get(QAnyStringView Name, TSide &Value) const {
  Value = sLeft;
  QByteArrayView raw;
  if (!GetRaw(Name, raw) || raw.isEmpty()) return false;
  switch (raw.front()) {
    case 'R': Value = sRight; break;
    case 'U': Value = sUnknown; break;
    default: Value = sLeft; break;
  }
  return true;
}

bool TvlXmlIn::Get(QAnyStringView Name, TKindOfEvent &Value) const {
  Value = koeNone;
  QByteArrayView raw;
  if (!GetRaw(Name, raw) || raw.isEmpty()) return false;
  switch (raw.front()) {
    case 'M': Value = koeMarker; break;
    case 'L': Value = koeLabel; break;
    case 'T': Value = koeTyping; break;
    case 'S': Value = koeSketching; break;
    case 'W': Value = koeWebDings; break;
    case '1': Value = koeWingDings; break;
    case '2': Value = koeWingDings2; break;
    case '3': Value = koeWingDings3; break;
    default: Value = koeNone; break;
  }
  return Value != koeNone;
}

bool TvlXmlIn::GetC(QAnyStringView Name, TColor &Value) const {
  QByteArrayView raw;
  if (!GetRaw(Name, raw)) return false;
  if (raw.isEmpty() || raw.front() != '#') {
    Value = clYellow;
    return true;
  }
  QByteArrayView digits = raw.sliced(1);
  if (digits.size() < 6 || digits.size() > 8) return false;
  char swapped[8];
  for (qsizetype i = 0; i < digits.size(); ++i) {
    const char c = digits[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    if (!hex) return false;
    swapped[i] = c;
  }
  // The writer exchanged the first and third pairs; exchanging them again undoes it.
  std::swap(swapped[0], swapped[4]);
  std::swap(swapped[1], swapped[5]);
  std::uint32_t value = 0;
  for (qsizetype i = 0; i < digits.size(); ++i) {
    const char c = swapped[i];
    const std::uint32_t nibble = c <= '9'   ? std::uint32_t(c - '0')
                                 : c <= 'F' ? std::uint32_t(c - 'A' + 10)
                                            : std::uint32_t(c - 'a' + 10);
    value = (value << 4) | nibble;
  }
  Value = static_cast<TColor>(value);
  return true;
}

QByteArray TvlXmlIn::EmptyBinderBytes() {
  static const char16_t *const kLines[] = {
      (u"<BoundNotes Version=\"2\" Generator=\"Vellomar\u00AE Software for Taking Notes\" "
       u"WhenSaved=\"2010-11-02 18:31 31.2\" TabCount=\"1\" ActiveTab=\"0\">"),
      u"<EarlyNotice TabIndex=\"0\" TabTitle=\"\">",
      u"<DocTab TabTitle=\"\" TabIndex=\"0\">",
      u"<ScrollPos VSB=\"1\">",
      u"<CaretPos SN=\"0\" CN=\"1\">",
      u"<Sections>",
      u"<P ID=\"0\">",
      u"<Text N=\"1\" T=\"&f1;&10;\">",
      u"<When L=\"(0,0)(0,0)\">",
      u"</P>",
      u"</Sections>",
      u"<Fonts>",
      u"<Font Index=\"0\" Name=\"Veranda\" Style=\"\" Size=\"12\" Color=\"#000000\">",
      u"<Font Index=\"1\" Name=\"Comic Sans MS\" Style=\"\" Size=\"10\" Color=\"#000080\">",
      u"</Fonts>",
      u"<Insets>",
      u"</Insets>",
      u"</DocTab>",
      u"</BoundNotes>",
  };
  QByteArray bytes;
  for (const char16_t *line : kLines) {
    AppendEncodedWin1252(bytes, QStringView(line));
    bytes.append("\r\n");
  }
  return bytes;
}

QString TvlXmlIn::File_CreateEmptyBinderFile() {
  const QString folder = AppPaths().DocumentsFolder();
  const QString path = folder + QStringLiteral("/Empty Binder.vl");
  QDir().mkpath(folder);
  TvlAtomicFileTarget target;
  const QByteArray bytes = EmptyBinderBytes();
  if (!target.Open(path) || !target.Write(bytes.constData(), bytes.size()) || !target.Commit()) {
    target.Cancel();
    ErrorReport(false, QStringLiteral("The empty binder could not be written: ") + path +
                           QStringLiteral(" (") + target.ErrorString() + QLatin1Char(')'));
    return QString();
  }
  return path;
}
