; Tessaro 048.5 - modulo di stampa ZuMPC.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuMPC
Descrizione=Mastrini dei conti del piano dei conti
Versione=048.5
Archivio=Ledrana
Origine=QryMastrino
Righe=
Legame=
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,MASTRINO
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,21,5,C,Arial 8 G,Data
Cap2=Testo,32,29,15,5,D,Arial 8 G,N.reg.
Cap3=Testo,48,29,15,5,C,Arial 8 G,Causale
Cap4=Testo,64,29,75,5,S,Arial 8 G,Descrizione
Cap5=Testo,140,29,29,5,D,Arial 8 G,Dare
Cap6=Testo,170,29,29,5,D,Arial 8 G,Avere

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,21,4.5,C,Arial 8,{Dt:gg/mm/aaaa}
Col2=Campo,32,0,15,4.5,D,Arial 8,{NumDoc}
Col3=Campo,48,0,15,4.5,C,Arial 8,{Causale}
Col4=Campo,64,0,75,4.5,S,Arial 8,{Descrizione}
Col5=Campo,140,0,29,4.5,D,Arial 8,{ImpoDare:#.##0,00}
Col6=Campo,170,0,29,4.5,D,Arial 8,{ImpoAvere:#.##0,00}

[Piede]
Saldo=Campo,110,270,90,5,D,Arial 9 G,Saldo {Somma(ImpoDare)-Somma(ImpoAvere):#.##0,00}
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
