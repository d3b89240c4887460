-- The reference application database: the tables the component reads and
-- writes through its procedures and plain statements. Dates are stored as
-- 'yyyy/mm/dd hh:mm:ss' texts, which sort and compare as dates.

-- ---------------------------------------------------------------------------
-- Message log: written by plain INSERT statements, exactly these columns.
CREATE TABLE LOG_MSG (
  LOG_MSG_ID          INTEGER PRIMARY KEY AUTOINCREMENT,
  TAB_TIPO_MSG_ID     INTEGER,
  USUARIO_INTERNET_ID INTEGER,
  DATA_LOG            TEXT,
  MSG01               TEXT,
  MSG02               TEXT,
  MSG03               TEXT,
  MSG04               TEXT,
  MSG05               TEXT
);

-- ---------------------------------------------------------------------------
-- Users, branches, operation points and ports.
CREATE TABLE PONTO_OPERACAO (
  PONTO_OPERACAO_ID INTEGER PRIMARY KEY,
  NOME              TEXT NOT NULL
);

CREATE TABLE FILIAL (
  FILIAL_ID         INTEGER PRIMARY KEY,
  NOME              TEXT NOT NULL,
  PONTO_OPERACAO_ID INTEGER REFERENCES PONTO_OPERACAO
);

CREATE TABLE USUARIO_INTERNET (
  USUARIO_INTERNET_ID INTEGER PRIMARY KEY,
  LOGIN               TEXT NOT NULL UNIQUE,
  NOME                TEXT NOT NULL,
  FILIAL_ID           INTEGER REFERENCES FILIAL
);

CREATE TABLE PORTO (
  PORTO_ID   INTEGER PRIMARY KEY,
  NOME_PORTO TEXT NOT NULL,
  SIGLA      TEXT
);

CREATE TABLE FILIAL_PORTO (
  FILIAL_ID INTEGER NOT NULL REFERENCES FILIAL,
  PORTO_ID  INTEGER NOT NULL REFERENCES PORTO,
  PRIMARY KEY (FILIAL_ID, PORTO_ID)
);

-- ---------------------------------------------------------------------------
-- Background jobs: identifier counters, job requests and the change log,
-- written by plain statements with exactly the columns the component names.
CREATE TABLE infra_ids (
  LOG_GERADOR_ID INTEGER NOT NULL DEFAULT 0,
  LOG_SISTEMA_ID INTEGER NOT NULL DEFAULT 0
);
INSERT INTO infra_ids (LOG_GERADOR_ID, LOG_SISTEMA_ID) VALUES (0, 0);

CREATE TABLE LOG_GERADOR (
  LOG_GERADOR_ID      INTEGER PRIMARY KEY,
  USUARIO_INTERNET_ID INTEGER,
  FUNCAO_ID           INTEGER,
  TITULO_EMAIL        TEXT,
  FLAG_ENVIA_EMAIL    TEXT,
  TEXTO_EMAIL         TEXT,
  ENDERECO_EMAIL      TEXT,
  Tab_Status_JOB_ID   INTEGER,
  Data_Inicio         TEXT,
  Email_Remetente     TEXT,
  Endereco_anexo      TEXT,
  TXT_QUERY           TEXT
);

CREATE TABLE LOG_SISTEMA (
  LOG_SISTEMA_ID    INTEGER PRIMARY KEY,
  TABELA_SISTEMA_ID INTEGER,
  TAB_TIPO_ACAO_ID  INTEGER,
  USUARIO_ID        INTEGER,
  registro_id       INTEGER,
  data_log          TEXT
);

-- ---------------------------------------------------------------------------
-- Service orders for closing.
-- A service order (ORDEM_SERVICO) is issued to a carrier for one transport; it
-- is done as one or more service-type records (ORDEM_SERVICO_TIPO, one per
-- service type), and it is each of those that is loaded, closed and paid.
-- Terminals, distribution centres and carriers are all suppliers (FORNECEDOR);
-- a terminal has its own row in TERMINAL as well.

