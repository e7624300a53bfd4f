// The session's changes of the image: each is one step, told to every
// observer once with the slots it changed, and an observer may leave while
// it is being told.
#include <gtest/gtest.h>

#include "tests/support/SessionRig.h"

namespace korvel {
namespace {

TEST(CalibrationSession, EachChangeIsOneStepToldOnceWithItsSlots) {
    SessionRig rig;
    CalibrationSession& session = rig.session;
    std::vector<SessionEvent> seen;
    auto first = session.Observe([&](const SessionEvent& e) { seen.push_back(e); });
    std::optional<CalibrationSession::Subscription> second;
    int secondCalls = 0;
    second = session.Observe([&](const SessionEvent&) {
        ++secondCalls;
        second.reset();  // leaves while being told
    });
    const auto set = [](int index, uint32_t value) {
        return [=](CalibrationImage& image) {
            image[index] = value;
            return true;
        };
    };
    EXPECT_TRUE(session.Edit("Change", set(7, 9)));
    EXPECT_TRUE(session.Edit("Same", set(7, 9)));  // acted, but changed nothing: no step
    EXPECT_TRUE(session.Edit("Add Row", set(8, 1), SessionChange::Structure));
    EXPECT_TRUE(session.Undo());
    EXPECT_TRUE(session.Redo());
    rig.Load(CalibrationImage{});
    const std::vector<std::tuple<SessionChange, std::string, std::vector<int>>> expected = {
        {SessionChange::Edit, "Change", {7}},     {SessionChange::Structure, "Add Row", {8}},
        {SessionChange::Undo, "Add Row", {8}},    {SessionChange::Redo, "Add Row", {8}},
        {SessionChange::NewImage, "", {7, 8}}};
    ASSERT_EQ(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(std::tie(seen[i].change, seen[i].name, seen[i].indices),
                  std::tie(std::get<0>(expected[i]), std::get<1>(expected[i]),
                           std::get<2>(expected[i])))
            << i;
    }
    EXPECT_EQ(secondCalls, 1);
    EXPECT_FALSE(session.History().CanUndo());  // a new image, a new history
    EXPECT_TRUE(rig.scheduler.statusFlags.Test(DataLoaded));
    first.End();
    session.Edit("Change", set(1, 1));
    EXPECT_EQ(seen.size(), expected.size());
}

}  // namespace
}  // namespace korvel
