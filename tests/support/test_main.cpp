// The one main of every test program: a QApplication (offscreen unless told otherwise) so that timers,
// widgets and event loops work in any test.
#include "core/platform.h"
#include "tests/support/test_server.h"

#include <QApplication>
#include <QFile>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TestServer::SelectServer();
    QApplication app(argc, argv);
    // The main window keeps its settings beside the executable; every test starts without any.
    QFile::remove(QString::fromStdString(ExecutableDirectory() + "Quorvane.ini"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
