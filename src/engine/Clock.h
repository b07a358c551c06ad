#pragma once

#include <QDateTime>

// Source of the local date and time; tests inject a fixed or stepped clock.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;

    // The real local clock.
    static const Clock &system();
};
