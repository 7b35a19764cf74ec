// A serial port as a byte stream: termios on Linux (any tty, USB modems'
// ttyUSB/ttyACM, pseudo-terminals), the comm API on Windows. 8 data bits,
// no parity, one stop bit.
#pragma once
#include <memory>
#include <string>

#include "modem/byte_stream.h"

namespace modem {

struct PortOptions {
    std::string device;   // "/dev/ttyUSB0"; "COM3" or "\\.\COM10" on Windows
    int baud = 115200;
    bool rtscts = false;  // hardware flow control
};

// The open port, or null with one line for a person in *why that names the
// device and what to do (the holder of a busy port where it can be known).
std::unique_ptr<ByteStream> OpenSerialPort(const PortOptions& options, std::string* why);

// Whether `baud` is a speed the port can be set to.
bool KnownBaud(int baud);

}  // namespace modem
