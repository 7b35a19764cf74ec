// The encoder on arbitrary bytes against the reference, and its PDU decoded
// back; the temporary buffer and both heaps end where they began.
#include <string>

#include "codec/codec.h"
#include "fuzz/fuzz_check.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(), true);
    (void)ready;
    HeapUsage strings = HeapUsageOf(StringHeap()), program = HeapUsageOf(ProgramHeap());
    size_t buffer = TempCapacity();  // the buffer may grow; it never shrinks
    {
        std::string text(reinterpret_cast<const char*>(data), size);
        Str pdu = TextToPdu(StrArg(text.data(), text.size()));
        FUZZ_CHECK(TempEnd() == 0);
        FUZZ_CHECK(std::string(pdu.Text(), pdu.Length()) == ref::Encode(text));
        Str back = PduToText(pdu);
        FUZZ_CHECK(TempEnd() == 0);
        FUZZ_CHECK(std::string(back.Text(), back.Length()) == ref::Mapped(text));
    }
    HeapUsage s = HeapUsageOf(StringHeap()), p = HeapUsageOf(ProgramHeap());
    FUZZ_CHECK(s.blocks == strings.blocks && s.bytes - TempCapacity() == strings.bytes - buffer);
    FUZZ_CHECK(p.blocks == program.blocks && p.bytes == program.bytes);
    return 0;
}
