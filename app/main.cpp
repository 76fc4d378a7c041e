#include "mainwindow.h"

#include "analysis/dialogcalibration.h"

#include "settings/common.h"
#include "terminatesignal.h"
#include "tracememory.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    keepTraceMemory();
    QApplication app(argc, argv);
    // The icons live in the static application library, whose resource
    // initialiser the linker would otherwise drop.
    Q_INIT_RESOURCE(resources);
    QApplication::setOrganizationName(Common::kOrganizationName);
    QApplication::setApplicationName(Common::kProductName);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_ru"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTranslator);

    // SIGTERM and SIGINT close the windows through the event loop, so the
    // program ends the same way as when the operator closes the main window.
    onTerminateSignal(app, [] { QApplication::closeAllWindows(); });

    // The settings and consoles dialogs calibrate the probe in this dialog.
    DialogCalibration::installRunner();
    MainWindow window;
    window.showMaximized();
    const int result = app.exec();
    Q_CLEANUP_RESOURCE(resources);
    return result;
}
