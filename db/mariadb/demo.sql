-- Demo data: a small, realistic data set for trying the component; the same
-- rows as the embedded engine's db/demo.sql.
SET SESSION sql_mode = 'STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION,NO_BACKSLASH_ESCAPES';

-- ---------------------------------------------------------------------------
-- Users, branches, operation points and ports.
INSERT INTO PONTO_OPERACAO (PONTO_OPERACAO_ID, NOME) VALUES
  (10, 'Ponto Santos'),
  (20, 'Ponto Paranaguá');

INSERT INTO FILIAL (FILIAL_ID, NOME, PONTO_OPERACAO_ID) VALUES
  (1, 'Matriz São Paulo', 10),
  (2, 'Filial Curitiba', 20),
  (3, 'Filial Recife', NULL);

INSERT INTO USUARIO_INTERNET (USUARIO_INTERNET_ID, LOGIN, NOME, FILIAL_ID) VALUES
  (1, 'admin', 'Administrador do Sistema', 1),
  (25, 'mcosta', 'Mariana Costa', 1),
  (26, 'rlima', 'Rafael Lima', 2),
  (27, 'asouza', 'Ana Souza', 3);

INSERT INTO PORTO (PORTO_ID, NOME_PORTO, SIGLA) VALUES
  (101, 'Santos', 'BRSSZ'),
  (102, 'Rio de Janeiro', 'BRRIO'),
  (103, 'Itajaí', 'BRITJ'),
  (104, 'Paranaguá', 'BRPNG'),
  (105, 'São Francisco do Sul', 'BRSFS');

INSERT INTO FILIAL_PORTO (FILIAL_ID, PORTO_ID) VALUES
  (1, 101), (1, 102), (1, 103),
  (2, 104), (2, 105);

-- ---------------------------------------------------------------------------
-- Service orders for closing.
-- Carriers, terminals (quay terminals, empty-container yards, an inland
-- terminal) and a distribution centre.
INSERT INTO FORNECEDOR (FORNECEDOR_ID, NOME, CNPJ, TIPO_FORNECEDOR, CIDADE, UF, FLAG_CONTR_CANHOTO) VALUES
  (201, 'Transportadora Rodomar Ltda', '12.345.678/0001-90', 'T', 'Santos', 'SP', 'S'),
  (202, 'Expresso Serra Verde Transportes Ltda', '23.456.789/0001-01', 'T', 'Cubatão', 'SP', 'N'),
  (203, 'TransPinhais Logística S.A.', '34.567.890/0001-12', 'T', 'São José dos Pinhais', 'PR', 'S'),
  (301, 'Terminal de Contêineres Alemoa', '45.678.901/0001-23', 'R', 'Santos', 'SP', 'N'),
  (302, 'CY Vazios Saboó', '56.789.012/0001-34', 'R', 'Santos', 'SP', 'N'),
  (303, 'Porto Seco Curitiba', '67.890.123/0001-45', 'R', 'Curitiba', 'PR', 'N'),
  (304, 'Terminal de Contêineres Paranaguá', '78.901.234/0001-56', 'R', 'Paranaguá', 'PR', 'N'),
  (305, 'CY Vazios Rocio', '89.012.345/0001-67', 'R', 'Paranaguá', 'PR', 'N'),
  (306, 'CD Logístico Guarulhos', '90.123.456/0001-78', 'C', 'Guarulhos', 'SP', 'N');

INSERT INTO TERMINAL (FORNECEDOR_ID, SIGLA, PORTO_ID, TIPO_TERMINAL, INDIC_TERMINAL_INTERIOR) VALUES
  (301, 'TCA', 101, 'PORTO', 'N'),
  (302, 'CYS', 101, 'CY', 'N'),
  (303, 'PSC', 104, 'ICT', 'S'),
  (304, 'TCP', 104, 'PORTO', 'N'),
  (305, 'CYR', 104, 'CY', 'N'),
  (306, 'CDG', 101, 'CD', 'S');

