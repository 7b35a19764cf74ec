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
        bool temporary = in.Byte() & 1;
        // Lift the buffer's end so that the next reservation may move it.
        size_t lift = in.Byte() % 4 == 0 && TempCapacity() < (1u << 20) ? TempCapacity() : 0;
        if (lift) TempReserve(lift, TempEnd());
        size_t mark = TempEnd();
        int64_t n = in.Count(), m = in.Count();
        int op = in.Byte() % model::kOps;
        FUZZ_CHECK(model::PrimitiveIsRight(op, temporary ? StrArg(StrLeft(a, INT64_MAX)) : StrArg(a), sa, n, m, b, sb));
        FUZZ_CHECK(TempEnd() == mark);
        TempSetEnd(mark - lift);
        if (op == model::kConcat) a = StrRight(a + b, in.Byte() % 48), sa = model::Std(a);  // vary the text
    }
    FUZZ_CHECK(TempEnd() == 0);
    return 0;
}
