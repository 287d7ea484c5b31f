// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <array>
#include <cstdint>
#include <optional>

namespace kx9 {

// Board holding registers kept by the image.
constexpr int MainBase = 4000;
constexpr int MainCount = 300;
constexpr int SlaveBase = 4300;
constexpr int SlaveCount = 45;
constexpr int PageCount = 115;
constexpr int PageSize = 200;
constexpr int NameMax = 32;

// Registers with a meaning of their own.
constexpr int RegBoardAddress = 4000;
constexpr int RegBoardFrame = 4001;
constexpr int RegBoardBaud = 4002;
constexpr int RegSlaveTimeout = 4003;
constexpr int RegClockTime = 4006;
constexpr int RegClockYear = 4007;
constexpr int RegClockDate = 4008;
constexpr int RegDayBrightness = 4009;
constexpr int RegBoardSize = 4013;
constexpr int RegLineLength = 4014;
constexpr int RegTimePosition = 4023;
constexpr int RegOccasionalAllowed = 4027;
constexpr int RegPresentationTime = 4028;
constexpr int RegPresentationFirst = 4029;
constexpr int RegPresentationCount = 4145;
constexpr int RegActivePage = 4146;
constexpr int RegOccasionalDate = 4147;  // + n for occasional page 110 + n
constexpr int RegOccasionalStart = 4152; // + n
constexpr int RegOccasionalEnd = 4157;   // + n
constexpr int RegPageSelector = 4162;
constexpr int RegPageWindow = 4163; // 100 registers, two characters each
constexpr int RegPageTail = 4263;
constexpr int RegDoubleHeight = 4264;
constexpr int RegStatus = 4265;
// Konfigslave: the board's own line towards its external devices.
constexpr int RegSlaveFrame = 4004;
constexpr int RegSlaveBaud = 4005;

// Brightness window (TfKonfigJasnosc).
constexpr int RegNightBrightness = 4010;
constexpr int RegDayStart = 4011;
constexpr int RegNightStart = 4012;
constexpr int RegLightSensorOn = 4015;
constexpr int RegSensorMinBrightness = 4016;
constexpr int RegSensorMaxBrightness = 4017;
constexpr int RegCurrentBrightness = 4019;

// Scrolling window (TfPrzewijanie).
constexpr int RegScrollSpeed = 4020;
constexpr int RegScrollDirection = 4021;
constexpr int RegScrollLines = 4022;

// Time and date window (TfCzasData).
constexpr int RegTimeFormat = 4024;
constexpr int RegDatePosition = 4025;
constexpr int RegDateFormat = 4026;

// PC side of the serial link.
struct LinkSettings {
    uint8_t PortIndex = 0;  // COM1..COM8
    uint8_t FrameIndex = 1; // 8N1, 8N2, 8E1, 8O1
    uint8_t BaudIndex = 7;  // 2400 .. 115200
    int32_t ReplyTimeoutMs = 1000;
    uint8_t BoardAddress = 1;
    bool PortOpen = false; // mirrors ModbusLink::IsOpen
};

// Frame and baud tables shared by the link, the status bar and the settings windows.
inline constexpr std::array<const char*, 4> FrameNames = {"8N1", "8N2", "8E1", "8O1"};
inline constexpr std::array<int, 8> BaudRates = {2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
inline constexpr std::array<int, 10> BoardBaudRates = {2400,  4800,  9600,  14400, 19200,
                                                       28800, 38400, 57600, 76800, 115200};
// "2400bps" .. "115200bps" for BaudIndex 0..7.
QString BaudText(int baudIndex);

// The one in-memory copy of everything known about a board.
class ConfigImage : public QObject {
    Q_OBJECT
public:
    ConfigImage();

    // Register R by board address: 4000..4299 main block, 4300..4344 slave block.
    // Reads outside both blocks give 0, writes there are ignored. SetReg keeps the low 16 bits.
    static bool HasRegister(int reg);
    // Where `reg` is among the image's registers, main block first then slave block; -1 outside.
    static int RegisterIndex(int reg);
    int32_t Reg(int reg) const;
    void SetReg(int reg, int32_t value);

    // Block that holds register `reg` and the slot index of `reg` inside it; used by the
    // link to take values for a write and to store a read reply. Null for unknown registers.
    int32_t* BlockFor(int reg, int* slot, int* slotsLeft);
    const int32_t* BlockFor(int reg, int* slot, int* slotsLeft) const;

    std::array<int32_t, MainCount> main{};
    std::array<int32_t, SlaveCount> slave{};

    // Text pages, Windows-1250 bytes as laid out by the page layout functions.
    using Page = std::array<uint8_t, PageSize>;
    std::array<Page, PageCount> pages{};

    // Page names, Windows-1250 bytes. Not limited here: the file keeps the first 32 bytes.
    const QByteArray& PageName(int page) const;
    void SetPageName(int page, const QByteArray& name);
    // Replaces every name at once (file load); emits namesChanged.
    void SetPageNames(const std::array<QByteArray, PageCount>& names);

    LinkSettings link;

    // Change counting, so that a window reloads only what changed since it filled its controls.
    // Every store counts, also one that leaves the value as it was: a value just read from the
    // board or a file must appear even when it equals the old one.
    using Revision = uint64_t;
    Revision CurrentRevision() const { return m_revision; }
    // The newest revision among registers first..first+count-1 (unknown registers count as 0).
    Revision RegsRevision(int first, int count = 1) const;
    Revision PageRevision(int page) const;
    // Direct writes into main, slave or pages must be announced here.
    void MarkRegs(int first, int count);
    void MarkPage(int page);
    void MarkAll();
    void SetPage(int page, const Page& text);

    // Defaults of the register map; the clock registers from `now`.
    // Pages, names and link settings are not touched.
    void ResetImage(const QDateTime& now);

signals:
    // Emitted whenever a page name changes, so the page tree follows at once.
    void namesChanged();

private:
    Revision* RevisionSlot(int reg);
    const Revision* RevisionSlot(int reg) const;

    std::array<QByteArray, PageCount> m_names;
    Revision m_revision = 0;
    // The one mapping of a register to its block: the block, the slot and the slots left from it.
    struct Place {
        bool slave = false;
        int slot = 0;
        int left = 0;
    };
    static std::optional<Place> PlaceOf(int reg);

    std::array<Revision, MainCount + SlaveCount> m_regRevisions{};
    std::array<Revision, PageCount> m_pageRevisions{};
};

// A window's note of what it last showed of one piece of the image, so that on activation it
// loads again only a piece that changed under it since.
class ShownRevision {
public:
    bool Changed(ConfigImage::Revision now) const { return !m_filled || now > m_revision; }
    // Notes `now` as shown; true when the piece had changed since the last note.
    bool Take(ConfigImage::Revision now) {
        const bool changed = Changed(now);
        Mark(now);
        return changed;
    }
    void Mark(ConfigImage::Revision now) {
        m_revision = now;
        m_filled = true;
    }

private:
    ConfigImage::Revision m_revision = 0;
    bool m_filled = false;
};

} // namespace kx9
