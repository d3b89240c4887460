-- The reference application database on MariaDB: the same tables, columns
-- and seed rows as the embedded engine's db/schema.sql, so that every answer
-- and every row written is the same on both.
--
-- Dialect choices:
-- * Dates stay 'yyyy/mm/dd hh:mm:ss' texts (VARCHAR(19)), never DATETIME: the
--   component compares and shows them as texts, and so do the tests.
-- * Texts compare as the embedded engine compares them: case-sensitively
--   (utf8mb4_bin), except the container number, which is looked up whatever
--   its case (utf8mb4_general_ci).
-- * A single-column INTEGER PRIMARY KEY of SQLite takes a new id when an
--   insert leaves it out; AUTO_INCREMENT keeps that for plain inserts. The
--   procedures give their new rows max + 1 themselves, as SQLite does, so that
--   an id freed by a removal is given again exactly as on the embedded engine.
-- * Statements end with a ';' that ends a line. Inside the bodies of the
--   functions no line ends with ';': where a body holds several statements,
--   each one starts with the ';' that ends the one before.
SET SESSION sql_mode = 'STRICT_TRANS_TABLES,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION,NO_BACKSLASH_ESCAPES';

-- ---------------------------------------------------------------------------
-- Functions of the dialect. GETDATE() and TO_DATE(text, format) answer what
-- the embedded engine's functions of the same names answer, for the plain
-- statements of the component (the message log, the job tables).

-- The current local date and time, 'yyyy/mm/dd hh:mm:ss'.
CREATE FUNCTION GETDATE() RETURNS VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin
  NOT DETERMINISTIC NO SQL
RETURN DATE_FORMAT(NOW(), '%Y/%m/%d %H:%i:%s');

-- text read with format, as 'yyyy/mm/dd hh:mm:ss'; NULL when it does not match
-- or is not a valid date. YYYY (four digits), MM, DD, HH24, HH, MI, SS (one or
-- two digits), in any case; any other character of the format must appear as
-- it is, in any case. HH reads 0 to 23 like HH24. Fields the format leaves
-- out take the current year and month, day 1 and midnight; blanks may follow
-- the text.
CREATE FUNCTION TO_DATE(texto TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                        formato TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin)
  RETURNS VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin
  NOT DETERMINISTIC NO SQL
BEGIN
  DECLARE ano INT DEFAULT YEAR(NOW())
  ; DECLARE mes INT DEFAULT MONTH(NOW())
  ; DECLARE dia INT DEFAULT 1
  ; DECLARE hora, minuto, segundo INT DEFAULT 0
  ; DECLARE f, t INT DEFAULT 1
  -- The element of the format at f: which field, how many characters it
  -- takes in the format, and how many digits it reads.
  ; DECLARE campo VARCHAR(8)
  ; DECLARE largura, minimo, maximo INT
  ; DECLARE digitos VARCHAR(4) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin
  ; DECLARE a, b VARCHAR(1) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin
  ; IF texto IS NULL OR formato IS NULL THEN
      RETURN NULL
  ; END IF
  ; WHILE f <= CHAR_LENGTH(formato) DO
      SET campo = CASE
                    WHEN SUBSTRING(formato, f, 4) REGEXP '^[Yy][Yy][Yy][Yy]$' THEN 'ano'
                    WHEN SUBSTRING(formato, f, 4) REGEXP '^[Hh][Hh]24$' THEN 'hora24'
                    WHEN SUBSTRING(formato, f, 2) REGEXP '^[Hh][Hh]$' THEN 'hora'
                    WHEN SUBSTRING(formato, f, 2) REGEXP '^[Mm][Mm]$' THEN 'mes'
                    WHEN SUBSTRING(formato, f, 2) REGEXP '^[Mm][Ii]$' THEN 'minuto'
                    WHEN SUBSTRING(formato, f, 2) REGEXP '^[Dd][Dd]$' THEN 'dia'
                    WHEN SUBSTRING(formato, f, 2) REGEXP '^[Ss][Ss]$' THEN 'segundo'
                  END
    ; IF campo IS NULL THEN
        -- A character that must appear as it is; ASCII letters in any case.
        SET a = SUBSTRING(texto, t, 1)
      ; SET b = SUBSTRING(formato, f, 1)
      ; IF t > CHAR_LENGTH(texto)
           OR IF(a BETWEEN 'a' AND 'z', UPPER(a), a) <> IF(b BETWEEN 'a' AND 'z', UPPER(b), b) THEN
          RETURN NULL
      ; END IF
      ; SET t = t + 1, f = f + 1
    ; ELSE
        SET largura = IF(campo IN ('ano', 'hora24'), 4, 2)
      ; SET minimo = IF(campo = 'ano', 4, 1), maximo = IF(campo = 'ano', 4, 2)
      ; SET digitos = COALESCE(REGEXP_SUBSTR(SUBSTRING(texto, t, maximo), '^[0-9]+'), '')
      ; IF CHAR_LENGTH(digitos) < minimo THEN
          RETURN NULL
      ; END IF
      ; CASE campo
          WHEN 'ano' THEN SET ano = CAST(digitos AS UNSIGNED)
        ; WHEN 'mes' THEN SET mes = CAST(digitos AS UNSIGNED)
        ; WHEN 'dia' THEN SET dia = CAST(digitos AS UNSIGNED)
        ; WHEN 'minuto' THEN SET minuto = CAST(digitos AS UNSIGNED)
        ; WHEN 'segundo' THEN SET segundo = CAST(digitos AS UNSIGNED)
        ; ELSE SET hora = CAST(digitos AS UNSIGNED)
        ; END CASE
      ; SET t = t + CHAR_LENGTH(digitos), f = f + largura
    ; END IF
  ; END WHILE
  ; WHILE SUBSTRING(texto, t, 1) = ' ' DO
      SET t = t + 1
  ; END WHILE
  ; IF t <= CHAR_LENGTH(texto)
       OR ano < 1 OR mes NOT BETWEEN 1 AND 12 OR hora > 23 OR minuto > 59 OR segundo > 59
       OR dia NOT BETWEEN 1 AND CASE
                                  WHEN mes = 2 AND (ano MOD 4 = 0 AND ano MOD 100 <> 0 OR ano MOD 400 = 0) THEN 29
                                  WHEN mes = 2 THEN 28
                                  WHEN mes IN (4, 6, 9, 11) THEN 30
                                  ELSE 31
                                END THEN
      RETURN NULL
  ; END IF
  ; RETURN CONCAT(LPAD(ano, 4, '0'), '/', LPAD(mes, 2, '0'), '/', LPAD(dia, 2, '0'), ' ',
                  LPAD(hora, 2, '0'), ':', LPAD(minuto, 2, '0'), ':', LPAD(segundo, 2, '0'))
