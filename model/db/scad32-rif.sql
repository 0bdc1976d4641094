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
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('ISP', 'Intesa Sanpaolo S.p.A.', '03069', '', '', '', 'BCITITMM', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('UCI', 'UniCredit S.p.A.', '02008', '', '', '', 'UNCRITMM', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BPM', 'Banco BPM S.p.A.', '05034', '', '', '', 'BAPPIT21', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('MPS', 'Banca Monte dei Paschi di Siena S.p.A.', '01030', '', '', '', 'PASCITMM', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BNL', 'Banca Nazionale del Lavoro S.p.A.', '01005', '', '', '', 'BNLIITRR', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BPS', 'Banca Popolare di Sondrio S.p.A.', '05696', '', '', '', 'POSOIT22', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('CAI', 'Crédit Agricole Italia S.p.A.', '06230', '', '', '', 'CRPPIT2P', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('BPER', 'BPER Banca S.p.A.', '05387', '', '', '', 'BPMOIT22', '', 0.0, '', True);
INSERT INTO BANCHE (cod, Descrizione, ABI, CAB, contocorrente, IBAN, BIC, Conto, Fido, SiaAzienda, Attiva) VALUES ('POSTE', 'Poste Italiane S.p.A. - BancoPosta', '07601', '', '', '', 'BPPIITRR', '', 0.0, '', True)
