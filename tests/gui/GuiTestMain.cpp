// The window tests run inside one QApplication, offscreen unless a display is
// asked for (test discovery at build time has no display either). Qt's
// runtime folder is a private one removed at the end, so nothing is left in
// the temporary folder; a death-test child uses its parent's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  std::unique_ptr<QTemporaryDir> runtime_dir;
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    runtime_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/veltrano-runtime-XXXXXX"));
    QFile::setPermissions(runtime_dir->path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime_dir->path().toLocal8Bit());
  }
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
