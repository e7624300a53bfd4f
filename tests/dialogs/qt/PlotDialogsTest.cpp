#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <cstring>
#include <vector>

#include "dialogs/Dialogs.h"
#include "tests/dialogs/qt/DialogDriver.h"
#include "tests/support/qt/ScriptedPrompter.h"

namespace korvel {
namespace {

using testing::Click;
using testing::Field;
using testing::FieldText;
using testing::SetField;
using Channels = std::array<int32_t, 3>;

MonitorFile MonitorWith(const std::vector<const char*>& names) {
    MonitorFile monitor;
    monitor.variableCount = static_cast<int>(names.size());
    for (size_t k = 0; k < names.size(); ++k) {
        std::memcpy(monitor.variableNames[k].data(), names[k], VariableNameLength);
    }
    return monitor;
}

QListWidget* List(const QDialog& dialog) {
    return dialog.findChild<QListWidget*>(QStringLiteral("1000"));
}

void ExpectOneMessage(ScriptedPrompter& prompter, const char* text, const char* caption) {
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].text, text);
    EXPECT_EQ(prompter.messages[0].caption, caption);
    EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::Exclamation);
    prompter.messages.clear();
}

TEST(PlotVariableDialog, OffersEveryVariableInFileOrderFirstSelected) {
    const std::pair<MonitorFile, QStringList> cases[] = {
        {MonitorWith({}), {}},
        {MonitorFile{}, {""}},  // before any file: one zero-filled name
        {MonitorWith({"RPM  "}), {"RPM  "}},
        {MonitorWith({"RPM  ", "MAP  ", "Tair "}), {"RPM  ", "MAP  ", "Tair "}},
    };
    for (const auto& [monitor, items] : cases) {
        PlotState plot;
        ScriptedPrompter prompter;
        PlotVariableDialog dialog(monitor, plot, prompter, nullptr);
        QStringList shown;
        for (int i = 0; i < List(dialog)->count(); ++i) {
            shown << List(dialog)->item(i)->text();
        }
        EXPECT_EQ(shown, items);
        EXPECT_EQ(List(dialog)->selectedItems().size(), items.isEmpty() ? 0 : 1);
        EXPECT_EQ(List(dialog)->currentRow(), items.isEmpty() ? -1 : 0);
        // With nothing to select, Add and Delete do nothing, silently.
        Click(dialog, "1003");
        Click(dialog, "1004");
        EXPECT_TRUE(prompter.messages.empty());
    }
}

class PlotVariableDialogTest : public ::testing::Test {
protected:
    MonitorFile monitor = MonitorWith({"RPM  ", "MAP  ", "Tair "});
    PlotState plot;
    ScriptedPrompter prompter;
    PlotVariableDialog dialog{monitor, plot, prompter, nullptr};

    void SetUp() override { dialog.show(); }
    void Add(int row, const char* minimum = "0", const char* maximum = "3000") {
        List(dialog)->setCurrentRow(row);
        SetField(dialog, "1013", minimum);
        SetField(dialog, "1014", maximum);
        Click(dialog, "1003");
    }
};

