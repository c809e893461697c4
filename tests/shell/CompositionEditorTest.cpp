// What a notes editor is expected to do, through the program as main() builds it over the
// simulated sound server: Select All and the Format menu with their keys, shortcuts that show
// and never collide, printing a tab to paper and to PDF, a search that reads and selects what it
// found, a recording indicator in the title and the status bar, instant replay at the chosen
// speed, and a transcription hint that gets out of the way.

#include "vl09_Hint.h"
#include "vl09_Main.h"
#include "vl09_MyAudio.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlAudioTestSupport.h"
#include "vlEditorPage.h"
#include "vlPlaybackSpeed.h"
#include "vlPrintCommands.h"
#include "vlPrintLayout.h"
#include "vlProgram.h"
#include "vlProgramRig.h"
#include "vlSearchPanel.h"
#include "vlTestSupport.h"
#include "vlWindowView.h"
#include "vldRichString.h"
#include "vldTemporal.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPageLayout>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <cmath>
#include <map>
#include <memory>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// One run of the program (the shared rig), with the menus looked up by title and the active
// document.
struct TStartedProgram : TProgramRig {
  QMenu *Menu(const QString &Title) const {
    for (QAction *top : Window->menuBar()->actions())
      if (top->text() == Title && top->menu()) return top->menu();
    ADD_FAILURE() << qPrintable(Title) << " is not in the menu bar";
    return nullptr;
  }
  TDocument &Doc() const { return *Program->Notebook()->GetActiveDocument(); }
};

// One paragraph per line; character k of line i at Start + (60 i + k) seconds, so that each
// paragraph begins a minute after the one before.
void FillDocument(TDocument &Doc, const QStringList &Lines, TDateTime Start) {
  Doc.ClearSections();
  const TFontIndex font = Doc.Font_GetFontsInUseObjectReference().CurrentFont_GetIndex();
  for (int i = 0; i < Lines.size(); ++i) {
    TParagraph &p = i == 0 ? *Doc.Paragraph_FromSectionNum(0) : Doc.Paragraph_Append();
    for (int k = 0; k < Lines[i].size(); ++k) {
      const TDateTime t = Start + (i * 60 + k) / SecsPerDay;
      p.Char_Append(Lines[i][k], font, RvlTimestamp{t, t});
    }
    p.FNLFont = font;
  }
  Doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
}

QString RunTool(const QString &Program, const QStringList &Args) {
  QProcess process;
  process.start(Program, Args);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) return QString();
  return QString::fromUtf8(process.readAllStandardOutput());
}

// The pages of a PDF, by pdfinfo.
int PdfPages(const QString &Path) {
  const QRegularExpressionMatch m =
      QRegularExpression(S("Pages:\\s+(\\d+)")).match(RunTool(S("pdfinfo"), {Path}));
  return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The text of page First..Last of a PDF (1-based; 0 for all), by pdftotext.
QString PdfText(const QString &Path, int First = 0, int Last = 0) {
  QStringList args{S("-layout")};
  if (First > 0) args << S("-f") << QString::number(First) << S("-l") << QString::number(Last);
  return RunTool(S("pdftotext"), args << Path << S("-"));
}

bool HavePoppler() {
  return !QStandardPaths::findExecutable(S("pdftotext")).isEmpty() &&
         !QStandardPaths::findExecutable(S("pdfinfo")).isEmpty() &&
         !QStandardPaths::findExecutable(S("pdffonts")).isEmpty();
}

}  // namespace

