-- CONT32.MDB as version 027 left it: the accounting archive of the sample installations "old",
-- "old-layout" and "large". Jet SQL, one statement per ";"; lines that begin with "--" are comments.

CREATE TABLE anni (
    Anno SHORT CONSTRAINT PrimaryKey PRIMARY KEY,
    ver TEXT(5),
    EURO BIT,
    DataInizio DATETIME,
    DataFine DATETIME
);

CREATE TABLE PIANOCONTI (
    Conto TEXT(10) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Mastro TEXT(3),
    Tipo TEXT(1),
    CodiceBilancio TEXT(10),
    Bloccato BIT,
    Note MEMO,
    VecchioCodice TEXT(10)
);
CREATE INDEX Descrizione ON PIANOCONTI (Descrizione);
CREATE INDEX MastroConto ON PIANOCONTI (Mastro);

CREATE TABLE Clienti (
    Cod TEXT(10) CONSTRAINT primarykey PRIMARY KEY,
    RagSoc TEXT(40),
    RagSoc2 TEXT(40),
    Indirizzo TEXT(60),
    CAP TEXT(5),
    Localita TEXT(40),
    Prov TEXT(2),
    Nazione TEXT(3),
    PIva TEXT(11),
    CodFsc TEXT(16),
    Telefono TEXT(20),
    Fax TEXT(20),
    Telex TEXT(20),
    CodPag TEXT(5),
    AbiCliente TEXT(5),
    CabCliente TEXT(5),
    ContoRicavi TEXT(10),
    CodIva TEXT(5),
    Sconto SINGLE,
    Fido DOUBLE,
    Bloccato BIT,
    DataIns DATETIME,
    Note MEMO
);
CREATE INDEX RagSoc ON Clienti (RagSoc);
CREATE INDEX piva ON Clienti (PIva);
CREATE INDEX Localita ON Clienti (Localita);

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

CREATE TABLE CodiciIva (
    Cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Aliquota SINGLE,
    Indetraibile SINGLE,
    Natura TEXT(4),
    Esente BIT,
    Ventilazione BIT
);

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

CREATE TABLE CAUSALI (
    cod TEXT(3) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Ripete BIT,
    ContoDare TEXT(10),
    ContoAvere TEXT(10)
);
CREATE INDEX Descrizione ON CAUSALI (Descrizione);

CREATE TABLE TIPIREGISTRIIVA (
    Tipo TEXT(2) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40)
);

-- The primary key lists its fields in the other order than the model: the same index.
CREATE TABLE REGISTRIIVA (
    Anno SHORT,
    cod TEXT(3),
    Tipo TEXT(2),
    Descrizione TEXT(40),
    UltimoProtocollo LONG,
    DataUltimaStampa DATETIME,
    UltimaPagina LONG,
    CONSTRAINT PrimaryKey PRIMARY KEY (cod, Anno)
);

-- ID is a plain Long here, a counter in the model.
CREATE TABLE TOTALIIVA (
    ID LONG CONSTRAINT PrimaryKey PRIMARY KEY,
    Anno SHORT,
    Riva TEXT(3),
    Mese SHORT,
    CodIva TEXT(5),
    Imponibile DOUBLE,
    Imposta CURRENCY,
    Indetraibile CURRENCY
);
CREATE UNIQUE INDEX Periodo ON TOTALIIVA (Anno, Riva, Mese, CodIva);

CREATE TABLE ARTICOLI (
    Anno SHORT,
    NumDoc LONG,
    Dt DATETIME,
    Causale TEXT(3),
    Descrizione TEXT(60),
    Riva TEXT(3),
    Protocollo TEXT(10),
    NumFattura TEXT(15),
    DataFattura DATETIME,
    conto TEXT(10),
    CFP TEXT(1),
    Totale CURRENCY,
    TotaleLire CURRENCY,
    Stampato BIT,
    CONSTRAINT PrimaryKey PRIMARY KEY (Anno, NumDoc)
);
CREATE INDEX RivaProtocollo ON ARTICOLI (Anno, Riva, Protocollo);

CREATE TABLE Movimenti (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Anno SHORT,
    NumDoc LONG,
    posi BYTE,
    conto TEXT(10),
    CFP TEXT(1),
    ImpoDare CURRENCY,
    ImpoAvere CURRENCY,
    Descrizione TEXT(60),
    CodIva TEXT(5),
    Partita TEXT(15),
    ImportoLire CURRENCY
);
CREATE INDEX Conto ON Movimenti (conto);

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
    Giacenza SINGLE,
    ScortaMin DOUBLE,
    Peso SINGLE,
    CodiceEAN TEXT(13),
    Immagine TEXT(100),
    Obsoleto BIT,
    Note TEXT(255)
);
CREATE INDEX Descrizione ON Prodotti (Descrizione);
CREATE INDEX Categoria ON Prodotti (Categoria);
CREATE INDEX Prezzo1 ON Prodotti (Prezzo1);

