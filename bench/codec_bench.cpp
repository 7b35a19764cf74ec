// Speed of the converter in both directions beside its peers, measured side
// by side in one run: libGammu (the C library people would otherwise use;
// only where the build found it) and a direct bit-arithmetic packer written
// only here, the measure of what the hardware allows.
//
// Every peer converts the same text (printable ASCII characters that the
// character map carries) and is checked for a correct round trip before it
// is timed. Each figure is the best of several calls, the calls of all peers
// taking turns so that a busy machine slows them alike; a call is timed by
// the processor time of this thread, so time spent waiting for a processor
// on a shared machine does not count (on an idle machine the two agree). The table gives each
// converter direction as a multiple of libGammu's time and of the packer's,
// then the cost growth from 125,000 to 1,000,000 characters, then the cost of
// building a long string by appending and prepending in turn.
//
//   codec_bench [--min-time=SECONDS] [--sizes=N,N,...] [--only=encode|decode]
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "codec/codec.h"
#include "runtime/runtime.h"

#ifdef SMS_HAVE_GAMMU
#include "bench/gammu_peer.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds of processor time this thread has used.
double ThreadMs() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The printable ASCII characters both directions of the map carry: space to
// '#', '%' to '?', 'A' to 'Z', 'a' to 'z' (83 of them).
std::string Alphabet() {
    std::string a;
    for (int c = 32; c <= 122; ++c)
        if (c != 36 && c != 64 && !(c >= 91 && c <= 96)) a += static_cast<char>(c);
    return a;
}

std::string Text(size_t n) {
    static const std::string kChars = Alphabet();
    std::mt19937 rng(static_cast<unsigned>(n));
    std::string text(n, ' ');
    for (char& c : text) c = kChars[rng() % kChars.size()];
    return text;
}

std::string Std(const Str& s) { return std::string(s.Text(), s.Length()); }

// --- The direct packer --------------------------------------------------------

unsigned char gToGsm[256];
char gFromGsm[128];

void BuildTables() {
    for (int c = 0; c < 256; ++c) {
        char one[2] = {static_cast<char>(c), 0};
        gToGsm[c] = static_cast<unsigned char>(LatinToGsm(one));
    }
    for (int g = 0; g < 128; ++g) gFromGsm[g] = Std(GsmToLatin(static_cast<int16_t>(g)))[0];
}

