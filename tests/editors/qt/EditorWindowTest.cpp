#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "calib/DataFile.h"
#include "editors/qt/CurveEditorWindow.h"
#include "editors/qt/TableEditorWindow.h"
#include "tests/editors/SampleImage.h"
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
        &window, Qt::LeftButton, {},
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
    ScriptedPrompter prompter;
    CalibrationImage image = test::SampleImage();
};

// The box follows the cell under the clicked position, also after a resize,
// and a typed value is stored on Enter in the box (curves) or on the window (tables).
TEST_F(Windows, TypedValueIsStoredOnEnter) {
    const int rpm = PointerTarget(image, PositionRpmCurveSlot);
    const int ve = PointerTarget(image, VeTableSlot);
    RpmCurvesWindow curves(image, prompter, nullptr);
    QLineEdit* edit = ClickText(curves, 10, curves.BottomLine());
    EXPECT_EQ(edit->text(), "  800 ");
    curves.resize(curves.width(), curves.height() + curves.CharCell().height());
    curves.repaint();
    EXPECT_EQ(edit->text(), " 1200 ");
    EXPECT_EQ(edit->selectedText(), " 1200 ");
    QTest::keyClicks(edit, "1500");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ((Bytes{image[rpm + 1], image[rpm + 3]}), (Bytes{40, 75}));

    VeLpTableWindow table(image, nullptr);
    edit = ClickText(table, 12, table.BottomLine());
    EXPECT_EQ(edit->text(), "  60");
    edit->setText("42");
    QTest::keyClick(&table, Qt::Key_Enter);
    EXPECT_EQ((Bytes{image[ve + 4], image[ve + 5]}), (Bytes{50, 42}));
}

// Add Row inserts a point, other windows drop their selection, and a full
// image is reported.
TEST_F(Windows, AddRowInsertsOrReportsTableFull) {
    const int start = PointerTarget(image, PositionRpmCurveSlot);
    RpmCurvesWindow rpm(image, prompter, nullptr);
    SparkTableWindow spark(image, nullptr);
    QObject::connect(&rpm, &EditorWindow::ImageStructureChanged, &spark,
                     &EditorWindow::DropSelection);
    QLineEdit* sparkEdit = ClickText(spark, 12, spark.BottomLine());
    ASSERT_TRUE(spark.Model().HasSelection());
    ClickText(rpm, 5, rpm.BottomLine() - 1);
    QTest::mouseClick(rpm.findChild<QPushButton*>("5003"), Qt::LeftButton);
    EXPECT_EQ((Bytes{image[start + 4], image[start + 5]}), (Bytes{101, 60}));
    const auto moved = image.values;
    sparkEdit->setText("99");
    spark.ApplyChange();
    EXPECT_EQ(image.values, moved);  // no store into the index the bytes left

    image[ImageSize - 1] = 0;  // no free byte left
    ClickText(rpm, 5, rpm.BottomLine() - 1);
    QTest::mouseClick(rpm.findChild<QPushButton*>("5003"), Qt::LeftButton);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text + "/" + prompter.messages[0].caption,
              "Row cannot be added/Table Full");
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::Stop);
}

// Renders every window over the demonstration calibration to a PNG for a
// person to look at; closing one emits Closed and deletes it.
TEST_F(Windows, RenderAndCloseAllFive) {
    ASSERT_EQ(ReadDataFile(KORVEL_SOURCE_DIR "/data/demo.dat", image).valuesStored, ImageSize);
    QWidget owner;
    const QColor darkGreen(18, 105, 61), red(255, 0, 0);  // x values, or the "MAP"/"RPM" marks
    const std::tuple<EditorKind, const char*, QColor> kinds[] = {
        {EditorKind::Rpm, "rpm", darkGreen}, {EditorKind::Fuel, "fuel", darkGreen},
        {EditorKind::Ve, "ve", red},         {EditorKind::VeLp, "ve-lp", red},
        {EditorKind::Spark, "spark", red},
    };
    for (const auto& [kind, file, mustShow] : kinds) {
        QPointer<EditorWindow> window = CreateEditorWindow(kind, image, prompter, &owner);
        EXPECT_TRUE(window->isWindow());
        if (kind == EditorKind::Fuel) {
            window->resize(650, 250);  // as the main window shows it
        }
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QImage shot = window->grab().toImage();
        EXPECT_TRUE(Shows(shot, mustShow) && Shows(shot, QColor(0, 0, 255))) << file;
        EXPECT_TRUE(shot.save(QString(KORVEL_BINARY_DIR "/editor-%1.png").arg(file)));
        QSignalSpy closed(window.data(), &EditorWindow::Closed);
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(closed.count(), 1) << file;
        EXPECT_TRUE(window.isNull()) << file;
    }
}

}  // namespace
}  // namespace korvel
