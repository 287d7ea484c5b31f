// SPDX-License-Identifier: MIT
#include "FieldHelpers.h"

#include "config/ConfigImage.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace kx9 {

std::optional<int> DecimalIn(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

void SelectOrNone(QComboBox* box, int index) {
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

namespace {

class SectionTyping : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* field = static_cast<QDateTimeEdit*>(parent());
        if (event->type() != QEvent::KeyPress || watched != field)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        if (text.size() != 1 || !text.front().isDigit())
            return false;
        const QLineEdit* line = field->findChild<QLineEdit*>();
        const QDateTimeEdit::Section section = field->currentSection();
        if (!line || line->hasSelectedText() || section == QDateTimeEdit::NoSection)
            return false;
        // Full: as long as the widest value the section can show.
        const int width = section == QDateTimeEdit::YearSection ? 4 : 2;
        if (field->sectionText(section).size() >= width)
            field->setSelectedSection(section);
        return false;
    }
};

} // namespace

void TakeTypedDigits(QDateTimeEdit* field) {
    field->installEventFilter(new SectionTyping(field));
}

void AddFrameItems(QComboBox* box) {
    for (const char* name : FrameNames)
        box->addItem(QString::fromLatin1(name));
}

void AddBaudItems(QComboBox* box) {
    for (int k = 0; k < static_cast<int>(BaudRates.size()); ++k)
        box->addItem(BaudText(k));
}

void AddFieldRow(QWidget* owner, QGridLayout* grid, int row, const QString& text, QWidget* field) {
    auto* label = new QLabel(text, owner);
    label->setObjectName(QStringLiteral("Label%1").arg(row + 1));
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1);
}

} // namespace kx9
