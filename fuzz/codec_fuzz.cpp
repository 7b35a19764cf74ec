// The converter on arbitrary bytes against the reference; the first byte
// picks the direction. A text's PDU decodes to the text as mapped; a PDU's
// text encodes to a PDU that decodes to the same text again (passed on as a
// temporary). The temporary buffer and both heaps end where they began.
#include "codec/codec.h"
#include "codec/codec_test_support.h"
#include "fuzz/fuzz_check.h"
#include "runtime/strings_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRuntimeInit();
    FuzzInput in{data, size};
    bool encode = in.Byte() & 1;
    HeapUsage strings = HeapUsageOf(StringHeap()), program = HeapUsageOf(ProgramHeap());
    size_t buffer = TempCapacity();  // the buffer may grow; it never shrinks
    {
        std::string input = in.Rest();
        StrArg arg(input.data(), input.size());
        Str out = encode ? TextToPdu(arg) : PduToText(arg);
        FUZZ_CHECK(TempEnd() == 0 && model::Std(out) == (encode ? ref::Encode(input) : ref::Decode(input)));
        Str back = PduToText(encode ? StrArg(out) : StrArg(TextToPdu(out)));
        FUZZ_CHECK(TempEnd() == 0 && model::Std(back) == (encode ? ref::Mapped(input) : model::Std(out)));
    }
    HeapUsage s = HeapUsageOf(StringHeap()), p = HeapUsageOf(ProgramHeap());
    FUZZ_CHECK(s.blocks == strings.blocks && s.bytes - TempCapacity() == strings.bytes - buffer);
    FUZZ_CHECK(p.blocks == program.blocks && p.bytes == program.bytes);
    return 0;
}