; END;

-- ---------------------------------------------------------------------------
-- Functions of the procedures: SQLite's own text and date rules, where the
-- embedded procedures rely on them.

-- upper() and lower() of SQLite change the ASCII letters alone.
CREATE FUNCTION UPPER_ASCII(texto TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin)
  RETURNS TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin
  DETERMINISTIC NO SQL
RETURN REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(
       REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(
       texto, 'a', 'A'), 'b', 'B'), 'c', 'C'), 'd', 'D'), 'e', 'E'), 'f', 'F'), 'g', 'G'), 'h', 'H'), 'i', 'I'),
       'j', 'J'), 'k', 'K'), 'l', 'L'), 'm', 'M'), 'n', 'N'), 'o', 'O'), 'p', 'P'), 'q', 'Q'), 'r', 'R'),
       's', 'S'), 't', 'T'), 'u', 'U'), 'v', 'V'), 'w', 'W'), 'x', 'X'), 'y', 'Y'), 'z', 'Z');

CREATE FUNCTION LOWER_ASCII(texto TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin)
  RETURNS TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin
  DETERMINISTIC NO SQL
RETURN REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(
       REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(
       texto, 'A', 'a'), 'B', 'b'), 'C', 'c'), 'D', 'd'), 'E', 'e'), 'F', 'f'), 'G', 'g'), 'H', 'h'), 'I', 'i'),
       'J', 'j'), 'K', 'k'), 'L', 'l'), 'M', 'm'), 'N', 'n'), 'O', 'o'), 'P', 'p'), 'Q', 'q'), 'R', 'r'),
       'S', 's'), 'T', 't'), 'U', 'u'), 'V', 'v'), 'W', 'w'), 'X', 'x'), 'Y', 'y'), 'Z', 'z');

-- A date a closing typed ('yyyy/mm/dd hh:mm', with or without seconds), as it
-- is stored: 'yyyy/mm/dd hh:mm:ss'. NULL when it is no date, or not the date
-- typed: the embedded procedures read the text (its '/' made '-') as SQLite
-- reads a time value, turn it into a day number and back, and refuse it when
-- the day that comes back is not the one typed (31 February comes back as
-- 3 March). So this reads what SQLite reads: the day, then blanks or 'T',
-- then optionally hh:mm[:ss[.fff]] and a zone (Z or +hh:mm; a '/' typed there
-- counts as '-'), which moves the time and must leave it on the same day.
-- Seconds are cut, not rounded, unless a zone moved the time; the day check
-- counts them rounded to the millisecond.
CREATE FUNCTION DATA_INFORMADA(texto TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin)
  RETURNS VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin
  DETERMINISTIC NO SQL
