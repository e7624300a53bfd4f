#include "app/qt/EditorWindows.h"

namespace korvel {

EditorWindows::EditorWindows(CalibrationSession& session, Prompter& prompter, QWidget* owner)
    : QObject(owner), session_(session), prompter_(prompter), owner_(owner) {}

EditorWindow* EditorWindows::Window(EditorKind kind) const {
    const Slot& slot = slots_[SlotOf(kind)];
    return slot.open ? slot.window.data() : nullptr;
}

void EditorWindows::FollowEngine(AcquisitionScheduler& scheduler, const MonitorFile& monitor) {
    scheduler_ = &scheduler;
    monitor_ = &monitor;
}

void EditorWindows::Open(EditorKind kind) {
    Slot& slot = slots_[SlotOf(kind)];
    if (slot.open && slot.window) {
        return;
    }
    EditorWindow* window = CreateEditorWindow(kind, session_, prompter_, owner_);
    if (window == nullptr) {
        return;
    }
    slot.window = window;
    slot.open = true;
    connect(window, &EditorWindow::Closed, this,
            [this, kind] { slots_[SlotOf(kind)].open = false; });
    if (scheduler_ != nullptr) {
        window->FollowEngine(*scheduler_, *monitor_);
    }
    if (kind == EditorKind::Fuel) {
        window->move(200, 200);
        window->resize(window->OpeningSize({650, 250}));
    }
    window->show();
}

void EditorWindows::CloseAll() {
    for (Slot& slot : slots_) {
        if (slot.window) {
            slot.window->close();
        }
    }
}

}  // namespace korvel
