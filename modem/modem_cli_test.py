"""smspdu's modem commands against the fake modem on a pseudo-terminal, case by case: the whole output, the exit
code, and what the modem was sent or lost. Usage: modem_cli_test.py SMSPDU [--wine WINE_RUN PREFIX]: with --wine the
Windows program runs under Wine, the fake modem mapped to COM5."""
import fcntl
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fake_modem_test_support import FakeModem, Personality, check, failures  # noqa: E402

EXE = sys.argv[1]
WINE = sys.argv[sys.argv.index("--wine") + 1:] if "--wine" in sys.argv else []

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


def stored(index, status, text):
    return "index: %d\nstatus: %s\nstorage: SM\n%s" % (index, status, text)


def run(args, fake, env=None, stdout=subprocess.PIPE):
    device = "COM5" if WINE else fake.device
    if WINE:  # COM5 is the fake's pseudo-terminal: the prefix's dosdevices link, which Wine resolves at open
        link = os.path.join(PREFIX, "dosdevices", "com5")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(fake.device, link)
    p = subprocess.Popen(WINE + [EXE] + args + ["--device", device], stdout=stdout, stderr=subprocess.PIPE,
                         env=dict(os.environ, **(env or {})))
    try:
        out, err = p.communicate(timeout=120)
    except subprocess.TimeoutExpired:  # reported as its own failure, the program ended
        p.kill()
        out, err = p.communicate()
        err += b"(no end within 120 s)"
    out = out.decode().replace("\r\n", "\n") if out is not None else ""
    return p.returncode, out, err.decode().replace("\r\n", "\n").replace(device, "DEV")


if WINE:  # the prefix scripts/wine-run gives the program, by its PE header's machine: 32-bit or 64-bit
    with open(EXE, "rb") as f:
        head = f.read(4096)
    bits32 = head[int.from_bytes(head[60:64], "little") + 4:][:2] == b"\x4c\x01"
    build = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(WINE[0]))), "build")
    PREFIX = os.environ.get("WINEPREFIX32" if bits32 else "WINEPREFIX",
                            os.path.join(build, "wineprefix32" if bits32 else "wineprefix"))


def sent_report(part, reference):
    return "part: %s\n" % part + REPORT_TEXT.replace("reference: 17", "reference: %d" % reference)


SENT = ["part %d/3 sent, reference %d\n" % (k, 16 + k) for k in (1, 2, 3)]
SENT1 = "part 1/1 sent, reference 17\n"
TO = ["--to", "+491701234567"]


def send(*words):
    return ["send"] + TO + list(words)


# The three parts of LONG as submit --report builds them (under Wine this first run makes the prefix when it is new).
LONG_PARTS = [line.split()[0] for line in subprocess.run(WINE + [EXE, "submit", "--report"] + TO + [LONG],
                                                         capture_output=True, timeout=300).stdout.decode().splitlines()]
JOINED = "storage: SM\n" + LONG_TEXT + "parts present: 1, 2\n" + PART_TEXT

