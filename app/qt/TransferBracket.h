#pragma once
// The one bracket around every transfer that holds the line (Upload,
// Download, Compare, Program): acquisition pauses, a progress bar and a
// Cancel button show in the status bar, and of the user's input only the
// Cancel button, Esc and a window's close get through. Closing a guarded
// window (the main window, the compare window) asks first; agreed, the
// transfer stops at its next byte boundary and the window closes after it.

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

#include "app/qt/AcquisitionDriver.h"
#include "link/Protocol.h"
#include "link/Transfers.h"
#include "ui/Prompter.h"

class QProgressBar;
class QPushButton;
class QStatusBar;
class QWidget;

namespace korvel {

class TransferBracket : public QObject {
    Q_OBJECT
public:
    TransferBracket(AcquisitionDriver& driver, EcuLink& link, Prompter& prompter,
                    QStatusBar* statusBar);

    // Runs `transfer` inside the bracket, with a progress callback that
    // advances the bar (`steps` long to begin with) and lets windows repaint.
    void Run(int steps, const std::function<void(const StepProgress&)>& transfer);
    bool Running() const { return running_; }

    // A window whose close during a transfer asks before it cancels.
    void Guard(QWidget* window) { guarded_.emplace_back(window); }

    QPushButton* CancelButton() const { return cancel_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Progress(int done, int total);
    bool AddressedToCancel(QObject* watched, QEvent* event) const;
    bool IsGuarded(QObject* watched) const;
    void AskToCancel(QWidget* window);

    AcquisitionDriver& driver_;
    EcuLink& link_;
    Prompter& prompter_;
    QProgressBar* progress_;
    QPushButton* cancel_;
    std::vector<QPointer<QWidget>> guarded_;
    std::vector<QPointer<QWidget>> closeAfter_;
    bool running_ = false;
    bool cancelRequested_ = false;
};

}  // namespace korvel