-- The containers of the register. 9011 and 9012 belong to no demo order yet;
-- 9013 is on the container request of the open order 509, so a closing of
-- another order that reports it is refused as a duplicate.
INSERT INTO CONTAINER (CONTAINER_ID, NUM_CONTAINER, TAB_TIPO_CONTAINER_ID, TARA, DATA_CADASTRO, USUARIO_CADASTRO_ID) VALUES
  (9001, 'TGHU8731457', 1, 2200.5, '2024/03/11 14:02:00', 25),
  (9002, 'MSCU5529040', 3, 3900, '2023/11/28 09:45:00', 25),
  (9003, 'HLXU2309177', 2, NULL, '2025/02/06 16:20:00', 26),
  (9004, 'CMAU6014829', 2, 3740, '2024/07/19 10:05:00', 25),
  (9005, 'SUDU7780232', 3, 3870.4, '2024/01/30 08:30:00', 25),
  (9006, 'TCLU9123452', 1, 2230.25, '2024/05/02 11:12:00', 25),
  (9007, 'MRKU4067198', 3, 3910, '2023/09/14 15:40:00', 26),
  (9008, 'GESU3188529', 5, 4780, '2024/10/21 13:55:00', 26),
  (9009, 'TRIU5702614', 1, 2180.75, '2025/01/08 09:00:00', 26),
  (9010, 'SEGU4473905', 4, 3050, '2024/12/03 17:25:00', 26),
  (9011, 'BMOU2981047', 1, 2210, '2024/06/17 10:40:00', 25),
  (9012, 'FSCU6612738', 3, 3890, '2024/08/22 14:15:00', 25),
  (9013, 'CAIU4182076', 1, 2190, '2025/03/14 10:20:00', 25);

-- The orders. Every service-type record is open: nothing has been closed yet.
-- Each can be closed on its service date; the events its closing records are
-- listed with the tracking parameters below.
--   501  import delivery at Santos, three containers under CTAC (records 1001 and 1002)
--   502  export pick-up at Santos, one container without tare or weight (1003)
--   503  transhipment delivered at the quay, decimal tares (1004)
--   504  port to inland terminal removal at Paranaguá (1005)
--   505  fractional cargo through the distribution centre 306, no container line:
--        one pickup and three deliveries, one per invoice (1006)
--   506  cabotage pick-up with cargo weights and invoice values (1007)
--   507  import delivery whose containers are not known yet: two schedules and
--        no container line (1008)
--   508  a cancelled export pick-up (1009)
--   509  export pick-up that already holds the container CAIU4182076 (1010)
INSERT INTO ORDEM_SERVICO (ORDEM_SERVICO_ID, NUM_OS, TAB_TIPO_ORDEM_SERVICO_ID, FORNECEDOR_ID, PORTO_ID,
                           TERMINAL_VAZIO_ID, TERMINAL_CHEIO_ID, FLAG_ENTREGA_DIRETA,
                           TAB_STATUS_PAGTO_OS_ID, FLAG_CTAC, DATA_EMISSAO, DATA_SERVICO, DIAS_TOLERANCIA,
                           EMBARCADOR, OBSERVACAO, USUARIO_EMISSAO_ID) VALUES
  (501, '0501/2025', 2, 201, 101, 302, 301, NULL, 1, 'S', '2025/10/13 09:12:00', '2025/10/15 08:00:00', 2,
   'Importadora Paulista de Eletrônicos Ltda', 'Entregar no armazém 3, doca 5. Agendar com 24h.', 25),
  (502, '0502/2025', 1, 202, 101, 302, 301, NULL, 1, 'N', '2025/10/14 10:30:00', '2025/10/16 06:00:00', 2,
   'Cerâmica Vale do Ribeira S.A.', NULL, 25),
  (503, '0503/2025', 7, 201, 101, NULL, 301, NULL, 1, 'S', '2025/10/14 15:05:00', '2025/10/17 13:00:00', 1,
   'Agência Marítima Atlântico Sul', 'Transbordo do navio Atlântico Norte para o Estrela do Sul.', 1),
  (504, '0504/2025', 8, 203, 104, 304, 303, NULL, 1, 'S', '2025/10/15 08:20:00', '2025/10/17 07:30:00', 2,
   'Comercial Araucária Importação Ltda', 'Trânsito aduaneiro (DTA) até o Porto Seco Curitiba.', 26),
  (505, '0505/2025', 9, 202, 101, NULL, NULL, 'N', 2, 'N', '2025/10/15 11:45:00', '2025/10/18 09:00:00', 3,
   'Distribuidora Bandeirantes de Autopeças', 'Carga fracionada: 14 volumes, 3 notas fiscais.', 25),
  (506, '0506/2025', 16, 203, 104, 305, 304, NULL, 1, 'S', '2025/10/16 09:00:00', '2025/10/20 08:00:00', 2,
   'Frigorífico Campos Gerais Ltda', 'Cabotagem Paranaguá - Manaus. Reefer ligado a -18 °C.', 26),
  (507, '0507/2025', 2, 202, 101, 302, 301, NULL, 1, NULL, '2025/10/16 14:10:00', '2025/10/21 08:00:00', 2,
   'Têxtil Santa Helena Ltda', NULL, 25),
  (508, '0508/2025', 1, 201, 101, 302, 301, NULL, 1, 'N', '2025/10/10 16:00:00', '2025/10/13 08:00:00', 2,
   'Cerâmica Vale do Ribeira S.A.', 'Cancelada a pedido do embarcador.', 25),
  (509, '0509/2025', 1, 201, 101, 302, 301, NULL, 1, 'N', '2025/10/20 10:00:00', '2025/10/23 08:00:00', 2,
   'Cerâmica Vale do Ribeira S.A.', 'Container retirado do CY aguardando a coleta.', 25);

