#include <gtest/gtest.h>

#include "calib/ImageHistory.h"
#include "calib/KnownCopies.h"

namespace korvel {
namespace {

CalibrationImage With(int index, uint32_t value, CalibrationImage image = {}) {
    image[index] = value;
    return image;
}

// Applies `after` to `image` as one recorded step.
void Change(ImageHistory& history, CalibrationImage& image, const char* name,
            const CalibrationImage& after) {
    const CalibrationImage before = image;
    image = after;
    history.Record(name, before, image);
}

TEST(ImageHistory, UndoAndRedoWalkTheNamedStepsAndANewChangeCutsRedo) {
    ImageHistory history;
    CalibrationImage image;
    const CalibrationImage a = With(1, 5), b = With(2, 7, a), c = With(300, 9, b);
    Change(history, image, "Change", a);
    Change(history, image, "Add Row", b);
    EXPECT_FALSE(history.Record("Governor", b, b));  // OK without a change: no step
    Change(history, image, "Governor", c);
    EXPECT_EQ(history.UndoName(), "Governor");
    EXPECT_EQ(history.RedoName(), "");

    const struct {
        bool undo;
        const CalibrationImage* image;
        const char *undoName, *redoName;
    } walk[] = {
        {true, &b, "Add Row", "Governor"},  {true, &a, "Change", "Add Row"},
        {true, nullptr, "", "Change"},      {false, &a, "Change", "Add Row"},
        {false, &b, "Add Row", "Governor"},
    };
    const CalibrationImage empty;
    for (const auto& step : walk) {
        EXPECT_TRUE(step.undo ? history.Undo(image) : history.Redo(image));
        EXPECT_EQ(image.values, (step.image ? *step.image : empty).values);
        EXPECT_EQ(history.UndoName(), step.undoName);
        EXPECT_EQ(history.RedoName(), step.redoName);
    }
    Change(history, image, "Step", With(3, 1, image));  // a new change: Governor can't come back
    EXPECT_FALSE(history.CanRedo());
    EXPECT_FALSE(history.Redo(image));
    EXPECT_EQ(image.values, With(3, 1, b).values);

    history.Clear();  // Open and Upload
    EXPECT_FALSE(history.CanUndo() || history.CanRedo());
    EXPECT_FALSE(history.Undo(image));
    EXPECT_EQ(image.values, With(3, 1, b).values);
}

TEST(ImageHistory, KeepsTheLatest200Steps) {
    ImageHistory history;
    CalibrationImage image;
    for (uint32_t n = 1; n <= 205; ++n) {
        Change(history, image, "Step", With(0, n, image));
    }
    EXPECT_EQ(history.UndoCount(), ImageHistory::MaxSteps);
    while (history.Undo(image)) {
    }
    EXPECT_EQ(image[0], 5u);  // the five oldest steps are gone
    EXPECT_EQ(history.RedoName(), "Step");
}

TEST(KnownCopies, UnsavedChangesAndTheEcuCopyFollowFileAndTransferEvents) {
    const CalibrationImage zero, one = With(1, 1), two = With(2, 2);
    KnownCopies copies;
    // Each event, then the image in memory: unsaved, differs from the ECU, file name.
    enum Event { None, Opened, OpenedShort, Saved, Uploaded, Downloaded };
    const struct {
        Event event;
        const CalibrationImage* image;
        bool unsaved, differs;
        const char* name;
    } steps[] = {
        {None, &zero, false, false, ""},  // at start nothing is loaded or known
        {None, &one, true, false, ""},
        {Opened, &one, false, false, "demo.dat"},
        {None, &two, true, false, "demo.dat"},
        {None, &one, false, false, "demo.dat"},  // undone back to what the file holds
        {Uploaded, &two, false, false, ""},      // the ECU holds it; no file any more
        {None, &one, true, true, ""},
        {Saved, &one, false, true, "b.dat"},
        {Downloaded, &one, false, false, "b.dat"},
        {OpenedShort, &two, true, true, "short.dat"},
    };
    for (const auto& s : steps) {
        const CalibrationImage& image = *s.image;
        switch (s.event) {
            case Opened:
                copies.FileHolds(image, "/data/demo.dat");
                break;
            case OpenedShort:
                copies.FileHolds(image, "C:\\cal\\short.dat", false);
                break;
            case Saved:
                copies.FileHolds(image, "b.dat");
                break;
            case Uploaded:
                copies.Uploaded(image);
                break;
            case Downloaded:
                copies.EcuHolds(image);
                break;
            case None:
                break;
        }
        EXPECT_EQ(copies.HasUnsavedChanges(image), s.unsaved) << &s - steps;
        EXPECT_EQ(copies.DiffersFromEcu(image), s.differs) << &s - steps;
        EXPECT_EQ(copies.FileName(), s.name) << &s - steps;
    }
}

}  // namespace
}  // namespace korvel
