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

bool UploadRange(EcuLink& link, uint32_t* values, uint32_t first, uint32_t last,
                 const UploadProgress& progress) {
    if (SendAddress(link, first)) {
        link.reporter.ShowMessage("Send Address failed");
        return true;
    }
    const uint32_t count = Count(first, last);
    uint32_t read = 0;
    // The ECU's pointer advances with each SEND_INC: the address goes out once.
    for (; read < count; ++read) {
        if (ReadNextByte(link, values[read])) {
            break;
        }
        const int index = static_cast<int>(read);
        link.reporter.SetPaneText(MessagePane, UploadProgressText(index, values[read]));
        if (progress) {
            progress(index, values[read]);
        }
    }
    if (read < count) {
        link.reporter.ShowMessage("Not all addresses loaded");
        return true;
    }
    return false;
}

namespace {

// Programs one byte at the address the pointer already holds. Returns `failed`.
bool ProgramByte(EcuLink& link, uint32_t value) {
    return WriteDataByte(link, value) || ProgramArm(link) || ProgramCommit(link);
}

}  // namespace

bool DownloadRange(EcuLink& link, const uint32_t* values, uint32_t first, uint32_t last,
                   const DownloadProgress& progress) {
    const uint32_t count = Count(first, last);
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t ecuByte = 0;
        if (SendAddress(link, first + i) || ReadByteAtAddress(link, ecuByte)) {
            return true;
        }
        link.reporter.SetPaneText(MessagePane, DownloadProgressText(ecuByte, values[i]));
        if (progress) {
            progress(ecuByte, values[i]);
        }
        // The whole slot is compared: a value above 255 never equals an ECU
        // byte, so it is always written (as its low 8 bits).
        if (ecuByte != values[i] && ProgramByte(link, values[i])) {
            return true;
        }
    }
    return false;
}

}  // namespace korvel
