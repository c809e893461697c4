#include "vlWindowAdapters.h"

#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vl09_RecentFiles.h"
#include "vlEditorHost.h"
#include "vlFileCommands.h"
#include "vlTextCommands.h"

namespace {

// The notebook link over the program's notebook, for a program that installs none of its own:
// the save question and closing go through the window's own file commands.
class TWindowNotebookLink final : public TNotebookLink {
 public:
  explicit TWindowNotebookLink(TVellomarFm &Fm) : FFm(Fm) {}

  bool HasUnsavedDocumentChanges() const override {
    const TvlNotebook *nb = FFm.Parts().Notebook;
    return nb && !nb->Binder_IsCompeletelySaved();
  }
  bool IsBinderNamed() const override {
    const QString path = BinderPathName();
    return !path.isEmpty() && !IsBackupPath(path);
  }
  QString BinderPathName() const override {
    const TvlNotebook *nb = FFm.Parts().Notebook;
    return nb ? nb->BinderPathName() : QString();
  }
  bool SaveBinder() override {
    TvlFileCommands *files = FFm.Commands().Files.get();
    return files && files->aFileSaveExecute();
  }
  bool SaveBinderAs() override {
    TvlFileCommands *files = FFm.Commands().Files.get();
    return files && files->aFileSaveAsExecute();
  }
  void CloseBinderAtExit() override {
    if (FFm.RecentlyUsedFiles()) FFm.RecentlyUsedFiles()->ClosingFile(BinderPathName());
  }
  void DiscardBackupAfterNo() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->Binder().Binder_DiscardBackup();
  }
  void SaveListOfOpenDocuments() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->SaveNotebook_SaveListOfOpenDocsToBinderFile();
  }
  void SaveNotebookAsBackupMaybe() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->SaveNotebook_AsBackup_Maybe(btOnIdle_AsNeeded);
  }
  void SaveNotebookAsBackupNow() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->SaveNotebook_AsBackup_Maybe(btASAP);
  }
  bool FocusActivePage() override {
    TvlNotebook *nb = FFm.Parts().Notebook;
    if (!nb || !nb->GetActivePagePtr()) return false;
    nb->FocusActivePage();
    return true;
  }

 private:
  TVellomarFm &FFm;
};

}  // namespace

std::unique_ptr<TNotebookLink> MakeWindowNotebookLink(TVellomarFm &Window) {
  return std::make_unique<TWindowNotebookLink>(Window);
}

namespace {

// What the editor asks of the window: the text commands its keys run and the font buttons.
class TWindowEditorHost final : public IEditorHost {
 public:
  explicit TWindowEditorHost(TVellomarFm &Fm) : FFm(Fm) {}
  void FontBold() override {
    if (TvlTextCommands *text = Text()) text->FontStyleExecute(fsBold);
  }
  void FontItalic() override {
    if (TvlTextCommands *text = Text()) text->FontStyleExecute(fsItalic);
  }
  void FontUnderline() override {
    if (TvlTextCommands *text = Text()) text->FontStyleExecute(fsUnderline);
  }
  void FileSave() override {
    if (TvlFileCommands *files = FFm.Commands().Files.get()) files->aFileSaveExecute();
  }
  void TextBullets() override {
    if (TvlTextCommands *text = Text()) text->aTextBulletsExecute();
  }
  void SearchClose() override { FFm.SearchClose(); }
  void UpdateFontButtonState(TFontIndex Font) override {
    if (TvlTextCommands *text = Text())
      text->UpdateFontButtonState(ActiveDocumentOf(FFm.Parts()), Font);
  }
  void IncrementChangeCountOfActiveDoc() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->IncrementChangeCountOfActiveDoc();
  }

 private:
  // The window's text commands; nullptr until the program has handed them over.
  TvlTextCommands *Text() const { return FFm.Commands().Text.get(); }

  TVellomarFm &FFm;
};

}  // namespace

std::unique_ptr<IEditorHost> MakeWindowEditorHost(TVellomarFm &Window) {
  return std::make_unique<TWindowEditorHost>(Window);
}
