#include "vl_Document.h"

#include "vl09_Iterator.h"
#include "vlClock.h"
#include "vlDateTime.h"
#include "vlGlobals.h"
#include "vldGraphic.h"
#include "vldStorage.h"
#include "vldUndoHistory.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <unordered_set>

namespace {

// Context moments below this many days are no moment: new text then gets the broker's moment.
constexpr double NoMomentBelow = 100;
// Steps after the neighbour's moment: inside a word the next character follows at once; a new
// word after spaces starts a little later, so that words stay apart on the timelines.
constexpr double InWordStepDays = 1e-6;
constexpr double NewWordStepDays = 1.01 / SecsPerDay;

constexpr int MinRelativeSize = 4;
constexpr int MaxRelativeSize = 288;

bool IsBlank(QChar C) {
  const char16_t u = C.unicode();
  return u == 32 || u == 9 || u == 10 || u == 0 || u == 4;
}

// Indices below 0 would be written into files as text that reads back as characters.
TFontIndex StorableFont(TFontIndex F) { return F < 0 ? TFontIndex{0} : F; }

}  // namespace

// ---- Creation ------------------------------------------------------------------------------

TDocument::TDocument() {
  FCurrentFontX = NewDocumentFont();
  Sections.push_back(NewParagraph());
}

TFontIndex TDocument::NewDocumentFont() {
  // Comic Sans MS 10, navy on white: index 1 of a fresh table.
  return FontsInUse.GetFontIndex(QStringLiteral("Comic Sans MS"), 0, 10, 0x800000, clWhite,
                                 TFontStyles());
}

TDocument::~TDocument() {
  FUndo.reset();
  // Insets point at paragraphs: they go first. Layout records are released before their
  // paragraphs, as a paragraph expects.
  InsetsStorage.ClearAll();
  for (auto &s : Sections) ReleaseLayoutRecords(*s);
  Sections.clear();
}

std::unique_ptr<TParagraph> TDocument::NewParagraph() {
  return std::make_unique<TParagraph>(this, FCurrentFontX, &AuxInfoUsageMonitor);
}

void TDocument::ReleaseLayoutRecords(TSection &S) const {
  if (auto *p = dynamic_cast<TParagraph *>(&S))
    for (int h = FirstFormatterHandle; h <= LastFormatterHandle; ++h) p->StorageFreeAndNil(h);
}

void TDocument::UpdateAllLayoutRecords() {
  for (auto &s : Sections)
    if (auto *p = dynamic_cast<TParagraph *>(s.get()))
      p->UpdateAuxInfoAsSpecifiedBy(AuxInfoUsageMonitor);
}

void TDocument::ClearSections() {
  InsetsStorage.ClearAll();
  Sections_Delete(0, Section_High());
  FAtPos = FAtPosSelect = TCaretPos{0, 1, false};
}

void TDocument::ClearOther() {
  InsetsStorage.ClearAll();
  FontsInUse.Initialize();
  FCurrentFontX = NewDocumentFont();
}

// ---- Sections ------------------------------------------------------------------------------

std::int32_t TDocument::Section_High() const {
  return static_cast<std::int32_t>(Sections.size()) - 1;
}

bool TDocument::Section_Exists(int SectionNumber) const {
  return SectionNumber >= 0 && SectionNumber <= Section_High();
}

TSection *TDocument::Section_At(std::int32_t SectionNumber) const {
  return Section_Exists(SectionNumber) ? Sections[static_cast<std::size_t>(SectionNumber)].get()
                                       : nullptr;
}

TParagraph *TDocument::Paragraph_FromSectionNum(int N) const {
  return dynamic_cast<TParagraph *>(Section_At(N));
}

std::int32_t TDocument::Paragraph_GetSectionNumOf(const TParagraph *P) const {
  if (!P) return -1;
  for (std::int32_t i = Section_High(); i >= 0; --i)
    if (Sections[static_cast<std::size_t>(i)].get() == P) return i;
  return -1;
}

TCaretPos TDocument::Paragraph_LastCaretPos(int N) const {
  const TParagraph *p = Paragraph_FromSectionNum(N);
  return TCaretPos{N, p ? p->After() : 1, false};
}

bool TDocument::Paragraph_LastCharX(int N, TCharX &LastCharX) const {
  const TParagraph *p = Paragraph_FromSectionNum(N);
  LastCharX.SN = N;
  if (p && p->High() > 0) {
    LastCharX.CX = p->High();
    return true;
  }
  LastCharX.CX = 0;
  return false;
}

int TDocument::Paragraph_Length(int N) const {
  const TParagraph *p = Paragraph_FromSectionNum(N);
  return p ? p->Length() : 0;
}

bool TDocument::Paragraph_Next(int &N) const {
  for (int i = std::max(N + 1, 0); i <= Section_High(); ++i)
    if (IsParagraph(i)) {
      N = i;
      return true;
    }
  N = Section_High();
  return false;
}

bool TDocument::Paragraph_Previous(int &N) const {
  for (int i = std::min(N - 1, Section_High()); i >= 0; --i)
    if (IsParagraph(i)) {
      N = i;
      return true;
    }
  return false;
}

int TDocument::Paragraph_Count() const {
  int n = 0;
  for (const auto &s : Sections) n += dynamic_cast<const TParagraph *>(s.get()) ? 1 : 0;
  return n;
}

bool TDocument::Paragraph_MakeSureThereIsOne() {
  if (Paragraph_Count() > 0) return false;
  Sections.push_back(NewParagraph());
  return true;
}

TParagraph &TDocument::Paragraph_Append() {
  Sections.push_back(NewParagraph());
  return static_cast<TParagraph &>(*Sections.back());
}

TOutline TDocument::Paragraph_Outline_Get(int N, QString &InitStr) const {
  if (const TParagraph *p = Paragraph_FromSectionNum(N)) return p->Outline_Get(InitStr);
  InitStr.clear();
  return oNone;
}

void TDocument::Paragraph_Outline_Set(int N, TOutline Outline, const QString &InitStr) {
  TParagraph *p = Paragraph_FromSectionNum(N);
  if (!p) return;
  TellEditing(TEditKind::Outline, N, N, Paragraph_FirstPos(N));
  p->Outline_Set(Outline, InitStr);
  p->FChanged = true;
  Positions_KeepValid();
  // The prefix is text like any other: the formatters must hear of it.
  Notify_Formatters(Paragraph_FirstPos(N), Paragraph_FirstPos(N), Paragraph_LastCaretPos(N));
  if (!HasObservers()) return;
  // The prefix a bullet or number puts in front is stamped now: the record keeps its moments.
  QString prefix;
  p->Outline_Get(prefix);
  TRichString stamped;
  if (!prefix.isEmpty() && prefix.size() <= p->High())
    p->Substr_Rich(1, static_cast<int>(prefix.size()), stamped);
  RDocumentEdit e;
  e.Kind = TEditKind::Outline;
  e.At = Paragraph_FirstPos(N);
  e.Outline = Outline;
  e.Str = InitStr;
  e.Text = &stamped;
  Tell(e);
}

TCaretPos TDocument::Document_LastCaretPos() const {
  for (int i = Section_High(); i >= 0; --i)
    if (const TParagraph *p = Paragraph_FromSectionNum(i)) return TCaretPos{i, p->After(), false};
  return Document_FirstCaretPos();
}

bool TDocument::Document_LastCharX(TCharX &LastCharX) const {
  for (int i = Section_High(); i >= 0; --i)
    if (Paragraph_LastCharX(i, LastCharX)) return true;
  LastCharX = TCharX{0, 0};
  return false;
}

bool TDocument::Document_IsBlank() const {
  for (const auto &s : Sections)
    if (const auto *p = dynamic_cast<const TParagraph *>(s.get()); p && p->High() > 0) return false;
  return true;
}

