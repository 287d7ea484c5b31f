// SPDX-License-Identifier: MIT
// The kx9ctl program against kx9-sim on a pseudo-terminal; the board is looked at through a
// port of the test's own.
#include "cli/Report.h"
#include "common/RawLine.h"
#include "common/SchedulerTicks.h"
#include "config/ConfigFile.h"
#include "config/PageLayout.h"
#include "integration/SimProcess.h"
#include "link/ModbusFrame.h"
#include "link/QtSerialPort.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <map>
#include <memory>

#ifndef KX9CTL_PATH
#error "KX9CTL_PATH must name the kx9ctl program"
#endif

namespace kx9::test {
namespace {

using Registers = std::map<int, int>;

struct Finished {
    int code = -1;
    QString out;
    QString err;
};

class Kx9ctlOnTheLine : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureCoreApplication(); }

    void StartSim(const QStringList& args) {
        sim = std::make_unique<SimProcess>(args);
        ASSERT_TRUE(sim->Start()) << sim->Log().constData();
        board = std::make_unique<RawLine>(sim->LinkPath(), 1);
    }

    Finished Kx9ctl(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(sim ? sim->Dir() : m_dir.path());
        p.start(QStringLiteral(KX9CTL_PATH), args);
        Finished f;
        if (!p.waitForFinished(120000))
            return f;
        f.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        f.out = QString::fromUtf8(p.readAllStandardOutput());
        f.err = QString::fromUtf8(p.readAllStandardError());
        return f;
    }

    QString Here(const QString& name) const { return QDir(sim ? sim->Dir() : m_dir.path()).filePath(name); }

    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<RawLine> board;

private:
    QTemporaryDir m_dir;
};

std::vector<int32_t> PageWindow(int page, const QByteArray& text) {
    std::vector<int32_t> words{page};
    const auto at = [&](int i) { return i < text.size() ? uint8_t(text[i]) : uint8_t(0); };
    for (int i = 0; i < 100; ++i)
        words.push_back((at(2 * i) << 8) | at(2 * i + 1));
    return words;
}

void Known(ConfigImage& image) {
    image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
}

void SetLines(ConfigImage& image, int page, const std::vector<QByteArray>& lines) {
    image.SetPage(page, layout::LinesToPage(lines, image.Reg(RegBoardSize), image.Reg(RegLineLength)));
}

bool IsClock(int reg) {
    return reg >= RegClockTime && reg <= RegClockDate;
}

TEST_F(Kx9ctlOnTheLine, ReadSavesTheBoardAsItIs) {
    StartSim({});
    ASSERT_TRUE(board->Write(RegDayBrightness, {77}));
    ASSERT_TRUE(board->Write(SlaveBase + 5, {2}));
    ASSERT_TRUE(board->Write(RegPageSelector, PageWindow(3, "Hello")));
    const Registers before = board->Snapshot();

    const Finished run = Kx9ctl({"read", "board.cfg"});
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    ConfigImage file;
    ASSERT_TRUE(ReadConfigFile(Here("board.cfg"), file));
    for (int reg = MainBase; reg < SlaveBase + SlaveCount; ++reg) {
        const bool read = (reg < RegPageSelector || reg >= RegDoubleHeight) && reg <= RegStatus;
        if ((read || reg >= SlaveBase) && !IsClock(reg)) {
            EXPECT_EQ(file.Reg(reg), before.at(reg)) << reg;
        }
    }
    EXPECT_EQ(cli::PageLines(file, 3), QStringList{"Hello"});
}

TEST_F(Kx9ctlOnTheLine, WriteLeavesTheFileOnTheBoardAndVerifyTellsEachDifference) {
    StartSim({});
    ConfigImage image;
    Known(image);
    image.SetReg(RegNightStart, 2330);
    image.SetReg(SlaveBase + 9, 201);
    SetLines(image, 7, {"Kasa"});
    image.SetPageName(7, "Kasa");
    ASSERT_TRUE(WriteConfigFile(Here("new.cfg"), image));

    const Finished write = Kx9ctl({"--fast", "write", "new.cfg"});
    ASSERT_EQ(write.code, 0) << write.err.toStdString();
    const Registers after = board->Snapshot();
    for (int reg = MainBase; reg < SlaveBase + SlaveCount; ++reg) {
        if (cli::WrittenByWholeWrite(reg)) {
            EXPECT_EQ(after.at(reg), image.Reg(reg)) << reg;
        }
    }
    const Finished same = Kx9ctl({"--fast", "verify", "new.cfg"});
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, "Tablica zgodna z plikiem\n");

    ASSERT_TRUE(board->Write(RegDayStart, {730}));
    ASSERT_TRUE(board->Write(RegPageSelector, PageWindow(7, "Kasy")));
    const Finished differs = Kx9ctl({"verify", "new.cfg"});
    EXPECT_EQ(differs.code, 1);
    EXPECT_EQ(differs.out.toStdString(), "4011  Początek dnia: plik 06:00 (600), tablica 07:30 (730)\n"
                                         "Strona 007 \"Kasa\": tekst różni się\n"
                                         "  plik:    | Kasa\n"
                                         "  tablica: | Kasy\n"
                                         "Różnic: 2\n");
}

