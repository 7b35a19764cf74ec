#include "cli/line_reader.h"

#include <cerrno>
#include <cstring>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const size_t kChunk = 1 << 16;

// One read of what the stream has, up to `size` bytes: 0 at its end, -1 on an error.
long ReadSome(int fd, char* to, size_t size) {
    for (;;) {
#ifdef _WIN32
        long got = _read(fd, to, static_cast<unsigned>(size));
#else
        long got = static_cast<long>(read(fd, to, size));
#endif
        if (got >= 0 || errno != EINTR) return got;
    }
}

}  // namespace

LineReader::LineReader(FILE* in) : fd_(fileno(in)), buffer_(kChunk) {}

bool LineReader::Next(std::string* line, const std::function<void()>& beforeWaiting) {
    for (;;) {
        const char* from = buffer_.data() + start_;
        const char* lf = static_cast<const char*>(memchr(from, '\n', end_ - start_));
        if (lf || (ended_ && end_ > start_)) {
            size_t length = lf ? static_cast<size_t>(lf - from) : end_ - start_;
            line->assign(from, length);
            start_ += length + (lf ? 1 : 0);
            return true;
        }
        if (ended_) return false;
        // Keep the start of a line that goes on; a line longer than the buffer makes it grow.
        memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
        if (buffer_.size() - end_ < kChunk / 2) buffer_.resize(buffer_.size() * 2);
        if (beforeWaiting) beforeWaiting();
        long got = ReadSome(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got <= 0) {
            ended_ = true;
            failed_ = got < 0;
        } else {
            end_ += static_cast<size_t>(got);
        }
    }
}
