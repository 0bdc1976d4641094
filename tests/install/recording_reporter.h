#pragma once
// The window's side as the install procedures see it: log lines, boxes shown and the progress bar.

#include "window/report.h"

#include <string>
#include <vector>

namespace ledrana::testing {

class RecordingReporter : public Reporter {
public:
    void MemLog(const std::string& stringa, bool visualizzoMsgBox) override {
        log += "\r\n->" + stringa;
        if (visualizzoMsgBox) boxes.push_back(stringa);
    }
    void ProgressTick() override { ++pb; }
    std::string log;
    std::vector<std::string> boxes;
    int pb = 0;
};

} // namespace ledrana::testing
