// Copying a whole document onto another one, as the undo snapshots and the tab copies do.

#include "vl_Document.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

TEST(DocumentCopy, CopyingOntoALongerOrShorterDocumentLeavesNothingOfTheOldOneBehind) {
  const std::vector<std::string> shortDoc = {"one", "two"};
  const std::vector<std::string> longDoc = {"a", "b", "c", "d", "e", "f"};
  for (const auto &[from, onto] : {std::pair{shortDoc, longDoc}, std::pair{longDoc, shortDoc}}) {
    SCOPED_TRACE(from.size());
    TDocument source, copy;
    BuildDocument(source, from);
    BuildDocument(copy, onto);
    copy.MyAssign(source);
    EXPECT_EQ(ParagraphTexts(copy), from);
    EXPECT_EQ(copy.Section_High(), source.Section_High());
    EXPECT_TRUE(copy.IsValidCaretPosition_Silent(copy.FAtPos));
  }
}
