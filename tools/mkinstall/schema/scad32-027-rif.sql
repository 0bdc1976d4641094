-- SCAD32.MDB version 027: the reference rows that version shipped, with its sample bank.
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba) VALUES ('RD', 'Rimessa diretta', False);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba) VALUES ('RB', 'Ricevuta bancaria', True);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba) VALUES ('BB', 'Bonifico', False);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba) VALUES ('CA', 'Contrassegno', False);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba) VALUES ('TR', 'Tratta', False);
INSERT INTO BANCHE (cod, Descrizione, Agenzia, ABI, CAB, contocorrente, Conto, Fido, Attiva) VALUES ('BANCA', 'Banca di esempio', 'Agenzia 1', '01234', '01234', '123456789/99', '100.040', 0.0, True)
