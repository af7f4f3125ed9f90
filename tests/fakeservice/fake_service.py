#!/usr/bin/env python3
"""A stand-in for the video service, for the tests: an HTTP server on 127.0.0.1.

It picks a free port and writes it to --port-file, appends one line per request to --log-file
(method, path, User-Agent, Cookie, tab-separated, UTF-8), and stops on GET /_fake/shutdown, when
--alive-file disappears (the test process that holds it has ended) or after --max-seconds.
Every reply carries Cache-Control: no-store. The routes are the one table ROUTES at the end; tests
set and read the fake's state (login mode, posted comments) through its routes under /_fake/.
"""

import argparse
import http.cookies
import http.server
import os
import re
import secrets
import socket
import struct
import threading
import time
import urllib.parse
import xml.etree.ElementTree as ElementTree
from xml.sax.saxutils import escape, quoteattr

SESSION_COOKIE = "user_session"
# A fresh value per run: a session cookie left in the client by an earlier run is not logged in.
SESSION_VALUE = secrets.token_hex(8)

VIDEOS = {
    "sm9": {
        "title": "テスト動画 その1",
        "description": "説明文の一行目です。<b>太字</b>",
        "tags": ["ゲーム", "テスト＆タグ"],
        "category": "ゲーム",
        "movie_type": "flv",
        "bgms": "sm100%2Cnm200",
        "owner_thread": True,
        "flv": {"thread_id": "1000000009", "l": "320"},
        "world_tags": ["game", "test's tag"],
        "counters": (1234, 56, 7),
        "size": 1_000_003,
    },
    "nm10": {
        "title": "キー付きの動画",
        "description": "説明",
        "tags": ["音楽"],
        "category": "音楽",
        "movie_type": "mp4",
        "bgms": "",
        "owner_thread": False,
        "flv": {"thread_id": "1000000010", "l": "65", "needs_key": "1"},
    },
    "sm11": {"deleted": "1"},
    # Its watch page is the service's access-restriction notice.
    "sm14": {"throttled": True},
    # Served only in its economy version.
    "sm12": {
        "title": "エコノミーの動画",
        "description": "説明",
        "tags": ["テスト"],
        "category": "テスト",
        "movie_type": "mp4",
        "bgms": "",
        "owner_thread": False,
        "flv": {"thread_id": "1000000012", "l": "30"},
        "economy": True,
        "size": 300_007,
    },
    # The benchmark's video, made on the fly.
    "sm200": {
        "title": "大きな動画",
        "description": "説明",
        "tags": ["テスト"],
        "category": "テスト",
        "movie_type": "mp4",
        "bgms": "",
        "owner_thread": False,
        "flv": {"thread_id": "1000000200", "l": "600"},
        "size": 200 * 1024 * 1024,
    },
}



# The one account the login form accepts.
ACCOUNT = {"mail": "user@example.com", "password": "pass word&1"}
USER_ID = "12345"

# Comments of each thread: (no, vpos, date, mail, user_id, text). Dates one day apart, so that a past
# log at a time holds a known part of them.
DAY = 86400
FIRST_DATE = 1200000000
THREADS = {
    "1000000009": [
        (1, 100, FIRST_DATE, "", "u1", "最初のコメント"),
        (2, 250, FIRST_DATE + DAY, "shita red", "u2", "記号 & < > \" '"),
        (3, 400, FIRST_DATE + 2 * DAY, "184", "u3", "三つ目"),
        (4, 1200, FIRST_DATE + 3 * DAY, "ue", "u4", "四つ目"),
        (5, 3000, FIRST_DATE + 4 * DAY, "", "u5", "最後のコメント"),
    ],
    "1000000010": [
        (1, 50, FIRST_DATE, "", "u1", "キー付きスレッドのコメント"),
    ],
}
OWNER_THREADS = {
    "1000000009": [(1, 0, FIRST_DATE, "shita", "owner", "投稿者コメント")],
}
# Threads whose requests need the thread key (getflv needs_key=1).
KEYED_THREADS = {"1000000010"}

MYLISTS = {"123": ["sm9", "nm10"]}
DEFLIST = ["nm10", "sm9"]


