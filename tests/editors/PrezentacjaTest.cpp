// SPDX-License-Identifier: MIT
#include "editors/Prezentacja.h"
#include "common/PictureFiles.h"
#include "common/RequestLog.h"
#include "common/TestWorld.h"
#include "config/PageLayout.h"

#include <gtest/gtest.h>

namespace kx9 {
namespace {

using Requests = std::vector<std::string>;
const QString IntervalText =
    "Czas przełączania musi być z zakresu 1...240 sekund. Sprawdź wartość i spróbuj ponownie.";

struct ShowWorld : test::BoardWorld {
    test::InFolder here;
    TPStron stron{transfers, ops};
    TKonGraf graf{transfers};
    TfPrezentacja window{transfers, stron};

    ShowWorld() {
        image.ResetImage(clock.now());
        window.SetGraphics(&graf);
        window.FormActivate();
    }
    void SetList(const std::vector<int>& pages) {
        for (size_t k = 0; k < pages.size(); ++k)
            image.SetReg(RegPresentationFirst + int(k), pages[k]);
        image.SetReg(RegPresentationCount, int(pages.size()));
        window.FormActivate();
    }
    std::vector<int> Entries() const {
        const int32_t* first = &image.main[RegPresentationFirst - MainBase];
        return std::vector<int>(first, first + image.Reg(RegPresentationCount));
    }
    QStringList Lines() const {
        QStringList out;
        for (int k = 0; k < window.ListBox1->count(); ++k)
            out << window.ListBox1->item(k)->text();
        return out;
    }
    void Select(int page) { window.TreeView1->setCurrentItem(window.Node(presentation::NodeOfPage(page))); }
    // Page p's first line reads "P<p>".
    void NamePages(std::initializer_list<int> pages) {
        for (int p : pages)
            image.SetPage(p, layout::LinesToPage({"P" + QByteArray::number(p)}, image.Reg(RegBoardSize),
                                                 image.Reg(RegLineLength)));
    }
    void RunWrite() {
        RunUntilIdle([&] { window.Timer1->isActive() ? window.Timer1Timer() : void(); },
                     [&] { return window.Timer1->isActive(); });
    }
    Requests RequestsSummary() const { return test::RequestSummary(board.Requests()); }
};

TEST(PresentationList, NodesFollowTheFourHeadings) {
    using namespace presentation;
    const std::pair<int, int> rows[] = {{0, 1},     {99, 100},  {100, 102}, {109, 111}, {110, 113},
                                        {114, 117}, {115, 119}, {124, 128}, {125, -1},  {-1, -1}};
    for (auto [page, node] : rows) {
        EXPECT_EQ(NodeOfPage(page), node) << page;
        EXPECT_EQ(node < 0 || PageOfNode(node) == page, true) << node;
    }
    for (int heading : {0, 101, 112, 118, 129, -1})
        EXPECT_EQ(PageOfNode(heading), -1) << heading;
}

TEST(TfPrezentacja, The114thEntryIsTakenAndThe115thRefused) {
    ShowWorld w;
    const int beyond = w.image.Reg(RegPresentationFirst + 114);
    w.window.BitBtn1Click();
    w.Select(7);
    for (int i = 0; i < 115; ++i)
        w.window.BitBtn1Click();
    EXPECT_EQ(w.dialogs.Texts(), (std::vector<QString>{"Nie wybrano strony do dodania",
                                                       "Wszystkie pola prezentacji wypełnione"}));
    EXPECT_EQ(w.dialogs.boxes[1].icon, MsgIcon::Information);
    EXPECT_EQ(w.image.Reg(RegPresentationCount), 114);
    EXPECT_EQ(w.window.ListBox1->count(), 114);
    EXPECT_EQ(w.image.Reg(RegPresentationFirst + 113), 7);
    EXPECT_EQ(w.image.Reg(RegPresentationFirst + 114), beyond); // 4143 is not the list's
    EXPECT_EQ(w.window.Edit7->text(), "Liczba stron: 114");
}

TEST(TfPrezentacja, PagesShowTheirNamesAfterActivationAndTheLastIsSelected) {
    ShowWorld w;
    w.image.SetPageName(105, "Cennik");
    w.image.SetPageName(5, "Powitanie");
    w.SetList({105, 5});
    EXPECT_EQ(w.Lines(), (QStringList{"Cennik", "Powitanie"}));
    EXPECT_EQ(w.window.Node(107)->text(0), "Cennik");
    EXPECT_EQ(w.window.TreeView1->currentItem(), w.window.Node(6));
    EXPECT_EQ(w.window.SelectedPage, 5);
    w.image.SetPageName(5, "Nowa");
    w.window.FormActivate();
    EXPECT_EQ(w.Lines(), (QStringList{"Cennik", "Nowa"}));
    EXPECT_EQ(w.window.Node(119)->text(0), "115");
}

TEST(TfPrezentacja, SwitchingTimeOneTo240) {
    const std::pair<const char*, bool> rows[] = {{"240", true}, {"1", true},  {"241", false},
                                                 {"0", false},  {"x", false}, {"", false}};
    for (auto [typed, accepted] : rows) {
        ShowWorld w;
        const int before = w.image.Reg(RegPresentationTime);
        w.window.Edit6->setText(typed);
        EXPECT_EQ(w.window.StoreInterval(), accepted) << typed;
        EXPECT_EQ(w.image.Reg(RegPresentationTime), accepted ? QString(typed).toInt() : before) << typed;
        EXPECT_EQ(w.dialogs.Texts(), accepted ? std::vector<QString>{} : std::vector<QString>{IntervalText});
        if (!accepted) {
            EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
            w.window.BitBtn5Click(); // nothing is written
            EXPECT_TRUE(w.board.Requests().empty());
        }
    }
}

TEST(TfPrezentacja, MovesAndRemovalsFollowInTheRegisters) {
    struct Row {
        char op; // 'u' up, 'd' down, 'r' remove
        int row;
        std::vector<int> entries;
        int selected;
    };
    const Row rows[] = {{'u', 0, {1, 2, 3}, 0},  {'u', 1, {2, 1, 3}, 0}, {'d', 2, {1, 2, 3}, 2},
                        {'d', 0, {2, 1, 3}, 1},  {'r', 1, {1, 3}, -1},   {'r', 0, {2, 3}, -1},
                        {'r', -1, {1, 2, 3}, -1}};
    for (const Row& r : rows) {
        ShowWorld w;
        w.image.SetPageName(1, "A");
        w.image.SetPageName(2, "B");
        w.image.SetPageName(3, "C");
        w.SetList({1, 2, 3});
        w.window.ListBox1->setCurrentRow(r.row);
        (r.op == 'u' ? w.window.BitBtn8 : r.op == 'd' ? w.window.BitBtn9 : w.window.BitBtn2)->click();
        SCOPED_TRACE(std::string(1, r.op) + std::to_string(r.row));
        EXPECT_EQ(w.Entries(), r.entries);
        QStringList names;
        for (int e : r.entries)
            names << QString(QChar('A' + e - 1));
        EXPECT_EQ(w.Lines(), names);
        EXPECT_EQ(w.window.ListBox1->currentRow(), r.selected);
        EXPECT_EQ(w.window.Edit7->text(), "Liczba stron: " + QString::number(r.entries.size()));
        EXPECT_TRUE(w.dialogs.boxes.empty());
    }
}

TEST(TfPrezentacja, ClearingSetsOnlyTheCountAndAnEmptyListRefusesRemoval) {
    ShowWorld w;
    w.SetList({4, 8});
    w.window.BitBtn3Click();
    EXPECT_EQ(w.image.Reg(RegPresentationCount), 0);
    EXPECT_EQ(w.image.Reg(RegPresentationFirst + 1), 8);
    EXPECT_EQ(w.window.ListBox1->count(), 0);
    w.window.BitBtn2Click();
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text, "Lista jest pusta.\nBrak elementów do usunięcia.");
    EXPECT_EQ(w.dialogs.boxes[0].title, "Uwaga");
    w.window.CheckBox1->setChecked(true);
    EXPECT_EQ(w.dialogs.Texts().back(), "Brak stron do wyświetlenia.");
    EXPECT_FALSE(w.window.CheckBox1->isChecked());
}

TEST(TfPrezentacja, ValuesNoPageHasShowAsNumbersAndTheListStaysInItsRegisters) {
    ShowWorld w;
    w.image.SetReg(RegPresentationCount, 300);
    for (int k = 0; k < 114; ++k)
        w.image.SetReg(RegPresentationFirst + k, k == 113 ? 500 : 2);
    w.image.SetReg(4143, 9);
    w.window.FormActivate();
    EXPECT_EQ(w.window.ListBox1->count(), 114);
    EXPECT_EQ(w.Lines().back(), "500");
    EXPECT_EQ(w.window.TreeView1->currentItem(), w.window.Node(3));
    EXPECT_EQ(w.window.Edit7->text(), "Liczba stron: 300");
    w.window.BitBtn1Click();
    EXPECT_EQ(w.dialogs.Texts(), std::vector<QString>{"Wszystkie pola prezentacji wypełnione"});
    w.window.ListBox1->setCurrentRow(0);
    w.window.RemoveEntry();
    EXPECT_EQ(w.image.Reg(RegPresentationCount), 113);
    EXPECT_EQ(w.window.ListBox1->count(), 113);
    EXPECT_EQ(w.image.Reg(RegPresentationFirst + 112), 500);
    EXPECT_EQ(w.image.Reg(4143), 9);
}

TEST(TfPrezentacja, PcPreviewStepsThroughTheListAndKeepsTextAtAGraphicPage) {
    ShowWorld w;
    w.window.show();
    w.NamePages({3, 4});
    w.SetList({3, 117, 4});
    w.window.Edit6->setText("7");
    w.window.CheckBox1->setChecked(true);
    EXPECT_TRUE(w.window.PrezentacjaStron->isActive());
    EXPECT_EQ(w.window.PrezentacjaStron->interval(), 7000);
    EXPECT_FALSE(w.window.BitBtn5->isEnabled());
    EXPECT_TRUE(w.window.BitBtn7->isEnabled());
    const char* expected[][2] = {{"3", "P3"}, {"117", "P3"}, {"4", "P4"}, {"3", "P3"}};
    for (auto [number, line] : expected) {
        w.window.PrezentacjaStronTimer();
        EXPECT_EQ(w.window.Edit8->text(), number);
        EXPECT_EQ(w.window.Edit1->text().trimmed(), line);
    }
    w.window.Edit6->setText("0");
    w.window.BitBtn7Click();
    EXPECT_FALSE(w.window.PrezentacjaStron->isActive() || w.window.CheckBox1->isChecked());
    EXPECT_TRUE(w.window.TreeView1->isEnabled() && w.window.isVisible());
    EXPECT_EQ(w.dialogs.Texts(), std::vector<QString>{IntervalText});
    w.window.Edit6->setText("7");
    w.window.BitBtn7Click();
    EXPECT_FALSE(w.window.isVisible());
    EXPECT_EQ(w.dialogs.boxes.size(), 1u);
}

TEST(TfPrezentacja, ActivationShowsThePreviewedPageAsTheTextEditorLeftIt) {
    const struct {
        const char* name;
        void (*change)(ConfigImage&);
        const char* lines[2];
    } rows[] = {
        {"Text",
         [](ConfigImage& image) {
             image.SetPage(3, layout::LinesToPage({"Inna", "Druga"}, image.Reg(RegBoardSize),
                                                  image.Reg(RegLineLength)));
         },
         {"Inna", "Druga"}},
        {"LineLength16",
         [](ConfigImage& image) { image.SetReg(RegLineLength, 11); },
         {"AAAABBBBCCCCDDDD", "EEEE"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ShowWorld w;
        w.window.show();
        w.image.SetPage(3, layout::LinesToPage({"AAAABBBBCCCCDDDDEEEE"}, w.image.Reg(RegBoardSize),
                                               w.image.Reg(RegLineLength)));
        w.Select(3);
        ASSERT_EQ(w.window.Edit1->text().trimmed(), "AAAABBBBCCCCDDDDEEEE");
        row.change(w.image);
        w.window.FormActivate();
        EXPECT_EQ(w.window.Edit1->text().trimmed(), row.lines[0]);
        EXPECT_EQ(w.window.Edit2->text().trimmed(), row.lines[1]);
    }
}

TEST(TfPrezentacja, GraphicPreviewShowsTheSlotsPictureAndSaysWhenItCannot) {
    ShowWorld w;
    test::PictureFolder folder;
    const QString file = folder.Write(test::Blocks({Qt::white, Qt::red}), "logo.png");
    w.graf.SelectedSlot = 2;
    w.dialogs.fileAnswers.push_back(file);
    w.graf.BitBtn1Click();
    w.SetList({117});
    EXPECT_TRUE(w.window.Image1->isVisibleTo(&w.window));
    EXPECT_EQ(w.window.Image1->pixmap().size(), QSize(16, 8));
    w.Select(118);
    EXPECT_FALSE(w.window.Image1->isVisibleTo(&w.window));
    folder.WriteBytes("logo.png", "no picture");
    w.Select(117);
    EXPECT_FALSE(w.window.Image1->isVisibleTo(&w.window));
    ASSERT_EQ(w.dialogs.boxes.size(), 1u);
    EXPECT_EQ(w.dialogs.boxes[0].text, "Nie można wczytać pliku graficznego:\n" + file);
    EXPECT_EQ(w.dialogs.boxes[0].title, "Błąd");
    EXPECT_EQ(w.dialogs.boxes[0].icon, MsgIcon::Error);
}

TEST(TfPrezentacja, AWriteStoppedByATimeOutNeverResumes) {
    ShowWorld w;
    w.board.SetFault(BoardModel::Fault::NoReply, 1);
    w.window.BitBtn5Click();
    w.RunWrite();
    EXPECT_EQ(w.dialogs.Titles(), std::vector<QString>{"Błąd"});
    ASSERT_TRUE(w.ops.StartClockRead()); // clears the error
    w.RunWrite();
    EXPECT_EQ(w.RequestsSummary(), (Requests{"w4028x10", "r4006x3"}));
}

TEST(TfPrezentacja, BoardPreviewFollowsTheActivePageAndStopsOnAFailure) {
    ShowWorld w;
    w.NamePages({7});
    w.window.RadioButton2->setChecked(true);
    ASSERT_TRUE(w.ops.StartClockRead()); // following the board is a transfer: refused meanwhile
    w.window.CheckBox1->setChecked(true);
    EXPECT_FALSE(w.window.CheckBox1->isChecked() || w.window.PrezentacjaTablicy->isActive());
    EXPECT_EQ(
        w.dialogs.Texts(),
        std::vector<QString>{"Trwa transmisja danych. Poczekaj na jej zakończenie i spróbuj ponownie."});
    w.RunUntilIdle();
    w.window.CheckBox1->setChecked(true);
    EXPECT_TRUE(w.window.PrezentacjaTablicy->isActive());
    EXPECT_FALSE(w.window.ListBox1->isEnabled());
    w.board.SetHolding(RegActivePage, 7);
    for (int i = 0; i < 3; ++i) {
        w.window.PrezentacjaTablicyTimer();
        w.scheduler.TestOdpowiedziTimer();
    }
    EXPECT_EQ(w.window.Edit8->text(), "7");
    EXPECT_EQ(w.window.Edit1->text().trimmed(), "P7");
    // The text editor's single read is taken up here and the preview goes on.
    w.stron.ActiveReadPending = true;
    w.window.PrezentacjaTablicyTimer();
    EXPECT_FALSE(w.stron.ActiveReadPending);
    // A transfer started meanwhile is its own: the tick skips while it runs.
    ASSERT_TRUE(w.ops.StartClockRead());
    w.window.PrezentacjaTablicyTimer();
    w.board.SetFault(BoardModel::Fault::NoReply);
    w.RunUntilIdle();
    w.window.PrezentacjaTablicyTimer(); // the port opens afresh; no reply comes
    w.RunUntilIdle();
    w.window.PrezentacjaTablicyTimer();
    EXPECT_FALSE(w.window.PrezentacjaTablicy->isActive() || w.window.CheckBox1->isChecked());
    EXPECT_TRUE(w.window.ListBox1->isEnabled());
    EXPECT_EQ(w.dialogs.Texts().back(), "Błąd transmisji danych");
    EXPECT_EQ(w.RequestsSummary(),
              (Requests{"r4006x3", "r4146x1", "r4146x1", "r4146x1", "r4006x3", "r4146x1"}));
}

} // namespace
} // namespace kx9
