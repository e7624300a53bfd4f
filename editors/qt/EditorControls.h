#pragma once
// Pieces the curve and table editor windows share: the frame and its
// controls, and drawing grid cells in the fixed-pitch font at text positions.

#include <QFont>
#include <QLineEdit>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>
#include <vector>

#include "editors/EditorGrid.h"
#include "editors/GridModel.h"
#include "editors/RegionOps.h"

class QKeyEvent;
class QPushButton;
class QWidget;

namespace korvel {

// Control rectangles in client pixels (left, top, width, height).
inline const QRect ValueEditRect{20, 20, 70, 30};
inline const QRect ChangeButtonRect{110, 20, 70, 30};
inline const QRect AddRowButtonRect{200, 20, 70, 30};
// The line that names the selected cell: below the controls, above the grid.
constexpr int SelectionLineTop = 52;

// Title, owner-bound top-level flags (caption, system menu, sizing border, no
// minimise/maximise), delete on close, light grey background, place and size;
// the window itself (the grid) has the focus when it opens.
void SetUpEditorFrame(QWidget* window, const QString& title, QRect frame);

// The grid's own keys: the region operations (A add, * or % scale, H V I
// interpolate, S smooth) and Ctrl+A, Ctrl+C, Ctrl+V. They reach the grid
// from the edit box as well, which takes its operand from there.
enum class GridCommand { None, SelectAll, Copy, Paste };
std::optional<RegionOperation> RegionKey(const QKeyEvent* event);
GridCommand CommandKey(const QKeyEvent* event);

// The editors' edit box. Enter applies the entry (returnPressed) and goes no
// further; Up, Down, PageUp, PageDown, Esc, Shift+arrows and the grid's own
// keys go on to the window; Ctrl+Z and Ctrl+Y undo and redo image changes,
// not typing.
class ValueEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The right-aligned edit box "5001" in 10-point Times New Roman (or a serif).
ValueEdit* CreateValueEdit(QWidget* window);
QPushButton* CreateEditorButton(QWidget* window, const QString& text, const QString& id,
                                QRect rect);

// Keeps the edit box in step with the selection: it is refilled (text,
// selection, focus) on the first paint after a click, a key move or a change
// of the image, and whenever the selected byte changes; it is emptied then
// when nothing is selected.
// Other repaints leave it alone: Qt repaints on every activation change, and
// refilling then would discard what the user typed and take the focus from
// a button being pressed.
class EditBoxSync {
public:
    // A click: the box is refilled and takes the focus.
    void Clicked() { pending_ = focus_ = true; }
    // A key moved or stepped the selection: refilled, the focus stays.
    void Moved() {
        pending_ = true;
        focus_ = false;
    }
    void Painted(QLineEdit* edit, int selectedIndex, const std::optional<EditBoxFill>& fill);

private:
    bool pending_ = false;
    bool focus_ = true;
    int shownIndex_ = -1;
};

// The grid font and its character cell: text column c, line l is the pixel
// point (c * width, l * height), the top left corner of the text.
class GridText {
public:
    GridText();

    QSize CharCell() const { return {charWidth_, charHeight_}; }
    // The text line that stays three lines above the client area's bottom.
    int BottomLine(int clientHeight) const;
    // Text column and line of a client pixel.
    QPoint TextPosition(QPoint pixel) const;
    // The cells, a box around the selection (filled behind its cells) and
    // the line that names the selected cell, under the controls.
    void Paint(QWidget* window, const std::vector<GridCell>& cells,
               const std::optional<TextRect>& box, const QString& selectionLine) const;

private:
    QFont font_;
    int charWidth_ = 1;
    int charHeight_ = 1;
    int ascent_ = 0;
};

}  // namespace korvel
