#include "mainwindow.h"

#include "analysis/dialogcalibration.h"

#include "settings/common.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = {-1, -1};

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

// SIGTERM and SIGINT close the windows through the event loop, so the
// program ends the same way as when the operator closes the main window.
void closeWindowsOnTerminate(QApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(g_signalFds[1], &byte, 1);
        QApplication::closeAllWindows();
    });
    std::signal(SIGTERM, onTerminate);
    std::signal(SIGINT, onTerminate);
}

} // namespace

int main(int argc, char *argv[])
{
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

    closeWindowsOnTerminate(app);

    // The settings and consoles dialogs calibrate the probe in this dialog.
    DialogCalibration::installRunner();
    MainWindow window;
    window.showMaximized();
    const int result = app.exec();
    Q_CLEANUP_RESOURCE(resources);
    return result;
}
