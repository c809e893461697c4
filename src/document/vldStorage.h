#pragma once
// What documents keep outside themselves: the system clipboard, which they use for text only,
// and the rich copy of the last text copied in the program, which every document shares and
// which outlives them all.
//
// A copy puts the plain text on the system clipboard and keeps the rich text here. A paste whose
// clipboard text is still exactly that plain text inserts the rich copy instead, keeping fonts
// and moments; text changed in another program comes in as plain text.
//
// User-interface thread only.

#include "vlSeam.h"
#include "vldFontsInUse.h"
#include "vldRichString.h"

#include <QString>

#include <map>
#include <memory>

// ---- The system clipboard ------------------------------------------------------------------

class TTextClipboard {
 public:
  virtual ~TTextClipboard() = default;
  virtual bool HasText() const = 0;
  virtual QString Text() const = 0;
  virtual void SetText(const QString &Text) = 0;
};

// The desktop's clipboard through Qt (its CLIPBOARD selection, not the mouse selection). Whether
// it holds text is remembered until Qt reports a change: asking the owning program again on every
// update of the editing commands can stall on X11. Without a QGuiApplication it holds nothing.
class TSystemTextClipboard final : public TTextClipboard {
 public:
  TSystemTextClipboard();
  ~TSystemTextClipboard() override;
  bool HasText() const override;
  QString Text() const override;
  void SetText(const QString &Text) override;

 private:
  struct RCache;
  std::unique_ptr<RCache> FCache;
};

// A clipboard of this process only: for tests and for programs that run without a display.
class TMemoryTextClipboard final : public TTextClipboard {
 public:
  bool HasText() const override { return FHasText; }
  QString Text() const override { return FText; }
  void SetText(const QString &Text) override {
    FText = Text;
    FHasText = true;
  }
  void Clear() {
    FText.clear();
    FHasText = false;
  }

 private:
  QString FText;
  bool FHasText = false;
};

// The installed clipboard; the system clipboard unless one was installed.
TSeam<TTextClipboard> &TextClipboardSeam();
TTextClipboard &TextClipboard();
// Installs a clipboard (not owned); nullptr restores the system clipboard.
void SetTextClipboard(TTextClipboard *Clipboard);

class TScopedTextClipboard {
 public:
  explicit TScopedTextClipboard(TTextClipboard &Installed);
  ~TScopedTextClipboard();
  TScopedTextClipboard(const TScopedTextClipboard &) = delete;
  TScopedTextClipboard &operator=(const TScopedTextClipboard &) = delete;

 private:
  TTextClipboard *FPrevious;
};

// ---- The rich copy -------------------------------------------------------------------------

class TRichClipboard {
 public:
  TRichClipboard() = default;
  TRichClipboard(const TRichClipboard &) = delete;
  TRichClipboard &operator=(const TRichClipboard &) = delete;

  // Keeps a copy of Text and the attributes each of its font indices has in Fonts.
  void Put(const TRichString &Text, const TFontsInUse &Fonts);
  void Clear();
  const TRichString &Content() const { return FContent; }
  QString PlainText() const { return FContent.Text(); }

  // Out := the content with font indices for Target. An index whose entry in Target still has the
  // attributes recorded at the copy stays as it is (a copy and paste inside one document changes
  // no index); any other is found or added in Target by those attributes. Font indices are slots
  // of one document's table, so without this, text pasted into another document would take
  // whatever fonts that document keeps at the same slots.
  void CopyForTarget(TFontsInUse &Target, TRichString &Out) const;

 private:
  TRichString FContent;
  std::map<TFontIndex, TFontInUse> FFonts;  // what each index stood for where copied
};

// The one rich copy of the process: made on first use, it lasts until the process ends.
TRichClipboard &InternalClipboard();
