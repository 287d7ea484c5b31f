// SPDX-License-Identifier: MIT
// The text page editor's schedule of the occasional pages 110..114.
#include "EditorText.h"
#include "Edytor_stron.h"
#include "config/PageLayout.h"

#include <algorithm>
#include <utility>

namespace kx9 {

using namespace pagetext;

void TPStron::LoadOccasional(int page) {
    const int n = page - FirstOccasional;
    if (n < 0 || n >= PageCount - FirstOccasional)
        return;
    ConfigImage& image = m_t.image;
    const int date = image.Reg(RegOccasionalDate + n);
    if (date != 0) {
        CheckBox2->setChecked(true);
        CheckBox2Click();
        DateTimePicker1->setDate(layout::DecodeMonthDay(date));
    } else {
        CheckBox2->setChecked(false);
        CheckBox2Click();
    }
    const int start = image.Reg(RegOccasionalStart + n);
    const int end = image.Reg(RegOccasionalEnd + n);
    DateTimePicker2->setTime(layout::DecodeTimeOfDay(start));
    DateTimePicker3->setTime(layout::DecodeTimeOfDay(end));
    NoteFilled({CheckBox2, DateTimePicker1, DateTimePicker2, DateTimePicker3});
    m_shownSchedule.Mark(ScheduleRevision(page));
}

bool TPStron::OccasionalChangedUnder(int page) const {
    return m_shownSchedule.Changed(ScheduleRevision(page));
}

ConfigImage::Revision TPStron::ScheduleRevision(int page) const {
    const int n = page - FirstOccasional;
    const ConfigImage& image = m_t.image;
    return std::max({image.RegsRevision(RegOccasionalDate + n), image.RegsRevision(RegOccasionalStart + n),
                     image.RegsRevision(RegOccasionalEnd + n)});
}

void TPStron::StoreOccasional(int page) {
    const int n = page - FirstOccasional;
    if (n < 0 || n >= PageCount - FirstOccasional)
        return;
    ConfigImage& image = m_t.image;
    if (!CheckBox2->isChecked()) {
        image.SetReg(RegOccasionalDate + n, 0);
        m_shownSchedule.Mark(ScheduleRevision(page));
        return;
    }
    // A picker left alone stores nothing, which keeps a value that no picker can show (the
    // picker shows the nearest valid one). A date switched on stores the date shown.
    for (const auto& [picker, reg] : {std::pair{DateTimePicker2, RegOccasionalStart + n},
                                      std::pair{DateTimePicker3, RegOccasionalEnd + n}}) {
        if (Touched(picker)) {
            const QTime t = picker->time();
            image.SetReg(reg, layout::EncodeTimeOfDay(t.hour(), t.minute()));
        }
    }
    if (Touched(DateTimePicker1) || Touched(CheckBox2)) {
        const QDate d = DateTimePicker1->date();
        image.SetReg(RegOccasionalDate + n, layout::EncodeMonthDay(d.month(), d.day()));
    }
    m_shownSchedule.Mark(ScheduleRevision(page));
}

} // namespace kx9
