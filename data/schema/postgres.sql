-- Demo audit database of the Дравик point-of-sale system: PostgreSQL.
--
-- Base tables of the shop's sales database, the twelve audit views the auditor reads and
-- the three lookup views of its filters. data/schema/sqlite.sql is the same schema for
-- SQLite; keep the two in step.
--
-- All identifiers are unquoted: they fold to lower case, and the auditor's unquoted
-- mixed-case names (EndDocDate, UNP, ...) find them. The database is created with the C
-- collation, so texts sort by code point as in SQLite.
--
-- Sales, SaleLines and SalePayments are the receipt journal, written once when a sale is
-- closed: they keep the texts as printed on the receipt (store, customer, item and payment
-- type names), and every line and payment carries its sale's keys (UNP, DocNomer,
-- EndDocDate, StoreN, FiscalDeviceN, UserN). The three big sales views therefore read one
-- table each: a count(*) with any filter is answered from one index, and a filtered page
-- is read in order from it.
--
-- Run the whole file on an empty database to get an empty audit database. The loader runs
-- the part above the line "-- ==== After loading ====" first, copies the data in within
-- the same transaction (COPY ... FREEZE), then runs the rest: keys and indexes are made
-- once the rows are in, which is much faster than loading into indexed tables.

-- ------------------------------------------------------------------ nomenclatures

CREATE TABLE Stores (
  StoreN          INTEGER NOT NULL,
  StoreName       VARCHAR(100) NOT NULL,
  Address         VARCHAR(200) NOT NULL,
  CreateDate      DATE NOT NULL,
  LastChangeDate  DATE NOT NULL,
  DeactivatedDate DATE
);

CREATE TABLE FiscalDevices (
  FiscalDeviceN      INTEGER NOT NULL,
  StoreN             INTEGER NOT NULL,
  PosId              INTEGER NOT NULL,              -- workplace (till) number in the store
  SerialNumber       VARCHAR(8) NOT NULL,           -- individual number of the device, e.g. DT123456
  FiscalMemoryN      VARCHAR(8) NOT NULL,
  Model              VARCHAR(40) NOT NULL,
  DeviceName         VARCHAR(100) NOT NULL,
  RegistrationDate   DATE NOT NULL,
  DeregistrationDate DATE
);

CREATE TABLE Roles (
  RoleId   INTEGER NOT NULL,
  RoleName VARCHAR(40) NOT NULL
);

CREATE TABLE Users (
  UserN           INTEGER NOT NULL,                 -- also the operator code in the UNP
  UserName        VARCHAR(100) NOT NULL,
  StoreN          INTEGER,                          -- NULL for office staff
  RoleId          INTEGER NOT NULL,
  AssignedRoles   VARCHAR(200) NOT NULL,            -- kept by the user administration screen
  CreateDate      DATE NOT NULL,
  ChangeDate      DATE NOT NULL,
  DeactivatedDate DATE,
  Notes           VARCHAR(200)
);

CREATE TABLE Items (
  ItemN           INTEGER NOT NULL,
  ItemCode        VARCHAR(20) NOT NULL,             -- EAN-13, or 21nnnnn for goods sold by weight
  ItemName        VARCHAR(120) NOT NULL,
  Unit            VARCHAR(10) NOT NULL,
  VATRate         NUMERIC(5,2) NOT NULL,
  RetailPrice     NUMERIC(12,2) NOT NULL,           -- with VAT
  NetPrice        NUMERIC(12,2) NOT NULL,           -- without VAT
  CreateDate      DATE NOT NULL,
  LastChangeDate  DATE NOT NULL,
  DeactivatedDate DATE
);

CREATE TABLE Partners (
  PartnerN        INTEGER NOT NULL,
  PartnerCode     VARCHAR(10) NOT NULL,
  Bulstat         VARCHAR(13) NOT NULL,
  VATNumber       VARCHAR(15),
  PartnerName     VARCHAR(120) NOT NULL,
  Address         VARCHAR(200) NOT NULL,
  CreateDate      DATE NOT NULL,
  LastChangeDate  DATE NOT NULL,
  DeactivatedDate DATE
);

CREATE TABLE OperationTypes (
  OperationCode   INTEGER NOT NULL,
  OperationName   VARCHAR(80) NOT NULL,
  CreateDate      DATE NOT NULL,
  ChangeDate      DATE NOT NULL,
  DeactivatedDate DATE
);

