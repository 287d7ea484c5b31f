// SPDX-License-Identifier: MIT
#pragma once

#include "Failure.h"

#include <QString>
#include <cstdint>
#include <functional>

namespace kx9 {

// What crosses the line, as whoever watches it is told: each request, each reply with what
// the check made of it, and what the line itself did (an echo skipped, a reply of another
// transaction dropped, a time-out). Nothing is formatted unless somebody watches.
class LineTrace {
public:
    enum class Event {
        Request,     // bytes: the request sent
        Reply,       // bytes: the reply taken; verdict: None when it answered the request
        TimeOut,     // verdict: what the time-out found
        Exception,   // bytes: the exception reply; verdict: its code
        EchoSkipped, // bytes: the echo of the request
        Dropped,     // bytes: what was dropped; note: why
        Connection,  // note: what the connection did
    };
    virtual ~LineTrace() = default;
    virtual void Record(Event event, const QString& line, const uint8_t* bytes, int length,
                        const LinkFailure& verdict, const QString& note) = 0;
};

// One line of text a record: "18:04:05.123 COM1 (tcp://127.0.0.1:5020) → 01 03 0F A0 00 64 C4 D2".
QString TraceText(qint64 msSinceEpoch, LineTrace::Event event, const QString& line, const uint8_t* bytes,
                  int length, const LinkFailure& verdict, const QString& note);

// A trace that hands each record as a line of text to `sink`.
class TextTrace : public LineTrace {
public:
    explicit TextTrace(std::function<void(const QString&)> sink) : m_sink(std::move(sink)) {}
    void Record(Event event, const QString& line, const uint8_t* bytes, int length,
                const LinkFailure& verdict, const QString& note) override;

private:
    std::function<void(const QString&)> m_sink;
};

} // namespace kx9
