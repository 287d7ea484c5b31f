// SPDX-License-Identifier: MIT
// kx9ctl's commands against the simulated board in this process: what each one sends, and what
// it leaves on the board, in the files and on the terminal.
#include "cli/Commands.h"
#include "common/BoardSeams.h"
#include "common/RequestLog.h"
#include "common/SchedulerTicks.h"
#include "config/ConfigFile.h"
#include "config/Cp1250.h"
#include "config/PageLayout.h"
#include "ops/PageCodec.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

namespace kx9::cli {
namespace {

// The PC's clock moving on by every pause, as a real one would.
struct MovingClock : test::FakeClock {
    void pause(int ms) override {
        FakeClock::pause(ms);
        current = current.addMSecs(ms);
    }
};

struct Seams {
    explicit Seams(const BoardModel::Options& options) : board(options) {}
    BoardModel board;
    SimPort port{board};
    MovingClock clock;
};

class Kx9ctlCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }
    void SetUp() override {
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void TearDown() override {
        session.reset();
        QDir::setCurrent(m_oldDir);
        std::fclose(m_err);
    }

    Outcome Run(const QStringList& args, bool fast = true) {
        session.reset();
        m_parsed = ParseOptions(QStringList{"kx9ctl", "--timeout", "100"} +
                                (fast ? QStringList{"--fast"} : QStringList{}) + args);
        if (!m_parsed.options)
            return {BadUsage, m_parsed.error, {}};
        seams.board.ClearRequests();
        session = std::make_unique<Session>(seams.port, seams.clock, *m_parsed.options, m_err);
        return Execute(*session);
    }
    // As RequestSummary has them, an identification as "id@address".
    std::vector<std::string> Sent() const {
        const std::vector<QByteArray>& requests = seams.board.Requests();
        std::vector<std::string> sent = test::RequestSummary(requests);
        for (size_t k = 0; k < sent.size(); ++k)
            if (requests[k].size() == 4 && requests[k][1] == 17)
                sent[k] = "id@" + std::to_string(uint8_t(requests[k][0]));
        return sent;
    }
    QString File(const QString& name) const { return m_dir.filePath(name); }

    Seams seams{BoardModel::Options{}};
    std::unique_ptr<Session> session;

private:
    QTemporaryDir m_dir;
    QString m_oldDir;
    Parsed m_parsed;
    std::FILE* m_err = std::tmpfile();
};

QByteArray Cp(const char* utf8) {
    return *cp1250::FromUnicode(QString::fromUtf8(utf8));
}

struct SentRow {
    QStringList args;
    bool fast;
    std::vector<std::string> sent;
};

class EachCommand : public Kx9ctlCommands, public ::testing::WithParamInterface<SentRow> {};

TEST_P(EachCommand, SendsItsRequestsAndNothingElse) {
    QImage white(120, 40, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(File("white.png")));
    const Outcome outcome = Run(GetParam().args, GetParam().fast);
    EXPECT_EQ(outcome.code, Done) << outcome.text.toStdString();
    EXPECT_EQ(Sent(), GetParam().sent);
    EXPECT_TRUE(session->dialogs.failures.empty());
    EXPECT_FALSE(seams.port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EachCommand,
    ::testing::Values(SentRow{{"identify"}, true, {"id@1"}}, SentRow{{"clock"}, false, {"r4006x3"}},
                      SentRow{{"clock", "--set", "2031-05-06 07:08"}, true, {"w4006x3"}},
                      SentRow{{"status"}, true, {"r4265x1"}},
                      SentRow{{"status", "--clear"}, true, {"r4265x1"}}, // nothing set, nothing cleared
                      SentRow{{"page", "5", "Ab"}, true, {"r4013x2", "w4162x101"}},
                      SentRow{{"page", "5", "Ab"}, false, {"r4013x2", "w4162x101"}},
                      SentRow{{"graphic", "116", "white.png"},
                              true,
                              {"r4013x2", "w0x101", "w100x100", "w200x100", "w300x100", "w400x100",
                               "w500x100"}}));

TEST_F(Kx9ctlCommands, PageSetsOnePageOnTheBoardAndKeepsItsNameInDefCfg) {
    const Outcome outcome = Run({"page", "112", "--name", "Święto", "Zażółć", "", "3"});
    ASSERT_EQ(outcome.code, Done);
    const ConfigImage::Page expected = layout::LinesToPage({Cp("Zażółć"), "", "3"}, 414, 14);
    for (int i = 0; i < PageSize; ++i)
        ASSERT_EQ(seams.board.Page(112)[size_t(i)],
                  pagecodec::ConvertPageChar(expected[size_t(i)], pagecodec::Direction::ToBoard));
    // The page write waits its 10 ms after the open, as every page write does.
    EXPECT_EQ(seams.clock.pauses, (std::vector<int>{200, 200, 10}));
    ConfigImage kept;
    ASSERT_TRUE(ReadConfigFile(File("def.cfg"), kept));
    EXPECT_EQ(kept.PageName(112), Cp("Święto"));
    EXPECT_EQ(kept.pages[112], expected);
}

TEST_F(Kx9ctlCommands, PageRefusesWhatTheBoardCannotHoldBeforeWriting) {
    EXPECT_EQ(Run({"page", "1", "€uro"}).code, BadUsage);
    EXPECT_EQ(Run({"page", "1", "--name", QString(33, 'n')}).code, BadUsage);
    EXPECT_EQ(Run({"page", "1", "a", "b", "c", "d", "e", "f"}).code, BadUsage);
    EXPECT_EQ(Run({"page", "1", QString(21, 'x')}).code, BadUsage); // the board's lines hold 20
    EXPECT_EQ(Sent(), (std::vector<std::string>{"r4013x2"}));
    EXPECT_FALSE(QFile::exists(File("def.cfg")));
}

TEST_F(Kx9ctlCommands, StatusClearClearsTheErrorBitsOnly) {
    seams.board.SetHolding(RegStatus, 0xA401);
    const Outcome outcome = Run({"status", "--clear"});
    EXPECT_EQ(outcome.code, Done);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"r4265x1", "w4265x1"}));
    EXPECT_EQ(seams.board.Holding(RegStatus), 0x0001);
    EXPECT_TRUE(outcome.text.startsWith("Rejestr statusu: 0xA401\nBłąd pamięci SRAM\nPamięć EEPROM...OK\n"));
}

