; Tessaro 048.5 - modulo di stampa ZuOrdCliRifCli.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuOrdCliRifCli
Descrizione=Conferma d'ordine con riferimento del cliente
Versione=048.5
Archivio=Ledrana
Origine=ORDINICLI
Righe=ORDINICLI_R
Legame=ORDINICLI.ID=ORDINICLI_R.IdOrdine
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Logo=Immagine,10,8,45,20,S,,{Config.LogoOrdini}
Ditta1=Testo,120,8,80,6,S,Arial 12 G,{Config.Ragsoc1}
Ditta2=Testo,120,14,80,5,S,Arial 9,{Config.Ragsoc2}
Ditta3=Testo,120,19,80,5,S,Arial 9,{Config.Indirizzo} - {Config.Localita}
Ditta4=Testo,120,24,80,5,S,Arial 8,P.IVA {Config.Piva} - C.F. {Config.CodFsc}
RiqCliente=Riquadro,110,34,90,30,S,,
Spett=Testo,112,35,40,4,S,Arial 7 C,Spettabile
RagSoc=Campo,112,40,86,5,S,Arial 10 G,{CLIENTI.RagSoc}
Indirizzo=Campo,112,46,86,5,S,Arial 9,{CLIENTI.Indirizzo}
Localita=Campo,112,51,86,5,S,Arial 9,{CLIENTI.CAP} {CLIENTI.Localita} ({CLIENTI.Prov})
PIva=Campo,112,57,86,5,S,Arial 8,P.IVA {CLIENTI.PIva}
Titolo=Testo,10,34,90,8,S,Arial 14 G,CONFERMA D'ORDINE
Numero=Campo,10,44,45,5,S,Arial 10,N. {ORDINICLI.Numero}
Data=Campo,55,44,45,5,S,Arial 10,del {ORDINICLI.Dt:gg/mm/aaaa}
RifCliente=Campo,10,50,90,5,S,Arial 9,Vs. riferimento: {ORDINICLI.RifCliente}
RiqRighe=Riquadro,10,78,190,160,S,,
Intest=Linea,10,84,190,0,S,,
Cap1=Testo,11,79,26,5,S,Arial 8 G,Codice
Cap2=Testo,39,79,70,5,S,Arial 8 G,Descrizione
Cap3=Testo,111,79,18,5,D,Arial 8 G,Quantita'
Cap4=Testo,131,79,20,5,D,Arial 8 G,Prezzo
Cap5=Testo,153,79,10,5,D,Arial 8 G,Sc.%
Cap6=Testo,165,79,22,5,C,Arial 8 G,Consegna

[Corpo]
Inizio=86
AltezzaRiga=5.5
RighePerPagina=30
Col1=Campo,11,0,26,5,S,Arial 9,{ORDINICLI_R.CodProdotto}
Col2=Campo,39,0,70,5,S,Arial 9,{ORDINICLI_R.Descrizione}
Col3=Campo,111,0,18,5,D,Arial 9,{ORDINICLI_R.Quantita:#.##0,##}
Col4=Campo,131,0,20,5,D,Arial 9,{ORDINICLI_R.Prezzo:#.##0,00}
Col5=Campo,153,0,10,5,D,Arial 9,{ORDINICLI_R.Sconto:0,0}
Col6=Campo,165,0,22,5,C,Arial 9,{ORDINICLI_R.DataConsegna:gg/mm/aaaa}

[Piede]
Totale=Campo,122,240,76,6,D,Arial 11 G,Totale ordine EUR {ORDINICLI.Totale:#.##0,00}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
NoteFinali=Campo,10,262,190,18,S,Arial 7,{File.NoteFinaliOrdOC.txt}
