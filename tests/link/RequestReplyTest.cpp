// SPDX-License-Identifier: MIT
// The scheduler takes only the reply to the request in flight, ends a refusal at once, and
// says in the details of its box what happened.
#include "board/SimPort.h"
#include "common/SchedulerTicks.h"
#include "common/TestSeams.h"
#include "link/Modbus.h"
#include "link/Transfer.h"

#include <QByteArray>
#include <functional>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

QByteArray Framed(const QByteArray& body) {
    uint8_t buf[frame::BufferSize];
    std::copy(body.begin(), body.end(), buf);
    return QByteArray(reinterpret_cast<const char*>(buf), frame::AppendCrc(buf, int(body.size())));
}
QByteArray Framed(const char* hex) {
    return Framed(QByteArray::fromHex(hex));
}

const QString TransmissionError = QStringLiteral("Błąd transmisji danych");
constexpr int32_t Untouched = 0x5A5A;

struct World {
    World() {
        test::EnsureCoreApplication();
        image.main.fill(Untouched);
        board.SetHolding(RegStatus, 5);
    }
    ~World() { s.Abandon(); }
    BoardModel board;
    SimPort port{board};
    test::FakeClock clock;
    test::RecordingDialogs dialogs;
    ConfigImage image;
    ModbusLink link{image, port, dialogs, clock};
    Scheduler s{image, link, dialogs};
};

// What reaches the port around one request, and how the request must end.
struct Row {
    const char* name;
    std::function<void(Scheduler&)> send;
    QByteArray arrives;
    bool beforeRequest; // still waiting from an earlier request; the board then answers too
    const char* cause;  // empty: the request succeeds
};

class ReplyBelongsToItsRequest : public ::testing::TestWithParam<Row> {};

TEST_P(ReplyBelongsToItsRequest, OrFailsWithoutStoringIt) {
    const Row& r = GetParam();
    World w;
    w.s.SetOperationName(QStringLiteral("Odczyt Statusu"));
    ASSERT_EQ(w.s.OpenLink(), 1);
    if (r.beforeRequest)
        w.port.Inject(r.arrives); // arrived during the 200 ms after the open
    else
        w.board.SetFault(BoardModel::Fault::NoReply, 1);
    r.send(w.s);
    if (!r.beforeRequest)
        w.port.Inject(r.arrives);
    w.s.TestOdpowiedziTimer();

    if (*r.cause == '\0') {
        EXPECT_EQ(w.s.ReplyEnd(), 0);
        EXPECT_FALSE(w.s.TransferError());
        EXPECT_TRUE(w.dialogs.boxes.empty());
        return;
    }
    if (w.s.ReplyEnd() != 0) {
        // Refused: the re-armed time-out ends it.
        EXPECT_TRUE(w.s.TimeOutActive());
        EXPECT_TRUE(w.dialogs.boxes.empty());
        w.s.TimeOutTimer();
    }
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    const auto& box = w.dialogs.boxes[0];
    EXPECT_EQ(box.text, TransmissionError);
    EXPECT_EQ(box.title, QStringLiteral("Błąd"));
    EXPECT_EQ(box.icon, MsgIcon::Error);
    EXPECT_TRUE(box.details.contains(QString::fromUtf8(r.cause))) << box.details.toStdString();
    EXPECT_TRUE(box.details.startsWith(QStringLiteral("Operacja: Odczyt Statusu\nZapytanie: ")));
    EXPECT_TRUE(w.s.TransferError());
    EXPECT_EQ(w.s.ReplyEnd(), 0);
    EXPECT_FALSE(w.image.link.PortOpen);
    EXPECT_TRUE(w.s.Idle());
    EXPECT_TRUE(w.s.OperationName().isEmpty());
    EXPECT_TRUE(
        std::all_of(w.image.main.begin(), w.image.main.end(), [](int32_t v) { return v == Untouched; }));
}

