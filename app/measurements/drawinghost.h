#pragma once

#include <QString>
#include <functional>

// What a drawing comparison needs of the window it is laid over, the state
// only the window knows: the busy window of a long registration, and whether
// a click on the plot is meant as a registration pick. (Its questions to the
// operator go through the prompts object, as every other question does.) The
// contour window implements it; tests hand the comparison a fake.
class IDrawingHost {
public:
    virtual ~IDrawingHost() = default;

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
