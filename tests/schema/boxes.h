#pragma once
// The message boxes of a test as comparable values.

#include <ostream>
#include <string>
#include <vector>

#include "platform/scripted_dialogs.h"

namespace ledrana::testing {

struct Box {
    std::string text;
    int style = 0;
    std::string title;
    bool operator==(const Box&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Box& b) {
    return os << "{\"" << b.text << "\", " << b.style << ", \"" << b.title << "\"}";
}

inline std::vector<Box> AsBoxes(const std::vector<DialogRecord>& records) {
    std::vector<Box> out;
    for (const DialogRecord& r : records) {
        if (r.kind == DialogRecord::Kind::MsgBox) out.push_back({r.text, r.style, r.title});
    }
    return out;
}

} // namespace ledrana::testing
