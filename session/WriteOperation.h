#pragma once
// A write to the ECU, as the session runs it: what is asked for, and the one
// result that says how far it got.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/TransferCommands.h"
#include "calib/CalibrationImage.h"
#include "link/LinkResult.h"

namespace korvel {

enum class WriteKind {
    Download,         // every byte that differs, found as it goes
    DownloadChanges,  // the block read first, then the bytes that differ
    Program,          // the listed bytes (the compare window's "Program N changes")
    Poke,             // one byte, whatever the image holds
};

struct WriteRequest {
    WriteKind kind = WriteKind::Download;
    // What to write, when not the session's image (a restore point). The
    // session copies it either way: nothing a window does can change or free
    // the bytes in flight.
    std::optional<CalibrationImage> source;
    std::vector<int> indices;  // Program: the slots to program, ascending
    uint32_t address = 0;      // Poke
    uint8_t value = 0;         // Poke
    std::string sourceFile;    // the data file `source` came from, for the restore points
    // Programs back what a failed write changed: no point before it, and a
    // `rollback` point after it.
    bool rollback = false;

    static WriteRequest Of(WriteKind kind) {
        WriteRequest request;
        request.kind = kind;
        return request;
    }
    static WriteRequest Program(std::vector<int> indices) {
        WriteRequest request = Of(WriteKind::Program);
        request.indices = std::move(indices);
        return request;
    }
    // A Program of each byte's old value (image index -> value).
    static WriteRequest Rollback(const std::map<int, uint32_t>& oldValues) {
        WriteRequest request = Of(WriteKind::Program);
        request.source = CalibrationImage{};
        for (const auto& [index, value] : oldValues) {
            (*request.source)[index] = value & 0xFF;
            request.indices.push_back(index);
        }
        request.rollback = true;
        return request;
    }
    static WriteRequest Poke(uint32_t address, uint8_t value) {
        WriteRequest request = Of(WriteKind::Poke);
        request.address = address;
        request.value = value;
        return request;
    }
};

struct WriteResult {
    TransferOutcome outcome = TransferOutcome::NotRun;
    std::string refusal;     // why nothing was sent ("" when it ran or was not run)
    int verified = 0;        // bytes programmed whose read-back matched
    int total = -1;          // bytes to program, when known before the first (-1: found as it went)
    LinkResult link;         // how it ended: the failing step, address, written and read values
    bool uncertain = false;  // the failing byte's commit went out unverified
    // The old value of every byte the write changed or may have changed.
    std::vector<std::pair<int, std::optional<uint8_t>>> changed;
    // The restore points of the ECU's block before and after the write ("": none).
    std::string beforePoint, afterPoint;
    // Not run: no before point could be saved and the write was not to go
    // on without one; `refusal` says why.
    bool withoutPoint = false;

    bool ok() const { return outcome == TransferOutcome::Succeeded; }
    bool cancelled() const { return link.step == LinkStep::Cancelled; }
};

// The old value of every byte `result` changed or may have changed, where
// it is known: what a rollback programs back.
std::map<int, uint32_t> OldValues(const WriteResult& result);

// What the user is told of a write that failed or was cancelled: how far it
// got ("3 of 50 bytes programmed before the failure at E57"), after the
// read-back's own line when that was what failed. Empty for a write that
// succeeded, was refused or did not run, and for a Poke (its messages are
// the dialog's).
std::string WriteFailureText(const WriteResult& result, WriteKind kind);

}  // namespace korvel