CREATE TABLE PayTypes (
  PayTypeCode     INTEGER NOT NULL,
  PayTypeName     VARCHAR(40) NOT NULL,
  CreateDate      DATE NOT NULL,
  ChangeDate      DATE NOT NULL,
  DeactivatedDate DATE
);

-- ------------------------------------------------------------------ sales

CREATE TABLE Sales (
  SaleId          INTEGER NOT NULL,
  UNP             VARCHAR(21) NOT NULL,             -- DT123456-0001-0000123
  DocNomer        INTEGER NOT NULL,                 -- receipt number of the device
  StoreN          INTEGER NOT NULL,
  StoreName       VARCHAR(100) NOT NULL,            -- as printed
  FiscalDeviceN   INTEGER NOT NULL,
  PosId           INTEGER NOT NULL,
  UserN           INTEGER NOT NULL,
  PartnerN        INTEGER,                          -- customer of an invoiced sale
  PartnerCode     VARCHAR(10),                      -- as printed on the invoice
  PartnerName     VARCHAR(120),
  StartDocDate    DATE NOT NULL,
  StartDocTime    TIME NOT NULL,
  EndDocDate      DATE NOT NULL,
  EndDocTime      TIME NOT NULL,
  TotalSumNoVat   NUMERIC(12,2) NOT NULL,
  SumDiscounts    NUMERIC(12,2) NOT NULL,
  SumVAT          NUMERIC(12,2) NOT NULL,
  TotalSumWithVAT NUMERIC(12,2) NOT NULL,
  InvoiceNumber   VARCHAR(10),
  InvoiceDate     DATE
);

CREATE TABLE SaleLines (
  SaleId        INTEGER NOT NULL,
  LineNo        INTEGER NOT NULL,
  UNP           VARCHAR(21) NOT NULL,               -- UNP .. UserN: copies of the sale's keys
  DocNomer      INTEGER NOT NULL,
  EndDocDate    DATE NOT NULL,
  StoreN        INTEGER NOT NULL,
  FiscalDeviceN INTEGER NOT NULL,
  UserN         INTEGER NOT NULL,
  ItemN         INTEGER NOT NULL,
  ItemCode      VARCHAR(20) NOT NULL,               -- as printed
  ItemName      VARCHAR(120) NOT NULL,
  SoldItems     NUMERIC(12,3) NOT NULL,
  UnitPrice     NUMERIC(12,2) NOT NULL,             -- without VAT, before the discount
  Discount      NUMERIC(12,2) NOT NULL,             -- without VAT
  VATRate       NUMERIC(5,2) NOT NULL,
  VATSum        NUMERIC(12,2) NOT NULL,             -- round((round(qty * price) - discount) * rate / 100)
  CostSum       NUMERIC(12,2) NOT NULL              -- round(qty * price) - discount + VATSum
);

CREATE TABLE SalePayments (
  SaleId        INTEGER NOT NULL,
  PayNo         INTEGER NOT NULL,
  UNP           VARCHAR(21) NOT NULL,               -- UNP .. PartnerName: copies of the sale's
  DocNomer      INTEGER NOT NULL,                   -- receipt header
  StartDocDate  DATE NOT NULL,
  EndDocDate    DATE NOT NULL,
  StoreN        INTEGER NOT NULL,
  StoreName     VARCHAR(100) NOT NULL,
  FiscalDeviceN INTEGER NOT NULL,
  UserN         INTEGER NOT NULL,
  PartnerCode   VARCHAR(10),
  PartnerName   VARCHAR(120),
  PayTypeCode   INTEGER NOT NULL,
  PayTypeName   VARCHAR(40) NOT NULL,               -- as printed
  Amount        NUMERIC(12,2) NOT NULL,
  AmountNoVat   NUMERIC(12,2) NOT NULL,             -- the payment's share of the sale's VAT split
  AmountVAT     NUMERIC(12,2) NOT NULL,
  PayDate       DATE NOT NULL
);

-- A reversal (сторно) of a whole sale. The journal keeps what the till wrote: a sale may be
-- reversed more than once, and lines, payments and reversals are not tied to a sale by a
-- foreign key (the audit finds those whose sale is missing).
CREATE TABLE SaleReversals (
  SaleId       INTEGER NOT NULL,
  ReversedDate DATE NOT NULL,
  ReversedTime TIME NOT NULL,
  UserN        INTEGER NOT NULL,                    -- who reversed it
  Reason       VARCHAR(100) NOT NULL
);

