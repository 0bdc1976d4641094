; Tessaro 048.5 - modulo di stampa ZuEC.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuEC
Descrizione=Estratto conto di un cliente o fornitore
Versione=048.5
Archivio=Ledrana
Origine=MOVIMENTI
Righe=
Legame=Articoli.Anno=MOVIMENTI.Anno AND Articoli.NumDoc=MOVIMENTI.NumDoc
Filtro=MOVIMENTI.CFP={CFP} AND MOVIMENTI.conto={Conto}
Ordine=Articoli.Dt, Articoli.NumDoc
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,ESTRATTO CONTO
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,21,5,C,Arial 8 G,Data
Cap2=Testo,32,29,25,5,S,Arial 8 G,Documento
Cap3=Testo,58,29,77,5,S,Arial 8 G,Descrizione
Cap4=Testo,136,29,31,5,D,Arial 8 G,Dare
Cap5=Testo,168,29,31,5,D,Arial 8 G,Avere

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,21,4.5,C,Arial 8,{Articoli.Dt:gg/mm/aaaa}
Col2=Campo,32,0,25,4.5,S,Arial 8,{Articoli.NumFattura}
Col3=Campo,58,0,77,4.5,S,Arial 8,{Articoli.Descrizione}
Col4=Campo,136,0,31,4.5,D,Arial 8,{MOVIMENTI.ImpoDare:#.##0,00}
Col5=Campo,168,0,31,4.5,D,Arial 8,{MOVIMENTI.ImpoAvere:#.##0,00}

[Piede]
Saldo=Campo,110,270,90,5,D,Arial 9 G,Saldo {Somma(MOVIMENTI.ImpoDare)-Somma(MOVIMENTI.ImpoAvere):#.##0,00}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
