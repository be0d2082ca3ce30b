// The GUI tests run with real widgets on Qt's offscreen platform, never on a desktop.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/ui_strings.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  quorvex::RegisterUiTexts();
  return RUN_ALL_TESTS();
}
