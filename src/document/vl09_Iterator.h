#pragma once
// Walks an inclusive character range across paragraphs, skipping sections that are not
// paragraphs. Every operation of the document that spans paragraphs goes through it:
//
//   TParagraphIterator it(&Doc);
//   it.Setup(First, Last);
//   while (it.HaveParagraphThatNeedsWork()) {
//     work on it.Paragraph() from it.Start() to it.Stop() (nothing when Stop < Start);
//     it.Next();
//   }
//
// One walk at a time: the iterator is idle after construction and after a walk, busy in between.
//
// User-interface thread only.

#include "vldSection.h"

#include <climits>
#include <cstdint>

class TParagraph;

class TParagraphIterator {
 public:
  // Throws std::invalid_argument("Need Doc") without a document.
  explicit TParagraphIterator(const TSectionContainer *Document);

  // The characters FirstCharX..LastCharX. A first section below 0 means there is nothing to do.
  void Setup(const TCharX &FirstCharX, const TCharX &LastCharX);
  // The characters from FromCaretPos up to the one before ToCaretPos. A ToCaretPos at gap 0 or
  // less is first stepped back to the end of the previous paragraph.
  void Setup(const TCaretPos &FromCaretPos, const TCaretPos &ToCaretPos);

  void AdvanceIfNotParagraph();
  bool Finished() const;
  bool HaveParagraphThatNeedsWork() const { return !Finished(); }
  // Nothing once the walk is finished.
  void Next();
  bool NextAndTrueWhenFinished();
  // The paragraph at the current section; nullptr beyond the list, or (with a report) when the
  // section is not a paragraph.
  TParagraph *Paragraph() const;
  int ParagraphNumber() const { return SegNum; }
  // The first character to work on: the range's first in its first paragraph, else 1.
  int Start() const;
  // The last: the range's last in its last paragraph, else the paragraph's High.
  int Stop() const;
  // Ends the walk early.
  void TakeDown();

  const TSectionContainer *IDoc;
  std::int32_t SegNum = INT_MAX;  // INT_MAX when idle
  TCharX IFromPos;
  TCharX IToPos{0, 1};
};
