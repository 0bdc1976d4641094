; Tessaro 048.5 - modulo di stampa ZuChiuIva.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuChiuIva
Descrizione=Liquidazione periodica dell'IVA
Versione=048.5
Archivio=Ledrana
Origine=QryLiquidazioneIva
Righe=
Legame=
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,LIQUIDAZIONE IVA
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,19,5,C,Arial 8 G,Anno
Cap2=Testo,30,29,19,5,C,Arial 8 G,Mese
Cap3=Testo,50,29,44,5,D,Arial 8 G,IVA a debito
Cap4=Testo,95,29,44,5,D,Arial 8 G,IVA a credito
Cap5=Testo,140,29,44,5,D,Arial 8 G,Da versare

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,19,4.5,C,Arial 8,{Anno}
Col2=Campo,30,0,19,4.5,C,Arial 8,{Mese}
Col3=Campo,50,0,44,4.5,D,Arial 8,{IvaDebito:#.##0,00}
Col4=Campo,95,0,44,4.5,D,Arial 8,{IvaCredito:#.##0,00}
Col5=Campo,140,0,44,4.5,D,Arial 8,{IvaDebito-IvaCredito:#.##0,00}

[Piede]
Versamento=Testo,10,260,190,10,S,Arial 8,Versamento con modello F24 entro il giorno 16 del mese successivo (codice tributo 60xx)
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
