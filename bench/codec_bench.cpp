// Speed of the converter in both directions, beside a direct bit-arithmetic
// packer and unpacker written only here, as the measure of what the hardware
// allows. Prints each converter's time as a multiple of that reference and
// the cost growth from 125,000 to 1,000,000 characters.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>

#include "codec/codec.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"

namespace {

const int64_t kSizes[] = {160, 4096, 32767, 125000, 1000000};

std::string Text(int64_t n) {
    static const char kChars[] = "Hallo, ich bins! ABCxyz0123456789\xE4\xF6\xFC@$_\n";
    std::mt19937 rng(static_cast<unsigned>(n));
    std::string text(static_cast<size_t>(n), ' ');
    for (char& c : text) c = kChars[rng() % (sizeof kChars - 1)];
    return text;
}

// The character map as a table, and back.
unsigned char gToGsm[256];
char gFromGsm[128];

void BuildTables() {
    for (int c = 0; c < 256; ++c) {
        char one[2] = {static_cast<char>(c), 0};
        gToGsm[c] = static_cast<unsigned char>(LatinToGsm(one));
    }
    for (int g = 0; g < 128; ++g) {
        Str ch = GsmToLatin(static_cast<int16_t>(g));
        gFromGsm[g] = ch.Text()[0];
    }
}

// Septets straight into octets: the code of character k at bit 7k, then one
// octet 00 for every eight characters.
std::string ReferencePack(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out(text.size() * 2, '0');
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
    return out;
}

std::string ReferenceUnpack(const std::string& hex) {
    std::string out;
    out.reserve(hex.size() / 2);
    uint32_t acc = 0;
    int bits = 0;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        auto nib = [](char h) { return h <= '9' ? h - '0' : h - 'A' + 10; };
        acc |= static_cast<uint32_t>(nib(hex[i]) << 4 | nib(hex[i + 1])) << bits;
        bits += 8;
        while (bits >= 7 && out.size() < hex.size() / 2) {
            out += gFromGsm[acc & 0x7F];
            acc >>= 7;
            bits -= 7;
        }
    }
    return out;
}

void BM_TextToPdu(benchmark::State& state) {
    std::string text = Text(state.range(0));
    for (auto _ : state) {
        Str pdu = TextToPdu(StrArg(text.data(), text.size()));
        benchmark::DoNotOptimize(pdu.Length());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_PduToText(benchmark::State& state) {
    std::string text = Text(state.range(0));
    Str pdu = TextToPdu(StrArg(text.data(), text.size()));
    for (auto _ : state) {
        Str back = PduToText(pdu);
        benchmark::DoNotOptimize(back.Length());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReferencePack(benchmark::State& state) {
    std::string text = Text(state.range(0));
    for (auto _ : state) benchmark::DoNotOptimize(ReferencePack(text));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReferenceUnpack(benchmark::State& state) {
    std::string hex = ReferencePack(Text(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ReferenceUnpack(hex));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int64_t n : kSizes) b->Arg(n);
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_TextToPdu)->Apply(Sizes);
BENCHMARK(BM_PduToText)->Apply(Sizes);
BENCHMARK(BM_ReferencePack)->Apply(Sizes);
BENCHMARK(BM_ReferenceUnpack)->Apply(Sizes);

// Collects the mean time per iteration of every run, in milliseconds.
class Collector : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> ms;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            ms[run.benchmark_name()] = 1000.0 * run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    ProgramHeapInit();
    StringRuntimeInit();
    ArrayRuntimeInit();
    BuildTables();
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);

    printf("\n%-12s %10s %12s %12s %10s\n", "direction", "chars", "converter", "reference", "multiple");
    const char* names[2][2] = {{"BM_TextToPdu", "BM_ReferencePack"}, {"BM_PduToText", "BM_ReferenceUnpack"}};
    for (auto& pair : names) {
        for (int64_t n : kSizes) {
            std::string suffix = "/" + std::to_string(n);
            auto conv = collector.ms.find(pair[0] + suffix), ref = collector.ms.find(pair[1] + suffix);
            if (conv == collector.ms.end() || ref == collector.ms.end()) continue;
            printf("%-12s %10lld %9.3f ms %9.4f ms %9.0fx\n", pair[0] + 3, static_cast<long long>(n),
                   conv->second, ref->second, ref->second > 0 ? conv->second / ref->second : 0.0);
        }
        auto big = collector.ms.find(std::string(pair[0]) + "/1000000");
        auto small = collector.ms.find(std::string(pair[0]) + "/125000");
        if (big != collector.ms.end() && small != collector.ms.end())
            printf("%-12s cost of 1,000,000 chars / cost of 125,000 chars: %.2f (8 is linear)\n", pair[0] + 3,
                   big->second / small->second);
    }
    return 0;
}