// ---- Positions -----------------------------------------------------------------------------

bool TDocument::IsValidCaretPosition(const TCaretPos &Pos) const {
  const TParagraph *p = Paragraph_FromSectionNum(Pos.SN);
  return p && p->IsValidCaretPosition(Pos.FGN);
}

bool TDocument::IsValidCaretPosition_Silent(const TCaretPos &Pos) const {
  const TParagraph *p = Paragraph_FromSectionNum(Pos.SN);
  return p && p->IsValidCaretPosition_Silent(Pos.FGN);
}

bool TDocument::IsValidCharIndex(const TCharX &CharX) const {
  const TParagraph *p = Paragraph_FromSectionNum(CharX.SN);
  return p && p->IsValidCharIndex(CharX.CX);
}

bool TDocument::IsValidCharIndex_Silent(const TCharX &CharX) const {
  const TParagraph *p = Paragraph_FromSectionNum(CharX.SN);
  return p && p->IsValidCharIndex_Silent(CharX.CX);
}

bool TDocument::IsValidCaretRange(const TCaretPos &FromPos, const TCaretPos &ToPos) const {
  return IsValidCaretPosition(FromPos) && IsValidCaretPosition(ToPos) &&
         !IsInSequence(ToPos, FromPos);
}

bool TDocument::CaretPosToCharX(const TCaretPos &CaretPos, TCharX &CharX) const {
  CharX = TCharX{CaretPos.SN, CaretPos.FGN};
  const TParagraph *p = Paragraph_FromSectionNum(CaretPos.SN);
  if (!p) return false;
  if (CaretPos.FGN > p->High()) {
    CharX.CX = p->High();
    return false;
  }
  return true;
}

bool TDocument::CaretPosition_TryNext(TCaretPos &CaretPos) const {
  const TParagraph *p = Paragraph_FromSectionNum(CaretPos.SN);
  if (p && CaretPos.FGN < p->After()) {
    CaretPos.FGN = std::max(CaretPos.FGN + 1, 1);
    return true;
  }
  int n = CaretPos.SN;
  if (!Paragraph_Next(n)) return false;
  CaretPos.SN = n;
  CaretPos.FGN = 1;
  return true;
}

bool TDocument::CaretPosition_TryPrevious(TCaretPos &CaretPos) const {
  const TParagraph *p = Paragraph_FromSectionNum(CaretPos.SN);
  if (p && CaretPos.FGN > p->After()) {
    CaretPos.FGN = p->After();
    return true;
  }
  if (p && CaretPos.FGN > 1) {
    --CaretPos.FGN;
    return true;
  }
  int n = CaretPos.SN;
  if (!Paragraph_Previous(n)) return false;
  CaretPos.SN = n;
  CaretPos.FGN = Paragraph_FromSectionNum(n)->After();
  return true;
}

bool TDocument::CharPosition_TryPrevious(TCharX &CharX) const {
  const TParagraph *p = Paragraph_FromSectionNum(CharX.SN);
  if (p && CharX.CX > 1) {
    const int previous = std::min(CharX.CX - 1, p->High());
    if (previous >= 1) {
      CharX.CX = previous;
      return true;
    }
  }
  for (int i = std::min(CharX.SN - 1, Section_High()); i >= 0; --i) {
    TCharX last;
    if (Paragraph_LastCharX(i, last)) {
      CharX = last;
      return true;
    }
  }
  return false;
}

bool TDocument::CaretPosition_AdjustWithinParagraph(int DeltaGN) {
  const TParagraph *p = Paragraph_FromSectionNum(FAtPos.SN);
  if (!p) return false;
  const std::int64_t wanted = std::int64_t{FAtPos.FGN} + DeltaGN;
  const std::int64_t held = std::clamp<std::int64_t>(wanted, 1, p->After());
  FAtPos.FGN = static_cast<std::int32_t>(held);
  Select_Clear();
  return held == wanted;
}

bool TDocument::Position_AtStartOfWord(const TCaretPos &Pos) const {
  const TParagraph *p = Paragraph_FromSectionNum(Pos.SN);
  return p && p->Char_FirstOfWord(Pos.FGN);
}

bool TDocument::Position_AtEndOfWord(const TCaretPos &Pos) const {
  const TParagraph *p = Paragraph_FromSectionNum(Pos.SN);
  return p && p->IsValidCharIndex_Silent(Pos.FGN) && p->Char_LastOfWord(Pos.FGN);
}

TDescribePos TDocument::DescribePos_At(const TCaretPos &At) const {
  const TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p) return dpInSpaces;
  const int g = std::clamp(At.FGN, 1, p->After());
  QChar before = u' ';
  if (g > 1) {
    before = p->Char_GetChar(g - 1);
  } else {
    int n = At.SN;
    if (Paragraph_Previous(n)) before = u'\n';  // the previous paragraph's line break
  }
  const QChar at = p->Char_GetChar(g);
  if (IsBlank(at)) return IsBlank(before) ? dpInSpaces : dpAfterWord;
  return IsBlank(before) ? dpBeforeWord : dpInWord;
}

bool TDocument::Find_CurrentWordAt(const TCaretPos &CaretPos, TCaretPos &StartCaretPos,
                                   TCaretPos &StopCaretPos) const {
  StartCaretPos = StopCaretPos = CaretPos;
  const TParagraph *p = Paragraph_FromSectionNum(CaretPos.SN);
  if (!p) return false;
  int start = CaretPos.FGN, stop = CaretPos.FGN;
  const bool found = p->Find_WordAt(CaretPos.FGN, start, stop);
  StartCaretPos = TCaretPos{CaretPos.SN, start, false};
  StopCaretPos = TCaretPos{CaretPos.SN, stop, false};
  return found;
}

TCaretPos TDocument::ClampedPos(const TCaretPos &Pos) const {
  if (Pos.SN < 0) return Document_FirstCaretPos();
  if (Pos.SN > Section_High()) return Document_LastCaretPos();
  const TParagraph *p = Paragraph_FromSectionNum(Pos.SN);
  if (!p) return Pos;
  TCaretPos out = Pos;
  out.FGN = std::clamp(Pos.FGN, 1, p->After());
  return out;
}

void TDocument::Positions_KeepValid() {
  const auto keep = [this](TCaretPos &P) {
    if (IsValidCaretPosition_Silent(P)) return;
    P = ClampedPos(P);
    if (IsValidCaretPosition_Silent(P)) return;
    // A section that is not a paragraph: the end of the paragraph before it, else the start of
    // the one after it.
    if (!CaretPosition_TryPrevious(P)) CaretPosition_TryNext(P);
  };
  keep(FAtPos);
  keep(FAtPosSelect);
}

// ---- Notifications and counts --------------------------------------------------------------

void TDocument::ChangeCount_Increment() {
  ++FChangeCount;
  ++FChangeCountSinceBackup;
  for (TDocumentEditObserver *o : FObservers) o->Document_ChangeCounted(*this);
}

void TDocument::Notify_Formatters(const TCaretPos &FromPos, const TCaretPos &OldToPos,
                                  const TCaretPos &NewToPos) {
  // An edit may have removed the sections its positions named; formatters and the change marks
  // only ever see sections that exist.
  const TCaretPos from = ClampedPos(FromPos), oldTo = ClampedPos(OldToPos),
                  newTo = ClampedPos(NewToPos);
  for (int h = FirstFormatterHandle; h <= LastFormatterHandle; ++h)
    if (NotifyList[static_cast<std::size_t>(h)])
      NotifyList[static_cast<std::size_t>(h)](from, oldTo, newTo);
  ChangeCount_Increment();
  if (FChangeCount % 2 == 0 && UndoSnapshotRequest) UndoSnapshotRequest(*this);
  for (int sn = std::max(from.SN, 0); sn <= std::min(newTo.SN, Section_High()); ++sn)
    Sections[static_cast<std::size_t>(sn)]->FChanged = true;
}

