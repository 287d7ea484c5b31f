// SPDX-License-Identifier: MIT
// kx9ctl's commands and its fleet against simulated boards in this process: several boards on
// one line and on several ports, a board that fails among good ones, and what must be refused
// or reported before or after anything reaches a board.
#include "cli/Fleet.h"
#include "common/BoardSeams.h"
#include "common/NotAFile.h"
#include "common/RequestLog.h"
#include "common/SchedulerTicks.h"
#include "config/ConfigFile.h"
#include "config/SettingsFiles.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

#include <functional>
#include <memory>

namespace kx9::cli {
namespace {

// The PC's clock moving on by every pause; `onPause` runs at each one (a file changed under
// the command, as another program could).
struct HookedClock : test::FakeClock {
    void pause(int ms) override {
        FakeClock::pause(ms);
        current = current.addMSecs(ms);
        if (onPause)
            onPause();
    }
    std::function<void()> onPause;
};

BoardModel::Options At(int address) {
    BoardModel::Options o;
    o.address = address;
    return o;
}

class InFolder : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }
    void SetUp() override {
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void TearDown() override {
        QDir::setCurrent(m_oldDir);
        std::fclose(err);
    }
    QString File(const QString& name) const { return m_dir.filePath(name); }
    QString Err() const {
        std::fflush(err);
        std::rewind(err);
        QByteArray all;
        char chunk[1024];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, err)) > 0;)
            all.append(chunk, qsizetype(n));
        return QString::fromUtf8(all);
    }
    void Sample(const QString& name, int nightStart) {
        ConfigImage image;
        image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
        image.SetReg(RegNightStart, nightStart);
        ASSERT_TRUE(WriteConfigFile(File(name), image));
    }

    std::FILE* err = std::tmpfile();

private:
    QTemporaryDir m_dir;
    QString m_oldDir;
};

// One board at a time on a line of several boards.
class OneCommand : public InFolder {
protected:
    Outcome Run(const QStringList& args) {
        session.reset();
        m_parsed = ParseOptions(QStringList{"kx9ctl", "--timeout", "100", "--fast"} + args);
        if (!m_parsed.options)
            return {BadUsage, m_parsed.error, {}};
        for (BoardModel* b : line)
            b->ClearRequests();
        session = std::make_unique<Session>(port, clock, *m_parsed.options, err);
        return Execute(*session);
    }
    std::vector<std::string> Sent(const BoardModel& board) const {
        return test::RequestSummary(board.Requests());
    }

public:
    BoardModel board1{At(1)};
    BoardModel board2{At(2)};
    std::vector<BoardModel*> line{&board1, &board2};
    SimPort port{line};
    HookedClock clock;
    std::unique_ptr<Session> session;

private:
    Parsed m_parsed;
};

struct RefusedRow {
    QString name;
    std::function<void(OneCommand&)> arrange;
    QStringList args;
    int code;
    QString said; // part of what is said on stderr
    std::vector<std::string> sent;
};

class BeforeOrWithoutWriting : public OneCommand, public ::testing::WithParamInterface<RefusedRow> {};

