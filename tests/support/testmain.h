#pragma once

#include <QApplication>
#include <QtTest>

#include <cstdlib>

/// Like QTEST_MAIN, but always on the offscreen platform (test discovery at build time works
/// without a display) and with the test ODBC configuration (no driver communication logs).
#define CONDORA_TEST_MAIN(TestObject)                                                      \
    int main(int argc, char *argv[])                                                       \
    {                                                                                      \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                           \
        if (qgetenv("ODBCSYSINI").isEmpty()) {                                             \
            qputenv("ODBCSYSINI", CONDORA_TEST_ODBCSYSINI);                                \
        }                                                                                  \
        QApplication app(argc, argv);                                                      \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                           \
        TestObject tc;                                                                     \
        QTEST_SET_MAIN_SOURCE_PATH                                                         \
        return QTest::qExec(&tc, argc, argv);                                              \
    }
