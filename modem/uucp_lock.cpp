#include "modem/uucp_lock.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace modem {

UucpLock::~UucpLock() {
    if (!path_.empty()) unlink(path_.c_str());
}

bool UucpLock::Take(const std::string& device, long* holder, std::string* file) {
    // The name below /dev, a folder's slash made an underscore: LCK..ttyUSB0, LCK..pts_3.
    std::string name = device.compare(0, 5, "/dev/") == 0 ? device.substr(5) : device.substr(device.rfind('/') + 1);
    for (char& c : name)
        if (c == '/') c = '_';
    for (const char* folder : {"/var/lock", "/run/lock"}) {
        if (access(folder, W_OK) != 0) continue;
        std::string path = std::string(folder) + "/LCK.." + name;
        for (int attempt = 0; attempt < 2; ++attempt) {
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            if (fd >= 0) {
                char text[16];
                int n = snprintf(text, sizeof text, "%10ld\n", static_cast<long>(getpid()));
                bool written = write(fd, text, static_cast<size_t>(n)) == n;
                close(fd);
                if (!written) {
                    unlink(path.c_str());
                    return true;
                }
                path_ = path;
                return true;
            }
            if (errno != EEXIST) break;
            char text[32] = {0};
            int in = open(path.c_str(), O_RDONLY);
            ssize_t got = in >= 0 ? read(in, text, sizeof text - 1) : -1;
            if (in >= 0) close(in);
            long pid = got > 0 ? strtol(text, nullptr, 10) : 0;
            // A lock whose owner is gone is stale (kill with signal 0 only asks whether the process exists).
            if (pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
                *holder = pid;
                *file = path;
                return false;
            }
            unlink(path.c_str());
        }
        return true;
    }
    return true;
}

}  // namespace modem