-- Receipts annulled before they were closed; they take a UNP and a receipt number but are
-- not sales.
CREATE TABLE AnnulledSales (
  AnnulId       INTEGER NOT NULL,
  UNP           VARCHAR(21) NOT NULL,
  DocNomer      INTEGER NOT NULL,
  StoreN        INTEGER NOT NULL,
  FiscalDeviceN INTEGER NOT NULL,
  PosId         INTEGER NOT NULL,
  UserN         INTEGER NOT NULL,
  StartDocDate  DATE NOT NULL,
  StartDocTime  TIME NOT NULL,
  RevokedDate   DATE NOT NULL,                      -- closes the document
  RevokedTime   TIME NOT NULL,
  Reason        VARCHAR(100) NOT NULL
);

CREATE TABLE AnnulledSaleLines (
  AnnulId   INTEGER NOT NULL,
  LineNo    INTEGER NOT NULL,
  ItemN     INTEGER NOT NULL,
  SoldItems NUMERIC(12,3) NOT NULL,
  UnitPrice NUMERIC(12,2) NOT NULL,
  Discount  NUMERIC(12,2) NOT NULL,
  VATRate   NUMERIC(5,2) NOT NULL,
  VATSum    NUMERIC(12,2) NOT NULL,
  CostSum   NUMERIC(12,2) NOT NULL
);

CREATE TABLE UserLog (
  LogId            INTEGER NOT NULL,
  UserN            INTEGER NOT NULL,
  RoleId           INTEGER NOT NULL,
  OperationCode    INTEGER NOT NULL,
  ActivityDate     DATE NOT NULL,                   -- date part of ActivityDateTime
  ActivityDateTime TIMESTAMP NOT NULL,
  ActivityText     VARCHAR(200) NOT NULL,
  UNP              VARCHAR(21)                      -- the sale the action concerns
);

-- ------------------------------------------------------------------ audit views

CREATE VIEW SalesSummaryAudit AS
SELECT UNP, DocNomer, StoreName, StartDocDate, StartDocTime, PosId, UserN AS UserKod,
       TotalSumNoVat, SumDiscounts, SumVAT, TotalSumWithVAT, InvoiceNumber, InvoiceDate,
       EndDocDate, EndDocTime, PartnerCode, PartnerName,
       StoreN, FiscalDeviceN, UserN
FROM Sales;

CREATE VIEW SalesDetailsAudit AS
SELECT UNP, DocNomer, ItemCode, ItemName, SoldItems, UnitPrice, Discount, VATRate AS VAT,
       VATSum, CostSum,
       EndDocDate, StoreN, FiscalDeviceN, UserN
FROM SaleLines;

-- One row per payment; the amounts are the payment's share of the sale.
CREATE VIEW SalesPaymentsAudit AS
SELECT UNP, DocNomer, StoreName, StartDocDate, UserN AS UserCode,
       AmountNoVat AS TotalSumNoVat, Amount AS TotalSumWithVAT, AmountVAT AS SumVAT,
       EndDocDate, PartnerCode, PartnerName, FiscalDeviceN, PayDate, PayTypeName,
       StoreN, UserN
FROM SalePayments;

CREATE VIEW SalesReversedAudit AS
SELECT l.UNP, l.DocNomer, s.StoreName, l.ItemCode, l.ItemName, l.SoldItems, l.UnitPrice,
       l.Discount, l.VATRate AS VAT, l.VATSum, l.CostSum, l.EndDocDate, s.EndDocTime,
       r.ReversedDate AS SaleReversedDate, r.ReversedTime AS SaleReversedTime,
       l.FiscalDeviceN, l.UserN, l.StoreN
FROM SaleReversals r
JOIN SaleLines l ON l.SaleId = r.SaleId
LEFT JOIN Sales s ON s.SaleId = r.SaleId;

