// SPDX-License-Identifier: MIT
// kx9ctl for many boards, and what a terminal user meets: lists of ports and addresses, the
// manifest, the report, the progress line, texts that never drive the terminal, the geometry
// a board cannot have, and files that are no regular files.
#include "cli/Commands.h"
#include "cli/Fleet.h"
#include "cli/Manifest.h"
#include "cli/Report.h"
#include "common/NotAFile.h"
#include "config/ConfigFile.h"
#include "config/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kx9::cli {
namespace {

struct ListRow {
    QStringList args;
    QString error;                                    // part of the refusal; empty when taken
    std::vector<std::pair<QString, int>> boards = {}; // port as given ("" for def.cfg's), address
};

class BoardLists : public ::testing::TestWithParam<ListRow> {};

TEST_P(BoardLists, MakeOneBoardForEachPortAndAddressInTheOrderGiven) {
    const ListRow& row = GetParam();
    const Parsed parsed = ParseOptions(QStringList{"kx9ctl"} + row.args);
    if (!row.error.isEmpty()) {
        EXPECT_TRUE(!parsed.options && parsed.error.contains(row.error)) << parsed.error.toStdString();
        return;
    }
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    std::vector<std::pair<QString, int>> boards;
    for (const LinkChoice& b : parsed.options->boards)
        boards.emplace_back(b.portGiven, b.address.value_or(0));
    EXPECT_EQ(boards, row.boards);
    EXPECT_EQ(IsFleet(*parsed.options), !row.boards.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BoardLists,
    ::testing::Values(ListRow{{"--address", "3,9,17", "write", "a.cfg"}, {}, {{"", 3}, {"", 9}, {"", 17}}},
                      ListRow{{"--address", "1-3,7", "identify"}, {}, {{"", 1}, {"", 2}, {"", 3}, {"", 7}}},
                      ListRow{{"--port", "COM2", "--port", "/dev/ttyUSB0", "--address", "5,6", "status"},
                              {},
                              {{"COM2", 5}, {"COM2", 6}, {"/dev/ttyUSB0", 5}, {"/dev/ttyUSB0", 6}}},
                      ListRow{{"--port", "COM2", "--port", "COM3", "clock"}, {}, {{"COM2", 0}, {"COM3", 0}}},
                      ListRow{{"--address", "7", "identify"}, {}, {}}, // one board: no fleet
                      ListRow{{"--address", "3,3", "identify"}, "lists 3 twice"},
                      ListRow{{"--address", "1-3,2", "identify"}, "lists 2 twice"},
                      ListRow{{"--address", "9-3", "identify"}, "runs backwards"},
                      ListRow{{"--address", "0-4", "identify"}, "broadcast"},
                      ListRow{{"--address", "1-248", "identify"}, "1..247"},
                      ListRow{{"--address", "3,,9", "identify"}, "1..247 or a list"},
                      ListRow{{"--address", "3", "--address", "4", "identify"}, "given twice"},
                      ListRow{{"--port", "COM2", "--port", "com2", "identify"}, "given twice"},
                      ListRow{{"--address", "1,2", "dump", "a.cfg"}, "takes one port and one address"},
                      ListRow{{"--address", "1,2", "scan"}, "takes one port and one address"},
                      ListRow{{"--address", "1,2", "read", "a.cfg"}, "--output-dir"},
                      ListRow{{"--address", "1,2", "read", "--output-dir", "out"}, {}, {{"", 1}, {"", 2}}},
                      ListRow{{"read", "--output-dir", "out", "x.cfg"}, "give no FILE.cfg"},
                      ListRow{{"read"}, "wrong number"},
                      ListRow{{"--port", "COM1", "apply", "f.json"}, "from its manifest"},
                      ListRow{{"--output-dir", "out", "write", "a.cfg"}, "does not go with write"},
                      ListRow{{"--bytes", "diff", "a.cfg", "b.cfg"}, {}},
                      ListRow{{"page", "1", "a\tb"}, "control character (U+0009)"},
                      ListRow{{"page", "1", "--name", "x\x1b[2J", "a"}, "control character (U+001B)"},
                      ListRow{{"page", "1", "ok", "del\x7f"}, "line 2 holds a control character (U+007F)"}));

struct TimeRow {
    QString typed;
    QString error; // part of the refusal, naming what does not exist
    QDate date = {};
    QTime time = {};
};

class BoardTimes : public ::testing::TestWithParam<TimeRow> {};

TEST_P(BoardTimes, AreTakenAsTypedOrNameWhatDoesNotExist) {
    const TimeRow& row = GetParam();
    QString why;
    const std::optional<QDateTime> at = BoardTime(row.typed, &why);
    if (!row.error.isEmpty()) {
        EXPECT_FALSE(at);
        EXPECT_TRUE(why.contains(row.error)) << why.toStdString();
        return;
    }
    ASSERT_TRUE(at) << why.toStdString();
    EXPECT_EQ(at->date(), row.date);
    EXPECT_EQ(at->time(), row.time);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BoardTimes,
    ::testing::Values(TimeRow{"2031-05-06 07:08", {}, {2031, 5, 6}, {7, 8}},
                      // In Europe the last Sunday of March has no 02:30; the board's clock has.
                      TimeRow{"2031-03-30 02:30", {}, {2031, 3, 30}, {2, 30}},
                      TimeRow{"2032-02-29 00:00", {}, {2032, 2, 29}, {0, 0}},
                      TimeRow{"2031-02-30 07:00", "2031-02-30: there is no such date"},
                      TimeRow{"2031-13-01 07:00", "2031-13-01: there is no such date"},
                      TimeRow{"2031-02-28 24:00", "24:00: there is no such time"},
                      TimeRow{"1999-12-31 23:59", "1999-12-31: the board keeps the years 2000..2099"},
                      TimeRow{"31-02-28 10:00", "YYYY-MM-DD HH:MM"}));

TEST(BoardTimeZone, AGapOfThePcsZoneIsStillATimeOfTheBoard) {
    const QByteArray old = qgetenv("TZ");
    qputenv("TZ", "Europe/Warsaw");
    tzset();
    const std::optional<QDateTime> at = BoardTime("2031-03-30 02:30");
    if (old.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", old);
    tzset();
    ASSERT_TRUE(at);
    EXPECT_TRUE(at->isValid());
    EXPECT_EQ(at->time(), QTime(2, 30));
}

struct ManifestRow {
    const char* json;
    QString error; // part of the refusal; empty when taken
    std::vector<std::pair<QString, int>> boards = {};
};

class Manifests : public ::testing::TestWithParam<ManifestRow> {};

TEST_P(Manifests, AreTakenBoardByBoardOrRefusedWithTheWhereAndWhy) {
    const ManifestRow& row = GetParam();
    QString why;
    const auto boards = ParseManifest(QByteArray(row.json), QStringLiteral("/hall"), &why);
    if (!row.error.isEmpty()) {
        EXPECT_FALSE(boards);
        EXPECT_TRUE(why.contains(row.error)) << why.toStdString();
        return;
    }
    ASSERT_TRUE(boards) << why.toStdString();
    std::vector<std::pair<QString, int>> got;
    for (const ManifestBoard& b : *boards)
        got.emplace_back(b.link.portGiven, *b.link.address);
    EXPECT_EQ(got, row.boards);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Manifests,
    ::testing::Values(
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 3, "config": "a.cfg"}]})", {}, {{"COM1", 3}}},
        ManifestRow{R"({"defaults": {"config": "a.cfg", "baud": 9600},
                        "boards": [{"port": "/dev/ttyUSB0", "address": "1-2"}, {"port": "COM2", "address": [9, 4]}]})",
                    {},
                    {{"/dev/ttyUSB0", 1}, {"/dev/ttyUSB0", 2}, {"COM2", 9}, {"COM2", 4}}},
        ManifestRow{"{\"boards\": [", "not JSON"}, ManifestRow{R"([1, 2])", "JSON object"},
        ManifestRow{R"({"boards": []})", "at least one board"},
        ManifestRow{R"({"boards": [{"port": "COM1", "config": "a.cfg"}]})", "boards[0]: needs \"address\""},
        ManifestRow{R"({"boards": [{"address": 1, "config": "a.cfg"}]})", "needs \"port\""},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 0, "config": "a.cfg"}]})", "broadcast"},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 2.5, "config": "a.cfg"}]})", "1..247"},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1e300, "config": "a.cfg"}]})", "1..247"},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1}]})", "gives the board nothing"},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1, "confg": "a.cfg"}]})",
                    "no such key \"confg\""},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1, "config": "a.cfg", "baud": 28800}]})",
                    "\"baud\""},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1, "config": "a.cfg", "frame": "7E1"}]})",
                    "\"frame\""},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": "1-3", "config": "a.cfg"},
                                   {"port": "COM1", "address": 2, "config": "b.cfg"}]})",
                    "listed twice"},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1, "page": {"number": 115, "lines": []}}]})",
                    "0..114"},
        ManifestRow{
            R"({"boards": [{"port": "COM1", "address": 1, "page": {"number": 3, "lines": ["a\u001b[2J"]}}]})",
            "control character (U+001B)"},
        ManifestRow{
            R"({"boards": [{"port": "COM1", "address": 1, "page": {"number": 3, "lines": ["1","2","3","4","5","6"]}}]})",
            "at most 5 lines"},
        ManifestRow{
            R"({"boards": [{"port": "COM1", "address": 1, "graphics": [{"slot": 110, "file": "a.png"}]}]})",
            "115..124"},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1, "graphics": [{"slot": 115, "file": "a.png"},
                                                                               {"slot": 0, "file": "b.png"}]}]})",
                    "graphic page 115 is given twice"},
        ManifestRow{R"({"boards": [{"port": "COM1", "address": 1, "clock": "2031-02-30 10:00"}]})",
                    "2031-02-30: there is no such date"},
        ManifestRow{R"({"defaults": {"address": 1}, "boards": [{"port": "COM1", "config": "a.cfg"}]})",
                    "belongs to each board"}));

