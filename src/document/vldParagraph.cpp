#include "vldParagraph.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlClock.h"
#include "vlGlobals.h"

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

void TParagraph::MyAssign(const TSection &Source) {
  TRichString::MyAssign(Source);
  if (const auto *p = dynamic_cast<const TParagraph *>(&Source); p && p != this)
    AnchoredInsets = p->AnchoredInsets;
}

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

QString TParagraph::IO_Load(TvlXmlIn &In) {
  QString problems;
  if (In.CurrentTagStrictlyIs(xtParagraphBegin_)) {
    int id = 0;
    const bool haveID = In.Get("ID", id);
    // Past the P line in every case: a P line without a usable ID is passed over, and what
    // follows it still loads into this paragraph.
    In.NextRecognizedTag();
    if (haveID) {
      const int actual = SectionNumber_LookUp();
      if (id != actual)
        ErrorReportInDebug(
            QStringLiteral("P.IO_L: Expected coincidence failed: %1 <> %2").arg(id).arg(actual));
    }
  }
  while (In.CurrentTag() == xtInsetAnchor_) {
    int x = 0;
    if (!In.Get("x", x) || x < 0) {
      problems += QStringLiteral("Can't anchor inset: ") + In.TraceLine();
    } else {
      // The insets block may list the same anchor again; a handle is anchored once.
      bool listed = false;
      for (int i = 1; i <= AnchoredInsets.Count() && !listed; ++i)
        listed = AnchoredInsets.GetHandle(i) == x;
      if (!listed) AnchoredInsets.AppendHandle(x);
    }
    In.NextRecognizedTag();
  }
  // The text's own repairs (padding, clipping, a wrong count) are not the caller's to show:
  // they would put whole paragraphs in a message box. They go to the error log.
  const QString textProblems = TRichString::IO_Load(In);
  if (!textProblems.isEmpty()) ErrorReport(false, textProblems);
  if (In.CurrentTagStrictlyIs(xtParagraphEnd)) In.NextRecognizedTag();
  return problems;
}
