// A whole editing session by keyboard: Upload, Tables > VE in expert mode,
// three cells stepped, one step undone with Ctrl+Z (the cell stays selected),
// Save, Quit.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "editors/TableModel.h"
#include "tests/support/qt/AppHarness.h"

namespace korvel {
namespace {

TEST(KeyboardSession, StepThreeVeCellsUndoOneSaveAndQuit) {
    AppHarness h;
    const CalibrationImage demo = Demo();
    h.ecu.LoadCalibration(demo);
    h.WriteFile("engine.cfg", "MAP,26,1\n");
    ASSERT_TRUE(h.app->Start({h.dir.filePath("engine"), "--expert"}));
    ASSERT_TRUE(h.RunUntilMonitoring());
    h.Trigger(CmdUpload);
    h.Trigger(CmdVe);
    EditorWindow* ve = h.Window().Editor(EditorKind::Ve);
    ASSERT_TRUE(ve);
    ve->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ve));
    ASSERT_TRUE(QTest::qWaitForWindowActive(ve));

    // The same moves and steps on a copy give the bytes to expect.
    CalibrationImage expected = demo;
    TableModel model(expected, VeTableLayout());
    for (Qt::Key key :
         {Qt::Key_Down, Qt::Key_Plus, Qt::Key_Right, Qt::Key_Plus, Qt::Key_Up, Qt::Key_Plus}) {
        QTest::keyClick(QApplication::focusWidget(), key);  // the grid has the focus
        ve->repaint();
    }
    model.Cells(20);
    model.Move(Direction::Down);
    model.Step(1);
    model.Move(Direction::Right);
    model.Step(1);
    EXPECT_EQ(h.Session().History().UndoCount(), 3u);

    ASSERT_EQ(QApplication::focusWidget(), ve);
    const int stepped = ve->Grid().SelectedIndex();
    QTest::keyClick(ve->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.Session().History().RedoName(), "Step");
    // The undone cell stays selected, and the edit box shows its value again.
    ve->repaint();
    EXPECT_EQ(ve->Grid().SelectedIndex(), stepped);
    EXPECT_EQ(ve->findChild<QLineEdit*>("5001")->text().toStdString(),
              ve->Grid().FillEditBox()->text);

    const QString path = h.dir.filePath("session.dat");
    h.Trigger(CmdSave, {path});
    EXPECT_EQ(h.Window().windowTitle(), "Korvel ECU Interface - session.dat [Expert]");
    h.Trigger(CmdQuit, {}, {Prompter::Answer::Discard});  // "Quit" without a Download
    EXPECT_FALSE(h.Window().isVisible());

    CalibrationImage saved;
    ASSERT_EQ(ReadDataFile(path.toStdString(), saved).valuesStored, ImageSize);
    EXPECT_EQ(saved.values, expected.values);
    EXPECT_NE(saved.values, demo.values);
}

}  // namespace
}  // namespace korvel
