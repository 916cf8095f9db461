// The spreadsheet export read back: cells, types and layout, unusual values of both engines
// as they are stored (in the workbook and the CSV file), texts that hold what a spreadsheet
// reads as an escape, and results beyond one worksheet.
#include "ExportFixture.h"

namespace {

TEST_F(Export, SpreadsheetCellsAndLayout)
{
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.ExportKind = ekExcel;
    opts.Header = false;
    opts.FileName = Path(QStringLiteral("cases.xlsx"));
    Open();
    ASSERT_TRUE(Run(opts, 0)); // the count is only a hint: rows follow the data
    QJsonArray sheets = ReadWorkbook(opts.FileName);
    ASSERT_EQ(sheets.size(), 1);
    QJsonArray rows = sheets[0][QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 4);
    const QStringList names = {"Код", "Име", "Сума лв.", "Дата", "Бележка"};
    for (int c = 0; c < 5; ++c) {
        const QJsonObject cell = rows[0][c].toObject();
        EXPECT_EQ(cell[QStringLiteral("value")].toString(), names[c]);
        EXPECT_TRUE(cell[QStringLiteral("bold")].toBool());
        EXPECT_TRUE(cell[QStringLiteral("border")].toBool());
    }
    auto cell = [&](int r, int c) { return rows[r][c].toObject(); };
    EXPECT_EQ(cell(1, 0)[QStringLiteral("value")].toDouble(), 1);
    EXPECT_EQ(cell(1, 0)[QStringLiteral("type")].toString(), QStringLiteral("n"));
    EXPECT_EQ(cell(1, 1)[QStringLiteral("value")].toString(), QStringLiteral("Хляб „Добруджа“"));
    EXPECT_EQ(cell(1, 1)[QStringLiteral("format")].toString(), QStringLiteral("@"));
    EXPECT_EQ(cell(2, 2)[QStringLiteral("value")].toDouble(), -0.25);
    EXPECT_EQ(cell(2, 2)[QStringLiteral("type")].toString(), QStringLiteral("n"));
    EXPECT_EQ(cell(3, 1)[QStringLiteral("value")].toString(), QStringLiteral("中文 €")); // nothing lost
    EXPECT_TRUE(cell(3, 3)[QStringLiteral("value")].isNull());
    EXPECT_TRUE(cell(3, 3)[QStringLiteral("border")].toBool()); // the grid covers empty cells
    EXPECT_EQ(cell(2, 4)[QStringLiteral("value")].toString(), QStringLiteral("ред 1\r\nред 2"));
    // The date column of SQLite comes as text there; on PostgreSQL see below.
    const QString f3 = cell(1, 3)[QStringLiteral("format")].toString();
    EXPECT_TRUE(f3 == QLatin1String("dd.mm.yyyy") || f3 == QLatin1String("@")) << f3.toStdString();

    // PostgreSQL types: integer General, numeric "0.00####", date as a date, merged title rows.
    auto pg = TestManager(dbPostgres, kScratchPgDsn);
    TQuery pq(&pg->OpenConnection(), ckForwardOnly);
    pq.SetSQL(QStringLiteral("select 7 as \"Код\", 12.50::numeric(12,2) as \"Сума\", date '2026-03-01' as \"Дата\", "
                             "timestamp '2026-03-01 14:30:00' as \"Кога\", 'текст' as \"Име\""));
    pq.Open();
    const QStringList conditions = {QStringLiteral("Период: март 2026"), QStringLiteral("Обект: всички")};
    opts.Header = true;
    opts.Title = QStringLiteral("Продажби");
    opts.Conditions = &conditions;
    opts.FileName = Path(QStringLiteral("pg.xlsx"));
    auto strategy = TExportStrategyAbs::GetInstance(opts, TExportSource{&pq, nullptr}, &pq);
    strategy->OnPumpMessages = [] {};
    ASSERT_TRUE(strategy->Init(1));
    ASSERT_TRUE(strategy->MakeExport());
    sheets = ReadWorkbook(opts.FileName);
    ASSERT_EQ(sheets.size(), 1);
    rows = sheets[0][QStringLiteral("rows")].toArray();
    ASSERT_EQ(rows.size(), 6);
    QStringList merged;
    for (const QJsonValue v : sheets[0][QStringLiteral("merged")].toArray())
        merged << v.toString();
    merged.sort();
    EXPECT_EQ(merged, (QStringList{QStringLiteral("A1:E1"), QStringLiteral("A2:E2"), QStringLiteral("A3:E3")}));
    EXPECT_EQ(cell(0, 0)[QStringLiteral("value")].toString(), QStringLiteral("Продажби"));
    EXPECT_TRUE(cell(0, 0)[QStringLiteral("hcenter")].toBool());
    EXPECT_EQ(cell(2, 0)[QStringLiteral("value")].toString(), QStringLiteral("Обект: всички"));
    EXPECT_TRUE(cell(3, 0)[QStringLiteral("value")].isNull()); // the empty row
    EXPECT_TRUE(cell(4, 0)[QStringLiteral("bold")].toBool());
    EXPECT_EQ(cell(5, 0)[QStringLiteral("format")].toString(), QStringLiteral("General"));
    EXPECT_EQ(cell(5, 1)[QStringLiteral("format")].toString(), QStringLiteral("0.00####"));
    EXPECT_EQ(cell(5, 1)[QStringLiteral("value")].toDouble(), 12.5);
    EXPECT_EQ(cell(5, 2)[QStringLiteral("format")].toString(), QStringLiteral("dd.mm.yyyy"));
    EXPECT_EQ(cell(5, 2)[QStringLiteral("value")].toString(), QStringLiteral("2026-03-01T00:00:00"));
    EXPECT_EQ(cell(5, 3)[QStringLiteral("value")].toString(), QStringLiteral("2026-03-01T14:30:00"));
    EXPECT_EQ(cell(5, 4)[QStringLiteral("type")].toString(), QStringLiteral("s"));
    // The thin grid is over the field names and the records only: not on the title rows, the
    // empty row under them, nor the columns down to the sheet's last row.
    for (int c = 0; c < 5; ++c) {
        EXPECT_FALSE(cell(0, c)[QStringLiteral("border")].toBool());
        EXPECT_FALSE(cell(3, c)[QStringLiteral("border")].toBool());
        EXPECT_TRUE(cell(4, c)[QStringLiteral("border")].toBool());
        EXPECT_TRUE(cell(5, c)[QStringLiteral("border")].toBool());
    }
    const QJsonObject columnBorders = sheets[0][QStringLiteral("column_borders")].toObject();
    EXPECT_EQ(columnBorders.size(), 5);
    for (auto it = columnBorders.begin(); it != columnBorders.end(); ++it)
        EXPECT_FALSE(it.value().toBool()) << it.key().toStdString();
}

// Unusual values come out as the engine holds them, in the grid, the CSV file and the
// workbook: decimals of any length, NaN and Infinity, a time stamp BC, infinite dates and
// time stamps, years a spreadsheet cannot hold, fractions of a second, the limits of every
// integer kind, and (SQLite) stored values that are not exactly a value of their column's
// type. A workbook keeps as a number only what a spreadsheet number holds exactly.
TEST_F(Export, UnusualValuesComeOutAsStored)
{
    struct Value {
        const char* grid;
        const char* csv;   // nullptr: as the grid
        const char* sheet; // the workbook's cell: "n:<number>", "d:<date>" or "s:<text>"
    };
    struct EngineCase {
        const char* name;
        TDbType type;
        QString dsn;
        std::vector<const char*> setup;
        const char* sql;
        std::vector<Value> values;
    };
    const EngineCase cases[] = {
        {"PostgreSQL", dbPostgres, kScratchPgDsn, {},
         "select 123456789012345678901234567890123456789012345678901234567890.123456789::numeric as \"Дълго\", "
         "'NaN'::numeric as \"NaN\", '-Infinity'::numeric as \"Inf\", 9999999999999999.99::numeric(18,2) as \"N18\", "
         "12.5::numeric(12,2) as \"Сума\", timestamp '0044-03-15 10:00 BC' as \"ПрНЕ\", date '0001-01-01' as \"Г1\", "
         "date '1900-02-28' as \"Г1900\", date '2026-03-01' as \"Дата\"",
         {{"123456789012345678901234567890123456789012345678901234567890.123456789", nullptr, "s:123456789012345678901234567890123456789012345678901234567890.123456789"},
          {"NaN", nullptr, "s:NaN"},
          {"-Infinity", nullptr, "s:-Infinity"},
          {"9999999999999999.99", nullptr, "s:9999999999999999.99"},
          {"12.50", nullptr, "n:12.5"},
          {"0044-03-15 10:00:00 BC", nullptr, "s:0044-03-15 10:00:00 BC"},
          {"01.01.0001", nullptr, "s:01.01.0001"},
          {"28.02.1900", nullptr, "s:28.02.1900"},
          {"01.03.2026", nullptr, "d:2026-03-01T00:00:00"}}},
        {"PostgreSQL, limits", dbPostgres, kScratchPgDsn, {},
         "select timestamp 'infinity' as a, timestamp '-infinity' as b, date 'infinity' as c, "
         "date '-infinity' as d, date '12345-06-15' as e, timestamp '9999-12-31 23:59:59' as f, "
         "timestamp '2025-01-31 12:34:56.789' as g, timestamp '2025-01-31 00:00:00.25' as h, "
         "timestamp '2025-01-31 12:34:56.123456' as i, time '12:34:56.5' as j, "
         "9223372036854775807::bigint as k, (-9223372036854775807 - 1)::bigint as l, "
         "2147483647::integer as m, (-2147483648)::integer as n, 32767::smallint as o, (-32768)::smallint as p, "
         "9007199254740993::bigint as q",
         {{"infinity", nullptr, "s:infinity"},
          {"-infinity", nullptr, "s:-infinity"},
          {"infinity", nullptr, "s:infinity"},
          {"-infinity", nullptr, "s:-infinity"},
          {"година 12345 (ODBC драйверът не предава месеца и деня)", nullptr,
           "s:година 12345 (ODBC драйверът не предава месеца и деня)"},
          {"31.12.9999 23:59:59", nullptr, "d:9999-12-31T23:59:59"},
          {"31.01.2025 12:34:56.789", nullptr, "s:31.01.2025 12:34:56.789"},
          {"31.01.2025 00:00:00.25", nullptr, "s:31.01.2025 00:00:00.25"},
          {"31.01.2025 12:34:56.123456", nullptr, "s:31.01.2025 12:34:56.123456"},
          {"12:34:56.5", nullptr, "s:12:34:56.5"},
          {"9223372036854775807", nullptr, "s:9223372036854775807"},
          {"-9223372036854775808", nullptr, "s:-9223372036854775808"},
          {"2147483647", nullptr, "n:2147483647"},
          {"-2147483648", nullptr, "n:-2147483648"},
          {"32767", nullptr, "n:32767"},
          {"-32768", nullptr, "n:-32768"},
          {"9007199254740993", nullptr, "s:9007199254740993"}}},
        {"SQLite, values of another type", dbSqlite, kScratchDsn,
         {"drop table if exists Odd",
          "create table Odd (r real, i integer, t time, ts timestamp, d date, b boolean)",
          "insert into Odd values ('12,50', '12abc', 1234, '2025-01-31 12:34:56.789', '10000-01-01', 'x')",
          "insert into Odd values ('NaN', '0x1F', '12:34:56.5', '0000-01-01 00:00:00', 20250131, 1)",
          "insert into Odd values (0.5, 12.7, '10:20:30', '2025-01-31', '2025-1-5', 0)",
          "insert into Odd values (-1.5e-7, 9223372036854775807, '00:00:00', '2026-03-01 10:20:30', '2026-03-01', 1)",
          "insert into Odd values (1e300, -9223372036854775808, '23:59:59', '2026-03-01 10:20:30', '2026-03-01', 1)",
          "insert into Odd values (2.25, 3000000000, '23:59:59', '2026-03-01 10:20:30', '2026-03-01', 1)",
          "insert into Odd values (2.25, -2147483649, '23:59:59', '2026-03-01 10:20:30', '2026-03-01', 1)",
          "insert into Odd values (2.25, 7, '23:59:59', '2026-03-01 10:20:30.0000001', '2026-03-01', 1)"},
         "select r, i, t, ts, d, b from Odd order by rowid",
         {{"12,50", nullptr, "s:12,50"},
          {"12abc", nullptr, "s:12abc"},
          {"1234", nullptr, "s:1234"},
          {"31.01.2025 12:34:56.789", nullptr, "s:31.01.2025 12:34:56.789"},
          {"10000-01-01", nullptr, "s:10000-01-01"},
          {"x", nullptr, "s:x"},
          {"NaN", nullptr, "s:NaN"},
          {"0x1F", nullptr, "s:0x1F"},
          {"12:34:56.5", nullptr, "s:12:34:56.5"},
          {"0000-01-01 00:00:00", nullptr, "s:0000-01-01 00:00:00"},
          {"20250131", nullptr, "s:20250131"},
          {"True", nullptr, "s:True"},
          {"0.50", "0.5", "n:0.5"},
          {"12.7", nullptr, "s:12.7"},
          {"10:20:30", nullptr, "d:10:20:30"},
          {"31.01.2025", nullptr, "d:2025-01-31T00:00:00"},
          {"2025-1-5", nullptr, "s:2025-1-5"},
          {"False", nullptr, "s:False"},
          {"-1.5e-07", nullptr, "n:-1.4999999999999999e-07"},
          {"9223372036854775807", nullptr, "s:9223372036854775807"},
          {"00:00:00", nullptr, "d:00:00:00"},
          {"01.03.2026 10:20:30", nullptr, "d:2026-03-01T10:20:30"},
          {"01.03.2026", nullptr, "d:2026-03-01T00:00:00"},
          {"True", nullptr, "s:True"},
          {"1e+300", nullptr, "n:1.0000000000000001e+300"},
          {"-9223372036854775808", nullptr, "s:-9223372036854775808"},
          {"23:59:59", nullptr, "d:23:59:59"},
          {"01.03.2026 10:20:30", nullptr, "d:2026-03-01T10:20:30"},
          {"01.03.2026", nullptr, "d:2026-03-01T00:00:00"},
          {"True", nullptr, "s:True"},
          {"2.25", "2.25", "n:2.25"},
          {"3000000000", nullptr, "n:3000000000"},
          {"23:59:59", nullptr, "d:23:59:59"},
          {"01.03.2026 10:20:30", nullptr, "d:2026-03-01T10:20:30"},
          {"01.03.2026", nullptr, "d:2026-03-01T00:00:00"},
          {"True", nullptr, "s:True"},
          {"2.25", "2.25", "n:2.25"},
          {"-2147483649", nullptr, "n:-2147483649"},
          {"23:59:59", nullptr, "d:23:59:59"},
          {"01.03.2026 10:20:30", nullptr, "d:2026-03-01T10:20:30"},
          {"01.03.2026", nullptr, "d:2026-03-01T00:00:00"},
          {"True", nullptr, "s:True"},
          {"2.25", "2.25", "n:2.25"},
          {"7", nullptr, "n:7"},
          {"23:59:59", nullptr, "d:23:59:59"},
          {"01.03.2026 10:20:30.0000001", nullptr, "s:01.03.2026 10:20:30.0000001"},
          {"01.03.2026", nullptr, "d:2026-03-01T00:00:00"},
          {"True", nullptr, "s:True"}}},
        {"SQLite", dbSqlite, kScratchDsn,
         {"drop table if exists Odd",
          "create table Odd (d date, t time, ts timestamp, n integer, x numeric(12,2), f double)",
          "insert into Odd values ('2025-02-30', '25:61:00', '2025-13-01 10:00:00', 'abc', 'xyz', 'qq')",
          "insert into Odd values ('2026-03-01', '10:20:30', '2026-03-01 10:20:30', 5, 12.5, 1.5)"},
         "select d, t, ts, n, x, f from Odd order by rowid",
         {{"2025-02-30", nullptr, "s:2025-02-30"},
          {"25:61:00", nullptr, "s:25:61:00"},
          {"2025-13-01 10:00:00", nullptr, "s:2025-13-01 10:00:00"},
          {"abc", nullptr, "s:abc"},
          {"xyz", nullptr, "s:xyz"},
          {"qq", nullptr, "s:qq"},
          {"01.03.2026", nullptr, "d:2026-03-01T00:00:00"},
          {"10:20:30", nullptr, "d:10:20:30"},
          {"01.03.2026 10:20:30", nullptr, "d:2026-03-01T10:20:30"},
          {"5", nullptr, "n:5"},
          {"12.50", "12.5", "n:12.5"},
          {"1.50", "1.5", "n:1.5"}}},
    };
    for (const EngineCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto writer = TestManager(c.type, c.dsn);
        for (const char* sql : c.setup)
            writer->FastSql(QString::fromUtf8(sql));
        TSqlDBModel model = TestModel(c.type, c.dsn);
        auto program = TSqlDataModule::CreateManager(&model);
        TQuery q(&program->OpenConnection(), ckStatic);
        q.SetSQL(QString::fromUtf8(c.sql));
        q.Open();
        TDataSource grid;
        grid.SetDataSet(&q);
        QStringList shown;
        for (int r = 0; r < grid.rowCount(); ++r)
            for (int col = 0; col < grid.columnCount(); ++col)
                shown << grid.CellText(r, col);
        grid.SetDataSet(nullptr);

        RExportOptions csv = TExportForm::GetReportOpts(ekTextFile, QStringLiteral("Odd"));
        csv.FileName = Path(QStringLiteral("odd.csv"));
        q.First();
        ASSERT_TRUE(RunOn(q, csv));
        QStringList written;
        const QStringList lines = FromWindows1251(ReadAll(csv.FileName)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (int i = 1; i < lines.size(); ++i)
            written << lines[i].split(QLatin1Char('\t'));

        RExportOptions xlsx = TExportForm::GetReportOpts(ekExcel, QStringLiteral("Odd"));
        xlsx.FileName = Path(QStringLiteral("odd.xlsx"));
        q.First();
        ASSERT_TRUE(RunOn(q, xlsx));
        QStringList cells;
        const QJsonArray rows = ReadWorkbook(xlsx.FileName)[0][QStringLiteral("rows")].toArray();
        for (int r = 1; r < rows.size(); ++r)
            for (const QJsonValue cell : rows[r].toArray()) {
                const QJsonValue v = cell[QStringLiteral("value")];
                cells << (cell[QStringLiteral("type")].toString() == QLatin1String("s") ? QStringLiteral("s:") + v.toString()
                          : v.isDouble() ? QStringLiteral("n:") + QString::number(v.toDouble(), 'g', 17)
                                         : QStringLiteral("d:") + v.toString());
            }

        ASSERT_EQ(shown.size(), int(c.values.size())) << shown.join(QLatin1String(" | ")).toStdString();
        ASSERT_EQ(written.size(), int(c.values.size())) << written.join(QLatin1String(" | ")).toStdString();
        ASSERT_EQ(written.size(), int(c.values.size()));
        ASSERT_EQ(cells.size(), int(c.values.size()));
        for (size_t i = 0; i < c.values.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(shown[int(i)], QString::fromUtf8(c.values[i].grid));
            EXPECT_EQ(written[int(i)], QString::fromUtf8(c.values[i].csv ? c.values[i].csv : c.values[i].grid));
            EXPECT_EQ(cells[int(i)], QString::fromUtf8(c.values[i].sheet));
        }
    }
}

// A SQL expression of both engines for `text`: quoted runs, and the characters a literal
// should not carry as char(N) (SQLite) or chr(N) (PostgreSQL).
QString SqlText(const QString& text, TDbType type)
{
    QStringList parts;
    QString run;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0xFFFE) {
            run += c == QLatin1Char('\'') ? QStringLiteral("''") : QString(c);
            continue;
        }
        if (!run.isEmpty())
            parts << QLatin1Char('\'') + std::exchange(run, {}) + QLatin1Char('\'');
        parts << QStringLiteral("%1(%2)").arg(type == dbPostgres ? QStringLiteral("chr") : QStringLiteral("char"))
                     .arg(c.unicode());
    }
    if (!run.isEmpty() || parts.isEmpty())
        parts << QLatin1Char('\'') + run + QLatin1Char('\'');
    return parts.join(QStringLiteral(" || "));
}

