// SPDX-License-Identifier: MIT
// A request chain is done only when every request was answered, and a failure's details name
// the operation and what the board confirmed before it.
#include "ops/RequestChain.h"
#include "common/TestWorld.h"
#include "ops/WholeConfig.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

// What ConfirmedText makes of `confirmed` of the steps (each a request, with or without a part
// name).
struct TextCase {
    const char* name;
    std::vector<std::pair<PendingRequest, QString>> steps;
    int confirmed;
    const char* text;
};

PendingRequest W(int first, int count) {
    return {1, 16, first, count};
}
PendingRequest R(int first, int count) {
    return {1, 3, first, count};
}

class ConfirmedText : public ::testing::TestWithParam<TextCase> {};

TEST_P(ConfirmedText, NamesEachPartOnce) {
    const TextCase& c = GetParam();
    std::vector<ChainStep> steps;
    std::vector<PendingRequest> sent;
    for (const auto& [request, what] : c.steps) {
        steps.push_back({{}, -1, what});
        sent.push_back(request);
    }
    EXPECT_EQ(RequestChain::ConfirmedText(steps, sent, c.confirmed), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ConfirmedText,
    ::testing::Values(
        TextCase{"NothingYet", {{W(4009, 4), {}}, {W(4015, 3), {}}}, 0, "0 z 2 zapytań"},
        TextCase{"OneOfTwo",
                 {{W(4009, 4), {}}, {W(4015, 3), {}}},
                 1,
                 "1 z 2 zapytań: zapis rejestrów 4009..4012 (funkcja 16)"},
        // Blocks whose registers follow on are one range; a gap or another function starts another.
        TextCase{"RangesFollowOn",
                 {{W(4028, 10), {}}, {W(4038, 10), {}}, {W(4048, 10), {}}, {W(4138, 8), {}}},
                 3,
                 "3 z 4 zapytań: zapis rejestrów 4028..4057 (funkcja 16)"},
        TextCase{"GapAndFunction",
                 {{R(4003, 3), {}}, {R(4300, 45), {}}, {W(4303, 1), {}}},
                 3,
                 "3 z 3 zapytań: odczyt rejestrów 4003..4005 (funkcja 3), odczyt rejestrów 4300..4344 "
                 "(funkcja 3), "
                 "zapis rejestru 4303 (funkcja 16)"},
        // Named parts: whole ones by name, the one cut short with how far it came.
        TextCase{"PartCutShort",
                 {{W(0, 101), "strona 115"},
                  {W(100, 100), "strona 115"},
                  {W(0, 101), "strona 116"},
                  {W(100, 100), "strona 116"},
                  {W(200, 100), "strona 116"}},
                 3,
                 "3 z 5 zapytań: strona 115, strona 116 (1 z 3 zapytań)"},
        TextCase{"OneOfOne", {{W(4146, 1), {}}}, 1, "1 z 1 zapytania: zapis rejestru 4146 (funkcja 16)"},
        // More confirmed than sent cannot be: only what was sent counts.
        TextCase{"NeverPastTheSent",
                 {{W(4009, 4), {}}},
                 5,
                 "1 z 1 zapytania: zapis rejestrów 4009..4012 (funkcja 16)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Three single-register writes, in-process.
struct Chain : ::testing::Test, test::BoardWorld {
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }

    ChainStep Write(int reg) {
        return {[this, reg] {
                    if (scheduler.OpenLink() != 1)
                        return false;
                    scheduler.SendWrite(reg, 1);
                    return true;
                },
                -1};
    }
    bool Start(std::vector<ChainStep> steps) {
        return chain.Start(
            std::move(steps), [this] { ++finished; }, QStringLiteral("Zapis próbny"));
    }
    void Run(const std::function<bool()>& stop = {}) {
        test::TickUntilIdle(
            scheduler, port, stop, [this] { chain.Tick(); }, [this] { return timer.isActive(); });
    }

    QTimer timer;
    RequestChain chain{transfers, timer};
    int finished = 0;
};

TEST_F(Chain, ARefusalInTheSecondStepSaysWhatTheBoardConfirmedAndIsNotDone) {
    board.SetFaultAfter(1);
    board.SetFault(BoardModel::Fault::Exception, 1);
    ASSERT_TRUE(Start({Write(4020), Write(4021), Write(4022)}));
    Run();
    EXPECT_EQ(finished, 0);
    EXPECT_FALSE(chain.Running());
    EXPECT_EQ(chain.Confirmed(), 1);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const QString details = dialogs.boxes[0].details;
    EXPECT_TRUE(details.startsWith(
        QStringLiteral("Operacja: Zapis próbny\nZapytanie: zapis rejestru 4021 (funkcja 16)\n"
                       "Potwierdzone przez tablicę: 1 z 3 zapytań: zapis rejestru 4020 "
                       "(funkcja 16)\n")))
        << details.toStdString();
    EXPECT_EQ(board.Requests().size(), 2u);
}

TEST_F(Chain, EveryAnsweredStepMakesItDone) {
    ASSERT_TRUE(Start({Write(4020), Write(4021), Write(4022)}));
    Run();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(chain.Confirmed(), 3);
    EXPECT_TRUE(dialogs.boxes.empty());
    // The name goes with the chain: a later transfer without one is named by its request.
    EXPECT_TRUE(scheduler.OperationName().isEmpty());
}

TEST_F(Chain, AbandonedUnderItIsNotDoneAndSendsNoMore) {
    ASSERT_TRUE(Start({Write(4020), Write(4021), Write(4022)}));
    scheduler.Abandon(); // the program closing: no reply will come for the first request
    for (int i = 0; i < 5; ++i)
        chain.Tick();
    EXPECT_EQ(finished, 0);
    EXPECT_FALSE(chain.Running());
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(board.Requests().size(), 1u);
}

TEST_F(Chain, AStepThatSendsNothingIsNoAnswer) {
    ChainStep silent{[this] { return scheduler.OpenLink() == 1; }, -1};
    ASSERT_TRUE(Start({Write(4020), silent, Write(4022)}));
    Run();
    EXPECT_EQ(finished, 0);
    EXPECT_FALSE(chain.Running());
    EXPECT_FALSE(image.link.PortOpen);
    EXPECT_EQ(board.Requests().size(), 1u);
}

TEST_F(Chain, AFailedOpenInALaterStepNamesTheOperationAndWhatArrived) {
    ChainStep unplugged = Write(4021);
    unplugged.send = [this, send = unplugged.send] {
        port.SetMissing(QStringLiteral("COM1"));
        return send();
    };
    ASSERT_TRUE(Start({Write(4020), unplugged}));
    Run();
    EXPECT_EQ(finished, 0);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Błąd otwarcia portu"));
    EXPECT_TRUE(dialogs.boxes[0].details.contains(QStringLiteral(
        "Operacja: Zapis próbny\nPotwierdzone przez tablicę: 1 z 2 zapytań: zapis rejestru 4020")))
        << dialogs.boxes[0].details.toStdString();

    // The next transfer, unnamed, does not inherit the name.
    port.SetMissing(QString());
    dialogs.boxes.clear();
    board.SetFault(BoardModel::Fault::NoReply, 1);
    ASSERT_TRUE(transfers.Single(Transfers::Kind::Read, RegActivePage, 1));
    test::TickUntilIdle(scheduler, port);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(
        dialogs.boxes[0].details.startsWith(QStringLiteral("Operacja: odczyt rejestru 4146 (funkcja 3)\n")))
        << dialogs.boxes[0].details.toStdString();
}

// The text page write and the whole-configuration write say as much when they fail.
TEST(JobConfirmedText, PageAndWholeWritesCountTheirOwnRequests) {
    const QString blocks =
        QStringLiteral("zapis rejestrów 4003..4012 (funkcja 16), zapis rejestrów 4014..4143 "
                       "(funkcja 16), zapis rejestrów 4145..4161 (funkcja 16)");
    const std::pair<QString, QString> cases[] = {
        {PagesWriteJob::ConfirmedText(0), QStringLiteral("0 z 116 zapytań")},
        {PagesWriteJob::ConfirmedText(1),
         QStringLiteral("1 z 116 zapytań: zapis rejestru 4027 (funkcja 16)")},
        {PagesWriteJob::ConfirmedText(38),
         QStringLiteral("38 z 116 zapytań: zapis rejestru 4027 (funkcja 16), "
                        "strony tekstowe (37 z 115 zapytań)")},
        {PagesWriteJob::ConfirmedText(116),
         QStringLiteral("116 z 116 zapytań: zapis rejestru 4027 (funkcja 16), strony tekstowe")},
        {WholeWriteJob::ConfirmedText(6), QStringLiteral("6 z 123 zapytań: ") + blocks},
        {WholeWriteJob::ConfirmedText(122),
         QStringLiteral("122 z 123 zapytań: ") + blocks +
             QStringLiteral(", zapis rejestru 4027 (funkcja 16), strony tekstowe")},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(text, expected);
}

TEST_F(Chain, AWholeWriteThatFailsInThePagesSaysWhatArrived) {
    board.SetFaultAfter(10);
    board.SetFault(BoardModel::Fault::NoReply, 1);
    ASSERT_TRUE(ops.StartConfigWrite());
    test::TickUntilIdle(scheduler, port);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].details.contains(QStringLiteral(
        "Operacja: Zapis Konfiguracji\nZapytanie: zapis rejestrów 4162..4262 (funkcja 16)\n"
        "Potwierdzone przez tablicę: 10 z 123 zapytań: zapis rejestrów 4003..4012 (funkcja 16), zapis "
        "rejestrów 4014..4143 (funkcja 16), zapis rejestrów 4145..4161 (funkcja 16), zapis rejestru "
        "4027 (funkcja 16), strony tekstowe (3 z 115 zapytań)\n")))
        << dialogs.boxes[0].details.toStdString();
}

} // namespace
} // namespace kx9
