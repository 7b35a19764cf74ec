// The decoder on arbitrary bytes against the reference; its text encodes to
// a PDU that decodes to the same text again.
#include <string>

#include "codec/codec.h"
#include "fuzz/fuzz_check.h"
#include "runtime/arrays.h"
#include "runtime/heap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = (ProgramHeapInit(), StringRuntimeInit(), ArrayRuntimeInit(), true);
    (void)ready;
    std::string input(reinterpret_cast<const char*>(data), size);
    Str text = PduToText(StrArg(input.data(), input.size()));
    FUZZ_CHECK(TempEnd() == 0);
    FUZZ_CHECK(std::string(text.Text(), text.Length()) == ref::Decode(input));
    Str back = PduToText(TextToPdu(text));
    FUZZ_CHECK(TempEnd() == 0);
    FUZZ_CHECK(std::string(back.Text(), back.Length()) == std::string(text.Text(), text.Length()));
    return 0;
}
