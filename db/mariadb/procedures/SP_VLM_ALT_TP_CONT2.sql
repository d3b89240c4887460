-- params: Container_ID, Tab_Tipo_Container_ID, Usuario_internet_id
-- Sets the type of a registered container to the one a closing reports. A
-- container reported without a type keeps the one it has.
-- Answers retorno 0, or 1 with the reason in Msg_Ret and nothing written.
-- The first refusal found, in the order below, is the one answered.
CREATE PROCEDURE SP_VLM_ALT_TP_CONT2(IN p_Container_ID INT,
                                     IN p_Tab_Tipo_Container_ID INT,
                                     IN p_Usuario_internet_id INT)
  MODIFIES SQL DATA
BEGIN
  DECLARE v_recusa TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin;
  DECLARE EXIT HANDLER FOR SQLEXCEPTION
  BEGIN
    ROLLBACK;
    RESIGNAL;
  END;

  START TRANSACTION;

  IF NOT EXISTS (SELECT 1 FROM CONTAINER WHERE CONTAINER_ID = p_Container_ID) THEN
    SET v_recusa = IF(p_Container_ID IS NULL, 'Container não informado.',
                      CONCAT('Container não cadastrado: ', p_Container_ID, '.'));
  ELSEIF p_Tab_Tipo_Container_ID IS NOT NULL
     AND NOT EXISTS (SELECT 1 FROM TAB_TIPO_CONTAINER
                      WHERE TAB_TIPO_CONTAINER_ID = p_Tab_Tipo_Container_ID) THEN
    SET v_recusa = CONCAT('Tipo de container não cadastrado: ', p_Tab_Tipo_Container_ID, '.');
  ELSEIF p_Usuario_internet_id IS NOT NULL
     AND NOT EXISTS (SELECT 1 FROM USUARIO_INTERNET WHERE USUARIO_INTERNET_ID = p_Usuario_internet_id) THEN
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

  COMMIT;

  SELECT CASE WHEN v_recusa IS NULL THEN 0 ELSE 1 END AS retorno,
         v_recusa                                     AS Msg_Ret;
END
