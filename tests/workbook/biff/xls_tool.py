#!/usr/bin/python3
"""Fixtures and independent checks for the .xls tests.

xlwt (and LibreOffice, where installed) make the workbooks; xlrd and olefile read them back; a
record walker written from the published BIFF8 format checks the bookkeeping of the cell tables
(ROW spans, DIMENSIONS, INDEX and DBCELL offsets, BOUNDSHEET offsets).

  make KIND PATH [--blocks] [--names] [--groups]   a fixture made by xlwt
  lo FOLDER                                        fixtures made by LibreOffice
  dump PATH                                        every cell as xlrd reads it
  lo-dump PATH...                                  every cell as LibreOffice reads it
  streams PATH                                     every other stream and storage, hashed
  check PATH                                       the cell tables' bookkeeping
  corrupt KIND IN OUT                              a damaged copy
  stream PATH OUT                                  the Workbook stream alone
"""
import datetime
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import olefile
import xlrd
import xlwt
from xlwt.CompoundDoc import XlsDoc

BOF, EOF, BOUNDSHEET, SST, CONTINUE = 0x0809, 0x000A, 0x0085, 0x00FC, 0x003C
INDEX, DIMENSIONS, ROW, DBCELL, DEFCOLWIDTH = 0x020B, 0x0200, 0x0208, 0x00D7, 0x0055
FORMULA, STRING, ARRAY, SHRFMLA, TABLE = 0x0006, 0x0207, 0x0221, 0x04BC, 0x0236
MULRK, MULBLANK = 0x00BD, 0x00BE
CELLS = {0x0203, 0x027E, MULRK, 0x00FD, 0x0204, 0x00D6, 0x0201, MULBLANK, 0x0205, FORMULA}
FOLLOWERS = {STRING, ARRAY, SHRFMLA, TABLE, CONTINUE}


# ---------------------------------------------------------------- records

def read_records(stream, start, stop_at_eof=True):
    """(offset, type, data) from start to the EOF that closes the substream opened there."""
    out, pos, depth = [], start, 0
    while pos + 4 <= len(stream):
        kind, size = struct.unpack_from('<HH', stream, pos)
        out.append((pos, kind, stream[pos + 4:pos + 4 + size]))
        pos += 4 + size
        depth += 1 if kind == BOF else -1 if kind == EOF else 0
        if stop_at_eof and depth == 0:
            break
    return out


def record(kind, data):
    return struct.pack('<HH', kind, len(data)) + data


def cell_columns(kind, data):
    row, first = struct.unpack_from('<HH', data)
    if kind in (MULRK, MULBLANK):
        last = struct.unpack_from('<H', data, len(data) - 2)[0]
        return row, list(range(first, last + 1))
    return row, [first]


def workbook_stream(path):
    with olefile.OleFileIO(path) as ole:
        return ole.openstream('Workbook').read()


def split_stream(stream):
    """The globals' records and each sheet's records (in stream order), and the sheet order."""
    globals_ = read_records(stream, 0)
    sheets = []
    for pos, kind, data in globals_:
        if kind == BOUNDSHEET:
            sheets.append(struct.unpack_from('<I', data)[0])
    bodies = [read_records(stream, offset) for offset in sheets]
    return globals_, bodies


def join_stream(globals_, bodies):
    """Serialises globals and sheets again, with BOUNDSHEET offsets fixed."""
    head = b''.join(record(k, d) for _, k, d in globals_)
    offsets, pos = [], len(head)
    for body in bodies:
        offsets.append(pos)
        pos += sum(4 + len(d) for _, _, d in body)
    fixed, n = [], 0
    for _, kind, data in globals_:
        if kind == BOUNDSHEET:
            data = struct.pack('<I', offsets[n]) + data[4:]
            n += 1
        fixed.append(record(kind, data))
    return b''.join(fixed) + b''.join(record(k, d) for body in bodies for _, k, d in body)


def save_stream(path, stream):
    XlsDoc().save(path, stream)


