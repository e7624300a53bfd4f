#include "cli/Commands.h"

#include <cstdio>

#include "calib/DataFile.h"
#include "calib/RestorePoints.h"
#include "calib/RollbackPlan.h"
#include "cli/EcuConnection.h"
#include "editors/ByteNames.h"
#include "link/PeekPoke.h"
#include "link/Transport.h"
#include "session/CalibrationSession.h"

namespace korvel {

namespace {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

// Upload and Download run, as in the desktop program, only once the
// presence probe has found the ECU on line.
bool OpenAndReach(EcuConnection& ecu, const CliArguments& args) {
    if (!ecu.Open(args.port)) {
        return false;
    }
    if (ecu.ReachEcu()) {
        return true;
    }
    ecu.reporter.ShowMessage(Interrupted() ? "Interrupted"
                                           : "The ECU did not answer within 10 seconds");
    return false;
}

// Prints what the user is told about a failed Peek or Poke.
void PrintPeekPokeFailure(const LinkResult& result) {
    const std::optional<PeekPokeFailure> failure = PeekPokeFailureFor(result);
    PrintError(failure ? failure->text : "Communications Error");
}

const char* SaveError(SaveResult result) {
    return result == SaveResult::OpenFailed ? "Error Opening File" : "Error Writing File";
}

// Reads a data file that must be whole to be compared: missing values would
// be compared as whatever the image held, so a short file, a line without a
// number or a value outside 0..255 is refused, by the rule a download uses.
// Prints why and returns false.
bool ReadCompleteDataFile(const std::string& path, CalibrationImage& image) {
    const DataFileReadResult read = ReadDataFile(path, image);
    if (!read.opened) {
        PrintError("Error Opening File");
        return false;
    }
    const IncompleteDataFile incomplete{path, read.valuesStored};
    std::string refusal = DownloadRefusal(image, read.complete() ? nullptr : &incomplete);
    if (refusal.empty()) {
        return true;
    }
    // A comparison programs nothing anyway.
    constexpr std::string_view suffix = ": nothing programmed";
    if (refusal.ends_with(suffix)) {
        refusal.resize(refusal.size() - suffix.size());
    }
    PrintError(refusal);
    return false;
}

// Ctrl-C stops a transfer between two bytes, never inside a programming
// sequence.
void CancelOnInterrupt(EcuConnection& ecu) {
    InstallInterruptHandler();
    ecu.link.cancelRequested = Interrupted;
}

StepProgress BarProgress(EcuConnection& ecu) {
    return [&ecu](int done, int total) { ecu.reporter.Progress(done, total); };
}

constexpr const char* NoPointHint =
    "Nothing was done: give --no-restore-point to go on without a restore point";

// Gives the session its restore points, once the folder has taken a
// point's worth of bytes. False when it cannot and the command is not to go
// on without them (why is printed). With --no-restore-point a folder that
// takes nothing is left alone, and a point that fails later lets a write go
// on.
bool KeepRestorePoints(CalibrationSession& session, EcuConnection& ecu, const CliArguments& args) {
    RestorePoints points(RestoreFolder(SystemEnvironment), [&ecu] { return ecu.clock.WallMs(); });
    if (const std::string why = points.CheckWritable(); !why.empty()) {
        PrintError(why);
        if (!args.noRestorePoint) {
            PrintError(NoPointHint);
        }
        return args.noRestorePoint;
    }
    const std::string port = CanonicalPortName(args.port);
    session.portName = [port] { return port; };
    session.goOnWithoutPoint = [goOn = args.noRestorePoint](const std::string& why) {
        if (goOn) {
            PrintError(why + "; going on without one");
        }
        return goOn;
    };
    session.KeepRestorePoints(std::move(points));
    return true;
}

// What to run to put back what a failed write changed, once the ECU answers.
void PrintRollback(const WriteResult& result, const CliArguments& args) {
    const std::vector<std::string> lines =
        RollbackCommands(OldValues(result), result.beforePoint, args.port);
    if (lines.empty()) {
        return;
    }
    PrintError("To restore the ECU as it was before this write, run:");
    for (const std::string& line : lines) {
        PrintError(line);
    }
}

}  // namespace

int RunUpload(const CliArguments& args) {
    EcuConnection ecu;
    CalibrationSession session(ecu.scheduler);
    if (!KeepRestorePoints(session, ecu, args) || !OpenAndReach(ecu, args)) {
        return ExitFailure;
    }
    CancelOnInterrupt(ecu);
    const TransferOutcome outcome = session.Upload(BarProgress(ecu));
    ecu.reporter.EndProgress();
    if (outcome != TransferOutcome::Succeeded) {
        PrintError("Data NOT Loaded");  // and no file is written
        return ExitFailure;
    }
    const SaveResult saved = session.Save(args.words[0]);
    if (saved != SaveResult::Saved) {
        PrintError(SaveError(saved));
        return ExitFailure;
    }
    std::printf("Data Loaded\n");
    return ExitSuccess;
}

// The data file is refused before the port is opened, by the rule every
// write to the ECU shares.
int RunDownload(const CliArguments& args) {
    EcuConnection ecu;
    CalibrationSession session(ecu.scheduler);
    const WriteRequest request =
        WriteRequest::Of(args.changes ? WriteKind::DownloadChanges : WriteKind::Download);
    if (!session.Open(args.words[0]).opened) {
        PrintError("Error Opening File");
        return ExitFailure;
    }
    if (const std::string refusal = session.WriteRefusal(request); !refusal.empty()) {
        PrintError(refusal);
        return ExitFailure;
    }
    if (!KeepRestorePoints(session, ecu, args) || !OpenAndReach(ecu, args)) {
        return ExitFailure;
    }
    CancelOnInterrupt(ecu);
    const WriteResult result = session.Write(request, BarProgress(ecu));
    ecu.reporter.EndProgress();
    if (result.withoutPoint) {
        PrintError(result.refusal);
        PrintError(NoPointHint);
        return ExitFailure;
    }
    if (!result.ok()) {
        PrintError("Programming FAILED");
        PrintError(WriteFailureText(result, request.kind));
        PrintRollback(result, args);
        return ExitFailure;
    }
    std::printf("%d bytes written\nProgramming Complete\n", result.verified);
    return ExitSuccess;
}

// One line per differing byte; the exit status says whether any differs.
int RunDiff(const CliArguments& args) {
    CalibrationImage first;
    CalibrationImage second;
    if (!ReadCompleteDataFile(args.words[0], first)) {
        return ExitTrouble;
    }
    if (args.words.size() == 2) {
        if (!ReadCompleteDataFile(args.words[1], second)) {
            return ExitTrouble;
        }
    } else {
        EcuConnection ecu;
        CalibrationSession session(ecu.scheduler);
        if (!KeepRestorePoints(session, ecu, args) || !OpenAndReach(ecu, args)) {
            return ExitTrouble;
        }
        CancelOnInterrupt(ecu);
        const TransferOutcome read = session.ReadEcu(second, BarProgress(ecu));
        ecu.reporter.EndProgress();
        if (read != TransferOutcome::Succeeded) {
            return ExitTrouble;
        }
    }
    const std::vector<ByteDifference> differences = CompareImages(first, second);
    for (const ByteDifference& d : differences) {
        std::printf("%s\n", DifferenceLine(d).c_str());
    }
    return differences.empty() ? ExitSuccess : ExitFailure;
}

int RunPeek(const CliArguments& args) {
    const std::optional<uint32_t> address = ParseEcuAddress(args.words[0]);
    if (const LinkResult checked = CheckPeekAddress(address); !checked.ok()) {
        PrintPeekPokeFailure(checked);
        return ExitFailure;
    }
    EcuConnection ecu;
    if (!ecu.Open(args.port)) {
        return ExitFailure;
    }
    CalibrationSession session(ecu.scheduler);
    uint8_t value = 0;
    if (const LinkResult peeked = session.Peek(*address, value); !peeked.ok()) {
        PrintPeekPokeFailure(peeked);
        return ExitFailure;
    }
    std::printf("%u\n", value);
    return ExitSuccess;
}

int RunPoke(const CliArguments& args) {
    // A mistyped value must never be written as 0.
    const std::optional<uint8_t> value = ParseDecimalByte(args.words[1]);
    if (!value) {
        PrintError("korvel-cli: VALUE must be a whole number from 0 to 255\n");
        std::fputs(CliUsage, stderr);
        return ExitUsage;
    }
    const std::optional<uint32_t> address = ParseEcuAddress(args.words[0]);
    if (const LinkResult checked = CheckPokeAddress(address); !checked.ok()) {
        PrintPeekPokeFailure(checked);
        return ExitFailure;
    }
    EcuConnection ecu;
    CalibrationSession session(ecu.scheduler);
    if (!KeepRestorePoints(session, ecu, args) || !ecu.Open(args.port)) {
        return ExitFailure;
    }
    // A poke that was not programmed and read back is never reported as done.
    const WriteResult poked = session.Write(WriteRequest::Poke(*address, *value));
    if (poked.withoutPoint) {
        PrintError(poked.refusal);
        PrintError(NoPointHint);
        return ExitFailure;
    }
    if (!poked.ok()) {
        PrintPeekPokeFailure(poked.link);
        PrintRollback(poked, args);
        return ExitFailure;
    }
    return ExitSuccess;
}

}  // namespace korvel