# name, personality habits, stored messages (index, status, pdu), arguments, environment,
# exit code, standard output, standard error, and checks on the modem afterwards (attribute, value).
CASES = [
    # Habits of Huawei sticks (gammu issues 126 and 138): lines between answers; echo kept after ATE0.
    ("send through a chatty echoing modem", {"noise": ["^RSSI:14", "^MODE:5,4"], "echo_after_ate0": True}, [],
     send("hello"), {}, 0, SENT1, "", [("sent", [HELLO_PDU])]),
    ("send with a prompt without space", {"prompt": b">"}, [], send("hello"), {}, 0, SENT1, "",
     [("sent", [HELLO_PDU])]),
    # +CMS ERROR: 500 on the second part, as python-gsmmodem and smstools3 users report it; in words.
    ("second part refused", {"refuse_part": 2, "verbose_errors": True}, [], send(LONG), {}, 1, SENT[0],
     "smspdu: DEV: part 2/3: +CMS ERROR: 500 (unknown error); part 1 was sent\n", [("sends", 2)]),
    # Status reports (27.005 3.4.1): announced in SR, read, deleted and SR left again; delivered while the later
    # parts go out, matched by reference, one never coming.
    ("send --wait, a report announced", {"reports": "announced", "csms_service": 1}, [],
     send("--wait", "--json", "hello"), {}, 0, '{"part": "1/1", "reference": 17}\n{"part": "1/1", "type": '
     '"SMS-STATUS-REPORT", "recipient": "+491701234567", "recipient_type": "international", "reference": 17, '
     '"timestamp": "2026-12-08T12:05:00+01:00", "discharge_time": "2026-12-08T12:05:01+01:00", "status": 0, '
     '"status_text": "delivered", "qualifier": "SMS-SUBMIT"}\n', "",
     [("deleted", [1]), ("mem", "SM"), ("acknowledged", 0), ("indications", ["AT+CNMI=2,0,0,2,0"])]),
    ("send --wait, a report lost", {"reports": "delivered", "lost_report": 2, "csms_service": 1}, [],
     send("--wait=2", LONG), {}, 1, "".join(SENT) + sent_report("1/3", 17) + sent_report("3/3", 19),
     "smspdu: DEV: part 2/3: no status report within 2 s\n", [("acknowledged", 2), ("sent", LONG_PARTS)]),
    ("send --wait, no reports offered", {"cnmi_test": "+CNMI: (0-2),(0-3),(0),(0),(0)"}, [], send("--wait", "hello"),
     {}, 1, "", "smspdu: DEV: the modem offers no way to pass on status reports (AT+CNMI=?); nothing was sent\n",
     [("sends", 0)]),
    ("PIN from the environment", {"pin": "1234"}, [], send("hello"), {"SMSPDU_PIN": "1234"}, 0, SENT1, "",
     [("pin_tries", ["1234"])]),
    ("wrong PIN tried once", {"pin": "1234"}, [], send("--pin", "1111", "hello"), {}, 1, "",
     "smspdu: DEV: the SIM refused the PIN (+CME ERROR: 16 (incorrect password)); it was not tried again, since "
     "three wrong PINs lock the SIM: check it and try once more\n", [("pin_tries", ["1111"]), ("sends", 0)]),
    ("list, lengths counting the SMSC", {"cmgl_counts_smsc": True}, [(3, 1, HOW), (7, 0, HELLO)], ["list"], {}, 0,
     stored(3, "received read", HOW_TEXT) + stored(7, "received unread", HELLO_TEXT), "", [("deleted", [])]),
    # A PDU cut short in the store: reported by its index, kept; the others listed and deleted.
    ("list and delete, a bad PDU kept", {}, [(3, 1, HOW), (5, 1, HELLO[:-10]), (7, 0, HELLO)], ["list", "--delete"],
     {}, 1, stored(3, "received read", HOW_TEXT) + stored(7, "received unread", HELLO_TEXT),
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
     "index: 3, 5\nstatus: stored unsent\n" + JOINED + stored(4, "received read", HOW_TEXT), "",
     [("deleted", [3, 5, 4])]),
    ("list --join, a part missing", {}, [(3, 2, PART1)], ["list", "--join", "--delete", "--json"], {}, 0,
     '{"index": [3], "status": "stored unsent", "storage": "SM", "type": "SMS-SUBMIT", "to": "+4917", "to_type": '
     '"international", "reference": 0, "coding": "7-bit", "concat_reference": 42, "parts": 2, "parts_present": [1], '
     '"missing_parts": [2], "single_shift": "Turkish", "text": "\u011e"}\n', "", [("deleted", [])]),
    ("read", {}, [(4, 0, HELLO)], ["read", "4"], {}, 0, stored(4, "received unread", HELLO_TEXT), "", []),
    ("read an empty index", {}, [(4, 0, HELLO)], ["read", "9"], {}, 1, "",
     "smspdu: DEV: no message at index 9 in storage SM\n", []),
    ("delete read, with flags", {}, [(4, 0, HELLO), (6, 1, HOW)], ["delete", "--read"], {}, 0,
     "deleted every read message in SM\n", "", [("deleted", [6])]),
    ("delete read, one by one", {"delete_flags": False}, [(4, 0, HELLO), (6, 1, HOW), (8, 1, HOW)],
     ["delete", "--read"], {}, 0, "deleted 6\ndeleted 8\n", "", [("deleted", [6, 8])]),
    ("modem, setting the SMSC", {"echo_after_ate0": True}, [(4, 0, HELLO)], ["modem", "--smsc", "+491722270333"], {}, 0,
     "manufacturer: huawei\nmodel: E3372\nrevision: 21.180.01.00.00\nimei: 867009021234567\nsim: READY\nsignal: "
     "-83 dBm (CSQ 15)\nregistration: registered, home network\noperator: Telekom.de\nsmsc: +491722270333\n"
     "storage: SM, 1 of 30 used\n", "", [("smsc", "+491722270333")]),
    # A message stored and announced, one delivered, a status report delivered, and without --join a part of a long
    # message as it is; service 1 wants each delivered one acknowledged.
    ("listen", {"csms_service": 1,
                "arrivals": ['+CMTI: "SM",4', "+CMT: ,30", HOW, "+CDS: 25", REPORT, '+CMTI: "SM",3']},
     [(4, 0, HELLO), (3, 0, PART1)], ["listen", "--count", "4"], {}, 0, stored(4, "received unread", HELLO_TEXT) +
     HOW_TEXT + REPORT_TEXT + stored(3, "received unread", LONG_TEXT.replace("parts", "part: 1\nparts") +
                                     PART_TEXT.replace("ĞĞ", "Ğ")), "",
     [("acknowledged", 2), ("indications", ["AT+CNMI=2,1,0,2,0"])]),
    # --join: the parts of a long message announced one by one, another message between them.
    ("listen --join --delete", {"arrivals": ['+CMTI: "SM",3', "+CMT: ,30", HOW, '+CMTI: "SM",5']},
     [(3, 0, PART1), (5, 0, PART2)], ["listen", "--join", "--delete", "--count", "2"], {}, 0,
     HOW_TEXT + "index: 3, 5\nstatus: received unread\n" + JOINED, "", [("deleted", [3, 5])]),
    # A menu left open is closed; Huawei sticks take and give the strings as packed 7-bit hex.
    ("ussd", {}, [], ["ussd", "*100#"], {}, 0, "1 Balance, 2 Offers\n", "",
     [("ussd_sent", ['AT+CUSD=1,"*100#",15', "AT+CUSD=2"])]),
    ("ussd packed, a menu answered", {"ussd_packed": True}, [], ["ussd", "--packed", "--reply", "1", "*100#"], {}, 0,
     "1 Balance, 2 Offers\nBalance: 5.00 EUR\n", "", [("ussd_sent", ['AT+CUSD=1,"AA180C3602",15',
                                                                     'AT+CUSD=1,"31",15'])]),
    ("no answer", {"silent": True}, [], ["modem", "--timeout", "2"], {}, 1, "",
     "smspdu: DEV: no answer to AT within 2 s: is it the modem's AT port, is the modem on, is the speed (--baud) "
     "right?\n", []),
]