CREATE TABLE TAB_TIPO_ORDEM_SERVICO (
  TAB_TIPO_ORDEM_SERVICO_ID INTEGER PRIMARY KEY,
  DESCRICAO                 TEXT NOT NULL,
  -- 'S': the closing must carry the transport document number.
  FLAG_NUM_DOCTO            TEXT NOT NULL DEFAULT 'N' CHECK (FLAG_NUM_DOCTO IN ('S', 'N'))
);

CREATE TABLE TAB_TIPO_SERVICO (
  TAB_TIPO_SERVICO_ID INTEGER PRIMARY KEY,
  DESCRICAO           TEXT NOT NULL
);

CREATE TABLE TAB_STATUS_PAGTO_OS (
  TAB_STATUS_PAGTO_OS_ID   INTEGER PRIMARY KEY,
  DESC_TAB_STATUS_PAGTO_OS TEXT NOT NULL,
  -- 'S' once the order has gone to payment: the front end then locks the closing.
  INDIC_OS_EM_PAGAMENTO    TEXT NOT NULL DEFAULT 'N' CHECK (INDIC_OS_EM_PAGAMENTO IN ('S', 'N'))
);

-- State of a service-type record; a closing moves it to 2.
CREATE TABLE TAB_STATUS_OS_TIPO (
  TAB_STATUS_OS_TIPO_ID INTEGER PRIMARY KEY,
  DESCRICAO             TEXT NOT NULL
);

-- Transport document kinds (CTAC, CT-e, invoice, ...).
CREATE TABLE TAB_TIPO_DOCTO (
  TAB_TIPO_DOCTO_ID INTEGER PRIMARY KEY,
  SIGLA             TEXT NOT NULL,
  DESCRICAO         TEXT NOT NULL,
  -- 'S': a bill of the transport itself (CTAC, CT-e). Tracking events are
  -- reported against these; customs declarations and invoices travel along.
  FLAG_CONHECIMENTO TEXT NOT NULL DEFAULT 'N' CHECK (FLAG_CONHECIMENTO IN ('S', 'N'))
);

CREATE TABLE FORNECEDOR (
  FORNECEDOR_ID      INTEGER PRIMARY KEY,
  NOME               TEXT NOT NULL,
  CNPJ               TEXT UNIQUE,
  -- 'T' carrier, 'R' terminal, 'C' distribution centre.
  TIPO_FORNECEDOR    TEXT NOT NULL CHECK (TIPO_FORNECEDOR IN ('T', 'R', 'C')),
  CIDADE             TEXT,
  UF                 TEXT,
  -- 'S': the carrier must hand back the signed receipt stub of each delivery.
  FLAG_CONTR_CANHOTO TEXT NOT NULL DEFAULT 'N' CHECK (FLAG_CONTR_CANHOTO IN ('S', 'N')),
  ATIVO              TEXT NOT NULL DEFAULT 'S' CHECK (ATIVO IN ('S', 'N'))
);

CREATE TABLE TERMINAL (
  FORNECEDOR_ID           INTEGER PRIMARY KEY REFERENCES FORNECEDOR,
  SIGLA                   TEXT NOT NULL,
  PORTO_ID                INTEGER REFERENCES PORTO,
  -- 'CY' empty-container yard, 'PORTO' quay terminal, 'ICT' inland terminal, 'CD' distribution centre.
  TIPO_TERMINAL           TEXT NOT NULL CHECK (TIPO_TERMINAL IN ('CY', 'PORTO', 'ICT', 'CD')),
  INDIC_TERMINAL_INTERIOR TEXT NOT NULL DEFAULT 'N' CHECK (INDIC_TERMINAL_INTERIOR IN ('S', 'N'))
);

