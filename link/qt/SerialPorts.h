#pragma once
// The serial ports the system offers, as the port chooser lists them.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace korvel {

struct PortInfo {
    std::string name;          // "ttyUSB0"
    std::string location;      // "/dev/ttyUSB0": what is opened
    std::string description;   // "FT232R USB UART"
    std::string manufacturer;  // "FTDI"
    bool usb = false;          // a USB serial adapter
};

using PortLister = std::function<std::vector<PortInfo>()>;

// The ports QSerialPortInfo finds, then the links of /dev/serial/by-id, which
// keep naming an adapter whichever ttyUSB number it gets.
std::vector<PortInfo> SystemSerialPorts();

// The symbolic links in `folder` as ports: name and location the link,
// description the device it points at ("-> ttyUSB0"). Sorted by name; none
// when the folder is missing.
std::vector<PortInfo> PortLinks(const std::string& folder);

// "ttyUSB0: FT232R USB UART (FTDI)"; just the name when the system tells nothing more.
std::string PortLabel(const PortInfo& port);

// The USB serial adapter, when exactly one is present.
std::optional<PortInfo> SoleUsbAdapter(const std::vector<PortInfo>& ports);

}  // namespace korvel