TEST(ManifestBoards, GetWriteVerifyPageGraphicsAndClockInThatOrderAtTheirOwnSettings) {
    QString why;
    const auto boards = ParseManifest(R"({"boards": [{"port": "COM2", "address": 9, "baud": 9600,
        "config": "gate.cfg", "page": {"number": 5, "name": "Witamy", "lines": ["Witamy", "w hali"]},
        "graphics": [{"slot": 116, "file": "pics/logo.png"}], "clock": "sync"}]})",
                                      QStringLiteral("/hall"), &why);
    ASSERT_TRUE(boards) << why.toStdString();
    const std::vector<Options> steps = ManifestSteps(boards->front(), Options{});
    std::vector<Command> commands;
    for (const Options& o : steps) {
        commands.push_back(o.command);
        EXPECT_EQ(o.link.portIndex, 1);
        EXPECT_EQ(o.link.address, 9);
        EXPECT_EQ(o.link.baudIndex, 2);
        EXPECT_FALSE(o.keepPage); // def.cfg is no single board's
    }
    EXPECT_EQ(commands, (std::vector<Command>{Command::Write, Command::Verify, Command::Page,
                                              Command::Graphic, Command::Clock}));
    EXPECT_EQ(steps[0].args, QStringList{"/hall/gate.cfg"});
    EXPECT_EQ(steps[2].args, (QStringList{"5", "Witamy", "w hali"}));
    EXPECT_EQ(steps[2].name, QStringLiteral("Witamy"));
    EXPECT_EQ(steps[3].args, (QStringList{"116", "/hall/pics/logo.png"}));
    EXPECT_EQ(steps[4].clock, ClockMode::Sync);
}

