"""The fake modem certified by a client nobody here wrote: gammu's AT driver identifies it, reads its store and sends
through it, and what gammu shows and sends is what the fake holds. Then smspdu reads the part gammu sent.
Usage: gammu_peer_test.py GAMMU SMSPDU"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fake_modem_test_support import FakeModem, check, failures  # noqa: E402

GAMMU, SMSPDU = sys.argv[1], sys.argv[2]
HOW = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07"  # "How are you?", a tutorial's


def gammu(config, *args):
    p = subprocess.run([GAMMU, "-c", config] + list(args), capture_output=True, timeout=120)
    return p.returncode, p.stdout.decode()


fake = FakeModem()
try:
    fake.put(3, 1, HOW)
    with tempfile.NamedTemporaryFile("w", suffix=".gammurc", delete=False) as f:
        f.write("[gammu]\ndevice = %s\nconnection = at\n" % fake.device)
        config = f.name
    check("gammu", "identify", gammu(config, "identify"),
          (0, "Device               : %s\nManufacturer         : Huawei\nModel                : E3372 (E3372)\n"
              "Firmware             : 21.180.01.00.00\nIMEI                 : 867009021234567\n"
              "SIM IMSI             : 262011234567890\n" % fake.device))
    # gammu numbers SIM locations from 1 where the modem's first index is 0, so index 3 is its location 4.
    check("gammu", "getallsms", gammu(config, "getallsms"),
          (0, 'Location 4, folder "Inbox", SIM memory, Inbox folder\nSMS message\nSMSC number          : '
              '"+31624000000"\nSent                 : Mon Aug 26 19:37:41 2002 +0000\nCoding               : '
              'Default GSM alphabet (no compression)\nRemote number        : "+31641600986"\nStatus               : '
              'Read\n\nHow are you?\n\n\n\n1 SMS parts in 1 SMS sequences\n'))
    code, _ = gammu(config, "sendsms", "TEXT", "+491701234567", "-text", "Hello from gammu")
    check("gammu", "sendsms exit code", code, 0)
    check("gammu", "sendsms parts", len(fake.sent), 1)
    # What gammu sent, read by our parser: the recipient and the text gammu was given.
    p = subprocess.run([SMSPDU, "parse"] + fake.sent[:1], capture_output=True, timeout=60)
    lines = p.stdout.decode().splitlines()
    check("gammu", "sent recipient", [l for l in lines if l.startswith("to: ")], ["to: +491701234567"])
    check("gammu", "sent text", [l for l in lines if l.startswith("text: ")], ["text: Hello from gammu"])
    os.unlink(config)
finally:
    fake.close()
print("\n".join(failures) or "gammu agrees with the fake modem")
sys.exit(1 if failures else 0)
