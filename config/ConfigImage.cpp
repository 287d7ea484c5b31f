// SPDX-License-Identifier: MIT
#include "ConfigImage.h"

#include "Encodings.h"

#include <QString>
#include <algorithm>

namespace kx9 {

QString BaudText(int baudIndex) {
    if (baudIndex < 0 || baudIndex >= static_cast<int>(BaudRates.size()))
        return QString();
    return QString::number(BaudRates[static_cast<size_t>(baudIndex)]) + QStringLiteral("bps");
}

ConfigImage::ConfigImage() {
    for (int k = 0; k < PageCount; ++k)
        m_names[static_cast<size_t>(k)] = QByteArray::number(k).rightJustified(3, '0');
}

bool ConfigImage::HasRegister(int reg) {
    return RegisterIndex(reg) >= 0;
}

int ConfigImage::RegisterIndex(int reg) {
    const std::optional<Place> place = PlaceOf(reg);
    if (!place)
        return -1;
    return (place->slave ? MainCount : 0) + place->slot;
}

std::optional<ConfigImage::Place> ConfigImage::PlaceOf(int reg) {
    if (reg >= MainBase && reg < MainBase + MainCount)
        return Place{false, reg - MainBase, MainBase + MainCount - reg};
    if (reg >= SlaveBase && reg < SlaveBase + SlaveCount)
        return Place{true, reg - SlaveBase, SlaveBase + SlaveCount - reg};
    return std::nullopt;
}

int32_t ConfigImage::Reg(int reg) const {
    int slot = 0;
    const int32_t* block = BlockFor(reg, &slot, nullptr);
    return block ? block[slot] : 0;
}

void ConfigImage::SetReg(int reg, int32_t value) {
    int slot = 0;
    int32_t* block = BlockFor(reg, &slot, nullptr);
    // An entry carries a 16-bit register: keep what the board or a file would give back.
    if (!block)
        return;
    block[slot] = value & 0xFFFF;
    *RevisionSlot(reg) = ++m_revision;
}

ConfigImage::Revision* ConfigImage::RevisionSlot(int reg) {
    return const_cast<Revision*>(static_cast<const ConfigImage*>(this)->RevisionSlot(reg));
}

const ConfigImage::Revision* ConfigImage::RevisionSlot(int reg) const {
    const int index = RegisterIndex(reg);
    return index < 0 ? nullptr : &m_regRevisions[static_cast<size_t>(index)];
}

ConfigImage::Revision ConfigImage::RegsRevision(int first, int count) const {
    Revision newest = 0;
    for (int reg = first; reg < first + count; ++reg)
        if (const Revision* r = RevisionSlot(reg))
            newest = std::max(newest, *r);
    return newest;
}

ConfigImage::Revision ConfigImage::PageRevision(int page) const {
    if (page < 0 || page >= PageCount)
        return 0;
    return m_pageRevisions[static_cast<size_t>(page)];
}

void ConfigImage::MarkRegs(int first, int count) {
    ++m_revision;
    for (int reg = first; reg < first + count; ++reg)
        if (Revision* r = RevisionSlot(reg))
            *r = m_revision;
}

void ConfigImage::MarkPage(int page) {
    if (page < 0 || page >= PageCount)
        return;
    m_pageRevisions[static_cast<size_t>(page)] = ++m_revision;
}

void ConfigImage::MarkAll() {
    ++m_revision;
    m_regRevisions.fill(m_revision);
    m_pageRevisions.fill(m_revision);
}

void ConfigImage::SetPage(int page, const Page& text) {
    if (page < 0 || page >= PageCount)
        return;
    pages[static_cast<size_t>(page)] = text;
    MarkPage(page);
}

const int32_t* ConfigImage::BlockFor(int reg, int* slot, int* slotsLeft) const {
    const std::optional<Place> place = PlaceOf(reg);
    if (slot)
        *slot = place ? place->slot : 0;
    if (slotsLeft)
        *slotsLeft = place ? place->left : 0;
    if (!place)
        return nullptr;
    return place->slave ? slave.data() : main.data();
}

int32_t* ConfigImage::BlockFor(int reg, int* slot, int* slotsLeft) {
    return const_cast<int32_t*>(static_cast<const ConfigImage*>(this)->BlockFor(reg, slot, slotsLeft));
}

const QByteArray& ConfigImage::PageName(int page) const {
    static const QByteArray none;
    if (page < 0 || page >= PageCount)
        return none;
    return m_names[static_cast<size_t>(page)];
}

void ConfigImage::SetPageName(int page, const QByteArray& name) {
    if (page < 0 || page >= PageCount)
        return;
    QByteArray& slot = m_names[static_cast<size_t>(page)];
    if (slot == name)
        return;
    slot = name;
    emit namesChanged();
}

void ConfigImage::SetPageNames(const std::array<QByteArray, PageCount>& names) {
    m_names = names;
    emit namesChanged();
}

void ConfigImage::ResetImage(const QDateTime& now) {
    auto fill = [this](int first, std::initializer_list<int32_t> values) {
        int reg = first;
        for (int32_t v : values)
            SetReg(reg++, v);
    };
    fill(4000, {1, 1, 9, 5, 1, 9});

    const ClockRegisters clock = EncodeClock(now);
    SetReg(RegClockTime, clock.time);
    SetReg(RegClockYear, clock.year);
    SetReg(RegClockDate, clock.date);

    fill(4009, {100, 50, 600, 2200, 414, 14, 0, 50, 100, 1, 100, 15});
    for (int reg = 4021; reg <= 4027; ++reg)
        SetReg(reg, 0);
    SetReg(RegPresentationTime, 10);
    for (int k = 0; k <= 114; ++k)
        SetReg(RegPresentationFirst + k, k);
    for (int reg = 4144; reg <= RegStatus; ++reg)
        SetReg(reg, 0);
    // 4266..4299 belong to no window and keep whatever they hold.

    for (int d = 0; d < 5; ++d) {
        const int base = SlaveBase + 9 * d;
        const int32_t record[9] = {0, d + 1, 4000, 1, 1, 3, 1, 0, 3};
        for (int j = 0; j < 9; ++j)
            SetReg(base + j, record[j]);
    }
}

} // namespace kx9
