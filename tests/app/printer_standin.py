#!/usr/bin/env python3
"""A network printer stand-in on loopback (AppSocket, one port) that answers
PJL as its --script says and counts each job's pages with the project's
reader. Scripts: ready, toner-low, paper-out (6 s once pages come), door-open
(5 s from the first connection), noise around answers, silence, stall (stops
reading after 64 KB), close (at once), refuse (until --back-when exists or
--back-after s), xl-error. With
--snmp-port-file it also serves a supplies table over SNMP v1/v2c. Its port
goes into --port-file once it is ready; it ends by itself after --lifetime
seconds. Events go to standard error, jobs into --save.
"""
import argparse
import os
import random
import re
import socket
import subprocess
import sys
import threading
import time

UEL = b"\x1b%-12345X"
args = None
started = time.monotonic()
job_count = 0
lock = threading.Lock()
# Lifetime pages of this printer.
pagecount = 1000
# The door-open script's door closes 5 s after the first connection.
door_closes = float("inf")


def log(text):
    print(f"standin[{args.script}] {time.monotonic() - started:.2f}s {text}",
          file=sys.stderr, flush=True)


def count_pages(path):
    out = subprocess.run([args.reader, "dump", "--summary", path],
                         capture_output=True, text=True, timeout=30).stdout
    m = re.search(r"^pages: (\d+)", out, re.M)
    return int(m.group(1)) if m else 0


MID_JOB = {"paper-out": (41102, "LOAD TRAY 2 PLAIN A4")}
STATUS = {
    "ready": (10001, "READY"),
    "toner-low": (10006, "TONER LOW"),
    "door-open": (40021, "CLOSE FRONT DOOR"),
}


