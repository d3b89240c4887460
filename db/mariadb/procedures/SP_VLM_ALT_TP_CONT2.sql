-- params: Container_ID, Tab_Tipo_Container_ID, Usuario_internet_id
-- Sets the type of a registered container to the one a closing reports. A
-- container reported without a type keeps the one it has.
-- Answers retorno 0, or 1 with the reason in Msg_Ret and nothing written.
-- The first refusal found, in the order below, is the one answered.
--
-- The container's row is locked first, so that writers of one container take
-- turns as they do on the embedded engine; the other checks read without
-- locks.
--
-- Called on its own (autocommit on, no transaction open), the procedure is a
-- transaction of its own. Called inside a transaction of the caller, it joins
-- it behind a savepoint: a failure undoes its own work alone, and the caller
-- commits or rolls back the rest.
CREATE PROCEDURE SP_VLM_ALT_TP_CONT2(IN p_Container_ID INT,
                                     IN p_Tab_Tipo_Container_ID INT,
                                     IN p_Usuario_internet_id INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE v_container, v_tipo, v_usuario BOOLEAN;
  DECLARE v_own_transaction BOOLEAN DEFAULT @@autocommit = 1 AND @@in_transaction = 0;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    IF v_own_transaction THEN
      ROLLBACK;
    ELSEIF @@in_transaction = 1 THEN
      ROLLBACK TO SAVEPOINT SP_VLM_ALT_TP_CONT2;
    END IF;
    RESIGNAL;
  END;

  IF v_own_transaction THEN
    START TRANSACTION;
  ELSE
    SAVEPOINT SP_VLM_ALT_TP_CONT2;
  END IF;

  SELECT COUNT(*) > 0 INTO v_container
    FROM CONTAINER WHERE CONTAINER_ID = p_Container_ID FOR UPDATE;
  SELECT EXISTS (SELECT 1 FROM TAB_TIPO_CONTAINER WHERE TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID),
         EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id)
    INTO v_tipo, v_usuario;

  IF NOT v_container THEN
    SET v_recusa = IF(p_Container_ID IS NULL, 'Container não informado.',
                      CONCAT('Container não cadastrado: ', p_Container_ID, '.'));
  ELSEIF p_Tab_Tipo_Container_ID IS NOT NULL AND NOT v_tipo THEN
    SET v_recusa = CONCAT('Tipo de container não cadastrado: ', p_Tab_Tipo_Container_ID, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL AND NOT v_usuario THEN
    SET v_recusa = CONCAT('Usuário não cadastrado: ', p_Usuario_internet_id, '.');
  END IF;

  IF v_recusa IS NULL THEN
    UPDATE CONTAINER
       SET DATA_ALTERACAO        = GETDATE(),
           USUARIO_ALTERACAO_ID  = p_Usuario_internet_id,
           TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID
     WHERE CONTAINER_ID = p_Container_ID
       AND p_Tab_Tipo_Container_ID IS NOT NULL
       AND NOT (TAB_TIPO_CONTAINER_ID <=> p_Tab_Tipo_Container_ID);
  END IF;

  IF v_own_transaction THEN
    COMMIT;
  ELSE
    RELEASE SAVEPOINT SP_VLM_ALT_TP_CONT2;
  END IF;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret;
END