class Reply:
    """A reply: body bytes; length "exact" (Content-Length of the body), None (no header, the
    connection is closed after the body) or a number to declare while sending only the body."""

    def __init__(self, body, content_type="text/html; charset=utf-8", status=200, length="exact", headers=(), reset=False):
        self.body = body if isinstance(body, bytes) else body.encode("utf-8")
        self.content_type = content_type
        self.status = status
        self.length = length
        self.headers = list(headers)
        # After the body the connection is reset (RST) instead of closed.
        self.reset = reset


class StreamReply(Reply):
    """A reply that declares length bytes (None: no length) and writes its body itself: write(wfile)."""

    def __init__(self, length, write, content_type="application/octet-stream", status=200, headers=(), reset=False):
        super().__init__(b"", content_type, status, length, headers, reset)
        self.write = write


def quote(text):
    return urllib.parse.quote(text, safe="")


def watch_page(handler, video_id):
    video = VIDEOS.get(video_id)
    if video is not None and video.get("throttled"):
        return throttled_page()
    if video is None or "title" not in video:
        return Reply("<html><body>not found</body></html>", status=404)
    title = video["title"]
    if not handler.logged_in():
        return Reply(
            f"<html>\n<head>\n<title>{title} ‐ ベラベラ動画</title>\n</head>\n<body>\n"
            f'<p>この動画を見るには<a href="{handler.base_url()}secure/login">ログイン</a>してください。</p>\n'
            "</body>\n</html>\n"
        )
    tags = "".join(f'<a href="tag/{quote(tag)}" rel="tag">{tag}</a>&nbsp;\n' for tag in video["tags"])
    owner = 'so.addVariable("has_owner_thread", "1");\n' if video["owner_thread"] else ""
    flv = video["flv"]
    world_tags = "".join(f'<a href="world_tag/{quote(tag)}" rel="tag">{tag}</a>&nbsp;\n' for tag in video.get("world_tags", []))
    views, comments, mylists = video.get("counters", (0, 0, 0))
    return Reply(
        "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
        f"<title>{title} ‐ ベラベラ動画</title>\n</head>\n<body>\n"
        f"<!--↓動画説明文↓-->\n<div class=\"description\">\n<!-- google_ad_section_start -->\n"
        f"{video['description']}\n<!-- google_ad_section_end -->\n</div>\n<!--↑動画説明文↑-->\n"
        f"<div class=\"tags\">\n{tags}</div>\n"
        f"<div class=\"world_tags\">\n{world_tags}</div>\n"
        "<script type=\"text/javascript\">\n"
        f"var so = new SWFObject(\"{handler.base_url()}swf/velaplayer.swf\", \"flvplayer\", \"952\", \"540\");\n"
        f"so.addVariable(\"category\", \"{video['category']}\");\n"
        f"so.addVariable(\"movie_type\", \"{video['movie_type']}\");\n"
        f"so.addVariable(\"bgms\", \"{video['bgms']}\");\n"
        f"{owner}"
        "var Video = {\n"
        f"\tthread_id:\t'{flv['thread_id']}',\n"
        f"\tv:\t'{video_id}',\n"
        f"\tid:\t'{video_id}',\n"
        "\tisMymemory:\tfalse,\n"
        f"\ttitle:\t'{title}',\n"
        "\tpostedAt:\t'2008/01/02 03:04:05',\n"
        f"\ttags:\t['{video['tags'][0]}'],\n"
        f"\tviewCount:\t{views},\n"
        f"\tcommentCount:\t{comments},\n"
        f"\tmylistCount:\t{mylists},\n"
        f"\tthumbnail:\t'{handler.base_url()}thumb?i={flv['thread_id']}',\n"
        f"\tlength:\t{flv['l']}\n"
        "};\n</script>\n</body>\n</html>\n"
    )