// Texts that hold "_xHHHH_", which a spreadsheet reads as the character of that code, come
// out of the workbook as the database holds them, in the cells, the field names and the
// title block; so do the control characters the library escapes and the characters XML
// cannot hold.
TEST_F(Export, SpreadsheetTextsThatLookLikeEscapesComeOutAsStored)
{
    const QString texts[] = {
        QStringLiteral("lit_x000D_cr"),
        QStringLiteral("_x005F_x0041_"),
        QStringLiteral("_x00aD_ и _X0041_ и _x00Ff_"),               // hex of either case, an upper-case X
        QStringLiteral("_x0041__x0042_x0043_ три в един_x0044_"),    // several, one right after another
        QStringLiteral("край_x"),
        QStringLiteral("край_x004"),
        QStringLiteral("_x0041"),
        QStringLiteral("_x00G0_ _x041_ _x_ x0041_ __x0041__"),        // not quite escapes, and doubled underscores
        QStringLiteral("_x000D") + QChar(13) + QStringLiteral("_x0001") + QChar(1), // the library's escape follows
        QStringLiteral("ред 1\r\nред 2\tтаб") + QChar(1) + QChar(0x1F) + QStringLiteral("_x001F_"),
        QStringLiteral("не-знак ") + QChar(0xFFFE) + QChar(0xFFFF) + QStringLiteral(" _xFFFE_"),
    };
    const QString caption = QStringLiteral("Текст_x0041_");
    const QString title = QStringLiteral("Отчет_x000D_");
    const QStringList conditions = {QStringLiteral("Период: _x005F_x0031_")};
    for (const auto& [engine, type, dsn] : {std::tuple{"SQLite", dbSqlite, kScratchDsn},
                                            std::tuple{"PostgreSQL", dbPostgres, kScratchPgDsn}}) {
        SCOPED_TRACE(engine);
        auto writer = TestManager(type, dsn);
        writer->FastSql(QStringLiteral("drop table if exists EscapeTexts"));
        writer->FastSql(QStringLiteral("create table EscapeTexts (Id integer, Txt varchar(200))"));
        for (size_t i = 0; i < std::size(texts); ++i)
            writer->FastSql(QStringLiteral("insert into EscapeTexts values (%1, %2)").arg(i).arg(SqlText(texts[i], type)));
        TQuery q(&writer->Connection(), ckForwardOnly);
        q.SetSQL(QStringLiteral("select Txt as \"%1\" from EscapeTexts order by Id").arg(caption));
        q.Open();
        RExportOptions opts = TExportForm::GetDefaultOpts();
        opts.ExportKind = ekExcel;
        opts.Title = title;
        opts.Conditions = &conditions;
        opts.FileName = Path(QStringLiteral("escapes.xlsx"));
        ASSERT_TRUE(RunOn(q, opts));
        const QJsonArray rows = ReadWorkbook(opts.FileName)[0][QStringLiteral("rows")].toArray();
        ASSERT_EQ(rows.size(), 4 + int(std::size(texts))); // title, condition, empty row, names
        EXPECT_EQ(rows[0][0][QStringLiteral("value")].toString(), title);
        EXPECT_EQ(rows[1][0][QStringLiteral("value")].toString(), conditions[0]);
        EXPECT_EQ(rows[3][0][QStringLiteral("value")].toString(), caption);
        for (size_t i = 0; i < std::size(texts); ++i) {
            SCOPED_TRACE(texts[i].toStdString());
            const QJsonObject cell = rows[4 + int(i)][0].toObject();
            EXPECT_EQ(cell[QStringLiteral("type")].toString(), QStringLiteral("s"));
            EXPECT_EQ(cell[QStringLiteral("value")].toString().toStdString(), texts[i].toStdString());
        }
    }

    // SQLite: texts stored in columns of numbers and dates are text cells too.
    db->FastSql(QStringLiteral("drop table if exists EscapeTyped"));
    db->FastSql(QStringLiteral("create table EscapeTyped (n integer, x numeric(12,2), d date, t time)"));
    db->FastSql(QStringLiteral("insert into EscapeTyped values ('_x0031_', '_x000D_', '_x0033_', '_x0034_')"));
    Open(QStringLiteral("select n, x, d, t from EscapeTyped"));
    RExportOptions opts = TExportForm::GetReportOpts(ekExcel, QStringLiteral("Typed"));
    opts.FileName = Path(QStringLiteral("typed.xlsx"));
    ASSERT_TRUE(Run(opts, 1));
    const QJsonArray row = ReadWorkbook(opts.FileName)[0][QStringLiteral("rows")][1].toArray();
    QStringList values;
    for (const QJsonValue cell : row)
        values << cell[QStringLiteral("value")].toString();
    EXPECT_EQ(values, (QStringList{"_x0031_", "_x000D_", "_x0033_", "_x0034_"}));
}

