"""Writes the program's icon in the sizes Windows shows (Explorer, task bar,
title bar, Start menu) from the 256-pixel PNG: make_icon.py PNG ICO"""
import sys

from PIL import Image

Image.open(sys.argv[1]).save(
    sys.argv[2], sizes=[(16, 16), (24, 24), (32, 32), (48, 48), (64, 64), (256, 256)])
