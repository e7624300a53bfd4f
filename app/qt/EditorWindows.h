#pragma once
// The five editor windows, one per kind: opened from the menu, each a
// top-level window of its own that deletes itself when closed.

#include <QObject>
#include <QPointer>
#include <array>

#include "editors/qt/EditorWindow.h"

namespace korvel {

class EditorWindows : public QObject {
    Q_OBJECT
public:
    EditorWindows(CalibrationSession& session, Prompter& prompter, QWidget* owner);

    // Opens the window of `kind`; an open one is left as it is (neither
    // raised nor focused).
    void Open(EditorKind kind);
    // The open window of a kind, or null.
    EditorWindow* Window(EditorKind kind) const;
    // Windows opened from now on mark where the engine runs, from the passes
    // of `scheduler` over `monitor`'s variables.
    void FollowEngine(AcquisitionScheduler& scheduler, const MonitorFile& monitor);
    void CloseAll();

private:
    struct Slot {
        QPointer<EditorWindow> window;
        bool open = false;  // cleared when the window reports it closed
    };
    static size_t SlotOf(EditorKind kind) { return static_cast<size_t>(kind); }

    CalibrationSession& session_;
    Prompter& prompter_;
    QWidget* owner_;
    AcquisitionScheduler* scheduler_ = nullptr;
    const MonitorFile* monitor_ = nullptr;
    std::array<Slot, 5> slots_;
};

}  // namespace korvel
