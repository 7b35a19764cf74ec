// The string primitives on arbitrary arguments, each result checked against a
// plain model of its clamping rules; arguments are often temporaries that sit
// in the buffer while a large reservation makes it grow and move. DecToInt is
// checked against a small independent model of its rules.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_check.h"
#include "runtime/heap.h"
#include "runtime/strings.h"

namespace {

std::string Std(const Str& s) { return std::string(s.Text(), s.Length()); }

size_t Clamp(int64_t n, size_t len) { return n <= 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(n), len); }

int64_t ModelDecToInt(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && s[i] == '-') { negative = true; ++i; }
    else if (i < s.size() && s[i] == '+') ++i;
    int base = 10;
    if (i < s.size() && s[i] == '$') { base = 16; ++i; }
    else if (i < s.size() && s[i] == '%') { base = 2; ++i; }
    const std::string digits = base == 16 ? "0123456789abcdef" : base == 2 ? "01" : "0123456789";
    uint64_t v = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (base == 16 && c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        size_t d = digits.find(c);
        if (d == std::string::npos || c == '\0') break;
        v = v * static_cast<uint64_t>(base) + d;
    }
    return static_cast<int64_t>(negative ? ~v + 1 : v);
}

// An argument as a temporary: the text sits in the buffer, and a large pad
// after it is discarded again, so that the primitive that reads it must
// reserve past the old capacity.
Tmp AsTemporary(const Str& text) { return StrLeft(text, static_cast<int64_t>(text.Length())); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (StringRuntimeInit(), true);
    (void)ready;
    FuzzInput in{data, size};
    Str a = StrArg(in.Text(40).c_str());
    Str b = StrArg(in.Text(8).c_str());
    std::string sa = Std(a), sb = Std(b);
    while (in.More()) {
        bool temporary = in.Byte() & 1;
        // Push the buffer's end up so that the next reservation may move it.
        size_t lift = in.Byte() % 4 == 0 && TempCapacity() < (1u << 20) ? TempCapacity() : 0;
        if (lift) TempReserve(lift, TempEnd());
        size_t mark = TempEnd();
        StrArg arg = temporary ? StrArg(AsTemporary(a)) : StrArg(a);
        int64_t n = in.Count(), m = in.Count();
        switch (in.Byte() % 9) {
            case 0: {
                Str r = StrLeft(arg, n);
                FUZZ_CHECK(Std(r) == sa.substr(0, Clamp(n, sa.size())));
                break;
            }
            case 1: {
                Str r = StrRight(arg, n);
                size_t k = Clamp(n, sa.size());
                FUZZ_CHECK(Std(r) == sa.substr(sa.size() - k));
                break;
            }
            case 2: {
                Str r = StrMid(arg, n, m);
                size_t skip = n <= 1 ? 0 : Clamp(n - 1, sa.size());
                FUZZ_CHECK(Std(r) == sa.substr(skip, Clamp(m, sa.size() - skip)));
                break;
            }
            case 3: {
                int64_t length = n % 5000;  // bounded: a pad allocates its whole length
                Str r = StrPad(arg, length, b);
                size_t want = length <= 0 ? 0 : static_cast<size_t>(length);
                std::string model = sa.substr(0, std::min(want, sa.size()));
                model.resize(want, sb.empty() ? ' ' : sb[0]);
                FUZZ_CHECK(Std(r) == model);
                break;
            }
            case 4: {
                Str r = StrReverse(arg);
                FUZZ_CHECK(Std(r) == std::string(sa.rbegin(), sa.rend()));
                break;
            }
            case 5:
                FUZZ_CHECK(DecToInt(arg) == ModelDecToInt(sa));
                break;
            case 6: {
                FUZZ_CHECK(StrAsc(arg) == (sa.empty() ? 0 : static_cast<unsigned char>(sa[0])));
                break;
            }
            case 7: {
                TempConsume(arg);
                int64_t v = in.Int64();
                Str dec = IntToDec(v), hex = IntToHex(v);
                FUZZ_CHECK(Std(dec) == std::to_string(v));
                char buf[24];
                snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
                FUZZ_CHECK(Std(hex) == buf);
                FUZZ_CHECK(DecToInt(dec) == v);
                FUZZ_CHECK(DecToInt(Str("$") + hex) == v);
                break;
            }
            default: {
                Str r = arg + b;
                FUZZ_CHECK(Std(r) == sa + sb);
                a = StrRight(r, static_cast<int64_t>(in.Byte() % 48));  // vary the text
                sa = Std(a);
                break;
            }
        }
        FUZZ_CHECK(TempEnd() == mark);
        TempSetEnd(mark - lift);
    }
    FUZZ_CHECK(TempEnd() == 0);
    return 0;
}
