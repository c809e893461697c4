#include "vl09_XmlTags.h"

#include <array>

namespace {

constexpr std::array<std::string_view, xtTagCount> kTagTexts = {
    "",                // xtFlag_None
    "<BoundNotes",     // xtBoundNotesBegin_
    "<CaretPos",       // xtCaretPos_
    "<Dimensions",     // xtDimensions_
    "<DocTab",         // xtDocTabBegin_
    "<EarlyNotice",    // xtEarlyNotice_
    "<Event",          // xtEvent_
    "<Font",           // xtFont_
    "<Graphic",        // xtGraphicBegin_
    "<Inset",          // xtInsetBegin_
    "<Anchor",         // xtInsetAnchor_
    "<NotesDoc",       // xtNotesDocBegin_
    "<P",              // xtParagraphBegin_
    "<PWhen",          // xtPWhen_
    "<ScrollPos",      // xtScrollPos_
    "<Sketch",         // xtSketchBegin_
    "<Stroke",         // xtStrokeBegin_
    "<Text",           // xtText_
    "<When",           // xtWhen_
    "",                // xtFlag_TypeOfTagDivider
    "</BoundNotes>",   // xtBoundNotesEnd
    "</DocTab>",       // xtDocTabEnd
    "<Fonts>",         // xtFontsBegin
    "</Fonts>",        // xtFontsEnd
    "</Graphic>",      // xtGraphicEnd
    "</Inset>",        // xtInsetEnd
    "<Insets>",        // xtInsetsBegin
    "</Insets>",       // xtInsetsEnd
    "</NotesDoc>",     // xtNotesDocEnd
    "<OtherEvents>",   // xtOtherEventsBegin
    "</OtherEvents>",  // xtOtherEventsEnd
    "</P>",            // xtParagraphEnd
    "<Sections>",      // xtSectionsBegin
    "</Sections>",     // xtSectionsEnd
    "</Sketch>",       // xtSketchEnd
    "",                // xtFlag_Done
};

}  // namespace

std::string_view TagText(TvlXmlTags Tag) noexcept {
  const auto index = static_cast<std::size_t>(Tag);
  return index < kTagTexts.size() ? kTagTexts[index] : std::string_view();
}
