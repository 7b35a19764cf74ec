#!/usr/bin/env python3
"""The smspdu command line: the shared vectors, standard input, UTF-8 and --raw, usage errors."""
import sys

from cli_test_support import check, finish, run

VECTORS = sys.argv[2]

for line in open(VECTORS):
    if not line.strip() or line.startswith("#"):
        continue
    text, pdu = (b"" if f == "-" else bytes.fromhex(f) for f in line.split()[-2:])
    if line.startswith("<"):  # the bytes of a PDU field, and its text
        check("decode --raw %r" % text, run(["decode", "--raw", text]), (0, pdu + b"\n", False))
        continue
    hexpdu = pdu.hex().upper().encode()
    check("encode --raw %r" % text, run(["encode", "--raw", "--", text]), (0, hexpdu + b"\n", False))
    rc, back, _ = run(["decode", "--raw", hexpdu])  # one character per character, each itself or '@'
    check("decode --raw %s" % hexpdu, (rc, len(back), all(b in (t, 64) for b, t in zip(back, text))),
          (0, len(text) + 1, True))
    if all(b not in text for b in b"\x81\x8d\x8f\x90\x9d"):  # bytes with no character in the code page
        check("encode %r" % text, run(["encode", "--", text.decode("cp1252").encode()])[1], hexpdu + b"\n")
        check("decode %s" % hexpdu, run(["decode", hexpdu.lower()])[1], back.decode("cp1252").encode())

# Code 0 is unmapped.
check("code 0", run(["encode", "--raw"], stdin=b"\x00H")[1], run(["encode", "--raw", "@H"])[1])
# Standard input: one final line break (LF or CR LF) is dropped, nothing else.
check("stdin", run(["encode"], stdin=b"Hi\r\n"), (0, b"C834\n", False))
check("stdin LF", run(["encode"], stdin=b"Hi\n\n")[1], run(["encode", "Hi\n"])[1])
check("words joined", run(["encode", "Hallo,", "ich", "bins!"])[1], b"C8309BFD6681D26334489C76CF430000\n")
check("after --", run(["encode", "--", "-x"]), (0, b"2D3C\n", False))
for args in (["frobnicate"], ["encode", "--bogus", "x"], [], ["--raw"], ["-x", "encode"]):
    check("usage error %r" % args, run(args), (2, b"", True))
rc, out, _ = run(["--help"])
check("help", (rc, out.startswith(b"usage: smspdu encode")), (0, True))

finish()
