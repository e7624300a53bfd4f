#include "editors/qt/EditorWindow.h"

#include <QCloseEvent>

#include "editors/qt/CurveEditorWindow.h"
#include "editors/qt/TableEditorWindow.h"

namespace korvel {

void EditorWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit Closed();
}

EditorWindow* CreateEditorWindow(EditorKind kind, CalibrationImage& image, Prompter& prompter,
                                 QWidget* owner) {
    switch (kind) {
        case EditorKind::Rpm:
            return new RpmCurvesWindow(image, prompter, owner);
        case EditorKind::Fuel:
            return new FuelCurvesWindow(image, prompter, owner);
        case EditorKind::Ve:
            return new VeTableWindow(image, owner);
        case EditorKind::VeLp:
            return new VeLpTableWindow(image, owner);
        case EditorKind::Spark:
            return new SparkTableWindow(image, owner);
    }
    return nullptr;
}

}  // namespace korvel