CREATE VIEW SalesRevokedAudit AS
SELECT a.UNP, a.DocNomer, st.StoreName, i.ItemCode, i.ItemName, l.SoldItems, l.UnitPrice,
       l.Discount, l.VATRate AS VAT, l.VATSum, l.CostSum, a.StartDocDate, a.StartDocTime,
       a.RevokedDate AS SaleRevokedDate, a.RevokedTime AS SaleRevokedTime,
       a.FiscalDeviceN, a.UserN, a.RevokedDate AS EndDocDate, a.StoreN
FROM AnnulledSales a
JOIN AnnulledSaleLines l ON l.AnnulId = a.AnnulId
LEFT JOIN Stores st ON st.StoreN = a.StoreN
LEFT JOIN Items i ON i.ItemN = l.ItemN;

CREATE VIEW ItemsAudit AS
SELECT ItemCode, ItemName, CreateDate AS ItemCreateDate, LastChangeDate AS ItemLastChangeDate,
       DeactivatedDate AS ItemDeactivatedDate
FROM Items;

CREATE VIEW PartnersAudit AS
SELECT Bulstat, PartnerName, CreateDate AS PartnerCreateDate,
       LastChangeDate AS PartnerLastChangeDate, DeactivatedDate AS PartnerDeactivatedDate
FROM Partners;

CREATE VIEW OperationsAudit AS
SELECT OperationCode, OperationName, CreateDate AS OperationCreateDate,
       ChangeDate AS OperationChangeDate, DeactivatedDate AS OperationDeactivateDate
FROM OperationTypes;

CREATE VIEW PayTypesAudit AS
SELECT PayTypeCode, PayTypeName, CreateDate AS PayTypeCreateDate,
       ChangeDate AS PayTypeChangeDate, DeactivatedDate AS PayTypeDate
FROM PayTypes;

CREATE VIEW StoreNamesAudit AS
SELECT StoreN AS PartnerCode, StoreName AS PartnerName, Address AS PartnerAddress,
       CreateDate AS PartnerCreateDate, LastChangeDate AS PartnerLastChangeDate,
       DeactivatedDate AS PartnerDeactivatedDate
FROM Stores;

CREATE VIEW UsersAudit AS
SELECT UserN AS UserID, UserName, CreateDate AS UserCreateDate, ChangeDate AS UserChangeDate,
       DeactivatedDate AS UserDeactivatedDate, AssignedRoles AS ActivitiesForPeriod, Notes
FROM Users;

CREATE VIEW UsersLogAudit AS
SELECT g.UserN AS UserID, u.UserName, r.RoleName AS Role, g.ActivityDateTime,
       o.OperationName AS ActivityType, g.ActivityText, g.UNP, g.ActivityDate AS EndDocDate
FROM UserLog g
LEFT JOIN Users u ON u.UserN = g.UserN
LEFT JOIN Roles r ON r.RoleId = g.RoleId
LEFT JOIN OperationTypes o ON o.OperationCode = g.OperationCode;

-- ------------------------------------------------------------------ filter lookups

CREATE VIEW StoreFilterAudit AS
SELECT StoreN, StoreName FROM Stores;

CREATE VIEW FiscalDeviceFilterAudit AS
SELECT FiscalDeviceN, DeviceName AS FiscalDeviceName FROM FiscalDevices;

CREATE VIEW UserFilterAudit AS
SELECT UserN AS UserKod, UserName FROM Users;

-- ==== After loading ====

ALTER TABLE Stores ADD PRIMARY KEY (StoreN);
ALTER TABLE FiscalDevices ADD PRIMARY KEY (FiscalDeviceN);
ALTER TABLE Roles ADD PRIMARY KEY (RoleId);
ALTER TABLE Users ADD PRIMARY KEY (UserN);
ALTER TABLE Items ADD PRIMARY KEY (ItemN);
ALTER TABLE Partners ADD PRIMARY KEY (PartnerN);
ALTER TABLE OperationTypes ADD PRIMARY KEY (OperationCode);
ALTER TABLE PayTypes ADD PRIMARY KEY (PayTypeCode);
ALTER TABLE Sales ADD PRIMARY KEY (SaleId);
ALTER TABLE SaleLines ADD PRIMARY KEY (SaleId, LineNo);
ALTER TABLE SalePayments ADD PRIMARY KEY (SaleId, PayNo);
ALTER TABLE AnnulledSales ADD PRIMARY KEY (AnnulId);
ALTER TABLE AnnulledSaleLines ADD PRIMARY KEY (AnnulId, LineNo);
ALTER TABLE UserLog ADD PRIMARY KEY (LogId);

