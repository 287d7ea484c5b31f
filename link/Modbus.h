// SPDX-License-Identifier: MIT
#pragma once

#include "../config/Clock.h"
#include "../config/ConfigImage.h"
#include "Dialogs.h"
#include "Failure.h"
#include "LineTarget.h"
#include "ModbusFrame.h"
#include "ReplyCheck.h"
#include "SerialPort.h"

#include <QString>
#include <cstdint>

namespace kx9 {

// The one serial Modbus link to the board. Results: 1 done, -1 refused or failed, 0 nothing done.
class ModbusLink {
public:
    ModbusLink(ConfigImage& image, SerialPort& port, Dialogs& dialogs, Clock& clock);
    ~ModbusLink();

    // Refused, with the open failure box, when the line names no port, frame or rate of the
    // tables or the board address lies outside 1..247 (0 would be a broadcast). The line is
    // kept as the one in use; the settings stay as they are.
    int Open(const LineTarget& line);
    // COM<portIndex + 1> at the settings' board address.
    int Open(int portIndex, int frameIndex, int baudIndex);
    // The line opened last (or refused last), as failure details name it.
    const LineTarget& Line() const { return m_line; }
    int Close();

    static uint16_t Crc16(const uint8_t* data, int length) { return frame::Crc16(data, length); }
    static int ReplyEndIndex(int count) { return frame::ReplyEndIndex(count); }

    // Build into TxBuffer; return the frame length.
    int BuildReadRequest(int address, int firstRegister, int count);
    // Values come from `block`: slot reg-4300 from 4300 up, reg-4000 for 4000..4299, reg itself below.
    int BuildWriteRequest(int address, int firstRegister, int count, const int32_t* block);
    int BuildIdentifyRequest(int address);

    // Purges the input first, so that nothing that came before can pass for the reply. A frame
    // to an address outside 1..247 is never sent.
    int Send(int length);
    int BytesWaiting();
    int Receive();
    int CheckReply(int address);
    int StoreReadReply(int firstRegister, int endIndex);
    QString DescribeIdentification() const;

    // Receives the reply and checks that it answers `request`; None when it does.
    LinkFailure CheckAnswer(const PendingRequest& request);
    // The code of a whole exception reply to `request` waiting in the port, else 0; the bytes
    // stay where they are.
    int PeekException(const PendingRequest& request);

    // The operation that is running, named by the operations for the failure details.
    void SetOperationName(const QString& name) {
        m_operation = name;
        m_confirmed.clear();
    }
    const QString& OperationName() const { return m_operation; }
    // Of an operation of several requests: those the board confirmed so far, for the details.
    void SetConfirmed(const QString& text) { m_confirmed = text; }
    // Why the port failed, in the system's words.
    QString PortError() const { return m_port.lastError(); }
    // How a lost port is told: a serial device gone, or a network line that broke.
    LinkFailure LostFailure() const;
    // A network line still connecting: the request written waits for it.
    bool Connecting() { return IsOpen && m_port.connecting(); }
    // The far end of the line (a gateway) said the board gave no answer; empty otherwise.
    QString NoAnswerReason() const { return IsOpen ? m_port.noAnswerReason() : QString(); }
    // Who watches the line; null when nobody does, and then nothing is formatted.
    void SetTrace(LineTrace* trace);
    void Trace(LineTrace::Event event, const uint8_t* bytes, int length, const LinkFailure& verdict = {},
               const QString& note = {}) const {
        if (m_trace)
            m_trace->Record(event, TraceName(), bytes, length, verdict, note);
    }
    // `name` (a COM name or another) leads to a network line.
    bool LeadsToNetwork(const QString& name) const;
    // The details text of a failure on the line in use, with `request` in flight (may be empty).
    QString FailureText(const LinkFailure& failure, const QString& request) const;

    // "COM1".."COM8" for index 0..7.
    static QString PortName(int portIndex);

    uint8_t RxBuffer[frame::BufferSize] = {};
    uint8_t TxBuffer[frame::BufferSize] = {};
    int RxLength = 0; // bytes placed in RxBuffer by the last Receive
    bool IsOpen = false;
    // The port went away under a request (adapter pulled); cleared by the next Open.
    bool PortLost = false;

private:
    // IsOpen and the image's PortOpen always change together.
    void SetOpen(bool open);
    // Clears both flags when the port closed under us (device gone, write failed).
    void DropIfLost();

    ConfigImage& m_image;
    SerialPort& m_port;
    Dialogs& m_dialogs;
    Clock& m_clock;
    QString TraceName() const;

    LineTrace* m_trace = nullptr;
    bool m_everOpened = false;
    LineTarget m_line;
    QString m_operation;
    QString m_confirmed;
};

} // namespace kx9
