// The serial port on Windows: the comm API on a COM device.
#include <windows.h>

#include "modem/serial_port.h"

namespace modem {
namespace {

const ULONGLONG kPollMs = 5;  // how often a waiting read looks again
const int kBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600, 3000000, 4000000};

// "COM3" and "com12" to "\\.\COM3" and "\\.\COM12": COM10 and up open only by
// the device path, and the device path serves every number.
std::string DevicePath(const std::string& name) {
    if (name.size() > 3 && (name[0] == 'C' || name[0] == 'c') && (name[1] == 'O' || name[1] == 'o') &&
        (name[2] == 'M' || name[2] == 'm') && name.find_first_not_of("0123456789", 3) == std::string::npos)
        return "\\\\.\\COM" + name.substr(3);
    return name;
}

std::string SystemMessage(DWORD code) {
    char text[256] = {0};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.')) s.pop_back();
    return s.empty() ? "system error " + std::to_string(code) : s;
}

class WindowsPort : public ByteStream {
public:
    explicit WindowsPort(HANDLE h) : h_(h) {}
    ~WindowsPort() override { CloseHandle(h_); }

    int Read(char* buffer, size_t size, int waitMs) override {
        // Reads return at once with what is there (the timeouts set at open); between them a short sleep. The
        // comm API's "return at the first byte" setting (MAXDWORD interval and multiplier) is not honoured by
        // Wine, which waits out the whole limit.
        ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(waitMs > 0 ? waitMs : 0);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(h_, buffer, static_cast<DWORD>(size), &got, nullptr)) return Fail();
            if (got > 0) return static_cast<int>(got);
            ULONGLONG now = GetTickCount64();
            if (now >= until) return 0;
            Sleep(static_cast<DWORD>(until - now < kPollMs ? until - now : kPollMs));
        }
    }

    bool Write(const char* data, size_t size) override {
        while (size > 0) {
            DWORD put = 0;
            if (!WriteFile(h_, data, static_cast<DWORD>(size), &put, nullptr) || put == 0) return Fail() >= 0;
            data += put;
            size -= put;
        }
        return true;
    }

    std::string Failure() const override { return failure_; }
    int64_t NowMs() override { return static_cast<int64_t>(GetTickCount64()); }

private:
    int Fail() {
        failure_ = SystemMessage(GetLastError());
        return -1;
    }
    HANDLE h_;
    std::string failure_;
};

}  // namespace

bool KnownBaud(int baud) {
    for (int b : kBauds)
        if (b == baud) return true;
    return false;
}

std::unique_ptr<ByteStream> OpenSerialPort(const PortOptions& options, std::string* why) {
    const std::string& device = options.device;
    // No sharing: the comm API gives a port to one program at a time, which is the lock.
    HANDLE h = CreateFileA(DevicePath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND)
            *why = device + ": no such port: is the modem plugged in? (Device Manager, Ports (COM & LPT))";
        else if (e == ERROR_ACCESS_DENIED || e == ERROR_SHARING_VIOLATION)
            *why = device + ": the port is in use by another program: close it (a terminal, the modem's own "
                            "connection manager) and try again";
        else
            *why = device + ": " + SystemMessage(e);
        return nullptr;
    }
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        *why = device + ": not a serial port (" + SystemMessage(GetLastError()) + ")";
        CloseHandle(h);
        return nullptr;
    }
    dcb.BaudRate = static_cast<DWORD>(options.baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    dcb.fOutxCtsFlow = options.rtscts ? TRUE : FALSE;
    dcb.fRtsControl = options.rtscts ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(h, &dcb)) {
        *why = device + ": cannot set " + std::to_string(options.baud) + " baud, 8N1: " +
               SystemMessage(GetLastError());
        CloseHandle(h);
        return nullptr;
    }
    // MAXDWORD interval, no totals: a read returns at once with what has come.
    COMMTIMEOUTS t = {};
    t.ReadIntervalTimeout = MAXDWORD;
    t.WriteTotalTimeoutConstant = 10000;
    if (!SetCommTimeouts(h, &t)) {
        *why = device + ": cannot set the port's time limits: " + SystemMessage(GetLastError());
        CloseHandle(h);
        return nullptr;
    }
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
    return std::make_unique<WindowsPort>(h);
}

}  // namespace modem
