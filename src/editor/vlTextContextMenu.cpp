#include "vlTextContextMenu.h"

#include "vlEditorHost.h"
#include "vlSpelling.h"
#include "vlTextBullets.h"
#include "vlWindowView.h"
#include "vlWindowViewManager.h"
#include "vl_Document.h"
#include "vl_Formatter.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <functional>

TSeam<ITextMenuCommands> &TextMenuCommandsSeam() {
  static ITextMenuCommands none;
  static TSeam<ITextMenuCommands> seam(none);
  return seam;
}

namespace {

QString S(const char16_t *Text) { return QString::fromUtf16(Text); }

// The word of Doc's paragraph SN that the gap FGN lies in or touches; false when none.
bool WordAt(const TDocument &Doc, int SN, int FGN, RWordSpan &Word) {
  const TParagraph *p = Doc.Paragraph_FromSectionNum(SN);
  if (!p) return false;
  for (const RWordSpan &w : SpellWords(p->Text())) {
    const int first = w.Start + 1;
    if (FGN >= first && FGN <= first + w.Length) {
      Word = w;
      return true;
    }
  }
  return false;
}

bool InsideSelection(const TDocument &Doc, const TCaretPos &Pos) {
  if (!Doc.Select_IsAnyTextSelected()) return false;
  const TCaretPos a = Doc.SelectPos_Start(), b = Doc.SelectPos_End();
  return !TDocument::IsInSequence(Pos, a) && TDocument::IsInSequence(Pos, b);
}

void Redraw(TWindowView &View) {
  ViewManager().InvalidateAll(&View);
  View.SetDesiredXFromCaret();
  View.Caret_ScrollIntoView();
}

// An item of the menu that runs the window's action Name, or Fallback when the window has none.
// Its caption and shortcut are the window's; its enabled state is the menu's own.
void AddCommand(QMenu &Menu, const QString &Name, const QString &Caption, bool Enabled,
                std::function<void()> Fallback) {
  QAction *source = TextMenuCommandsSeam().Get().TextCommand(Name);
  auto *item = Menu.addAction(source ? source->text() : Caption);
  item->setObjectName(Name);
  if (source) {
    item->setShortcut(source->shortcut());
    item->setCheckable(source->isCheckable());
    item->setChecked(source->isChecked());
  }
  item->setEnabled(Enabled && (source ? source->isEnabled() : static_cast<bool>(Fallback)));
  QObject::connect(item, &QAction::triggered, &Menu,
                   [source = QPointer<QAction>(source), Fallback] {
                     if (source)
                       source->trigger();
                     else if (Fallback)
                       Fallback();
                   });
}

}  // namespace

QMenu *MakeTextContextMenu(TWindowView &View, const QPoint &WindowPos, QWidget *Parent) {
  auto *menu = new QMenu(Parent);
  menu->setObjectName(QStringLiteral("TextContextMenu"));
  TDocument *doc = View.Document();
  TEditFormatter *formatter = View.Formatter();
  if (!doc || !formatter) return menu;

  const TCaretPos clicked = formatter->Map_DocPosFromVirtualPos(
      View.VirtualPosFromWindowPos(WindowPos.x(), WindowPos.y()));
  if (!InsideSelection(*doc, clicked)) {
    doc->AtPos_NoSelectionSet(clicked);
    Redraw(View);
  }

  // Spelling of the word clicked, when the dictionary does not know it.
  RWordSpan word;
  TSpellChecker *checker = Spelling().Checker();
  if (checker && checker->IsLoaded() && WordAt(*doc, clicked.SN, clicked.FGN, word)) {
    const TParagraph *p = doc->Paragraph_FromSectionNum(clicked.SN);
    const QString text = p->Text().mid(word.Start, word.Length);
    if (!checker->IsCorrect(text)) {
      const QPointer<TWindowView> view(&View);
      const int sn = clicked.SN, first = word.Start + 1, length = word.Length;
      const QStringList suggestions = checker->Suggest(text, 6);
      for (const QString &s : suggestions) {
        QAction *a = menu->addAction(s);
        a->setObjectName(QStringLiteral("SpellingSuggestion"));
        QFont f = a->font();
        f.setBold(true);
        a->setFont(f);
        QObject::connect(a, &QAction::triggered, menu, [view, sn, first, length, text, s] {
          if (!view || !view->Document()) return;
          TDocument &d = *view->Document();
          // Only while the word is still the one the menu was made for.
          const TParagraph *para = d.Paragraph_FromSectionNum(sn);
          if (!para || para->Text().mid(first - 1, length) != text) return;
          ReplaceWordKeepingMoments(d, sn, first, length, s);
          Redraw(*view);
        });
      }
      if (suggestions.isEmpty()) menu->addAction(S(u"(No suggestions)"))->setEnabled(false);
      QAction *add = menu->addAction(S(u"&Add to dictionary"));
      add->setObjectName(QStringLiteral("SpellingAddToDictionary"));
      QObject::connect(add, &QAction::triggered, menu, [view, text] {
        if (TSpellChecker *c = Spelling().Checker()) c->AddToPersonal(text);
        ViewManager().InvalidateAll(view);
      });
      menu->addSeparator();
    }
  }

  const bool selected = doc->Select_IsAnyTextSelected();
  const QPointer<TWindowView> view(&View);
  const auto onDoc = [view](void (*Do)(TDocument &)) -> std::function<void()> {
    return [view, Do] {
      if (!view || !view->Document()) return;
      Do(*view->Document());
      Redraw(*view);
    };
  };
  AddCommand(*menu, S(u"aFileCut"), S(u"Cu&t"), selected,
             onDoc([](TDocument &d) { d.Clipboard_Cut(); }));
  AddCommand(*menu, S(u"aEditCopy"), S(u"&Copy"), selected,
             onDoc([](TDocument &d) { d.Clipboard_Copy(); }));
  AddCommand(*menu, S(u"aEditPaste"), S(u"&Paste"), doc->Clipboard_CanPaste(),
             onDoc([](TDocument &d) { d.Clipboard_Paste(); }));
  menu->addSeparator();
  const bool all = !(doc->Document_IsBlank() ||
                     (TDocument::IsSamePos(doc->SelectPos_Start(), doc->Document_FirstCaretPos()) &&
                      TDocument::IsSamePos(doc->SelectPos_End(), doc->Document_LastCaretPos())));
  AddCommand(*menu, S(u"aEditSelectAll"), S(u"Select &All"), all, onDoc([](TDocument &d) {
    d.FAtPosSelect = d.Document_FirstCaretPos();
    d.FAtPos = d.Document_LastCaretPos();
  }));
  menu->addSeparator();
  AddCommand(*menu, S(u"aFontBold"), S(u"&Bold"), true, [] { EditorHost().FontBold(); });
  AddCommand(*menu, S(u"aFontItalic"), S(u"&Italic"), true, [] { EditorHost().FontItalic(); });
  AddCommand(*menu, S(u"aFontUnderline"), S(u"&Underline"), true,
             [] { EditorHost().FontUnderline(); });
  menu->addSeparator();
  AddCommand(*menu, S(u"aTextBullets"), S(u"Bu&lleted List"), true, [view] {
    if (view) Bullets_Toggle(*view);
  });
  return menu;
}
