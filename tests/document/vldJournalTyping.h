#pragma once
// The edits of the journal's kill test, the same in the typist and in the test that checks what
// replay gave back: letters, spaces, line breaks and backspaces, in an order a seed fixes.

#include "vl_Document.h"

#include <cstdint>
#include <random>

class TJournalTypingScript {
 public:
  explicit TJournalTypingScript(std::uint32_t Seed) : FRandom(Seed) {}

  // One edit at the caret, as keys make it.
  void Step(TDocument &Doc) {
    const int roll = static_cast<int>(FRandom() % 100);
    if (roll < 4) {
      Doc.Text_Type(u"\n", 0, false);
    } else if (roll < 8) {
      TCaretPos at = Doc.FAtPos;
      if (Doc.CaretPosition_TryPrevious(at)) {
        Doc.Char_Delete(at);
        Doc.AtPos_NoSelectionSet(at);
      }
    } else if (roll < 20) {
      Doc.Text_Type(u" ", 0, false);
    } else {
      const QChar c(static_cast<char16_t>(u'a' + FRandom() % 26));
      Doc.Text_Type(QStringView(&c, 1), 0, false);
    }
  }

 private:
  std::mt19937 FRandom;
};
