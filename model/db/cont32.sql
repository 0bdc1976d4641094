-- CONT32.MDB, version 048.5: the accounting archive of a company.
-- Jet SQL, one statement per ";". Lines that begin with "--" are comments and are dropped before the
-- statements are run.

-- Financial years. "ver" is the version stamp of the archive.
CREATE TABLE anni (
    Anno SHORT CONSTRAINT PrimaryKey PRIMARY KEY,
    ver TEXT(10),
    EURO BIT,
    DataInizio DATETIME,
    DataFine DATETIME,
    Chiuso BIT,
    UltimoNumDoc LONG
);

-- Chart of accounts: "Conto" is mastro.conto, such as 100.010.
CREATE TABLE PIANOCONTI (
    Conto TEXT(10) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(60),
    Mastro TEXT(3),
    Tipo TEXT(1),
    CodiceBilancio TEXT(10),
    Bloccato BIT,
    Note MEMO
);
CREATE INDEX Descrizione ON PIANOCONTI (Descrizione);
CREATE INDEX MastroConto ON PIANOCONTI (Mastro, Conto);

CREATE TABLE CLIENTI (
    Cod TEXT(10) CONSTRAINT PrimaryKey PRIMARY KEY,
    RagSoc TEXT(60),
    RagSoc2 TEXT(60),
    Indirizzo TEXT(60),
    CAP TEXT(5),
    Localita TEXT(40),
    Prov TEXT(2),
    Nazione TEXT(3),
    PIva TEXT(11),
    CodFsc TEXT(16),
    Telefono TEXT(20),
    Fax TEXT(20),
    Email TEXT(80),
    Pec TEXT(80),
    CodDestinatario TEXT(7),
    CodPag TEXT(5),
    AbiCliente TEXT(5),
    CabCliente TEXT(5),
    ContoRicavi TEXT(10),
    CodIva TEXT(5),
    PREZZI123 SHORT,
    Sconto SINGLE,
    Fido CURRENCY,
    Bloccato BIT,
    DataIns DATETIME,
    Note MEMO
);
CREATE INDEX RagSoc ON CLIENTI (RagSoc);
CREATE INDEX PIva ON CLIENTI (PIva);

CREATE TABLE FORNITORI (
    Cod TEXT(10) CONSTRAINT PrimaryKey PRIMARY KEY,
    RagSoc TEXT(60),
    RagSoc2 TEXT(60),
    Indirizzo TEXT(60),
    CAP TEXT(5),
    Localita TEXT(40),
    Prov TEXT(2),
    Nazione TEXT(3),
    PIva TEXT(11),
    CodFsc TEXT(16),
    Telefono TEXT(20),
    Email TEXT(80),
    Pec TEXT(80),
    CodPag TEXT(5),
    ContoCosti TEXT(10),
    CodIva TEXT(5),
    Ritenuta TEXT(5),
    Bloccato BIT,
    DataIns DATETIME,
    Note MEMO
);
CREATE INDEX RagSoc ON FORNITORI (RagSoc);
CREATE INDEX PIva ON FORNITORI (PIva);

-- VAT codes.
CREATE TABLE CodiciIva (
    Cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Aliquota SINGLE,
    Indetraibile SINGLE,
    Natura TEXT(4),
    Esente BIT,
    Ventilazione BIT
);

-- Payment terms.
CREATE TABLE PAGAMENTI (
    Cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    NumRate BYTE,
    GiorniPrimaRata SHORT,
    Intervallo SHORT,
    FineMese BIT,
    TipoEffetto TEXT(2),
    SpeseIncasso CURRENCY
);

-- Posting causals. The causals 1x, 2x, 3x of each VAT register x are rebuilt by the update.
CREATE TABLE causali (
    cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Ripete BIT,
    ContoDare TEXT(10),
    ContoAvere TEXT(10),
    Riva TEXT(3),
    TipoDoc TEXT(2)
);
CREATE INDEX Descrizione ON causali (Descrizione);

-- Kinds of VAT register (fixed table).
CREATE TABLE TIPIREGISTRIIVA (
    Tipo TEXT(2) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40)
);

CREATE TABLE REGISTRIIVA (
    Anno SHORT,
    cod TEXT(3),
    Tipo TEXT(2),
    Descrizione TEXT(40),
    UltimoProtocollo LONG,
    DataUltimaStampa DATETIME,
    UltimaPagina LONG,
    Sezionale TEXT(5),
    CONSTRAINT PrimaryKey PRIMARY KEY (Anno, cod)
);
CREATE INDEX Tipo ON REGISTRIIVA (Tipo);

