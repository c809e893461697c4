// A seam answers with its default until a part is installed, and scoped installs put back what
// was there before them, innermost first, so a test or a program that ends leaves nothing behind.

#include "vlSeam.h"

#include <gtest/gtest.h>

namespace {

struct TAnswer {
  virtual ~TAnswer() = default;
  virtual int Value() { return 0; }
};
struct TFixed final : TAnswer {
  explicit TFixed(int V) : FValue(V) {}
  int Value() override { return FValue; }
  int FValue;
};

}  // namespace

TEST(Seam, TheDefaultAnswersUntilAPartIsInstalledAndScopedInstallsUnwindInOrder) {
  TAnswer fallback;
  TSeam<TAnswer> seam(fallback);
  EXPECT_FALSE(seam.IsInstalled());
  EXPECT_EQ(&seam.Get(), &fallback);
  TFixed program(1), test(2);
  {
    TSeamInstall<TAnswer> outer(seam, program);
    EXPECT_TRUE(seam.IsInstalled());
    EXPECT_EQ(seam.Get().Value(), 1);
    {
      TSeamInstall<TAnswer> inner(seam, test);
      EXPECT_EQ(seam.Get().Value(), 2);
    }
    EXPECT_EQ(seam.Get().Value(), 1);
  }
  EXPECT_FALSE(seam.IsInstalled());
  seam.Install(&test);
  EXPECT_EQ(seam.Installed(), &test);
  seam.Install(nullptr);
  EXPECT_EQ(seam.Get().Value(), 0);
}
