// bench_editor: from a key event for a typed character to the end of the repaint it causes, in
// a 1000 x 700 editor view showing a document of 5,000 paragraphs (about 1 MB), offscreen; 2,000
// keys near the middle and near the end of the document. The same measure for a QPlainTextEdit
// holding the same text is the baseline. Counters p50_ms and p99_ms.
// BM_WindowViewKeyToRepaintSpelling: the same with "Check spelling while typing" and "Correct
// common mistakes" on over the system's en_US dictionary (the text's letters are shuffled, so
// most words are unknown and underlined), plus check_ms: an idle check of the visible lines.
// Both also type words (five letters and a blank) instead of letters alone.

#include "vlSpelling.h"
#include "vlWindowView.h"
#include "vl_Document.h"
#include "vl_Formatter.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int Keys = 2000;

QString ParagraphText(int I) {
  static const QString words = QStringLiteral(
      "Notes typed while the recording runs, with a moment for every character and words of "
      "varied length so that lines break in different places across the whole document text. ");
  QString s;
  const int len = 150 + (I * 37) % 100;
  for (int k = 0; k < len; ++k) s += words[(k + I) % words.size()];
  return s;
}

void Report(benchmark::State &State, std::vector<double> &Ms) {
  std::sort(Ms.begin(), Ms.end());
  if (Ms.empty()) return;
  State.counters["p50_ms"] = Ms[Ms.size() / 2];
  State.counters["p99_ms"] = Ms[std::min(Ms.size() - 1, Ms.size() * 99 / 100)];
}

void TypeKey(QWidget *Target, QChar C) {
  QKeyEvent press(QEvent::KeyPress, C.toUpper().unicode(), Qt::NoModifier, QString(C));
  QCoreApplication::sendEvent(Target, &press);
  QKeyEvent release(QEvent::KeyRelease, C.toUpper().unicode(), Qt::NoModifier, QString(C));
  QCoreApplication::sendEvent(Target, &release);
}

class TBenchSpelling final : public ISpelling {
 public:
  TBenchSpelling() { Checker_.Load(TSpellChecker::SystemFolder(), QStringLiteral("en_US")); }
  TSpellChecker *Checker() override { return &Checker_; }
  bool CheckWhileTyping() const override { return true; }
  bool CorrectCommonMistakes() const override { return true; }
  TSpellChecker Checker_;
};

void KeyToRepaint(benchmark::State &State, bool Spelling) {
  TBenchSpelling spelling;
  std::unique_ptr<TSeamInstall<ISpelling>> installed;
  if (Spelling) {
    if (!spelling.Checker_.IsLoaded()) {
      State.SkipWithError("no en_US dictionary");
      return;
    }
    installed = std::make_unique<TSeamInstall<ISpelling>>(SpellingSeam(), spelling);
  }
  TDocument doc;
  const TFontIndex font =
      doc.Font_GetIndex(QStringLiteral("Comic Sans MS"), 0, 10, 0, 0xFFFFFF, {});
  for (int i = 0; i < 5000; ++i) {
    TParagraph &p = i == 0 ? *doc.Paragraph_FromSectionNum(0) : doc.Paragraph_Append();
    for (QChar c : ParagraphText(i)) p.Char_Append(c, font, RvlTimestamp{45000.5, 45000.5});
  }
  doc.FontsInUse.CurrentFont_SetFromIndex(font);
  TEditFormatter formatter(&doc);
  TWindowView view(nullptr, QStringLiteral("bench"));
  view.resize(1000, 700);
  view.SetFormatter(&formatter);
  view.show();
  view.setFocus();
  QCoreApplication::processEvents();
  const int sn = State.range(0) == 0 ? 2500 : 4990;
  const bool Words = State.range(1) != 0;
  std::vector<double> ms;
  std::vector<double> checks;
  for (auto _ : State) {
    doc.AtPos_NoSelectionSet(TCaretPos{sn, 20, false});
    view.Caret_ScrollIntoView();
    view.repaint();
    // The idle check has run once over what is shown, as it does before anyone types.
    view.Spelling_CheckVisibleNow();
    view.repaint();
    for (int k = 0; k < Keys; ++k) {
      QElapsedTimer t;
      t.start();
      // The letters alone, as this measure always typed; or words of five letters and a blank,
      // so that words end (and, with spelling, ask for corrections).
      TypeKey(&view, Words && k % 6 == 5 ? QChar(u' ') : QChar(u'a' + k % 26));
      view.repaint();
      ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
      if (Spelling && k % 50 == 49) {
        QElapsedTimer c;
        c.start();
        view.Spelling_CheckVisibleNow();
        checks.push_back(static_cast<double>(c.nsecsElapsed()) / 1e6);
      }
    }
  }
  Report(State, ms);
  if (!checks.empty()) {
    std::sort(checks.begin(), checks.end());
    State.counters["check_ms"] = checks[checks.size() / 2];
  }
}

// Arguments: where (0 the middle, 1 the end), what (0 letters, 1 words).
void BM_WindowViewKeyToRepaint(benchmark::State &State) { KeyToRepaint(State, false); }
BENCHMARK(BM_WindowViewKeyToRepaint)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_WindowViewKeyToRepaintSpelling(benchmark::State &State) { KeyToRepaint(State, true); }
BENCHMARK(BM_WindowViewKeyToRepaintSpelling)
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_BaselinePlainTextEditKeyToRepaint(benchmark::State &State) {
  QString all;
  for (int i = 0; i < 5000; ++i) all += ParagraphText(i) + QLatin1Char('\n');
  QPlainTextEdit edit;
  edit.resize(1000, 700);
  edit.setPlainText(all);
  edit.show();
  edit.setFocus();
  QCoreApplication::processEvents();
  const int block = State.range(0) == 0 ? 2500 : 4990;
  std::vector<double> ms;
  for (auto _ : State) {
    QTextCursor c(edit.document()->findBlockByNumber(block));
    c.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 20);
    edit.setTextCursor(c);
    edit.ensureCursorVisible();
    edit.viewport()->repaint();
    for (int k = 0; k < Keys; ++k) {
      QElapsedTimer t;
      t.start();
      TypeKey(edit.viewport(), QChar(u'a' + k % 26));
      edit.viewport()->repaint();
      ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
  }
  Report(State, ms);
}
BENCHMARK(BM_BaselinePlainTextEditKeyToRepaint)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
