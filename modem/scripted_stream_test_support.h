// A modem as a script, for driving the dialogue without a port: each step is
// what the dialogue must send and what the modem answers. Time is virtual: a
// read that finds nothing lets its whole wait pass at once, so time limits
// are tested without sleeping.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "modem/byte_stream.h"

namespace modem {

struct Step {
    std::string sent;    // what the dialogue writes, whole (a command with its CR, a PDU with Ctrl-Z)
    std::string answer;  // the bytes the modem gives back at once
};

class ScriptedStream : public ByteStream {
public:
    explicit ScriptedStream(std::vector<Step> steps) : steps_(std::move(steps)) {}

    int Read(char* buffer, size_t size, int waitMs) override {
        if (pending_.empty()) {
            now_ += waitMs;
            return 0;
        }
        size_t n = pending_.size() < size ? pending_.size() : size;
        memcpy(buffer, pending_.data(), n);
        pending_.erase(0, n);
        return static_cast<int>(n);
    }

    bool Write(const char* data, size_t size) override {
        std::string got(data, size);
        if (next_ < steps_.size() && steps_[next_].sent == got)
            pending_ += steps_[next_++].answer;
        else
            unexpected.push_back(got);
        return true;
    }

    std::string Failure() const override { return ""; }  // never fails
    int64_t NowMs() override { return now_; }
    bool AllSent() const { return next_ == steps_.size(); }

    std::vector<std::string> unexpected;  // writes the script did not have next

private:
    std::vector<Step> steps_;
    size_t next_ = 0;
    std::string pending_;
    int64_t now_ = 0;
};

}  // namespace modem
