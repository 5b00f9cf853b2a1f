#!/usr/bin/env python3
"""A local stand-in for the courier-tracking web service.

Answers the two requests of the courier lookup on 127.0.0.1, both as an
origin server ("GET /query?... HTTP/1.1") and as an HTTP proxy ("GET
http://any.host/query?... HTTP/1.1"):

  GET /autonumber/auto?num=NUMBER
      company detection: [{"comCode":"yunda",...}], or [] for no company
  GET /query?type=CODE&postid=NUMBER&id=1&valicode=&temp=...
      tracking query: {"message":"ok","nu":...,"data":[events, newest first]}

The parcels come from a JSON data file (tools/parcels.json by default).
Every service request is recorded; the records are served at
GET /__requests and cleared by POST /__requests/clear (those two are not
recorded themselves). With --log FILE every request line is also appended to
FILE, one per line, bytes outside ASCII written as \\xNN.

    python3 tools/standin_service.py [--port N] [--data FILE] [--log FILE]
                                     [--verbose]

The first line printed is "listening on http://127.0.0.1:PORT"; the sample
numbers follow, one per line, each prefixed by "sample: ". SIGINT and
SIGTERM stop the service (exit status 0).
"""

import argparse
import json
import re
import signal
import socketserver
import sys
import threading
from pathlib import Path

HOST = "127.0.0.1"
DEFAULT_DATA_FILE = Path(__file__).with_name("parcels.json")

DETECTION_PATH = b"/autonumber/auto?"
DETECTION_NUMBER_KEY = b"num="
QUERY_PATH = b"/query?"
QUERY_TYPE_KEY = b"type="
QUERY_NUMBER_KEY = b"&postid="
QUERY_NUMBER_END = b"&id=1&valicode="
REQUESTS_PATH = b"/__requests"
CLEAR_REQUESTS_PATH = b"/__requests/clear"

# The client's text is GBK; the data file's numbers are compared in it.
NUMBER_ENCODING = "gbk"
# How bytes outside ASCII appear in the log and in the console.
ESCAPED_TEXT_ERRORS = "backslashreplace"

OK_MESSAGE = "ok"
BAD_REQUEST_MESSAGE = "参数错误"
NO_INFO_MESSAGE = "暂无该单号的物流信息，请核对单号后再查"
WRONG_COMPANY_MESSAGE = "快递公司与单号不符，请核对快递公司"
DELIVERED_STATE = "3"
STATUS_FOUND = "200"
STATUS_NOT_FOUND = "201"
NOPRE_LENGTH = 4

JSON_CONTENT_TYPE = "application/json;charset=UTF-8"
TEXT_CONTENT_TYPE = "text/plain;charset=UTF-8"
MAX_HEADER_LINES = 100
MAX_LINE_BYTES = 65536
CONNECTION_TIMEOUT_SECONDS = 30

ABSOLUTE_FORM = re.compile(rb"^[A-Za-z][A-Za-z0-9+.-]*://([^/]*)(.*)$", re.DOTALL)
PERCENT_ESCAPE = re.compile(rb"%([0-9A-Fa-f]{2})")


# --- the data file -----------------------------------------------------------

def load_parcels(path):
    """Reads the data file; returns its parcels keyed by their GBK numbers."""
    with open(path, encoding="utf-8") as file:
        parcels = json.load(file)["parcels"]
    by_number = {}
    for parcel in parcels:
        for field in ("number", "company", "message", "events"):
            if field not in parcel:
                raise ValueError(f"{path}: a parcel lacks {field!r}: {parcel}")
        key = parcel["number"].encode(NUMBER_ENCODING)
        if key in by_number:
            raise ValueError(f"{path}: number {parcel['number']!r} appears twice")
        by_number[key] = parcel
    return by_number


# --- reading the request target ----------------------------------------------

def split_absolute_form(target):
    """Returns (host, origin-form target) for "http://host/path", else None."""
    match = ABSOLUTE_FORM.match(target)
    if match is None:
        return None
    return match.group(1), match.group(2) or b"/"


def percent_decode(raw):
    """Turns every valid %XX escape into its byte; any other '%' stays."""
    return PERCENT_ESCAPE.sub(lambda match: bytes([int(match.group(1), 16)]), raw)


def detection_number(target):
    """The number of a detection target: everything after "num=", or None."""
    rest = target[len(DETECTION_PATH):]
    if not rest.startswith(DETECTION_NUMBER_KEY):
        return None
    return percent_decode(rest[len(DETECTION_NUMBER_KEY):])


