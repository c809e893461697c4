#include "vldStorage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QObject>
#include <QPointer>

// ---- The system clipboard ------------------------------------------------------------------

struct TSystemTextClipboard::RCache {
  QObject Context;  // ends the change connection with this object
  QPointer<QClipboard> Watched;
  bool Known = false;
  bool HasText = false;

  QClipboard *Clipboard() {
    QClipboard *clipboard = qGuiApp ? QGuiApplication::clipboard() : nullptr;
    if (clipboard && clipboard != Watched) {
      Watched = clipboard;
      Known = false;
      QObject::connect(clipboard, &QClipboard::changed, &Context, [this](QClipboard::Mode M) {
        if (M == QClipboard::Clipboard) Known = false;
      });
    }
    return clipboard;
  }
};

TSystemTextClipboard::TSystemTextClipboard() : FCache(std::make_unique<RCache>()) {}

TSystemTextClipboard::~TSystemTextClipboard() = default;

bool TSystemTextClipboard::HasText() const {
  QClipboard *clipboard = FCache->Clipboard();
  if (!clipboard) return false;
  if (!FCache->Known) {
    const QMimeData *data = clipboard->mimeData(QClipboard::Clipboard);
    FCache->HasText = data && data->hasText();
    FCache->Known = true;
  }
  return FCache->HasText;
}

QString TSystemTextClipboard::Text() const {
  QClipboard *clipboard = FCache->Clipboard();
  return clipboard ? clipboard->text(QClipboard::Clipboard) : QString();
}

void TSystemTextClipboard::SetText(const QString &Text) {
  QClipboard *clipboard = FCache->Clipboard();
  if (!clipboard) return;
  clipboard->setText(Text, QClipboard::Clipboard);
  FCache->Known = false;
}

namespace {

TTextClipboard &SystemClipboard() {
  static TSystemTextClipboard clipboard;
  return clipboard;
}

}  // namespace

TSeam<TTextClipboard> &TextClipboardSeam() {
  static TSeam<TTextClipboard> seam(SystemClipboard());
  return seam;
}

TTextClipboard &TextClipboard() { return TextClipboardSeam().Get(); }

void SetTextClipboard(TTextClipboard *Clipboard) { TextClipboardSeam().Install(Clipboard); }

TScopedTextClipboard::TScopedTextClipboard(TTextClipboard &Installed)
    : FPrevious(TextClipboardSeam().Installed()) {
  TextClipboardSeam().Install(&Installed);
}

TScopedTextClipboard::~TScopedTextClipboard() { TextClipboardSeam().Install(FPrevious); }

// ---- The rich copy -------------------------------------------------------------------------

void TRichClipboard::Put(const TRichString &Text, const TFontsInUse &Fonts) {
  FContent.MyAssign(Text);
  FFonts.clear();
  for (const TFontIndex f : Text.Fonts())
    if (!FFonts.contains(f)) FFonts.emplace(f, Fonts.BaseOrDefault(f));
  if (!FFonts.contains(Text.FNLFont))
    FFonts.emplace(Text.FNLFont, Fonts.BaseOrDefault(Text.FNLFont));
}

void TRichClipboard::Clear() {
  FContent.Clear();
  FFonts.clear();
}

void TRichClipboard::CopyForTarget(TFontsInUse &Target, TRichString &Out) const {
  Out.MyAssign(FContent);
  std::map<TFontIndex, TFontIndex> mapped;
  for (const auto &[index, a] : FFonts) {
    const TFontInUse *e = Target.Entry(index);
    const bool same =
        e && Target.Matches(*e, a.Name, a.Rotation, a.Size, a.Color, a.Highlight, a.Style);
    mapped.emplace(index, same ? index : Target.GetFontIndexOf(a));
  }
  for (int i = 1; i <= Out.High(); ++i) {
    const auto it = mapped.find(Out.Char_GetFont(i));
    if (it != mapped.end() && it->second != it->first) Out.Char_SetFont(i, it->second);
  }
  if (const auto it = mapped.find(Out.FNLFont); it != mapped.end()) Out.FNLFont = it->second;
}

TRichClipboard &InternalClipboard() {
  static TRichClipboard clipboard;
  return clipboard;
}
