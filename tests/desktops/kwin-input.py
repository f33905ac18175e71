#!/usr/bin/python3
# kwin-input.py CMD... moves KWin's pointer through its fake-input protocol (org_kde_kwin_fake_input),
# spoken over the Wayland socket directly:
#   to:X,Y  the pointer to that point;  move:DX,DY  a relative move
#   down:BTN / up:BTN / click:BTN  an evdev button (272 left, 273 right)
#   drag:DX,DY  in 20 steps, for drags;  key:A,B  evdev keys pressed in order, released in reverse
#   sleep:S
import os, socket, struct, sys, time

sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
sock.connect(os.path.join(os.environ['XDG_RUNTIME_DIR'], os.environ.get('WAYLAND_DISPLAY', 'wayland-0')))

def arg_string(text):
    data = text.encode() + b'\0'
    return struct.pack('<I', len(data)) + data + b'\0' * (-len(data) % 4)

def send(obj, opcode, payload=b''):
    sock.sendall(struct.pack('<II', obj, (8 + len(payload)) << 16 | opcode) + payload)

buffer = b''
def events():
    global buffer
    while True:
        while len(buffer) >= 8:
            obj, word = struct.unpack_from('<II', buffer)
            size = word >> 16
            if len(buffer) < size:
                break
            yield obj, word & 0xffff, buffer[8:size]
            buffer = buffer[size:]
        chunk = sock.recv(65536)
        if not chunk:
            sys.exit('kwin-input: the compositor closed the connection')
        buffer += chunk

next_id = 2
def roundtrip(on_event=lambda *event: None):
    global next_id
    callback = next_id; next_id += 1
    send(1, 0, struct.pack('<I', callback))  # wl_display.sync
    for obj, opcode, body in events():
        if obj == callback:
            return
        if obj == 1 and opcode == 0:  # wl_display.error
            sys.exit('kwin-input: protocol error ' + repr(body))
        on_event(obj, opcode, body)

registry = next_id; next_id += 1
send(1, 1, struct.pack('<I', registry))
found = {}
def on_global(obj, opcode, body):
    if obj == registry and opcode == 0:
        name, length = struct.unpack_from('<II', body)
        interface = body[8:8 + length - 1].decode()
        found[interface] = (name, struct.unpack_from('<I', body, 8 + length + (-length % 4))[0])
roundtrip(on_global)
if 'org_kde_kwin_fake_input' not in found:
    sys.exit('kwin-input: the compositor offers no org_kde_kwin_fake_input')
name, version = found['org_kde_kwin_fake_input']
fake = next_id; next_id += 1
send(registry, 0, struct.pack('<I', name) + arg_string('org_kde_kwin_fake_input') +
     struct.pack('<II', min(version, 4), fake))
send(fake, 0, arg_string('framlet tests') + arg_string('drives the pointer in a test session'))
roundtrip()

fixed = lambda value: struct.pack('<i', int(round(float(value) * 256)))
for command in sys.argv[1:]:
    op, _, arg = command.partition(':')
    if op == 'to':
        x, y = arg.split(',')
        send(fake, 9, fixed(x) + fixed(y))
    elif op == 'move':
        dx, dy = arg.split(',')
        send(fake, 1, fixed(dx) + fixed(dy))
    elif op in ('down', 'up'):
        send(fake, 2, struct.pack('<II', int(arg or 272), op == 'down'))
    elif op == 'click':
        send(fake, 2, struct.pack('<II', int(arg or 272), 1)); roundtrip(); time.sleep(0.08)
        send(fake, 2, struct.pack('<II', int(arg or 272), 0))
    elif op == 'drag':
        dx, dy = [float(v) / 20 for v in arg.split(',')]
        for _ in range(20):
            send(fake, 1, fixed(dx) + fixed(dy)); roundtrip(); time.sleep(0.03)
    elif op == 'key':
        keys = [int(k) for k in arg.split(',')]
        for k in keys: send(fake, 10, struct.pack('<II', k, 1)); roundtrip(); time.sleep(0.05)
        for k in reversed(keys): send(fake, 10, struct.pack('<II', k, 0)); roundtrip(); time.sleep(0.05)
    elif op == 'sleep':
        time.sleep(float(arg))
    else:
        sys.exit('kwin-input: unknown command ' + command)
    roundtrip()
    time.sleep(0.15)
print('done', sys.argv[1:])
