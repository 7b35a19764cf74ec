// The converter on arbitrary bytes against the reference; the first byte
// picks the direction. A text's PDU decodes to the text as mapped; a PDU's
// text encodes to a PDU that decodes to the same text again (passed on as a
// temporary). The runtime ends holding what it held.
#include "codec/codec.h"
#include "codec/codec_test_support.h"
#include "fuzz/fuzz_check.h"
#include "runtime/strings_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRuntimeInit();
    FuzzInput in{data, size};
    bool encode = in.Byte() & 1;
    const auto before = model::Holding();
    {
        std::string input = in.Rest();
        StrArg arg(input.data(), input.size());
        Str out = encode ? TextToPdu(arg) : PduToText(arg);
        FUZZ_CHECK(TempEnd() == 0 && model::Std(out) == (encode ? ref::Encode(input) : ref::Decode(input)));
        Str back = PduToText(encode ? StrArg(out) : StrArg(TextToPdu(out)));
        FUZZ_CHECK(TempEnd() == 0 && model::Std(back) == (encode ? ref::Mapped(input) : model::Std(out)));
    }
    FUZZ_CHECK(model::Holding() == before);
    return 0;
}
