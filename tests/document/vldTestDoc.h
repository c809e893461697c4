#pragma once
// Helpers of the document model's tests: a plain section list standing in for a document, files
// written to and read from memory, and a sink that records typing events.

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vldParagraph.h"
#include "vldRichString.h"
#include "vldSection.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

// A section list with the document's lookups, enough for paragraphs and the iterator.
class TTestSections final : public TSectionContainer {
 public:
  std::vector<std::unique_ptr<TSection>> Sections;

  TParagraph &AddParagraph(const QString &Text = QString(), TFontIndex Font = 0);
  std::int32_t Section_High() const override {
    return static_cast<std::int32_t>(Sections.size()) - 1;
  }
  TSection *Section_At(std::int32_t SectionNumber) const override;
  std::int32_t Paragraph_GetSectionNumOf(const TParagraph *P) const override;
  bool CaretPosition_TryPrevious(TCaretPos &CaretPos) const override;
};

// A section that is not a paragraph (a graphic, in a real document).
class TOtherSection final : public TSection {};

// Runs Write on a writer whose file is kept in memory; answers the bytes of the closed file.
QByteArray WriteToBytes(const std::function<void(TvlXmlOut &)> &Write);

// A reader over Bytes, at the first recognised tag.
std::unique_ptr<TvlXmlIn> ReaderOver(const QByteArray &Bytes);

// Lines joined with CR LF, each ended by one.
QByteArray Lines(std::initializer_list<const char *> Items);

struct RTypingEvent {
  TDateTime When;
  QString Text;
};

class TRecordingSink final : public TTypingEventSink {
 public:
  std::vector<RTypingEvent> Added;
  std::vector<TDateTime> Deleted;
  void AddTypingEvent(TDateTime When, const QString &Text) override {
    Added.push_back({When, Text});
  }
  void DeleteTypingEventAt(TDateTime When) override { Deleted.push_back(When); }
};

// The three sequences of a rich string have one length, and nothing else is off.
::testing::AssertionResult InStep(const TRichString &RS);
