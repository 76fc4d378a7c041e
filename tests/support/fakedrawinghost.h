#pragma once

#include "measurements/drawinghost.h"

#include <QString>
#include <functional>

// The window's state for a drawing comparison on a bare plot: a click picks
// whenever `picks` is true (and picksWhen, when set, says so), and the busy
// window of a registration is only noted, with its text and its cancel, which
// a test calls where the operator would press "Отмена". The contour window's
// own busy window is tested with the window.
class FakeDrawingHost : public IDrawingHost {
public:
    void showRegistrationBusy(const QString &text, const std::function<void()> &cancel) override
    {
        ++busyShown;
        busyText = text;
        busyCancel = cancel;
    }
    void hideRegistrationBusy() override
    {
        busyText.clear();
        busyCancel = nullptr;
    }
    bool plotClickPicks() const override { return picks && (!picksWhen || picksWhen()); }

    // The busy window is up.
    bool busy() const { return bool(busyCancel); }
    // "Отмена" on the busy window.
    void cancelBusy()
    {
        if (busyCancel)
            busyCancel();
    }

    bool picks = true;
    std::function<bool()> picksWhen;
    int busyShown = 0;
    QString busyText;
    std::function<void()> busyCancel;
};