CREATE TABLE ORDEM_SERVICO (
  ORDEM_SERVICO_ID          INTEGER PRIMARY KEY,
  NUM_OS                    TEXT NOT NULL UNIQUE,
  TAB_TIPO_ORDEM_SERVICO_ID INTEGER NOT NULL REFERENCES TAB_TIPO_ORDEM_SERVICO,
  FORNECEDOR_ID             INTEGER REFERENCES FORNECEDOR,  -- the carrier
  PORTO_ID                  INTEGER REFERENCES PORTO,
  TERMINAL_VAZIO_ID         INTEGER REFERENCES TERMINAL,  -- where the empty container is taken or returned
  TERMINAL_CHEIO_ID         INTEGER REFERENCES TERMINAL,  -- where the full container is taken or delivered
  -- 'S': cargo that passes a distribution centre goes on to the receiver the
  -- same day, without being stored there. The centres are in ORDEM_SERVICO_CD.
  FLAG_ENTREGA_DIRETA       TEXT CHECK (FLAG_ENTREGA_DIRETA IN ('S', 'N')),
  TAB_STATUS_PAGTO_OS_ID    INTEGER NOT NULL DEFAULT 1 REFERENCES TAB_STATUS_PAGTO_OS,
  -- 'S': the transport travels under transport documents (CTAC) of its containers.
  FLAG_CTAC                 TEXT CHECK (FLAG_CTAC IN ('S', 'N')),
  DATA_EMISSAO              TEXT NOT NULL,
  DATA_SERVICO              TEXT,  -- the date the service was booked for
  -- How many days before the issue date the execution may have started.
  DIAS_TOLERANCIA           INTEGER NOT NULL DEFAULT 0,
  EMBARCADOR                TEXT,  -- shipper or consignee, as printed on the order
  OBSERVACAO                TEXT,
  USUARIO_EMISSAO_ID        INTEGER REFERENCES USUARIO_INTERNET
);

-- One service type of one order: the record that is loaded, closed and paid.
CREATE TABLE ORDEM_SERVICO_TIPO (
  ORDEM_SERVICO_TIPO_ID  INTEGER PRIMARY KEY,
  ORDEM_SERVICO_ID       INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  TAB_TIPO_SERVICO_ID    INTEGER NOT NULL REFERENCES TAB_TIPO_SERVICO,
  TAB_STATUS_OS_TIPO_ID  INTEGER NOT NULL DEFAULT 1 REFERENCES TAB_STATUS_OS_TIPO,
  VALOR_SERVICO          REAL,
  -- Written by the closing.
  DATA_INI_EXECUCAO      TEXT,
  DATA_FIM_EXECUCAO      TEXT,
  DATA_RETIRADA_TERMINAL TEXT,
  DATA_ENTREGA_TERMINAL  TEXT,
  PLACA                  TEXT,  -- tractor plate
  TAB_TIPO_DOCTO_ID      INTEGER REFERENCES TAB_TIPO_DOCTO,
  ID_SISTEMA_EXTERNO     TEXT,  -- transport document number
  DATA_FECHAMENTO        TEXT,
  USUARIO_FECHAMENTO_ID  INTEGER REFERENCES USUARIO_INTERNET,
  UNIQUE (ORDEM_SERVICO_ID, TAB_TIPO_SERVICO_ID)
);

CREATE TABLE TAB_TIPO_CONTAINER (
  TAB_TIPO_CONTAINER_ID INTEGER PRIMARY KEY,
  SIGLA                 TEXT NOT NULL UNIQUE,  -- 20DC, 40HC, ...
  CODIGO_ISO            TEXT,                  -- ISO 6346 size and type code: 22G1, 45G1, ...
  DESCRICAO             TEXT NOT NULL,
  TARA_PADRAO           REAL
);

-- The container register: one row per container number (ISO 6346, with its
-- check digit), kept in capitals. The number is unique whatever its case: two
-- closings that register the same new container at once must end with one row.
CREATE TABLE CONTAINER (
  CONTAINER_ID          INTEGER PRIMARY KEY,
  NUM_CONTAINER         TEXT NOT NULL UNIQUE COLLATE NOCASE,
  TAB_TIPO_CONTAINER_ID INTEGER REFERENCES TAB_TIPO_CONTAINER,
  TARA                  REAL,
  DATA_CADASTRO         TEXT,
  USUARIO_CADASTRO_ID   INTEGER REFERENCES USUARIO_INTERNET,
  DATA_ALTERACAO        TEXT,
  USUARIO_ALTERACAO_ID  INTEGER REFERENCES USUARIO_INTERNET
);