class ProgressLine : public ::testing::TestWithParam<int> {};

TEST_P(ProgressLine, FitsTheTerminalOnOneLine) {
    const int columns = GetParam();
    const QString title = QStringLiteral("Odczyt Konfiguracji z bardzo długim tytułem operacji");
    for (int percent : {0, 7, 50, 100}) {
        const QString line = TermProgress::Line(title, percent, columns);
        EXPECT_LT(line.size(), columns) << line.toStdString();
        EXPECT_FALSE(line.contains('\n'));
        EXPECT_TRUE(line.endsWith(QStringLiteral("%1%").arg(percent))) << line.toStdString();
    }
    const QString wide = TermProgress::Line(title, 50, columns);
    // A bar wherever there is room for one.
    EXPECT_EQ(wide.contains(QLatin1Char('[')), columns >= 40) << wide.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Columns, ProgressLine, ::testing::Values(8, 20, 32, 40, 63, 80, 200));

TEST(TerminalText, ControlCharactersAreShownAsTheirPictures) {
    EXPECT_EQ(Printable(QStringLiteral("a\tb\x1b[2Jc\x7f\nd")), QString::fromUtf8("a␉b␛[2Jc␡\nd"));
    EXPECT_EQ(PrintableLine(QStringLiteral("a\nb")), QString::fromUtf8("a␊b"));
    EXPECT_EQ(PrintableLine(QString(QChar(0x9B))), QString(QChar(0xFFFD))); // a C1 control
    EXPECT_EQ(Printable(QString::fromUtf8("Zażółć")), QString::fromUtf8("Zażółć"));
}

