#include "editors/qt/EditorWindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <algorithm>
#include <optional>
#include <utility>

#include "calib/Text.h"
#include "editors/qt/CurveEditorWindow.h"
#include "editors/qt/TableEditorWindow.h"

namespace korvel {

EditorWindow::EditorWindow(CalibrationSession& session, Prompter& prompter, QWidget* owner,
                           const QString& title, QRect frame, std::unique_ptr<GridModel> model)
    : QWidget(owner),
      prompter_(prompter),
      valueEdit_(CreateValueEdit(this)),
      model_(std::move(model)),
      session_(session) {
    // The grid itself takes the focus, by click or Tab, for the keys.
    setFocusPolicy(Qt::StrongFocus);
    connect(valueEdit_, &QLineEdit::returnPressed, this, &EditorWindow::ApplyChange);
    connect(CreateEditorButton(this, "Change", "5002", ChangeButtonRect), &QPushButton::clicked,
            this, &EditorWindow::ApplyChange);
    SetUpEditorFrame(this, title, frame);
    subscription_ = session_.Observe([this](const SessionEvent& e) { OnSessionChange(e); });
}

EditorWindow::~EditorWindow() = default;

bool EditorWindow::Edit(const char* name, const std::function<bool()>& change, SessionChange kind) {
    const bool acted = session_.Edit(
        name, [&change](CalibrationImage&) { return change(); }, kind);
    if (acted) {
        update();
    }
    return acted;
}

void EditorWindow::OnSessionChange(const SessionEvent& event) {
    switch (event.change) {
        case SessionChange::Structure:
        case SessionChange::NewImage:
            DropSelection();  // the bytes under the selection moved, or are another image's
            if (live_) {
                live_->Forget();
            }
            break;
        case SessionChange::Undo:
        case SessionChange::Redo:
            ImageChanged();
            break;
        case SessionChange::Edit:
            update();
            break;
        case SessionChange::Saved:
        case SessionChange::Ecu:
            break;
    }
}

QString EditorWindow::SelectionLine() const {
    return QString::fromStdString(model_->SelectionLine());
}

void EditorWindow::SelectionMoved() {
    editSync_.Moved();
    update();
}

void EditorWindow::DropSelection() {
    model_->DropSelection();
    SelectionMoved();
}

void EditorWindow::ImageChanged() {
    model_->KeepValidSelection();
    SelectionMoved();
}

// A stored entry gives the keys back to the grid: the arrows move on from
// the changed cell.
void EditorWindow::ApplyChange() {
    const std::string text = valueEdit_->text().toStdString();
    const char* name = model_->IsRegion() ? "Set" : "Change";
    if (Edit(name, [&] { return model_->ApplyChange(text); })) {
        SelectionMoved();
        setFocus(Qt::OtherFocusReason);
    }
}

void EditorWindow::Shape(RegionOperation operation) {
    const std::optional<float> operand = ParseEntry(valueEdit_->text().toStdString());
    if (!model_->CanShape() || (TakesOperand(operation) && !operand)) {
        return;
    }
    const double value = operand.value_or(0.0f);
    const std::string name = OperationName(operation, value);
    Edit(name.c_str(), [&] { return model_->Shape(operation, value); });
    SelectionMoved();
    setFocus(Qt::OtherFocusReason);
}

void EditorWindow::Copy() {
    const std::string text = model_->Copy();
    if (!text.empty()) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    }
}

void EditorWindow::Paste() {
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    std::string problem;
    Edit("Paste", [&] { return model_->Paste(text, problem); });
    SelectionMoved();
    setFocus(Qt::OtherFocusReason);
    if (!problem.empty()) {
        prompter_.Message(this, QString::fromStdString(problem), "Nothing Pasted",
                          Prompter::Icon::Exclamation);
    }
}

void EditorWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit Closed();
}

void EditorWindow::paintEvent(QPaintEvent* event) {
    const int bottom = BottomLine();
    GridDecor decor = LiveDecor(model_->Grid(), bottom);
    decor.behind = Fills();
    grid_.Paint(this, event->rect(), model_->Cells(bottom), model_->SelectionBox(bottom),
                SelectionLine(), decor);
    editSync_.Painted(valueEdit_, model_->SelectedIndex(), model_->FillEditBox());
}

void EditorWindow::FollowEngine(AcquisitionScheduler& scheduler, const MonitorFile& monitor) {
    delete live_;
    live_ = new LiveFollower(
        scheduler, monitor, *model_, KeepsTrail(),
        [this](const LiveView& before, const LiveView& after) { LiveChanged(before, after); },
        this);
}