-- The schedule of one container of an order; the closing observation is kept here.
CREATE TABLE AGEND_CONTAINER (
  AGEND_CONTAINER_ID    INTEGER PRIMARY KEY,
  ORDEM_SERVICO_ID      INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  TAB_TIPO_CONTAINER_ID INTEGER REFERENCES TAB_TIPO_CONTAINER,
  DATA_AGENDAMENTO      TEXT,
  LOCAL_AGENDAMENTO     TEXT,
  OBSERV                TEXT,
  DATA_ALTERACAO        TEXT,
  USUARIO_ALTERACAO_ID  INTEGER REFERENCES USUARIO_INTERNET
);

-- One container line of an order: what the carrier reports for it at closing.
-- CONTAINER_ID stays empty until the container is known.
CREATE TABLE SOLICIT_EMBARQUE_CONTAINER (
  SOLICIT_EMBARQUE_CONTAINER_ID INTEGER PRIMARY KEY,
  ORDEM_SERVICO_ID              INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  AGEND_CONTAINER_ID            INTEGER REFERENCES AGEND_CONTAINER,
  CONTAINER_ID                  INTEGER REFERENCES CONTAINER,
  TAB_TIPO_CONTAINER_ID         INTEGER REFERENCES TAB_TIPO_CONTAINER,
  NUM_LACRE_CIA_MARITIMA        TEXT,
  NUM_LACRE_RECEITA_FEDERAL     TEXT,
  NUM_LACRE_MIN_SAUDE           TEXT,
  TARA                          REAL,
  PESO_CARGA                    REAL,
  VALOR_NF                      REAL,
  DATA_ALTERACAO                TEXT,
  USUARIO_ALTERACAO_ID          INTEGER REFERENCES USUARIO_INTERNET
);

-- Transport documents (CTAC and the like), one or more per container line.
CREATE TABLE DOCTO_TRANSPORTE (
  DOCTO_TRANSPORTE_ID           INTEGER PRIMARY KEY,
  ORDEM_SERVICO_ID              INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  SOLICIT_EMBARQUE_CONTAINER_ID INTEGER REFERENCES SOLICIT_EMBARQUE_CONTAINER,
  TAB_TIPO_DOCTO_ID             INTEGER NOT NULL REFERENCES TAB_TIPO_DOCTO,
  NUM_DOCTO                     TEXT NOT NULL,
  SERIE                         TEXT,
  DATA_EMISSAO                  TEXT,
  VALOR_FRETE                   REAL
);

-- The distribution centres an order's cargo passes. 'C': the centre where the
-- pickups are gathered (its terminal is where fractional pickups arrive);
-- 'E': a centre the cargo is delivered from.
CREATE TABLE ORDEM_SERVICO_CD (
  ORDEM_SERVICO_ID       INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  CENTRO_DISTRIBUICAO_ID INTEGER NOT NULL REFERENCES TERMINAL,
  INDIC_COLETA_ENTREGA   TEXT NOT NULL CHECK (INDIC_COLETA_ENTREGA IN ('C', 'E')),
  PRIMARY KEY (ORDEM_SERVICO_ID, CENTRO_DISTRIBUICAO_ID, INDIC_COLETA_ENTREGA)
);

-- Invoices (notas fiscais) of fractional cargo: a delivery is always of one invoice.
CREATE TABLE NOTA_FISCAL (
  NOTA_FISCAL_ID   INTEGER PRIMARY KEY,
  ORDEM_SERVICO_ID INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  NUM_NOTA         TEXT NOT NULL,
  SERIE            TEXT,
  DATA_EMISSAO     TEXT,
  CNPJ_EMITENTE    TEXT,
  DESTINATARIO     TEXT NOT NULL,
  CIDADE           TEXT,
  UF               TEXT,
  QTDE_VOLUMES     INTEGER,
  PESO             REAL,
  VALOR            REAL
);

