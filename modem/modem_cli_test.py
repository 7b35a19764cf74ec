"""smspdu's modem commands against the fake modem on a pseudo-terminal, case by case: the whole output, the exit
code, and what the modem was sent or lost. Usage: modem_cli_test.py SMSPDU [--wine WINE_RUN PREFIX]: with --wine the
Windows program runs under Wine, the fake modem mapped to COM5."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fake_modem_test_support import FakeModem, Personality  # noqa: E402

EXE = sys.argv[1]
WINE = sys.argv[sys.argv.index("--wine") + 1:] if "--wine" in sys.argv else []
failures = []

# Stored messages: two SMS-DELIVER PDUs that circulate in SMS PDU tutorials ("How are you?", "hellohello"), and a
# status report built here for the reference the fake gives the first part.
HOW = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07"
HELLO = "07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37"
REPORT = "0006110C91947110325476622180215000406221802150104000"
HOW_TEXT = ("type: SMS-DELIVER\nsmsc: +31624000000\nfrom: +31641600986\ntimestamp: 2002-08-26T19:37:41+00:00\n"
            "coding: 7-bit\ntext: How are you?\n")
HELLO_TEXT = ("type: SMS-DELIVER\nsmsc: +27381000015\nfrom: 27838890001\ntimestamp: 1999-03-29T15:16:59+02:00\n"
              "coding: 7-bit\ntext: hellohello\n")
REPORT_TEXT = ("type: SMS-STATUS-REPORT\nrecipient: +491701234567\nreference: 17\n"
               "timestamp: 2026-12-08T12:05:00+01:00\ndischarge time: 2026-12-08T12:05:01+01:00\n"
               "status: 00 (delivered)\nqualifier: SMS-SUBMIT\n")
HELLO_PDU = "0001000C91947110325476000005E8329BFD06"  # "hello" to +491701234567, as submit builds it
LONG = "x" * 400  # three parts
# The two parts of one long message as a phone stores them to send (SMSC field 00): "Ğ" each, Turkish single shift.
PART1 = "0041000491947100000D0800032A0201240101607304"
PART2 = "0041000491947100000D0800032A0202240101607304"
LONG_TEXT = ("type: SMS-SUBMIT\nto: +4917\nreference: 0\ncoding: 7-bit\nconcatenation reference: 42\nparts: 2\n")
PART_TEXT = "language: Turkish (single shift)\ntext: ĞĞ\n"
# Cases Wine cannot show, and why: they run natively only.
WINE_CANNOT = {"modem gone mid-part": "Wine's ReadFile on a COM port never sees its pseudo-terminal hang up"}


def stored(index, status, text, storage="SM"):
    return "index: %d\nstatus: %s\nstorage: %s\n%s" % (index, status, storage, text)


def run(args, fake, env=None, stdout=subprocess.PIPE):
    device = "COM5" if WINE else fake.device
    e = dict(os.environ, **(env or {}))
    p = subprocess.run(WINE + [EXE] + args + ["--device", device], stdout=stdout, stderr=subprocess.PIPE, env=e,
                       timeout=120)
    out = p.stdout.decode().replace("\r\n", "\n") if p.stdout is not None else ""
    return p.returncode, out, p.stderr.decode().replace("\r\n", "\n").replace(device, "DEV")


def check(case, what, got, want):
    if got != want:
        failures.append("%s: %s: got %r, want %r" % (case, what, got, want))


def wine_prefix():
    """The prefix scripts/wine-run gives the program: by its PE header's machine, 32-bit or 64-bit."""
    root = os.path.dirname(os.path.dirname(os.path.abspath(WINE[0])))
    with open(EXE, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[60:64], "little")
    if head[pe + 4:pe + 6] == b"\x4c\x01":
        return os.environ.get("WINEPREFIX32", os.path.join(root, "build", "wineprefix32"))
    return os.environ.get("WINEPREFIX", os.path.join(root, "build", "wineprefix"))


def attach(fake):
    """Under Wine, COM5 is the fake's pseudo-terminal (the prefix's dosdevices link, which Wine resolves at open)."""
    if WINE:
        link = os.path.join(PREFIX, "dosdevices", "com5")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(fake.device, link)


