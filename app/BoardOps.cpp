// SPDX-License-Identifier: MIT
#include "BoardOps.h"

#include "Status_kx91.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <array>

namespace kx9 {

namespace {

// Board codes 128..145 stand for these Windows-1250 letters, in this order:
// Ą Ć Ę Ł Ń Ó Ś Ź Ż ą ć ę ł ń ó ś ź ż.
constexpr int FirstBoardLetter = 128;
constexpr std::array<uint8_t, 18> PolishLetters = {165, 198, 202, 163, 209, 211, 140, 143, 175,
                                                   185, 230, 234, 179, 241, 243, 156, 159, 191};

// The whole write moves these blocks, in this order.
constexpr int WriteFirst = RegSlaveTimeout;             // 4003 x3
constexpr int WriteBrightness = RegDayBrightness;       // 4009 x4
constexpr int WriteLayout = RegLineLength;              // 4014 x15 (4013 is the editor's own)
constexpr int WritePresentation = RegPresentationFirst; // 4029 x115
constexpr int WriteTail = RegPresentationCount;         // 4145 x17 (4144 stays out)
constexpr int SlowReplyMs = 2000; // the board stores the two long blocks before answering

constexpr int BoardLinkRegisters = 3; // 4000..4002
constexpr int LinkSettleMs = 300;     // the board answers the write, then switches

int BaudIndexFromCode(int code) {
    if (code < 0 || code >= static_cast<int>(BoardBaudRates.size()))
        return -1;
    // Codes 5 (28800) and 8 (76800) have no PC rate: they fall to the rate below.
    return code - (code > 4 ? 1 : 0) - (code > 7 ? 1 : 0);
}

// Sends a write of registers from the image and arms the watchdog; false when the port
// does not open.
bool SendWatchedWrite(Scheduler& s, int first, int count) {
    if (s.OpenLink() != 1)
        return false;
    s.SendWrite(first, count);
    s.EnableWatchdog();
    return true;
}

// A job's progress window starts from nothing each time.
void ShowFromZero(ProgressView& progress, const QString& title) {
    progress.SetProgress(0);
    progress.ShowProgress(title);
}

} // namespace

BoardOperations::BoardOperations(World& world, ProgressView& progress, TPStatus& status)
    : m_world(world), m_progress(progress), m_status(status) {
    m_world.scheduler.SetJobActions(this);
    m_world.scheduler.SetProgressView(&m_progress);
}

uint8_t BoardOperations::ConvertPageChar(uint8_t c, Direction direction) {
    if (direction == Direction::ToBoard) {
        for (size_t k = 0; k < PolishLetters.size(); ++k)
            if (PolishLetters[k] == c)
                return static_cast<uint8_t>(FirstBoardLetter + k);
        return c;
    }
    if (c >= FirstBoardLetter && c < FirstBoardLetter + static_cast<int>(PolishLetters.size()))
        return PolishLetters[static_cast<size_t>(c - FirstBoardLetter)];
    // An empty cell of the board's page reads as 0; in the editor it is a blank.
    if (c == 0)
        return ' ';
    return c;
}

void BoardOperations::StartIdentification() {
    Scheduler& s = m_world.scheduler;
    if (s.OpenLink() != 1)
        return;
    // No watchdog: the reply or the time-out closes the port.
    s.SendIdentify();
}

void BoardOperations::StartStatusRead() {
    Scheduler& s = m_world.scheduler;
    if (s.OpenLink() != 1) {
        m_world.dialogs.message(QStringLiteral("Odczyt Statusu nie powiódł się"), QStringLiteral("Błąd"),
                                MsgIcon::Error);
        return;
    }
    s.SendRead(RegStatus, 1);
    s.state.StatusJob = true;
    s.EnableWatchdog();
}

void BoardOperations::ShowStatus() {
    ConfigImage& image = m_world.image;
    const int32_t before = image.Reg(RegStatus);

    m_status.ShowTexts(TPStatus::FillStatusTexts(static_cast<uint16_t>(before)));
    m_status.exec();

    const int32_t after = m_status.ApplyCleared(before);
    if (after == before)
        return;
    image.SetReg(RegStatus, after);
    SendWatchedWrite(m_world.scheduler, RegStatus, 1);
}

void BoardOperations::StartConfigRead() {
    Scheduler& s = m_world.scheduler;
    if (s.OpenLink() != 1) {
        m_world.dialogs.message(QStringLiteral("Odczyt konfiguracji nie powiódł się."),
                                QStringLiteral("Błąd odczytu konfiguracji"), MsgIcon::Error);
        return;
    }
    ShowFromZero(m_progress, QStringLiteral("Odczyt Konfiguracji"));
    s.state.ReadConfigJob = true;
    s.state.ReadConfigStep = 0;
    s.SendRead(MainBase, 100);
    s.EnableWatchdog();
}

void BoardOperations::ConfigWriteStep(int step) {
    Scheduler& s = m_world.scheduler;
    switch (step) {
    case 0:
        if (s.OpenLink() != 1) {
            m_world.dialogs.message(QStringLiteral("Transmisja niemożliwa"), QStringLiteral("Błąd"),
                                    MsgIcon::Information);
            return;
        }
        ShowFromZero(m_progress, QStringLiteral("Zapis Konfiguracji"));
        s.state.WriteConfigJob = true;
        s.SendWrite(WriteFirst, 3);
        s.EnableWatchdog();
        s.state.WriteConfigStep = 0;
        break;
    case 1:
        m_progress.SetProgress(20);
        StartClockWrite(true);
        break;
    case 2:
        m_progress.SetProgress(40);
        s.SendWrite(WriteBrightness, 4);
        break;
    case 3:
        m_progress.SetProgress(60);
        s.SendWrite(WriteLayout, 15);
        s.TimeOut.setInterval(SlowReplyMs);
        break;
    case 4:
        m_progress.SetProgress(60);
        s.SendWrite(WritePresentation, 115);
        s.TimeOut.setInterval(SlowReplyMs);
        break;
    case 5:
        m_progress.SetProgress(80);
        s.SendWrite(WriteTail, 17);
        break;
    case 6:
        StartPagesWrite();
        break;
    case 7:
        ShowFromZero(m_progress, QStringLiteral("Zapis Konfiguracji Slave"));
        StartSlaveWrite();
        break;
    case 8:
        m_progress.SetProgress(100);
        s.state.WriteConfigJob = false;
        s.state.ReplyEnd = 0;
        m_progress.HideProgress();
        break;
    default:
        // Nothing follows the last step.
        s.state.WriteConfigJob = false;
        break;
    }
}

void BoardOperations::StartPagesRead() {
    Scheduler& s = m_world.scheduler;
    if (s.OpenLink() != 1)
        return;
    s.state.ReadPagesJob = true;
    s.state.WritePagesJob = false;
    s.state.PageCounter = 0;
    ShowFromZero(m_progress, QStringLiteral("Odczyt Stron Tekstowych"));
    // No page has this number, so the job's first step selects page 0.
    m_world.image.SetReg(RegPageSelector, 200);
    s.state.TransferError = false;
    s.EnableWatchdog();
}

void BoardOperations::StartPagesWrite() {
    Scheduler& s = m_world.scheduler;
    if (s.OpenLink() != 1)
        return;
    s.state.WritePagesJob = true;
    s.state.ReadPagesJob = false;
    s.state.PageCounter = 0;
    m_world.image.SetReg(RegPageSelector, 0);
    ShowFromZero(m_progress, QStringLiteral("Zapis Stron Tekstowych..."));
    s.SendWrite(RegOccasionalAllowed, 1);
    s.EnableWatchdog();
}

int BoardOperations::PageFromWindow() {
    ConfigImage& image = m_world.image;
    const int32_t page = image.Reg(RegPageSelector);
    if (page < 0 || page >= PageCount)
        return -1;
    ConfigImage::Page& text = image.pages[static_cast<size_t>(page)];
    for (int i = 0; i < PageSize / 2; ++i) {
        const int32_t pair = image.Reg(RegPageWindow + i);
        text[static_cast<size_t>(2 * i)] =
            ConvertPageChar(static_cast<uint8_t>((pair >> 8) & 0xFF), Direction::FromBoard);
        text[static_cast<size_t>(2 * i + 1)] =
            ConvertPageChar(static_cast<uint8_t>(pair & 0xFF), Direction::FromBoard);
    }
    return 1;
}

int BoardOperations::PageToWindow(int page) {
    if (page < 0 || page >= PageCount)
        return -1;
    ConfigImage& image = m_world.image;
    const ConfigImage::Page& text = image.pages[static_cast<size_t>(page)];
    image.SetReg(RegPageSelector, page);
    for (int i = 0; i < PageSize / 2; ++i) {
        const int high = ConvertPageChar(text[static_cast<size_t>(2 * i)], Direction::ToBoard);
        const int low = ConvertPageChar(text[static_cast<size_t>(2 * i + 1)], Direction::ToBoard);
        image.SetReg(RegPageWindow + i, high * 256 + low);
    }
    return 1;
}

void BoardOperations::StartLinkChange() {
    Scheduler& s = m_world.scheduler;
    ConfigImage& image = m_world.image;
    LinkSettings& link = image.link;

    const int newBaud = BaudIndexFromCode(image.Reg(RegBoardBaud));
    const int newFrame = image.Reg(RegBoardFrame) & 0xFF;

    if (s.OpenLink() != 1)
        return;

    s.state.SavedAddress = link.BoardAddress;
    s.state.SavedFrameIndex = link.FrameIndex;
    s.state.SavedBaudIndex = link.BaudIndex;
    s.state.TransferError = false;

    // A code the board refuses leaves its setting as it is, so the PC keeps its own too.
    if (newFrame < static_cast<int>(FrameNames.size()))
        link.FrameIndex = static_cast<uint8_t>(newFrame);
    if (newBaud >= 0)
        link.BaudIndex = static_cast<uint8_t>(newBaud);

    // Sent at the old settings; the board answers before it switches, and that reply is
    // dropped by the reopening below, so none is awaited.
    ModbusLink& modbus = m_world.link;
    const int length =
        modbus.BuildWriteRequest(link.BoardAddress, RegBoardAddress, BoardLinkRegisters, image.main.data());
    modbus.Send(length);

    m_world.clock.pause(LinkSettleMs);
    s.CloseLink();
    // A failure here shows up at the next tick, which puts the old settings back.
    s.OpenLink();

    s.state.ReplyEnd = 0;
    s.state.LinkChangeJob = true;
    s.EnableWatchdog();
}

void BoardOperations::StartClockRead() {
    Scheduler& s = m_world.scheduler;
    // With the port closed nothing goes out and the next tick drops the job.
    s.OpenLink();
    s.SendRead(RegClockTime, 3);
    s.state.ClockReadJob = true;
    s.EnableWatchdog();
}

void BoardOperations::StartClockWrite(bool takePcTime) {
    Scheduler& s = m_world.scheduler;
    const QDateTime now = m_world.clock.now();
    if (s.OpenLink() != 1)
        return;
    if (takePcTime) {
        ConfigImage& image = m_world.image;
        const QDate date = now.date();
        const QTime time = now.time();
        image.SetReg(RegClockTime, time.hour() * 100 + time.minute());
        // The board keeps the year within its century.
        image.SetReg(RegClockYear, date.year() % 100);
        image.SetReg(RegClockDate, date.month() * 100 + date.day());
    }
    s.SendWrite(RegClockTime, 3);
    s.EnableWatchdog();
}

void BoardOperations::StartTimeDisplayRead() {
    Scheduler& s = m_world.scheduler;
    s.OpenLink();
    s.SendRead(RegTimePosition, 4);
    s.EnableWatchdog();
}

void BoardOperations::StartTimeDisplayWrite() {
    SendWatchedWrite(m_world.scheduler, RegTimePosition, 4);
}

void BoardOperations::StartSlaveWrite() {
    SendWatchedWrite(m_world.scheduler, SlaveBase, SlaveCount);
}

} // namespace kx9
