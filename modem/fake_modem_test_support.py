"""A GSM modem on a pseudo-terminal, for the modem tests and for gammu: it speaks 3GPP TS 27.005/27.007 in PDU mode,
keeps a message store and remembers what it was sent. Each habit of a real modem is one field of a Personality, set
from the transcript it was seen in."""
import os
import re
import select
import threading
import tty

CTRL_Z, ESC = b"\x1a", b"\x1b"
failures = []  # what the tests found wrong


def check(case, what, got, want):
    if got != want:
        failures.append("%s: %s: got %r, want %r" % (case, what, got, want))


def pack7(text):  # ASCII that the GSM alphabet shares, packed as 23.038 6.1.2.3 says, CR in seven spare bits
    septets = [ord(c) for c in text] + ([13] if len(text) % 8 == 7 else [])
    value = sum(s << (7 * i) for i, s in enumerate(septets))
    return value.to_bytes((7 * len(septets) + 7) // 8, "little").hex().upper()


def unpack7(hex_text):
    value, count = int.from_bytes(bytes.fromhex(hex_text), "little"), len(hex_text) // 2 * 8 // 7
    text = "".join(chr(value >> (7 * i) & 0x7F) for i in range(count))
    return text[:-1] if count % 8 == 0 and text.endswith("\r") else text


class Personality:
    def __init__(self, **habits):
        self.echo_after_ate0 = False  # keeps echoing after ATE0
        self.verbose_errors = False   # errors in words whatever AT+CMEE says
        self.noise = []               # unsolicited lines sent before every final result
        self.cmgl_counts_smsc = False # +CMGL/+CMGR lengths count the SMSC octets too
        self.prompt = b"> "           # the AT+CMGS prompt
        self.refuse_part = 0          # this send (1-based) gets +CMS ERROR: 500
        self.pin = ""                 # the SIM wants this PIN first
        self.delete_flags = True      # AT+CMGD=? offers the delete flags
        self.cnmi_test = "+CNMI: (0-3),(0-3),(0-3),(0-2),(0,1)"
        self.csms_service = 0
        self.silent = False           # answers nothing at all
        self.arrivals = []            # unsolicited lines sent once new-message indications are set
        self.cut_listing = 0          # the +CMGL answer stops this many characters before its end
        self.ussd_packed = False      # USSD strings as packed 7-bit hex both ways (Huawei)
        self.reports = ""             # for a part that asks for one: "delivered" (+CDS:) or "announced" (+CDSI:)
        self.lost_report = 0          # this send's report never comes
        for k, v in habits.items():
            if not hasattr(self, k):
                raise ValueError("no habit " + k)
            setattr(self, k, v)


WORDS = {"CME": {3: "operation not allowed", 11: "SIM PIN required", 16: "incorrect password"},
         "CMS": {321: "invalid memory index", 500: "unknown error", 302: "operation not allowed"}}


class FakeModem:
    def __init__(self, personality=None):
        self.p = personality or Personality()
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.device = os.ttyname(self.slave)
        self.echo, self.cmee = True, 0
        self.pin_ok, self.pin_tries = not self.p.pin, []
        self.smsc = "+491710760000"
        self.stores = {"SM": {}, "ME": {}, "SR": {}}  # per memory, index: [stat, pdu hex with SMSC field, TPDU length]
        self.mem = "SM"       # <mem1>, where listing, reading and deleting look
        self.sent, self.deleted, self.received = [], [], []  # PDUs of AT+CMGS, indexes deleted, command lines
        self.sends, self.reference = 0, 16
        self.pending = None   # the AT+CMGS length while the prompt is out
        self._stop = False
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    @property
    def store(self):
        return self.stores[self.mem]

    def put(self, index, stat, pdu_hex, mem="SM"):
        self.stores[mem][index] = [stat, pdu_hex, len(pdu_hex) // 2 - int(pdu_hex[:2], 16) - 1]

    def close(self):
        self._stop = True
        self._thread.join(5)
        os.close(self.master)
        os.close(self.slave)

    # --- the dialogue ----------------------------------------------------------------------------------------------
    def _out(self, *lines):
        os.write(self.master, b"".join(b"\r\n" + l.encode() + b"\r\n" for l in lines))

    def _final(self, lines, result="OK", cut=0):
        data = b"".join(b"\r\n" + l.encode() + b"\r\n" for l in list(lines) + list(self.p.noise) + [result])
        os.write(self.master, data[:len(data) - cut])

    def _error(self, family, code):  # +CME ERROR: or +CMS ERROR:, as AT+CMEE asked (V.250 ERROR for 0)
        if self.p.verbose_errors:
            return "+%s ERROR: %s" % (family, WORDS[family][code])
        return "+%s ERROR: %d" % (family, code) if self.cmee else "ERROR"

    def _serve(self):
        buf = b""
        while not self._stop:
            if not select.select([self.master], [], [], 0.05)[0]:
                continue
            try:
                buf += os.read(self.master, 4096)
            except OSError:  # no client has the port open
                continue
            while True:
                if self.pending is not None:
                    end = min([i for i in (buf.find(CTRL_Z), buf.find(ESC)) if i >= 0], default=-1)
                    if end < 0:
                        break
                    pdu, stop, buf = buf[:end], buf[end:end + 1], buf[end + 1:]
                    if self.echo or self.p.echo_after_ate0:
                        os.write(self.master, pdu + stop)
                    self.pending = None
                    if stop == CTRL_Z:
                        self._sent(pdu.decode(errors="replace").strip())
                    continue
                buf = buf.lstrip(b"\n" + ESC)
                end = buf.find(b"\r")
                if end < 0:
                    break
                line, buf = buf[:end].decode(errors="replace").strip(), buf[end + 1:]
                if not line:
                    continue
                if self.echo or self.p.echo_after_ate0:
                    os.write(self.master, line.encode() + b"\r")
                self.received.append(line)
                if not self.p.silent:
                    self._command(line)

    def _sent(self, pdu):
        self.sends += 1
        if self.sends == self.p.refuse_part:
            return self._final([], self._error("CMS", 500))
        self.sent.append(pdu.upper())
        self.reference = (self.reference + 1) % 256
        self._final(["+CMGS: %d" % self.reference])
        tpdu = bytes.fromhex(pdu)[int(pdu[:2], 16) + 1:]
        if self.p.reports and tpdu[0] & 0x20 and self.sends != self.p.lost_report:  # TP-SRR
            self._report(tpdu[2:4 + (tpdu[2] + 1) // 2].hex().upper())

    def _report(self, recipient):
        """An SMS-STATUS-REPORT (23.040 9.2.2.3) for the part just sent: its reference and recipient, the times of
        the transcripts' reports."""
        pdu = "0006%02X%s622180215000406221802150104000" % (self.reference, recipient)
        if self.p.reports == "delivered":
            return self._out("+CDS: %d" % (len(pdu) // 2 - 1), pdu)
        index = len(self.stores["SR"]) + 1
        self.put(index, 0, pdu, "SR")
        self._out('+CDSI: "SR",%d' % index)

    def _command(self, line):
        u = line.upper()
        if not self.pin_ok and u.startswith(("AT+CMG", "AT+CPMS", "AT+CSCA", "AT+CNMI")):
            return self._final([], self._error("CME", 11))
        if u in self.FIXED:
            return self._final([self.FIXED[u]])
        for pattern, handler in self.COMMANDS:
            m = re.fullmatch(pattern, line, re.I)
            if m:
                return handler(self, *m.groups())
        self._final([], "ERROR")

    def _set(self, name, value):
        setattr(self, name, value)
        self._final([])

    def _cpin(self, pin):
        self.pin_tries.append(pin)
        if self.pin_ok or pin != self.p.pin:
            return self._final([], self._error("CME", 3 if self.pin_ok else 16))
        self._set("pin_ok", True)

    def _read(self, i, with_index):  # the +CMGL:/+CMGR: line and the PDU of message i, which is read from now on
        stat, pdu, length = self.store[i]
        self.store[i][0] = stat or 1
        length = len(pdu) // 2 if self.p.cmgl_counts_smsc else length
        return ["+CMGL: %d,%d,,%d" % (i, stat, length) if with_index else "+CMGR: %d,,%d" % (stat, length), pdu]

    def _cmgl(self, stat):
        lines = sum((self._read(i, True) for i in sorted(self.store) if int(stat) in (4, self.store[i][0])), [])
        self._final(lines, cut=self.p.cut_listing)

    def _cmgr(self, index):
        if int(index) not in self.store:
            return self._final([], self._error("CMS", 321))
        self._final(self._read(int(index), False))

    def _cmgd(self, index, flag):
        flag = int(flag or 0)
        if flag and not self.p.delete_flags:
            return self._final([], self._error("CMS", 302))
        if flag == 0 and int(index) not in self.store:
            return self._final([], self._error("CMS", 321))
        for i in [int(index)] if flag == 0 else [i for i, m in self.store.items() if flag == 4 or m[0] == 1]:
            del self.store[i]
            self.deleted.append(i)
        self._final([])

    def _cpms(self, mem):
        if mem not in self.stores:
            return self._final([], self._error("CMS", 302))
        self.mem = mem
        self._final(["+CPMS: %d,30,%d,30,%d,30" % ((len(self.store),) * 3)])

    # What a Huawei E3372 answers to the questions whose answer never changes.
    FIXED = {"AT+CGMI": "huawei", "AT+CGMM": "E3372", "AT+CGMR": "21.180.01.00.00", "AT+CGSN": "867009021234567",
             "AT+CIMI": "262011234567890", "AT+CSQ": "+CSQ: 15,99", "AT+CREG?": "+CREG: 0,1",
             "AT+COPS?": '+COPS: 0,0,"Telekom.de",7', "AT+CSCS?": '+CSCS: "GSM"',
             "AT+CSCS=?": '+CSCS: ("GSM","IRA","UCS2")', "AT+CPMS=?": '+CPMS: ("SM","ME"),("SM","ME"),("SM","ME")'}
    USSD = {"*100#": (1, "1 Balance, 2 Offers"), "1": (0, "Balance: 5.00 EUR")}

    def _cusd(self, text):
        status, answer = self.USSD[unpack7(text) if self.p.ussd_packed else text]
        self._final([])
        self._out('+CUSD: %d,"%s",15' % (status, pack7(answer) if self.p.ussd_packed else answer))

    COMMANDS = [
        (r"AT|AT\+CFUN=1|AT\^CURC=0|AT\^PORTSEL=1|AT\+CNMA|AT\+CUSD=2", lambda s: s._final([])),
        (r"ATE([01])", lambda s, on: s._set("echo", on == "1")),
        (r"AT\+CMEE=([012])", lambda s, n: s._set("cmee", int(n))),
        (r"AT\+CPIN\?", lambda s: s._final(["+CPIN: " + ("READY" if s.pin_ok else "SIM PIN")])),
        (r'AT\+CPIN="?(\d+)"?', _cpin),
        (r"AT\+CMGF=0", lambda s: s._final([])),
        (r"AT\+CMGS=(\d+)", lambda s, n: (setattr(s, "pending", int(n)), os.write(s.master, b"\r\n" + s.p.prompt))),
        (r"AT\+CMGL=(\d)", _cmgl),
        (r"AT\+CMGR=(\d+)", _cmgr),
        (r"AT\+CMGD=(\d+)(?:,(\d))?", _cmgd),
        (r"AT\+CMGD=\?", lambda s: s._final(["+CMGD: (1-30)" + (",(0-4)" if s.p.delete_flags else "")])),
        (r'AT\+CPMS="(\w\w)"(?:,"\w\w")*', _cpms),
        (r"AT\+CPMS\?",
         lambda s: s._final(['+CPMS: "{0}",{1},30,"SM",{1},30,"SM",{1},30'.format(s.mem, len(s.store))])),
        (r"AT\+CSCA\?", lambda s: s._final(['+CSCA: "%s",145' % s.smsc])),
        (r'AT\+CSCA="([+\d]+)"(?:,\d+)?', lambda s, number: s._set("smsc", number)),
        (r"AT\+CSMS\?", lambda s: s._final(["+CSMS: %d,1,1,1" % s.p.csms_service])),
        (r"AT\+CNMI=\?", lambda s: s._final([s.p.cnmi_test])),
        (r"AT\+CNMI=[\d,]+", lambda s: (s._final([]), s._out(*s.p.arrivals))),
        (r'AT\+CUSD=1,"([^"]*)",15', _cusd),
    ]
