#include "Diagnostics.h"

#include <iostream>
#include <mutex>
#include <string>
#include <utility>

namespace platform {
namespace {

std::mutex& receiverLock() {
    static std::mutex lock;
    return lock;
}

DiagnosticReceiver& currentReceiver() {
    static DiagnosticReceiver receiver;
    return receiver;
}

}  // namespace

void Diagnose(std::string_view category, std::string_view text) {
    std::lock_guard<std::mutex> hold(receiverLock());
    if (const DiagnosticReceiver& receiver = currentReceiver()) {
        receiver(category, text);
        return;
    }
    std::string line;
    line.reserve(category.size() + text.size() + 3);
    line.append(category).append(": ").append(text).push_back('\n');
    std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cerr.flush();
}

DiagnosticReceiver ReplaceDiagnosticReceiver(DiagnosticReceiver receiver) {
    std::lock_guard<std::mutex> hold(receiverLock());
    return std::exchange(currentReceiver(), std::move(receiver));
}

}  // namespace platform
