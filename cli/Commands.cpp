#include "cli/Commands.h"

#include <cstdio>

#include "acquisition/TransferCommands.h"
#include "calib/DataFile.h"
#include "cli/EcuConnection.h"
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

}  // namespace

int RunUpload(const CliArguments& args) {
    EcuConnection ecu;
    if (!OpenAndReach(ecu, args)) {
        return ExitFailure;
    }
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
    const std::string& path = args.words[0];
    CalibrationImage image;
    const DataFileReadResult read = ReadDataFile(path, image);
    if (!read.opened) {
        PrintError("Error Opening File");
        return ExitFailure;
    }
    // Missing values or values that are not bytes would program the wrong
    // bytes: such a file is refused before anything is sent.
    const IncompleteDataFile incomplete{path, read.valuesStored};
    const std::string refusal = DownloadRefusal(image, read.complete() ? nullptr : &incomplete);
    if (!refusal.empty()) {
        PrintError(refusal);
        return ExitFailure;
    }
    EcuConnection ecu;
    if (!OpenAndReach(ecu, args)) {
        return ExitFailure;
    }
    int checked = 0;
    int differing = 0;
    const TransferOutcome outcome =
        OnDownload(ecu.scheduler, image, [&](uint32_t ecuByte, uint32_t imageValue) {
            differing += ecuByte != imageValue ? 1 : 0;
            ecu.reporter.Progress(++checked, ImageSize);
        });
    ecu.reporter.EndProgress();
    if (outcome != TransferOutcome::Succeeded) {
        PrintError("Programming FAILED");
        return ExitFailure;
    }
    std::printf("%d bytes written\nProgramming Complete\n", differing);
    return ExitSuccess;
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
