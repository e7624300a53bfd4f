#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <fstream>
#include <memory>

#include "editors/qt/CurveEditorWindow.h"
#include "editors/qt/TableEditorWindow.h"
#include "tests/editors/SampleImage.h"
#include "tests/support/qt/ScriptedPrompter.h"

namespace korvel {
namespace {

// The demonstration calibration when it is there, else the sample image.
CalibrationImage DemoImage() {
    std::ifstream in(KORVEL_SOURCE_DIR "/data/demo.dat");
    CalibrationImage image{};
    int count = 0;
    for (long value = 0; count < ImageSize && in >> value;) {
        image[count++] = static_cast<uint32_t>(value);
    }
    return count == ImageSize ? image : test::SampleImage();
}

// Shows the window, clicks the middle of a text position and paints.
template <typename Window>
QLineEdit* ClickText(Window* window, int column, int line) {
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    const QSize cell = window->CharCell();
    QTest::mouseClick(
        window, Qt::LeftButton, {},
        QPoint(column * cell.width() + cell.width() / 2, line * cell.height() + cell.height() / 2));
    window->repaint();
    return window->template findChild<QLineEdit*>("5001");
}

void Press(QWidget* window, const char* id) {
    QTest::mouseClick(window->findChild<QPushButton*>(id), Qt::LeftButton);
}

struct Windows : ::testing::Test {
    ScriptedPrompter prompter;
    CalibrationImage image = test::SampleImage();
};

TEST_F(Windows, TypedRpmValueIsStoredOnEnter) {
    image = DemoImage();
    const int start = PointerTarget(image, PositionRpmCurveSlot);
    RpmCurvesWindow window(image, prompter, nullptr);
    QLineEdit* edit = ClickText(&window, 10, window.BottomLine());
    const QString shown = QString(" %1 ").arg(image[start + 1] * 20.0, 4, 'f', 0);
    EXPECT_EQ(edit->text(), shown);
    EXPECT_EQ(edit->selectedText(), shown);
    QTest::keyClicks(edit, "1500");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(image[start + 1], 75u);
    EXPECT_FALSE(window.Model().HasSelection());
}

TEST_F(Windows, AddRowInsertsAndOtherWindowsDropTheirSelection) {
    const int start = PointerTarget(image, PositionRpmCurveSlot);
    RpmCurvesWindow rpm(image, prompter, nullptr);
    SparkTableWindow spark(image, nullptr);
    QObject::connect(&rpm, &EditorWindow::ImageStructureChanged, &spark,
                     &EditorWindow::DropSelection);
    QSignalSpy inserted(&rpm, &EditorWindow::ImageStructureChanged);
    QLineEdit* sparkEdit = ClickText(&spark, 12, spark.BottomLine());
    ASSERT_TRUE(spark.Model().HasSelection());
    ClickText(&rpm, 5, rpm.BottomLine() - 1);
    Press(&rpm, "5003");
    EXPECT_EQ(image[start + 4], 101u);
    EXPECT_EQ(image[start + 5], 60u);
    EXPECT_EQ(inserted.count(), 1);
    const auto moved = image.values;
    sparkEdit->setText("99");
    spark.ApplyChange();
    EXPECT_EQ(image.values, moved);  // no store into the index the bytes left
}

TEST_F(Windows, AddRowWithoutRoomShowsTableFull) {
    image[ImageSize - 1] = 0;
    RpmCurvesWindow window(image, prompter, nullptr);
    ClickText(&window, 5, window.BottomLine() - 1);
    Press(&window, "5003");
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, "Row cannot be added");
    EXPECT_EQ(prompter.messages[0].caption, "Table Full");
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::Stop);
}

// A resize moves another cell under the clicked position: the box follows it.
TEST_F(Windows, EditBoxFollowsTheSelectedCell) {
    RpmCurvesWindow window(image, prompter, nullptr);
    QLineEdit* edit = ClickText(&window, 10, window.BottomLine());
    EXPECT_EQ(edit->text(), "  800 ");
    window.resize(window.width(), window.height() + window.CharCell().height());
    window.repaint();
    EXPECT_EQ(edit->text(), " 1200 ");
}

TEST_F(Windows, EnterOnTheTableWindowItselfApplies) {
    const int ve = PointerTarget(image, VeTableSlot);
    VeLpTableWindow window(image, nullptr);
    QLineEdit* edit = ClickText(&window, 12, window.BottomLine());
    EXPECT_EQ(edit->text(), "  60");
    edit->setText("42");
    QTest::keyClick(&window, Qt::Key_Enter);
    EXPECT_EQ(image[ve + 5], 42u);
    EXPECT_EQ(image[ve + 4], 50u);
}

TEST_F(Windows, CloseEmitsClosedAndDeletesTheWindow) {
    for (EditorKind kind : {EditorKind::Rpm, EditorKind::Spark}) {
        QPointer<EditorWindow> window = CreateEditorWindow(kind, image, prompter, nullptr);
        QSignalSpy closed(window.data(), &EditorWindow::Closed);
        window->show();
        window->close();
        EXPECT_EQ(closed.count(), 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(window.isNull());
    }
}

bool Shows(const QImage& shot, QColor colour) {
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            if (shot.pixelColor(x, y) == colour) {
                return true;
            }
        }
    }
    return false;
}

// Renders every window over the demonstration calibration for a person to look at.
TEST_F(Windows, RenderAllFiveOverTheDemoCalibration) {
    image = DemoImage();
    QWidget owner;
    const QColor darkGreen(18, 105, 61), red(255, 0, 0);
    const struct {
        EditorKind kind;
        const char* file;
        QColor mustShow;  // x values, or the "MAP"/"RPM" marks
    } kinds[] = {{EditorKind::Rpm, "rpm", darkGreen},
                 {EditorKind::Fuel, "fuel", darkGreen},
                 {EditorKind::Ve, "ve", red},
                 {EditorKind::VeLp, "ve-lp", red},
                 {EditorKind::Spark, "spark", red}};
    for (const auto& k : kinds) {
        EditorWindow* window = CreateEditorWindow(k.kind, image, prompter, &owner);
        EXPECT_TRUE(window->isWindow());
        if (k.kind == EditorKind::Fuel) {
            window->resize(650, 250);  // as the main window shows it
        }
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QImage shot = window->grab().toImage();
        EXPECT_TRUE(Shows(shot, k.mustShow)) << k.file;
        EXPECT_TRUE(Shows(shot, QColor(0, 0, 255))) << k.file;
        EXPECT_TRUE(shot.save(QString(KORVEL_BINARY_DIR "/editor-%1.png").arg(k.file)));
        window->close();
    }
}

}  // namespace
}  // namespace korvel
