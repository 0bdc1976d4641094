; Tessaro 048.5 - modulo di stampa ZuConfr.mod
; Formato ZuMod 2. Sezioni [Modulo], [Testata], [Corpo], [Piede]; ogni elemento e' una riga
;   Nome=Tipo,X,Y,Larghezza,Altezza,Allineamento,Carattere,Contenuto
; Misure in millimetri dall'angolo in alto a sinistra del foglio (nel [Corpo] Y e' relativa alla riga).
; Tipo: Testo, Campo, Immagine, Linea, Riquadro. Allineamento: S sinistra, C centro, D destra.
; Carattere: "Famiglia punti" piu' G (grassetto) o C (corsivo). Contenuto: testo fisso, {Tabella.Campo},
; {Config.Chiave} del file INI della ditta, {Pagina}, {Data}. Formati: {Campo:#.##0,00}, {Campo:gg/mm/aaaa}.
[Modulo]
Nome=ZuConfr
Descrizione=Bilancio di confronto tra due esercizi
Versione=048.5
Archivio=Ledrana
Origine=QrySaldiConti
Righe=
Legame=
Filtro=Anno IN ({Anno},{Anno}-1)
Ordine=conto
Carta=A4
Orientamento=Verticale
Margini=10,8,10,10
Copie=1

[Testata]
Ditta=Testo,10,8,120,5,S,Arial 9 G,{Config.Ragsoc1}
PIvaDitta=Testo,10,13,120,4,S,Arial 7,P.IVA {Config.Piva}
Titolo=Testo,10,20,190,7,C,Arial 13 G,BILANCIO DI CONFRONTO
DataStampa=Campo,160,8,40,4,D,Arial 7,Stampato il {Data}
Intest=Linea,10,34,190,0,S,,
Cap1=Testo,10,29,24,5,S,Arial 8 G,Conto
Cap2=Testo,35,29,84,5,S,Arial 8 G,Descrizione
Cap3=Testo,120,29,27,5,D,Arial 8 G,Esercizio
Cap4=Testo,148,29,27,5,D,Arial 8 G,Precedente
Cap5=Testo,176,29,23,5,D,Arial 8 G,Differenza

[Corpo]
Inizio=36
AltezzaRiga=4.5
RighePerPagina=55
Col1=Campo,10,0,24,4.5,S,Arial 8,{conto}
Col2=Campo,35,0,84,4.5,S,Arial 8,{Descrizione}
Col3=Campo,120,0,27,4.5,D,Arial 8,{Saldo:#.##0,00}
Col4=Campo,148,0,27,4.5,D,Arial 8,{SaldoPrec:#.##0,00}
Col5=Campo,176,0,23,4.5,D,Arial 8,{Saldo-SaldoPrec:#.##0,00}

[Piede]
Pagina=Campo,170,285,30,4,D,Arial 7,Pagina {Pagina}
