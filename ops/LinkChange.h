// SPDX-License-Identifier: MIT
#pragma once

#include "Transfers.h"
#include "link/Transfer.h"

namespace kx9 {

// A change of the board's own address, frame and rate (registers 4000..4002): the write goes
// out at the old settings, the PC follows, and the board is identified at its new address.
// The settings change only once the PC has opened the new line; a failure before leaves them.
class LinkChangeJob : public Job {
public:
    bool WritesConfiguration() const override { return true; }
    LinkChangeJob(Transfers& transfers, ModbusLink& link) : m_t(transfers), m_link(link) {}
    // False when the port did not open at the old settings.
    bool Begin();
    StepResult Step() override;

private:
    Transfers& m_t;
    ModbusLink& m_link;
    LineTarget m_new;
};

} // namespace kx9