TEST_P(BeforeOrWithoutWriting, EndsWithItsCodeAndSendsOnlyWhatItMay) {
    const RefusedRow& row = GetParam();
    QImage white(120, 40, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(File("white.png")));
    if (row.arrange)
        row.arrange(*this);
    // A pipe the row put here is released after a while should the command open it: a check
    // that regressed fails the row instead of hanging the runner.
    QString pipe;
    for (const QFileInfo& entry : QDir::current().entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        if (entry.exists() && !entry.isFile() && !entry.isDir() && !entry.isSymLink())
            pipe = entry.absoluteFilePath();
    Outcome outcome;
    const double seconds = test::TimedRead([&] { outcome = Run(row.args); }, pipe);
    EXPECT_LT(seconds, 2.0);
    EXPECT_EQ(outcome.code, row.code) << outcome.text.toStdString();
    EXPECT_TRUE(Err().contains(row.said)) << Err().toStdString();
    EXPECT_EQ(Sent(board1), row.sent);
}

void LineLength(OneCommand& t, int code) {
    t.board1.SetHolding(RegLineLength, uint16_t(code));
}

void DefaultsWithAddress(int address) {
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    image.link.BoardAddress = uint8_t(address);
    ASSERT_TRUE(WriteConfigFile(QStringLiteral("def.cfg"), image));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BeforeOrWithoutWriting,
    ::testing::Values(
        // A width the board cannot have is the board's fault: exit 1, nothing written.
        RefusedRow{"graphic, no characters in a line",
                   [](OneCommand& t) { LineLength(t, 65535); },
                   {"graphic", "115", "white.png"},
                   BoardFailed,
                   "rejestr 4014 = 65535",
                   {"r4013x2"}},
        RefusedRow{"page, no characters in a line",
                   [](OneCommand& t) { LineLength(t, 65535); },
                   {"page", "3", "Abc"},
                   BoardFailed,
                   "rejestr 4014 = 65535",
                   {"r4013x2"}},
        RefusedRow{"page, more than a page",
                   [](OneCommand& t) { LineLength(t, 32); },
                   {"page", "3", "Abc"},
                   BoardFailed,
                   "strona mieści 200",
                   {"r4013x2"}},
        // def.cfg that is a pipe is never opened: it would block every command.
        RefusedRow{"def.cfg a pipe",
                   [](OneCommand&) { ASSERT_TRUE(test::MakeFifo("def.cfg")); },
                   {"identify"},
                   BadUsage,
                   "To nie jest zwykły plik",
                   {}},
        RefusedRow{"page keeping its text in a def.cfg folder",
                   [](OneCommand&) { ASSERT_TRUE(QDir().mkdir("def.cfg")); },
                   {"page", "3", "Abc"},
                   BadUsage,
                   "To nie jest zwykły plik (folder, potok lub urządzenie): def.cfg",
                   {}},
        RefusedRow{"address 0 from def.cfg",
                   [](OneCommand&) { DefaultsWithAddress(0); },
                   {"status"},
                   BadUsage,
                   "Błąd ustawień połączenia: Adres tablicy 0 jest niedozwolony",
                   {}},
        RefusedRow{"read into a folder", {}, {"read", "."}, BadUsage, "to nie jest zwykły plik", {}},
        RefusedRow{"write of a missing file",
                   {},
                   {"write", "none.cfg"},
                   BadUsage,
                   "Nie ma takiego pliku: none.cfg",
                   {}},
        RefusedRow{"verify of a folder", {}, {"verify", "."}, BadUsage, "To nie jest zwykły plik", {}},
        RefusedRow{"picture that is a pipe",
                   [](OneCommand&) { ASSERT_TRUE(test::MakeFifo("p.png")); },
                   {"graphic", "115", "p.png"},
                   BadUsage,
                   "to nie jest zwykły plik: p.png",
                   {}}),
    [](const ::testing::TestParamInfo<RefusedRow>& info) { return "Row" + std::to_string(info.index); });

#ifdef Q_OS_LINUX
// A folder no file can be written in: the system's own refusal (/sys refuses new files even
// to root, who passes every permission bit), or a full file system of 16 KiB where the test
// may mount one. Empty when this system offers neither.
struct Unwritable {
    const char* name;
    std::function<QString(const QString& scratch)> folder;
};

// What the system says when a configuration file is written in `folder`: the words kx9ctl must
// pass on. Empty when it can be written there.
QString SystemRefusal(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder + "/.probe");
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const QByteArray bytes(ConfigFileSize, 'x');
    QString why;
    for (qsizetype done = 0, n = 0; done < bytes.size() && why.isEmpty(); done += n)
        if ((n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done))) < 0)
            why = QString::fromLocal8Bit(std::strerror(errno));
    ::close(fd);
    ::unlink(path.constData());
    return why;
}

