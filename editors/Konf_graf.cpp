// SPDX-License-Identifier: MIT
#include "Konf_graf.h"

#include "config/SlotFiles.h"
#include "widgets/TextFields.h"

#include <QDir>
#include <QFileInfo>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kx9 {

namespace {

constexpr int ChainIntervalMs = 20;
constexpr int FramePauseMs = 50;
constexpr int FrameWords = 100;
constexpr int FramesPerSlot = 6;
constexpr int NodeRole = Qt::UserRole;

const QString NoSlotText =
    QStringLiteral("Zaznacz tablicę dla której chcesz\n wykonać przypisanie i spróbuj ponownie");
const QString NoSlotTitle = QStringLiteral("Nie wybrano tablicy");
const QString UnreadableText = QStringLiteral("Nie można wczytać pliku graficznego:");
const QString GoneText = QStringLiteral("Nie znaleziono pliku graficznego:");

static_assert(SlotFileCount == dots::GraphicSlots);

bool IsSlot(int slot) {
    return slot >= 0 && slot < dots::GraphicSlots;
}

} // namespace

void PaintBox::SetImage(const QImage& image) {
    m_image = image;
    update();
}

void PaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

TKonGraf::TKonGraf(Transfers& transfers)
    : Timer1(new QTimer(this)), m_t(transfers), m_chain(transfers, *Timer1) {
    setObjectName(QStringLiteral("KonGraf"));
    setWindowTitle(QStringLiteral("Konfiguracja Grafik"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BuildControls();
    const SlotFileList kept = LoadSlotFiles(&m_slotFilesProblem);
    std::copy(kept.begin(), kept.end(), m_files.begin());
    RecreateSlotBitmaps();
}

void TKonGraf::KeepSlotFiles() {
    SlotFileList files;
    std::copy(m_files.begin(), m_files.end(), files.begin());
    // Not being able to keep them costs the next run's assignments, not this one's; said, so
    // that the operator knows before then.
    QString path;
    if (!SaveSlotFiles(files, &path))
        m_t.dialogs.message(QStringLiteral("Nie można zapisać pliku: ") + QDir::toNativeSeparators(path),
                            QStringLiteral("Błąd zapisu pliku"), MsgIcon::Error);
}

void TKonGraf::BuildControls() {
    TreeView1 = new QTreeWidget(this);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setMaximumWidth(180);
    auto* root = new QTreeWidgetItem(TreeView1, {QStringLiteral("Strony Graficzne")});
    root->setData(0, NodeRole, 0);
    for (int k = 0; k < dots::GraphicSlots; ++k) {
        m_nodes[size_t(k)] = new QTreeWidgetItem(root, {QString::number(dots::FirstGraphicPage + k)});
        m_nodes[size_t(k)]->setData(0, NodeRole, k);
    }
    TreeView1->expandAll();
    TreeView1->setCurrentItem(m_nodes[0]);

    // The picture at its own size, clipped to the control.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image1->setMinimumSize(320, 160);
    Image1->hide();
    auto* original = new QWidget(this); // keeps its place while Image1 is hidden
    original->setMinimumSize(Image1->minimumSize());
    auto* originalLayout = new QGridLayout(original);
    originalLayout->setContentsMargins(0, 0, 0, 0);
    originalLayout->addWidget(Image1, 0, 0);

    PaintBox1 = new PaintBox(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->setMinimumSize(320, 80);

    BitBtn1 = MakeButton(this, "BitBtn1", QStringLiteral("Przypisz Grafike"),
                         QStringLiteral("Przypisuje grafike do strony"));
    BitBtn2 = MakeButton(this, "BitBtn2", QStringLiteral("Usuń Grafike"),
                         QStringLiteral("Usuwa grafike ze strony"));
    BitBtn4 = MakeButton(this, "BitBtn4", QStringLiteral("Zapisz do KX9"),
                         QStringLiteral("Zapisuje grafike do KX9"));
    BitBtn5 = MakeButton(this, "BitBtn5", QStringLiteral("Zamknij"), QStringLiteral("Zamyka to okno"));

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusBar1->addWidget(StatusPanel0, 1);

    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(ChainIntervalMs);
    Timer1->setTimerType(Qt::PreciseTimer);

    auto* pictures = new QVBoxLayout;
    pictures->addWidget(new QLabel(QStringLiteral("Oryginał"), this));
    pictures->addWidget(original, 1);
    pictures->addWidget(new QLabel(QStringLiteral("Podgląd"), this));
    pictures->addWidget(PaintBox1);
    auto* body = new QHBoxLayout;
    body->addWidget(TreeView1);
    body->addLayout(pictures, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {BitBtn1, BitBtn2, BitBtn4})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn5);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body, 1);
    outer->addLayout(buttons);
    outer->addWidget(StatusBar1);

    // The highlighted row is the page acted on, however it was selected.
    connect(TreeView1, &QTreeWidget::itemSelectionChanged, this, &TKonGraf::TreeView1Change);
    connect(BitBtn1, &QPushButton::clicked, this, &TKonGraf::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TKonGraf::BitBtn2Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TKonGraf::BitBtn4Click);
    connect(BitBtn5, &QPushButton::clicked, this, &TKonGraf::BitBtn5Click);
    connect(Timer1, &QTimer::timeout, this, &TKonGraf::Timer1Timer);
}

QString TKonGraf::SlotFile(int page) const {
    const int slot = page - dots::FirstGraphicPage;
    return IsSlot(slot) ? m_files[size_t(slot)] : QString();
}

void TKonGraf::FormShow() {
    RecreateSlotBitmaps();
    // A file kept from an earlier run that is gone now: said once, and the slot says it too.
    QStringList gone;
    for (const QString& file : m_files)
        if (!file.isEmpty() && !QFileInfo::exists(file) && !m_reportedGone.contains(file))
            gone << file;
    m_reportedGone << gone;
    if (!gone.isEmpty())
        m_t.dialogs.message(GoneText + "\n" + gone.join('\n'), QStringLiteral("Błąd"), MsgIcon::Error);
    // The status line and preview are right at once, not only after the first activation.
    ShowSelectedSlot();
}

void TKonGraf::FormActivate() {
    ShowSelectedSlot();
}

void TKonGraf::RecreateSlotBitmaps() {
    m_size = dots::GraphicSize(m_t.image.Reg(RegBoardSize), m_t.image.Reg(RegLineLength));
    for (QImage& bitmap : m_bitmaps)
        bitmap = dots::BlankBitmap(m_size);
}

void TKonGraf::ShowSelectedSlot() {
    const QString file = IsSlot(SelectedSlot) ? m_files[size_t(SelectedSlot)] : QString();
    if (file.isEmpty()) {
        Image1->hide();
        Image1->clear();
        StatusPanel0->setText(QStringLiteral("Nie przypisano grafiki"));
    } else if (!QFileInfo::exists(file)) {
        Image1->hide();
        Image1->clear();
        m_bitmaps[size_t(SelectedSlot)] = dots::BlankBitmap(m_size);
        StatusPanel0->setText(GoneText + QStringLiteral(" ") + file);
    } else {
        const QImage original = dots::LoadPicture(file);
        Image1->setPixmap(QPixmap::fromImage(original));
        Image1->setVisible(!original.isNull());
        m_bitmaps[size_t(SelectedSlot)] = dots::DrawToBoard(dots::LoadPicture(file, m_size), m_size);
        StatusPanel0->setText(file);
    }
    PaintBox1->SetImage(IsSlot(SelectedSlot) ? m_bitmaps[size_t(SelectedSlot)] : QImage());
}

void TKonGraf::TreeView1Change() {
    const QList<QTreeWidgetItem*> selected = TreeView1->selectedItems();
    if (selected.isEmpty())
        return;
    SelectedSlot = selected.first()->data(0, NodeRole).toInt();
    ShowSelectedSlot();
}

void TKonGraf::BitBtn1Click() {
    if (!IsSlot(SelectedSlot)) {
        m_t.dialogs.message(NoSlotText, NoSlotTitle, MsgIcon::Information);
    } else if (const QString file = m_t.dialogs.openPicture(); !file.isEmpty()) {
        const QImage picture = dots::LoadPicture(file, m_size);
        if (picture.isNull()) {
            // The slot keeps what it had.
            m_t.dialogs.message(UnreadableText + "\n" + file, QStringLiteral("Błąd"), MsgIcon::Error);
        } else {
            m_files[size_t(SelectedSlot)] = file;
            m_bitmaps[size_t(SelectedSlot)] = dots::DrawToBoard(picture, m_size);
            KeepSlotFiles();
        }
    }
    ShowSelectedSlot();
}

void TKonGraf::BitBtn2Click() {
    if (!IsSlot(SelectedSlot)) {
        m_t.dialogs.message(NoSlotText, NoSlotTitle, MsgIcon::Information);
    } else {
        // Blank at once: a send before the next showing must not carry the removed picture.
        m_files[size_t(SelectedSlot)].clear();
        KeepSlotFiles();
        m_bitmaps[size_t(SelectedSlot)] = dots::BlankBitmap(m_size);
    }
    ShowSelectedSlot();
}

void TKonGraf::ConvertSlot(int slot) {
    QImage& bitmap = m_bitmaps[size_t(slot)];
    const QString& file = m_files[size_t(slot)];
    if (!file.isEmpty()) {
        const QImage picture = dots::LoadPicture(file, m_size);
        if (picture.isNull())
            m_unreadable << file;
        bitmap = dots::DrawToBoard(picture, m_size);
    }
    dots::PackDots(bitmap, m_matrix);
    dots::PackWords(m_matrix, m_buffer);
}

bool TKonGraf::SendFrame(int slot, int first, int count, bool firstOfSlot) {
    if (firstOfSlot) {
        ConvertSlot(slot);
        m_buffer[0] = slot;
    } else {
        m_t.clock.pause(FramePauseMs);
    }
    const Transfers::Port port = firstOfSlot && slot == 0 ? Transfers::Port::Open : Transfers::Port::AsIs;
    return m_t.SendWords(first, count, m_buffer.data(), dots::BufferWords, port);
}

void TKonGraf::BitBtn4Click() {
    std::vector<ChainStep> steps;
    for (int k = 0; k < dots::GraphicSlots; ++k) {
        const QString page = QStringLiteral("strona graficzna %1").arg(dots::FirstGraphicPage + k);
        // Registers 0..100 carry the slot number and the first hundred words.
        steps.push_back({[this, k] { return SendFrame(k, 0, FrameWords + 1, true); }, -1, page});
        for (int f = 1; f < FramesPerSlot; ++f) {
            const bool last = f == FramesPerSlot - 1;
            steps.push_back({[this, k, f, last] {
                                 // Register 600 goes along only when the page reaches it.
                                 const bool word600 = last && dots::UsedBytes(m_size) > dots::MatrixBytes - 2;
                                 return SendFrame(k, f * FrameWords, FrameWords + (word600 ? 1 : 0), false);
                             },
                             10 * k + 2 * f, page});
        }
    }
    m_unreadable.clear();
    const QString name = QStringLiteral("Transmisja Grafiki");
    if (!m_chain.Start(
            std::move(steps), [this] { FinishSend(); }, name))
        return;
    m_t.ShowFromZero(name);
}

void TKonGraf::FinishSend() {
    m_t.ClosePort();
    m_t.progress.HideProgress();
    // Those pages went out blank; say so rather than let it pass unseen.
    if (!m_unreadable.isEmpty())
        m_t.dialogs.message(UnreadableText + "\n" + m_unreadable.join('\n'), QStringLiteral("Błąd"),
                            MsgIcon::Error);
}

void TKonGraf::BitBtn5Click() {
    hide();
}

void TKonGraf::Timer1Timer() {
    m_chain.Tick();
}

} // namespace kx9
