#include "vlTestSupport.h"
#include "vlTextFile.h"

#include <gtest/gtest.h>
#include <QDir>

#include <sys/resource.h>
#include <csignal>

namespace {

// Makes the disk look full past Bytes, even to the superuser, for the lifetime of the object.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t Bytes) {
    getrlimit(RLIMIT_FSIZE, &FBefore);
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = FBefore;
    small.rlim_cur = Bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FBefore);
    std::signal(SIGXFSZ, FOldHandler);
  }

 private:
  rlimit FBefore{};
  void (*FOldHandler)(int) = nullptr;
};

}  // namespace

TEST(AtomicFiles, AFullDiskKeepsTheOldFileAndReportsFailure) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("list.txt"));
  ASSERT_TRUE(WriteTextFileAtomically(path, {QStringLiteral("old")}));
  bool written = true;
  QString why;
  {
    TFileSizeLimit limit(1000);
    written = WriteFileAtomically(path, QByteArray(5000, 'n'), &why);
  }
  EXPECT_FALSE(written);
  EXPECT_FALSE(why.isEmpty());
  EXPECT_EQ(ReadAllBytes(path), QByteArray("old\r\n"));
  EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{QStringLiteral("list.txt")});
}

TEST(AtomicFiles, AFolderThatCannotBeMadeIsAFailureNotACrash) {
  TFreshFolder folder;
  WriteAllBytes(folder.File(QStringLiteral("file")), "x");
  QString why;
  EXPECT_FALSE(WriteFileAtomically(folder.File(QStringLiteral("file/sub/list.txt")), "y", &why));
  EXPECT_TRUE(why.contains(QStringLiteral("folder")));
  EXPECT_TRUE(WriteTextFileAtomically(folder.File(QStringLiteral("new/deeper/list.txt")),
                                      {QStringLiteral("a"), QStringLiteral("b")}));
  EXPECT_EQ(ReadAllBytes(folder.File(QStringLiteral("new/deeper/list.txt"))),
            QByteArray("a\r\nb\r\n"));
}
