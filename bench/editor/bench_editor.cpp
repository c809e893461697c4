// bench_editor: from a key event for a typed character to the end of the repaint it causes, in
// a 1000 x 700 editor view showing a document of 5,000 paragraphs (about 1 MB), offscreen; 2,000
// keys near the middle and near the end of the document. The same measure for a QPlainTextEdit
// holding the same text is the baseline. Counters p50_ms and p99_ms.

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

void BM_WindowViewKeyToRepaint(benchmark::State &State) {
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
  std::vector<double> ms;
  for (auto _ : State) {
    doc.AtPos_NoSelectionSet(TCaretPos{sn, 20, false});
    view.Caret_ScrollIntoView();
    view.repaint();
    for (int k = 0; k < Keys; ++k) {
      QElapsedTimer t;
      t.start();
      TypeKey(&view, QChar(u'a' + k % 26));
      view.repaint();
      ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
  }
  Report(State, ms);
}
BENCHMARK(BM_WindowViewKeyToRepaint)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

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
