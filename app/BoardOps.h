// SPDX-License-Identifier: MIT
#pragma once

#include "../link/Transfer.h"
#include "../link/World.h"

#include <cstdint>

namespace kx9 {

class TPStatus;

// The main window's operations that move data between the image and the board.
class BoardOperations : public JobActions {
public:
    BoardOperations(World& world, ProgressView& progress, TPStatus& status);

    enum class Direction { ToBoard, FromBoard };
    static uint8_t ConvertPageChar(uint8_t c, Direction direction);

    void StartIdentification();
    void StartStatusRead();
    void StartConfigRead();
    void StartLinkChange();
    void StartClockRead();
    void StartClockWrite(bool takePcTime);
    void StartTimeDisplayRead();
    void StartTimeDisplayWrite();
    void StartSlaveWrite();

    // JobActions
    int PageFromWindow() override;
    int PageToWindow(int page) override;
    void ShowStatus() override;
    void ConfigWriteStep(int step) override;
    void StartPagesRead() override;
    void StartPagesWrite() override;

private:
    World& m_world;
    ProgressView& m_progress;
    TPStatus& m_status;
};

} // namespace kx9
