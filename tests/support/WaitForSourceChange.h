#pragma once

#include "platform/TextInputSources.h"

#include <QEventLoop>
#include <QTimer>

namespace korvalen {

// Runs the event loop until the platform announces that the selected keyboard input source
// changed; false when nothing is announced within the timeout.
inline bool waitForSourceChange(const TextInputSources& sources, int timeoutMilliseconds = 5000)
{
    QEventLoop loop;
    bool announced = false;
    const Subscription subscription = sources.subscribeToSelectedKeyboardSourceChanges([&] {
        announced = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMilliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    return announced;
}

} // namespace korvalen
