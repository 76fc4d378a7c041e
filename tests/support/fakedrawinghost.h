#pragma once

#include "measurements/drawinghost.h"
#include "widgets/loader.h"
#include "widgets/prompts.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <functional>

// The contour window's part for a drawing comparison on a bare plot: the
// questions go to the process's prompts object (the scripted one in tests),
// the busy window is a Loader on the given widget's window, and a click picks
// whenever `picks` is true (and picksWhen, when set, says so).
class FakeDrawingHost : public IDrawingHost {
public:
    explicit FakeDrawingHost(QWidget *window = nullptr)
        : window(window)
    {
    }
    ~FakeDrawingHost() override { Loader::closeBusy(loader); }

    QString askDrawingFile() override
    {
        ++fileQuestions;
        return Prompts::instance().openFileName(
            window, QStringLiteral("Импортировать чертёж"), QString(), QStringLiteral("Чертёж (*.dxf)"));
    }
    void warnAboutDrawing(const QString &caption, const QString &text) override
    {
        warnings << text;
        Prompts::instance().warning(window, caption, text);
    }
    void showRegistrationBusy(const QString &text, const std::function<void()> &cancel) override
    {
        Loader::closeBusy(loader);
        loader = Loader::showBusy(window ? window->window() : nullptr, text, cancel);
    }
    void hideRegistrationBusy() override { Loader::closeBusy(std::exchange(loader, nullptr)); }
    bool plotClickPicks() const override { return picks && (!picksWhen || picksWhen()); }

    QWidget *window;
    bool picks = true;
    std::function<bool()> picksWhen;
    int fileQuestions = 0;
    QStringList warnings;
    QPointer<Loader> loader;
};
