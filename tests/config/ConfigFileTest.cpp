// SPDX-License-Identifier: MIT
#include "config/ConfigFile.h"
#include "common/NotAFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

using namespace kx9;

namespace {

// An image where every register, page byte, name and link field differs from its neighbours.
void Fill(ConfigImage& image) {
    for (int i = 0; i < MainCount; ++i)
        image.main[i] = (i * 257 + 13) & 0xFFFF;
    for (int j = 0; j < SlaveCount; ++j)
        image.slave[j] = (0xA000 + j * 263) & 0xFFFF;
    for (int k = 0; k < PageCount; ++k)
        for (int b = 0; b < PageSize; ++b)
            image.pages[k][b] = static_cast<uint8_t>(k * 7 + b);
    for (int k = 0; k < PageCount; ++k)
        image.SetPageName(k, "Strona " + QByteArray::number(k));
    image.link = {5, 3, 4, 2500, 247, false};
}

uint8_t At(const QByteArray& bytes, int offset) {
    return static_cast<uint8_t>(bytes.at(offset));
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace

TEST(ConfigFile, LayoutOffsets) {
    ConfigImage image;
    Fill(image);
    image.SetReg(4000, 0x0102);
    image.SetReg(4299, 0x1122);
    image.SetReg(4300, 0x3344);
    image.SetReg(4344, 0x5566);
    image.pages[0][0] = 0xB9;
    image.pages[114][199] = 0xEA;
    image.SetPageName(0, "A");
    image.SetPageName(114, "Z");
    image.link = {6, 2, 1, 20000, 17, true};

    const QByteArray f = EncodeConfigFile(image);
    ASSERT_EQ(f.size(), 27386);
    EXPECT_EQ(f.left(10), QByteArray("KX9-001.00"));
    EXPECT_EQ(At(f, 10), 0x01);
    EXPECT_EQ(At(f, 11), 0x02);
    EXPECT_EQ(At(f, 608), 0x11);
    EXPECT_EQ(At(f, 609), 0x33) << "slave block wins the shared byte";
    EXPECT_EQ(At(f, 610), 0x44);
    EXPECT_EQ(At(f, 697), 0x55);
    EXPECT_EQ(At(f, 698), 0x66);
    EXPECT_EQ(At(f, 699), 0xB9);
    EXPECT_EQ(At(f, 699 + 200 * 114 + 199), 0xEA);
    EXPECT_EQ(At(f, 23698), 0xEA);
    EXPECT_EQ(f.mid(23699, 2), QByteArray("A\0", 2));
    EXPECT_EQ(f.mid(23699 + 32 * 114, 32), QByteArray("Z") + QByteArray(31, '\0'));
    EXPECT_EQ(At(f, 27379), 0);
    EXPECT_EQ(At(f, 27380), 6);
    EXPECT_EQ(At(f, 27381), 2);
    EXPECT_EQ(At(f, 27382), 1);
    EXPECT_EQ(At(f, 27383), 0x4E);
    EXPECT_EQ(At(f, 27384), 0x20);
    EXPECT_EQ(At(f, 27385), 17);
}

TEST(ConfigFile, RoundTripKeepsAllButTheSharedByte) {
    ConfigImage saved;
    Fill(saved);
    ConfigImage loaded;
    ASSERT_TRUE(DecodeConfigFile(EncodeConfigFile(saved), loaded));

    for (int r = 4000; r <= 4344; ++r) {
        if (r == 4299)
            continue;
        EXPECT_EQ(loaded.Reg(r), saved.Reg(r)) << "register " << r;
    }
    EXPECT_EQ(loaded.Reg(4299), (saved.Reg(4299) >> 8) * 256 + (saved.Reg(4300) >> 8));
    EXPECT_NE(loaded.Reg(4299), saved.Reg(4299)) << "the fill must make the overlap visible";
    EXPECT_EQ(loaded.pages, saved.pages);
    for (int k = 0; k < PageCount; ++k)
        EXPECT_EQ(loaded.PageName(k), saved.PageName(k));
    EXPECT_EQ(loaded.link.PortIndex, 5);
    EXPECT_EQ(loaded.link.FrameIndex, 3);
    EXPECT_EQ(loaded.link.BaudIndex, 4);
    EXPECT_EQ(loaded.link.ReplyTimeoutMs, 2500);
    EXPECT_EQ(loaded.link.BoardAddress, 247);

    EXPECT_EQ(EncodeConfigFile(loaded), EncodeConfigFile(saved));
}

TEST(ConfigFile, LoadThenSaveGivesTheSameBytesExceptPadAndNameTails) {
    ConfigImage source;
    Fill(source);
    QByteArray f = EncodeConfigFile(source);
    for (int i = 10; i < 27379; ++i)
        f[i] = static_cast<char>((i * 31) & 0xFF);
    f[27379] = '\x5A';
    // Name of page 0: "ab", a zero, then junk the loader never sees.
    f.replace(23699, 5, QByteArray("ab\0cd", 5));
    f[27383] = '\xFF';
    f[27384] = '\xFF';

    ConfigImage image;
    ASSERT_TRUE(DecodeConfigFile(f, image));
    EXPECT_EQ(image.link.ReplyTimeoutMs, 65535);
    const QByteArray again = EncodeConfigFile(image);

    QByteArray want = f;
    want[27379] = 0;
    want.replace(23699, 5, QByteArray("ab\0\0\0", 5));
    for (int k = 0; k < PageCount; ++k) {
        const int at = 23699 + 32 * k;
        const int zero = f.indexOf('\0', at);
        for (int i = zero; i >= 0 && i < at + 32; ++i)
            want[i] = 0;
    }
    EXPECT_EQ(again, want);
}

TEST(ConfigFile, BytesFromTheFileAreUnsigned) {
    QByteArray f = EncodeConfigFile(ConfigImage());
    f[10 + 2 * 100] = '\xFF';
    f[11 + 2 * 100] = '\xFF';
    f[609 + 2 * 44] = '\x80';
    f[610 + 2 * 44] = '\x00';
    ConfigImage image;
    ASSERT_TRUE(DecodeConfigFile(f, image));
    EXPECT_EQ(image.Reg(4100), 65535);
    EXPECT_EQ(image.Reg(4344), 0x8000);
}

TEST(ConfigFile, Names) {
    ConfigImage image;
    const QByteArray exact(32, 'E');
    image.SetPageName(1, exact);
    image.SetPageName(2, QByteArray(33, 'L') + "tail");
    image.SetPageName(3, QByteArray());
    image.SetPageName(4, "\xA5\xB9\x8C\x9C"); // Polish letters as Windows-1250 bytes
    const QByteArray f = EncodeConfigFile(image);
    EXPECT_EQ(f.mid(23699 + 32, 32), exact);
    EXPECT_EQ(f.mid(23699 + 64, 32), QByteArray(32, 'L'));
    EXPECT_EQ(f.mid(23699 + 96, 32), QByteArray(32, '\0'));
    EXPECT_EQ(At(f, 27379), 0) << "a full last name must not spill";

    ConfigImage loaded;
    QSignalSpy spy(&loaded, &ConfigImage::namesChanged);
    ASSERT_TRUE(DecodeConfigFile(f, loaded));
    EXPECT_GE(spy.count(), 1);
    EXPECT_EQ(loaded.PageName(0), QByteArray("000"));
    EXPECT_EQ(loaded.PageName(1), exact);
    EXPECT_EQ(loaded.PageName(2), QByteArray(32, 'L'));
    EXPECT_TRUE(loaded.PageName(3).isEmpty());
    EXPECT_EQ(loaded.PageName(4), QByteArray("\xA5\xB9\x8C\x9C"));
}

TEST(ConfigFile, FullLastNameStillLeavesThePadByteZero) {
    ConfigImage image;
    image.SetPageName(114, QByteArray(40, '\xFF'));
    const QByteArray f = EncodeConfigFile(image);
    EXPECT_EQ(f.mid(27347, 32), QByteArray(32, '\xFF'));
    EXPECT_EQ(At(f, 27379), 0);
}

TEST(ConfigFile, ZeroFirstNameByteLoadsEmpty) {
    QByteArray f = EncodeConfigFile(ConfigImage());
    f.replace(23699 + 32 * 7, 4, QByteArray("\0abc", 4));
    ConfigImage image;
    ASSERT_TRUE(DecodeConfigFile(f, image));
    EXPECT_TRUE(image.PageName(7).isEmpty());
}

TEST(ConfigFile, TimeoutKeepsOnlyItsLow16Bits) {
    ConfigImage image;
    image.link.ReplyTimeoutMs = 70000;
    const QByteArray f = EncodeConfigFile(image);
    EXPECT_EQ(At(f, 27383) * 256 + At(f, 27384), 70000 - 65536);
}

struct BadBytes {
    const char* what;
    QByteArray bytes;
};

class BadFile : public testing::TestWithParam<BadBytes> {};

TEST_P(BadFile, IsRefusedAndChangesNothing) {
    ConfigImage image;
    Fill(image);
    const QByteArray before = EncodeConfigFile(image);
    QSignalSpy spy(&image, &ConfigImage::namesChanged);

    EXPECT_FALSE(DecodeConfigFile(GetParam().bytes, image));
    EXPECT_EQ(EncodeConfigFile(image), before);
    EXPECT_EQ(spy.count(), 0);

    QTemporaryDir dir;
    const QString path = dir.filePath("bad.cfg");
    WriteAll(path, GetParam().bytes);
    EXPECT_FALSE(ReadConfigFile(path, image));
    EXPECT_EQ(EncodeConfigFile(image), before);
}

namespace {

QByteArray Good() {
    ConfigImage other;
    other.SetReg(4010, 7);
    return EncodeConfigFile(other);
}

QByteArray WithHeader(const char* header) {
    QByteArray f = Good();
    f.replace(0, 10, QByteArray(header, 10));
    return f;
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Files, BadFile,
    testing::Values(BadBytes{"short", Good().left(27385)}, BadBytes{"long", Good() + QByteArray(1, '\0')},
                    BadBytes{"empty", QByteArray()}, BadBytes{"lastDigit", WithHeader("KX9-001.01")},
                    BadBytes{"firstLetter", WithHeader("LX9-001.00")},
                    BadBytes{"lowerCase", WithHeader("kx9-001.00")},
                    BadBytes{"oneLowerLetter", WithHeader("Kx9-001.00")},
                    BadBytes{"letterOForZero", WithHeader("KX9-001.0O")}),
    [](const testing::TestParamInfo<BadBytes>& info) { return std::string(info.param.what); });

TEST(ConfigFile, OutOfRangeLinkSettingsAreTakenAsTheyAre) {
    QByteArray f = Good();
    f[27380] = 7;
    f[27381] = '\xC8';
    f[27385] = 0;
    ConfigImage image;
    ASSERT_TRUE(DecodeConfigFile(f, image));
    EXPECT_EQ(image.link.PortIndex, 7);
    EXPECT_EQ(image.link.FrameIndex, 200);
    EXPECT_EQ(image.link.BoardAddress, 0);
    EXPECT_EQ(image.Reg(4010), 7);
}

struct NameCase {
    const char* chosen;
    const char* saved;
};

class FileName : public testing::TestWithParam<NameCase> {};

TEST_P(FileName, AppendsCfgUnlessItOccurs) {
    EXPECT_EQ(ConfigFileName(QString::fromUtf8(GetParam().chosen)), QString::fromUtf8(GetParam().saved));
}

INSTANTIATE_TEST_SUITE_P(
    Rule, FileName,
    testing::Values(NameCase{"konfig", "konfig.cfg"}, NameCase{"konfig.cfg", "konfig.cfg"},
                    NameCase{"konfig.CFG", "konfig.CFG.cfg"},
                    NameCase{"/home/ja/stare.cfg.d/konfig", "/home/ja/stare.cfg.d/konfig"},
                    NameCase{"C:\\Dane\\tablica.cfgx", "C:\\Dane\\tablica.cfgx"},
                    NameCase{".cfg", ".cfg.cfg"}, NameCase{"a.cfg", "a.cfg"},
                    NameCase{"/tmp/zażółć", "/tmp/zażółć.cfg"}));

TEST(ConfigFile, WriteThenReadAFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath("konfig.cfg");
    ConfigImage saved;
    Fill(saved);
    ASSERT_TRUE(WriteConfigFile(path, saved));
    EXPECT_EQ(QFileInfo(path).size(), 27386);
    EXPECT_EQ(ReadAll(path), EncodeConfigFile(saved));

    // Replacing an existing file.
    saved.SetReg(4020, 999);
    ASSERT_TRUE(WriteConfigFile(path, saved));
    ConfigImage loaded;
    ASSERT_TRUE(ReadConfigFile(path, loaded));
    EXPECT_EQ(loaded.Reg(4020), 999);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"konfig.cfg"}) << "no temporary left";
}

TEST(ConfigFile, MissingOrUnreadableFilesAreBad) {
    QTemporaryDir dir;
    ConfigImage image;
    EXPECT_FALSE(ReadConfigFile(dir.filePath("brak.cfg"), image));
    EXPECT_FALSE(ReadConfigFile(dir.path(), image));
    EXPECT_FALSE(ReadConfigFile(QString(), image));
}

// Whatever is no regular file of at most the file's size is a bad file, said at once: nothing
// is opened that could block (a named pipe, a terminal) or read without end (a device).
struct NotAConfigFile {
    const char* name;
    std::function<QString(const QTemporaryDir&)> make; // its path; empty where the system has none
};

const NotAConfigFile NotConfigFiles[] = {
    {"Folder",
     [](const QTemporaryDir& d) {
         QDir(d.path()).mkdir("folder.cfg");
         return d.filePath("folder.cfg");
     }},
    {"NamedPipe",
     [](const QTemporaryDir& d) {
         return test::MakeFifo(d.filePath("pipe.cfg")) ? d.filePath("pipe.cfg") : QString();
     }},
    {"LinkToANamedPipe",
     [](const QTemporaryDir& d) {
         if (!test::MakeFifo(d.filePath("pipe")) || !QFile::link(d.filePath("pipe"), d.filePath("link.cfg")))
             return QString();
         return d.filePath("link.cfg");
     }},
    {"DeviceThatIsEmpty",
     [](const QTemporaryDir&) { return QFileInfo::exists("/dev/null") ? QString("/dev/null") : QString(); }},
    {"DeviceWithoutEnd",
     [](const QTemporaryDir&) { return QFileInfo::exists("/dev/zero") ? QString("/dev/zero") : QString(); }},
    {"FarTooLarge",
     [](const QTemporaryDir& d) {
         QFile file(d.filePath("huge.cfg"));
         // Sparse: a gigabyte that takes no room, and must not be read to be refused.
         if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(1) << 30))
             return QString();
         return d.filePath("huge.cfg");
     }},
};