def getflv(handler, video_id):
    if handler.query.get("as3") != ["1"]:
        return Reply("error=invalid_query", content_type="text/plain")
    video = VIDEOS.get(video_id)
    if not handler.logged_in() or (video or {}).get("api_closed"):
        return Reply("closed=1&done=true", content_type="text/plain")
    if video is None:
        return Reply("error=invalid_v1&done=true", content_type="text/plain")
    if "deleted" in video:
        return Reply(f"deleted={video['deleted']}&error=invalid_v1&done=true", content_type="text/plain")
    base = handler.base_url()
    pairs = dict(video["flv"])
    pairs.update(
        {
            "url": quote(f"{base}smile?v={video_id}.0468"),
            "link": quote(f"{base}watch/{video_id}"),
            "ms": quote(f"{base}api/"),
            "user_id": "12345",
            "is_premium": "1",
            "nickname": quote("テスト利用者"),
            # Lower-case escapes, which the client leaves as they are.
            "ng_up": quote("あ=い&う=え").lower(),
            "done": "true",
        }
    )
    pairs["url"] = quote(video_address(base, video_id, video))
    return Reply("&".join(f"{key}={value}" for key, value in pairs.items()), content_type="text/plain")


# The video file. Its address is smile?v=ID.N for an FLV, smile?m=ID.N for an MP4, with "low" at the
# end for the economy version. Byte i of a file is (i + seed) % 251, the seed telling the economy
# version apart, so the bytes of each position are known and a file is made on the fly.
def video_address(base, video_id, video):
    key = "m" if video.get("movie_type") == "mp4" else "v"
    return f"{base}smile?{key}={video_id}.0468{'low' if video.get('economy') else ''}"


VIDEO_BLOCK = bytes(i % 251 for i in range(251 * 4097))


def write_video(wfile, start, count, seed, mode):
    """Writes count bytes from position start; the mode may cut the body, pace it or stall it."""
    if "cut" in mode:
        count = min(count, int(mode["cut"]))
    stall = int(mode["stall"]) if "stall" in mode else None
    if stall is not None:
        count = min(count, stall)
    piece = int(mode.get("piece", 251 * 4096))
    delay = int(mode.get("delay_ms", 0)) / 1000
    position, end = start, start + count
    while position < end:
        offset = (position + seed) % 251
        take = min(end - position, piece, 251 * 4096)
        wfile.write(memoryview(VIDEO_BLOCK)[offset : offset + take])
        position += take
        if delay and position < end:
            time.sleep(delay)
    if stall is not None:
        wfile.flush()
        time.sleep(float(mode.get("stall_seconds", 30)))


def video_file(handler):
    name = (handler.query.get("v") or handler.query.get("m") or [""])[0]
    video_id, _, rest = name.partition(".")
    video = VIDEOS.get(video_id)
    if video is None or "size" not in video:
        return Reply("not found", status=404)
    economy = rest.endswith("low")
    mode = handler.server.take_mode("video")
    if "hold" in mode:
        # Bounded, so that a test that never releases it leaves no reply waiting for ever.
        handler.server.video_gate.wait(HOLD_SECONDS)
    if "status" in mode:
        return Reply("error", content_type="text/plain", status=int(mode["status"]))
    if "empty" in mode:
        return Reply(b"", content_type="video/x-flv")
    body = handler.server.video_bodies.get(video_id)
    size, seed = (len(body) if body is not None else video["size"]), 97 if economy else 0
    start = 0
    match = re.fullmatch(r"bytes=(\d+)-", handler.headers.get("Range", ""))
    if match and "no_range" not in mode:
        start = int(match.group(1))
        if start >= size:
            return Reply(b"", status=416, headers=[("Content-Range", f"bytes */{size}")])
    content_type = "video/mp4" if video["movie_type"] == "mp4" else "video/x-flv"
    if body is not None:
        write = lambda wfile: wfile.write(body[start:])
    else:
        write = lambda wfile: write_video(wfile, start, size - start, seed, mode)
    if match and start < size and "no_range" not in mode:
        return StreamReply(size - start, write, content_type, 206, [("Content-Range", f"bytes {start}-{size - 1}/{size}")])
    return StreamReply(size, write, content_type, headers=[("Accept-Ranges", "bytes")])


# The thumbnail at the address of the watch page's Video.thumbnail: a small JPEG-like body.
def thumbnail(handler):
    if handler.server.take_mode("thumbnail").get("fail"):
        return Reply("busy", content_type="text/plain", status=503)
    number = handler.query.get("i", [""])[0]
    return Reply(b"\xff\xd8\xff\xe0" + number.encode() + bytes(range(256)) * 8 + b"\xff\xd9", "image/jpeg")


