// Every write to the ECU through the session's one operation, against the
// virtual ECU falling silent at chosen bytes: what it programs, how far it
// says it got, and what it then knows of the ECU's bytes.
#include <gtest/gtest.h>

#include "tests/support/SessionRig.h"

namespace korvel {
namespace {

// The ECU holds Pattern(1); the image differs at 3, 5 and 9.
struct Writes : ::testing::Test {
    void SetUp() override {
        rigs = std::make_unique<SessionRig>();
        image = ecu;
        R().ecu.LoadCalibration(ecu);
        for (int i : {3, 5, 9}) {
            image[i] = (ecu[i] + 1) & 0xFF;
        }
        R().Load(image);
        ASSERT_TRUE(R().ReachEcu());
    }
    // Runs `kind`, the ECU answering `answered` bytes of the write (-1: all).
    SessionRig& R() { return *rigs; }
    WriteResult Run(WriteKind kind, long answered, int cancelAfter = -1) {
        if (kind == WriteKind::Program) {
            CalibrationImage read;
            EXPECT_EQ(R().session.ReadEcu(read), TransferOutcome::Succeeded);
        }
        R().ecu.ClearRecords();
        R().ecu.faults.silentAfterBytes = answered;
        int asked = 0;
        R().link.cancelRequested = [&] { return cancelAfter >= 0 && ++asked > cancelAfter; };
        const WriteRequest request =
            kind == WriteKind::Program ? WriteRequest::Program({3, 5, 9}) : WriteRequest::Of(kind);
        WriteResult result = R().session.Write(request);
        R().link.cancelRequested = nullptr;
        return result;
    }
    std::unique_ptr<SessionRig> rigs = std::make_unique<SessionRig>();
    const CalibrationImage ecu = Pattern(1);
    CalibrationImage image = Pattern(1);
};

// Download sends 5 bytes to read an address and 7 more to program it; the
// download of the changes first reads the block (516 bytes), and it and
// Program send 11 bytes a programmed byte.
TEST_F(Writes, AFailedWriteSaysHowFarItGotAndWhatTheEcuMayHold) {
    using K = WriteKind;
    const char* const mayAlso = "; the byte at E05 may also have been programmed";
    const struct {
        K kind;
        long answered;  // -1: all
        int cancelAfter;
        std::string text;
        std::optional<uint32_t> at5;  // what the session then knows of byte 5
        bool mix;
    } cases[] = {
        {K::Download, -1, -1, "", image[5], false},
        {K::DownloadChanges, -1, -1, "", image[5], false},
        {K::Program, -1, -1, "", image[5], false},
        // Byte 5 read, its LOAD_DATA unanswered: it keeps its old value.
        {K::Download, 37, -1, "1 bytes programmed before the failure at E05", ecu[5], true},
        // Its commit, then its read-back unanswered: it may hold either value.
        {K::Download, 41, -1, std::string("1 bytes programmed before the failure at E05") + mayAlso,
         std::nullopt, true},
        {K::Download, 43, -1, std::string("1 bytes programmed before the failure at E05") + mayAlso,
         std::nullopt, true},
        {K::DownloadChanges, 516 + 11 + 8, -1,
         std::string("1 of 3 bytes programmed before the failure at E05") + mayAlso, std::nullopt,
         true},
        {K::Program, 11 + 8, -1,
         std::string("1 of 3 bytes programmed before the failure at E05") + mayAlso, std::nullopt,
         true},
        // The block read stops before anything was programmed: no mix.
        {K::DownloadChanges, 100, -1, "0 bytes programmed before the failure at E60", std::nullopt,
         false},
        // Cancelled before byte 4: byte 3 is done, byte 5 never read.
        {K::Download, -1, 4, "Download cancelled: 1 bytes programmed", std::nullopt, true},
        {K::Program, -1, 1, "Download cancelled: 1 bytes programmed", ecu[5], true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.kind) << " " << c.answered);
        SetUp();
        const WriteResult result = Run(c.kind, c.answered, c.cancelAfter);
        EXPECT_EQ(result.ok(), c.text.empty());
        EXPECT_EQ(WriteFailureText(result, c.kind), c.text);
        EXPECT_EQ(R().session.Ecu().At(5), c.at5);
        EXPECT_EQ(R().session.EcuMayHoldMix(), c.mix);
        if (result.ok()) {
            EXPECT_EQ(R().ecu.Calibration().values, image.values);
            EXPECT_EQ(result.verified, 3);
        }
        // The old value of every byte it changed, or may have, for an undo.
        for (const auto& [index, old] : result.changed) {
            EXPECT_EQ(old, std::optional<uint8_t>(static_cast<uint8_t>(ecu[index])));
        }
    }
}

// A read-back that differs names both values before the count, and the
// session then knows what the ECU holds there.
TEST_F(Writes, ReadBackThatDiffersIsReportedAndLearnt) {
    R().ecu.faults.unstoredWrites = true;
    const WriteResult result = Run(WriteKind::Download, -1);
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Verify failed at E03: wrote %X, ECU holds %X\n0 bytes programmed before the "
                  "failure at E03",
                  image[3], ecu[3]);
    EXPECT_EQ(WriteFailureText(result, WriteKind::Download), expected);
    EXPECT_EQ(R().session.Ecu().At(3), std::optional<uint8_t>(static_cast<uint8_t>(ecu[3])));
}