TEST(TerminalText, DumpAndDiffNeverCarryARawControlCharacter) {
    ConfigImage a, b;
    a.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    b.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    a.pages[4][0] = 0x1B;
    a.pages[4][1] = '[';
    a.pages[4][2] = '2';
    a.pages[4][3] = 'J';
    a.SetPageName(4, QByteArray("x\ty"));
    a.SetReg(RegPageSelector + 1, 0x1B07);
    for (const QString& text :
         {Dump(a, "a.cfg").text, Diff(a, b).text, Diff(a, b, true).text, Verify(a, b).text}) {
        for (QChar c : text)
            ASSERT_TRUE(c == '\n' || c.category() != QChar::Other_Control) << text.toStdString();
    }
    EXPECT_TRUE(Dump(a, "a.cfg").text.contains(QString::fromUtf8("Strona 004 \"x␉y\":\n  | ␛[2J")));
}

TEST(Diffs, BlankBytesAndSpacesThatShowAlikeDifferOnlyByteForByte) {
    ConfigImage a, b;
    a.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    b.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    a.SetReg(4170, 0);
    b.SetReg(4170, 0x2020);
    a.SetReg(4171, 0x4100);
    b.SetReg(4171, 0x4120);
    b.pages[3][0] = ' ';
    EXPECT_EQ(Diff(a, b).text, QStringLiteral("Bez różnic\n"));
    const Report bytes = Diff(a, b, true);
    EXPECT_EQ(bytes.differences, 3);
    EXPECT_TRUE(bytes.text.startsWith(
        QString::fromUtf8("4170  Okno strony: znaki 15 i 16: \"␀␀\" (0) -> \"  \" (8224)\n")))
        << bytes.text.toStdString();
    b.SetReg(4172, 0x4142);
    EXPECT_EQ(Diff(a, b).differences, 1); // what shows differently still differs
}

struct GeometryRow {
    int sizeCode;
    int lineCode;
    QString problem; // part of the reason; empty for a geometry a board has
};

class Geometries : public ::testing::TestWithParam<GeometryRow> {};

TEST_P(Geometries, ABoardCannotHaveNoLinesNoCharactersOrMoreThanAPage) {
    const GeometryRow& row = GetParam();
    const QString problem = GeometryProblem(row.sizeCode, row.lineCode);
    if (row.problem.isEmpty())
        EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
    else
        EXPECT_TRUE(problem.contains(row.problem)) << problem.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Rows, Geometries,
                         ::testing::Values(GeometryRow{414, 14, {}}, GeometryRow{0, 149, {}},
                                           GeometryRow{414, 29, {}},
                                           GeometryRow{414, 65535, "wiersz bez znaków"},
                                           GeometryRow{514, 14, "6 wierszy"},
                                           GeometryRow{414, 32, "strona mieści 200"}));

struct FileNameRow {
    QString port;
    int address;
    QString name;
};

class FleetFileNames : public ::testing::TestWithParam<FileNameRow> {};