TEST_F(Export, SpreadsheetContinuesOnFurtherWorksheets)
{
    auto db2 = TestManager(dbSqlite, kScratchDsn);
    BuildExportTable(*db2, 117); // 120 rows
    RExportOptions opts = TExportForm::GetDefaultOpts();
    opts.ExportKind = ekExcel;
    opts.Header = false;
    opts.FileName = Path(QStringLiteral("many.xlsx"));
    TExportExcelStrategy::MaxSheetRows = 50; // 49 records a sheet under the names row
    Open(QStringLiteral("select Code, Name from ExportCases order by Code"));
    const bool done = Run(opts, 3);
    TExportExcelStrategy::MaxSheetRows = TExportExcelStrategy::kMaxSheetRows;
    ASSERT_TRUE(done);
    const QJsonArray sheets = ReadWorkbook(opts.FileName);
    ASSERT_EQ(sheets.size(), 3);
    QList<int> codes;
    for (const QJsonValue s : sheets) {
        const QJsonArray rows = s[QStringLiteral("rows")].toArray();
        EXPECT_EQ(rows[0][0][QStringLiteral("value")].toString(), QStringLiteral("Code"));
        EXPECT_LE(rows.size(), 50);
        // Each sheet has its names frozen and its own autofilter over its rows.
        EXPECT_EQ(s[QStringLiteral("freeze")].toString(), QStringLiteral("A2"));
        EXPECT_EQ(s[QStringLiteral("autofilter")].toString(), QStringLiteral("A1:B%1").arg(rows.size()));
        EXPECT_EQ(s[QStringLiteral("print_title_rows")].toString(), QStringLiteral("$1:$1"));
        for (int r = 1; r < rows.size(); ++r)
            codes << rows[r][0][QStringLiteral("value")].toInt();
    }
    ASSERT_EQ(codes.size(), 120);
    for (int i = 0; i < 120; ++i)
        EXPECT_EQ(codes[i], i + 1);
}
} // namespace
