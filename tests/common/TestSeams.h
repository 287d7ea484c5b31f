// SPDX-License-Identifier: MIT
#pragma once

#include "../../config/Clock.h"
#include "../../link/Dialogs.h"

#include <QDateTime>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

namespace kx9::test {

// A settable clock whose pauses are recorded, not slept.
class FakeClock : public Clock {
public:
    QDateTime now() const override { return current; }
    void pause(int ms) override { pauses.push_back(ms); }
    QDateTime current = QDateTime(QDate(2026, 12, 7), QTime(14, 35));
    std::vector<int> pauses;
};

// Records every box and answers with scripted results.
class RecordingDialogs : public Dialogs {
public:
    struct Box {
        QString text;
        QString title;
        MsgIcon icon;
        bool confirmation;
        QString details = QString();
    };
    void message(const QString& text, const QString& title, MsgIcon icon) override {
        messageWithDetails(text, title, icon, QString());
    }
    void messageWithDetails(const QString& text, const QString& title, MsgIcon icon,
                            const QString& details) override {
        boxes.push_back({text, title, icon, false, details});
        if (onMessage)
            onMessage(boxes.back());
    }
    bool confirm(const QString& text, const QString& title, MsgIcon icon) override {
        boxes.push_back({text, title, icon, true});
        if (confirmAnswers.empty())
            return true;
        bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }
    QString openFile(const QString& filter) override { return take(filter); }
    QString saveFile(const QString& filter) override { return take(filter); }
    QString openPicture() override { return take(QString()); }

    // One field of every box so far, in order.
    std::vector<QString> Texts() const { return each(&Box::text); }
    std::vector<QString> Titles() const { return each(&Box::title); }
    std::vector<QString> Details() const { return each(&Box::details); }

    std::vector<Box> boxes;
    std::deque<bool> confirmAnswers;
    std::deque<QString> fileAnswers;
    std::vector<QString> filters;
    std::function<void(const Box&)> onMessage;

private:
    std::vector<QString> each(QString Box::*field) const {
        std::vector<QString> out;
        for (const Box& b : boxes)
            out.push_back(b.*field);
        return out;
    }
    QString take(const QString& filter) {
        filters.push_back(filter);
        if (fileAnswers.empty())
            return QString();
        QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};

} // namespace kx9::test