TEST(CompositionEditor, SelectAllTheFormatMenuAndShortcutsThatShowAndNeverCollide) {
  TStartedProgram run;
  TvlEditorPage *page = run.ActivePage();
  ASSERT_NE(page, nullptr);
  FillDocument(run.Doc(), {S("first line"), S("second line")}, 40059.4);
  TDocument &doc = run.Doc();
  const auto allSelected = [&] {
    return doc.FAtPosSelect.SN == 0 && doc.FAtPosSelect.FGN == 1 &&
           doc.FAtPos.SN == doc.Document_LastCaretPos().SN &&
           doc.FAtPos.FGN == doc.Document_LastCaretPos().FGN;
  };
  struct RRow {
    const char *How;
    std::function<void()> Select;
  };
  const RRow rows[] = {
      {"Edit > Select All", [&] { run.MenuItem(S("&Edit"), S("Select &All"))->trigger(); }},
      {"Ctrl+Shift+A",
       [&] { QTest::keyClick(&page->View(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier); }},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.How);
    doc.AtPos_NoSelectionSet(TCaretPos{1, 3, false});
    row.Select();
    EXPECT_TRUE(allSelected());
  }
  // Ctrl+A stays the speed's key.
  doc.AtPos_NoSelectionSet(TCaretPos{1, 3, false});
  const int speed = run.Window->Speed();
  QTest::keyClick(&page->View(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(run.Window->Speed(), speed + 5);
  EXPECT_FALSE(doc.Select_IsAnyTextSelected());

  // The Format menu holds the text commands; with a selection, Ctrl+B makes it bold.
  QMenu *format = run.Menu(S("For&mat"));
  ASSERT_NE(format, nullptr);
  for (const char *name : {"aFontBold", "aFontItalic", "aFontUnderline", "aTextBullets",
                           "aTextFontIncrease", "aTextFontDecrease"})
    EXPECT_TRUE(format->actions().contains(run.Window->Action(S(name)))) << name;
  run.MenuItem(S("&Edit"), S("Select &All"))->trigger();
  QTest::keyClick(&page->View(), Qt::Key_B, Qt::ControlModifier);
  EXPECT_TRUE(doc.FontsInUse.BaseOrDefault(doc.Paragraph_FromSectionNum(1)->Fonts()[2])
                  .Style.testFlag(fsBold));
  EXPECT_TRUE(run.Window->Action(S("aFontBold"))->isChecked());

  // The keys a user looks for, shown in their menus.
  const std::map<QString, QString> keys = {
      {S("aFileNew"), S("Ctrl+Shift+N")},
      {S("aFileOpen"), S("Ctrl+O")},
      {S("aFileSave"), S("Ctrl+S")},
      {S("aFileClose"), S("Ctrl+W")},
      {S("aFileExit"), S("Ctrl+Q")},
      {S("aFilePrint"), S("Ctrl+P")},
      {S("aEditSelectAll"), S("Ctrl+Shift+A")},
      {S("aFontBold"), S("Ctrl+B")},
      {S("aPlaySpeedNatural"), S("Ctrl+N")},
  };
  for (const auto &[name, key] : keys) {
    SCOPED_TRACE(qPrintable(name));
    QAction *a = run.Window->Action(name);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->shortcut().toString(), key);
    EXPECT_TRUE(a->isShortcutVisibleInContextMenu());
  }
  // Each menu of the bar opens with a letter of its own (Alt+letter).
  std::map<QChar, QString> letters;
  for (QAction *top : run.Window->menuBar()->actions()) {
    if (!top->isVisible()) continue;
    const qsizetype amp = top->text().indexOf(u'&');
    ASSERT_GE(amp, 0) << qPrintable(top->text());
    const auto [it, added] = letters.emplace(top->text().at(amp + 1).toLower(), top->text());
    EXPECT_TRUE(added) << qPrintable(it->second) << " and " << qPrintable(top->text());
  }
  // No key runs two commands: Qt would run neither.
  std::map<QString, QString> owner;
  for (QAction *a : run.Window->findChildren<QAction *>()) {
    if (a->shortcut().isEmpty() || !a->isVisible()) continue;
    const QString key = a->shortcut().toString();
    const auto [it, added] = owner.emplace(key, a->objectName());
    EXPECT_TRUE(added) << qPrintable(key) << ": " << qPrintable(it->second) << " and "
                       << qPrintable(a->objectName());
  }
}

TEST(CompositionEditor, ATabPrintedToPdfHasItsPagesItsTextOnceAndEachParagraphsTime) {
  if (!HavePoppler())
    GTEST_FAIL() << "pdfinfo, pdftotext, pdffonts (poppler-utils, scripts/setup.sh)";
  TStartedProgram run;
  TvlNotebook &notebook = *run.Program->Notebook();
  notebook.SetCaption(notebook.ActivePageIndex(), S("Lecture"));
  // Enough paragraphs for several pages, the first typed at 10:42, each a minute later.
  QStringList lines;
  for (int i = 1; i <= 150; ++i) lines << S("Paragraph number %1 of the lecture notes.").arg(i);
  lines[2] = S("A point to remember");
  FillDocument(run.Doc(), lines, EncodeDateTime(2009, 9, 3, 10, 42, 0));
  run.Doc().AtPos_NoSelectionSet(TCaretPos{2, 1, false});
  run.Window->Action(S("aTextBullets"))->trigger();
  // Bold and a colour of its own for the first paragraph.
  run.Doc().AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  run.Doc().FAtPosSelect = TCaretPos{0, 10, false};
  run.Window->Action(S("aFontBold"))->trigger();

  TFreshFolder out;
  const QString pdf = out.File(S("Lecture.pdf"));
  TTestEnvironment::TestPrompts().ScriptFileName(out.File(S("Lecture")));  // ".pdf" added
  run.MenuItem(S("&File"), S("Print to P&DF ..."))->trigger();
  ASSERT_TRUE(QFile::exists(pdf));

  // As many pages as the layout made for the printer's page, and more than one.
  QPrinter printer(QPrinter::HighResolution);
  const QRect area = printer.pageLayout().paintRectPixels(96);
  TvlPrintLayout layout(run.Doc(), RPrintOptions{area.width(), area.height(), true, S("Lecture")});
  const int pages = PdfPages(pdf);
  EXPECT_GE(pages, 3);
  EXPECT_EQ(pages, layout.PageCount());
  // Every paragraph printed once, none lost or doubled where the pages break; the first on the
  // first page, the last on the last.
  const QString text = PdfText(pdf);
  for (int i = 1; i <= 150; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(text.count(S("Paragraph number %1 of").arg(i)), i == 3 ? 0 : 1);
  }
  EXPECT_TRUE(text.contains(S("\u2022 A point to remember"))) << qPrintable(text.left(600));
  // The notes' faces are embedded, the bold one too.
  const QString fonts = RunTool(S("pdffonts"), {pdf});
  EXPECT_TRUE(fonts.contains(S("Bold"))) << qPrintable(fonts);
  EXPECT_TRUE(PdfText(pdf, 1, 1).contains(S("Paragraph number 1 of")));
  EXPECT_TRUE(PdfText(pdf, pages, pages).contains(S("Paragraph number 150 of")));
  // The time of each paragraph in the margin; the footer.
  EXPECT_TRUE(text.contains(S("10:42")));
  EXPECT_TRUE(text.contains(S("10:43")));
  EXPECT_TRUE(text.contains(S("page 1 of %1").arg(pages)));

  // Without the times, through File > Print (Ctrl+P) and a printer chosen in the dialog.
  run.Options.FPrintParagraphTimes = false;
  const QString printed = out.File(S("Printed.pdf"));
  int asked = 0;
  run.Window->PrintCommands().AskPrinter = [&](QPrinter &Printer) {
    ++asked;
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(printed);
    return true;
  };
  QTest::keyClick(&run.ActivePage()->View(), Qt::Key_P, Qt::ControlModifier);
  EXPECT_EQ(asked, 1);
  ASSERT_TRUE(QFile::exists(printed));
  const QString plain = PdfText(printed);
  EXPECT_TRUE(plain.contains(S("Paragraph number 150 of")));
  EXPECT_FALSE(plain.contains(S("10:42")));

  // A selection is the editor's, not the notes': printing neither shows nor loses it.
  run.Doc().AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  run.Doc().FAtPosSelect = TCaretPos{2, 4, false};
  run.Window->PrintCommands().aFilePrintExecute();
  EXPECT_EQ(run.Doc().FAtPosSelect.SN, 2);
  EXPECT_EQ(run.Doc().FAtPosSelect.FGN, 4);
}

TEST(CompositionEditor, EnterSearchesResultsReadWellAndAClickSelectsTheHit) {
  TStartedProgram run;
  TvlNotebook &notebook = *run.Program->Notebook();
  notebook.SetCaption(notebook.ActivePageIndex(), S("Lecture"));
  const TDateTime start = EncodeDateTime(2009, 9, 3, 10, 42, 0);
  FillDocument(run.Doc(), {S("nothing here"), S("the café and the Straße with a needle in it")},
               start);
  // Ctrl+F in the notes opens the panel with the box ready for typing.
  ASSERT_NE(run.ActivePage(), nullptr);
  run.ActivePage()->View().setFocus();
  QTest::keyClick(&run.ActivePage()->View(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_FALSE(run.Window->SearchResultsPnl()->isHidden());
  TSearchPanel &panel = *run.Window->SearchPanel();
  EXPECT_TRUE(panel.SearchCmBx->hasFocus() || panel.SearchCmBx->lineEdit()->hasFocus());
  // Keys reach the box as they reach it from the keyboard: through the combo box, which hands
  // them to its line edit (no event filter of the line edit sees them then).
  QLineEdit *box = panel.SearchCmBx->lineEdit();
  QTest::keyClicks(panel.SearchCmBx, S("Needle"));
  EXPECT_EQ(box->text(), S("Needle"));
  QTest::keyClick(panel.SearchCmBx, Qt::Key_Return);
  ASSERT_EQ(panel.ResultsLB->count(), 1);
  QListWidgetItem *item = panel.ResultsLB->item(0);
  // The tab, the moment of the hit (paragraph 1 began a minute after 10:42; "needle" is its
  // 32nd character), the context: no internal notation.
  const QString line = item->text();
  EXPECT_EQ(line, S("Lecture \u00B7 10:43 \u00B7 \u2026 and the Stra\u00DFe with a needle in it"));
  EXPECT_EQ(line.mid(item->data(TSearchPanel::HitStartRole).toInt(),
                     item->data(TSearchPanel::HitLengthRole).toInt()),
            S("needle"));
  EXPECT_EQ(item->toolTip(), S("the café and the Straße with a needle in it"));

  // A click selects the hit, the caret at its end, and the timelines follow to its moment.
  QTest::mouseClick(panel.ResultsLB->viewport(), Qt::LeftButton, {},
                    panel.ResultsLB->visualItemRect(item).center());
  TDocument &doc = run.Doc();
  EXPECT_EQ(doc.FAtPosSelect.SN, 1);
  EXPECT_EQ(doc.FAtPosSelect.FGN, 32);
  EXPECT_EQ(doc.FAtPos.SN, 1);
  EXPECT_EQ(doc.FAtPos.FGN, 38);
  EXPECT_EQ(doc.CaretSpan_Plain(doc.FAtPosSelect, doc.FAtPos), S("needle"));
  TTimelinePanelLink *timelines = run.Window->TimelinePanelLink();
  ASSERT_NE(timelines, nullptr);
  const TDateTime hitMoment = start + (60 + 36) / SecsPerDay;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return std::abs(timelines->FeatureMoment() - hitMoment) < 2 / SecsPerDay; }, 5000))
      << timelines->FeatureMoment() << " " << hitMoment;

  // Nothing found says so in words.
  box->setText(S("haystack"));
  QTest::keyClick(panel.SearchCmBx, Qt::Key_Enter);
  ASSERT_EQ(panel.ResultsLB->count(), 1);
  EXPECT_EQ(panel.ResultsLB->item(0)->text(), S("Search string \"haystack\" not found."));
  // Escape closes the panel.
  QTest::keyClick(panel.SearchCmBx, Qt::Key_Escape);
  EXPECT_TRUE(run.Window->SearchResultsPnl()->isHidden());
}

