// Editing costs in documents of different sizes: a typed character, a typed line break, deleting
// a selection of 1,000 characters, and pasting 10,000 characters (from the program's own copy and
// as plain text); typing with the undo history off and on, and one step undone or redone in a
// document of 1 MB. The argument is the document's paragraph count, about 60 characters each; a
// typed character should cost the same whatever it is. One formatter is registered and marks the
// paragraphs it hears of, as the editor's does.

#include "vl_Document.h"
#include "vldStorage.h"
#include "vldUndoHistory.h"

#include <benchmark/benchmark.h>
#include <QString>

#include <random>

namespace {

TMemoryTextClipboard gClipboard;

// Notes of Paragraphs paragraphs: words with now and then another font.
void Fill(TDocument &Doc, int Paragraphs) {
  static const char16_t *const words[] = {u"the ",   u"recording ", u"notes, ", u"at ",
                                          u"10:45 ", u"speaker ",   u"said ",   u"data; "};
  std::mt19937 random(7);
  std::uniform_int_distribution<int> word(0, 7), font(1, 3);
  const TDateTime t0 = 45000.4;
  for (int i = 0; i < Paragraphs; ++i) {
    TParagraph &p = i == 0 ? *Doc.Paragraph_FromSectionNum(0) : Doc.Paragraph_Append();
    const TFontIndex f = static_cast<TFontIndex>(font(random));
    while (p.Length() < 60)
      for (const char16_t *c = words[word(random)]; *c; ++c) {
        const TDateTime t = t0 + (i * 100 + p.Length()) / 86400.0;
        p.Char_Append(QChar(*c), f, RvlTimestamp{t, t});
      }
  }
}

struct TBenchDocument {
  explicit TBenchDocument(int Paragraphs) {
    for (int i = 0; i < 3; ++i)
      Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 10 + i, 0, 0xFFFFFF, TFontStyles());
    Fill(Doc, Paragraphs);
    Doc.Notify_RegisterFormatter(
        [this](const TCaretPos &From, const TCaretPos &, const TCaretPos &NewTo) {
          for (int sn = From.SN; sn <= NewTo.SN; ++sn)
            if (auto *info =
                    dynamic_cast<TParagraphInfo *>(Doc.Paragraph_FromSectionNum(sn)->GetStorage(1)))
              info->WrapIsCurrent = false;
        },
        NewParagraphInfo);
  }
  TScopedTextClipboard UseClipboard{gClipboard};
  TDocument Doc;
};

