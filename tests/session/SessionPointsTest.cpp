// The session's restore points against the virtual ECU: which reads and
// writes make which points with which bytes, a rollback of a failed write,
// and a folder that takes no point.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "tests/support/ScratchFolder.h"
#include "tests/support/SessionRig.h"

namespace korvel {
namespace {

// The ECU holds Pattern(1); `edited` differs from it at 3, 5 and 9.
struct SessionPoints : ScratchFolder {
    SessionPoints() {
        for (int i : {3, 5, 9}) {
            edited[i] = (old[i] + 1) & 0xFF;
        }
        Reset();
    }
    // A new session and a fresh folder.
    void Reset() {
        std::filesystem::remove_all(folder);
        rig = std::make_unique<SessionRig>();
        rig->ecu.LoadCalibration(old);
        rig->session.portName = [] { return std::string("COM7"); };
        Keep({});
    }
    void Keep(DataFileWriter writer) {
        rig->session.KeepRestorePoints(RestorePoints(
            folder, [this] { return rig->clock.WallMs(); }, std::move(writer)));
    }
    // Reason, bytes and bytes programmed of every point, oldest first.
    struct Seen {
        std::string reason;
        CalibrationImage bytes;
        std::optional<int> programmed;
        bool operator==(const Seen& o) const {
            return reason == o.reason && bytes.values == o.bytes.values &&
                   programmed == o.programmed;
        }
    };
    std::vector<Seen> Points() {
        std::vector<Seen> seen;
        for (const RestorePoint& p : rig->session.Points()->List()) {
            Seen s{p.reason, {}, p.bytesProgrammed};
            EXPECT_TRUE(LoadRestorePoint(p.path, s.bytes)) << p.path;
            EXPECT_EQ(p.port, "COM7");
            seen.insert(seen.begin(), s);
        }
        return seen;
    }
    void EditLikeTheImage() {
        rig->session.Edit("Change", [this](CalibrationImage& image) {
            image = edited;
            return true;
        });
    }

