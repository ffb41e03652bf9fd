"""A local FDSN event service for the fetch tests: http.server on 127.0.0.1
with a port the system picks, answering /fdsnws/event/1/query in FDSN event
text from a catalogue held in memory.

Like real services it refuses parameters it does not know (400), includes
both ends of the time range, honours `limit` by cutting the answer there
without a word, and answers 204 when nothing matches. A cap makes it refuse
larger answers as the USGS service does (400 "... exceeds search limit ...")
or with 413; scripted faults (503, 429 with Retry-After, a body cut short, a
hang, any status) answer the next queries first. It records every query and
the most queries it ever had in flight at once.

Standard library only.
"""

import datetime
import http.server
import threading
import time
import urllib.parse

STANDARD_PARAMETERS = {
    "starttime", "endtime", "minlatitude", "maxlatitude", "minlongitude", "maxlongitude",
    "minmagnitude", "mindepth", "maxdepth", "orderby", "limit", "format",
}
HEADER = ("#EventID|Time|Latitude|Longitude|Depth/km|Author|Catalog|Contributor|ContributorID|"
          "MagType|Magnitude|MagAuthor|EventLocationName|EventType\n")


def parse_time(text):
    """A query or event time (no zone: UTC) as an aware datetime."""
    value = datetime.datetime.fromisoformat(text)
    return value.replace(tzinfo=datetime.timezone.utc) if value.tzinfo is None else value


class Event:
    def __init__(self, event_id, time_text, latitude, longitude, magnitude, event_type="earthquake", depth=10.0):
        self.id = event_id
        self.time_text = time_text
        self.time = parse_time(time_text)
        self.latitude = latitude
        self.longitude = longitude
        self.magnitude = magnitude
        self.type = event_type
        self.depth = depth

    def line(self):
        return "%s|%s|%.4f|%.4f|%.1f|test|test|test|%s|ml|%.2f|test|Somewhere|%s\n" % (
            self.id, self.time_text, self.latitude, self.longitude, self.depth, self.id, self.magnitude, self.type)


class Fault:
    """One scripted answer, given instead of the real one."""

    def __init__(self, kind, status=None, text="", retry_after=None, seconds=0.0):
        self.kind = kind  # "status", "cut", "hang"
        self.status = status
        self.text = text
        self.retry_after = retry_after
        self.seconds = seconds


class FakeService:
    def __init__(self, events, cap=None, cap_status=400, no_data_status=204):
        self.events = sorted(events, key=lambda e: e.time)
        self.cap = cap
        self.cap_status = cap_status
        self.no_data_status = no_data_status
        self.faults = []
        self.queries = []  # (parameters, user agent) of every query, in order
        self.in_flight = 0
        self.most_in_flight = 0
        self._lock = threading.Lock()
        self._server = None
        self._thread = None

    @property
    def base_url(self):
        return "http://127.0.0.1:%d/fdsnws/event/1" % self._server.server_address[1]

    def __enter__(self):
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                with service._lock:
                    service.in_flight += 1
                    service.most_in_flight = max(service.most_in_flight, service.in_flight)
                try:
                    service._answer(self)
                finally:
                    with service._lock:
                        service.in_flight -= 1

            def log_message(self, *args):
                pass

        self._server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self._server.daemon_threads = True
        self._thread = threading.Thread(target=self._server.serve_forever, daemon=True)
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._server.shutdown()
        self._server.server_close()
        self._thread.join(timeout=10)

    # -- answering -------------------------------------------------------

    def _send(self, handler, status, text, headers=()):
        body = text.encode()
        handler.send_response(status)
        handler.send_header("Content-Type", "text/plain")
        for name, value in headers:
            handler.send_header(name, value)
        if status != 204:
            handler.send_header("Content-Length", str(len(body)))
        handler.end_headers()
        if status != 204:
            handler.wfile.write(body)

    def _answer(self, handler):
        url = urllib.parse.urlsplit(handler.path)
        parameters = dict(urllib.parse.parse_qsl(url.query, keep_blank_values=True))
        with self._lock:
            self.queries.append((parameters, handler.headers.get("User-Agent", "")))
            fault = self.faults.pop(0) if self.faults else None
        if fault is not None:
            return self._fault(handler, fault)
        if url.path != "/fdsnws/event/1/query":
            return self._send(handler, 404, "Error 404: Not Found\n\nNo such page\n")
        unknown = sorted(set(parameters) - STANDARD_PARAMETERS)
        if unknown:
            return self._send(handler, 400, "Error 400: Bad Request\n\nUnknown parameter %s\n" % unknown[0])
        if parameters.get("format") != "text" or parameters.get("orderby") != "time-asc":
            return self._send(handler, 400, "Error 400: Bad Request\n\nformat=text and orderby=time-asc expected\n")
        start = parse_time(parameters["starttime"])
        end = parse_time(parameters["endtime"])
        south = float(parameters.get("minlatitude", -90))
        north = float(parameters.get("maxlatitude", 90))
        west = float(parameters.get("minlongitude", -180))
        east = float(parameters.get("maxlongitude", 180))
        if not (-180 <= west <= east <= 180):
            return self._send(handler, 400, "Error 400: Bad Request\n\nbad longitudes\n")
        least = float(parameters.get("minmagnitude", "-inf"))
        shallowest = float(parameters.get("mindepth", "-inf"))
        deepest = float(parameters.get("maxdepth", "inf"))
        matching = [e for e in self.events
                    if start <= e.time <= end and south <= e.latitude <= north
                    and west <= e.longitude <= east and e.magnitude >= least
                    and shallowest <= e.depth <= deepest]
        if self.cap is not None and len(matching) > self.cap:
            if self.cap_status == 413:
                return self._send(handler, 413, "Error 413: Request Entity Too Large\n")
            return self._send(handler, 400, "Error 400: Bad Request\n\n%d matching events exceeds search limit "
                              "of %d. Modify the search to match fewer events.\n" % (len(matching), self.cap))
        if not matching:
            if self.no_data_status == 404:
                return self._send(handler, 404, "Error 404: Not Found\n\nNo data matches the selection\n")
            return self._send(handler, 204, "")
        matching = matching[:int(parameters["limit"])]
        self._send(handler, 200, HEADER + "".join(e.line() for e in matching))

    def _fault(self, handler, fault):
        if fault.kind == "hang":
            time.sleep(fault.seconds)
            return self._send(handler, 503, "late\n")
        if fault.kind == "cut":
            # Announces more than it sends, then closes: a body cut short.
            body = (HEADER + "cut|2024-01-01T00:00:00|1.0|1.0|10|x|x|x|x|ml|").encode()
            handler.send_response(200)
            handler.send_header("Content-Type", "text/plain")
            handler.send_header("Content-Length", str(len(body) + 500))
            handler.send_header("Connection", "close")
            handler.end_headers()
            handler.wfile.write(body)
            handler.wfile.flush()
            handler.close_connection = True
            return None
        # Retry-After is a text, or a function giving it as the answer leaves
        # (an HTTP date counts from then).
        retry_after = fault.retry_after() if callable(fault.retry_after) else fault.retry_after
        headers = [("Retry-After", retry_after)] if retry_after is not None else []
        return self._send(handler, fault.status, fault.text, headers)
