#include "app/qt/CommandLine.h"

#include <QRegularExpression>

#include "link/Transport.h"

namespace korvel {

CommandLine ParseCommandLine(const QStringList& arguments) {
    QStringList words = arguments.join(' ').split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
    CommandLine line;
    for (const QString& word : words) {
        if (!word.startsWith("--")) {
            continue;
        }
        if (word != "--expert") {
            line.error = "Unknown option " + word.toStdString();
            return line;
        }
        line.expert = true;
    }
    words.removeIf([](const QString& word) { return word.startsWith("--"); });
    const std::string base = words.size() > 0 ? words[0].toStdString() : std::string();
    const std::string port = words.size() > 1 ? words[1].toStdString() : std::string();
    // Refused rather than cut: a shortened name would open a different file or device.
    if (base.size() > MaxMonitorBaseNameLength) {
        line.error = "The monitor file name is longer than " +
                     std::to_string(MaxMonitorBaseNameLength) + " characters";
        return line;
    }
    if (port.size() > MaxPortNameLength) {
        line.error = "The serial port name is longer than " + std::to_string(MaxPortNameLength) +
                     " characters";
        return line;
    }
    line.monitorBaseName = base.empty() ? "Mon" : base;
    line.portName = CanonicalPortName(port);
    return line;
}

}  // namespace korvel