-- 1001 is the main demo record. Its full container already left the quay
-- terminal (the terminal reported the gate-out); the carrier has not closed yet.
INSERT INTO ORDEM_SERVICO_TIPO (ORDEM_SERVICO_TIPO_ID, ORDEM_SERVICO_ID, TAB_TIPO_SERVICO_ID, TAB_STATUS_OS_TIPO_ID,
                                VALOR_SERVICO, DATA_RETIRADA_TERMINAL, TAB_TIPO_DOCTO_ID) VALUES
  (1001, 501, 1, 1, 3850.00, '2025/10/15 07:40:00', 1),
  (1002, 501, 2, 1, 620.00, NULL, NULL),
  (1003, 502, 1, 1, 1980.00, NULL, NULL),
  (1004, 503, 1, 1, 1450.00, NULL, 1),
  (1005, 504, 1, 1, 2760.00, NULL, 4),
  (1006, 505, 3, 1, 890.50, NULL, 3),
  (1007, 506, 1, 1, 4120.00, NULL, 2),
  (1008, 507, 1, 1, 3600.00, NULL, NULL),
  (1009, 508, 1, 3, 1980.00, NULL, NULL),
  (1010, 509, 1, 1, 1980.00, NULL, NULL);

INSERT INTO AGEND_CONTAINER (AGEND_CONTAINER_ID, ORDEM_SERVICO_ID, TAB_TIPO_CONTAINER_ID, DATA_AGENDAMENTO,
                             LOCAL_AGENDAMENTO, OBSERV) VALUES
  (6001, 501, 1, '2025/10/15 08:00:00', 'Terminal de Contêineres Alemoa', NULL),
  (6002, 501, 3, '2025/10/15 08:00:00', 'Terminal de Contêineres Alemoa', NULL),
  (6003, 501, 2, '2025/10/15 10:00:00', 'Terminal de Contêineres Alemoa', NULL),
  (6004, 502, 2, '2025/10/16 06:00:00', 'CY Vazios Saboó', NULL),
  (6005, 503, 3, '2025/10/17 13:00:00', 'Terminal de Contêineres Alemoa', 'Conferir lacres na entrega.'),
  (6006, 503, 1, '2025/10/17 13:00:00', 'Terminal de Contêineres Alemoa', NULL),
  (6007, 504, 3, '2025/10/17 07:30:00', 'Terminal de Contêineres Paranaguá', NULL),
  (6008, 504, 5, '2025/10/17 07:30:00', 'Terminal de Contêineres Paranaguá', NULL),
  (6009, 506, 1, '2025/10/20 08:00:00', 'CY Vazios Rocio', NULL),
  (6010, 506, 4, '2025/10/20 08:00:00', 'CY Vazios Rocio', NULL),
  (6011, 507, 3, '2025/10/21 08:00:00', 'Terminal de Contêineres Alemoa', NULL),
  (6012, 507, 3, '2025/10/21 08:00:00', 'Terminal de Contêineres Alemoa', NULL),
  (6013, 509, 1, '2025/10/23 08:00:00', 'CY Vazios Saboó', NULL);

