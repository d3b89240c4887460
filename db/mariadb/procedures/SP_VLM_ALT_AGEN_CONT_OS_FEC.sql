-- params: Ordem_Servico_ID, Agend_Container_ID, Observ, Usuario_internet_id
-- Stores the closing observation on a container schedule of the order (the
-- closing of orders that travel under transport bills touches nothing else of
-- the line). Answers retorno 0, or 1 with the reason in Msg_Ret and nothing
-- written. The first refusal found, in the order below, is the one answered.
--
-- The order's row is locked first, so that writers of one order take turns
-- as they do on the embedded engine. The checks read without locks: an IF
-- over a subquery would take shared locks that two writers of the same row
-- could each hold, and then deadlock on.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_VLM_ALT_AGEN_CONT_OS_FEC(IN p_Ordem_Servico_ID INT,
                                             IN p_Agend_Container_ID INT,
                                             IN p_Observ TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                             IN p_Usuario_internet_id INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_ordem, v_agendamento, v_usuario BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_VLM_ALT_AGEN_CONT_OS_FEC;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_VLM_ALT_AGEN_CONT_OS_FEC;
  END IF;

  SELECT COUNT(*) > 0 INTO v_ordem
    FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = p_Ordem_Servico_ID FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM AGEND_CONTAINER
                  WHERE AGEND_CONTAINER_ID = p_Agend_Container_ID
                    AND ORDEM_SERVICO_ID = p_Ordem_Servico_ID),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_agendamento, v_usuario;

  IF p_Agend_Container_ID IS NULL THEN
    SET v_recusa = 'Agendamento do container não informado.';
  ELSEIF NOT v_agendamento THEN
    SET v_recusa = CONCAT('Agendamento do container ', p_Agend_Container_ID,
                          ' não cadastrado na ordem de serviço ',
                          COALESCE(p_Ordem_Servico_ID, 'informada'), '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL AND NOT v_usuario THEN
    SET v_recusa = CONCAT('Usuário não cadastrado: ', p_Usuario_internet_id, '.');
  END IF;

  IF v_recusa IS NULL THEN
    UPDATE AGEND_CONTAINER
       SET OBSERV               = p_Observ,
           DATA_ALTERACAO       = GETDATE(),
           USUARIO_ALTERACAO_ID = p_Usuario_internet_id
     WHERE AGEND_CONTAINER_ID = p_Agend_Container_ID;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_VLM_ALT_AGEN_CONT_OS_FEC;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret;
END
