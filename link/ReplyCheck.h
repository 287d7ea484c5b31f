// SPDX-License-Identifier: MIT
#pragma once

#include "Failure.h"

#include <cstdint>

namespace kx9 {

// The request in flight, as far as its reply must answer it.
struct PendingRequest {
    int address = 0;
    int function = 0; // 3, 16 or 17; 0 = none
    int firstRegister = 0;
    int count = 0;
};

// Length of the reply a request awaits; 0 when its length is told by the reply (function 17).
int AwaitedReplyLength(const PendingRequest& request);

// Takes the `n` bytes received as the reply to `request`: None when it answers it (address,
// function, CRC, and byte count, echo or length as the function has them), otherwise why not.
// An exception reply to the request gives Cause::Exception with its code.
LinkFailure MatchReply(const PendingRequest& request, const uint8_t* bytes, int n);

// The exception code when the first bytes of `bytes` are a whole exception reply to
// `request` (address, function | 0x80, code, good CRC); 0 otherwise.
int ExceptionCodeOf(const PendingRequest& request, const uint8_t* bytes, int n);

} // namespace kx9
