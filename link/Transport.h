#pragma once
// The byte transport under the ECU link: open and configure, read one byte
// without waiting, send one byte, and sleep until a byte may be read.

#include <cstdint>
#include <string>

namespace korvel {

// Stands for the absence of a byte: nothing read, or a send refused.
constexpr int NoByte = 8192;

class ByteTransport {
public:
    virtual ~ByteTransport() = default;
    // The next received byte 0..255, or NoByte when none is waiting. Never waits.
    virtual int ReadByte() = 0;
    // Hands the low 8 bits of `byte` to the device: 0 when taken, NoByte when refused.
    virtual int SendByte(int byte) = 0;
    // Sleeps until a byte may be waiting or `maxWaitMs` has passed; never
    // spins. Returns true when a read may now find a byte. A port that has
    // failed sleeps the whole time, so a caller's loop cannot burn a core.
    virtual bool WaitReadable(int64_t maxWaitMs) = 0;
    // Sleeps until a refused send may be taken or `maxWaitMs` has passed;
    // callers retrying a refused send pass a short bound. The default sleeps
    // the whole bound on the calling thread; a transport that can tell when
    // its output drains overrides it.
    virtual void WaitWritable(int64_t maxWaitMs);
    // True while the port is in a failure episode (a read failed, the device
    // went away). The acquisition exchanges then declare the ECU off line at
    // once instead of waiting for their time-out; the blocking primitives
    // sleep out theirs. The transport reports the failure itself, once per
    // episode.
    virtual bool HasFailed() const { return false; }
};

// The port named on a command line: empty or "1" -> "COM1", "2" -> "COM2",
// any other name unchanged.
std::string CanonicalPortName(const std::string& word);

// The device path to open for a port name: COMn -> /dev/ttyS(n-1) on POSIX,
// anything else as given (/dev/ttyUSB0, a pseudo-terminal path).
std::string DevicePathForPort(const std::string& portName);

}  // namespace korvel