class NotAFile : public ::testing::TestWithParam<NotAConfigFile> {};

TEST_P(NotAFile, IsABadFileAtOnceAndChangesNothing) {
    QTemporaryDir dir;
    const QString path = GetParam().make(dir);
    if (path.isEmpty())
        GTEST_SKIP() << "not on this system";
    ConfigImage image;
    Fill(image);
    const QByteArray before = EncodeConfigFile(image);
    bool read = true;
    const double seconds = test::TimedRead([&] { read = ReadConfigFile(path, image); }, path);
    EXPECT_FALSE(read);
    EXPECT_LT(seconds, 1.0);
    EXPECT_EQ(EncodeConfigFile(image), before);
}

INSTANTIATE_TEST_SUITE_P(ConfigFile, NotAFile, ::testing::ValuesIn(NotConfigFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// "def.cfg" as a named pipe must not hang the start-up that loads it.
TEST(ConfigFile, ADefaultFileThatIsANamedPipeIsLeftAlone) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    if (!test::MakeFifo(dir.filePath(DefaultFileName))) {
        QDir::setCurrent(previous);
        GTEST_SKIP() << "no named pipes here";
    }
    ConfigImage image;
    bool loaded = true;
    const double seconds =
        test::TimedRead([&] { loaded = LoadDefaultFile(image); }, dir.filePath(DefaultFileName));
    QDir::setCurrent(previous);
    EXPECT_FALSE(loaded);
    EXPECT_LT(seconds, 1.0);
}

TEST(ConfigFile, SaveIntoAMissingFolderFails) {
    QTemporaryDir dir;
    ConfigImage image;
    EXPECT_FALSE(WriteConfigFile(dir.filePath("nie/ma/konfig.cfg"), image));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("nie")));

    // A path through a plain file fails the same way, whoever runs the test.
    WriteAll(dir.filePath("plik"), "x");
    EXPECT_FALSE(WriteConfigFile(dir.filePath("plik/konfig.cfg"), image));
    EXPECT_EQ(ReadAll(dir.filePath("plik")), QByteArray("x"));
}

