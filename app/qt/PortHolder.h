#pragma once
// The program's serial port as the link sees it. The link exists from the
// start, but the port is opened only after the main window is shown; until
// then (and if opening fails) nothing can be sent or read.

#include <memory>

#include "link/Transport.h"

namespace korvel {

class PortHolder : public ByteTransport {
public:
    void Attach(std::unique_ptr<ByteTransport> port) { port_ = std::move(port); }
    // Closes the port.
    void Close() { port_.reset(); }

    int ReadByte() override { return port_ ? port_->ReadByte() : NoByte; }
    int SendByte(int byte) override { return port_ ? port_->SendByte(byte) : NoByte; }
    bool WaitReadable(int64_t maxWaitMs) override {
        return port_ ? port_->WaitReadable(maxWaitMs) : false;
    }
    void WaitWritable(int64_t maxWaitMs) override {
        if (port_) {
            port_->WaitWritable(maxWaitMs);
        }
    }
    bool HasFailed() const override { return port_ ? port_->HasFailed() : true; }

private:
    std::unique_ptr<ByteTransport> port_;
};

}  // namespace korvel