def query_type_and_number(target):
    """(type, number) of a query target, or None when its parts are missing.

    The number may hold '&', so it runs from the first "&postid=" to the last
    "&id=1&valicode=" rather than to the next '&'.
    """
    rest = target[len(QUERY_PATH):]
    number_start = rest.find(QUERY_NUMBER_KEY)
    number_end = rest.rfind(QUERY_NUMBER_END)
    if not rest.startswith(QUERY_TYPE_KEY) or number_start < 0 or number_end < number_start:
        return None
    company = percent_decode(rest[len(QUERY_TYPE_KEY):number_start])
    number = percent_decode(rest[number_start + len(QUERY_NUMBER_KEY):number_end])
    return company, number


# --- composing the answers ---------------------------------------------------

def to_json_text(value):
    """Compact JSON as the service writes it: no spaces, Chinese unescaped."""
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"))


def echoed_number(number):
    """A number written back into an answer. The client percent-decodes whole
    answers, so a '%' in it goes out as %25 to come back as itself."""
    return number.decode(NUMBER_ENCODING, errors="replace").replace("%", "%25")


def detection_answer(parcels, number):
    parcel = parcels.get(number)
    if parcel is None:
        return to_json_text([])
    codes = parcel.get("detection", [parcel["company"]])
    prefix = echoed_number(number)[:NOPRE_LENGTH]
    entries = [{"comCode": code, "id": "", "noCount": 1, "noPre": prefix, "startTime": ""}
               for code in codes]
    return to_json_text(entries)


def event_entry(event):
    return {"time": event["time"], "ftime": event["time"], "context": event["context"],
            "location": ""}


def query_fields(message, number, company, state, events):
    """The fields of a query answer in the service's order."""
    found = message == OK_MESSAGE
    return {
        "message": message,
        "nu": echoed_number(number),
        "ischeck": "1" if found and state == DELIVERED_STATE else "0",
        "condition": "F00" if found else "",
        "com": company,
        "status": STATUS_FOUND if found else STATUS_NOT_FOUND,
        "state": state if found else "0",
        "data": [event_entry(event) for event in events],
    }


def query_answer(parcels, company, number):
    company_text = company.decode(NUMBER_ENCODING, errors="replace")
    parcel = parcels.get(number)
    if parcel is None:
        return to_json_text(query_fields(NO_INFO_MESSAGE, number, company_text, "0", []))
    if parcel["company"] != company_text:
        return to_json_text(query_fields(WRONG_COMPANY_MESSAGE, number, company_text, "0", []))
    fields = query_fields(parcel["message"], number, company_text,
                          parcel.get("state", DELIVERED_STATE), parcel["events"])
    if parcel.get("message_last"):
        fields["message"] = fields.pop("message")
    return to_json_text(fields)


def bad_query_answer():
    return to_json_text(query_fields(BAD_REQUEST_MESSAGE, b"", "", "0", []))


def service_answer(parcels, target):
    """(HTTP status, content type, body text) for an origin-form target."""
    if target.startswith(DETECTION_PATH):
        number = detection_number(target)
        answer = to_json_text([]) if number is None else detection_answer(parcels, number)
        return 200, JSON_CONTENT_TYPE, answer
    if target.startswith(QUERY_PATH):
        parts = query_type_and_number(target)
        answer = bad_query_answer() if parts is None else query_answer(parcels, *parts)
        return 200, JSON_CONTENT_TYPE, answer
    return 404, TEXT_CONTENT_TYPE, "not found\n"


# --- recording ---------------------------------------------------------------

class RequestRecorder:
    """Keeps the records of the service requests, and appends every request
    line to the log file when there is one."""

    def __init__(self, log_path):
        self._lock = threading.Lock()
        self._records = []
        self._log = open(log_path, "a", encoding="ascii") if log_path else None

    def log_line(self, request_line):
        if self._log is None:
            return
        with self._lock:
            self._log.write(escaped_text(request_line) + "\n")
            self._log.flush()

    def record(self, entry):
        with self._lock:
            self._records.append(entry)

    def records(self):
        with self._lock:
            return list(self._records)

    def clear(self):
        with self._lock:
            self._records.clear()

    def close(self):
        if self._log is not None:
            self._log.close()


def escaped_text(raw):
    return raw.decode("ascii", errors=ESCAPED_TEXT_ERRORS)


def request_record(method, target, host, absolute, headers):
    """One entry of /__requests. The target is given as Latin-1 text (one
    character per byte) and in hexadecimal."""
    return {
        "method": method.decode("latin-1"),
        "target": target.decode("latin-1"),
        "target_hex": target.hex(),
        "host": host.decode("latin-1"),
        "absolute": absolute,
        "headers": [[name.decode("latin-1"), value.decode("latin-1")] for name, value in headers],
    }


