// SPDX-License-Identifier: MIT
// Where "def.cfg" and "grafika.ini" go when the working folder cannot take them.
#include "config/SettingsFiles.h"
#include "config/ConfigFile.h"
#include "config/SlotFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kx9;

namespace {

struct PlaceRow {
    const char* what;
    bool workingWritable;
    bool dataHasIt;
    const char* write; // "" the bare name; "@" the data folder's file
    const char* read;
};

const PlaceRow PlaceRows[] = {
    {"working folder that can be written", true, true, "", ""},
    {"read-only folder, nothing kept yet", false, false, "@", ""},
    {"read-only folder, kept before", false, true, "@", "@"},
};

class SettingsPlace : public ::testing::TestWithParam<PlaceRow> {};

TEST_P(SettingsPlace, WriteAndReadWhereTheyCan) {
    const PlaceRow& row = GetParam();
    static bool dataHasIt;
    dataHasIt = row.dataHasIt;
    const SettingsPlaces places{"/opt/kx9", "/home/u/.local/share/kx9-konfigurator", row.workingWritable};
    const auto expand = [](const char* where) {
        return *where ? QStringLiteral("/home/u/.local/share/kx9-konfigurator/def.cfg")
                      : QStringLiteral("def.cfg");
    };
    EXPECT_EQ(SettingsFileToWrite("def.cfg", places), expand(row.write));
    EXPECT_EQ(SettingsFileToRead("def.cfg", places,
                                 [](const QString& path) { return dataHasIt && path.startsWith("/home"); }),
              expand(row.read));
}

INSTANTIATE_TEST_SUITE_P(SettingsFiles, SettingsPlace, ::testing::ValuesIn(PlaceRows));

// The working folder gone from under the program: nothing can be made there, so both files go
// to the user's data folder, and come back from it.
TEST(SettingsFiles, AFolderThatCannotBeWrittenSendsBothFilesToTheDataFolder) {
    QTemporaryDir data, gone;
    ASSERT_TRUE(data.isValid() && gone.isValid());
    const QByteArray previousData = qgetenv("XDG_DATA_HOME");
    const QString previous = QDir::currentPath();
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    ASSERT_TRUE(QDir::setCurrent(gone.path()));
    ASSERT_TRUE(QDir(gone.path()).removeRecursively());
    EXPECT_FALSE(CanWriteIn(QDir::currentPath()));

    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2024, 5, 6), QTime(7, 8)));
    image.link.BoardAddress = 42;
    QString path;
    EXPECT_TRUE(SaveDefaultFile(image, &path));
    EXPECT_EQ(path, data.path() + "/kx9-konfigurator/def.cfg");
    ConfigImage loaded;
    ASSERT_TRUE(LoadDefaultFile(loaded));
    EXPECT_EQ(loaded.link.BoardAddress, 42);

    SlotFileList files;
    files[3] = QStringLiteral("C:/Obrazy/logo.png");
    EXPECT_TRUE(SaveSlotFiles(files, &path));
    EXPECT_EQ(path, data.path() + "/kx9-konfigurator/grafika.ini");
    EXPECT_EQ(LoadSlotFiles()[3], files[3]);

    QDir::setCurrent(previous);
    if (previousData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", previousData);
}

} // namespace
