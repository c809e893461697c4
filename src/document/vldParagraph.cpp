#include "vldParagraph.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vldInsetsStorage.h"

#include <algorithm>
#include <stdexcept>

namespace {

// The two "storage is not empty" messages share one report per run: a document that forgets to
// release records forgets it for every paragraph.
bool gStorageReported = false;

void CheckHandle(int RegistrationHandle) {
  if (RegistrationHandle < FirstFormatterHandle || RegistrationHandle > LastFormatterHandle)
    throw std::out_of_range("formatter handle outside 1..3");
}

}  // namespace

std::unique_ptr<TAuxInfoType> NewParagraphInfo() { return std::make_unique<TParagraphInfo>(); }

TAuxInfoClass TAuxInfoUsageMonitor::GetAuxInfoType(int RegistrationHandle) const {
  CheckHandle(RegistrationHandle);
  return FAuxInfoType[static_cast<std::size_t>(RegistrationHandle)];
}

void TAuxInfoUsageMonitor::SetAuxInfoType(int RegistrationHandle, TAuxInfoClass Value) {
  CheckHandle(RegistrationHandle);
  FAuxInfoType[static_cast<std::size_t>(RegistrationHandle)] = Value;
}

TParagraph::TParagraph(TSectionContainer *OwningDocument, TFontIndex Font,
                       const TAuxInfoUsageMonitor *UsageMonitor)
    : MemberOfDoc(OwningDocument) {
  if (MemberOfDoc) MemberOfDoc->Section_LayoutTouched();
  FNLWhen = TimestampForNewText(Now());
  FNLFont = Font;
  FGroupTimestamp = NullTimestamp;
  if (UsageMonitor) UpdateAuxInfoAsSpecifiedBy(*UsageMonitor);
}

TParagraph::~TParagraph() {
  if (MemberOfDoc) MemberOfDoc->Section_LayoutTouched();
  if (!HasStorage()) return;
  // A report may interrupt (DebugMode); nothing may leave a destructor.
  try {
    ReportStorageNotEmpty(QStringLiteral("TParagraph.Destroy: Object's storage is not empty."));
  } catch (...) {
  }
}

bool TParagraph::HasStorage() const {
  for (int h = FirstFormatterHandle; h <= LastFormatterHandle; ++h)
    if (FStorage[static_cast<std::size_t>(h)]) return true;
  return false;
}

void TParagraph::ReportStorageNotEmpty(const QString &Msg) const {
  if (gStorageReported) return;
  gStorageReported = true;
  ErrorReportInDebug(Msg);
}

void TParagraph::ResetStorageReportForTests() { gStorageReported = false; }

void TParagraph::MyAssign(const TSection &Source) { TRichString::MyAssign(Source); }

void TParagraph::Clear() {
  TRichString::Clear();
  FGroupTimestamp = NullTimestamp;
  if (HasStorage())
    ReportStorageNotEmpty(QStringLiteral("TParagraph.Clear: Object's storage is not empty."));
}

TAuxInfoType *TParagraph::GetStorage(int RegistrationHandle) const {
  CheckHandle(RegistrationHandle);
  return FStorage[static_cast<std::size_t>(RegistrationHandle)].get();
}

void TParagraph::SetStorage(int RegistrationHandle, std::unique_ptr<TAuxInfoType> Value) {
  CheckHandle(RegistrationHandle);
  FStorage[static_cast<std::size_t>(RegistrationHandle)] = std::move(Value);
}

void TParagraph::StorageFreeAndNil(int RegistrationHandle) {
  CheckHandle(RegistrationHandle);
  FStorage[static_cast<std::size_t>(RegistrationHandle)].reset();
}

void TParagraph::UpdateAuxInfoAsSpecifiedBy(const TAuxInfoUsageMonitor &UsageMonitor) {
  for (int h = FirstFormatterHandle; h <= LastFormatterHandle; ++h) {
    auto &slot = FStorage[static_cast<std::size_t>(h)];
    const TAuxInfoClass wanted = UsageMonitor.GetAuxInfoType(h);
    if (slot && !wanted)
      slot.reset();
    else if (!slot && wanted)
      slot = wanted();
  }
}

int TParagraph::SectionNumber_LookUp() const {
  if (!MemberOfDoc) {
    ErrorReportInDebug(QStringLiteral("Error at \"P.SN_LU\""));
    return 0;
  }
  return MemberOfDoc->Paragraph_GetSectionNumOf(this);
}