TEST_F(Kx9ctlOnTheLine, DumpAndDiffShowKnownFilesAsText) {
    ConfigImage a, b;
    Known(a);
    Known(b);
    a.link.BaudIndex = 2;
    SetLines(a, 0, {"Start"});
    b.link.BaudIndex = 2;
    b.SetReg(RegDayBrightness, 80);
    b.SetPageName(0, "Powitanie");
    SetLines(b, 0, {"Stop"});
    ASSERT_TRUE(WriteConfigFile(Here("a.cfg"), a));
    ASSERT_TRUE(WriteConfigFile(Here("b.cfg"), b));

    const Finished dump = Kx9ctl({"dump", "a.cfg"});
    EXPECT_EQ(dump.code, 0);
    const QStringList lines = dump.out.split('\n');
    EXPECT_EQ(lines.mid(0, 4),
              (QStringList{"Plik: a.cfg", "Połączenie: COM1, 9600bps, 8N2, czas odpowiedzi 1000 ms, adres 1",
                           "Rejestry:", "4000      1  Adres tablicy"}));
    EXPECT_TRUE(lines.contains("4009    100  Jasność dla dnia"));
    EXPECT_TRUE(lines.contains("4014     14  Ilość znaków w wierszu: 20 znaków"));
    const qsizetype pages = lines.indexOf("Strony:");
    ASSERT_GT(pages, 0);
    EXPECT_EQ(lines.mid(pages + 1, 3),
              (QStringList{"Strona 000 \"000\":", "  | Start", "Strona 001 \"001\": pusta"}));

    const Finished diff = Kx9ctl({"diff", "a.cfg", "b.cfg"});
    EXPECT_EQ(diff.code, 1);
    EXPECT_EQ(diff.out.toStdString(), "4009  Jasność dla dnia: 100 -> 80\n"
                                      "Nazwa strony 000: \"000\" -> \"Powitanie\"\n"
                                      "Strona 000 \"Powitanie\": tekst różni się\n"
                                      "  - Start\n"
                                      "  + Stop\n"
                                      "Różnic: 3\n");
    const Finished json = Kx9ctl({"--json", "diff", "a.cfg", "a.cfg"});
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(QJsonDocument::fromJson(json.out.toUtf8()).object().value("differences").toInt(-1), 0);
    EXPECT_EQ(Kx9ctl({"dump", "missing.cfg"}).code, 2);
}

struct ChangeRow {
    QStringList args;
    Registers changes; // every register that changes, with its new value
};

class EachCommandOnTheLine : public Kx9ctlOnTheLine, public ::testing::WithParamInterface<ChangeRow> {};

TEST_P(EachCommandOnTheLine, ChangesExactlyItsRegisters) {
    StartSim({"--status", QString::number(0xA401)});
    QImage topRow(120, 40, QImage::Format_RGB32);
    topRow.fill(Qt::black);
    for (int x = 0; x < 120; ++x)
        topRow.setPixel(x, 0, qRgb(255, 0, 0));
    ASSERT_TRUE(topRow.save(Here("top.png")));
    // Set apart from the image's defaults: a page write that carried them would show.
    ASSERT_TRUE(board->Write(RegPageTail, {5, 1}));
    const Registers before = board->Snapshot();

    const Finished run = Kx9ctl(QStringList{"--fast"} + GetParam().args);
    ASSERT_EQ(run.code, 0) << run.err.toStdString();
    const Registers after = board->Snapshot();
    const Registers& expected = GetParam().changes;
    for (const auto& [reg, value] : after) {
        const auto change = expected.find(reg);
        if (change != expected.end()) {
            EXPECT_EQ(value, change->second) << reg;
        } else if (!IsClock(reg)) { // the board's clock runs
            EXPECT_EQ(value, before.at(reg)) << reg;
        }
    }
}

Registers TopRowGraphic(int slot) {
    Registers r{{0, slot}};
    for (int word = 1; word <= 60; ++word)
        r[word] = 0x8080; // 120 bytes of the top band, each with its top dot lit
    return r;
}

