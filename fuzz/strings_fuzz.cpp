// The string primitives on arbitrary arguments against the models of their
// rules. Arguments are often temporaries lying at the end of the buffer while
// the primitive's own reservation makes it grow and move.
#include "fuzz/fuzz_check.h"
#include "runtime/strings_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzRuntimeInit();
    FuzzInput in{data, size};
    std::string sa = in.Text(40), sb = in.Text(8);
    Str a = sa.c_str(), b = sb.c_str();
    while (in.More()) {
        FUZZ_CHECK(TempEnd() == 0);  // every statement gave its temporaries back
        bool temporary = in.Byte() & 1;
        // Often the buffer's end is lifted to just below its capacity first.
        size_t room = TempCapacity() - 5, lift = room - std::min<size_t>(room, in.Byte() % 64);
        TempReserve(in.Byte() % 2 && room < (1u << 22) ? lift : 0, 0);
        size_t mark = TempEnd();
        int64_t n = in.Count(), m = in.Count();
        int op = in.Byte() % model::kOps;
        StrArg arg = temporary ? StrArg(StrLeft(a, INT64_MAX)) : StrArg(a);
        const model::Outcome o = model::Run(op, arg, sa, n, m, b, sb);
        if (o.actual != o.expected) fprintf(stderr, "%s: expected %s, got %s\n", o.call.c_str(), o.expected.c_str(), o.actual.c_str());
        FUZZ_CHECK(o.actual == o.expected);
        FUZZ_CHECK(TempEnd() == mark);
        TempSetEnd(0);
        if (op == model::kConcat) a = StrRight(a + b, in.Byte() % 48), sa = model::Std(a);  // vary the text
    }
    return 0;
}
