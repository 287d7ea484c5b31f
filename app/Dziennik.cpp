// SPDX-License-Identifier: MIT
#include "Dziennik.h"

#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QSaveFile>
#include <QVBoxLayout>

namespace kx9 {

TDziennik::TDziennik(ModbusLink& link, Dialogs& dialogs) : m_link(link), m_dialogs(dialogs) {
    setObjectName(QStringLiteral("Dziennik"));
    setWindowTitle(QStringLiteral("Dziennik transmisji"));
    resize(720, 360);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setMaximumBlockCount(KeptLines);
    Memo1->setFont(QFont(QStringLiteral("Monospace"), 9));
    Button1 = new QPushButton(QStringLiteral("Zapisz"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setToolTip(QStringLiteral("Zapisuje dziennik do pliku tekstowego"));
    Button2 = new QPushButton(QStringLiteral("Wyczyść"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button3 = new QPushButton(QStringLiteral("Zamknij"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    buttons->addWidget(Button3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1, 1);
    layout->addLayout(buttons);
    connect(Button1, &QPushButton::clicked, this, &TDziennik::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TDziennik::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &QDialog::hide);
}

TDziennik::~TDziennik() {
    m_link.SetTrace(nullptr);
}

void TDziennik::showEvent(QShowEvent* event) {
    m_link.SetTrace(this);
    QDialog::showEvent(event);
}

void TDziennik::hideEvent(QHideEvent* event) {
    m_link.SetTrace(nullptr);
    QDialog::hideEvent(event);
}

void TDziennik::Record(Event event, const QString& line, const uint8_t* bytes, int length,
                       const LinkFailure& verdict, const QString& note) {
    Memo1->appendPlainText(
        TraceText(QDateTime::currentMSecsSinceEpoch(), event, line, bytes, length, verdict, note));
}

void TDziennik::Button1Click() {
    const QString path = m_dialogs.saveFile(QStringLiteral("Plik tekstowy (*.txt)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    const QByteArray text = (Memo1->toPlainText() + QLatin1Char('\n')).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        m_dialogs.message(QStringLiteral("Nie można zapisać pliku: ") + path, QStringLiteral("Błąd"),
                          MsgIcon::Error);
}

void TDziennik::Button2Click() {
    Memo1->clear();
}

} // namespace kx9