RETURN (
  SELECT CASE
           WHEN mes BETWEEN 1 AND 12
            AND dia BETWEEN 1 AND CASE
                                    WHEN mes = 2 AND (ano MOD 4 = 0 AND ano MOD 100 <> 0 OR ano MOD 400 = 0) THEN 29
                                    WHEN mes = 2 THEN 28
                                    WHEN mes IN (4, 6, 9, 11) THEN 30
                                    ELSE 31
                                  END
            AND hora <= 24 AND minuto <= 59 AND segundo <= 59 AND fuso_hora <= 14 AND fuso_minuto <= 59
            AND instante >= 0 AND instante < 86400000
           THEN CONCAT(LEFT(s, 4), '/', SUBSTRING(s, 6, 2), '/', SUBSTRING(s, 9, 2), ' ',
                       IF(fuso = 0,
                          CONCAT(LPAD(hora, 2, '0'), ':', LPAD(minuto, 2, '0'), ':', LPAD(segundo, 2, '0')),
                          CONCAT(LPAD(instante DIV 3600000, 2, '0'), ':',
                                 LPAD(instante DIV 60000 MOD 60, 2, '0'), ':',
                                 LPAD(instante DIV 1000 MOD 60, 2, '0'))))
         END
    FROM (SELECT s, ano, mes, dia, hora, minuto, segundo, fuso_hora, fuso_minuto, fuso,
                 hora * 3600000 + minuto * 60000 + FLOOR((segundo + fracao) * 1000e0 + 5e-1) - fuso * 60000
                   AS instante
            FROM (SELECT s, ano, mes, dia, hora, minuto, segundo, fracao, fuso_hora, fuso_minuto,
                         IF(sinal = '-', -1, 1) * (fuso_hora * 60 + fuso_minuto) AS fuso
                    FROM (SELECT s,
                                 CAST(LEFT(s, 4) AS UNSIGNED) AS ano,
                                 CAST(SUBSTRING(s, 6, 2) AS UNSIGNED) AS mes,
                                 CAST(SUBSTRING(s, 9, 2) AS UNSIGNED) AS dia,
                                 COALESCE(CAST(NULLIF(REGEXP_REPLACE(s, p, '\1'), '') AS UNSIGNED), 0) AS hora,
                                 COALESCE(CAST(NULLIF(REGEXP_REPLACE(s, p, '\2'), '') AS UNSIGNED), 0) AS minuto,
                                 COALESCE(CAST(NULLIF(REGEXP_REPLACE(s, p, '\3'), '') AS UNSIGNED), 0) AS segundo,
                                 COALESCE(CAST(CONCAT('0.', NULLIF(REGEXP_REPLACE(s, p, '\4'), '')) AS DOUBLE), 0e0)
                                   AS fracao,
                                 REGEXP_REPLACE(s, p, '\5') AS sinal,
                                 COALESCE(CAST(NULLIF(REGEXP_REPLACE(s, p, '\6'), '') AS UNSIGNED), 0) AS fuso_hora,
                                 COALESCE(CAST(NULLIF(REGEXP_REPLACE(s, p, '\7'), '') AS UNSIGNED), 0) AS fuso_minuto
                            FROM (SELECT REPLACE(TRIM(texto), '/', '-') AS s,
                                         CONCAT('^[0-9]{4}-[0-9]{2}-[0-9]{2}[[:space:]T]*',
                                                '(?:([0-9]{2}):([0-9]{2})(?::([0-9]{2})(?:[.]([0-9]+))?)?',
                                                '[[:space:]]*(?:[Zz]|([-+])([0-9]{2}):([0-9]{2}))?[[:space:]]*)?$') AS p) AS e
                           WHERE TRIM(texto) REGEXP '^[0-9]{4}/[0-9]{2}/[0-9]{2}'
                             AND s REGEXP p) AS g) AS z) AS i
);

