// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"

#include <QDialog>
#include <QEvent>
#include <QHash>
#include <QHideEvent>
#include <QShowEvent>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

namespace kx9 {

class Transfers;

// An editor window, and the one rule every editor keeps between what it shows and the image:
// - shown (again, after a hide): every control is loaded from the image; typing not stored
//   before the hide is gone;
// - activated while shown: only controls whose data changed since they were filled are
//   loaded again, so typing survives a message box or a change of focus;
// - a read the window started refreshes it when the transfer is over, active or not.
// A minimised window is not hidden in that sense.
class EditorWindow : public QDialog {
public:
    explicit EditorWindow(QWidget* parent = nullptr);

    // Loads what changed under the window (what an activation does).
    void Refresh();
    // Loads every control from the image (what showing the window does).
    void FillAll();
    // Stores what the window shows through its own checks when the operator changed any
    // control since the window was filled or stored; false when a check refused (after its
    // message). Unchanged, it stores nothing and shows nothing.
    bool StoreIfChanged();
    // True when the operator changed a control since the window was filled or stored.
    bool Edited() const;

    virtual void FormActivate() = 0;
    virtual void FormHide() = 0;

protected:
    // Extra work when the window is shown, before every control is loaded.
    virtual void FormShow() {}
    // Stores every field into the image through the window's checks; false when one refused.
    virtual bool StoreControls() = 0;

    // In FormActivate: a piece must be loaded when it changed since it was filled or when the
    // window is being shown afresh. `Due` notes it as shown; `Stale` leaves that to the loader.
    bool Due(ShownRevision& shown, ConfigImage::Revision now) {
        const bool changed = shown.Take(now);
        return changed || m_fillingAll;
    }
    bool Stale(const ShownRevision& shown, ConfigImage::Revision now) const {
        return m_fillingAll || shown.Changed(now);
    }
    bool FillingAll() const { return m_fillingAll; }

    // Once no transfer runs any more (the window's read stored its last reply, or failed),
    // the window is refreshed.
    void RefreshWhenDone(const Transfers& transfers);
    // What the controls show now counts as stored (after the window's own store).
    void NoteStored();

    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    using Capture = QHash<const QObject*, QString>;
    Capture CaptureControls() const;

    Capture m_filled; // what each control showed when it was last filled or stored
    bool m_fillingAll = false;
    QTimer m_afterTransfer;
    const Transfers* m_transfers = nullptr;
};

// The shown editors in a fixed order: before anything leaves the program, each stores what it
// shows; the first refusal stops it.
class EditorSet {
public:
    void Add(EditorWindow* window) { m_windows.push_back(window); }
    bool StoreShown() const;

private:
    std::vector<EditorWindow*> m_windows;
};

} // namespace kx9
