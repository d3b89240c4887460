-- params: Solicit_Embarque_Container_ID, Empresa_ID, Data_Evento, Hora_Evento, Ordem_Servico_ID, Usuario_internet_id, Parametro, Terminal_ID, Docto_Transporte_ID
-- Records one tracking event of a full-container closing. Parametro is the
-- event, as the system parameter of the closing step names it. The container
-- request, when given, must be of the order, and the transport bill of the
-- request (or, for an order-level event, of the order). The date comes as
-- 'yyyy/mm/dd hh:mm' and is stored with seconds, read as DATA_INFORMADA reads
-- it; the hour is kept as typed.
--
-- Answers retorno 0 and the new tracking_id, or 1 with the reason in Msg_Ret
-- and nothing written. The first refusal found, in the order below, is the
-- one answered.
--
-- A new event takes the next id after the highest one, as the embedded engine
-- gives it; the highest id is read with a lock, and an insert that loses the
-- id to another closing (duplicate key) takes the next one. The order's row
-- is locked first, so that writers of one order take turns as they do on the
-- embedded engine (the new row's references lock the rows they name, after
-- the order's); the checks read without locks.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_VLM_INC_TRACKING7(IN p_Solicit_Embarque_Container_ID INT,
                                      IN p_Empresa_ID INT,
                                      IN p_Data_Evento TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                      IN p_Hora_Evento TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                      IN p_Ordem_Servico_ID INT,
                                      IN p_Usuario_internet_id INT,
                                      IN p_Parametro INT,
                                      IN p_Terminal_ID INT,
                                      IN p_Docto_Transporte_ID INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_data VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT DATA_INFORMADA(p_Data_Evento);
  DECLARE v_tracking_id INT;
  DECLARE v_duplicado BOOLEAN;
  DECLARE v_ordem, v_solicitacao, v_ctac, v_evento, v_terminal, v_usuario BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_VLM_INC_TRACKING7;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_VLM_INC_TRACKING7;
  END IF;

  SELECT COUNT(*) > 0 INTO v_ordem
    FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = p_Ordem_Servico_ID FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER
                  WHERE SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID
                    AND ORDEM_SERVICO_ID = p_Ordem_Servico_ID),
         EXISTS (SELECT 1 FROM DOCTO_TRANSPORTE
                  WHERE DOCTO_TRANSPORTE_ID = p_Docto_Transporte_ID
                    AND ORDEM_SERVICO_ID = p_Ordem_Servico_ID
                    AND (p_Solicit_Embarque_Container_ID IS NULL
                         OR SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID)),
         EXISTS (SELECT 1 FROM TAB_EVENTO_TRACKING WHERE TAB_EVENTO_TRACKING_ID = p_Parametro),
         EXISTS (SELECT 1 FROM TERMINAL WHERE FORNECEDOR_ID = p_Terminal_ID),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_solicitacao, v_ctac, v_evento, v_terminal, v_usuario;

  IF NOT v_ordem THEN
    SET v_recusa = IF(p_Ordem_Servico_ID IS NULL, 'Ordem de serviço não informada.',
                      CONCAT('Ordem de serviço não cadastrada: ', p_Ordem_Servico_ID, '.'));
  ELSEIF NOT v_evento THEN
    SET v_recusa = IF(p_Parametro IS NULL, 'Evento de tracking não informado.',
                      CONCAT('Evento de tracking não cadastrado: ', p_Parametro, '.'));
  ELSEIF p_Data_Evento IS NULL THEN
    SET v_recusa = 'Informe a data do evento.';
  ELSEIF v_data IS NULL THEN
    SET v_recusa = CONCAT('Data do evento inválida: ', p_Data_Evento, '.');
  ELSEIF p_Solicit_Embarque_Container_ID IS NOT NULL AND p_Ordem_Servico_ID IS NOT NULL AND NOT v_solicitacao THEN
    SET v_recusa = CONCAT('Solicitação de embarque do container ', p_Solicit_Embarque_Container_ID,
                          ' não cadastrada na ordem de serviço ', p_Ordem_Servico_ID, '.');
  ELSEIF p_Docto_Transporte_ID IS NOT NULL AND NOT v_ctac THEN
    SET v_recusa = CONCAT('CTAC ', p_Docto_Transporte_ID, ' não cadastrado para o container da ordem de serviço.');
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
        INSERT INTO TRACKING (TRACKING_ID, ORDEM_SERVICO_ID, SOLICIT_EMBARQUE_CONTAINER_ID, DOCTO_TRANSPORTE_ID,
                              TAB_EVENTO_TRACKING_ID, TERMINAL_ID, DATA_EVENTO, HORA_EVENTO, EMPRESA_ID,
                              USUARIO_INTERNET_ID, DATA_INCLUSAO)
        VALUES (v_tracking_id, p_Ordem_Servico_ID, p_Solicit_Embarque_Container_ID, p_Docto_Transporte_ID,
                p_Parametro, p_Terminal_ID, v_data, p_Hora_Evento, p_Empresa_ID,
                p_Usuario_internet_id, GETDATE());
      END;
      IF NOT v_duplicado THEN
        LEAVE evento;
      END IF;
    END LOOP;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_VLM_INC_TRACKING7;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret,
         v_tracking_id                                AS tracking_id;
END
