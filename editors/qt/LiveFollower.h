#pragma once
// Follows the acquisition passes for an editor window: the marks of the
// live point on its grid and, for a table, the trail of the last seconds.
// What changed is handed to the window at most 20 times a second, and the
// window repaints only there.

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

#include "acquisition/AcquisitionScheduler.h"
#include "editors/GridModel.h"
#include "editors/LiveMarks.h"
#include "link/Clock.h"
#include "monitor/MonitorFile.h"

namespace korvel {

class LiveFollower : public QObject {
    Q_OBJECT
public:
    // Called with what was shown and what is to be shown now.
    using Changed = std::function<void(const LiveView& before, const LiveView& after)>;

    // Follows `scheduler`'s passes over `monitor`'s variables, on the
    // scheduler's clock, until destroyed.
    LiveFollower(AcquisitionScheduler& scheduler, const MonitorFile& monitor,
                 const GridModel& model, bool keepsTrail, Changed changed, QObject* parent);

    const LiveView& View() const { return shown_; }

    // The grid's cells are another table's now (bytes moved, a new image):
    // the trail goes, the marks are found afresh.
    void Forget();

private:
    void OnPass(const Sample& sample);
    // Hands over what changed since the last showing, and waits for the
    // trail's next fade.
    void Show();

    const MonitorFile& monitor_;
    const GridModel& model_;
    Clock& clock_;
    bool keepsTrail_;
    Changed changed_;
    std::optional<LiveValues> live_;  // the last pass's values; none off line
    bool fresh_ = false;              // a pass came since the last showing
    LiveTrail trail_;
    LiveView shown_;
    RepaintPacer pacer_;
    QTimer timer_;
    Subscription subscription_;
};

}  // namespace korvel
