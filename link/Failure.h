// SPDX-License-Identifier: MIT
#pragma once

#include "../config/ConfigImage.h"

#include <QString>

namespace kx9 {

// Why a request or an open failed, as the details of the failure box tell it.
struct LinkFailure {
    enum class Cause {
        None,
        NoReply,    // value: the time-out in ms
        Incomplete, // value: bytes received, expected: bytes awaited (0 = not known), ms: the time-out
        BadCrc,
        OtherAddress, // value: the address that answered
        Mismatch,     // value, expected: what came and what was awaited, as `mismatch` says
        Exception,    // value: the exception code
        PortLost,     // reason: the system's words
        NetworkLost,  // reason: the far end and the system's words (connect failed, connection broke)
        OpenFailed,   // reason: the system's words
        BadAddress,   // value: the address in the settings
        BadFrame,     // value: the frame index in the settings
        BadBaud,      // value: the baud index in the settings
        BadPort,      // value: the port index
    };
    // What of a reply did not answer the request.
    enum class Mismatch { None, Function, ByteCount, Echo, Length };

    Cause cause = Cause::None;
    int value = 0;
    int expected = 0;
    int ms = 0;
    Mismatch mismatch = Mismatch::None;
    QString reason;

    bool Failed() const { return cause != Cause::None; }
    static LinkFailure Of(Cause cause, int value = 0, const QString& reason = QString()) {
        LinkFailure f;
        f.cause = cause;
        f.value = value;
        f.reason = reason;
        return f;
    }
};

// What a board means by exception code 1..4; other codes have no agreed meaning.
QString ExceptionMeaning(int code);
// The "Przyczyna" line without its label.
QString DescribeCause(const LinkFailure& failure);
// The "Sprawdź" line without its label.
QString CheckAdvice(LinkFailure::Cause cause);
// "odczyt rejestrów 4100..4161 (funkcja 3)"; empty when no function is given.
QString DescribeRequest(int function, int firstRegister, int count);

// Everything the details text names.
struct FailureReport {
    QString operation; // empty: only the request is named
    QString request;   // empty: no request was in flight
    QString port;      // "COM1"
    QString device;    // what the port name leads to; may equal `port`
    int address = 0;
    int frameIndex = 0;
    int baudIndex = 0;
    LinkFailure failure;
    // A transfer of several requests: which of them the board confirmed before this failure.
    QString confirmed;
};

// The Polish details text of a failure box, one fact a line.
QString FailureDetails(const FailureReport& report);

} // namespace kx9