INSERT INTO SOLICIT_EMBARQUE_CONTAINER (SOLICIT_EMBARQUE_CONTAINER_ID, ORDEM_SERVICO_ID, AGEND_CONTAINER_ID,
                                        CONTAINER_ID, TAB_TIPO_CONTAINER_ID, NUM_LACRE_CIA_MARITIMA,
                                        NUM_LACRE_RECEITA_FEDERAL, NUM_LACRE_MIN_SAUDE, TARA, PESO_CARGA, VALOR_NF) VALUES
  (7001, 501, 6001, 9001, 1, 'ML4471203', 'RFB0098812', NULL, 2200.5, 18450, 152300.75),
  (7002, 501, 6002, 9002, 3, 'ML4471204', NULL, NULL, 3900, 24100, NULL),
  (7003, 501, 6003, 9003, 2, NULL, NULL, NULL, NULL, NULL, NULL),
  (7004, 502, 6004, 9004, 2, NULL, NULL, NULL, NULL, NULL, NULL),
  (7005, 503, 6005, 9005, 3, 'HS2209731', 'RFB0101457', NULL, 3870.4, 22380.5, 87640.1),
  (7006, 503, 6006, 9006, 1, 'HS2209732', 'RFB0101458', 'MS000731', 2230.25, 16990, 64200),
  (7007, 504, 6007, 9007, 3, 'MK7730156', 'RFB0203344', NULL, 3910, 25870, 301450),
  (7008, 504, 6008, 9008, 5, 'MK7730157', 'RFB0203345', 'MS001208', 4780, 27600, 188900.9),
  (7009, 506, 6009, 9009, 1, NULL, NULL, NULL, 2180.75, 21000.5, 98450.3),
  (7010, 506, 6010, 9010, 4, NULL, NULL, NULL, 3050, 19875, 210000),
  (7011, 509, 6013, 9013, 1, NULL, NULL, NULL, NULL, NULL, NULL);

-- Every container request of the orders that travel under transport bills
-- (types 2, 7 and 8) has its CTAC; the removal to the inland terminal also
-- carries its customs transit declaration (DTA).
INSERT INTO DOCTO_TRANSPORTE (DOCTO_TRANSPORTE_ID, ORDEM_SERVICO_ID, SOLICIT_EMBARQUE_CONTAINER_ID,
                              TAB_TIPO_DOCTO_ID, NUM_DOCTO, SERIE, DATA_EMISSAO, VALOR_FRETE) VALUES
  (8001, 501, 7001, 1, '004512', '1', '2025/10/13 17:40:00', 1283.33),
  (8002, 501, 7002, 1, '004513', '1', '2025/10/13 17:41:00', 1283.33),
  (8003, 501, 7003, 1, '004514', '1', '2025/10/13 17:42:00', 1283.34),
  (8004, 503, 7005, 1, '004530', '1', '2025/10/15 09:10:00', 725.00),
  (8005, 503, 7006, 1, '004531', '1', '2025/10/15 09:11:00', 725.00),
  (8006, 504, 7007, 4, '25/0871234-0', NULL, '2025/10/16 10:05:00', 1380.00),
  (8007, 504, 7008, 4, '25/0871235-9', NULL, '2025/10/16 10:06:00', 1380.00),
  (8008, 506, 7009, 2, '000451201', '1', '2025/10/17 08:30:00', 2060.00),
  (8009, 506, 7010, 2, '000451202', '1', '2025/10/17 08:31:00', 2060.00),
  (8010, 504, 7007, 1, '004541', '1', '2025/10/16 09:50:00', 1380.00),
  (8011, 504, 7008, 1, '004542', '1', '2025/10/16 09:51:00', 1380.00);

