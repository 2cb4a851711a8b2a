#!/usr/bin/python3
"""Writes the benchmark's statement workbook: Hlavička and Subjekt as in the example, then A4 and
B2 with ROWS data rows of 12 columns each (row number, DIČ, document number, date cell, six
amounts, two code texts). Texts go to the shared strings, as Excel writes them.

    peer-workbook.py ROWS OUT.xlsx

Needs python3-xlsxwriter (Debian). Deterministic: the same ROWS give the same cells.
"""
import datetime
import sys

import xlsxwriter

rows = int(sys.argv[1])
book = xlsxwriter.Workbook(sys.argv[2])
bold = book.add_format({"bold": True})
date = book.add_format({"num_format": "d.m.yyyy"})
money = book.add_format({"num_format": "#,##0.00"})


def labelled(name, items):
    ws = book.add_worksheet(name)
    ws.write_row(0, 0, ["Položka", "Hodnota"], bold)
    for r, (label, value) in enumerate(items, start=1):
        ws.write(r, 0, label)
        if isinstance(value, datetime.date):
            ws.write_datetime(r, 1, datetime.datetime(value.year, value.month, value.day), date)
        elif value is not None:
            ws.write(r, 1, value)


labelled("Hlavička", [
    ("Forma (B/O/N/E)", "B"), ("Rok", 2026), ("Čtvrtletí", None), ("Měsíc", 11),
    ("Datum podání", datetime.date(2026, 12, 10)), ("Poznámka 1", "benchmark"),
])
labelled("Subjekt", [
    ("Typ subjektu", "P"), ("DIČ", "27082440"), ("Finanční úřad", "451"),
    ("Obchodní jméno", "Účetní kancelář Dvořák & syn s.r.o."), ("Titul", None),
    ("Příjmení", None), ("Jméno", None), ("Obec", "Praha"), ("Ulice", "Vinohradská"),
    ("Číslo orientační", "12"), ("Číslo popisné", "1511"), ("PSČ", "12000"),
    ("Stát", None), ("Telefon", None), ("E-mail", None), ("Datová schránka", None),
    ("Územní pracoviště", None), ("Typ zástupce", None), ("Kód zástupce", None),
    ("Název zástupce", None), ("IČ zástupce", None), ("Oprávněná osoba - jméno", "Jana"),
    ("Oprávněná osoba - příjmení", "Dvořáková"), ("Oprávněná osoba - postavení", "jednatelka"),
])


def partner(n):
    """A partner's DIČ (one of a thousand) whose check digit fits, as real ones do."""
    digits = str(1_000_000 + n % 1000 * 977)
    check = (11 - sum(int(d) * (8 - i) for i, d in enumerate(digits)) % 11) % 10
    return digits + str(check)


start = datetime.datetime(2026, 11, 1)
for sheet, (prefix, last_heading) in enumerate([("FV", "Kód režimu"), ("FP", "Poměr")]):
    name = "A4" if sheet == 0 else "B2"
    ws = book.add_worksheet(name)
    ws.write_row(0, 0, ["Ř.", "DIČ", "Ev. číslo dokladu", "DPPD", "Základ 1", "Daň 1",
                        "Základ 2", "Daň 2", "Základ 3", "Daň 3", last_heading, "§ 44"], bold)
    for r in range(1, rows + 1):
        base = (r * 7919 + sheet * 104729) % 9_000_000 / 100 + 10_000
        low = (r * 131) % 500_000 / 100
        ws.write_number(r, 0, r)
        ws.write_string(r, 1, partner(r * 7907 + sheet))
        ws.write_string(r, 2, f"{prefix}2026-{r:06d}")
        ws.write_datetime(r, 3, start + datetime.timedelta(days=r % 30), date)
        ws.write_number(r, 4, base, money)
        ws.write_number(r, 5, round(base * 0.21, 2), money)
        ws.write_number(r, 6, low, money)
        ws.write_number(r, 7, round(low * 0.12, 2), money)
        ws.write_number(r, 8, 0.0, money)
        ws.write_number(r, 9, 0.0, money)
        ws.write_string(r, 10, "0" if sheet == 0 else "N")
        ws.write_string(r, 11, "N")
book.close()
