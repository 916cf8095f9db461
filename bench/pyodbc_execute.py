"""Shared by the Python export scripts of the benchmark: execute a statement with pyodbc and
read the column names, as a user's script would, around one fault of the SQLite ODBC driver.

The driver reports a column name's length in bytes of UTF-8 rather than in characters, so
pyodbc decodes the name together with whatever lies in its buffer after it: the name followed by
a NUL and some leftover memory. Mostly that is harmless and the name is everything before the
NUL; now and then the leftover is no valid UTF-16 and pyodbc's execute raises. Executing again
on a fresh cursor then works.
"""
import pyodbc


def execute(cnxn, sql, attempts=20):
    """Returns (cursor, column names) for sql on cnxn."""
    for attempt in range(attempts):
        cur = cnxn.cursor()
        try:
            cur.execute(sql)
        except UnicodeDecodeError:
            cur.close()
            if attempt + 1 == attempts:
                raise
            continue
        return cur, [d[0].split("\0")[0] for d in cur.description]
