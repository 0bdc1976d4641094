-- SCAD32.MDB, version 048.5: the product's reference rows.
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('RD', 'Rimessa diretta', False, False);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('RB', 'Ricevuta bancaria (Ri.Ba.)', True, True);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('BB', 'Bonifico bancario', False, False);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('CA', 'Contrassegno', False, False);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('RI', 'Addebito diretto SEPA (SDD)', False, True);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('MA', 'Bollettino MAV', False, True);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('TR', 'Tratta', False, True);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('AS', 'Assegno', False, False);
INSERT INTO TIPIEFFETTO (Cod, Descrizione, Riba, Effetto) VALUES ('CO', 'Contanti', False, False);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('ISP', 'Intesa Sanpaolo S.p.A.', '03069', Null, Null, Null, 'BCITITMM', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('UCI', 'UniCredit S.p.A.', '02008', Null, Null, Null, 'UNCRITMM', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BPM', 'Banco BPM S.p.A.', '05034', Null, Null, Null, 'BAPPIT21', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('MPS', 'Banca Monte dei Paschi di Siena S.p.A.', '01030', Null, Null, Null, 'PASCITMM', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BNL', 'Banca Nazionale del Lavoro S.p.A.', '01005', Null, Null, Null, 'BNLIITRR', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BPS', 'Banca Popolare di Sondrio S.p.A.', '05696', Null, Null, Null, 'POSOIT22', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('CAI', 'Crédit Agricole Italia S.p.A.', '06230', Null, Null, Null, 'CRPPIT2P', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BPER', 'BPER Banca S.p.A.', '05387', Null, Null, Null, 'BPMOIT22', Null, 0.0, Null, True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('POSTE', 'Poste Italiane S.p.A. - BancoPosta', '07601', Null, Null, Null, 'BPPIITRR', Null, 0.0, Null, True)
