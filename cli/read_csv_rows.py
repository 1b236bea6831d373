#!/usr/bin/env python3
"""Reads a CSV file with Python's own csv module, a reader independent of varnholt-cli's
writer, and prints each row as its fields' bytes in hex, tab-separated, one row per line."""
import csv
import sys

with open(sys.argv[1], newline="", encoding="utf-8", errors="surrogateescape") as rows:
    for row in csv.reader(rows, strict=True):
        print("\t".join(field.encode("utf-8", "surrogateescape").hex() for field in row))