TEST(CompositionEditor, RecordingShowsARedDotAndTheTimeInTheTitleAndTheStatusBar) {
  TStartedProgram run;
  ASSERT_TRUE(run.Window->AudioReady());
  TVellomarFm &fm = *run.Window;
  QLabel *indicator = fm.RecordingIndicatorLbl();
  ASSERT_NE(indicator, nullptr);
  const QString title = fm.windowTitle();
  EXPECT_FALSE(title.contains(S("\u25CF")));
  EXPECT_TRUE(indicator->isHidden());

  run.MenuItem(S("&Record"), S("&Start"))->trigger();
  run.Run(3200);
  ASSERT_TRUE(run.Program->Audio().IsRecording());
  // The tool bars stay hidden: the indicator does not depend on them.
  EXPECT_FALSE(fm.AudioControlsPnl()->isVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return indicator->text().endsWith(S("0:03")); }, 5000))
      << qPrintable(indicator->text());
  EXPECT_TRUE(indicator->isVisible());
  EXPECT_EQ(indicator->text(), S("\u25CF Recording 0:03"));
  EXPECT_EQ(fm.windowTitle(), S("\u25CF Recording 0:03  -  ") + title);
  // Saving names the binder in the title; the indicator stays in front of it.
  TFreshFolder files;
  TTestEnvironment::TestPrompts().ScriptFileName(files.File(S("Lecture.vl")));
  run.MenuItem(S("&File"), S("Save &As ..."))->trigger();
  EXPECT_TRUE(fm.windowTitle().startsWith(S("\u25CF Recording 0:0")));
  EXPECT_TRUE(fm.windowTitle().endsWith(S("Lecture.vl")));

  run.MenuItem(S("&Record"), S("S&top"))->trigger();
  run.Run(500);
  EXPECT_FALSE(fm.windowTitle().contains(S("\u25CF")));
  EXPECT_TRUE(fm.windowTitle().endsWith(S("Lecture.vl")));
  EXPECT_TRUE(indicator->isHidden());

  struct RRow {
    std::int64_t MSecs;
    const char *Text;
  };
  for (const RRow &row : {RRow{0, "0:00"}, RRow{59999, "0:59"}, RRow{754000, "12:34"},
                          RRow{3723000, "1:02:03"}, RRow{-5, "0:00"}})
    EXPECT_EQ(RecordingElapsedText(row.MSecs), S(row.Text)) << row.MSecs;
}