-- The pickups ('C') and deliveries ('E') of a fractional order.
CREATE TABLE AGENDAMENTO_FRAC (
  AGENDAMENTO_FRAC_ID  INTEGER PRIMARY KEY,
  ORDEM_SERVICO_ID     INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  INDIC_COLETA_ENTREGA TEXT NOT NULL CHECK (INDIC_COLETA_ENTREGA IN ('C', 'E')),
  NOTA_FISCAL_ID       INTEGER REFERENCES NOTA_FISCAL,
  DATA_AGENDAMENTO     TEXT,
  ENDERECO             TEXT,
  QTDE_VOLUMES         INTEGER,
  -- Delivery tracking is kept by invoice, so a delivery without one could not be tracked.
  CHECK (INDIC_COLETA_ENTREGA = 'C' OR NOTA_FISCAL_ID IS NOT NULL)
);

CREATE INDEX ORDEM_SERVICO_TIPO_OS ON ORDEM_SERVICO_TIPO (ORDEM_SERVICO_ID);
CREATE INDEX AGEND_CONTAINER_OS ON AGEND_CONTAINER (ORDEM_SERVICO_ID);
CREATE INDEX SOLICIT_EMBARQUE_CONTAINER_OS ON SOLICIT_EMBARQUE_CONTAINER (ORDEM_SERVICO_ID);
CREATE INDEX DOCTO_TRANSPORTE_SOLICIT ON DOCTO_TRANSPORTE (SOLICIT_EMBARQUE_CONTAINER_ID);
CREATE INDEX SOLICIT_EMBARQUE_CONTAINER_CONTAINER ON SOLICIT_EMBARQUE_CONTAINER (CONTAINER_ID);
CREATE INDEX SOLICIT_EMBARQUE_CONTAINER_AGEND ON SOLICIT_EMBARQUE_CONTAINER (AGEND_CONTAINER_ID);
CREATE INDEX NOTA_FISCAL_OS ON NOTA_FISCAL (ORDEM_SERVICO_ID);
CREATE INDEX AGENDAMENTO_FRAC_OS ON AGENDAMENTO_FRAC (ORDEM_SERVICO_ID);

-- The codes the closing rules know by number (order types 1, 2, 7, 8, 9, 12,
-- 16 and 17, service type 1, the closed state 2) are part of the system, not
-- of one company's data.
INSERT INTO TAB_TIPO_ORDEM_SERVICO (TAB_TIPO_ORDEM_SERVICO_ID, DESCRICAO, FLAG_NUM_DOCTO) VALUES
  (1, 'Exportação - Coleta de Cheio', 'N'),
  (2, 'Importação - Entrega de Cheio', 'S'),
  (3, 'Devolução de Vazio', 'N'),
  (4, 'Retirada de Vazio', 'N'),
  (5, 'Transferência entre Terminais', 'N'),
  (6, 'Posicionamento de Vazio', 'N'),
  (7, 'Transbordo - Entrega no Porto', 'S'),
  (8, 'Remoção Porto/ICT', 'S'),
  (9, 'Carga Fracionada', 'N'),
  (12, 'Serviço Avulso', 'N'),
  (16, 'Cabotagem - Coleta', 'S'),
  (17, 'Cabotagem - Entrega', 'S');

INSERT INTO TAB_TIPO_SERVICO (TAB_TIPO_SERVICO_ID, DESCRICAO) VALUES
  (1, 'Transporte de Contêiner'),
  (2, 'Movimentação de Vazio'),
  (3, 'Transporte de Carga Fracionada'),
  (4, 'Serviços Acessórios');

INSERT INTO TAB_STATUS_PAGTO_OS (TAB_STATUS_PAGTO_OS_ID, DESC_TAB_STATUS_PAGTO_OS, INDIC_OS_EM_PAGAMENTO) VALUES
  (1, 'Aguardando Fechamento', 'N'),
  (2, 'Aguardando Conferência', 'N'),
  (3, 'Em Pagamento', 'S'),
  (4, 'Paga', 'S');

INSERT INTO TAB_STATUS_OS_TIPO (TAB_STATUS_OS_TIPO_ID, DESCRICAO) VALUES
  (1, 'Aberta'),
  (2, 'Fechada'),
  (3, 'Cancelada');

