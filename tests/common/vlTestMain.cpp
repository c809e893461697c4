// Every test executable starts here. Before Qt or any test runs, HOME and the XDG folders are
// pointed at a fresh temporary folder so that nothing a test does reaches the real home folder,
// and the offscreen platform is selected so that no window opens.

#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

#ifdef VL_TEST_WIDGETS
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QGuiApplication>
using TTestApplication = QGuiApplication;
#endif

#include <cstdlib>

int main(int argc, char **argv) {
  QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vellomar-test-XXXXXX"));
  if (!home.isValid()) return 2;
  const QByteArray root = home.path().toUtf8();
  setenv("HOME", root.constData(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
  setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
  setenv("XDG_DOCUMENTS_DIR", (root + "/Documents").constData(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QDir(home.path()).mkpath(QStringLiteral("runtime"));
  QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);

  TTestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new TTestEnvironment(home.path()));
  return RUN_ALL_TESTS();
}
