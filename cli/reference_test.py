#!/usr/bin/env python3
"""Checks the smspdu command line against an independent reference.

The reference packs septets with integer arithmetic, straight from the
format's definition, and uses Python's own code-page codec: it shares no code
with the converter.
"""
import concurrent.futures
import random
import subprocess
import sys

EXE = sys.argv[1]

# Latin byte -> GSM code, as the character map defines it.
TO_GSM = {10: 10, 13: 13, 36: 2, 64: 0, 95: 64, 168: 96, 196: 91, 214: 92,
          220: 94, 223: 30, 228: 123, 246: 124, 252: 126}
for b in list(range(32, 36)) + list(range(37, 64)) + list(range(65, 91)) + list(range(97, 123)):
    TO_GSM[b] = b
FROM_GSM = {v: k for k, v in TO_GSM.items()}


def to_cp1252(text):
    out = bytearray()
    for ch in text:
        try:
            b = ch.encode("cp1252")
        except UnicodeEncodeError:
            b = b"\x7f"
        out += b if b != b"\x00" else b"\x7f"
    return bytes(out)


def ref_encode(text):
    data = to_cp1252(text)
    x = 0
    for k, b in enumerate(data):
        x |= TO_GSM.get(b, 0) << (7 * k)
    return "".join("%02X" % ((x >> (8 * j)) & 0xFF) for j in range(len(data)))


def ref_decode(hexstr):
    digits = [c for c in hexstr if c not in " \t\r\n"]
    m = len(digits) // 2
    x = 0
    for j in range(m):
        hi, lo = (int(c, 16) if c in "0123456789ABCDEFabcdef" else 0 for c in digits[2 * j:2 * j + 2])
        x |= (hi * 16 + lo) << (8 * j)
    return bytes(FROM_GSM.get((x >> (7 * k)) & 0x7F, 32) for k in range(m)).decode("cp1252")


def run(args, stdin=None):
    p = subprocess.run([EXE] + args, input=stdin, capture_output=True, timeout=30)
    return p.returncode, p.stdout, p.stderr


failures = 0
checks = 0


def check(what, got, want):
    global failures, checks
    checks += 1
    if got != want:
        failures += 1
        if failures <= 20:
            print("MISMATCH %s: got %r want %r" % (what, got, want))


def encode(text):
    rc, out, err = run(["encode", "--", text])
    check("exit of encode %r" % text, rc, 0)
    return out.decode()


def decode(hexstr):
    rc, out, err = run(["decode", "--", hexstr])
    check("exit of decode %r" % hexstr, rc, 0)
    return out.decode("utf-8")


worked = {"": "", "H": "48", "Hi": "C834", "Test": "D4F29C0E", "abcdefg": "61F1985C369F01",
          "abcdefgh": "61F1985C369FD100", "abcdefghi": "61F1985C369FD16900",
          "Hallo, ich bins!": "C8309BFD6681D26334489C76CF430000", "a_b": "61A018",
          "äöüÄÖÜß$@": "7BBE7FCBF57A040000", "A\r\nB": "C1864208", "é€": "0000"}
for text, pdu in worked.items():
    check("worked example %r" % text, encode(text), pdu + "\n")
    check("reference %r" % text, ref_encode(text), pdu)

for hexstr, text in {"C834": "Hi", "c834": "Hi", "C8 34": "Hi", "C8349": "Hi", "FF": " ",
                     "80": "@", "0000": "@@", "7BBE7FCBF57A040000": "äöüÄÖÜß$@"}.items():
    check("decode %r" % hexstr, decode(hexstr), text + "\n")
    check("reference decode %r" % hexstr, ref_decode(hexstr), text)

rng = random.Random(1206)
alphabet = ("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 !\"#$%&'()*+,-./:;<=>?@_\n\r"
            "äöüÄÖÜߨ€éèçñ[]{}\\^~|`\t中😀")
junk = "0123456789ABCDEFabcdef  \t\r\n GXZ-:;,.g!@"
texts = ["".join(rng.choice(alphabet) for _ in range(rng.randrange(0, 60))) for _ in range(1000)]
junks = ["".join(rng.choice(junk) for _ in range(rng.randrange(0, 60))) for _ in range(1000)]
# Processes are started in parallel: the start-up dominates each check.
with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
    pdus = list(pool.map(encode, texts))
    for text, pdu in zip(texts, pdus):
        check("encode %r" % text, pdu, ref_encode(text) + "\n")
    backs = list(pool.map(lambda p: decode(p.strip()), pdus))
    for text, back in zip(texts, backs):
        check("round trip %r" % text, back, ref_decode(ref_encode(text)) + "\n")
    for hexstr, got in zip(junks, pool.map(decode, junks)):
        check("decode junk %r" % hexstr, got, ref_decode(hexstr) + "\n")

# Raw bytes through standard input, all 255 non-zero values and code 0.
for _ in range(100):
    data = bytes(rng.randrange(0, 256) for _ in range(rng.randrange(1, 40))) + b"x"
    rc, out, _ = run(["encode", "--raw"], stdin=data)
    x = 0
    for k, b in enumerate(data):
        x |= TO_GSM.get(b, 0) << (7 * k)
    want = "".join("%02X" % ((x >> (8 * j)) & 0xFF) for j in range(len(data)))
    check("raw encode", (rc, out.decode()), (0, want + "\n"))

# Standard input: the final line break of a pipe is dropped.
check("stdin", run(["encode"], stdin="Hallo, ich bins!\n".encode()), (0, b"C8309BFD6681D26334489C76CF430000\n", b""))
check("stdin decode", run(["decode"], stdin=b"C8 30 9B FD\r\n")[1], ref_decode("C8309BFD").encode() + b"\n")
check("words joined", run(["encode", "Hallo,", "ich", "bins!"])[1], b"C8309BFD6681D26334489C76CF430000\n")

# Usage errors: exit 2, nothing on standard output, a message on standard error.
for args in (["frobnicate"], ["encode", "--bogus", "x"], [], ["--raw"]):
    rc, out, err = run(args)
    check("usage error %r" % args, (rc, out, err != b""), (2, b"", True))
rc, out, _ = run(["--help"])
check("help", (rc, b"usage: smspdu encode" in out), (0, True))

print("%d passed, %d failed" % (checks - failures, failures))
sys.exit(1 if failures else 0)