TFormatterHandle TDocument::Notify_RegisterFormatter(TNotifyFormatterEvent CallBackProcedure,
                                                     TAuxInfoClass AuxInfoType) {
  for (int h = FirstFormatterHandle; h <= LastFormatterHandle; ++h) {
    auto &slot = NotifyList[static_cast<std::size_t>(h)];
    if (slot) continue;
    // An empty callback would leave the slot looking free.
    slot = CallBackProcedure ? std::move(CallBackProcedure)
                             : [](const TCaretPos &, const TCaretPos &, const TCaretPos &) {};
    AuxInfoUsageMonitor.SetAuxInfoType(h, AuxInfoType);
    UpdateAllLayoutRecords();
    return static_cast<TFormatterHandle>(h);
  }
  ErrorReportInDebug(QStringLiteral("Need to raise MaxFormatters"));
  throw std::out_of_range("Need to raise MaxFormatters");
}

void TDocument::Notify_UnregisterFormatter(TFormatterHandle RegistrationHandle) {
  const int h = RegistrationHandle;
  if (h < FirstFormatterHandle || h > LastFormatterHandle) return;
  NotifyList[static_cast<std::size_t>(h)] = nullptr;
  AuxInfoUsageMonitor.SetAuxInfoType(h, nullptr);
  UpdateAllLayoutRecords();
}

// ---- Section list primitives ---------------------------------------------------------------

void TDocument::Paragraph_Insert(int N) {
  N = std::clamp(N, 0, Section_High() + 1);
  Sections.insert(Sections.begin() + N, NewParagraph());
  Notify_Formatters(TCaretPos{N, 1, false}, TCaretPos{N, 1, false}, Paragraph_LastCaretPos(N));
  ChangeCount_Increment();
}

void TDocument::Sections_Delete(int First, int Last) {
  First = std::max(First, 0);
  Last = std::min(Last, Section_High());
  if (First > Last) return;
  std::unordered_set<const TParagraph *> leaving;
  for (int i = First; i <= Last; ++i) {
    TSection &s = *Sections[static_cast<std::size_t>(i)];
    s.FChanged = true;
    ReleaseLayoutRecords(s);
    if (const auto *p = dynamic_cast<const TParagraph *>(&s)) leaving.insert(p);
    if (&s == FGraphic_Merge) FGraphic_Merge = nullptr;
  }
  // Insets keep no pointer to a freed paragraph: those anchored there stay in the storage
  // without an anchor (a picture is never destroyed by deleting text).
  InsetsStorage.ForgetParagraphs(leaving);
  Sections.erase(Sections.begin() + First, Sections.begin() + Last + 1);
  if (Sections.empty()) Sections_ResetToOneParagraph(FCurrentFontX);
}

void TDocument::Sections_ResetToOneParagraph(TFontIndex Font) {
  for (auto &s : Sections) ReleaseLayoutRecords(*s);
  Sections.clear();
  auto p = NewParagraph();
  p->FNLFont = Font;
  Sections.push_back(std::move(p));
}

void TDocument::Paragraph_JoinNext(int N) {
  TParagraph *p = Paragraph_FromSectionNum(N);
  if (!p) return;
  int next = N;
  if (!Paragraph_Next(next)) return;
  TParagraph *q = Paragraph_FromSectionNum(next);
  if (q->High() > 0) p->SubStr_Append(*q);
  // The absorbed paragraph's pictures belong to the text that now lives in N.
  InsetsStorage.MoveAnchors(*q, *p);
  Section_Delete(next);
  ChangeCount_Increment();
}

void TDocument::Paragraph_Split(const TCaretPos &At, const RvlTimestamp &SplitWhen,
                                const RvlTimestamp &NewWhen) {
  TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p) return;
  const int from = std::clamp(At.FGN, 1, p->After());
  Paragraph_Insert(At.SN + 1);
  TParagraph *q = Paragraph_FromSectionNum(At.SN + 1);
  q->FNLWhen = NewWhen;
  if (from <= p->High()) {
    q->SubStr_InsertSubstr(*p, from, p->High(), 1);
    p->SubStr_Delete(from, p->High());
  }
  p->FNLWhen = SplitWhen;
  ChangeCount_Increment();
}

TDocument::RSplitMoments TDocument::SplitMomentsNow() {
  const TDateTime now = Now();
  return RSplitMoments{RvlTimestamp{now, now}, TimestampForNewText(now)};
}

// ---- Moments and typing events -------------------------------------------------------------

TDateTime TDocument::Timestamp_Effective_ContextAtPos(QChar NextChar) const {
  return Timestamp_Effective_ContextAt(NextChar, FAtPos);
}

TDateTime TDocument::Timestamp_Effective_ContextAt(QChar NextChar, const TCaretPos &At) const {
  const TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p || p->High() == 0) return 0;
  const int g = std::clamp(At.FGN, 1, p->After());
  if (g < 2) {
    const TDateTime after = p->Timestamp_Get(1).FEffectiveDT;
    return after >= NoMomentBelow && IsValidDateTime(after) ? after : 0;
  }
  // A neighbour without a moment (text loaded without one) gives no context, so that the broker
  // can fall back to the playback position instead of a moment in 1899.
  const TDateTime before = p->Timestamp_Get(g - 1).FEffectiveDT;
  if (!(before >= NoMomentBelow) || !IsValidDateTime(before)) return 0;
  const TDescribePos d = DescribePos_At(TCaretPos{At.SN, g, false});
  const bool inWord = d == dpInWord || d == dpAfterWord || NextChar == u' ';
  return before + (inWord ? InWordStepDays : NewWordStepDays);
}

void TDocument::Events_AddToListIfNotDuplicating(QChar Ch, const RvlTimestamp &DualTS) const {
  TypingEventSink().AddTypingEvent(TypingEventMoment(DualTS), TypingEventText(Ch));
}

void TDocument::Events_AddManyToListIfNotDuplicating(const TRichString &PolyRichStr) const {
  for (int i = 1; i <= PolyRichStr.High(); ++i)
    Events_AddToListIfNotDuplicating(PolyRichStr.Char_GetChar(i), PolyRichStr.Timestamp_Get(i));
}

void TDocument::Events_UnlistForCaretPos(const TCaretPos &CaretPos) const {
  const TParagraph *p = Paragraph_FromSectionNum(CaretPos.SN);
  if (p && p->IsValidCharIndex_Silent(CaretPos.FGN))
    TypingEventSink().DeleteTypingEventAt(TypingEventMoment(p->Timestamp_Get(CaretPos.FGN)),
                                          TypingEventText(p->Char_GetChar(CaretPos.FGN)));
}

void TDocument::Events_UnlistForCharXRange(const TCharX &First, const TCharX &Last) const {
  const int last = std::min(Last.SN, Section_High());
  for (int sn = std::max(First.SN, 0); sn <= last; ++sn) {
    const TParagraph *p = Paragraph_FromSectionNum(sn);
    if (!p) continue;
    const int a = std::max(sn == First.SN ? First.CX : 1, 1);
    const int b = std::min(sn == Last.SN ? Last.CX : p->High(), p->High());
    for (int i = a; i <= b; ++i)
      TypingEventSink().DeleteTypingEventAt(TypingEventMoment(p->Timestamp_Get(i)),
                                            TypingEventText(p->Char_GetChar(i)));
  }
}

void TDocument::UnlistCaretSpan(const TCaretPos &Start, const TCaretPos &Stop) const {
  Events_UnlistForCharXRange(TCharX{Start.SN, Start.FGN}, TCharX{Stop.SN, Stop.FGN - 1});
}

