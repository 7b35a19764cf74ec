#!/usr/bin/env python3
"""smspdu count against smspdu submit and against sms-segments-calculator (npm): random texts of every kind (the
default alphabet and its extension, national language tables, UCS-2 with characters past U+FFFF, 8-bit data), at
lengths around the part boundaries. count names the parts submit prints, and the room it leaves in the last part is
what that part's TP-UDL leaves; the calculator agrees on coding, parts and the characters that force UCS-2 for texts
of the default alphabet and of UCS-2."""
import json
import random
import subprocess
import sys

from cli_test_support import check, finish, run

NODE_MODULES = sys.argv[2]
DEFAULT = "@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcxyzäöñüà"
EXTENSION = "^{}\\[~]|€\f"
TURKISH = "ğĞıİşŞçÇ"
WIDE = "ЖзФ中文ア😀🙂𝄞"
LENGTHS = [1, 69, 70, 71, 134, 135, 152, 153, 154, 159, 160, 161, 200, 306, 307, 459, 460]
UDL_AT = 8  # SMSC length 00, first octet, reference, destination 01 81 F1, protocol, coding, then TP-UDL

random.seed(30)


def text_of(kind, n):
    if kind == "default":
        return "".join(random.choice(DEFAULT) for _ in range(n))
    if kind == "extension":
        return "".join(random.choice(DEFAULT + EXTENSION * 3) for _ in range(n))
    if kind == "turkish":
        return "".join(random.choice(DEFAULT[:60] + TURKISH * 4) for _ in range(n))
    return "".join(random.choice(DEFAULT + WIDE * 2) for _ in range(n))


cases = []  # (what, options, text)
for kind in ("default", "extension", "turkish", "wide"):
    for n in LENGTHS:
        langs = [[]] + ([["--lang", "tr"], ["--lang", "auto"]] if kind == "turkish" else [])
        for lang in langs:
            cases.append(("%s %d %s" % (kind, n, " ".join(lang)), lang, text_of(kind, n)))
for n in (1, 133, 134, 135, 140, 141, 268, 269):
    data = bytes(random.randrange(256) for _ in range(n)).hex()
    cases.append(("8-bit %d" % n, ["--data", data], None))
cases.append(("ucs2 asked", ["--ucs2"], text_of("default", 71)))

counted = {}
for what, options, text in cases:
    words = [] if text is None else ["--", text]
    rc, out, _ = run(["count", "--json", *options, *words])
    rc2, built, _ = run(["submit", "--to", "1", *options, *words])
    pdus = [line.split()[0] for line in built.decode().splitlines()]
    mine = json.loads(out or "{}")
    counted[what] = mine
    check(what + ": exit codes", (rc, rc2), (0, 0))
    check(what + ": parts", mine.get("parts"), len(pdus))
    if not pdus:
        continue
    udl = int(pdus[-1][2 * UDL_AT:2 * UDL_AT + 2], 16)
    coding = mine.get("coding")
    room = 160 - udl if coding == "7-bit" else (140 - udl) // 2 if coding == "UCS-2" else 140 - udl
    check(what + ": room left in the last part", mine.get("room_left"), room)

# The calculator counts the default alphabet and UCS-2 (it knows no national tables and no 8-bit data).
peer_cases = [(what, text) for what, options, text in cases if not options and text is not None]
peer = subprocess.run(["node", sys.argv[3], NODE_MODULES], input=json.dumps([t for _, t in peer_cases]).encode(),
                      capture_output=True, timeout=60)
check("the calculator runs", (peer.returncode, peer.stderr.decode()[:200]), (0, ""))
theirs = json.loads(peer.stdout or "[]")
for (what, text), (encoding, segments, non_gsm) in zip(peer_cases, theirs):
    mine = counted[what]
    check(what + ": coding as the calculator's", mine.get("coding"), {"GSM-7": "7-bit", "UCS-2": "UCS-2"}[encoding])
    check(what + ": parts as the calculator's segments", mine.get("parts"), segments)
    forced = sorted({c["char"] for c in mine.get("forced_by", [])})
    check(what + ": characters that force UCS-2, as the calculator's", forced, sorted(set(non_gsm)))

finish()
