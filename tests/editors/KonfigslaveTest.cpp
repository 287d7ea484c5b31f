// SPDX-License-Identifier: MIT
#include "editors/Konfigslave.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"

#include <gtest/gtest.h>

namespace kx9 {
namespace {

using slave::RecordRegister;

const QString Busy =
    QStringLiteral("Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie.");
const QString Position =
    QStringLiteral("Niewłaściwa pozycja wyświetlania. Wpisz wartość z przedziału od 101 do "
                   "529lub 0, aby wyłączyć wyświetlanie i spróbuj ponownie");
const QString Address =
    QStringLiteral("Niewłaściwy adres. Wpisz wartość z przedziału od 1 do 247 i spróbuj ponownie");
const QString Base =
    QStringLiteral("Niewłaściwy adres bazowy. Wpisz wartość z przedzialu od 0 do 65535 i spróbuj ponownie");
const QString Count =
    QStringLiteral("Niewłaściwa liczba rejestrow. Wpisz wartość z przedziału od 1 do 10 i spróbuj ponownie");
const QString Shown = QStringLiteral(
    "Niewłaściwy numer rejestru. Wpisz wartość z przedziału od 1 do Liczba Rejestów i spróbuj ponownie");
const QString Chars =
    QStringLiteral("Niewłaściwa liczba znaków. Wpisz wartość z przedziału od 3 do 39 i spróbuj ponownie");
const QString Timeout = QStringLiteral(
    "Niewłaściwa wartość TimeOut. Wpisz wartość z przedziału od 100 do 500 i spróbuj ponownie");

struct SlaveWorld : test::BoardWorld {
    TfKonfigSlave window{transfers};

