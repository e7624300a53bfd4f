#include "link/qt/SerialPorts.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <filesystem>
#include <system_error>

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
    const std::vector<PortInfo> links = PortLinks("/dev/serial/by-id");
    ports.insert(ports.end(), links.begin(), links.end());
    return ports;
}

std::vector<PortInfo> PortLinks(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<PortInfo> links;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (!it->is_symlink(error)) {
            continue;
        }
        const fs::path target = fs::read_symlink(it->path(), error);
        // Not a USB adapter of its own: the device it points at is listed already.
        links.push_back({it->path().filename().string(), it->path().string(),
                         "-> " + target.filename().string(), "", false});
    }
    std::ranges::sort(links, {}, &PortInfo::name);
    return links;
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
