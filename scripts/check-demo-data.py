#!/usr/bin/python3
"""Checks the demo audit databases against the generator's expected.json, through ODBC.

    scripts/check-demo-data.py [DIR]

DIR holds expected.json (default build/test-data); the data sources "AuditDemo" and
"AuditDemoPg" are looked up the usual way (ODBCINI, else ~/.odbc.ini); when DIR has an
odbc.ini and ODBCINI is not set, that file is used. For both data sources it checks:
  - every view and column the auditor reads exists, with the type the data layer should see;
  - the row count of every view for every filter record, built the way the auditor builds
    its count queries (with ISO date literals), and the sums given for the records;
  - the whole-data totals, and that the texts with TAB, line break, quotes, backslash and
    en dash come back unchanged.
Uses Debian's python3 with python3-pyodbc (installed by scripts/install-deps.sh).
"""
import datetime
import decimal
import json
import os
import sys

import pyodbc

D, T, TS, N, I, S = datetime.date, datetime.time, datetime.datetime, "numeric", int, str

# Every column each view must offer, with the Python type its ODBC type maps to.
VIEWS = {
    "SalesSummaryAudit": dict(UNP=S, DocNomer=I, StoreName=S, StartDocDate=D, StartDocTime=T, PosId=I,
                              UserKod=I, TotalSumNoVat=N, SumDiscounts=N, SumVAT=N, TotalSumWithVAT=N,
                              InvoiceNumber=S, InvoiceDate=D, EndDocDate=D, EndDocTime=T, PartnerCode=S,
                              PartnerName=S, StoreN=I, FiscalDeviceN=I, UserN=I),
    "SalesDetailsAudit": dict(UNP=S, DocNomer=I, ItemCode=S, ItemName=S, SoldItems=N, UnitPrice=N,
                              Discount=N, VAT=N, VATSum=N, CostSum=N, EndDocDate=D, StoreN=I,
                              FiscalDeviceN=I, UserN=I),
    "SalesPaymentsAudit": dict(UNP=S, DocNomer=I, StoreName=S, StartDocDate=D, UserCode=I, TotalSumNoVat=N,
                               TotalSumWithVAT=N, SumVAT=N, EndDocDate=D, PartnerCode=S, PartnerName=S,
                               FiscalDeviceN=I, PayDate=D, PayTypeName=S, StoreN=I, UserN=I),
    "SalesReversedAudit": dict(UNP=S, DocNomer=I, StoreName=S, ItemCode=S, ItemName=S, SoldItems=N,
                               UnitPrice=N, Discount=N, VAT=N, VATSum=N, CostSum=N, EndDocDate=D,
                               EndDocTime=T, SaleReversedDate=D, SaleReversedTime=T, FiscalDeviceN=I,
                               UserN=I, StoreN=I),
    "SalesRevokedAudit": dict(UNP=S, DocNomer=I, StoreName=S, ItemCode=S, ItemName=S, SoldItems=N,
                              UnitPrice=N, Discount=N, VAT=N, VATSum=N, CostSum=N, StartDocDate=D,
                              StartDocTime=T, SaleRevokedDate=D, SaleRevokedTime=T, FiscalDeviceN=I,
                              UserN=I, EndDocDate=D, StoreN=I),
    "ItemsAudit": dict(ItemCode=S, ItemName=S, ItemCreateDate=D, ItemLastChangeDate=D, ItemDeactivatedDate=D),
    "PartnersAudit": dict(Bulstat=S, PartnerName=S, PartnerCreateDate=D, PartnerLastChangeDate=D,
                          PartnerDeactivatedDate=D),
    "OperationsAudit": dict(OperationCode=I, OperationName=S, OperationCreateDate=D, OperationChangeDate=D,
                            OperationDeactivateDate=D),
    "PayTypesAudit": dict(PayTypeCode=I, PayTypeName=S, PayTypeCreateDate=D, PayTypeChangeDate=D, PayTypeDate=D),
    "StoreNamesAudit": dict(PartnerCode=I, PartnerName=S, PartnerAddress=S, PartnerCreateDate=D,
                            PartnerLastChangeDate=D, PartnerDeactivatedDate=D),
    "UsersAudit": dict(UserID=I, UserName=S, UserCreateDate=D, UserChangeDate=D, UserDeactivatedDate=D,
                       ActivitiesForPeriod=S, Notes=S),
    "UsersLogAudit": dict(UserID=I, UserName=S, Role=S, ActivityDateTime=TS, ActivityType=S, ActivityText=S,
                          UNP=S, EndDocDate=D),
    "StoreFilterAudit": dict(StoreN=I, StoreName=S),
    "FiscalDeviceFilterAudit": dict(FiscalDeviceN=I, FiscalDeviceName=S),
    "UserFilterAudit": dict(UserKod=I, UserName=S),
}
SALES_VIEWS = ["SalesSummaryAudit", "SalesDetailsAudit", "SalesPaymentsAudit", "SalesReversedAudit",
               "SalesRevokedAudit"]
LOOKUPS = {"StoreFilterAudit": "Stores", "FiscalDeviceFilterAudit": "FiscalDevices", "UserFilterAudit": "Users"}

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL", what)


def where_clause(view, f):
    """The auditor's filter clause for a filter record (dates as ISO literals)."""
    terms = []
    period = f["FromDate"] is not None and f["ToDate"] is not None
    if view in SALES_VIEWS or view == "UsersLogAudit":
        if period:
            terms.append(f"EndDocDate >= '{f['FromDate']}' AND EndDocDate <= '{f['ToDate']}'")
    if view in SALES_VIEWS:
        for col in ("StoreN", "FiscalDeviceN", "UserN"):
            if f[col]:
                terms.append(f" {col} = {f[col]}")
    return "WHERE " + " AND ".join(terms) if terms else ""


