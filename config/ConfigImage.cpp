// SPDX-License-Identifier: MIT
#include "ConfigImage.h"

#include <QString>

namespace kx9 {

QString BaudText(int baudIndex) {
    if (baudIndex < 0 || baudIndex >= static_cast<int>(BaudRates.size())) return QString();
    return QString::number(BaudRates[static_cast<size_t>(baudIndex)]) + QStringLiteral("bps");
}

ConfigImage::ConfigImage() {
    for (int k = 0; k < PageCount; ++k)
        m_names[static_cast<size_t>(k)] = QByteArray::number(k).rightJustified(3, '0');
}

bool ConfigImage::HasRegister(int reg) {
    return (reg >= MainBase && reg < MainBase + MainCount) || (reg >= SlaveBase && reg < SlaveBase + SlaveCount);
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
    if (block) block[slot] = value & 0xFFFF;
}

const int32_t* ConfigImage::BlockFor(int reg, int* slot, int* slotsLeft) const {
    const int32_t* block = nullptr;
    int index = 0;
    int count = 0;
    if (reg >= MainBase && reg < MainBase + MainCount) {
        block = main.data();
        index = reg - MainBase;
        count = MainCount;
    } else if (reg >= SlaveBase && reg < SlaveBase + SlaveCount) {
        block = slave.data();
        index = reg - SlaveBase;
        count = SlaveCount;
    }
    if (slot) *slot = block ? index : 0;
    if (slotsLeft) *slotsLeft = block ? count - index : 0;
    return block;
}

int32_t* ConfigImage::BlockFor(int reg, int* slot, int* slotsLeft) {
    return const_cast<int32_t*>(static_cast<const ConfigImage*>(this)->BlockFor(reg, slot, slotsLeft));
}

const QByteArray& ConfigImage::PageName(int page) const {
    static const QByteArray none;
    if (page < 0 || page >= PageCount) return none;
    return m_names[static_cast<size_t>(page)];
}

void ConfigImage::SetPageName(int page, const QByteArray& name) {
    if (page < 0 || page >= PageCount) return;
    QByteArray& slot = m_names[static_cast<size_t>(page)];
    if (slot == name) return;
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
        for (int32_t v : values) SetReg(reg++, v);
    };
    fill(4000, {1, 1, 9, 5, 1, 9});

    const QDate date = now.date();
    const QTime time = now.time();
    SetReg(RegClockTime, time.hour() * 100 + time.minute());
    // The board keeps the year within its century.
    SetReg(RegClockYear, date.year() % 100);
    SetReg(RegClockDate, date.month() * 100 + date.day());

    fill(4009, {100, 50, 600, 2200, 414, 14, 0, 50, 100, 1, 100, 15});
    for (int reg = 4021; reg <= 4027; ++reg) SetReg(reg, 0);
    SetReg(RegPresentationTime, 10);
    for (int k = 0; k <= 114; ++k) SetReg(RegPresentationFirst + k, k);
    for (int reg = 4144; reg <= RegStatus; ++reg) SetReg(reg, 0);
    // 4266..4299 belong to no window and keep whatever they hold.

    for (int d = 0; d < 5; ++d) {
        const int base = SlaveBase + 9 * d;
        const int32_t record[9] = {0, d + 1, 4000, 1, 1, 3, 1, 0, 3};
        for (int j = 0; j < 9; ++j) SetReg(base + j, record[j]);
    }
}

} // namespace kx9
