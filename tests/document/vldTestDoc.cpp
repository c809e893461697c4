#include "vldTestDoc.h"

#include "vlSaveTarget.h"
#include "vl_Document.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

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

void BuildDocument(TDocument &Doc, const std::vector<std::string> &Paragraphs, TFontIndex Font) {
  Doc.ClearSections();
  for (std::size_t i = 0; i < Paragraphs.size(); ++i) {
    TParagraph &p = i == 0 ? *Doc.Paragraph_FromSectionNum(0) : Doc.Paragraph_Append();
    const QString line = QString::fromStdString(Paragraphs[i]);
    for (int k = 0; k < line.size(); ++k) {
      const TDateTime t = BuiltT0 + (static_cast<int>(i) * 1000 + k) / 86400.0;
      p.Char_Append(line[k], Font, RvlTimestamp{t, t});
    }
  }
  Doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  Doc.ChangeCount_Clear();
  Doc.ChangeCountSinceBackup_Clear();
}

std::vector<std::string> ParagraphTexts(const TDocument &Doc) {
  std::vector<std::string> texts;
  for (int i = 0; i <= Doc.Section_High(); ++i)
    if (const TParagraph *p = Doc.Paragraph_FromSectionNum(i))
      texts.push_back(p->Text().toStdString());
  return texts;
}

QByteArray MakeJpeg(int Width, int Height, int ColorSpace,
                    const std::function<std::uint32_t(int, int)> &Pixel) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(Width);
  info.image_height = static_cast<JDIMENSION>(Height);
  const auto space = static_cast<J_COLOR_SPACE>(ColorSpace);
  info.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(Width * info.input_components));
  for (int y = 0; y < Height; ++y) {
    for (int x = 0; x < Width; ++x) {
      const std::uint32_t v = Pixel(x, y);
      JSAMPLE *out = row.data() + x * info.input_components;
      if (space == JCS_GRAYSCALE) {
        out[0] = static_cast<JSAMPLE>((v >> 8) & 0xFF);
      } else if (space == JCS_CMYK) {
        for (int c = 0; c < 4; ++c) out[c] = static_cast<JSAMPLE>((v >> (24 - 8 * c)) & 0xFF);
      } else {
        for (int c = 0; c < 3; ++c) out[c] = static_cast<JSAMPLE>((v >> (16 - 8 * c)) & 0xFF);
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  QByteArray bytes(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(size));
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return bytes;
}