TEST_P(FleetFileNames, NameThePortAndTheAddressInOneSafeName) {
    EXPECT_EQ(FleetFileName(GetParam().port, GetParam().address), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FleetFileNames,
    ::testing::Values(FileNameRow{"COM1", 3, "COM1-3.cfg"}, FileNameRow{"/dev/ttyUSB0", 12, "ttyUSB0-12.cfg"},
                      FileNameRow{"/dev/serial/by-id/usb-FT 232", 1, "serial_by-id_usb-FT_232-1.cfg"},
                      FileNameRow{"./COM2", 7, "COM2-7.cfg"}, FileNameRow{"../..", 5, "port.._..-5.cfg"}));

FleetBoard Ran(const QString& port, int address, int code, const QString& cause, double seconds) {
    FleetBoard b;
    b.port = port;
    b.address = address;
    b.code = code;
    b.cause = cause;
    b.seconds = seconds;
    b.ran = true;
    return b;
}

TEST(FleetReport, OneLineABoardAndTheWorstCodeAsExitCode) {
    std::vector<FleetBoard> boards{
        Ran("COM1", 3, Done, {}, 4.5),
        Ran("/dev/ttyUSB0", 9, BoardFailed, "brak odpowiedzi w ciągu 1000 ms", 1.25)};
    EXPECT_EQ(FleetTable(boards).toStdString(),
              QStringLiteral("Port          Adres  Wynik  Czas [s]  Przyczyna\n"
                             "COM1              3  OK         4.50\n"
                             "/dev/ttyUSB0      9  BŁĄD       1.25  brak "
                             "odpowiedzi w ciągu 1000 ms\n"
                             "Tablic: 2, bez błędów: 1, z błędem: 1\n")
                  .toStdString());
    EXPECT_EQ(FleetExitCode(boards), BoardFailed);
    const QJsonArray json = FleetJson(boards).value("boards").toArray();
    EXPECT_EQ(json[1].toObject().value("result").toString(), "failed");
    EXPECT_EQ(json[1].toObject().value("cause").toString(), "brak odpowiedzi w ciągu 1000 ms");
    boards[1].code = Done;
    EXPECT_EQ(FleetExitCode(boards), Done);
    boards[0].code = BadUsage;
    EXPECT_EQ(FleetExitCode(boards), BadUsage);
    boards.push_back(FleetBoard{}); // never ran: no success
    boards[0].code = Done;
    EXPECT_EQ(FleetExitCode(boards), BoardFailed);
}

struct FileRow {
    const char* what;
    std::function<QString(const QDir&)> make; // makes the thing, returns its path
    FileProblem input;
    FileProblem output;
};

class FilesThatAreNotFiles : public ::testing::TestWithParam<FileRow> {};

TEST_P(FilesThatAreNotFiles, AreRefusedBeforeAnyOpen) {
    QTemporaryDir dir;
    const QString path = GetParam().make(QDir(dir.path()));
    EXPECT_EQ(CheckInputFile(path, ConfigFileSize), GetParam().input) << GetParam().what;
    EXPECT_EQ(CheckOutputFile(path), GetParam().output) << GetParam().what;
    FileProblem problem = FileProblem::None;
    std::optional<QByteArray> bytes;
    // Bounded: a pipe opened by mistake is released instead of hanging the runner.
    EXPECT_LT(test::TimedRead([&] { bytes = ReadRegularFile(path, ConfigFileSize, &problem); }, path), 2.0);
    EXPECT_EQ(bytes.has_value(), GetParam().input == FileProblem::None);
    EXPECT_EQ(problem, GetParam().input);
}

QString Written(const QDir& d, const char* name, qsizetype size) {
    QFile f(d.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(size, 'x'));
    return f.fileName();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FilesThatAreNotFiles,
    ::testing::Values(FileRow{"regular", [](const QDir& d) { return Written(d, "a.cfg", ConfigFileSize); },
                              FileProblem::None, FileProblem::None},
                      FileRow{"too large",
                              [](const QDir& d) { return Written(d, "a.cfg", ConfigFileSize + 1); },
                              FileProblem::TooLarge, FileProblem::None},
                      FileRow{"missing", [](const QDir& d) { return d.filePath("none.cfg"); },
                              FileProblem::Missing, FileProblem::None},
                      FileRow{"in no folder", [](const QDir& d) { return d.filePath("no/none.cfg"); },
                              FileProblem::Missing, FileProblem::Missing},
                      FileRow{"folder", [](const QDir& d) { return d.path(); }, FileProblem::NotRegular,
                              FileProblem::NotRegular},
                      FileRow{"named pipe",
                              [](const QDir& d) {
                                  const QString p = d.filePath("pipe.cfg");
                                  EXPECT_TRUE(test::MakeFifo(p));
                                  return p;
                              },
                              FileProblem::NotRegular, FileProblem::NotRegular},
                      FileRow{"device", [](const QDir&) { return QStringLiteral("/dev/null"); },
                              FileProblem::NotRegular, FileProblem::NotRegular},
                      FileRow{"link to a file",
                              [](const QDir& d) {
                                  Written(d, "real.cfg", 10);
                                  QFile::link(d.filePath("real.cfg"), d.filePath("link.cfg"));
                                  return d.filePath("link.cfg");
                              },
                              FileProblem::None, FileProblem::None},
                      FileRow{"link that points nowhere",
                              [](const QDir& d) {
                                  QFile::link(d.filePath("gone"), d.filePath("COM1"));
                                  return d.filePath("COM1");
                              },
                              FileProblem::Missing, FileProblem::NotRegular}));

} // namespace
} // namespace kx9::cli
