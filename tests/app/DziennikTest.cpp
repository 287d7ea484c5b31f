// SPDX-License-Identifier: MIT
// "Dziennik transmisji": opened from the main window without moving its buttons, it shows each
// request and reply while shown, nothing while hidden, and saves what it keeps.
#include "AppTestWorld.h"
#include "common/SchedulerTicks.h"

#include <QFile>
#include <QToolButton>

namespace kx9::test {
namespace {

TEST(Dziennik, ShowsTheLineWhileOpenAndSavesIt) {
    AppWorld w;
    w.start();
    const QRect before = w.form().findChild<QToolButton*>(QStringLiteral("SpeedButton17"))->geometry();
    QAction* action = w.form().findChild<QAction*>(QStringLiteral("Dziennik"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Dziennik transmisji"));
    EXPECT_EQ(w.form().findChild<QToolButton*>(QStringLiteral("SpeedButton17"))->geometry(), before);

    TDziennik& log = *w.app->dziennik;
    const auto identify = [&] {
        ASSERT_TRUE(w.program.ops.StartIdentification());
        TickUntilIdle(w.program.scheduler, w.port);
    };
    identify(); // nobody watching
    action->trigger();
    ASSERT_TRUE(log.isVisible());
    EXPECT_TRUE(log.Memo1->toPlainText().isEmpty());
    identify();
    const QStringList lines = log.Memo1->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(QStringLiteral(" COM1 → 01 11 C0 2C"))) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("[dopasowana]"))) << lines[1].toStdString();

    w.dialogs.fileAnswers.push_back(w.path(QStringLiteral("dziennik.txt")));
    log.Button1Click();
    QFile saved(w.path(QStringLiteral("dziennik.txt")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));

    log.hide();
    identify();
    EXPECT_EQ(log.Memo1->toPlainText().split(QLatin1Char('\n')).size(), 2);
}

} // namespace
} // namespace kx9::test
