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
    bool vanish = false; // after this write, every read and write fails
};

class ScriptedStream : public ByteStream {
public:
    explicit ScriptedStream(std::vector<Step> steps) : steps_(std::move(steps)) {}

    int Read(char* buffer, size_t size, int waitMs) override {
        if (gone_) return -1;
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
        if (gone_) return false;
        std::string got(data, size);
        written.push_back(got);
        if (next_ < steps_.size() && steps_[next_].sent == got) {
            pending_ += steps_[next_].answer;
            gone_ = steps_[next_].vanish;
            ++next_;
        } else {
            unexpected.push_back(got);
        }
        return true;
    }

    std::string Failure() const override { return "device unplugged"; }
    int64_t NowMs() override { return now_; }

    // Added to the modem's output as if it had just arrived.
    void Arrive(const std::string& bytes) { pending_ += bytes; }
    bool AllSent() const { return next_ == steps_.size(); }

    std::vector<std::string> written;     // every write, in order
    std::vector<std::string> unexpected;  // writes the script did not have next

private:
    std::vector<Step> steps_;
    size_t next_ = 0;
    std::string pending_;
    int64_t now_ = 0;
    bool gone_ = false;
};

}  // namespace modem
