// SPDX-License-Identifier: MIT
// A named pipe where the program or kx9ctl reads a file: every settings file, def.cfg, a
// configuration file, the manifest and a picture are left unread at once, with the reason,
// and the pipe is still there afterwards. A reader that blocks fails the row instead of
// hanging it.
#include "cli/Commands.h"
#include "cli/Fleet.h"
#include "common/Kx9ctlRun.h"
#include "common/NotAFile.h"
#include "common/SchedulerTicks.h"
#include "config/ConfigFile.h"
#include "config/SlotFiles.h"
#include "link/PortMap.h"
#include "ops/DotMatrix.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace kx9::cli {
namespace {

struct PipeRow {
    const char* name;
    const char* file; // the pipe, in the working folder
    // Reads (or saves) `path` as the program or kx9ctl does; true when it left the pipe alone and
    // said why.
    std::function<bool(const QString& path)> refuses;
};

bool IsPipe(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir() && !info.isSymLink();
}

const PipeRow PipeRows[] = {
    {"PortNamesRead", "porty.ini",
     [](const QString& path) {
         PortMap map(path);
         return !map.Load() && map.Mapping().empty() &&
                LoadProblemText(map).endsWith(": to nie jest zwykły plik (folder, potok lub urządzenie)");
     }},
    {"PortNamesSaved", "porty.ini",
     [](const QString& path) {
         PortMap map(path);
         map.SetMapped("COM1", "/dev/ttyUSB0");
         return !map.Save();
     }},
    {"GraphicFilesRead", "grafika.ini",
     [](const QString&) {
         FileProblem problem = FileProblem::None;
         const SlotFileList files = LoadSlotFiles(&problem);
         return problem == FileProblem::NotRegular && files[0].isEmpty() &&
                SlotFilesProblemText(problem).startsWith(
                    "Pominięto plik przypisań grafik: grafika.ini: to nie");
     }},
    {"GraphicFilesSaved", "grafika.ini",
     [](const QString&) {
         SlotFileList files;
         files[0] = "logo.png";
         return !SaveSlotFiles(files);
     }},
    {"DefaultFile", "def.cfg",
     [](const QString&) {
         ConfigImage image;
         return !LoadDefaultFile(image);
     }},
    {"ConfigurationFile", "hall.cfg",
     [](const QString& path) {
         ConfigImage image;
         return LoadConfig(path, image).contains("To nie jest zwykły plik");
     }},
    {"Manifest", "fleet.json",
     [](const QString& path) {
         const Parsed parsed = ParseOptions({"kx9ctl", "apply", path});
         return parsed.options &&
                PlanFleet(*parsed.options).errors.join('\n').contains("To nie jest zwykły plik");
     }},
    {"Picture", "logo.png",
     [](const QString& path) {
         return dots::LoadPicture(path).isNull() && PictureProblem(path).contains("to nie jest zwykły plik");
     }},
};

class APipe : public ::testing::TestWithParam<PipeRow> {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        QDir::setCurrent(m_dir.path());
    }
    void TearDown() override { QDir::setCurrent(m_previous); }

private:
    QTemporaryDir m_dir;
    QString m_previous = QDir::currentPath();
};

TEST_P(APipe, IsLeftUnreadAtOnceWithTheReason) {
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(GetParam().file));
    if (!test::MakeFifo(path))
        GTEST_SKIP() << "no named pipes here";
    bool refused = false;
    const double seconds = test::TimedRead([&] { refused = GetParam().refuses(path); }, path);
    EXPECT_TRUE(refused);
    EXPECT_LT(seconds, 2.0);
    EXPECT_TRUE(IsPipe(path)) << "the pipe was replaced";
}

INSTANTIATE_TEST_SUITE_P(Rows, APipe, ::testing::ValuesIn(PipeRows),
                         [](const auto& info) { return std::string(info.param.name); });

// The user's port names are read by every kx9ctl command: a pipe there once froze them all.
TEST(APipeAtThePortNames, IsSaidOnceAndEveryCommandGoesOn) {
    QTemporaryDir home, work;
    const QString folder = QDir(home.path()).filePath("kx9-konfigurator");
    ASSERT_TRUE(QDir().mkpath(folder));
    if (!test::MakeFifo(folder + "/porty.ini"))
        GTEST_SKIP() << "no named pipes here";
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 7), QTime(14, 35)));
    ASSERT_TRUE(WriteConfigFile(QDir(work.path()).filePath("hall.cfg"), image));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.path());
    for (const QStringList& args : {QStringList{"dump", "hall.cfg"}, QStringList{"ports"}}) {
        const test::Ran run = test::RunKx9ctl(work.path(), args, 30000, environment);
        EXPECT_NE(run.code, -1) << "kx9ctl " << args.join(' ').toStdString() << " did not end";
        EXPECT_EQ(run.err.count("Pominięto plik przypisań portów do urządzeń: " + folder +
                                "/porty.ini: to nie "
                                "jest zwykły plik"),
                  1)
            << run.err.toStdString();
    }
    EXPECT_TRUE(IsPipe(folder + "/porty.ini"));
}

} // namespace
} // namespace kx9::cli
