// SPDX-License-Identifier: MIT
// kx9ctl's bash completion against kx9ctl's own usage and parser, so that the two cannot drift:
// it offers every command the usage lists, with a command exactly the options the parser takes
// with it, the rates and frames the link knows, and files of the command's kind.
#include "cli/CliOptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

#ifndef KX9_COMPLETION_PATH
#error "KX9_COMPLETION_PATH must name kx9ctl's bash completion"
#endif
#ifndef KX9_MANUAL_PATH
#error "KX9_MANUAL_PATH must name kx9ctl's manual page"
#endif

namespace kx9::cli {
namespace {

const char* const BashLoader = "/usr/share/bash-completion/bash_completion";

// Bash on its own, or with the bash-completion library the script finds its helpers in.
class Completion : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam() && !QFile::exists(BashLoader))
            GTEST_SKIP() << "bash-completion is not installed";
        ASSERT_TRUE(m_dir.isValid());
    }

    // What completion offers at the end of `line`, as the shell splits it.
    QStringList Offers(const QString& line) const {
        const QString driver = QStringLiteral(R"(
            [[ -n $1 ]] && source "$1"
            source "$2"
            COMP_LINE=$3; COMP_POINT=${#3}
            read -ra COMP_WORDS <<<"$3"
            [[ $3 == *" " ]] && COMP_WORDS+=("")
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            _kx9ctl
            printf '%s\n' "${COMPREPLY[@]}")");
        QProcess bash;
        bash.setWorkingDirectory(m_dir.path());
        bash.start(QStringLiteral("bash"), {"-c", driver, "kx9ctl-completion", GetParam() ? BashLoader : "",
                                            KX9_COMPLETION_PATH, line});
        EXPECT_TRUE(bash.waitForFinished(10000));
        EXPECT_EQ(bash.exitCode(), 0) << bash.readAllStandardError().constData();
        return QString::fromUtf8(bash.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    }

    QString Here(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

QString Usage() {
    return ParseOptions({"kx9ctl", "--help"}).print;
}

QStringList UsageCommands() {
    const QString usage = Usage();
    const QString commands =
        usage.section(QStringLiteral("Commands:\n"), 1).section(QStringLiteral("\n\n"), 0, 0);
    QStringList names;
    static const QRegularExpression command(QStringLiteral("^  ([a-z]+)"),
                                            QRegularExpression::MultilineOption);
    for (auto it = command.globalMatch(commands); it.hasNext();)
        names << it.next().captured(1);
    return names;
}

std::set<QString> UsageOptions() {
    std::set<QString> options;
    static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]*"));
    for (auto it = option.globalMatch(Usage()); it.hasNext();)
        options.insert(it.next().captured(0));
    return options;
}

// Whether the parser refuses `option` with `command` as an option of another command; tried
// with and without a value and with up to three arguments, so that one try gets that far.
bool RefusedWith(const QString& option, const QString& command) {
    const QString refusal = QStringLiteral("%1 does not go with %2").arg(option, command);
    for (const QString& form : {option, option + QStringLiteral("=1")})
        for (int args = 0; args <= 3; ++args)
            if (ParseOptions(QStringList{"kx9ctl", form, command} + QStringList(args, QStringLiteral("1")))
                    .error == refusal)
                return true;
    return false;
}

TEST_P(Completion, OffersTheCommandsOfTheUsage) {
    QStringList commands = UsageCommands();
    ASSERT_TRUE(commands.contains("identify") && commands.contains("apply")) << Usage().toStdString();
    QStringList offers = Offers("kx9ctl ");
    commands.sort(); // bash sorts what it shows
    offers.sort();
    EXPECT_EQ(offers, commands);
    EXPECT_EQ(Offers("kx9ctl --port COM2 --address 3,9 w"), QStringList{"write"});
    EXPECT_EQ(Offers("kx9ctl --json s"), (QStringList{"status", "scan"}));
}

TEST_P(Completion, OffersWithEachCommandTheOptionsTheParserTakesWithIt) {
    const std::set<QString> usage = UsageOptions();
    std::set<QString> offeredAnywhere;
    for (const QString& command : UsageCommands()) {
        const QStringList offers = Offers("kx9ctl " + command + " --");
        for (const QString& option : usage)
            EXPECT_EQ(offers.contains(option), !RefusedWith(option, command))
                << option.toStdString() << " with " << command.toStdString();
        for (const QString& option : offers) {
            EXPECT_TRUE(usage.count(option)) << option.toStdString() << " is in no usage";
            offeredAnywhere.insert(option);
        }
    }
    EXPECT_EQ(offeredAnywhere, usage);
}

TEST_P(Completion, OffersTheRatesFramesAndPortsTheLinkTakes) {
    const QStringList rates = Offers("kx9ctl --baud ");
    EXPECT_EQ(rates.size(), qsizetype(BaudRates.size()));
    for (const QString& rate : rates)
        EXPECT_TRUE(BaudIndexOf(rate)) << rate.toStdString();
    const QStringList frames = Offers("kx9ctl scan --frames 8N2,");
    EXPECT_EQ(frames.size(), qsizetype(FrameNames.size()));
    for (const QString& frame : frames)
        EXPECT_TRUE(FrameIndexOf(frame.section(',', 1))) << frame.toStdString();
    EXPECT_EQ(Offers("kx9ctl scan --rates 9600,1152"), QStringList{"9600,115200"});

    const QStringList ports = Offers("kx9ctl --port ");
    for (int n = 1; n <= 8; ++n)
        EXPECT_TRUE(ports.contains(QStringLiteral("COM%1").arg(n)));
    for (const QString& port : ports)
        EXPECT_TRUE(port.startsWith("COM") || port.startsWith("/dev/tty") ||
                    port.startsWith("/dev/serial/by-id/"))
            << port.toStdString();
    EXPECT_FALSE(ports.contains("/dev/tty1")); // a console, no board's line

    // A link in the working folder (kx9-sim --link LINE1) is a port by its bare name; a file is not.
    ASSERT_TRUE(QFile::link("/dev/null", Here("LINE1")));
    QFile file(Here("LINE2"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_EQ(Offers("kx9ctl --port LI"), QStringList{"LINE1"});
}

TEST_P(Completion, OffersTheFilesOfTheCommandsKind) {
    for (const char* name : {"hall.cfg", "OLD.CFG", "fleet.json", "logo.svg", "photo.JPG", "notes.txt"}) {
        QFile f(Here(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(Here(".")).mkdir("sub"));
    const auto sorted = [](QStringList list) {
        list.sort();
        return list;
    };
    EXPECT_EQ(sorted(Offers("kx9ctl write ")), (QStringList{"OLD.CFG", "hall.cfg", "sub"}));
    EXPECT_EQ(sorted(Offers("kx9ctl diff hall.cfg ")), (QStringList{"OLD.CFG", "hall.cfg", "sub"}));
    EXPECT_EQ(Offers("kx9ctl diff hall.cfg OLD.CFG "), QStringList{});
    EXPECT_EQ(sorted(Offers("kx9ctl apply ")), (QStringList{"fleet.json", "sub"}));
    EXPECT_EQ(Offers("kx9ctl graphic 11"), (QStringList{"115", "116", "117", "118", "119"}));
    EXPECT_EQ(sorted(Offers("kx9ctl graphic 115 ")), (QStringList{"logo.svg", "photo.JPG", "sub"}));
    EXPECT_EQ(Offers("kx9ctl read --output-dir "), QStringList{"sub"});
}

QString FileText(const char* path) {
    QFile file(QString::fromUtf8(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return QString::fromUtf8(file.readAll());
}

QStringList Captured(const QRegularExpression& pattern, const QString& text) {
    QStringList found;
    for (auto it = pattern.globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    return found;
}

// The completion script and the manual are written by hand: each lists every command of the
// table, and nothing else.
TEST(CommandTable, EveryCommandIsInTheHelpTheCompletionAndTheManual) {
    const QStringList completion =
        Captured(QRegularExpression(R"re(local commands="([a-z ]+)")re"), FileText(KX9_COMPLETION_PATH))
            .value(0)
            .split(' ');
    const QString manual = FileText(KX9_MANUAL_PATH);
    const QStringList manualCommands = Captured(
        QRegularExpression(R"(^\.TP\n\.BI? ([a-z]+))", QRegularExpression::MultilineOption),
        manual.section(QStringLiteral("\n.SH COMMANDS\n"), 1).section(QStringLiteral("\n.SH "), 0, 0));
    const QStringList help = UsageCommands();
    for (const QStringList& list : {help, completion, manualCommands})
        EXPECT_EQ(list.size(), qsizetype(CommandTable().size())) << list.join(' ').toStdString();
    for (const CommandRow& command : CommandTable()) {
        EXPECT_TRUE(help.contains(command.name)) << command.name;
        EXPECT_TRUE(completion.contains(command.name)) << command.name;
        EXPECT_TRUE(manualCommands.contains(command.name)) << command.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Bash, Completion, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "WithBashCompletion" : "Plain";
                         });

} // namespace
} // namespace kx9::cli
