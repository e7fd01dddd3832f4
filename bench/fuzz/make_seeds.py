#!/usr/bin/env python3
"""Writes the seed corpora under bench/fuzz/corpus/, one folder per target. The seeds are
the inputs the unit tests use (frames, settings files, language files, requests, mail
server replies, KML), in the byte layout each target reads. Run it again after changing a
target's input layout; the files are committed."""
import os
import struct
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")

def crc16_modbus(data):
    crc = 0xFFFF
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc

def zor_response(code, payload, source=5):
    head = bytes([0, source, code]) + struct.pack("<h", len(payload)) + payload
    crc = crc16_modbus(head)
    return head + bytes([crc >> 8, crc & 0xFF])

def range_reply(data):
    head = bytes([0x65, 3, len(data)]) + data
    crc = crc16_modbus(head)
    return head + bytes([crc & 0xFF, crc >> 8])

def utf16(text):
    return b"\xff\xfe" + text.encode("utf-16-le")

def utf16be(text):
    return b"\xfe\xff" + text.encode("utf-16-be")

def default_params(number=b"ZOR-0042"):
    p = bytearray(182)
    p[10] = 99
    p[12:12 + len(number)] = number
    struct.pack_into("<HHHB", p, 64, 2, 100, 100, 7)
    struct.pack_into("<ffff", p, 72, 1.0, 0.0, 0.0, 0.0)
    struct.pack_into("<hh", p, 88, 1000, 0)
    struct.pack_into("<ffffff", p, 108, 10000.0, 500.0, 10.0, 0.0, 10000.0, 500.0)
    p[134] = 5
    struct.pack_into("<dd", p, 152, 59.93, 30.31)
    return bytes(p)

def records(*values):
    return b"".join(struct.pack("<ff", s, b) for s, b in values)

STATE = bytes([0, 1, 0, 0]) + struct.pack("<hhhhhHf", 1013, 215, 120, 0, 0, 0, 3.5)
SHORT_STATE = bytes([0, 0, 0, 0, 9, 250, 32, 101, 0xF6, 3])

# Index of the command code in the target's table: 1, 2, 3, 5, 6, 56, 57.
CODE_INDEX = {1: 0, 2: 1, 3: 2, 5: 3, 6: 4, 56: 5, 57: 6}

def zor(code, frame, flags=0):
    return bytes([CODE_INDEX[code], flags]) + frame

