-- params: LOG_GERADOR_ID, TXT_QUERY, Usuario_internet_id
-- Stores the parameter text of a queued job and writes the change log of the
-- update, with the same codes as the component's plain-statement path.
-- Answers retorno 0, or 1 with the reason in Msg_Ret and nothing written.
-- The first refusal found, in the order below, is the one answered.
--
-- The counter row of infra_ids is locked first, so that callers, which the
-- component's plain-statement path also counts with, take turns on it.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller (a job
-- request: the job and its parameters), it joins it behind a savepoint: a
-- failure undoes its own work alone, and the caller commits or rolls back the
-- rest.
CREATE PROCEDURE SP_QRN_INCLUI_PARAMETRO_JOB(IN p_LOG_GERADOR_ID INT,
                                             IN p_TXT_QUERY LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                             IN p_Usuario_internet_id INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_contadores, v_job BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_QRN_INCLUI_PARAMETRO_JOB;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_QRN_INCLUI_PARAMETRO_JOB;
  END IF;

  SELECT COUNT(*) > 0 INTO v_contadores FROM infra_ids FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM LOG_GERADOR WHERE LOG_GERADOR_ID = p_LOG_GERADOR_ID) INTO v_job;

  IF NOT v_job THEN
    SET v_recusa = IF(p_LOG_GERADOR_ID IS NULL, 'JOB não informado.',
                      CONCAT('JOB não cadastrado: ', p_LOG_GERADOR_ID, '.'));
  ELSEIF NOT v_contadores THEN
    SET v_recusa = 'Não há registro na tabela infra_ids.';
  END IF;

  IF v_recusa IS NULL THEN
    UPDATE LOG_GERADOR
       SET TXT_QUERY = p_TXT_QUERY
     WHERE LOG_GERADOR_ID = p_LOG_GERADOR_ID;

    UPDATE infra_ids
       SET LOG_SISTEMA_ID = GREATEST(LOG_SISTEMA_ID,
                                     COALESCE((SELECT MAX(s.LOG_SISTEMA_ID) FROM LOG_SISTEMA s), 0)) + 1;

    -- 490 is the change-log code of LOG_GERADOR, 1 an inclusion.
    INSERT INTO LOG_SISTEMA (LOG_SISTEMA_ID, TABELA_SISTEMA_ID, TAB_TIPO_ACAO_ID, USUARIO_ID, registro_id, data_log)
    SELECT i.LOG_SISTEMA_ID, 490, 1, p_Usuario_internet_id, p_LOG_GERADOR_ID, GETDATE()
      FROM infra_ids i;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_QRN_INCLUI_PARAMETRO_JOB;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret;
END
