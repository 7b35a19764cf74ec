// The modem's output is the input: the line reader and the dialogue take any bytes in any chunks, never read past
// them, never wait past their limits (time is virtual), and what they hand on is whole: lines without line ends or
// NULs and no longer than the reader's limit, one final result per answer. The answer readers (listings, value
// lists, final results) take every line that came.
#include "fuzz/fuzz_check.h"
#include "modem/final_result.h"
#include "modem/indications.h"
#include "modem/line_reader.h"
#include "modem/session.h"
#include "modem/storage.h"
#include "modem/value_list.h"

namespace {

// The modem answers with the fuzz input, in chunks whose sizes the input gives; a 0xFF chunk size unplugs it.
class FuzzStream : public modem::ByteStream {
public:
    explicit FuzzStream(FuzzInput* in) : in_(in) {}
    int Read(char* buffer, size_t size, int waitMs) override {
        if (!in_->More()) {
            now_ += waitMs;
            return 0;
        }
        int chunk = in_->Byte();
        if (chunk == 0xFF) return -1;
        size_t n = 0;
        while (n < static_cast<size_t>(chunk) && n < size && in_->More()) buffer[n++] = static_cast<char>(in_->Byte());
        return static_cast<int>(n);
    }
    bool Write(const char*, size_t) override { return true; }
    std::string Failure() const override { return "unplugged"; }
    int64_t NowMs() override { return now_; }

private:
    FuzzInput* in_;
    int64_t now_ = 0;
};

bool Whole(const std::string& line) {
    return line.size() <= modem::LineReader::kLongestLine && line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

void CheckAnswer(const modem::Answer& a) {
    for (const std::string& line : a.lines) FUZZ_CHECK(Whole(line) && !line.empty());
    FUZZ_CHECK(a.result.kind != modem::FinalResult::None);
    modem::ReadListing(a, true);
    modem::ReadListing(a, false, 1);
    modem::IndicationSetting s;
    modem::ChooseIndications(a, &s);
    modem::OffersDeleteFlag(a, modem::kDeleteAll);
    for (const std::string& line : a.lines) {
        modem::ReadValueLists(line);
        modem::FinalResult r = modem::ReadFinalResult(line);
        FUZZ_CHECK(!r.Failed() || !r.Describe().empty());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in{data, size};
    FuzzStream stream(&in);
    modem::Session session(&stream, nullptr);
    session.busyTries = 3;
    modem::StartOptions options;
    options.pin = "1234";
    std::string why;
    if (!session.Start(options, &why)) FUZZ_CHECK(!why.empty());
    CheckAnswer(session.RunWhileBusy("AT+CMGL=4", 5000));
    CheckAnswer(session.RunWithPdu("AT+CMGS=5", "0011223344", 1000, 5000));
    modem::Unsolicited u;
    while (session.NextUnsolicited(100, &u)) FUZZ_CHECK(Whole(u.line) && Whole(u.pdu));
    return 0;
}
