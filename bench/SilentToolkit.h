// The benchmarks' toolkit: answers OK to the removal's confirmation and
// success, and stops the run on any other box, which would mean the removal
// did not go as measured.
#pragma once

#include <stdexcept>
#include <string>

#include "Toolkit.h"

namespace bench {

class SilentToolkit : public platform::ToolkitState {
public:
    int MsgBox(const std::string& prompt, int, const std::string&) override {
        if (prompt.rfind("Tem certeza", 0) != 0 && prompt != "Exame removido com sucesso.")
            throw std::runtime_error("unexpected message: " + prompt);
        return platform::vbOK;
    }
};

}  // namespace bench
