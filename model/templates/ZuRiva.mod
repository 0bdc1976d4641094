; Tessaro 048.5 - modulo di stampa ZuRiva.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuRiva
Descrizione=Registro IVA (vendite, acquisti, corrispettivi)
Versione=048.5
Archivio=Ledrana
Origine=QryRegistroIva
Righe=
Legame=
Filtro=Anno={Anno} AND Riva={Registro}
Ordine=Protocollo
Carta=A4
Orientamento=Orizzontale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,277,7,C,Arial 13 G,REGISTRO IVA
DataStampa=Campo,247,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,277,0,S,,
Cap1=Testo,10,29,13,5,D,Arial 8 G,Prot.
Cap2=Testo,24,29,21,5,C,Arial 8 G,Data reg.
Cap3=Testo,46,29,23,5,S,Arial 8 G,N. fattura
Cap4=Testo,70,29,21,5,C,Arial 8 G,Data fatt.
Cap5=Testo,92,29,109,5,S,Arial 8 G,Descrizione
Cap6=Testo,202,29,31,5,D,Arial 8 G,Totale
Cap7=Testo,234,29,49,5,S,Arial 8 G,Registro

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=38
Col1=Campo,10,0,13,4.5,D,Arial 8,{Protocollo}
Col2=Campo,24,0,21,4.5,C,Arial 8,{Dt:gg/mm/aaaa}
Col3=Campo,46,0,23,4.5,S,Arial 8,{NumFattura}
Col4=Campo,70,0,21,4.5,C,Arial 8,{DataFattura:gg/mm/aaaa}
Col5=Campo,92,0,109,4.5,S,Arial 8,{Descrizione}
Col6=Campo,202,0,31,4.5,D,Arial 8,{Totale:#.##0,00}
Col7=Campo,234,0,49,4.5,S,Arial 8,{Registro}

[Piede]
Pagina=Campo,257,200,30,4,D,Arial 7,Pagina {Pagina}
