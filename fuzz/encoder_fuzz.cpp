// The encoder on arbitrary bytes: two upper-case hex digits per character,
// and decoding gives the text back with every character outside the map
// turned into '@'. The temporary buffer and both heaps end where they began.
#include <cstring>
#include <string>

#include "codec/codec.h"
#include "fuzz/fuzz_check.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(), true);
    (void)ready;
    // The temporary buffer may grow (it never shrinks); everything else must
    // come back.
    HeapUsage strings = HeapUsageOf(StringHeap());
    size_t buffer = TempCapacity();
    HeapUsage program = HeapUsageOf(ProgramHeap());
    {
        std::string text(reinterpret_cast<const char*>(data), size);
        Str pdu = TextToPdu(StrArg(text.data(), text.size()));
        FUZZ_CHECK(TempEnd() == 0);
        FUZZ_CHECK(pdu.Length() == 2 * size);
        for (size_t i = 0; i < pdu.Length(); ++i) {
            char c = pdu.Text()[i];
            FUZZ_CHECK((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        }
        Str back = PduToText(pdu);
        FUZZ_CHECK(TempEnd() == 0);
        FUZZ_CHECK(back.Length() == size);
        for (size_t i = 0; i < size; ++i) {
            unsigned char c = data[i];
            bool mapped = ModelToGsm(c) != 0 || c == '@';
            FUZZ_CHECK(back.Text()[i] == (mapped ? static_cast<char>(c) : '@'));
        }
    }
    FUZZ_CHECK(HeapUsageOf(StringHeap()).blocks == strings.blocks);
    FUZZ_CHECK(HeapUsageOf(StringHeap()).bytes - TempCapacity() == strings.bytes - buffer);
    FUZZ_CHECK(HeapUsageOf(ProgramHeap()).blocks == program.blocks);
    FUZZ_CHECK(HeapUsageOf(ProgramHeap()).bytes == program.bytes);
    return 0;
}
