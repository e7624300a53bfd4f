#include "link/Transfers.h"

#include <cstdio>

namespace korvel {

namespace {

uint32_t Count(uint32_t first, uint32_t last) {
    return last >= first ? last - first + 1 : 0;
}

}  // namespace

std::string UploadProgressText(int index, uint32_t value) {
    char text[64];
    std::snprintf(text, sizeof text, "Uploading Data %d  %X", index, value);
    return text;
}

std::string DownloadProgressText(uint32_t ecuByte, uint32_t imageValue) {
    char text[64];
    std::snprintf(text, sizeof text, "Programming ECU:  %X  %X", ecuByte, imageValue);
    return text;
}

LinkResult UploadRange(EcuLink& link, uint32_t* values, uint32_t first, uint32_t last,
                       const UploadProgress& progress) {
    if (const LinkResult sent = SendAddress(link, first); !sent.ok()) {
        link.reporter.ShowMessage("Send Address failed");
        return sent;
    }
    const uint32_t count = Count(first, last);
    // The ECU's pointer advances with each SEND_INC: the address goes out once.
    for (uint32_t read = 0; read < count; ++read) {
        LinkResult result = ReadNextByte(link, values[read]);
        if (!result.ok()) {
            link.reporter.ShowMessage("Not all addresses loaded");
            return result.At(first + read);
        }
        const int index = static_cast<int>(read);
        link.reporter.SetPaneText(MessagePane, UploadProgressText(index, values[read]));
        if (progress) {
            progress(index, values[read]);
        }
    }
    return LinkResult::Ok();
}

namespace {

// Reads the byte the ECU holds at `address`.
LinkResult ReadEcuByte(EcuLink& link, uint32_t address, uint8_t& ecuByte) {
    const LinkResult sent = SendAddress(link, address);
    return sent.ok() ? ReadByteAtAddress(link, ecuByte) : sent;
}

}  // namespace

LinkResult ProgramByte(EcuLink& link, uint32_t value) {
    const uint32_t written = value & 0xFF;
    LinkResult result = WriteDataByte(link, value);
    if (result.ok()) {
        result = ProgramArm(link);
    }
    if (result.ok()) {
        result = ProgramCommit(link);
    }
    uint8_t held = 0;
    if (result.ok()) {
        result = ReadByteAtAddress(link, held);
        if (result.ok() && held != written) {
            result = LinkResult::Failed(LinkStep::Verify, LinkPhase::None);
            result.read = held;
        }
    }
    if (!result.ok()) {
        result.written = written;
    }
    return result;
}

std::string VerifyFailureText(const LinkResult& result) {
    if (result.step != LinkStep::Verify || !result.address) {
        return {};
    }
    char text[80];
    std::snprintf(text, sizeof text, "Verify failed at %X: wrote %X, ECU holds %X", *result.address,
                  result.written.value_or(0), result.read.value_or(0));
    return text;
}

LinkResult DownloadRange(EcuLink& link, const uint32_t* values, uint32_t first, uint32_t last,
                         const DownloadProgress& progress) {
    const uint32_t count = Count(first, last);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t ecuByte = 0;
        if (LinkResult result = ReadEcuByte(link, first + i, ecuByte); !result.ok()) {
            return result.At(first + i);
        }
        link.reporter.SetPaneText(MessagePane, DownloadProgressText(ecuByte, values[i]));
        if (progress) {
            progress(ecuByte, values[i]);
        }
        // The whole slot is compared: a value above 255 never equals an ECU
        // byte, so it is always written (as its low 8 bits).
        if (ecuByte == values[i]) {
            continue;
        }
        if (LinkResult result = ProgramByte(link, values[i]); !result.ok()) {
            return result.At(first + i);
        }
    }
    return LinkResult::Ok();
}

}  // namespace korvel
