// SPDX-License-Identifier: MIT
// The presentation list rules for any register values and any sequence of the window's edits:
// the list never reaches outside its registers, moves keep the entries, removing keeps the
// others in order, and the count always matches what is shown.
#include "editors/PresentationList.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace kx9;
using namespace kx9::presentation;

namespace {

std::vector<int32_t> Shown(const ConfigImage& image) {
    std::vector<int32_t> entries;
    for (int k = 0; k < ShownCount(image); ++k)
        entries.push_back(Entry(image, k));
    return entries;
}

// The registers as they stood before an edit.
struct Before {
    explicit Before(const ConfigImage& image) : main(image.main), slave(image.slave) {}
    int32_t Reg(int r) const { return main[size_t(r - MainBase)]; }
    decltype(ConfigImage::main) main;
    decltype(ConfigImage::slave) slave;
};

// Registers no rule may touch: everything outside the sequence and its count.
bool OthersKept(const Before& before, const ConfigImage& after) {
    for (int r = MainBase; r < MainBase + MainCount; ++r) {
        const bool list = r > RegPresentationTime && r < RegPresentationFirst + Capacity;
        if (!list && r != RegPresentationCount && before.Reg(r) != after.Reg(r))
            return false;
    }
    return before.slave == after.slave;
}

void CheckTreeNumbering() {
    for (int page = -3; page <= LastPage + 3; ++page) {
        const int node = NodeOfPage(page);
        if ((page < 0 || page > LastPage) != (node < 0))
            std::abort();
        if (node >= 0 && (node >= TreeNodes || PageOfNode(node) != page))
            std::abort();
    }
    for (int node = -3; node < TreeNodes + 3; ++node) {
        const int page = PageOfNode(node);
        if (page >= 0 && NodeOfPage(page) != node)
            std::abort();
    }
    // The twelve writes cover the block once, in order, the count last.
    int next = RegPresentationTime;
    for (const WriteBlock& block : WriteBlocks()) {
        if (block.first != next || block.count < 1 || block.count > 10 || block.progress < 0 ||
            block.progress > 100)
            std::abort();
        next += block.count;
    }
    if (next != RegPresentationCount + 1)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool numbered = (CheckTreeNumbering(), true);
    (void)numbered;
    ConfigImage image;
    size_t at = 0;
    auto byte = [&] { return at < size ? data[at++] : uint8_t(0); };
    auto word = [&] { return int(byte()) | (int(byte()) << 8); };
    while (at < size) {
        const uint8_t op = byte();
        const Before before(image);
        const std::vector<int32_t> shown = Shown(image);
        switch (op % 8) {
        case 0: { // a value from the board or a file, anywhere in the block
            const int reg = RegPresentationTime + byte() % BlockCount;
            image.SetReg(reg, word());
            break;
        }
        case 1: {
            const int page = int(int8_t(byte())); // the tree's pages, headings (-1) and more
            const AddResult r = Add(image, page);
            const bool full = before.Reg(RegPresentationCount) >= Capacity;
            if ((page < 0) != (r == AddResult::NothingSelected) ||
                (page >= 0 && full != (r == AddResult::Full)))
                std::abort();
            if (r == AddResult::Added) {
                std::vector<int32_t> want = shown;
                want.push_back(page);
                if (Shown(image) != want)
                    std::abort();
            } else if (image.main != before.main) {
                std::abort();
            }
            break;
        }
        case 2:
        case 3: {
            const int i = int(int8_t(byte()));
            const bool up = op % 8 == 2;
            const bool moved = up ? MoveUp(image, i) : MoveDown(image, i);
            std::vector<int32_t> want = shown;
            if (moved)
                std::swap(want[size_t(up ? i - 1 : i)], want[size_t(up ? i : i + 1)]);
            if (Shown(image) != want || (!moved && image.main != before.main))
                std::abort();
            break;
        }
        case 4: {
            const int i = int(int8_t(byte()));
            const RemoveResult r = Remove(image, i);
            std::vector<int32_t> want = shown;
            if (r == RemoveResult::Removed)
                want.erase(want.begin() + i);
            else if (image.main != before.main)
                std::abort();
            if ((r == RemoveResult::Empty) != shown.empty() || Shown(image) != want)
                std::abort();
            break;
        }
        case 5:
            Clear(image);
            if (ShownCount(image) != 0)
                std::abort();
            for (int k = 0; k < Capacity; ++k)
                if (image.Reg(RegPresentationFirst + k) != before.Reg(RegPresentationFirst + k))
                    std::abort();
            break;
        case 6: {
            const int position = int(int8_t(byte()));
            const std::optional<PreviewTick> tick = PreviewAt(image, position);
            if (tick.has_value() == shown.empty())
                std::abort();
            if (tick) {
                const int from = position >= 0 && position < int(shown.size()) ? position : 0;
                if (tick->entry != shown[size_t(from)] || tick->next != (from + 1) % int(shown.size()))
                    std::abort();
            }
            break;
        }
        default:
            if (Entry(image, -1) != -1 || Entry(image, Capacity) != -1 || ShownCount(image) > Capacity)
                std::abort();
            break;
        }
        // Only a value from outside (the first case) may change what the rules leave alone.
        if ((op % 8 != 0 && !OthersKept(before, image)) || ShownCount(image) < 0 ||
            ShownCount(image) > Capacity)
            std::abort();
    }
    return 0;
}
