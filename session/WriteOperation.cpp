#include "session/WriteOperation.h"

#include <cstdio>

#include "link/Transfers.h"

namespace korvel {

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", value);
    return text;
}

}  // namespace

std::map<int, uint32_t> OldValues(const WriteResult& result) {
    std::map<int, uint32_t> old;
    for (const auto& [index, value] : result.changed) {
        if (value) {
            old.emplace(index, *value);  // the first is the value before the write
        }
    }
    return old;
}

std::string WriteFailureText(const WriteResult& result, WriteKind kind) {
    if (result.outcome != TransferOutcome::Failed || kind == WriteKind::Poke) {
        return {};
    }
    const std::string n = std::to_string(result.verified);
    if (result.cancelled()) {
        return "Download cancelled: " + n + " bytes programmed";
    }
    std::string text = VerifyFailureText(result.link);
    if (!text.empty()) {
        text += "\n";
    }
    const std::string at = result.link.address ? Hex(*result.link.address) : std::string("?");
    text += result.total >= 0 ? n + " of " + std::to_string(result.total) : n;
    text += " bytes programmed before the failure at " + at;
    if (result.uncertain) {
        text += "; the byte at " + at + " may also have been programmed";
    }
    return text;
}

}  // namespace korvel
