#pragma once
// The calibration session: the one owner of the image, its undo history,
// what the data file and the ECU hold, and every read and write of the ECU's
// calibration. The desktop program's windows and korvel-cli both work
// through it: views draw what it says and pass their input to it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "acquisition/TransferCommands.h"
#include "calib/CalibrationImage.h"
#include "calib/DataFile.h"
#include "calib/ImageHistory.h"
#include "calib/KnownCopies.h"
#include "calib/RestorePoints.h"
#include "session/WriteOperation.h"

namespace korvel {

// What changed, told to every observer once.
enum class SessionChange {
    Edit,       // an undoable step changed `indices`
    Structure,  // a step moved bytes (a point inserted): selections are void
    Undo,
    Redo,
    NewImage,  // Open or Upload replaced the image and its history
    Saved,     // the data file now holds the image
    Ecu,       // what the ECU is known to hold changed
};

struct SessionEvent {
    SessionChange change;
    std::string name;          // the step's name, for Edit, Structure, Undo and Redo
    std::vector<int> indices;  // the slots that changed, ascending
};

class CalibrationSession {
public:
    explicit CalibrationSession(AcquisitionScheduler& scheduler);

    const CalibrationImage& Image() const { return image_; }
    // For the editors' models, which read it and change it only inside Edit.
    CalibrationImage& ModelImage() { return image_; }
    const ImageHistory& History() const { return history_; }

    // ---- Observers --------------------------------------------------------
    using Observer = std::function<void(const SessionEvent&)>;
    // Tells `observer` of every change until the returned subscription ends.
    class Subscription {
    public:
        Subscription() = default;
        Subscription(CalibrationSession* session, int id) : session_(session), id_(id) {}
        Subscription(Subscription&& other) noexcept { *this = std::move(other); }
        Subscription& operator=(Subscription&& other) noexcept;
        ~Subscription() { End(); }
        void End();

    private:
        CalibrationSession* session_ = nullptr;
        int id_ = 0;
    };
    [[nodiscard]] Subscription Observe(Observer observer);

    // ---- Changes of the image ---------------------------------------------
    // Runs `change` on the image. When it changed a slot, that is one undo
    // step named `name`, told once. Returns what `change` returned (whether
    // it acted, which a change of nothing may also do).
    bool Edit(const std::string& name, const std::function<bool(CalibrationImage&)>& change,
              SessionChange kind = SessionChange::Edit);
    bool Undo();
    bool Redo();

    // ---- The data file ----------------------------------------------------
    // Reads `path` into the image: slots a short file leaves keep their
    // values, and such an image is not downloaded until it is made whole.
    DataFileReadResult Open(const std::string& path);
    SaveResult Save(const std::string& path);
    bool HasUnsavedChanges() const { return copies_.HasUnsavedChanges(image_); }
    const std::string& FilePath() const { return copies_.FilePath(); }
    std::string FileName() const { return copies_.FileName(); }
    // The last path chosen for Open or Save, whatever came of it.
    const std::string& ChosenPath() const { return chosenPath_; }

    // ---- The ECU ----------------------------------------------------------
    const EcuBytes& Ecu() const { return copies_.Ecu(); }
    // A byte the ECU is known to hold differs from the image.
    bool EcuDiffers() const { return copies_.DiffersFromEcu(image_); }
    // A write stopped part way after it changed the ECU, and no read or
    // whole write since has settled what it holds: a mix of calibrations.
    bool EcuMayHoldMix() const { return mixed_; }
    // Another port: nothing is known of the ECU behind it.
    void ForgetEcu();

    // Reads the whole block into the image (a new image and history, no file).
    TransferOutcome Upload(const StepProgress& progress = {});
    // Reads the whole block into `ecu` for a comparison; the image is untouched.
    TransferOutcome ReadEcu(CalibrationImage& ecu, const StepProgress& progress = {});
    // The one door for every write to the ECU. Off line an image write does
    // nothing; on line it first refuses what the ECU must not get (an
    // incomplete data file, a value outside 0..255). It programs a copy of
    // its own, reads back every byte and keeps track of the ECU's bytes.
    WriteResult Write(const WriteRequest& request, const StepProgress& progress = {});
    // Why an image write would be refused ("" when it would not): the same
    // rule Write applies, for callers that check before opening a port.
    std::string WriteRefusal(const WriteRequest& request) const;
    // Reads one byte anywhere; a byte of the calibration block becomes known.
    LinkResult Peek(uint32_t address, uint8_t& value);

    // ---- Restore points ---------------------------------------------------
    // Where the session saves a point after every complete read and around
    // every write; until this is called it saves none.
    void KeepRestorePoints(RestorePoints points) { points_ = std::move(points); }
    const RestorePoints* Points() const { return points_ ? &*points_ : nullptr; }
    // The port each point's index line names.
    std::function<std::string()> portName;
    // Asked, with why no point can be saved, before a write goes on without
    // its before point: true goes on. Unset, such a write is refused. A read
    // whose point cannot be saved only says so, through the link's reporter.
    std::function<bool(const std::string& why)> goOnWithoutPoint;

    // A restore point opened: like an Upload, the image belongs to no file,
    // so a later Save never overwrites the point.
    void OpenRestorePoint(const CalibrationImage& image);
    // Recovered edits: `image` as unsaved changes to `dataFile` ("" for none).
    void Recover(const CalibrationImage& image, const std::string& dataFile);

private:
    friend class Subscription;
    void Unobserve(int id);
    void Tell(const SessionEvent& event);
    void TellImage(SessionChange change, const std::string& name, const CalibrationImage& before);
    void ReplaceImage(const CalibrationImage& image);
    WriteResult Poke(const WriteRequest& request);
    void AfterWrite(const WriteResult& result, bool whole, bool rollback);

    // Restore points (SessionPoints.cpp).
    struct WritePoints {
        std::string dataFile;    // the data file the bytes written belong to
        bool beforeDue = false;  // the before point comes from what the write reads
        bool without = false;    // the user agreed to go on without a point: no more messages
    };
    PointDetails Details(RestoreReason reason, const std::string& dataFile) const;
    void SaveReadPoint(RestoreReason reason, const CalibrationImage& block,
                       const std::string& dataFile);
    void TellPoint(const PointResult& saved, bool quiet);
    bool GoOnWithout(const std::string& why, WritePoints& points, WriteResult& result);
    bool BeforeWrite(const WriteRequest& request, WritePoints& points, WriteResult& result);
    bool BlockRead(const CalibrationImage& ecu, WritePoints& points, WriteResult& result);
    void AfterWritePoints(const WriteRequest& request, WritePoints& points, WriteResult& result);

    AcquisitionScheduler& scheduler_;
    CalibrationImage image_;
    ImageHistory history_;
    KnownCopies copies_;
    std::optional<IncompleteDataFile> incomplete_;
    std::string chosenPath_;
    bool mixed_ = false;
    std::optional<RestorePoints> points_;
    std::vector<std::pair<int, Observer>> observers_;
    int nextId_ = 1;
};

}  // namespace korvel
