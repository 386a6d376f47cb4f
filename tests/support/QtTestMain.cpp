// SPDX-License-Identifier: GPL-3.0-or-later
// Window tests run inside one application object on the offscreen platform.
#include <QApplication>
#include <cstdio>
#include <gtest/gtest.h>

namespace {
// A Qt object made or used on a thread that does not own it is warned about, and may crash
// later: such a warning fails the test that caused it.
void FailOnThreadWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(message));
  if (type != QtDebugMsg && type != QtInfoMsg && message.contains(QStringLiteral("thread")))
    ADD_FAILURE() << "Qt: " << message.toStdString();
}
} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qInstallMessageHandler(FailOnThreadWarnings);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
