-- params: Nota_Fiscal_ID, Empresa_ID, Data_Evento, Hora_Evento, Usuario_internet_id, Parametro, Terminal_ID
-- Records the tracking event of a delivery of a fractional order, kept by its
-- invoice (the order is the invoice's). The date comes as
-- 'yyyy/mm/dd hh:mm' and is stored with seconds, read as DATA_INFORMADA reads
-- it; the hour is kept as typed.
--
-- Answers retorno 0 and the new tracking_id, or 1 with the reason in Msg_Ret
-- and nothing written. The first refusal found, in the order below, is the
-- one answered.
--
-- A new event takes the next id after the highest one, as the embedded engine
-- gives it; the highest id is read with a lock, and an insert that loses the
-- id to another closing (duplicate key) takes the next one. The row of the
-- invoice's order is locked first, so that writers of one order take turns as
-- they do on the embedded engine (the new row's references lock the rows they
-- name, after the order's); the checks read without locks.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_VLM_INC_TRACKING_FRAC_NOTA(IN p_Nota_Fiscal_ID INT,
                                               IN p_Empresa_ID INT,
                                               IN p_Data_Evento TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                               IN p_Hora_Evento TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                               IN p_Usuario_internet_id INT,
                                               IN p_Parametro INT,
                                               IN p_Terminal_ID INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_data VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT DATA_INFORMADA(p_Data_Evento);
  DECLARE v_tracking_id INT;
  DECLARE v_duplicado BOOLEAN;
  DECLARE v_registro, v_evento, v_terminal, v_usuario BOOLEAN;
  DECLARE v_ordem_servico_id INT;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_VLM_INC_TRACKING_FRAC_NOTA;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_VLM_INC_TRACKING_FRAC_NOTA;
  END IF;

  SELECT MAX(ORDEM_SERVICO_ID) INTO v_ordem_servico_id
    FROM NOTA_FISCAL WHERE NOTA_FISCAL_ID = p_Nota_Fiscal_ID;
  SELECT COUNT(*) > 0 INTO v_registro
    FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = v_ordem_servico_id FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM TAB_EVENTO_TRACKING WHERE TAB_EVENTO_TRACKING_ID = p_Parametro),
         EXISTS (SELECT 1 FROM TERMINAL WHERE FORNECEDOR_ID = p_Terminal_ID),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_evento, v_terminal, v_usuario;

  IF NOT v_registro THEN
    SET v_recusa = IF(p_Nota_Fiscal_ID IS NULL, 'Nota fiscal não informada.',
                      CONCAT('Nota fiscal não cadastrada: ', p_Nota_Fiscal_ID, '.'));
  ELSEIF NOT v_evento THEN
    SET v_recusa = IF(p_Parametro IS NULL, 'Evento de tracking não informado.',
                      CONCAT('Evento de tracking não cadastrado: ', p_Parametro, '.'));
  ELSEIF p_Data_Evento IS NULL THEN
    SET v_recusa = 'Informe a data do evento.';
  ELSEIF v_data IS NULL THEN
    SET v_recusa = CONCAT('Data do evento inválida: ', p_Data_Evento, '.');
  ELSEIF p_Terminal_ID IS NOT NULL AND NOT v_terminal THEN
    SET v_recusa = CONCAT('Terminal não cadastrado: ', p_Terminal_ID, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL AND NOT v_usuario THEN
    SET v_recusa = CONCAT('Usuário não cadastrado: ', p_Usuario_internet_id, '.');
  END IF;

  IF v_recusa IS NULL THEN
    evento: LOOP
      SET v_duplicado = FALSE;
      BEGIN
        DECLARE CONTINUE HANDLER FOR 1062 SET v_duplicado = TRUE;
        SELECT COALESCE(MAX(TRACKING_ID), 0) + 1 INTO v_tracking_id FROM TRACKING FOR UPDATE;
        INSERT INTO TRACKING (TRACKING_ID, ORDEM_SERVICO_ID, NOTA_FISCAL_ID, TAB_EVENTO_TRACKING_ID,
                              TERMINAL_ID, DATA_EVENTO, HORA_EVENTO, EMPRESA_ID, USUARIO_INTERNET_ID,
                              DATA_INCLUSAO)
        SELECT v_tracking_id, nf.ORDEM_SERVICO_ID, nf.NOTA_FISCAL_ID, p_Parametro,
               p_Terminal_ID, v_data, p_Hora_Evento, p_Empresa_ID, p_Usuario_internet_id, GETDATE()
          FROM NOTA_FISCAL nf
         WHERE nf.NOTA_FISCAL_ID = p_Nota_Fiscal_ID;
      END;
      IF NOT v_duplicado THEN
        LEAVE evento;
      END IF;
    END LOOP;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_VLM_INC_TRACKING_FRAC_NOTA;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret,
         v_tracking_id                                AS tracking_id;
END
