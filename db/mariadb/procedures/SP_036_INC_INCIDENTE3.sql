-- params: ORDEM_SERVICO_TIPO_ID, FLAG_GRAVA_OBSERVACAO, LISTA_INCIDENTE_ID, OBSERVACAO, LISTA_JUSTIFICATIVA, LISTA_FLAG_SELECIONADO, USUARIO_INTERNET_ID, LISTA_FLAG_TIPO_CADASTRO
-- Records the incident checklist of a service-order type record: replaces the
-- incidents recorded for it with the rows of the packed lists, and stores the
-- general observation when FLAG_GRAVA_OBSERVACAO is 'S'.
--
-- The lists carry one element per chosen row, in row order: incident type ids
-- (","), justifications ("|"), selection flags (",") and registration kinds
-- (","). A list with no text travels as NULL: the ids and flags then mean "no
-- incident at all"; the justifications and kinds mean "none for any row" (one
-- row with an empty justification cannot be told from no rows at all). A type
-- listed twice keeps its last row.
--
-- Answers retorno 0, or retorno 1 with the reason in Msg_Ret and nothing
-- written. The first refusal found, in the order below, is the one answered.
--
-- The lists are walked element by element as bytes, each from where the one
-- before ended: every element is copied whole (NULs and all), and the work
-- grows with the length of the lists, not with its square. As on the embedded
-- engine, a list that is the empty text holds one element that is NULL: an
-- id list '' is refused without a reason, and a selection list '' fails on
-- the NOT NULL flag. The ids are all checked before anything is written, so a
-- refusal leaves no trace, not even a used-up incident id. The record's row
-- is locked first, so that two recordings of one record take turns as they
-- do on the embedded engine; the checks read without locks.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_036_INC_INCIDENTE3(IN p_ORDEM_SERVICO_TIPO_ID INT,
                                       IN p_FLAG_GRAVA_OBSERVACAO TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                       IN p_LISTA_INCIDENTE_ID LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                       IN p_OBSERVACAO TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                       IN p_LISTA_JUSTIFICATIVA LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                       IN p_LISTA_FLAG_SELECIONADO LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                       IN p_USUARIO_INTERNET_ID INT,
                                       IN p_LISTA_FLAG_TIPO_CADASTRO LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusado BOOLEAN DEFAULT FALSE;
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_agora VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT GETDATE();
  -- The lists as bytes, and where the next element of each starts.
  DECLARE b_incidentes LONGBLOB DEFAULT CAST(p_LISTA_INCIDENTE_ID AS BINARY);
  DECLARE b_justificativas LONGBLOB DEFAULT CAST(p_LISTA_JUSTIFICATIVA AS BINARY);
  DECLARE b_selecionados LONGBLOB DEFAULT CAST(p_LISTA_FLAG_SELECIONADO AS BINARY);
  DECLARE b_tipos LONGBLOB DEFAULT CAST(p_LISTA_FLAG_TIPO_CADASTRO AS BINARY);
  DECLARE i_incidente, i_justificativa, i_selecionado, i_tipo BIGINT DEFAULT 1;
  DECLARE v_fim BIGINT;
  -- How many elements each list holds: none when it is NULL.
  DECLARE v_incidentes BIGINT DEFAULT COALESCE(LENGTH(b_incidentes) - LENGTH(REPLACE(b_incidentes, ',', '')) + 1, 0);
  DECLARE v_justificativas BIGINT DEFAULT COALESCE(LENGTH(b_justificativas) - LENGTH(REPLACE(b_justificativas, '|', '')) + 1, 0);
  DECLARE v_selecionados BIGINT DEFAULT COALESCE(LENGTH(b_selecionados) - LENGTH(REPLACE(b_selecionados, ',', '')) + 1, 0);
  DECLARE v_tipos BIGINT DEFAULT COALESCE(LENGTH(b_tipos) - LENGTH(REPLACE(b_tipos, ',', '')) + 1, 0);
  DECLARE v_posicao BIGINT;
  DECLARE v_incidente, v_id, v_justificativa, v_selecionado, v_tipo LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_registro, v_cadastrado BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_036_INC_INCIDENTE3;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_036_INC_INCIDENTE3;
  END IF;

  SELECT COUNT(*) > 0 INTO v_registro
    FROM ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = p_ORDEM_SERVICO_TIPO_ID FOR UPDATE;

  IF p_ORDEM_SERVICO_TIPO_ID IS NULL THEN
    SET v_recusado = TRUE, v_recusa = 'Ordem de serviço tipo não informada.';
  ELSEIF NOT v_registro THEN
    SET v_recusado = TRUE,
        v_recusa = CONCAT('Ordem de serviço tipo não cadastrada: ', p_ORDEM_SERVICO_TIPO_ID, '.');
  ELSEIF v_selecionados <> v_incidentes
      OR (p_LISTA_JUSTIFICATIVA IS NOT NULL AND v_justificativas <> v_incidentes)
      OR (p_LISTA_FLAG_TIPO_CADASTRO IS NOT NULL AND v_tipos <> v_incidentes) THEN
    SET v_recusado = TRUE,
        v_recusa = 'As listas de incidentes, justificativas, seleções e tipos de cadastro não têm o mesmo número de elementos.';
  END IF;

  -- The first id that is not a registered incident type: digits alone
  -- (blanks around them allowed), nothing else.
  SET v_posicao = 1;
  WHILE NOT v_recusado AND v_posicao <= v_incidentes DO
    SET v_fim = LOCATE(',', b_incidentes, i_incidente);
    IF v_fim = 0 THEN
      SET v_fim = LENGTH(b_incidentes) + 1;
    END IF;
    SET v_incidente = IF(LENGTH(b_incidentes) = 0, NULL,
                         CONVERT(SUBSTRING(b_incidentes, i_incidente, v_fim - i_incidente) USING utf8mb4));
    SET i_incidente = v_fim + 1;
    SET v_id = TRIM(v_incidente);
    SET v_cadastrado = FALSE;
    IF v_id <> '' AND v_id NOT REGEXP '[^0-9]' AND LENGTH(TRIM(LEADING '0' FROM v_id)) <= 18 THEN
      SELECT EXISTS (SELECT 1 FROM TAB_TIPO_INCIDENTE WHERE TAB_TIPO_INCIDENTE_ID = CAST(v_id AS UNSIGNED))
        INTO v_cadastrado;
    END IF;
    IF NOT v_cadastrado THEN
      SET v_recusado = TRUE, v_recusa = CONCAT('Tipo de incidente não cadastrado: ', v_incidente, '.');
    END IF;
    SET v_posicao = v_posicao + 1;
  END WHILE;

  IF NOT v_recusado THEN
    DELETE FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = p_ORDEM_SERVICO_TIPO_ID;

    SET v_posicao = 1, i_incidente = 1;
    WHILE v_posicao <= v_incidentes DO
      SET v_fim = LOCATE(',', b_incidentes, i_incidente);
      IF v_fim = 0 THEN
        SET v_fim = LENGTH(b_incidentes) + 1;
      END IF;
      SET v_id = TRIM(CONVERT(SUBSTRING(b_incidentes, i_incidente, v_fim - i_incidente) USING utf8mb4));
      SET i_incidente = v_fim + 1;

      SET v_fim = LOCATE(',', b_selecionados, i_selecionado);
      IF v_fim = 0 THEN
        SET v_fim = LENGTH(b_selecionados) + 1;
      END IF;
      SET v_selecionado = IF(LENGTH(b_selecionados) = 0, NULL,
                             CONVERT(SUBSTRING(b_selecionados, i_selecionado, v_fim - i_selecionado) USING utf8mb4));
      SET i_selecionado = v_fim + 1;

      SET v_justificativa = NULL;
      IF b_justificativas IS NOT NULL THEN
        SET v_fim = LOCATE('|', b_justificativas, i_justificativa);
        IF v_fim = 0 THEN
          SET v_fim = LENGTH(b_justificativas) + 1;
        END IF;
        SET v_justificativa = CONVERT(SUBSTRING(b_justificativas, i_justificativa, v_fim - i_justificativa)
                                      USING utf8mb4);
        SET i_justificativa = v_fim + 1;
      END IF;

      SET v_tipo = NULL;
      IF b_tipos IS NOT NULL THEN
        SET v_fim = LOCATE(',', b_tipos, i_tipo);
        IF v_fim = 0 THEN
          SET v_fim = LENGTH(b_tipos) + 1;
        END IF;
        SET v_tipo = CONVERT(SUBSTRING(b_tipos, i_tipo, v_fim - i_tipo) USING utf8mb4);
        SET i_tipo = v_fim + 1;
      END IF;

      REPLACE INTO INCIDENTE_OS
             (ORDEM_SERVICO_TIPO_ID, TAB_TIPO_INCIDENTE_ID, FLAG_SELECIONADO, JUSTIFICATIVA,
              FLAG_TIPO_CADASTRO, USUARIO_INTERNET_ID, DATA_INCLUSAO)
      VALUES (p_ORDEM_SERVICO_TIPO_ID, CAST(v_id AS UNSIGNED), v_selecionado, NULLIF(v_justificativa, ''),
              NULLIF(v_tipo, ''), p_USUARIO_INTERNET_ID, v_agora);
      SET v_posicao = v_posicao + 1;
    END WHILE;

    IF UPPER_ASCII(TRIM(p_FLAG_GRAVA_OBSERVACAO)) = 'S' THEN
      INSERT INTO OBSERVACAO_INCIDENTE_OS
             (ORDEM_SERVICO_TIPO_ID, OBSERVACAO, USUARIO_INTERNET_ID, DATA_ALTERACAO)
      VALUES (p_ORDEM_SERVICO_TIPO_ID, p_OBSERVACAO, p_USUARIO_INTERNET_ID, v_agora)
          ON DUPLICATE KEY UPDATE OBSERVACAO          = VALUES(OBSERVACAO),
                                  USUARIO_INTERNET_ID = VALUES(USUARIO_INTERNET_ID),
                                  DATA_ALTERACAO      = VALUES(DATA_ALTERACAO);
    END IF;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_036_INC_INCIDENTE3;
  END IF;

  SELECT CASE WHEN v_recusado THEN 1 ELSE 0 END AS retorno,
         v_recusa                                AS Msg_Ret;
END