// ---- Edit observers ------------------------------------------------------------------------

void TDocument::EditObserver_Add(TDocumentEditObserver *Observer) {
  if (Observer && std::find(FObservers.begin(), FObservers.end(), Observer) == FObservers.end())
    FObservers.push_back(Observer);
}

void TDocument::EditObserver_Remove(TDocumentEditObserver *Observer) {
  FObservers.erase(std::remove(FObservers.begin(), FObservers.end(), Observer), FObservers.end());
}

void TDocument::Tell(const RDocumentEdit &Edit) const {
  // A copy: an observer may remove itself while it is told.
  const std::vector<TDocumentEditObserver *> observers = FObservers;
  for (TDocumentEditObserver *o : observers) o->Document_Edited(*this, Edit);
}

void TDocument::TellEditing(TEditKind Kind, int First, int Last, const TCaretPos &At, QChar Ch,
                            double RealWhen) {
  if (!HasObservers()) return;
  RDocumentEditing e;
  e.Kind = Kind;
  e.Origin = FOrigin;
  e.First = std::clamp(First, 0, Section_High());
  e.Last = std::clamp(Last, e.First, Section_High());
  e.At = At;
  e.Ch = Ch;
  e.RealWhen = RealWhen;
  e.Continues = FGroupDepth > 0 && FGroupLeaves > 0;
  if (FGroupDepth > 0) ++FGroupLeaves;
  const std::vector<TDocumentEditObserver *> observers = FObservers;
  for (TDocumentEditObserver *o : observers) o->Document_Editing(*this, e);
}

void TDocument::TellEditDone() const {
  const std::vector<TDocumentEditObserver *> observers = FObservers;
  for (TDocumentEditObserver *o : observers) o->Document_EditDone(*this);
}

void TDocument::Edit_TellContentChanged() {
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.Kind = TEditKind::Content;
  e.Bytes = IO_SaveToBytes(QString());
  Tell(e);
}

void TDocument::Graphic_BringToFront(TvlGraphic *Graphic) {
  if (!Graphic) return;
  if (FUndo) FUndo->Pictures_Reordering();
  InsetsStorage.BringGraphicToFront(Graphic);
  Edit_TellContentChanged();
}

QString TDocument::RangePlain(const TCharX &First, const TCharX &Last) const {
  QString out;
  const int last = std::min(Last.SN, Section_High());
  bool first = true;
  for (int sn = std::max(First.SN, 0); sn <= last; ++sn) {
    const TParagraph *p = Paragraph_FromSectionNum(sn);
    if (!p) continue;
    if (!first) out += u'\n';
    first = false;
    const int a = std::max(sn == First.SN ? First.CX : 1, 1);
    const int b = std::min(sn == Last.SN ? Last.CX : p->High(), p->High());
    if (a <= b) out += QStringView(p->Text()).mid(a - 1, b - a + 1);
  }
  return out;
}

// ---- Editing -------------------------------------------------------------------------------

namespace {

// While an operation runs, the text it brings in counts as typed or pasted.
class TOriginScope {
 public:
  TOriginScope(TEditOrigin &Field, TEditOrigin Value) : FField(Field), FSaved(Field) {
    Field = Value;
  }
  ~TOriginScope() { FField = FSaved; }
  TOriginScope(const TOriginScope &) = delete;
  TOriginScope &operator=(const TOriginScope &) = delete;

 private:
  TEditOrigin &FField;
  TEditOrigin FSaved;
};

}  // namespace

void TDocument::Text_Type(QStringView Text, TFontIndex Font, bool Overstrike) {
  if (Text.isEmpty()) return;
  TEditGroup group(*this);
  TOriginScope origin(FOrigin, TEditOrigin::Typed);
  if (Select_IsAnyTextSelected()) Select_DeleteSelectedText();
  const TCaretPos at = FAtPos;
  if (Text.size() == 1) {
    const QChar ch = Text[0];
    if (Overstrike && ch != u'\n' && at.FGN <= Paragraph_Length(at.SN))
      Char_Replace(ch, Font, at);
    else
      Char_Insert(ch, Font, at);
    AtPos_NoSelectionSet(ch == u'\n' ? TCaretPos{at.SN + 1, 1, false}
                                     : TCaretPos{at.SN, at.FGN + 1, false});
    return;
  }
  // One moment for the whole commit: it was one act of typing.
  const RvlTimestamp ts = TimestampForNewText(Timestamp_Effective_ContextAt(Text[0], at));
  TRichString rs;
  for (QChar c : Text)
    if (c.isPrint() && c != u'\n') rs.Char_Append(c, Font, ts);
  if (rs.Length() == 0) return;
  TCaretPos newAt = at;
  SubStr_Insert(rs, at, newAt);
  // Typed text, as much as typed keys: every character is listed as a typing event of the day.
  if (!IsSamePos(newAt, at)) Events_AddManyToListIfNotDuplicating(rs);
  AtPos_NoSelectionSet(newAt);
}

bool TDocument::Char_InsertAt(QChar Ch, TFontIndex FontIndex, const TCaretPos &At,
                              const RvlTimestamp &When, const RSplitMoments &Split) {
  TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p || !p->IsValidCaretPosition(At.FGN)) return false;
  TellEditing(TEditKind::Insert, At.SN, At.SN, At, Ch, When.RealDT);
  if (Ch == u'\n')
    Paragraph_Split(At, Split.Split, Split.New);
  else
    p->Char_Insert(Ch, StorableFont(FontIndex), When, At.FGN);
  Notify_Formatters(At, At, Paragraph_LastCaretPos(At.SN));
  ChangeCount_Increment();
  Positions_KeepValid();
  return true;
}

void TDocument::Char_Insert(QChar Ch, TFontIndex FontIndex, const TCaretPos &At) {
  TParagraph *p = Paragraph_FromSectionNum(At.SN);
  // Checked first, so that a character that is never inserted leaves no typing event.
  if (!p || !p->IsValidCaretPosition(At.FGN)) return;
  const RvlTimestamp when = TimestampForNewText(Timestamp_Effective_ContextAt(Ch, At));
  Events_AddToListIfNotDuplicating(Ch, when);
  const RSplitMoments split = Ch == u'\n' ? SplitMomentsNow() : RSplitMoments{};
  const TFontIndex newParagraphFont = FCurrentFontX;
  Char_InsertAt(Ch, FontIndex, At, when, split);
  TellOneChar(TEditKind::Insert, Ch, FontIndex, At, when, split, newParagraphFont);
}

void TDocument::TellOneChar(TEditKind Kind, QChar Ch, TFontIndex Font, const TCaretPos &At,
                            const RvlTimestamp &When, const RSplitMoments &Split,
                            TFontIndex NewParagraphFont, const QString &Removed) const {
  if (!HasObservers()) return;
  TRichString text;
  text.Char_Append(Ch, StorableFont(Font), When);
  RDocumentEdit e;
  e.Kind = Kind;
  e.Origin = FOrigin;
  e.At = At;
  e.Text = &text;
  e.Removed = Removed;
  e.Moment = Split.Split;
  e.Moment2 = Split.New;
  e.Font = NewParagraphFont;
  Tell(e);
}

bool TDocument::Char_ReplaceAt(QChar Ch, TFontIndex Font, const TCaretPos &At,
                               const RvlTimestamp &When, const RSplitMoments &Split) {
  TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p || !p->IsValidCharIndex(At.FGN)) return false;
  TellEditing(TEditKind::CharReplace, At.SN, At.SN, At, Ch);
  if (Ch == u'\n') {
    p->Char_Delete(At.FGN);
    Paragraph_Split(At, Split.Split, Split.New);
  } else {
    p->Char_Replace(Ch, StorableFont(Font), When, At.FGN);
  }
  Notify_Formatters(At, At, Paragraph_LastCaretPos(At.SN));
  ChangeCount_Increment();
  Positions_KeepValid();
  return true;
}