# Sets the mode of the next replies of a kind ("video", "thumbnail" or "api"): the query's values, for
# "times" replies (default 1). Video: cut=K (K bytes, then the connection closes), stall=K (K bytes,
# then nothing for stall_seconds), piece=B&delay_ms=D (drip B bytes every D ms), no_range=1 (a range
# request gets the whole file), status=N, empty=1 (200 with Content-Length 0), hold=1 (no reply until
# GET /_fake/release, at most HOLD_SECONDS). Thumbnail: fail=1
# (503). Api (the message server): cut=K (the reply's length announced, K bytes sent).
def set_mode(handler, kind):
    values = {key: value[0] for key, value in handler.query.items()}
    handler.server.set_mode(kind, values, int(values.pop("times", "1")))
    return Reply("ok", content_type="text/plain")


def login(handler):
    cookie = f"{SESSION_COOKIE}={SESSION_VALUE}; path=/"
    return Reply("<html><body>ログインしました</body></html>", headers=[("Set-Cookie", cookie)])


def top_page(handler):
    if handler.logged_in():
        return Reply('<html><body><a href="my/mylist">マイページ</a></body></html>')
    return Reply(f'<html><body><a href="{handler.base_url()}secure/login">ログイン</a></body></html>')


def login_form(handler):
    """The form POST: a right account gets the session cookie and is sent on to the top page; a wrong
    one sees the form again. In the "stale" mode the cookie set is one the service no longer knows."""
    form = urllib.parse.parse_qs(handler.body.decode("utf-8"))
    if form.get("mail") != [ACCOUNT["mail"]] or form.get("password") != [ACCOUNT["password"]]:
        return Reply(
            f'<html><body><p>メールアドレスまたはパスワードが間違っています</p><form action="{handler.base_url()}secure/login" method="post"></form></body></html>'
        )
    value = SESSION_VALUE if handler.server.login_mode == "normal" else "stale"
    cookie = f"{SESSION_COOKIE}={value}; path=/"
    return Reply(b"", status=302, headers=[("Set-Cookie", cookie), ("Location", handler.base_url())])


def set_login_mode(handler, mode):
    handler.server.login_mode = mode
    return Reply(mode, content_type="text/plain")


def key_reply(name, value):
    return Reply(f"{name}={value}", content_type="text/plain")


def thread_key(handler):
    thread = handler.query.get("thread", [""])[0]
    return key_reply("threadkey", f"tk{thread}&force_184=1")


# The keys of past logs and of posts are given only to a logged-in session.
def wayback_key(handler):
    thread = handler.query.get("thread", [""])[0]
    return key_reply("waybackkey", f"wb{thread}" if handler.logged_in() else "")


def post_key(handler):
    thread = handler.query.get("thread", [""])[0]
    block = handler.query.get("block_no", [""])[0]
    return key_reply("postkey", f"pk{thread}.{block}" if handler.logged_in() else "")


def chat_element(thread, chat):
    no, vpos, date, mail, user_id, text = chat
    attributes = f'thread="{thread}" no="{no}" vpos="{vpos}" date="{date}" user_id={quoteattr(user_id)}'
    if mail:
        attributes += f" mail={quoteattr(mail)}"
    return f"<chat {attributes}>{escape(text)}</chat>"


def packet(body):
    return Reply(f'<?xml version="1.0" encoding="UTF-8"?>\n<packet>{body}</packet>\n', content_type="text/xml; charset=utf-8")


def thread_reply(handler, request):
    thread = request.get("thread", "")
    if thread not in handler.server.threads:
        return packet(f'<thread resultcode="1" thread="{escape(thread)}"/>')
    keyed = thread in KEYED_THREADS
    if keyed and (request.get("threadkey") != f"tk{thread}" or request.get("force_184") != "1"):
        return packet(f'<thread resultcode="11" thread="{thread}"/>')
    chats = (OWNER_THREADS if request.get("fork") == "1" else handler.server.threads).get(thread, [])
    if "when" in request:
        if not handler.logged_in() or request.get("waybackkey") != f"wb{thread}":
            return packet(f'<thread resultcode="13" thread="{thread}"/>')
        chats = [chat for chat in chats if chat[2] <= int(request["when"])]
    last_res = chats[-1][0] if chats else 0
    count = -int(request.get("res_from", "-1000"))
    shown = chats[-count:] if count > 0 else []
    head = f'<thread resultcode="0" thread="{thread}" last_res="{last_res}" ticket="t{thread}" server_time="{int(time.time())}"/>'
    body = head + '<view_counter video="1234" mylist="56"/>' + "".join(chat_element(thread, chat) for chat in shown)
    return packet(body)


