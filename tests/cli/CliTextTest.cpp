// SPDX-License-Identifier: MIT
// kx9ctl's command line, its words for registers, and its reports on configuration images.
#include "cli/CliOptions.h"
#include "cli/RegisterText.h"
#include "cli/Report.h"
#include "cli/Scan.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace kx9::cli {
namespace {

struct OptionsRow {
    QStringList args;
    QString error; // a part of the refusal; empty when accepted
};

class CommandLine : public ::testing::TestWithParam<OptionsRow> {};

TEST_P(CommandLine, IsTakenOrRefusedWithItsReason) {
    const OptionsRow& row = GetParam();
    const Parsed parsed = ParseOptions(QStringList{"kx9ctl"} + row.args);
    if (row.error.isEmpty())
        EXPECT_TRUE(parsed.options.has_value()) << parsed.error.toStdString();
    else
        EXPECT_TRUE(!parsed.options && parsed.error.contains(row.error)) << parsed.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CommandLine,
    ::testing::Values(OptionsRow{{"identify"}, {}}, OptionsRow{{}, "no command"},
                      OptionsRow{{"flash"}, "unknown command"}, OptionsRow{{"read"}, "wrong number"},
                      OptionsRow{{"page", "115", "x"}, "0..114"},
                      OptionsRow{{"page", "1", "a", "b", "c", "d", "e", "f"}, "wrong number"},
                      OptionsRow{{"page", "114", "--name", "x", "--", "-dash"}, {}},
                      OptionsRow{{"page", "3", "--verify", "--name", "x"}, "only in def.cfg"},
                      OptionsRow{{"verify", "a.cfg", "--verify"}, "does not go with verify"},
                      OptionsRow{{"--name", "x", "status"}, "--name does not go with status"},
                      OptionsRow{{"clock", "--sync", "--minute"}, "one of"},
                      OptionsRow{{"clock", "--set", "2031-05-06 07:08"}, {}},
                      OptionsRow{{"clock", "--set", "1999-05-06 07:08"}, "2000..2099"},
                      OptionsRow{{"clock", "--set", "2031-02-30 07:08"}, "2031-02-30: there is no such date"},
                      OptionsRow{{"graphic", "110", "p.png"}, "115..124"},
                      OptionsRow{{"graphic", "9", "p.png"}, {}},
                      OptionsRow{{"--address", "0", "identify"}, "1..247"},
                      OptionsRow{{"--baud", "28800", "identify"}, "--baud"},
                      OptionsRow{{"--frame", "8n1", "--timeout", "20000", "identify"}, {}},
                      OptionsRow{{"--timeout", "99", "identify"}, "100..20000"},
                      OptionsRow{{"scan", "--rates", "9600,76800"}, "--rates"},
                      OptionsRow{{"scan", "--frames", "8O1,8N2", "--all", "--save"}, {}}));

TEST(CommandLineValues, ReachTheOptions) {
    const Parsed parsed = ParseOptions({"kx9ctl", "--port", "/dev/ttyUSB0", "--baud", "9600", "--fast",
                                        "scan", "--rates", "9600,115200", "--frames", "8O1"});
    ASSERT_TRUE(parsed.options);
    const Options& o = *parsed.options;
    EXPECT_EQ(o.command, Command::Scan);
    EXPECT_EQ(o.link.portPath, "/dev/ttyUSB0");
    EXPECT_FALSE(o.link.portIndex);
    EXPECT_EQ(o.link.baudIndex, 2);
    EXPECT_TRUE(o.fast);
    EXPECT_EQ(o.rates, (std::vector<int>{2, 7}));
    EXPECT_EQ(o.frames, (std::vector<int>{3}));
    EXPECT_EQ(ParseOptions({"kx9ctl", "--port", "com3", "identify"}).options->link.portIndex, 2);
    EXPECT_TRUE(ParseOptions({"kx9ctl", "--help"}).print.contains("Exit codes"));
}

struct RegisterRow {
    int reg;
    int value;
    const char* meaning;
    const char* decoded;
};

class RegisterWords : public ::testing::TestWithParam<RegisterRow> {};

TEST_P(RegisterWords, NameAndDecodeTheValue) {
    const RegisterRow& row = GetParam();
    EXPECT_EQ(Meaning(row.reg), QString::fromUtf8(row.meaning));
    EXPECT_EQ(Decoded(row.reg, row.value), QString::fromUtf8(row.decoded));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RegisterWords,
    ::testing::Values(RegisterRow{4001, 3, "Format ramki tablicy", "8O1"},
                      RegisterRow{4002, 5, "Prędkość transmisji tablicy", "28800bps"},
                      RegisterRow{4002, 10, "Prędkość transmisji tablicy", "poza listą"},
                      RegisterRow{4003, 5, "Urządzenia Slave: Time Out", "500 ms"},
                      RegisterRow{4006, 905, "Zegar: godzina", "09:05"},
                      RegisterRow{4006, 2460, "Zegar: godzina", "nieprawidłowa godzina"},
                      RegisterRow{4008, 229, "Zegar: data", "02-29"},
                      RegisterRow{4008, 1332, "Zegar: data", "nieprawidłowa data"},
                      RegisterRow{4013, 414, "Rozmiar tablicy", "5 x 20 znaków"},
                      RegisterRow{4022, 21, "Przewijanie linii", "linie 1, 3, 5"},
                      RegisterRow{4023, 305, "Pozycja wyświetlania czasu", "wiersz 3, kolumna 5"},
                      RegisterRow{4025, 530, "Pozycja wyświetlania daty", "poza zakresem"},
                      RegisterRow{4030, 117, "Prezentacja: pozycja 2", "strona graficzna 117"},
                      RegisterRow{4149, 0, "Strona 112: data komunikatu", "komunikat wyłączony"},
                      RegisterRow{4161, 1230, "Strona 114: koniec wyświetlania", "12:30"},
                      RegisterRow{4164, 0x418A, "Okno strony: znaki 3 i 4", "\"Ać\""},
                      RegisterRow{4265, 0xA401, "Rejestr statusu",
                                  "Błąd pamięci SRAM; Błąd nastaw zegara RTC; Przerwa w zasilaniu tablicy"},
                      RegisterRow{4314, 6, "Urządzenie nr 2: Typ Rejestru", "float"},
                      RegisterRow{4344, 39, "Urządzenie nr 5: Liczba Znaków", ""},
                      RegisterRow{4345, 1, "", ""}));

// Known images: the defaults at a fixed moment, then a few changes.
void Defaults(ConfigImage& image) {
    image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
}

void SetLines(ConfigImage& image, int page, const std::vector<QByteArray>& lines) {
    image.SetPage(page, layout::LinesToPage(lines, image.Reg(RegBoardSize), image.Reg(RegLineLength)));
}

TEST(Reports, DiffListsEveryChangeWithItsMeaning) {
    ConfigImage a, b;
    Defaults(a);
    Defaults(b);
    b.link.BoardAddress = 7;
    b.SetReg(RegDayStart, 730);
    b.SetReg(4266, 3);
    SetLines(a, 5, {"Witamy"});
    SetLines(b, 5, {"Witamy", *cp1250::FromUnicode(QStringLiteral("Zażółć"))});
    b.SetPageName(5, "Promocja");
    // A blank and an empty place are the same text.
    a.pages[9][3] = ' ';

    const Report report = Diff(a, b);
    EXPECT_EQ(report.text.toStdString(), QStringLiteral("Połączenie, adres: 1 -> 7\n"
                                                        "4011  Początek dnia: 06:00 (600) -> 07:30 (730)\n"
                                                        "4266  nieużywany: 0 -> 3\n"
                                                        "Nazwa strony 005: \"005\" -> \"Promocja\"\n"
                                                        "Strona 005 \"Promocja\": tekst różni się\n"
                                                        "  - Witamy\n"
                                                        "  + Witamy\n"
                                                        "  + Zażółć\n"
                                                        "Różnic: 5\n")
                                             .toStdString());
    EXPECT_EQ(report.differences, 5);
    EXPECT_EQ(Diff(a, a).text, QStringLiteral("Bez różnic\n"));
}

TEST(Reports, VerifyComparesWhatTheWholeWriteSends) {
    ConfigImage file, board;
    Defaults(file);
    Defaults(board);
    SetLines(file, 7, {"Kasa"});
    board.pages[7] = file.pages[7];
    for (uint8_t& c : board.pages[7])
        c = c == 0 ? ' ' : c; // as it comes back from the board
    EXPECT_EQ(Verify(file, board).text, QStringLiteral("Tablica zgodna z plikiem\n"));

    // Never written by the whole write: the board's link, the geometry, the clock, the status.
    for (int reg : {RegBoardAddress, RegBoardSize, RegClockTime, 4144, RegPageSelector, RegStatus, 4270})
        board.SetReg(reg, 99);
    EXPECT_EQ(Verify(file, board).differences, 0);

    board.SetReg(RegSlaveBaud, 2);
    board.SetReg(SlaveBase + 10, 9);
    SetLines(board, 7, {"Kas"});
    EXPECT_EQ(Verify(file, board).text.toStdString(),
              QStringLiteral(
                  "4005  Urządzenia Slave: Prędkość Transmisji: plik 115200bps (9), tablica 9600bps (2)\n"
                  "4310  Urządzenie nr 2: Adres Urządzenia: plik 2, tablica 9\n"
                  "Strona 007 \"007\": tekst różni się\n"
                  "  plik:    | Kasa\n"
                  "  tablica: | Kas\n"
                  "Różnic: 3\n")
                  .toStdString());
    // A script names each register as the text does, value and meaning.
    const QJsonObject first = Verify(file, board).json.value("registers").toArray().at(0).toObject();
    EXPECT_EQ(first.value("fileText").toString(), QStringLiteral("115200bps (9)"));
    EXPECT_EQ(first.value("boardText").toString(), QStringLiteral("9600bps (2)"));
}

TEST(Reports, DumpShowsLinkRegistersAndPages) {
    ConfigImage image;
    Defaults(image);
    image.link.BaudIndex = 2;
    image.SetReg(RegTimePosition, 101);
    SetLines(image, 0, {"A", "", "C"});
    image.SetPageName(0, "Start");
    const QStringList lines = Dump(image, "x.cfg").text.split('\n');
    ASSERT_EQ(lines.size(), 2 + 1 + 345 + 1 + 115 + 3 + 1);
    EXPECT_EQ(lines[0], "Plik: x.cfg");
    EXPECT_EQ(lines[1], "Połączenie: COM1, 9600bps, 8N2, czas odpowiedzi 1000 ms, adres 1");
    EXPECT_EQ(lines[3], "4000      1  Adres tablicy");
    EXPECT_EQ(lines[3 + 6], "4006   1435  Zegar: godzina: 14:35");
    EXPECT_EQ(lines[3 + 23], "4023    101  Pozycja wyświetlania czasu: wiersz 1, kolumna 1");
    EXPECT_EQ(lines[3 + 300], "4300      0  Urządzenie nr 1: Pozycja Wyświetlania: nie wyświetlane");
    EXPECT_EQ(lines[348], "Strony:");
    EXPECT_EQ(lines.mid(349, 5),
              (QStringList{"Strona 000 \"Start\":", "  | A", "  | ", "  | C", "Strona 001 \"001\": pusta"}));
}

struct OrderRow {
    ScanPoint first;
    std::vector<int> rates;
    std::vector<int> frames;
    size_t size;
    std::vector<ScanPoint> head;
};

class ScanOrderRows : public ::testing::TestWithParam<OrderRow> {};

TEST_P(ScanOrderRows, StartsWithTheKnownSettingsAndTriesEachPointOnce) {
    const OrderRow& row = GetParam();
    const std::vector<ScanPoint> order = ScanOrder(row.first, row.rates, row.frames);
    EXPECT_EQ(order.size(), row.size);
    ASSERT_GE(order.size(), row.head.size());
    EXPECT_TRUE(std::equal(row.head.begin(), row.head.end(), order.begin()));
    for (const ScanPoint& p : order)
        EXPECT_TRUE(p.address >= 1 && p.address <= 247); // never a broadcast
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScanOrderRows,
    ::testing::Values(
        // def.cfg's settings, then the board's defaults, then the sweep without those two.
        OrderRow{{57, 2, 3}, {2, 7}, {1, 3}, 4 * 247, {{57, 2, 3}, {1, 7, 1}, {1, 2, 1}, {2, 2, 1}}},
        // The defaults themselves are not tried twice.
        OrderRow{{1, 7, 1}, {7}, {1}, 247, {{1, 7, 1}, {2, 7, 1}}},
        // Settings outside the lists, and an address no board has, are left out.
        OrderRow{{0, 2, 1}, {2}, {3}, 247, {{1, 2, 3}, {2, 2, 3}}}));

TEST(ScanOrderTest, AsksTheUsualAddressesAtEveryRateAndFrameBeforeTheRest) {
    const std::vector<ScanPoint> order = ScanOrder(BoardDefaults, {7, 2}, {1, 3});
    ASSERT_EQ(order.size(), 4u * 247);
    const size_t usual = 4 * 17; // 1..16 and 247 at each of the four
    for (size_t k = 0; k < order.size(); ++k) {
        const bool isUsual = order[k].address <= 16 || order[k].address == 247;
        EXPECT_EQ(isUsual, k < usual) << k << ": " << order[k].address;
    }
    EXPECT_EQ(order[usual - 1], (ScanPoint{247, 2, 3}));
    EXPECT_EQ(order[usual], (ScanPoint{17, 7, 1}));
}

TEST(ScanTime, EachProbeWaitsForAReplyAtItsRateOnly) {
    // 16 characters of 11 bits plus 3.5 of silence at 115200 bit/s, and the turnaround a
    // real board may take (150 ms unless --probe-ms says otherwise).
    EXPECT_NEAR(ProbeWindowMs(7, 1), 19.5 * 11 * 1000 / 115200 + 150, 1e-9);
    EXPECT_NEAR(ProbeWindowMs(0, 0), 19.5 * 10 * 1000 / 2400 + 150, 1e-9);
    EXPECT_NEAR(ProbeWindowMs(7, 1, 20), 19.5 * 11 * 1000 / 115200 + 20, 1e-9);
    // Each probe also takes up to 2 ms to send and look at the line; each rate and frame opens
    // twice, for the usual addresses and for the rest.
    EXPECT_NEAR(SweepWorstCaseMs({7}, {1}), 400 + 247 * (ProbeWindowMs(7, 1) + 2), 1e-6);
    // As the README gives them: one rate with its four frames, and all eight rates.
    EXPECT_NEAR(SweepWorstCaseMs({7}, {0, 1, 2, 3}) / 1000, 153.57, 0.01);
    EXPECT_NEAR(SweepWorstCaseMs({0}, {0, 1, 2, 3}) / 1000, 238.07, 0.01);
    EXPECT_NEAR(SweepWorstCaseMs({0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3}) / 1000, 1401.18, 0.01);
}

} // namespace
} // namespace kx9::cli
