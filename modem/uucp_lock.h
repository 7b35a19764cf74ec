// The UUCP lock file of a serial device (Filesystem Hierarchy Standard 3.0,
// /var/lock): LCK..ttyUSB0 holding the owner's process id as ten ASCII
// digits and a line feed, so that two programs never talk to one modem at once.
#pragma once
#include <string>

namespace modem {

class UucpLock {
public:
    UucpLock() = default;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;
    ~UucpLock();  // removes the file it made

    // Takes the lock of `device` in the first lock folder that exists and is
    // writable (/var/lock, /run/lock). True when taken, or when no such folder
    // can be written (locking is then left to the port's own exclusive mode);
    // false with *holder the process id that holds it and *file the lock
    // file (a lock whose process is gone is removed and taken).
    bool Take(const std::string& device, long* holder, std::string* file);

private:
    std::string path_;
};

}  // namespace modem