-- Monthly VAT totals per register and VAT code.
CREATE TABLE TOTALIIVA (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Anno SHORT,
    Riva TEXT(3),
    Mese SHORT,
    CodIva TEXT(5),
    Imponibile CURRENCY,
    Imposta CURRENCY,
    Indetraibile CURRENCY
);
CREATE UNIQUE INDEX Periodo ON TOTALIIVA (Anno, Riva, Mese, CodIva);

-- Journal entries (one row per registration) and their lines.
CREATE TABLE Articoli (
    Anno SHORT,
    NumDoc LONG,
    Dt DATETIME,
    Causale TEXT(5),
    Descrizione TEXT(60),
    Riva TEXT(3),
    Protocollo LONG,
    NumFattura TEXT(15),
    DataFattura DATETIME,
    conto TEXT(10),
    CFP TEXT(1),
    ContoA TEXT(10),
    CfpA TEXT(1),
    Totale CURRENCY,
    Stampato BIT,
    CONSTRAINT PrimaryKey PRIMARY KEY (Anno, NumDoc)
);
CREATE INDEX Dt ON Articoli (Dt);
CREATE INDEX RivaProtocollo ON Articoli (Anno, Riva, Protocollo);

CREATE TABLE MOVIMENTI (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Anno SHORT,
    NumDoc LONG,
    posi SHORT,
    conto TEXT(10),
    CFP TEXT(1),
    ImpoDare CURRENCY,
    ImpoAvere CURRENCY,
    Descrizione TEXT(60),
    CodIva TEXT(5),
    CentroCosto TEXT(5),
    Partita TEXT(15)
);
CREATE UNIQUE INDEX ArticoloRiga ON MOVIMENTI (Anno, NumDoc, posi);
CREATE INDEX Conto ON MOVIMENTI (CFP, conto);

CREATE TABLE CENTRICOSTO (
    Cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Responsabile TEXT(40),
    Attivo BIT
);

-- Articles of the catalogue.
CREATE TABLE Prodotti (
    Cod TEXT(20) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(80),
    UM TEXT(3),
    Categoria TEXT(5),
    CodIva TEXT(5),
    Prezzo1 CURRENCY,
    Prezzo2 CURRENCY,
    Prezzo3 CURRENCY,
    Costo CURRENCY,
    Giacenza DOUBLE,
    ScortaMin DOUBLE,
    Peso SINGLE,
    CodiceEAN TEXT(13),
    Immagine TEXT(100),
    Documento TEXT(100),
    DataUltimoCarico DATETIME,
    Obsoleto BIT,
    Note MEMO
);
CREATE INDEX Descrizione ON Prodotti (Descrizione);
CREATE INDEX Categoria ON Prodotti (Categoria);
CREATE INDEX CodiceEAN ON Prodotti (CodiceEAN);

-- Article categories; those with NonModif are shipped with the product.
CREATE TABLE Categorie (
    cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    NonModif BIT,
    ContoRicavi TEXT(10),
    ContoCosti TEXT(10),
    Sconto SINGLE
);

-- Reasons for transport printed on delivery notes.
CREATE TABLE CodiciCausaliTrasporto (
    cod TEXT(3) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40)
);

-- Withholding taxes.
CREATE TABLE Ritenute (
    cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(60),
    perc DOUBLE,
    conto TEXT(10),
    causale TEXT(5),
    CodTributo TEXT(4)
);

-- Kinds of customer document: invoices, delivery notes, receipts.
CREATE TABLE TIPIFATTURECLI (
    Cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    TIPO TEXT(40),
    tipostampa TEXT(20),
    CFP TEXT(1),
    logo TEXT(100),
    Modulo TEXT(50),
    Registro TEXT(3),
    Causale TEXT(5),
    Segno SHORT,
    Contabilizza BIT
);

CREATE TABLE FATTURECLI (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Tipo TEXT(5),
    Anno SHORT,
    Numero LONG,
    Dt DATETIME,
    CLIFOR TEXT(10),
    CLIENTE TEXT(10),
    CFP TEXT(1),
    CodPag TEXT(5),
    CausaleTrasporto TEXT(3),
    Vettore TEXT(40),
    Colli SHORT,
    Peso SINGLE,
    Imponibile CURRENCY,
    Iva CURRENCY,
    Totale CURRENCY,
    Ritenuta CURRENCY,
    Note MEMO,
    Contabilizzata BIT,
    NumDocCont LONG
);
CREATE UNIQUE INDEX TipoAnnoNumero ON FATTURECLI (Tipo, Anno, Numero);
CREATE INDEX CliFor ON FATTURECLI (CFP, CLIFOR);
CREATE INDEX Dt ON FATTURECLI (Dt);

