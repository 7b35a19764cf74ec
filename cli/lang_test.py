#!/usr/bin/env python3
"""smspdu submit --lang and parse with national language tables: random texts of each language through submit --lang
and back through parse --join, the tables named in both output forms, usage errors."""
import json
import random
import sys

from cli_test_support import check, finish, run

CODES = "tr es pt bn gu hi kn ml or pa ta te ur".split()
languages = json.load(open(sys.argv[2], encoding="utf-8"))["languages"]

random.seed(18)
for n, code in enumerate(CODES, 1):
    lang = languages[str(n)]
    chars = [chr(c) for table in (lang["locking"] or [], lang["single_shift"]) for c in table if c is not None]
    for option in (code, "auto"):
        text = "".join(random.choice(chars) for _ in range(random.randrange(200, 400)))
        rc, out, _ = run(["submit", "--to", "+4917012345", "--lang", option, "--", text])
        pdus = [line.split()[0] for line in out.splitlines()]
        rc2, joined, _ = run(["parse", "--join", "--json", *pdus])
        message = json.loads(joined or "{}")
        check("%s --lang %s: exit codes" % (lang["name"], option), (rc, rc2), (0, 0))
        check("%s --lang %s: text" % (lang["name"], option), message.get("text"), text)
        check("%s --lang %s: parts" % (lang["name"], option), message.get("parts_present"), list(range(1, len(pdus) + 1)))
        if option == code:  # only that language's tables, and they are needed
            named = {message.get("locking_shift"), message.get("single_shift")} - {None}
            check("%s: tables named" % lang["name"], named, {lang["name"]})

for args in (["--lang", "xx"], ["--lang"]):
    check("usage error %r" % args, run(["submit", "--to", "1", *args, "x"]), (2, b"", True))

finish()
