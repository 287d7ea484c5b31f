// SPDX-License-Identifier: MIT
// The external-devices window writing and reading over a real pseudo-terminal, kx9-sim on the other side.
#include "SimProcess.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"
#include "editors/Konfigslave.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace kx9::test {
namespace {

using slave::RecordRegister;

class KonfigslaveOnTheLine : public OnTheLine<LineWorld> {
protected:
    void SetUp() override {
        image.ResetImage(clock.now());
        StartSim();
    }

    void Select(int node) { window.TreeView1->setCurrentItem(window.Node(node)); }
    bool WaitDone() {
        return QTest::qWaitFor([this] { return !window.Timer1->isActive() && scheduler.Idle(); }, 10000);
    }
    std::vector<QByteArray> Frames() const { return sim->Requests(); }

    TfKonfigSlave window{transfers};
};

TEST_F(KonfigslaveOnTheLine, WritePutsTheLinkThenTheDevicesOnTheLine) {
    Select(3);
    window.Edit5->setText("312");
    window.BitBtn1Click();
    ASSERT_TRUE(WaitDone()) << sim->Log().constData();

    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(RequestSummary(Frames()), (std::vector<std::string>{"w4003x3", "w4300x45"}))
        << sim->Log().constData();
    EXPECT_EQ(progress.values, (std::vector<int>{0, 50, 100}));
    EXPECT_FALSE(progress.shown);
    EXPECT_FALSE(image.link.PortOpen);
    // Words follow the 7 header bytes of the write; device 3's position is word 27.
    const QByteArray devices = Frames().back();
    ASSERT_GT(devices.size(), 62);
    EXPECT_EQ(uint8_t(devices[61]) * 256 + uint8_t(devices[62]), 312);
}

TEST_F(KonfigslaveOnTheLine, ReadShowsTheBoardsValuesAndTheNextNodeChangeKeepsThem) {
    // Put other values on the board than the image will hold.
    image.SetReg(RegSlaveTimeout, 30);
    image.SetReg(RecordRegister(1, slave::Address), 99);
    image.SetReg(RecordRegister(1, slave::MaxChars), 17);
    ASSERT_TRUE(transfers.Single(Transfers::Kind::Write, RegSlaveTimeout, 1));
    ASSERT_TRUE(scheduler.WaitUntilIdle(5000));
    ASSERT_TRUE(transfers.Single(Transfers::Kind::Write, SlaveBase, SlaveCount));
    ASSERT_TRUE(scheduler.WaitUntilIdle(5000));
    image.ResetImage(clock.now());

    Select(1);
    EXPECT_EQ(window.Edit2->text(), "2");
    window.BitBtn2Click();
    ASSERT_TRUE(WaitDone()) << sim->Log().constData();

    const std::vector<std::string> all = RequestSummary(Frames());
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(all.end() - 2, all.end()),
              (std::vector<std::string>{"r4003x3", "r4300x45"}));
    EXPECT_EQ(progress.values, (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(window.Edit2->text(), "99");
    EXPECT_EQ(window.Edit8->text(), "17");

    Select(2);
    Select(TfKonfigSlave::LinkNode);
    EXPECT_EQ(window.Edit1->text(), "3000");
    EXPECT_EQ(image.Reg(RecordRegister(1, slave::Address)), 99);
    EXPECT_EQ(image.Reg(RecordRegister(1, slave::MaxChars)), 17);
    EXPECT_TRUE(dialogs.boxes.empty());
}

} // namespace
} // namespace kx9::test
