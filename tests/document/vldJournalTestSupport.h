#pragma once
// Helpers of the journal's tests: tabs replay can work on, an observer that journals one
// document as the program does, and an exact comparison of two documents' content.

#include "vl_Document.h"
#include "vldJournal.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

class TTestJournalTabs final : public TJournalTabs {
 public:
  std::vector<std::pair<QString, std::unique_ptr<TDocument>>> Tabs;

  TDocument &Add(const QString &Title) {
    Tabs.emplace_back(Title, std::make_unique<TDocument>());
    return *Tabs.back().second;
  }
  int JournalTabs_Count() const override { return static_cast<int>(Tabs.size()); }
  TDocument &JournalTabs_Document(int Index) override {
    return *Tabs[static_cast<std::size_t>(Index)].second;
  }
  QString JournalTabs_Title(int Index) const override {
    return Tabs[static_cast<std::size_t>(Index)].first;
  }
  void JournalTabs_Insert(int Index, const QString &Title,
                          std::unique_ptr<TDocument> Doc) override {
    Tabs.insert(Tabs.begin() + Index, {Title, std::move(Doc)});
  }
  void JournalTabs_Rename(int Index, const QString &Title) override {
    Tabs[static_cast<std::size_t>(Index)].first = Title;
  }
  void JournalTabs_Move(int From, int To) override {
    auto tab = std::move(Tabs[static_cast<std::size_t>(From)]);
    Tabs.erase(Tabs.begin() + From);
    Tabs.insert(Tabs.begin() + To, std::move(tab));
  }
  void JournalTabs_Delete(int Index) override { Tabs.erase(Tabs.begin() + Index); }
};

// Journals every edit of one document as tab 0, and remembers where each edit's records end,
// so that tests know which document state each prefix of the journal must give.
class TJournalRecorder final : public TDocumentEditObserver {
 public:
  explicit TJournalRecorder(TDocument &Doc, bool MergeTyping = false)
      : FDoc(Doc), FMerge(MergeTyping) {
    Bytes = Journal_Magic() + Encoder.Header(RJournalBase{}, 45000);
    Doc.EditObserver_Add(this);
  }
  ~TJournalRecorder() override { FDoc.EditObserver_Remove(this); }
  TJournalRecorder(const TJournalRecorder &) = delete;
  TJournalRecorder &operator=(const TJournalRecorder &) = delete;

  void Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) override {
    Encoder.Edit(Bytes, 0, Doc, Edit, 45000.5);
    if (!FMerge) Encoder.FlushRun(Bytes);
  }
  QByteArray Finished() {
    Encoder.FlushRun(Bytes);
    return Bytes;
  }

  TJournalEncoder Encoder;
  QByteArray Bytes;

 private:
  TDocument &FDoc;
  bool FMerge;
};

// The content of two documents is the same: text, each character's font (by its attributes)
// and moment exactly, line ends, paragraph moments and outlines.
inline void ExpectSameContent(const TDocument &A, const TDocument &B) {
  ASSERT_EQ(A.Section_High(), B.Section_High());
  const auto sameFont = [&](TFontIndex Fa, TFontIndex Fb) {
    return A.FontsInUse.GetFontName(Fa) == B.FontsInUse.GetFontName(Fb) &&
           A.FontsInUse.GetFontSize(Fa) == B.FontsInUse.GetFontSize(Fb) &&
           A.FontsInUse.GetFontStyle(Fa) == B.FontsInUse.GetFontStyle(Fb) &&
           A.FontsInUse.GetFontColor(Fa) == B.FontsInUse.GetFontColor(Fb) &&
           A.FontsInUse.GetFontHighlight(Fa) == B.FontsInUse.GetFontHighlight(Fb);
  };
  for (int sn = 0; sn <= A.Section_High(); ++sn) {
    SCOPED_TRACE(sn);
    const TParagraph *p = A.Paragraph_FromSectionNum(sn);
    const TParagraph *q = B.Paragraph_FromSectionNum(sn);
    ASSERT_EQ(p == nullptr, q == nullptr);
    if (!p) continue;
    ASSERT_EQ(p->Text(), q->Text());
    for (int i = 1; i <= p->High(); ++i) {
      EXPECT_TRUE(sameFont(p->Char_GetFont(i), q->Char_GetFont(i))) << "font of character " << i;
      EXPECT_EQ(p->Timestamp_Get(i), q->Timestamp_Get(i)) << "moment of character " << i;
    }
    EXPECT_TRUE(sameFont(p->FNLFont, q->FNLFont)) << "end-of-line font";
    EXPECT_EQ(p->FNLWhen, q->FNLWhen);
    EXPECT_EQ(p->FGroupTimestamp, q->FGroupTimestamp);
    QString pi, qi;
    EXPECT_EQ(p->Outline_Get(pi), q->Outline_Get(qi));
    EXPECT_EQ(pi, qi);
  }
}
