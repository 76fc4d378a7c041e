#pragma once

#include "support/freshsettings.h"
#include "support/scriptedprompts.h"
#include "support/windowshot.h"

#include "analysis/profileanalisiswidget.h"
#include "dataproviders/filedataprovider.h"
#include "plot/tracegraphsholder.h"
#include "settings/settings.h"
#include "tracelist.h"

#include <QAction>
#include <QSignalSpy>
#include <QToolBar>
#include <QtTest>
#include <memory>

// Every test starts from the default settings, nothing saved, with Ra the
// one parameter shown.
inline Settings &defaultSettings()
{
    Settings &s = freshSettings();
    s.preferenses.enabled_params = { { 0, QStringLiteral("Ra") } };
    s.preferenses.enabled_params_count = 1;
    return s;
}

// The profile window alone, with a scripted prompts object in place. (A
// main window would bring its own profile window and instrument, which
// would take the simulated instrument's line first.)
struct ProfileWindowFixture {
    ScriptedPrompts prompts;
    std::unique_ptr<ProfileAnalisisWidget> window { new ProfileAnalisisWidget(nullptr) };

    ProfileWindowFixture() { window->resize(1500, 950); }

    QAction *action(const char *name) const { return window->findChild<QAction *>(QLatin1String(name)); }
    template <typename T> T *child(const char *name) const { return window->findChild<T *>(QLatin1String(name)); }
    // Clicks the toolbar button of an action.
    void click(const char *name) const
    {
        QWidget *button = window->findChild<QToolBar *>(QStringLiteral("toolBar"))->widgetForAction(action(name));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    // Reads a trace file into the window as the main window does, until the
    // end of the reading has been handled.
    bool read(const QString &path, int kind, int timeoutMs = 20000)
    {
        QSignalSpy ended(window.get(), &ProfileAnalisisWidget::unlockButtons);
        window->setDataProvider(new FileDataProvider(path));
        if (!window->startReading(unsigned(kind)))
            return false;
        return ended.wait(timeoutMs);
    }
    TraceGraphsHolder *holder(int id) const { return window->graphHolders.value(id); }
    TraceList *list() const { return window->traceList(); }
};