const Unwritable UnwritableFolders[] = {
    {"SystemFolder", [](const QString&) { return QStringLiteral("/sys"); }},
    {"FullFileSystem",
     [](const QString& scratch) {
         const QString full = scratch + "/full";
         QDir().mkpath(full);
         return ::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=16k") == 0
                    ? full
                    : QString();
     }},
};

class SavingWhereItCannot : public OneCommand, public ::testing::WithParamInterface<Unwritable> {
protected:
    void TearDown() override {
        QDir::setCurrent(m_previous);
        if (!m_folder.isEmpty() && m_folder != "/sys")
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
        OneCommand::TearDown();
    }
    QString Folder() {
        m_folder = GetParam().folder(m_scratch.path());
        return m_folder;
    }

private:
    QTemporaryDir m_scratch;
    QString m_folder;
    QString m_previous = QDir::currentPath();
};

// read, page and a fleet read find out before the first request, and say the system's reason.
TEST_P(SavingWhereItCannot, IsRefusedBeforeAnythingIsSentWithTheSystemsReason) {
    const QString folder = Folder();
    const QString reason = folder.isEmpty() ? QString() : SystemRefusal(folder);
    if (reason.isEmpty())
        GTEST_SKIP() << "this system offers no such folder here";
    EXPECT_EQ(Run({"read", folder + "/hall.cfg"}).code, BadUsage);
    EXPECT_TRUE(Err().contains("Nie można zapisać pliku: " + folder + "/hall.cfg (" + reason + ")"))
        << Err().toStdString();
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder));
    const Parsed pages = ParseOptions({"kx9ctl", "--address", "1,2", "page", "3", "Abc"});
    ASSERT_TRUE(pages.options) << pages.error.toStdString();
    if (CanWriteIn(folder)) {
        EXPECT_EQ(Run({"page", "3", "Abc"}).code, BadUsage);
        EXPECT_EQ(PlanFleet(*pages.options).errors.join('\n'),
                  "Nie można zapisać pliku: def.cfg (" + reason + ")");
        EXPECT_TRUE(Err().contains("Nie można zapisać pliku: def.cfg (" + reason + ")"))
            << Err().toStdString();
    } else {
        // No file can be made there at all: def.cfg is the one in the user's data folder.
        const QTemporaryDir data;
        const QByteArray before = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        EXPECT_EQ(PlanFleet(*pages.options).errors.join('\n'), QString());
        EXPECT_EQ(SettingsFileToWrite("def.cfg"), data.path() + "/kx9-konfigurator/def.cfg");
        before.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", before);
    }
    ASSERT_TRUE(QDir::setCurrent(previous));
    EXPECT_TRUE(Sent(board1).empty());

    const Parsed fleet = ParseOptions({"kx9ctl", "--address", "1,2", "read", "--output-dir", folder});
    ASSERT_TRUE(fleet.options) << fleet.error.toStdString();
    const QStringList errors = PlanFleet(*fleet.options).errors;
    EXPECT_EQ(errors.join('\n'),
              QStringLiteral("Nie można zapisać plików w folderze: %1 (%2)").arg(folder, reason));
}

INSTANTIATE_TEST_SUITE_P(Rows, SavingWhereItCannot, ::testing::ValuesIn(UnwritableFolders),
                         [](const auto& info) { return std::string(info.param.name); });
#endif // Q_OS_LINUX