-- ---------------------------------------------------------------------------
-- Incidents.
-- Type 18 is registered by hand ('M'): on orders of type 2 it must be justified.
-- Type 6 is registered by the system; type 8 is no longer offered.
INSERT INTO TAB_TIPO_INCIDENTE
  (TAB_TIPO_INCIDENTE_ID, DESCRICAO, FLAG_CONTR_CANHOTO, FLAG_TIPO_CADASTRO, FLAG_ATIVO) VALUES
  (1, 'Atraso na retirada do container no terminal', 'N', 'M', 'S'),
  (2, 'Container avariado', 'N', 'M', 'S'),
  (3, 'Lacre divergente do informado na OS', 'N', 'M', 'S'),
  (4, 'Canhoto da nota fiscal não devolvido', 'S', 'M', 'S'),
  (5, 'Veículo com defeito em trânsito', 'N', 'M', 'S'),
  (6, 'Aguardando liberação aduaneira', 'N', 'A', 'S'),
  (7, 'Container vazio sujo ou com odor', 'N', 'M', 'S'),
  (8, 'Pesagem divergente na balança do terminal', 'N', 'A', 'N'),
  (18, 'Entrega fora da janela agendada', 'S', 'M', 'S');

INSERT INTO TAB_TIPO_INCIDENTE_TIPO_OS (TAB_TIPO_INCIDENTE_ID, TAB_TIPO_ORDEM_SERVICO_ID) VALUES
  (1, 1), (1, 2), (1, 7), (1, 8),
  (2, 1), (2, 2), (2, 7), (2, 8), (2, 9),
  (3, 2), (3, 7),
  (4, 2), (4, 9),
  (5, 1), (5, 2), (5, 7), (5, 8), (5, 9), (5, 16),
  (6, 1), (6, 7), (6, 8),
  (7, 1), (7, 16),
  (8, 2),
  (18, 1), (18, 2), (18, 9);

-- Record 1003 was already checked by its carrier; the demo order 1001 was not.
INSERT INTO INCIDENTE_OS
  (ORDEM_SERVICO_TIPO_ID, TAB_TIPO_INCIDENTE_ID, FLAG_SELECIONADO, JUSTIFICATIVA,
   FLAG_TIPO_CADASTRO, USUARIO_INTERNET_ID, DATA_INCLUSAO) VALUES
  (1003, 1, 'S', 'Fila de 3 horas no gate do terminal', 'M', 25, '2025/10/16 18:20:00'),
  (1003, 6, 'S', NULL, 'A', 25, '2025/10/16 18:20:00');

INSERT INTO OBSERVACAO_INCIDENTE_OS
  (ORDEM_SERVICO_TIPO_ID, OBSERVACAO, USUARIO_INTERNET_ID, DATA_ALTERACAO) VALUES
  (1003, 'Motorista aguardou liberação no pátio', 25, '2025/10/16 18:20:00');

-- ---------------------------------------------------------------------------
-- Fractional cargo of order 505: the distribution centre 306 gathers the
-- pickup and delivers the three invoices.
INSERT INTO ORDEM_SERVICO_CD (ORDEM_SERVICO_ID, CENTRO_DISTRIBUICAO_ID, INDIC_COLETA_ENTREGA) VALUES
  (505, 306, 'C');

INSERT INTO NOTA_FISCAL (NOTA_FISCAL_ID, ORDEM_SERVICO_ID, NUM_NOTA, SERIE, DATA_EMISSAO, CNPJ_EMITENTE,
                         DESTINATARIO, CIDADE, UF, QTDE_VOLUMES, PESO, VALOR) VALUES
  (10001, 505, '000118204', '1', '2025/10/15 10:02:00', '11.222.333/0001-44',
   'Auto Peças Vila Maria Ltda', 'São Paulo', 'SP', 6, 412.5, 18940.00),
  (10002, 505, '000118205', '1', '2025/10/15 10:05:00', '11.222.333/0001-44',
   'Retífica Motores Campinas Ltda', 'Campinas', 'SP', 5, 388.0, 22315.40),
  (10003, 505, '000118206', '1', '2025/10/15 10:09:00', '11.222.333/0001-44',
   'Center Freios Sorocaba', 'Sorocaba', 'SP', 3, 96.75, 4870.90);

