#include "cli/EcuConnection.h"

namespace korvel {

EcuConnection::EcuConnection() : scheduler(link, monitor) {}

bool EcuConnection::ReachEcu() {
    scheduler.RunUntil(clock.MonotonicMs() + EcuAnswerLimitMs,
                       [this] { return Interrupted() || scheduler.statusFlags.Test(EcuOnLine); });
    return scheduler.statusFlags.Test(EcuOnLine);
}

}  // namespace korvel
