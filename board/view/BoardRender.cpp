// SPDX-License-Identifier: MIT
#include "BoardRender.h"

namespace kx9::view {

const uint8_t* BoardSource::TextPage(int page) const {
    if (page < 0 || page >= BoardModel::TextPages)
        return nullptr;
    return m_board.Page(page).data();
}

QByteArrayView BoardSource::GraphicPage(int slot) const {
    const std::vector<QByteArray>& pages = m_board.GraphicPages();
    if (slot < 0 || size_t(slot) >= pages.size())
        return {};
    return pages[size_t(slot)];
}

int ShownPage(const BoardModel& board, const render::DisplayTime& time) {
    return render::ShownPage(BoardSource(board), time);
}

void ComposeDisplay(const BoardModel& board, const render::DisplayTime& time, render::DotFrame& out) {
    render::ComposeDisplay(BoardSource(board), time, out);
}

QImage RenderBoard(const BoardModel& board, const render::DisplayTime& time, int dotPitch) {
    BoardRenderer renderer(dotPitch);
    return renderer.Render(board, time);
}

} // namespace kx9::view
