#include "vlPrintCommands.h"

#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vlAppPaths.h"
#include "vlCommandHost.h"
#include "vlPrintLayout.h"
#include "vlPrompts.h"
#include "vl_Document.h"

#include <QDir>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// The formatter lays out at 96 dots per inch; a printer counting the same needs no scaling, and
// fonts given in points come out at their size. Text and pictures stay vector data in a PDF.
constexpr int LayoutDpi = 96;

}  // namespace

TvlPrintCommands::TvlPrintCommands(TCommandHost &Host, TvlOptions &Options)
    : FHost(Host), FOptions(Options) {
  AskPrinter = [this](QPrinter &Printer) {
    QPrintDialog dialog(&Printer, &FHost.DialogParent());
    dialog.setWindowTitle(QStringLiteral("Print"));
    return dialog.exec() == QDialog::Accepted;
  };
}

TDocument *TvlPrintCommands::ActiveDocument(QString &Title) const {
  TvlNotebook *nb = FHost.Parts().Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  if (!page || !page->mtcDoc) {
    Prompts().Message(NothingToPrintText, TPromptIcon::piWarning);
    return nullptr;
  }
  Title = page->Caption.trimmed();
  return page->mtcDoc.get();
}

int TvlPrintCommands::PrintDocument(TDocument &Doc, const QString &Title, QPrinter &Printer,
                                    bool ParagraphTimes) {
  Printer.setResolution(LayoutDpi);
  if (!Title.isEmpty()) Printer.setDocName(Title);
  const QRect area = Printer.pageLayout().paintRectPixels(LayoutDpi);
  RPrintOptions options;
  options.PageWidth = area.width();
  options.PageHeight = area.height();
  options.ParagraphTimes = ParagraphTimes;
  options.Title = Title;
  TvlPrintLayout layout(Doc, options);
  // The printer's own page range, when the dialog set one (1-based, 0: all).
  const int from = std::max(1, Printer.fromPage());
  const int to =
      Printer.toPage() > 0 ? std::min(Printer.toPage(), layout.PageCount()) : layout.PageCount();
  QPainter painter;
  if (!painter.begin(&Printer)) return 0;
  int printed = 0;
  for (int page = from; page <= to; ++page) {
    if (printed > 0 && !Printer.newPage()) break;
    layout.DrawPage(painter, page - 1);
    ++printed;
  }
  painter.end();
  return printed;
}

void TvlPrintCommands::aFilePrintExecute() {
  QString title;
  TDocument *doc = ActiveDocument(title);
  if (!doc) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(title);
  if (!AskPrinter || !AskPrinter(printer)) return;
  if (PrintDocument(*doc, title, printer, FOptions.FPrintParagraphTimes) == 0)
    Prompts().Message(PrintFailedText, TPromptIcon::piWarning);
}

void TvlPrintCommands::aFilePrintPdfExecute() {
  QString title;
  TDocument *doc = ActiveDocument(title);
  if (!doc) return;
  QString name = title.isEmpty() ? QStringLiteral("Notes") : title;
  // A tab title may hold characters a file name cannot.
  name.replace(QLatin1Char('/'), QLatin1Char('-'));
  const QString suggested =
      QDir(AppPaths().DocumentsFolder()).filePath(name + QStringLiteral(".pdf"));
  QString path = Prompts().SaveFileName(QStringLiteral("Print to PDF"), suggested,
                                        QStringLiteral("PDF document (*.pdf);;All files (*)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  if (PrintDocument(*doc, title, printer, FOptions.FPrintParagraphTimes) == 0)
    Prompts().Message(PrintFailedText, TPromptIcon::piWarning);
}
