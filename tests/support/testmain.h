#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QtTest>

// Each test program owns its working directory; what an earlier run saved
// there (the settings file, the non-linearity table) is removed first, so a
// rerun starts from the same defaults as a fresh clone.
inline void vantorFreshWorkingDirectory()
{
    QFile::remove(QStringLiteral("settings.ini"));
    QDir(QStringLiteral("non_linearity")).removeRecursively();
}

// Runs a QtTest class as the program runs: a QApplication (offscreen under
// CTest) and a Russian default locale. CTest starts every test in its own
// working directory, where "settings.ini" and "logs/" are created.
#define VANTOR_TEST_MAIN(TestObject)                                         \
    int main(int argc, char *argv[])                                         \
    {                                                                        \
        vantorFreshWorkingDirectory();                                       \
        QApplication app(argc, argv);                                        \
        Q_INIT_RESOURCE(resources);                                          \
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));     \
        app.setAttribute(Qt::AA_Use96Dpi, true);                             \
        TestObject tc;                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                           \
        return QTest::qExec(&tc, argc, argv);                                \
    }