void TDocument::Char_Replace(QChar Ch, TFontIndex Font, const TCaretPos &At) {
  TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p || !p->IsValidCharIndex(At.FGN)) return;
  const RvlTimestamp old = p->Timestamp_Get(At.FGN);
  const QChar removed = p->Char_GetChar(At.FGN);
  const RvlTimestamp when = TimestampForNewText(old.FEffectiveDT);
  const RSplitMoments split = Ch == u'\n' ? SplitMomentsNow() : RSplitMoments{};
  const TFontIndex newParagraphFont = FCurrentFontX;
  Char_ReplaceAt(Ch, Font, At, when, split);
  TellOneChar(TEditKind::CharReplace, Ch, Font, At, when, split, newParagraphFont,
              QString(removed));
}

void TDocument::Char_Delete(const TCaretPos &CaretPos) {
  TParagraph *p = Paragraph_FromSectionNum(CaretPos.SN);
  if (!p || !p->IsValidCaretPosition(CaretPos.FGN)) return;
  const bool atEnd = CaretPos.FGN == p->After();
  int next = CaretPos.SN;
  const bool joins = atEnd && Paragraph_Next(next);
  // At the end of the last paragraph nothing goes: the change still counts, but no observer is
  // told of a deletion that did not happen (a journal could not replay it).
  const bool removes = !atEnd || joins;
  RDocumentEdit e;
  if (removes && HasObservers()) {
    e.Kind = TEditKind::CharDelete;
    e.At = CaretPos;
    e.Removed = atEnd ? QStringLiteral("\n") : QString(p->Char_GetChar(CaretPos.FGN));
    TellEditing(TEditKind::CharDelete, CaretPos.SN, joins ? next : CaretPos.SN, CaretPos);
  }
  if (atEnd) {
    Paragraph_JoinNext(CaretPos.SN);
  } else {
    Events_UnlistForCaretPos(CaretPos);
    p->Char_Delete(CaretPos.FGN);
  }
  Notify_Formatters(CaretPos, CaretPos, Paragraph_LastCaretPos(CaretPos.SN));
  ChangeCount_Increment();
  Positions_KeepValid();
  if (removes && HasObservers()) Tell(e);
}

void TDocument::SubStr_Delete(const TCharX &First, const TCharX &Last) {
  TParagraph *pf = Paragraph_FromSectionNum(First.SN);
  TParagraph *pl = Paragraph_FromSectionNum(Last.SN);
  if (!pf || !pl || Last.SN < First.SN) {
    ErrorReportInDebug(QStringLiteral("TD.SS_D: no range from (%1,%2) to (%3,%4)")
                           .arg(First.SN)
                           .arg(First.CX)
                           .arg(Last.SN)
                           .arg(Last.CX));
    return;
  }
  // An empty range inside one paragraph deletes nothing (not the paragraph).
  if (First.SN == Last.SN && Last.CX < std::max(First.CX, 1)) return;
  RDocumentEdit e;
  if (HasObservers()) {
    e.Kind = TEditKind::SubStrDelete;
    e.At = TCaretPos{First.SN, First.CX, false};
    e.Stop = TCaretPos{Last.SN, Last.CX, false};
    e.Removed = RangePlain(First, Last);
  }
  TellEditing(TEditKind::SubStrDelete, First.SN, Last.SN, CaretPosFromCharX(First));
  Events_UnlistForCharXRange(First, Last);
  if (First.SN == Last.SN) {
    if (First.CX <= 1 && Last.CX >= pf->High()) {
      Section_Delete(First.SN);
    } else {
      const int a = std::max(First.CX, 1), b = std::min(Last.CX, pf->High());
      if (a <= b) pf->SubStr_Delete(a, b);
    }
  } else if (First.CX <= 1 && Last.CX >= pl->High()) {
    Sections_Delete(First.SN, Last.SN);
  } else {
    // Never from a start beyond the last character: that would take a character that is not in
    // the range.
    if (std::max(First.CX, 1) <= pf->High()) pf->SubStr_Delete(std::max(First.CX, 1), pf->High());
    const int tail = std::max(Last.CX + 1, 1);
    if (tail <= pl->High()) pf->SubStr_InsertSubstr(*pl, tail, pl->High(), pf->After());
    InsetsStorage.MoveAnchors(*pl, *pf);
    Sections_Delete(First.SN + 1, Last.SN);
  }
  Notify_Formatters(CaretPosFromCharX(First), CaretPosFromCharX(Last),
                    Paragraph_LastCaretPos(First.SN));
  ChangeCount_Increment();
  Positions_KeepValid();
  if (HasObservers()) Tell(e);
}

void TDocument::CaretSpan_Delete(const TCaretPos &Start, const TCaretPos &Stop) {
  if (!IsValidCaretRange(Start, Stop)) return;
  if (IsSamePos(Start, Stop)) return;
  TParagraph *pa = Paragraph_FromSectionNum(Start.SN);
  TParagraph *pb = Paragraph_FromSectionNum(Stop.SN);
  RDocumentEdit e;
  if (HasObservers()) {
    e.Kind = TEditKind::CaretSpanDelete;
    e.At = Start;
    e.Stop = Stop;
    e.Removed = CaretSpan_Plain(Start, Stop);
  }
  TellEditing(TEditKind::CaretSpanDelete, Start.SN, Stop.SN, Start);
  UnlistCaretSpan(Start, Stop);
  if (Start.SN == Stop.SN) {
    pa->SubStr_Delete(Start.FGN, Stop.FGN - 1);
  } else {
    if (Start.FGN <= pa->High()) pa->SubStr_Delete(Start.FGN, pa->High());
    if (Stop.FGN <= pb->High()) pa->SubStr_InsertSubstr(*pb, Stop.FGN, pb->High(), pa->After());
    InsetsStorage.MoveAnchors(*pb, *pa);
    Sections_Delete(Start.SN + 1, Stop.SN);
  }
  Notify_Formatters(Start, Stop, Paragraph_LastCaretPos(Start.SN));
  ChangeCount_Increment();
  Positions_KeepValid();
  if (HasObservers()) Tell(e);
}

template <typename TInsertPart>
bool TDocument::InsertByLines(QStringView Text, const TCaretPos &At, TCaretPos &NewAt,
                              const RvlTimestamp &SplitWhen, const RvlTimestamp &NewWhen,
                              TInsertPart InsertPart) {
  NewAt = At;
  TParagraph *p = Paragraph_FromSectionNum(At.SN);
  if (!p || !p->IsValidCaretPosition(At.FGN)) return false;
  TellEditing(TEditKind::Insert, At.SN, At.SN, At, Text.isEmpty() ? QChar() : Text[0]);
  // The lines go in from the last to the first, each before the same gap; a split after each
  // but the first line moves it, with everything after it, to a paragraph of its own. Line
  // boundaries are found by index, so a large paste costs time in proportion to its length.
  qsizetype end = Text.size();
  bool firstPass = true;
  for (;;) {
    const qsizetype lf = end > 0 ? Text.lastIndexOf(u'\n', end - 1) : -1;
    const qsizetype start = lf + 1;
    const int length = static_cast<int>(end - start);
    if (length > 0) InsertPart(*p, start, length, At.FGN);
    if (firstPass) NewAt.FGN = At.FGN + length;
    if (lf < 0) break;
    Paragraph_Split(At, SplitWhen, NewWhen);
    ++NewAt.SN;
    if (firstPass) NewAt.FGN = 1 + length;
    firstPass = false;
    end = lf;
  }
  return true;
}

