// Placeholder until the editor windows are built.
#include "editors/qt/EditorWindow.h"

namespace korvel {

EditorWindow* CreateEditorWindow(EditorKind, CalibrationImage&, Prompter&, QWidget* owner) {
    auto* window = new EditorWindow(owner);
    window->setWindowFlag(Qt::Window);
    return window;
}

}  // namespace korvel
