-- params: Ordem_Servico_ID, Agend_Container_ID, Tab_Tipo_Container_ID, Usuario_internet_id
-- Makes the order's container schedules follow the container type a closing
-- reports, together with the type of their container lines. Given a schedule,
-- that schedule changes. Without one (the closing never names it), the
-- schedules that change are those whose container is now registered with the
-- reported type, or the order's only schedule. A schedule that already has
-- the type, or a line reported without a type, changes nothing.
--
-- Answers retorno 0, or 1 with the reason in msg_ret and nothing written.
-- The first refusal found, in the order below, is the one answered.
--
-- The order's row is locked first, so that writers of one order take turns
-- as they do on the embedded engine; the checks read without locks.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_036_ALT_CONTAINER_OSAC3(IN p_Ordem_Servico_ID INT,
                                            IN p_Agend_Container_ID INT,
                                            IN p_Tab_Tipo_Container_ID INT,
                                            IN p_Usuario_internet_id INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_ordem, v_tipo, v_agendamento, v_usuario BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_036_ALT_CONTAINER_OSAC3;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_036_ALT_CONTAINER_OSAC3;
  END IF;

  SELECT COUNT(*) > 0 INTO v_ordem
    FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = p_Ordem_Servico_ID FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM TAB_TIPO_CONTAINER WHERE TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID),
         EXISTS (SELECT 1 FROM AGEND_CONTAINER
                  WHERE AGEND_CONTAINER_ID = p_Agend_Container_ID
                    AND ORDEM_SERVICO_ID = p_Ordem_Servico_ID),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_tipo, v_agendamento, v_usuario;

  IF NOT v_ordem THEN
    SET v_recusa = IF(p_Ordem_Servico_ID IS NULL, 'Ordem de serviço não informada.',
                      CONCAT('Ordem de serviço não cadastrada: ', p_Ordem_Servico_ID, '.'));
  ELSEIF p_Tab_Tipo_Container_ID IS NOT NULL AND NOT v_tipo THEN
    SET v_recusa = CONCAT('Tipo de container não cadastrado: ', p_Tab_Tipo_Container_ID, '.');
  ELSEIF p_Agend_Container_ID IS NOT NULL AND NOT v_agendamento THEN
    SET v_recusa = CONCAT('Agendamento do container ', p_Agend_Container_ID,
                          ' não cadastrado na ordem de serviço ', p_Ordem_Servico_ID, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL AND NOT v_usuario THEN
    SET v_recusa = CONCAT('Usuário não cadastrado: ', p_Usuario_internet_id, '.');
  END IF;

  IF v_recusa IS NULL AND p_Tab_Tipo_Container_ID IS NOT NULL THEN
    -- The lines first: the schedules to change are chosen by the types they still have.
    UPDATE SOLICIT_EMBARQUE_CONTAINER
       SET TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID,
           DATA_ALTERACAO        = GETDATE(),
           USUARIO_ALTERACAO_ID  = p_Usuario_internet_id
     WHERE AGEND_CONTAINER_ID IN
           (SELECT ag.AGEND_CONTAINER_ID
              FROM AGEND_CONTAINER ag
             WHERE ag.ORDEM_SERVICO_ID = p_Ordem_Servico_ID
               AND NOT (ag.TAB_TIPO_CONTAINER_ID <=> p_Tab_Tipo_Container_ID)
               AND CASE WHEN p_Agend_Container_ID IS NOT NULL
                        THEN ag.AGEND_CONTAINER_ID = p_Agend_Container_ID
                        ELSE EXISTS (SELECT 1
                                       FROM SOLICIT_EMBARQUE_CONTAINER s
                                       JOIN CONTAINER c ON c.CONTAINER_ID = s.CONTAINER_ID
                                      WHERE s.AGEND_CONTAINER_ID = ag.AGEND_CONTAINER_ID
                                        AND c.TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID)
                          OR (SELECT COUNT(*) FROM AGEND_CONTAINER
                               WHERE ORDEM_SERVICO_ID = p_Ordem_Servico_ID) = 1
                   END);

    UPDATE AGEND_CONTAINER ag
       SET ag.DATA_ALTERACAO        = GETDATE(),
           ag.USUARIO_ALTERACAO_ID  = p_Usuario_internet_id,
           ag.TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID
     WHERE ag.ORDEM_SERVICO_ID = p_Ordem_Servico_ID
       AND NOT (ag.TAB_TIPO_CONTAINER_ID <=> p_Tab_Tipo_Container_ID)
       AND CASE WHEN p_Agend_Container_ID IS NOT NULL
                THEN ag.AGEND_CONTAINER_ID = p_Agend_Container_ID
                ELSE EXISTS (SELECT 1
                               FROM SOLICIT_EMBARQUE_CONTAINER s
                               JOIN CONTAINER c ON c.CONTAINER_ID = s.CONTAINER_ID
                              WHERE s.AGEND_CONTAINER_ID = ag.AGEND_CONTAINER_ID
                                AND c.TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID)
                  OR (SELECT COUNT(*) FROM AGEND_CONTAINER
                       WHERE ORDEM_SERVICO_ID = p_Ordem_Servico_ID) = 1
           END;
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_036_ALT_CONTAINER_OSAC3;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS msg_ret;
END
