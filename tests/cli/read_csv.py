#!/usr/bin/python3
"""Reads a CSV file with Python's csv module and prints its rows as a JSON array of arrays.

Usage: read_csv.py FILE [DELIMITER]. The file must be UTF-8; any other bytes fail the read.
"""
import csv
import json
import sys

with open(sys.argv[1], newline="", encoding="utf-8", errors="strict") as f:
    delimiter = sys.argv[2] if len(sys.argv) > 2 else ","
    rows = list(csv.reader(f, delimiter=delimiter, strict=True))
print(json.dumps(rows))
