#pragma once

#include <QApplication>
#include <QLocale>
#include <QtTest>

// Runs a QtTest class as the program runs: a QApplication (offscreen under
// CTest) and a Russian default locale. CTest starts every test in its own
// working directory, where "settings.ini" and "logs/" are created.
#define VANTOR_TEST_MAIN(TestObject)                                         \
    int main(int argc, char *argv[])                                         \
    {                                                                        \
        QApplication app(argc, argv);                                        \
        Q_INIT_RESOURCE(resources);                                          \
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));     \
        app.setAttribute(Qt::AA_Use96Dpi, true);                             \
        TestObject tc;                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                           \
        return QTest::qExec(&tc, argc, argv);                                \
    }
