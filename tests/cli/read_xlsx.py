#!/usr/bin/python3
"""Reads a workbook with openpyxl and prints what it holds as JSON.

Usage: read_xlsx.py FILE. Prints {"sheets": [names], "freeze": cell, "filter": range,
"bold": [whether each header cell is bold], "widths": [width of columns A to G],
"rows": [[cell, ...], ...]}, each cell null when empty, else [type, value, number format]:
type "n" for a number, "d" for a date-time (its value in ISO 8601), "s" for text, whose
_xHHHH_ escapes openpyxl's own unescape turns back into their characters.
"""
import datetime
import json
import sys

import openpyxl
from openpyxl.utils.escape import unescape


def cell(c):
    if c.value is None:
        return None
    if isinstance(c.value, datetime.datetime):
        return ["d", c.value.isoformat(), c.number_format]
    if isinstance(c.value, (int, float)):
        return ["n", c.value, c.number_format]
    return ["s", unescape(c.value), c.number_format]


book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
print(json.dumps({
    "sheets": book.sheetnames,
    "freeze": sheet.freeze_panes,
    "filter": sheet.auto_filter.ref,
    "bold": [bool(c.font.b) for c in sheet[1]],
    "widths": [sheet.column_dimensions[letter].width for letter in "ABCDEFG"],
    "rows": [[cell(c) for c in row] for row in sheet.iter_rows()],
}))
