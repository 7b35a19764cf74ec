// Modem output as lines (3GPP TS 27.007 5.2: results are framed by <CR><LF>,
// and V.250 text lines end in either): bytes in, whole lines and the send
// prompt out.
#pragma once
#include <cstddef>
#include <deque>
#include <string>

namespace modem {

struct ModemOutput {
    enum Kind { Line, Prompt };
    Kind kind = Line;
    std::string text;  // the line without its line ends
};

class LineReader {
public:
    // A line longer than this is handed on cut at this length: a port that
    // sends noise without line ends does not grow the buffer without end.
    static constexpr size_t kLongestLine = 8192;

    void Feed(const char* data, size_t size);
    // The next line, or the prompt of 27.005 3.5.1 ("> ", or ">" alone as some
    // modems send it) when it waits with no line end after it. Empty lines and
    // NUL bytes (noise on a line that is powering up) are dropped.
    bool Next(ModemOutput* out);
    // What came after the last line end, not yet a line.
    const std::string& Pending() const { return partial_; }

private:
    std::string partial_;
    std::deque<std::string> ready_;  // whole lines not yet taken
};

}  // namespace modem
