// SPDX-License-Identifier: MIT
#pragma once

#include "BoardScan.h"
#include "Transfers.h"

#include <QObject>
#include <functional>
#include <memory>

namespace kx9 {

// The board scan as a transfer of the program (the "Szukaj tablicy" of the connection window):
// refused while another transfer runs, and every other transfer refused while it runs. The scan
// is the scheduler's running job, driven by its ticks, so the progress window's "Przerwij" stops
// it. The port is closed when it ends, however it ends; the link settings are never touched.
class ScanTransfer : public QObject {
    Q_OBJECT
public:
    explicit ScanTransfer(Transfers& transfers);
    ~ScanTransfer() override;

    // Scans on port `portIndex` (the settings in force keep theirs); `found` is told of each
    // device as it answers; `ended` runs once the scan has ended, not when it did not start.
    // False, after the program's message, while another transfer runs, or when the port did not
    // open (its own box said why).
    bool Start(int portIndex, const BoardScan::Plan& plan, std::function<void()> ended = {},
               std::function<void(const ScanFind&)> found = {});
    // Ends the scan now.
    void Stop();
    bool Running() const { return m_scan && m_scan->Running(); }
    // The scan that ran last, its finds and how it ended; null before the first.
    const BoardScan* Last() const { return m_scan.get(); }

private:
    // After the scan ended (the scheduler has let go of it and the port is closed): the status
    // bar and progress window follow, a lost port is said, `ended` told.
    void Finish();

    Transfers& m_t;
    std::unique_ptr<BoardScan> m_scan;
    std::function<void()> m_ended;
    bool m_starting = false;
};

} // namespace kx9
