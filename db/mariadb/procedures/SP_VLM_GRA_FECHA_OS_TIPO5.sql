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
  DECLARE v_ini, v_fim, v_retirada, v_entrega VARCHAR(19) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;
  DECLARE v_ordem_servico_id INT;
  DECLARE v_status_os_tipo INT;
  DECLARE v_num_os, v_pagamento TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    ROLLBACK;
    RESIGNAL;
  END;

  START TRANSACTION;

  SET v_ini = DATA_INFORMADA(p_Data_Ini_Execucao),
      v_fim = DATA_INFORMADA(p_Data_Fim_Execucao),
      v_retirada = DATA_INFORMADA(p_Data_Retirada_Terminal),
      v_entrega = DATA_INFORMADA(p_Data_Entrega_Terminal);
  SET v_ordem_servico_id = (SELECT ORDEM_SERVICO_ID FROM ORDEM_SERVICO_TIPO
                             WHERE ORDEM_SERVICO_TIPO_ID = p_Ordem_Servico_Tipo_ID),
      v_status_os_tipo = (SELECT TAB_STATUS_OS_TIPO_ID FROM ORDEM_SERVICO_TIPO
                           WHERE ORDEM_SERVICO_TIPO_ID = p_Ordem_Servico_Tipo_ID);
  -- The payment state's description, when the order has gone to payment.
  SET v_num_os = (SELECT os.NUM_OS FROM ORDEM_SERVICO os
                   WHERE os.ORDEM_SERVICO_ID = v_ordem_servico_id),
      v_pagamento = (SELECT sp.DESC_TAB_STATUS_PAGTO_OS
                       FROM ORDEM_SERVICO os
                       JOIN TAB_STATUS_PAGTO_OS sp ON sp.TAB_STATUS_PAGTO_OS_ID = os.TAB_STATUS_PAGTO_OS_ID
                      WHERE os.ORDEM_SERVICO_ID = v_ordem_servico_id
                        AND sp.INDIC_OS_EM_PAGAMENTO = 'S');

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
  ELSEIF v_ini IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Ini_Execucao, '.');
  ELSEIF v_fim IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Fim_Execucao, '.');
  ELSEIF p_Data_Retirada_Terminal IS NOT NULL AND v_retirada IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Retirada_Terminal, '.');
  ELSEIF p_Data_Entrega_Terminal IS NOT NULL AND v_entrega IS NULL THEN
    SET v_recusa = CONCAT('Data inválida: ', p_Data_Entrega_Terminal, '.');
  ELSEIF NOT EXISTS (SELECT 1 FROM TAB_STATUS_OS_TIPO WHERE TAB_STATUS_OS_TIPO_ID = p_Tab_Status_OS_Tipo_ID) THEN
    SET v_recusa = IF(p_Tab_Status_OS_Tipo_ID IS NULL, 'Situação da ordem de serviço tipo não informada.',
                      CONCAT('Situação da ordem de serviço tipo não cadastrada: ', p_Tab_Status_OS_Tipo_ID, '.'));
  ELSEIF p_Tab_Tipo_Docto_ID IS NOT NULL
     AND NOT EXISTS (SELECT 1 FROM TAB_TIPO_DOCTO WHERE TAB_TIPO_DOCTO_ID = p_Tab_Tipo_Docto_ID) THEN
    SET v_recusa = CONCAT('Tipo de documento não cadastrado: ', p_Tab_Tipo_Docto_ID, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL
     AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id) THEN
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

  COMMIT;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret;
END
