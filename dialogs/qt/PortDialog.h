#pragma once
// "Serial Port": the ports the system offers, with their description and
// maker, and the port in use, listed and marked even when the system does not
// list it (a pseudo-terminal); or a name typed in. The name field starts with
// the port in use and changes only when the user picks another row. Control
// identifiers are the widgets' object names.

#include <QDialog>
#include <string>
#include <vector>

#include "link/qt/SerialPorts.h"

class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace korvel {

class PortDialog : public QDialog {
    Q_OBJECT
public:
    PortDialog(const std::vector<PortInfo>& ports, const std::string& current, QWidget* parent);

    // The name to open: the chosen port's device, or the typed name.
    std::string ChosenName() const;

private:
    void OnOk();
    void OnRowChosen(QListWidgetItem* item, QListWidgetItem* previous);

    std::vector<PortInfo> ports_;
    std::string current_;
    QListWidget* list_ = nullptr;  // "ports"
    QLineEdit* name_ = nullptr;    // "name"
};

}  // namespace korvel