namespace {

// A saved configuration that a failed save must leave as it was.
struct OldFile {
    QTemporaryDir dir;
    const QString path = dir.filePath("konfig.cfg");
    QByteArray before;

    bool Write() {
        ConfigImage old;
        old.SetReg(4009, 33);
        if (!WriteConfigFile(path, old))
            return false;
        before = ReadAll(path);
        return true;
    }
};

} // namespace

TEST(ConfigFile, SaveIntoAReadOnlyFolderLeavesTheOldFile) {
    OldFile f;
    ASSERT_TRUE(f.Write());

    QFile::setPermissions(f.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool writable = QFile(f.dir.filePath("probe")).open(QIODevice::WriteOnly);
    QFile::remove(f.dir.filePath("probe"));
    ConfigImage image;
    Fill(image);
    const bool saved = WriteConfigFile(f.path, image);
    QFile::setPermissions(f.dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (writable)
        GTEST_SKIP() << "permissions do not bind this user";

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(f.path), f.before);
}

#ifdef Q_OS_UNIX
// A disk that fills up in the middle of a save: the old file must survive whole.
TEST(ConfigFile, SaveThatRunsOutOfSpaceLeavesTheOldFile) {
    OldFile f;
    ASSERT_TRUE(f.Write());

    ConfigImage image;
    Fill(image);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{4096, limit.rlim_max};
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = WriteConfigFile(f.path, image);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadAll(f.path), f.before);
    EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"konfig.cfg"});
}
#endif

