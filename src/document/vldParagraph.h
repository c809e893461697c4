#pragma once
// A paragraph: a rich string that also knows its document, the insets anchored to it, and up to
// three layout records that text formatters attach to it (one per registered formatter).
//
// Layout records live here only so that a formatter finds its record for a paragraph in O(1);
// the model never reads them. Pixel values are the formatter's virtual page coordinates.
//
// User-interface thread only.

#include "vl09_Globals.h"
#include "vldRichString.h"
#include "vldSection.h"

#include <array>
#include <cstdint>
#include <memory>

class TvlXmlIn;
class TvlXmlOut;

// Handles of registered formatters: 1..3 (0 means none).
using TFormatterHandle = std::uint8_t;
inline constexpr int FirstFormatterHandle = 1;
inline constexpr int LastFormatterHandle = 3;

// The editor's tall page plane: X 32-bit, Y 64-bit.
struct TVirtualPos {
  std::int32_t vX = 0;
  std::int64_t vY = 0;
};

struct TVirtualRect {
  std::int32_t vLeft = 0;
  std::int64_t vTop = 0;
  std::int32_t vRight = 0;
  std::int64_t vBottom = 0;
};

// A 1-based list of 32-bit values with the interface of TInt16List. Line data of a paragraph is
// never stored, so it is kept wide: a long paragraph pasted without line feeds has more than
// 32767 characters, and very tall lines exceed 32767 pixels.
class TInt32List : public vl_detail::TOneBasedList<std::int32_t> {
 public:
  void AppendDatum(std::int32_t Value) { Append(Value); }
  std::int32_t GetDatum(int Index) const { return Get(Index, "I32L.GetDatum("); }
};

// The layout rectangle of a section.
class TAuxInfoType {
 public:
  virtual ~TAuxInfoType() = default;

  std::int64_t PixelBottom() const { return FPixelTop + FPixelHeight - 1; }
  std::int32_t PixelRight() const { return FPixelLeft + FPixelWidth - 1; }
  TVirtualRect VirtualRect() const {
    return TVirtualRect{FPixelLeft, FPixelTop, PixelRight(), PixelBottom()};
  }

  std::int32_t FPixelHeight = 0;
  std::int32_t FPixelLeft = 0;
  std::int64_t FPixelTop = 0;
  std::int32_t FPixelWidth = 0;
};

// The record the text formatter keeps per paragraph.
class TParagraphInfo : public TAuxInfoType {
 public:
  THandleList FEncroachingInsets;
  TInt32List WrapPoints;   // per line, the 1-based index of its last character
  TInt32List LineHeights;  // per line, its height in pixels
  std::int32_t FirstLineNum = 1;
  std::int32_t LineCount = 1;
  bool WrapIsCurrent = false;
};

// What a formatter asks to find in every paragraph: a maker of its record, or nullptr for none.
using TAuxInfoClass = std::unique_ptr<TAuxInfoType> (*)();
std::unique_ptr<TAuxInfoType> NewParagraphInfo();

// Which formatter wants a layout record; one per document. A handle outside 1..3 throws
// std::out_of_range (a programming error).
class TAuxInfoUsageMonitor {
 public:
  TAuxInfoClass GetAuxInfoType(int RegistrationHandle) const;
  void SetAuxInfoType(int RegistrationHandle, TAuxInfoClass Value);
  void MyAssign(const TAuxInfoUsageMonitor &Source) { FAuxInfoType = Source.FAuxInfoType; }

 private:
  std::array<TAuxInfoClass, 4> FAuxInfoType{};  // [0] unused
};

class TParagraph : public TRichString {
 public:
  // The end of line gets Font and the moment new text would get now; a layout record for every
  // formatter the monitor names.
  TParagraph(TSectionContainer *OwningDocument, TFontIndex Font,
             const TAuxInfoUsageMonitor *UsageMonitor);
  // The owner releases the layout records first; records still present are reported (once per
  // run, shared with Clear) and released.
  ~TParagraph() override;

  // The rich string's copy; the document and the layout records stay. The anchor list is not
  // copied: it names the source document's insets, and the inset storage that copies them lists
  // its own copies.
  void MyAssign(const TSection &Source) override;
  // The rich string's Clear, and the group timestamp.
  void Clear() override;

  // Handles 1..3; others throw std::out_of_range.
  TAuxInfoType *GetStorage(int RegistrationHandle) const;
  void SetStorage(int RegistrationHandle, std::unique_ptr<TAuxInfoType> Value);
  void StorageFreeAndNil(int RegistrationHandle);
  // Releases records no formatter wants and adds the ones that are missing.
  void UpdateAuxInfoAsSpecifiedBy(const TAuxInfoUsageMonitor &UsageMonitor);

  // This paragraph's number in its document, -1 when it is not in the list; 0, with a report,
  // when it has no document.
  int SectionNumber_LookUp() const;

  // The P element: the P line with ID, one Anchor line per anchored inset, the text, "</P>".
  void IO_Save(TvlXmlOut &Out, int ID) const;
  // Reads a P element from its first line (P, Anchor, PWhen or Text: the P line may be missing)
  // to its "</P>" or to the line that starts the next paragraph or block; answers the anchoring
  // problems. Lines it cannot use are skipped and reported to the reader, so that a loop over
  // paragraphs never stalls and never loses the paragraphs after a damaged one.
  QString IO_Load(TvlXmlIn &In) override;

  // Tells the document (see TSectionContainer::Section_LayoutTouched).
  void LayoutTouched() override {
    if (MemberOfDoc) MemberOfDoc->Section_LayoutTouched();
  }

  // Re-arms the once-per-run report of layout records left behind (tests).
  static void ResetStorageReportForTests();

  THandleList AnchoredInsets;  // handles of anchored insets, in anchoring order
  TSectionContainer *MemberOfDoc = nullptr;

 private:
  bool HasStorage() const;
  void ReportStorageNotEmpty(const QString &Msg) const;

  std::array<std::unique_ptr<TAuxInfoType>, 4> FStorage;  // [0] unused
};