TextRect EditorWindow::CellText(const CellGrid& grid, GridPos cell, int bottom) {
    const int column = grid.columns[static_cast<size_t>(cell.column)].textColumn;
    return {column, column + GridModel::CellChars, bottom - cell.line, bottom - cell.line + 1};
}

namespace {

bool Inside(const CellGrid& grid, GridPos cell) {
    return cell.column >= 0 && cell.column < grid.Columns() && cell.line >= 0 &&
           cell.line < grid.lines;
}

// The text column of a cell's centre at a fractional grid column.
double CentreColumn(const CellGrid& grid, double column) {
    const int last = grid.Columns() - 1;
    const int low = std::clamp(static_cast<int>(column), 0, last);
    const int high = std::min(low + 1, last);
    const double at = grid.columns[static_cast<size_t>(low)].textColumn +
                      (grid.columns[static_cast<size_t>(high)].textColumn -
                       grid.columns[static_cast<size_t>(low)].textColumn) *
                          (column - low);
    return at + GridModel::CellChars / 2.0;
}

}  // namespace

GridDecor EditorWindow::LiveDecor(const CellGrid& grid, int bottom) const {
    GridDecor decor;
    if (!live_ || grid.Columns() == 0) {
        return decor;
    }
    const LiveView& view = live_->View();
    for (const LiveTrail::Cell& cell : view.trail) {
        if (Inside(grid, cell.cell)) {
            QColor colour = LiveColour;
            colour.setAlpha(200 - 160 * cell.step / (LiveTrail::FadeSteps - 1));
            decor.trail.push_back({CellText(grid, cell.cell, bottom), colour});
        }
    }
    for (const LiveMark& mark : view.marks) {
        for (const GridPos& cell : mark.cells) {
            if (Inside(grid, cell)) {
                decor.marked.push_back(CellText(grid, cell, bottom));
            }
        }
        if (mark.curve < 0) {
            decor.point = QPointF(CentreColumn(grid, mark.column), bottom - mark.line + 0.5);
        }
    }
    return decor;
}

// The point lies between the centres of the cells around it, so their box
// holds it too.
void EditorWindow::LiveChanged(const LiveView& before, const LiveView& after) {
    const CellGrid grid = model_->Grid();
    const int bottom = BottomLine();
    const int margin = static_cast<int>(LivePointRadius) + 2;
    for (const CellSpan& span : ChangedSpans(before, after)) {
        if (!Inside(grid, span.first) || !Inside(grid, span.last)) {
            update();  // marks of a grid that has since changed
            return;
        }
        const TextRect first = CellText(grid, span.first, bottom);
        const TextRect last = CellText(grid, span.last, bottom);
        const QRect pixels = grid_.Pixels({first.left, last.right, last.top, first.bottom});
        update(pixels.adjusted(-margin, -margin, margin, margin));
    }
}

// A click selects the cell under the pointer and gives the edit box the
// focus; Shift+click and a drag select a region and leave the keys with
// the grid.
void EditorWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPoint text = grid_.TextPosition(event->position().toPoint());
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    model_->ClickAt(text.x(), text.y(), BottomLine(), extend);
    if (extend) {
        SelectionMoved();
        setFocus(Qt::MouseFocusReason);
    } else {
        editSync_.Clicked();
        update();
    }
}

void EditorWindow::mouseMoveEvent(QMouseEvent* event) {
    const QPoint text = grid_.TextPosition(event->position().toPoint());
    if ((event->buttons() & Qt::LeftButton) && model_->DragTo(text.x(), text.y(), BottomLine())) {
        SelectionMoved();
        setFocus(Qt::MouseFocusReason);
    }
}

QMenu* EditorWindow::RegionMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName("regionMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const std::optional<float> operand = ParseEntry(valueEdit_->text().toStdString());
    const QString number = operand ? QString::fromStdString(FormatNumber("%g", *operand))
                                   : QString("(type a number first)");
    const bool shape = model_->CanShape();
    const auto add = [&](const QString& text, const char* key, bool enabled, auto&& action) {
        QAction* item = menu->addAction(text + "\t" + key);
        item->setEnabled(enabled);
        connect(item, &QAction::triggered, this, action);
    };
    const auto operation = [&](const QString& text, const char* key, RegionOperation op) {
        add(text, key, shape && (operand || !TakesOperand(op)), [this, op] { Shape(op); });
    };
    operation(operand ? "Set to " + number : "Set " + number, "Enter", RegionOperation::Set);
    operation("Add " + number, "A", RegionOperation::Add);
    operation(operand ? "Scale " + number + "%" : "Scale " + number, "*", RegionOperation::Scale);
    menu->addSeparator();
    operation("Interpolate Horizontally", "H", RegionOperation::InterpolateHorizontally);
    operation("Interpolate Vertically", "V", RegionOperation::InterpolateVertically);
    operation("Interpolate", "I", RegionOperation::Interpolate);
    operation("Smooth", "S", RegionOperation::Smooth);
    menu->addSeparator();
    add("Copy", "Ctrl+C", model_->HasSelection(), [this] { Copy(); });
    add("Paste", "Ctrl+V", shape, [this] { Paste(); });
    add("Select All", "Ctrl+A", true, [this] {
        if (model_->SelectAll()) {
            SelectionMoved();
        }
    });
    AddViewItems(menu);
    return menu;
}

