// SPDX-License-Identifier: MIT
// The two link windows as the operator uses them: "Port Szeregowy" and "Zmiana połączenia".
#include "common/TestSeams.h"
#include "config/ConfigImage.h"
#include "editors/Konfig_uart.h"
#include "editors/Zmianapolaczenia.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace kx9::test {
namespace {

const QString TimeoutText = QStringLiteral(
    "Nieprawidłowa wartość Time Out. Wpisz wartość z przedziału od 100 do 20000 i spróbuj ponownie.");
const QString AddressText =
    QStringLiteral("Nieprawidłowy adres KX9. Wprowadź wartość od 1 do 247 i spróbuj ponownie");
const QString NewAddressText = QStringLiteral(
    "Podano błędną wartość adresu. Podaj wartość z przedziału od 1 do 247 i spróbuj ponownie.");

QStringList ItemTexts(const QComboBox* box) {
    QStringList out;
    for (int k = 0; k < box->count(); ++k)
        out << box->itemText(k);
    return out;
}

QStringList LabelTexts(const QWidget& window) {
    QStringList out;
    for (const QLabel* l : window.findChildren<QLabel*>())
        out << l->text();
    return out;
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->del();
    QTest::keyClicks(edit, text);
}

struct KonUart : ::testing::Test {
    LinkSettings settings;
    RecordingDialogs dialogs;
    TfKonUart window{settings, dialogs};

    void TearDown() override { window.hide(); }
};

TEST_F(KonUart, ShowsItsItemsAndTheSettingsInForce) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Port Szeregowy"));
    settings.PortIndex = 2;
    settings.FrameIndex = 3;
    settings.BaudIndex = 4;
    settings.ReplyTimeoutMs = 1500;
    settings.BoardAddress = 17;
    window.show();

