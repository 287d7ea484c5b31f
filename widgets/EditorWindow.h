// SPDX-License-Identifier: MIT
#pragma once

#include "config/ConfigImage.h"
#include "link/Dialogs.h"
#include "ops/Transfers.h"

#include <QDialog>
#include <QEvent>
#include <QHash>
#include <QHideEvent>
#include <QSet>
#include <QShowEvent>
#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

namespace kx9 {

// An editor window, and the one rule every editor keeps between what it shows and the image:
// - shown (again, after a hide): every control is loaded from the image; typing not stored
//   before the hide is gone;
// - activated while shown: only controls whose data changed since they were filled are
//   loaded again, so typing survives a message box or a change of focus;
// - a read the window started refreshes it when the transfer is over, active or not.
// A minimised window is not hidden in that sense. Changed means a control the window stores
// shows something else than it was filled with; a control that stores nothing (a preview
// switch) never counts.
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
    // Stores what the window shows of the text pages (what a page write sends); most hold none.
    virtual void StorePageText() {}
    // The program ends: stores what passes the window's checks and hides, both without a word;
    // a refused field stays out of the image.
    void StoreAndHideQuietly();

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
    // What `controls` show now is what they were filled with (a page loaded outside an
    // activation).
    void NoteFilled(std::initializer_list<const QWidget*> controls);
    // The operator changed `control` since it was filled or stored. A picker left alone stores
    // nothing, which keeps a register value it cannot show.
    bool Touched(const QWidget* control) const;
    // Controls whose changes the window's store never takes (it acts on them at once, or they
    // only steer a preview or a send): changing them is no change to store.
    void StoresNothing(std::initializer_list<const QWidget*> controls);
    // A check's refusal: its message, unless the window stores without a word.
    void Refuse(Dialogs& dialogs, const QString& text, const QString& title, MsgIcon icon) const;

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
    bool InStoresNothing(const QWidget* control) const;

    Capture m_filled; // what each control showed when it was last filled or stored
    QSet<const QObject*> m_storesNothing;
    bool m_fillingAll = false;
    bool m_quiet = false;
    QMetaObject::Connection m_afterTransfer;
    bool m_refreshDue = false;
};

// The shown editors in a fixed order: before anything leaves the program, each stores what of
// it leaves (Transfers::Leaving).
class EditorSet {
public:
    void Add(EditorWindow* window) { m_windows.push_back(window); }
    bool StoreShown(Transfers::Leaving what) const;

private:
    std::vector<EditorWindow*> m_windows;
};

} // namespace kx9