bool TDocument::SubStr_InsertRich(const TRichString &Str, const TCaretPos &At, TCaretPos &NewAt,
                                  const RSplitMoments &Split) {
  const bool done = InsertByLines(Str.Text(), At, NewAt, Split.Split, Split.New,
                                  [&Str](TParagraph &P, qsizetype Start, int Length, int Gap) {
                                    const int first = static_cast<int>(Start) + 1;
                                    P.SubStr_InsertSubstr(Str, first, first + Length - 1, Gap);
                                  });
  if (!done) return false;
  Notify_Formatters(At, NewAt, NewAt);
  ChangeCount_Increment();
  Positions_KeepValid();
  return true;
}

void TDocument::SubStr_Insert(const TRichString &Str, const TCaretPos &At, TCaretPos &NewAt) {
  const TRichString *source = &Str;
  TRichString storable;
  if (std::any_of(Str.Fonts().begin(), Str.Fonts().end(), [](TFontIndex F) { return F < 0; })) {
    storable.MyAssign(Str);
    for (int i = 1; i <= storable.High(); ++i)
      storable.Char_SetFont(i, StorableFont(storable.Char_GetFont(i)));
    source = &storable;
  }
  const RSplitMoments split = SplitMomentsNow();
  const TFontIndex newParagraphFont = FCurrentFontX;
  if (!SubStr_InsertRich(*source, At, NewAt, split) || !HasObservers()) return;
  RDocumentEdit e;
  e.Kind = TEditKind::Insert;
  e.Origin = FOrigin;
  e.At = At;
  e.Text = source;
  e.Moment = split.Split;
  e.Moment2 = split.New;
  e.Font = newParagraphFont;
  Tell(e);
}

void TDocument::SubStr_InsertPlain(QStringView Str, const TCaretPos &At, TCaretPos &NewAt) {
  const RSplitMoments split = SplitMomentsNow();
  const TFontIndex newParagraphFont = FCurrentFontX;
  const bool done = InsertByLines(Str, At, NewAt, split.Split, split.New,
                                  [Str](TParagraph &P, qsizetype Start, int Length, int Gap) {
                                    int ignored = 0;
                                    P.SubStr_InsertPlain(Str.mid(Start, Length), Gap, ignored);
                                  });
  if (!done) return;
  Notify_Formatters(At, NewAt, NewAt);
  ChangeCount_Increment();
  Positions_KeepValid();
  if (!HasObservers()) return;
  // Told as the text it became, with the fonts and moments it was given here.
  TRichString inserted;
  CaretSpan_Rich(At, NewAt, inserted);
  RDocumentEdit e;
  e.Kind = TEditKind::Insert;
  e.Origin = FOrigin;
  e.At = At;
  e.Text = &inserted;
  e.Moment = split.Split;
  e.Moment2 = split.New;
  e.Font = newParagraphFont;
  Tell(e);
}

void TDocument::SubStr_Replace(const TCharX &First, const TCharX &Last, const TRichString &Str) {
  // As a caret span: the characters go, the line break after Last stays, so the insertion point
  // still exists afterwards and Str is never dropped.
  const TCaretPos start = CaretPosFromCharX(First);
  const TCaretPos stop{Last.SN, Last.CX + 1, false};
  if (!IsValidCaretRange(start, stop)) return;
  TEditGroup group(*this);
  CaretSpan_Delete(start, stop);
  TCaretPos newAt;
  SubStr_Insert(Str, start, newAt);
}

QString TDocument::Substr_Plain(const TCharX &First, const TCharX &Last) const {
  QString out;
  if (First.SN < 0 || Last.SN < First.SN) return out;
  TParagraphIterator it(this);
  it.Setup(First, Last);
  bool firstParagraph = true;
  while (it.HaveParagraphThatNeedsWork()) {
    const TParagraph *p = it.Paragraph();
    if (!firstParagraph) out += u'\n';
    firstParagraph = false;
    const int a = std::max(it.Start(), 1), b = std::min(it.Stop(), p ? p->High() : 0);
    if (p && a <= b) out += QStringView(p->Text()).mid(a - 1, b - a + 1);
    it.Next();
  }
  if (Select_LastCharXShouldBeNL()) out += u'\n';
  return out;
}

void TDocument::Substr_Rich(const TCharX &FirstX, const TCharX &LastX, TRichString &Str) const {
  Str.Clear();
  if (FirstX.SN < 0 || LastX.SN < FirstX.SN) return;
  TParagraphIterator it(this);
  it.Setup(FirstX, LastX);
  const TParagraph *previous = nullptr;
  while (it.HaveParagraphThatNeedsWork()) {
    const TParagraph *p = it.Paragraph();
    if (previous) Str.Char_Append(u'\n', previous->FNLFont, previous->FNLWhen);
    const int a = std::max(it.Start(), 1), b = std::min(it.Stop(), p ? p->High() : 0);
    if (p && a <= b) Str.SubStr_InsertSubstr(*p, a, b, Str.After());
    previous = p;
    it.Next();
  }
  if (previous && Select_LastCharXShouldBeNL())
    Str.Char_Append(u'\n', previous->FNLFont, previous->FNLWhen);
}

QString TDocument::CaretSpan_Plain(const TCaretPos &Start, const TCaretPos &Stop) const {
  TRichString rich;
  CaretSpan_Rich(Start, Stop, rich);
  return rich.Text();
}

void TDocument::CaretSpan_Rich(const TCaretPos &Start, const TCaretPos &Stop,
                               TRichString &Str) const {
  Str.Clear();
  if (!IsValidCaretPosition_Silent(Start) || !IsValidCaretPosition_Silent(Stop) ||
      !IsInSequence(Start, Stop))
    return;
  const TParagraph *previous = nullptr;
  for (int sn = Start.SN; sn <= Stop.SN; ++sn) {
    const TParagraph *p = Paragraph_FromSectionNum(sn);
    if (!p) continue;
    if (previous) Str.Char_Append(u'\n', previous->FNLFont, previous->FNLWhen);
    const int a = sn == Start.SN ? Start.FGN : 1;
    const int b = sn == Stop.SN ? Stop.FGN - 1 : p->High();
    if (a <= b) Str.SubStr_InsertSubstr(*p, a, b, Str.After());
    previous = p;
  }
}

bool TDocument::Substr_Get_OfSameFont(const TCharX &StartAt, TCharX &EndAt, QString &Str,
                                      TFontIndex &FontIndex) const {
  ErrorReportInDebug(
      QStringLiteral("If TDocument.Substr_Get_OfSameFont is needed, rewrite it to use Iterator "
                     "and TRichString.Substr_Get_OfSameFont"));
  const TParagraph *p = Paragraph_FromSectionNum(StartAt.SN);
  Str.clear();
  FontIndex = -1;
  if (!p) return false;
  int last = EndAt.SN > StartAt.SN ? p->High() : EndAt.CX;
  const bool found = p->Substr_Get_OfSameFont(StartAt.CX, last, Str, FontIndex);
  EndAt = TCharX{StartAt.SN, last};
  return found;
}

// ---- Selection -----------------------------------------------------------------------------

void TDocument::AtPos_NoSelectionSet(const TCaretPos &Value) {
  FAtPos = Value;
  FAtPosSelect = Value;
}

TCaretPos TDocument::SelectPos_Start() const {
  return IsInSequence(FAtPosSelect, FAtPos) ? FAtPosSelect : FAtPos;
}

TCaretPos TDocument::SelectPos_End() const {
  return IsInSequence(FAtPosSelect, FAtPos) ? FAtPos : FAtPosSelect;
}

void TDocument::Select_GetFirstAndLastCaretPos(TCaretPos &First, TCaretPos &Last) const {
  First = SelectPos_Start();
  Last = SelectPos_End();
}

