// The lines of a stream as they come: each line is handed over as soon as its
// line break is read, so a pipe from a modem log or `tail -f` is read as it
// grows, and memory holds one line at a time however long the input is.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class LineReader {
public:
    explicit LineReader(FILE* in);
    // The next line without its line break; false at the end of the input.
    // `beforeWaiting` is called whenever no whole line is at hand and the
    // reader is about to wait for the stream: the moment to flush output.
    bool Next(std::string* line, const std::function<void()>& beforeWaiting);
    bool Failed() const { return failed_; }  // a read error ended the input

private:
    int fd_;
    std::vector<char> buffer_;
    size_t start_ = 0, end_ = 0;  // the bytes read and not yet handed over
    bool ended_ = false, failed_ = false;
};