TEST_F(Kx9ctlCommands, ClockSetsWhatItIsToldOrThePcTimeAtTheFullMinute) {
    EXPECT_EQ(Run({"clock", "--set", "2031-05-06 07:08"}).text, "2031-05-06 07:08\n");
    EXPECT_EQ(seams.board.Holding(RegClockTime), 708);
    EXPECT_EQ(seams.board.Holding(RegClockYear), 31);
    EXPECT_EQ(seams.board.Holding(RegClockDate), 506);

    seams.clock.current = QDateTime(QDate(2026, 12, 7), QTime(14, 35, 43));
    seams.clock.pauses.clear();
    EXPECT_EQ(Run({"clock", "--minute"}).text, "2026-12-07 14:36\n");
    const int waited = std::accumulate(seams.clock.pauses.begin(), seams.clock.pauses.end() - 1, 0);
    EXPECT_EQ(waited, 17000);
    EXPECT_EQ(seams.board.Holding(RegClockTime), 1436);
}

TEST_F(Kx9ctlCommands, GraphicSendsThePictureAsTheBoardsDots) {
    QImage picture(120, 40, QImage::Format_RGB32);
    picture.fill(Qt::black);
    for (int x = 0; x < 120; ++x)
        picture.setPixel(x, 0, qRgb(255, 255, 255)); // the top row lit
    ASSERT_TRUE(picture.save(File("top.png")));
    ASSERT_EQ(Run({"graphic", "9", "top.png"}).code, Done);
    const QByteArray dots = seams.board.GraphicPages()[9];
    EXPECT_EQ(dots.left(120), QByteArray(120, char(0x80)));
    EXPECT_EQ(dots.mid(120), QByteArray(1200 - 120, '\0'));
    EXPECT_EQ(Run({"graphic", "115", "missing.png"}).code, BadUsage);
}

TEST_F(Kx9ctlCommands, ReadWriteAndVerifyGoThroughTheWholeConfiguration) {
    seams.board.SetHolding(RegDayBrightness, 77);
    ASSERT_EQ(Run({"read", File("board.cfg")}).code, Done);
    EXPECT_EQ(Sent().size(), 235u);
    ConfigImage file;
    ASSERT_TRUE(ReadConfigFile(File("board.cfg"), file));
    EXPECT_EQ(file.Reg(RegDayBrightness), 77);

    file.SetReg(RegNightStart, 2330);
    file.SetPage(7, layout::LinesToPage({"Kasa"}, 414, 14));
    ASSERT_TRUE(WriteConfigFile(File("new.cfg"), file));
    ASSERT_EQ(Run({"write", File("new.cfg")}).code, Done);
    EXPECT_EQ(Sent().size(), 123u);
    EXPECT_EQ(seams.board.Holding(RegNightStart), 2330);
    EXPECT_EQ(Run({"verify", File("new.cfg")}).text, "Tablica zgodna z plikiem\n");

    seams.board.SetHolding(RegDayStart, 730);
    const Outcome differs = Run({"verify", File("new.cfg")});
    EXPECT_EQ(differs.code, BoardFailed);
    EXPECT_TRUE(differs.text.startsWith("4011  Początek dnia: plik 06:00 (600), tablica 07:30 (730)\n"));
}

TEST_F(Kx9ctlCommands, AFailureEndsWithItsCauseAndExitCode) {
    seams.board.SetFault(BoardModel::Fault::NoReply);
    EXPECT_EQ(Run({"identify"}).code, BoardFailed);
    ASSERT_EQ(session->dialogs.failures.size(), 1u);
    EXPECT_EQ(session->dialogs.failures[0].text, "Błąd transmisji danych");
    EXPECT_TRUE(session->dialogs.failures[0].details.contains("100 ms"));
    EXPECT_EQ(Run({"read", File("x.cfg")}).code, BoardFailed);
    EXPECT_FALSE(QFile::exists(File("x.cfg")));
    EXPECT_EQ(Run({"write", File("none.cfg")}).code, BadUsage);
}

TEST_F(Kx9ctlCommands, ScanFindsTheBoardAndKeepsItsSettings) {
    seams.board = BoardModel(BoardModel::Options{3, 1, 9});
    const Outcome outcome = Run({"scan", "--rates", "115200", "--frames", "8N2", "--save"});
    EXPECT_EQ(outcome.code, Done);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"id@1", "id@2", "id@3"}));
    EXPECT_TRUE(outcome.text.startsWith("Adres: 3, 115200bps, 8N2\nUzyskano odpowiedź z KX9"));
    ConfigImage kept;
    ASSERT_TRUE(ReadConfigFile(File("def.cfg"), kept));
    EXPECT_EQ(kept.link.BoardAddress, 3);
}

} // namespace
} // namespace kx9::cli
