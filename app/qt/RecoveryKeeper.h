#pragma once
// Keeps the crash-recovery copy of the unsaved edits: written at most 2 s
// after each change while the image holds changes no file holds, removed
// once it holds none (a Save, an Open, an Upload) and at a clean Quit. At
// start-up it offers the copies that programs which did not quit left.

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

#include "calib/RecoveryCopy.h"
#include "link/Clock.h"
#include "link/Reporter.h"
#include "session/CalibrationSession.h"
#include "ui/Prompter.h"

class QWidget;

namespace korvel {

class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    RecoveryKeeper(CalibrationSession& session, Clock& clock, Reporter& reporter,
                   const std::string& restoreFolder, QObject* parent = nullptr);

    // Writes the copy when it is due; the timer calls it (and tests, whose
    // clock the timer does not follow).
    void Tick();
    // A clean Quit: the edits were saved or discarded.
    void Remove();
    const std::string& Path() const { return copy_.Path(); }

    // Asks about each copy left behind; `recover` loads one (image, data
    // file) and says whether it did. A recovered or discarded copy is
    // removed; one whose question was closed is asked about next time.
    using Recover = std::function<bool(const CalibrationImage&, const std::string&)>;
    void OfferLeftCopies(QWidget* window, Prompter& prompter, const Recover& recover);

private:
    void Follow();
    void Arm();

    CalibrationSession& session_;
    Clock& clock_;
    Reporter& reporter_;
    std::string folder_;
    RecoveryCopy copy_;
    QTimer timer_;
    bool failing_ = false;  // told once until a write succeeds again
    CalibrationSession::Subscription subscription_;
};

}  // namespace korvel
