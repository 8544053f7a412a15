#include "ConsoleToolkit.h"

namespace platform {

std::string ConsoleToolkit::OneLine(const std::string& prompt) {
    std::string line;
    line.reserve(prompt.size());
    bool pendingBreak = false;
    for (char c : prompt) {
        if (c == '\r' || c == '\n') {
            pendingBreak = !line.empty();
            continue;
        }
        if (pendingBreak) {
            if (line.back() != ' ') line += ' ';
            pendingBreak = false;
        }
        const auto byte = static_cast<unsigned char>(c);
        line += (byte < 0x20 || byte == 0x7F) ? '?' : c;
    }
    return line;
}

int ConsoleToolkit::MsgBox(const std::string& prompt, int buttons, const std::string&) {
    if (beforeWrite_) beforeWrite_();
    out_ << prefix_ << OneLine(prompt) << (buttons == vbOKCancel ? " [OK]" : "") << '\n';
    out_.flush();
    return vbOK;
}

}  // namespace platform