def chat_post(handler, request, text):
    """A post: ticket and post key must be right; the same text twice in a row is refused (status 1)."""
    thread = request.get("thread", "")
    chats = handler.server.threads.get(thread)
    if chats is None:
        return packet(f'<chat_result thread="{escape(thread)}" status="2"/>')
    block = (chats[-1][0] + 1) // 100 if chats else 0
    if request.get("ticket") != f"t{thread}" or request.get("postkey") != f"pk{thread}.{block}" or request.get("user_id") != USER_ID:
        return packet(f'<chat_result thread="{thread}" status="2"/>')
    mine = [chat for chat in chats if chat[4] == USER_ID]
    if mine and mine[-1][5] == text:
        return packet(f'<chat_result thread="{thread}" status="1"/>')
    no = chats[-1][0] + 1
    chats.append((no, int(request.get("vpos", "0")), int(time.time()), request.get("mail", ""), USER_ID, text))
    return packet(f'<chat_result thread="{thread}" status="0" no="{no}"/>')


def message_server(handler):
    try:
        element = ElementTree.fromstring(handler.body)
    except ElementTree.ParseError:
        return Reply("<packet/>", content_type="text/xml", status=400)
    if element.tag == "chat":
        with handler.server.state_lock:
            handler.server.posted.append(handler.body.decode("utf-8"))
            reply = chat_post(handler, element.attrib, element.text or "")
    else:
        reply = thread_reply(handler, element.attrib)
    mode = handler.server.take_mode("api")
    if "cut" in mode:
        return Reply(reply.body[: int(mode["cut"])], reply.content_type, length=len(reply.body))
    return reply


def posted(handler):
    """The chat elements posted so far, one per line."""
    return Reply("\n".join(handler.server.posted), content_type="text/plain; charset=utf-8")


def list_json(video_ids):
    items = ",".join(f'{{"item_type":0,"item_data":{{"video_id":"{video_id}","title":"{VIDEOS[video_id]["title"]}"}}}}' for video_id in video_ids)
    return Reply(f'{{"mylistitem":[{items}],"status":"ok"}}', content_type="application/json; charset=utf-8")


def mylist_api(handler):
    group = handler.query.get("group_id", [""])[0]
    if group not in MYLISTS:
        return Reply('{"error":{"code":"NONEXIST"},"status":"fail"}', content_type="application/json")
    return list_json(MYLISTS[group])


def deflist_api(handler):
    if not handler.logged_in():
        return Reply('{"error":{"code":"NOAUTH"},"status":"fail"}', content_type="application/json")
    return list_json(DEFLIST)


def list_page(video_ids):
    links = "".join(f'<a href="watch/{video_id}">{VIDEOS[video_id]["title"]}</a>\n' for video_id in video_ids)
    return Reply(f"<html><body>\n{links}</body></html>\n")


def notice_page(heading, body):
    return Reply(
        f'<html>\n<body>\n<div class="notice">\n<h1>{heading}</h1>\n<p class="font12">{body}</p>\n</div>\n</body>\n</html>\n'
    )


def throttled_page():
    return notice_page("アクセス制限", "短時間での連続アクセスはご遠慮ください<br><a href=\"top\">戻る</a>")


# Zero bytes inside the first 1024-byte chunk, with text after them.
def zero_bytes_text(encoding):
    return "ゼロ".encode(encoding) + b"\0" + b"x" * 100 + b"\0\0" + "後半".encode(encoding) + b"y" * 1500


# Bytes 0..250 repeated: zero bytes included, no two neighbouring chunks alike.
def binary(size):
    return bytes(i % 251 for i in range(size))


# Bodies for the limits of the client's readers, to GET and POST alike: text of the 16 bytes
# "0123456789abcdef" repeated. /body/KIND/N: sized (N bytes with their length), cut (N announced, N/2
# sent, then closed), reset (the same, then reset). /body/endless sends without a length until the
# client goes, at most ENDLESS_BYTES or ENDLESS_SECONDS.
TEXT_BLOCK = b"0123456789abcdef" * 4096
ENDLESS_BYTES = 64 * 1024 * 1024
ENDLESS_SECONDS = 60


