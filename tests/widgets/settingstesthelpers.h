#pragma once

#include "settings/settings.h"
#include "widgets/usersdialog.h"

#include <QList>
#include <QSettings>
#include <QSize>
#include <QString>
#include <QToolBox>
#include <QtTest>
#include <functional>

// Helpers of the settings dialog and consoles dialog tests.
namespace SettingsTest {

// The value under key in the settings file as it is on disk now.
inline QString storedValue(const QString &key)
{
    QSettings ini(QString::fromLatin1(Settings::kFileName), QSettings::IniFormat);
    return ini.value(key).toString();
}

// Brings the page of the dialog's tool box that holds w to the front, so
// that w is shown and takes events.
inline void showPageOf(QWidget *dialog, QWidget *w)
{
    auto *toolBox = dialog->findChild<QToolBox *>(QStringLiteral("toolBox"));
    for (int i = 0; toolBox && i < toolBox->count(); ++i)
        if (toolBox->widget(i)->isAncestorOf(w))
            toolBox->setCurrentIndex(i);
    // The page shows at once; its layout places w on the next pass of the
    // event loop.
    QCoreApplication::processEvents();
}

// Installs a contour calibration runner that records each run with what the
// settings held when it started, then does what the test gives it (the
// calibration window's own changes); the runner before comes back at the end.
struct FakeCalibration {
    struct Run {
        QWidget *parent;
        QSize size;
        QList<AbstractTrace *> traces;
        QString currentConsole;
        double activeDown;
        double activeRatio;
    };
    QList<Run> runs;
    std::function<void()> during;
    ContourCalibration::Runner previous;

    FakeCalibration()
    {
        previous = ContourCalibration::setRunner([this](QWidget *parent, const QSize &size,
                                                     const QList<AbstractTrace *> &traces) {
            const Settings &s = Settings::instance();
            runs.append({ parent, size, traces, s.current_console.name, s.tool_head_radius_down, s.roughness_ratio });
            if (during)
                during();
        });
    }
    ~FakeCalibration() { ContourCalibration::setRunner(previous); }
    FakeCalibration(const FakeCalibration &) = delete;
    FakeCalibration &operator=(const FakeCalibration &) = delete;
};

} // namespace SettingsTest
