// The window tests need an application object. On Linux without a display
// they run on the offscreen platform; on Windows on the platform the program
// itself uses, with its style.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
#ifndef _WIN32
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
