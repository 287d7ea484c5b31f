// SPDX-License-Identifier: MIT
#pragma once

#include "ops/BoardOps.h"
#include "ops/Transfers.h"
#include "widgets/EditorWindow.h"

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTime>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>
#include <array>

namespace kx9 {

// "Edytor Stron" - text pages, their names, the occasional schedule, and the board's
// active page and display geometry.
class TPStron : public EditorWindow {
    Q_OBJECT
public:
    TPStron(Transfers& transfers, BoardOperations& operations);
    // The scrolling and graphics windows its buttons show.
    void SetWindows(QWidget* przewijanie, QWidget* konGraf);
    // The board's display preview, shown by PreviewKey.
    void SetPreview(QWidget* preview) { m_preview = preview; }
    static constexpr auto PreviewKey = Qt::CTRL | Qt::Key_P;
    // The line fields as typed (Windows-1250), one for each line the page has; none while the
    // fields show a tracked page instead of CurrentPage.
    std::vector<QByteArray> ShownLines() const;

    // Page tree: headings carry -1 in PageRole, page nodes their page number.
    static constexpr int PageRole = Qt::UserRole;
    QTreeWidgetItem* PageNode(int page) const;
    QTreeWidgetItem* HeadingNode(int index) const; // 0 RAM, 1 EEPROM, 2 occasional

    // Operations shared with the board controls and the presentation editor.
    void ShowPage(int page);
    void StoreShownPage();
    void ApplyLineLimit();
    void LoadOccasional(int page);
    void StoreOccasional(int page);
    // The schedule registers of `page` no longer hold what LoadOccasional showed.
    bool OccasionalChangedUnder(int page) const;
    // One read of register 4146; false (after its box) when the port did not open.
    bool RequestActivePage();
    void StopTracking();

    // Handlers.
    void FormCreate();
    void FormActivate() override;
    bool StoreControls() override;
    void StorePageText() override;
    void FormHide() override;
    void TreeView1Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void CheckBox3Click();
    void CheckBox4Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Timer1Timer();

    // Page whose lines the line fields belong to; -1 = none.
    int CurrentPage = 0;
    // A single read of the active page is waiting for the next Timer1 tick.
    bool ActiveReadPending = false;

    QTreeWidget* TreeView1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLineEdit* Edit6;
    std::array<QLineEdit*, 5> LineFields{}; // Edit2 .. Edit6
    QStatusBar* StatusBar1;
    QLabel* StatusPanel0; // which page is shown
    QLabel* StatusPanel1; // line length
    QGroupBox* GroupBox1;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QDateEdit* DateTimePicker1;
    QTimeEdit* DateTimePicker2;
    QTimeEdit* DateTimePicker3;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QPushButton* BitBtn7;
    QCheckBox* CheckBox4;

    QGroupBox* GroupBox2;
    QLineEdit* Edit1;
    QPushButton* BitBtn5;
    QPushButton* BitBtn6;
    QCheckBox* CheckBox3;
    QLabel* Label1;
    QLineEdit* Edit7;
    QPushButton* Button3;
    QPushButton* Button4;
    QLabel* Label2;
    QLineEdit* Edit8;
    QPushButton* Button1;
    QPushButton* Button2;
    QTimer* Timer1;

private:
    void BuildControls();
    void BuildTree();
    void RefreshLabels();
    void LabelEdited(QTreeWidgetItem* item, int column);
    // One single-register request; false when the port did not open.
    bool SingleRequest(int reg, bool write);
    void StoreAndReload();
    void ShowCurrentAgain();
    void ShowWindow(QWidget* window);
    int Rows() const;
    int LineLength() const;

    ConfigImage::Revision PageRevision(int page) const;
    ConfigImage::Revision ScheduleRevision(int page) const;

    Transfers& m_t;
    BoardOperations& m_operations;
    QPointer<QWidget> m_przewijanie;
    QPointer<QWidget> m_konGraf;
    QPointer<QWidget> m_preview;

    std::array<QTreeWidgetItem*, 3> m_headings{};
    std::array<QTreeWidgetItem*, PageCount> m_nodes{};
    bool m_updatingLabels = false;
    // The line fields show a page followed by tracking, not CurrentPage.
    bool m_showingTracked = false;

    // What the controls last showed of the image; activation reloads only what changed since.
    ShownRevision m_shownAllowed;
    ShownRevision m_shownActive;
    ShownRevision m_shownGeometry;
    ShownRevision m_shownDoubleHeight;
    ShownRevision m_shownPage;
    ShownRevision m_shownSchedule;
};

} // namespace kx9
