#pragma once
// The five curve and table editor windows, as the main window sees them:
// separate top-level windows over the calibration image, one per kind.

#include <QWidget>
#include <functional>
#include <memory>

#include "acquisition/AcquisitionScheduler.h"
#include "editors/GridModel.h"
#include "editors/qt/EditorControls.h"
#include "editors/qt/LiveFollower.h"
#include "monitor/MonitorFile.h"
#include "session/CalibrationSession.h"
#include "ui/Prompter.h"

class QMenu;

namespace korvel {

enum class EditorKind { Rpm, Fuel, Ve, VeLp, Spark };

// What both kinds share: the frame and its controls, the grid's clicks and
// keys, the region operations and the clipboard, and the undoable edits.
// Arrows move the selection over the editable cells (Shift+arrows, Shift+
// click and a drag select a region, Ctrl+A all of it), Enter applies the
// edit box to the selection, + - PageUp PageDown step it (by 10 with Shift),
// A, *, H, V, I and S shape the region with the edit box's number, Ctrl+C
// and Ctrl+V copy and paste, Esc drops the selection, Tab moves between the
// grid and the edit box, and digits typed on the grid go to the edit box.
class EditorWindow : public QWidget {
    Q_OBJECT
public:
    // The window `title` at `frame` over `model`, with the edit box and the
    // "Change" button.
    EditorWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner,
                 const QString& title, QRect frame, std::unique_ptr<GridModel> model);
    ~EditorWindow() override;

    // "Change": stores the edit box value into the selection.
    void ApplyChange();

    const GridModel& Grid() const { return *model_; }
    QSize CharCell() const { return grid_.CharCell(); }
    int BottomLine() const { return grid_.BottomLine(height()); }
    // The line under the controls that names the selected cell.
    QString SelectionLine() const;

    // Marks where the engine runs, from the passes of `scheduler` over the
    // variables of `monitor`, while the window is open.
    void FollowEngine(AcquisitionScheduler& scheduler, const MonitorFile& monitor);
    // What the window shows of the running engine; empty when not following.
    LiveView Live() const { return live_ ? live_->View() : LiveView{}; }
    // The size the window opens with where the main window gives `frame`:
    // wider where it needs the room.
    virtual QSize OpeningSize(QSize frame) const { return frame; }

public slots:
    // Forgets the selection and repaints: another window moved image bytes
    // under it, or a new image replaced the old one.
    void DropSelection();
    // The image changed under the window (undo, redo): repaints, keeps the
    // selection where it is still valid and shows its value in the edit box.
    void ImageChanged();

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

    virtual void AddRow() {}
    // A table keeps the trail of the live point.
    virtual bool KeepsTrail() const { return false; }
    // The colours behind the cells.
    virtual std::vector<CellFill> Fills() const { return {}; }
    // Entries of the window's own at the end of the context menu.
    virtual void AddViewItems(QMenu*) {}
    // The live marks moved: repaints the cells they left and entered.
    virtual void LiveChanged(const LiveView& before, const LiveView& after);
    // The text rectangle of a grid cell, with line 0 on text line `bottom`.
    static TextRect CellText(const CellGrid& grid, GridPos cell, int bottom);
    const GridText& Text() const { return grid_; }

    GridModel& Model() { return *model_; }
    Prompter& prompter_;
    ValueEdit* valueEdit_;

    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // A region operation with the edit box's number as its operand.
    void Shape(RegionOperation operation);
    void Copy();
    void Paste();
    // After a change of the selection by key or mouse: the box follows, the
    // grid keeps the keys.
    void SelectionMoved();
    bool HandleRegionKey(QKeyEvent* event);
    QMenu* RegionMenu();

    std::unique_ptr<GridModel> model_;
    EditBoxSync editSync_;
    GridText grid_;
    // A change of the image by any window, undo or redo: repaint, refresh or
    // drop the selection.
    void OnSessionChange(const SessionEvent& event);

    // The live marks as the grid shows them.
    GridDecor LiveDecor(const CellGrid& grid, int bottom) const;

    CalibrationSession& session_;
    CalibrationSession::Subscription subscription_;
    LiveFollower* live_ = nullptr;
};

// Creates the editor window of a kind, with its title, size and controls,
// owned by `owner`; the caller shows it.
EditorWindow* CreateEditorWindow(EditorKind kind, CalibrationSession& session, Prompter& prompter,
                                 QWidget* owner);

}  // namespace korvel
