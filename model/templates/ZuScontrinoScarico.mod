; Tessaro 048.5 - modulo di stampa ZuScontrinoScarico.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuScontrinoScarico
Descrizione=Scontrino di scarico (non fiscale)
Versione=048.5
Archivio=Ledrana
Origine=FATTURECLI
Righe=FATTURECLI_R
Legame=FATTURECLI.ID=FATTURECLI_R.IdFattura
Carta=80x200
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
Titolo=Testo,10,34,90,8,S,Arial 14 G,SCONTRINO DI SCARICO
Numero=Campo,10,44,45,5,S,Arial 10,N. {FATTURECLI.Numero}
Data=Campo,55,44,45,5,S,Arial 10,del {FATTURECLI.Dt:gg/mm/aaaa}
RiqRighe=Riquadro,10,78,190,160,S,,
Intest=Linea,10,84,190,0,S,,
Cap1=Testo,11,79,38,5,S,Arial 8 G,Descrizione
Cap2=Testo,51,79,10,5,D,Arial 8 G,Q.ta'
Cap3=Testo,63,79,16,5,D,Arial 8 G,Importo

[Corpo]
Inizio=86
AltezzaRiga=5.5
RighePerPagina=30
Col1=Campo,11,0,38,5,S,Arial 9,{FATTURECLI_R.Descrizione}
Col2=Campo,51,0,10,5,D,Arial 9,{FATTURECLI_R.Quantita:#.##0}
Col3=Campo,63,0,16,5,D,Arial 9,{FATTURECLI_R.Importo:#.##0,00}

[Piede]
Totale=Campo,10,150,70,6,D,Arial 10 G,TOTALE {FATTURECLI.Totale:#.##0,00}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
