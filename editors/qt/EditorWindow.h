#pragma once
// The five curve and table editor windows, as the main window sees them:
// separate top-level windows over the calibration image, one per kind.

#include <QWidget>

#include "calib/CalibrationImage.h"
#include "ui/Prompter.h"

namespace korvel {

enum class EditorKind { Rpm, Fuel, Ve, VeLp, Spark };

class EditorWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

public slots:
    // Forgets the selected cell and repaints: another window moved image
    // bytes under it, or a new image replaced the old one.
    virtual void DropSelection() {}

signals:
    // Emitted when the window closes (it then deletes itself).
    void Closed();
    // Emitted after a point was inserted and image bytes moved.
    void ImageStructureChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
};

// Creates the editor window of a kind, with its title, size and controls,
// owned by `owner`; the caller shows it.
EditorWindow* CreateEditorWindow(EditorKind kind, CalibrationImage& image, Prompter& prompter,
                                 QWidget* owner);

}  // namespace korvel
