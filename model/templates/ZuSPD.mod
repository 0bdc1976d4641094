; Tessaro 048.5 - modulo di stampa ZuSPD.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuSPD
Descrizione=Scadenzario dei pagamenti a fornitori
Versione=048.5
Archivio=Scadenzario
Origine=SCADENZE
Righe=
Legame=
Filtro=SCADENZE.CFP='F' AND SCADENZE.Stato<>1
Ordine=SCADENZE.DataScadenza
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,SCADENZARIO PAGAMENTI
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,23,5,C,Arial 8 G,Scadenza
Cap2=Testo,34,29,21,5,S,Arial 8 G,Fornitore
Cap3=Testo,56,29,63,5,S,Arial 8 G,Ragione sociale
Cap4=Testo,120,29,21,5,S,Arial 8 G,Fattura
Cap5=Testo,142,29,9,5,D,Arial 8 G,Rata
Cap6=Testo,152,29,23,5,D,Arial 8 G,Importo
Cap7=Testo,176,29,23,5,D,Arial 8 G,Residuo

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,23,4.5,C,Arial 8,{SCADENZE.DataScadenza:gg/mm/aaaa}
Col2=Campo,34,0,21,4.5,S,Arial 8,{SCADENZE.CLIFOR}
Col3=Campo,56,0,63,4.5,S,Arial 8,{FORNITORI.RagSoc}
Col4=Campo,120,0,21,4.5,S,Arial 8,{SCADENZE.NumFattura}
Col5=Campo,142,0,9,4.5,D,Arial 8,{SCADENZE.NumRata}
Col6=Campo,152,0,23,4.5,D,Arial 8,{SCADENZE.Importo:#.##0,00}
Col7=Campo,176,0,23,4.5,D,Arial 8,{SCADENZE.Importo-SCADENZE.Pagato:#.##0,00}

[Piede]
Totale=Campo,110,270,90,5,D,Arial 9 G,Totale da pagare {Somma(SCADENZE.Importo-SCADENZE.Pagato):#.##0,00}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
