#include "session/CalibrationSession.h"

#include <algorithm>

#include "link/PeekPoke.h"
#include "link/Transfers.h"

namespace korvel {

// ---- Observers ------------------------------------------------------------

CalibrationSession::Subscription& CalibrationSession::Subscription::operator=(
    Subscription&& other) noexcept {
    if (this != &other) {
        End();
        session_ = std::exchange(other.session_, nullptr);
        id_ = other.id_;
    }
    return *this;
}

void CalibrationSession::Subscription::End() {
    if (session_ != nullptr) {
        std::exchange(session_, nullptr)->Unobserve(id_);
    }
}

CalibrationSession::CalibrationSession(AcquisitionScheduler& scheduler) : scheduler_(scheduler) {}

CalibrationSession::Subscription CalibrationSession::Observe(Observer observer) {
    const int id = nextId_++;
    observers_.emplace_back(id, std::move(observer));
    return {this, id};
}

void CalibrationSession::Unobserve(int id) {
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

// An observer may end its own or another's subscription while being told.
void CalibrationSession::Tell(const SessionEvent& event) {
    std::vector<int> ids;
    for (const auto& entry : observers_) {
        ids.push_back(entry.first);
    }
    for (int id : ids) {
        const auto found = std::find_if(observers_.begin(), observers_.end(),
                                        [id](const auto& entry) { return entry.first == id; });
        if (found != observers_.end()) {
            const Observer observer = found->second;  // a copy: the list may change under it
            observer(event);
        }
    }
}

void CalibrationSession::TellImage(SessionChange change, const std::string& name,
                                   const CalibrationImage& before) {
    Tell({change, name, DifferingIndices(image_, before)});
}

// ---- Changes of the image -------------------------------------------------

bool CalibrationSession::Edit(const std::string& name,
                              const std::function<bool(CalibrationImage&)>& change,
                              SessionChange kind) {
    const CalibrationImage before = image_;
    const bool acted = change(image_);
    if (history_.Record(name, before, image_)) {
        TellImage(kind, name, before);
    }
    return acted;
}

bool CalibrationSession::Undo() {
    const CalibrationImage before = image_;
    const std::string name = history_.UndoName();
    if (!history_.Undo(image_)) {
        return false;
    }
    TellImage(SessionChange::Undo, name, before);
    return true;
}

bool CalibrationSession::Redo() {
    const CalibrationImage before = image_;
    const std::string name = history_.RedoName();
    if (!history_.Redo(image_)) {
        return false;
    }
    TellImage(SessionChange::Redo, name, before);
    return true;
}

void CalibrationSession::ReplaceImage(const CalibrationImage& image) {
    const CalibrationImage before = image_;
    image_ = image;
    history_.Clear();  // a new image, a new history
    scheduler_.statusFlags.Set(DataLoaded);
    TellImage(SessionChange::NewImage, {}, before);
}

// ---- The data file --------------------------------------------------------

DataFileReadResult CalibrationSession::Open(const std::string& path) {
    chosenPath_ = path;
    CalibrationImage read = image_;  // a short file leaves the other slots as they were
    const DataFileReadResult result = ReadDataFile(path, read);
    if (!result.opened) {
        return result;
    }
    incomplete_.reset();
    if (!result.complete()) {
        incomplete_ = IncompleteDataFile{path, result.valuesStored};
    }
    copies_.FileHolds(read, path, result.complete());
    ReplaceImage(read);
    return result;
}

SaveResult CalibrationSession::Save(const std::string& path) {
    chosenPath_ = path;
    const SaveResult result = WriteDataFile(path, image_);
    if (result == SaveResult::Saved) {
        copies_.FileHolds(image_, path);
        Tell({SessionChange::Saved, {}, {}});
    }
    return result;
}

void CalibrationSession::OpenRestorePoint(const CalibrationImage& image) {
    incomplete_.reset();
    copies_.FileHolds(image, {});
    ReplaceImage(image);
}

void CalibrationSession::Recover(const CalibrationImage& image, const std::string& dataFile) {
    incomplete_.reset();
    copies_.FileHolds(image, dataFile, false);  // unsaved until it is saved
    ReplaceImage(image);
}

// ---- Reads of the ECU -----------------------------------------------------

void CalibrationSession::ForgetEcu() {
    copies_.Ecu().Forget();
    mixed_ = false;  // nothing is known of the ECU behind another port
    Tell({SessionChange::Ecu, {}, {}});
}

TransferOutcome CalibrationSession::Upload(const StepProgress& progress) {
    CalibrationImage received = image_;
    const TransferOutcome outcome = OnUpload(scheduler_, received, [&](int index, uint32_t) {
        if (progress) {
            progress(index + 1, ImageSize);
        }
    });
    if (outcome == TransferOutcome::Succeeded) {
        incomplete_.reset();
        copies_.Uploaded(received);
        mixed_ = false;
        SaveReadPoint(RestoreReason::Upload, received, {});  // the image belongs to no file
        ReplaceImage(received);
        Tell({SessionChange::Ecu, {}, {}});
    }
    return outcome;
}

TransferOutcome CalibrationSession::ReadEcu(CalibrationImage& ecu, const StepProgress& progress) {
    const TransferOutcome outcome = OnReadForCompare(scheduler_, ecu, progress);
    if (outcome == TransferOutcome::Succeeded) {
        copies_.EcuHolds(ecu);
        mixed_ = false;
        SaveReadPoint(RestoreReason::Read, ecu, FilePath());
        Tell({SessionChange::Ecu, {}, {}});
    }
    return outcome;
}

LinkResult CalibrationSession::Peek(uint32_t address, uint8_t& value) {
    scheduler_.FinishOutstanding();  // a quiet line first
    const LinkResult result = PeekByte(scheduler_.Link(), address, value);
    const int index = static_cast<int>(address) - static_cast<int>(ImageBaseAddress);
    if (result.ok() && CalibrationImage::InRange(index)) {
        copies_.Ecu().Learn(index, value);
        Tell({SessionChange::Ecu, {}, {index}});
    }
    return result;
}

// ---- Writes ---------------------------------------------------------------

// Every image write refuses by the same rule, before the first byte.
std::string CalibrationSession::WriteRefusal(const WriteRequest& request) const {
    if (request.kind == WriteKind::Poke) {
        return {};  // a poke's value is checked where it is typed
    }
    if (request.source) {
        return DownloadRefusal(*request.source, nullptr);
    }
    return DownloadRefusal(image_, incomplete_ ? &*incomplete_ : nullptr);
}

WriteResult CalibrationSession::Write(const WriteRequest& request, const StepProgress& progress) {
    if (request.kind == WriteKind::Poke) {
        return Poke(request);
    }
    WriteResult result;
    if (!scheduler_.statusFlags.Test(EcuOnLine)) {
        return result;  // off line nothing is sent or shown
    }
    result.refusal = WriteRefusal(request);
    if (!result.refusal.empty()) {
        return result;
    }
    WritePoints points;
    if (!BeforeWrite(request, points, result)) {
        return result;
    }
    // The session's own copy, for the whole transfer.
    const CalibrationImage bytes = request.source.value_or(image_);
    ProgramTrace trace;
    trace.ecu = &copies_.Ecu();
    trace.blockRead = [&](const CalibrationImage& ecu) { return BlockRead(ecu, points, result); };
    bool whole = true;  // the write covers the whole block
    switch (request.kind) {
        case WriteKind::Download: {
            int checked = 0;
            result.outcome = OnDownload(
                scheduler_, bytes,
                [&](uint32_t, uint32_t) {
                    if (progress) {
                        progress(++checked, ImageSize);
                    }
                },
                &trace);
            break;
        }
        case WriteKind::DownloadChanges:
            result.outcome = OnDownloadChanges(scheduler_, bytes, progress, &trace, &result.total);
            break;
        case WriteKind::Program:
            whole = false;
            result.total = static_cast<int>(request.indices.size());
            result.outcome = OnProgramChanges(scheduler_, bytes, copies_.Ecu().Or(bytes),
                                              request.indices, progress, &trace);
            break;
        case WriteKind::Poke:
            break;
    }
    result.link = trace.ended;
    result.verified = trace.verified;
    result.uncertain = trace.uncertain;
    result.changed = std::move(trace.changed);
    AfterWritePoints(request, points, result);
    AfterWrite(result, whole, request.rollback);
    return result;
}

WriteResult CalibrationSession::Poke(const WriteRequest& request) {
    WriteResult result;
    result.total = 1;
    result.link = CheckPokeAddress(request.address);
    if (!result.link.ok()) {
        return result;
    }
    scheduler_.FinishOutstanding();  // a quiet line first
    const int index = static_cast<int>(request.address - ImageBaseAddress);
    if (!copies_.Ecu().At(index)) {
        // The byte as it was, so that a poke that fails can be put back.
        uint8_t held = 0;
        result.link = PeekByte(scheduler_.Link(), request.address, held);
        if (!result.link.ok()) {
            result.outcome = TransferOutcome::Failed;
            return result;
        }
        copies_.Ecu().Learn(index, held);
    }
    WritePoints points;
    if (!BeforeWrite(request, points, result)) {
        return result;
    }
    ProgramTrace trace;
    trace.ecu = &copies_.Ecu();
    const std::optional<uint8_t> old = copies_.Ecu().At(index);
    result.link = PokeByte(scheduler_.Link(), request.address, request.value);
    trace.Programmed(index, old, request.value, result.link);
    result.outcome = result.link.ok() ? TransferOutcome::Succeeded : TransferOutcome::Failed;
    result.verified = trace.verified;
    result.uncertain = trace.uncertain;
    result.changed = std::move(trace.changed);
    AfterWritePoints(request, points, result);
    AfterWrite(result, false, request.rollback);
    return result;
}

void CalibrationSession::AfterWrite(const WriteResult& result, bool whole, bool rollback) {
    if (result.outcome == TransferOutcome::NotRun) {
        return;
    }
    // A rollback that succeeded put back every byte the failed write changed.
    if (result.ok() && (whole || rollback)) {
        mixed_ = false;  // every byte was read or read back
    } else if (!result.ok() && !result.changed.empty()) {
        mixed_ = true;
    }
    Tell({SessionChange::Ecu, {}, {}});
}

}  // namespace korvel
