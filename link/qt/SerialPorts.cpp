#include "link/qt/SerialPorts.h"

#include <QSerialPortInfo>
#include <algorithm>

namespace korvel {

std::vector<PortInfo> SystemSerialPorts() {
    std::vector<PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString name = info.portName();
        ports.push_back(
            {name.toStdString(), info.systemLocation().toStdString(),
             info.description().toStdString(), info.manufacturer().toStdString(),
             info.hasVendorIdentifier() || name.startsWith("ttyUSB") || name.startsWith("ttyACM")});
    }
    return ports;
}

std::string PortLabel(const PortInfo& port) {
    std::string label = port.name;
    if (!port.description.empty()) {
        label += ": " + port.description;
    }
    if (!port.manufacturer.empty() && port.manufacturer != port.description) {
        label += " (" + port.manufacturer + ")";
    }
    return label;
}

std::optional<PortInfo> SoleUsbAdapter(const std::vector<PortInfo>& ports) {
    if (std::count_if(ports.begin(), ports.end(), [](const PortInfo& p) { return p.usb; }) != 1) {
        return std::nullopt;
    }
    return *std::find_if(ports.begin(), ports.end(), [](const PortInfo& p) { return p.usb; });
}

}  // namespace korvel
