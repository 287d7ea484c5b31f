// SPDX-License-Identifier: MIT
// "Szukaj tablicy" of "Port Szeregowy" over a real pseudo-terminal: kx9-sim at a board's own
// address, rate and frame, found, listed as it answers, taken into the fields by "Użyj" and
// applied by OK only; "Przerwij"; the one-transfer rule.
#include "SimProcess.h"
#include "app/Ppost.h"
#include "common/TestWorld.h"
#include "editors/Konfig_uart.h"
#include "ops/ScanTransfer.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

template <class Base = ::testing::Test> class PortSearchWith : public OnTheLine<LineWorld, Base> {
protected:
    void SetUp() override {
        image.ResetImage(w.clock.now());
        w.program.progress.Attach(&pasek);
        this->StartSim({"--address", "57", "--baud", "9600", "--frame", "8O1", "--log"});
        // A margin a loaded machine keeps: a board's reply that begins late is a board missed.
        window.ScanProbeMs = 60;
        window.show();
    }
    void TearDown() override {
        w.program.progress.Attach(nullptr);
        OnTheLine<LineWorld, Base>::TearDown();
    }
    // Only 9600 bit/s and `frame` (the window's lists), from address 1 up.
    void Search(int frame) {
        window.ComboBox3->setCurrentIndex(2);
        window.ComboBox2->setCurrentIndex(frame);
        window.CheckBox1->setChecked(true);
        QTest::mouseClick(window.Button3, Qt::LeftButton);
    }
    bool Ended(int ms = 20000) {
        return QTest::qWaitFor([this] { return !window.Scanner()->Running(); }, ms);
    }
    // Nothing left running or open, and the settings in force as they were before.
    void ExpectLineLeftAlone() {
        EXPECT_FALSE(image.link.PortOpen);
        EXPECT_FALSE(port.isOpen());
        EXPECT_FALSE(scheduler.Busy());
        EXPECT_FALSE(pasek.isVisible());
        EXPECT_EQ(image.link.BoardAddress, 1);
        EXPECT_EQ(image.link.BaudIndex, 7);
        EXPECT_EQ(image.link.FrameIndex, 1);
    }

    using OnTheLine<LineWorld, Base>::sim;
    LineWorld& w = *this;
    ConfigImage& image = w.image;
    Scheduler& scheduler = w.scheduler;
    RecordingDialogs& dialogs = w.dialogs;
    QtSerialPort& port = w.port;
    TPpasek pasek{w.scheduler};
    TfKonUart window{w.image.link, w.dialogs, nullptr, &w.transfers};
};
using PortSearchOnTheLine = PortSearchWith<>;