class Connection:
    def __init__(self, sock):
        self.sock = sock
        self.data = bytearray()
        self.pos = 0
        self.mode = "pjl"
        self.ustatus = set()
        self.job_name = None
        self.job_start = 0
        self.xl_bytes = 0
        self.mid_done = False

    def send(self, text):
        if args.script == "silence":
            return
        payload = text.encode() if isinstance(text, str) else text
        if args.script == "noise":
            payload = bytes(random.randrange(256) for _ in range(37)).replace(b"@", b"#") + \
                payload + b"\r\n\x00garbage @PJ"
        try:
            self.sock.sendall(payload)
        except OSError:
            pass

    def status_code(self):
        if args.script == "door-open" and time.monotonic() < door_closes:
            return STATUS["door-open"]
        return STATUS.get(args.script, STATUS["ready"])

    def device_status(self, code, display):
        if "DEVICE" in self.ustatus:
            self.send(f'@PJL USTATUS DEVICE\r\nCODE={code}\r\nDISPLAY="{display}"\r\n'
                      f'ONLINE=TRUE\r\n\f')

    def command(self, line):
        words = line.upper().split()
        if len(words) < 2:
            return
        if words[1] == "INFO" and len(words) > 2:
            what = words[2]
            if what == "ID":
                self.send('@PJL INFO ID\r\n"Stand-in Laser 4000"\r\n\f')
            elif what == "CONFIG":
                self.send("@PJL INFO CONFIG\r\nIN TRAYS [2 ENUMERATED]\r\n\tINTRAY1 MP\r\n"
                          "\tINTRAY2 PC\r\nDUPLEX\r\nOUTPUT BINS [1 ENUMERATED]\r\n\tUPPER\r\n"
                          "MEMORY=67108864\r\n\f")
            elif what == "STATUS":
                code, display = self.status_code()
                self.send(f'@PJL INFO STATUS\r\nCODE={code}\r\nDISPLAY="{display}"\r\n'
                          f'ONLINE=TRUE\r\n\f')
            elif what == "PAGECOUNT":
                self.send(f"@PJL INFO PAGECOUNT\r\nPAGECOUNT={pagecount}\r\n\f")
        elif words[1] == "USTATUS" and len(words) > 2 and "=" in words[2]:
            name, value = words[2].split("=", 1)
            if value == "ON":
                self.ustatus.add(name)
        elif words[1] == "JOB":
            m = re.search(r'NAME="([^"]*)"', line)
            if m:
                self.job_name = m.group(1)
                self.job_start = self.pos
                log(f"job start {self.job_name}")
                if "JOB" in self.ustatus:
                    self.send(f'@PJL USTATUS JOB\r\nSTART\r\nNAME="{self.job_name}"\r\n\f')
                if args.script == "door-open" and time.monotonic() < door_closes:
                    self.device_status(*STATUS["door-open"])
                    threading.Timer(door_closes - time.monotonic(), self.device_status,
                                    (10001, "READY")).start()
        elif words[1] == "EOJ":
            m = re.search(r'NAME="([^"]*)"', line)
            if m and m.group(1) == self.job_name:
                self.end_job(bytes(self.data[self.job_start:]))
                self.job_name = None

    def end_job(self, job):
        global job_count, pagecount
        with lock:
            job_count += 1
            n = job_count
        name = os.path.basename(args.port_file).rsplit(".", 1)[0]
        path = os.path.join(args.save, f"{name}-job{n}.prn")
        with open(path, "wb") as f:
            f.write(job)
        pages = count_pages(path)
        # Nothing prints while the door is open.
        if args.script == "door-open" and time.monotonic() < door_closes:
            time.sleep(max(0.0, min(door_closes - time.monotonic(), 6)))
            self.device_status(10001, "READY")
        log(f"job {n} received: {len(job)} bytes, {pages} pages")
        if args.script == "xl-error":
            self.send("PCL XL error\r\n    Subsystem:  KERNEL\r\n    Error:      "
                      "IllegalOperatorSequence\r\n    Operator:   ReadImage\r\n"
                      "    Position:   2048\r\n\r\n")
        for page in range(1, pages + 1):
            if "PAGE" in self.ustatus:
                self.send(f"@PJL USTATUS PAGE\r\n{page}\r\n\f")
        pagecount += pages
        if "JOB" in self.ustatus and self.job_name:
            self.send(f'@PJL USTATUS JOB\r\nEND\r\nNAME="{self.job_name}"\r\nPAGES={pages}\r\n\f')

    def mid_job(self):
        """A condition that strikes for 6 s once the job's pages are coming."""
        if self.xl_bytes < 4096 or self.mid_done or args.script not in MID_JOB:
            return
        self.mid_done = True
        self.device_status(*MID_JOB[args.script])
        log(f"{args.script} for 6 s")
        time.sleep(6)
        self.device_status(10023, "PRINTING")

    def parse(self):
        while True:
            if self.mode == "pjl":
                eol = self.data.find(b"\n", self.pos)
                if eol < 0:
                    return
                line = bytes(self.data[self.pos:eol]).replace(UEL, b"").strip()
                self.pos = eol + 1
                text = line.decode("latin-1")
                if text.upper().startswith("@PJL ENTER LANGUAGE"):
                    self.mode = "xl"
                elif text.startswith("@PJL"):
                    self.command(text)
            else:
                uel = self.data.find(UEL, self.pos)
                end = uel if uel >= 0 else len(self.data)
                self.xl_bytes += end - self.pos
                self.pos = end
                self.mid_job()
                if uel < 0:
                    return
                self.mode = "pjl"

    def run(self):
        total = 0
        try:
            while True:
                chunk = self.sock.recv(65536)
                if not chunk:
                    break
                total += len(chunk)
                self.data += chunk
                self.parse()
                if args.script == "stall" and total >= 65536:
                    log(f"stops reading after {total} bytes")
                    time.sleep(args.lifetime)
                    return
        except OSError:
            pass
        if self.job_name is None and args.script == "silence" and self.xl_bytes:
            self.end_job(bytes(self.data))
        log(f"connection closed after {total} bytes")
        self.sock.close()


# SNMP: just enough BER for GET and GETNEXT of a fixed table.
SUPPLIES = "1.3.6.1.2.1.43.11.1.1"
# Columns 3 (colorant), 4 (class), 5 (type), 6 (name), 8 (capacity) and 9
# (level) of each supply row.
MIB = {f"{SUPPLIES}.{column}.1.{row}": value
       for row, values in enumerate([(1, 3, 3, b"Black Toner Cartridge", 2000, 800),
                                     (0, 4, 4, b"Waste Toner Box", -2, -3),
                                     (0, 3, 9, b"Imaging Drum", 100, 85)], 1)
       for column, value in zip((3, 4, 5, 6, 8, 9), values)}
MIB["1.3.6.1.2.1.43.12.1.1.4.1.1"] = b"black"


def oid_key(text):
    return tuple(int(x) for x in text.split("."))


def tlv(tag, body):
    n = len(body)
    size = bytes([n]) if n < 128 else bytes([0x81, n]) if n < 256 else \
        bytes([0x82]) + n.to_bytes(2, "big")
    return bytes([tag]) + size + body


