// SPDX-License-Identifier: MIT
#pragma once

#include "board/BoardModel.h"
#include "render/DisplayRender.h"

#include <QImage>

// The simulated board as a display source of the shared renderer.
namespace kx9::view {

class BoardSource : public render::DisplaySource {
public:
    explicit BoardSource(const BoardModel& board) : m_board(board) {}
    int Reg(int reg) const override { return m_board.Holding(reg); }
    const uint8_t* TextPage(int page) const override;
    QByteArrayView GraphicPage(int slot) const override;

private:
    const BoardModel& m_board;
};

int ShownPage(const BoardModel& board, const render::DisplayTime& time);
void ComposeDisplay(const BoardModel& board, const render::DisplayTime& time, render::DotFrame& out);

// A renderer that draws a board.
class BoardRenderer : public render::DotRenderer {
public:
    using render::DotRenderer::DotRenderer;
    using render::DotRenderer::Render;
    const QImage& Render(const BoardModel& board, const render::DisplayTime& time) {
        return Render(BoardSource(board), time);
    }
};

// One frame as a picture of its own.
QImage RenderBoard(const BoardModel& board, const render::DisplayTime& time, int dotPitch = 6);

} // namespace kx9::view
