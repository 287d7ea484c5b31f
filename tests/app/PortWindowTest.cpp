// SPDX-License-Identifier: MIT
// "Port Szeregowy" with the port names: the system's devices offered for a name, the choice
// kept per user across a restart, a chosen device that is gone shown as such.
#include "common/TestSeams.h"
#include "editors/Konfig_uart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

#ifdef Q_OS_UNIX
namespace kx9::test {
namespace {

enum class Leave { Ok, Cancel, Escape };

template <class Param> class PortWindowWith : public ::testing::TestWithParam<Param> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QFile device(adapter); // stands for the adapter's device node, with its by-id link
        ASSERT_TRUE(device.open(QIODevice::WriteOnly));
        ASSERT_TRUE(QFile::link(adapter, byId));
        ASSERT_TRUE(QDir::setCurrent(dir.path())); // no COMn links here
    }
    void TearDown() override {
        window.reset();
        QDir::setCurrent(previous);
    }
    // The program started afresh: the map from the user's file, the window shown.
    void Start() {
        window.reset();
        map = std::make_unique<PortMap>(dir.filePath("config/kx9-konfigurator/porty.ini"),
                                        [this] { return listed; });
        ASSERT_TRUE(map->Load());
        window = std::make_unique<TfKonUart>(settings, dialogs, map.get());
        window->show();
    }
    QString Row(int k) const { return window->ListBox1->item(k)->text(); }

    QTemporaryDir dir;
    QString previous = QDir::currentPath();
    QString adapter = dir.filePath("ttyUSB0");
    QString byId = dir.filePath("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    std::vector<SerialDevice> listed{{adapter, byId, "FT232R USB UART", "FTDI", "A50285BI"}};
    LinkSettings settings;
    RecordingDialogs dialogs;
    std::unique_ptr<PortMap> map;
    std::unique_ptr<TfKonUart> window;
};
using PortWindow = PortWindowWith<Leave>;

TEST_P(PortWindow, OffersTheSystemsDevicesAndKeepsTheChoiceOnlyAfterOk) {
    const QString gone = QStringLiteral("/nonexistent-kx9/by-id/usb-gone");
    Start();
    map->SetMapped("COM1", gone);
    ASSERT_TRUE(map->Save());
    Start();
    ASSERT_EQ(window->ListBox1->count(), 6);
    EXPECT_EQ(Row(0), "COM1 → " + gone + " (odłączone)");
    EXPECT_EQ(window->ComboBox4->currentText(), gone + " (odłączone)");

    window->ComboBox1->setCurrentIndex(2);
    EXPECT_EQ(window->ListBox1->currentRow(), 2);
    const int offered = window->ComboBox4->findText(adapter + " (FT232R USB UART, A50285BI)");
    ASSERT_GE(offered, 0);
    window->ComboBox4->setCurrentIndex(offered);
    window->ComboBox4Change();
    const QString chosen = "COM3 → " + adapter + " (FT232R USB UART, A50285BI)";
    EXPECT_EQ(Row(2), chosen) << Row(2).toStdString();

    const bool kept = GetParam() == Leave::Ok;
    if (GetParam() == Leave::Ok)
        QTest::mouseClick(window->Button1, Qt::LeftButton);
    else if (GetParam() == Leave::Cancel)
        QTest::mouseClick(window->Button2, Qt::LeftButton);
    else
        QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(settings.PortIndex, kept ? 2 : 0);
    EXPECT_TRUE(dialogs.boxes.empty());

    Start();
    // The stable name is what is kept, so the choice survives re-plugging.
    EXPECT_EQ(map->Mapped("COM3"), kept ? byId : QString());
    EXPECT_EQ(map->Mapped("COM1"), gone);
    EXPECT_EQ(Row(2) == chosen, kept) << Row(2).toStdString();
    window->ListBox1->setCurrentRow(2);
    EXPECT_EQ(window->ComboBox4->currentData().toString(), kept ? byId : QString());
}

INSTANTIATE_TEST_SUITE_P(LinkWindows, PortWindow, ::testing::Values(Leave::Ok, Leave::Cancel, Leave::Escape));

// The port in force, and the names the device list offers for it.
struct NamesRow {
    int portIndex;
    QStringList names;
};
using DeviceList = PortWindowWith<NamesRow>;

TEST_P(DeviceList, OffersTheNamesOkStoresAndLookingAtOneMovesNoPort) {
    settings.PortIndex = uint8_t(GetParam().portIndex);
    Start();
    QStringList names;
    for (int k = 0; k < window->ListBox1->count(); ++k)
        names << Row(k).section(QStringLiteral(" → "), 0, 0);
    EXPECT_EQ(names, GetParam().names);
    EXPECT_EQ(window->RowPort(window->ListBox1->currentRow()), GetParam().portIndex);
    const int shown = window->ComboBox1->currentIndex();
    for (int k = 0; k < window->ListBox1->count(); ++k) {
        window->ListBox1->setCurrentRow(k);
        EXPECT_EQ(window->ComboBox1->currentIndex(), shown) << k;
    }
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    EXPECT_EQ(settings.PortIndex, GetParam().portIndex);
}

const QStringList SixNames{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"};
INSTANTIATE_TEST_SUITE_P(Rows, DeviceList,
                         ::testing::Values(NamesRow{0, SixNames}, NamesRow{4, SixNames},
                                           NamesRow{6, SixNames + QStringList{"COM7"}},
                                           NamesRow{7, SixNames + QStringList{"COM8"}}));

using PluggedList = PortWindowWith<Leave>;

TEST_F(PluggedList, FollowsAdaptersPluggedAndPulledOnlyWhileShown) {
    const QString offered = adapter + " (FT232R USB UART, A50285BI)";
    listed.clear();
    Start();
    EXPECT_TRUE(window->Timer2.isActive());
    EXPECT_LT(window->ComboBox4->findText(offered), 0);
    listed = {{adapter, byId, "FT232R USB UART", "FTDI", "A50285BI"}}; // plugged in
    window->Timer2Timer();
    EXPECT_GE(window->ComboBox4->findText(offered), 0);
    listed.clear(); // pulled out
    window->Timer2Timer();
    EXPECT_LT(window->ComboBox4->findText(offered), 0);
    QTest::mouseClick(window->Button2, Qt::LeftButton);
    EXPECT_FALSE(window->Timer2.isActive()); // hidden, it looks at nothing
}

} // namespace
} // namespace kx9::test
#endif
