#include "ui/Pump.h"

#include <QCoreApplication>
#include <QThread>

namespace ui {

namespace {
std::function<void(int)>& sleeper() {
    static std::function<void(int)> replacement;
    return replacement;
}
}  // namespace

void pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void sleepMs(int milliseconds) {
    if (sleeper())
        sleeper()(milliseconds);
    else
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void setSleepForTests(std::function<void(int)> replacement) {
    sleeper() = std::move(replacement);
}

bool guarded(const std::function<void()>& steps) {
    try {
        steps();
        return true;
    } catch (...) {
        sleepMs(1);
        return false;
    }
}

}  // namespace ui
