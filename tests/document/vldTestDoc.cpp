#include "vldTestDoc.h"

#include "vlSaveTarget.h"

#include <gtest/gtest.h>

TParagraph &TTestSections::AddParagraph(const QString &Text, TFontIndex Font) {
  auto p = std::make_unique<TParagraph>(this, Font, nullptr);
  for (QChar c : Text) p->Char_Append(c, Font, RvlTimestamp{45000.5, 45000.5});
  TParagraph &ref = *p;
  Sections.push_back(std::move(p));
  return ref;
}

TSection *TTestSections::Section_At(std::int32_t SectionNumber) const {
  if (SectionNumber < 0 || SectionNumber > Section_High()) return nullptr;
  return Sections[static_cast<std::size_t>(SectionNumber)].get();
}

std::int32_t TTestSections::Paragraph_GetSectionNumOf(const TParagraph *P) const {
  for (std::int32_t i = Section_High(); i >= 0; --i)
    if (Sections[static_cast<std::size_t>(i)].get() == P) return i;
  return -1;
}

bool TTestSections::CaretPosition_TryPrevious(TCaretPos &CaretPos) const {
  if (CaretPos.FGN > 1) {
    --CaretPos.FGN;
    return true;
  }
  for (std::int32_t sn = CaretPos.SN - 1; sn >= 0; --sn)
    if (auto *p = dynamic_cast<TParagraph *>(Section_At(sn))) {
      CaretPos = TCaretPos{sn, p->After(), false};
      return true;
    }
  return false;
}

QByteArray WriteToBytes(const std::function<void(TvlXmlOut &)> &Write) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *bytes = target.get();
  TvlXmlOut out(std::move(target));
  if (!out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("memory"))) return {};
  Write(out);
  if (!out.File_Close()) return {};
  return bytes->Bytes();
}

std::unique_ptr<TvlXmlIn> ReaderOver(const QByteArray &Bytes) {
  auto in = std::make_unique<TvlXmlIn>();
  QString problem;
  in->Bytes_Open(Bytes, QStringLiteral("memory"), problem);
  return in;
}

QByteArray Lines(std::initializer_list<const char *> Items) {
  QByteArray bytes;
  for (const char *line : Items) bytes += QByteArray(line) + "\r\n";
  return bytes;
}

::testing::AssertionResult InStep(const TRichString &RS) {
  const auto text = RS.Text().size();
  const auto fonts = static_cast<qsizetype>(RS.Fonts().size());
  const auto whens = RS.Whens().Count();
  if (text == fonts && text == whens && !RS.Whens().Entries().empty())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "text " << text << ", fonts " << fonts << ", timestamps " << whens;
}