INSERT INTO TAB_TIPO_DOCTO (TAB_TIPO_DOCTO_ID, SIGLA, DESCRICAO, FLAG_CONHECIMENTO) VALUES
  (1, 'CTAC', 'Conhecimento de Transporte Aquaviário de Cargas', 'S'),
  (2, 'CT-e', 'Conhecimento de Transporte Eletrônico', 'S'),
  (3, 'NF', 'Nota Fiscal', 'N'),
  (4, 'DTA', 'Declaração de Trânsito Aduaneiro', 'N');

INSERT INTO TAB_TIPO_CONTAINER (TAB_TIPO_CONTAINER_ID, SIGLA, CODIGO_ISO, DESCRICAO, TARA_PADRAO) VALUES
  (1, '20DC', '22G1', 'Dry 20 pés', 2200),
  (2, '40DC', '42G1', 'Dry 40 pés', 3750),
  (3, '40HC', '45G1', 'Dry 40 pés High Cube', 3900),
  (4, '20RF', '22R1', 'Reefer 20 pés', 3050),
  (5, '40RF', '45R1', 'Reefer 40 pés High Cube', 4800);

-- ---------------------------------------------------------------------------
-- Incidents.
-- The incident types (the "indicators" of the closing form's checklist).
-- FLAG_CONTR_CANHOTO: 'S' when the incident concerns the control of the
-- delivery receipt stub. FLAG_TIPO_CADASTRO: how the incident is registered,
-- 'M' by hand on the form, 'A' automatically by the system. Inactive types
-- are no longer offered, but stay listed where they were recorded.
CREATE TABLE TAB_TIPO_INCIDENTE (
  TAB_TIPO_INCIDENTE_ID INTEGER PRIMARY KEY,
  DESCRICAO             TEXT NOT NULL,
  FLAG_CONTR_CANHOTO    TEXT NOT NULL DEFAULT 'N' CHECK (FLAG_CONTR_CANHOTO IN ('S', 'N')),
  FLAG_TIPO_CADASTRO    TEXT NOT NULL DEFAULT 'M' CHECK (FLAG_TIPO_CADASTRO IN ('M', 'A')),
  FLAG_ATIVO            TEXT NOT NULL DEFAULT 'S' CHECK (FLAG_ATIVO IN ('S', 'N'))
);

-- The order types each incident type applies to. The order type is kept by
-- value: the order type table belongs to the service orders.
CREATE TABLE TAB_TIPO_INCIDENTE_TIPO_OS (
  TAB_TIPO_INCIDENTE_ID     INTEGER NOT NULL REFERENCES TAB_TIPO_INCIDENTE,
  TAB_TIPO_ORDEM_SERVICO_ID INTEGER NOT NULL,
  PRIMARY KEY (TAB_TIPO_INCIDENTE_ID, TAB_TIPO_ORDEM_SERVICO_ID)
);

-- The incidents recorded against a service-order type record (by value: the
-- record's ORDEM_SERVICO_TIPO_ID). Recording replaces every row of the record.
CREATE TABLE INCIDENTE_OS (
  INCIDENTE_OS_ID       INTEGER PRIMARY KEY AUTOINCREMENT,
  ORDEM_SERVICO_TIPO_ID INTEGER NOT NULL,
  TAB_TIPO_INCIDENTE_ID INTEGER NOT NULL REFERENCES TAB_TIPO_INCIDENTE,
  FLAG_SELECIONADO      TEXT NOT NULL,
  JUSTIFICATIVA         TEXT,
  FLAG_TIPO_CADASTRO    TEXT,
  USUARIO_INTERNET_ID   INTEGER,
  DATA_INCLUSAO         TEXT NOT NULL,
  UNIQUE (ORDEM_SERVICO_TIPO_ID, TAB_TIPO_INCIDENTE_ID)
);

-- The general observation written with the incidents of a record.
CREATE TABLE OBSERVACAO_INCIDENTE_OS (
  ORDEM_SERVICO_TIPO_ID INTEGER PRIMARY KEY,
  OBSERVACAO            TEXT,
  USUARIO_INTERNET_ID   INTEGER,
  DATA_ALTERACAO        TEXT NOT NULL
);

-- Work table of SP_036_INC_INCIDENTE3: the packed lists it receives, one row
-- per element, and its refusals. The procedure fills and empties it inside its
-- own write transaction, so it is always empty between calls.
CREATE TABLE INCIDENTE_OS_CARGA (
  LISTA   TEXT NOT NULL,
  POSICAO INTEGER NOT NULL,
  ITEM    TEXT,
  PRIMARY KEY (LISTA, POSICAO)
);

-- ---------------------------------------------------------------------------
-- Tracking.
-- The events a transport goes through, as the tracking screens name them.
CREATE TABLE TAB_EVENTO_TRACKING (
  TAB_EVENTO_TRACKING_ID INTEGER PRIMARY KEY,
  DESCRICAO              TEXT NOT NULL
);

-- System parameters: one value per code. The closing knows its tracking
-- steps by code (1324, 1325, ...); each company decides in PARAMETRO which
-- event a step records, so two steps may share an event.
CREATE TABLE PARAMETRO_SISTEMA (
  PARAMETRO_SISTEMA_ID INTEGER PRIMARY KEY,
  DESCRICAO            TEXT NOT NULL,
  PARAMETRO            TEXT
);

-- One tracking event. Full-container events belong to a container request and,
-- for the order types that travel under them, to one of its transport bills;
-- fractional events belong to a pickup schedule or to a delivered invoice.
CREATE TABLE TRACKING (
  TRACKING_ID                   INTEGER PRIMARY KEY,
  ORDEM_SERVICO_ID              INTEGER NOT NULL REFERENCES ORDEM_SERVICO,
  SOLICIT_EMBARQUE_CONTAINER_ID INTEGER REFERENCES SOLICIT_EMBARQUE_CONTAINER,
  DOCTO_TRANSPORTE_ID           INTEGER REFERENCES DOCTO_TRANSPORTE,  -- the CTAC
  AGENDAMENTO_FRAC_ID           INTEGER REFERENCES AGENDAMENTO_FRAC,
  NOTA_FISCAL_ID                INTEGER REFERENCES NOTA_FISCAL,
  TAB_EVENTO_TRACKING_ID        INTEGER NOT NULL REFERENCES TAB_EVENTO_TRACKING,
  TERMINAL_ID                   INTEGER REFERENCES TERMINAL,
  DATA_EVENTO                   TEXT NOT NULL,
  HORA_EVENTO                   TEXT,  -- the hour as the carrier reported it, hh:mm
  EMPRESA_ID                    INTEGER,
  USUARIO_INTERNET_ID           INTEGER REFERENCES USUARIO_INTERNET,
  DATA_INCLUSAO                 TEXT NOT NULL
);
CREATE INDEX TRACKING_OS ON TRACKING (ORDEM_SERVICO_ID);
CREATE INDEX TRACKING_AGENDAMENTO_FRAC ON TRACKING (AGENDAMENTO_FRAC_ID);
CREATE INDEX TRACKING_NOTA_FISCAL ON TRACKING (NOTA_FISCAL_ID);

-- ---------------------------------------------------------------------------
-- Background job functions. 2266 processes a new tracking event; the closing
-- requests it by number.
CREATE TABLE FUNCAO (
  FUNCAO_ID INTEGER PRIMARY KEY,
  DESCRICAO TEXT NOT NULL
);
INSERT INTO FUNCAO (FUNCAO_ID, DESCRICAO) VALUES
  (2266, 'Processamento de evento de tracking');

-- ---------------------------------------------------------------------------
-- Work table of the writing procedures: the refusals found for the call under
-- way. A procedure fills it first, writes only while it is empty, answers the
-- first refusal (lowest POSICAO) and empties it, all inside its own write
-- transaction, so it is always empty between calls.
CREATE TABLE RECUSA_CHAMADA (
  POSICAO INTEGER PRIMARY KEY,
  RETORNO INTEGER NOT NULL,
  MSG_RET TEXT NOT NULL
);
