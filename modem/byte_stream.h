// What the AT dialogue talks through: a serial port on either system, or a
// test's scripted modem. Time comes from the stream too, so that a test's
// modem can let time pass without the test sleeping.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace modem {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Up to `size` bytes into `buffer`, waiting at most `waitMs` for the
    // first: their count, 0 when none came in time, -1 when the port failed
    // (the device went away), with the reason in Failure().
    virtual int Read(char* buffer, size_t size, int waitMs) = 0;
    // All of `data`, or false when the port failed.
    virtual bool Write(const char* data, size_t size) = 0;
    virtual std::string Failure() const = 0;
    // Milliseconds on a clock that only moves forward.
    virtual int64_t NowMs() = 0;
};

}  // namespace modem
