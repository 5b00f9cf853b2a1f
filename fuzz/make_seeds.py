#!/usr/bin/env python3
"""Writes the seed corpora under fuzz/corpus/<target>/ from the cases in the
unit tests' tables. Each seed is in its target's input form: option bytes,
then NUL-separated fields. Run it again after changing a table."""
import hashlib
import os
import shutil

HERE = os.path.dirname(os.path.abspath(__file__))
QUOTE_WORD = b"#\xd2\xfd\xba\xc5"


def seed(options: bytes, *fields: bytes) -> bytes:
    return options + b"\0".join(fields)


SEEDS = {
    "text_primitives": [
        seed(b"\x00\x01\x03\x00", b"hello world", b"o", b"0"),
        seed(b"\x01\x02\x05\x00", b"Hello HELLO hello", b"hello", b"X"),
        seed(b"\x02\x00\x02\x00", b"a,b,,c,", b",", b";"),
        seed(b"\x00\x00\x00\x00", b"\xa1\xa1 \xd6\xd0 x \xa1\xa1", b" ", b""),
        seed(b"\x00\x03\x01\x00", b"\x95time\x95t", b"t", b"T"),
        seed(b"\x00\x00\x07\x00", b"  -\xa3\xb1\xa3\xb2 42", b"4", b"x"),
        seed(b"\x01\x04\x02\x00", b"\xd6\xd0\xce\xc4Abc\xd6\xd0", b"\xce\xc4a", b"-"),
        seed(b"\x1d\x05\x00\x07", b"abC\xd6\xd0 x\xa1", b"c\xd6", b"Y"),
        seed(b"\x1f\x7f\x00\x40", b"Set-Cookie: a=1\r\n\x95A", b"set-cookie", b"Set-Cookie"),
    ],
    "markers": [
        seed(b"\x00\x00\x00", b"a[x]b", b"[", b"]", b"", b""),
        seed(b"\x00\x00\x00", b"abcd", b"abc", b"cd", b"", b""),
        seed(b"\x00\x00\x00", b'x "first" "second"', b'"', b'"', b"", b""),
        seed(b"\x00\x02\x00", b"[a] [b]", b"[", b"]", b"", b""),
        seed(b"\x01\x00\x00", b"user-agent: X\r\n", b"User-Agent:", b"\r\n", b"", b""),
        seed(b"\x00\x00\x00", b'{"comCode":"yt","n":1}', b"comCode" + QUOTE_WORD + b":" + QUOTE_WORD,
             QUOTE_WORD, b"", b""),
        seed(b"\x00\x00\x00", b'\x95time":"bad","time":"good"', b'time":"', b'"', b"", b""),
        seed(b"\x00\x00\x0a", b'{"message":"ok","data":[{"time":"2024-01-01","context":"\xd6\xd0"},'
             b'{"TIME":"b","context":" c "},{"time":"","context":"x"}]}', b'"time":"', b'"', b"<", b">"),
        seed(b"\x0c\x00\x0a", b'"a"x"b"', b'"', b'"', b"(", b")"),
        seed(b"\x02\x00\xff", b"[12345678] [123456789] [123456789012] [12345]", b"[", b"]", b"", b""),
    ],
    "url": [seed(b"\x00\x00", u) for u in [
        b"http://srv.p.q/x/y?z=1", b"HTTP://SRV.P.Q/X/Y", b"https://p.q:8443/x", b"HTTPS://P.Q",
        b"https://p.q:80/", b"p.q/x", b"http://p.q", b"http://p.q?z=1", b"http://p.q:8080?z=1",
        b"http://p.q:/x", b"http://p.q/x#f", b"p.q/r?u=http://s.t/v", b"ftp://p.q/x", b"",
        b"http://h/p?q=1", b"http://http/a", b"HTTPS://t:81/u", b"http://\xd6\xd0Q.cn/\xce\xc4",
    ]] + [
        seed(b"\x01\x00", b"http://srv.p.q:8080/x"), seed(b"\x03\x00", b"http://srv.p.q:8080/x"),
        seed(b"\x01\x02", b"http://a.sub.p.q/x"), seed(b"\x02\x01", b"https://sub.p.q:81/"),
        seed(b"\x00\xff", b"http://10.1.2.3/"), seed(b"\x00\x03", b"a.b.c./"),
    ],
    "cookies": [seed(b"", c, n) for c, n in [
        (b"", b""), (b"", b"a=1; b=2"), (b"a=1; c=3", b"a=2"), (b"a=1; c=3", b"c=deleted"),
        (b"a=1;b=2;c=3", b"b=deleted; d=4"), (b"a=deleted; b=1", b""), (b"a=1; a=5", b""),
        (b"", b"a=1; a=1; a=2"), (b"SID=1", b"sid=2"), (b"x=hello world", b"y=1"), (b"a", b"b=2"),
        (b"a=1", b"b=2;"), (b"a=1", b"b=2;;c=3"), (b";a=1", b"b=2"),
        (b"a=\xa1\xa1x", b"b=\xce\xc4 2"),
    ]],
    "percent_decode": [seed(b"", t) for t in [
        b"a%41b", b"%e4%b8%ad", b"a+b", b"%2B", b"%20", b"abc%", b"ab%4", b"%00x", b"%G1", b"%ZZ",
        b"%0G", b"%4g", b"%%41", b"50% off", b"\xd6\xd0%41", b"\xe4\xb8\xad\xe6\x96\x87",
        b"ok %26 fine",
    ]],
    "code_page": [seed(o, t) for o, t in [
        (b"\x00", b"\xe4\xb8\xad\xe6\x96\x87"), (b"\x05", b"ok \xe2\x82\xac 1"),
        (b"\x0a", b"\xf0\x9f\x98\x80 \xc3\xa9"), (b"\x01", b"\xd6\xd0\xce\xc4\x80"),
        (b"\x0e", b"\xa5\xf5\x96\x9c"), (b"\x03", b"\xff\xfe\xed\xa0\x80"),
    ]],
    "raw_response": [
        seed(b"\x01", b"", b"Set-Cookie: a=1; path=/\nset-cookie: b=2", b"hello"),
        seed(b"\x03", b"a=1", b"Set-Cookie: b=2; path=/", b""),
        seed(b"\x03", b"", b"Set-Cookie: a=1\nSet-Cookie2: c=3; v=1\nX-A: 1", b"body"),
        seed(b"\x09", b"", b"Location: /final", b"moved body"),
        seed(b"\x0d", b"x=1", b"Set-Cookie: n=\xd6\xd0; path=/\nX-B: \xd6\xd0", b"\xd6\xd0%41\0z"),
        seed(b"\x00", b"",
             b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nSet-Cookie: c=deleted\r\n\r\n"
             b"5\r\nhello\r\n0\r\n\r\n"),
        seed(b"\x02", b"a=1",
             b"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nSet-Cookie: d=4\r\n"
             b"Content-Length: 2\r\n\r\nok"),
        seed(b"\x00", b"", b"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\ncut"),
    ],
}


def main() -> None:
    root = os.path.join(HERE, "corpus")
    for target, seeds in SEEDS.items():
        folder = os.path.join(root, target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for data in seeds:
            name = hashlib.sha1(data).hexdigest()[:16]
            with open(os.path.join(folder, name), "wb") as out:
                out.write(data)


if __name__ == "__main__":
    main()