def write_text(wfile, count):
    while count > 0:
        take = min(count, len(TEXT_BLOCK))
        wfile.write(TEXT_BLOCK[:take])
        count -= take


def write_endless(wfile):
    deadline = time.monotonic() + ENDLESS_SECONDS
    sent = 0
    while sent < ENDLESS_BYTES and time.monotonic() < deadline:
        wfile.write(TEXT_BLOCK)
        sent += len(TEXT_BLOCK)


def body_reply(handler, kind, size=None):
    text = "text/plain; charset=utf-8"
    if kind == "endless":
        return StreamReply(None, write_endless, text)
    n = int(size)
    if kind == "sized":
        return StreamReply(n, lambda wfile: write_text(wfile, n), text)
    return StreamReply(n, lambda wfile: write_text(wfile, n // 2), text, reset=kind == "reset")


# Page scans (the download worker's page rows). scan/links: the same video twice, by thread number,
# on another site, with a query, and links that are no video (one digit, an unknown prefix), each
# video first met in the order sm9, nm10, 1000000012, so77. scan/utf8 and scan/shift_jis: links right
# after Japanese text in either encoding. scan/none: no link to a watch page. mylist/900: a mylist
# whose list reply holds no video (the API fails for it) and whose page carries the list itself.
SCAN_LINKS = (
    '<a href="watch/sm9">一つ目</a>\n'
    '<a href="{base}watch/nm10?ref=top">二つ目</a>\n'
    '<a href="watch/1000000012">スレッド番号</a>\n'
    '<a href="watch/sm9">一つ目をもう一度</a>\n'
    '<a href="http://other.example/watch/so77">よそのサイト</a>\n'
    '<a href="watch/5">一桁</a> <a href="watch/xy123">知らない接頭辞</a>\n'
    '<a href="{base}watch/nm10">二つ目をもう一度</a>\n'
)
SCAN_JAPANESE = "こちらwatch/sm9 と、watch/nm10 です"


def scan_page(handler, kind):
    if kind == "links":
        return Reply(f"<html><body>\n{SCAN_LINKS.format(base=handler.base_url())}</body></html>\n")
    if kind == "utf8":
        return Reply(f"<html><body><p>{SCAN_JAPANESE}</p></body></html>")
    if kind == "shift_jis":
        return Reply(f"<html><body><p>{SCAN_JAPANESE}</p></body></html>".encode("cp932"), "text/html; charset=Shift_JIS")
    return Reply("<html><body><p>動画へのリンクはありません</p><a href=\"top\">トップ</a></body></html>")


def scan_embedded_mylist(handler):
    items = ",".join(f'{{"item_data":{{"video_id":"{video_id}"}}}}' for video_id in ["nm10", "sm12", "nm10"])
    return Reply(f'<html><head><script>var Mylist = {{"items":[{items}]}};</script></head><body></body></html>')


ROUTES = [
    ("GET", r"/scan/(links|utf8|shift_jis|none)", scan_page),
    ("GET", r"/mylist/900", scan_embedded_mylist),
    ("GET POST", r"/body/(sized|cut|reset)/(\d+)", body_reply),
    ("GET POST", r"/body/(endless)", body_reply),
    ("GET", r"/watch/(\w+)", watch_page),
    ("GET", r"/api/getflv/(\w+)", getflv),
    ("GET", r"/secure/login", login),
    ("GET", r"/notice", lambda h: notice_page("メンテナンス中", "ただいまメンテナンス中です。<br>しばらく<b>お待ち</b>ください。")),
    ("GET", r"/throttled", lambda h: throttled_page()),
    ("GET", r"/text/utf8", lambda h: Reply("<p>日本語のページ</p>")),
    # A character of three bytes across the first 1024-byte boundary.
    ("GET", r"/text/utf8-long", lambda h: Reply("a" * 1023 + "あ" * 1000)),
    ("GET", r"/text/shift_jis", lambda h: Reply("シフトJISの表示テスト".encode("cp932"), "text/html; charset=Shift_JIS")),
    ("GET", r"/text/zero-bytes/(utf-8|cp932)", lambda h, code: Reply(zero_bytes_text(code))),
    ("GET", r"/empty", lambda h: Reply(b"")),
    ("GET", r"/binary/(\d+)", lambda h, n: Reply(binary(int(n)), "application/octet-stream")),
    ("GET", r"/binary-unsized/(\d+)", lambda h, n: Reply(binary(int(n)), "application/octet-stream", length=None)),
    ("GET", r"/binary-short/(\d+)", lambda h, n: Reply(binary(int(n) // 2), "application/octet-stream", length=int(n))),
    # A false Content-Length far beyond the 1000 bytes sent.
    ("GET", r"/binary-claims/(\d+)", lambda h, n: Reply(binary(1000), "application/octet-stream", length=int(n))),
    ("GET", r"/", top_page),
    ("POST", r"/secure/login", login_form),
    ("GET", r"/_fake/login-mode/(normal|stale)", set_login_mode),
    ("POST", r"/api/", message_server),
    ("GET", r"/api/getthreadkey", thread_key),
    ("GET", r"/api/getwaybackkey", wayback_key),
    ("GET", r"/api/getpostkey", post_key),
    ("GET", r"/_fake/posted", posted),
    ("GET", r"/mylist/(\d+)", lambda h, group: list_page(MYLISTS.get(group, []))),
    ("GET", r"/api/mylist/list", mylist_api),
    ("GET", r"/my/mylist", lambda h: list_page(DEFLIST) if h.logged_in() else top_page(h)),
    ("GET", r"/api/deflist/list", deflist_api),
    ("GET", r"/ping", lambda h: Reply("<html><body>ok</body></html>")),
    ("GET", r"/smile", video_file),
    ("GET", r"/thumb", thumbnail),
    ("GET", r"/_fake/(video|thumbnail|api)-mode", set_mode),
]


# ---- For the download item worker's tests --------------------------------------------------------
# sm13: a video whose watch page has an empty title (the title element holds only the site suffix).
VIDEOS["sm13"] = dict(VIDEOS["sm12"], title="", economy=False, flv={"thread_id": "1000000013", "l": "30"})
# sm19: sm9 under an ID of two digits (a row's ID needs two), with sm9's comments, uploader thread and file.
VIDEOS["sm19"] = dict(VIDEOS["sm9"])
# sm16: sm9's page and thumbnail under another ID, whose API data always says the session is not
# logged in, also right after a login: a row that never gets its API data.
VIDEOS["sm16"] = dict(VIDEOS["sm9"], api_closed=True)
# A page that always links to the login form, however the session stands.
ROUTES.append(("GET", r"/_fake/always-login", lambda h: Reply(f'<html><body><a href="{h.base_url()}secure/login">ログイン</a></body></html>')))
# ---- End of the download item worker's block -----------------------------------------------------

# ---- For the download queue's benchmark ------------------------------------------------------------
# sm3000..sm3009: ten videos of 50 MB each, made on the fly like sm200.
for number in range(3000, 3010):
    VIDEOS[f"sm{number}"] = dict(VIDEOS["sm200"], title=f"ベンチ用の動画{number}",
                                 flv={"thread_id": f"100000{number}", "l": "60"}, size=50 * 1024 * 1024)
# ---- End of the download queue's benchmark block ----------------------------------------------------

# ---- For the player's play-after-download tests ------------------------------------------------------
# sm21: an MP4 video whose file is the body a test posts to /_fake/video-body/sm21 (a real clip, so
# that the player can play what it downloaded); /_fake/release lets a held video reply (hold=1) go.
VIDEOS["sm21"] = dict(VIDEOS["sm12"], title="再生する動画", economy=False, flv={"thread_id": "1000000021", "l": "2"})
HOLD_SECONDS = 60


def set_video_body(handler, video_id):
    handler.server.video_bodies[video_id] = handler.body
    return Reply("ok", content_type="text/plain")


def release_video(handler):
    handler.server.video_gate.set()
    return Reply("ok", content_type="text/plain")


ROUTES.append(("POST", r"/_fake/video-body/(\w+)", set_video_body))
ROUTES.append(("GET", r"/_fake/release", release_video))
# ---- End of the play-after-download block --------------------------------------------------------------


class Handler(http.server.BaseHTTPRequestHandler):
    # HTTP/1.0: the connection closes after each reply, which also ends a reply without a length.
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def base_url(self):
        return f"http://127.0.0.1:{self.server.server_address[1]}/"

    def logged_in(self):
        cookies = http.cookies.SimpleCookie(self.headers.get("Cookie", ""))
        return SESSION_COOKIE in cookies and cookies[SESSION_COOKIE].value == SESSION_VALUE

    def do_GET(self):
        self.handle_request("GET")

    def do_POST(self):
        self.handle_request("POST")

    def handle_request(self, method):
        parsed = urllib.parse.urlsplit(self.path)
        self.query = urllib.parse.parse_qs(parsed.query)
        if parsed.path == "/_fake/shutdown":
            self.send(Reply("bye", content_type="text/plain"))
            threading.Thread(target=self.server.shutdown).start()
            return
        self.server.log_request_line(method, self.path, self.headers.get("User-Agent", ""), self.headers.get("Cookie", ""))
        length = int(self.headers.get("Content-Length") or 0)
        self.body = self.rfile.read(length) if length else b""
        for methods, pattern, route in ROUTES:
            match = re.fullmatch(pattern, parsed.path)
            if match and method in methods.split():
                self.send(route(self, *match.groups()))
                return
        self.send(Reply("<html><body>not found</body></html>", status=404))

    def send(self, reply):
        self.send_response(reply.status)
        self.send_header("Content-Type", reply.content_type)
        self.send_header("Cache-Control", "no-store")
        if reply.length is not None:
            declared = len(reply.body) if reply.length == "exact" else reply.length
            self.send_header("Content-Length", str(declared))
        for name, value in reply.headers:
            self.send_header(name, value)
        self.end_headers()
        try:
            if isinstance(reply, StreamReply):
                reply.write(self.wfile)
            else:
                self.wfile.write(reply.body)
                self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError):
            return
        if reply.reset:
            # A zero linger time makes the close send RST.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.connection.close()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, log_path):
        super().__init__(("127.0.0.1", 0), Handler)
        self.log_path = log_path
        self.log_lock = threading.Lock()
        # What the tests change and read back: the login mode, the threads with the comments posted
        # to them, and the posted chat elements.
        self.login_mode = "normal"
        self.threads = {thread: list(chats) for thread, chats in THREADS.items()}
        self.posted = []
        self.state_lock = threading.Lock()
        self.modes = {}  # kind -> [values, replies left]
        # Video files posted by the tests, by video ID, and the gate of held video replies.
        self.video_bodies = {}
        self.video_gate = threading.Event()

    def set_mode(self, kind, values, times):
        with self.log_lock:
            self.modes[kind] = [values, times]
            if "hold" in values:
                self.video_gate.clear()

    def take_mode(self, kind):
        """The values of the kind's mode for this reply ({} when none); counts the reply."""
        with self.log_lock:
            entry = self.modes.get(kind)
            if not entry:
                return {}
            entry[1] -= 1
            if entry[1] <= 0:
                del self.modes[kind]
            return entry[0]

    def log_request_line(self, *fields):
        # Written before the reply, so a client that has its reply finds the line.
        line = "\t".join(field.replace("\t", " ") for field in fields) + "\n"
        with self.log_lock, open(self.log_path, "a", encoding="utf-8") as log:
            log.write(line)


def watch_for_end(server, alive_path, max_seconds):
    deadline = time.monotonic() + max_seconds
    while os.path.exists(alive_path) and time.monotonic() < deadline:
        time.sleep(0.2)
    server.shutdown()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port-file", required=True)
    parser.add_argument("--log-file", required=True)
    parser.add_argument("--alive-file", required=True)
    parser.add_argument("--max-seconds", type=float, default=600)
    args = parser.parse_args()

    server = Server(args.log_file)
    open(args.log_file, "w").close()
    threading.Thread(target=watch_for_end, args=(server, args.alive_file, args.max_seconds), daemon=True).start()
    temporary = args.port_file + ".tmp"
    with open(temporary, "w") as port_file:
        port_file.write(str(server.server_address[1]))
    os.replace(temporary, args.port_file)
    try:
        server.serve_forever(poll_interval=0.1)
    finally:
        server.server_close()
        os.remove(args.port_file)


if __name__ == "__main__":
    main()