    std::unique_ptr<SessionRig> rig;
    const CalibrationImage old = Pattern(1);
    CalibrationImage edited = Pattern(1);
};

TEST_F(SessionPoints, EachReadAndWriteMakesItsPointsWithTheirBytes) {
    CalibrationSession* s = nullptr;
    CalibrationImage poked = old;
    poked[7] = 200;
    const CalibrationImage other = Pattern(2);
    CalibrationImage read;
    const struct {
        const char* name;
        std::function<void()> run;
        std::vector<Seen> points;
    } cases[] = {
        {"an upload, the second of the same bytes skipped",
         [&] {
             s->Upload();
             s->Upload();
         },
         {{"upload", old, {}}}},
        {"a compare, skipped until the ECU holds other bytes",
         [&] {
             s->Upload();
             s->ReadEcu(read);
             rig->ecu.LoadCalibration(other);
             s->ReadEcu(read);
         },
         {{"upload", old, {}}, {"read", other, {}}}},
        {"a download after an upload",
         [&] {
             s->Upload();
             EditLikeTheImage();
             s->Write(WriteRequest::Of(WriteKind::Download));
         },
         {{"upload", old, {}}, {"before-download", old, {}}, {"after-download", edited, 3}}},
        {"a download after an open: its before point from its reads",
         [&] {
             rig->Load(edited);
             s->Write(WriteRequest::Of(WriteKind::Download));
         },
         {{"before-download", old, {}}, {"after-download", edited, 3}}},
        {"a download of the changes after an open",
         [&] {
             rig->Load(edited);
             s->Write(WriteRequest::Of(WriteKind::DownloadChanges));
         },
         {{"before-download", old, {}}, {"after-download", edited, 3}}},
        {"a program after a compare",
         [&] {
             rig->Load(edited);
             s->ReadEcu(read);
             s->Write(WriteRequest::Program({3, 9}));
         },
         {{"read", old, {}},
          {"before-download", old, {}},
          {"after-download",
           [&] {
               CalibrationImage two = edited;
               two[5] = old[5];
               return two;
           }(),
           2}}},
        {"a poke after an upload",
         [&] {
             s->Upload();
             s->Write(WriteRequest::Poke(0x0E07, 200));
         },
         {{"upload", old, {}}, {"before-poke", old, {}}, {"after-poke", poked, 1}}},
        {"a poke of a block not known", [&] { s->Write(WriteRequest::Poke(0x0E07, 200)); }, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        s = &rig->session;
        ASSERT_TRUE(rig->ReachEcu());
        c.run();
        EXPECT_EQ(Points(), c.points);
        EXPECT_TRUE(rig->reporter.Messages().empty());
    }
}

// A download of the changes whose ECU falls silent at byte 5's read-back:
// programming back the old values leaves the ECU as it was and saves a
// rollback point; the session no longer fears a mix.
TEST_F(SessionPoints, RollbackOfAFailedWritePutsTheEcuBack) {
    ASSERT_TRUE(rig->ReachEcu());
    rig->Load(edited);
    rig->ecu.ClearRecords();
    rig->ecu.faults.silentAfterBytes = 516 + 11 + 8;
    const WriteResult failed = rig->session.Write(WriteRequest::Of(WriteKind::DownloadChanges));
    ASSERT_FALSE(failed.ok());
    EXPECT_TRUE(rig->session.EcuMayHoldMix());
    EXPECT_EQ(OldValues(failed), (std::map<int, uint32_t>{{3, old[3]}, {5, old[5]}}));
    EXPECT_FALSE(failed.beforePoint.empty());
    EXPECT_TRUE(failed.afterPoint.empty());  // byte 5 unknown

    rig->ecu.faults.silentAfterBytes = -1;  // the ECU answers again
    ASSERT_TRUE(rig->ReachEcu());
    const WriteResult back = rig->session.Write(WriteRequest::Rollback(OldValues(failed)));
    EXPECT_TRUE(back.ok());
    EXPECT_EQ(back.verified, 2);
    EXPECT_EQ(rig->ecu.Calibration().values, old.values);
    EXPECT_FALSE(rig->session.EcuMayHoldMix());
    EXPECT_EQ(Points(), (std::vector<Seen>{{"before-download", old, {}}, {"rollback", old, 2}}));
}

// A full disk: a read says so and goes on; a write asks first, and without
// an answer that lets it go on it sends nothing at all.
TEST_F(SessionPoints, AFolderThatTakesNoPointIsToldAndAWriteAsksFirst) {
    Keep([](int, std::string_view) {
        errno = ENOSPC;
        return false;
    });
    ASSERT_TRUE(rig->ReachEcu());
    EXPECT_EQ(rig->session.Upload(), TransferOutcome::Succeeded);
    const std::string why =
        "No restore point could be saved in " + folder + ": " + std::strerror(ENOSPC);
    EXPECT_EQ(rig->reporter.Messages(), std::vector<std::string>{why});
    EditLikeTheImage();

    for (const WriteKind kind : {WriteKind::Download, WriteKind::Poke}) {
        const WriteRequest request =
            kind == WriteKind::Poke ? WriteRequest::Poke(0x0E03, 1) : WriteRequest::Of(kind);
        rig->ecu.ClearRecords();
        rig->session.goOnWithoutPoint = nullptr;
        const WriteResult refused = rig->session.Write(request);
        EXPECT_TRUE(refused.withoutPoint);
        EXPECT_EQ(refused.refusal, why);
        EXPECT_TRUE(rig->ecu.Received().empty());

        std::vector<std::string> asked;
        rig->session.goOnWithoutPoint = [&](const std::string& text) {
            asked.push_back(text);
            return true;
        };
        EXPECT_TRUE(rig->session.Write(request).ok());
        EXPECT_EQ(asked, std::vector<std::string>{why});  // asked once, not told again after
    }
    EXPECT_EQ(rig->reporter.Messages().size(), 1u);
    EXPECT_EQ(rig->ecu.Calibration()[3], 1u);

    // A download that learns the block only as it goes tries the folder first.
    rig->Load(old);
    rig->ecu.ClearRecords();
    rig->session.goOnWithoutPoint = nullptr;
    rig->session.ForgetEcu();
    const WriteResult refused = rig->session.Write(WriteRequest::Of(WriteKind::DownloadChanges));
    EXPECT_EQ(refused.refusal, why);
    EXPECT_TRUE(rig->ecu.Received().empty());
}

}  // namespace
}  // namespace korvel