def ber_int(v, tag=0x02):
    return tlv(tag, v.to_bytes(max(1, (v.bit_length() + 8) // 8), "big", signed=True))


def ber_oid(arcs):
    body = bytes([40 * arcs[0] + arcs[1]])
    for a in arcs[2:]:
        chunk = [a & 0x7F]
        a >>= 7
        while a:
            chunk.append(0x80 | (a & 0x7F))
            a >>= 7
        body += bytes(reversed(chunk))
    return tlv(0x06, body)


def ber_read(data, pos):
    tag = data[pos]
    n = data[pos + 1]
    pos += 2
    if n & 0x80:
        k = n & 0x7F
        n = int.from_bytes(data[pos:pos + k], "big")
        pos += k
    return tag, data[pos:pos + n], pos + n


def parse_oid(body):
    arcs = [body[0] // 40, body[0] % 40]
    v = 0
    for b in body[1:]:
        v = (v << 7) | (b & 0x7F)
        if not b & 0x80:
            arcs.append(v)
            v = 0
    return tuple(arcs)


def snmp_answer(packet):
    _, message, _ = ber_read(packet, 0)
    _, version, pos = ber_read(message, 0)
    _, community, pos = ber_read(message, pos)
    pdu_tag, pdu, _ = ber_read(message, pos)
    _, request_id, p = ber_read(pdu, 0)
    _, _, p = ber_read(pdu, p)
    _, _, p = ber_read(pdu, p)
    _, varbinds, _ = ber_read(pdu, p)
    keys = sorted(oid_key(k) for k in MIB)
    out, p, error = b"", 0, 0
    while p < len(varbinds):
        _, vb, p = ber_read(varbinds, p)
        _, name, _ = ber_read(vb, 0)
        asked = parse_oid(name)
        if pdu_tag == 0xA1:  # GETNEXT
            found = next((k for k in keys if k > asked), None)
        else:
            found = asked if asked in keys else None
        if found is None:
            if version[-1] == 0:
                error = 2  # noSuchName
                out += tlv(0x30, ber_oid(asked) + b"\x05\x00")
            else:
                out += tlv(0x30, ber_oid(asked) + b"\x82\x00")  # endOfMibView
            continue
        value = MIB[".".join(map(str, found))]
        encoded = tlv(0x04, value) if isinstance(value, bytes) else ber_int(value)
        out += tlv(0x30, ber_oid(found) + encoded)
    body = tlv(0x02, request_id) + ber_int(error) + ber_int(1 if error else 0) + tlv(0x30, out)
    return tlv(0x30, tlv(0x02, version) + tlv(0x04, community) + tlv(0xA2, body))


def bind(kind, port_file):
    """A socket on a free loopback port, named in port_file once bound."""
    sock = socket.socket(socket.AF_INET, kind)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    # A small receive buffer, so that a printer that stops reading is felt.
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16384)
    sock.bind(("127.0.0.1", 0))
    with open(port_file + ".tmp", "w") as f:
        f.write(f"{sock.getsockname()[1]}\n")
    os.rename(port_file + ".tmp", port_file)
    return sock


def serve_snmp(port_file):
    udp = bind(socket.SOCK_DGRAM, port_file)
    while True:
        packet, peer = udp.recvfrom(4096)
        try:
            udp.sendto(snmp_answer(packet), peer)
        except (IndexError, ValueError) as e:
            log(f"bad SNMP request: {e}")


def main():
    global args, door_closes
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--reader", required=True)
    parser.add_argument("--lifetime", type=float, default=60)
    parser.add_argument("--save", default=".")
    parser.add_argument("--back-after", type=float, default=4)
    parser.add_argument("--back-when")
    parser.add_argument("--snmp-port-file")
    args = parser.parse_args()
    if args.snmp_port_file:
        threading.Thread(target=serve_snmp, args=(args.snmp_port_file,), daemon=True).start()
    threading.Timer(args.lifetime, lambda: os._exit(0)).start()

    server = bind(socket.SOCK_STREAM, args.port_file)
    port = server.getsockname()[1]
    if args.script == "refuse":
        # Bound but not listening: connections are refused.
        log("refusing connections")
        until = time.monotonic() + args.back_after
        while time.monotonic() < until and not (args.back_when and os.path.exists(args.back_when)):
            time.sleep(0.05)
        log("back")
    server.listen(8)
    log(f"listening on 127.0.0.1:{port}")
    while True:
        sock, _ = server.accept()
        if door_closes == float("inf"):
            door_closes = time.monotonic() + 5
        if args.script == "close":
            log("closes a connection at once")
            sock.close()
            continue
        threading.Thread(target=Connection(sock).run, daemon=True).start()


if __name__ == "__main__":
    main()
