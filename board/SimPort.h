// SPDX-License-Identifier: MIT
#pragma once

#include "../link/SerialPort.h"
#include "BoardBus.h"
#include "BoardModel.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace kx9 {

// An in-process serial port with a simulated board behind it, for unit tests: every frame
// written is handed to the board at once and its reply waits to be read. Like a real port it
// opens exclusively: opening it again while open fails. Several boards may share the line.
class SimPort : public SerialPort {
public:
    explicit SimPort(BoardModel& board);
    explicit SimPort(std::vector<BoardModel*> boards);

    bool open(const QString& name, const LineSettings& line) override;
    void close() override;
    bool isOpen() const override;
    void purge() override;
    int write(const uint8_t* data, int length) override;
    int bytesWaiting() override;
    int read(uint8_t* buffer, int max) override;
    int peek(uint8_t* buffer, int max) override;

    // Names that fail to open ("COM3" ...); empty = every name opens.
    void SetMissing(const QString& name) { m_missing = name; }
    // Put raw bytes into the input queue, as if the line had delivered them.
    void Inject(const QByteArray& bytes) { m_input += bytes; }

    int OpenCount() const { return m_openCount; }
    int CloseCount() const { return m_closeCount; }
    QString LastName() const { return m_name; }
    LineSettings LastLine() const { return m_line; }
    // Frames written while the line settings matched no board's own: dropped.
    bool Mismatched() const;
    int MismatchCount() const { return m_mismatches; }

    // The line settings under which the board understands what it is sent.
    static LineSettings BoardLine(const BoardModel& board) { return kx9::BoardLine(board); }

private:
    std::vector<BoardModel*> m_boards;
    QByteArray m_input;
    QString m_missing;
    QString m_name;
    LineSettings m_line;
    bool m_open = false;
    int m_openCount = 0;
    int m_closeCount = 0;
    int m_mismatches = 0;
};

} // namespace kx9
