#pragma once

#include <QString>
#include <functional>

// What a drawing comparison needs from the window it is laid over: the
// operator's file question and messages, the busy window of a long
// registration, and whether a click on the plot is meant as a registration
// pick. The contour window implements it; tests hand the comparison a fake.
class IDrawingHost {
public:
    virtual ~IDrawingHost() = default;

    // The drawing file the operator chose; empty when the question was cancelled.
    virtual QString askDrawingFile() = 0;
    // A message to the operator about the drawing (a file that cannot be
    // read, a registration that failed).
    virtual void warnAboutDrawing(const QString &caption, const QString &text) = 0;
    // The busy window shown while a registration runs off the window's
    // thread; cancel is called when the operator stops it (it may be called
    // more than once). Shown without an event loop of its own.
    virtual void showRegistrationBusy(const QString &text, const std::function<void()> &cancel) = 0;
    virtual void hideRegistrationBusy() = 0;
    // True when a left click on the plot now picks a registration point: no
    // zoom or pan tool is on, no tool frame is open over the plot and no
    // measurement kind is armed.
    virtual bool plotClickPicks() const = 0;
};
