; Tessaro 048.5 - modulo di stampa ZuGio.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuGio
Descrizione=Libro giornale
Versione=048.5
Archivio=Ledrana
Origine=MOVIMENTI
Righe=
Legame=Articoli.Anno=MOVIMENTI.Anno AND Articoli.NumDoc=MOVIMENTI.NumDoc
Ordine=Articoli.Anno, Articoli.NumDoc, MOVIMENTI.posi
Carta=A4
Orientamento=Orizzontale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,277,7,C,Arial 13 G,LIBRO GIORNALE
DataStampa=Campo,247,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,277,0,S,,
Cap1=Testo,10,29,15,5,D,Arial 8 G,N.reg.
Cap2=Testo,26,29,21,5,C,Arial 8 G,Data
Cap3=Testo,48,29,15,5,C,Arial 8 G,Causale
Cap4=Testo,64,29,23,5,S,Arial 8 G,Conto
Cap5=Testo,88,29,109,5,S,Arial 8 G,Descrizione
Cap6=Testo,198,29,35,5,D,Arial 8 G,Dare
Cap7=Testo,234,29,35,5,D,Arial 8 G,Avere
Cap8=Testo,270,29,15,5,D,Arial 8 G,Pag.

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=38
Col1=Campo,10,0,15,4.5,D,Arial 8,{Articoli.NumDoc}
Col2=Campo,26,0,21,4.5,C,Arial 8,{Articoli.Dt:gg/mm/aaaa}
Col3=Campo,48,0,15,4.5,C,Arial 8,{Articoli.Causale}
Col4=Campo,64,0,23,4.5,S,Arial 8,{MOVIMENTI.conto}
Col5=Campo,88,0,109,4.5,S,Arial 8,{MOVIMENTI.Descrizione}
Col6=Campo,198,0,35,4.5,D,Arial 8,{MOVIMENTI.ImpoDare:#.##0,00}
Col7=Campo,234,0,35,4.5,D,Arial 8,{MOVIMENTI.ImpoAvere:#.##0,00}
Col8=Campo,270,0,15,4.5,D,Arial 8,{Pagina}

[Piede]
Riporto=Campo,150,196,127,4,D,Arial 8 G,A riportare {Somma(MOVIMENTI.ImpoDare):#.##0,00} {Somma(MOVIMENTI.ImpoAvere):#.##0,00}
Pagina=Campo,257,200,30,4,D,Arial 7,Pagina {Pagina}
