#include "app/qt/TransferBracket.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>
#include <algorithm>

namespace korvel {

TransferBracket::TransferBracket(AcquisitionDriver& driver, EcuLink& link, Prompter& prompter,
                                 QStatusBar* statusBar)
    : QObject(statusBar),
      driver_(driver),
      link_(link),
      prompter_(prompter),
      progress_(new QProgressBar(statusBar)),
      cancel_(new QPushButton("Cancel", statusBar)) {
    progress_->setMaximumWidth(200);
    progress_->hide();
    cancel_->setObjectName("cancel");
    cancel_->hide();
    connect(cancel_, &QPushButton::clicked, this, [this] { cancelRequested_ = true; });
    statusBar->addWidget(progress_);
    statusBar->addWidget(cancel_);
}

void TransferBracket::Run(int steps, const std::function<void(const StepProgress&)>& transfer) {
    AcquisitionDriver::Pauser pause(driver_);
    running_ = true;
    cancelRequested_ = false;
    link_.cancelRequested = [this] { return cancelRequested_; };
    progress_->setRange(0, std::max(steps, 1));
    progress_->setValue(0);
    progress_->show();
    cancel_->show();
    qApp->installEventFilter(this);
    transfer([this](int done, int total) { Progress(done, total); });
    qApp->removeEventFilter(this);
    link_.cancelRequested = nullptr;
    progress_->hide();
    cancel_->hide();
    running_ = false;
    for (const QPointer<QWidget>& window : std::exchange(closeAfter_, {})) {
        if (window) {
            QTimer::singleShot(0, window, &QWidget::close);
        }
    }
}

// Between two bytes: the bar moves on and the windows repaint. Of the
// user's input only what eventFilter lets through arrives.
void TransferBracket::Progress(int done, int total) {
    if (total > progress_->maximum()) {
        progress_->setMaximum(total);
    }
    progress_->setValue(std::clamp(done, 0, progress_->maximum()));
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// A real click reaches the window's QWindow first, at a position in that
// window, and only then the button under it.
bool TransferBracket::AddressedToCancel(QObject* watched, QEvent* event) const {
    if (watched == cancel_) {
        return true;
    }
    const auto* window = qobject_cast<QWindow*>(watched);
    const auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (window == nullptr || mouse == nullptr || !cancel_->isVisible() ||
        window != cancel_->window()->windowHandle()) {
        return false;
    }
    const QPoint at = cancel_->mapFrom(cancel_->window(), mouse->position().toPoint());
    return cancel_->rect().contains(at);
}

bool TransferBracket::IsGuarded(QObject* watched) const {
    return std::any_of(guarded_.begin(), guarded_.end(),
                       [watched](const QPointer<QWidget>& w) { return w && w == watched; });
}

void TransferBracket::AskToCancel(QWidget* window) {
    qApp->removeEventFilter(this);  // the question's buttons need the user's clicks
    if (prompter_.Confirm(window, "A transfer with the ECU is running. Cancel it and close?",
                          QString(), "Cancel Transfer")) {
        cancelRequested_ = true;
        closeAfter_.emplace_back(window);
    }
    qApp->installEventFilter(this);
}

bool TransferBracket::eventFilter(QObject* watched, QEvent* event) {
    if (QApplication::activeModalWidget() != nullptr) {
        return false;  // a message box shown mid-transfer takes its own input
    }
    switch (event->type()) {
        case QEvent::Close:
            if (IsGuarded(watched)) {
                event->ignore();  // what is written is the session's copy, but ask first
                AskToCancel(static_cast<QWidget*>(watched));
                return true;
            }
            return false;
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                cancelRequested_ = true;
            }
            return true;
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return !AddressedToCancel(watched, event);
        default:
            return false;
    }
}

}  // namespace korvel