ALTER TABLE FiscalDevices ADD FOREIGN KEY (StoreN) REFERENCES Stores;
ALTER TABLE Users ADD FOREIGN KEY (StoreN) REFERENCES Stores;
ALTER TABLE Users ADD FOREIGN KEY (RoleId) REFERENCES Roles;
ALTER TABLE Sales ADD FOREIGN KEY (StoreN) REFERENCES Stores;
ALTER TABLE Sales ADD FOREIGN KEY (FiscalDeviceN) REFERENCES FiscalDevices;
ALTER TABLE Sales ADD FOREIGN KEY (UserN) REFERENCES Users;
ALTER TABLE Sales ADD FOREIGN KEY (PartnerN) REFERENCES Partners;
ALTER TABLE SaleLines ADD FOREIGN KEY (ItemN) REFERENCES Items;
ALTER TABLE SalePayments ADD FOREIGN KEY (PayTypeCode) REFERENCES PayTypes;
ALTER TABLE SaleReversals ADD FOREIGN KEY (UserN) REFERENCES Users;
ALTER TABLE AnnulledSales ADD FOREIGN KEY (StoreN) REFERENCES Stores;
ALTER TABLE AnnulledSales ADD FOREIGN KEY (FiscalDeviceN) REFERENCES FiscalDevices;
ALTER TABLE AnnulledSales ADD FOREIGN KEY (UserN) REFERENCES Users;
ALTER TABLE AnnulledSaleLines ADD FOREIGN KEY (AnnulId) REFERENCES AnnulledSales;
ALTER TABLE AnnulledSaleLines ADD FOREIGN KEY (ItemN) REFERENCES Items;
ALTER TABLE UserLog ADD FOREIGN KEY (UserN) REFERENCES Users;
ALTER TABLE UserLog ADD FOREIGN KEY (RoleId) REFERENCES Roles;
ALTER TABLE UserLog ADD FOREIGN KEY (OperationCode) REFERENCES OperationTypes;

-- Every sales view is filtered on EndDocDate, StoreN, FiscalDeviceN and UserN and ordered
-- by EndDocDate, UNP: each filter column leads an index that continues with the ordering,
-- so a filtered page is read in order from one index.
CREATE UNIQUE INDEX ux_Sales_UNP ON Sales (UNP);
CREATE INDEX ix_Sales_EndDocDate ON Sales (EndDocDate, UNP);
CREATE INDEX ix_Sales_Store ON Sales (StoreN, EndDocDate, UNP);
CREATE INDEX ix_Sales_Device ON Sales (FiscalDeviceN, EndDocDate, UNP);
CREATE INDEX ix_Sales_User ON Sales (UserN, EndDocDate, UNP);

CREATE INDEX ix_SaleLines_EndDocDate ON SaleLines (EndDocDate, UNP);
CREATE INDEX ix_SaleLines_Store ON SaleLines (StoreN, EndDocDate, UNP);
CREATE INDEX ix_SaleLines_Device ON SaleLines (FiscalDeviceN, EndDocDate, UNP);
CREATE INDEX ix_SaleLines_User ON SaleLines (UserN, EndDocDate, UNP);

CREATE INDEX ix_SalePayments_EndDocDate ON SalePayments (EndDocDate, UNP);
CREATE INDEX ix_SalePayments_Store ON SalePayments (StoreN, EndDocDate, UNP);
CREATE INDEX ix_SalePayments_Device ON SalePayments (FiscalDeviceN, EndDocDate, UNP);
CREATE INDEX ix_SalePayments_User ON SalePayments (UserN, EndDocDate, UNP);

CREATE UNIQUE INDEX ux_AnnulledSales_UNP ON AnnulledSales (UNP);
CREATE INDEX ix_AnnulledSales_RevokedDate ON AnnulledSales (RevokedDate, UNP);

CREATE INDEX ix_UserLog_ActivityDate ON UserLog (ActivityDate);
CREATE INDEX ix_UserLog_ActivityDateTime ON UserLog (ActivityDateTime);

ANALYZE Stores, FiscalDevices, Roles, Users, Items, Partners, OperationTypes, PayTypes, Sales,
        SaleLines, SalePayments, SaleReversals, AnnulledSales, AnnulledSaleLines, UserLog;