auto ReadStatus = [](Scheduler& s) { s.SendRead(RegStatus, 1); };
auto Read62 = [](Scheduler& s) { s.SendRead(4100, 62); };
auto WriteBrightness = [](Scheduler& s) { s.SendWrite(RegDayBrightness, 4); };

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplyBelongsToItsRequest,
    ::testing::Values(
        // A write's reply that came after its time-out, then the next write: both replies wait
        // together unless the input is purged before the request.
        Row{"LateWriteReplyBeforeTheNextWrite", WriteBrightness, Framed("01100fa90004"), true, ""},
        Row{"LateReadReplyBeforeTheNextRead", ReadStatus, Framed("0103020007"), true, ""},
        // A function 16 reply is longer than a one-register read's: it must not complete it.
        Row{"WriteReplyToOneRegisterRead", ReadStatus, Framed("011010a90001"), false,
            "(funkcja 16 zamiast 3)"},
        // Full length and a right CRC, but five registers where 62 were asked for.
        Row{"ShortByteCount", Read62, Framed(QByteArray::fromHex("01030a") + QByteArray(124, char(7))), false,
            "(liczba bajtów danych 10 zamiast 124)"},
        Row{"CutShort", Read62, Framed("0103").left(3), false,
            "odpowiedź niepełna: 3 z 129 bajtów w ciągu 1000 ms"},
        Row{"Silence", Read62, QByteArray(), false, "brak odpowiedzi w ciągu 1000 ms"},
        // A refusal ends the request at the first poll that sees it whole.
        Row{"ExceptionEndsAtOnce", Read62, Framed("018302"), false,
            "tablica odrzuciła zapytanie: wyjątek 2 (niedozwolony adres rejestru)"},
        Row{"ExceptionToIdentification", [](Scheduler& s) { s.SendIdentify(); }, Framed("019101"), false,
            "wyjątek 1 (niedozwolona funkcja)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestReply, PortVanishingIsSeenAtTheNextPoll) {
    World w;
    w.board.SetFault(BoardModel::Fault::Vanish, 1);
    ASSERT_EQ(w.s.OpenLink(), 1);
    w.s.SendRead(4100, 62);
    w.s.TestOdpowiedziTimer();
    EXPECT_TRUE(w.s.Idle());
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_TRUE(w.dialogs.boxes[0].details.contains(QStringLiteral("port zniknął w trakcie transmisji")));
    // The next operation opens it afresh.
    ASSERT_EQ(w.s.OpenLink(), 1);
    w.s.SendRead(4100, 62);
    w.s.TestOdpowiedziTimer();
    EXPECT_EQ(w.s.ReplyEnd(), 0);
    EXPECT_EQ(w.image.Reg(4100), w.board.Holding(4100));
}

// Link settings from a file are checked where they are used, and kept as they came.
struct SettingRow {
    const char* name;
    std::function<void(LinkSettings&)> set;
    const char* cause;
};

class SettingsFromAFile : public ::testing::TestWithParam<SettingRow> {};

TEST_P(SettingsFromAFile, AreRefusedAtTheOpenAndKept) {
    World w;
    GetParam().set(w.image.link);
    const LinkSettings loaded = w.image.link;
    EXPECT_EQ(w.s.OpenLink(), -1);
    EXPECT_EQ(w.port.OpenCount(), 0);
    w.s.SendRead(RegStatus, 1);
    EXPECT_TRUE(w.board.Requests().empty());
    ASSERT_FALSE(w.dialogs.boxes.empty());
    EXPECT_EQ(w.dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Information);
    EXPECT_TRUE(w.dialogs.boxes[0].details.contains(QString::fromUtf8(GetParam().cause)))
        << w.dialogs.boxes[0].details.toStdString();
    EXPECT_EQ(w.image.link.BoardAddress, loaded.BoardAddress);
    EXPECT_EQ(w.image.link.FrameIndex, loaded.FrameIndex);
    EXPECT_EQ(w.image.link.BaudIndex, loaded.BaudIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Link, SettingsFromAFile,
    ::testing::Values(
        SettingRow{"Broadcast", [](LinkSettings& l) { l.BoardAddress = 0; },
                   "adres tablicy 0 spoza zakresu 1..247 (adres 0 to rozgłoszenie"},
        SettingRow{"Address248", [](LinkSettings& l) { l.BoardAddress = 248; },
                   "adres tablicy 248 spoza zakresu 1..247\n"},
        SettingRow{"Frame", [](LinkSettings& l) { l.FrameIndex = 4; }, "ramka nr 4 spoza tabeli"},
        SettingRow{"Baud", [](LinkSettings& l) { l.BaudIndex = 8; }, "prędkość nr 8 spoza tabeli"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestReply, ReplyTimeOutIsUsedWithinBoundsAndKept) {
    World w;
    struct Case {
        int setting;
        int used;
    };
    ASSERT_EQ(w.s.OpenLink(), 1);
    for (const Case c : {Case{1, 100}, Case{0, 100}, Case{99, 100}, Case{150, 150}, Case{20000, 20000},
                         Case{65535, 20000}}) {
        w.image.link.ReplyTimeoutMs = c.setting;
        w.s.SendRead(RegStatus, 1);
        EXPECT_EQ(w.s.TimeOutInterval(), c.used) << c.setting;
        EXPECT_EQ(w.image.link.ReplyTimeoutMs, c.setting);
        w.s.TestOdpowiedziTimer();
    }
}

} // namespace
} // namespace kx9