void BM_TypingCharacter(benchmark::State &State) {
  const int paragraphs = static_cast<int>(State.range(0));
  TBenchDocument b(paragraphs);
  TDocument &doc = b.Doc;
  TCaretPos at{paragraphs / 2, 30, false};
  int typed = 0;
  for (auto _ : State) {
    doc.Char_Insert(u'a', 2, at);
    ++at.FGN;
    doc.AtPos_NoSelectionSet(at);
    // A sentence, then on in another paragraph, so that no paragraph grows without end.
    if (++typed % 50 == 0) at = TCaretPos{(at.SN + 37) % paragraphs, 30, false};
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_TypingLineBreakAndJoiningAgain(benchmark::State &State) {
  const int paragraphs = static_cast<int>(State.range(0));
  TBenchDocument b(paragraphs);
  TDocument &doc = b.Doc;
  const TCaretPos at{paragraphs / 2, 30, false};
  for (auto _ : State) {
    doc.Char_Insert(u'\n', 2, at);
    doc.Char_Delete(TCaretPos{at.SN, doc.Paragraph_FromSectionNum(at.SN)->After(), false});
  }
  State.SetItemsProcessed(State.iterations());
}

// Start of a selection of Count characters from (SN, 10), across paragraphs.
TCaretPos SelectionEnd(const TDocument &Doc, TCaretPos At, int Count) {
  while (Count > 0) {
    const int room = Doc.Paragraph_FromSectionNum(At.SN)->After() - At.FGN;
    if (Count <= room) {
      At.FGN += Count;
      return At;
    }
    Count -= room + 1;  // the line break counts as one
    At = TCaretPos{At.SN + 1, 1, false};
  }
  return At;
}

void BM_DeleteSelectionOf1000Characters(benchmark::State &State) {
  const int paragraphs = static_cast<int>(State.range(0));
  TBenchDocument b(paragraphs);
  TDocument &doc = b.Doc;
  const TCaretPos start{paragraphs / 2, 10, false};
  const TCaretPos stop = SelectionEnd(doc, start, 1000);
  TRichString removed;
  doc.CaretSpan_Rich(start, stop, removed);
  for (auto _ : State) {
    doc.FAtPosSelect = start;
    doc.FAtPos = stop;
    doc.Select_DeleteSelectedText();
    State.PauseTiming();
    TCaretPos newAt;
    doc.SubStr_Insert(removed, start, newAt);
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * 1000);
}

void Paste10000(benchmark::State &State, bool Plain) {
  const int paragraphs = static_cast<int>(State.range(0));
  TBenchDocument b(paragraphs);
  TDocument &doc = b.Doc;
  // 10,000 characters of the document itself, copied with the program's copy.
  const TCaretPos from{1, 1, false};
  const TCaretPos to = SelectionEnd(doc, from, 10000);
  doc.FAtPosSelect = from;
  doc.FAtPos = to;
  doc.Clipboard_Copy();
  if (Plain) gClipboard.SetText(gClipboard.Text() + QStringLiteral("~"));
  const TCaretPos at{paragraphs / 2, 30, false};
  for (auto _ : State) {
    doc.AtPos_NoSelectionSet(at);
    doc.Clipboard_Paste();
    State.PauseTiming();
    doc.CaretSpan_Delete(at, doc.FAtPos);
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * 10000);
}

void BM_Paste10000CharactersCopiedHere(benchmark::State &State) { Paste10000(State, false); }
void BM_Paste10000CharactersAsPlainText(benchmark::State &State) { Paste10000(State, true); }

// Typing words as the keyboard types them (Text_Type), with the undo history off and on: the
// difference is what the history costs per character.
void TypingWords(benchmark::State &State, bool History) {
  const int paragraphs = static_cast<int>(State.range(0));
  TBenchDocument b(paragraphs);
  TDocument &doc = b.Doc;
  doc.Undo_Switch(History);
  static const QString text = QStringLiteral("the speaker said that the data were new ");
  doc.AtPos_NoSelectionSet(TCaretPos{paragraphs / 2, 30, false});
  const TFontIndex font = 2;
  qsizetype k = 0;
  int typed = 0;
  for (auto _ : State) {
    const QChar c = text[k];
    k = (k + 1) % text.size();
    doc.Text_Type(QStringView(&c, 1), font, false);
    if (++typed % 200 == 0)
      doc.AtPos_NoSelectionSet(TCaretPos{(doc.FAtPos.SN + 37) % paragraphs, 30, false});
  }
  State.SetItemsProcessed(State.iterations());
}

void BM_TypingWordsHistoryOff(benchmark::State &State) { TypingWords(State, false); }
void BM_TypingWordsHistoryOn(benchmark::State &State) { TypingWords(State, true); }

// One step undone and done again in a document of about 1 MB of text (17,000 paragraphs of 60
// characters): a typed word, or a deleted selection of 1,000 characters across paragraphs. Items
// are single steps (an undo or a redo).
void UndoRedo(benchmark::State &State, bool Selection) {
  constexpr int paragraphs = 17000;
  TBenchDocument b(paragraphs);
  TDocument &doc = b.Doc;
  doc.Undo_Switch(true);
  const TCaretPos start{paragraphs / 2, 10, false};
  if (Selection) {
    doc.FAtPosSelect = start;
    doc.FAtPos = SelectionEnd(doc, start, 1000);
    doc.Select_DeleteSelectedText();
  } else {
    doc.AtPos_NoSelectionSet(start);
    for (QChar c : QStringLiteral("recording")) doc.Text_Type(QStringView(&c, 1), 2, false);
  }
  TUndoHistory &history = doc.Undo_History();
  for (auto _ : State) {
    history.Undo();
    history.Redo();
  }
  State.SetItemsProcessed(State.iterations() * 2);
}

void BM_UndoRedoTypedWordIn1MB(benchmark::State &State) { UndoRedo(State, false); }
void BM_UndoRedoDeleted1000CharactersIn1MB(benchmark::State &State) { UndoRedo(State, true); }

}  // namespace

BENCHMARK(BM_TypingWordsHistoryOff)->Arg(500)->Arg(50000);
BENCHMARK(BM_TypingWordsHistoryOn)->Arg(500)->Arg(50000);
BENCHMARK(BM_UndoRedoTypedWordIn1MB);
BENCHMARK(BM_UndoRedoDeleted1000CharactersIn1MB);
BENCHMARK(BM_TypingCharacter)->Arg(500)->Arg(5000)->Arg(50000);
BENCHMARK(BM_TypingLineBreakAndJoiningAgain)->Arg(500)->Arg(5000)->Arg(50000);
BENCHMARK(BM_DeleteSelectionOf1000Characters)->Arg(500)->Arg(5000);
BENCHMARK(BM_Paste10000CharactersCopiedHere)->Arg(500)->Arg(5000);
BENCHMARK(BM_Paste10000CharactersAsPlainText)->Arg(500)->Arg(5000);

BENCHMARK_MAIN();
