#include "acquisition/AcquisitionScheduler.h"

#include <algorithm>
#include <utility>

namespace korvel {

namespace {

// The exchanges' own progress bits, dropped when the ECU goes off line so the
// next exchange starts from its first request byte.
constexpr uint32_t ExchangeBits = ReplyPending | DataEchoed | AddressEchoed | SecondBytePending;

}  // namespace

// ---- Observers ------------------------------------------------------------

// Observers may leave while the list is being walked (a window closing from
// a pass): a cancelled entry is only emptied then, and swept after the walk.
class ObserverList {
public:
    struct Entry {
        uint64_t id = 0;
        AcquisitionScheduler::PassObserver onPass;
        AcquisitionScheduler::LineObserver onLine;
    };

    uint64_t Add(Entry entry) {
        entry.id = ++lastId_;
        entries_.push_back(std::move(entry));
        return lastId_;
    }
    void Remove(uint64_t id) {
        for (Entry& e : entries_) {
            if (e.id == id) {
                e = Entry{};
            }
        }
        Sweep();
    }
    template <class Call>
    void ForEach(const Call& call) {
        ++walking_;
        // By index, each entry copied: an observer added meanwhile (which may
        // move the list) is called from the next event on, and one that
        // leaves during its own call finishes it.
        for (size_t i = 0, n = entries_.size(); i < n; ++i) {
            const Entry entry = entries_[i];
            call(entry);
        }
        --walking_;
        Sweep();
    }

private:
    void Sweep() {
        if (walking_ == 0) {
            std::erase_if(entries_, [](const Entry& e) { return e.id == 0; });
        }
    }

