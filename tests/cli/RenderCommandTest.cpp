// SPDX-License-Identifier: MIT
// kx9ctl render: every page of a configuration file drawn without a board.
#include "cli/Commands.h"
#include "common/BoardSeams.h"
#include "common/Kx9ctlRun.h"
#include "common/SchedulerTicks.h"
#include "config/ConfigFile.h"
#include "config/PageLayout.h"
#include "render/DisplayRender.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kx9::cli {
namespace {

// A valid file with random geometry, switches, clock fields and pages.
void RandomImage(QRandomGenerator& random, ConfigImage& image) {
    image.ResetImage(QDateTime(QDate(2026, 12, 9), QTime(21, 30)));
    const int rows = random.bounded(1, 6);
    const int width = 4 * random.bounded(1, 100 / rows / 4 + 1); // characters across, rows x width <= 100
    const int boardSize = (rows - 1) * 100 + width / 4 * 3 - 1;
    const int length = std::max(width, 4 * random.bounded(1, 200 / rows / 4 + 1));
    image.SetReg(RegBoardSize, boardSize);
    image.SetReg(RegLineLength, length / 4 * 3 - 1);
    image.SetReg(RegDoubleHeight, random.bounded(2));
    image.SetReg(RegScrollLines, random.bounded(32));
    image.SetReg(RegTimePosition, random.bounded(2) ? 101 + random.bounded(5) * 100 + random.bounded(20) : 0);
    image.SetReg(RegDatePosition, random.bounded(2) ? 101 + random.bounded(5) * 100 + random.bounded(20) : 0);
    image.SetReg(RegDayBrightness, random.bounded(1, 101));
    image.SetReg(RegNightBrightness, random.bounded(1, 101));
    for (int p = 0; p < PageCount; ++p) {
        std::vector<QByteArray> lines;
        for (int i = 0; i < 5; ++i) {
            QByteArray line;
            for (int k = random.bounded(length + 1); k > 0; --k)
                line += char(random.bounded(32, 256));
            lines.push_back(line);
        }
        image.SetPage(p, layout::LinesToPage(lines, boardSize, length / 4 * 3 - 1));
    }
}

class RenderCommand : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureCoreApplication(); }
    void SetUp() override { QDir::setCurrent(m_dir.path()); }
    void TearDown() override { QDir::setCurrent(m_oldDir); }
    Outcome Run(const QStringList& args) {
        m_parsed = ParseOptions(QStringList{"kx9ctl"} + args);
        if (!m_parsed.options)
            return {BadUsage, m_parsed.error, {}};
        Session session(seams.port, seams.clock, *m_parsed.options, m_err);
        return Execute(session);
    }
    QString File(const QString& name) const { return m_dir.filePath(name); }

    test::InProcessSeams seams;
    QTemporaryDir m_dir;

private:
    QString m_oldDir = QDir::currentPath();
    Parsed m_parsed;
    std::FILE* m_err = std::tmpfile();
};

TEST_F(RenderCommand, EveryPageOfRandomFilesGivesAPictureOfTheDisplaysSize) {
    QRandomGenerator random(20261209);
    for (int file = 0; file < 3; ++file) {
        ConfigImage image;
        RandomImage(random, image);
        ASSERT_TRUE(WriteConfigFile(File("random.cfg"), image));
        const QSize dots = render::DisplayDots(image.Reg(RegBoardSize));
        for (int page = 0; page <= render::LastPage; ++page) {
            const Outcome o = Run({"render", File("random.cfg"), QString::number(page), File("page.png")});
            ASSERT_EQ(o.code, Done) << "file " << file << " page " << page;
            EXPECT_EQ(QImage(File("page.png")).size(), dots * 6) << "file " << file << " page " << page;
        }
        EXPECT_FALSE(seams.board.Requests().size()) << "nothing sent";
    }
}

struct Refusal {
    const char* name;
    QStringList args; // after "render"
};
void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.name;
}

class RenderRefuses : public RenderCommand, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RenderRefuses, WithExit2AndNoPicture) {
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    ASSERT_TRUE(WriteConfigFile(File("good.cfg"), image));
    QFile bad(File("bad.cfg"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("KX9-001.00 too short") > 0);
    bad.close();
    QStringList args{"render"};
    for (const QString& a : GetParam().args)
        args << (a.endsWith(".cfg") || a.endsWith(".png") ? File(a) : a);
    EXPECT_EQ(Run(args).code, BadUsage);
    EXPECT_FALSE(QFile::exists(File("out.png")));
}

INSTANTIATE_TEST_SUITE_P(Rows, RenderRefuses,
                         ::testing::Values(Refusal{"PageBeyond124", {"good.cfg", "125", "out.png"}},
                                           Refusal{"PageNotANumber", {"good.cfg", "x", "out.png"}},
                                           Refusal{"BadFile", {"bad.cfg", "0", "out.png"}},
                                           Refusal{"MissingFile", {"none.cfg", "0", "out.png"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// The program itself, on a graphic page whose picture grafika.ini names.
TEST_F(RenderCommand, ProgramDrawsAGraphicPageFromItsSlotPicture) {
    ConfigImage image;
    image.ResetImage(QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    ASSERT_TRUE(WriteConfigFile(File("good.cfg"), image));
    QImage white(120, 40, QImage::Format_RGB32);
    white.fill(Qt::white);
    ASSERT_TRUE(white.save(File("white.png")));
    QFile ini(File("grafika.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly) && ini.write("[Grafika]\nStrona117=white.png\n") > 0);
    ini.close();
    const test::Ran r = test::RunKx9ctl(m_dir.path(), {"render", "good.cfg", "117", "g.png"}, 60000);
    ASSERT_EQ(r.code, Done) << qPrintable(r.err);
    const QImage shot(File("g.png"));
    ASSERT_EQ(shot.size(), QSize(120 * 6, 40 * 6));
    EXPECT_EQ(shot.pixel(3, 3), render::DotColour(true, 100)) << "every dot lit";
}

} // namespace
} // namespace kx9::cli
