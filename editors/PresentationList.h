// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <optional>
#include <vector>

// The automatic presentation as the registers hold it: the switching time, the sequence of
// pages and its count. No widgets, so the window stays a thin layer over these rules.
namespace kx9::presentation {

// The sequence has room for 114 entries, registers 4029..4142.
constexpr int Capacity = 114;
constexpr int LastTextPage = 114;
constexpr int LastPage = 124;
constexpr int MinInterval = 1;
constexpr int MaxInterval = 240;
// One read takes the switching time, the sequence, 4143, 4144 and the count.
constexpr int BlockCount = RegPresentationCount - RegPresentationTime + 1;
// Four headings and the 125 pages.
constexpr int TreeNodes = 129;

// Node of page p in the page tree (RAM, EEPROM, occasional and graphic pages, each under its
// heading); -1 for a number that no page has.
int NodeOfPage(int page);
// Page of a node; -1 for a heading or a node that does not exist.
int PageOfNode(int node);

// Entries the list shows: the count, cut to the room the sequence has.
int ShownCount(const ConfigImage& image);
// Page number held by entry k; -1 outside the sequence's registers.
int Entry(const ConfigImage& image, int k);

enum class AddResult { Added, NothingSelected, Full };
AddResult Add(ConfigImage& image, int selectedPage);

// Exchange entry i with its neighbour; false (nothing changed) at either end or off the list.
bool MoveUp(ConfigImage& image, int i);
bool MoveDown(ConfigImage& image, int i);

// Entry i goes, the others keep their order. With no entry selected nothing goes, so the
// count stays the number of entries shown.
enum class RemoveResult { Removed, Empty, NothingSelected };
RemoveResult Remove(ConfigImage& image, int i);

// Only the count: the old entries stay in their registers, unused.
void Clear(ConfigImage& image);

// The PC preview: the entry shown at `position` and the position after it, wrapping at the
// count. Nothing when the sequence is empty.
struct PreviewTick {
    int entry;
    int next;
};
std::optional<PreviewTick> PreviewAt(const ConfigImage& image, int position);

// The twelve writes of the presentation, the count last, with the progress shown as each goes.
struct WriteBlock {
    int first;
    int count;
    int progress;
};
std::vector<WriteBlock> WriteBlocks();

} // namespace kx9::presentation
