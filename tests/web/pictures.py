"""Pictures for the web tests: PNG bytes decoded by ffmpeg into RGB arrays, and two pictures
compared as the desktop's tests compare them: the mean difference of the colour channels (of
255), and the percentage of pixels with a channel off by more than 32."""

import struct
import subprocess

import numpy


def read_png(data):
    """Rows top first, an array of height x width x 3 bytes."""
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise ValueError("not a PNG")
    width, height = struct.unpack(">II", data[16:24])
    rgb = subprocess.run(["ffmpeg", "-v", "error", "-f", "png_pipe", "-i", "-", "-f", "rawvideo", "-pix_fmt", "rgb24",
                          "-"], input=data, stdout=subprocess.PIPE, check=True).stdout
    return numpy.frombuffer(rgb, numpy.uint8).reshape(height, width, 3)


def compare(a, b):
    """(mean difference, percent of pixels off by more than 32); None when the sizes differ."""
    if a.shape != b.shape:
        return None
    difference = numpy.abs(a.astype(numpy.int16) - b.astype(numpy.int16))
    return float(difference.mean()), float((difference.max(axis=2) > 32).mean() * 100.0)


def lit_share(picture):
    """Percentage of pixels that are not black: a blank canvas has none."""
    return float((picture.astype(numpy.int16).sum(axis=2) > 24).mean() * 100.0)
