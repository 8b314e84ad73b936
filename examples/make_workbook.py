#!/usr/bin/env python3
"""Writes data/example.xlsm, the workbook of the example job, from the example text files.

Sheet "Data": header x1, x2, x3, y, then the 120 training rows (ti.txt inputs, to.txt output).
Sheet "Predict": the same header, then the 10 rows of pi.txt, column D left for the predictions.
A minimal Office Open XML package written by hand, standard library only. Fixed time stamps
keep the file byte for byte the same on every run, so it can be kept in version control.
"""
import os
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
data = os.path.join(here, "data")

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
RELS = "http://schemas.openxmlformats.org/package/2006/relationships"
DOC_RELS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
HEADER = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\r\n'
SHEETS = ["Data", "Predict"]


def read_table(name):
    with open(os.path.join(data, name), encoding="ascii") as f:
        rows = [line.split("\t") for line in f.read().splitlines() if line]
    for row in rows:
        for value in row:
            float(value)  # only numbers may go into <v> unquoted
    return rows


def row_xml(number, values, as_text):
    cells = []
    for column, value in zip("ABCD", values):
        ref = f"{column}{number}"
        if as_text:
            cells.append(f'<c r="{ref}" t="inlineStr"><is><t>{value}</t></is></c>')
        else:
            cells.append(f'<c r="{ref}"><v>{value}</v></c>')
    return f'<row r="{number}">{"".join(cells)}</row>'


def worksheet(header, rows):
    """The header row as inline strings (no shared-strings part needed), then numbers."""
    lines = [row_xml(1, header, True)]
    lines += [row_xml(number, values, False) for number, values in enumerate(rows, start=2)]
    return (HEADER + f'<worksheet xmlns="{MAIN}"><dimension ref="A1:D{len(rows) + 1}"/>'
            + "<sheetData>" + "".join(lines) + "</sheetData></worksheet>")


def content_types():
    # A workbook saved as .xlsm must declare the macro-enabled main part, even without macros.
    overrides = [("/xl/workbook.xml", "application/vnd.ms-excel.sheet.macroEnabled.main+xml")]
    overrides += [(f"/xl/worksheets/sheet{i}.xml",
                   "application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml")
                  for i in range(1, len(SHEETS) + 1)]
    return (HEADER
            + '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            + '<Default Extension="rels" '
              'ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            + '<Default Extension="xml" ContentType="application/xml"/>'
            + "".join(f'<Override PartName="{p}" ContentType="{t}"/>' for p, t in overrides)
            + "</Types>")


def relationships(targets):
    return (HEADER + f'<Relationships xmlns="{RELS}">'
            + "".join(f'<Relationship Id="rId{i}" Type="{DOC_RELS}/{kind}" Target="{target}"/>'
                      for i, (kind, target) in enumerate(targets, start=1))
            + "</Relationships>")


def workbook():
    sheets = "".join(f'<sheet name="{name}" sheetId="{i}" r:id="rId{i}"/>'
                     for i, name in enumerate(SHEETS, start=1))
    return (HEADER + f'<workbook xmlns="{MAIN}" xmlns:r="{DOC_RELS}">'
            + f"<sheets>{sheets}</sheets></workbook>")


def main():
    header = ["x1", "x2", "x3", "y"]
    inputs, outputs = read_table("ti.txt"), read_table("to.txt")
    assert len(inputs) == len(outputs) == 120
    training = [i + o for i, o in zip(inputs, outputs)]
    prediction = read_table("pi.txt")
    parts = [
        ("[Content_Types].xml", content_types()),
        ("_rels/.rels", relationships([("officeDocument", "xl/workbook.xml")])),
        ("xl/workbook.xml", workbook()),
        ("xl/_rels/workbook.xml.rels",
         relationships([("worksheet", f"worksheets/sheet{i}.xml")
                        for i in range(1, len(SHEETS) + 1)])),
        ("xl/worksheets/sheet1.xml", worksheet(header, training)),
        ("xl/worksheets/sheet2.xml", worksheet(header, prediction)),
    ]
    with zipfile.ZipFile(os.path.join(data, "example.xlsm"), "w") as package:
        for name, text in parts:
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            package.writestr(info, text.encode("utf-8"))


if __name__ == "__main__":
    main()
