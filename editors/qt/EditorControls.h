#pragma once
// Pieces the curve and table editor windows share: the frame and its
// controls, and drawing grid cells in the fixed-pitch font at text positions.

#include <QFont>
#include <QLineEdit>
#include <QPoint>
#include <QPointF>
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

// What is drawn behind and over a grid's text, in text positions.
struct CellFill {
    TextRect rect;
    QColor colour;
};
struct GridDecor {
    std::vector<CellFill> behind;  // the heat colours, under everything
    std::vector<CellFill> trail;   // frames of the cells the live point passed
    std::vector<TextRect> marked;  // frames of the cells around the live point
    // The live point itself, in text units: column and line, fractional, of
    // the centre of where it lies.
    std::optional<QPointF> point;
};

// The colour of the live marks: the cells' frames, the point, a curve's live x.
inline const QColor LiveColour{120, 0, 170};
constexpr double LivePointRadius = 3.5;

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
    // The pixels of a rectangle of text positions.
    QRect Pixels(const TextRect& rect) const;
    // The cells, a box around the selection (filled behind its cells), the
    // line that names the selected cell, under the controls, and the
    // decorations; only what meets `dirty` is drawn.
    void Paint(QWidget* window, const QRect& dirty, const std::vector<GridCell>& cells,
               const std::optional<TextRect>& box, const QString& selectionLine,
               const GridDecor& decor) const;

private:
    QFont font_;
    int charWidth_ = 1;
    int charHeight_ = 1;
    int ascent_ = 0;
};

}  // namespace korvel
