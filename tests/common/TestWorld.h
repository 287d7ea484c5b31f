// SPDX-License-Identifier: MIT
#pragma once

#include "BoardSeams.h"
#include "SchedulerTicks.h"
#include "link/QtSerialPort.h"
#include "ops/Program.h"

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace kx9::test {

// A test run in a folder of its own, for the files the program keeps beside "def.cfg".
struct InFolder {
    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    InFolder() { QDir::setCurrent(dir.path()); }
    ~InFolder() { QDir::setCurrent(previous); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;
};

// A real pseudo-terminal and the real clock.
struct LineSeams {
    QtSerialPort port;
    SystemClock clock;
    RecordingDialogs dialogs;
};

// What the progress window was told, in order.
class RecordingProgress : public ProgressView {
public:
    void ShowProgress(const QString& title) override {
        shown = true;
        titles.push_back(title);
    }
    void SetProgress(int percent) override { values.push_back(percent); }
    void HideProgress() override {
        shown = false;
        ++hides;
    }
    bool shown = false;
    int hides = 0;
    std::vector<QString> titles;
    std::vector<int> values;
};

// The status window, answering with the bits to clear.
class ScriptedStatus : public StatusView {
public:
    uint16_t ShowStatus(uint16_t status) override {
        shown.push_back(status);
        return uint16_t(status & ~clear);
    }
    uint16_t clear = 0;
    std::vector<uint16_t> shown;
};

// The program on the port, clock and dialogs of `Seams` (built first, so they outlive it),
// with a recording progress window and status window attached.
template <class Seams> struct ProgramWorld : Seams {
    template <class... Args> explicit ProgramWorld(Args&&... args) : Seams(std::forward<Args>(args)...) {
        program.progress.Attach(&progress);
        program.ops.SetStatusView(&status);
    }
    ~ProgramWorld() { program.scheduler.Abandon(); }

    Program program{this->port, this->dialogs, this->clock};
    RecordingProgress progress;
    ScriptedStatus status;
    ConfigImage& image = program.image;
    Scheduler& scheduler = program.scheduler;
    Transfers& transfers = program.transfers;
    BoardOperations& ops = program.ops;

    bool Idle() const { return scheduler.Idle(); }
    // Fires the scheduler's handlers, and `each` (an editor's Timer1Timer), until the scheduler
    // is idle and `more` (say, an editor's Timer1 still running) no longer holds.
    int RunUntilIdle(const std::function<void()>& each = {}, const std::function<bool()>& more = {}) {
        return TickUntilIdle(scheduler, this->port, {}, each, more);
    }
};

using BoardWorld = ProgramWorld<InProcessSeams>;
using LineWorld = ProgramWorld<LineSeams>;

} // namespace kx9::test
