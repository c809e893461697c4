// Feeds arbitrary bytes to the notes file reader as a loader would walk them, and checks that
// every value read survives being written and read again. Any crash, leak, undefined behaviour
// or broken round trip is a finding.

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlAppPaths.h"
#include "vlEntities.h"
#include "vlFuzzSupport.h"
#include "vlGlobals.h"
#include "vlNumberForms.h"
#include "vlPrompts.h"
#include "vlWin1252.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

const char *const kNames[] = {"Index", "Name",     "Style", "Size", "Color", "T",  "N",
                              "L",     "ID",       "K",     "W",    "C",     "x",  "Handle",
                              "vTop",  "TabTitle", "SN",    "GN",   "EOL",   "VSB"};

// Writes one attribute through the writer and reads it back through the reader.
template <typename TWrite, typename TRead>
void RoundTrip(TWrite &&Write, TRead &&Read) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  Check(out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("round-trip")));
  out.Insert_TagOpenForAttributes(xtFont_);
  Write(out);
  out.Insert_TagClose_NoMoreAttributes();
  Check(out.ErrorCount() == 0);
  Check(out.File_Close());
  TvlXmlIn in;
  QString problem;
  Check(in.Bytes_Open(memory->Bytes(), QStringLiteral("round-trip"), problem));
  Check(in.CurrentTag() == xtFont_);
  Read(in);
}

void VisitCurrentLine(TvlXmlIn &In) {
  (void)In.TraceLine();
  (void)In.Line();
  for (const char *name : kNames) {
    QString text;
    if (In.Get(name, text)) {
      // Any text that was read must come through escaping and the code page unchanged.
      Check(DecodeEntities(DecodeWin1252(EncodeWin1252(EscapeAttributeText(text)))) == text);
    }
    QString escaped;
    if (In.GetE(name, escaped) && escaped.size() < 4096) {
      RoundTrip([&](TvlXmlOut &Out) { Out.Insert_AttributeE("V", escaped); },
                [&](TvlXmlIn &Back) {
                  QString again;
                  Check(Back.GetE("V", again) && again == escaped);
                });
    }
    int integer = 0;
    if (In.Get(name, integer)) {
      RoundTrip([&](TvlXmlOut &Out) { Out.Insert_Attribute("V", integer); },
                [&](TvlXmlIn &Back) {
                  int again = 0;
                  Check(Back.Get("V", again) && again == integer);
                });
    }
    long long big = 0;
    (void)In.Get(name, big);
    double real = 0;
    if (In.Get(name, real)) {
      double again = 0;
      Check(ParseDouble(FormatTimestampNumber(real), again));
    }
    TDateTime moment = 0;
    if (In.GetDT(name, moment)) {
      Check(moment >= MinDateTimeDays && moment < MaxDateTimeDays);
      double again = 0;
      Check(ParseDateTimeDays(FormatDouble16(moment), again));
    }
    float single = 0;
    if (In.Get(name, single)) {
      float again = 0;
      Check(ParseSingle(FormatCompactSingle(single), again));
    }
    bool flag = false;
    (void)In.Get(name, flag);
    QChar character;
    (void)In.Get(name, character);
    TFontStyles styles;
    (void)In.Get(name, styles);
    TSide side = sLeft;
    (void)In.Get(name, side);
    TKindOfEvent kind = koeNone;
    (void)In.Get(name, kind);
    TColor colour = 0;
    if (In.GetC(name, colour)) {
      RoundTrip([&](TvlXmlOut &Out) { Out.Insert_AttributeC("V", colour); },
                [&](TvlXmlIn &Back) {
                  TColor again = 0;
                  Check(Back.GetC("V", again) && again == colour);
                });
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  const QByteArray bytes(reinterpret_cast<const char *>(Data), qsizetype(Size));
  TvlXmlIn in;
  // Small reads and a small line cap put the chunk and cap boundaries inside the input.
  in.SetChunkSize(Size > 0 ? 1 + Data[0] % 61 : 1);
  in.SetMaxLineLength(Size > 1 && Data[1] % 4 == 0 ? 64 : TvlXmlIn::DefaultMaxLineLength);
  QString problem;
  if (!in.Bytes_Open(bytes, QStringLiteral("fuzz"), problem)) return 0;
  int steps = 0;
  while (!in.EndOfFile() && ++steps < 10000) {
    VisitCurrentLine(in);
    switch (in.CurrentTag()) {
      case xtCaretPos_:
        in.Next_SearchForBefore(xtScrollPos_, {xtSectionsBegin, xtDocTabEnd, xtNotesDocEnd});
        break;
      case xtFontsBegin: in.CurrentTagStrictlyIs(xtFontsBegin); break;
      case xtParagraphBegin_: in.WarnIfCurrentTagIsNot(xtText_); break;
      default: break;
    }
    in.NextRecognizedTag();
  }
  Check(in.Next_SearchFor(xtFont_) == (in.CurrentTag() == xtFont_));
  return 0;
}
