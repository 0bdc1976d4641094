; Tessaro 048.5 - modulo di stampa ZuSitOrdCliFor.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuSitOrdCliFor
Descrizione=Situazione degli ordini clienti e fornitori
Versione=048.5
Archivio=Ledrana
Origine=QryOrdiniFornitoriAperti
Righe=
Legame=
Ordine=DataConsegna
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,SITUAZIONE ORDINI
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,13,5,C,Arial 8 G,Anno
Cap2=Testo,24,29,17,5,D,Arial 8 G,Numero
Cap3=Testo,42,29,21,5,C,Arial 8 G,Data
Cap4=Testo,64,29,59,5,S,Arial 8 G,Ragione sociale
Cap5=Testo,124,29,29,5,S,Arial 8 G,Prodotto
Cap6=Testo,154,29,21,5,D,Arial 8 G,Residuo
Cap7=Testo,176,29,23,5,C,Arial 8 G,Consegna

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,13,4.5,C,Arial 8,{Anno}
Col2=Campo,24,0,17,4.5,D,Arial 8,{Numero}
Col3=Campo,42,0,21,4.5,C,Arial 8,{Dt:gg/mm/aaaa}
Col4=Campo,64,0,59,4.5,S,Arial 8,{RagSoc}
Col5=Campo,124,0,29,4.5,S,Arial 8,{CodProdotto}
Col6=Campo,154,0,21,4.5,D,Arial 8,{Residuo:#.##0,##}
Col7=Campo,176,0,23,4.5,C,Arial 8,{DataConsegna:gg/mm/aaaa}

[Piede]
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
