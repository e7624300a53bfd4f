#include "editors/qt/LiveFollower.h"

#include <algorithm>
#include <utility>

namespace korvel {

LiveFollower::LiveFollower(AcquisitionScheduler& scheduler, const MonitorFile& monitor,
                           const GridModel& model, bool keepsTrail, Changed changed,
                           QObject* parent)
    : QObject(parent),
      monitor_(monitor),
      model_(model),
      clock_(scheduler.Link().clock),
      keepsTrail_(keepsTrail),
      changed_(std::move(changed)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &LiveFollower::Show);
    subscription_ = scheduler.Subscribe([this](const Sample& sample) { OnPass(sample); },
                                        [this](LineEvent event) {
                                            if (event == LineEvent::OffLine) {
                                                live_.reset();
                                                trail_.Clear();
                                                Show();
                                            }
                                        });
}

void LiveFollower::Forget() {
    trail_.Clear();
    Show();
}

// Passes come far more often than 20 a second: the values wait for the
// next showing, which takes only the latest.
void LiveFollower::OnPass(const Sample& sample) {
    live_ = ReadLiveValues(monitor_, sample);
    fresh_ = true;
    const int64_t delay = pacer_.Delay(clock_.MonotonicMs());
    if (delay == 0) {
        Show();
    } else if (!timer_.isActive() || timer_.remainingTime() > delay) {
        timer_.start(static_cast<int>(delay));
    }
}

void LiveFollower::Show() {
    timer_.stop();
    const int64_t now = clock_.MonotonicMs();
    LiveView view;
    if (live_) {
        view.marks = model_.LiveMarks(*live_);
    }
    if (keepsTrail_ && fresh_) {
        for (const LiveMark& mark : view.marks) {
            trail_.Visit(mark.nearest, now);
        }
    }
    fresh_ = false;
    view.trail = trail_.Cells(now);
    if (view != shown_) {
        const LiveView before = std::exchange(shown_, std::move(view));
        pacer_.Painted(now);
        changed_(before, shown_);
    }
    if (const std::optional<int64_t> fade = trail_.NextChange(now)) {
        const int64_t wait = std::max(*fade - now, pacer_.Delay(now));
        timer_.start(static_cast<int>(std::max<int64_t>(wait, 1)));
    }
}

}  // namespace korvel