# ---------------------------------------------------------------- xlwt fixtures

def make_mixed(path):
    book = xlwt.Workbook()
    data = book.add_sheet('Data')
    numbers = [1, -7, 1.25, 0.1, 1e300, 123456789, 2 ** 31, -0.5, 3.5e-5, 536870911]
    for i, value in enumerate(numbers):
        data.write(0, i, value)
    for i, text in enumerate(['head', 'caf\u00e9', '\u0394\u20ac wide', '', 'x' * 255]):
        data.write(1, i, text)
    data.write(2, 0, True)
    data.write(2, 1, False)
    for i, code in enumerate([0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A]):
        data.row(3).set_cell_error(i, code)
    data.write(4, 0, xlwt.Formula('A1*2'))
    data.write(4, 1, xlwt.Formula('"a"&"b"'))
    data.write(4, 2, xlwt.Formula('A1+B1'))
    styled = xlwt.easyxf('font: bold on')
    for c in range(3):
        data.write(5, c, None, styled)  # blank cells with a style: BLANK and MULBLANK
    data.write(5, 4, None, styled)
    formats = ['M/D/YY', 'YYYY-MM-DD', 'hh:mm:ss', '[h]:mm', 'D-MMM-YY', '"Week" 0',
               '0.00%', 'General', '#,##0.00', 'mm:ss.0', '[Red]0.00', '\\d0']
    for i, code in enumerate(formats):
        data.write(6, i, 43832.25, xlwt.easyxf(num_format_str=code))
    data.write(7, 0, datetime.date(2020, 1, 2), xlwt.easyxf(num_format_str='DD.MM.YYYY'))
    data.write(9, 200, 5.5)
    data.write(9, 255, 6.5)
    two = book.add_sheet('Two')
    for r in range(40):
        for c in range(3):
            two.write(r, c, r * 10 + c)
    book.add_sheet('Empty')
    book.set_active_sheet(1)
    book.save(path)