INSERT INTO AGENDAMENTO_FRAC (AGENDAMENTO_FRAC_ID, ORDEM_SERVICO_ID, INDIC_COLETA_ENTREGA, NOTA_FISCAL_ID,
                              DATA_AGENDAMENTO, ENDERECO, QTDE_VOLUMES) VALUES
  (11001, 505, 'C', NULL, '2025/10/18 09:00:00', 'Rua Voluntários da Pátria, 2140 - Santana, São Paulo/SP', 14),
  (11002, 505, 'E', 10001, '2025/10/18 14:00:00', 'Av. Guilherme Cotching, 880 - Vila Maria, São Paulo/SP', 6),
  (11003, 505, 'E', 10002, '2025/10/18 16:30:00', 'Rua Barão de Jaguara, 1215 - Centro, Campinas/SP', 5),
  (11004, 505, 'E', 10003, '2025/10/18 17:45:00', 'Av. São Paulo, 402 - Além Ponte, Sorocaba/SP', 3);

-- ---------------------------------------------------------------------------
-- Tracking. The events, and which event each closing step records. With this
-- data, closing each order on its service date records:
--   501 (1001)  per container, for its CTAC: saída do porto (terminal 301),
--               chegada no recebedor, entrega realizada, devolução do vazio
--               (terminal 302): twelve events, each with its job request
--   502 (1003)  retirada do vazio (302), chegada no embarcador, saída do
--               embarcador, entrega no porto (301): four events, no job
--   503 (1004)  entrega no porto (301) per container: two events and jobs
--   504 (1005)  saída do porto (304) and chegada no ICT (303) per container:
--               four events and jobs (the DTAs are not bills: no events)
--   505 (1006)  chegada no CD de coleta (306) for the pickup and entrega
--               realizada for each invoice: four events, no job
--   506, 507    none: cabotage is not tracked, and 507 has no container
--               request yet to hang a CTAC on.
INSERT INTO TAB_EVENTO_TRACKING (TAB_EVENTO_TRACKING_ID, DESCRICAO) VALUES
  (1, 'Retirada do vazio no CY'),
  (2, 'Chegada no embarcador'),
  (3, 'Saída do embarcador'),
  (4, 'Entrega no ICT (coleta)'),
  (5, 'Entrega no porto'),
  (6, 'Saída do porto'),
  (7, 'Chegada no ICT'),
  (8, 'Chegada no recebedor'),
  (9, 'Entrega realizada'),
  (10, 'Devolução do vazio no CY após o CD'),
  (11, 'Chegada no CD de coleta'),
  (12, 'Chegada no CD para entrega'),
  (13, 'Saída do CD com a carga desconsolidada'),
  (14, 'Chegada no CD para entrega direta'),
  (15, 'Saída do CD em entrega direta'),
  (16, 'Devolução do vazio no CY'),
  (17, 'Saída do ICT');

INSERT INTO PARAMETRO_SISTEMA (PARAMETRO_SISTEMA_ID, DESCRICAO, PARAMETRO) VALUES
  (1324, 'Tracking: retirada do vazio no CY na coleta de exportação', '1'),
  (1325, 'Tracking: chegada no embarcador', '2'),
  (1326, 'Tracking: saída do embarcador', '3'),
  (1327, 'Tracking: entrega do cheio no ICT na coleta', '4'),
  (1328, 'Tracking: entrega do cheio no porto', '5'),
  (1329, 'Tracking: saída do cheio do porto', '6'),
  (1330, 'Tracking: chegada no ICT', '7'),
  (1331, 'Tracking: chegada no recebedor', '8'),
  (1332, 'Tracking: entrega realizada', '9'),
  (1333, 'Tracking: devolução do vazio no CY após o CD', '10'),
  (1334, 'Tracking: chegada da carga fracionada no CD de coleta', '11'),
  (1335, 'Tracking: chegada no CD para entrega', '12'),
  (1336, 'Tracking: saída do CD com a carga desconsolidada', '13'),
  (1390, 'Tracking: chegada no CD em entrega direta', '14'),
  (1391, 'Tracking: saída do CD em entrega direta', '15'),
  (2144, 'Tracking: devolução do vazio no CY', '16'),
  (5202, 'Tracking: saída do ICT', '17');