def state(fake, name):
    if name == "acknowledged":
        return fake.received.count("AT+CNMA")
    if name == "indications":  # how AT+CNMI was set
        return [line for line in fake.received if line.startswith("AT+CNMI=") and "?" not in line]
    if name == "ussd_sent":
        return [line for line in fake.received if line.startswith("AT+CUSD")]
    return getattr(fake, name)


def run_case(case):
    name, habits, messages, args, env, code, out, err, after = case
    fake = FakeModem(Personality(**habits))
    try:
        for index, status, pdu in messages:
            fake.put(index, status, pdu)
        got = run(args, fake, env)
        check(name, "exit code", got[0], code)
        check(name, "output", got[1], out)
        check(name, "errors", got[2], err)
        for attribute, value in after:
            check(name, attribute, state(fake, attribute), value)
    finally:
        fake.close()


def bad_ground():
    """Ports that are not there, held by another program or closed to us; a full disk under list --delete. Linux
    only: a COM port under Wine has neither lock files nor owners to name. Returns how many cases it ran."""
    me = "%s (process %d)" % (open("/proc/self/comm").read().strip(), os.getpid())
    busy = "smspdu: DEV: the port is in use by %s: close it, or wait until it is done\n"
    # As root a device closed to others would open anyway: the program runs as nobody then.
    nobody = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if os.getuid() == 0 else []
    # name, what makes the fake's port one the program cannot have (giving the device and the errors expected), and
    # what the program is run with.
    grounds = [
            ("no device", lambda f: ("/dev/nonexistent", "smspdu: /dev/nonexistent: no such device: is the modem "
                                     "plugged in? (ls /dev/ttyUSB* /dev/ttyACM*)\n"), []),
            # flock, as ModemManager and minicom hold a port.
            ("port held", lambda f: (f.device, fcntl.flock(f.slave, fcntl.LOCK_EX) or busy % me), []),
            ("access denied", lambda f: (f.device, os.chmod(f.device, 0) or "smspdu: DEV: permission denied: add "
                                         "yourself to the dialout group (sudo usermod -aG dialout $USER) and log in "
                                         "again\n"), nobody)]
    for name, hold, command in grounds:
        fake = FakeModem()
        try:
            device, err = hold(fake)
            p = subprocess.run(command + [EXE, "modem", "--device", device], capture_output=True, timeout=60)
            check(name, "errors", p.stderr.decode().replace(fake.device, "DEV"), err)
            check(name, "received", fake.received, [])
        finally:
            fake.close()
    # Standard output on a full disk: nothing is deleted.
    fake = FakeModem()
    try:
        fake.put(3, 1, HOW)
        with open("/dev/full", "w") as full:
            code, _, err = run(["list", "--delete"], fake, stdout=full)
        check("full disk", "exit code", code, 1)
        check("full disk", "errors", err, "smspdu: DEV: cannot write to standard output; message 3 was not deleted\n")
        check("full disk", "deleted", fake.deleted, [])
    finally:
        fake.close()
    return len(grounds) + 1


for c in CASES:
    run_case(c)
ran = len(CASES) + (0 if WINE else bad_ground())
print("\n".join(failures[:30]) or "all %d cases run passed" % ran)
sys.exit(1 if failures else 0)