TEST_F(PortSearchOnTheLine, FindsTheBoardAndAppliesItsAddressRateAndFrame) {
    Search(3);
    EXPECT_TRUE(pasek.isVisible());
    EXPECT_TRUE(window.Scanner()->Running());
    ASSERT_TRUE(Ended()) << sim->Log().constData();
    ExpectLineLeftAlone();
    EXPECT_TRUE(dialogs.boxes.empty());
    ASSERT_EQ(window.ListBox2->count(), 1);
    EXPECT_TRUE(window.ListBox2->item(0)->text().startsWith(
        QStringLiteral("Adres 57, 9600bps, 8O1: Uzyskano odpowiedź z KX9 o rozdzielczości matrycowej: ")))
        << window.ListBox2->item(0)->text().toStdString();
    EXPECT_EQ(window.Label7->text(), QStringLiteral("Znalezione tablice KX9: 1"));
    // The usual addresses 1..16 and 247, then 17..57, one identification each, and not one more.
    const std::vector<QByteArray> asked = sim->Requests();
    ASSERT_EQ(asked.size(), 58u) << sim->Log().constData();
    EXPECT_EQ(uint8_t(asked[16][0]), 247);
    EXPECT_EQ(uint8_t(asked.back()[0]), 57);
    EXPECT_EQ(uint8_t(asked.back()[1]), 17);

    ASSERT_TRUE(window.Button5->isEnabled());
    QTest::mouseClick(window.Button5, Qt::LeftButton);
    QTest::mouseClick(window.Button1, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(image.link.BoardAddress, 57);
    EXPECT_EQ(image.link.BaudIndex, 2);
    EXPECT_EQ(image.link.FrameIndex, 3);
    // The board answers the program at what was applied.
    ASSERT_TRUE(ops.StartIdentification());
    ASSERT_TRUE(scheduler.WaitUntilIdle(5000));
    ASSERT_EQ(dialogs.boxes.size(), 1u) << dialogs.boxes.back().details.toStdString();
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Identyfikacja"));
}

TEST_F(PortSearchOnTheLine, ListsEachBoardTheMomentItAnswers) {
    window.CheckBox2->setChecked(true); // every device: the search goes on after the board
    Search(3);
    ASSERT_TRUE(QTest::qWaitFor([this] { return window.ListBox2->count() == 1; }, 20000))
        << sim->Log().constData();
    EXPECT_TRUE(window.Scanner()->Running());
    EXPECT_EQ(window.ListBox2->currentRow(), 0);
    EXPECT_TRUE(window.Button5->isEnabled());
    QTest::mouseClick(pasek.BitBtn1, Qt::LeftButton);
    ASSERT_TRUE(Ended(500));
    EXPECT_EQ(window.ListBox2->count(), 1);
    EXPECT_EQ(window.Label7->text(), QStringLiteral("Przerwano; znalezione tablice KX9: 1"));
    ExpectLineLeftAlone();
}

// "Użyj" fills the fields and applies nothing; OK applies them, "Anuluj" drops them. On COM7,
// which the port list does not offer, the port in force stays as it is.
struct UseRow {
    int portIndex;
    bool ok;
};
class UseFoundBoard : public PortSearchWith<::testing::TestWithParam<UseRow>> {};

TEST_P(UseFoundBoard, FillsTheFieldsAndOnlyOkAppliesThem) {
    const UseRow row = GetParam();
    window.hide();
    image.link.PortIndex = uint8_t(row.portIndex);
    if (row.portIndex != 0) {
        ASSERT_TRUE(
            QFile::link(QFileInfo(sim->Dir() + "/COM1").symLinkTarget(), PortMap::Name(row.portIndex)));
    }
    window.show();
    Search(3);
    ASSERT_TRUE(Ended()) << sim->Log().constData();
    ASSERT_TRUE(window.Button5->isEnabled());
    QTest::mouseClick(window.Button5, Qt::LeftButton);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Edit1->text(), QStringLiteral("57"));
    EXPECT_EQ(window.ComboBox2->currentIndex(), 3);
    EXPECT_EQ(window.ComboBox3->currentIndex(), 2);
    EXPECT_EQ(window.ComboBox1->currentIndex(), row.portIndex < 6 ? row.portIndex : -1);
    EXPECT_EQ(image.link.PortIndex, row.portIndex);
    EXPECT_EQ(image.link.BoardAddress, 1);
    EXPECT_EQ(image.link.BaudIndex, 7);
    EXPECT_EQ(image.link.FrameIndex, 1);

    QTest::mouseClick(row.ok ? window.Button1 : window.Button2, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(image.link.PortIndex, row.portIndex);
    EXPECT_EQ(image.link.BoardAddress, row.ok ? 57 : 1);
    EXPECT_EQ(image.link.BaudIndex, row.ok ? 2 : 7);
    EXPECT_EQ(image.link.FrameIndex, row.ok ? 3 : 1);
    EXPECT_TRUE(dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, UseFoundBoard,
                         ::testing::Values(UseRow{0, true}, UseRow{0, false}, UseRow{6, true},
                                           UseRow{6, false}));

TEST_F(PortSearchOnTheLine, PrzerwijStopsItAndLeavesNothingOpen) {
    Search(0); // the board is not at 8N1: the scan would go through all 247 addresses
    ASSERT_TRUE(QTest::qWaitFor([this] { return window.Scanner()->Last()->Probes() >= 3; }, 5000));
    QTest::mouseClick(pasek.BitBtn1, Qt::LeftButton);
    ASSERT_TRUE(Ended(500));
    const int probes = window.Scanner()->Last()->Probes();
    EXPECT_LT(probes, 20);
    ExpectLineLeftAlone();
    EXPECT_EQ(window.Scanner()->Last()->Status(), BoardScan::State::Stopped);
    EXPECT_EQ(window.ListBox2->count(), 0);
    EXPECT_FALSE(window.Button5->isEnabled());
    EXPECT_EQ(window.Label7->text(), QStringLiteral("Przerwano; znalezione tablice KX9: 0"));
    // Nothing more goes out.
    QTest::qWait(200);
    EXPECT_EQ(window.Scanner()->Last()->Probes(), probes);
}

TEST_F(PortSearchOnTheLine, WaitsForTheTransferRunning) {
    const int chain = 0;
    scheduler.Claim(&chain); // an editor's chain holds the link
    Search(3);
    scheduler.Release(&chain);
    EXPECT_FALSE(window.Scanner()->Running());
    EXPECT_EQ(dialogs.Texts(),
              std::vector<QString>{
                  QStringLiteral("Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie.")});
    EXPECT_EQ(dialogs.Titles(), std::vector<QString>{QStringLiteral("Uwaga")});
    EXPECT_TRUE(window.Button3->isEnabled());
    QTest::qWait(100);
    EXPECT_TRUE(sim->Requests().empty());
    ExpectLineLeftAlone();
}

} // namespace
} // namespace kx9::test
