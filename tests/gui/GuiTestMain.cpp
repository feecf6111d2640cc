// Every dialog test runs under Qt's offscreen platform: no display needed.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("torvane-gui"));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
