#pragma once
// The five curve and table editor windows, as the main window sees them:
// separate top-level windows over the calibration image, one per kind.

#include <QWidget>
#include <functional>

#include "editors/EditorGrid.h"
#include "editors/qt/EditorControls.h"
#include "session/CalibrationSession.h"
#include "ui/Prompter.h"

namespace korvel {

enum class EditorKind { Rpm, Fuel, Ve, VeLp, Spark };

// What both kinds share: the edit box, the undoable edits and the keys.
// Arrows move the selection over the editable cells, Enter applies the edit
// box, + - PageUp PageDown step the value (by 10 with Shift), Esc drops the
// selection, Tab moves between the grid and the edit box, and digits typed
// on the grid go to the edit box.
class EditorWindow : public QWidget {
    Q_OBJECT
public:
    EditorWindow(CalibrationSession& session, QWidget* owner);

    // "Change": stores the edit box value into the selected byte.
    virtual void ApplyChange() = 0;

public slots:
    // Forgets the selected cell and repaints: another window moved image
    // bytes under it, a new image replaced the old one, or the window was
    // resized and the grid moved under the selection.
    virtual void DropSelection() = 0;

signals:
    // Emitted when the window closes (it then deletes itself).
    void Closed();

protected:
    // Runs `change` (a model operation that reports whether it acted) through
    // the session and repaints when it acted; a change of the image is one
    // step named `name`. A `kind` of Structure (bytes moved) voids every
    // window's selection.
    bool Edit(const char* name, const std::function<bool()>& change,
              SessionChange kind = SessionChange::Edit);

    // The model's key operations.
    virtual bool Move(Direction direction) = 0;
    virtual bool Step(int counts) = 0;
    virtual void AddRow() {}

    ValueEdit* valueEdit_;
    EditBoxSync editSync_;

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // Every change of the image repaints; one that replaced the image, moved
    // its bytes or undid a step drops the selection.
    void OnSessionChange(const SessionEvent& event);

    CalibrationSession& session_;
    CalibrationSession::Subscription subscription_;
};

// Creates the editor window of a kind, with its title, size and controls,
// owned by `owner`; the caller shows it.
EditorWindow* CreateEditorWindow(EditorKind kind, CalibrationSession& session, Prompter& prompter,
                                 QWidget* owner);

}  // namespace korvel
