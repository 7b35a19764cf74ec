// Our own cost in the modem dialogue, against a modem that answers at once:
// per part sent (the builder, AT+CMGS, the prompt, the PDU, +CMGS), and per
// listing of 255 stored messages (AT+CMGL=4 read, each PDU framed, parsed and
// formatted as list prints it). The modem and the network take the rest.
#include <chrono>
#include <cstdio>
#include <string>

#include "cli/sms_commands.h"
#include "modem/session.h"
#include "modem/storage.h"
#include "sms/modem.h"

namespace {

// Answers AT+CMGS with the prompt, a PDU with +CMGS, AT+CMGL=4 with `listing`.
class InstantModem : public modem::ByteStream {
public:
    std::string listing;
    int Read(char* buffer, size_t size, int) override {
        size_t n = pending_.size() - at_ < size ? pending_.size() - at_ : size;
        pending_.copy(buffer, n, at_);
        at_ += n;
        return static_cast<int>(n);
    }
    bool Write(const char* data, size_t size) override {
        std::string s(data, size);
        if (at_ == pending_.size()) pending_.clear(), at_ = 0;
        if (s.compare(0, 8, "AT+CMGS=") == 0) pending_ += "\r\n> ";
        else if (!s.empty() && s.back() == '\x1A') pending_ += "\r\n+CMGS: 17\r\n\r\nOK\r\n";
        else if (s == "AT+CMGL=4\r") pending_ += listing;
        else pending_ += "\r\nOK\r\n";
        return true;
    }
    std::string Failure() const override { return ""; }
    int64_t NowMs() override { return 0; }

private:
    std::string pending_;
    size_t at_ = 0;
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
    InstantModem modem;
    modem::Session session(&modem, nullptr);
    sms::SubmitOptions options;
    options.to = "+491701234567";
    const int kMessages = 2000;
    std::string text(400, 'x');  // three parts
    size_t parts = 0;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMessages; ++i) {
        std::vector<sms::SubmitPdu> pdus;
        std::string error;
        sms::BuildSubmit(text, options, &pdus, &error);
        for (const sms::SubmitPdu& p : pdus) {
            modem::Answer a = session.RunWithPdu("AT+CMGS=" + std::to_string(p.tpduLength), sms::Hex(p.octets),
                                                 10000, 60000);
            parts += a.Ok();
        }
    }
    double perPart = Seconds(start) / static_cast<double>(parts);
    printf("send: %zu parts, %.1f us of our own per part (built, AT+CMGS, prompt, PDU, +CMGS)\n", parts,
           perPart * 1e6);

    const char* pdu = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
    for (int i = 1; i <= 255; ++i)
        modem.listing += "\r\n+CMGL: " + std::to_string(i) + ",1,,30\r\n" + pdu;
    modem.listing += "\r\n\r\nOK\r\n";
    const int kListings = 50;
    size_t bytes = 0;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kListings; ++i) {
        modem::Answer a = session.RunWhileBusy("AT+CMGL=4", 120000);
        for (const modem::StoredPdu& s : modem::ReadListing(a, true)) {
            sms::Bytes octets;
            sms::ParseError e;
            sms::Message m;
            if (sms::ParseHex(s.hex, &octets, &e) && sms::ParseFramedPdu(octets, 30, "+CMGL", &m, &e))
                bytes += FormatMessage(m, false, {{"index", "index", std::to_string(s.index), true}}).size();
        }
    }
    printf("list: 255 stored messages read, parsed and formatted in %.2f ms of our own (%zu bytes out each)\n",
           Seconds(start) / kListings * 1e3, bytes / kListings);
    return 0;
}
