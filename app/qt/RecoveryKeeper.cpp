#include "app/qt/RecoveryKeeper.h"

#include <unistd.h>

#include <algorithm>

namespace korvel {

RecoveryKeeper::RecoveryKeeper(CalibrationSession& session, Clock& clock, Reporter& reporter,
                               const std::string& restoreFolder, QObject* parent)
    : QObject(parent),
      session_(session),
      clock_(clock),
      reporter_(reporter),
      folder_(restoreFolder),
      copy_(restoreFolder) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::Tick);
    subscription_ = session_.Observe([this](const SessionEvent&) { Follow(); });
}

// Every change of the image, the file or the ECU.
void RecoveryKeeper::Follow() {
    if (!session_.HasUnsavedChanges()) {
        timer_.stop();
        copy_.Remove();
        return;
    }
    copy_.Changed(clock_.MonotonicMs());
    Arm();
}

void RecoveryKeeper::Arm() {
    if (const auto due = copy_.DueAtMs()) {
        const int64_t wait = std::max<int64_t>(*due - clock_.MonotonicMs(), 0);
        if (!timer_.isActive()) {
            timer_.start(static_cast<int>(std::min<int64_t>(wait, RecoveryCopy::DelayMs)));
        }
    }
}

void RecoveryKeeper::Tick() {
    if (!copy_.Due(clock_.MonotonicMs())) {
        timer_.stop();
        Arm();  // a timer that fired early
        return;
    }
    if (!session_.HasUnsavedChanges()) {
        copy_.Remove();
        return;
    }
    const std::string failure = copy_.Write(session_.Image(), session_.FilePath());
    if (!failure.empty() && !failing_) {
        reporter_.ShowNotice(failure);  // in pane 0: a box every 2 s would stop the work
    }
    failing_ = !failure.empty();
}

void RecoveryKeeper::Remove() {
    timer_.stop();
    copy_.Remove();
}

void RecoveryKeeper::OfferLeftCopies(QWidget* window, Prompter& prompter, const Recover& recover) {
    for (const FoundRecoveryCopy& left : FindStaleRecoveryCopies(folder_)) {
        const QString answer =
            prompter.Choose(window, QString::fromStdString(RecoveryQuestion(left)),
                            "Recover Unsaved Changes", Prompter::Icon::Exclamation,
                            {"Recover", "Discard"}, 0);
        CalibrationImage image;
        std::string dataFile;
        const bool recovered = answer == "Recover" &&
                               LoadRecoveryCopy(left.path, image, dataFile) &&
                               recover(image, dataFile);
        if (recovered || answer == "Discard") {
            ::unlink(left.path.c_str());
        }
    }
}

}  // namespace korvel