# --- HTTP --------------------------------------------------------------------

def split_request_line(line):
    """(method, target, version) of a request line. The target is all between
    the first and the last space, so that a client that sends raw spaces in
    a number is still understood."""
    method, _, rest = line.partition(b" ")
    target, _, version = rest.rpartition(b" ")
    if not version.startswith(b"HTTP/"):
        return method, rest, b""
    return method, target, version


def header_value(headers, wanted):
    for name, value in headers:
        if name.lower() == wanted:
            return value
    return b""


class StandinHandler(socketserver.StreamRequestHandler):
    """One connection, one request, then "Connection: close"."""

    timeout = CONNECTION_TIMEOUT_SECONDS

    def handle(self):
        line = self.rfile.readline(MAX_LINE_BYTES).rstrip(b"\r\n")
        if not line:
            return
        headers = self.read_headers()
        body = self.read_body(headers)
        self.server.recorder.log_line(line)
        if self.server.verbose:
            print(escaped_text(line), file=sys.stderr, flush=True)
        method, target, _ = split_request_line(line)
        self.dispatch(method, target, headers, body)

    def read_headers(self):
        headers = []
        for _ in range(MAX_HEADER_LINES):
            line = self.rfile.readline(MAX_LINE_BYTES).rstrip(b"\r\n")
            if not line:
                break
            name, _, value = line.partition(b":")
            headers.append((name.strip(), value.strip()))
        return headers

    def read_body(self, headers):
        length = header_value(headers, b"content-length")
        return self.rfile.read(int(length)) if length.isdigit() else b""

    def dispatch(self, method, target, headers, body):
        del body  # nothing here reads a request body
        absolute = split_absolute_form(target)
        host, path = absolute if absolute else (header_value(headers, b"host"), target)
        recorder = self.server.recorder
        if path == REQUESTS_PATH and method == b"GET":
            self.respond(200, JSON_CONTENT_TYPE, to_json_text(recorder.records()))
        elif path == CLEAR_REQUESTS_PATH and method == b"POST":
            recorder.clear()
            self.respond(200, JSON_CONTENT_TYPE, to_json_text({"cleared": True}))
        else:
            recorder.record(request_record(method, target, host, absolute is not None, headers))
            if method != b"GET":
                self.respond(405, TEXT_CONTENT_TYPE, "only GET is served\n")
            else:
                self.respond(*service_answer(self.server.parcels, path))

    def respond(self, status, content_type, text):
        body = text.encode("utf-8")
        reason = {200: "OK", 404: "Not Found", 405: "Method Not Allowed"}[status]
        head = (f"HTTP/1.1 {status} {reason}\r\n"
                f"Content-Type: {content_type}\r\n"
                f"Content-Length: {len(body)}\r\n"
                "Connection: close\r\n\r\n")
        self.wfile.write(head.encode("ascii") + body)


class StandinServer(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, port, parcels, recorder, verbose):
        super().__init__((HOST, port), StandinHandler)
        self.parcels = parcels
        self.recorder = recorder
        self.verbose = verbose


# --- start and stop ----------------------------------------------------------

def parse_arguments(argv):
    parser = argparse.ArgumentParser(description="Local stand-in for the courier-tracking service.")
    parser.add_argument("--port", type=int, default=0, help="port to listen on; 0 picks a free one")
    parser.add_argument("--data", type=Path, default=DEFAULT_DATA_FILE, help="parcel data file")
    parser.add_argument("--log", type=Path, help="append every request line to this file")
    parser.add_argument("--verbose", action="store_true", help="print every request line to stderr")
    return parser.parse_args(argv)


def stop_on_signals(server):
    """SIGINT and SIGTERM end serve_forever; shutdown() must run on another
    thread, since it waits for the serving loop to finish."""
    def stop(signum, frame):
        del signum, frame
        threading.Thread(target=server.shutdown, daemon=True).start()
    signal.signal(signal.SIGINT, stop)
    signal.signal(signal.SIGTERM, stop)


def main(argv):
    arguments = parse_arguments(argv)
    parcels = load_parcels(arguments.data)
    recorder = RequestRecorder(arguments.log)
    sys.stdout.reconfigure(encoding="utf-8", errors=ESCAPED_TEXT_ERRORS)
    with StandinServer(arguments.port, parcels, recorder, arguments.verbose) as server:
        stop_on_signals(server)
        print(f"listening on http://{HOST}:{server.server_address[1]}", flush=True)
        for number in parcels:
            print(f"sample: {number.decode(NUMBER_ENCODING)}")
        sys.stdout.flush()
        server.serve_forever()
    recorder.close()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
