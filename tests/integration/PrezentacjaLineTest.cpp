// SPDX-License-Identifier: MIT
// The presentation editor over a real pseudo-terminal, kx9-sim on the other side.
#include "SimProcess.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"
#include "config/PageLayout.h"
#include "editors/Prezentacja.h"

#include <QDir>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

namespace kx9::test {
namespace {

using Requests = std::vector<std::string>;

class PrezentacjaOnTheLine : public OnTheLine<LineWorld> {
protected:
    void SetUp() override {
        image.ResetImage(clock.now());
        StartSim();
    }
    bool Settled(const QTimer* timer) {
        return QTest::qWaitFor([&] { return !timer->isActive() && scheduler.Idle(); }, 10000);
    }
    Requests Sent() const { return RequestSummary(sim->Requests()); }

    TPStron stron{transfers, ops};
    TfPrezentacja window{transfers, stron};
};

TEST_F(PrezentacjaOnTheLine, WriteGoesOutInTwelveRequestsAndOneReadBringsItBack) {
    for (int k = 0; k < 3; ++k)
        image.SetReg(RegPresentationFirst + k, 100 + k);
    image.SetReg(RegPresentationCount, 3);
    window.FormActivate();
    window.Edit6->setText("45");
    window.BitBtn5Click();
    ASSERT_TRUE(Settled(window.Timer1)) << sim->Log().constData();
    EXPECT_EQ(Sent(), (Requests{"w4028x10", "w4038x10", "w4048x10", "w4058x10", "w4068x10", "w4078x10",
                                "w4088x10", "w4098x10", "w4108x10", "w4118x10", "w4128x10", "w4138x8"}))
        << sim->Log().constData();
    EXPECT_EQ(progress.values, (std::vector<int>{0, 10, 20, 30, 40, 50, 50, 60, 70, 80, 90, 100}));

    window.BitBtn3Click();
    image.SetReg(RegPresentationTime, 1);
    window.BitBtn4Click();
    ASSERT_TRUE(Settled(window.TestNadawania)) << sim->Log().constData();
    EXPECT_EQ(Sent().back(), "r4028x118");
    window.FormActivate();
    EXPECT_EQ(window.Edit6->text(), "45");
    EXPECT_EQ(window.ListBox1->count(), 3);
    EXPECT_EQ(window.ListBox1->item(2)->text(), "102");
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(progress.shown || image.link.PortOpen);
}

TEST_F(PrezentacjaOnTheLine, BoardPreviewFollowsTheBoardsActivePage) {
    image.SetPage(
        33, layout::LinesToPage({"Trzydziesta trzecia"}, image.Reg(RegBoardSize), image.Reg(RegLineLength)));
    window.RadioButton2->setChecked(true);
    window.CheckBox1->setChecked(true);
    ASSERT_TRUE(window.PrezentacjaTablicy->isActive());

    const auto previewRead = [this] {
        const Requests sent = Sent();
        return std::find(sent.begin(), sent.end(), "r4146x1") != sent.end();
    };
    ASSERT_TRUE(QTest::qWaitFor(previewRead, 5000)) << sim->Log().constData();

    // The board changes page: another request, sent between two of the preview's reads.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !transfers.Busy(); }, 5000));
    image.SetReg(RegActivePage, 33);
    ASSERT_TRUE(transfers.Single(Transfers::Kind::Write, RegActivePage, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !transfers.Busy(); }, 5000));
    image.SetReg(RegActivePage, 0); // only the board can bring 33 back now
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.Edit8->text() == "33"; }, 5000))
        << sim->Log().constData();
    EXPECT_EQ(window.Edit1->text().trimmed(), "Trzydziesta trzecia");

    window.CheckBox1->setChecked(false);
    ASSERT_TRUE(Settled(window.PrezentacjaTablicy));
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_TRUE(dialogs.boxes.empty());
    // The preview read before the write and again after it.
    const Requests sent = Sent();
    const auto write = std::find(sent.begin(), sent.end(), "w4146x1");
    ASSERT_NE(write, sent.end());
    EXPECT_NE(std::find(sent.begin(), write, "r4146x1"), write);
    EXPECT_NE(std::find(write, sent.end(), "r4146x1"), sent.end());
}

} // namespace
} // namespace kx9::test
