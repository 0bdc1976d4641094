-- SCAD32.MDB as version 027 left it. Jet SQL, one statement per ";"; "--" lines are comments.

CREATE TABLE BANCHE (
    cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(60),
    Agenzia TEXT(40),
    ABI TEXT(5),
    CAB TEXT(5),
    contocorrente TEXT(20),
    Conto TEXT(10),
    Fido CURRENCY,
    Attiva BIT
);
CREATE INDEX AbiCab ON BANCHE (ABI, CAB);

CREATE TABLE TIPIEFFETTO (
    Cod TEXT(2) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Riba BIT
);

-- ID is a plain Long here, a counter in the model.
CREATE TABLE SCADENZE (
    ID LONG CONSTRAINT PrimaryKey PRIMARY KEY,
    CFP TEXT(1),
    CLIFOR TEXT(10),
    Anno SHORT,
    NumDoc LONG,
    NumFattura TEXT(15),
    DataFattura DATETIME,
    NumRata SHORT,
    DataScadenza DATETIME,
    Importo DOUBLE,
    Pagato CURRENCY,
    TipoEffetto TEXT(2),
    Banca TEXT(5),
    AbiCliente TEXT(5),
    CabCliente TEXT(5),
    Stato BYTE,
    DataPagamento DATETIME,
    IdDistinta LONG,
    Note TEXT(255)
);
CREATE INDEX CliFor ON SCADENZE (CFP, CLIFOR);
CREATE INDEX Documento ON SCADENZE (Anno, NumDoc);
CREATE INDEX Importo ON SCADENZE (Importo);

CREATE TABLE DISTINTE (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Dt DATETIME,
    Banca TEXT(5),
    NumEffetti SHORT,
    Totale CURRENCY,
    Presentata BIT,
    FileRiba TEXT(100)
);
CREATE INDEX Banca ON DISTINTE (Banca, Dt);

-- A table that version 048.5 no longer has.
CREATE TABLE STORICOLIRE (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdScadenza LONG,
    ImportoLire DOUBLE,
    Cambio DOUBLE
)
