#include <gtest/gtest.h>

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "dialogs/qt/RestorePointsWindow.h"
#include "tests/support/ScratchFolder.h"

namespace korvel {
namespace {

CalibrationImage Filled(uint32_t value, int count = ImageSize) {
    CalibrationImage image;
    image.values.fill(7);
    std::fill_n(image.values.begin(), count, value);
    return image;
}

// A left click at `local` in `widget`, delivered to the window it is in.
void ClickAt(QWidget& window, QWidget* widget, QPoint local) {
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, widget->mapTo(&window, local));
}

void ClickButton(QWidget& window, const char* id) {
    auto* button = window.findChild<QPushButton*>(id);
    ASSERT_NE(button, nullptr) << id;
    ClickAt(window, button, button->rect().center());
}

void ClickRow(QWidget& window, QTreeWidget* list, int row) {
    const QRect rect = list->visualItemRect(list->topLevelItem(row));
    ClickAt(window, list->viewport(), rect.center());
}

using Rows = std::vector<std::vector<std::string>>;

Rows Listed(const QTreeWidget* list) {
    Rows rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        rows.emplace_back();
        for (int column = 0; column < 4; ++column) {
            rows.back().push_back(list->topLevelItem(i)->text(column).toStdString());
        }
    }
    return rows;
}

struct RestorePointsWindowTest : ScratchFolder {
    PointResult Save(const CalibrationImage& image, RestoreReason reason, std::string dataFile) {
        wallMs += 60'000;
        return points.Save(image, {reason, "COM1", std::move(dataFile), {}});
    }
    int64_t wallMs = 1'700'000'000'000;
    RestorePoints points{folder, [this] { return wallMs; }};
};

// Newest first, with each point's difference from the image; a click on a
// row and then a button asks for that point, which an unreadable one cannot.
TEST_F(RestorePointsWindowTest, ListsThePointsAndAsksForTheChosenOne) {
    const CalibrationImage image = Filled(7);
    const std::string uploaded = Save(image, RestoreReason::Upload, "/cal/a.dat").path;
    const std::string before = Save(Filled(2, 3), RestoreReason::BeforePoke, "/cal/a.dat").path;
    Save(Filled(2, 3), RestoreReason::AfterPoke, "");
    std::ofstream(folder + "/20231115-001900-rollback.dat") << "1\r\n";  // broken
    RestorePointsWindow window(points, &image, nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Restore Points");
    auto* list = window.findChild<QTreeWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Listed(list), (Rows{
                                {"2023-11-15 00:19:00", "rollback", "", "unreadable"},
                                {"2023-11-15 00:16:20", "after-poke", "", "3"},
                                {"2023-11-15 00:15:20", "before-poke", "a.dat", "3"},
                                {"2023-11-15 00:14:20", "upload", "a.dat", "0"},
                            }));
    auto* open = window.findChild<QPushButton*>("open");
    auto* compare = window.findChild<QPushButton*>("compare");
    EXPECT_FALSE(open->isEnabled());

    QSignalSpy opened(&window, &RestorePointsWindow::OpenRequested);
    QSignalSpy compared(&window, &RestorePointsWindow::CompareRequested);
    ClickRow(window, list, 2);
    ClickButton(window, "open");
    ClickRow(window, list, 3);
    ClickButton(window, "compare");
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString().toStdString(), before);
    ASSERT_EQ(compared.count(), 1);
    EXPECT_EQ(compared.at(0).at(0).toString().toStdString(), uploaded);

    window.SetEcuOnLine(false);
    EXPECT_TRUE(open->isEnabled());
    EXPECT_FALSE(compare->isEnabled());
    ClickRow(window, list, 0);  // the broken one
    EXPECT_FALSE(open->isEnabled());
    ClickButton(window, "open");
    EXPECT_EQ(opened.count(), 1);
}

// A point saved meanwhile comes in at the top; the choice and the counts
// follow the image given.
TEST_F(RestorePointsWindowTest, RefreshShowsNewPointsAndKeepsTheChoice) {
    RestorePointsWindow window(points, nullptr, nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* list = window.findChild<QTreeWidget*>();
    EXPECT_EQ(Listed(list).size(), 0u);
    EXPECT_EQ(window.findChild<QLabel*>()->text().toStdString(), "No restore points in " + folder);

    const std::string first = Save(Filled(1), RestoreReason::Upload, "").path;
    window.Refresh(nullptr);
    ASSERT_EQ(Listed(list).size(), 1u);
    EXPECT_EQ(Listed(list)[0][3], "");  // nothing to compare with
    ClickRow(window, list, 0);
    Save(Filled(2), RestoreReason::BeforeDownload, "");
    const CalibrationImage image = Filled(2, 10);
    window.Refresh(&image);
    const Rows rows = Listed(list);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][1], "before-download");
    EXPECT_EQ((std::vector{rows[0][3], rows[1][3]}), (std::vector<std::string>{"502", "512"}));
    EXPECT_EQ(window.SelectedPath().toStdString(), first);
    EXPECT_EQ(window.findChild<QLabel*>()->text().toStdString(), "2 restore points in " + folder);
}

}  // namespace
}  // namespace korvel
