// SPDX-License-Identifier: MIT
#pragma once

#include "Edytor_stron.h"
#include "Konf_graf.h"
#include "PresentationList.h"
#include "ops/RequestChain.h"
#include "ops/Transfers.h"
#include "widgets/EditorWindow.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <array>

namespace kx9 {

// "Edytor Prezentacji Automatycznej": the sequence of pages the board shows by itself, its
// switching time, a preview on the PC or of the board's active page, and their transfers.
class TfPrezentacja : public EditorWindow {
    Q_OBJECT
public:
    TfPrezentacja(Transfers& transfers, TPStron& stron);
    // The graphics window, whose tree labels and picture files the graphic pages show.
    void SetGraphics(TKonGraf* konGraf);

    // Node `index` of the page tree (0..128, headings included); headings carry -1 in PageRole.
    static constexpr int PageRole = Qt::UserRole;
    QTreeWidgetItem* Node(int index) const;

    void CopyPageNames();
    void RebuildList();
    void ShowTextPreview(int page);
    void ShowGraphicPreview(int page);
    bool StoreInterval();
    bool StoreControls() override { return StoreInterval(); }
    void LockControls();
    void UnlockControls();
    void MoveEntryUp();
    void MoveEntryDown();
    void RemoveEntry();
    void StopPreview();

    // Handlers.
    void FormCreate();
    void FormActivate() override;
    // The registers as the window shows them, for those of its fields whose entry it would store.
    void ShownRegisters(std::vector<std::pair<int, int>>& regs) const;
    void FormHide() override;
    void TreeView1Change();
    void ListBox1Click();
    void CheckBox1Click();
    void BitBtn1Click();
    void BitBtn2Click() { RemoveEntry(); }
    void BitBtn3Click();
    void BitBtn4Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void BitBtn7Click();
    void BitBtn8Click() { MoveEntryUp(); }
    void BitBtn9Click() { MoveEntryDown(); }
    void PrezentacjaStronTimer();
    void PrezentacjaTablicyTimer();
    void Timer1Timer();
    void TestNadawaniaTimer();

    // Step of the write (1..12 while its requests go out), 0 when idle.
    int WriteStep() const { return m_chain.Sent(); }

    int SelectedPage = -1;
    int PreviewPosition = 0;

    QTreeWidget* TreeView1;
    std::array<QLineEdit*, 5> PreviewFields{}; // Edit1 .. Edit5
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    QLabel* Image1;
    QListWidget* ListBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn8;
    QPushButton* BitBtn9;
    QLabel* Label1;
    QLineEdit* Edit6;
    QLineEdit* Edit7;
    QGroupBox* GroupBox1;
    QCheckBox* CheckBox1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QLabel* Label2;
    QLineEdit* Edit8;
    QPushButton* BitBtn4;
    QPushButton* BitBtn5;
    QPushButton* BitBtn6;
    QPushButton* BitBtn7;
    QTimer* PrezentacjaStron;
    QTimer* PrezentacjaTablicy;
    QTimer* Timer1;
    QTimer* TestNadawania;

private:
    void BuildControls();
    void BuildTree();
    QLayout* BuildPreview();
    QTimer* MakeTimer(const char* name, int intervalMs);
    // Selects the node of `page` from code and runs the selection's handler once.
    void SelectNode(int page);
    void ShowPreview(int page);
    QString EntryText(int page) const;
    void ShowCount();
    int SelectedLine() const; // -1 when no line is selected
    void SelectLine(int row);
    void NoteList();
    void StartBoardPreview();
    void FinishWrite();

    static constexpr QSize PictureArea{480, 160};
    static inline const QString TitleError = QStringLiteral("Błąd");
    static inline const QString TitleNote = QStringLiteral("Uwaga");

    Transfers& m_t;
    TPStron& m_stron;
    QPointer<TKonGraf> m_konGraf;
    RequestChain m_chain;
    std::array<QTreeWidgetItem*, presentation::TreeNodes> m_nodes{};

    // The list is filled from code: its selection changes are not clicks then, and only the
    // last graphic entry's picture is loaded.
    bool m_fillingList = false;
    int m_deferredGraphic = -1;
    bool m_selectingNode = false;
    // The board preview opened the link and must let it go when it stops.
    bool m_boardPreview = false;
    // The text page the preview fields show; -1 before the first.
    int m_previewedText = -1;

    ShownRevision m_shownInterval;
    ShownRevision m_shownList;
    ShownRevision m_shownActive;
};

} // namespace kx9
