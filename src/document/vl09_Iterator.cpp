#include "vl09_Iterator.h"

#include "vlGlobals.h"
#include "vldParagraph.h"

#include <stdexcept>

TParagraphIterator::TParagraphIterator(const TSectionContainer *Document) : IDoc(Document) {
  if (!Document) throw std::invalid_argument("Need Doc");
}

void TParagraphIterator::Setup(const TCharX &FirstCharX, const TCharX &LastCharX) {
  const bool wasBusy = !Finished();
  IFromPos = FirstCharX;
  IToPos = LastCharX;
  if (FirstCharX.SN < 0) {
    // The document's "no position" is (-1, 0): nothing to walk.
    ErrorReportInDebug(QStringLiteral("TPI.S: no paragraph %1").arg(FirstCharX.SN));
    SegNum = INT_MAX;
  } else {
    SegNum = FirstCharX.SN;
    AdvanceIfNotParagraph();
  }
  if (wasBusy) ErrorReportInDebug(QStringLiteral("Detected nested use of a ParagraphIterator"));
}

void TParagraphIterator::Setup(const TCaretPos &FromCaretPos, const TCaretPos &ToCaretPos) {
  TCaretPos to = ToCaretPos;
  if (to.FGN <= 0 && !IDoc->CaretPosition_TryPrevious(to))
    ErrorReportInDebug(QStringLiteral("TPI.S:"));
  Setup(TCharX{FromCaretPos.SN, FromCaretPos.FGN}, TCharX{to.SN, to.FGN - 1});
}

void TParagraphIterator::AdvanceIfNotParagraph() {
  while (SegNum <= IDoc->Section_High() && SegNum <= IToPos.SN &&
         !dynamic_cast<TParagraph *>(IDoc->Section_At(SegNum)))
    ++SegNum;
}

bool TParagraphIterator::Finished() const {
  return SegNum > IDoc->Section_High() || SegNum > IToPos.SN;
}

void TParagraphIterator::Next() {
  // An idle iterator sits at INT_MAX; stepping it would overflow.
  if (Finished()) return;
  ++SegNum;
  AdvanceIfNotParagraph();
}

bool TParagraphIterator::NextAndTrueWhenFinished() {
  Next();
  return Finished();
}

TParagraph *TParagraphIterator::Paragraph() const {
  if (SegNum < 0 || SegNum > IDoc->Section_High()) return nullptr;
  auto *p = dynamic_cast<TParagraph *>(IDoc->Section_At(SegNum));
  if (!p)
    ErrorReportInDebug(
        QStringLiteral("TParagraphIterator.Paragraph overflowed or is not TParagraph"));
  return p;
}

int TParagraphIterator::Start() const { return SegNum == IFromPos.SN ? IFromPos.CX : 1; }

int TParagraphIterator::Stop() const {
  if (SegNum == IToPos.SN) return IToPos.CX;
  const TParagraph *p = Paragraph();
  return p ? p->High() : 0;
}

void TParagraphIterator::TakeDown() {
  // One past the range's last section makes the iterator idle without overflowing.
  SegNum = IToPos.SN < INT_MAX ? IToPos.SN + 1 : INT_MAX;
}
