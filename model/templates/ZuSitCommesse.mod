; Tessaro 048.5 - modulo di stampa ZuSitCommesse.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuSitCommesse
Descrizione=Situazione delle commesse
Versione=048.5
Archivio=Ledrana
Origine=QryCommesse
Righe=
Legame=
Ordine=Cod
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,SITUAZIONE COMMESSE
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,24,5,S,Arial 8 G,Commessa
Cap2=Testo,35,29,64,5,S,Arial 8 G,Descrizione
Cap3=Testo,100,29,44,5,S,Arial 8 G,Cliente
Cap4=Testo,145,29,21,5,D,Arial 8 G,Preventivo
Cap5=Testo,167,29,21,5,D,Arial 8 G,Fatturato
Cap6=Testo,189,29,10,5,C,Arial 8 G,Stato

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,24,4.5,S,Arial 8,{Cod}
Col2=Campo,35,0,64,4.5,S,Arial 8,{Descrizione}
Col3=Campo,100,0,44,4.5,S,Arial 8,{RagSoc}
Col4=Campo,145,0,21,4.5,D,Arial 8,{Preventivo:#.##0,00}
Col5=Campo,167,0,21,4.5,D,Arial 8,{Fatturato:#.##0,00}
Col6=Campo,189,0,10,4.5,C,Arial 8,{Stato}

[Piede]
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
