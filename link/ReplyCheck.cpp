// SPDX-License-Identifier: MIT
#include "ReplyCheck.h"

#include "ModbusFrame.h"

namespace kx9 {

namespace {

constexpr int ExceptionLength = 5; // address, function | 0x80, code, CRC
constexpr int WriteReplyLength = 8;

int Word(const uint8_t* bytes, int at) {
    return (bytes[at] << 8) | bytes[at + 1];
}

LinkFailure Refused(LinkFailure::Cause cause, int value = 0) {
    return LinkFailure::Of(cause, value);
}

LinkFailure Mismatched(LinkFailure::Mismatch what, int value, int expected) {
    LinkFailure f = Refused(LinkFailure::Cause::Mismatch, value);
    f.mismatch = what;
    f.expected = expected;
    return f;
}

} // namespace

int AwaitedReplyLength(const PendingRequest& request) {
    switch (request.function) {
    case 3:
        return frame::ReplyEndIndex(request.count) + 1;
    case 16:
        return WriteReplyLength;
    default:
        return 0;
    }
}

int ExceptionCodeOf(const PendingRequest& request, const uint8_t* bytes, int n) {
    if (bytes == nullptr || n < ExceptionLength || request.function == 0)
        return 0;
    if (bytes[0] != uint8_t(request.address) || bytes[1] != uint8_t(request.function | 0x80))
        return 0;
    return frame::CrcMatches(bytes, ExceptionLength) ? bytes[2] : 0;
}

LinkFailure MatchReply(const PendingRequest& request, const uint8_t* bytes, int n) {
    using C = LinkFailure::Cause;
    using M = LinkFailure::Mismatch;
    const int awaited = AwaitedReplyLength(request);
    if (bytes == nullptr || n < ExceptionLength) {
        LinkFailure f = Refused(C::Incomplete, n < 0 ? 0 : n);
        f.expected = awaited;
        return f;
    }
    if (!frame::CrcMatches(bytes, n)) {
        // More than the reply can hold is something else on the line, whatever its CRC.
        const int holds =
            awaited > 0 ? awaited : (bytes[1] == request.function ? bytes[2] + ExceptionLength : 0);
        if (holds > 0 && n > holds)
            return Mismatched(M::Length, n, holds);
        return Refused(C::BadCrc);
    }
    if (bytes[0] != uint8_t(request.address))
        return Refused(C::OtherAddress, bytes[0]);
    if (bytes[1] == uint8_t(request.function | 0x80) && n == ExceptionLength)
        return Refused(C::Exception, bytes[2]);
    if (bytes[1] != request.function)
        return Mismatched(M::Function, bytes[1], request.function);
    if (awaited > 0 && n != awaited)
        return Mismatched(M::Length, n, awaited); // a trailing zero byte keeps a CRC right
    switch (request.function) {
    case 3:
        if (bytes[2] != 2 * request.count)
            return Mismatched(M::ByteCount, bytes[2], 2 * request.count);
        break;
    case 16:
        if (Word(bytes, 2) != request.firstRegister || Word(bytes, 4) != request.count)
            return Mismatched(M::Echo, 0, 0);
        break;
    case 17:
        if (n != bytes[2] + ExceptionLength)
            return Mismatched(M::ByteCount, bytes[2], n - ExceptionLength);
        break;
    default:
        return Mismatched(M::Function, bytes[1], request.function);
    }
    return LinkFailure();
}

} // namespace kx9