    EXPECT_EQ(ItemTexts(window.ComboBox1), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"}));
    EXPECT_EQ(ItemTexts(window.ComboBox3), (QStringList{"2400bps", "4800bps", "9600bps", "14400bps",
                                                        "19200bps", "38400bps", "57600bps", "115200bps"}));
    EXPECT_EQ(window.ComboBox2->count(), 4);
    EXPECT_EQ(window.ComboBox1->currentText(), QStringLiteral("COM3"));
    EXPECT_EQ(window.ComboBox2->currentText(), QStringLiteral("8O1"));
    EXPECT_EQ(window.ComboBox3->currentText(), QStringLiteral("19200bps"));
    EXPECT_EQ(window.Edit2->text(), QStringLiteral("1500"));
    EXPECT_EQ(window.Edit1->text(), QStringLiteral("17"));

    const QStringList labels = LabelTexts(window);
    for (const char* text :
         {"Port Szeregowy", "Typ Ramki", "Prędkość transmisji", "TimeOut [ms]", "Adres tablicy KX9"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(window.findChild<QWidget*>("ComboBox1")->toolTip(),
              QStringLiteral("Numer portu szeregowego do którego przyłączona jest tablica KX9"));
    EXPECT_EQ(window.findChild<QWidget*>("ComboBox2")->toolTip(),
              QStringLiteral("Typ ramki transmisji PC<=>KX9"));
    EXPECT_EQ(window.findChild<QWidget*>("ComboBox3")->toolTip(),
              QStringLiteral("Prędkość transmisji PC<=>KX9"));
    EXPECT_EQ(window.findChild<QWidget*>("Edit1")->toolTip(), QStringLiteral("Adres tablicy KX9 (1...247)"));
    EXPECT_EQ(window.findChild<QPushButton*>("Button1")->text(), QStringLiteral("OK"));
    EXPECT_EQ(window.findChild<QPushButton*>("Button1")->toolTip(), QStringLiteral("Akceptuje nastawy"));
    EXPECT_EQ(window.findChild<QPushButton*>("Button2")->text(), QStringLiteral("Anuluj"));
    EXPECT_EQ(window.findChild<QPushButton*>("Button2")->toolTip(), QStringLiteral("Zamyka okno"));
}

// Typed time-out and address: all applied and the window closed, or, at any refusal, its
// messages, nothing applied, and the window open with the typing.
class KonUartEntries
    : public KonUart,
      public ::testing::WithParamInterface<std::tuple<const char*, const char*, std::vector<QString>>> {};

TEST_P(KonUartEntries, AppliesAllOrNothing) {
    const auto& [timeout, address, titles] = GetParam();
    window.show();
    window.ComboBox1->setCurrentIndex(3);
    window.ComboBox2->setCurrentIndex(0);
    window.ComboBox3->setCurrentIndex(6); // 57600
    Retype(window.Edit2, QString::fromUtf8(timeout));
    Retype(window.Edit1, QString::fromUtf8(address));
    QTest::mouseClick(window.Button1, Qt::LeftButton);

    const bool applied = titles.empty();
    EXPECT_EQ(window.isVisible(), !applied);
    EXPECT_EQ(settings.PortIndex, applied ? 3 : 0);
    EXPECT_EQ(settings.FrameIndex, applied ? 0 : 1);
    EXPECT_EQ(settings.BaudIndex, applied ? 6 : 7);
    EXPECT_EQ(settings.ReplyTimeoutMs, applied ? QString::fromUtf8(timeout).toInt() : 1000);
    EXPECT_EQ(settings.BoardAddress, applied ? QString::fromUtf8(address).toInt() : 1);
    EXPECT_EQ(dialogs.Titles(), titles);
    for (const auto& box : dialogs.boxes) {
        EXPECT_EQ(box.icon, MsgIcon::Error);
        EXPECT_EQ(box.text, box.title == QStringLiteral("Błąd Time Out") ? TimeoutText : AddressText);
    }
    // The typing survives the boxes for the operator to mend.
    EXPECT_EQ(window.Edit1->text(), QString::fromUtf8(address));
    EXPECT_EQ(window.ComboBox3->currentIndex(), 6);
}

const QString T = QStringLiteral("Błąd Time Out");
const QString A = QStringLiteral("Błąd Adresu");

INSTANTIATE_TEST_SUITE_P(LinkWindows, KonUartEntries,
                         ::testing::Values(std::make_tuple("100", "1", std::vector<QString>{}),
                                           std::make_tuple("20000", "247", std::vector<QString>{}),
                                           std::make_tuple("99", "5", std::vector<QString>{T}),
                                           std::make_tuple("20001", "5", std::vector<QString>{T}),
                                           std::make_tuple("abc", "5", std::vector<QString>{T}),
                                           std::make_tuple("", "5", std::vector<QString>{T}),
                                           std::make_tuple("500", "0", std::vector<QString>{A}),
                                           std::make_tuple("500", "248", std::vector<QString>{A}),
                                           std::make_tuple("500", "abc", std::vector<QString>{A}),
                                           std::make_tuple("99", "248", std::vector<QString>{T, A})));

TEST_F(KonUart, CancelAndEscapeStoreNothing) {
    for (const bool escape : {false, true}) {
        window.show();
        window.ComboBox1->setCurrentIndex(5);
        window.ComboBox3->setCurrentIndex(0);
        Retype(window.Edit2, QStringLiteral("300"));
        Retype(window.Edit1, QStringLiteral("9"));
        if (escape)
            QTest::keyClick(&window, Qt::Key_Escape);
        else
            QTest::mouseClick(window.Button2, Qt::LeftButton);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(settings.PortIndex, 0);
        EXPECT_EQ(settings.BaudIndex, 7);
        EXPECT_EQ(settings.ReplyTimeoutMs, 1000);
        EXPECT_EQ(settings.BoardAddress, 1);

        // Opened again, it shows what is in force, not what was typed.
        window.show();
        EXPECT_EQ(window.ComboBox1->currentIndex(), 0);
        EXPECT_EQ(window.ComboBox3->currentIndex(), 7);
        EXPECT_EQ(window.Edit2->text(), QStringLiteral("1000"));
        EXPECT_EQ(window.Edit1->text(), QStringLiteral("1"));
        window.hide();
    }
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(KonUart, ShowingFillsTheFieldsAndAnActivationKeepsTheTyping) {
    settings.BoardAddress = 42;
    window.show();
    EXPECT_EQ(window.Edit1->text(), QStringLiteral("42"));
    Retype(window.Edit1, QStringLiteral("7"));
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(&window, &activate);
    EXPECT_EQ(window.Edit1->text(), QStringLiteral("7"));
}

TEST_F(KonUart, ASettingTheListsDoNotOfferIsKeptUnlessAnotherIsPicked) {
    settings.PortIndex = 7; // COM8, from a file
    settings.FrameIndex = 9;
    settings.BaudIndex = 200;
    window.show();
    EXPECT_EQ(window.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(window.ComboBox2->currentIndex(), -1);
    EXPECT_EQ(window.ComboBox3->currentIndex(), -1);
    QTest::mouseClick(window.Button1, Qt::LeftButton);
    EXPECT_EQ(settings.PortIndex, 7);
    EXPECT_EQ(settings.FrameIndex, 9);
    EXPECT_EQ(settings.BaudIndex, 200);

    window.show();
    window.ComboBox1->setCurrentIndex(1);
    QTest::mouseClick(window.Button1, Qt::LeftButton);
    EXPECT_EQ(settings.PortIndex, 1);
    EXPECT_EQ(settings.FrameIndex, 9);
    EXPECT_TRUE(dialogs.boxes.empty());
}

struct Zmiana : ::testing::Test {
    ConfigImage image;
    RecordingDialogs dialogs;
    int started = 0;
    TfZmianaPolaczenia window{image, dialogs, [this] { ++started; }};

    Zmiana() { image.ResetImage(QDateTime(QDate(2026, 1, 1), QTime(12, 0))); }
    void TearDown() override { window.hide(); }
};

// Register 4002 and what the rate list shows for it.
class ZmianaShows : public Zmiana, public ::testing::WithParamInterface<std::tuple<int, const char*>> {};

TEST_P(ZmianaShows, TheRateOfTheBoardCode) {
    image.SetReg(RegBoardAddress, 33);
    image.SetReg(RegBoardFrame, 2);
    image.SetReg(RegBoardBaud, std::get<0>(GetParam()));
    window.show();
    EXPECT_EQ(window.Edit1->text(), QStringLiteral("33"));
    EXPECT_EQ(window.ComboBox1->currentText(), QStringLiteral("8E1"));
    EXPECT_EQ(window.ComboBox2->currentText(), QString::fromUtf8(std::get<1>(GetParam())));
}

INSTANTIATE_TEST_SUITE_P(LinkWindows, ZmianaShows,
                         ::testing::Values(std::make_tuple(5, "19200bps"), std::make_tuple(8, "57600bps"),
                                           std::make_tuple(9, "115200bps"), std::make_tuple(6, "38400bps"),
                                           std::make_tuple(0, "2400bps"), std::make_tuple(10, "")));

// The rate picked and the code stored in 4002.
class ZmianaApply : public Zmiana, public ::testing::WithParamInterface<std::tuple<const char*, int>> {};

TEST_P(ZmianaApply, StoresTheBoardCodeAndStartsTheChange) {
    window.show();
    Retype(window.Edit1, QStringLiteral("200"));
    window.ComboBox1->setCurrentIndex(3);
    window.ComboBox2->setCurrentText(QString::fromUtf8(std::get<0>(GetParam())));
    QTest::mouseClick(window.BitBtn2, Qt::LeftButton);

    EXPECT_EQ(image.Reg(RegBoardAddress), 200);
    EXPECT_EQ(image.Reg(RegBoardFrame), 3);
    EXPECT_EQ(image.Reg(RegBoardBaud), std::get<1>(GetParam()));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(dialogs.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(LinkWindows, ZmianaApply,
                         ::testing::Values(std::make_tuple("115200bps", 9), std::make_tuple("38400bps", 6),
                                           std::make_tuple("19200bps", 4), std::make_tuple("57600bps", 7),
                                           std::make_tuple("2400bps", 0)));

class ZmianaBadAddress : public Zmiana, public ::testing::WithParamInterface<const char*> {};

TEST_P(ZmianaBadAddress, KeepsTheWindowOpenButStoresTheLists) {
    window.show();
    Retype(window.Edit1, QString::fromUtf8(GetParam()));
    window.ComboBox1->setCurrentIndex(0);
    window.ComboBox2->setCurrentIndex(5);
    QTest::mouseClick(window.BitBtn2, Qt::LeftButton);

    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, NewAddressText);
    EXPECT_EQ(dialogs.boxes[0].title, QStringLiteral("Nieprawidłowy adres"));
    EXPECT_EQ(dialogs.boxes[0].icon, MsgIcon::Error);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(started, 0);
    EXPECT_EQ(image.Reg(RegBoardAddress), 1);
    EXPECT_EQ(image.Reg(RegBoardFrame), 0);
    EXPECT_EQ(image.Reg(RegBoardBaud), 6);
}

INSTANTIATE_TEST_SUITE_P(LinkWindows, ZmianaBadAddress, ::testing::Values("0", "248", "abc", "", "-5"));

TEST_F(Zmiana, ValuesTheListsDoNotOfferAreKept) {
    image.SetReg(RegBoardFrame, 7);
    image.SetReg(RegBoardBaud, 12);
    window.show();
    EXPECT_EQ(window.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(window.ComboBox2->currentIndex(), -1);
    QTest::mouseClick(window.BitBtn2, Qt::LeftButton);
    EXPECT_EQ(image.Reg(RegBoardFrame), 7);
    EXPECT_EQ(image.Reg(RegBoardBaud), 12);
    EXPECT_EQ(started, 1);
}

TEST_F(Zmiana, CancelHidesAndKeepsTheRegisters) {
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Zmiana połączenia"));
    EXPECT_EQ(window.BitBtn1->text(), QStringLiteral("Anuluj"));
    EXPECT_EQ(window.BitBtn1->toolTip(), QStringLiteral("Zamyka to okno z pominięciem nowych nastaw"));
    EXPECT_EQ(window.BitBtn2->text(), QStringLiteral("Zastosuj"));
    EXPECT_EQ(window.BitBtn2->toolTip(), QStringLiteral("Zapisuje nowe parametry transmisji do KX9"));
    EXPECT_EQ(window.Edit1->toolTip(), QStringLiteral("Nowy adres KX9"));
    EXPECT_EQ(window.ComboBox1->toolTip(), QStringLiteral("Nowy typ ramki transmisyjnej PC<=>KX9"));
    EXPECT_EQ(window.ComboBox2->toolTip(), QStringLiteral("Nowa prędkosć transmisji PC<=>KX9"));
    const QStringList labels = LabelTexts(window);
    EXPECT_EQ(labels, (QStringList{"Adres KX9", "Typ Ramki", "Prędkość Transmisji"}));

    window.show();
    Retype(window.Edit1, QStringLiteral("99"));
    window.ComboBox2->setCurrentIndex(0);
    QTest::mouseClick(window.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(image.Reg(RegBoardAddress), 1);
    EXPECT_EQ(image.Reg(RegBoardBaud), 9);
    EXPECT_EQ(started, 0);
}

} // namespace
} // namespace kx9::test
