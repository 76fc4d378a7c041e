#pragma once

#include <functional>

class QCoreApplication;

// Runs action in the event loop when the process receives SIGTERM or SIGINT,
// so a terminated process ends through its normal path. Install once.
void onTerminateSignal(QCoreApplication &app, std::function<void()> action);