void TDocument::Select_GetFirstAndLastCharX(TCharX &FirstCharPos, TCharX &LastCharPos) const {
  const TCaretPos start = SelectPos_Start(), end = SelectPos_End();
  FirstCharPos = TCharX{start.SN, start.FGN};
  LastCharPos = TCharX{end.SN, end.FGN};
  const bool moved = CharPosition_TryPrevious(LastCharPos);
  const bool beforeStart =
      LastCharPos.SN < start.SN || (LastCharPos.SN == start.SN && LastCharPos.CX < start.FGN);
  if (!moved || beforeStart) LastCharPos = TCharX{end.SN, end.FGN - 1};
}

TCaretSpan TDocument::SelectionCaretSpan() const {
  return TCaretSpan{SelectPos_Start(), SelectPos_End()};
}

TCharSpan TDocument::SelectionCharSpan() const {
  TCharSpan span;
  Select_GetFirstAndLastCharX(span.First, span.Last);
  return span;
}

bool TDocument::Select_LastCharXShouldBeNL() const {
  if (!Select_IsAnyTextSelected()) return false;
  const TCaretPos end = SelectPos_End();
  TCharX before{end.SN, end.FGN};
  return CharPosition_TryPrevious(before) && before.SN < end.SN;
}

bool TDocument::Select_ClearAndPutCaretAt(TSelectionSide Side) {
  if (!Select_IsAnyTextSelected()) return false;
  constexpr int MaxSteps = 1'000'000;
  TCaretPos p;
  if (Side == sBeginning) {
    p = SelectPos_Start();
    if (!IsValidCaretPosition_Silent(p)) {
      CaretPosition_TryPrevious(p);
      CaretPosition_TryNext(p);
      for (int i = 0; i < MaxSteps && !IsValidCaretPosition_Silent(p); ++i)
        if (!CaretPosition_TryPrevious(p)) break;
    }
  } else {
    p = SelectPos_End();
    if (!IsValidCaretPosition_Silent(p)) {
      CaretPosition_TryNext(p);
      CaretPosition_TryPrevious(p);
      for (int i = 0; i < MaxSteps && !IsValidCaretPosition_Silent(p); ++i)
        if (!CaretPosition_TryNext(p)) break;
    }
  }
  FAtPos = p;
  Select_Clear();
  return true;
}

void TDocument::Select_DeleteSelectedText() {
  if (!Select_IsAnyTextSelected()) return;
  TEditGroup group(*this);
  const TCaretSpan span = SelectionCaretSpan();
  CaretSpan_Delete(span.Start, span.Stop);
  Select_ClearAndPutCaretAt(sBeginning);
}

// ---- Fonts ---------------------------------------------------------------------------------

TFontIndex TDocument::Font_GetIndex(const QString &Name, std::int32_t Rotation, std::int32_t Size,
                                    TColor Color, TColor Highlight, TFontStyles Style) {
  return FontsInUse.GetFontIndex(Name, Rotation, Size, Color, Highlight, Style);
}

void TDocument::Font_ApplyToCanvas(QPainter &Canvas, TFontIndex FontIndex,
                                   double ZoomFactor) const {
  FontsInUse.SwitchToFont(Canvas, FontIndex, ZoomFactor);
}

TFontIndex TDocument::Char_GetFontIndex(const TCharX &CharX) const {
  const TParagraph *p = Paragraph_FromSectionNum(CharX.SN);
  return p ? p->Char_GetFont(CharX.CX) : TFontIndex{-1};
}

TFontIndex TDocument::Char_GetFontIndex(const TCaretPos &At) const {
  return Char_GetFontIndex(TCharX{At.SN, At.FGN});
}

TColor TDocument::FontColorAt(const TCharX &CharX) const {
  return FontsInUse.GetFontColor(Char_GetFontIndex(CharX));
}

TColor TDocument::FontHighlightAt(const TCharX &CharX) const {
  return FontsInUse.GetFontHighlight(Char_GetFontIndex(CharX));
}

TFontStyles TDocument::FontStyleAt(const TCharX &CharX) const {
  return FontsInUse.GetFontStyle(Char_GetFontIndex(CharX));
}

TFontStyles TDocument::FontStyleAt_AtPos() const {
  if (!IsParagraph(FAtPos.SN)) return TFontStyles();
  return FontsInUse.GetFontStyle(Char_GetFontIndex(FAtPos));
}

bool TDocument::FontStyleIsBold(TFontIndex FontX) const {
  return FontsInUse.GetFontStyle(FontX).testFlag(fsBold);
}

template <typename TNewIndex>
void TDocument::Font_ChangeByRuns(const TCharSpan &CharSpan, TNewIndex NewIndex) {
  if (CharSpan.First.SN < 0 || CharSpan.Last.SN < CharSpan.First.SN) return;
  TellEditing(TEditKind::FontChange, CharSpan.First.SN, CharSpan.Last.SN,
              CaretPosFromCharX(CharSpan.First));
  TParagraphIterator it(this);
  it.Setup(CharSpan.First, CharSpan.Last);
  while (it.HaveParagraphThatNeedsWork()) {
    if (TParagraph *p = it.Paragraph()) {
      const int stop = std::min(it.Stop(), p->High());
      for (int i = std::max(it.Start(), 1); i <= stop;) {
        const TFontIndex g = StorableFont(NewIndex(p->Char_GetFont(i)));
        i = p->Substr_ChangeFontOfSameFontGroup(g, i, stop) + 1;
      }
    }
    it.Next();
  }
  Notify_Formatters(CaretPosFromCharX(CharSpan.First), CaretPosFromCharX(CharSpan.Last),
                    CaretPosFromCharX(CharSpan.Last));
}

void TDocument::Font_Change(const TCharSpan &CharSpan, TFontIndex FontIndex) {
  if (CharSpan.First.SN < 0 || CharSpan.Last.SN < CharSpan.First.SN) return;
  const TFontIndex storable = StorableFont(FontIndex);
  TellEditing(TEditKind::FontChange, CharSpan.First.SN, CharSpan.Last.SN,
              CaretPosFromCharX(CharSpan.First));
  TParagraphIterator it(this);
  it.Setup(CharSpan.First, CharSpan.Last);
  while (it.HaveParagraphThatNeedsWork()) {
    if (TParagraph *p = it.Paragraph()) {
      const int a = std::max(it.Start(), 1), b = std::min(it.Stop(), p->High());
      if (a <= b) p->Substr_ChangeFont(storable, a, b);
    }
    it.Next();
  }
  Notify_Formatters(CaretPosFromCharX(CharSpan.First), CaretPosFromCharX(CharSpan.Last),
                    CaretPosFromCharX(CharSpan.Last));
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Index;
  e.Font = StorableFont(FontIndex);
  TellFontChange(CharSpan, e);
}

void TDocument::TellFontChange(const TCharSpan &Span, RDocumentEdit &Edit) const {
  if (Span.First.SN < 0 || Span.Last.SN < Span.First.SN) return;
  Edit.Kind = TEditKind::FontChange;
  Edit.At = TCaretPos{Span.First.SN, Span.First.CX, false};
  Edit.Stop = TCaretPos{Span.Last.SN, Span.Last.CX, false};
  Tell(Edit);
}

void TDocument::Font_ChangeStyle(const TCharSpan &CharSpan, TFontStyle Member, bool Flag) {
  Font_ChangeByRuns(CharSpan, [this, Member, Flag](TFontIndex F) {
    TFontStyles style = FontsInUse.GetFontStyle(F);
    style.setFlag(Member, Flag);
    return FontsInUse.GetFontIndex_NewStyle(F, style);
  });
}