CREATE TABLE Categorie (
    cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    NonModif BIT,
    ContoRicavi TEXT(10),
    ContoCosti TEXT(10)
);

CREATE TABLE CodiciCausaliTrasporto (
    cod TEXT(3) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(30)
);

CREATE TABLE Ritenute (
    cod TEXT(5) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(60),
    perc DOUBLE,
    conto TEXT(10),
    causale TEXT(5)
);

-- "PrimaryKey" is a unique index here, the primary key in the model.
CREATE TABLE TIPIFATTURECLI (
    Cod TEXT(5),
    Descrizione TEXT(40),
    tipostampa TEXT(20),
    logo TEXT(100),
    Modulo TEXT(50),
    Registro TEXT(3),
    Causale TEXT(5),
    Segno SHORT,
    Contabilizza BIT
);
CREATE UNIQUE INDEX PrimaryKey ON TIPIFATTURECLI (Cod);

CREATE TABLE FATTURECLI (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Tipo TEXT(5),
    Anno SHORT,
    Numero LONG,
    Dt DATETIME,
    CLIENTE TEXT(10),
    CodPag TEXT(5),
    CausaleTrasporto TEXT(3),
    Vettore TEXT(40),
    Colli SHORT,
    Peso SINGLE,
    Imponibile CURRENCY,
    Iva CURRENCY,
    Totale CURRENCY,
    TotaleLire CURRENCY,
    Note TEXT(255),
    Contabilizzata BIT,
    NumDocCont LONG
);
CREATE INDEX TipoAnnoNumero ON FATTURECLI (Tipo, Anno, Numero);
CREATE INDEX Dt ON FATTURECLI (Dt);
CREATE INDEX Cliente ON FATTURECLI (CLIENTE);

CREATE TABLE FATTURECLI_R (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdFattura LONG,
    Riga SHORT,
    CLIENTE TEXT(10),
    CodProdotto TEXT(20),
    Descrizione TEXT(80),
    Quantita DOUBLE,
    Prezzo CURRENCY,
    Sconto SINGLE,
    CodIva TEXT(5),
    Importo CURRENCY
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
    Fornitore TEXT(10),
    DataConsegna DATETIME,
    Totale CURRENCY,
    Evaso BIT,
    NoteFinali MEMO
);
CREATE UNIQUE INDEX AnnoNumero ON ORDINIFOR (Anno, Numero);
CREATE INDEX Fornitore ON ORDINIFOR (Fornitore);

CREATE TABLE ORDINIFOR_R (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdOrdine LONG,
    Riga SHORT,
    CodProdotto TEXT(20),
    Descrizione TEXT(80),
    Quantita DOUBLE,
    QtaEvasa DOUBLE,
    Prezzo CURRENCY,
    DataConsegna DATETIME
);
CREATE UNIQUE INDEX OrdineRiga ON ORDINIFOR_R (IdOrdine, Riga);

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

CREATE TABLE ALLEGATI (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    IdAllegato GUID,
    Tabella TEXT(30),
    Chiave TEXT(30),
    NomeFile TEXT(255),
    Contenuto LONGBINARY,
    Impronta BINARY(16),
    DataIns DATETIME
);
CREATE UNIQUE INDEX IdAllegato ON ALLEGATI (IdAllegato);

CREATE TABLE PROVINCE (
    Sigla TEXT(2) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Regione TEXT(30)
);

CREATE TABLE NAZIONI (
    Cod TEXT(3) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(50),
    Iso2 TEXT(2),
    Cee BIT,
    BlackList BIT
);
CREATE UNIQUE INDEX Iso2 ON NAZIONI (Iso2);

CREATE TABLE VALUTE (
    Cod TEXT(3) CONSTRAINT PrimaryKey PRIMARY KEY,
    Descrizione TEXT(40),
    Simbolo TEXT(5),
    Decimali BYTE,
    CambioEuro DOUBLE
);

-- Tables that version 048.5 no longer has.
CREATE TABLE CAMBI (
    Valuta TEXT(3),
    Dt DATETIME,
    CambioLire DOUBLE,
    CONSTRAINT PrimaryKey PRIMARY KEY (Valuta, Dt)
);

CREATE TABLE TEMPSTAMPA (
    ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
    Utente TEXT(20),
    Riga LONG,
    Testo TEXT(255)
)
