; Tessaro 048.5 - modulo di stampa ZuFatturaRifCli.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuFatturaRifCli
Descrizione=Fattura con riferimento del cliente
Versione=048.5
Archivio=Ledrana
Origine=FATTURECLI
Righe=FATTURECLI_R
Legame=FATTURECLI.ID=FATTURECLI_R.IdFattura
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=2

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
Titolo=Testo,10,34,90,8,S,Arial 14 G,FATTURA
Numero=Campo,10,44,45,5,S,Arial 10,N. {FATTURECLI.Numero}
Data=Campo,55,44,45,5,S,Arial 10,del {FATTURECLI.Dt:gg/mm/aaaa}
RifCliente=Campo,10,50,90,5,S,Arial 9,Vs. riferimento: {FATTURECLI.Note}
RiqRighe=Riquadro,10,78,190,160,S,,
Intest=Linea,10,84,190,0,S,,
Cap1=Testo,11,79,26,5,S,Arial 8 G,Codice
Cap2=Testo,39,79,68,5,S,Arial 8 G,Descrizione
Cap3=Testo,109,79,8,5,C,Arial 8 G,UM
Cap4=Testo,119,79,16,5,D,Arial 8 G,Quantita'
Cap5=Testo,137,79,18,5,D,Arial 8 G,Prezzo
Cap6=Testo,157,79,10,5,D,Arial 8 G,Sc.%
Cap7=Testo,169,79,20,5,D,Arial 8 G,Importo
Cap8=Testo,191,79,8,5,C,Arial 8 G,IVA

[Corpo]
Inizio=86
AltezzaRiga=5.5
RighePerPagina=30
Col1=Campo,11,0,26,5,S,Arial 9,{FATTURECLI_R.CodProdotto}
Col2=Campo,39,0,68,5,S,Arial 9,{FATTURECLI_R.Descrizione}
Col3=Campo,109,0,8,5,C,Arial 9,{FATTURECLI_R.UM}
Col4=Campo,119,0,16,5,D,Arial 9,{FATTURECLI_R.Quantita:#.##0,##}
Col5=Campo,137,0,18,5,D,Arial 9,{FATTURECLI_R.Prezzo:#.##0,00}
Col6=Campo,157,0,10,5,D,Arial 9,{FATTURECLI_R.Sconto:0,0}
Col7=Campo,169,0,20,5,D,Arial 9,{FATTURECLI_R.Importo:#.##0,00}
Col8=Campo,191,0,8,5,C,Arial 9,{FATTURECLI_R.CodIva}

[Piede]
RiqTotali=Riquadro,120,240,80,20,S,,
Imponibile=Campo,122,242,76,5,D,Arial 9,Imponibile {FATTURECLI.Imponibile:#.##0,00}
Iva=Campo,122,248,76,5,D,Arial 9,IVA {FATTURECLI.Iva:#.##0,00}
Totale=Campo,122,254,76,5,D,Arial 11 G,Totale documento EUR {FATTURECLI.Totale:#.##0,00}
Pagamento=Campo,10,242,100,5,S,Arial 9,Pagamento: {PAGAMENTI.Descrizione}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
