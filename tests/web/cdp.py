"""cdp.py -- a small client of Chromium's DevTools protocol over a WebSocket, with Python's standard
library alone: start a headless browser, open a page, evaluate script in it, send input, collect
its console messages."""
import base64
import json
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import time
import urllib.parse


class CdpError(RuntimeError):
    pass


class WebSocket:
    """A client WebSocket (RFC 6455): text messages, masked frames out, any length in."""

    def __init__(self, url, timeout=60):
        parts = urllib.parse.urlsplit(url)
        self.sock = socket.create_connection((parts.hostname, parts.port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        request = (f'GET {parts.path} HTTP/1.1\r\nHost: {parts.hostname}:{parts.port}\r\n'
                   f'Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n'
                   'Sec-WebSocket-Version: 13\r\n\r\n')
        self.sock.sendall(request.encode())
        header = b''
        while b'\r\n\r\n' not in header:
            chunk = self.sock.recv(1)
            if not chunk:
                raise CdpError(f'{url}: the browser closed the connection during the handshake')
            header += chunk
        if b' 101 ' not in header.split(b'\r\n', 1)[0]:
            raise CdpError(f'{url}: no WebSocket upgrade: {header[:200]!r}')

    def _read(self, n):
        data = b''
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise CdpError('the browser closed the DevTools connection')
            data += chunk
        return data

    def send(self, text):
        payload = text.encode()
        mask = os.urandom(4)
        n = len(payload)
        if n < 126:
            head = struct.pack('!BB', 0x81, 0x80 | n)
        elif n < 65536:
            head = struct.pack('!BBH', 0x81, 0x80 | 126, n)
        else:
            head = struct.pack('!BBQ', 0x81, 0x80 | 127, n)
        masked = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
        self.sock.sendall(head + mask + masked)

    def receive(self):
        message = b''
        while True:
            first, second = self._read(2)
            n = second & 0x7F
            if n == 126:
                n = struct.unpack('!H', self._read(2))[0]
            elif n == 127:
                n = struct.unpack('!Q', self._read(8))[0]
            mask = self._read(4) if second & 0x80 else None
            payload = self._read(n)
            if mask:
                payload = bytes(b ^ mask[i % 4] for i, b in enumerate(payload))
            opcode = first & 0x0F
            if opcode == 0x8:
                raise CdpError('the browser closed the DevTools connection')
            if opcode == 0x9:  # ping: answered, then go on reading
                continue
            if opcode in (0x0, 0x1, 0x2):
                message += payload
                if first & 0x80:
                    return message.decode()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass


class Browser:
    """Headless Chromium with a fresh profile, driven through one page."""

    def __init__(self, chromium='/usr/bin/chromium', extra_flags=()):
        self.profile = tempfile.mkdtemp(prefix='flyover-web-test-')
        flags = ['--headless', '--remote-debugging-port=0', '--no-sandbox', '--disable-gpu',
                 '--disable-quic', '--no-first-run', '--disable-background-networking',
                 '--disable-component-update', '--disable-sync', '--mute-audio',
                 f'--user-data-dir={self.profile}', *extra_flags, 'about:blank']
        self.process = subprocess.Popen([chromium, *flags], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        port_file = os.path.join(self.profile, 'DevToolsActivePort')
        deadline = time.monotonic() + 30
        while True:
            if os.path.exists(port_file):
                with open(port_file) as file:
                    lines = file.read().split('\n')
                if len(lines) >= 2 and lines[1]:
                    break
            if self.process.poll() is not None or time.monotonic() > deadline:
                self.close()
                raise CdpError(f'{chromium} did not start (no {port_file})')
            time.sleep(0.05)
        self.ws = WebSocket(f'ws://127.0.0.1:{lines[0]}{lines[1]}')
        self.next_id = 0
        self.events = []
        target = self.call('Target.createTarget', {'url': 'about:blank'})['targetId']
        self.session = self.call('Target.attachToTarget',
                                 {'targetId': target, 'flatten': True})['sessionId']
        for domain in ('Runtime', 'Log', 'Page'):
            self.call(f'{domain}.enable', session=True)

    def call(self, method, params=None, session=False):
        self.next_id += 1
        message = {'id': self.next_id, 'method': method, 'params': params or {}}
        if session:
            message['sessionId'] = self.session
        self.ws.send(json.dumps(message))
        while True:
            reply = json.loads(self.ws.receive())
            if reply.get('id') == self.next_id:
                if 'error' in reply:
                    raise CdpError(f'{method}: {reply["error"]}')
                return reply.get('result', {})
            if 'method' in reply:
                self.events.append(reply)

    def page(self, method, params=None):
        return self.call(method, params, session=True)

    def evaluate(self, expression, await_promise=False):
        result = self.page('Runtime.evaluate', {'expression': expression, 'returnByValue': True,
                                                'awaitPromise': await_promise})
        if 'exceptionDetails' in result:
            raise CdpError(f'{expression[:80]}: {result["exceptionDetails"]}')
        return result['result'].get('value')

    def wait_for(self, expression, timeout=30, what=None):
        deadline = time.monotonic() + timeout
        while True:
            value = self.evaluate(expression)
            if value:
                return value
            if time.monotonic() > deadline:
                raise CdpError(f'timed out after {timeout} s waiting for {what or expression}')
            time.sleep(0.02)

    def navigate(self, url):
        self.page('Page.navigate', {'url': url})

    def key(self, key='a', code='KeyA', key_code=65):
        for kind in ('keyDown', 'keyUp'):
            self.page('Input.dispatchKeyEvent', {'type': kind, 'key': key, 'code': code,
                                                 'windowsVirtualKeyCode': key_code,
                                                 'text': key if kind == 'keyDown' else ''})

    def click(self, x, y):
        for kind in ('mousePressed', 'mouseReleased'):
            self.page('Input.dispatchMouseEvent', {'type': kind, 'x': x, 'y': y,
                                                   'button': 'left', 'clickCount': 1})

    def tap(self, x, y):
        self.page('Input.dispatchTouchEvent', {'type': 'touchStart', 'touchPoints': [{'x': x, 'y': y}]})
        self.page('Input.dispatchTouchEvent', {'type': 'touchEnd', 'touchPoints': []})

    def problems(self):
        """The console's errors and warnings and the page's uncaught exceptions so far."""
        self.evaluate('0')  # collects the events that came meanwhile
        found = []
        for event in self.events:
            method, params = event['method'], event.get('params', {})
            if method == 'Runtime.consoleAPICalled' and params['type'] in ('error', 'warning', 'assert'):
                text = ' '.join(str(a.get('value', a.get('description', ''))) for a in params['args'])
                found.append(f'console.{params["type"]}: {text}')
            elif method == 'Runtime.exceptionThrown':
                found.append(f'exception: {params["exceptionDetails"]}')
            elif method == 'Log.entryAdded' and params['entry']['level'] in ('error', 'warning'):
                entry = params['entry']
                found.append(f'log {entry["level"]}: {entry["text"]} {entry.get("url", "")}')
        return found

    def close(self):
        if getattr(self, 'ws', None):
            self.ws.close()
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)
