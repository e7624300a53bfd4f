#pragma once
// Pauses acquisition while a modal loop runs: a modal dialog, a file dialog
// or a message box over the main window (which Qt then marks blocked), or an
// open menu. Modeless editor windows block nothing and do not stop it.

#include <QObject>

#include "app/qt/AcquisitionDriver.h"

class QMenu;
class QWidget;

namespace korvel {

class ModalPause : public QObject {
    Q_OBJECT
public:
    ModalPause(AcquisitionDriver& driver, QWidget* window);
    ~ModalPause() override;
    void WatchMenu(QMenu* menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Begin(bool& flag);
    void End(bool& flag);

    AcquisitionDriver& driver_;
    bool windowBlocked_ = false;
    bool menuOpen_ = false;
};

}  // namespace korvel
