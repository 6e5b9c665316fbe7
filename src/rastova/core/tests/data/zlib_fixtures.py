#!/usr/bin/python3
# Writes the zlib fixtures of the compression-stream tests with Python's own zlib:
#   /usr/bin/python3 zlib_fixtures.py
import zlib

def pattern(n):
    return bytes((i * 7 + i // 251) & 255 for i in range(n))

data = pattern(100000)
with open("zlib_pattern.z", "wb") as f:
    f.write(zlib.compress(data, 9))
# Compressed data followed by bytes that belong to whatever comes next.
with open("zlib_with_tail.bin", "wb") as f:
    f.write(zlib.compress(b"hello, hello, hello" * 10) + b"TAIL")
# A stream that needs a preset dictionary.
c = zlib.compressobj(zdict=b"a preset dictionary")
with open("zlib_preset_dictionary.z", "wb") as f:
    f.write(c.compress(b"a preset dictionary, a preset dictionary") + c.flush())