    std::vector<Entry> entries_;
    uint64_t lastId_ = 0;
    int walking_ = 0;
};

Subscription::Subscription(Subscription&& other) noexcept
    : list_(std::move(other.list_)), id_(std::exchange(other.id_, 0)) {}

Subscription& Subscription::operator=(Subscription&& other) noexcept {
    if (this != &other) {
        Cancel();
        list_ = std::move(other.list_);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

void Subscription::Cancel() {
    if (const std::shared_ptr<ObserverList> list = list_.lock(); list && id_ != 0) {
        list->Remove(id_);
    }
    list_.reset();
    id_ = 0;
}

AcquisitionScheduler::AcquisitionScheduler(EcuLink& link, MonitorFile& monitor)
    : link_(link),
      monitor_(monitor),
      observers_(std::make_shared<ObserverList>()),
      startMs_(link.clock.MonotonicMs()) {}

Subscription AcquisitionScheduler::Subscribe(PassObserver onPass, LineObserver onLine) {
    return {observers_, observers_->Add({0, std::move(onPass), std::move(onLine)})};
}

void AcquisitionScheduler::AddPassObserver(PassObserver observer) {
    observers_->Add({0, std::move(observer), {}});
}

void AcquisitionScheduler::NoteGap() {
    if (gapMs_ == NoGap) {
        gapMs_ = AcquisitionMs();
    }
}

// Every way off line passes here: the views learn it at once, and the next
// pass's lines start afresh.
void AcquisitionScheduler::LeaveOnLine() {
    NoteGap();
    if (!statusFlags.Test(EcuOnLine)) {
        return;
    }
    statusFlags.ClearBits(EcuOnLine);
    observers_->ForEach([](const ObserverList::Entry& e) {
        if (e.onLine) {
            e.onLine(LineEvent::OffLine);
        }
    });
}

int64_t AcquisitionScheduler::AcquisitionMs() const {
    return link_.clock.MonotonicMs() - startMs_;
}

int AcquisitionScheduler::VariableCount() const {
    return std::clamp(monitor_.variableCount, 0, MaxMonitorVariables);
}

bool AcquisitionScheduler::UseProbe() const {
    return !statusFlags.Test(EcuOnLine) || VariableCount() == 0;
}

bool AcquisitionScheduler::UnitInProgress() const {
    return statusFlags.Test(ExchangeBits);
}

// ---- The common step rule -------------------------------------------------

AcquisitionScheduler::Step AcquisitionScheduler::ExchangeStep(int request, int64_t& requestTime,
                                                              bool failFast) {
    if (failFast && link_.transport.HasFailed()) {
        return {Outcome::TimedOut};
    }
    const int64_t now = link_.clock.MonotonicMs();
    if (!statusFlags.Test(ReplyPending)) {
        // A refused send is retried, but its time counts from the first
        // try: a port that refuses every byte has no ECU on line.
        if (!sendRefused_) {
            requestTime = now;
        } else if (now > requestTime + OffLineTimeoutMs) {
            sendRefused_ = false;  // the next try counts afresh
            return {Outcome::TimedOut};
        }
        if (link_.transport.SendByte(request) == NoByte) {
            stalled_ = sendRefused_ = true;
            refusedAtMs_ = now;
            return {};
        }
        sendRefused_ = false;
        ++requestsSent_;
        statusFlags.SetBits(ReplyPending);
        return {};
    }
    const int byte = link_.transport.ReadByte();
    if (byte != NoByte) {
        return {Outcome::Reply, byte};
    }
    if (now > requestTime + OffLineTimeoutMs) {
        return {Outcome::TimedOut};
    }
    stalled_ = true;
    return {};
}

// Every exchange, the probe included, starts again from its first byte.
void AcquisitionScheduler::DeclareOffLine() {
    statusFlags.ClearBits(ExchangeBits | ProbeEchoed);
    link_.reporter.SetPaneText(EcuStatePane, "ECU Off Line");
    LeaveOnLine();
}

// ---- The exchanges --------------------------------------------------------

void AcquisitionScheduler::PollEcuStatus() {
    const bool echoed = statusFlags.Test(ProbeEchoed);
    const int request = echoed ? ProbeParameter : LOAD_ADDR_HI;
    const Step step = ExchangeStep(request, probeTime_, false);
    if (step.outcome == Outcome::TimedOut) {
        DeclareOffLine();
        return;
    }
    if (step.outcome != Outcome::Reply) {
        return;
    }
    if (step.byte != request) {
        stalled_ = true;  // skipped: the time-out still applies
        return;
    }
    statusFlags.ClearBits(ReplyPending);
    if (!echoed) {
        statusFlags.SetBits(ProbeEchoed);
        return;
    }
    link_.reporter.SetPaneText(EcuStatePane, "ECU On Line");
    statusFlags.SetBits(EcuOnLine);
    statusFlags.ClearBits(ProbeEchoed);
}

void AcquisitionScheduler::LoadSlot(int n) {
    if (n < 0 || n >= MaxMonitorVariables) {
        return;
    }
    int request = SET_SLOT + n;
    if (!statusFlags.Test(DataEchoed)) {
        request = LOAD_DATA;
    } else if (!statusFlags.Test(AddressEchoed)) {
        request = monitor_.variables[static_cast<size_t>(n)].address;
    }
    const Step step = ExchangeStep(request, loadTime_, true);
    if (step.outcome == Outcome::Nothing) {
        return;
    }
    if (step.outcome == Outcome::TimedOut || step.byte != request) {
        DeclareOffLine();  // a wrong echo goes off line at once
        return;
    }
    statusFlags.ClearBits(ReplyPending);
    if (!statusFlags.Test(DataEchoed)) {
        statusFlags.SetBits(DataEchoed);
    } else if (!statusFlags.Test(AddressEchoed)) {
        statusFlags.SetBits(AddressEchoed);
    } else {
        statusFlags.ClearBits(AddressEchoed | DataEchoed);
        statusFlags.SetBits(StepDone);
        link_.reporter.SetPaneText(EcuStatePane, "ECU On Line");
    }
}

// Called by PollVariable, which checks n.
void AcquisitionScheduler::ReadFirstByte(int n) {
    const Step step = ExchangeStep(READ_SLOT + n, firstReadTime_, true);
    if (step.outcome == Outcome::TimedOut) {
        DeclareOffLine();
    } else if (step.outcome == Outcome::Reply) {
        const auto i = static_cast<size_t>(n);
        monitor_.liveValues[i] = static_cast<uint32_t>(step.byte);
        readMs_[i] = AcquisitionMs();
        statusFlags.ClearBits(ReplyPending);
        statusFlags.SetBits(StepDone);
    }
}

void AcquisitionScheduler::ReadSecondByte(int n) {
    const Step step = ExchangeStep(READ_SLOT_NEXT + n, secondReadTime_, true);
    if (step.outcome == Outcome::TimedOut) {
        DeclareOffLine();
    } else if (step.outcome == Outcome::Reply) {
        monitor_.liveValues[static_cast<size_t>(n)] += static_cast<uint32_t>(step.byte);
        statusFlags.SetBits(StepDone);
        statusFlags.ClearBits(ReplyPending);
    }
}

void AcquisitionScheduler::PollVariable(int n) {
    if (n < 0 || n >= MaxMonitorVariables) {
        return;
    }
    if (statusFlags.Test(SecondBytePending)) {
        ReadSecondByte(n);
    } else {
        ReadFirstByte(n);
        const auto i = static_cast<size_t>(n);
        if (statusFlags.Test(StepDone) && monitor_.variables[i].byteCount == 2) {
            monitor_.liveValues[i] <<= 8;  // the first byte is the high byte
            statusFlags.SetBits(SecondBytePending);
            statusFlags.ClearBits(StepDone);
        }
    }
    if (statusFlags.Test(StepDone)) {
        statusFlags.ClearBits(SecondBytePending | ReplyPending);
    }
}

// ---- The scheduler --------------------------------------------------------

void AcquisitionScheduler::OnIdle() {
    if (UseProbe()) {
        if (!probing_) {
            // Back from reading or binding (an off-line declaration or a
            // restart): a read or slot still in progress is abandoned.
            statusFlags.ClearBits(ExchangeBits | StepDone);
            sendRefused_ = false;
            probing_ = true;
        }
        pollIndex_ = 0;
        statusFlags.ClearBits(SlotsLoaded);
        PollEcuStatus();
        return;
    }
    probing_ = false;
    RunOnLine();
}

// Whatever was in progress is dropped now, so the next wait is not for its reply.
void AcquisitionScheduler::RestartFromProbe() {
    if (statusFlags.Test(EcuOnLine)) {
        link_.reporter.SetPaneText(EcuStatePane, "ECU Off Line");  // until the probe finds it
    }
    statusFlags.ClearBits(ExchangeBits | StepDone | ProbeEchoed);
    sendRefused_ = false;
    probing_ = true;
    LeaveOnLine();
}

void AcquisitionScheduler::RunOnLine() {
    if (pollIndex_ >= VariableCount()) {
        pollIndex_ = 0;  // the list shrank under a running cycle: bind it anew
        statusFlags.ClearBits(SlotsLoaded);
    }
    statusFlags.ClearBits(IdleStepTaken);
    while (!statusFlags.Test(IdleStepTaken) && statusFlags.Test(EcuOnLine)) {
        stalled_ = false;
        if (!statusFlags.Test(SlotsLoaded)) {
            LoadingPass();
        } else {
            ReadingPass();
        }
        if (stalled_) {
            return;  // the flags hold the step; the next call goes on from there
        }
    }
}

void AcquisitionScheduler::LoadingPass() {
    LoadSlot(pollIndex_);
    if (!statusFlags.Test(StepDone)) {
        return;
    }
    statusFlags.ClearBits(StepDone);
    statusFlags.SetBits(IdleStepTaken);
    if (++pollIndex_ >= VariableCount()) {
        statusFlags.SetBits(SlotsLoaded);
        pollIndex_ = 0;
    }
}

void AcquisitionScheduler::ReadingPass() {
    // A variable is counted in the pass after the one that completed it.
    if (!statusFlags.Test(StepDone)) {
        PollVariable(pollIndex_);
        return;
    }
    statusFlags.ClearBits(StepDone);
    statusFlags.SetBits(IdleStepTaken);
    if (++pollIndex_ >= VariableCount()) {
        pollIndex_ = 0;
        CompletePass();
    }
}

void AcquisitionScheduler::CompletePass() {
    // Taken before anyone runs: no callback can change what the observers see.
    Sample sample = SampleOf(monitor_);
    sample.variableCount = VariableCount();
    sample.readMs = readMs_;
    sample.passMs = AcquisitionMs();
    sample.wallMs = link_.clock.WallMs();
    sample.gapMs = std::exchange(gapMs_, NoGap);
    observers_->ForEach([&sample](const ObserverList::Entry& e) {
        if (e.onPass) {
            e.onPass(sample);
        }
    });
}

// ---- Waiting --------------------------------------------------------------

int64_t AcquisitionScheduler::AwaitedRequestTime() const {
    if (UseProbe()) {
        return probeTime_;
    }
    if (!statusFlags.Test(SlotsLoaded)) {
        return loadTime_;
    }
    return statusFlags.Test(SecondBytePending) ? secondReadTime_ : firstReadTime_;
}

AcquisitionScheduler::Wait AcquisitionScheduler::NextWait() const {
    if (!UseProbe() && link_.transport.HasFailed()) {
        return {true, 0};
    }
    if (statusFlags.Test(ReplyPending)) {
        return {false, AwaitedRequestTime() + OffLineTimeoutMs + 1};
    }
    if (sendRefused_) {
        return {false, refusedAtMs_ + SendRetryPauseMs};
    }
    return {true, 0};
}

void AcquisitionScheduler::SleepUntilNextStep(int64_t maxWaitMs) {
    const Wait wait = NextWait();
    if (wait.sendNow) {
        return;
    }
    const int64_t remaining = std::clamp<int64_t>(wait.deadlineMs - link_.clock.MonotonicMs(), 0,
                                                  std::max<int64_t>(maxWaitMs, 0));
    if (statusFlags.Test(ReplyPending)) {
        link_.transport.WaitReadable(remaining);
    } else {
        link_.transport.WaitWritable(remaining);
    }
}

bool AcquisitionScheduler::RunUntil(int64_t untilMs, const std::function<bool()>& done) {
    while (!done()) {
        if (link_.clock.MonotonicMs() >= untilMs) {
            return false;
        }
        OnIdle();
        SleepUntilNextStep(std::min(untilMs - link_.clock.MonotonicMs(), RunSliceMs));
    }
    return true;
}

void AcquisitionScheduler::DropProbe() {
    statusFlags.ClearBits(ReplyPending | ProbeEchoed);
    sendRefused_ = false;
}

// The line is busy while a reply is awaited or the ECU is inside a command:
// a slot half bound, a two-byte read half done, the probe's 0x02 echoed.
bool AcquisitionScheduler::LineBusy() const {
    if (statusFlags.Test(ReplyPending)) {
        return true;
    }
    return UseProbe() ? statusFlags.Test(ProbeEchoed) : UnitInProgress();
}

// A reply that did not come in time: forget it and whatever has arrived, and
// do the unit again from its first byte.
void AcquisitionScheduler::DropUnit() {
    statusFlags.ClearBits(ExchangeBits | ProbeEchoed);
    sendRefused_ = false;
    while (link_.transport.ReadByte() != NoByte) {
    }
    NoteGap();
}

void AcquisitionScheduler::FinishOutstanding() {
    const int64_t giveUp = link_.clock.MonotonicMs() + FinishLimitMs;
    uint64_t awaited = 0;  // the request whose reply is awaited
    int64_t replyDeadline = 0;
    while (LineBusy()) {
        const int64_t now = link_.clock.MonotonicMs();
        if (statusFlags.Test(ReplyPending) && link_.transport.HasFailed()) {
            // On line the next step declares the ECU off line at once; a
            // probe's reply will not come.
            if (UseProbe()) {
                DropUnit();
                return;
            }
        } else if (statusFlags.Test(ReplyPending)) {
            if (awaited != requestsSent_) {
                awaited = requestsSent_;
                replyDeadline = now + QuietLineMs;
            }
            if (!link_.transport.WaitReadable(std::max<int64_t>(replyDeadline - now, 0))) {
                if (link_.clock.MonotonicMs() >= replyDeadline) {
                    DropUnit();
                    return;
                }
                continue;
            }
        } else if (now > giveUp) {
            DeclareOffLine();
            return;
        }
        OnIdle();
        if (!statusFlags.Test(ReplyPending)) {
            SleepUntilNextStep(FinishLimitMs);  // a refused send's pause
        }
    }
}

}  // namespace korvel
