#include "link/Transfers.h"

#include <algorithm>
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

namespace {

bool CancelRequested(EcuLink& link) {
    return link.cancelRequested && link.cancelRequested();
}

LinkResult Cancelled(uint32_t address) {
    return LinkResult::Failed(LinkStep::Cancelled, LinkPhase::None).At(address);
}

// The address once, then one SEND_INC per byte: the ECU's pointer advances.
LinkResult ReadBlock(EcuLink& link, uint32_t* values, uint32_t first, uint32_t last,
                     const UploadProgress& progress) {
    if (LinkResult sent = SendAddress(link, first); !sent.ok()) {
        return sent;
    }
    const uint32_t count = Count(first, last);
    for (uint32_t read = 0; read < count; ++read) {
        if (CancelRequested(link)) {
            return Cancelled(first + read);
        }
        LinkResult result = ReadNextByte(link, values[read]);
        if (!result.ok()) {
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

}  // namespace

LinkResult UploadRange(EcuLink& link, uint32_t* values, uint32_t first, uint32_t last,
                       const UploadProgress& progress) {
    const LinkResult result = ReadBlock(link, values, first, last, progress);
    if (result.step == LinkStep::Address) {
        link.reporter.ShowMessage("Send Address failed");
    } else if (result.step == LinkStep::ReadData) {
        link.reporter.ShowMessage("Not all addresses loaded");
    }
    return result;
}

LinkResult ReadCalibration(EcuLink& link, CalibrationImage& ecu, const UploadProgress& progress) {
    return ReadBlock(link, ecu.values.data(), CalibrationFirstAddress, CalibrationLastAddress,
                     progress);
}

std::vector<int> DifferingIndices(const CalibrationImage& image, const CalibrationImage& ecu) {
    std::vector<int> indices;
    for (int i = 0; i < ImageSize; ++i) {
        if (image[i] != ecu[i]) {
            indices.push_back(i);
        }
    }
    return indices;
}

void ProgramTrace::Read(int index, uint32_t value) const {
    if (ecu != nullptr) {
        ecu->Learn(index, value);
    }
}

void ProgramTrace::Programmed(int index, std::optional<uint8_t> old, uint32_t value,
                              const LinkResult& result) {
    // A failure before the commit went out leaves the byte as it was.
    const bool commitSent = result.ok() || result.step == LinkStep::Verify ||
                            result.step == LinkStep::Commit ||
                            (result.step == LinkStep::ReadData && result.written.has_value());
    if (!commitSent) {
        return;
    }
    changed.emplace_back(index, old);
    if (result.ok()) {
        ++verified;
        Read(index, value);
    } else if (result.step == LinkStep::Verify) {
        Read(index, result.read.value_or(0));  // what the read-back found
    } else {
        uncertain = true;
        if (ecu != nullptr) {
            ecu->Unlearn(index);
        }
    }
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
                         const DownloadProgress& progress, ProgramTrace* trace) {
    const uint32_t count = Count(first, last);
    for (uint32_t i = 0; i < count; ++i) {
        if (CancelRequested(link)) {
            return Cancelled(first + i);
        }
        uint8_t ecuByte = 0;
        if (LinkResult result = ReadEcuByte(link, first + i, ecuByte); !result.ok()) {
            return result.At(first + i);
        }
        const int index = static_cast<int>(first + i) - static_cast<int>(ImageBaseAddress);
        if (trace != nullptr) {
            trace->Read(index, ecuByte);
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
        LinkResult result = ProgramByte(link, values[i]);
        if (trace != nullptr) {
            trace->Programmed(index, ecuByte, values[i], result);
        }
        if (!result.ok()) {
            return result.At(first + i);
        }
    }
    return LinkResult::Ok();
}

LinkResult ProgramIndices(EcuLink& link, const CalibrationImage& image, const CalibrationImage& ecu,
                          const std::vector<int>& indices, const DownloadProgress& progress,
                          ProgramTrace* trace) {
    for (int index : indices) {
        const uint32_t address = ImageBaseAddress + static_cast<uint32_t>(index);
        if (CancelRequested(link)) {
            return Cancelled(address);
        }
        link.reporter.SetPaneText(MessagePane, DownloadProgressText(ecu[index], image[index]));
        if (progress) {
            progress(ecu[index], image[index]);
        }
        LinkResult result = SendAddress(link, address);
        if (result.ok()) {
            result = ProgramByte(link, image[index]);
            if (trace != nullptr) {
                // What the ECU is known to hold; `ecu` may only stand in for an unknown byte.
                const auto old = trace->ecu != nullptr ? trace->ecu->At(index)
                                                       : std::optional(uint8_t(ecu[index]));
                trace->Programmed(index, old, image[index], result);
            }
        }
        if (!result.ok()) {
            return result.At(address);
        }
    }
    return LinkResult::Ok();
}

LinkResult DownloadChanges(EcuLink& link, const CalibrationImage& image,
                           const StepProgress& progress, int* programmed, ProgramTrace* trace,
                           int* toProgram) {
    CalibrationImage ecu;
    LinkResult result = ReadCalibration(link, ecu, [&](int index, uint32_t) {
        if (progress) {
            progress(index + 1, ImageSize);
        }
    });
    int done = 0;
    if (result.ok()) {
        if (trace != nullptr && trace->ecu != nullptr) {
            trace->ecu->LearnAll(ecu);
        }
        const std::vector<int> changes = DifferingIndices(image, ecu);
        if (toProgram != nullptr) {
            *toProgram = static_cast<int>(changes.size());
        }
        if (trace != nullptr && trace->blockRead && !trace->blockRead(ecu)) {
            if (programmed != nullptr) {
                *programmed = 0;
            }
            return Cancelled(CalibrationFirstAddress);
        }
        const int total = ImageSize + static_cast<int>(changes.size());
        result = ProgramIndices(
            link, image, ecu, changes,
            [&](uint32_t, uint32_t) {
                if (progress && done > 0) {
                    progress(ImageSize + done, total);  // the byte before this one is done
                }
                ++done;
            },
            trace);
        // A cancel comes before the next byte's progress; any other failure
        // stopped inside the byte just counted, which was not verified.
        if (!result.ok() && result.step != LinkStep::Cancelled) {
            --done;
        }
        if (result.ok() && progress && done > 0) {
            progress(total, total);
        }
    }
    if (programmed != nullptr) {
        *programmed = std::max(0, done);
    }
    return result;
}

}  // namespace korvel
