; Tessaro 048.5 - modulo di stampa ZuSPC.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuSPC
Descrizione=Stampa del piano dei conti
Versione=048.5
Archivio=Ledrana
Origine=PIANOCONTI
Righe=
Legame=
Ordine=PIANOCONTI.Conto
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,PIANO DEI CONTI
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,24,5,S,Arial 8 G,Conto
Cap2=Testo,35,29,109,5,S,Arial 8 G,Descrizione
Cap3=Testo,145,29,14,5,C,Arial 8 G,Tipo
Cap4=Testo,160,29,24,5,S,Arial 8 G,Bilancio
Cap5=Testo,185,29,14,5,C,Arial 8 G,Bloc.

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,24,4.5,S,Arial 8,{PIANOCONTI.Conto}
Col2=Campo,35,0,109,4.5,S,Arial 8,{PIANOCONTI.Descrizione}
Col3=Campo,145,0,14,4.5,C,Arial 8,{PIANOCONTI.Tipo}
Col4=Campo,160,0,24,4.5,S,Arial 8,{PIANOCONTI.CodiceBilancio}
Col5=Campo,185,0,14,4.5,C,Arial 8,{PIANOCONTI.Bloccato:Si/No}

[Piede]
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
