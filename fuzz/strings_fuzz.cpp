// The string primitives on arbitrary arguments against plain models of their
// rules. Arguments are often temporaries lying at the end of the buffer while
// the primitive's own reservation makes it grow and move.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "fuzz/fuzz_check.h"
#include "runtime/strings.h"

namespace {

std::string Std(const Str& s) { return std::string(s.Text(), s.Length()); }
size_t Clamp(int64_t n, size_t len) { return n <= 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(n), len); }

int64_t ModelDecToInt(const std::string& s) {
    size_t i = std::min(s.find_first_not_of(" \t"), s.size());
    bool negative = i < s.size() && s[i] == '-';
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    uint64_t base = i < s.size() && s[i] == '$' ? 16 : i < s.size() && s[i] == '%' ? 2 : 10, v = 0;
    for (i += base != 10; i < s.size(); ++i) {
        const char* digits = "0123456789abcdef";
        const char* at = strchr(digits, tolower(static_cast<unsigned char>(s[i])));
        if (!at || static_cast<uint64_t>(at - digits) >= base) break;
        v = v * base + static_cast<uint64_t>(at - digits);
    }
    return static_cast<int64_t>(negative ? 0 - v : v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (StringRuntimeInit(), true);
    (void)ready;
    FuzzInput in{data, size};
    std::string sa = in.Text(40), sb = in.Text(8);
    Str a = sa.c_str(), b = sb.c_str();
    while (in.More()) {
        bool temporary = in.Byte() & 1;
        // Lift the buffer's end so that the next reservation may move it.
        size_t lift = in.Byte() % 4 == 0 && TempCapacity() < (1u << 20) ? TempCapacity() : 0;
        if (lift) TempReserve(lift, TempEnd());
        size_t mark = TempEnd();
        StrArg arg = temporary ? StrArg(StrLeft(a, INT64_MAX)) : StrArg(a);
        int64_t n = in.Count(), m = in.Count();
        size_t skip = n <= 1 ? 0 : Clamp(n - 1, sa.size());
        switch (in.Byte() % 9) {
            case 0: FUZZ_CHECK(Std(StrLeft(arg, n)) == sa.substr(0, Clamp(n, sa.size()))); break;
            case 1: FUZZ_CHECK(Std(StrRight(arg, n)) == sa.substr(sa.size() - Clamp(n, sa.size()))); break;
            case 2: FUZZ_CHECK(Std(StrMid(arg, n, m)) == sa.substr(skip, Clamp(m, sa.size() - skip))); break;
            case 3: {
                int64_t length = n % 5000;  // a pad takes its whole length
                std::string model = sa.substr(0, Clamp(length, sa.size()));
                model.resize(Clamp(length, SIZE_MAX), sb.empty() ? ' ' : sb[0]);
                FUZZ_CHECK(Std(StrPad(arg, length, b)) == model);
                break;
            }
            case 4: FUZZ_CHECK(Std(StrReverse(arg)) == std::string(sa.rbegin(), sa.rend())); break;
            case 5: FUZZ_CHECK(DecToInt(arg) == ModelDecToInt(sa)); break;
            case 6: FUZZ_CHECK(StrAsc(arg) == (sa.empty() ? 0 : static_cast<unsigned char>(sa[0]))); break;
            case 7: {
                TempConsume(arg);
                int64_t v = in.Int64();
                char hex[24];
                snprintf(hex, sizeof hex, "%llX", static_cast<unsigned long long>(v));
                FUZZ_CHECK(Std(IntToDec(v)) == std::to_string(v) && Std(IntToHex(v)) == hex && DecToInt(IntToDec(v)) == v);
                break;
            }
            default: {
                Str r = arg + b;
                FUZZ_CHECK(Std(r) == sa + sb);
                a = StrRight(r, in.Byte() % 48);  // vary the text
                sa = Std(a);
            }
        }
        FUZZ_CHECK(TempEnd() == mark);
        TempSetEnd(mark - lift);
    }
    FUZZ_CHECK(TempEnd() == 0);
    return 0;
}
