// Regions in the editor windows, driven as a user drives them: clicks, drags
// and keys through the window, the context menu and the clipboard.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <algorithm>

#include "calib/DataFile.h"
#include "editors/qt/TableEditorWindow.h"
#include "tests/editors/SampleImage.h"
#include "tests/support/SessionRig.h"
#include "tests/support/qt/ScriptedPrompter.h"

namespace korvel {
namespace {

using test::Bytes;

struct RegionWindows : ::testing::Test {
    ScriptedPrompter prompter;
    SessionRig rig;
    const bool loaded = (rig.Load(test::SampleImage()), true);
    CalibrationSession& session = rig.session;
    const ImageHistory& history = rig.session.History();
    CalibrationImage& image = rig.session.ModelImage();
    const int ve = PointerTarget(image, VeTableSlot);

    static void Show(QWidget& window) {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    // The middle of a text position's pixels.
    static QPoint At(const EditorWindow& window, int column, int line) {
        const QSize cell = window.CharCell();
        return {column * cell.width() + cell.width() / 2, line * cell.height() + cell.height() / 2};
    }
    static void Click(EditorWindow& window, int column, int line,
                      Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, modifiers,
                          At(window, column, line));
        window.repaint();
    }
    static void Keys(EditorWindow& window, std::initializer_list<QKeyCombination> keys) {
        for (QKeyCombination key : keys) {
            QTest::keyClick(window.windowHandle(), key.key(), key.keyboardModifiers());
            window.repaint();
        }
    }
    static void Type(EditorWindow& window, const char* text) {
        for (const char* c = text; *c != 0; ++c) {
            QTest::keyClick(window.windowHandle(), *c);  // to wherever the focus is
        }
        window.repaint();
    }
    static QLineEdit* Box(EditorWindow& window) { return window.findChild<QLineEdit*>("5001"); }
};

constexpr QKeyCombination ShiftUp{Qt::SHIFT, Qt::Key_Up};
constexpr QKeyCombination ShiftRight{Qt::SHIFT, Qt::Key_Right};

// Each operation, typed as its number and key, is one undo step named for
// it, and gives the same bytes as the model's operation on a copy.
TEST_F(RegionWindows, OperationsByKeyAreOneUndoStepEach) {
    VeTableWindow window(session, prompter, nullptr);
    Show(window);
    const int bottom = window.BottomLine();
    Click(window, 12, bottom);
    Keys(window, {ShiftUp, ShiftUp, ShiftUp, ShiftRight, ShiftRight});
    ASSERT_EQ(window.Grid().Region(), (CellRect{0, 2, 0, 3}));

    CalibrationImage expected = image;
    TableModel model(expected, VeTableLayout());
    model.SelectAll();
    const std::tuple<const char*, Qt::Key, RegionOperation, double, const char*> steps[] = {
        {"5", Qt::Key_A, RegionOperation::Add, 5, "Add 5"},
        {"105", Qt::Key_Asterisk, RegionOperation::Scale, 105, "Scale 105%"},
        {"", Qt::Key_I, RegionOperation::Interpolate, 0, "Interpolate"},
        {"", Qt::Key_S, RegionOperation::Smooth, 0, "Smooth"},
        {"200", Qt::Key_Return, RegionOperation::Set, 200, "Set"}};
    size_t count = 0;
    for (const auto& [typed, key, operation, operand, name] : steps) {
        Type(window, typed);
        Keys(window, {QKeyCombination(key)});
        ASSERT_TRUE(model.Shape(operation, operand));
        EXPECT_EQ(image.values, expected.values) << name;
        EXPECT_EQ(history.UndoCount(), ++count) << name;
        EXPECT_EQ(history.UndoName(), name);
        EXPECT_EQ(QApplication::focusWidget(), &window) << name;  // the grid has the keys
    }
    EXPECT_EQ(image[ve + 4], 200u);
}

// After Enter the arrows move on from the changed cell; Esc empties the edit
// box; after an undo the selection stays and the box shows the value again.
TEST_F(RegionWindows, FocusAndEditBoxFollowTheSelection) {
    const int spark = PointerTarget(image, SparkTableSlot);
    SparkTableWindow window(session, prompter, nullptr);
    Show(window);
    const int bottom = window.BottomLine();
    Click(window, 12, bottom);
    EXPECT_TRUE(Box(window)->hasFocus());
    Type(window, "42");
    Keys(window, {QKeyCombination(Qt::Key_Return)});
    EXPECT_EQ(image[spark + 4], 42u);
    EXPECT_EQ(QApplication::focusWidget(), &window);
    Keys(window, {QKeyCombination(Qt::Key_Right)});
    EXPECT_EQ(Box(window)->text(), "  11");
    Keys(window, {QKeyCombination(Qt::Key_PageUp)});
    EXPECT_EQ(Box(window)->text(), "  12");
    session.Undo();  // the window hears of it from the session
    window.repaint();
    EXPECT_EQ(Box(window)->text(), "  11");
    EXPECT_EQ(window.Grid().SelectedIndex(), spark + 13);
    EXPECT_EQ(window.SelectionLine(), "0EC3 Spark Table, MAP 3.1, RPM 40: 11 (raw 11)");
    Keys(window, {QKeyCombination(Qt::Key_Escape)});
    EXPECT_FALSE(window.Grid().HasSelection());
    EXPECT_EQ(Box(window)->text(), "");
}

// A drag and Shift+click select regions; a right click inside one opens the
// operations on it, outside it selects the cell there first.
TEST_F(RegionWindows, MouseRegionsAndTheContextMenu) {
    VeTableWindow window(session, prompter, nullptr);
    Show(window);
    const int bottom = window.BottomLine();
    QWindow* handle = window.windowHandle();
    QTest::mousePress(handle, Qt::LeftButton, {}, At(window, 12, bottom));
    QTest::mouseMove(handle, At(window, 24, bottom - 3));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, At(window, 24, bottom - 3));
    EXPECT_EQ(window.Grid().Region(), (CellRect{0, 2, 0, 3}));
    Click(window, 18, bottom, Qt::ShiftModifier);
    EXPECT_EQ(window.Grid().Region(), (CellRect{0, 1, 0, 0}));