CREATE TABLE FATTURECLI_R (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdFattura LONG,
    Riga SHORT,
    CLIFOR TEXT(10),
    CLIENTE TEXT(10),
    CFP TEXT(1),
    CodProdotto TEXT(20),
    Descrizione TEXT(80),
    UM TEXT(3),
    Quantita DOUBLE,
    Prezzo CURRENCY,
    Sconto SINGLE,
    CodIva TEXT(5),
    Importo CURRENCY,
    Commessa TEXT(10)
);
CREATE UNIQUE INDEX FatturaRiga ON FATTURECLI_R (IdFattura, Riga);
CREATE INDEX CodProdotto ON FATTURECLI_R (CodProdotto);

CREATE TABLE ORDINICLI (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Anno SHORT,
    Numero LONG,
    Dt DATETIME,
    Cliente TEXT(10),
    RifCliente TEXT(30),
    DataConsegna DATETIME,
    Totale CURRENCY,
    Evaso BIT,
    Commessa TEXT(10),
    NoteFinali MEMO
);
CREATE UNIQUE INDEX AnnoNumero ON ORDINICLI (Anno, Numero);
CREATE INDEX Cliente ON ORDINICLI (Cliente);

CREATE TABLE ORDINICLI_R (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdOrdine LONG,
    Riga SHORT,
    CodProdotto TEXT(20),
    Descrizione TEXT(80),
    Quantita DOUBLE,
    QtaEvasa DOUBLE,
    Prezzo CURRENCY,
    Sconto SINGLE,
    DataConsegna DATETIME
);
CREATE UNIQUE INDEX OrdineRiga ON ORDINICLI_R (IdOrdine, Riga);

CREATE TABLE ORDINIFOR (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Anno SHORT,
    Numero LONG,
    Dt DATETIME,
    TIPODOC TEXT(1),
    Fornitore TEXT(10),
    DataConsegna DATETIME,
    Totale CURRENCY,
    Evaso BIT,
    Commessa TEXT(10),
    NoteFinali MEMO
);
CREATE UNIQUE INDEX AnnoNumero ON ORDINIFOR (Anno, Numero);
CREATE INDEX Fornitore ON ORDINIFOR (Fornitore);

CREATE TABLE ORDINIFOR_R (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdOrdine LONG,
    Riga SHORT,
    TIPODOC TEXT(1),
    CodProdotto TEXT(20),
    Descrizione TEXT(80),
    Quantita DOUBLE,
    QtaEvasa DOUBLE,
    Prezzo CURRENCY,
    DataConsegna DATETIME
);
CREATE UNIQUE INDEX OrdineRiga ON ORDINIFOR_R (IdOrdine, Riga);

-- Job orders.
CREATE TABLE COMMESSE (
    Cod TEXT(10) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(60),
    Cliente TEXT(10),
    DataInizio DATETIME,
    DataFine DATETIME,
    Preventivo CURRENCY,
    Chiusa BIT
);
CREATE INDEX Cliente ON COMMESSE (Cliente);

-- Customer price lists.
CREATE TABLE LISTINI (
    Cliente TEXT(10),
    CodProdotto TEXT(20),
    DataInizio DATETIME,
    DataFine DATETIME,
    Prezzo CURRENCY,
    Sconto SINGLE,
    CONSTRAINT PrimaryKey PRIMARY KEY (Cliente, CodProdotto, DataInizio)
);

-- Files attached to documents and records.
CREATE TABLE ALLEGATI (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdAllegato GUID,
    Tabella TEXT(30),
    Chiave TEXT(30),
    NomeFile TEXT(255),
    Contenuto LONGBINARY,
    Dimensione LONG,
    Impronta BINARY(16),
    DataIns DATETIME
);
CREATE UNIQUE INDEX IdAllegato ON ALLEGATI (IdAllegato);
CREATE INDEX TabellaChiave ON ALLEGATI (Tabella, Chiave);

-- Fixed tables: their rows are the product's and replace the company's at every update.
CREATE TABLE PROVINCE (
    Sigla TEXT(2) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Regione TEXT(30)
);

CREATE TABLE NAZIONI (
    Cod TEXT(3) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(50),
    Iso2 TEXT(2),
    UE BIT,
    BlackList BIT
);
CREATE UNIQUE INDEX Iso2 ON NAZIONI (Iso2);

CREATE TABLE VALUTE (
    Cod TEXT(3) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Simbolo TEXT(5),
    Decimali BYTE,
    CambioEuro DOUBLE
)
