// SPDX-License-Identifier: MIT
#include "PresentationList.h"

#include <algorithm>

namespace kx9::presentation {

namespace {

constexpr int FirstEeprom = 100;
constexpr int FirstOccasional = 110;
constexpr int FirstGraphic = 115;
constexpr int WriteSize = 10;
constexpr int WriteSteps = 12;

void Swap(ConfigImage& image, int a, int b) {
    const int32_t first = image.Reg(RegPresentationFirst + a);
    image.SetReg(RegPresentationFirst + a, image.Reg(RegPresentationFirst + b));
    image.SetReg(RegPresentationFirst + b, first);
}

} // namespace

int NodeOfPage(int page) {
    if (page < 0 || page > LastPage)
        return -1;
    if (page < FirstEeprom)
        return page + 1;
    if (page < FirstOccasional)
        return page + 2;
    if (page < FirstGraphic)
        return page + 3;
    return page + 4;
}

int PageOfNode(int node) {
    // Headings sit just before the first page of their range.
    if (node < 0 || node >= TreeNodes || node == 0 || node == NodeOfPage(FirstEeprom) - 1 ||
        node == NodeOfPage(FirstOccasional) - 1 || node == NodeOfPage(FirstGraphic) - 1)
        return -1;
    if (node <= FirstEeprom)
        return node - 1;
    if (node <= FirstOccasional + 1)
        return node - 2;
    if (node <= FirstGraphic + 2)
        return node - 3;
    return node - 4;
}

int ShownCount(const ConfigImage& image) {
    return std::clamp(int(image.Reg(RegPresentationCount)), 0, Capacity);
}

int Entry(const ConfigImage& image, int k) {
    if (k < 0 || k >= Capacity)
        return -1;
    return image.Reg(RegPresentationFirst + k);
}

AddResult Add(ConfigImage& image, int selectedPage) {
    if (selectedPage < 0)
        return AddResult::NothingSelected;
    const int count = image.Reg(RegPresentationCount);
    if (count >= Capacity)
        return AddResult::Full;
    image.SetReg(RegPresentationFirst + count, selectedPage);
    image.SetReg(RegPresentationCount, count + 1);
    return AddResult::Added;
}

bool MoveUp(ConfigImage& image, int i) {
    if (i <= 0 || i >= ShownCount(image))
        return false;
    Swap(image, i - 1, i);
    return true;
}

bool MoveDown(ConfigImage& image, int i) {
    if (i < 0 || i + 1 >= ShownCount(image))
        return false;
    Swap(image, i, i + 1);
    return true;
}

RemoveResult Remove(ConfigImage& image, int i) {
    const int shown = ShownCount(image);
    if (shown == 0)
        return RemoveResult::Empty;
    if (i < 0 || i >= shown)
        return RemoveResult::NothingSelected;
    while (MoveDown(image, i))
        ++i;
    image.SetReg(RegPresentationCount, shown - 1);
    return RemoveResult::Removed;
}

void Clear(ConfigImage& image) {
    image.SetReg(RegPresentationCount, 0);
}

std::optional<PreviewTick> PreviewAt(const ConfigImage& image, int position) {
    const int shown = ShownCount(image);
    if (shown == 0)
        return std::nullopt;
    // The list may have shrunk under a running preview: start it over.
    if (position < 0 || position >= shown)
        position = 0;
    return PreviewTick{Entry(image, position), position + 1 < shown ? position + 1 : 0};
}

std::vector<WriteBlock> WriteBlocks() {
    std::vector<WriteBlock> blocks;
    for (int s = 1; s <= WriteSteps; ++s) {
        const int first = RegPresentationTime + WriteSize * (s - 1);
        const int count = std::min(WriteSize, RegPresentationCount + 1 - first);
        // Whole tens, rounded down: 0, 10, 20, 30, 40, 50, 50, 60 ... 100.
        blocks.push_back({first, count, s == 1 ? 0 : s * 10 / WriteSteps * 10});
    }
    return blocks;
}

} // namespace kx9::presentation