SEEDS = {
    "zor_response": {
        "check_link": zor(1, zor_response(1, b"")),
        "state_alarm": zor(2, zor_response(2, STATE)),
        "state_short": zor(2, zor_response(2, SHORT_STATE)),
        "range_finder": zor(3, range_reply(b"\x0b\xb8")),
        "contr_type": zor(5, zor_response(5, bytes([5, 2, 0, 1]))),
        "params": zor(6, zor_response(6, default_params())),
        "data_alarm": zor(56, zor_response(56, records((100.0, 1.0), (500.1, 2.0))), 0x04),
        "data_partial": zor(56, zor_response(56, records((10.0, 1.0), (20.0, 1.0)) + b"\x01")),
        "state_data": zor(57, zor_response(57, STATE * 3)),
        "state_data_short": zor(57, zor_response(57, SHORT_STATE + records(*[(float(i), 0.0) for i in range(9)]) + b"\x00\x00")),
        "length_600": zor(56, bytes([0, 5, 56]) + struct.pack("<h", 600) + b"\x00" * 4),
        "negative_length": zor(2, bytes([0, 5, 2]) + struct.pack("<h", -3) + b"\x00\x00"),
        "bad_crc": zor(2, zor_response(2, STATE)[:-1] + b"\x00"),
        "nan_thresholds": zor(56, struct.pack("<ff", float("nan"), 10000.0) + zor_response(56, records((600.0, 1.0))), 0x02),
    },
    "zor_params": {
        "default": b"\x00" + default_params(),
        "old_layout": b"\x00" + default_params()[:88] + bytes([3, 2]) + default_params()[90:102] + default_params()[104:],
        "long_number": b"\x01" + default_params(b"ABCDEFGHIJKLMNOPQRST") + "Pier \u041f 1".encode(),
        "no_terminator": b"\x00" + default_params()[:12] + b"N" * 48 + default_params()[60:],
        "flags": b"\x00" + bytes(b if i not in (62, 63, 106) else 0xFF for i, b in enumerate(default_params())),
    },
    "ini_document": {
        "utf16_edit": b"Zor-01\x01sName\x01Pier 2\x01" + utf16("[General]\r\nkey=value\r\n\r\n[Zor-01]\r\nsName = \"Pier 1\"\r\n"),
        "utf16be": b"S\x01k\x01v\x01" + utf16be("; comment\r\n[S]\r\nk=old\r\n"),
        "ansi": b"S\x01k\x01Gr\xc3\xbc\xc3\x9fe\x01" + b"[S]\nk=Gr\xfc\xdfe\n[T]\ra=1",
        "utf8_bom": b"T\x01a\x01\xe2\x82\xac\x01" + b"\xef\xbb\xbf[T]\r\na=\xe2\x82\xac\xf0\x9f\x98\x80\r\n",
        "broken_utf16": b"S\x01k\x01v\x01" + b"\xff\xfe" + "[S]\r\n".encode("utf-16-le") + b"\x00\xd8\x41\x00\r\x00\n\x00",
        "odd_names": b"[x]\x01=\x01v\x01" + utf16("[S]\r\n a =1\r\n=2\r\nb\r\nc=3=4\r\n[ s ]\r\n"),
    },
    "ini_file": {
        "settings": b"\x80" + utf16("[ZorManagerWnd]\r\nbHttpServ=1\r\nsmtp_port=465\r\n[Zor-01]\r\nsName=Pier 1\r\nDevParams=0A0B0C\r\n"),
        "codepage_1251": b"\x81" + b"[Codepage]\r\ncodepage=1251\r\n[Menu]\r\ntpMenu_Exit=\xC2\xFB\xF5\xEE\xE4\r\n",
        "codepage_bad": b"\x02" + b"[Codepage]\r\ncodepage=99999\r\n[S]\r\nk=\xC4\r\n",
        "ansi_utf8": b"\x83" + b"[S]\nk=Gr\xc3\xbc\xc3\x9fe\nn=0x1F\nd=-2.5e3\nb=yes\n",
        "numbers": b"\x00" + utf16("[N]\r\nhex=0xFFFFFFFF\r\nneg=-1\r\nbig=99999999999\r\nf=1e309\r\nblock=00ff10\r\nodd=abc\r\n"),
    },
    "text_file": {
        "utf16le": b"\x00" + utf16("<li><dt> 12:00:00 Start</li>\r\n\u041f\u0440\u0438\u0432\u0435\u0442\r\n"),
        "utf16be": b"\x01" + utf16be("line 1\nline 2\r\n\U0001F600"),
        "utf8": b"\x02" + b"\xef\xbb\xbfa\r\nb\rc\n",
        "ansi": b"\x00" + b"caf\xe9\r\nGr\xc3\xbc\xc3\x9fe\r\n",
        "lone_surrogate": b"\x01" + b"\xff\xfe" + b"\x00\xd8a\x00\r\x00\n\x00" + b"\x00\xdc",
        "two_marks": b"\x02" + utf16("\ufeffx\r\n"),
    },
    "language_file": {
        "russian": b"\x00" + b"[Codepage]\r\ncodepage=1251\r\n[Menu]\r\ntpMenu_Exit=\xC2\xFB\xF5\xEE\xE4\r\n",
        "utf16": b"\x02" + utf16("[Default]\r\ntpDeviceStatus_Connection=Verbindung\r\n[ZorDevice]\r\ntpZorDevice_Parse_packet=Paket %s\r\n"),
        "template_refresh": b"\x05" + utf16("[Menu]\r\ntpMenu_Exit=Ende\r\n[common_translations]\r\ntpCp_DeviceAddress=Adresse\\r\\n\r\n"),
        "no_codepage": b"\x00" + b"[Menu]\r\ntpMenu_Exit=x\r\n",
    },
    "mls_format": {
        "text_int": b"\x00" + "%s: -> %d".encode(),
        "reordered": b"\x00" + b"%d: %s",
        "parse_line": b"\x01" + "\r\n%s: [%s, %d %s]".encode(),
        "crc_line": b"\x02" + b"Addr:%d(=%d?), blSize:%d(=%d?), Cmnd:%d(=%d?), Crc:%d(=%d?)",
        "float": b"\x03" + b"%-12.8f %s %.3lf",
        "star": b"\x03" + b"%*.*f %s %n",
        "percent": b"\x04" + b"%d%% %s %u %",
        "hex": b"\x05" + b"%.02X, %5.1lf m %ld",
    },
    "http_request": {
        "preview": b"GET /index.html HTTP/1.0\r\n\r\n",
        "root_keep_alive": b"GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n",
        "device_list": b"GET /device-list HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
        "encoded_name": b"GET /Pier%202/Pier%202.kml HTTP/1.0\r\n\r\n",
        "traversal": b"GET /../secret.txt HTTP/1.0\r\n\r\n",
        "double_escape": b"GET /%252e%252e/secret.txt HTTP/1.0\r\n\r\n",
        "symlink": b"GET /out.txt HTTP/1.0\r\n\r\n",
        "post": b"POST /index.html HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc",
        "no_space": b"GARBAGE\r\n\r\n",
        "pipelined": b"GET / HTTP/1.0\r\n\r\nGET /up/secret.txt HTTP/1.0\r\n\r\n",
    },
    "smtp_reply": {
        "ehlo": b"250-mail.example.org\r\n250-PIPELINING\r\n250-AUTH LOGIN PLAIN CRAM-MD5 DIGEST-MD5\r\n250-AUTH=LOGIN\r\n250 STARTTLS\r\n",
        "greeting": b"220 mail.example.org ESMTP\r\n",
        "refused": b"550 5.7.1 <b>Relaying denied</b>\r\n",
        "cram": b"334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n",
        "digest": b"334 cmVhbG09ImVsd29vZC5pbm5vc29mdC5jb20iLG5vbmNlPSJPQTZNRzl0RVFHbTJoaCIscW9wPSJhdXRoIixhbGdvcml0aG09bWQ1LXNlc3MsY2hhcnNldD11dGYtOA==\r\n",
        "digest_plain": b"realm=\"r.example\",nonce=\"n1\",qop=\"auth\"",
        "unterminated": b"nonce=\"n\",realm=\"unterminated",
        "incomplete": b"250-first\r\n250 last",
    },
    "xml_doc": {
        "kml": b"\x02" + b"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document id=\"d\"><name>ZorManager</name><Placemark id=\"p1\"><name>Pier 1</name><description><![CDATA[<b>x</b>]]></description><Point><coordinates>30.31,59.93,0</coordinates></Point></Placemark></Document></kml>\n",
        "bom": b"\x00" + b"\xEF\xBB\xBF<?xml version='1.0'?>\n<a  x='1'>t &apos;q&apos;<!-- c --><b/></a>",
        "latin1_file": b"\x01" + b"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xE9</r>",
        "utf16_file": b"\x03" + utf16("<?xml version=\"1.0\"?><r a=\"\u20ac\"><c/></r>"),
        "html_meta": b"\x01" + b"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\"></head><body>\xC2</body></html>",
        "broken": b"\x00" + b"<kml><Document><name>x</Document>",
        "remove": b"\x0a" + b"<r><a/><b/></r>",
    },
    "settings": {
        "full": utf16("[ZorManagerWnd]\r\nwp=2C000000000000000100000000000000FFFFFFFFFFFFFFFF3C0000003C000000E8040000F8020000\r\n"
                      "bHttpServ=1\r\nbAlarmMails=1\r\nsMailRecipients=duty@example.org;ops@example.org\r\nsmtp_server=127.0.0.1\r\nsmtp_port=2525\r\nsmtp_sec=0\r\n"
                      "udp_ip_address=127.0.0.1\r\nCurrent Lang=English\r\n"
                      "[Zor-01]\r\nsName=Pier 1\r\nsLinkType=TCP/IP\r\ncrColor=255\r\nbScanning=1\r\nnPause=2\r\ndDegLat=59.930000\r\ndDegLon=30.310000\r\n"
                      "DevParams=" + default_params().hex().upper() + "\r\n"
                      "[Zor-01::XSocket]\r\nsAddress=127.0.0.1\r\nnPort=11221\r\nnTimeOut=2000\r\n"
                      "[Zor-01::ComPort]\r\nsPortName=/dev/ttyUSB0\r\nCPBaudRate=57600\r\nCPByteSize=8\r\nCPStopBits=0\r\nCPParity=0\r\n"),
        "odd_values": utf16("[ZorManagerWnd]\r\nwp=00\r\nsmtp_port=abc\r\nbHttpServ=yes\r\nsmtp_pass=\" secret \"\r\n"
                            "[Zor-01]\r\nsName=  Pier <b>&\"1\"  \r\nnPause=-5\r\ndDegLat=nan\r\nDevParams=0102\r\nCommParams=FFFF\r\nsUpdFreq=x\r\n"),
        "ansi": b"[ZorManagerWnd]\nsmtp_login=d\xfcty\n[Zor-01]\nsName=K\xc3\xb6ln\nsLinkType=COM\n",
    },
}

def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(ROOT, target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0

if __name__ == "__main__":
    sys.exit(main())