TEST_F(OneCommand, APageWrittenButNotKeptSaysTheBoardHasIt) {
    // def.cfg becomes a folder while the page goes out: the board has the page, the PC not.
    clock.onPause = [] { QDir().mkdir(QStringLiteral("def.cfg")); };
    const Outcome outcome = Run({"page", "7", "--name", "X", "Abc"});
    EXPECT_EQ(outcome.code, BadUsage);
    EXPECT_EQ(Sent(board1), (std::vector<std::string>{"r4013x2", "w4162x101"}));
    EXPECT_TRUE(
        Err().contains("Strona 7 zapisana do tablicy, ale strona i jej nazwa nie zostały zapisane w pliku "
                       "def.cfg"))
        << Err().toStdString();
    EXPECT_TRUE(outcome.json.value("boardWritten").toBool());
    EXPECT_FALSE(outcome.json.value("savedInDefaults").toBool(true));
}

TEST_F(OneCommand, TheDetailsNameThePortAsTyped) {
    port.SetMissing(QStringLiteral("COM1"));
    const Outcome outcome = Run({"--port", "/dev/ttyUSB7", "identify"});
    EXPECT_EQ(outcome.code, BoardFailed);
    ASSERT_EQ(session->dialogs.failures.size(), 1u);
    const QString details = session->dialogs.failures[0].details;
    EXPECT_TRUE(details.contains("\nPort: /dev/ttyUSB7\n")) << details.toStdString();
    EXPECT_FALSE(details.contains("COM1")) << details.toStdString();
}

struct ArrivedRow {
    QStringList args;
    BoardModel::Fault fault;
    int after; // sound replies before it
};

class DoneMeansArrived : public OneCommand, public ::testing::WithParamInterface<ArrivedRow> {};

