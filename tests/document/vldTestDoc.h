#pragma once
// Helpers of the document model's tests: a plain section list standing in for a document, files
// written to and read from memory, a sink that records typing events, documents built from lines
// of text, and JPEG pictures made at run time.

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vldParagraph.h"
#include "vldRichString.h"
#include "vldSection.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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
  std::vector<QString> DeletedTexts;
  void AddTypingEvent(TDateTime When, QStringView Text) override {
    Added.push_back({When, Text.toString()});
  }
  void DeleteTypingEventAt(TDateTime When, QStringView Text) override {
    Deleted.push_back(When);
    DeletedTexts.push_back(Text.toString());
  }
};

// The three sequences of a rich string have one length, and nothing else is off.
::testing::AssertionResult InStep(const TRichString &RS);

class TDocument;

// Moment of the first character of a built document; character k of a line is k seconds later.
inline constexpr TDateTime BuiltT0 = 45000.5;

// Empties Doc and fills it with one paragraph per line, every character in Font, timestamped
// BuiltT0 + (line x 1000 + k) seconds; caret at (0, 1); change counts cleared.
void BuildDocument(TDocument &Doc, const std::vector<std::string> &Paragraphs, TFontIndex Font = 1);
// The paragraphs' texts, in UTF-8.
std::vector<std::string> ParagraphTexts(const TDocument &Doc);

// A JPEG of Width x Height in the given colour space (JCS_RGB, JCS_GRAYSCALE, JCS_CMYK as int),
// every pixel Pixel(x, y) as 0xRRGGBB (grey: the green byte; CMYK: 0xCCMMYYKK), at quality 95.
QByteArray MakeJpeg(int Width, int Height, int ColorSpace,
                    const std::function<std::uint32_t(int, int)> &Pixel);
