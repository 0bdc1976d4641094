-- SCAD32.MDB, version 048.5: the due-dates archive of a company (receivables, payables, bank
-- receipts). Jet SQL, one statement per ";"; lines that begin with "--" are comments.

CREATE TABLE BANCHE (
    cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(60),
    ABI TEXT(5),
    CAB TEXT(5),
    contocorrente TEXT(20),
    IBAN TEXT(27),
    BIC TEXT(11),
    Conto TEXT(10),
    Fido CURRENCY,
    SiaAzienda TEXT(5),
    Attiva BIT
);
CREATE INDEX AbiCab ON BANCHE (ABI, CAB);

-- Kinds of payment (fixed table).
CREATE TABLE TIPIEFFETTO (
    Cod TEXT(2) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Riba BIT,
    Effetto BIT
);

-- One row per instalment of an invoice. Stato: 0 open, 1 paid, 2 unpaid after presentation.
CREATE TABLE SCADENZE (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    CFP TEXT(1),
    CLIFOR TEXT(10),
    Anno SHORT,
    NumDoc LONG,
    NumFattura TEXT(15),
    DataFattura DATETIME,
    NumRata SHORT,
    DataScadenza DATETIME,
    Importo CURRENCY,
    Pagato CURRENCY,
    TipoEffetto TEXT(2),
    Banca TEXT(5),
    AbiCliente TEXT(5),
    CabCliente TEXT(5),
    Stato BYTE,
    DataPagamento DATETIME,
    IdDistinta LONG,
    Note MEMO
);
CREATE INDEX DataScadenza ON SCADENZE (DataScadenza);
CREATE INDEX CliFor ON SCADENZE (CFP, CLIFOR);
CREATE INDEX Documento ON SCADENZE (Anno, NumDoc, NumRata);

-- Batches of bank receipts presented to a bank.
CREATE TABLE DISTINTE (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Dt DATETIME,
    Banca TEXT(5),
    NumEffetti SHORT,
    Totale CURRENCY,
    Presentata BIT,
    FileRiba TEXT(255)
);
CREATE INDEX Banca ON DISTINTE (Banca, Dt);

-- Reminders sent for overdue instalments.
CREATE TABLE SOLLECITI (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdScadenza LONG,
    Dt DATETIME,
    Livello BYTE,
    Testo MEMO,
    Inviato BIT
);
CREATE INDEX IdScadenza ON SOLLECITI (IdScadenza)
