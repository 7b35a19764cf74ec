"""A GSM modem on a pseudo-terminal, for the modem tests and for gammu: it speaks 3GPP TS 27.005/27.007 in PDU mode,
keeps a message store and remembers what it was sent. Each habit of a real modem is one field of a Personality, set
from the transcript it was seen in."""
import os
import re
import select
import threading
import tty

CTRL_Z, ESC = b"\x1a", b"\x1b"


def pack7(text):  # ASCII that the GSM alphabet shares, packed as 23.038 6.1.2.3 says, CR in seven spare bits
    septets = [ord(c) for c in text] + ([13] if len(text) % 8 == 7 else [])
    bits = n = 0
    out = bytearray()
    for s in septets:
        bits, n = bits | s << n, n + 7
        while n >= 8:
            out.append(bits & 0xFF)
            bits, n = bits >> 8, n - 8
    return (out + (bytes([bits]) if n else b"")).hex().upper()


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
        self.busy = 0                 # so many SIM commands get +CME ERROR: 14 first
        self.vanish_at_part = 0       # the port goes away when this send's PDU comes
        self.delete_flags = True      # AT+CMGD=? offers the delete flags
        self.cnmi_test = "+CNMI: (0-3),(0-3),(0-3),(0-2),(0,1)"
        self.csms_service = 0
        self.silent = False           # answers nothing at all
        self.arrivals = []            # unsolicited lines sent once new-message indications are set
        self.cut_listing = 0          # the +CMGL answer stops this many characters before its end
        self.ussd_packed = False      # USSD strings as packed 7-bit hex both ways (Huawei)
        for k, v in habits.items():
            if not hasattr(self, k):
                raise ValueError("no habit " + k)
            setattr(self, k, v)


CME_WORDS = {3: "operation not allowed", 4: "operation not supported", 11: "SIM PIN required",
             14: "SIM busy", 16: "incorrect password"}
CMS_WORDS = {321: "invalid memory index", 500: "unknown error", 302: "operation not allowed"}


