#!/usr/bin/env python3
"""The theme generator: its encoders against independent decoders, its readers on damaged
input, its layout arithmetic, and the pictures the build made with it.
Usage: test_make_theme.py SOURCE_DIR PICTURES_DIR REPORT_FILE"""
import os
import random
import re
import struct
import sys
import tempfile
import types
import unittest

SOURCE, PICTURES, REPORT = sys.argv[1:4]
# The generator has no .py name: its text is run as a module of its own.
theme = types.ModuleType("make_theme")
theme.__file__ = os.path.join(SOURCE, "scripts", "make_theme")
_path = theme.__file__
with open(_path, encoding="utf-8") as _f:
    exec(compile(_f.read(), _path, "exec"), theme.__dict__)


def lzw_decode(data):
    """Palette indices of one image's LZW data (code size byte, then sub-blocks)."""
    min_size, pos, packed = data[0], 1, bytearray()
    while data[pos]:
        packed += data[pos + 1:pos + 1 + data[pos]]
        pos += 1 + data[pos]
    clear, end = 1 << min_size, (1 << min_size) + 1
    size, acc, nbits, out, table, prev = min_size + 1, 0, 0, [], None, None
    for byte in packed:
        acc |= byte << nbits
        nbits += 8
        while nbits >= size:
            code = acc & ((1 << size) - 1)
            acc >>= size
            nbits -= size
            if code == clear:
                table = [[i] for i in range(clear)] + [None, None]
                size, prev = min_size + 1, None
                continue
            if code == end:
                return out
            if prev is None:
                entry = table[code]
            elif code < len(table):
                entry = table[code]
                table.append(prev + entry[:1])
            else:
                entry = prev + prev[:1]
                table.append(entry)
            out += entry
            prev = entry
            if len(table) == (1 << size) and size < 12:
                size += 1
    return out


def gif_frames(data):
    """(width, height, [(delay, indices)], loops) of a GIF, walked block by block."""
    assert data[:6] == b"GIF89a"
    width, height, flags = struct.unpack("<HHB", data[6:11])
    pos = 13 + (3 << ((flags & 7) + 1) if flags & 0x80 else 0)
    frames, delay, loops = [], None, False
    while data[pos] != 0x3B:
        if data[pos] == 0x21:
            label = data[pos + 1]
            if label == 0xF9:
                delay = struct.unpack("<H", data[pos + 4:pos + 6])[0]
            if label == 0xFF and data[pos + 3:pos + 14] == b"NETSCAPE2.0":
                loops = True
            pos += 2
            while data[pos]:
                pos += 1 + data[pos]
            pos += 1
        elif data[pos] == 0x2C:
            w, h, lflags = struct.unpack("<HHB", data[pos + 5:pos + 10])
            assert (w, h) == (width, height) and not lflags & 0x80
            start = pos = pos + 10
            pos += 1
            while data[pos]:
                pos += 1 + data[pos]
            pos += 1
            frames.append((delay, lzw_decode(data[start:pos])))
        else:
            raise AssertionError("unknown block %#x" % data[pos])
    return width, height, frames, loops