# name, personality habits, stored messages (index, status, pdu), arguments, environment,
# exit code, standard output, standard error, and checks on the modem afterwards (attribute, value).
CASES = [
    ("send one part", {}, [], ["send", "--to", "+491701234567", "hello"], {},
     0, "part 1/1 sent, reference 17\n", "", [("sent", [HELLO_PDU])]),
    # Habits of Huawei sticks (gammu issues 126 and 138): lines between answers; echo kept after ATE0.
    ("send through a chatty echoing modem", {"noise": ["^RSSI:14", "^MODE:5,4"], "echo_after_ate0": True}, [],
     ["send", "--to", "+491701234567", "hello"], {}, 0, "part 1/1 sent, reference 17\n", "", [("sent", [HELLO_PDU])]),
    ("send with a prompt without space", {"prompt": b">"}, [], ["send", "--to", "+491701234567", "hello"], {},
     0, "part 1/1 sent, reference 17\n", "", [("sent", [HELLO_PDU])]),
    ("send three parts", {}, [], ["send", "--to", "+491701234567", LONG], {},
     0, "part 1/3 sent, reference 17\npart 2/3 sent, reference 18\npart 3/3 sent, reference 19\n", "",
     [("sends", 3)]),
    # +CMS ERROR: 500 on the second part, as python-gsmmodem and smstools3 users report it.
    ("second part refused", {"refuse_part": 2}, [], ["send", "--to", "+491701234567", LONG], {},
     1, "part 1/3 sent, reference 17\n",
     "smspdu: DEV: part 2/3: +CMS ERROR: 500 (unknown error); part 1 was sent\n", [("sends", 2)]),
    ("second part refused in words", {"refuse_part": 2, "verbose_errors": True}, [],
     ["send", "--to", "+491701234567", LONG], {}, 1, "part 1/3 sent, reference 17\n",
     "smspdu: DEV: part 2/3: +CMS ERROR: 500 (unknown error); part 1 was sent\n", [("sends", 2)]),
    ("modem gone mid-part", {"vanish_at_part": 2}, [], ["send", "--to", "+491701234567", LONG], {},
     1, "part 1/3 sent, reference 17\n", "smspdu: DEV: part 2/3: the modem went away (the device hung up); part 1 "
     "was sent\n", [("sends", 2)]),
    ("PIN from the environment", {"pin": "1234"}, [], ["send", "--to", "+491701234567", "hello"],
     {"SMSPDU_PIN": "1234"}, 0, "part 1/1 sent, reference 17\n", "", [("pin_tries", ["1234"])]),
    ("wrong PIN tried once", {"pin": "1234"}, [], ["send", "--pin", "1111", "--to", "+491701234567", "hello"], {},
     1, "", "smspdu: DEV: the SIM refused the PIN (+CME ERROR: 16 (incorrect password)); it was not tried again, "
     "since three wrong PINs lock the SIM: check it and try once more\n", [("pin_tries", ["1111"]), ("sends", 0)]),
    ("SIM busy twice, then ready", {"busy": 2}, [], ["send", "--to", "+491701234567", "hello"], {},
     0, "part 1/1 sent, reference 17\n", "", [("sent", [HELLO_PDU])]),
    ("list", {}, [(3, 1, HOW), (7, 0, HELLO)], ["list"], {}, 0,
     stored(3, "received read", HOW_TEXT) + stored(7, "received unread", HELLO_TEXT), "", [("deleted", [])]),
    ("list, lengths counting the SMSC", {"cmgl_counts_smsc": True}, [(3, 1, HOW)], ["list"], {}, 0,
     stored(3, "received read", HOW_TEXT), "", []),
    ("list unread from ME", {}, [(1, 1, HOW), (2, 0, HELLO)], ["list", "--unread", "--storage", "ME"], {}, 0,
     "", "", []),
    # A PDU cut short in the store: reported by its index, kept; the others listed and deleted.
    ("list and delete, a bad PDU kept", {}, [(3, 1, HOW), (5, 1, HELLO[:-10]), (7, 0, HELLO)],
     ["list", "--delete"], {}, 1, stored(3, "received read", HOW_TEXT) + stored(7, "received unread", HELLO_TEXT),
     "smspdu: DEV: message 5: octet 27: user data length 10 needs 9 octets, 4 are left; it was not deleted\n",
     [("deleted", [3, 7])]),
    # The listing stops in the middle of the last PDU line: what came whole is printed, nothing deleted.
    ("listing cut off", {"cut_listing": 40}, [(3, 1, HOW), (7, 0, HELLO)], ["list", "--delete", "--timeout", "2"], {},
     1, stored(3, "received read", HOW_TEXT), "smspdu: DEV: message 7: no PDU after its +CMGL: line; it was not "
     "deleted\nsmspdu: DEV: the listing (AT+CMGL) stopped: no answer to AT+CMGL=4 within 2 s; nothing was deleted\n",
     [("deleted", [])]),
    # --join: the two parts of one long message at 3 and 5 printed as one where the first stood, deleted once whole;
    # a message missing a part is printed with it named and kept for a later listing.
    ("list --join --delete", {}, [(3, 2, PART1), (4, 1, HOW), (5, 2, PART2)], ["list", "--join", "--delete"], {}, 0,
     "index: 3, 5\nstatus: stored unsent\nstorage: SM\n" + LONG_TEXT + "parts present: 1, 2\n" + PART_TEXT +
     stored(4, "received read", HOW_TEXT), "", [("deleted", [3, 5, 4])]),
    ("list --join, a part missing", {}, [(3, 2, PART1), (4, 1, HOW)], ["list", "--join", "--delete", "--json"], {}, 0,
     '{"index": [3], "status": "stored unsent", "storage": "SM", "type": "SMS-SUBMIT", "to": "+4917", "to_type": '
     '"international", "reference": 0, "coding": "7-bit", "concat_reference": 42, "parts": 2, "parts_present": [1], '
     '"missing_parts": [2], "single_shift": "Turkish", "text": "\u011e"}\n{"index": 4, "status": "received read", '
     '"storage": "SM", "type": "SMS-DELIVER", "smsc": "+31624000000", "from": "+31641600986", "from_type": '
     '"international", "timestamp": "2002-08-26T19:37:41+00:00", "coding": "7-bit", "text": "How are you?"}\n', "",
     [("deleted", [4])]),
    ("read", {}, [(4, 0, HELLO)], ["read", "4"], {}, 0, stored(4, "received unread", HELLO_TEXT), "", []),
    ("read an empty index", {}, [(4, 0, HELLO)], ["read", "9"], {}, 1, "",
     "smspdu: DEV: no message at index 9 in storage SM\n", []),
    ("delete by index", {}, [(4, 0, HELLO), (6, 1, HOW)], ["delete", "6"], {}, 0, "deleted 6\n", "",
     [("deleted", [6])]),
    ("delete read, with flags", {}, [(4, 0, HELLO), (6, 1, HOW)], ["delete", "--read"], {}, 0,
     "deleted every read message in SM\n", "", [("deleted", [6])]),
    ("delete read, one by one", {"delete_flags": False}, [(4, 0, HELLO), (6, 1, HOW), (8, 1, HOW)],
     ["delete", "--read"], {}, 0, "deleted 6\ndeleted 8\n", "", [("deleted", [6, 8])]),
    ("modem", {}, [(4, 0, HELLO)], ["modem"], {}, 0,
     "manufacturer: huawei\nmodel: E3372\nrevision: 21.180.01.00.00\nimei: 867009021234567\nsim: READY\n"
     "signal: -83 dBm (CSQ 15)\nregistration: registered, home network\noperator: Telekom.de\n"
     "smsc: +491710760000\nstorage: SM, 1 of 30 used\n", "", []),
    ("modem sets the SMSC", {}, [], ["modem", "--smsc", "+491722270333"], {}, 0,
     "manufacturer: huawei\nmodel: E3372\nrevision: 21.180.01.00.00\nimei: 867009021234567\nsim: READY\n"
     "signal: -83 dBm (CSQ 15)\nregistration: registered, home network\noperator: Telekom.de\n"
     "smsc: +491722270333\nstorage: SM, 0 of 30 used\n", "",
     [("smsc", "+491722270333")]),
    # A message stored and announced, one delivered, a status report delivered; service 1 wants each acknowledged.
    ("listen", {"csms_service": 1, "arrivals": ['+CMTI: "SM",4', "+CMT: ,30", HOW, "+CDS: 25", REPORT]},
     [(4, 0, HELLO)], ["listen", "--count", "3"], {}, 0, stored(4, "received unread", HELLO_TEXT) + HOW_TEXT +
     REPORT_TEXT, "", [("acknowledged", 2)]),
    # A menu left open is closed; Huawei sticks take and give the strings as packed 7-bit hex.
    ("ussd", {}, [], ["ussd", "*100#"], {}, 0, "1 Balance, 2 Offers\n", "",
     [("ussd_sent", ['AT+CUSD=1,"*100#",15', "AT+CUSD=2"])]),
    ("ussd packed, a menu answered", {"ussd_packed": True}, [], ["ussd", "--packed", "--reply", "1", "*100#"], {}, 0,
     "1 Balance, 2 Offers\nBalance: 5.00 EUR\n", "", [("ussd_sent", ['AT+CUSD=1,"AA180C3602",15',
                                                                     'AT+CUSD=1,"31",15'])]),
    ("ussd not offered", {}, [], ["ussd", "*999#"], {}, 1, "", "smspdu: DEV: USSD *999#: operation not supported\n",
     []),
    ("no answer", {"silent": True}, [], ["modem", "--timeout", "2"], {}, 1, "",
     "smspdu: DEV: no answer to AT within 2 s: is it the modem's AT port, is the modem on, is the speed (--baud) "
     "right?\n", []),
]


