// The session's restore points: a copy of the ECU's whole block after every
// complete read, before and after every write while the whole block is
// known, and after a rollback.
#include "session/CalibrationSession.h"

namespace korvel {

PointDetails CalibrationSession::Details(RestoreReason reason, const std::string& dataFile) const {
    return {reason, portName ? portName() : std::string(), dataFile, std::nullopt};
}

// A point that could not be saved, or whose index line could not be written.
void CalibrationSession::TellPoint(const PointResult& saved, bool quiet) {
    if (!saved.message.empty() && !quiet) {
        scheduler_.Link().reporter.ShowMessage(saved.message);
    }
}

void CalibrationSession::SaveReadPoint(RestoreReason reason, const CalibrationImage& block,
                                       const std::string& dataFile) {
    if (points_) {
        TellPoint(points_->Save(block, Details(reason, dataFile)), false);
    }
}

bool CalibrationSession::GoOnWithout(const std::string& why, WritePoints& points,
                                     WriteResult& result) {
    if (goOnWithoutPoint && goOnWithoutPoint(why)) {
        points.without = true;
        return true;
    }
    result.refusal = why;
    result.withoutPoint = true;
    return false;
}

// False: the write must not run.
bool CalibrationSession::BeforeWrite(const WriteRequest& request, WritePoints& points,
                                     WriteResult& result) {
    points.dataFile = request.source ? request.sourceFile : FilePath();
    // A rollback's before point is the failed write's after point.
    if (!points_ || request.rollback) {
        return true;
    }
    const EcuBytes& ecu = copies_.Ecu();
    if (ecu.AllKnown()) {
        const RestoreReason reason = request.kind == WriteKind::Poke
                                         ? RestoreReason::BeforePoke
                                         : RestoreReason::BeforeDownload;
        const PointResult saved = points_->Save(ecu.Or({}), Details(reason, points.dataFile));
        if (!saved.Ok()) {
            return GoOnWithout(saved.message, points, result);
        }
        result.beforePoint = saved.path;
        TellPoint(saved, false);
        return true;
    }
    // The downloads read every byte before they program it: their before
    // point is saved from those reads, so the folder is tried first.
    if (request.kind == WriteKind::Download || request.kind == WriteKind::DownloadChanges) {
        points.beforeDue = true;
        if (const std::string why = points_->CheckWritable(); !why.empty()) {
            return GoOnWithout(why, points, result);
        }
    }
    return true;
}

// A download of the changes has read the block; false stops it before its
// first byte.
bool CalibrationSession::BlockRead(const CalibrationImage& ecu, WritePoints& points,
                                   WriteResult& result) {
    if (!points_) {
        return true;
    }
    if (!points.beforeDue) {
        // Its before point came from what was known; the read is skipped
        // when it holds the same bytes.
        SaveReadPoint(RestoreReason::Read, ecu, FilePath());
        return true;
    }
    // The read's own point would hold the same bytes as this one.
    points.beforeDue = false;
    const PointResult saved =
        points_->Save(ecu, Details(RestoreReason::BeforeDownload, points.dataFile));
    if (!saved.Ok()) {
        return points.without || GoOnWithout(saved.message, points, result);
    }
    result.beforePoint = saved.path;
    TellPoint(saved, points.without);
    return true;
}

void CalibrationSession::AfterWritePoints(const WriteRequest& request, WritePoints& points,
                                          WriteResult& result) {
    if (!points_ || result.outcome == TransferOutcome::NotRun) {
        return;
    }
    if (points.beforeDue) {
        // A Download that read every byte before it programmed it: the block
        // as it was is what it read, with the old value of each byte it changed.
        EcuBytes before = copies_.Ecu();
        for (const auto& [index, old] : result.changed) {
            old ? before.Learn(index, *old) : before.Unlearn(index);
        }
        if (before.AllKnown()) {
            const PointResult saved = points_->Save(
                before.Or({}), Details(RestoreReason::BeforeDownload, points.dataFile));
            result.beforePoint = saved.Ok() ? saved.path : "";
            TellPoint(saved, points.without);
        }
    }
    if (!copies_.Ecu().AllKnown()) {
        return;
    }
    const RestoreReason reason = request.rollback                  ? RestoreReason::Rollback
                                 : request.kind == WriteKind::Poke ? RestoreReason::AfterPoke
                                                                   : RestoreReason::AfterDownload;
    PointDetails details = Details(reason, points.dataFile);
    details.bytesProgrammed = result.verified;
    const PointResult saved = points_->Save(copies_.Ecu().Or({}), details);
    result.afterPoint = saved.Ok() ? saved.path : "";
    TellPoint(saved, points.without);
}

}  // namespace korvel