class FakeModem:
    def __init__(self, personality=None, smsc="+491710760000"):
        self.p = personality or Personality()
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.device = os.ttyname(self.slave)
        self.echo, self.cmee, self.pdu_mode = True, 0, False
        self.pin_ok = not self.p.pin
        self.pin_tries = []
        self.busy_left = self.p.busy
        self.smsc = smsc
        self.stores = {"SM": {}, "ME": {}}  # per memory, index: [stat, pdu hex with SMSC field, TPDU length]
        self.mem = "SM"       # <mem1>, where listing, reading and deleting look
        self.sent = []        # the PDUs of AT+CMGS, as hex
        self.deleted = []
        self.received = []    # every command line, in order
        self.sends = 0
        self.reference = 16
        self.pending = None   # the AT+CMGS length while the prompt is out
        self.gone = False
        self._stop = False
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    # --- the store -------------------------------------------------------------------------------------------------
    @property
    def store(self):
        return self.stores[self.mem]

    def put(self, index, stat, pdu_hex, mem="SM"):
        smsc_octets = int(pdu_hex[:2], 16) + 1
        self.stores[mem][index] = [stat, pdu_hex, len(pdu_hex) // 2 - smsc_octets]

    def unsolicited(self, line):
        os.write(self.master, b"\r\n" + line.encode() + b"\r\n")

    def close(self):
        self._stop = True
        self._thread.join(5)
        for fd in (self.master, self.slave):
            try:
                os.close(fd)
            except OSError:
                pass

    # --- the dialogue ----------------------------------------------------------------------------------------------
    def _out(self, *lines):
        os.write(self.master, b"".join(b"\r\n" + l.encode() + b"\r\n" for l in lines))

    def _final(self, lines, result="OK", cut=0):
        lines = list(lines) + list(self.p.noise) + [result]
        data = b"".join(b"\r\n" + l.encode() + b"\r\n" for l in lines)
        os.write(self.master, data[:len(data) - cut])

    def _cme(self, code):
        if self.cmee == 2 or self.p.verbose_errors:
            return "+CME ERROR: " + CME_WORDS[code]
        return "+CME ERROR: %d" % code if self.cmee == 1 else "ERROR"

    def _cms(self, code):
        if self.cmee == 2 or self.p.verbose_errors:
            return "+CMS ERROR: " + CMS_WORDS[code]
        return "+CMS ERROR: %d" % code if self.cmee == 1 else "ERROR"

    def _serve(self):
        buf = b""
        while not self._stop and not self.gone:
            r, _, _ = select.select([self.master], [], [], 0.05)
            if not r:
                continue
            try:
                data = os.read(self.master, 4096)
            except OSError:  # no client has the port open
                continue
            buf += data
            while not self.gone:
                if self.pending is not None:
                    end = min([i for i in (buf.find(CTRL_Z), buf.find(ESC)) if i >= 0], default=-1)
                    if end < 0:
                        break
                    pdu, stop, buf = buf[:end], buf[end:end + 1], buf[end + 1:]
                    if self.echo or self.p.echo_after_ate0:
                        os.write(self.master, pdu + stop)
                    length, self.pending = self.pending, None
                    if stop == CTRL_Z:
                        self._sent(pdu.decode(errors="replace").strip(), length)
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

    def _sent(self, pdu, length):
        self.sends += 1
        if self.sends == self.p.vanish_at_part:
            self.gone = True
            os.close(self.master)
            self.master = os.open("/dev/null", os.O_RDWR)  # the closed end; nothing reads it
            return
        if self.sends == self.p.refuse_part:
            return self._final([], self._cms(500))
        self.sent.append(pdu.upper())
        self.reference = (self.reference + 1) % 256
        self._final(["+CMGS: %d" % self.reference])

    def _stored_lines(self, index, with_index):
        stat, pdu, length = self.store[index]
        if self.p.cmgl_counts_smsc:
            length = len(pdu) // 2
        head = "+CMGL: %d,%d,,%d" % (index, stat, length) if with_index else "+CMGR: %d,,%d" % (stat, length)
        return [head, pdu]

    def _command(self, line):
        u = line.upper()
        sim = u.startswith(("AT+CMG", "AT+CPMS", "AT+CPIN?", "AT+CSCA", "AT+CNMI"))
        if sim and self.busy_left > 0:
            self.busy_left -= 1
            return self._final([], self._cme(14))
        if sim and not self.pin_ok and not u.startswith("AT+CPIN"):
            return self._final([], self._cme(11))
        for pattern, handler in self.COMMANDS:
            m = re.fullmatch(pattern, line, re.I)
            if m:
                return handler(self, *m.groups())
        self._final([], "ERROR")

    def _ate(self, on):
        self.echo = on == "1"
        self._final([])

    def _cmee(self, n):
        self.cmee = int(n)
        self._final([])

    def _cpin_query(self):
        self._final(["+CPIN: " + ("READY" if self.pin_ok else "SIM PIN")])

    def _cpin(self, pin):
        self.pin_tries.append(pin)
        if self.pin_ok:
            return self._final([], self._cme(3))
        if pin != self.p.pin:
            return self._final([], self._cme(16))
        self.pin_ok = True
        self._final([])

    def _cmgf(self, n):
        self.pdu_mode = n == "0"
        self._final([])

    def _cmgs(self, length):
        self.pending = int(length)
        os.write(self.master, b"\r\n" + self.p.prompt)

    def _cmgl(self, stat):
        lines = []
        for i in sorted(self.store):
            if int(stat) == 4 or self.store[i][0] == int(stat):
                lines += self._stored_lines(i, True)
                if self.store[i][0] == 0:
                    self.store[i][0] = 1
        self._final(lines, cut=self.p.cut_listing)

    def _cmgr(self, index):
        i = int(index)
        if i not in self.store:
            return self._final([], self._cms(321))
        lines = self._stored_lines(i, False)
        if self.store[i][0] == 0:
            self.store[i][0] = 1
        self._final(lines)

    def _cmgd(self, index, flag):
        flag = int(flag or 0)
        if flag and not self.p.delete_flags:
            return self._final([], self._cms(302))
        doomed = [int(index)] if flag == 0 else [i for i, m in self.store.items()
                                                 if flag == 4 or (flag == 1 and m[0] == 1)]
        if flag == 0 and int(index) not in self.store:
            return self._final([], self._cms(321))
        for i in doomed:
            del self.store[i]
            self.deleted.append(i)
        self._final([])

    def _cmgd_test(self):
        self._final(["+CMGD: (1-30)" + (",(0-4)" if self.p.delete_flags else "")])

    def _cpms(self, mem):
        if mem not in self.stores:
            return self._final([], self._cms(302))
        self.mem = mem
        n = len(self.store)
        self._final(['+CPMS: %d,30,%d,30,%d,30' % (n, n, n)])

    def _cpms_query(self):
        n = len(self.store)
        self._final(['+CPMS: "%s",%d,30,"SM",%d,30,"SM",%d,30' % (self.mem, n, n, n)])

    def _csca_query(self):
        self._final(['+CSCA: "%s",%d' % (self.smsc, 145 if self.smsc.startswith("+") else 129)])

    def _csca(self, number):
        self.smsc = number
        self._final([])

    USSD = {"*100#": (1, "1 Balance, 2 Offers"), "1": (0, "Balance: 5.00 EUR")}

    def _cusd(self, text):
        if self.p.ussd_packed:
            text = unpack7(text)
        status, answer = self.USSD.get(text, (4, ""))
        self._final([])
        if not answer:
            return self._out("+CUSD: %d" % status)
        self._out('+CUSD: %d,"%s",15' % (status, pack7(answer) if self.p.ussd_packed else answer))

    COMMANDS = [
        (r"AT", lambda s: s._final([])),
        (r"ATE([01])", _ate),
        (r"ATZ|AT&F|ATV1|AT\+CFUN=1|AT\^CURC=0|AT\^PORTSEL=1", lambda s: s._final([])),
        (r"AT\+CSCS\?", lambda s: s._final(['+CSCS: "GSM"'])),
        (r"AT\+CSCS=\?", lambda s: s._final(['+CSCS: ("GSM","IRA","UCS2")'])),
        (r'AT\+CSCS="(GSM|IRA|UCS2)"', lambda s, _: s._final([])),
        (r"AT\+CMEE=([012])", _cmee),
        (r"AT\+CPIN\?", _cpin_query),
        (r'AT\+CPIN="?(\d+)"?', _cpin),
        (r"AT\+CMGF=([01])", _cmgf),
        (r"AT\+CMGF=\?", lambda s: s._final(["+CMGF: (0,1)"])),
        (r"AT\+CMGS=(\d+)", _cmgs),
        (r"AT\+CMGL=(\d)", _cmgl),
        (r"AT\+CMGR=(\d+)", _cmgr),
        (r"AT\+CMGD=(\d+)(?:,(\d))?", _cmgd),
        (r"AT\+CMGD=\?", _cmgd_test),
        (r'AT\+CPMS="(\w\w)"(?:,"\w\w")*', _cpms),
        (r"AT\+CPMS\?", _cpms_query),
        (r"AT\+CPMS=\?", lambda s: s._final(['+CPMS: ("SM","ME"),("SM","ME"),("SM","ME")'])),
        (r"AT\+CSCA\?", _csca_query),
        (r'AT\+CSCA="([+\d]+)"(?:,\d+)?', _csca),
        (r"AT\+CGMI|ATI3|AT\+GMI", lambda s: s._final(["huawei"])),
        (r"AT\+CGMM|AT\+GMM", lambda s: s._final(["E3372"])),
        (r"AT\+CGMR|AT\+GMR", lambda s: s._final(["21.180.01.00.00"])),
        (r"AT\+CGSN|AT\+GSN", lambda s: s._final(["867009021234567"])),
        (r"AT\+CIMI", lambda s: s._final(["262011234567890"])),
        (r"AT\+CSQ", lambda s: s._final(["+CSQ: 15,99"])),
        (r"AT\+CREG\?", lambda s: s._final(["+CREG: 0,1"])),
        (r"AT\+COPS\?", lambda s: s._final(['+COPS: 0,0,"Telekom.de",7'])),
        (r"AT\+CSMS\?", lambda s: s._final(["+CSMS: %d,1,1,1" % s.p.csms_service])),
        (r"AT\+CNMI=\?", lambda s: s._final([s.p.cnmi_test])),
        (r"AT\+CNMI=[\d,]+", lambda s: (s._final([]), s._out(*s.p.arrivals))),
        (r"AT\+CNMA", lambda s: s._final([])),
        (r'AT\+CUSD=1,"([^"]*)",15', _cusd),
        (r"AT\+CUSD=2", lambda s: s._final([])),
    ]
