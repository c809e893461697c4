#pragma once
// TSeam<T>: a process-wide seam through which a lower library asks for a part that a higher one
// provides: the document asks the program for the moment of new text and tells it about typing,
// the editor asks it for bookmarks and tells it where the caret's moment is. The default part
// answers (harmlessly) until the program installs its own, once, at start-up, in one place
// (TvlProgram's seams); a test installs its own with TSeamInstall. A seam knows whether
// something is installed, so that the composition test can tell a forgotten one.
//
// User-interface thread only.

template <class T>
class TSeam {
 public:
  // Default must outlive the seam (a function-local static next to it).
  explicit TSeam(T &Default) : FDefault(Default) {}
  TSeam(const TSeam &) = delete;
  TSeam &operator=(const TSeam &) = delete;

  T &Get() const { return FInstalled ? *FInstalled : FDefault; }
  T *Installed() const { return FInstalled; }
  bool IsInstalled() const { return FInstalled != nullptr; }
  // Not owned; nullptr puts the default back.
  void Install(T *Part) { FInstalled = Part; }

 private:
  T &FDefault;
  T *FInstalled = nullptr;
};

// Installs Part for its own lifetime and puts back whatever was installed before.
template <class T>
class TSeamInstall {
 public:
  TSeamInstall(TSeam<T> &Seam, T &Part) : FSeam(Seam), FPrevious(Seam.Installed()) {
    Seam.Install(&Part);
  }
  ~TSeamInstall() { FSeam.Install(FPrevious); }
  TSeamInstall(const TSeamInstall &) = delete;
  TSeamInstall &operator=(const TSeamInstall &) = delete;

 private:
  TSeam<T> &FSeam;
  T *FPrevious;
};
