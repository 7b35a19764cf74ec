#include "modem/line_reader.h"

namespace modem {

void LineReader::Feed(const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        char c = data[i];
        if (c == '\0') continue;
        if (c == '\r' || c == '\n') {
            if (!partial_.empty()) ready_.push_back(partial_);
            partial_.clear();
            continue;
        }
        partial_ += c;
        if (partial_.size() >= kLongestLine) {
            ready_.push_back(partial_);
            partial_.clear();
        }
    }
}

bool LineReader::Next(ModemOutput* out) {
    if (!ready_.empty()) {
        out->kind = ModemOutput::Line;
        out->text = ready_.front();
        ready_.pop_front();
        return true;
    }
    if (partial_ == ">" || partial_ == "> ") {
        out->kind = ModemOutput::Prompt;
        out->text = partial_;
        partial_.clear();
        return true;
    }
    return false;
}

}  // namespace modem
