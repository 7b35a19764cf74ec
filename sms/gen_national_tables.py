#!/usr/bin/env python3
"""Writes sms/national_tables.cpp from sms/gsm7-national-language-tables.json.

Run it again after the data file changes: python3 sms/gen_national_tables.py
The program reads no data file at run time. With a path, it writes there
instead: the sms_tables_written test compares that with the committed file.
"""
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
data = json.load(open(os.path.join(HERE, "gsm7-national-language-tables.json"), encoding="utf-8"))
languages = data["languages"]
ids = sorted(languages, key=int)
assert [int(i) for i in ids] == list(range(len(ids)))


def table(name, codes):
    rows = []
    for start in range(0, 128, 16):  # a row per column of the standard's tables: codes 0xk0 to 0xkF
        rows.append("    " + " ".join("0x%04X," % (c or 0) for c in codes[start:start + 16]))
    return "const char32_t %s[128] = {\n%s\n};\n" % (name, "\n".join(rows))


out = ["// Written by sms/gen_national_tables.py from sms/gsm7-national-language-tables.json",
       "// (%s). Do not edit: change the data file and run the script again." % data["source"].split(",")[0],
       '#include "sms/national_tables.h"', "", "namespace sms {", "namespace {", ""]
records = []
for i in ids:
    lang = languages[i]
    name = lang["name"]
    locking, single = "nullptr", "k%sSingleShift" % name
    if lang["locking"] is not None:
        locking = "k%sLocking" % name
        out.append("// %s, 3GPP TS 23.038 %s" % ("Default alphabet" if i == "0" else name + " locking shift table",
                                                lang["locking_clause"]))
        out.append(table(locking, lang["locking"]))
    out.append("// %s, 3GPP TS 23.038 %s" % ("Default extension table" if i == "0" else name + " single shift table",
                                            lang["single_shift_clause"]))
    out.append(table(single, lang["single_shift"]))
    records.append('    {"%s", %s, %s},' % (name, locking, single))
out += ["}  // namespace", "",
        "const NationalTables kNationalTables[kNationalTableCount] = {", *records, "};", "", "}  // namespace sms", ""]
with open(sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "national_tables.cpp"), "w", encoding="utf-8") as f:
    f.write("\n".join(out))
