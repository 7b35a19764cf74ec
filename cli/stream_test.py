#!/usr/bin/env python3
"""smspdu parse reads its input as it comes: a message is printed before the next line is written, and with --join
a long message as soon as its last part is in, while a single message between its parts is printed at once. Each
read waits for one line of JSON (one message), with a generous limit; nothing is timed."""
import json
import select
import subprocess

from cli_test_support import EXE, check, finish

DELIVER = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"  # "hellohello"
PART1 = "41000491947100000D0800032A0201240101607304"  # part 1 of 2 of reference 42, "Ğ"
PART2 = "41000491947100000D0800032A0202240101607304"
LIMIT = 30  # seconds a line may take to come; a streaming parser takes milliseconds, one that waits for the end forever


def start(*args):
    return subprocess.Popen([EXE, "parse", "--json", *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE)


def line_out(p):  # the next message printed, or None when none came within the limit
    ready, _, _ = select.select([p.stdout], [], [], LIMIT)
    return json.loads(p.stdout.readline()) if ready else None


def send(p, hex_line):
    p.stdin.write((hex_line + "\r\n").encode())
    p.stdin.flush()


p = start()
send(p, DELIVER)
first = line_out(p)
check("first message printed before the second line is written", first and first.get("text"), "hellohello")
p.stdin.close()
check("nothing left at the end", p.stdout.read(), b"")
check("exit code", p.wait(timeout=LIMIT), 0)

p = start("--no-smsc", "--join")
send(p, PART1)
send(p, DELIVER[16:])
single = line_out(p)
check("a single message between two parts, printed at once", single and single.get("text"), "hellohello")
send(p, PART2)
joined = line_out(p)
check("the long message, printed when its last part is in", joined and (joined.get("text"), joined.get("parts_present")),
      ("ĞĞ", [1, 2]))
p.stdin.close()
check("nothing left at the end of --join", p.stdout.read(), b"")
p.wait(timeout=LIMIT)

finish()