// Every image write refuses by Download's rule before the first byte: a value
// the ECU cannot hold, or an image a short file left partly unset.
TEST_F(Writes, EveryImageWriteRefusesWhatDownloadRefuses) {
    for (const bool shortFile : {false, true}) {
        for (const WriteKind kind :
             {WriteKind::Download, WriteKind::DownloadChanges, WriteKind::Program}) {
            SCOPED_TRACE(testing::Message() << shortFile << " " << static_cast<int>(kind));
            SetUp();
            if (shortFile) {
                const std::string path = std::string(KORVEL_BINARY_DIR) + "/short-write.dat";
                WriteDataFile(path, image);
                ASSERT_EQ(truncate(path.c_str(), 10), 0);
                R().session.Open(path);
            } else {
                R().session.Edit("Change", [](CalibrationImage& i) { return (i[87] = 300); });
            }
            const WriteResult result = Run(kind, -1);
            EXPECT_NE(result.refusal.find("nothing programmed"), std::string::npos)
                << result.refusal;
            EXPECT_EQ(result.outcome, TransferOutcome::NotRun);
            EXPECT_TRUE(R().ecu.Received().empty());
        }
    }
}

// What is written is the session's own copy: a window that changes the image
// while the transfer runs (its progress lets events through) changes nothing
// on the wire.
TEST_F(Writes, WhatIsWrittenIsTheSessionsCopy) {
    int calls = 0;
    const WriteResult result =
        R().session.Write(WriteRequest::Of(WriteKind::Download), [&](int, int) {
            if (++calls == 2) {
                R().session.ModelImage().values.fill(0x55);
            }
        });
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(R().ecu.Calibration().values, image.values);
}

// A poke programs and reads back one byte; the session knows it afterwards,
// and a poke whose commit went unanswered leaves a possible mix.
TEST_F(Writes, PokeIsKnownOrLeavesAPossibleMix) {
    const WriteResult poked = R().session.Write(WriteRequest::Poke(0x0E07, 200));
    EXPECT_TRUE(poked.ok());
    EXPECT_EQ(R().ecu.memory[0x0E07], 200);
    EXPECT_EQ(R().session.Ecu().At(7), std::optional<uint8_t>(200));
    EXPECT_FALSE(R().session.EcuMayHoldMix());
    R().ecu.ClearRecords();
    R().ecu.faults.silentAfterBytes = 8;  // PROGRAM of the commit unanswered
    const WriteResult silent = R().session.Write(WriteRequest::Poke(0x0E07, 100));
    EXPECT_EQ(silent.link.step, LinkStep::Commit);
    EXPECT_EQ(R().session.Ecu().At(7), std::nullopt);
    EXPECT_TRUE(R().session.EcuMayHoldMix());
}

}  // namespace
}  // namespace korvel
