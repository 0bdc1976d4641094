; Tessaro 048.5 - modulo di stampa ZuXProd.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuXProd
Descrizione=Scheda prodotto con movimenti di vendita
Versione=048.5
Archivio=Ledrana
Origine=FATTURECLI_R
Righe=
Legame=Prodotti.Cod=FATTURECLI_R.CodProdotto
Filtro=Prodotti.Cod={Prodotto}
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,SCHEDA PRODOTTO
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,21,5,D,Arial 8 G,Documento
Cap2=Testo,32,29,21,5,C,Arial 8 G,Data
Cap3=Testo,54,29,21,5,S,Arial 8 G,Cliente
Cap4=Testo,76,29,27,5,D,Arial 8 G,Quantita'
Cap5=Testo,104,29,27,5,D,Arial 8 G,Prezzo
Cap6=Testo,132,29,29,5,D,Arial 8 G,Importo

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,21,4.5,D,Arial 8,{FATTURECLI.Numero}
Col2=Campo,32,0,21,4.5,C,Arial 8,{FATTURECLI.Dt:gg/mm/aaaa}
Col3=Campo,54,0,21,4.5,S,Arial 8,{FATTURECLI.CLIFOR}
Col4=Campo,76,0,27,4.5,D,Arial 8,{FATTURECLI_R.Quantita:#.##0,##}
Col5=Campo,104,0,27,4.5,D,Arial 8,{FATTURECLI_R.Prezzo:#.##0,00}
Col6=Campo,132,0,29,4.5,D,Arial 8,{FATTURECLI_R.Importo:#.##0,00}

[Piede]
Immagine=Immagine,150,40,50,40,C,,{Config.DirectoryImm}{Prodotti.Immagine}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
