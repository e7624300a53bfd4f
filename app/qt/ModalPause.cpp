#include "app/qt/ModalPause.h"

#include <QEvent>
#include <QMenu>
#include <QWidget>

namespace korvel {

ModalPause::ModalPause(AcquisitionDriver& driver, QWidget* window)
    : QObject(window), driver_(driver) {
    window->installEventFilter(this);
}

ModalPause::~ModalPause() {
    if (windowBlocked_) {
        driver_.Resume();
    }
    if (menuOpen_) {
        driver_.Resume();
    }
}

void ModalPause::WatchMenu(QMenu* menu) {
    connect(menu, &QMenu::aboutToShow, this, [this] { Begin(menuOpen_); });
    connect(menu, &QMenu::aboutToHide, this, [this] { End(menuOpen_); });
}

bool ModalPause::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowBlocked) {
        Begin(windowBlocked_);
    } else if (event->type() == QEvent::WindowUnblocked) {
        End(windowBlocked_);
    }
    return QObject::eventFilter(watched, event);
}

void ModalPause::Begin(bool& flag) {
    if (!flag) {
        flag = true;
        driver_.Pause();
    }
}

void ModalPause::End(bool& flag) {
    if (flag) {
        flag = false;
        driver_.ResumeAfterModalLoop();
    }
}

}  // namespace korvel