-- ---------------------------------------------------------------------------
-- Message log: written by plain INSERT statements, exactly these columns.
CREATE TABLE LOG_MSG (
  LOG_MSG_ID          INT NOT NULL AUTO_INCREMENT,
  TAB_TIPO_MSG_ID     INT,
  USUARIO_INTERNET_ID INT,
  DATA_LOG            VARCHAR(19),
  MSG01               TEXT,
  MSG02               TEXT,
  MSG03               TEXT,
  MSG04               TEXT,
  MSG05               TEXT,
  PRIMARY KEY (LOG_MSG_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- ---------------------------------------------------------------------------
-- Users, branches, operation points and ports.
CREATE TABLE PONTO_OPERACAO (
  PONTO_OPERACAO_ID INT NOT NULL AUTO_INCREMENT,
  NOME              VARCHAR(255) NOT NULL,
  PRIMARY KEY (PONTO_OPERACAO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE FILIAL (
  FILIAL_ID         INT NOT NULL AUTO_INCREMENT,
  NOME              VARCHAR(255) NOT NULL,
  PONTO_OPERACAO_ID INT,
  PRIMARY KEY (FILIAL_ID),
  FOREIGN KEY (PONTO_OPERACAO_ID) REFERENCES PONTO_OPERACAO (PONTO_OPERACAO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE USUARIO_INTERNET (
  USUARIO_INTERNET_ID INT NOT NULL AUTO_INCREMENT,
  LOGIN               VARCHAR(255) NOT NULL,
  NOME                VARCHAR(255) NOT NULL,
  FILIAL_ID           INT,
  PRIMARY KEY (USUARIO_INTERNET_ID),
  UNIQUE (LOGIN),
  FOREIGN KEY (FILIAL_ID) REFERENCES FILIAL (FILIAL_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE PORTO (
  PORTO_ID   INT NOT NULL AUTO_INCREMENT,
  NOME_PORTO VARCHAR(255) NOT NULL,
  SIGLA      VARCHAR(20),
  PRIMARY KEY (PORTO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE FILIAL_PORTO (
  FILIAL_ID INT NOT NULL,
  PORTO_ID  INT NOT NULL,
  PRIMARY KEY (FILIAL_ID, PORTO_ID),
  FOREIGN KEY (FILIAL_ID) REFERENCES FILIAL (FILIAL_ID),
  FOREIGN KEY (PORTO_ID) REFERENCES PORTO (PORTO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- ---------------------------------------------------------------------------
-- Background jobs: identifier counters, job requests and the change log,
-- written by plain statements with exactly the columns the component names.
CREATE TABLE infra_ids (
  LOG_GERADOR_ID INT NOT NULL DEFAULT 0,
  LOG_SISTEMA_ID INT NOT NULL DEFAULT 0
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;
INSERT INTO infra_ids (LOG_GERADOR_ID, LOG_SISTEMA_ID) VALUES (0, 0);

CREATE TABLE LOG_GERADOR (
  LOG_GERADOR_ID      INT NOT NULL AUTO_INCREMENT,
  USUARIO_INTERNET_ID INT,
  FUNCAO_ID           INT,
  TITULO_EMAIL        TEXT,
  FLAG_ENVIA_EMAIL    VARCHAR(255),
  TEXTO_EMAIL         MEDIUMTEXT,
  ENDERECO_EMAIL      TEXT,
  Tab_Status_JOB_ID   INT,
  Data_Inicio         VARCHAR(19),
  Email_Remetente     TEXT,
  Endereco_anexo      TEXT,
  TXT_QUERY           MEDIUMTEXT,
  PRIMARY KEY (LOG_GERADOR_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE LOG_SISTEMA (
  LOG_SISTEMA_ID    INT NOT NULL AUTO_INCREMENT,
  TABELA_SISTEMA_ID INT,
  TAB_TIPO_ACAO_ID  INT,
  USUARIO_ID        INT,
  registro_id       INT,
  data_log          VARCHAR(19),
  PRIMARY KEY (LOG_SISTEMA_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- ---------------------------------------------------------------------------
-- Service orders for closing.
-- A service order (ORDEM_SERVICO) is issued to a carrier for one transport; it
-- is done as one or more service-type records (ORDEM_SERVICO_TIPO, one per
-- service type), and it is each of those that is loaded, closed and paid.
-- Terminals, distribution centres and carriers are all suppliers (FORNECEDOR);
-- a terminal has its own row in TERMINAL as well.

CREATE TABLE TAB_TIPO_ORDEM_SERVICO (
  TAB_TIPO_ORDEM_SERVICO_ID INT NOT NULL AUTO_INCREMENT,
  DESCRICAO                 VARCHAR(255) NOT NULL,
  -- 'S': the closing must carry the transport document number.
  FLAG_NUM_DOCTO            VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (FLAG_NUM_DOCTO IN ('S', 'N')),
  PRIMARY KEY (TAB_TIPO_ORDEM_SERVICO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE TAB_TIPO_SERVICO (
  TAB_TIPO_SERVICO_ID INT NOT NULL AUTO_INCREMENT,
  DESCRICAO           VARCHAR(255) NOT NULL,
  PRIMARY KEY (TAB_TIPO_SERVICO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE TAB_STATUS_PAGTO_OS (
  TAB_STATUS_PAGTO_OS_ID   INT NOT NULL AUTO_INCREMENT,
  DESC_TAB_STATUS_PAGTO_OS VARCHAR(255) NOT NULL,
  -- 'S' once the order has gone to payment: the front end then locks the closing.
  INDIC_OS_EM_PAGAMENTO    VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (INDIC_OS_EM_PAGAMENTO IN ('S', 'N')),
  PRIMARY KEY (TAB_STATUS_PAGTO_OS_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- State of a service-type record; a closing moves it to 2.
CREATE TABLE TAB_STATUS_OS_TIPO (
  TAB_STATUS_OS_TIPO_ID INT NOT NULL AUTO_INCREMENT,
  DESCRICAO             VARCHAR(255) NOT NULL,
  PRIMARY KEY (TAB_STATUS_OS_TIPO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- Transport document kinds (CTAC, CT-e, invoice, ...).
CREATE TABLE TAB_TIPO_DOCTO (
  TAB_TIPO_DOCTO_ID INT NOT NULL AUTO_INCREMENT,
  SIGLA             VARCHAR(20) NOT NULL,
  DESCRICAO         VARCHAR(255) NOT NULL,
  -- 'S': a bill of the transport itself (CTAC, CT-e). Tracking events are
  -- reported against these; customs declarations and invoices travel along.
  FLAG_CONHECIMENTO VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (FLAG_CONHECIMENTO IN ('S', 'N')),
  PRIMARY KEY (TAB_TIPO_DOCTO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE FORNECEDOR (
  FORNECEDOR_ID      INT NOT NULL AUTO_INCREMENT,
  NOME               VARCHAR(255) NOT NULL,
  CNPJ               VARCHAR(30),
  -- 'T' carrier, 'R' terminal, 'C' distribution centre.
  TIPO_FORNECEDOR    VARCHAR(1) NOT NULL CHECK (TIPO_FORNECEDOR IN ('T', 'R', 'C')),
  CIDADE             VARCHAR(255),
  UF                 VARCHAR(2),
  -- 'S': the carrier must hand back the signed receipt stub of each delivery.
  FLAG_CONTR_CANHOTO VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (FLAG_CONTR_CANHOTO IN ('S', 'N')),
  ATIVO              VARCHAR(1) NOT NULL DEFAULT 'S' CHECK (ATIVO IN ('S', 'N')),
  PRIMARY KEY (FORNECEDOR_ID),
  UNIQUE (CNPJ)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE TERMINAL (
  FORNECEDOR_ID           INT NOT NULL,
  SIGLA                   VARCHAR(20) NOT NULL,
  PORTO_ID                INT,
  -- 'CY' empty-container yard, 'PORTO' quay terminal, 'ICT' inland terminal, 'CD' distribution centre.
  TIPO_TERMINAL           VARCHAR(5) NOT NULL CHECK (TIPO_TERMINAL IN ('CY', 'PORTO', 'ICT', 'CD')),
  INDIC_TERMINAL_INTERIOR VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (INDIC_TERMINAL_INTERIOR IN ('S', 'N')),
  PRIMARY KEY (FORNECEDOR_ID),
  FOREIGN KEY (FORNECEDOR_ID) REFERENCES FORNECEDOR (FORNECEDOR_ID),
  FOREIGN KEY (PORTO_ID) REFERENCES PORTO (PORTO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE ORDEM_SERVICO (
  ORDEM_SERVICO_ID          INT NOT NULL AUTO_INCREMENT,
  NUM_OS                    VARCHAR(30) NOT NULL,
  TAB_TIPO_ORDEM_SERVICO_ID INT NOT NULL,
  FORNECEDOR_ID             INT,  -- the carrier
  PORTO_ID                  INT,
  TERMINAL_VAZIO_ID         INT,  -- where the empty container is taken or returned
  TERMINAL_CHEIO_ID         INT,  -- where the full container is taken or delivered
  -- 'S': cargo that passes a distribution centre goes on to the receiver the
  -- same day, without being stored there. The centres are in ORDEM_SERVICO_CD.
  FLAG_ENTREGA_DIRETA       VARCHAR(1) CHECK (FLAG_ENTREGA_DIRETA IN ('S', 'N')),
  TAB_STATUS_PAGTO_OS_ID    INT NOT NULL DEFAULT 1,
  -- 'S': the transport travels under transport documents (CTAC) of its containers.
  FLAG_CTAC                 VARCHAR(1) CHECK (FLAG_CTAC IN ('S', 'N')),
  DATA_EMISSAO              VARCHAR(19) NOT NULL,
  DATA_SERVICO              VARCHAR(19),  -- the date the service was booked for
  -- How many days before the issue date the execution may have started.
  DIAS_TOLERANCIA           INT NOT NULL DEFAULT 0,
  EMBARCADOR                VARCHAR(255),  -- shipper or consignee, as printed on the order
  OBSERVACAO                TEXT,
  USUARIO_EMISSAO_ID        INT,
  PRIMARY KEY (ORDEM_SERVICO_ID),
  UNIQUE (NUM_OS),
  FOREIGN KEY (TAB_TIPO_ORDEM_SERVICO_ID) REFERENCES TAB_TIPO_ORDEM_SERVICO (TAB_TIPO_ORDEM_SERVICO_ID),
  FOREIGN KEY (FORNECEDOR_ID) REFERENCES FORNECEDOR (FORNECEDOR_ID),
  FOREIGN KEY (PORTO_ID) REFERENCES PORTO (PORTO_ID),
  FOREIGN KEY (TERMINAL_VAZIO_ID) REFERENCES TERMINAL (FORNECEDOR_ID),
  FOREIGN KEY (TERMINAL_CHEIO_ID) REFERENCES TERMINAL (FORNECEDOR_ID),
  FOREIGN KEY (TAB_STATUS_PAGTO_OS_ID) REFERENCES TAB_STATUS_PAGTO_OS (TAB_STATUS_PAGTO_OS_ID),
  FOREIGN KEY (USUARIO_EMISSAO_ID) REFERENCES USUARIO_INTERNET (USUARIO_INTERNET_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- One service type of one order: the record that is loaded, closed and paid.
CREATE TABLE ORDEM_SERVICO_TIPO (
  ORDEM_SERVICO_TIPO_ID  INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_ID       INT NOT NULL,
  TAB_TIPO_SERVICO_ID    INT NOT NULL,
  TAB_STATUS_OS_TIPO_ID  INT NOT NULL DEFAULT 1,
  VALOR_SERVICO          DOUBLE,
  -- Written by the closing.
  DATA_INI_EXECUCAO      VARCHAR(19),
  DATA_FIM_EXECUCAO      VARCHAR(19),
  DATA_RETIRADA_TERMINAL VARCHAR(19),
  DATA_ENTREGA_TERMINAL  VARCHAR(19),
  PLACA                  VARCHAR(255),  -- tractor plate
  TAB_TIPO_DOCTO_ID      INT,
  ID_SISTEMA_EXTERNO     VARCHAR(255),  -- transport document number
  DATA_FECHAMENTO        VARCHAR(19),
  USUARIO_FECHAMENTO_ID  INT,
  PRIMARY KEY (ORDEM_SERVICO_TIPO_ID),
  UNIQUE (ORDEM_SERVICO_ID, TAB_TIPO_SERVICO_ID),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID),
  FOREIGN KEY (TAB_TIPO_SERVICO_ID) REFERENCES TAB_TIPO_SERVICO (TAB_TIPO_SERVICO_ID),
  FOREIGN KEY (TAB_STATUS_OS_TIPO_ID) REFERENCES TAB_STATUS_OS_TIPO (TAB_STATUS_OS_TIPO_ID),
  FOREIGN KEY (TAB_TIPO_DOCTO_ID) REFERENCES TAB_TIPO_DOCTO (TAB_TIPO_DOCTO_ID),
  FOREIGN KEY (USUARIO_FECHAMENTO_ID) REFERENCES USUARIO_INTERNET (USUARIO_INTERNET_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

CREATE TABLE TAB_TIPO_CONTAINER (
  TAB_TIPO_CONTAINER_ID INT NOT NULL AUTO_INCREMENT,
  SIGLA                 VARCHAR(20) NOT NULL,  -- 20DC, 40HC, ...
  CODIGO_ISO            VARCHAR(4),            -- ISO 6346 size and type code: 22G1, 45G1, ...
  DESCRICAO             VARCHAR(255) NOT NULL,
  TARA_PADRAO           DOUBLE,
  PRIMARY KEY (TAB_TIPO_CONTAINER_ID),
  UNIQUE (SIGLA)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- The container register: one row per container number (ISO 6346, with its
-- check digit), kept in capitals. The number is unique whatever its case: two
-- closings that register the same new container at once must end with one row.
CREATE TABLE CONTAINER (
  CONTAINER_ID          INT NOT NULL AUTO_INCREMENT,
  NUM_CONTAINER         VARCHAR(255) CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci NOT NULL,
  TAB_TIPO_CONTAINER_ID INT,
  TARA                  DOUBLE,
  DATA_CADASTRO         VARCHAR(19),
  USUARIO_CADASTRO_ID   INT,
  DATA_ALTERACAO        VARCHAR(19),
  USUARIO_ALTERACAO_ID  INT,
  PRIMARY KEY (CONTAINER_ID),
  UNIQUE (NUM_CONTAINER),
  FOREIGN KEY (TAB_TIPO_CONTAINER_ID) REFERENCES TAB_TIPO_CONTAINER (TAB_TIPO_CONTAINER_ID),
  FOREIGN KEY (USUARIO_CADASTRO_ID) REFERENCES USUARIO_INTERNET (USUARIO_INTERNET_ID),
  FOREIGN KEY (USUARIO_ALTERACAO_ID) REFERENCES USUARIO_INTERNET (USUARIO_INTERNET_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- The schedule of one container of an order; the closing observation is kept here.
CREATE TABLE AGEND_CONTAINER (
  AGEND_CONTAINER_ID    INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_ID      INT NOT NULL,
  TAB_TIPO_CONTAINER_ID INT,
  DATA_AGENDAMENTO      VARCHAR(19),
  LOCAL_AGENDAMENTO     VARCHAR(255),
  OBSERV                TEXT,
  DATA_ALTERACAO        VARCHAR(19),
  USUARIO_ALTERACAO_ID  INT,
  PRIMARY KEY (AGEND_CONTAINER_ID),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID),
  FOREIGN KEY (TAB_TIPO_CONTAINER_ID) REFERENCES TAB_TIPO_CONTAINER (TAB_TIPO_CONTAINER_ID),
  FOREIGN KEY (USUARIO_ALTERACAO_ID) REFERENCES USUARIO_INTERNET (USUARIO_INTERNET_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- One container line of an order: what the carrier reports for it at closing.
-- CONTAINER_ID stays empty until the container is known.
CREATE TABLE SOLICIT_EMBARQUE_CONTAINER (
  SOLICIT_EMBARQUE_CONTAINER_ID INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_ID              INT NOT NULL,
  AGEND_CONTAINER_ID            INT,
  CONTAINER_ID                  INT,
  TAB_TIPO_CONTAINER_ID         INT,
  NUM_LACRE_CIA_MARITIMA        VARCHAR(255),
  NUM_LACRE_RECEITA_FEDERAL     VARCHAR(255),
  NUM_LACRE_MIN_SAUDE           VARCHAR(255),
  TARA                          DOUBLE,
  PESO_CARGA                    DOUBLE,
  VALOR_NF                      DOUBLE,
  DATA_ALTERACAO                VARCHAR(19),
  USUARIO_ALTERACAO_ID          INT,
  PRIMARY KEY (SOLICIT_EMBARQUE_CONTAINER_ID),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID),
  FOREIGN KEY (AGEND_CONTAINER_ID) REFERENCES AGEND_CONTAINER (AGEND_CONTAINER_ID),
  FOREIGN KEY (CONTAINER_ID) REFERENCES CONTAINER (CONTAINER_ID),
  FOREIGN KEY (TAB_TIPO_CONTAINER_ID) REFERENCES TAB_TIPO_CONTAINER (TAB_TIPO_CONTAINER_ID),
  FOREIGN KEY (USUARIO_ALTERACAO_ID) REFERENCES USUARIO_INTERNET (USUARIO_INTERNET_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- Transport documents (CTAC and the like), one or more per container line.
CREATE TABLE DOCTO_TRANSPORTE (
  DOCTO_TRANSPORTE_ID           INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_ID              INT NOT NULL,
  SOLICIT_EMBARQUE_CONTAINER_ID INT,
  TAB_TIPO_DOCTO_ID             INT NOT NULL,
  NUM_DOCTO                     VARCHAR(255) NOT NULL,
  SERIE                         VARCHAR(20),
  DATA_EMISSAO                  VARCHAR(19),
  VALOR_FRETE                   DOUBLE,
  PRIMARY KEY (DOCTO_TRANSPORTE_ID),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID),
  FOREIGN KEY (SOLICIT_EMBARQUE_CONTAINER_ID)
    REFERENCES SOLICIT_EMBARQUE_CONTAINER (SOLICIT_EMBARQUE_CONTAINER_ID),
  FOREIGN KEY (TAB_TIPO_DOCTO_ID) REFERENCES TAB_TIPO_DOCTO (TAB_TIPO_DOCTO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- The distribution centres an order's cargo passes. 'C': the centre where the
-- pickups are gathered (its terminal is where fractional pickups arrive);
-- 'E': a centre the cargo is delivered from.
CREATE TABLE ORDEM_SERVICO_CD (
  ORDEM_SERVICO_ID       INT NOT NULL,
  CENTRO_DISTRIBUICAO_ID INT NOT NULL,
  INDIC_COLETA_ENTREGA   VARCHAR(1) NOT NULL CHECK (INDIC_COLETA_ENTREGA IN ('C', 'E')),
  PRIMARY KEY (ORDEM_SERVICO_ID, CENTRO_DISTRIBUICAO_ID, INDIC_COLETA_ENTREGA),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID),
  FOREIGN KEY (CENTRO_DISTRIBUICAO_ID) REFERENCES TERMINAL (FORNECEDOR_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- Invoices (notas fiscais) of fractional cargo: a delivery is always of one invoice.
CREATE TABLE NOTA_FISCAL (
  NOTA_FISCAL_ID   INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_ID INT NOT NULL,
  NUM_NOTA         VARCHAR(255) NOT NULL,
  SERIE            VARCHAR(20),
  DATA_EMISSAO     VARCHAR(19),
  CNPJ_EMITENTE    VARCHAR(30),
  DESTINATARIO     VARCHAR(255) NOT NULL,
  CIDADE           VARCHAR(255),
  UF               VARCHAR(2),
  QTDE_VOLUMES     INT,
  PESO             DOUBLE,
  VALOR            DOUBLE,
  PRIMARY KEY (NOTA_FISCAL_ID),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- The pickups ('C') and deliveries ('E') of a fractional order.
CREATE TABLE AGENDAMENTO_FRAC (
  AGENDAMENTO_FRAC_ID  INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_ID     INT NOT NULL,
  INDIC_COLETA_ENTREGA VARCHAR(1) NOT NULL CHECK (INDIC_COLETA_ENTREGA IN ('C', 'E')),
  NOTA_FISCAL_ID       INT,
  DATA_AGENDAMENTO     VARCHAR(19),
  ENDERECO             VARCHAR(255),
  QTDE_VOLUMES         INT,
  PRIMARY KEY (AGENDAMENTO_FRAC_ID),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID),
  FOREIGN KEY (NOTA_FISCAL_ID) REFERENCES NOTA_FISCAL (NOTA_FISCAL_ID),
  -- Delivery tracking is kept by invoice, so a delivery without one could not be tracked.
  CHECK (INDIC_COLETA_ENTREGA = 'C' OR NOTA_FISCAL_ID IS NOT NULL)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

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
  TAB_TIPO_INCIDENTE_ID INT NOT NULL AUTO_INCREMENT,
  DESCRICAO             VARCHAR(255) NOT NULL,
  FLAG_CONTR_CANHOTO    VARCHAR(1) NOT NULL DEFAULT 'N' CHECK (FLAG_CONTR_CANHOTO IN ('S', 'N')),
  FLAG_TIPO_CADASTRO    VARCHAR(1) NOT NULL DEFAULT 'M' CHECK (FLAG_TIPO_CADASTRO IN ('M', 'A')),
  FLAG_ATIVO            VARCHAR(1) NOT NULL DEFAULT 'S' CHECK (FLAG_ATIVO IN ('S', 'N')),
  PRIMARY KEY (TAB_TIPO_INCIDENTE_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- The order types each incident type applies to. The order type is kept by
-- value: the order type table belongs to the service orders.
CREATE TABLE TAB_TIPO_INCIDENTE_TIPO_OS (
  TAB_TIPO_INCIDENTE_ID     INT NOT NULL,
  TAB_TIPO_ORDEM_SERVICO_ID INT NOT NULL,
  PRIMARY KEY (TAB_TIPO_INCIDENTE_ID, TAB_TIPO_ORDEM_SERVICO_ID),
  FOREIGN KEY (TAB_TIPO_INCIDENTE_ID) REFERENCES TAB_TIPO_INCIDENTE (TAB_TIPO_INCIDENTE_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- The incidents recorded against a service-order type record (by value: the
-- record's ORDEM_SERVICO_TIPO_ID). Recording replaces every row of the record.
-- The flags and the justification are what the checklist's lists carried,
-- whatever they hold.
CREATE TABLE INCIDENTE_OS (
  INCIDENTE_OS_ID       INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_TIPO_ID INT NOT NULL,
  TAB_TIPO_INCIDENTE_ID INT NOT NULL,
  FLAG_SELECIONADO      TEXT NOT NULL,
  JUSTIFICATIVA         TEXT,
  FLAG_TIPO_CADASTRO    TEXT,
  USUARIO_INTERNET_ID   INT,
  DATA_INCLUSAO         VARCHAR(19) NOT NULL,
  PRIMARY KEY (INCIDENTE_OS_ID),
  UNIQUE (ORDEM_SERVICO_TIPO_ID, TAB_TIPO_INCIDENTE_ID),
  FOREIGN KEY (TAB_TIPO_INCIDENTE_ID) REFERENCES TAB_TIPO_INCIDENTE (TAB_TIPO_INCIDENTE_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- The general observation written with the incidents of a record.
CREATE TABLE OBSERVACAO_INCIDENTE_OS (
  ORDEM_SERVICO_TIPO_ID INT NOT NULL,
  OBSERVACAO            TEXT,
  USUARIO_INTERNET_ID   INT,
  DATA_ALTERACAO        VARCHAR(19) NOT NULL,
  PRIMARY KEY (ORDEM_SERVICO_TIPO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- Work table of SP_036_INC_INCIDENTE3 on the embedded engine. The procedure
-- here walks its packed lists in variables, so the table stays empty; it is
-- kept so that both databases have the same tables.
CREATE TABLE INCIDENTE_OS_CARGA (
  LISTA   VARCHAR(20) NOT NULL,
  POSICAO INT NOT NULL,
  ITEM    TEXT,
  PRIMARY KEY (LISTA, POSICAO)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- ---------------------------------------------------------------------------
-- Tracking.
-- The events a transport goes through, as the tracking screens name them.
CREATE TABLE TAB_EVENTO_TRACKING (
  TAB_EVENTO_TRACKING_ID INT NOT NULL AUTO_INCREMENT,
  DESCRICAO              VARCHAR(255) NOT NULL,
  PRIMARY KEY (TAB_EVENTO_TRACKING_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- System parameters: one value per code. The closing knows its tracking
-- steps by code (1324, 1325, ...); each company decides in PARAMETRO which
-- event a step records, so two steps may share an event.
CREATE TABLE PARAMETRO_SISTEMA (
  PARAMETRO_SISTEMA_ID INT NOT NULL AUTO_INCREMENT,
  DESCRICAO            VARCHAR(255) NOT NULL,
  PARAMETRO            VARCHAR(255),
  PRIMARY KEY (PARAMETRO_SISTEMA_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;

-- One tracking event. Full-container events belong to a container request and,
-- for the order types that travel under them, to one of its transport bills;
-- fractional events belong to a pickup schedule or to a delivered invoice.
CREATE TABLE TRACKING (
  TRACKING_ID                   INT NOT NULL AUTO_INCREMENT,
  ORDEM_SERVICO_ID              INT NOT NULL,
  SOLICIT_EMBARQUE_CONTAINER_ID INT,
  DOCTO_TRANSPORTE_ID           INT,  -- the CTAC
  AGENDAMENTO_FRAC_ID           INT,
  NOTA_FISCAL_ID                INT,
  TAB_EVENTO_TRACKING_ID        INT NOT NULL,
  TERMINAL_ID                   INT,
  DATA_EVENTO                   VARCHAR(19) NOT NULL,
  HORA_EVENTO                   VARCHAR(255),  -- the hour as the carrier reported it, hh:mm
  EMPRESA_ID                    INT,
  USUARIO_INTERNET_ID           INT,
  DATA_INCLUSAO                 VARCHAR(19) NOT NULL,
  PRIMARY KEY (TRACKING_ID),
  FOREIGN KEY (ORDEM_SERVICO_ID) REFERENCES ORDEM_SERVICO (ORDEM_SERVICO_ID),
  FOREIGN KEY (SOLICIT_EMBARQUE_CONTAINER_ID)
    REFERENCES SOLICIT_EMBARQUE_CONTAINER (SOLICIT_EMBARQUE_CONTAINER_ID),
  FOREIGN KEY (DOCTO_TRANSPORTE_ID) REFERENCES DOCTO_TRANSPORTE (DOCTO_TRANSPORTE_ID),
  FOREIGN KEY (AGENDAMENTO_FRAC_ID) REFERENCES AGENDAMENTO_FRAC (AGENDAMENTO_FRAC_ID),
  FOREIGN KEY (NOTA_FISCAL_ID) REFERENCES NOTA_FISCAL (NOTA_FISCAL_ID),
  FOREIGN KEY (TAB_EVENTO_TRACKING_ID) REFERENCES TAB_EVENTO_TRACKING (TAB_EVENTO_TRACKING_ID),
  FOREIGN KEY (TERMINAL_ID) REFERENCES TERMINAL (FORNECEDOR_ID),
  FOREIGN KEY (USUARIO_INTERNET_ID) REFERENCES USUARIO_INTERNET (USUARIO_INTERNET_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;
CREATE INDEX TRACKING_OS ON TRACKING (ORDEM_SERVICO_ID);
CREATE INDEX TRACKING_AGENDAMENTO_FRAC ON TRACKING (AGENDAMENTO_FRAC_ID);
CREATE INDEX TRACKING_NOTA_FISCAL ON TRACKING (NOTA_FISCAL_ID);

-- ---------------------------------------------------------------------------
-- Background job functions. 2266 processes a new tracking event; the closing
-- requests it by number.
CREATE TABLE FUNCAO (
  FUNCAO_ID INT NOT NULL AUTO_INCREMENT,
  DESCRICAO VARCHAR(255) NOT NULL,
  PRIMARY KEY (FUNCAO_ID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;
INSERT INTO FUNCAO (FUNCAO_ID, DESCRICAO) VALUES
  (2266, 'Processamento de evento de tracking');

-- ---------------------------------------------------------------------------
-- Work table of the writing procedures on the embedded engine. Here each
-- procedure keeps its refusal in variables, so the table stays empty; it is
-- kept so that both databases have the same tables.
CREATE TABLE RECUSA_CHAMADA (
  POSICAO INT NOT NULL,
  RETORNO INT NOT NULL,
  MSG_RET TEXT NOT NULL,
  PRIMARY KEY (POSICAO)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4 COLLATE=utf8mb4_bin;
