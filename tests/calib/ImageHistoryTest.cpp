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

TEST(ImageHistory, UndoAndRedoWalkTheLatest200NamedStepsAndANewChangeCutsRedo) {
    ImageHistory history;
    CalibrationImage image;
    const CalibrationImage a = With(1, 5), b = With(2, 7, a), c = With(300, 9, b);
    Change(history, image, "Change", a);
    Change(history, image, "Add Row", b);
    EXPECT_FALSE(history.Record("Governor", b, b));  // OK without a change: no step
    Change(history, image, "Governor", c);
    const struct {
        bool undo;
        const CalibrationImage* image;
        const char *undoName, *redoName;
    } walk[] = {{true, &b, "Add Row", "Governor"},
                {true, &a, "Change", "Add Row"},
                {true, nullptr, "", "Change"},
                {false, &a, "Change", "Add Row"},
                {false, &b, "Add Row", "Governor"}};
    const CalibrationImage empty;
    for (const auto& step : walk) {
        EXPECT_TRUE(step.undo ? history.Undo(image) : history.Redo(image));
        EXPECT_EQ(image.values, (step.image ? *step.image : empty).values);
        EXPECT_EQ(history.UndoName(), step.undoName);
        EXPECT_EQ(history.RedoName(), step.redoName);
    }
    Change(history, image, "Step", With(3, 1, image));  // a new change: Governor can't come back
    EXPECT_FALSE(history.Redo(image));
    history.Clear();  // Open and Upload
    EXPECT_FALSE(history.Undo(image));
    EXPECT_EQ(image.values, With(3, 1, b).values);

    image = {};  // only the latest 200 steps are kept
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
    using Event = void (*)(KnownCopies&, const CalibrationImage&);
    const Event none = [](KnownCopies&, const CalibrationImage&) {};
    // Each event, then the image in memory: unsaved, differs from the ECU, file name.
    const struct {
        Event event;
        const CalibrationImage* image;
        bool unsaved, differs;
        const char* name;
    } steps[] = {
        {none, &zero, false, false, ""},  // at start nothing is loaded or known
        {none, &one, true, false, ""},
        {[](auto& c, auto& i) { c.FileHolds(i, "/data/demo.dat"); }, &one, false, false,
         "demo.dat"},
        {none, &two, true, false, "demo.dat"},
        {none, &one, false, false, "demo.dat"},  // undone back to what the file holds
        {[](auto& c, auto& i) { c.Uploaded(i); }, &two, false, false, ""},  // no file any more
        {none, &one, true, true, ""},
        {[](auto& c, auto& i) { c.FileHolds(i, "b.dat"); }, &one, false, true, "b.dat"},
        {[](auto& c, auto& i) { c.EcuHolds(i); }, &one, false, false, "b.dat"},
        {[](auto& c, auto& i) { c.FileHolds(i, "C:\\cal\\short.dat", false); }, &two, true, true,
         "short.dat"}};
    for (const auto& s : steps) {
        s.event(copies, *s.image);
        SCOPED_TRACE(&s - steps);
        EXPECT_EQ(copies.HasUnsavedChanges(*s.image), s.unsaved);
        EXPECT_EQ(copies.DiffersFromEcu(*s.image), s.differs);
        EXPECT_EQ(copies.FileName(), s.name);
    }
}

}  // namespace
}  // namespace korvel
