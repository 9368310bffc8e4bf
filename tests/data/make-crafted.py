#!/usr/bin/env python3
# Makes the workbooks that must be refused, each a copy of one that
# LibreOffice made (cells.xlsx, cells.ods, cells.xls) with one thing changed.
# Run from this folder: python3 make-crafted.py
import io
import struct
import zipfile


def rezip(source, target, change):
    with zipfile.ZipFile(source) as book:
        parts = {name: book.read(name) for name in book.namelist()}
    change(parts)
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as book:
        for name, data in parts.items():
            book.writestr(name, data)


def edit(part, old, new):
    def change(parts):
        assert old in parts[part], (part, old)
        parts[part] = parts[part].replace(old, new, 1)
    return change


# Ten MiB of blanks among the first sheet's rows: inflates a thousand times.
rezip("cells.xlsx", "bomb.xlsx",
      edit("xl/worksheets/sheet1.xml", b"<sheetData>", b"<sheetData>" + b" " * (10 << 20)))
# An entity declared in a document type.
rezip("cells.xlsx", "doctype.xlsx",
      edit("xl/sharedStrings.xml", b"<sst ",
           b'<!DOCTYPE sst [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;">]><sst '))
# A shared string past the table.
rezip("cells.xlsx", "shared-index.xlsx",
      edit("xl/worksheets/sheet1.xml", b't="s"><v>0</v>', b't="s"><v>9999</v>'))
# A sheet whose part lies outside the package.
rezip("cells.xlsx", "outside.xlsx",
      edit("xl/_rels/workbook.xml.rels", b'Target="worksheets/sheet1.xml"',
           b'Target="../../worksheets/sheet1.xml"'))
# A cell one column past the last (XFD).
rezip("cells.xlsx", "reference.xlsx",
      edit("xl/worksheets/sheet1.xml", b'<c r="A1"', b'<c r="XFE1"'))
# A filled row repeated a million times, its cell sixteen thousand times.
rezip("cells.ods", "repeated.ods",
      edit("content.xml", b"<table:table-row ",
           b'<table:table-row table:number-rows-repeated="1000000" '))
rezip("repeated.ods", "repeated.ods",
      edit("content.xml", b"<table:table-cell ",
           b'<table:table-cell table:number-columns-repeated="16000" '))
# A zip archive of no workbook, and a workbook cut short.
with zipfile.ZipFile("not-a-workbook.xlsx", "w", zipfile.ZIP_DEFLATED) as book:
    book.writestr("readme.txt", "plot,date,level\n")
with open("cells.xlsx", "rb") as whole, open("broken.xlsx", "wb") as cut:
    cut.write(whole.read()[:3000])

# An encrypted .xlsx is an OLE2 file with an EncryptedPackage stream:
# cells.xls with its Workbook stream renamed.
data = bytearray(open("cells.xls", "rb").read())
name = "Workbook".encode("utf-16-le") + b"\0\0"
at = data.find(name)
assert at > 0
renamed = "EncryptedPackage".encode("utf-16-le") + b"\0\0"
data[at:at + 64] = renamed + b"\0" * (64 - len(renamed))
struct.pack_into("<H", data, at + 0x40, len(renamed))
open("encrypted.xlsx", "wb").write(bytes(data))
