// SPDX-License-Identifier: MIT
#pragma once

#include "widgets/EditorWindow.h"

#include "SlaveFields.h"
#include "ops/RequestChain.h"
#include "ops/Transfers.h"

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <array>

namespace kx9 {

// "Konfiguracja połączenia z zewnętrznymi urządzeniami" - the external devices the board polls.
class TfKonfigSlave : public EditorWindow {
    Q_OBJECT
public:
    explicit TfKonfigSlave(Transfers& transfers);

    // Tree nodes carry the page they show in NodeRole: LinkNode, NoNode (the devices' group
    // node) or a device 0..4.
    static constexpr int NodeRole = Qt::UserRole;
    static constexpr int LinkNode = 10;
    static constexpr int NoNode = -1;
    QTreeWidgetItem* Node(int selector) const;

    void LoadLinkPage();
    void StoreLinkPage();
    void LoadDevicePage(int device);
    void StoreDevicePage(int device);
    void SetDevicePageEnabled(bool on);

    // Handlers.
    void FormCreate();
    void FormActivate() override;
    void FormHide() override;
    void TreeView1Change();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn5Click();
    void Timer1Timer();

    // Page the controls belong to.
    int ShownNode = NoNode;
    // Requests sent so far by a running write or read (1 or 2); 0 when it is not running.
    int WriteStep() const;
    int ReadStep() const;

    QTreeWidget* TreeView1;
    QStackedWidget* Notebook1;
    QWidget* KonTrans;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QLineEdit* Edit1;
    QWidget* KonSlave;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    QComboBox* ComboBox3;
    QLineEdit* Edit7;
    QComboBox* ComboBox4;
    QLineEdit* Edit8;
    QStatusBar* StatusBar1;
    QLabel* StatusPanel0;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn5;
    QTimer* Timer1;

private:
    enum class Kind { None, Write, Read };

    void BuildControls();
    void BuildTree();
    static bool IsDevice(int node) { return node >= 0 && node < slave::Devices; }
    slave::LinkEntry LinkShown() const;
    slave::DeviceEntry DeviceShown() const;
    // Stores the page the controls belong to; the messages come after every field is taken.
    std::vector<QString> StoreShown();
    bool StoreControls() override;
    void ShowMessages(const std::vector<QString>& messages);
    void Start(Kind kind);
    void Finish(Kind kind);

    ConfigImage::Revision LinkRevision() const;
    ConfigImage::Revision DeviceRevision(int device) const;

    Transfers& m_t;
    RequestChain m_chain;
    Kind m_running = Kind::None;
    std::array<QTreeWidgetItem*, slave::Devices> m_devices{};
    QTreeWidgetItem* m_linkNode = nullptr;
    QTreeWidgetItem* m_groupNode = nullptr;

    // What the controls last showed of the image; activation reloads only what changed since.
    ShownRevision m_shownLink;
    ShownRevision m_shownDevice;
};

} // namespace kx9