// A right click outside the selection selects the cell there first.
void EditorWindow::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QPoint text = grid_.TextPosition(event->pos());
        const std::optional<GridPos> cell = model_->CellAt(text.x(), text.y(), BottomLine());
        const std::optional<CellRect> region = model_->Region();
        if (!cell || !region || !region->Contains(cell->column, cell->line)) {
            model_->ClickAt(text.x(), text.y(), BottomLine());
            SelectionMoved();
        }
    }
    RegionMenu()->popup(event->globalPos());
}

namespace {

std::optional<Direction> ArrowDirection(int key) {
    switch (key) {
        case Qt::Key_Left:
            return Direction::Left;
        case Qt::Key_Right:
            return Direction::Right;
        case Qt::Key_Up:
            return Direction::Up;
        case Qt::Key_Down:
            return Direction::Down;
        default:
            return std::nullopt;
    }
}

// +1 or -1 for the step keys ('=' is '+' without Shift), 0 for others.
int StepSign(int key) {
    switch (key) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
        case Qt::Key_PageUp:
            return 1;
        case Qt::Key_Minus:
        case Qt::Key_Underscore:
        case Qt::Key_PageDown:
            return -1;
        default:
            return 0;
    }
}

}  // namespace

bool EditorWindow::HandleRegionKey(QKeyEvent* event) {
    if (const std::optional<RegionOperation> operation = RegionKey(event)) {
        Shape(*operation);
        return true;
    }
    switch (CommandKey(event)) {
        case GridCommand::SelectAll:
            if (model_->SelectAll()) {
                SelectionMoved();
            }
            setFocus(Qt::ShortcutFocusReason);
            return true;
        case GridCommand::Copy:
            Copy();
            return true;
        case GridCommand::Paste:
            Paste();
            return true;
        case GridCommand::None:
            break;
    }
    return false;
}

// Also receives the keys the edit box passes on: Up, Down, PageUp,
// PageDown, Esc and the grid's own keys.
void EditorWindow::keyPressEvent(QKeyEvent* event) {
    if (HandleRegionKey(event)) {
        return;
    }
    const int key = event->key();
    const int sign = StepSign(key);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (const auto direction = ArrowDirection(key)) {
        if (shift ? model_->Extend(*direction) : model_->Move(*direction)) {
            SelectionMoved();
        }
    } else if (sign != 0) {
        if (Edit("Step", [&] { return model_->Step(sign * (shift ? 10 : 1)); })) {
            SelectionMoved();  // the box shows the new value
        }
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        ApplyChange();
    } else if (key == Qt::Key_Escape) {
        DropSelection();
    } else if (key == Qt::Key_Insert) {
        AddRow();
    } else if (hasFocus() && !event->text().isEmpty() &&
               QString("0123456789.").contains(event->text())) {
        valueEdit_->setFocus(Qt::OtherFocusReason);  // typing starts an entry
        QCoreApplication::sendEvent(valueEdit_, event);
    } else {
        QWidget::keyPressEvent(event);
    }
}

// Tab and Shift+Tab move between the edit box and the grid.
bool EditorWindow::focusNextPrevChild(bool) {
    if (valueEdit_->hasFocus()) {
        setFocus(Qt::TabFocusReason);
    } else {
        valueEdit_->setFocus(Qt::TabFocusReason);
        valueEdit_->selectAll();
    }
    return true;
}

EditorWindow* CreateEditorWindow(EditorKind kind, CalibrationSession& session, Prompter& prompter,
                                 QWidget* owner) {
    switch (kind) {
        case EditorKind::Rpm:
            return new RpmCurvesWindow(session, prompter, owner);
        case EditorKind::Fuel:
            return new FuelCurvesWindow(session, prompter, owner);
        case EditorKind::Ve:
            return new VeTableWindow(session, prompter, owner);
        case EditorKind::VeLp:
            return new VeLpTableWindow(session, prompter, owner);
        case EditorKind::Spark:
            return new SparkTableWindow(session, prompter, owner);
    }
    return nullptr;
}

}  // namespace korvel
