#pragma once
// TvlPrintCommands: File > Print and File > Print to PDF. Both print the active tab through Qt's
// print support, laid out on pages by the editor's formatter (vlPrintLayout.h), so the paper
// shows the notes as the editor does; the options say whether each paragraph's moment stands in
// the margin. The printer is chosen in the print dialog (a seam tests replace); the PDF's name
// through the prompts.
//
// Built by the program over the window that hosts it (vlCommandHost.h), which owns it from then on.
// User-interface thread only.

#include <QString>

#include <functional>

class QPrinter;
class TDocument;
class TCommandHost;
class TvlOptions;

inline const QString PrintFailedText =
    QStringLiteral("The notes could not be printed: the printer or file could not be opened.");
inline const QString NothingToPrintText =
    QStringLiteral("There is no tab to print. Please open or create a document first.");

class TvlPrintCommands {
 public:
  TvlPrintCommands(TCommandHost &Host, TvlOptions &Options);
  TvlPrintCommands(const TvlPrintCommands &) = delete;
  TvlPrintCommands &operator=(const TvlPrintCommands &) = delete;

  void aFilePrintExecute();
  void aFilePrintPdfExecute();

  // Prints Doc on Printer, which is set to 96 dots per inch (the formatter's); answers the number
  // of pages printed, 0 when the printer could not be opened.
  static int PrintDocument(TDocument &Doc, const QString &Title, QPrinter &Printer,
                           bool ParagraphTimes);

  // Chooses the printer (the print dialog); false when the user cancelled. Tests replace it.
  std::function<bool(QPrinter &Printer)> AskPrinter;

 private:
  // The active tab's document and title; nullptr (after saying so) when there is none.
  TDocument *ActiveDocument(QString &Title) const;

  TCommandHost &FHost;
  TvlOptions &FOptions;
};
