-- params: Ordem_Servico_ID, Agend_Container_ID, Observ, Solicit_Embarque_Container_ID, container_id, num_lacre_cia_maritima, num_lacre_receita_federal, num_lacre_min_saude, Tara, Peso, ValorNF, Usuario_internet_id
-- Stores what the carrier reports for one container line of a closing: the
-- container, its seals, tare, cargo weight and invoice value. A line that
-- already has a request id is updated; one without (a container the order did
-- not know yet) becomes a new container request. The line takes the type the
-- container register now holds for its container, and the observation goes to
-- the line's schedule, where the closing form reads it.
--
-- Answers retorno 0 and the line's SOLICIT_EMBARQUE_CONTAINER_ID, or 1 with
-- the reason in Msg_Ret and nothing written. The first refusal found, in the
-- order below, is the one answered.
--
-- A new line takes the next id after the highest one, as the embedded engine
-- gives it; the highest id is read with a lock, and an insert that loses the
-- id to another closing (duplicate key) takes the next one.
--
-- The order's row is locked first, so that writers of one order take turns
-- as they do on the embedded engine; the checks read without locks.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_VLM_GRA_SOL_CONT_OS_FECHA5(IN p_Ordem_Servico_ID INT,
                                               IN p_Agend_Container_ID INT,
                                               IN p_Observ TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                               IN p_Solicit_Embarque_Container_ID INT,
                                               IN p_container_id INT,
                                               IN p_num_lacre_cia_maritima TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                               IN p_num_lacre_receita_federal TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                               IN p_num_lacre_min_saude TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin,
                                               IN p_Tara DOUBLE,
                                               IN p_Peso DOUBLE,
                                               IN p_ValorNF DOUBLE,
                                               IN p_Usuario_internet_id INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_ordem, v_solicitacao, v_agendamento, v_container, v_usuario BOOLEAN;
  DECLARE v_solicit_id INT DEFAULT p_Solicit_Embarque_Container_ID;
  DECLARE v_duplicado BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_VLM_GRA_SOL_CONT_OS_FECHA5;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_VLM_GRA_SOL_CONT_OS_FECHA5;
  END IF;

  SELECT COUNT(*) > 0 INTO v_ordem
    FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = p_Ordem_Servico_ID FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER
                  WHERE SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID
                    AND ORDEM_SERVICO_ID = p_Ordem_Servico_ID),
         EXISTS (SELECT 1 FROM AGEND_CONTAINER
                  WHERE AGEND_CONTAINER_ID = p_Agend_Container_ID
                    AND ORDEM_SERVICO_ID = p_Ordem_Servico_ID),
         EXISTS (SELECT 1 FROM CONTAINER WHERE CONTAINER_ID = p_container_id),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_solicitacao, v_agendamento, v_container, v_usuario;

  IF NOT v_ordem THEN
    SET v_recusa = IF(p_Ordem_Servico_ID IS NULL, 'Ordem de serviço não informada.',
                      CONCAT('Ordem de serviço não cadastrada: ', p_Ordem_Servico_ID, '.'));
  ELSEIF p_Solicit_Embarque_Container_ID IS NOT NULL AND NOT v_solicitacao THEN
    SET v_recusa = CONCAT('Solicitação de embarque do container ', p_Solicit_Embarque_Container_ID,
                          ' não cadastrada na ordem de serviço ', p_Ordem_Servico_ID, '.');
  ELSEIF p_Agend_Container_ID IS NOT NULL AND NOT v_agendamento THEN
    SET v_recusa = CONCAT('Agendamento do container ', p_Agend_Container_ID,
                          ' não cadastrado na ordem de serviço ', p_Ordem_Servico_ID, '.');
  ELSEIF p_container_id IS NOT NULL AND NOT v_container THEN
    SET v_recusa = CONCAT('Container não cadastrado: ', p_container_id, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL AND NOT v_usuario THEN
    SET v_recusa = CONCAT('Usuário não cadastrado: ', p_Usuario_internet_id, '.');
  END IF;

  IF v_recusa IS NULL AND p_Solicit_Embarque_Container_ID IS NOT NULL THEN
    UPDATE SOLICIT_EMBARQUE_CONTAINER
       SET AGEND_CONTAINER_ID        = COALESCE(p_Agend_Container_ID, AGEND_CONTAINER_ID),
           CONTAINER_ID              = COALESCE(p_container_id, CONTAINER_ID),
           TAB_TIPO_CONTAINER_ID     = COALESCE((SELECT c.TAB_TIPO_CONTAINER_ID FROM CONTAINER c
                                                  WHERE c.CONTAINER_ID = p_container_id),
                                                TAB_TIPO_CONTAINER_ID),
           NUM_LACRE_CIA_MARITIMA    = p_num_lacre_cia_maritima,
           NUM_LACRE_RECEITA_FEDERAL = p_num_lacre_receita_federal,
           NUM_LACRE_MIN_SAUDE       = p_num_lacre_min_saude,
           TARA                      = p_Tara,
           PESO_CARGA                = p_Peso,
           VALOR_NF                  = p_ValorNF,
           DATA_ALTERACAO            = GETDATE(),
           USUARIO_ALTERACAO_ID      = p_Usuario_internet_id
     WHERE SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID;
  ELSEIF v_recusa IS NULL THEN
    linha: LOOP
      SET v_duplicado = FALSE;
      BEGIN
        DECLARE CONTINUE HANDLER FOR 1062 SET v_duplicado = TRUE;
        SELECT COALESCE(MAX(SOLICIT_EMBARQUE_CONTAINER_ID), 0) + 1 INTO v_solicit_id
          FROM SOLICIT_EMBARQUE_CONTAINER
           FOR UPDATE;
        INSERT INTO SOLICIT_EMBARQUE_CONTAINER
               (SOLICIT_EMBARQUE_CONTAINER_ID, ORDEM_SERVICO_ID, AGEND_CONTAINER_ID, CONTAINER_ID,
                TAB_TIPO_CONTAINER_ID, NUM_LACRE_CIA_MARITIMA, NUM_LACRE_RECEITA_FEDERAL,
                NUM_LACRE_MIN_SAUDE, TARA, PESO_CARGA, VALOR_NF, DATA_ALTERACAO, USUARIO_ALTERACAO_ID)
        VALUES (v_solicit_id, p_Ordem_Servico_ID, p_Agend_Container_ID, p_container_id,
                COALESCE((SELECT c.TAB_TIPO_CONTAINER_ID FROM CONTAINER c
                           WHERE c.CONTAINER_ID = p_container_id),
                         (SELECT a.TAB_TIPO_CONTAINER_ID FROM AGEND_CONTAINER a
                           WHERE a.AGEND_CONTAINER_ID = p_Agend_Container_ID)),
                p_num_lacre_cia_maritima, p_num_lacre_receita_federal, p_num_lacre_min_saude,
                p_Tara, p_Peso, p_ValorNF, GETDATE(), p_Usuario_internet_id);
      END;
      IF NOT v_duplicado THEN
        LEAVE linha;
      END IF;
    END LOOP;
  END IF;

  IF v_recusa IS NULL THEN
    UPDATE AGEND_CONTAINER
       SET OBSERV               = p_Observ,
           DATA_ALTERACAO       = GETDATE(),
           USUARIO_ALTERACAO_ID = p_Usuario_internet_id
     WHERE AGEND_CONTAINER_ID = COALESCE(p_Agend_Container_ID,
                                         (SELECT s.AGEND_CONTAINER_ID FROM SOLICIT_EMBARQUE_CONTAINER s
                                           WHERE s.SOLICIT_EMBARQUE_CONTAINER_ID = p_Solicit_Embarque_Container_ID));
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_VLM_GRA_SOL_CONT_OS_FECHA5;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END    AS retorno,
         v_recusa                                        AS Msg_Ret,
         CASE WHEN v_recusa IS NULL THEN v_solicit_id END AS SOLICIT_EMBARQUE_CONTAINER_ID;
END
