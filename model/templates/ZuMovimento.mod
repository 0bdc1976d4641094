; Tessaro 048.5 - modulo di stampa ZuMovimento.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuMovimento
Descrizione=Stampa di una registrazione contabile
Versione=048.5
Archivio=Ledrana
Origine=MOVIMENTI
Righe=
Legame=Articoli.Anno=MOVIMENTI.Anno AND Articoli.NumDoc=MOVIMENTI.NumDoc
Filtro=Articoli.Anno={Anno} AND Articoli.NumDoc={NumDoc}
Ordine=MOVIMENTI.posi
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,REGISTRAZIONE CONTABILE
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,11,5,D,Arial 8 G,Riga
Cap2=Testo,22,29,23,5,S,Arial 8 G,Conto
Cap3=Testo,46,29,9,5,C,Arial 8 G,Tipo
Cap4=Testo,56,29,79,5,S,Arial 8 G,Descrizione
Cap5=Testo,136,29,31,5,D,Arial 8 G,Dare
Cap6=Testo,168,29,31,5,D,Arial 8 G,Avere

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,11,4.5,D,Arial 8,{MOVIMENTI.posi}
Col2=Campo,22,0,23,4.5,S,Arial 8,{MOVIMENTI.conto}
Col3=Campo,46,0,9,4.5,C,Arial 8,{MOVIMENTI.CFP}
Col4=Campo,56,0,79,4.5,S,Arial 8,{MOVIMENTI.Descrizione}
Col5=Campo,136,0,31,4.5,D,Arial 8,{MOVIMENTI.ImpoDare:#.##0,00}
Col6=Campo,168,0,31,4.5,D,Arial 8,{MOVIMENTI.ImpoAvere:#.##0,00}

[Piede]
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
