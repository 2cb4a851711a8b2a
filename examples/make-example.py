#!/usr/bin/python3
"""Writes kontrolni-hlaseni.xlsx, the example control statement for November 2026 (make-example
also converts it to .xls).

Needs python3-xlsxwriter (Debian). The workbook holds every section with a few rows, date cells,
one decimal-comma text amount ("12500,50" in B.2) and a few warnings that do not stop the filing:
a credit note issued (A.4) and one received (B.2), each with a negative base and tax. Its document
passes the tax portal's schema: codes filled, phone numbers of at most 14 characters, VAT IDs
without their country code (k_stat carries it).
"""
import datetime
import os

import xlsxwriter

HERE = os.path.dirname(os.path.abspath(__file__))
book = xlsxwriter.Workbook(os.path.join(HERE, "kontrolni-hlaseni.xlsx"))
bold = book.add_format({"bold": True})
date = book.add_format({"num_format": "d.m.yyyy"})
money = book.add_format({"num_format": "#,##0.00"})


def sheet(name, heading, rows):
    ws = book.add_worksheet(name)
    ws.write_row(0, 0, heading, bold)
    for r, row in enumerate(rows, start=1):
        for c, value in enumerate(row):
            if isinstance(value, datetime.date):
                ws.write_datetime(r, c, datetime.datetime(value.year, value.month, value.day), date)
            elif isinstance(value, float):
                ws.write_number(r, c, value, money)
            elif value is None:
                continue
            else:
                ws.write(r, c, value)
    ws.set_column(0, len(heading), 16)


def labelled(name, rows):
    sheet(name, ["Položka", "Hodnota"], rows)


d = datetime.date
labelled("Hlavička", [
    ["Forma (B/O/N/E)", "B"],
    ["Rok", 2026],
    ["Čtvrtletí", None],
    ["Měsíc", 11],
    ["Datum podání", d(2026, 12, 10)],
    ["Poznámka 1", "kontrolní hlášení za listopad"],
    ["Poznámka 2", None],
    ["Datum 1", None],
    ["Datum 2", None],
    ["Datum 3", None],
    ["Datum zjištění (následné KH)", None],
    ["Č.j. výzvy (následné KH)", None],
    ["Odpověď na výzvu (B, P)", None],
    ["Období od", None],
    ["Období do", None],
])
labelled("Subjekt", [
    ["Typ subjektu", "P"],
    ["DIČ", "27082440"],
    ["Finanční úřad", "451"],
    ["Obchodní jméno", "Účetní kancelář Dvořák & syn s.r.o."],
    ["Titul", None],
    ["Příjmení", None],
    ["Jméno", None],
    ["Obec", "Praha"],
    ["Ulice", "Vinohradská"],
    ["Číslo orientační", "12"],
    ["Číslo popisné", "1511"],
    ["PSČ", "12000"],
    ["Stát", "ČESKÁ REPUBLIKA"],
    ["Telefon", "+420222123456"],
    ["E-mail", "ucetni@dvorak-syn.cz"],
    ["Datová schránka", None],
    ["Územní pracoviště", "2001"],
    ["Typ zástupce", None], ["Kód zástupce", None], ["Název zástupce", None], ["IČ zástupce", None],
    ["Oprávněná osoba - jméno", "Jana"], ["Oprávněná osoba - příjmení", "Dvořáková"],
    ["Oprávněná osoba - postavení", "jednatelka"],
    ["Zástupce - jméno", None], ["Zástupce - příjmení", None], ["Zástupce - datum nar.", None],
    ["Zástupce - ev. číslo", None],
    ["Sestavil - jméno", "Petr"], ["Sestavil - příjmení", "Šťastný"],
    ["Sestavil - telefon", "+420603987654"],
])
sheet("A1", ["Ř.", "DIČ odběratele", "Ev. číslo dokladu", "DUZP", "Základ daně", "Kód plnění"], [
    [1, "25596641", "FV2026-1101", d(2026, 11, 3), 185000.0, "4"],
    [2, "49240901", "FV2026-1107", d(2026, 11, 12), 42750.5, "4"],
    [3, "63999714", "FV2026-1115", d(2026, 11, 20), 9900.0, "4"],
])
sheet("A2", ["Ř.", "Kód státu", "VAT ID dodavatele", "Ev. číslo dokladu", "DPPD", "Základ 1",
             "Daň 1", "Základ 2", "Daň 2", "Základ 3", "Daň 3"], [
    [1, "DE", "811907980", "R-2026-5531", d(2026, 11, 5), 24000.0, 5040.0, None, None, None, None],
    [2, "sk", "2020317068", "2026/11/0042", d(2026, 11, 18), 3500.0, 735.0, 1200.0, 144.0, None, None],
])
sheet("A3", ["Ř.", "Kód státu", "DIČ/VAT ID odběratele", "Jméno", "Datum nar.", "Místo pobytu",
             "Ev. číslo dokladu", "DUP", "Hodnota plnění"], [
    [1, "DE", "129273398", None, None, None, "FV2026-1120", d(2026, 11, 24), 68000.0],
])
sheet("A4", ["Ř.", "DIČ odběratele", "Ev. číslo dokladu", "DPPD", "Základ 1", "Daň 1", "Základ 2",
             "Daň 2", "Základ 3", "Daň 3", "Kód režimu", "§ 44"], [
    [1, "45274649", "FV2026-1102", d(2026, 11, 4), 120000.0, 25200.0, 0.0, 0.0, 0.0, 0.0, "0", "N"],
    [2, "26185610", "FV2026-1109", d(2026, 11, 13), 36500.0, 7665.0, 8000.0, 960.0, 0.0, 0.0, "0", "N"],
    [3, "45274649", "DV2026-0007", d(2026, 11, 27), -15000.0, -3150.0, 0.0, 0.0, 0.0, 0.0, "0", "N"],
])
sheet("A5", ["Základ 1", "Daň 1", "Základ 2", "Daň 2", "Základ 3", "Daň 3"], [
    [8264.46, 1735.54, 2500.0, 300.0, 0.0, 0.0],
])
sheet("B1", ["Ř.", "DIČ dodavatele", "Ev. číslo dokladu", "DUZP", "Základ 1", "Daň 1", "Základ 2",
             "Daň 2", "Základ 3", "Daň 3", "Kód plnění"], [
    [1, "60193336", "2026-0982", d(2026, 11, 10), 54000.0, 11340.0, 0.0, 0.0, 0.0, 0.0, "4"],
])
sheet("B2", ["Ř.", "DIČ dodavatele", "Ev. číslo dokladu", "DPPD", "Základ 1", "Daň 1", "Základ 2",
             "Daň 2", "Základ 3", "Daň 3", "Poměr", "§ 44"], [
    [1, "47114983", "FP-26-11-0311", d(2026, 11, 6), "12500,50", "2625,11", 0.0, 0.0, 0.0, 0.0, "N", "N"],
    [2, "00006947", "FP-26-11-0327", d(2026, 11, 19), 18900.0, 3969.0, 4200.0, 504.0, 0.0, 0.0, "N", "N"],
    [3, "47114983", "OD-26-11-0012", d(2026, 11, 28), -2000.0, -420.0, 0.0, 0.0, 0.0, 0.0, "N", "N"],
])
sheet("B3", ["Základ 1", "Daň 1", "Základ 2", "Daň 2", "Základ 3", "Daň 3"], [
    [6115.70, 1284.30, 0.0, 0.0, 0.0, 0.0],
])
book.close()
