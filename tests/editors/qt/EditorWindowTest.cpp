#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "calib/DataFile.h"
#include "editors/qt/CurveEditorWindow.h"
#include "editors/qt/TableEditorWindow.h"
#include "tests/editors/SampleImage.h"
#include "tests/support/SessionRig.h"
#include "tests/support/qt/ScriptedPrompter.h"

namespace korvel {
namespace {

using test::Bytes;

// Shows the window, clicks the middle of a text position's pixels and paints;
// returns the edit box.
template <typename Window>
QLineEdit* ClickText(Window& window, int column, int line) {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QSize cell = window.CharCell();
    QTest::mouseClick(
        window.windowHandle(), Qt::LeftButton, {},
        QPoint(column * cell.width() + cell.width() / 2, line * cell.height() + cell.height() / 2));
    window.repaint();
    return window.template findChild<QLineEdit*>("5001");
}

bool Shows(const QImage& shot, QColor colour) {
    const QImage rgb = shot.convertToFormat(QImage::Format_RGB32);  // rows without padding
    const auto* first = reinterpret_cast<const QRgb*>(rgb.constBits());
    const auto* last = first + rgb.width() * rgb.height();
    return std::find(first, last, colour.rgb()) != last;
}

struct Windows : ::testing::Test {
    void SetUp() override { rig.Load(test::SampleImage()); }
    ScriptedPrompter prompter;
    SessionRig rig;
    CalibrationSession& session = rig.session;
    const ImageHistory& history = rig.session.History();
    CalibrationImage& image = rig.session.ModelImage();
};

// A click picks the value under the pointer for the box; Enter stores it from
// the box (curves) or the window (tables). A resize moves the grid and the
// selected cell with it.
TEST_F(Windows, TypedValueIsStoredOnEnter) {
    const int rpm = PointerTarget(image, PositionRpmCurveSlot);
    RpmCurvesWindow curves(session, prompter, nullptr);
    QLineEdit* edit = ClickText(curves, 10, curves.BottomLine());
    EXPECT_EQ(edit->text(), "  800 ");
    curves.resize(curves.width(), curves.height() + curves.CharCell().height());
    curves.repaint();
    EXPECT_EQ(curves.Grid().SelectedIndex(), rpm + 1);
    edit = ClickText(curves, 10, curves.BottomLine() - 1);
    EXPECT_EQ(edit->selectedText(), " 1200 ");
    QTest::keyClicks(edit, "1500");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ((Bytes{image[rpm + 1], image[rpm + 3]}), (Bytes{40, 75}));
    EXPECT_EQ(history.UndoName(), "Change");

    VeLpTableWindow table(session, prompter, nullptr);
    edit = ClickText(table, 12, table.BottomLine());
    edit->setText("42");
    QTest::keyClick(&table, Qt::Key_Enter);
    EXPECT_EQ(image[PointerTarget(image, VeTableSlot) + 5], 42u);
}

// Tab between box and grid; on the grid arrows move (the box follows), +/-
// and Shift+PageUp/PageDown step as undoable steps, a digit starts an entry;
// in the box Down moves too and Esc drops the selection.
TEST_F(Windows, KeysMoveStepAndEnter) {
    const int spark = PointerTarget(image, SparkTableSlot);
    SparkTableWindow table(session, prompter, nullptr);
    QLineEdit* edit = ClickText(table, 12, table.BottomLine());
    table.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&table));
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(table.hasFocus());
    QTest::keyClick(&table, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(edit->hasFocus());
    QTest::keyClick(edit, Qt::Key_Tab);
    // Rows at columns 12 and 18, MAP lines 0, 80, 255; the second row has no 80.
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, const char*, int, uint32_t> keys[] = {
        {Qt::Key_Right, {}, "  11", spark + 13, 11},
        {Qt::Key_Plus, {}, "  12", spark + 13, 12},
        {Qt::Key_PageUp, Qt::ShiftModifier, "  22", spark + 13, 22},
        {Qt::Key_Up, {}, "  31", spark + 15, 31},
        {Qt::Key_Minus, Qt::KeypadModifier, "  30", spark + 15, 30},
        {Qt::Key_PageDown, Qt::ShiftModifier, "  20", spark + 15, 20}};
    for (const auto& [key, modifiers, shown, index, value] : keys) {
        QTest::keyClick(&table, key, modifiers);
        table.repaint();
        EXPECT_EQ(edit->text(), shown);
        EXPECT_EQ(image[index], value);
        EXPECT_TRUE(table.hasFocus());
    }
    EXPECT_EQ(history.UndoCount(), 4u);
    QTest::keyClicks(&table, "7");
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(edit->text(), "7");
    QTest::keyClick(edit, Qt::Key_Down);
    table.repaint();
    EXPECT_EQ(edit->text(), "  22");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(table.Model().HasSelection());
}

// Add Row (the button or Insert) inserts a point, every window drops its
// selection, and a full image is reported.
TEST_F(Windows, AddRowInsertsOrReportsTableFull) {
    const int start = PointerTarget(image, PositionRpmCurveSlot);
    RpmCurvesWindow rpm(session, prompter, nullptr);
    SparkTableWindow spark(session, prompter, nullptr);
    QLineEdit* sparkEdit = ClickText(spark, 12, spark.BottomLine());
    ASSERT_TRUE(spark.Model().HasSelection());
    ClickText(rpm, 5, rpm.BottomLine() - 1);
    QTest::mouseClick(rpm.findChild<QPushButton*>("5003"), Qt::LeftButton);
    EXPECT_EQ((Bytes{image[start + 4], image[start + 5]}), (Bytes{101, 60}));
    EXPECT_EQ(history.UndoName(), "Add Row");
    const auto moved = image.values;
    sparkEdit->setText("99");
    spark.ApplyChange();
    EXPECT_EQ(image.values, moved);  // no store into the index the bytes left

    image[ImageSize - 1] = 0;  // no free byte left
    ClickText(rpm, 5, rpm.BottomLine() - 1);
    QTest::keyClick(&rpm, Qt::Key_Insert);
    ASSERT_EQ(prompter.messages.size(), 1u);
    const auto& shown = prompter.messages[0];
    EXPECT_EQ(shown.text + "/" + shown.caption, "Row cannot be added/Table Full");
    EXPECT_EQ(shown.icon, Prompter::Icon::Stop);
}

// Renders every window over the demonstration calibration to a PNG for a
// person to look at.
TEST_F(Windows, RenderAllFive) {
    ASSERT_EQ(session.Open(KORVEL_SOURCE_DIR "/data/demo.dat").valuesStored, ImageSize);
    QWidget owner;
    const QColor darkGreen(18, 105, 61), red(255, 0, 0);  // x values, or the "MAP"/"RPM" marks
    const std::tuple<EditorKind, const char*, QColor> kinds[] = {
        {EditorKind::Rpm, "rpm", darkGreen},
        {EditorKind::Fuel, "fuel", darkGreen},
        {EditorKind::Ve, "ve", red},
        {EditorKind::VeLp, "ve-lp", red},
        {EditorKind::Spark, "spark", red}};
    for (const auto& [kind, file, mustShow] : kinds) {
        EditorWindow* window = CreateEditorWindow(kind, session, prompter, &owner);
        if (kind == EditorKind::Fuel) {
            window->resize(window->OpeningSize({650, 250}));  // as the main window shows it
        }
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QImage shot = window->grab().toImage();
        EXPECT_TRUE(Shows(shot, mustShow) && Shows(shot, QColor(0, 0, 255))) << file;
        EXPECT_TRUE(shot.save(QString(KORVEL_BINARY_DIR "/editor-%1.png").arg(file)));
    }
}

}  // namespace
}  // namespace korvel