    Type(window, "5");
    // Right-clicks a text position; true when the menu has an enabled item
    // starting with `text`, which is chosen when `choose` is set.
    const auto menu = [&](int column, int line, const QString& text, bool choose) {
        QTest::mousePress(handle, Qt::RightButton, {}, At(window, column, line));
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QAction* item = nullptr;
        for (QAction* action : popup ? popup->actions() : QList<QAction*>{}) {
            item = action->text().startsWith(text) && action->isEnabled() ? action : item;
        }
        if (item && choose) {
            item->trigger();
        }
        if (popup) {
            popup->close();
        }
        QTest::mouseRelease(handle, Qt::RightButton, {}, At(window, column, line));
        return item != nullptr;
    };
    ASSERT_TRUE(menu(12, bottom, "Add 5\tA", true));
    EXPECT_EQ((Bytes{image[ve + 4], image[ve + 16]}), (Bytes{55, 56}));
    EXPECT_EQ(history.UndoName(), "Add 5");
    EXPECT_TRUE(menu(24, bottom - 3, "Smooth", false));
    EXPECT_EQ(window.Grid().Region(), (CellRect{2, 2, 3, 3}));
}

// Ctrl+A, Ctrl+C in one window and Ctrl+V in another copy a table through
// the clipboard as one undo step; text that is not numbers is refused with a
// message, and nothing changes.
TEST_F(RegionWindows, CopyAndPasteThroughTheClipboard) {
    VeTableWindow gasoline(session, prompter, nullptr);
    Show(gasoline);
    Click(gasoline, 12, gasoline.BottomLine());
    Keys(gasoline, {QKeyCombination(Qt::CTRL, Qt::Key_A), QKeyCombination(Qt::CTRL, Qt::Key_C)});
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("MAP/RPM\t20\t40\t60\n30.8\t70"));

    VeLpTableWindow lp(session, prompter, nullptr);
    Show(lp);
    Click(lp, 12, lp.BottomLine() - 3);
    Keys(lp, {QKeyCombination(Qt::CTRL, Qt::Key_V)});  // from the edit box, which has the focus
    EXPECT_EQ((Bytes{image[ve + 5], image[ve + 11], image[ve + 32]}), (Bytes{50, 70, 58}));
    EXPECT_EQ(history.UndoCount(), 1u);
    EXPECT_EQ(history.UndoName(), "Paste");
    EXPECT_EQ(lp.Grid().Region(), (CellRect{0, 2, 0, 3}));

    const CalibrationImage before = image;
    QApplication::clipboard()->setText("1\tabc\n");
    Keys(lp, {QKeyCombination(Qt::CTRL, Qt::Key_V)});
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Line 1, field 2 is not a number: \"abc\".");
    EXPECT_EQ(prompter.messages[0].caption, "Nothing Pasted");
    EXPECT_EQ(image.values, before.values);
    EXPECT_EQ(history.UndoCount(), 1u);
}

// Renders the demonstration VE table with a region selected to a PNG for a
// person to look at: the region is boxed and filled behind its cells.
TEST_F(RegionWindows, RenderVeTableWithARegion) {
    ASSERT_EQ(session.Open(KORVEL_SOURCE_DIR "/data/demo.dat").valuesStored, ImageSize);
    VeTableWindow window(session, prompter, nullptr);
    Show(window);
    Keys(window, {QKeyCombination(Qt::Key_Right), QKeyCombination(Qt::Key_Right),
                  QKeyCombination(Qt::Key_Up), ShiftUp, ShiftUp, ShiftUp, ShiftRight, ShiftRight,
                  ShiftRight});
    ASSERT_TRUE(window.Grid().IsRegion());
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const TextRect box = *window.Grid().SelectionBox(window.BottomLine());
    const QSize cell = window.CharCell();
    EXPECT_EQ(shot.pixel(box.left * cell.width(), box.top * cell.height() + 2), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(box.left * cell.width() + 3, box.bottom * cell.height() - 4),
              qRgb(255, 255, 210));
    EXPECT_TRUE(shot.save(KORVEL_BINARY_DIR "/editor-ve-region.png"));
}

}  // namespace
}  // namespace korvel