void TParagraph::IO_Save(TvlXmlOut &Out, int ID) const {
  Out.Insert_TagOpenForAttributes(xtParagraphBegin_);
  Out.Insert_Attribute("ID", ID);
  Out.Insert_TagClose_NoMoreAttributes();
  for (int i = 1; i <= AnchoredInsets.Count(); ++i) {
    Out.Insert_TagOpenForAttributes(xtInsetAnchor_);
    Out.Insert_Attribute("x", static_cast<int>(AnchoredInsets.GetHandle(i)));
    Out.Insert_TagClose_NoMoreAttributes();
  }
  TRichString::IO_Save(Out);
  Out.Insert_TagWithoutAttributes(xtParagraphEnd);
}

namespace {

// The lines of one P element in their order in the file; a loader's stage is the last one read.
enum TParagraphStage { psNone, psP, psAnchor, psPWhen, psText, psWhen };

// Lines that end a paragraph even without its "</P>": the end of the sections, the start of a
// later block, the end of the tab's block.
bool EndsParagraph(TvlXmlTags Tag) {
  return Tag == xtSectionsEnd || Tag == xtFontsBegin || Tag == xtInsetsBegin || EndsNotesBlock(Tag);
}

}  // namespace

QString TParagraph::IO_Load(TvlXmlIn &In) {
  // Lines are taken in their order; one that comes again or out of order is skipped and
  // reported, so that a stray, doubled or missing line costs only itself. A line that can only
  // start the next paragraph (a P, PWhen or Text line after this paragraph's text) ends this one.
  QString problems;
  QStringList repairs;
  TParagraphStage stage = psNone;
  if (In.CurrentTag() != xtParagraphBegin_ && !EndsParagraph(In.CurrentTag()))
    In.ReportProblem(QStringLiteral("A paragraph without its P line starts at ") + In.TraceLine());
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == xtParagraphEnd) {
      In.NextRecognizedTag();
      break;
    }
    if (tag == xtParagraphBegin_) {
      if (stage >= psText) {
        In.CurrentTagStrictlyIs(xtParagraphEnd);
        break;
      }
      if (stage == psP) {
        In.SkipLine(QStringLiteral("A second P line, skipped"));
        continue;
      }
      int id = 0;
      const bool haveID = In.Get("ID", id);
      if (haveID && MemberOfDoc) {
        const int actual = SectionNumber_LookUp();
        if (id != actual)
          In.ReportProblemInDebug(
              QStringLiteral("P.IO_L: Expected coincidence failed: %1 <> %2").arg(id).arg(actual));
      }
      stage = psP;
      In.NextRecognizedTag();
      continue;
    }
    if (tag == xtInsetAnchor_) {
      int x = 0;
      if (!In.Get("x", x) || x < 0) {
        problems += QStringLiteral("Can't anchor inset: ") + In.TraceLine();
      } else {
        // The insets block names the anchor again; a handle is anchored once.
        if (!TInsetsStorage::ListFromFile(*this, x))
          In.ReportProblem(QStringLiteral("Inset #%1 is listed twice in one paragraph: ").arg(x) +
                           In.TraceLine());
      }
      stage = std::max(stage, psAnchor);
      In.NextRecognizedTag();
      continue;
    }
    if (tag == xtPWhen_) {
      if (stage >= psWhen) {
        In.CurrentTagStrictlyIs(xtParagraphEnd);
        break;
      }
      if (stage >= psPWhen) {
        In.SkipLine(QStringLiteral("A PWhen line out of place, skipped"));
        continue;
      }
      IO_LoadPWhen(In);
      stage = psPWhen;
      continue;
    }
    if (tag == xtText_) {
      if (stage >= psWhen) {
        In.CurrentTagStrictlyIs(xtParagraphEnd);
        break;
      }
      if (stage == psText) {
        In.SkipLine(QStringLiteral("A second Text line, skipped"));
        continue;
      }
      repairs.append(IO_LoadText(In));
      stage = psText;
      continue;
    }
    if (tag == xtWhen_) {
      if (stage == psText) {
        repairs.append(IO_LoadWhen(In));
        stage = psWhen;
      } else {
        In.SkipLine(stage == psWhen ? QStringLiteral("A second When line, skipped")
                                    : QStringLiteral("A When line without its Text line, skipped"));
      }
      continue;
    }
    if (EndsParagraph(tag)) {
      if (stage != psNone) In.CurrentTagStrictlyIs(xtParagraphEnd);
      break;
    }
    In.SkipLine(QStringLiteral("A line out of place in a paragraph, skipped"));
  }
  if (stage != psNone && stage < psText)
    repairs.append(QStringLiteral("A paragraph without its Text line: its text is lost"));
  if (stage == psText)
    repairs.append(QStringLiteral("A paragraph without its When line: its moments are lost"));
  repairs.append(IO_LoadFinish());
  // The text's own repairs (padding, clipping, a wrong count) are not the caller's to show:
  // they would put whole paragraphs in a message box. They are problems of the file's structure.
  for (const QString &repair : repairs)
    if (!repair.isEmpty()) In.ReportProblem(repair);
  return problems;
}