def state(fake, name):
    if name == "acknowledged":
        return fake.received.count("AT+CNMA")
    if name == "ussd_sent":
        return [line for line in fake.received if line.startswith("AT+CUSD")]
    return getattr(fake, name)


def run_case(case):
    name, habits, messages, args, env, code, out, err, after = case
    fake = FakeModem(Personality(**habits))
    try:
        for index, status, pdu in messages:
            fake.put(index, status, pdu)
        attach(fake)
        got = run(args, fake, env)
        check(name, "exit code", got[0], code)
        check(name, "output", got[1], out)
        check(name, "errors", got[2], err)
        for attribute, value in after:
            check(name, attribute, state(fake, attribute), value)
    finally:
        fake.close()


def bad_ground():
    """Ports that are not there or not a modem; a full disk under list --delete."""
    if not WINE:
        p = subprocess.run([EXE, "modem", "--device", "/dev/nonexistent"], capture_output=True, timeout=60)
        check("no device", "errors", p.stderr.decode(), "smspdu: /dev/nonexistent: no such device: is the modem "
              "plugged in? (ls /dev/ttyUSB* /dev/ttyACM*)\n")
        p = subprocess.run([EXE, "modem", "--device", "/dev/null"], capture_output=True, timeout=60)
        check("not a tty", "errors", p.stderr.decode(), "smspdu: /dev/null: not a serial port (a terminal device "
              "such as /dev/ttyUSB0 is needed)\n")
        # The port held (flock, as ModemManager and minicom hold one): the holder is named.
        import fcntl
        fake = FakeModem()
        try:
            fcntl.flock(fake.slave, fcntl.LOCK_EX)
            with open("/proc/self/comm") as f:
                me = f.read().strip()
            code, _, err = run(["modem"], fake)
            check("port held", "errors", err, "smspdu: DEV: the port is in use by %s (process %d): close it, or wait "
                  "until it is done\n" % (me, os.getpid()))
            check("port held", "received", fake.received, [])
        finally:
            fake.close()
        # Standard output on a full disk: nothing is deleted.
        fake = FakeModem()
        try:
            fake.put(3, 1, HOW)
            with open("/dev/full", "w") as full:
                code, _, err = run(["list", "--delete"], fake, stdout=full)
            check("full disk", "exit code", code, 1)
            check("full disk", "errors", err, "smspdu: DEV: cannot write to standard output; message 3 was not "
                  "deleted\n")
            check("full disk", "deleted", fake.deleted, [])
        finally:
            fake.close()


def three_parts_as_submit_builds_them():
    fake = FakeModem()
    try:
        attach(fake)
        run(["send", "--to", "+491701234567", LONG], fake)
        p = subprocess.run(WINE + [EXE, "submit", "--to", "+491701234567", LONG], capture_output=True, timeout=120)
        check("three parts", "sent as built", fake.sent, [line.split()[0] for line in p.stdout.decode().splitlines()])
    finally:
        fake.close()


if WINE:
    subprocess.run(WINE + [EXE, "--version"], capture_output=True, timeout=300)  # makes the prefix when it is new
    PREFIX = wine_prefix()
for c in CASES:
    if WINE and c[0] in WINE_CANNOT:
        print("%s: natively only: %s" % (c[0], WINE_CANNOT[c[0]]))
    else:
        run_case(c)
bad_ground()
three_parts_as_submit_builds_them()
print("\n".join(failures[:30]) or "all %d cases passed" % (len(CASES) + 5))
sys.exit(1 if failures else 0)
