#include "editors/qt/EditorControls.h"

#include <QColor>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPen>
#include <QPushButton>
#include <algorithm>

namespace korvel {

namespace {

QFont ControlFont() {
    QFont font("Times New Roman", 10);
    font.setStyleHint(QFont::Serif);
    return font;
}

QColor RoleColour(CellRole role) {
    switch (role) {
        case CellRole::Selected:
        case CellRole::Mark:
            return {255, 0, 0};
        case CellRole::X:
            return {18, 105, 61};
        case CellRole::Header:
        case CellRole::Label:
            return {0, 0, 255};
        case CellRole::Y:
            break;
    }
    return {0, 0, 0};
}

}  // namespace

void SetUpEditorFrame(QWidget* window, const QString& title, QRect frame) {
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(title);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->move(frame.topLeft());
    window->resize(frame.size());
    window->setFocus();  // the grid has the focus when the window opens
}

bool ValueEdit::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y)) {
            event->ignore();  // left to the program's Undo and Redo
            return true;
        }
    }
    return QLineEdit::event(event);
}

std::optional<RegionOperation> RegionKey(const QKeyEvent* event) {
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        return std::nullopt;
    }
    switch (event->key()) {
        case Qt::Key_A:
            return RegionOperation::Add;
        case Qt::Key_Asterisk:
        case Qt::Key_Percent:
            return RegionOperation::Scale;
        case Qt::Key_H:
            return RegionOperation::InterpolateHorizontally;
        case Qt::Key_V:
            return RegionOperation::InterpolateVertically;
        case Qt::Key_I:
            return RegionOperation::Interpolate;
        case Qt::Key_S:
            return RegionOperation::Smooth;
        default:
            return std::nullopt;
    }
}

GridCommand CommandKey(const QKeyEvent* event) {
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier) {
        return GridCommand::None;
    }
    switch (event->key()) {
        case Qt::Key_A:
            return GridCommand::SelectAll;
        case Qt::Key_C:
            return GridCommand::Copy;
        case Qt::Key_V:
            return GridCommand::Paste;
        default:
            return GridCommand::None;
    }
}

void ValueEdit::keyPressEvent(QKeyEvent* event) {
    const bool shiftArrow = (event->modifiers() & Qt::ShiftModifier) &&
                            (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right ||
                             event->key() == Qt::Key_Up || event->key() == Qt::Key_Down);
    if (shiftArrow || RegionKey(event) || CommandKey(event) != GridCommand::None) {
        event->ignore();  // on to the window
        return;
    }
    QLineEdit::keyPressEvent(event);
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();  // applied once, by returnPressed
    }
}

ValueEdit* CreateValueEdit(QWidget* window) {
    auto* edit = new ValueEdit(window);
    edit->setObjectName("5001");
    edit->setAlignment(Qt::AlignRight);
    edit->setFont(ControlFont());
    edit->setGeometry(ValueEditRect);
    return edit;
}

QPushButton* CreateEditorButton(QWidget* window, const QString& text, const QString& id,
                                QRect rect) {
    auto* button = new QPushButton(text, window);
    button->setObjectName(id);
    button->setFont(ControlFont());
    button->setGeometry(rect);
    return button;
}

void EditBoxSync::Painted(QLineEdit* edit, int selectedIndex,
                          const std::optional<EditBoxFill>& fill) {
    if (!pending_ && selectedIndex == shownIndex_) {
        return;
    }
    const bool refill = pending_;
    pending_ = false;
    shownIndex_ = selectedIndex;
    if (!fill) {
        if (refill) {
            edit->clear();  // nothing selected: nothing to change
        }
        return;
    }
    edit->setText(QString::fromStdString(fill->text));
    if (fill->armed) {
        edit->selectAll();
    }
    if (focus_) {
        edit->setFocus();
    }
}