void TDocument::Font_ChangeBold(const TCharSpan &CharSpan, bool Flag) {
  Font_ChangeStyle(CharSpan, fsBold, Flag);
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Bold;
  e.Flag = Flag;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeItalics(const TCharSpan &CharSpan, bool Flag) {
  Font_ChangeStyle(CharSpan, fsItalic, Flag);
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Italic;
  e.Flag = Flag;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeUnderline(const TCharSpan &CharSpan, bool Flag) {
  Font_ChangeStyle(CharSpan, fsUnderline, Flag);
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Underline;
  e.Flag = Flag;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeStrikeout(const TCharSpan &CharSpan, bool Flag) {
  Font_ChangeStyle(CharSpan, fsStrikeOut, Flag);
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Strikeout;
  e.Flag = Flag;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeName(const TCharSpan &CharSpan, const QString &FontName) {
  Font_ChangeByRuns(CharSpan,
                    [&](TFontIndex F) { return FontsInUse.GetFontIndex_NewName(F, FontName); });
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Name;
  e.Str = FontName;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeSizeTo(const TCharSpan &CharSpan, std::int32_t FontSize) {
  Font_ChangeByRuns(CharSpan,
                    [&](TFontIndex F) { return FontsInUse.GetFontIndex_NewSize(F, FontSize); });
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Size;
  e.Number = FontSize;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeColor(const TCharSpan &CharSpan, TColor Color) {
  Font_ChangeByRuns(CharSpan,
                    [&](TFontIndex F) { return FontsInUse.GetFontIndex_NewColor(F, Color); });
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Color;
  e.Color = Color;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeHighlight(const TCharSpan &CharSpan, TColor Highlight) {
  Font_ChangeByRuns(
      CharSpan, [&](TFontIndex F) { return FontsInUse.GetFontIndex_NewHighlight(F, Highlight); });
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Highlight;
  e.Highlight = Highlight;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeColors(const TCharSpan &CharSpan, TColor Color, TColor Highlight) {
  Font_ChangeByRuns(CharSpan, [&](TFontIndex F) {
    return FontsInUse.GetFontIndex_NewColors(F, Color, Highlight);
  });
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::Colors;
  e.Color = Color;
  e.Highlight = Highlight;
  TellFontChange(CharSpan, e);
}

void TDocument::Font_ChangeSizeRelative(const TCharSpan &CharSpan, double DeltaPercent) {
  Font_ChangeByRuns(CharSpan, [&](TFontIndex F) {
    const double wanted = FontsInUse.GetFontSize(F) * (1 + DeltaPercent / 100);
    const std::int64_t rounded =
        std::isfinite(wanted)
            ? RoundHalfEven(std::clamp<double>(wanted, MinRelativeSize, MaxRelativeSize))
            : MinRelativeSize;
    return FontsInUse.GetFontIndex_NewSize(F, static_cast<std::int32_t>(rounded));
  });
  if (!HasObservers()) return;
  RDocumentEdit e;
  e.FontOp = TFontOp::SizeRelative;
  e.Number = DeltaPercent;
  TellFontChange(CharSpan, e);
}

// ---- Clipboard -----------------------------------------------------------------------------

bool TDocument::Clipboard_CanPaste() const { return TextClipboard().HasText(); }

void TDocument::Clipboard_Copy() {
  if (!Select_IsAnyTextSelected()) return;
  TRichString copy;
  const TCaretSpan span = SelectionCaretSpan();
  CaretSpan_Rich(span.Start, span.Stop, copy);
  InternalClipboard().Put(copy, FontsInUse);
  TextClipboard().SetText(copy.Text());
}

void TDocument::Clipboard_Cut() {
  if (!Select_IsAnyTextSelected()) return;
  TEditGroup group(*this);
  Clipboard_Copy();
  // Deleted before the caret is placed: the caret then lands on text that still exists.
  const TCaretSpan span = SelectionCaretSpan();
  CaretSpan_Delete(span.Start, span.Stop);
  Select_ClearAndPutCaretAt(sBeginning);
  ChangeCount_Increment();
}

void TDocument::Clipboard_Paste() {
  TEditGroup group(*this);
  TOriginScope origin(FOrigin, TEditOrigin::Pasted);
  Select_DeleteSelectedText();
  TTextClipboard &clipboard = TextClipboard();
  if (!clipboard.HasText()) return;
  const QString text = clipboard.Text();
  const TCaretPos at = FAtPos;
  TCaretPos newAt = at;
  TRichClipboard &rich = InternalClipboard();
  if (text == rich.PlainText()) {
    TRichString pasted;
    rich.CopyForTarget(FontsInUse, pasted);
    SubStr_Insert(pasted, at, newAt);
    Events_AddManyToListIfNotDuplicating(pasted);
  } else {
    SubStr_InsertPlain(text, at, newAt);
  }
  AtPos_NoSelectionSet(newAt);
  ChangeCount_Increment();
}

// ---- Copying -------------------------------------------------------------------------------

void TDocument::MyAssign(const TDocument &SourceDoc) {
  if (&SourceDoc == this) return;
  InsetsStorage.ClearAll();
  FGraphic_Merge = nullptr;
  FAtPos = SourceDoc.FAtPos;
  FAtPosSelect = SourceDoc.FAtPosSelect;
  FChangeCount = SourceDoc.FChangeCount;
  FChangeCountSinceBackup = SourceDoc.FChangeCountSinceBackup;
  FCurrentFontX = SourceDoc.FCurrentFontX;
  FInsertMode = SourceDoc.FInsertMode;
  FontsInUse.MyAssign(SourceDoc.FontsInUse);
  // The source's layout-record wishes, except where a formatter of this document is registered:
  // that formatter stays registered, and without its records it would find nothing to lay out.
  {
    TAuxInfoUsageMonitor own;
    own.MyAssign(AuxInfoUsageMonitor);
    AuxInfoUsageMonitor.MyAssign(SourceDoc.AuxInfoUsageMonitor);
    for (int h = FirstFormatterHandle; h <= LastFormatterHandle; ++h)
      if (NotifyList[static_cast<std::size_t>(h)])
        AuxInfoUsageMonitor.SetAuxInfoType(h, own.GetAuxInfoType(h));
  }

  const std::size_t n = SourceDoc.Sections.size();
  if (Sections.size() > n) Sections_Delete(static_cast<int>(n), Section_High());
  for (std::size_t i = 0; i < n; ++i) {
    const TSection &from = *SourceDoc.Sections[i];
    const bool isParagraph = dynamic_cast<const TParagraph *>(&from) != nullptr;
    const bool isGraphic = dynamic_cast<const TvlGraphic *>(&from) != nullptr;
    if (!isParagraph && !isGraphic) {
      ErrorReportInDebug(QStringLiteral("Must more fully implement TD.MA"));
      continue;
    }
    TSection *into = i < Sections.size() ? Sections[i].get() : nullptr;
    const bool reusable = into && (isParagraph ? dynamic_cast<TParagraph *>(into) != nullptr
                                               : dynamic_cast<TvlGraphic *>(into) != nullptr);
    if (!reusable) {
      std::unique_ptr<TSection> made;
      if (isParagraph)
        made = NewParagraph();
      else
        made = std::make_unique<TvlGraphic>();
      if (into) {
        ReleaseLayoutRecords(*into);
        Sections[i] = std::move(made);
      } else {
        Sections.push_back(std::move(made));
      }
      into = Sections[i].get();
    }
    into->MyAssign(from);
  }
  if (Sections.empty()) Sections_ResetToOneParagraph(FCurrentFontX);
  InsetsStorage.MyAssign(SourceDoc.InsetsStorage);
  Zoom = SourceDoc.Zoom;
  UpdateAllLayoutRecords();
  Positions_KeepValid();
}
