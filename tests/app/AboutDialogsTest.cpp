// SPDX-License-Identifier: MIT
#include "app/About.h"
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace kx9 {
namespace {

TEST(AboutWindow, ShowsTheProgramAndClosesWithItsButton) {
    TfAbout about;
    EXPECT_EQ(about.windowTitle(), "Informacje o programie");
    EXPECT_EQ(about.size(), QSize(274, 159));
    EXPECT_EQ(about.Label1->text(), "KX9 Konfigurator");
    EXPECT_GT(about.Label1->font().pointSizeF(), about.Label2->font().pointSizeF());
    EXPECT_EQ(about.Label2->text(), "Wersja 1.01");
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(100, 60));
    EXPECT_LT(about.Image1->x(), about.Label1->x());
    EXPECT_EQ(about.BitBtn1->text(), "&Zamknij");
    EXPECT_EQ(about.BitBtn1->toolTip(), "Zamknij");
    // Every text stays inside the window.
    for (QLabel* label : about.findChildren<QLabel*>())
        EXPECT_LE(label->x() + label->sizeHint().width(), about.width()) << label->text().toStdString();

    QTimer::singleShot(0, [&] { QTest::mouseClick(about.BitBtn1, Qt::LeftButton); });
    about.exec();
    EXPECT_FALSE(about.isVisible());
}

struct Seen {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool ownerless = false;
    int buttons = 0;
};

// Looks at the box the seam opened and answers it with `answer`.
void answerBox(Seen& seen, QMessageBox::StandardButton answer) {
    QTimer::singleShot(0, [&seen, answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        seen.ownerless = box->parentWidget() == nullptr;
        seen.buttons = static_cast<int>(box->standardButtons());
        box->button(answer)->click();
    });
}

TEST(QtDialogs, MessageBoxesHaveNoOwnerAndTheRightIcon) {
    const std::pair<MsgIcon, QMessageBox::Icon> icons[] = {
        {MsgIcon::Information, QMessageBox::Information},
        {MsgIcon::Error, QMessageBox::Critical},
        {MsgIcon::Warning, QMessageBox::Warning},
        {MsgIcon::Question, QMessageBox::Question},
        {MsgIcon::None, QMessageBox::NoIcon},
    };
    QtDialogs dialogs;
    for (const auto& [ours, qt] : icons) {
        Seen seen;
        answerBox(seen, QMessageBox::Ok);
        dialogs.message("Błąd transmisji danych", "Błąd", ours);
        EXPECT_EQ(seen.text, "Błąd transmisji danych");
        EXPECT_EQ(seen.title, "Błąd");
        EXPECT_EQ(seen.icon, qt);
        EXPECT_TRUE(seen.ownerless);
        EXPECT_EQ(seen.buttons, int(QMessageBox::Ok));
    }
}

TEST(QtDialogs, ConfirmationIsOkOrCancel) {
    QtDialogs dialogs;
    Seen seen;
    answerBox(seen, QMessageBox::Ok);
    EXPECT_TRUE(dialogs.confirm("Kontynuować?", "Zapisać rozmiar?", MsgIcon::Question));
    EXPECT_EQ(seen.buttons, int(QMessageBox::Ok | QMessageBox::Cancel));
    EXPECT_EQ(seen.title, "Zapisać rozmiar?");
    answerBox(seen, QMessageBox::Cancel);
    EXPECT_FALSE(dialogs.confirm("Kontynuować?", "Zapisać rozmiar?", MsgIcon::Question));
}

TEST(QtDialogs, FileDialogsOfferTheFilterAndCancelToNothing) {
    QtDialogs dialogs;
    const std::function<QString()> calls[] = {
        [&] { return dialogs.openFile("KX9 Konfig (*.cfg)"); },
        [&] { return dialogs.saveFile("KX9 Konfig (*.cfg)"); },
        [&] { return dialogs.openPicture(); },
    };
    for (size_t i = 0; i < 3; ++i) {
        QStringList filters;
        QTimer::singleShot(0, [&filters] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            filters = dialog->nameFilters();
            dialog->reject();
        });
        EXPECT_TRUE(calls[i]().isEmpty());
        ASSERT_FALSE(filters.isEmpty());
        if (i < 2) {
            EXPECT_EQ(filters, QStringList{"KX9 Konfig (*.cfg)"});
        } else {
            EXPECT_TRUE(filters[0].contains("*.bmp") && filters[0].contains("*.png"))
                << filters[0].toStdString();
        }
    }
}

} // namespace
} // namespace kx9
