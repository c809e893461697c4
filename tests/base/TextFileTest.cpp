#include "vlTestSupport.h"
#include "vlTextFile.h"

#include <gtest/gtest.h>
#include <QDir>

TEST(AtomicFiles, AFullDiskKeepsTheOldFileAndReportsFailure) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("list.txt"));
  ASSERT_TRUE(WriteTextFileAtomically(path, {QStringLiteral("old")}));
  bool written = true;
  QString why;
  {
    TFullDisk full(1000);
    ASSERT_TRUE(full.Active());
    written = WriteFileAtomically(path, QByteArray(5000, 'n'), &why);
  }
  EXPECT_FALSE(written);
  EXPECT_FALSE(why.isEmpty());
  EXPECT_EQ(ReadAllBytes(path), QByteArray("old\r\n"));
  EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{QStringLiteral("list.txt")});

  // Small writes that all still sit in the file's buffer when it is committed: the commit must
  // notice that they never reached the disk.
  bool committed = true;
  {
    TFullDisk full(1000);
    ASSERT_TRUE(full.Active());
    TAtomicFile file;
    ASSERT_TRUE(file.Open(path));
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(file.Write(QByteArray(100, 'b').constData(), 100));
    committed = file.Commit();
    EXPECT_FALSE(file.ErrorString().isEmpty());
  }
  EXPECT_FALSE(committed);
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