TEST(CompositionEditor, InstantReplayKeepsTheSpeedAndTheTranscriptionHintGivesWay) {
  TStartedProgram run;
  ASSERT_TRUE(run.Window->AudioReady());
  TvlAudio &audio = run.Program->Audio();
  TVellomarFm &fm = *run.Window;
  const TDateTime began = Now();
  run.MenuItem(S("&Record"), S("&Start"))->trigger();
  run.Run(20000);
  run.MenuItem(S("&Record"), S("S&top"))->trigger();
  run.Run(500);
  ASSERT_FALSE(audio.IsRecording());

  // Slowed to 85 %, playing 15 seconds in: Ctrl+R goes back and plays on at 85 %.
  fm.SetSpeed(85);
  ASSERT_EQ(audio.Play_From(began + 15 / SecsPerDay, fm.Speed()), prOkay);
  run.Run(100);
  TvlEditorPage *page = run.ActivePage();
  ASSERT_NE(page, nullptr);
  QTest::keyClick(&page->View(), Qt::Key_R, Qt::ControlModifier);
  ASSERT_TRUE(audio.IsPlaying());
  EXPECT_EQ(fm.Speed(), 85);
  EXPECT_EQ(fm.TempoDisplayLbl()->text(), TempoDisplayText(85));
  const TDateTime from = audio.GetPlay_Position();
  EXPECT_NEAR(from, began + (15.1 - run.Options.FJumpBack) / SecsPerDay, 0.5 / SecsPerDay);
  run.Run(4000);
  // Four seconds of listening at 85 % cover 3.4 seconds of the recording.
  EXPECT_NEAR((audio.GetPlay_Position() - from) * SecsPerDay, 3.4, 0.25);
  audio.Play_Pause();

  // A transcription segment: the hint shows for a few seconds only, and the next key that is
  // not a transcription key takes it away; the mode (Pause plays on) outlasts it.
  run.Options.FLockstepLength = 3;
  run.Options.FLockstepOverlap = 5;  // as an older settings file may hold it
  fm.Action(S("aPlaySegment"))->trigger();
  ASSERT_TRUE(audio.IsPlaying());
  TvlHint *hint = fm.Hint();
  ASSERT_NE(hint, nullptr);
  EXPECT_TRUE(hint->isVisible());
  EXPECT_EQ(hint->HintText(), TranscriptionHintText);
  EXPECT_EQ(hint->HideTimerInterval(), TvlPlaybackCommands::TranscriptionHintMSecs);
  EXPECT_LE(TvlPlaybackCommands::TranscriptionHintMSecs, 5000);
  // The segment moves on although the overlap was not shorter than it.
  const TDateTime segmentFrom = audio.GetPlay_Position();
  // Three seconds of the recording at 85 %.
  run.Run(4500);
  EXPECT_FALSE(audio.IsPlaying());
  EXPECT_GT(audio.GetPlay_Position(), segmentFrom + 2 / SecsPerDay);
  QTest::keyClick(&page->View(), Qt::Key_X);
  EXPECT_FALSE(hint->isVisible());
  EXPECT_TRUE(fm.PlaybackCommands().TranscriptionHintActive());
  QKeyEvent pause(QEvent::KeyPress, Qt::Key_Pause, Qt::NoModifier);
  QApplication::sendEvent(&page->View(), &pause);
  EXPECT_TRUE(audio.IsPlaying());
  audio.Play_Pause();
}
