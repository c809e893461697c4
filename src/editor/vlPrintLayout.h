#pragma once
// A notes document laid out on pages for printing, by the editor's own formatter, and drawn
// page by page onto any painter (a printer, a PDF writer, an image): what is printed wraps and
// looks as the editor shows it, fonts, colours, bullets and pictures included, without the
// selection.
//
// Units are the formatter's layout pixels (96 per inch); the painter's device should count 96
// dots per inch too (a QPrinter set to that resolution), or be scaled to it.
//
// Pages break between lines: a page holds the lines that fit whole, so a line is never cut.
// A line taller than a page gets a page of its own and is cut at its bottom. Pictures are drawn
// on every page whose band they meet, cut at the page's edges; a picture reaching below the
// last line adds pages. With ParagraphTimes, each paragraph's moment (the first of its
// characters that has one) stands in the left margin beside its first line, as "10:42".
// Every page ends with a footer: the title and "page N of M".
//
// The layout registers a formatter of its own with the document for its lifetime (the
// document has room for three). User-interface thread only (fonts and painters).

#include "vlDateTime.h"
#include "vl_Formatter.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QPainter;
class TDocument;

struct RPrintOptions {
  int PageWidth = 720;    // the printable area in layout pixels (7.5 inches)
  int PageHeight = 1000;  // including the footer
  bool ParagraphTimes = true;
  QString Title;  // in every page's footer
};

class TvlPrintLayout {
 public:
  // The width of the time column at the left when ParagraphTimes is on.
  static constexpr int TimeColumnWidth = 48;
  // The footer's band at the bottom of every page.
  static constexpr int FooterHeight = 24;

  TvlPrintLayout(TDocument &Doc, const RPrintOptions &Options);
  ~TvlPrintLayout();
  TvlPrintLayout(const TvlPrintLayout &) = delete;
  TvlPrintLayout &operator=(const TvlPrintLayout &) = delete;

  int PageCount() const { return static_cast<int>(FPages.size()); }
  // The lines of page Index (0-based): the first, and one past the last (equal when the page
  // holds pictures only).
  std::int32_t FirstLine(int Index) const {
    return FPages.at(static_cast<std::size_t>(Index)).First;
  }
  std::int32_t EndLine(int Index) const { return FPages.at(static_cast<std::size_t>(Index)).End; }
  // Draws page Index with its top left corner at the painter's origin.
  void DrawPage(QPainter &Painter, int Index);

  // The moment a paragraph stands for: its first character with a moment on the recordings,
  // else the first typed at a known time; 0 when none has one.
  static TDateTime ParagraphMoment(const TDocument &Doc, std::int32_t SN);
  // "10:42" for a moment; empty for 0.
  static QString MomentText(TDateTime When);

 private:
  struct RPage {
    std::int32_t First = 1;
    std::int32_t End = 1;
    std::int64_t Top = 0;     // the band's top in virtual Y
    std::int64_t Height = 0;  // the band's height (the lines', or a page's for pictures only)
  };
  void Paginate();
  void DrawTimes(QPainter &Painter, const RPage &Page);
  void DrawFooter(QPainter &Painter, int Index);

  TDocument &FDoc;
  RPrintOptions FOptions;
  std::unique_ptr<TEditFormatter> FFormatter;
  std::vector<RPage> FPages;
};