def make_sst(path):
    """Enough long strings, some two-byte, that the shared strings run over CONTINUE records
    and strings break across them."""
    book = xlwt.Workbook()
    sheet = book.add_sheet('Strings')
    for i in range(120):
        base = ('\u03b1\u03b2\u03b3' if i % 3 == 0 else 'abc') * (40 + 17 * i % 300)
        sheet.write(i // 4, i % 4, '%d:%s' % (i, base))
    book.save(path)


def make_grid(path, rows, columns):
    book = xlwt.Workbook()
    sheet = book.add_sheet('Grid')
    for r in range(rows):
        for c in range(columns):
            sheet.write(r, c, r * 1000 + c + (0.5 if (r + c) % 3 == 0 else 0))
    book.add_sheet('After').write(0, 0, 'after')
    book.save(path)


def make_styles(path):
    """Row and column styles that new cells take over, and text and blanks to be replaced."""
    book = xlwt.Workbook()
    sheet = book.add_sheet('Styles')
    row_style = xlwt.easyxf('pattern: pattern solid, fore_colour yellow')
    column_style = xlwt.easyxf('font: italic on')
    sheet.col(5).set_style(column_style)
    sheet.write(0, 0, 'label', xlwt.easyxf('font: bold on'))
    sheet.write(0, 1, 2.5)
    sheet.write(1, 0, None, xlwt.easyxf('font: bold on'))
    sheet.row(6).set_style(row_style)  # xlwt writes rows in the order they were first named
    sheet.write(40, 2, 'far')
    book.save(path)


def make_job(path):
    """Sheet Data: x1, x2, y in rows 2 to 31; sheet Predict: x1, x2 in rows 2 to 6, a formula
    beside the prediction column and a value below it. The same numbers as text files beside."""
    import math
    folder = os.path.dirname(path)
    book = xlwt.Workbook()
    data, predict = book.add_sheet('Data'), book.add_sheet('Predict')
    for sheet in (data, predict):
        for c, heading in enumerate(['x1', 'x2', 'y']):
            sheet.write(0, c, heading)
    with open(os.path.join(folder, 'ti.txt'), 'w') as ti, \
            open(os.path.join(folder, 'to.txt'), 'w') as to:
        for i in range(30):
            a, b = (i % 6) / 5, (i * 7 % 11) / 10
            y = math.sin(a) + b * b / 2
            for c, value in enumerate([a, b, y]):
                data.write(i + 1, c, value)
            ti.write('%r\t%r\n' % (a, b))
            to.write('%r\n' % y)
    with open(os.path.join(folder, 'pi.txt'), 'w') as pi:
        for r in range(1, 6):
            a, b = r / 6, 1 - r / 6
            predict.write(r, 0, a)
            predict.write(r, 1, b)
            pi.write('%r\t%r\n' % (a, b))
    predict.write(1, 3, xlwt.Formula('C2*2'))
    predict.write(6, 2, 99)
    book.save(path)


def to_blocks(stream):
    """The layout of Excel's own files: INDEX after BOF, rows in blocks of 32, each block's ROW
    records, then its cells, then a DBCELL record."""
    globals_, bodies = split_stream(stream)
    new_bodies = []
    for body in bodies:
        if struct.unpack_from('<H', body[0][2], 2)[0] != 0x0010:
            new_bodies.append(body)
            continue
        rows, cells, before, after, seen_table = {}, {}, [], [], False
        last_cell = None
        for item in body[1:]:
            pos, kind, data = item
            if kind == ROW:
                rows[struct.unpack_from('<H', data)[0]] = item
                seen_table = True
            elif kind in CELLS:
                last_cell = cell_columns(kind, data)[0]
                cells.setdefault(last_cell, []).append([item])
                seen_table = True
            elif kind in FOLLOWERS and last_cell is not None and seen_table and not after:
                cells[last_cell][-1].append(item)
            elif not seen_table:
                before.append(item)
            else:
                after.append(item)
        all_rows = sorted(set(rows) | set(cells))
        groups = sorted(set(r // 32 for r in all_rows))
        new_body = [body[0], (0, INDEX, b'\0' * (16 + 4 * len(groups)))] + before
        for g in groups:
            block_rows = [r for r in all_rows if r // 32 == g]
            for r in block_rows:
                new_body.append(rows.get(r) or (0, ROW, struct.pack('<HHHHHHHH', r, 0, 0, 255, 0, 0, 0x100, 15)))
            for r in block_rows:
                for unit in cells.get(r, []):
                    new_body.extend(unit)
            new_body.append((0, DBCELL, b'\0' * (4 + 2 * len(block_rows))))
        new_body.extend(after)
        new_bodies.append(new_body)
    return fill_blocks(join_stream(globals_, new_bodies))


def fill_blocks(stream):
    """Fills INDEX and DBCELL records with the positions they describe."""
    stream = bytearray(stream)
    for body in split_stream(bytes(stream))[1]:
        index = next((p for p, k, d in body if k == INDEX), None)
        if index is None:
            continue
        dbcells, block_rows, first_cells, cell_rows = [], [], {}, []
        for pos, kind, data in body:
            if kind == ROW:
                block_rows.append((pos, struct.unpack_from('<H', data)[0], len(data)))
            elif kind in CELLS:
                row = cell_columns(kind, data)[0]
                first_cells.setdefault(row, pos)
                cell_rows.append(row)
            elif kind == DBCELL:
                entries = struct.pack('<I', pos - block_rows[0][0])
                ref = block_rows[0][0] + 4 + block_rows[0][2]
                for _, r, _ in block_rows:
                    at = first_cells.get(r)
                    entries += struct.pack('<H', at - ref if at is not None else 0)
                    ref = at if at is not None else ref
                stream[pos + 4:pos + 4 + len(entries)] = entries
                dbcells.append(pos)
                block_rows, first_cells = [], {}
        head = struct.pack('<IIII', 0, min(cell_rows, default=0), max(cell_rows, default=-1) + 1, 0)
        stream[index + 4:index + 4 + 16 + 4 * len(dbcells)] = head + b''.join(
            struct.pack('<I', p) for p in dbcells)
    return bytes(stream)


def name_record(name, formula, sheet_scope=0):
    encoded = name.encode('latin-1')
    return struct.pack('<HBBHHH4s', 0, 0, len(encoded), len(formula), 0, sheet_scope,
                       b'\0' * 4) + b'\0' + encoded + formula


def with_names(stream):
    """Adds defined names: areas and a cell of two sheets, a sheet-level one, a formula."""
    globals_, bodies = split_stream(stream)
    count = sum(1 for _, k, _ in globals_ if k == BOUNDSHEET)
    area = lambda ixti, r1, r2, c1, c2: struct.pack('<BHHHHH', 0x3B, ixti, r1, r2, c1, c2)
    added = [
        (0, 0x01AE, struct.pack('<HH', count, 0x0401)),
        (0, 0x0017, struct.pack('<HHHHHHH', 2, 0, 0, 0, 0, 1, 1)),
        (0, 0x0018, name_record('Inputs', area(0, 0, 2, 0, 1))),
        (0, 0x0018, name_record('one', struct.pack('<BHHH', 0x3A, 1, 1, 1))),
        (0, 0x0018, name_record('Column', area(1, 0, 65535, 2, 2))),
        (0, 0x0018, name_record('Local', area(0, 0, 1, 0, 1), sheet_scope=1)),
        (0, 0x0018, name_record('Expr', struct.pack('<BH', 0x1E, 3))),
    ]
    at = next(i for i, (_, k, _) in enumerate(globals_) if k == SST)
    return join_stream(globals_[:at] + added + globals_[at:], bodies)


def with_groups(stream):
    """Marks the formula at A5 as an array formula over A5:A6 and the one at B5 as the cell
    that holds a shared formula."""
    globals_, bodies = split_stream(stream)
    body = bodies[0]
    out = []
    for item in body:
        out.append(item)
        _, kind, data = item
        if kind == FORMULA and struct.unpack_from('<HH', data) == (4, 0):
            out.append((0, ARRAY, struct.pack('<HHBBHIH', 4, 5, 0, 0, 0, 0, 0)))
        if kind == FORMULA and struct.unpack_from('<HH', data) == (4, 1):
            out.append((0, SHRFMLA, struct.pack('<HHBBBBH', 4, 4, 1, 1, 0, 1, 0)))
    bodies[0] = out
    return join_stream(globals_, bodies)


def command_make(kind, path, *options):
    {'mixed': make_mixed, 'sst': make_sst, 'styles': make_styles, 'job': make_job,
     'grid': lambda p: make_grid(p, 150, 12)}[kind](path)
    stream = workbook_stream(path)
    if '--names' in options:
        stream = with_names(stream)
    if '--groups' in options:
        stream = with_groups(stream)
    if '--blocks' in options:
        stream = to_blocks(stream)
    if len(options):
        save_stream(path, stream)


# ---------------------------------------------------------------- LibreOffice fixtures

FODS_HEAD = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet>'''


def fods_cell(value):
    if isinstance(value, str) and value.startswith('='):
        escaped = value[1:].replace('&', '&amp;').replace('"', '&quot;').replace('<', '&lt;')
        return '<table:table-cell table:formula="of:=%s"/>' % escaped.replace('>', '&gt;')
    if isinstance(value, str):
        return ('<table:table-cell office:value-type="string"><text:p>%s</text:p>'
                '</table:table-cell>' % value)
    if value is None:
        return '<table:table-cell/>'
    return '<table:table-cell office:value-type="float" office:value="%r"/>' % value


def fods(sheets, names=''):
    parts = [FODS_HEAD]
    for name, rows in sheets:
        parts.append('<table:table table:name="%s">' % name)
        for row in rows:
            parts.append('<table:table-row>%s</table:table-row>' % ''.join(map(fods_cell, row)))
        parts.append('</table:table>')
    parts.append('<table:named-expressions>%s</table:named-expressions>' % names)
    parts.append('</office:spreadsheet></office:body></office:document>')
    return '\n'.join(parts)


def command_lo(folder):
    formulas = [
        [1.5, 2, '=[.A1]+[.B1]', '="ab"&"c"', '=1>0', '=1/0', '=""', '=NA()'],
        ['text', 3, '=[.A1]*2', None, '=[.B1]*10', '=REPT("ab";5000)', '=REPT("\u0394";5000)'],
        ['=[.B1]*3', '=[.B2]*3', None, None, '=[.B2]*10'],
        ['=[.B2]*3', '=[.B3]*3'],
        ['=[.B3]*3', '=[.B4]*3'],
    ]
    named = ('<table:named-range table:name="Inputs" table:base-cell-address="$Data.$A$1" '
             'table:cell-range-address="$Data.$A$1:.$B$3"/>'
             '<table:named-range table:name="Single" table:base-cell-address="$Two.$A$1" '
             'table:cell-range-address="$Two.$B$2"/>'
             '<table:named-expression table:name="Expr" table:base-cell-address="$Data.$A$1" '
             'table:expression="of:=1+2"/>')
    big = [[r * 100 + c + 0.25 for c in range(8)] for r in range(3000)]
    documents = {
        'formulas': fods([('Data', formulas), ('Two', [[7, 8], [9, 10]])], named),
        'big': fods([('Big', big), ('Small', [[1, 2], [3, 4]])]),
    }
    for name, text in documents.items():
        with open(os.path.join(folder, name + '.fods'), 'w', encoding='utf-8') as f:
            f.write(text)
    # The array formula: LibreOffice writes it as an ARRAY record after the anchor's FORMULA.
    with open(os.path.join(folder, 'formulas.fods'), encoding='utf-8') as f:
        text = f.read().replace(
            'table:formula="of:=[.A1]*2"/>',
            'table:formula="of:=[.A1]*2" table:number-matrix-columns-spanned="2" '
            'table:number-matrix-rows-spanned="2"/>', 1)
    with open(os.path.join(folder, 'formulas.fods'), 'w', encoding='utf-8') as f:
        f.write(text)
    soffice(['--convert-to', 'xls', '--outdir', folder] +
            [os.path.join(folder, n + '.fods') for n in documents])


def soffice(arguments):
    profile = tempfile.mkdtemp(prefix='tarvex-lo-')
    try:
        subprocess.run(['soffice', '-env:UserInstallation=file://' + profile, '--headless'] +
                       arguments, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def command_lo_dump(*paths):
    out = tempfile.mkdtemp(prefix='tarvex-csv-')
    try:
        soffice(['--convert-to',
                 'csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,false,false,'
                 'false,-1', '--outdir', out] + list(paths))
        for path in paths:
            stem = os.path.splitext(os.path.basename(path))[0]
            print('file\t%s' % path)
            book = xlrd.open_workbook(path, on_demand=True)
            for index, name in enumerate(book.sheet_names()):
                csv_path = os.path.join(out, '%s-%s.csv' % (stem, name))
                if not os.path.exists(csv_path) and len(book.sheet_names()) == 1:
                    csv_path = os.path.join(out, stem + '.csv')
                with open(csv_path, encoding='utf-8') as f:
                    for r, line in enumerate(f.read().splitlines()):
                        for c, field in enumerate(line.split(',')):
                            try:
                                print('cell\t%d\t%d\t%d\tn\t%r' % (index, r, c, float(field)))
                            except ValueError:
                                pass
    finally:
        shutil.rmtree(out, ignore_errors=True)


# ---------------------------------------------------------------- reading back

KINDS = {xlrd.XL_CELL_EMPTY: 'e', xlrd.XL_CELL_BLANK: 'e', xlrd.XL_CELL_TEXT: 't',
         xlrd.XL_CELL_NUMBER: 'n', xlrd.XL_CELL_DATE: 'd', xlrd.XL_CELL_BOOLEAN: 'b',
         xlrd.XL_CELL_ERROR: 'x'}


def hexed(text):
    return text.encode('utf-8').hex() or '-'


def command_dump(path):
    book = xlrd.open_workbook(path, formatting_info=True, ragged_rows=True)
    for index, sheet in enumerate(book.sheets()):
        print('sheet\t%d\t%s\t%d\t%d' % (index, hexed(sheet.name), sheet.nrows, sheet.ncols))
        for r, info in sorted(sheet.rowinfo_map.items()):
            if info.has_default_xf_index:
                print('rowstyle\t%d\t%d\t%d' % (index, r, info.xf_index))
        for c, info in sorted(sheet.colinfo_map.items()):
            print('colstyle\t%d\t%d\t%d' % (index, c, info.xf_index))
        for r in range(sheet.nrows):
            for c, cell in enumerate(sheet.row(r)):
                kind = KINDS[cell.ctype]
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                if kind == 't':
                    value = hexed(cell.value)
                elif kind == 'x':
                    value = hexed(xlrd.error_text_from_code[cell.value])
                elif kind == 'e':
                    value = '-'
                else:
                    value = repr(float(cell.value))
                print('cell\t%d\t%d\t%d\t%s\t%s\t%d' % (index, r, c, kind, value, cell.xf_index))
    for name in book.name_obj_list:
        result = name.result
        if name.scope != -1 or result is None or result.kind != xlrd.oREF:
            continue
        if len(result.value) != 1:
            continue
        s1, s2, r1, r2, c1, c2 = result.value[0].coords
        if s2 == s1 + 1:
            print('name\t%s\t%d\t%d\t%d\t%d\t%d' % (hexed(name.name), s1, r1, r2 - 1, c1, c2 - 1))


def command_streams(path):
    with olefile.OleFileIO(path) as ole:
        for entry in ole.listdir(streams=True, storages=True):
            name = '/'.join(entry)
            if ole.get_type(entry) == olefile.STGTY_STORAGE:
                print('%s\tstorage\t%s' % (name, ole.getclsid(entry)))
            elif name != 'Workbook':
                print('%s\t%s' % (name, hashlib.sha256(ole.openstream(entry).read()).hexdigest()))
        print('root\tstorage\t%s' % ole.root.clsid)


def check_sheet(stream, offset, problems, label):
    body = read_records(stream, offset)
    depth, rows, cells, blocks, current = 0, {}, [], [], None
    index = dimensions = defcolwidth = None
    for pos, kind, data in body:
        depth += 1 if kind == BOF else -1 if kind == EOF else 0
        if len(data) > 8224:
            problems.append('%s: record at %d is longer than 8224 bytes' % (label, pos))
        if depth != 1:
            continue
        if kind == INDEX:
            index = (pos, data)
        elif kind == DIMENSIONS:
            dimensions = struct.unpack_from('<IIHH', data)
        elif kind == DEFCOLWIDTH:
            defcolwidth = pos
        elif kind == ROW:
            if current is None or current['cells'] or current['dbcell'] is not None:
                current = {'rows': [], 'cells': [], 'dbcell': None}
                blocks.append(current)
            row, first, end = struct.unpack_from('<HHH', data)
            if row in rows:
                problems.append('%s: two ROW records for row %d' % (label, row))
            rows[row] = (first, end)
            current['rows'].append((pos, row, len(data)))
        elif kind in CELLS:
            if current is None or current['dbcell'] is not None:
                current = {'rows': [], 'cells': [], 'dbcell': None}
                blocks.append(current)
            row, columns = cell_columns(kind, data)
            for c in columns:
                cells.append((row, c))
            current['cells'].append((pos, row, columns[0]))
        elif kind == DBCELL:
            current['dbcell'] = (pos, data)
    if len(set(cells)) != len(cells):
        problems.append('%s: a cell is stored twice' % label)
    for row, column in cells:
        if rows and row not in rows:
            problems.append('%s: row %d has cells but no ROW record' % (label, row))
        elif rows and not rows[row][0] <= column < rows[row][1]:
            problems.append('%s: cell %d,%d lies outside its ROW span %r' % (label, row, column, rows[row]))
    if cells and dimensions:
        r1, r2, c1, c2 = dimensions
        if not (r1 <= min(r for r, _ in cells) and max(r for r, _ in cells) < r2 and
                c1 <= min(c for _, c in cells) and max(c for _, c in cells) < c2):
            problems.append('%s: DIMENSIONS %r do not cover the cells' % (label, dimensions))
    for block in blocks:
        block_rows = [r for _, r, _ in block['rows']]
        if block_rows != sorted(block_rows):
            problems.append('%s: ROW records out of order in a block' % label)
        keys = [(r, c) for _, r, c in block['cells']]
        if keys != sorted(keys):
            problems.append('%s: cells out of order in a block' % label)
        if block_rows and any(r not in block_rows for r, _ in keys):
            problems.append('%s: a block holds cells of rows it has no ROW record for' % label)
        if block['dbcell'] is not None:
            check_dbcell(block, problems, label)
    dbcells = [b['dbcell'][0] for b in blocks if b['dbcell'] is not None]
    if index is not None:
        pos, data = index
        listed = list(struct.unpack_from('<%dI' % ((len(data) - 16) // 4), data, 16))
        if listed != dbcells:
            problems.append('%s: INDEX lists %r, DBCELL records stand at %r' % (label, listed, dbcells))
        if defcolwidth is not None and struct.unpack_from('<I', data, 12)[0] != defcolwidth:
            problems.append('%s: INDEX does not point at DEFCOLWIDTH' % label)
        first, end = struct.unpack_from('<II', data, 4)
        if cells and not (first <= min(r for r, _ in cells) and max(r for r, _ in cells) < end):
            problems.append('%s: INDEX rows %d..%d do not cover the cells' % (label, first, end))


def check_dbcell(block, problems, label):
    pos, data = block['dbcell']
    rows = block['rows']
    if len(rows) > 32:
        problems.append('%s: a row block holds more than 32 rows' % label)
    back = struct.unpack_from('<I', data)[0]
    if rows and pos - back != rows[0][0]:
        problems.append('%s: DBCELL at %d does not point at its first ROW record' % (label, pos))
    offsets = struct.unpack_from('<%dH' % ((len(data) - 4) // 2), data, 4)
    if len(offsets) != len(rows):
        problems.append('%s: DBCELL at %d has %d offsets for %d rows' % (label, pos, len(offsets), len(rows)))
        return
    firsts = {}
    for cell_pos, row, _ in block['cells']:
        firsts.setdefault(row, cell_pos)
    ref = rows[0][0] + 4 + rows[0][2] if rows else 0
    for (_, row, _), offset in zip(rows, offsets):
        if row in firsts:
            if ref + offset != firsts[row]:
                problems.append('%s: DBCELL at %d misses the first cell of row %d' % (label, pos, row))
            ref = firsts[row]
        elif offset != 0:
            problems.append('%s: DBCELL at %d gives an offset for empty row %d' % (label, pos, row))


def command_check(path):
    stream = workbook_stream(path)
    problems = []
    for pos, kind, data in read_records(stream, 0):
        if kind == BOUNDSHEET:
            offset = struct.unpack_from('<I', data)[0]
            name = data[8:].decode('latin-1')
            if stream[offset:offset + 2] != struct.pack('<H', BOF):
                problems.append('sheet %s: BOUNDSHEET points at no BOF record' % name)
            elif data[5] == 0:
                check_sheet(stream, offset, problems, 'sheet ' + name)
    print('\n'.join(problems) if problems else 'ok')
    return 1 if problems else 0


# ---------------------------------------------------------------- damaged files

def corrupt(kind, source, target):
    with open(source, 'rb') as f:
        data = bytearray(f.read())
    with olefile.OleFileIO(source) as ole:
        entry = ole.direntries[ole._find(['Workbook'])]
        chain = [entry.isectStart]
        while ole.fat[chain[-1]] != olefile.ENDOFCHAIN:
            chain.append(ole.fat[chain[-1]])
        sector = ole.sectorsize
        dir_start = struct.unpack_from('<I', data, 48)[0]
        entry_at = (dir_start + 1) * sector + 128 * entry.sid
        stream = bytearray(ole.openstream('Workbook').read())
    per_sector = sector // 4
    fat_sectors = struct.unpack_from('<109I', data, 76)
    fat_at = lambda s: (fat_sectors[s // per_sector] + 1) * sector + 4 * (s % per_sector)
    stream_at = lambda offset: (chain[offset // sector] + 1) * sector + offset % sector
    records = read_records(bytes(stream), 0, stop_at_eof=False)
    sheets = split_stream(bytes(stream))[1]

    def patch_stream(offset, new_bytes):
        for i, b in enumerate(new_bytes):
            data[stream_at(offset + i)] = b

    if kind == 'sector-size':
        struct.pack_into('<H', data, 30, 10)
    elif kind == 'fat-loop':
        struct.pack_into('<I', data, fat_at(chain[-1]), chain[0])
    elif kind == 'fat-outside':
        struct.pack_into('<I', data, fat_at(chain[1]), 0x00FFFFF0)
    elif kind == 'stream-longer':
        struct.pack_into('<I', data, entry_at + 120, len(stream) + 100000)
    elif kind == 'truncated':
        del data[len(data) // 2:]
    elif kind == 'directory-loop':
        struct.pack_into('<I', data, entry_at + 68, entry.sid)
    elif kind == 'no-workbook':
        data[entry_at:entry_at + 2] = b'X\0'
    elif kind == 'book-stream':
        data[entry_at:entry_at + 64] = 'Book'.encode('utf-16-le').ljust(64, b'\0')
        struct.pack_into('<H', data, entry_at + 64, 10)
    elif kind == 'biff5':
        patch_stream(4, struct.pack('<H', 0x0500))
    elif kind == 'filepass':
        pos = records[1][0]
        patch_stream(pos, struct.pack('<H', 0x002F))
    elif kind == 'record-past-end':
        pos = sheets[-1][-1][0]
        patch_stream(pos + 2, struct.pack('<H', 0xFFFF))
    elif kind == 'sst-index':
        pos = next(p for p, k, _ in records if k == 0x00FD)
        patch_stream(pos + 4 + 6, struct.pack('<I', 999999))
    elif kind == 'continue-misplaced':
        pos = sheets[0][1][0]
        patch_stream(pos, struct.pack('<H', CONTINUE))
    elif kind == 'cell-outside':
        pos = next(p for p, k, _ in records if k == 0x0203)
        patch_stream(pos + 4 + 2, struct.pack('<H', 300))
    elif kind == 'short-cell':
        pos = next(p for p, k, _ in records if k == 0x0203)
        patch_stream(pos + 2, struct.pack('<H', 6))
    elif kind == 'no-eof':
        pos = sheets[-1][-1][0]
        patch_stream(pos, struct.pack('<H', 0x0208))
    else:
        raise SystemExit('unknown corruption ' + kind)
    with open(target, 'wb') as f:
        f.write(data)


def main(argv):
    command, arguments = argv[1], argv[2:]
    if command == 'make':
        command_make(*arguments)
    elif command == 'lo':
        command_lo(*arguments)
    elif command == 'dump':
        command_dump(*arguments)
    elif command == 'lo-dump':
        command_lo_dump(*arguments)
    elif command == 'streams':
        command_streams(*arguments)
    elif command == 'check':
        return command_check(*arguments)
    elif command == 'corrupt':
        corrupt(*arguments)
    elif command == 'stream':
        with open(arguments[1], 'wb') as f:
            f.write(workbook_stream(arguments[0]))
    else:
        raise SystemExit('unknown command ' + command)
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
