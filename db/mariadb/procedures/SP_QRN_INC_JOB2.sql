-- params: Usuario_internet_id, Funcao_ID, Titulo_Email, Flag_Envia_Email, Usuario_Alteracao_ID, Texto_Email, Endereco_Email, Tab_Status_JOB_ID, Email_Remetente, Endereco_anexo, Data_Inicio
-- Queues a request for a background job (its parameters are stored next, by
-- SP_QRN_INCLUI_PARAMETRO_JOB) and writes the change log of the new row, as
-- the component itself does where it writes the row with plain statements.
-- The first user owns the job; the second is the one the change log names.
--
-- Ids come from infra_ids, which the plain-statement path also counts from.
-- The counter row is locked first, so that callers take turns on it and never
-- share an id. A counter found behind the ids already in the table (rows
-- written by other means) is moved past them. The start date comes as
-- 'yyyy/mm/dd hh:mm' and is stored with seconds, read as DATA_INFORMADA reads
-- it.
--
-- Answers retorno 0 and the new LOG_GERADOR_ID, or 1 with the reason in
-- Msg_Ret and nothing written. The first refusal found, in the order below,
-- is the one answered.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller (a job
-- request: the job and its parameters), it joins it behind a savepoint: a
-- failure undoes its own work alone, and the caller commits or rolls back the
-- rest.
CREATE PROCEDURE SP_QRN_INC_JOB2(IN p_Usuario_internet_id INT,
                                 IN p_Funcao_ID INT,
                                 IN p_Titulo_Email TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                 IN p_Flag_Envia_Email TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                 IN p_Usuario_Alteracao_ID INT,
                                 IN p_Texto_Email LONGTEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                 IN p_Endereco_Email TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                 IN p_Tab_Status_JOB_ID INT,
                                 IN p_Email_Remetente TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                 IN p_Endereco_anexo TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                 IN p_Data_Inicio TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_data VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT DATA_INFORMADA(p_Data_Inicio);
  DECLARE v_contadores, v_funcao BOOLEAN;
  DECLARE v_log_gerador_id INT;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_QRN_INC_JOB2;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_QRN_INC_JOB2;
  END IF;

  SELECT COUNT(*) > 0 INTO v_contadores FROM infra_ids FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM FUNCAO WHERE FUNCAO_ID = p_Funcao_ID) INTO v_funcao;

  IF NOT v_funcao THEN
    SET v_recusa = IF(p_Funcao_ID IS NULL, 'Função de JOB não informada.',
                      CONCAT('Função de JOB não cadastrada: ', p_Funcao_ID, '.'));
  ELSEIF p_Flag_Envia_Email NOT IN ('S', 'N') THEN
    SET v_recusa = CONCAT('Indicador de envio de e-mail inválido: ', p_Flag_Envia_Email, ' (S/N).');
  ELSEIF p_Flag_Envia_Email = 'S' AND COALESCE(TRIM(p_Endereco_Email), '') = '' THEN
    SET v_recusa = 'Informe o destinatário do e-mail.';
  ELSEIF p_Data_Inicio IS NOT NULL AND v_data IS NULL THEN
    SET v_recusa = CONCAT('Data de início do JOB inválida: ', p_Data_Inicio, '.');
  ELSEIF NOT v_contadores THEN
    SET v_recusa = 'Não há registro na tabela infra_ids.';
  END IF;

  IF v_recusa IS NULL THEN
    UPDATE infra_ids
       SET LOG_GERADOR_ID = GREATEST(LOG_GERADOR_ID,
                                     COALESCE((SELECT MAX(g.LOG_GERADOR_ID) FROM LOG_GERADOR g), 0)) + 1,
           LOG_SISTEMA_ID = GREATEST(LOG_SISTEMA_ID,
                                     COALESCE((SELECT MAX(s.LOG_SISTEMA_ID) FROM LOG_SISTEMA s), 0)) + 1;

    INSERT INTO LOG_GERADOR (LOG_GERADOR_ID, USUARIO_INTERNET_ID, FUNCAO_ID, TITULO_EMAIL, FLAG_ENVIA_EMAIL,
                             TEXTO_EMAIL, ENDERECO_EMAIL, Tab_Status_JOB_ID, Data_Inicio, Email_Remetente,
                             Endereco_anexo)
    SELECT i.LOG_GERADOR_ID, p_Usuario_internet_id, p_Funcao_ID, p_Titulo_Email, p_Flag_Envia_Email,
           p_Texto_Email, p_Endereco_Email, p_Tab_Status_JOB_ID, v_data, p_Email_Remetente,
           p_Endereco_anexo
      FROM infra_ids i;

    -- 490 is the change-log code of LOG_GERADOR, 1 an inclusion.
    INSERT INTO LOG_SISTEMA (LOG_SISTEMA_ID, TABELA_SISTEMA_ID, TAB_TIPO_ACAO_ID, USUARIO_ID, registro_id, data_log)
    SELECT i.LOG_SISTEMA_ID, 490, 1, COALESCE(p_Usuario_Alteracao_ID, p_Usuario_internet_id), i.LOG_GERADOR_ID,
           GETDATE()
      FROM infra_ids i;

    SELECT MIN(LOG_GERADOR_ID) INTO v_log_gerador_id FROM infra_ids;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_QRN_INC_JOB2;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret,
         v_log_gerador_id                             AS LOG_GERADOR_ID;
END
