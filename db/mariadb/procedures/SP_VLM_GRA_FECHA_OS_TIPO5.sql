-- params: Ordem_Servico_Tipo_ID, Data_Ini_Execucao, Data_Fim_Execucao, Data_Retirada_Terminal, Data_Entrega_Terminal, Tab_Status_OS_Tipo_ID, Placa, Usuario_internet_id, Tab_Tipo_Docto_ID, ID_Sistema_Externo
-- Stores the closing of a service-type record: execution start and end, the
-- terminal times, the state it moves to (the closing passes 2, closed), the
-- tractor plate and the transport document. Once the order has gone to
-- payment its closing is frozen. A terminal time left out keeps what the
-- terminal already reported. When the last open record of an order is
-- closed, the order moves on from awaiting its closing to awaiting checking.
--
-- Dates come as 'yyyy/mm/dd hh:mm' (or with seconds) texts and are stored
-- with seconds, read as DATA_INFORMADA reads them. Answers retorno 0, or 1
-- with the reason in Msg_Ret and nothing written. The first refusal found, in
-- the order below, is the one answered.
--
-- The order's row and then the record's are locked first, so that writers of
-- one order take turns as they do on the embedded engine (two records of one
-- order closed at once both see the other's state); the other checks read
-- without locks.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_VLM_GRA_FECHA_OS_TIPO5(IN p_Ordem_Servico_Tipo_ID INT,
                                           IN p_Data_Ini_Execucao TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                           IN p_Data_Fim_Execucao TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                           IN p_Data_Retirada_Terminal TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                           IN p_Data_Entrega_Terminal TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                           IN p_Tab_Status_OS_Tipo_ID INT,
                                           IN p_Placa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                           IN p_Usuario_internet_id INT,
                                           IN p_Tab_Tipo_Docto_ID INT,
                                           IN p_ID_Sistema_Externo TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_ini VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT DATA_INFORMADA(p_Data_Ini_Execucao);
  DECLARE v_fim VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT DATA_INFORMADA(p_Data_Fim_Execucao);
  DECLARE v_retirada VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT DATA_INFORMADA(p_Data_Retirada_Terminal);
  DECLARE v_entrega VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin DEFAULT DATA_INFORMADA(p_Data_Entrega_Terminal);
  DECLARE v_ordem_servico_id, v_status_os_tipo, v_status_pagamento INT;
  DECLARE v_num_os, v_pagamento TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;
  DECLARE v_situacao, v_tipo_docto, v_usuario BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_VLM_GRA_FECHA_OS_TIPO5;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_VLM_GRA_FECHA_OS_TIPO5;
  END IF;

  SELECT MAX(ORDEM_SERVICO_ID) INTO v_ordem_servico_id
    FROM ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = p_Ordem_Servico_Tipo_ID;
  SELECT MAX(NUM_OS), MAX(TAB_STATUS_PAGTO_OS_ID) INTO v_num_os, v_status_pagamento
    FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = v_ordem_servico_id FOR UPDATE;
  SELECT MAX(TAB_STATUS_OS_TIPO_ID) INTO v_status_os_tipo
    FROM ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = p_Ordem_Servico_Tipo_ID FOR UPDATE;
  -- The payment state's description, when the order has gone to payment.
  SELECT (SELECT DESC_TAB_STATUS_PAGTO_OS FROM TAB_STATUS_PAGTO_OS
           WHERE TAB_STATUS_PAGTO_OS_ID = v_status_pagamento AND INDIC_OS_EM_PAGAMENTO = 'S'),
         EXISTS (SELECT 1 FROM TAB_STATUS_OS_TIPO WHERE TAB_STATUS_OS_TIPO_ID = p_Tab_Status_OS_Tipo_ID),
         EXISTS (SELECT 1 FROM TAB_TIPO_DOCTO WHERE TAB_TIPO_DOCTO_ID = p_Tab_Tipo_Docto_ID),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_pagamento, v_situacao, v_tipo_docto, v_usuario;

  IF v_ordem_servico_id IS NULL THEN
    SET v_recusa = IF(p_Ordem_Servico_Tipo_ID IS NULL, 'Ordem de serviço tipo não informada.',
                      CONCAT('Ordem de serviço tipo não cadastrada: ', p_Ordem_Servico_Tipo_ID, '.'));
  ELSEIF v_status_os_tipo = 3 THEN
    SET v_recusa = 'Ordem de serviço tipo cancelada: o fechamento não pode ser gravado.';
  ELSEIF v_pagamento IS NOT NULL THEN
    SET v_recusa = CONCAT('A ordem de serviço ', v_num_os, ' está ', LOWER_ASCII(v_pagamento),
                          ': o fechamento não pode mais ser alterado.');
  ELSEIF p_Data_Ini_Execucao IS NULL OR p_Data_Fim_Execucao IS NULL THEN
    SET v_recusa = 'Informe a data e a hora de início e de fim da execução.';
  -- The first date that does not read back as typed.
  ELSEIF v_ini IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Ini_Execucao, '.');
  ELSEIF v_fim IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Fim_Execucao, '.');
  ELSEIF p_Data_Retirada_Terminal IS NOT NULL AND v_retirada IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Retirada_Terminal, '.');
  ELSEIF p_Data_Entrega_Terminal IS NOT NULL AND v_entrega IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Entrega_Terminal, '.');
  ELSEIF NOT v_situacao THEN
    SET v_recusa = IF(p_Tab_Status_OS_Tipo_ID IS NULL, 'Situação da ordem de serviço tipo não informada.',
                      CONCAT('Situação da ordem de serviço tipo não cadastrada: ', p_Tab_Status_OS_Tipo_ID, '.'));
  ELSEIF p_Tab_Tipo_Docto_ID IS NOT NULL AND NOT v_tipo_docto THEN
    SET v_recusa = CONCAT('Tipo de documento não cadastrado: ', p_Tab_Tipo_Docto_ID, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL AND NOT v_usuario THEN
    SET v_recusa = CONCAT('Usuário não cadastrado: ', p_Usuario_internet_id, '.');
  END IF;

  IF v_recusa IS NULL THEN
    UPDATE ORDEM_SERVICO_TIPO
       SET DATA_INI_EXECUCAO      = v_ini,
           DATA_FIM_EXECUCAO      = v_fim,
           DATA_RETIRADA_TERMINAL = COALESCE(v_retirada, DATA_RETIRADA_TERMINAL),
           DATA_ENTREGA_TERMINAL  = COALESCE(v_entrega, DATA_ENTREGA_TERMINAL),
           TAB_STATUS_OS_TIPO_ID  = p_Tab_Status_OS_Tipo_ID,
           PLACA                  = UPPER_ASCII(TRIM(p_Placa)),
           USUARIO_FECHAMENTO_ID  = p_Usuario_internet_id,
           TAB_TIPO_DOCTO_ID      = p_Tab_Tipo_Docto_ID,
           ID_SISTEMA_EXTERNO     = p_ID_Sistema_Externo,
           DATA_FECHAMENTO        = GETDATE()
     WHERE ORDEM_SERVICO_TIPO_ID = p_Ordem_Servico_Tipo_ID;

    UPDATE ORDEM_SERVICO os
       SET os.TAB_STATUS_PAGTO_OS_ID = 2
     WHERE os.ORDEM_SERVICO_ID = v_ordem_servico_id
       AND os.TAB_STATUS_PAGTO_OS_ID = 1
       AND NOT EXISTS (SELECT 1 FROM ORDEM_SERVICO_TIPO ost
                        WHERE ost.ORDEM_SERVICO_ID = os.ORDEM_SERVICO_ID
                          AND ost.TAB_STATUS_OS_TIPO_ID = 1);
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_VLM_GRA_FECHA_OS_TIPO5;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret;
END