// Septets straight into octets, then one octet 00 for every eight characters.
void ReferencePack(const std::string& text, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    out.assign(text.size() * 2, '0');
    uint32_t acc = 0;
    int bits = 0;
    size_t o = 0;
    for (char c : text) {
        acc |= static_cast<uint32_t>(gToGsm[static_cast<unsigned char>(c)]) << bits;
        bits += 7;
        if (bits >= 8) {
            out[o++] = kHex[acc >> 4 & 15];
            out[o++] = kHex[acc & 15];
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits) {
        out[o++] = kHex[acc >> 4 & 15];
        out[o++] = kHex[acc & 15];
    }
}

void ReferenceUnpack(const std::string& hex, std::string& out) {
    size_t m = hex.size() / 2;
    out.clear();
    uint32_t acc = 0;
    int bits = 0;
    auto nib = [](char h) { return h <= '9' ? h - '0' : h - 'A' + 10; };
    for (size_t i = 0; i + 1 < hex.size() && out.size() < m; i += 2) {
        acc |= static_cast<uint32_t>(nib(hex[i]) << 4 | nib(hex[i + 1])) << bits;
        bits += 8;
        while (bits >= 7 && out.size() < m) {
            out += gFromGsm[acc & 0x7F];
            acc >>= 7;
            bits -= 7;
        }
    }
}

// --- Timing -------------------------------------------------------------------

struct Timed {
    const char* name;
    std::function<void()> call;
    double best = 1e300;  // milliseconds
};

// Calls every entry in turn until each has run at least `minCalls` times and
// `minSeconds` have passed; keeps each one's best call.
void TimeInTurn(std::vector<Timed>& entries, int minCalls, double minSeconds) {
    Clock::time_point start = Clock::now();
    for (int round = 0;; ++round) {
        for (Timed& e : entries) {
            double t0 = ThreadMs();
            e.call();
            double ms = ThreadMs() - t0;
            if (ms < e.best) e.best = ms;
        }
        double spent = std::chrono::duration<double>(Clock::now() - start).count();
        if (round + 1 >= minCalls && spent >= minSeconds) break;
        if (round + 1 >= 100000) break;
    }
}

[[noreturn]] void Fail(const std::string& what) {
    fprintf(stderr, "codec_bench: %s\n", what.c_str());
    exit(1);
}

struct Row {
    size_t n;
    double conv[2], gammu[2], ref[2];  // [0] encode, [1] decode
};

// Interleaved Append and Prepend: the cost of `count` alternations.
double AlternationMs(size_t count) {
    double best = 1e300;
    for (int r = 0; r < 3; ++r) {
        double t0 = ThreadMs();
        {
            Str s;
            for (size_t i = 0; i < count; ++i) {
                s.Append("ab");
                s.Prepend("c");
            }
            if (StrLen(s) != static_cast<int64_t>(3 * count)) Fail("alternation lost characters");
        }
        best = std::min(best, ThreadMs() - t0);
        if (best > 1000) break;  // slow enough to read without repeating
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    double minSeconds = 1.0;
    std::vector<size_t> sizes = {160, 32767, 125000, 1000000};
    bool doEncode = true, doDecode = true;
    for (int i = 1; i < argc; ++i) {
        if (!strncmp(argv[i], "--min-time=", 11)) {
            minSeconds = atof(argv[i] + 11);
        } else if (!strncmp(argv[i], "--sizes=", 8)) {
            sizes.clear();
            for (char* p = argv[i] + 8; *p;) {
                sizes.push_back(strtoull(p, &p, 10));
                if (*p == ',') ++p;
                else if (*p) Fail("bad --sizes");
            }
        } else if (!strcmp(argv[i], "--only=encode")) {
            doDecode = false;
        } else if (!strcmp(argv[i], "--only=decode")) {
            doEncode = false;
        } else {
            Fail(std::string("unknown argument ") + argv[i] +
                 "\nusage: codec_bench [--min-time=SECONDS] [--sizes=N,N,...] [--only=encode|decode]");
        }
    }
    RuntimeInit();
    BuildTables();

#ifdef SMS_HAVE_GAMMU
    {
        Gammu g(2);
        size_t digits = g.Encode("Hi");
        if (std::string(g.hex.data(), digits) != "C834" || g.Decode("C834", 4, 2) != "Hi")
            Fail("libGammu does not round-trip Hi <-> C834");
    }
#endif

    std::vector<Row> rows;
    for (size_t n : sizes) {
        const std::string text = Text(n);
        StrArg textArg(text.data(), text.size());
        const std::string pdu = Std(TextToPdu(textArg));
        std::string refHex, refText;
        ReferencePack(text, refHex);
        ReferenceUnpack(refHex, refText);
        if (pdu != refHex) Fail("converter and packer disagree at " + std::to_string(n));
        if (Std(PduToText(StrArg(pdu.data(), pdu.size()))) != text || refText != text)
            Fail("round trip changed the text at " + std::to_string(n));
        StrArg pduArg(pdu.data(), pdu.size());
        size_t sink = 0;

        std::vector<Timed> entries;
        if (doEncode) {
            entries.push_back({"converter encode", [&] { Str r = TextToPdu(textArg); sink += r.Length(); }});
            entries.push_back({"packer encode", [&] { ReferencePack(text, refHex); sink += refHex.size(); }});
        }
        if (doDecode) {
            entries.push_back({"converter decode", [&] { Str r = PduToText(pduArg); sink += r.Length(); }});
            entries.push_back({"packer decode", [&] { ReferenceUnpack(pdu, refText); sink += refText.size(); }});
        }
#ifdef SMS_HAVE_GAMMU
        Gammu g(n);
        size_t packedDigits = g.Encode(text);
        // The packed septets are the converter's PDU without its padding octets.
        if (std::string(g.hex.data(), packedDigits) != pdu.substr(0, packedDigits))
            Fail("libGammu and the converter pack differently at " + std::to_string(n));
        const std::string gammuHex(g.hex.data(), packedDigits);
        if (g.Decode(gammuHex.data(), packedDigits, n) != text) Fail("libGammu round trip failed");
        if (doEncode) entries.push_back({"libGammu encode", [&] { sink += g.Encode(text); }});
        if (doDecode)
            entries.push_back({"libGammu decode", [&] { sink += g.Decode(gammuHex.data(), packedDigits, n).size(); }});
#endif
        TimeInTurn(entries, 5, minSeconds);
        Row row{n, {0, 0}, {0, 0}, {0, 0}};
        for (const Timed& e : entries) {
            int dir = strstr(e.name, "decode") ? 1 : 0;
            if (!strncmp(e.name, "converter", 9)) row.conv[dir] = e.best;
            else if (!strncmp(e.name, "packer", 6)) row.ref[dir] = e.best;
            else row.gammu[dir] = e.best;
        }
        rows.push_back(row);
        if (sink == 42) puts("");  // keeps the results alive
    }

    printf("%-10s %9s %12s %12s %12s %9s %9s\n", "direction", "chars", "converter", "libGammu", "packer",
           "/libGammu", "/packer");
    const char* names[2] = {"TextToPdu", "PduToText"};
    for (int dir = 0; dir < 2; ++dir) {
        if ((dir == 0 && !doEncode) || (dir == 1 && !doDecode)) continue;
        for (const Row& r : rows) {
            char gammu[32] = "-", ratio[32] = "-";
            if (r.gammu[dir] > 0) {
                snprintf(gammu, sizeof gammu, "%9.3f ms", r.gammu[dir]);
                snprintf(ratio, sizeof ratio, "%.2fx", r.conv[dir] / r.gammu[dir]);
            }
            printf("%-10s %9zu %9.3f ms %12s %9.3f ms %9s %8.1fx\n", names[dir], r.n, r.conv[dir], gammu, r.ref[dir],
                   ratio, r.conv[dir] / r.ref[dir]);
        }
        const Row *small = nullptr, *big = nullptr;
        for (const Row& r : rows) {
            if (r.n == 125000) small = &r;
            if (r.n == 1000000) big = &r;
        }
        if (small && big)
            printf("%-10s cost of 1,000,000 chars / cost of 125,000 chars: %.2f (8 is linear)\n", names[dir],
                   big->conv[dir] / small->conv[dir]);
    }
    double a1 = AlternationMs(20000), a8 = AlternationMs(160000);
    printf("Append and Prepend in turn on one string: 20,000 pairs %.2f ms, 160,000 pairs %.2f ms "
           "(%.1f times; 8 is linear)\n", a1, a8, a8 / a1);
    return 0;
}
