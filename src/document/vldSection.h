#pragma once
// The base of everything a document's section list holds (paragraphs, and graphic sections that
// are not paragraphs), the position records the document model counts in, and the narrow view of
// a document that paragraphs and the paragraph iterator need.
//
// Sections are numbered from 0; characters and caret gaps inside a paragraph from 1.

#include <cstdint>

class TParagraph;

class TSection {
 public:
  TSection() = default;
  virtual ~TSection() = default;
  TSection(const TSection &) = delete;
  TSection &operator=(const TSection &) = delete;

  // Copies the three fields; descendants extend it with their own.
  virtual void MyAssign(const TSection &Source);

  bool FChanged = false;  // set by every change the document makes; never cleared by the model
  std::int32_t FSequenceNum = 0;
  std::int32_t FSequenceNumOld = 0;
};

// A caret: before character FGN of paragraph SN; the paragraph's After is its end of line.
struct TCaretPos {
  std::int32_t SN = 0;
  std::int32_t FGN = 1;
  bool EOL = false;  // carried with the caret

  std::int32_t GN() const { return FGN; }
  // A gap number of 0 or less stores 1.
  void SetGN(std::int32_t Value) { FGN = Value <= 0 ? 1 : Value; }
};

// A character: character CX of paragraph SN.
struct TCharX {
  std::int32_t SN = 0;
  std::int32_t CX = 0;
};

// Inclusive character range.
struct TCharSpan {
  TCharX First;
  TCharX Last;
};

struct TCaretSpan {
  TCaretPos Start;
  TCaretPos Stop;
};

// What a paragraph and the paragraph iterator need of their document. The document implements
// it; tests implement it over a plain list.
class TSectionContainer {
 public:
  virtual ~TSectionContainer() = default;
  // The last section number; -1 when there is none.
  virtual std::int32_t Section_High() const = 0;
  // The section at a number, or nullptr when there is none.
  virtual TSection *Section_At(std::int32_t SectionNumber) const = 0;
  // The number of a paragraph in the list, -1 when absent. Loading asks this for every paragraph
  // it appends, so implementations should look from the end first.
  virtual std::int32_t Paragraph_GetSectionNumOf(const TParagraph *P) const = 0;
  // The previous gap: down to 1, then the end of the previous paragraph; at the start of the
  // document it stays. True when it moved.
  virtual bool CaretPosition_TryPrevious(TCaretPos &CaretPos) const = 0;
  // A paragraph of this container changed its text or fonts, or one came or went. Formatters
  // learn from the document's count of these whether every change reached them by a notification.
  virtual void Section_LayoutTouched() {}
};
