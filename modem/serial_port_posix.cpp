// The serial port on Linux and other POSIX systems: termios in raw mode.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "modem/serial_port.h"
#include "modem/uucp_lock.h"

namespace modem {
namespace {

struct Speed {
    int baud;
    speed_t code;
};
const Speed kSpeeds[] = {{1200, B1200},       {2400, B2400},     {4800, B4800},     {9600, B9600},
                         {19200, B19200},     {38400, B38400},   {57600, B57600},   {115200, B115200},
                         {230400, B230400},   {460800, B460800}, {921600, B921600}, {3000000, B3000000},
                         {4000000, B4000000}};

// The name of process `pid` ("ModemManager"), from /proc.
std::string ProcessName(const std::string& pid) {
    char comm[64] = {0};
    FILE* c = fopen(("/proc/" + pid + "/comm").c_str(), "r");
    if (c && fgets(comm, sizeof comm, c)) comm[strcspn(comm, "\n")] = '\0';
    if (c) fclose(c);
    return *comm ? comm : "a program";
}

// The name and id of a process that has `device` open, from /proc; empty when none can be seen.
std::string ProcessHolding(const std::string& device) {
    char real[4096];
    if (!realpath(device.c_str(), real)) return "";
    DIR* proc = opendir("/proc");
    if (!proc) return "";
    std::string found;
    while (dirent* p = readdir(proc)) {
        if (p->d_name[0] < '1' || p->d_name[0] > '9' || atol(p->d_name) == getpid()) continue;
        std::string fds = std::string("/proc/") + p->d_name + "/fd";
        DIR* d = opendir(fds.c_str());
        if (!d) continue;
        while (dirent* f = readdir(d)) {
            char target[4096];
            ssize_t n = readlink((fds + "/" + f->d_name).c_str(), target, sizeof target - 1);
            if (n <= 0) continue;
            target[n] = '\0';
            if (strcmp(target, real) != 0) continue;
            found = ProcessName(p->d_name) + " (process " + p->d_name + ")";
            break;
        }
        closedir(d);
        if (!found.empty()) break;
    }
    closedir(proc);
    return found;
}

std::string Busy(const std::string& device, const std::string& holder) {
    std::string who = holder.empty() ? "another program" : holder;
    std::string hint = holder.compare(0, 13, "ModemManager ") == 0
                           ? "stop it (sudo systemctl stop ModemManager) or tell it to leave the modem alone"
                           : "close it, or wait until it is done";
    return device + ": the port is in use by " + who + ": " + hint;
}

class PosixPort : public ByteStream {
public:
    PosixPort(int fd, std::unique_ptr<UucpLock> lock) : fd_(fd), lock_(std::move(lock)) {}
    ~PosixPort() override { close(fd_); }

    int Read(char* buffer, size_t size, int waitMs) override {
        pollfd p = {fd_, POLLIN, 0};
        int ready = poll(&p, 1, waitMs);
        if (ready < 0 && errno == EINTR) return 0;
        if (ready < 0) return Fail(strerror(errno));
        if (ready == 0) return 0;
        ssize_t n = read(fd_, buffer, size);
        if (n > 0) return static_cast<int>(n);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        // POLLHUP, end of file or EIO: the other side closed (a USB modem pulled, a pseudo-terminal's master gone;
        // which of them the read gives depends on how far the closing has gone).
        return Fail(n == 0 || errno == EIO ? "the device hung up" : strerror(errno));
    }

    bool Write(const char* data, size_t size) override {
        while (size > 0) {
            ssize_t n = write(fd_, data, size);
            if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p = {fd_, POLLOUT, 0};
                if (poll(&p, 1, 10000) <= 0) return Fail("the port takes no more output") >= 0;
                continue;
            }
            if (n <= 0) return Fail(strerror(errno)) >= 0;
            data += n;
            size -= static_cast<size_t>(n);
        }
        return true;
    }

    std::string Failure() const override { return failure_; }

    int64_t NowMs() override {
        timespec t;
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
    }

private:
    int Fail(const std::string& why) {
        failure_ = why;
        return -1;
    }
    int fd_;
    std::unique_ptr<UucpLock> lock_;
    std::string failure_;
};

}  // namespace

bool KnownBaud(int baud) {
    for (const Speed& s : kSpeeds)
        if (s.baud == baud) return true;
    return false;
}

std::unique_ptr<ByteStream> OpenSerialPort(const PortOptions& options, std::string* why) {
    const std::string& device = options.device;
    auto lock = std::make_unique<UucpLock>();
    long holder = 0;
    std::string file;
    if (!lock->Take(device, &holder, &file)) {
        std::string pid = std::to_string(holder);
        *why = Busy(device, ProcessName(pid) + " (process " + pid + ", lock file " + file + ")");
        return nullptr;
    }
    int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        if (e == ENOENT) *why = device + ": no such device: is the modem plugged in? (ls /dev/ttyUSB* /dev/ttyACM*)";
        else if (e == EACCES)
            *why = device + ": permission denied: add yourself to the dialout group (sudo usermod -aG dialout $USER)"
                            " and log in again";
        else if (e == EBUSY) *why = Busy(device, ProcessHolding(device));
        else *why = device + ": " + strerror(e);
        return nullptr;
    }
    termios t;
    if (!isatty(fd) || tcgetattr(fd, &t) != 0) {
        close(fd);
        *why = device + ": not a serial port (a terminal device such as /dev/ttyUSB0 is needed)";
        return nullptr;
    }
    // Another program that opened the port with flock (ModemManager, minicom) holds it; so do we, from here on.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        *why = Busy(device, ProcessHolding(device));
        return nullptr;
    }
    speed_t speed = B115200;
    for (const Speed& s : kSpeeds)
        if (s.baud == options.baud) speed = s.code;
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (options.rtscts) t.c_cflag |= CRTSCTS;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        *why = device + ": cannot set " + std::to_string(options.baud) + " baud, 8N1: " + strerror(errno);
        close(fd);
        return nullptr;
    }
    tcflush(fd, TCIOFLUSH);  // what came before we were there belongs to no command of ours
    return std::make_unique<PosixPort>(fd, std::move(lock));
}

}  // namespace modem
