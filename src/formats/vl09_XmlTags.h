#pragma once
// The closed list of tags of the notes files, shared by the writer and the reader, and the value
// types whose text forms the two of them fix (style letters, sides, event kinds).

#include <QFlags>

#include <cstdint>
#include <string_view>

// Values 1..18 are start tags that take attributes (their text has no closing ">"), 20..34 are
// complete lines that open or close blocks; 0, 19 and 35 are markers with no text. The reader
// reports xtFlag_None while it searches and xtFlag_Done at the end of the file.
enum TvlXmlTags : std::uint8_t {
  xtFlag_None = 0,
  xtBoundNotesBegin_ = 1,
  xtCaretPos_ = 2,
  xtDimensions_ = 3,
  xtDocTabBegin_ = 4,
  xtEarlyNotice_ = 5,
  xtEvent_ = 6,
  xtFont_ = 7,
  xtGraphicBegin_ = 8,
  xtInsetBegin_ = 9,
  xtInsetAnchor_ = 10,
  xtNotesDocBegin_ = 11,
  xtParagraphBegin_ = 12,
  xtPWhen_ = 13,
  xtScrollPos_ = 14,
  xtSketchBegin_ = 15,
  xtStrokeBegin_ = 16,
  xtText_ = 17,
  xtWhen_ = 18,
  xtFlag_TypeOfTagDivider = 19,
  xtBoundNotesEnd = 20,
  xtDocTabEnd = 21,
  xtFontsBegin = 22,
  xtFontsEnd = 23,
  xtGraphicEnd = 24,
  xtInsetEnd = 25,
  xtInsetsBegin = 26,
  xtInsetsEnd = 27,
  xtNotesDocEnd = 28,
  xtOtherEventsBegin = 29,
  xtOtherEventsEnd = 30,
  xtParagraphEnd = 31,
  xtSectionsBegin = 32,
  xtSectionsEnd = 33,
  xtSketchEnd = 34,
  xtFlag_Done = 35,
};

inline constexpr int xtTagCount = 36;

// The subranges TvlXmlTagsWithAttributes (0..19) and TvlXmlTagsWithoutAttributes (19..35).
constexpr bool IsTagWithAttributes(TvlXmlTags Tag) { return Tag <= xtFlag_TypeOfTagDivider; }
constexpr bool IsTagWithoutAttributes(TvlXmlTags Tag) { return Tag >= xtFlag_TypeOfTagDivider; }
// Tags that have a text of their own (not the three markers).
constexpr bool IsRealTag(TvlXmlTags Tag) {
  return Tag != xtFlag_None && Tag != xtFlag_TypeOfTagDivider && Tag < xtFlag_Done;
}

// The lines at which a tab's notes block has ended whatever state its loader is in: the isolated
// tab's close, the binder's next tab or its next part, a second file start, the end of the file.
// Loaders inside the block skip any other line they cannot use, but never one of these.
constexpr bool EndsNotesBlock(TvlXmlTags Tag) {
  switch (Tag) {
    case xtNotesDocEnd:
    case xtNotesDocBegin_:
    case xtBoundNotesBegin_:
    case xtDocTabBegin_:
    case xtDocTabEnd:
    case xtOtherEventsBegin:
    case xtBoundNotesEnd:
    case xtFlag_Done: return true;
    default: return false;
  }
}

// The text of a tag ("<Font", "</Fonts>"); empty for the markers and for values out of range.
// Unlike TvlXmlOut::TagToStr this never warns.
std::string_view TagText(TvlXmlTags Tag) noexcept;

// TFontStyles: a set of TFontStyle with the bit values 1, 2, 4, 8.
enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

enum TSide : std::uint8_t { sUnknown, sLeft, sRight };

// The kinds of event as the day files keep them (values fixed, one byte).
enum TKindOfEvent : std::uint8_t {
  koeNone = 0,
  koeNewDayFile = 1,
  koeMarker = 2,
  koeLabel = 3,
  koeTyping = 4,
  koeSketching = 5,
  koeWebDings = 6,
  koeWingDings = 7,
  koeWingDings2 = 8,
  koeWingDings3 = 9,
};