GridText::GridText() : font_(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
    const QFontMetrics metrics(font_);
    charWidth_ = std::max(1, metrics.averageCharWidth());
    charHeight_ = std::max(1, metrics.height() + metrics.leading());
    ascent_ = metrics.ascent();
}

int GridText::BottomLine(int clientHeight) const {
    return clientHeight / charHeight_ - 3;
}

QPoint GridText::TextPosition(QPoint pixel) const {
    return {pixel.x() / charWidth_, pixel.y() / charHeight_};
}

QRect GridText::Pixels(const TextRect& rect) const {
    return {QPoint(rect.left * charWidth_, rect.top * charHeight_),
            QPoint(rect.right * charWidth_ - 1, rect.bottom * charHeight_ - 1)};
}

namespace {

// Frames drawn inside their cells, `width` pixels wide.
void DrawFrames(QPainter& painter, const QRect& dirty, const std::vector<QRect>& frames,
                const std::vector<QColor>& colours, int width) {
    painter.setBrush(Qt::NoBrush);
    const int inset = width / 2;
    for (size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].intersects(dirty)) {
            painter.setPen(QPen(colours[i], width));
            painter.drawRect(frames[i].adjusted(inset, inset, -inset, -inset));
        }
    }
}

}  // namespace

void GridText::Paint(QWidget* window, const QRect& dirty, const std::vector<GridCell>& cells,
                     const std::optional<TextRect>& box, const QString& selectionLine,
                     const GridDecor& decor) const {
    QPainter painter(window);
    painter.setFont(font_);
    painter.setBackgroundMode(Qt::TransparentMode);
    for (const CellFill& fill : decor.behind) {
        const QRect pixels = Pixels(fill.rect);
        if (pixels.intersects(dirty)) {
            painter.fillRect(pixels, fill.colour);
        }
    }
    std::vector<QRect> frames;
    std::vector<QColor> colours;
    for (const CellFill& cell : decor.trail) {
        frames.push_back(Pixels(cell.rect));
        colours.push_back(cell.colour);
    }
    DrawFrames(painter, dirty, frames, colours, 2);
    if (box) {
        const QRect pixels(QPoint(box->left * charWidth_, box->top * charHeight_),
                           QPoint(box->right * charWidth_, box->bottom * charHeight_ - 1));
        painter.fillRect(pixels, QColor(255, 255, 210));
        painter.setPen(QPen(QColor(255, 0, 0), 2));
        painter.drawRect(pixels);
    }
    frames.clear();
    for (const TextRect& rect : decor.marked) {
        frames.push_back(Pixels(rect));
    }
    DrawFrames(painter, dirty, frames, std::vector<QColor>(frames.size(), LiveColour), 3);
    const int lineWidth = window->width() - 2 * ValueEditRect.left();
    const QRect lineRect(ValueEditRect.left(), SelectionLineTop, lineWidth, charHeight_);
    if (lineRect.intersects(dirty)) {
        painter.setPen(QColor(0, 0, 0));
        painter.drawText(
            ValueEditRect.left(), SelectionLineTop + ascent_,
            painter.fontMetrics().elidedText(selectionLine, Qt::ElideRight, lineWidth));
    }
    const int lastLine = window->height() / charHeight_;
    const int firstDirty = dirty.top() / charHeight_;
    const int lastDirty = dirty.bottom() / charHeight_;
    for (const GridCell& cell : cells) {
        if (cell.line < -1 || cell.line > lastLine || cell.line < firstDirty ||
            cell.line > lastDirty) {
            continue;  // above the top, below the bottom, or not to be repainted
        }
        painter.setPen(RoleColour(cell.role));
        painter.drawText(cell.column * charWidth_, cell.line * charHeight_ + ascent_,
                         QString::fromStdString(cell.text));
    }
    if (decor.point) {
        const QPointF centre(decor.point->x() * charWidth_, decor.point->y() * charHeight_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 1.5));
        painter.setBrush(LiveColour);
        painter.drawEllipse(centre, LivePointRadius, LivePointRadius);
    }
}

}  // namespace korvel
