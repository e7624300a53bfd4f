#include "cli/Commands.h"

#include <cstdio>

#include "acquisition/TransferCommands.h"
#include "calib/DataFile.h"
#include "cli/EcuConnection.h"
#include "editors/ByteNames.h"
#include "link/PeekPoke.h"

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

// Prints what the user is told about a failed Peek or Poke; a programming
// sequence that was not echoed has no text of its own.
void PrintPeekPokeFailure(const LinkResult& result) {
    const std::optional<PeekPokeFailure> failure = PeekPokeFailureFor(result);
    PrintError(failure ? failure->text : "Programming FAILED");
}

const char* SaveError(SaveResult result) {
    return result == SaveResult::OpenFailed ? "Error Opening File" : "Error Writing File";
}

// Reads a data file that must be whole: missing values would be compared or
// programmed as whatever the image held, so a short file, a line without a
// number or a value outside 0..255 is refused. Prints why, with `refusal`
// appended, and returns false.
bool ReadCompleteDataFile(const std::string& path, CalibrationImage& image, bool toProgram) {
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
    // The same rules hold for a comparison, which programs nothing anyway.
    constexpr std::string_view suffix = ": nothing programmed";
    if (!toProgram && refusal.ends_with(suffix)) {
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

}  // namespace

int RunUpload(const CliArguments& args) {
    EcuConnection ecu;
    if (!OpenAndReach(ecu, args)) {
        return ExitFailure;
    }
    CancelOnInterrupt(ecu);
    CalibrationImage image;
    const TransferOutcome outcome = OnUpload(ecu.scheduler, image, [&](int index, uint32_t) {
        ecu.reporter.Progress(index + 1, ImageSize);
    });
    ecu.reporter.EndProgress();
    if (outcome != TransferOutcome::Succeeded) {
        PrintError("Data NOT Loaded");  // and no file is written
        return ExitFailure;
    }
    const SaveResult saved = WriteDataFile(args.words[0], image);
    if (saved != SaveResult::Saved) {
        PrintError(SaveError(saved));
        return ExitFailure;
    }
    std::printf("Data Loaded\n");
    return ExitSuccess;
}

int RunDownload(const CliArguments& args) {
    CalibrationImage image;
    if (!ReadCompleteDataFile(args.words[0], image, true)) {
        return ExitFailure;
    }
    EcuConnection ecu;
    if (!OpenAndReach(ecu, args)) {
        return ExitFailure;
    }
    CancelOnInterrupt(ecu);
    int written = 0;
    TransferOutcome outcome;
    if (args.changes) {
        outcome = OnDownloadChanges(ecu.scheduler, image, BarProgress(ecu), &written);
    } else {
        int checked = 0;
        outcome = OnDownload(ecu.scheduler, image, [&](uint32_t ecuByte, uint32_t imageValue) {
            written += ecuByte != imageValue ? 1 : 0;
            ecu.reporter.Progress(++checked, ImageSize);
        });
    }
    ecu.reporter.EndProgress();
    if (outcome != TransferOutcome::Succeeded) {
        PrintError("Programming FAILED");
        return ExitFailure;
    }
    std::printf("%d bytes written\nProgramming Complete\n", written);
    return ExitSuccess;
}

// One line per differing byte; the exit status says whether any differs.
int RunDiff(const CliArguments& args) {
    CalibrationImage first;
    CalibrationImage second;
    if (!ReadCompleteDataFile(args.words[0], first, false)) {
        return ExitTrouble;
    }
    if (args.words.size() == 2) {
        if (!ReadCompleteDataFile(args.words[1], second, false)) {
            return ExitTrouble;
        }
    } else {
        EcuConnection ecu;
        if (!OpenAndReach(ecu, args)) {
            return ExitTrouble;
        }
        CancelOnInterrupt(ecu);
        const TransferOutcome read = OnReadForCompare(ecu.scheduler, second, BarProgress(ecu));
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
    uint8_t value = 0;
    if (const LinkResult peeked = PeekByte(ecu.link, *address, value); !peeked.ok()) {
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
        PrintError("korvel-cli: VALUE must be an unsigned decimal number\n");
        std::fputs(CliUsage, stderr);
        return ExitUsage;
    }
    const std::optional<uint32_t> address = ParseEcuAddress(args.words[0]);
    if (const LinkResult checked = CheckPokeAddress(address); !checked.ok()) {
        PrintPeekPokeFailure(checked);
        return ExitFailure;
    }
    EcuConnection ecu;
    if (!ecu.Open(args.port)) {
        return ExitFailure;
    }
    // A poke that was not programmed is never reported as done.
    if (const LinkResult poked = PokeByte(ecu.link, *address, *value); !poked.ok()) {
        PrintPeekPokeFailure(poked);
        return ExitFailure;
    }
    return ExitSuccess;
}

}  // namespace korvel