#ifdef Q_OS_LINUX
TEST(ConfigFile, EveryFileReadIsClosed) {
    QTemporaryDir dir;
    WriteAll(dir.filePath("good.cfg"), Good());
    WriteAll(dir.filePath("short.cfg"), Good().left(100));
    WriteAll(dir.filePath("header.cfg"), WithHeader("KX9-002.00"));
    auto openFiles = [] {
        return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size();
    };
    const auto before = openFiles();
    ConfigImage image;
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(ReadConfigFile(dir.filePath("good.cfg"), image));
        EXPECT_FALSE(ReadConfigFile(dir.filePath("short.cfg"), image));
        EXPECT_FALSE(ReadConfigFile(dir.filePath("header.cfg"), image));
    }
    EXPECT_EQ(openFiles(), before);
}
#endif

TEST(ConfigFile, DefaultFileLivesInTheCurrentFolder) {
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));

    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    const QByteArray defaults = EncodeConfigFile(image);
    EXPECT_FALSE(LoadDefaultFile(image));
    EXPECT_EQ(EncodeConfigFile(image), defaults);

    ConfigImage saved;
    Fill(saved);
    EXPECT_TRUE(SaveDefaultFile(saved));
    EXPECT_EQ(ReadAll(dir.filePath("def.cfg")), EncodeConfigFile(saved));
    EXPECT_TRUE(LoadDefaultFile(image));
    EXPECT_EQ(EncodeConfigFile(image), EncodeConfigFile(saved));

    QDir::setCurrent(previous);
}