INSTANTIATE_TEST_SUITE_P(Rows, EachCommandOnTheLine,
                         ::testing::Values(ChangeRow{{"page", "9", "--name", "Kasa", "Abc"},
                                                     {{4162, 9}, {4163, 0x4162}, {4164, 0x6300}}},
                                           ChangeRow{{"page", "9", "--verify"}, {{4162, 9}}},
                                           ChangeRow{{"clock", "--set", "2031-05-06 07:08"},
                                                     {{4006, 708}, {4007, 31}, {4008, 506}}},
                                           ChangeRow{{"status", "--clear"}, {{4265, 0x0001}}},
                                           ChangeRow{{"graphic", "116", "top.png"}, TopRowGraphic(1)}));

TEST_F(Kx9ctlOnTheLine, ScanFindsABoardAtAnUnknownAddressRateAndFrame) {
    StartSim({"--address", "57", "--baud", "9600", "--frame", "8O1", "--log"});
    const Finished scan =
        // A wait for each reply that a loaded two-core machine keeps: a reply that begins after it
        // is a board missed.
        Kx9ctl({"--json", "scan", "--rates", "9600,115200", "--frames", "8N2,8O1", "--save", "--probe-ms",
                "60"});
    ASSERT_EQ(scan.code, 0) << scan.err.toStdString();
    const QJsonArray found = QJsonDocument::fromJson(scan.out.toUtf8()).object().value("found").toArray();
    ASSERT_EQ(found.size(), 1);
    const QJsonObject hit = found[0].toObject();
    EXPECT_EQ(hit.value("address").toInt(), 57);
    EXPECT_EQ(hit.value("baud").toInt(), 9600);
    EXPECT_EQ(hit.value("frame").toString(), "8O1");
    EXPECT_TRUE(hit.value("identification").toString().startsWith("Uzyskano odpowiedź z KX9"));

    ConfigImage kept;
    ASSERT_TRUE(ReadConfigFile(Here("def.cfg"), kept));
    EXPECT_EQ(kept.link.BoardAddress, 57);
    EXPECT_EQ(kept.link.BaudIndex, 2);
    EXPECT_EQ(kept.link.FrameIndex, 3);
    // Identification only, and never to address 0, whether the board heard it or not.
    int requests = 0;
    for (const QByteArray& line : sim->Log().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() < 3 || (words[0] != "rx" && words[0] != "ignored"))
            continue;
        ++requests;
        EXPECT_NE(words[1], "00") << line.constData();
        EXPECT_EQ(words[2], "11") << line.constData();
    }
    EXPECT_GT(requests, 247);
    EXPECT_EQ(Kx9ctl({"identify"}).code, 0); // at the settings kept
}

struct PageCheckRow {
    QStringList lines;
    int code;
    int differences;
};

class PageVerify : public Kx9ctlOnTheLine, public ::testing::WithParamInterface<PageCheckRow> {};

TEST_P(PageVerify, ComparesTheBoardsPageAndKeepsNothing) {
    StartSim({});
    ASSERT_TRUE(board->Write(RegPageSelector, PageWindow(3, "Hello")));
    ASSERT_TRUE(board->Write(RegPageSelector, PageWindow(4, "Other")));
    const Finished run = Kx9ctl(QStringList{"--fast", "--json", "page", "3", "--verify"} + GetParam().lines);
    ASSERT_EQ(run.code, GetParam().code) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
    EXPECT_EQ(json.value("differences").toInt(), GetParam().differences);
    EXPECT_EQ(json.value("board").toArray(), QJsonArray{"Hello"});
    EXPECT_FALSE(QFile::exists(Here("def.cfg")));
}

INSTANTIATE_TEST_SUITE_P(Rows, PageVerify,
                         ::testing::Values(PageCheckRow{{"Hello"}, 0, 0}, PageCheckRow{{"Hello", "x"}, 1, 1},
                                           PageCheckRow{{"Hell"}, 1, 1}, PageCheckRow{{}, 1, 1}));

struct FaultRow {
    QString fault;
    QStringList args;
};

class AFaultyBoard : public Kx9ctlOnTheLine, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(AFaultyBoard, EndsWithExitOneAndTheCause) {
    StartSim({"--fault", GetParam().fault});
    const Finished run = Kx9ctl(QStringList{"--timeout", "200"} + GetParam().args);
    EXPECT_EQ(run.code, 1);
    EXPECT_TRUE(run.err.contains("Błąd transmisji danych")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Przyczyna:")) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(Here("x.cfg")));
}

INSTANTIATE_TEST_SUITE_P(Rows, AFaultyBoard,
                         ::testing::Values(FaultRow{"noreply", {"read", "x.cfg"}},
                                           FaultRow{"exception:2", {"--fast", "read", "x.cfg"}},
                                           FaultRow{"badcrc", {"identify"}}));

} // namespace
} // namespace kx9::test