class Encoders(unittest.TestCase):
    def test_lzw_round_trips(self):
        rng = random.Random(7)
        cases = {
            "one pixel": ([0], 2),
            "a long run grows the table past its limit": ([3] * 200000, 2),
            "noise of 256 colours resets the table": ([rng.randrange(256) for _ in range(30000)], 8),
            "two colours": ([rng.randrange(2) for _ in range(5000)], 2),
            "stripes": ([(i // 7) % 16 for i in range(40000)], 4),
        }
        for name, (indices, size) in cases.items():
            with self.subTest(name):
                self.assertEqual(lzw_decode(theme.lzw_encode(indices, size)), indices)

    def test_gif_keeps_every_frame_and_its_delay(self):
        frames = [[[(255, 255, 255)] * 5 for _ in range(3)] for _ in range(4)]
        frames[2][1][3] = (11, 92, 173)
        width, height, walked, loops = gif_frames(theme.write_gif(frames, 10))
        self.assertEqual((width, height, len(walked), loops), (5, 3, 4, True))
        self.assertEqual({d for d, _ in walked}, {10})
        self.assertEqual(len({tuple(ix) for _, ix in walked}), 2)

    def test_png_round_trips_and_damage_is_refused(self):
        rows = [[(x * 40 % 256, y * 70 % 256, 9) for x in range(7)] for y in range(4)]
        data = theme.write_png(rows)
        self.assertEqual(theme.read_png(data), (7, 4, rows))
        damaged = {
            "empty": b"",
            "signature only": data[:8],
            "cut in a chunk": data[:30],
            "no pixels": data[:33] + data[-12:],
            "not a PNG": b"GIF89a" + data[6:],
            "16 bits a channel": data[:24] + b"\x10" + data[25:],
            "huge": data[:16] + struct.pack(">II", 1 << 15, 1 << 15) + data[24:],
            "short header": data[:8] + struct.pack(">I", 3) + b"IHDR" + data[16:19] + data[-16:],
        }
        for name, blob in damaged.items():
            with self.subTest(name):
                with self.assertRaises(ValueError):
                    theme.read_png(blob)
        # Any other damage reads or is refused, never a traceback of another kind.
        rng = random.Random(11)
        for _ in range(300):
            blob = bytearray(data)
            for _ in range(rng.randrange(1, 6)):
                blob[rng.randrange(8, len(blob))] = rng.randrange(256)
            try:
                theme.read_png(bytes(blob[:rng.randrange(8, len(blob) + 1)]))
            except ValueError:
                pass


class Layout(unittest.TestCase):
    def test_dialog_units_become_the_adapted_pixels(self):
        cases = [
            # x, y, w, h, id -> x, y, w, h
            ((18, 18, 320, 24, 1041), (41, 36, 720, 48)),
            ((258, 276, 80, 22, 1001), (581, 552, 180, 49)),  # buttons below 1010 get 4 more
            ((98, 182, 160, 24, 1010), (221, 364, 360, 48)),
            ((0, 0, 0, 0, 1500), (0, 0, 0, 0)),
        ]
        for args, want in cases:
            with self.subTest(args=args):
                self.assertEqual(theme.control_pixels(*args), want)

    def test_dialog_files_that_do_not_read_give_no_controls(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "x.gui")
            texts = {
                "missing": None,
                "not XML": "\x00\xff<<<",
                "bad numbers": '<control id="1007" x="1" y="two" width="3" height="4"/>',
                "no id": '<control x="1" y="2" width="3" height="4"/>',
            }
            for name, text in texts.items():
                with self.subTest(name):
                    if os.path.exists(path):
                        os.remove(path)
                    if text is not None:
                        with open(path, "w", encoding="utf-8") as f:
                            f.write(text)
                    self.assertEqual(theme.read_controls(path), {})

    def test_skins_come_from_the_pictures_files(self):
        with tempfile.TemporaryDirectory() as tmp:
            os.makedirs(os.path.join(tmp, "QV"))
            with open(os.path.join(tmp, "QV", "QV_pictures.ini"), "w", encoding="utf-8") as f:
                f.write("ButtonNormal.1=..\\pictures\\button_primary_180x49_normal.png\n"
                        "ButtonPush.1=..\\pictures\\button_tile_360x48_push.png\n"
                        "ButtonOver.1=..\\pictures\\button_tile_99999x48_over.png\n"
                        "ButtonOver.2=..\\pictures\\button_tile_2x48_over.png\n"
                        "ButtonOver.3=..\\pictures\\button_other_20x20_over.png\n")
            self.assertEqual(theme.skins_named(tmp),
                             [("primary", 180, 49), ("tile", 360, 48)])


class Built(unittest.TestCase):
    def test_connection_pictures_animate_once_a_second_at_their_controls_size(self):
        for kind in ("PC", "AIO", "BORNE"):
            for suffix in ("connectRouter", "ConnectBorne"):
                name = kind + suffix + ".gif"
                with self.subTest(name):
                    with open(os.path.join(PICTURES, name), "rb") as f:
                        width, height, frames, loops = gif_frames(f.read())
                    self.assertEqual((width, height), (theme.CONNECTION_W, theme.CONNECTION_H))
                    self.assertTrue(loops)
                    self.assertAlmostEqual(sum(d for d, _ in frames), 100, delta=20)
                    # The plug moves: the first and the last frames differ.
                    self.assertNotEqual(frames[0][1], frames[-1][1])

    def test_every_skin_a_screen_names_exists_at_its_size(self):
        config = os.path.join(SOURCE, "dist", "config")
        skins = theme.skins_named(config)
        self.assertGreaterEqual(len(skins), 4)
        for style, w, h in skins:
            for state in theme.STATES:
                name = theme.skin_name(style, w, h, state)
                with self.subTest(name):
                    with open(os.path.join(PICTURES, name), "rb") as f:
                        width, height, _ = theme.read_png(f.read())
                    self.assertEqual((width, height), (w, h))

    def test_every_text_colour_passes_its_contrast(self):
        with open(REPORT, encoding="utf-8") as f:
            lines = [line for line in f if line.strip()]
        self.assertGreater(len(lines), 10)
        for line in lines:
            m = re.search(r"(\d+\.\d+) : 1 \(needs (\d\.\d)\)", line)
            self.assertTrue(m, line)
            self.assertGreaterEqual(float(m.group(1)), float(m.group(2)), line)

    def test_contrast_of_known_pairs(self):
        pairs = [((255, 255, 255), (0, 0, 0), 21.0), ((0x0B, 0x5C, 0xAD), (255, 255, 255), 6.67),
                 ((255, 0, 0), (255, 255, 255), 4.0), ((0x33, 0x33, 0x33), theme.BAND, 10.82)]
        for a, b, want in pairs:
            self.assertAlmostEqual(theme.contrast(a, b), want, delta=0.01)
        self.assertEqual(theme.readable_on(theme.ACCENT), theme.WHITE)
        self.assertEqual(theme.readable_on(theme.TINT), theme.INK)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