    SlaveWorld() { image.ResetImage(clock.now()); }
    void select(int node) { window.TreeView1->setCurrentItem(window.Node(node)); }
    QLineEdit* edit(const char* name) { return window.findChild<QLineEdit*>(QString::fromLatin1(name)); }
    void run() {
        RunUntilIdle([this] { window.Timer1Timer(); }, [this] { return window.Timer1->isActive(); });
    }
    std::vector<std::string> requests() { return test::RequestSummary(board.Requests()); }
};

// Device fields typed and stored by a node change: what the image keeps, what is said, and what
// the device shows when it comes back. Edit6 is checked against the count held after Edit4.
struct FieldRow {
    const char* field;
    const char* text;
    int word;
    int before;
    int after;
    std::vector<QString> messages;
    const char* state = "Urządzenie wyłączone";
    const char* count = nullptr; // typed into Edit4 first, with 2 held before
};
class SlaveField : public ::testing::TestWithParam<FieldRow> {};

TEST_P(SlaveField, IsCheckedWhenTheDeviceIsLeft) {
    const FieldRow& row = GetParam();
    SlaveWorld w;
    w.image.SetReg(RecordRegister(2, slave::RegisterCount), 2);
    w.image.SetReg(RecordRegister(2, row.word), row.before);
    w.select(2);
    if (row.count)
        w.edit("Edit4")->setText(QString::fromLatin1(row.count));
    w.edit(row.field)->setText(QString::fromLatin1(row.text));
    w.select(3);
    EXPECT_EQ(w.image.Reg(RecordRegister(2, row.word)), row.after);
    EXPECT_EQ(w.dialogs.Texts(), row.messages);
    EXPECT_EQ(w.dialogs.Titles(), std::vector<QString>(row.messages.size(), "Błędna wartość"));
    w.select(2);
    EXPECT_EQ(w.window.StatusPanel0->text(), QString::fromUtf8(row.state));
}

const char* const On = "Urządzenie włączone";
const char* const Off = "Urządzenie wyłączone";
using W = slave::Word;

INSTANTIATE_TEST_SUITE_P(
    Rows, SlaveField,
    ::testing::Values(FieldRow{"Edit5", "100", W::Position, 205, 205, {Position}, On},
                      FieldRow{"Edit5", "530", W::Position, 205, 205, {Position}, On},
                      FieldRow{"Edit5", "0", W::Position, 205, 0, {}},
                      FieldRow{"Edit5", "101", W::Position, 0, 101, {}, On},
                      FieldRow{"Edit5", "529", W::Position, 0, 529, {}, On},
                      FieldRow{"Edit5", "-101", W::Position, 0, 0, {Position}},
                      FieldRow{"Edit2", "abc", W::Address, 7, 7, {Address}},
                      FieldRow{"Edit3", "65536", W::BaseRegister, 9, 9, {Base}},
                      FieldRow{"Edit8", "2", W::MaxChars, 20, 20, {Chars}},
                      FieldRow{"Edit8", "40", W::MaxChars, 20, 20, {Chars}},
                      FieldRow{"Edit8", "3", W::MaxChars, 20, 3, {}},
                      FieldRow{"Edit8", "39", W::MaxChars, 20, 39, {}},
                      FieldRow{"Edit6", "5", W::ShownRegister, 2, 5, {}, Off, "5"},
                      FieldRow{"Edit6", "6", W::ShownRegister, 2, 1, {Shown}, Off, "5"},
                      FieldRow{"Edit6", "2", W::ShownRegister, 1, 2, {Count}, Off, "11"},
                      FieldRow{"Edit6", "3", W::ShownRegister, 2, 1, {Count, Shown}, Off, "11"},
                      FieldRow{"Edit6", "x", W::ShownRegister, 2, 2, {Shown}, Off, "5"}));

struct TimeoutRow {
    const char* text;
    int stored;
    bool refused;
    const char* shownBack;
};
class SlaveTimeout : public ::testing::TestWithParam<TimeoutRow> {};

TEST_P(SlaveTimeout, IsKeptInHundredsAndShownBack) {
    const TimeoutRow& row = GetParam();
    SlaveWorld w;
    w.select(TfKonfigSlave::LinkNode);
    w.window.Edit1->setText(QString::fromLatin1(row.text));
    w.select(TfKonfigSlave::NoNode);
    EXPECT_EQ(w.image.Reg(RegSlaveTimeout), row.stored);
    EXPECT_EQ(w.dialogs.Texts(), row.refused ? std::vector<QString>{Timeout} : std::vector<QString>{});
    w.window.FormActivate();
    EXPECT_EQ(w.window.Edit1->text(), QString::fromLatin1(row.shownBack));
}

INSTANTIATE_TEST_SUITE_P(Rows, SlaveTimeout,
                         ::testing::Values(TimeoutRow{"99", 5, true, "500"},
                                           TimeoutRow{"100", 1, false, "100"},
                                           TimeoutRow{"250", 2, false, "200"},
                                           TimeoutRow{"5099", 50, false, "5000"},
                                           TimeoutRow{"5100", 5, true, "500"}));

TEST(TfKonfigSlave, TheGroupNodeStoresWhatWasShownAndShutsTheDevicePage) {
    SlaveWorld w;
    // Nothing chosen yet: the device page is shut and empty.
    EXPECT_EQ(w.window.Notebook1->currentWidget(), w.window.KonSlave);
    EXPECT_FALSE(w.window.Edit2->isEnabled());
    EXPECT_TRUE(w.window.Edit2->text().isEmpty());
    EXPECT_EQ(w.window.ComboBox3->currentIndex(), -1);

    w.select(4);
    EXPECT_TRUE(w.window.Edit8->isEnabled());
    EXPECT_EQ(w.window.Edit2->text(), "5");
    w.window.Edit2->setText("77");
    w.select(TfKonfigSlave::NoNode);
    EXPECT_EQ(w.image.Reg(RecordRegister(4, slave::Address)), 77);
    EXPECT_FALSE(w.window.Edit2->isEnabled());

    w.select(TfKonfigSlave::LinkNode);
    w.window.ComboBox2->setCurrentIndex(5);
    w.select(1);
    EXPECT_EQ(w.image.Reg(RegSlaveBaud), 5);
    EXPECT_EQ(w.window.Notebook1->currentWidget(), w.window.KonSlave);
    EXPECT_TRUE(w.window.Edit2->isEnabled());
}

TEST(TfKonfigSlave, ActivationReloadsOnlyWhatChangedUnderTheWindow) {
    SlaveWorld w;
    w.select(1);
    w.window.Edit7->setText("9");
    w.window.FormActivate();
    EXPECT_EQ(w.window.Edit7->text(), "9");
    w.image.SetReg(RecordRegister(2, slave::PollPeriod), 44); // another device
    w.window.FormActivate();
    EXPECT_EQ(w.window.Edit7->text(), "9");
    w.image.SetReg(RecordRegister(1, slave::PollPeriod), 30);
    w.window.FormActivate();
    EXPECT_EQ(w.window.Edit7->text(), "30");

    // Closing the window stores what it shows.
    w.window.show();
    w.window.Edit7->setText("8");
    w.window.hide();
    EXPECT_EQ(w.image.Reg(RecordRegister(1, slave::PollPeriod)), 8);
}

TEST(TfKonfigSlave, AListValueOutsideItsItemsIsKeptAndNeverSentAs65535) {
    SlaveWorld w;
    w.board.SetHolding(RegSlaveFrame, 7);
    w.board.SetHolding(RecordRegister(0, slave::Decimals), 9);
    w.select(0);
    w.window.BitBtn2Click();
    w.run();
    EXPECT_EQ(w.window.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(w.window.ComboBox4->currentIndex(), -1);

    w.select(TfKonfigSlave::LinkNode);
    w.window.BitBtn1Click();
    w.run();
    EXPECT_EQ(w.board.Holding(RegSlaveFrame), 7);
    EXPECT_EQ(w.board.Holding(RecordRegister(0, slave::Decimals)), 9);
    EXPECT_TRUE(w.dialogs.boxes.empty());
}

TEST(TfKonfigSlave, AChainStoppedByATimeOutNeverResumes) {
    SlaveWorld w;
    w.board.SetFault(BoardModel::Fault::NoReply);
    w.window.BitBtn1Click();
    EXPECT_EQ(w.window.WriteStep(), 1);
    w.run();
    EXPECT_EQ(w.dialogs.Texts(), std::vector<QString>{"Błąd transmisji danych"});
    EXPECT_EQ(w.window.WriteStep(), 0);
    EXPECT_FALSE(w.window.Timer1->isActive());
    EXPECT_FALSE(w.progress.shown);

    // A later transfer clears the error; the window sends nothing more of its own.
    w.board.SetFault(BoardModel::Fault::None);
    ASSERT_TRUE(w.transfers.Single(Transfers::Kind::Read, RegDayBrightness, 1));
    w.run();
    EXPECT_EQ(w.requests(), (std::vector<std::string>{"w4003x3", "r4009x1"}));
}

TEST(TfKonfigSlave, ATransferStartedWhileOneRunsIsRefused) {
    SlaveWorld w;
    w.window.BitBtn1Click();
    w.window.BitBtn2Click();
    w.run();
    EXPECT_EQ(w.dialogs.Texts(), std::vector<QString>{Busy});
    EXPECT_EQ(w.requests(), (std::vector<std::string>{"w4003x3", "w4300x45"}));
    EXPECT_EQ(w.progress.values, (std::vector<int>{0, 50, 100}));
    EXPECT_EQ(w.clock.pauses.back(), 300);
    EXPECT_FALSE(w.image.link.PortOpen);
}

} // namespace
} // namespace kx9
