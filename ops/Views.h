// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <cstdint>

namespace kx9 {

// The progress window as the operations and the editors drive it.
class ProgressView {
public:
    virtual ~ProgressView() = default;
    virtual void ShowProgress(const QString& title) = 0; // empty title keeps the one shown
    virtual void SetProgress(int percent) = 0;
    virtual void HideProgress() = 0;
};

// Forwards to the progress window once there is one; headless programs leave it empty.
class ProgressRelay : public ProgressView {
public:
    void Attach(ProgressView* view) { m_view = view; }
    void ShowProgress(const QString& title) override {
        if (m_view)
            m_view->ShowProgress(title);
    }
    void SetProgress(int percent) override {
        if (m_view)
            m_view->SetProgress(percent);
    }
    void HideProgress() override {
        if (m_view)
            m_view->HideProgress();
    }

private:
    ProgressView* m_view = nullptr;
};

// The status window: shows the six bit texts of `status` modally and returns the register
// with the bits the operator chose to clear cleared.
class StatusView {
public:
    virtual ~StatusView() = default;
    virtual uint16_t ShowStatus(uint16_t status) = 0;
};

} // namespace kx9
