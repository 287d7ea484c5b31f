// SPDX-License-Identifier: MIT
// The text page editor's schedule of the occasional pages 110..114.
#include "EditorText.h"
#include "Edytor_stron.h"
#include "config/PageLayout.h"

#include <algorithm>

namespace kx9 {

using namespace pagetext;

void TPStron::LoadOccasional(int page) {
    const int n = page - FirstOccasional;
    if (n < 0 || n >= PageCount - FirstOccasional)
        return;
    ConfigImage& image = m_t.image;
    const int date = image.Reg(RegOccasionalDate + n);
    m_loadedDate = Loaded{};
    if (date != 0) {
        CheckBox2->setChecked(true);
        CheckBox2Click();
        DateTimePicker1->setDate(layout::DecodeMonthDay(date));
        m_loadedDate = Loaded{true, date, DateTimePicker1->date(), QTime()};
    } else {
        CheckBox2->setChecked(false);
        CheckBox2Click();
    }
    const int start = image.Reg(RegOccasionalStart + n);
    const int end = image.Reg(RegOccasionalEnd + n);
    DateTimePicker2->setTime(layout::DecodeTimeOfDay(start));
    DateTimePicker3->setTime(layout::DecodeTimeOfDay(end));
    m_loadedStart = Loaded{true, start, QDate(), DateTimePicker2->time()};
    m_loadedEnd = Loaded{true, end, QDate(), DateTimePicker3->time()};
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
    // A picker left as loaded gives back the register value it was loaded from, which keeps
    // a value that no picker can show (the picker shows the nearest valid one).
    auto timeValue = [](const QTimeEdit* picker, const Loaded& loaded) {
        const QTime t = picker->time();
        if (loaded.set && t == loaded.time)
            return loaded.raw;
        return layout::EncodeTimeOfDay(t.hour(), t.minute());
    };
    image.SetReg(RegOccasionalStart + n, timeValue(DateTimePicker2, m_loadedStart));
    image.SetReg(RegOccasionalEnd + n, timeValue(DateTimePicker3, m_loadedEnd));
    const QDate d = DateTimePicker1->date();
    image.SetReg(RegOccasionalDate + n, m_loadedDate.set && d == m_loadedDate.date
                                            ? m_loadedDate.raw
                                            : layout::EncodeMonthDay(d.month(), d.day()));
    m_shownSchedule.Mark(ScheduleRevision(page));
}

} // namespace kx9
