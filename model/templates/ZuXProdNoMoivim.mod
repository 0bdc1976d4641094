; Tessaro 048.5 - modulo di stampa ZuXProdNoMoivim.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuXProdNoMoivim
Descrizione=Elenco dei prodotti senza movimenti
Versione=048.5
Archivio=Ledrana
Origine=Prodotti
Righe=
Legame=
Filtro=NOT EXISTS(FATTURECLI_R.CodProdotto=Prodotti.Cod)
Ordine=Prodotti.Cod
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,PRODOTTI SENZA MOVIMENTI
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,34,5,S,Arial 8 G,Codice
Cap2=Testo,45,29,94,5,S,Arial 8 G,Descrizione
Cap3=Testo,140,29,29,5,D,Arial 8 G,Giacenza
Cap4=Testo,170,29,29,5,C,Arial 8 G,Ult. carico

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,34,4.5,S,Arial 8,{Prodotti.Cod}
Col2=Campo,45,0,94,4.5,S,Arial 8,{Prodotti.Descrizione}
Col3=Campo,140,0,29,4.5,D,Arial 8,{Prodotti.Giacenza:#.##0,##}
Col4=Campo,170,0,29,4.5,C,Arial 8,{Prodotti.DataUltimoCarico:gg/mm/aaaa}

[Piede]
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