def money(v):
    return decimal.Decimal(0 if v is None else v).quantize(decimal.Decimal("0.01"))


def check_source(dsn, conn_str, expected):
    conn = pyodbc.connect(conn_str, autocommit=True)
    cur = conn.cursor()
    numeric = float if dsn == "AuditDemo" else decimal.Decimal  # the SQLite driver has no SQL_NUMERIC

    for view, columns in VIEWS.items():
        cur.execute(f"SELECT {', '.join(columns)} FROM {view} WHERE 1 = 0")
        got = {d[0].lower(): d[1] for d in cur.description}
        for col, typ in columns.items():
            want = numeric if typ == N else typ
            check(got.get(col.lower()) is want, f"{dsn} {view}.{col}: type {got.get(col.lower())}, want {want}")

    for f in expected["filters"]:
        for view, want in f["counts"].items():
            sql = f"SELECT count(*) FROM {view} {where_clause(view, f)}"
            got = cur.execute(sql).fetchone()[0]
            check(got == want, f"{dsn} filter {f['name']}: {sql} -> {got}, want {want}")
        for key, want in f["sums"].items():
            view, col = key.split(".")
            got = money(cur.execute(f"SELECT sum({col}) FROM {view} {where_clause(view, f)}").fetchone()[0])
            check(got == decimal.Decimal(want), f"{dsn} filter {f['name']}: sum {key} = {got}, want {want}")

    for key, want in expected["totals"].items():
        view, col = key.split(".")
        got = money(cur.execute(f"SELECT sum({col}) FROM {view}").fetchone()[0])
        check(got == decimal.Decimal(want), f"{dsn} total {key} = {got}, want {want}")

    for view, table in LOOKUPS.items():
        got = cur.execute(f"SELECT count(*) FROM {view}").fetchone()[0]
        want = expected["tables"][table]
        check(got == want, f"{dsn} {view}: {got} rows, want {want}")

    for s in expected["specialTexts"]:
        view, col = s["column"].split(".")
        got = cur.execute(f"SELECT count(*) FROM {view} WHERE {col} = ?", s["value"]).fetchone()[0]
        check(got == 1, f"{dsn} {view}.{col} = {s['value']!r}: {got} rows, want 1")

    # The amounts hold together to the stotinka: sale = lines = payments.
    for what, sql in (
        ("sales whose VAT split does not add up",
         "SELECT count(*) FROM Sales WHERE abs(TotalSumNoVat + SumVAT - TotalSumWithVAT) > 0.001"),
        ("sales whose lines do not add up",
         "SELECT count(*) FROM Sales s JOIN (SELECT SaleId, sum(CostSum) AS c, sum(VATSum) AS v, "
         "sum(Discount) AS d FROM SaleLines GROUP BY SaleId) l ON l.SaleId = s.SaleId "
         "WHERE abs(l.c - s.TotalSumWithVAT) > 0.001 OR abs(l.v - s.SumVAT) > 0.001 "
         "OR abs(l.d - s.SumDiscounts) > 0.001"),
        ("sales whose payments do not add up",
         "SELECT count(*) FROM Sales s JOIN (SELECT SaleId, sum(Amount) AS a, sum(AmountVAT) AS v "
         "FROM SalePayments GROUP BY SaleId) p ON p.SaleId = s.SaleId "
         "WHERE abs(p.a - s.TotalSumWithVAT) > 0.001 OR abs(p.v - s.SumVAT) > 0.001"),
    ):
        got = cur.execute(sql).fetchone()[0]
        check(got == 0, f"{dsn} {what}: {got}")
    if dsn == "AuditDemoPg":  # exact decimal arithmetic: the line formula itself
        got = cur.execute(
            "SELECT count(*) FROM SaleLines WHERE VATSum <> round((round(SoldItems * UnitPrice, 2) - Discount)"
            " * VATRate / 100, 2) OR CostSum <> round(SoldItems * UnitPrice, 2) - Discount + VATSum").fetchone()[0]
        check(got == 0, f"{dsn} lines whose amounts break the line formula: {got}")

    # Optional values really are NULL, not empty texts.
    got = cur.execute("SELECT count(*) FROM SalesSummaryAudit WHERE InvoiceNumber IS NULL").fetchone()[0]
    want = expected["tables"]["Sales"] - expected["facts"]["salesWithInvoice"]
    check(got == want, f"{dsn} sales without invoice: {got}, want {want}")
    got = cur.execute("SELECT count(*) FROM SalesSummaryAudit WHERE InvoiceNumber = '' OR PartnerName = ''"
                      ).fetchone()[0]
    check(got == 0, f"{dsn} empty texts in optional columns: {got}")
    conn.close()


def main():
    d = sys.argv[1] if len(sys.argv) > 1 else "build/test-data"
    if "ODBCINI" not in os.environ and os.path.exists(os.path.join(d, "odbc.ini")):
        os.environ["ODBCINI"] = os.path.abspath(os.path.join(d, "odbc.ini"))
    with open(os.path.join(d, "expected.json"), encoding="utf-8") as fh:
        expected = json.load(fh)
    check_source("AuditDemo", "DSN=AuditDemo", expected)
    check_source("AuditDemoPg", "DSN=AuditDemoPg;UID=dba;PWD=sql", expected)
    if failures:
        print(f"{len(failures)} check(s) failed")
        return 1
    print(f"demo data in {d}: every check passed on AuditDemo and AuditDemoPg ({expected['sales']} sales)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
