// SPDX-License-Identifier: MIT
// The text page editor's board controls: the active page, its tracking, and the display geometry.
#include "EditorText.h"
#include "Edytor_stron.h"
#include "config/PageLayout.h"

#include <QSignalBlocker>

namespace kx9 {

using namespace pagetext;

namespace {

constexpr int StopPauseMs = 300;

const QString TrackingName = QStringLiteral("Śledzenie aktywnej strony");

// The window's name for each of its single-register transfers, for a failure's details.
QString SingleRequestName(int reg, bool write) {
    switch (reg) {
    case RegActivePage:
        return write ? QStringLiteral("Zmiana aktywnej strony") : QStringLiteral("Odczyt aktywnej strony");
    case RegLineLength:
        return write ? QStringLiteral("Zapis liczby znaków w wierszu")
                     : QStringLiteral("Odczyt liczby znaków w wierszu");
    case RegBoardSize:
        return write ? QStringLiteral("Zapis rozmiaru tablicy") : QStringLiteral("Odczyt rozmiaru tablicy");
    default:
        return QString();
    }
}

} // namespace

bool TPStron::SingleRequest(int reg, bool write) {
    const Transfers::Kind kind = write ? Transfers::Kind::Write : Transfers::Kind::Read;
    if (!m_t.Single(kind, reg, 1, SingleRequestName(reg, write)))
        return false;
    if (write)
        m_t.progress.SetProgress(0);
    m_t.progress.ShowProgress(QString());
    return true;
}

void TPStron::StoreAndReload() {
    StoreShownPage();
    if (CurrentPage >= 0)
        ShowPage(CurrentPage);
}

void TPStron::BitBtn5Click() {
    int page = 0;
    if (!ParseInt(Edit1, &page) || static_cast<unsigned>(page) > LastActivePage) {
        m_t.dialogs.message(PageNumberText, PageNumberTitle, MsgIcon::Error);
        return;
    }
    m_t.image.SetReg(RegActivePage, page);
    SingleRequest(RegActivePage, true);
}

bool TPStron::RequestActivePage() {
    if (!m_t.ReadActivePage()) {
        m_t.dialogs.message(QStringLiteral("Błąd otwarcia"), QString(), MsgIcon::None);
        return false;
    }
    m_t.progress.SetProgress(0);
    return true;
}

void TPStron::BitBtn6Click() {
    if (!m_t.MayStart(SingleRequestName(RegActivePage, false)))
        return;
    RequestActivePage();
    m_t.CloseWhenIdle();
    ActiveReadPending = true;
    Timer1->start();
}

void TPStron::CheckBox3Click() {
    if (!CheckBox3->isChecked()) {
        StopTracking();
        return;
    }
    // Tracking is a transfer: refused while another runs, whose port it must not touch.
    if (!m_t.MayStart(TrackingName)) {
        const QSignalBlocker quiet(CheckBox3);
        CheckBox3->setChecked(false);
        return;
    }
    m_t.ClearFailure();
    if (!m_t.OpenPort()) {
        // Unchecking runs this handler again, which stops the tracking.
        CheckBox3->setChecked(false);
        return;
    }
    Timer1->start();
    TreeView1->setEnabled(false);
}

void TPStron::StopTracking() {
    Timer1->stop();
    m_t.clock.pause(StopPauseMs);
    // Another transfer may be using the port by now (anything but a read of the active page in
    // flight): the watchdog closes it after that one.
    m_t.StopFollowing();
    TreeView1->setEnabled(true);
    ShowCurrentAgain();
}

void TPStron::ShowCurrentAgain() {
    if (!m_showingTracked)
        return;
    m_showingTracked = false;
    if (CurrentPage >= 0) {
        ShowPage(CurrentPage);
    } else {
        for (QLineEdit* field : LineFields)
            field->clear();
    }
}

void TPStron::Timer1Timer() {
    ConfigImage& image = m_t.image;
    if (m_t.Failed()) {
        Timer1->stop();
        CheckBox3->setChecked(false);
        TreeView1->setEnabled(true);
        ActiveReadPending = false;
        ShowCurrentAgain();
        return;
    }
    if (ActiveReadPending) {
        ActiveReadPending = false;
        // A single read asked for during tracking must not stop the tracking.
        if (!CheckBox3->isChecked())
            Timer1->stop();
        Edit1->setText(QString::number(image.Reg(RegActivePage)));
        m_shownActive.Take(image.RegsRevision(RegActivePage));
        return;
    }
    if (!CheckBox3->isChecked()) {
        // The single read was taken up elsewhere (the presentation preview shares the flag).
        Timer1->stop();
        return;
    }
    // Another transfer (or this tracking's own read) runs: skip the tick without a word.
    if (m_t.StartQuietly(TrackingName)) {
        if (!RequestActivePage()) {
            // The port cannot be opened: one pair of boxes, then tracking stops.
            CheckBox3->setChecked(false);
            return;
        }
    }
    const int active = image.Reg(RegActivePage);
    Edit1->setText(QString::number(active));
    m_shownActive.Take(image.RegsRevision(RegActivePage));
    if (active >= 0 && active < PageCount) {
        ShowPage(active);
        m_showingTracked = true;
    }
}

void TPStron::Button1Click() {
    SingleRequest(RegLineLength, false);
    ApplyLineLimit();
    StoreAndReload();
}

void TPStron::Button2Click() {
    int typed = 0;
    const bool number = ParseInt(Edit8, &typed);
    const layout::LineLengthResult result =
        number ? layout::EncodeLineLength(typed, m_t.image.Reg(RegBoardSize)) : layout::LineLengthResult{};
    if (!number || result.refusal != layout::LineLengthRefusal::None) {
        if (number && result.refusal == layout::LineLengthRefusal::Over200)
            m_t.dialogs.message(Over200Text, LineLengthTitle, MsgIcon::Error);
        else if (number && result.refusal == layout::LineLengthRefusal::ShorterThanBoard)
            m_t.dialogs.message(ShorterText, LineLengthTitle, MsgIcon::Error);
        // Every refusal ends with the page-size box.
        m_t.dialogs.message(Over200Text, LineLengthTitle, MsgIcon::Error);
        return;
    }
    m_t.image.SetReg(RegLineLength, result.code);
    SingleRequest(RegLineLength, true);
    ApplyLineLimit();
    StoreAndReload();
}

void TPStron::Button3Click() {
    SingleRequest(RegBoardSize, false);
    StoreAndReload();
}

void TPStron::Button4Click() {
    // Both geometry fields are taken as they stand before any box can take the focus.
    int typed = 0;
    const bool number = ParseInt(Edit7, &typed);
    if (m_t.dialogs.confirm(BoardSizeQuestion, BoardSizeQuestionTitle, MsgIcon::Question)) {
        const std::optional<int> code = number ? layout::EncodeBoardSize(typed) : std::nullopt;
        // The fields are kept before the new geometry lays the page out again, so that text
        // typed since the last store survives.
        StoreShownPage();
        if (!number)
            m_t.dialogs.message(BoardSizeText, LineLengthTitle, MsgIcon::Error);
        if (!code) {
            m_t.dialogs.message(BoardSizeText, LineLengthTitle, MsgIcon::Error);
        } else {
            m_t.image.SetReg(RegBoardSize, *code);
        }
        if (CurrentPage >= 0)
            ShowPage(CurrentPage);
        if (code)
            SingleRequest(RegBoardSize, true);
    }
    StoreAndReload();
}

} // namespace kx9