TEST_P(DoneMeansArrived, AFaultInAnyStepIsAFailure) {
    QImage white(120, 40, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(File("white.png")));
    Sample("new.cfg", 2330);
    board1.SetFaultAfter(GetParam().after);
    board1.SetFault(GetParam().fault, 1);
    const Outcome outcome = Run(GetParam().args);
    EXPECT_EQ(outcome.code, BoardFailed) << outcome.text.toStdString();
    EXPECT_TRUE(outcome.text.isEmpty()) << outcome.text.toStdString();
    EXPECT_FALSE(session->dialogs.failures.empty() && session->dialogs.notes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DoneMeansArrived,
    ::testing::Values(ArrivedRow{{"graphic", "115", "white.png"}, BoardModel::Fault::NoReply, 3},
                      ArrivedRow{{"graphic", "115", "white.png"}, BoardModel::Fault::Exception, 6},
                      ArrivedRow{{"graphic", "115", "white.png"}, BoardModel::Fault::CutShort, 1},
                      ArrivedRow{{"page", "3", "Abc"}, BoardModel::Fault::Exception, 1},
                      ArrivedRow{{"page", "3", "Abc"}, BoardModel::Fault::BadCrc, 1},
                      ArrivedRow{{"write", "new.cfg"}, BoardModel::Fault::NoReply, 1},
                      ArrivedRow{{"write", "new.cfg"}, BoardModel::Fault::Exception, 60},
                      ArrivedRow{{"write", "new.cfg"}, BoardModel::Fault::WrongAddress, 122},
                      ArrivedRow{{"clock", "--sync"}, BoardModel::Fault::Exception, 0},
                      ArrivedRow{{"identify"}, BoardModel::Fault::BadCrc, 0}));

// Several ports, each a line of simulated boards in this process.
class AFleet : public InFolder {
protected:
    // Port COMn+1 is line n.
    std::vector<std::vector<std::unique_ptr<BoardModel>>> lines;

    void Lines(const std::vector<std::vector<int>>& addresses) {
        for (const std::vector<int>& line : addresses) {
            lines.emplace_back();
            for (int a : line)
                lines.back().push_back(std::make_unique<BoardModel>(At(a)));
        }
    }
    BoardModel& Board(int line, int address) {
        for (auto& b : lines[size_t(line)])
            if (b->Address() == address)
                return *b;
        throw std::out_of_range("no such board");
    }

    int Run(const QStringList& args, std::vector<FleetBoard>* report = nullptr) {
        const Parsed parsed = ParseOptions(QStringList{"kx9ctl", "--timeout", "100", "--fast"} + args);
        EXPECT_TRUE(parsed.options) << parsed.error.toStdString();
        if (!parsed.options)
            return -1;
        FleetPlan plan = PlanFleet(*parsed.options);
        errors = plan.errors;
        if (!plan.errors.isEmpty())
            return BadUsage;
        std::vector<QString> order;
        RunFleet(
            plan.boards,
            [this](const LinkChoice& port) {
                std::vector<BoardModel*> boards;
                for (auto& b : lines[size_t(port.portIndex.value_or(0))])
                    boards.push_back(b.get());
                return FleetLine{std::make_unique<SimPort>(boards), std::make_unique<HookedClock>()};
            },
            [&](const FleetBoard& b) { order.push_back(BoardName(b)); });
        EXPECT_EQ(order.size(), plan.boards.size());
        if (report)
            *report = plan.boards;
        return FleetExitCode(plan.boards);
    }

    QStringList errors;
};

TEST_F(AFleet, WritesEveryListedBoardAndLeavesTheOthersAlone) {
    Lines({{3, 9, 17}, {3, 9}});
    Sample("hall.cfg", 2330);
    std::vector<FleetBoard> report;
    EXPECT_EQ(Run({"--port", "COM1", "--port", "COM2", "--address", "3,9", "write", "hall.cfg"}, &report),
              Done);
    ASSERT_EQ(report.size(), 4u);
    for (const auto& [line, address] : {std::pair{0, 3}, {0, 9}, {1, 3}, {1, 9}})
        EXPECT_EQ(Board(line, address).Holding(RegNightStart), 2330) << line << " " << address;
    EXPECT_EQ(Board(0, 17).Holding(RegNightStart), 2200);
    EXPECT_EQ(report[0].port, "COM1");
    EXPECT_EQ(report[3].address, 9);
    EXPECT_EQ(Run({"--port", "COM1", "--address", "3,9", "verify", "hall.cfg"}), Done);
    Board(0, 9).SetHolding(RegNightStart, 2100);
    EXPECT_EQ(Run({"--port", "COM1", "--address", "3,9", "verify", "hall.cfg"}, &report), BoardFailed);
    EXPECT_EQ(report[1].cause, "Różnic: 1");
}

TEST_F(AFleet, AFailingBoardIsNamedWithItsCauseAndTheOthersGoOn) {
    Lines({{3, 9, 17}, {3, 9}});
    Sample("hall.cfg", 2330);
    Board(1, 9).SetFault(BoardModel::Fault::NoReply);
    std::vector<FleetBoard> report;
    EXPECT_EQ(Run({"--port", "COM1", "--port", "COM2", "--address", "3,9,17", "write", "hall.cfg"}, &report),
              BoardFailed);
    ASSERT_EQ(report.size(), 6u);
    for (const FleetBoard& b : report) {
        const bool bad = (b.port == "COM2" && b.address != 3);
        EXPECT_EQ(b.code, bad ? BoardFailed : Done) << BoardName(b).toStdString();
        if (bad) {
            EXPECT_EQ(b.cause, "brak odpowiedzi w ciągu 100 ms") << b.cause.toStdString();
        }
    }
    EXPECT_EQ(Board(1, 3).Holding(RegNightStart), 2330);
    const QString table = FleetTable(report);
    EXPECT_TRUE(table.contains("COM2      9  BŁĄD")) << table.toStdString();
    EXPECT_TRUE(table.contains("Tablic: 6, bez błędów: 4, z błędem: 2")) << table.toStdString();
}

TEST_F(AFleet, ReadsOneFilePerBoardNamedByPortAndAddress) {
    Lines({{1, 2}, {5}});
    Board(0, 2).SetHolding(RegDayBrightness, 42);
    ASSERT_TRUE(QDir().mkdir("out"));
    EXPECT_EQ(Run({"--port", "COM1", "--port", "COM2", "--address", "1,2,5", "read", "--output-dir", "out"}),
              BoardFailed); // COM1 has no board 5, COM2 none at 1 and 2
    ConfigImage read;
    ASSERT_TRUE(ReadConfigFile(File("out/COM1-2.cfg"), read));
    EXPECT_EQ(read.Reg(RegDayBrightness), 42);
    EXPECT_TRUE(QFile::exists(File("out/COM1-1.cfg")));
    EXPECT_TRUE(QFile::exists(File("out/COM2-5.cfg")));
    EXPECT_FALSE(QFile::exists(File("out/COM2-1.cfg")));
    EXPECT_EQ(Run({"--address", "1,2", "read", "--output-dir", "none"}), BadUsage);
    EXPECT_TRUE(errors.join(' ').contains("nie ma takiego folderu")) << errors.join(' ').toStdString();
}

TEST_F(AFleet, AManifestWithAMissingFileSendsNothing) {
    Lines({{1}, {2}});
    Sample("a.cfg", 2330);
    QFile manifest(File("fleet.json"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(R"({"boards": [{"port": "COM1", "address": 1, "config": "a.cfg"},
                                 {"port": "COM2", "address": 2, "config": "b.cfg"}]})");
    manifest.close();
    EXPECT_EQ(Run({"apply", "fleet.json"}), BadUsage);
    EXPECT_TRUE(errors.join(' ').contains("Nie ma takiego pliku: " + File("b.cfg")))
        << errors.join(' ').toStdString();
    EXPECT_TRUE(Board(0, 1).Requests().empty());
    EXPECT_TRUE(Board(1, 2).Requests().empty());
}

TEST_F(AFleet, AManifestBoardWaitsItsOwnTimeOutElseTheCommandLines) {
    Lines({{1, 2}});
    Sample("a.cfg", 2330); // its time-out: 1000 ms
    Board(0, 1).SetFault(BoardModel::Fault::NoReply);
    Board(0, 2).SetFault(BoardModel::Fault::NoReply);
    QFile manifest(File("fleet.json"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(R"({"defaults": {"config": "a.cfg"},
        "boards": [{"port": "COM1", "address": 1, "timeout": 300}, {"port": "COM1", "address": 2}]})");
    manifest.close();
    std::vector<FleetBoard> report;
    EXPECT_EQ(Run({"apply", "fleet.json"}, &report), BoardFailed); // --timeout 100
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].cause, "write: brak odpowiedzi w ciągu 300 ms");
    EXPECT_EQ(report[1].cause, "write: brak odpowiedzi w ciągu 100 ms");
}

TEST_F(AFleet, AManifestWritesVerifiesAndSetsUpEachBoard) {
    Lines({{1, 4}, {2}});
    Sample("a.cfg", 2330);
    QFile manifest(File("fleet.json"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(R"({"defaults": {"config": "a.cfg"},
        "boards": [{"port": "COM1", "address": "1,4", "page": {"number": 6, "lines": ["Hala"]}},
                   {"port": "COM2", "address": 2, "clock": "2031-05-06 07:08"}]})");
    manifest.close();
    std::vector<FleetBoard> report;
    EXPECT_EQ(Run({"apply", "fleet.json"}, &report), Done);
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[0].results.size(), 3); // write, verify, page
    EXPECT_EQ(report[2].results.size(), 3); // write, verify, clock
    for (const auto& [line, address] : {std::pair{0, 1}, {0, 4}, {1, 2}})
        EXPECT_EQ(Board(line, address).Holding(RegNightStart), 2330);
    EXPECT_EQ(Board(0, 4).Page(6)[0], 'H');
    EXPECT_EQ(Board(1, 2).Holding(RegClockTime), 708);
    EXPECT_FALSE(QFile::exists(File("def.cfg"))); // no single board's page is the PC's
}

} // namespace
} // namespace kx9::cli
