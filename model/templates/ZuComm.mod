; Tessaro 048.5 - modulo di stampa ZuComm.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuComm
Descrizione=Scheda di una commessa
Versione=048.5
Archivio=Ledrana
Origine=FATTURECLI_R
Righe=
Legame=COMMESSE.Cod=FATTURECLI_R.Commessa
Filtro=COMMESSE.Cod={Commessa}
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,COMMESSA
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,29,5,S,Arial 8 G,Codice
Cap2=Testo,40,29,99,5,S,Arial 8 G,Descrizione
Cap3=Testo,140,29,24,5,D,Arial 8 G,Quantita'
Cap4=Testo,165,29,34,5,D,Arial 8 G,Importo

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,29,4.5,S,Arial 8,{FATTURECLI_R.CodProdotto}
Col2=Campo,40,0,99,4.5,S,Arial 8,{FATTURECLI_R.Descrizione}
Col3=Campo,140,0,24,4.5,D,Arial 8,{FATTURECLI_R.Quantita:#.##0,##}
Col4=Campo,165,0,34,4.5,D,Arial 8,{FATTURECLI_R.Importo:#.##0,00}

[Piede]
Preventivo=Campo,110,264,90,5,D,Arial 9,Preventivo {COMMESSE.Preventivo:#.##0,00}
Totale=Campo,110,270,90,5,D,Arial 9 G,Fatturato {Somma(FATTURECLI_R.Importo):#.##0,00}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
