// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

namespace kx9 {

// How every window shows a date: year-month-day with dashes.
inline constexpr char ShortDateFormat[] = "yyyy-MM-dd";

// Time and the short blocking pauses of the link, behind one seam so tests run instantly.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual void pause(int ms) = 0;
};

// The PC's local time; pauses really block the calling thread.
class SystemClock : public Clock {
public:
    QDateTime now() const override;
    void pause(int ms) override;
};

} // namespace kx9