TEST_F(PlotVariableDialogTest, SameVariableThreeTimesThenNoChannelLeft) {
    Add(1, "10", "200");
    Add(1, "", "3000");
    Add(1, "500", "5");
    EXPECT_EQ(plot.plottedVariable, (Channels{1, 1, 1}));
    EXPECT_EQ(plot.plotMinimum, (std::array<float, 3>{10.0f, 0.0f, 500.0f}));
    EXPECT_EQ(plot.plotMaximum, (std::array<float, 3>{200.0f, 3000.0f, 5.0f}));
    EXPECT_TRUE(prompter.messages.empty());

    Add(2, "7", "8");
    ExpectOneMessage(prompter, "No more variables can be plotted", "Please delete a variable");
    EXPECT_EQ(plot.plottedVariable, (Channels{1, 1, 1}));
    EXPECT_EQ(plot.plotMinimum[0], 10.0f);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(PlotVariableDialogTest, DeleteFreesFirstChannelThenReportsNotPlotted) {
    Add(0);
    Add(2);
    Add(0);
    plot.lastPointX = {11, 22, 33};
    plot.lastPointY = {44, 55, 66};
    List(dialog)->setCurrentRow(0);
    Click(dialog, "1004");
    EXPECT_EQ(plot.plottedVariable, (Channels{-1, 2, 0}));
    EXPECT_EQ(plot.lastPointX, (Channels{0, 22, 33}));
    EXPECT_EQ(plot.lastPointY, (Channels{0, 55, 66}));
    Click(dialog, "1004");
    EXPECT_EQ(plot.plottedVariable, (Channels{-1, 2, -1}));
    EXPECT_TRUE(prompter.messages.empty());

    Click(dialog, "1004");
    ExpectOneMessage(prompter, "This variable is not being plotted", "Variable cannot be deleted");
    EXPECT_EQ(plot.plottedVariable, (Channels{-1, 2, -1}));
}

// The dialog opens with the focus on its first control, "Add": Enter adds the
// selected variable and leaves the dialog open.
TEST_F(PlotVariableDialogTest, EnterOnOpeningAddsTheFirstVariable) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    EXPECT_EQ(focused->objectName().toStdString(), "1003");
    QTest::keyClick(focused, Qt::Key_Return);
    EXPECT_EQ(plot.plottedVariable, (Channels{0, -1, -1}));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(PlotVariableDialogTest, ReopenedDialogShowsTheStartRange) {
    Add(0, "100", "900");
    SetField(dialog, "1013", "1");
    Click(dialog, "1");
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(plot.plotMinimum[0], 100.0f);  // OK itself stores nothing

    PlotVariableDialog again(monitor, plot, prompter, nullptr);
    EXPECT_EQ(FieldText(again, "1013"), "0");
    EXPECT_EQ(FieldText(again, "1014"), "3000");
}

TEST_F(PlotVariableDialogTest, RangeFieldsTakeDigitsOnly) {
    for (const char* id : {"1013", "1014"}) {
        Field(dialog, id)->clear();
        QTest::keyClicks(Field(dialog, id), "-1a2.5 e3");
        EXPECT_EQ(FieldText(dialog, id), "1253") << id;
    }
}

TEST(TimeScaleDialog, StoresOnlyUsableSweepLengths) {
    const std::pair<QString, int32_t> cases[] = {
        // 0: refused, the old value kept
        {"15", 15},     {"  15 s", 15},    {"2147483", MaxTimeScaleSeconds},
        {"0", 0},       {"", 0},           {"abc", 0},
        {"2147484", 0}, {"4294967296", 0},
    };
    for (const auto& [text, stored] : cases) {
        PlotState plot;
        plot.timeScale = 33;
        ScriptedPrompter prompter;
        TimeScaleDialog dialog(plot, prompter, nullptr);
        dialog.show();
        EXPECT_EQ(FieldText(dialog, "1042"), "33");
        SetField(dialog, "1042", text);
        QTest::keyClick(Field(dialog, "1042"), Qt::Key_Return);  // Enter is OK here
        EXPECT_EQ(plot.timeScale, stored != 0 ? stored : 33) << text.toStdString();
        EXPECT_EQ(dialog.isVisible(), stored == 0) << text.toStdString();
        EXPECT_EQ(prompter.messages.size(), stored == 0 ? 1u : 0u) << text.toStdString();
        if (stored == 0 && !prompter.messages.empty()) {
            EXPECT_EQ(prompter.messages[0].caption, "Time Scale Error");
            EXPECT_EQ(prompter.messages[0].icon, Prompter::Icon::Exclamation);
        }
        SetField(dialog, "1042", "77");
        Click(dialog, "2");  // Cancel never stores
        EXPECT_EQ(plot.timeScale, stored != 0 ? stored : 33);
    }
}

}  // namespace
}  // namespace korvel
