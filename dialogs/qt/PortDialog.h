#pragma once
// "Serial Port": the ports the system offers, with their description and
// maker, the one in use marked; or a name typed in. Control identifiers are
// the widgets' object names.

#include <QDialog>
#include <string>
#include <vector>

#include "link/qt/SerialPorts.h"

class QLineEdit;
class QListWidget;

namespace korvel {

class PortDialog : public QDialog {
    Q_OBJECT
public:
    PortDialog(const std::vector<PortInfo>& ports, const std::string& current, QWidget* parent);

    // The name to open: the chosen port's device, or the typed name.
    std::string ChosenName() const;

private:
    void OnOk();

    std::vector<PortInfo> ports_;
    QListWidget* list_ = nullptr;  // "ports"
    QLineEdit* name_ = nullptr;    // "name"
};

}  // namespace korvel
